// Discovery of the install locations against the prefix's real registry,
// special folders and files.
#include "wrentide_setup/context/install_paths.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "test_support.h"
#include "wrentide_setup/context/install_plan.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/registry.h"

namespace wt {
namespace {

// Each test starts with no record and no program in the default folder.
class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        programFolder_ = test::ShellFolder(CSIDL_PROGRAM_FILES) + "\\WrenTide";
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean() {
        test::DeleteSettingsKey();
        RegDeleteTreeA(HKEY_CURRENT_USER, test::kSettings);
        test::RemoveTree(programFolder_);
        test::RemoveTree(test::ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\WrenTide");
    }
    std::string PlaceProgram() {
        CreateDirectoryA(programFolder_.c_str(), nullptr);
        std::string exe = programFolder_ + "\\WrenTide.exe";
        test::WriteFileBytes(exe, "MZ");
        return exe;
    }
    void ExpectDefaults(const InstallPaths& p) {
        const std::string vendor = test::ShellFolder(CSIDL_LOCAL_APPDATA) + "\\tessel-soft";
        EXPECT_EQ(p.ProgPth, programFolder_);
        EXPECT_EQ(p.VendorPth, vendor);
        EXPECT_EQ(p.DBPth, vendor + "\\WrenTide");
        EXPECT_EQ(p.MenuPth, test::ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\WrenTide");
        EXPECT_EQ(p.DeskPth, test::ShellFolder(CSIDL_DESKTOPDIRECTORY));
        // One separator, although Wine's documents folder ends in one of its own
        // (SHGetFolderPathA gives it without).
        EXPECT_EQ(p.WrkPth, test::ShellFolder(CSIDL_PERSONAL) + "\\WrenTide");
    }
    // Discovery as the window runs it: it shows no message, whatever it finds.
    static InstallPaths Discovered(InstallKind expected) {
        test::FailureRecorder recorder;
        InstallPaths p;
        EXPECT_EQ(DiscoverInstallPaths(p), expected);
        EXPECT_TRUE(recorder.Texts().empty());
        return p;
    }
    std::string programFolder_;
};

TEST_F(Discovery, NothingFoundIsAFreshInstallWithTheDefaults) {
    ExpectDefaults(Discovered(InstallKind::FreshInstall));
    EXPECT_FALSE(test::PathExists(programFolder_)) << "discovery must not create anything";
}

TEST_F(Discovery, ARecordedInstallationIsTakenAsItStands) {
    RegPutString("localmachine", kSettingsKey, "ProgPth", "D:\\Apps\\Wren Tide");
    RegPutString("localmachine", kSettingsKey, "DBPth", "D:\\Data");
    RegPutString("localmachine", kSettingsKey, "WrkPth", "D:\\Work");
    // A running program is not looked for on this path.
    std::string exe = PlaceProgram();
    HANDLE lock = CreateFileA(exe.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const InstallPaths p = Discovered(InstallKind::ReInstall);
    CloseHandle(lock);
    EXPECT_EQ(p.ProgPth, "D:\\Apps\\Wren Tide");
    EXPECT_EQ(p.DBPth, "D:\\Data");
    EXPECT_EQ(p.WrkPth, "D:\\Work");
    EXPECT_EQ(p.VendorPth, test::ShellFolder(CSIDL_LOCAL_APPDATA) + "\\tessel-soft");
}

TEST_F(Discovery, ARecordWithoutWorkFolderKeepsItEmpty) {
    RegPutString("localmachine", kSettingsKey, "ProgPth", "C:\\P");
    RegPutString("localmachine", kSettingsKey, "DBPth", "C:\\D");
    InstallPaths p;
    p.WrkPth = "stale";
    EXPECT_EQ(DiscoverInstallPaths(p), InstallKind::ReInstall);
    EXPECT_EQ(p.WrkPth, "");
}

TEST_F(Discovery, OneRecordedFolderAloneIsNoInstallation) {
    for (const char* only : {"ProgPth", "DBPth"}) {
        SCOPED_TRACE(only);
        test::DeleteSettingsKey();
        RegPutString("localmachine", kSettingsKey, only, "C:\\Elsewhere");
        RegPutString("localmachine", kSettingsKey, "WrkPth", "C:\\Work");
        ExpectDefaults(Discovered(InstallKind::FreshInstall));
    }
}

TEST_F(Discovery, AnUnlockedProgramInTheDefaultFolderMeansReInstall) {
    PlaceProgram();
    ExpectDefaults(Discovered(InstallKind::ReInstall));
}

TEST_F(Discovery, AProgramHeldOpenIsTheActiveApplication) {
    std::string exe = PlaceProgram();
    HANDLE lock = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    // The window shows the message; discovery only answers.
    ExpectDefaults(Discovered(InstallKind::ApplicationActive));
    CloseHandle(lock);
}

TEST_F(Discovery, ANonStringRecordEndsDiscoveryWithTheReadError) {
    const DWORD number = 1;
    test::SetRaw(test::kSettings, "ProgPth", REG_DWORD, &number, sizeof number);
    InstallPaths p;
    EXPECT_EQ(test::ErrorText([&] { DiscoverInstallPaths(p); }, "no error"), "Invalid data type for 'ProgPth'");
    EXPECT_EQ(p.VendorPth, "") << "later steps must not have run";
}

// An installation for one user looks in its own root and places only: a
// record for everyone does not make it a re-install, nor steer it.
TEST_F(Discovery, ForOneUserOnlyTheUsersOwnRecordAndPlacesCount) {
    RegPutString("localmachine", kSettingsKey, "ProgPth", "D:\\Everyone");
    RegPutString("localmachine", kSettingsKey, "DBPth", "D:\\Everyone's data");
    InstallPaths p;
    p.Scope = InstallScope::User;
    EXPECT_EQ(DiscoverInstallPaths(p), InstallKind::FreshInstall);
    // Wine knows no FOLDERID_UserProgramFiles: the folder Windows gives it.
    EXPECT_EQ(p.ProgPth, test::ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\WrenTide");
    EXPECT_EQ(p.DBPth, test::ShellFolder(CSIDL_LOCAL_APPDATA) + "\\tessel-soft\\WrenTide");
    EXPECT_EQ(p.MenuPth, test::ShellFolder(CSIDL_PROGRAMS) + "\\WrenTide");
    EXPECT_EQ(p.Scope, InstallScope::User);

    RegPutString("user", kSettingsKey, "ProgPth", "C:\\Mine");
    RegPutString("user", kSettingsKey, "DBPth", "C:\\My data");
    EXPECT_EQ(DiscoverInstallPaths(p), InstallKind::ReInstall);
    EXPECT_EQ(p.ProgPth, "C:\\Mine");
    EXPECT_EQ(p.DBPth, "C:\\My data");
}

TEST(NormalisedFolder, GivesOneNameForEveryWayOfWritingIt) {
    const struct {
        const char* typed;
        const char* normal;
    } cases[] = {
        {"C:\\WT1\\", "C:\\WT1"},
        {"C:/x/../WT\\", "C:\\WT"},
        {"C:\\Tools\\\\Apps\\.\\WrenTide", "C:\\Tools\\Apps\\WrenTide"},
        {"C:\\", "C:\\"},
        {"c:/", "c:\\"},
        {"\\\\server\\share\\Apps\\", "\\\\server\\share\\Apps"},
        {"WrenTide", "WrenTide"},  // not a full path: refused where it is used
        {"C:WrenTide", "C:WrenTide"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalisedFolder(c.typed), c.normal) << c.typed;
}

TEST(SpecialFolders, ResolveToTheShellsPathsOrRaise) {
    EXPECT_EQ(SpecialFolderPath(kProgramFilesFolder), test::ShellFolder(CSIDL_PROGRAM_FILES));
    EXPECT_EQ(SpecialFolderPath(kLocalAppDataFolder), test::ShellFolder(CSIDL_LOCAL_APPDATA));
    EXPECT_EQ(SpecialFolderPath(kCommonProgramsFolder), test::ShellFolder(CSIDL_COMMON_PROGRAMS));
    EXPECT_EQ(SpecialFolderPath(kDesktopFolder), test::ShellFolder(CSIDL_DESKTOPDIRECTORY));
    EXPECT_THROW(SpecialFolderPath(0x7E), Error);
    // The control panel has no file-system path.
    EXPECT_EQ(SpecialFolderPath(CSIDL_CONTROLS), "");
}

TEST(FileInUse, AnswersWhetherTheFileCanBeOpenedExclusively) {
    test::ScratchFolder folder;
    const std::string file = folder.Path() + "\\app.exe";
    EXPECT_FALSE(FileInUse(file)) << "a missing file";
    EXPECT_FALSE(FileInUse(folder.Path())) << "a folder is no file";
    test::WriteFileBytes(file, "MZ");
    EXPECT_FALSE(FileInUse(file));
    EXPECT_FALSE(FileInUse(file)) << "the probe must not keep the file open";
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE)}) {
        SCOPED_TRACE(share);
        HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(FileInUse(file));
        CloseHandle(held);
    }
    EXPECT_FALSE(FileInUse(file));
}

}  // namespace
}  // namespace wt
