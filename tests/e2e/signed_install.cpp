// A signed setup exe installs like the unsigned one: the signature appended
// to the file must leave the payload in its resources intact and readable.
// tests/windows/signed_install.py signs a copy of the exe and names it (a host
// path) in WT_E2E_SETUP_EXE.
#include "loopback_server.h"  // winsock2.h must come before windows.h

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"

namespace wt::e2e {
namespace {

class SignedSetup : public ::testing::Test {
protected:
    void SetUp() override { RemoveDefaultInstall(places_); }
    void TearDown() override { RemoveDefaultInstall(places_); }
    const Places places_;
};

TEST_F(SignedSetup, InstallsEveryFileAsBuilt) {
    const char* exe = std::getenv("WT_E2E_SETUP_EXE");
    ASSERT_TRUE(exe && *exe) << "WT_E2E_SETUP_EXE names no signed setup exe";
    test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    SetupRun run(test::FromHost(exe));
    ASSERT_TRUE(run.process().Started()) << exe;
    ASSERT_TRUE(run.ToOptions(false, false));
    ASSERT_TRUE(Completes(run));
    ExpectInstalledFiles(places_.program, places_.data);
    Finish(run);
}

}  // namespace
}  // namespace wt::e2e
