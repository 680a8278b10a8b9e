// The real setup exe under Wine: its window as a user first sees it, and the
// ways start-up can go.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "driver.h"
#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"
#include "window_layout.h"

namespace wt::e2e {
namespace {

// Every run starts from a machine without WrenTide.
class Startup : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        test::DeleteSettingsKey();
        test::RemoveTree(ProgramFolder());
    }
    static std::string ProgramFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\WrenTide"; }
    static HWND Dialog(const Process& setup, const char* caption) {
        return WaitForWindow(setup.Id(), "#32770", caption, kWait, true);
    }
    static HWND DialogButton(HWND dialog, const char* text) { return FindControl(dialog, "Button", text); }
    // The installed program in the default folder, held open as a running one would be.
    static HANDLE RunningProgram() {
        CreateDirectoryA(ProgramFolder().c_str(), nullptr);
        const std::string exe = ProgramFolder() + "\\WrenTide.exe";
        test::WriteFileBytes(exe, "MZ");
        return CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
};

TEST_F(Startup, TheWelcomePageShowsEveryControlAsLaidOut) {
    Process setup(SetupExePath());
    ASSERT_TRUE(setup.Started());
    HWND form = WaitForWindow(setup.Id(), "TForm1", "WrenTide Installer", kWait, true);
    ASSERT_NE(form, nullptr);

    RECT client;
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, 590);
    EXPECT_EQ(client.bottom, 374);
    const LONG style = GetWindowLongA(form, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the window must not be resizable";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    RECT frame, area;
    GetWindowRect(form, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2, (area.left + area.right) / 2, 1) << "centred";
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (area.top + area.bottom) / 2, 1) << "centred";
    // The border answers as a fixed frame, not as a sizing edge.
    DWORD_PTR hit = 0;
    SendMessageTimeoutA(form, WM_NCHITTEST, 0, MAKELPARAM(frame.left, (frame.top + frame.bottom) / 2), SMTO_ABORTIFHUNG,
                        5000, &hit);
    EXPECT_NE(hit, static_cast<DWORD_PTR>(HTLEFT));

    const std::string program = ProgramFolder();
    // The folder box's label shows its whole text in the window's font.
    const char kFolderLabel[] = "Install to this directory:  (Directory will be created for you if it does not exist)";
    const SIZE label = TahomaExtent(kFolderLabel, 11, 96);
    EXPECT_GT(label.cx, 369) << "the text fits the old width: nothing is shown";
    // The table's rows, the folder box showing the program folder, and the
    // folder box's label as wide as its text.
    std::vector<test::LayoutRow> controls(std::begin(test::kWindowLayout), std::end(test::kWindowLayout));
    for (test::LayoutRow& row : controls)
        if (row.id == LabeledEdit1) row.text = program.c_str();
    controls.push_back({LabeledEdit1Label, "Static", kFolderLabel, 22, 20, label.cx < 547 ? label.cx : 547, 13, true,
                        true, test::Margin::NotMeasured, false});
    std::vector<HWND> all = Descendants(form);
    for (const test::LayoutRow& e : controls) {
        SCOPED_TRACE(std::string(e.className) + " \"" + (e.text ? e.text : "(the licence)") + "\"");
        HWND found = nullptr;
        for (HWND w : all) {
            RECT r = RectInParent(w);
            if (ClassOf(w) == e.className && (!e.text || TextOf(w) == e.text) && r.left == e.left && r.top == e.top &&
                r.right - r.left == e.width && r.bottom - r.top == e.height) {
                found = w;
                break;
            }
        }
        ASSERT_NE(found, nullptr) << "no such control at that place";
        EXPECT_EQ(OwnVisible(found), e.visible);
        EXPECT_EQ(IsWindowEnabled(found) != FALSE, e.enabled);
    }

    // The licence, read-only, scrollable, shown from its first line.
    HWND memo = LicenceBox(form);
    ASSERT_NE(memo, nullptr);
    const LONG memoStyle = GetWindowLongA(memo, GWL_STYLE);
    EXPECT_TRUE(memoStyle & ES_READONLY);
    EXPECT_TRUE(memoStyle & WS_VSCROLL);
    EXPECT_FALSE(memoStyle & ES_WANTRETURN);
    RECT memoRect = RectInParent(memo);
    EXPECT_EQ(memoRect.left, 12);
    EXPECT_EQ(memoRect.top, 15);
    EXPECT_EQ(memoRect.right - memoRect.left, 562);
    EXPECT_EQ(memoRect.bottom - memoRect.top, 186);
    std::string licence = test::ReadFileBytes(test::SourceFile("wrentide_setup/payload/artwork/licence.txt"));
    EXPECT_EQ(TextOf(memo), licence);
    DWORD_PTR lines = 0, first = 1;
    SendMessageTimeoutA(memo, EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &lines);
    SendMessageTimeoutA(memo, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 5000, &first);
    EXPECT_GE(lines, 228u);
    EXPECT_EQ(first, 0u);

    // Button4 lies over Button1; the next button has the focus.
    HWND next = FindControl(form, "Button", "&Next");
    HWND install = FindControl(form, "Button", "&Install");
    bool nextAbove = false;
    for (HWND w = GetWindow(install, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        if (w == next) nextAbove = true;
    EXPECT_TRUE(nextAbove);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, next);

    // The banner and the welcome prompt reach the screen; keep a picture of it.
    SetForegroundWindow(form);
    Sleep(300);
    CreateDirectoryA(test::BuildFile("screenshots").c_str(), nullptr);
    EXPECT_TRUE(CaptureWindow(form, test::BuildFile("screenshots\\welcome.png")));
    EXPECT_GT(PixelsNotFace(form, {0, 0, 590, 89}), 590 * 89 * 9 / 10) << "the banner covers the top";
    EXPECT_GT(PixelsNotFace(form, {20, 211, 567, 242}), 200) << "the welcome prompt shows through the main panel";

    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(setup), 0u);
}

TEST_F(Startup, ARightClickInTheLicenceOpensNoMenu) {
    Process setup(SetupExePath());
    HWND form = WaitForWindow(setup.Id(), "TForm1", "WrenTide Installer", kWait, true);
    ASSERT_NE(form, nullptr);
    HWND memo = LicenceBox(form);
    ASSERT_NE(memo, nullptr);
    RECT r;
    GetWindowRect(memo, &r);
    PostMessageA(memo, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(memo), MAKELPARAM(r.left + 20, r.top + 20));
    // An edit box's own menu would be a "#32768" popup of the setup process.
    EXPECT_EQ(WaitForWindow(setup.Id(), "#32768", nullptr, 1000, true), nullptr);
    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(setup.WaitExit(kWait));
}

TEST_F(Startup, AReInstallIsOfferedWhenTheProgramIsAlreadyThere) {
    CreateDirectoryA(ProgramFolder().c_str(), nullptr);
    test::WriteFileBytes(ProgramFolder() + "\\WrenTide.exe", "MZ");
    Process setup(SetupExePath());
    HWND form = WaitForWindow(setup.Id(), "TForm1", "WrenTide Installer", kWait, true);
    ASSERT_NE(form, nullptr);
    EXPECT_NE(FindControl(form, "Button", "&Re-Install"), nullptr);
    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(setup.WaitExit(kWait));
}

TEST_F(Startup, AnActiveApplicationAcknowledgedWithOkEndsTheProgram) {
    const UniqueHandle running(RunningProgram());
    ASSERT_TRUE(running.Valid());

    Process setup(SetupExePath());
    HWND dialog = Dialog(setup, "Information");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(MessageText(dialog),
              "WrenTide seems to be active.  Close any other versions of WrenTide and try installing again.");
    PostMessageA(DialogButton(dialog, "OK"), BM_CLICK, 0, 0);
    EXPECT_EQ(ExitCode(setup), 0u);
}

TEST_F(Startup, AnActiveApplicationMessageClosedByTheTitleBarCarriesOn) {
    const UniqueHandle running(RunningProgram());
    ASSERT_TRUE(running.Valid());

    Process setup(SetupExePath());
    HWND dialog = Dialog(setup, "Information");
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND form = WaitForWindow(setup.Id(), "TForm1", "WrenTide Installer", kWait, true);
    ASSERT_NE(form, nullptr);
    EXPECT_NE(FindControl(form, "Button", "Install &Now"), nullptr);
    EXPECT_NE(FindControl(form, "Edit", ProgramFolder()), nullptr);
    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(setup.WaitExit(kWait));
}

// Only one setup runs at a time: the second says so and leaves at once.
TEST_F(Startup, ASecondSetupSaysTheFirstIsRunningAndEnds) {
    for (bool together : {true, false}) {
        SCOPED_TRACE(together ? "started together" : "started while the first shows its window");
        Process first(SetupExePath());
        if (!together) { ASSERT_NE(WaitForWindow(first.Id(), "TForm1", "WrenTide Installer", kWait, true), nullptr); }
        Process second(SetupExePath());
        HWND dialog = nullptr;
        Process* loser = nullptr;
        Process* winner = nullptr;
        WaitUntil([&] {
            for (Process* p : {&first, &second})
                if ((dialog = WaitForWindow(p->Id(), "#32770", "Information", 0, true))) {
                    loser = p;
                    winner = p == &first ? &second : &first;
                    return true;
                }
            return false;
        }, kWait);
        ASSERT_NE(dialog, nullptr) << "neither setup said the other runs";
        if (!together) { EXPECT_EQ(loser, &second); }
        EXPECT_EQ(MessageText(dialog), "WrenTide setup is already running.");
        PostMessageA(DialogButton(dialog, "OK"), BM_CLICK, 0, 0);
        EXPECT_EQ(ExitCode(*loser), 0u);
        HWND form = WaitForWindow(winner->Id(), "TForm1", "WrenTide Installer", kWait, true);
        ASSERT_NE(form, nullptr) << "the running setup went away";
        EXPECT_EQ(WaitForWindow(loser->Id(), "TForm1", nullptr, 0, false), nullptr);
        PostMessageA(form, WM_CLOSE, 0, 0);
        EXPECT_TRUE(winner->WaitExit(kWait));
    }
}

// Whatever stops setup from learning its folders at start, the user is told
// (with a full stop unless the text ends in a closing character) and the
// window still opens as designed, with nothing in the folder box.
TEST_F(Startup, AnErrorInCreationIsShownAndTheWindowStillOpens) {
    for (bool shellFolder : {false, true}) {
        SCOPED_TRACE(shellFolder ? "local application data folder unresolvable" : "ProgPth of the wrong type");
        std::unique_ptr<ShellFolderSetting> broken;
        if (shellFolder) {
            broken = std::make_unique<ShellFolderSetting>("Local AppData", "Q:\\wt-e2e-nowhere");
        } else {
            const DWORD number = 3;
            test::SetRaw(test::kSettings, "ProgPth", REG_DWORD, &number, sizeof number);
        }

        Process setup(SetupExePath());
        HWND box = Dialog(setup, "WrenTide Installer");
        ASSERT_NE(box, nullptr);
        const std::string text = MessageText(box);
        if (shellFolder) {
            ASSERT_FALSE(text.empty());
            EXPECT_EQ(text.back(), '.') << text;
            EXPECT_NE(text.find_first_not_of(" ."), std::string::npos) << text;
        } else {
            // A closing quote sorts before the full stop, so none is added.
            EXPECT_EQ(text, "Invalid data type for 'ProgPth'");
        }
        PostMessageA(DialogButton(box, "OK"), BM_CLICK, 0, 0);
        HWND form = WaitForWindow(setup.Id(), "TForm1", "WrenTide Installer", kWait, true);
        ASSERT_NE(form, nullptr);
        EXPECT_NE(FindControl(form, "Button", "Install &Now"), nullptr);
        HWND edit = FolderBox(form);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(TextOf(edit), "");
        PostMessageA(form, WM_CLOSE, 0, 0);
        EXPECT_TRUE(setup.WaitExit(kWait));
        Clean();
    }
}

}  // namespace
}  // namespace wt::e2e
