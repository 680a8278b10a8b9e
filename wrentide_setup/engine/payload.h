// The files the installer carries, and how one of them gets onto disk: the
// resource is copied raw into a temporary file, then inflated into place.
#pragma once

#include <cstddef>
#include <string>

#include "wrentide_setup/context/install_paths.h"

namespace wt {

struct PayloadFile {
    const char* resource;               // asked for by lower-case letter; lookup ignores case
    std::string InstallPaths::*folder;  // destination folder
    const char* fileName;               // begins with a backslash
    int milestone;                      // progress once the file is in place
};

// In install order: the library (resource "g") comes third. The rows stand
// in payload.cpp alone, and the build reads the packed resources and the
// exe checks' list from there too: a file is added to the payload in one row.
extern const PayloadFile kPayloadRows[];
extern const std::size_t kPayloadRowCount;
struct PayloadRows {
    const PayloadFile* begin() const { return kPayloadRows; }
    const PayloadFile* end() const { return kPayloadRows + kPayloadRowCount; }
};
inline constexpr PayloadRows PayloadTable{};

// The seven files' total size in KB, rounded up, and each row's size in
// bytes, in table order: counted by the build.
extern const unsigned long kPayloadKilobytes;
extern const unsigned long kPayloadFileBytes[];

// Every extraction goes through this one file in the data folder.
extern const char kTempPak[];  // "\temp.pak"

std::string Destination(const PayloadFile& file, const InstallPaths& paths);

// Writes the raw bytes of the running exe's RCDATA resource to path. A
// missing resource or a failed write raises Error with the cause, leaving
// what it managed.
void ExtractResource(const std::string& name, const std::string& path);

// Inflates the zlib stream in source into target, then deletes source.
// Raises Error (leaving source in place) when source cannot be opened, target
// cannot be created, the stream is damaged, cut short or followed by other
// data, or target does not take every byte.
void InflateFile(const std::string& source, const std::string& target);

// Deletes an existing file unless it is in use. Never raises.
void RemoveOldFile(const std::string& path);

}  // namespace wt
