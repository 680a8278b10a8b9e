// Walking the wizard of the real setup exe: pages, keyboard accelerators, the
// folder browser.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "driver.h"
#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"

namespace wt::e2e {
namespace {

bool Shown(HWND w) { return OwnVisible(w); }
bool Hidden(HWND w) { return !OwnVisible(w); }
bool Enabled(HWND w) { return IsWindowEnabled(w) != FALSE; }

class Wizard : public ::testing::Test {
protected:
    void SetUp() override {
        test::DeleteSettingsKey();
        setup_ = new Process(SetupExePath());
        form_ = WaitForWindow(setup_->Id(), "TForm1", "WrenTide Installer", kWait, true);
        ASSERT_NE(form_, nullptr);
    }
    void TearDown() override { delete setup_; }
    HWND Find(const char* cls, const std::string& text) { return FindControl(form_, cls, text); }
    HWND FolderBox() { return e2e::FolderBox(form_); }
    // Alt+N, then the acceptance box: the options page.
    void ToOptions() {
        PressAlt(form_, 'n');
        HWND accept = Find("Button", "I have read and agree with the EULA ");
        ASSERT_TRUE(WaitUntil([&] { return Shown(GetParent(accept)); }, 5000)) << "Alt+N did not show the licence";
        PostMessageA(accept, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return Shown(GetParent(FolderBox())); }, 5000));
    }
    Process* setup_ = nullptr;
    HWND form_ = nullptr;
};

TEST_F(Wizard, PagesFollowEachOtherWithNoWayBack) {
    HWND next = Find("Button", "&Next");
    HWND install = Find("Button", "&Install");
    HWND licencePage = GetParent(Find("Button", "I have read and agree with the EULA "));
    HWND optionsPage = GetParent(Find("Button", "Chan&ge"));
    HWND note = Find("Static", "The EULA is only available in English");
    // Label1's area left of the check boxes and above the advice text: the
    // prompt's ink on the Welcome page, plain background on the options page.
    const RECT promptArea = {22, 212, 200, 236};
    SetForegroundWindow(form_);
    Sleep(300);
    ASSERT_GT(PixelsNotFace(form_, promptArea), 50) << "the welcome prompt is not there to begin with";
    PressAlt(form_, 'n');
    ASSERT_TRUE(WaitUntil([&] { return Shown(licencePage); }, 5000));
    EXPECT_FALSE(OwnVisible(next));
    EXPECT_TRUE(OwnVisible(install));
    EXPECT_FALSE(IsWindowEnabled(install)) << "not before the licence is accepted";
    EXPECT_FALSE(OwnVisible(optionsPage));
    EXPECT_FALSE(OwnVisible(note)) << "the language note never shows";

    PostMessageA(Find("Button", "I have read and agree with the EULA "), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return Shown(optionsPage); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return Hidden(licencePage); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return Enabled(install); }, 5000));
    EXPECT_FALSE(OwnVisible(note));
    EXPECT_FALSE(OwnVisible(Find("Static", "Installing Wrentide........")));
    Sleep(300);
    EXPECT_EQ(PixelsNotFace(form_, promptArea), 0) << "the welcome prompt shows through the options page";

    // Alt+C is the cancel button on every page.
    PressAlt(form_, 'c');
    EXPECT_EQ(ExitCode(*setup_), 0u);
}

// What a control is called here: its text, the licence box by its kind.
std::string Name(HWND control) {
    if (ClassOf(control) == "Edit" && (GetWindowLongA(control, GWL_STYLE) & ES_MULTILINE)) return "<licence>";
    return TextOf(control);
}

// Tab walks each page's controls in the table's order, and the accelerators
// of controls on a hidden page do nothing.
TEST_F(Wizard, TabAndTheAcceleratorsKeepToTheVisiblePage) {
    auto walk = [&](int presses) {
        std::vector<std::string> seen = {Name(Focused(form_))};
        for (int i = 0; i < presses; ++i) {
            HWND before = Focused(form_);
            PostMessageA(before, WM_KEYDOWN, VK_TAB, 0x000F0001);
            WaitUntil([&] { return Focused(form_) != before; }, 2000);
            seen.push_back(Name(Focused(form_)));
        }
        return seen;
    };
    auto pressesNothing = [&](const char* letters) {
        for (const char* c = letters; *c; ++c) PressAlt(form_, *c);
        Sleep(500);
        EXPECT_EQ(WaitForWindow(setup_->Id(), "#32770", nullptr, 0, true), nullptr) << letters << " opened a dialog";
    };
    HWND licencePage = GetParent(Find("Button", "I have read and agree with the EULA "));
    HWND optionsPage = GetParent(Find("Button", "Chan&ge"));

    EXPECT_EQ(walk(2), (std::vector<std::string>{"&Next", "&Cancel", "&Next"}));
    pressesNothing("igr");
    EXPECT_FALSE(OwnVisible(licencePage));
    EXPECT_FALSE(OwnVisible(optionsPage));

    PressAlt(form_, 'n');
    ASSERT_TRUE(WaitUntil([&] { return Shown(licencePage); }, 5000));
    EXPECT_EQ(walk(3), (std::vector<std::string>{"<licence>", "I have read and agree with the EULA ", "&Cancel",
                                                 "<licence>"}));
    pressesNothing("nig");
    EXPECT_TRUE(OwnVisible(licencePage));
    EXPECT_FALSE(OwnVisible(optionsPage));

    PostMessageA(Find("Button", "I have read and agree with the EULA "), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return Shown(optionsPage); }, 5000));
    EXPECT_EQ(walk(5), (std::vector<std::string>{"&Install", "Chan&ge", "Place a shortcut on the Desktop",
                                                 "Run WrenTide when install finishes", "&Cancel", "&Install"}));
    pressesNothing("n");
    EXPECT_TRUE(OwnVisible(optionsPage));
    EXPECT_FALSE(OwnVisible(licencePage));
    EXPECT_EQ(TextOf(Find("Button", "&Install")), "&Install");
}

TEST_F(Wizard, TheTitleBarCloseEndsTheProgramFromTheLicencePage) {
    PressAlt(form_, 'n');
    ASSERT_TRUE(WaitUntil([&] { return Shown(GetParent(Find("Button", "I have read and agree with the EULA "))); }, 5000));
    PostMessageA(form_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(setup_->WaitExit(kWait));
}

// The folder browser of "Chan&ge", worked as a user would: owned by the
// window, an existing folder chosen becomes the program folder as it is, and
// a folder gone by the time of OK, or Cancel, changes nothing.
TEST_F(Wizard, TheFolderBrowserTakesOnlyAnExistingFolderAsItIs) {
    const std::string start = TextOf(FolderBox());
    const std::string picked = "C:\\wt-e2e-picked", gone = "C:\\wt-e2e-gone";
    for (const std::string& folder : {picked, gone}) CreateDirectoryA(folder.c_str(), nullptr);
    ToOptions();

    HWND browser = OpenFolderBrowser(form_);
    ASSERT_NE(browser, nullptr) << "no folder browser with the prompt";
    EXPECT_EQ(GetWindow(browser, GW_OWNER), form_);
    EXPECT_FALSE(IsWindowEnabled(form_)) << "the window waits for the browser";
    bool hasEditBox = false;
    for (HWND w : Descendants(browser))
        if (ClassOf(w) == "Edit" && OwnVisible(w)) hasEditBox = true;
    EXPECT_TRUE(hasEditBox);
    BrowseTo(browser, picked);
    ASSERT_TRUE(AnswerFolderBrowser(form_, browser, IDCANCEL));
    EXPECT_EQ(TextOf(FolderBox()), start);

    ASSERT_NE(browser = OpenFolderBrowser(form_), nullptr);
    BrowseTo(browser, gone);
    RemoveDirectoryA(gone.c_str());
    ASSERT_TRUE(AnswerFolderBrowser(form_, browser, IDOK));
    EXPECT_EQ(TextOf(FolderBox()), start);
    EXPECT_EQ(HintOf(form_, FolderBox()), start);
    RemoveDirectoryA(picked.c_str());
}

}  // namespace
}  // namespace wt::e2e
