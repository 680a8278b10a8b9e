// A signed setup exe installs like the unsigned one: the signature appended
// to the file must leave the payload in its resources intact and readable.
// tests/windows/signed_install.py signs a copy of the exe and names it (a host
// path) in WT_E2E_SETUP_EXE.
#include "stats_server.h"  // winsock2.h must come before windows.h

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "setup_run.h"
#include "test_support.h"

namespace wt::e2e {
namespace {

const char kSettings[] = "Software\\WrenTide";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WrenTide";

class SignedSetup : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettings);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstall);
        for (const std::string& folder : {program, vendor, menu}) test::RemoveTree(folder);
    }
    const std::string program = SpecialFolder(CSIDL_PROGRAM_FILES) + "\\WrenTide";
    const std::string vendor = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\tessel-soft";
    const std::string data = vendor + "\\WrenTide";
    const std::string menu = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\WrenTide";
};

TEST_F(SignedSetup, InstallsEveryFileAsBuilt) {
    const char* exe = std::getenv("WT_E2E_SETUP_EXE");
    ASSERT_TRUE(exe && *exe) << "WT_E2E_SETUP_EXE names no signed setup exe";
    StatsServer server(WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    SetupRun run(test::FromHost(exe));
    ASSERT_TRUE(run.process().Started()) << exe;
    ASSERT_TRUE(run.ToOptions(false, false));
    ASSERT_TRUE(run.Install("&Install"));
    EXPECT_TRUE(run.messages.empty()) << run.messages.front();
    EXPECT_EQ(run.Status(), "Installation Complete");

    const struct {
        const char* name;
        const std::string& folder;
    } files[] = {{"wtdb.res", data},     {"WrenTide.exe", program}, {"LPng.dll", program},  {"wscb.rez", data},
                 {"wrnhlp.tub", program}, {"ReadMe.txt", program},  {"uninstall.exe", data}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string got = test::ReadFileBytes(f.folder + "\\" + f.name);
        const std::string built = test::ReadFileBytes(test::BuiltPayloadFile(f.name));
        EXPECT_TRUE(got == built) << "installed " << got.size() << " bytes, not the " << built.size() << " built";
    }
    Click(run.Control("Button", "Finished"));
    DWORD code = 99;
    EXPECT_TRUE(run.process().WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace wt::e2e
