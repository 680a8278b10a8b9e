// Setup as deployment tools run it: no window or only its progress, a log of
// every step, exit codes, the lock, and a running WrenTide asked to close.
#include "install_kit.h"

namespace wt::e2e {
namespace {

// As a deployment tool runs it: no window, a typed folder, a log of every
// step; then once more with the window's progress and a desktop link.
TEST_F(Install, ASilentInstallShowsNothingLogsEachStepAndExitsZero) {
    test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    const std::string folder = "C:\\wt-e2e\\Some Where\\WrenTide", log = "C:\\wt-e2e\\logs\\wt.log";
    SHCreateDirectoryExA(nullptr, "C:\\wt-e2e\\Some Where", nullptr);
    Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DIR=" + Quoted(folder) + " /LOG=" + Quoted(log));
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    ExpectInstalledFiles(folder, places_.data);
    ExpectRegistration(folder, "On");
    ExpectLinks(folder, false);
    EXPECT_EQ(server.Requests().size(), 1u);
    const std::string text = test::ReadFileBytes(log);
    ASSERT_GT(text.size(), 24u);
    EXPECT_EQ(text.substr(4, 1) + text.substr(7, 1) + text.substr(10, 1) + text.substr(13, 1), "-- :") << text;
    ExpectLogged(log, {"/S /DIR=", "Program folder \"" + folder + "\" created",
                       "Installed \"" + folder + "\\WrenTide.exe\" (progress 20)",
                       "Installed \"" + places_.data + "\\uninstall.exe\" (progress 95)",
                       "Recorded the installation in the registry", "Shortcut \"" + places_.menu + "\\Uninstall.lnk\" made",
                       "Statistics request: localhost:" + std::to_string(WT_STATS_PORT) + " answered 200"});
    EXPECT_EQ(text.substr(text.rfind("Exit code")), "Exit code 0: WrenTide is installed\r\n");

    run = RunUnattended(Quoted(LoopbackSetupExe()) + " -silent -desktop /DIR=" + Quoted(folder));
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(run.windowSeen) << "/SILENT shows the install";
    ExpectLinks(folder, true);
}

// Nothing is touched, and the exit code and the log say why.
TEST_F(Install, UnattendedRunsThatCannotInstallChangeNothing) {
    const std::string log = ScratchFile("refused.log");
    struct Case {
        const char* label;
        std::string switches;
        DWORD code;
        const char* why;
    } cases[] = {
        {"unknown switch", "/S /LOG=" + Quoted(log) + " /BOGUS", 1639, "Unknown switch: /BOGUS"},
        {"contradicting switches", "/SILENT /VERYSILENT /LOG=" + Quoted(log), 1639, "contradict each other"},
        {"WrenTide active", "/S /LOG=" + Quoted(log), 1603, "WrenTide seems to be active."},
        {"another setup", "/VERYSILENT /LOG=" + Quoted(log), 1618, "WrenTide setup is already running."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<Process> first;
        UniqueHandle held;
        if (c.code == 1603) {
            // Not recorded, but the program is there and in use.
            CreateDirectoryA(places_.program.c_str(), nullptr);
            test::WriteFileBytes(places_.program + "\\WrenTide.exe", "running");
            held = UniqueHandle(CreateFileA((places_.program + "\\WrenTide.exe").c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        }
        if (c.code == 1618) {
            first = std::make_unique<Process>(LoopbackSetupExe());
            ASSERT_NE(WaitForWindow(first->Id(), "TForm1", "WrenTide Installer", kWait, true), nullptr);
        }
        const Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + " " + c.switches);
        EXPECT_EQ(run.code, c.code);
        EXPECT_FALSE(run.windowSeen);
        EXPECT_FALSE(test::KeyExists(kSettings));
        EXPECT_FALSE(test::PathExists(places_.data));
        EXPECT_EQ(test::PathExists(places_.program), c.code == 1603);
        // A refused line writes its log to the default place, not where it says.
        const std::vector<std::string> defaults = NamesIn(TempFolder(), "WrenTide-Setup-*.log");
        if (c.code == 1639) {
            EXPECT_FALSE(test::PathExists(log));
            ASSERT_EQ(defaults.size(), 1u);
        }
        ExpectLogged(c.code == 1639 ? TempFolder() + "\\" + defaults[0] : log,
                     {c.why, "Exit code " + std::to_string(c.code) + ": "});
        if (first) {
            TerminateProcess(first->Handle(), 0);
            first->WaitExit(kWait);
        }
        held.Close();
        Clean();
    }
    // Without /LOG the log goes to the temporary folder.
    const std::vector<std::string> before = NamesIn(TempFolder(), "WrenTide-Setup-*.log");
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DIR").code, 1639u);
    const std::vector<std::string> after = NamesIn(TempFolder(), "WrenTide-Setup-*.log");
    EXPECT_EQ(after.size(), before.size() + 1);
}

// Names of the lock that a program of the user's made first, today's and
// the locks' own with the Users group as owner, block no setup of either
// scope; a setup of one user's blocks another of that user's, of either scope.
TEST_F(Install, OnlyASetupHoldsTheLock) {
    HANDLE opened = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened));
    const UniqueHandle token(opened);
    BYTE user[256];
    DWORD size = 0;
    char* sid = nullptr;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, user, sizeof user, &size));
    ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid));
    const std::string userLock = std::string("Global\\WrenTideSetup-User-") + sid + "-0";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR strangers = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BUD:(A;;GA;;;WD)", SDDL_REVISION_1, &strangers,
                                                                     nullptr));
    SECURITY_ATTRIBUTES security = {sizeof security, strangers, FALSE};
    std::vector<UniqueHandle> squats;
    for (const std::string& name : {std::string("Global\\WrenTideSetup"), std::string("Global\\WrenTideSetup-Machine-0"), userLock}) {
        squats.emplace_back(CreateMutexA(&security, FALSE, name.c_str()));
        ASSERT_TRUE(squats.back().Valid()) << name;
    }
    LocalFree(strangers);
    for (const char* scope : {" /ALLUSERS", " /CURRENTUSER"})
        EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S").code, 0u) << scope;
    squats.clear();
    Clean();

    SetupRun first(LoopbackSetupExe(), "/CURRENTUSER");
    ASSERT_NE(first.Form(), nullptr);
    for (const char* scope : {" /ALLUSERS", " /CURRENTUSER"})
        EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S").code, 1618u) << scope;
    EndsBy(first, "&Cancel");
}

// With TMP and TEMP naming a folder that is missing, under the system
// folder: an unattended run makes nothing there, installs, and says on its
// standard error why it writes no log.
TEST_F(Install, AMissingTemporaryFolderIsNeverMade) {
    const std::string missing = "C:\\windows\\wt-e2e-missing-temp", errors = ScratchFile("errors.txt");
    test::RemoveTree(missing);  // as a failed run may have left it
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle file(CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    DWORD code = 99;
    {
        Environment tmp("TMP", missing), temp("TEMP", missing);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = startup.hStdOutput = file.Get();
        PROCESS_INFORMATION started = {};
        std::vector<wchar_t> line = Wide(Quoted(LoopbackSetupExe()) + " /S");
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started));
        const UniqueHandle thread(started.hThread), process(started.hProcess);
        ASSERT_EQ(WaitForSingleObject(process.Get(), 120000), WAIT_OBJECT_0);
        GetExitCodeProcess(process.Get(), &code);
    }
    file.Close();
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(test::PathExists(missing));
    ExpectInstalledFiles(places_.program, places_.data);
    EXPECT_NE(test::ReadFileBytes(errors).find("WrenTide Setup writes no log: the temporary folder \"" + missing),
              std::string::npos) << test::ReadFileBytes(errors);
}

// A folder named on the command line is made with every missing level and
// recorded by one name however it was written; a refused line leaves even
// its log file alone.
TEST_F(Install, AFolderOnTheCommandLineIsMadeWholeAndRecordedByOneName) {
    const std::string deep = "C:\\wt-e2e\\Tools\\Apps\\WrenTide";
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DIR=" + Quoted(deep)).code, 0u);
    ExpectInstalledFiles(deep, places_.data);
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), deep);
    Clean();
    {
        // Given to the wizard, the folder keeps its rule while the box holds it.
        SetupRun run(LoopbackSetupExe(), "/DIR=" + Quoted(deep));
        ASSERT_TRUE(run.ToOptions(false, false));
        ASSERT_TRUE(Completes(run));
        Finish(run);
        ExpectInstalledFiles(deep, places_.data);
    }
    Clean();
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /D=C:/wt-e2e/../WT\\").code, 0u);
    ExpectInstalledFiles("C:\\WT", places_.data);
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), "C:\\WT");
    EXPECT_EQ(RegValue(kUninstall, "InstallLocation"), "C:\\WT");
    Clean();

    const std::string log = ScratchFile("kept.log");
    test::WriteFileBytes(log, "the operator's own file");
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /BOGUS /LOG=" + Quoted(log)).code, 1639u);
    EXPECT_EQ(test::ReadFileBytes(log), "the operator's own file");
}

// An unattended upgrade over a running WrenTide: without /CLOSEAPPLICATIONS
// it fails and changes nothing, as before; with it WrenTide is asked to close,
// ends by itself and the upgrade completes.
TEST_F(Install, AnUpgradeWithCloseApplicationsClosesTheRunningWrenTide) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    Process app(places_.program + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    const std::map<std::string, std::string> before = Snapshot(places_);
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 1603u);
    EXPECT_TRUE(Snapshot(places_) == before) << "the failed upgrade changed something";

    const std::string log = ScratchFile("close.log");
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /CLOSEAPPLICATIONS /LOG=" + Quoted(log)).code, 0u);
    EXPECT_EQ(ExitCode(app, 0), 0u) << "it was not left to end by itself, or still runs";
    ExpectInstalledFiles(places_.program, places_.data);
    ExpectLogged(log, {"Asked process " + std::to_string(app.Id()) + " to close through its",
                       "Process " + std::to_string(app.Id()) + " of \"" + places_.program + "\\WrenTide.exe\" has closed"});
}

// An installation for everyone whose WrenTide.exe is one that runs and will
// not close (WT_STUBBORN_EXE), started.
Process InstalledStubbornWrenTide(const std::string& programFolder) {
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    const std::string program = programFolder + "\\WrenTide.exe";
    EXPECT_TRUE(CopyFileA(test::FromHost(WT_STUBBORN_EXE).c_str(), program.c_str(), FALSE));
    Process stubborn(program);
    EXPECT_NE(FindStartedApplication(kWait), nullptr);
    return stubborn;
}

// One that refuses to close is left running after the wait, and the upgrade
// changes nothing.
TEST_F(Install, AWrenTideThatWillNotCloseIsLeftRunningAndNothingChanges) {
    Process stubborn = InstalledStubbornWrenTide(places_.program);
    ASSERT_FALSE(HasFailure());
    const std::map<std::string, std::string> before = Snapshot(places_);
    const std::string log = ScratchFile("close.log");
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /CLOSEAPPLICATIONS /LOG=" + Quoted(log)).code, 1603u);
    EXPECT_FALSE(stubborn.WaitExit(0)) << "it was ended";
    EXPECT_TRUE(Snapshot(places_) == before) << "the failed upgrade changed something";
    ExpectLogged(log, {"it refused", "is still running after 30 seconds; it was left running",
                       "WrenTide seems to be active", "Exit code 1603: "});
}

// The wizard asked to close one shows what it waits for, and answers all
// the while; once the wait is over it offers the re-install as before.
TEST_F(Install, TheWizardShowsItsWaitForAWrenTideThatWillNotClose) {
    Process stubborn = InstalledStubbornWrenTide(places_.program);
    ASSERT_FALSE(HasFailure());
    SetupRun run(LoopbackSetupExe(), "/CLOSEAPPLICATIONS");
    const DWORD start = GetTickCount();
    ASSERT_NE(run.Form(), nullptr) << "no window while it waited";
    HWND waiting = run.Control("Static", "Waiting for the running WrenTide to close...");
    EXPECT_NE(waiting, nullptr);
    EXPECT_FALSE(IsWindowEnabled(run.Form()));
    for (DWORD_PTR unused = 0; GetTickCount() - start < 25000; Sleep(1000))
        ASSERT_TRUE(SendMessageTimeoutA(run.Form(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &unused));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run.Form()) != FALSE; }, kWait));
    EXPECT_EQ(TextOf(waiting), "To install WrenTide to your system click next...");
    EXPECT_NE(run.Control("Button", "&Re-Install"), nullptr);
    EXPECT_FALSE(stubborn.WaitExit(0)) << "it was ended";
    EXPECT_TRUE(EndsBy(run, "&Cancel"));
}

}  // namespace
}  // namespace wt::e2e
