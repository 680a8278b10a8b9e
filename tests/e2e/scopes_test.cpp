// The two scopes: an install for one user in that user's own places, beside
// the one for everyone, and the elevated restart of a run for everyone.
#include "install_kit.h"

namespace wt::e2e {
namespace {

// An installation for this user alone, unattended, then removed by its own
// record's command line: everything lands in the user's profile and under
// HKEY_CURRENT_USER, and nothing of the machine's changes.
TEST_F(Install, ForOneUserEverythingLandsInTheUsersOwnPlacesAndGoesAgain) {
    const std::map<std::string, std::string> machine = MachineRegistry();
    const Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + " /CURRENTUSER /S /DESKTOP");
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    ExpectInstalledFiles(places_.userProgram, places_.data, false);
    ExpectRegistration(places_.userProgram, "On", HKEY_CURRENT_USER);
    ExpectLinks(places_.userProgram, true, places_.userMenu, "/CURRENTUSER");
    for (const std::string& none : {places_.program, places_.menu})
        EXPECT_FALSE(test::PathExists(none)) << none;
    EXPECT_EQ(Changed(machine, MachineRegistry()), std::vector<std::string>{});

    HWND app = StartFromLink(places_.userMenu + "\\WrenTide.lnk");
    ASSERT_NE(app, nullptr);
    EXPECT_NE(ApplicationText(app).find("Program folder: " + places_.userProgram + " (HKEY_CURRENT_USER)"),
              std::string::npos) << ApplicationText(app);
    CloseStartedApplication(app);

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", HKEY_CURRENT_USER).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u) << quiet;
    EXPECT_FALSE(test::KeyExists(kSettings, HKEY_CURRENT_USER));
    EXPECT_FALSE(test::KeyExists(kUninstall, HKEY_CURRENT_USER));
    for (const std::string& gone : {places_.userProgram, places_.userMenu, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.data); }, kWait)) << "the copy's part";
    EXPECT_EQ(Changed(machine, MachineRegistry()), std::vector<std::string>{});
}

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
class BothScopes : public Install, public ::testing::WithParamInterface<bool> {};

TEST_P(BothScopes, RemovingOneLeavesTheOthersFilesAndDesktopLink) {
    const bool machineFirst = GetParam();
    const char* first = machineFirst ? " /ALLUSERS" : " /CURRENTUSER";
    const char* second = machineFirst ? " /CURRENTUSER" : " /ALLUSERS";
    const HKEY firstRoot = machineFirst ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const HKEY secondRoot = machineFirst ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::string firstProgram = machineFirst ? places_.program : places_.userProgram;
    const std::string secondProgram = machineFirst ? places_.userProgram : places_.program;
    for (const char* scope : {first, second})
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S /DESKTOP").code, 0u) << scope;
    const std::string elsewhere = "C:\\wt-e2e\\elsewhere";
    SHCreateDirectoryExA(nullptr, elsewhere.c_str(), nullptr);
    for (const char* file : {"\\WrenTide.exe", "\\LPng.dll"})
        ASSERT_TRUE(CopyFileA((firstProgram + file).c_str(), (elsewhere + file).c_str(), FALSE));
    Process app(elsewhere + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", firstRoot).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u) << quiet;
    CloseStartedApplication(FindStartedApplication(1000));
    EXPECT_TRUE(app.WaitExit(kWait));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(firstProgram); }, kWait)) << "the first stayed";
    EXPECT_FALSE(test::KeyExists(kSettings, firstRoot));
    ExpectInstalledFiles(secondProgram, places_.data, !machineFirst);
    EXPECT_EQ(test::ReadBack(kSettings, "ProgPth", secondRoot).text, secondProgram);
    test::Link onDesktop;
    ASSERT_TRUE(test::LoadLink(places_.desk + "\\WrenTide.lnk", onDesktop)) << "the second's desktop link went";
    EXPECT_EQ(onDesktop.target, secondProgram + "\\WrenTide.exe");
}

INSTANTIATE_TEST_SUITE_P(, BothScopes, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "ForEveryoneFirst" : "ForOneUserFirst");
});

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
        DWORD code = 99;
        if (std::string(answer) == "&No") {
            EXPECT_TRUE(run.process().WaitExit(kWait, &code));
            EXPECT_EQ(code, 1602u);
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
        DWORD code = 99;
        ASSERT_TRUE(first.WaitExit(120000, &code));
        EXPECT_EQ(code, 0u);
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
        const std::string text = test::ReadFileBytes(log);
        EXPECT_NE(text.find("Setup could not start with administrator rights: "), std::string::npos) << text;
        EXPECT_NE(text.find("Exit code 1602: "), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace wt::e2e
