// The preferences file update on real files, compared whole before and after,
// and setdest on a hidden setup window.
#include "wrentide_setup/system/preferences.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "test_support.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const std::size_t kRecord = 272;

// Bytes that differ from their neighbours, so a byte moved or touched shows.
std::string Contents(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(0x41 + (i * 13) % 190);
    return bytes;
}

// The file as the update must leave it: record 0's length byte and text replaced.
std::string Patched(std::string bytes, const std::string& folder) {
    const std::size_t length = folder.size() < 255 ? folder.size() : 255;
    bytes[0] = static_cast<char>(length);
    bytes.replace(1, length, folder, 0, length);
    return bytes;
}

class PrefsFileUpdate : public ::testing::Test {
protected:
    std::string Path() const { return scratch_.Path() + "\\WrenTide.tub"; }
    test::ScratchFolder scratch_;
};

TEST_F(PrefsFileUpdate, OnlyTheTextOfRecordZeroChangesInAWholeFile) {
    struct Case {
        std::size_t size;
        const char* what;
    };
    const Case cases[] = {
        {kRecord, "one record"},
        {kRecord * 4, "four records"},
        {kRecord * 2 + 100, "two records and part of a third"},
    };
    const std::string folders[] = {"C:\\users\\a user\\My Documents\\WrenTide", "", "D:\\W",
                                   "C:\\" + std::string(300, 'x')};
    for (const Case& c : cases) {
        for (const std::string& folder : folders) {
            SCOPED_TRACE(std::string(c.what) + ", work folder of " + std::to_string(folder.size()) + " characters");
            const std::string before = Contents(c.size);
            test::WriteFileBytes(Path(), before);
            PrefsFile file;
            UpdatePrefsFile(file, Path(), folder);
            EXPECT_EQ(ExclusiveOpenError(Path()), 0u) << "the update left the file open";

            const std::string after = test::ReadFileBytes(Path());
            ASSERT_EQ(after.size(), before.size());
            EXPECT_EQ(after, Patched(before, folder));
            EXPECT_EQ(after.substr(256), before.substr(256)) << "bytes past the text field changed";
        }
    }
}

TEST_F(PrefsFileUpdate, AShortOrLockedFileIsLeftAsItWas) {
    const DWORD kNotHeld = ~0u, kReadOnly = ~1u;
    const DWORD kBothWays = FILE_SHARE_READ | FILE_SHARE_WRITE;
    struct Case {
        const char* what;
        std::size_t size;
        DWORD heldWith;  // share mode of another handle held open, or kNotHeld
        bool updated;
    };
    const Case cases[] = {
        {"empty", 0, kNotHeld, false},
        {"one byte", 1, kNotHeld, false},
        {"one byte short of a record", kRecord - 1, kNotHeld, false},
        {"held open without sharing", kRecord * 2, 0, false},
        {"held open sharing only reading", kRecord * 2, FILE_SHARE_READ, false},
        {"held open by the application, sharing both ways", kRecord * 2, kBothWays, true},
        // Wine lets root write it all the same; Windows lets no one.
        {"read-only", kRecord * 2, kReadOnly, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Contents(c.size);
        test::WriteFileBytes(Path(), before);
        {
            UniqueHandle holder;
            if (c.heldWith == kReadOnly) SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_READONLY);
            else if (c.heldWith != kNotHeld) {
                holder = UniqueHandle(CreateFileA(Path().c_str(), GENERIC_READ | GENERIC_WRITE, c.heldWith, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
                ASSERT_TRUE(holder.Valid());
            }
            PrefsFile file;
            EXPECT_NO_THROW(UpdatePrefsFile(file, Path(), "C:\\Work"));
            EXPECT_FALSE(file.IsOpen());
        }
        EXPECT_EQ(test::ReadFileBytes(Path()), c.updated ? Patched(before, "C:\\Work") : before);
        SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// The application reads the text in the code page: a work folder it cannot
// hold goes in by the short name of its existing part, never with a "?".
TEST_F(PrefsFileUpdate, AFolderOutsideTheCodePageGoesInByItsShortName) {
    const std::string user = scratch_.Path() + "\\\u0141ukasz \u5C71\u7530";
    ASSERT_TRUE(CreateDirectoryW(Wide(user).data(), nullptr));
    wchar_t shortName[MAX_PATH] = L"";
    ASSERT_GT(GetShortPathNameW(Wide(user).data(), shortName, MAX_PATH), 0u);
    test::WriteFileBytes(Path(), Contents(kRecord));
    PrefsFile file;
    UpdatePrefsFile(file, Path(), user + "\\Documents\\WrenTide");
    EXPECT_EQ(test::ReadFileBytes(Path()), Patched(Contents(kRecord), Utf8(shortName) + "\\Documents\\WrenTide"));
}

TEST_F(PrefsFileUpdate, AMissingFileIsNotCreated) {
    for (const std::string& path : {Path(), scratch_.Path() + "\\No folder\\WrenTide.tub"}) {
        SCOPED_TRACE(path);
        PrefsFile file;
        EXPECT_NO_THROW(UpdatePrefsFile(file, path, "C:\\Work"));
        EXPECT_FALSE(test::PathExists(path));
    }
}

// setdest with the real window, kept hidden, as what it reports to.
class Setdest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterFormClasses(GetModuleHandleA(nullptr)));
        form_ = TForm1::Create(GetModuleHandleA(nullptr), plan_, nullptr);
        ASSERT_NE(form_, nullptr);
        plan_.paths.DBPth = scratch_.Path();
    }
    void TearDown() override {
        // The window deletes its object with it.
        if (form_) DestroyWindow(form_->Handle());
    }
    std::string Path() const { return scratch_.Path() + "\\WrenTide.tub"; }
    bool Store(const std::string& workFolder) { return setdest(plan_, workFolder, *form_); }

    test::FailureRecorder recorder_{IDCANCEL};
    test::ScratchFolder scratch_;
    InstallPlan plan_;
    TForm1* form_ = nullptr;
};

TEST_F(Setdest, ShowsTheStatusAndStoresTheWorkFolder) {
    const std::string before = Contents(kRecord * 3);
    test::WriteFileBytes(Path(), before);
    // The status line as the install shows it: on screen, so a paint left for later would show.
    ShowWindow(form_->Handle(), SW_SHOWNOACTIVATE);
    form_->SetVisible(GroupBox1, true);
    form_->SetVisible(GroupBox3, true);
    form_->SetVisible(StaticText2, true);
    UpdateWindow(form_->Handle());

    EXPECT_TRUE(Store("C:\\users\\a user\\Documents\\WrenTide"));
    EXPECT_EQ(form_->Text(StaticText2), "Applying preferences....");
    EXPECT_FALSE(GetUpdateRect(form_->Control(StaticText2), nullptr, FALSE)) << "the status text waits for a paint";
    EXPECT_EQ(test::ReadFileBytes(Path()), Patched(before, "C:\\users\\a user\\Documents\\WrenTide"));
    // Nothing holds the file afterwards: the window owns none.
    EXPECT_EQ(ExclusiveOpenError(Path()), 0u);
}

TEST_F(Setdest, AFreshInstallWithoutPreferencesCreatesNone) {
    EXPECT_TRUE(Store("C:\\Work"));
    EXPECT_EQ(form_->Text(StaticText2), "Applying preferences....");
    EXPECT_FALSE(test::PathExists(Path()));
}

}  // namespace
}  // namespace wt
