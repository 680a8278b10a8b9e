// The setup window at the display scales users run (100, 150 and 200 %): the
// layout table's 96-DPI pixels scaled, fonts made for the scale, no text cut.
// 144 and 192 run in a prefix of their own at that DPI (at_dpi.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "looks.h"
#include "setup_run.h"
#include "window_layout.h"

namespace wt::e2e {
namespace {

int At(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

// This process reads the real pixels of the window, not ones mapped to 96 DPI.
void SeeRealPixels() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set) set(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

bool Near(const RECT& a, const RECT& b) {
    return abs(a.left - b.left) <= 1 && abs(a.top - b.top) <= 1 && abs(a.right - b.right) <= 1 &&
           abs(a.bottom - b.bottom) <= 1;
}


// At 96 DPI what the window itself draws (its client area) is, to the pixel,
// the page's picture in tests/e2e/reference; the frame and caption are the
// system's, and differ with the fonts a machine has.
void ExpectAsBefore(HWND form, int dpi, const std::string& page) {
    if (dpi != 96) return;
    const std::string shot = test::BuildFile("screenshots\\" + page + "-client-96.png");
    ASSERT_TRUE(CaptureWindow(form, shot, true));
    EXPECT_TRUE(test::ReadFileBytes(shot) == test::ReadFileBytes(test::SourceFile("tests/e2e/reference/" + page + "-96.png")))
        << "the " << page << " page at 96 DPI is not as it was: see " << shot;
}

class AtDpi : public ::testing::TestWithParam<int> {};

TEST_P(AtDpi, TheWindowIsTheTableScaledWithItsTextsWholeAndItsBanner) {
    const int dpi = GetParam();
    SeeRealPixels();
    ASSERT_EQ(ScreenDpi(), dpi) << "this case runs in a prefix at its DPI";
    const int box = GetSystemMetrics(SM_CXMENUCHECK) + At(4, dpi);

    SetupRun run;
    HWND form = run.Form();
    ASSERT_NE(form, nullptr);
    RECT client;
    GetClientRect(form, &client);
    EXPECT_NEAR(client.right, At(590, dpi), 1);
    EXPECT_NEAR(client.bottom, At(374, dpi), 1);

    const std::vector<HWND> all = Descendants(form);
    for (const test::LayoutRow& row : test::kWindowLayout) {
        SCOPED_TRACE(std::string(row.className) + " \"" + (row.text ? row.text : "(text box)") + "\"");
        const RECT want = {At(row.left, dpi), At(row.top, dpi), At(row.left + row.width, dpi),
                           At(row.top + row.height, dpi)};
        HWND found = nullptr;
        for (HWND w : all)
            if (ClassOf(w) == row.className && (!row.text || TextOf(w) == row.text) && Near(RectInParent(w), want))
                found = w;
        ASSERT_NE(found, nullptr) << "no such control at " << want.left << "," << want.top << " " << want.right << ","
                                  << want.bottom;
        if (row.margin == test::Margin::NotMeasured) continue;
        // What the control itself takes from its width: a button's edges, a check box's box.
        const int margin = row.margin == test::Margin::PushButton ? At(8, dpi)
                           : row.margin == test::Margin::CheckBox ? box
                                                                  : 0;
        const SIZE text = TahomaExtent(TextOf(found), 11, dpi);
        EXPECT_LE(text.cx + margin, want.right - want.left) << "the text is cut";
        EXPECT_LE(text.cy, want.bottom - want.top) << "the text is cut";
    }
    // The folder box's label takes its text's width.
    HWND label = FindControl(form, "Static",
                             "Install to this directory:  (Directory will be created for you if it does not exist)");
    ASSERT_NE(label, nullptr);
    const RECT labelRect = RectInParent(label);
    EXPECT_EQ(labelRect.right - labelRect.left, TahomaExtent(TextOf(label), 11, dpi).cx);
    EXPECT_EQ(labelRect.top, At(20, dpi));

    // The welcome prompt, in Tahoma 12 point.
    const SIZE prompt = TahomaExtent("To install WrenTide to your system click next...", 16, dpi);
    EXPECT_LE(prompt.cx, At(547, dpi));
    EXPECT_LE(prompt.cy, At(31, dpi));

    const std::string name = std::to_string(dpi);
    // At 96 DPI each page is, to the pixel, the picture in tests/e2e/reference
    // (taken before the welcome prompt became a control of its own).
    SetForegroundWindow(form);
    Sleep(300);
    CreateDirectoryA(test::BuildFile("screenshots").c_str(), nullptr);
    const auto expectAsBefore = [&](const std::string& page) { ExpectAsBefore(form, dpi, page); };
    EXPECT_TRUE(CaptureWindow(form, test::BuildFile("screenshots\\welcome-" + name + ".png")));
    expectAsBefore("welcome");
    const int width = At(590, dpi), banner = At(89, dpi);
    EXPECT_GT(PixelsNotFace(form, {0, 0, width, banner}), width * banner * 9 / 10) << "the banner covers the top";
    EXPECT_GT(PixelsNotFace(form, {At(20, dpi), At(211, dpi), At(567, dpi), At(242, dpi)}), At(200, dpi))
        << "the welcome prompt shows";

    ASSERT_TRUE(run.ToOptions(true, true));
    Sleep(300);
    EXPECT_TRUE(CaptureWindow(form, test::BuildFile("screenshots\\options-" + name + ".png")));
    expectAsBefore("options");

    // A second setup's failure message is laid out at the same scale.
    Process second(LoopbackSetupExe());
    HWND dialog = WaitForWindow(second.Id(), "#32770", "Information", kWait, true);
    ASSERT_NE(dialog, nullptr);
    HWND ok = FindControl(dialog, "Button", "OK");
    ASSERT_NE(ok, nullptr);
    const RECT button = RectInParent(ok);
    EXPECT_EQ(button.right - button.left, At(75, dpi));
    EXPECT_EQ(button.bottom - button.top, At(23, dpi));
    for (HWND child : Descendants(dialog)) {
        if (ClassOf(child) != "Static") continue;
        const RECT r = RectInParent(child);
        if (TextOf(child).empty()) {
            EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXICON)) << "the icon";
        } else {
            // Sized to the text in the dialog's own font (MS Shell Dlg 8 point), which must
            // have grown with the scale: a line of it at least as high as one of Tahoma's.
            EXPECT_GE(r.bottom - r.top, TahomaExtent(TextOf(child), 11, dpi).cy - 1) << "a font of 96 DPI";
            EXPECT_EQ(r.left, 2 * At(12, dpi) + GetSystemMetrics(SM_CXICON)) << "beside the icon";
        }
    }
    EXPECT_TRUE(Answer(dialog, "OK"));
    EXPECT_TRUE(second.WaitExit(kWait));
    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.process().WaitExit(kWait));
}

// Dark for apps: every page dark and readable; a change of the mode while the
// window shows is followed both ways, and light is again the light window.
TEST_P(AtDpi, InDarkModeEveryPageIsDarkReadableAndFollowsAChange) {
    const int dpi = GetParam();
    SeeRealPixels();
    ASSERT_EQ(ScreenDpi(), dpi) << "this case runs in a prefix at its DPI";
    AppsMode mode(0);
    SetupRun run;
    HWND form = run.Form();
    ASSERT_NE(form, nullptr);
    SetForegroundWindow(form);
    Sleep(300);
    const std::string name = std::to_string(dpi);
    CreateDirectoryA(test::BuildFile("screenshots").c_str(), nullptr);
    EXPECT_TRUE(CaptureWindow(form, test::BuildFile("screenshots\\welcome-dark-" + name + ".png"), true));
    ExpectDarkAndReadable(form, dpi, "welcome");
    ASSERT_TRUE(run.ToOptions(true, true, [&] {
        Sleep(300);
        EXPECT_TRUE(CaptureWindow(form, test::BuildFile("screenshots\\licence-dark-" + name + ".png"), true));
        ExpectDarkAndReadable(form, dpi, "licence");
    }));
    Sleep(300);
    EXPECT_TRUE(CaptureWindow(form, test::BuildFile("screenshots\\options-dark-" + name + ".png"), true));
    ExpectDarkAndReadable(form, dpi, "options");

    mode.Set(1);
    mode.Tell(form);
    ExpectAsBefore(form, dpi, "options");
    mode.Set(0);
    mode.Tell(form);
    ExpectDarkAndReadable(form, dpi, "options again");
    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.process().WaitExit(kWait));
}

INSTANTIATE_TEST_SUITE_P(Display, AtDpi, ::testing::Values(96, 144, 192),
                         [](const ::testing::TestParamInfo<int>& info) { return "Dpi" + std::to_string(info.param); });

}  // namespace
}  // namespace wt::e2e
