// Record 0 of the preferences file: the work folder goes into the length byte
// and the text field, and every other byte of the record stays as it was.
#include "wrentide_setup/system/preferences.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace wt {
namespace {

// A record whose every byte differs from its neighbours and from the text
// written, so a byte touched by mistake shows.
PrefsRecord Canary() {
    PrefsRecord record;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i) bytes[i] = static_cast<unsigned char>(0x80 + i * 7);
    return record;
}

std::string Folder(std::size_t length) {
    std::string folder = "C:\\Work";
    while (folder.size() < length) folder += static_cast<char>('a' + folder.size() % 26);
    folder.resize(length);
    return folder;
}

TEST(PrefsRecord, StoresTheWorkFolderCutTo255AndKeepsEveryOtherByte) {
    const std::size_t lengths[] = {0, 1, 7, 254, 255, 256, 300};
    for (std::size_t length : lengths) {
        SCOPED_TRACE("work folder of " + std::to_string(length) + " characters");
        const std::string folder = Folder(length);
        const PrefsRecord before = Canary();
        PrefsRecord record = before;
        StoreWorkFolder(record, folder);

        const std::size_t stored = length < 255 ? length : 255;
        EXPECT_EQ(record.workFolderLength, stored);
        EXPECT_EQ(std::string(record.workFolder, stored), folder.substr(0, stored));
        const unsigned char* got = reinterpret_cast<const unsigned char*>(&record);
        const unsigned char* old = reinterpret_cast<const unsigned char*>(&before);
        for (std::size_t i = 1 + stored; i < kPrefsRecordSize; ++i) {
            ASSERT_EQ(got[i], old[i]) << "byte " << i << " changed";
        }
    }
}

TEST(PrefsRecord, CharactersAreCopiedAsBytes) {
    // ANSI text: bytes over 0x7F and a NUL inside the text are stored as they come.
    const std::string folder("C:\\D\xE9p\xF4t\0x", 10);
    PrefsRecord record = Canary();
    StoreWorkFolder(record, folder);
    EXPECT_EQ(record.workFolderLength, 10);
    EXPECT_EQ(std::memcmp(record.workFolder, folder.data(), folder.size()), 0);
}

}  // namespace
}  // namespace wt
