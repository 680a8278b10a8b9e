// Whole installs of the real setup exe under Wine, driven like a user: through
// the wizard, the install, its messages, and the finish.
#include "install_kit.h"
#include "looks.h"

namespace wt::e2e {
namespace {

TEST_F(Install, TheTypicalRunFromStartToFinish) {
    test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    SetupRun run;
    ASSERT_NE(run.Form(), nullptr);
    EXPECT_EQ(TextOf(run.Edit()), places_.program);
    ASSERT_TRUE(run.ToOptions(true, true));
    ASSERT_TRUE(Completes(run, "&Install", 'i'));
    EXPECT_EQ(run.Position(), 100);
    EXPECT_FALSE(IsWindowEnabled(run.Control("Button", "&Install")));

    ExpectInstalledFiles(places_.program, places_.data);
    ExpectRegistration(places_.program, "On");
    ExpectLinks(places_.program, true);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], kExpectedRequest);

    Finish(run);
    HWND app = FindStartedApplication(kWait);
    ASSERT_NE(app, nullptr) << "the application was not started";
    // Started without a folder of its own: it runs where setup ran.
    char here[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, here);
    EXPECT_EQ(TextOf(app), std::string("WrenTide - ") + here);
    CloseStartedApplication(app);
}

// A statistics server that takes the connection and never answers holds the
// end of the install for half a minute after 100: all that while the window
// answers within a second, repaints what is invalidated, is never hung and
// takes no close; then it ends as always. In dark mode, the installing page
// (the bar, the disabled controls) is dark and readable too.
TEST_F(Install, TheWindowAnswersWhileTheStatisticsServerDoesNot) {
    AppsMode mode(0);
    test::LoopbackServer server("", WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    HWND form = run.Form();
    Click(run.Control("Button", "&Install"));
    ASSERT_TRUE(WaitUntil([&] { return run.Position() == 100; }, kWait)) << "the bar never answered 100";
    const DWORD reached = GetTickCount();
    PostMessageA(form, WM_CLOSE, 0, 0);
    Sleep(300);
    CaptureWindow(form, test::BuildFile("screenshots\\installing-dark-96.png"), true);
    ExpectDarkAndReadable(form, 96, "installing");
    int answered = 0;
    for (DWORD_PTR unused = 0; server.Requests().empty() && GetTickCount() - reached < 60000; ++answered) {
        const DWORD start = GetTickCount();
        ASSERT_TRUE(SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &unused))
            << "no answer " << (start - reached) << " ms after 100";
        EXPECT_FALSE(IsHungAppWindow(form));
        RECT area = {10, 10, 200, 60};
        InvalidateRect(form, &area, FALSE);
        EXPECT_TRUE(WaitUntil([&] { return !GetUpdateRect(form, nullptr, FALSE); }, 1000)) << "not repainted";
        const DWORD spent = GetTickCount() - start;
        if (spent < 1000) Sleep(1000 - spent);
    }
    const DWORD waited = GetTickCount() - reached;
    EXPECT_GT(answered, 20);
    EXPECT_TRUE(IsWindow(form)) << "closed while it installed";
    ASSERT_TRUE(WaitUntil([&] { return run.Status() == "Installation Complete"; }, kWait));
    EXPECT_GT(waited, 25000u);
    EXPECT_LT(waited, 40000u);
    EXPECT_EQ(server.Requests(), std::vector<std::string>{kExpectedRequest});
    ExpectInstalledFiles(places_.program, places_.data);
    EXPECT_TRUE(Finish(run));
}

TEST_F(Install, AReInstallReplacesEveryFileAndKeepsModeOff) {
    ASSERT_NO_FATAL_FAILURE(InstallAsUser(false));
    for (const PayloadFile& f : kFiles)
        test::WriteFileBytes((f.inProgramFolder ? places_.program : places_.data) + "\\" + f.name, "stale");
    test::SetText(kSettings, "ModeIs", "Off");
    // Old links that cannot be set aside stay as they are, without a word.
    const std::string readOnly = places_.menu + "\\WrenTide.lnk";
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    UniqueHandle held(CreateFileA((places_.menu + "\\Uninstall.lnk").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    ASSERT_TRUE(held.Valid());

    SetupRun again;
    ASSERT_NE(again.Control("Button", "&Re-Install"), nullptr);
    ASSERT_TRUE(again.ToOptions(false, false));
    ASSERT_TRUE(Completes(again, "&Re-Install", 'r'));
    held.Close();
    EXPECT_TRUE(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    ExpectInstalledFiles(places_.program, places_.data);
    ExpectRegistration(places_.program, "Off");
    ExpectLinks(places_.program, false);
    Finish(again);
    EXPECT_EQ(FindStartedApplication(500), nullptr);
}

TEST_F(Install, ALockedProgramFailsTheInstallAtItsStep) {
    CreateDirectoryA(places_.program.c_str(), nullptr);
    const std::string exe = places_.program + "\\WrenTide.exe";
    test::WriteFileBytes(exe, "running");
    HANDLE running = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);

    SetupRun run;
    // Setup sees the program running; the user carries on regardless.
    HWND active = WaitForWindow(run.process().Id(), "#32770", "Information", kWait, true);
    ASSERT_NE(active, nullptr);
    PostMessageA(active, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(run.ToOptions(false, true));
    ASSERT_TRUE(run.Install("Install &Now", {IDCANCEL}));
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], "Install Failed!  Try installing as administrator.");
    EXPECT_EQ(run.Position(), 20);
    EXPECT_EQ(run.Status(), "Installation Failed");
    EXPECT_FALSE(test::KeyExists(kSettings));
    EXPECT_FALSE(test::KeyExists(kUninstall));
    EXPECT_FALSE(test::PathExists(places_.menu + "\\WrenTide.lnk"));
    // A failed first install takes back what it wrote; the running program stays.
    EXPECT_FALSE(test::PathExists(places_.vendor));
    EXPECT_EQ(test::ReadFileBytes(exe), "running");
    CloseHandle(running);

    EndsBy(run, "Close");
    EXPECT_EQ(FindStartedApplication(1000), nullptr) << "a failed install starts nothing";
}

TEST_F(Install, AProgramFolderWhoseParentIsMissingIsReportedTwice) {
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    const std::string typed = "C:\\wt-e2e\\missing\\WrenTide";
    TypeFolder(run, typed);  // and goes to the install button
    ASSERT_TRUE(run.Install("&Install", {IDCANCEL, IDCANCEL}));
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], "Install Failed! Unable to create Install Folder.");
    EXPECT_EQ(run.messages[1], "Install Failed!  Try installing as administrator.");
    EXPECT_FALSE(test::PathExists(places_.vendor)) << "taken back with the failed install";
    EXPECT_FALSE(test::PathExists(typed));
    EXPECT_EQ(run.Status(), "Installation Failed");
    EXPECT_EQ(run.Position(), 20);
    EndsBy(run, "Close");
}

// The browser opens on the program folder when it exists; the folder the
// user picks there becomes the box's text and hint, and takes the files.
TEST_F(Install, TheFolderChosenInTheBrowserTakesTheFiles) {
    const std::string picked = "C:\\wt-e2e\\picked";
    for (const std::string& folder : {places_.program, picked}) SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    HWND browser = OpenFolderBrowser(run.Form());
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(AnswerFolderBrowser(run.Form(), browser, IDOK));
    EXPECT_EQ(TextOf(run.Edit()), places_.program) << "the browser did not open on the program folder";

    ASSERT_NE(browser = OpenFolderBrowser(run.Form()), nullptr);
    BrowseTo(browser, picked);
    ASSERT_TRUE(AnswerFolderBrowser(run.Form(), browser, IDOK));
    EXPECT_EQ(TextOf(run.Edit()), picked);
    EXPECT_EQ(HintOf(run.Form(), run.Edit()), picked);
    ASSERT_TRUE(Completes(run));
    ExpectInstalledFiles(picked, places_.data);
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), picked);
    ExpectLinks(picked, false);
    Finish(run);
}

TEST_F(Install, EnterPressesTheFocusedButtonAndNothingElse) {
    SetupRun run;
    ASSERT_NE(run.Form(), nullptr);
    PressEnter(run.Form());  // Welcome: the next button has the focus
    HWND accept = run.Control("Button", "I have read and agree with the EULA ");
    ASSERT_TRUE(WaitUntil([&] { return OwnVisible(GetParent(accept)); }, 5000)) << "Enter did not press Next";
    HWND memo = Focused(run.Form());
    ASSERT_EQ(GetWindowLongA(memo, GWL_STYLE) & ES_MULTILINE, ES_MULTILINE) << "the licence text has the focus";
    for (int i = 0; i < 5; ++i) PressEnter(run.Form());
    Sleep(300);
    DWORD_PTR first = 1;
    SendMessageTimeoutA(memo, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 5000, &first);
    EXPECT_EQ(first, 0u) << "Enter scrolled the licence";
    EXPECT_TRUE(OwnVisible(GetParent(accept)));
    EXPECT_FALSE(run.Checked("I have read and agree with the EULA "));

    Click(accept);  // the options page gives the install button the focus
    ASSERT_TRUE(WaitUntil([&] { return OwnVisible(GetParent(run.Edit())); }, 5000));
    ASSERT_TRUE(Completes(run, "&Install", '\r'));
    PressEnter(run.Form());  // Done: "Finished" has the focus
    EXPECT_EQ(ExitCode(run.process()), 0u) << "Enter did not press Finished";
}

// A used installation's preferences, and a Start-menu folder that cannot be
// made (a file holds its name): the install still completes, quietly without
// menu links; record 0 alone takes the work folder. Then the title-bar close
// ends setup without starting the program, although the box is ticked.
TEST_F(Install, PreferencesKeptAndNoMenuFolderThenTheTitleBarCloseStartsNothing) {
    SHCreateDirectoryExA(nullptr, places_.data.c_str(), nullptr);
    std::string prefs(3 * 272, '\0');
    for (size_t i = 0; i < prefs.size(); ++i) prefs[i] = static_cast<char>(i * 7 + 1);
    test::WriteFileBytes(places_.data + "\\WrenTide.tub", prefs);
    test::WriteFileBytes(places_.menu, "not a folder");

    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, true));
    ASSERT_TRUE(Completes(run));
    EXPECT_EQ(run.Position(), 100);
    EXPECT_EQ(test::ReadFileBytes(places_.menu), "not a folder");
    EXPECT_EQ(RegValue(kUninstall, "UninstallString"), Quoted(places_.program + "\\uninstall.exe"));

    std::string expected = prefs;
    const std::string work = RegValue(kSettings, "WrkPth");
    expected[0] = static_cast<char>(work.size());
    expected.replace(1, work.size(), work);
    EXPECT_EQ(test::ReadFileBytes(places_.data + "\\WrenTide.tub"), expected);

    PostMessageA(run.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(ExitCode(run.process()), 0u);
    EXPECT_EQ(FindStartedApplication(1000), nullptr);
    DeleteFileA(places_.menu.c_str());
}

TEST_F(Install, CancelBeforeInstallingStartsNothing) {
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(true, true));
    EndsBy(run, "&Cancel");
    EXPECT_EQ(FindStartedApplication(1000), nullptr);
    EXPECT_FALSE(test::PathExists(places_.program));
    EXPECT_FALSE(test::KeyExists(kSettings));
}

// Names outside the system's code page (1252 here): a user whose profile has
// one, and a typed program folder. Everything lands in the true folders, is
// recorded and linked with the true paths, and the uninstaller removes it.
// Each user's case runs in a prefix made for that user (CMakeLists.txt).
struct Outside {
    const char* name;
    const char* user;  // the prefix's user, or "" for the shared prefix
    const char* typedFolder;
};

void PrintTo(const Outside& c, std::ostream* out) { *out << c.name; }

class OutsideTheCodePage : public Install, public ::testing::WithParamInterface<Outside> {};

TEST_P(OutsideTheCodePage, InstallsRecordsLinksAndUninstalls) {
    const Outside& c = GetParam();
    if (*c.user) {
        ASSERT_EQ(UserName(), c.user) << "not run in that user's own prefix";
    }
    const std::string program = *c.typedFolder ? c.typedFolder : places_.program;
    // Setup makes one level only: the typed folder's parent is there.
    if (*c.typedFolder) CreateDirectoryW(Wide(kTypedParent).data(), nullptr);
    {
        test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
        ASSERT_TRUE(server.Listening());
        SetupRun run;
        ASSERT_TRUE(run.ToOptions(true, false));
        if (*c.typedFolder) TypeFolder(run, program);
        ASSERT_TRUE(Completes(run));
        Finish(run);
    }
    ExpectInstalledFiles(program, places_.data);
    ExpectRegistration(program, "On");
    ExpectLinks(program, true);

    UninstallAll(places_.data);
    ExpectRemoved(places_.data, {program, places_.menu, places_.desk + "\\WrenTide.lnk"});
}

INSTANTIATE_TEST_SUITE_P(, OutsideTheCodePage,
                         ::testing::Values(Outside{"UserLukasz", "\u0141ukasz", ""},
                                           Outside{"UserYamada", "\u5C71\u7530", ""},
                                           Outside{"TypedFolder", "", "C:\\\u0141\u00F3d\u017A \u03A9\\WrenTide"}),
                         [](const ::testing::TestParamInfo<Outside>& info) { return std::string(info.param.name); });

TEST_F(Install, NoDllPlantedBesideSetupLoads) { ExpectNoPlantedDllLoads(kPlantSetupFolder); }
TEST_F(Install, NoDllPlantedInTheDataFolderLoads) { ExpectNoPlantedDllLoads(places_.data); }
TEST_F(Install, NoDllPlantedInTheTempFolderLoads) { ExpectNoPlantedDllLoads(TempFolder()); }

}  // namespace
}  // namespace wt::e2e
