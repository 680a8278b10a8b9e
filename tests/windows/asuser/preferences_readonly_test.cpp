// A read-only preferences file, run as an ordinary user: only then does the
// system refuse to open it for writing, as Windows does for everyone.
#include <gtest/gtest.h>
#include <windows.h>

#include "test_support.h"
#include "wrentide_setup/system/preferences.h"

namespace wt {
namespace {

TEST(ReadOnlyPreferences, AreLeftUntouchedWhileAWritableFileIsUpdated) {
    test::ScratchFolder folder;
    std::string record(272, '\x5A');
    record[0] = 3;
    const std::string readOnly = folder.Path() + "\\WrenTide.tub";
    const std::string writable = folder.Path() + "\\Writable.tub";
    test::WriteFileBytes(readOnly, record);
    test::WriteFileBytes(writable, record);
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));

    PrefsFile file;
    EXPECT_NO_THROW(UpdatePrefsFile(file, readOnly, "C:\\Work"));
    EXPECT_EQ(test::ReadFileBytes(readOnly), record);

    // The same user can update a file that is not read-only.
    UpdatePrefsFile(file, writable, "C:\\Work");
    EXPECT_EQ(test::ReadFileBytes(writable), std::string("\x07" "C:\\Work") + record.substr(8));
}

}  // namespace
}  // namespace wt
