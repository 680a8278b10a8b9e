// A re-install over preferences the update cannot write, run as an ordinary
// user: only then is a read-only file refused for writing, as on Windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "test_support.h"
#include "wrentide_setup/engine/install_sequence.h"

namespace wt {
namespace {

struct Report : InstallReport {
    void Status(const std::string&) override {}
    void Progress(int) override {}
    void Message(const std::string& text) override { messages.push_back(text); }
    void Finished(bool succeeded) override { success = succeeded; }
    std::vector<std::string> messages;
    std::string prefs;
    bool success = false;
};

// Left alone, silently, and the install completes with no copy of it left.
TEST(QuietPreferences, AReadOnlyOrHeldFileIsLeftAloneAndTheInstallCompletes) {
    CoInitialize(nullptr);
    for (bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only" : "held open without sharing");
        test::DeleteProductKeys();
        test::ScratchFolder scratch;
        InstallPlan plan;
        InstallPaths& paths = plan.paths;
        paths.ProgPth = scratch.Path() + "\\WrenTide";
        paths.VendorPth = scratch.Path() + "\\tessel-soft";
        paths.DBPth = paths.VendorPth + "\\WrenTide";
        paths.WrkPth = scratch.Path() + "\\Work";
        paths.MenuPth = scratch.Path() + "\\Menu";
        paths.DeskPth = scratch.Path();
        Report report;
        report.prefs = paths.DBPth + "\\WrenTide.tub";
        const std::string record(272, 'p');
        CreateDirectoryA(paths.VendorPth.c_str(), nullptr);
        CreateDirectoryA(paths.DBPth.c_str(), nullptr);
        test::WriteFileBytes(report.prefs, record);
        HANDLE held = INVALID_HANDLE_VALUE;
        if (readOnly) ASSERT_TRUE(SetFileAttributesA(report.prefs.c_str(), FILE_ATTRIBUTE_READONLY));
        else held = CreateFileA(report.prefs.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

        RunInstall(plan, report);
        EXPECT_TRUE(report.success);
        EXPECT_EQ(report.messages, std::vector<std::string>{});
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_EQ(test::ReadFileBytes(report.prefs), record);
        EXPECT_FALSE(test::PathExists(report.prefs + ".wt-old")) << "its copy was left behind";
        EXPECT_TRUE(test::PathExists(paths.ProgPth + "\\WrenTide.exe"));
        SetFileAttributesA(report.prefs.c_str(), FILE_ATTRIBUTE_NORMAL);
        test::DeleteProductKeys();
    }
    CoUninitialize();
}

}  // namespace
}  // namespace wt
