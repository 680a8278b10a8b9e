// The two scopes: an install for one user in that user's own places, beside
// the one for everyone, and the elevated restart of a run for everyone.
#include "install_kit.h"

namespace wt::e2e {
namespace {

// An unattended installation of either scope, then removed by its own
// record's command line: everything lands in that scope's places (for one
// user in the profile and under HKEY_CURRENT_USER, and nothing of the
// machine's changes), the application started from its link takes it, and
// all of it goes again.
TEST_P(EachScope, AnUnattendedInstallLandsInItsOwnPlacesAndGoesAgain) {
    const std::map<std::string, std::string> machine = MachineRegistry();
    const Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + scope_.option + " /S /DESKTOP");
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    ExpectInstalledFiles(program_, places_.data, everyone_);
    ExpectRegistration(program_, "On", scope_.root);
    ExpectLinks(program_, true, menu_, everyone_ ? "" : "/CURRENTUSER");
    for (const std::string& none : {places_.*other_.program, places_.*other_.menu})
        EXPECT_FALSE(test::PathExists(none)) << none;
    if (!everyone_) { EXPECT_EQ(Changed(machine, MachineRegistry()), std::vector<std::string>{}); }

    HWND app = StartFromLink(menu_ + "\\WrenTide.lnk");
    ASSERT_NE(app, nullptr);
    const std::string root = everyone_ ? " (HKEY_LOCAL_MACHINE)" : " (HKEY_CURRENT_USER)";
    EXPECT_NE(ApplicationText(app).find("Program folder: " + program_ + root), std::string::npos) << ApplicationText(app);
    CloseStartedApplication(app);

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", scope_.root).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u) << quiet;
    EXPECT_FALSE(test::KeyExists(kSettings, scope_.root));
    EXPECT_FALSE(test::KeyExists(kUninstall, scope_.root));
    // The uninstaller's own folder (for everyone the program folder, for one
    // user the data folder) is its copy's part.
    const std::string own = everyone_ ? places_.program : places_.data;
    for (const std::string& gone : {everyone_ ? places_.data : program_, menu_, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(own); }, kWait)) << "the copy's part";
    if (!everyone_) { EXPECT_EQ(Changed(machine, MachineRegistry()), std::vector<std::string>{}); }
}

// Each scope's journal lives under its own root: an install that was killed
// is taken back when setup starts again for that scope.
TEST_P(EachScope, AKilledInstallIsUndoneAtItsNextStart) {
    {
        Environment kill("WT_KILL_AFTER", "registration");
        EXPECT_EQ(RunUnattended(Quoted(FaultsSetupExe()) + scope_.option + " /S").code, 9u);
    }
    ASSERT_TRUE(test::KeyExists(kJournal, scope_.root)) << "the kill left no journal";
    EXPECT_FALSE(test::KeyExists(kJournal, other_.root));
    ASSERT_TRUE(test::PathExists(program_ + "\\WrenTide.exe"));
    SetupRun next(LoopbackSetupExe(), scope_.option + 1);
    ASSERT_NE(next.Form(), nullptr);
    EXPECT_FALSE(test::KeyExists(kSettings, scope_.root)) << "the record or the journal stayed";
    EXPECT_FALSE(test::PathExists(everyone_ ? program_ : places_.userPrograms)) << "the folders it made stayed";
    EXPECT_FALSE(test::PathExists(places_.data));
    EndsBy(next, "&Cancel");
}

INSTANTIATE_TEST_SUITE_P(, EachScope, ::testing::Values(kForEveryone, kForOneUser),
                         [](const ::testing::TestParamInfo<Scope>& info) { return std::string(info.param.name); });

// The same user's two installations stand side by side; the application
// takes the user's own, and removing it leaves the one for everyone whole.
TEST_F(Install, AnInstallationForOneUserStandsBesideTheOneForEveryone) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /ALLUSERS /S").code, 0u);
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /CURRENTUSER /S").code, 0u);
    ExpectInstalledFiles(places_.userProgram, places_.data, false);
    ExpectRegistration(places_.program, "On");
    ExpectRegistration(places_.userProgram, "On", HKEY_CURRENT_USER);
    auto programFolderShown = [this](const std::string& link) {
        HWND app = StartFromLink(link);
        const std::string text = app ? ApplicationText(app) : "not started";
        if (app) CloseStartedApplication(app);
        return text.substr(text.find("Program folder: ") + 16);
    };
    EXPECT_EQ(programFolderShown(places_.menu + "\\WrenTide.lnk"), places_.userProgram + " (HKEY_CURRENT_USER)");

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", HKEY_CURRENT_USER).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u);
    EXPECT_FALSE(test::PathExists(places_.userProgram));
    // The data folder is the same user's for both: it stays for the other.
    ExpectInstalledFiles(places_.program, places_.data);
    ExpectRegistration(places_.program, "On");
    ExpectLinks(places_.program, false);
    EXPECT_EQ(programFolderShown(places_.menu + "\\WrenTide.lnk"), places_.program + " (HKEY_LOCAL_MACHINE)");
}

// Both scopes installed with a desktop link, in either order: the later one's
// link stands on the desktop. Removing the earlier one leaves every file and
// the link of the later one, and a WrenTide running from another folder
// blocks nothing.
class BothScopes : public EachScope {};

TEST_P(BothScopes, RemovingOneLeavesTheOthersFilesAndDesktopLink) {
    const std::string secondProgram = places_.*other_.program;
    for (const char* scope : {scope_.option, other_.option})
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S /DESKTOP").code, 0u) << scope;
    const std::string elsewhere = "C:\\wt-e2e\\elsewhere";
    SHCreateDirectoryExA(nullptr, elsewhere.c_str(), nullptr);
    for (const char* file : {"\\WrenTide.exe", "\\LPng.dll"})
        ASSERT_TRUE(CopyFileA((program_ + file).c_str(), (elsewhere + file).c_str(), FALSE));
    Process app(elsewhere + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", scope_.root).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u) << quiet;
    CloseStartedApplication(FindStartedApplication(1000));
    EXPECT_TRUE(app.WaitExit(kWait));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(program_); }, kWait)) << "the first stayed";
    EXPECT_FALSE(test::KeyExists(kSettings, scope_.root));
    ExpectInstalledFiles(secondProgram, places_.data, !everyone_);
    EXPECT_EQ(test::ReadBack(kSettings, "ProgPth", other_.root).text, secondProgram);
    test::Link onDesktop;
    ASSERT_TRUE(test::LoadLink(places_.desk + "\\WrenTide.lnk", onDesktop)) << "the second's desktop link went";
    EXPECT_EQ(onDesktop.target, secondProgram + "\\WrenTide.exe");
}

INSTANTIATE_TEST_SUITE_P(, BothScopes, ::testing::Values(kForEveryone, kForOneUser),
                         [](const ::testing::TestParamInfo<Scope>& info) { return info.param.name + std::string("First"); });

// The window for one user shows that user's folder: asked for on the command
// line, or chosen when the rights for everyone were refused.
TEST_F(Install, TheWizardForOneUserShowsTheUsersOwnFolder) {
    {
        SetupRun run(LoopbackSetupExe(), "/CURRENTUSER");
        ASSERT_NE(run.Form(), nullptr);
        EXPECT_EQ(TextOf(run.Edit()), places_.userProgram);
    }
    Environment token("WT_TOKEN", "refused");
    for (const char* answer : {"&No", "&Yes"}) {
        SCOPED_TRACE(answer);
        SetupRun run(FaultsSetupExe(), "");
        HWND box = WaitForWindow(run.process().Id(), "#32770", "WrenTide Installer", kWait, true);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(MessageText(box).find("Install WrenTide for you alone instead?"), std::string::npos);
        ASSERT_TRUE(Answer(box, answer));
        if (std::string(answer) == "&No") {
            EXPECT_EQ(ExitCode(run.process()), 1602u);
            continue;
        }
        ASSERT_NE(run.Form(), nullptr);
        EXPECT_EQ(TextOf(run.Edit()), places_.userProgram);
    }
}

// A run for everyone without an elevated token (stood in for by the faults
// build) starts itself again elevated and ends with that run's exit code; a
// refused elevation ends unattended with 1602 and changes nothing.
TEST_F(Install, ARunForEveryoneWithoutRightsStartsAgainElevated) {
    const std::string log = ScratchFile("elevated.log");
    {
        Environment token("WT_TOKEN", "unelevated");
        Process first = Process::FromCommandLine(Quoted(FaultsSetupExe()) + " /ALLUSERS /S /LOG=" + Quoted(log));
        ASSERT_EQ(ExitCode(first, 120000), 0u);
        ExpectInstalledFiles(places_.program, places_.data);
        ExpectRegistration(places_.program, "On");
        const std::string text = test::ReadFileBytes(log);
        EXPECT_EQ(text.find("process " + std::to_string(first.Id()) + ","), std::string::npos)
            << "the first process installed itself:\n" << text;
        EXPECT_EQ(text.substr(text.rfind("Exit code")), "Exit code 0: WrenTide is installed\r\n");
    }
    // Refused, or started again and still without the rights (which starts
    // no third run): 1602, and nothing changes.
    for (const char* token : {"refused", "never-elevated"}) {
        SCOPED_TRACE(token);
        Clean();
        CreateDirectoryA("C:\\wt-e2e", nullptr);
        Environment stand_in("WT_TOKEN", token);
        EXPECT_EQ(RunUnattended(Quoted(FaultsSetupExe()) + " /S /LOG=" + Quoted(log)).code, 1602u);
        EXPECT_FALSE(test::PathExists(places_.program));
        EXPECT_FALSE(test::PathExists(places_.data));
        EXPECT_FALSE(test::KeyExists(kSettings));
        ExpectLogged(log, {"Setup could not start with administrator rights: ", "Exit code 1602: "});
    }
}

}  // namespace
}  // namespace wt::e2e
