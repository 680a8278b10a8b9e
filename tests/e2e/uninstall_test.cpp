// The uninstaller, started as the installed-programs list and deployment
// tools start it: what it removes, from where, and its copy's part.
#include "install_kit.h"

namespace wt::e2e {
namespace {

// The uninstaller, started by its recorded command line from a data folder
// whose path holds blanks: "No" leaves everything; "Yes" removes what setup
// brought, keeps the user's preferences and work, and leaves only its own copy
// in the temporary folder, due to go at the next start. Setup then installs
// again.
TEST_F(Install, TheUninstallerRemovesWhatSetupBroughtAndThenItself) {
    SHCreateDirectoryExA(nullptr, "C:\\wt-e2e\\Local App Data", nullptr);
    ShellFolderSetting localData("Local AppData", "C:\\wt-e2e\\Local App Data");
    const Places places;
    ASSERT_EQ(places.data, "C:\\wt-e2e\\Local App Data\\tessel-soft\\WrenTide");
    for (const std::string& folder : {places.vendor, places.data, places.work}) CreateDirectoryA(folder.c_str(), nullptr);
    test::WriteFileBytes(places.data + "\\WrenTide.tub", std::string(272, '\0'));
    test::WriteFileBytes(places.work + "\\notes.txt", "the user's own");
    InstallAsUser(true);
    ASSERT_EQ(RegValue(kUninstall, "UninstallString"), Quoted(places_.program + "\\uninstall.exe"));

    Uninstaller uninstaller;
    ASSERT_TRUE(uninstaller.Answer(kRemoveQuestion, "&No"));
    EXPECT_EQ(uninstaller.Exit(), 0u);
    ExpectInstalledFiles(places_.program, places.data);
    EXPECT_TRUE(test::KeyExists(kUninstall));

    UninstallAll(places.data);
    ExpectRemoved(places.data, {places_.program, places_.menu, places_.desk + "\\WrenTide.lnk"});
    EXPECT_EQ(test::ReadFileBytes(places.data + "\\WrenTide.tub").size(), 272u);
    EXPECT_EQ(test::ReadFileBytes(places.work + "\\notes.txt"), "the user's own");
    EXPECT_EQ(NamesIn(places.data, "*"), std::vector<std::string>{"WrenTide.tub"});

    InstallAsUser(false);
    ExpectInstalledFiles(places_.program, places.data);
    test::RemoveTree(places.work);
}

// While WrenTide runs the uninstaller says so and removes nothing until it
// has been closed.
TEST_F(Install, TheUninstallerWaitsForTheRunningProgram) {
    InstallAsUser(false);
    Process app(places_.program + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    Uninstaller uninstaller;
    ASSERT_TRUE(uninstaller.Answer(kRemoveQuestion, "&Yes"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_TRUE(uninstaller.Says("WrenTide is running. Close it, then press Retry."));
        ExpectInstalledFiles(places_.program, places_.data);
        EXPECT_TRUE(test::KeyExists(kSettings));
        if (attempt == 0) { ASSERT_TRUE(uninstaller.Press("&Retry")); }
    }
    CloseStartedApplication(FindStartedApplication(1000));
    ASSERT_TRUE(app.WaitExit(kWait));
    ASSERT_TRUE(uninstaller.Press("&Retry"));
    ASSERT_TRUE(uninstaller.Answer("WrenTide was removed from your computer.", "OK"));
    uninstaller.Exit();
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
    EXPECT_FALSE(test::KeyExists(kSettings));
}

// With no record of an install there is nothing to remove: it says so and
// ends with exit code 1.
TEST_F(Install, TheUninstallerWithoutARecordSaysSo) {
    const std::string copy = LooseUninstaller();
    Uninstaller uninstaller(Quoted(copy));
    ASSERT_TRUE(uninstaller.Answer("WrenTide is not installed on this computer.", "OK"));
    EXPECT_EQ(uninstaller.Exit(), 1u);
    EXPECT_TRUE(test::PathExists(copy));
}

// A recorded installation in folders directly under the drive's root: the
// parent of C:\WTData is C:\, not "C:", which names drive C's current folder
// (setup's own, here one on drive C), for setup's check of the data folder
// and for the uninstaller's.
TEST_F(Install, AReInstallIntoFoldersUnderTheRootCompletesAndUninstalls) {
    const std::string program = "C:\\WTProg", data = "C:\\WTData";
    char here[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, here);
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\wt-e2e"));
    struct Back {
        const char* folder;
        ~Back() { SetCurrentDirectoryA(folder); }
    } back{here};
    test::SetText(kSettings, "ProgPth", program);
    test::SetText(kSettings, "DBPth", data);
    ASSERT_NO_FATAL_FAILURE(InstallAsUser(false));
    ExpectInstalledFiles(program, data);
    UninstallAll(data);
    EXPECT_FALSE(test::PathExists(program));
    EXPECT_FALSE(test::PathExists(data));
}

// The uninstaller as deployment tools run it: no question, no message; once
// its exit code arrives everything is gone but its own file in the program
// folder, which its copy deletes after it. A program that a user put over the
// data folder's uninstaller never runs.
TEST_F(Install, ASilentUninstallIsDoneWhenItEnds) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DESKTOP").code, 0u);
    const std::string quiet = RegValue(kUninstall, "QuietUninstallString");
    EXPECT_EQ(quiet, Quoted(places_.program + "\\uninstall.exe") + " /S");
    {
        Process app(places_.program + "\\WrenTide.exe");
        ASSERT_NE(FindStartedApplication(kWait), nullptr);
        const Unattended running = RunUnattended(quiet);
        EXPECT_EQ(running.code, 1603u) << "WrenTide runs";
        EXPECT_FALSE(running.windowSeen);
        ExpectInstalledFiles(places_.program, places_.data);
        CloseStartedApplication(FindStartedApplication(1000));
        ASSERT_TRUE(app.WaitExit(kWait));
    }
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    ASSERT_TRUE(CopyFileA(test::FromHost(WT_MARKER_EXE).c_str(), (places_.data + "\\uninstall.exe").c_str(), FALSE));
    const Unattended run = RunUnattended(quiet);
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    EXPECT_FALSE(test::PathExists("C:\\wt-e2e\\marker.ran")) << "the data folder's file ran";
    ExpectRemoved(places_.data, {places_.data, places_.menu, places_.desk + "\\WrenTide.lnk"});
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";

    EXPECT_EQ(RunUnattended(Quoted(LooseUninstaller()) + " /s").code, 1605u) << "nothing is installed";
}

// A user's program that replaces every new program in the temporary folder,
// and in each folder the uninstaller makes there, as fast as it can, as a
// Windows program does (copies, renames over, under the system's sharing
// rules): through a few uninstalls for everyone, its program never runs, and
// everything is removed all the same.
TEST_F(Install, NoProgramPutInTheCopysPlaceRuns) {
    const std::string marker = test::FromHost(WT_MARKER_EXE), staged = ScratchFile("staged.exe");
    std::atomic<bool> stop{false};
    std::atomic<int> replaced{0};
    std::thread racer([&] {
        const std::string temp = TempFolder();
        while (!stop) {
            std::vector<std::string> programs;
            for (const std::string& name : NamesIn(temp, "*.exe")) programs.push_back(temp + "\\" + name);
            for (const std::string& folder : NamesIn(temp, "WrenTide-uninstall-*"))
                for (const std::string& name : NamesIn(temp + "\\" + folder, "*"))
                    programs.push_back(temp + "\\" + folder + "\\" + name);
            for (const std::string& program : programs) {
                if (CopyFileA(marker.c_str(), program.c_str(), FALSE)) ++replaced;
                if (CopyFileA(marker.c_str(), staged.c_str(), FALSE) &&
                    MoveFileExA(staged.c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING))
                    ++replaced;
            }
        }
    });
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
        const std::string log = "C:\\wt-e2e\\uninstall.log";
        EXPECT_EQ(RunUnattended(RegValue(kUninstall, "QuietUninstallString") + " /LOG=" + Quoted(log)).code, 0u);
        EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait))
            << "the copy's part:\n" << test::ReadFileBytes(log);
        EXPECT_FALSE(test::KeyExists(kSettings));
    }
    stop = true;
    racer.join();
    EXPECT_FALSE(test::PathExists("C:\\wt-e2e\\marker.ran"))
        << test::ReadFileBytes("C:\\wt-e2e\\marker.ran") << " ran; " << replaced << " replaced";
}

// Host symbolic links, as a user could plant them, at each name setup writes
// or deletes in the data folder, and at the folder itself. Wine shows them as
// plain files: every call by name acts on the target. Every target stays as
// it was; setup completes through a link at a name and fails at a folder link.
class PlantedLink : public Install, public ::testing::WithParamInterface<const char*> {
protected:
    void Plant() { PlantHostLink(target_, link_); }
    void TearDown() override {
        RemoveHostLink(link_, target_);
        Install::TearDown();
    }
    const std::string name_ = GetParam();  // "" for the data folder itself
    const std::string target_ = "C:\\wt-e2e\\target";
    const std::string link_ = name_.empty() ? places_.data : places_.data + "\\" + name_;
};

TEST_P(PlantedLink, LeavesItsTargetAlone) {
    const std::string bytes = name_ == "uninstall.exe" ? test::ReadFileBytes(test::BuiltPayloadFile(name_)) : "own";
    const std::string file = name_.empty() ? target_ + "\\wtdb.res" : target_;
    const std::string folders[] = {"C:\\wt-e2e", places_.vendor, name_.empty() ? target_ : places_.data};
    for (const std::string& folder : folders) CreateDirectoryA(folder.c_str(), nullptr);
    test::WriteFileBytes(file, bytes);
    ASSERT_NO_FATAL_FAILURE(Plant());

    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    ASSERT_TRUE(run.Install("&Install", {IDCANCEL}));  // OK to a failure would end setup
    EXPECT_TRUE(test::ReadFileBytes(file) == bytes) << "the target changed";  // bytes: maybe a whole program
    if (name_.empty()) {
        EXPECT_EQ(run.messages, std::vector<std::string>{"Install Failed! Try installing again as Administrator."});
        EXPECT_EQ(run.Status(), "Installation Failed");
        EXPECT_EQ(NamesIn(target_, "*"), std::vector<std::string>{"wtdb.res"});
        return;
    }
    EXPECT_TRUE(run.messages.empty()) << run.messages.front();
    ASSERT_EQ(run.Status(), "Installation Complete");
    ExpectInstalledFiles(places_.program, places_.data);
    ASSERT_TRUE(Finish(run));

    ASSERT_NO_FATAL_FAILURE(Plant());
    Uninstaller uninstaller;
    ASSERT_TRUE(uninstaller.RemoveAll());
    uninstaller.Exit();
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(link_); }, kWait)) << "the link's name stayed";
    EXPECT_TRUE(test::ReadFileBytes(file) == bytes) << "the target changed";  // bytes: maybe a whole program
}

INSTANTIATE_TEST_SUITE_P(, PlantedLink, ::testing::Values("temp.pak", "wtdb.res", "wscb.rez", "uninstall.exe", ""),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = *info.param ? info.param : "DataFolder";
                             return name.substr(0, name.find('.'));
                         });

// What the uninstaller removes is what the install recorded: a link re-pointed
// elsewhere stays; an installation made before there was a record is removed
// as before; and one that this setup upgraded goes whole, the desktop link of
// the older install included.
TEST_F(Install, TheUninstallerRemovesWhatTheRecordNames) {
    const std::string elsewhere = "C:\\wt-e2e\\elsewhere";
    auto dropRecord = [] { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\WrenTide\\Installed"); };
    const struct {
        const char* label;
        std::function<void()> after;  // what happens between the install and the uninstall
        bool desktopLinkStays;
    } cases[] = {
        {"a desktop link re-pointed elsewhere", [&] { MakeProgramShortcut(elsewhere, places_.desk); }, true},
        {"an installation without a record", dropRecord, false},
        {"an upgrade without /DESKTOP of one without a record",
         [&] {
             dropRecord();
             ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
             ASSERT_TRUE(test::KeyExists("Software\\WrenTide\\Installed"));
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SHCreateDirectoryExA(nullptr, elsewhere.c_str(), nullptr);
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DESKTOP").code, 0u);
        ASSERT_NO_FATAL_FAILURE(c.after());
        EXPECT_EQ(RunUnattended(RegValue(kUninstall, "QuietUninstallString")).code, 0u);
        EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
        for (const std::string& gone : {places_.vendor, places_.menu})
            EXPECT_FALSE(test::PathExists(gone)) << gone;
        EXPECT_FALSE(test::KeyExists(kSettings));
        EXPECT_FALSE(test::KeyExists(kUninstall));
        EXPECT_EQ(test::PathExists(places_.desk + "\\WrenTide.lnk"), c.desktopLinkStays);
        Clean();
    }
}

// The uninstaller of the installation for everyone does the same: refused,
// 1602 and nothing removed; otherwise its elevated run removes it all.
TEST_F(Install, TheUninstallerForEveryoneWithoutRightsStartsAgainElevated) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    const std::string uninstaller = places_.program + "\\uninstall.exe";
    ASSERT_TRUE(CopyFileA(test::FromHost(WT_FAULTS_UNINSTALL_EXE).c_str(), uninstaller.c_str(), FALSE));
    const std::string log = ScratchFile("uninstall.log");
    {
        Environment token("WT_TOKEN", "refused");
        EXPECT_EQ(RunUnattended(Quoted(uninstaller) + " /S /LOG=" + Quoted(log)).code, 1602u);
        EXPECT_TRUE(test::PathExists(places_.program + "\\WrenTide.exe"));
        EXPECT_TRUE(test::KeyExists(kSettings));
        EXPECT_NE(test::ReadFileBytes(log).find("Exit code 1602: no administrator rights"), std::string::npos);
    }
    Environment token("WT_TOKEN", "unelevated");
    Process first = Process::FromCommandLine(Quoted(uninstaller) + " /S /LOG=" + Quoted(log));
    ASSERT_EQ(ExitCode(first, 60000), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
    EXPECT_FALSE(test::KeyExists(kSettings));
    const std::string text = test::ReadFileBytes(log);
    EXPECT_EQ(text.find("process " + std::to_string(first.Id()) + ","), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.rfind("Exit code")), "Exit code 0: WrenTide was removed\r\n");
}

// The uninstaller closes a running WrenTide too, and logs every step.
TEST_F(Install, TheUninstallerClosesARunningWrenTideAndLogsEachStep) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    Process app(places_.program + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    const std::string log = ScratchFile("uninstall.log");
    const std::string quiet = RegValue(kUninstall, "QuietUninstallString");
    EXPECT_EQ(RunUnattended(quiet + " /CLOSEAPPLICATIONS /LOG=" + Quoted(log)).code, 0u);
    EXPECT_TRUE(app.WaitExit(0));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
    ExpectLogged(log, {"Process " + std::to_string(app.Id()) + " of \"" + places_.program + "\\WrenTide.exe\" has closed",
                       "Removed \"" + places_.program + "\\WrenTide.exe\"", "Removed the folder \"" + places_.menu + "\"",
                       std::string("Removed the key \"HKEY_LOCAL_MACHINE\\") + kSettings + "\"",
                       "Exit code 0: WrenTide was removed"});
    // Every silent run writes one, by default in the temporary folder.
    EXPECT_EQ(RunUnattended(Quoted(LooseUninstaller()) + " /S").code, 1605u) << "nothing is installed";
    const std::vector<std::string> logs = NamesIn(TempFolder(), "WrenTide-Uninstall-*.log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(test::ReadFileBytes(TempFolder() + "\\" + logs[0]).find("Exit code 1605: "), std::string::npos);
}

}  // namespace
}  // namespace wt::e2e
