// The installed application's preferences file: fixed-size records, no
// header. The installer only ever puts the work folder into record 0.
#pragma once

#include <cstddef>
#include <string>

namespace wt {

extern const char kPrefsFile[];  // "\WrenTide.tub", in the data folder

constexpr std::size_t kPrefsRecordSize = 272;
constexpr std::size_t kWorkFolderMax = 255;

// Record layout as far as the installer knows it; the rest belongs to the
// application and is carried through unchanged.
struct PrefsRecord {
    unsigned char workFolderLength;      // 0 to 255
    char workFolder[kWorkFolderMax];     // ANSI text; bytes past the length keep their old values
    unsigned char appData[16];
};
static_assert(sizeof(PrefsRecord) == kPrefsRecordSize, "a record is read and written whole");
static_assert(offsetof(PrefsRecord, workFolderLength) == 0, "length byte first");
static_assert(offsetof(PrefsRecord, workFolder) == 1, "text right after its length");
static_assert(offsetof(PrefsRecord, appData) == 256, "application data after the text field");

// Puts the work folder, cut to its first 255 characters, into the text field.
void StoreWorkFolder(PrefsRecord& record, const std::string& workFolder);

// The process-wide preferences file variable. Its operations leave result
// codes, never raise, and do nothing while the file is not open.
class PrefsFile {
public:
    PrefsFile() = default;
    PrefsFile(const PrefsFile&) = delete;
    PrefsFile& operator=(const PrefsFile&) = delete;
    ~PrefsFile() { Close(); }

    // Opens the existing file for reading and writing, sharing both; never
    // creates it. A file already open is closed first.
    bool Open(const std::string& path);
    bool IsOpen() const { return handle_ != nullptr; }
    // True only when the whole record came back.
    bool ReadRecord(std::size_t index, PrefsRecord& record);
    bool WriteRecord(std::size_t index, const PrefsRecord& record);
    // Closing a file that is not open is not an error.
    void Close() noexcept;

private:
    void* handle_ = nullptr;  // the system's file handle while open
};

// Stores the work folder into record 0 of the file at path and closes it
// again. A file that is missing, locked, read-only or shorter than one record
// is left exactly as it was.
void UpdatePrefsFile(PrefsFile& file, const std::string& path, const std::string& workFolder);

}  // namespace wt
