// The shared failure message: its answers and the termination they request,
// through a recorder and through the real dialog driven like a user would.
#include "wrentide_setup/ui/application.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "test_support.h"

namespace wt {
namespace {

TEST(FailureMessage, OkRequestsTerminationAndLaterMessagesCloseAtOnce) {
    test::FailureRecorder recorder(IDOK);
    EXPECT_EQ(App().FailureMessage("first"), IDOK);
    EXPECT_TRUE(App().Terminated());
    EXPECT_EQ(App().FailureMessage("second"), IDCANCEL);
    ASSERT_EQ(recorder.Texts().size(), 1u) << "no message may be shown after termination";
    EXPECT_EQ(recorder.Texts()[0], "first");
    EXPECT_TRUE(test::TakeQuitMessage());
}

TEST(FailureMessage, CancelLetsTheProgramGoOn) {
    test::FailureRecorder recorder(IDCANCEL);
    EXPECT_EQ(App().FailureMessage("one"), IDCANCEL);
    EXPECT_EQ(App().FailureMessage("two"), IDCANCEL);
    EXPECT_FALSE(App().Terminated());
    EXPECT_EQ(recorder.Texts().size(), 2u);
    EXPECT_FALSE(test::TakeQuitMessage());
}

// Shows the real dialog and, from another thread, answers it the way a user
// would; returns the dialog's answer and what the user saw.
struct Seen {
    int answer = 0;
    std::string caption, text;
    bool hasIcon = false;
};

Seen AnswerDialog(void (*act)(HWND dialog)) {
    App().ResetTermination();
    Seen seen;
    std::atomic<bool> done{false};
    std::thread user([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 1000 && !dialog && !done; ++i) {
            dialog = FindWindowA(reinterpret_cast<LPCSTR>(32770), "Information");
            if (!dialog) Sleep(10);
        }
        if (!dialog) return;
        char buffer[512] = "";
        GetWindowTextA(dialog, buffer, sizeof buffer);
        seen.caption = buffer;
        // The message text is the static control that is not the icon.
        SendMessageA(GetDlgItem(dialog, 100), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        seen.text = buffer;
        seen.hasIcon = SendMessageA(GetDlgItem(dialog, 101), STM_GETICON, 0, 0) != 0;
        act(dialog);
    });
    seen.answer = App().FailureMessage("Install Failed!  Try installing as administrator.");
    done = true;
    user.join();
    return seen;
}

TEST(FailureMessage, TheRealDialogAnswersOkForOkEnterAndEscape) {
    struct Case {
        const char* how;
        void (*act)(HWND);
    } cases[] = {
        {"OK button", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }},
        {"Enter", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Escape", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        Seen seen = AnswerDialog(c.act);
        EXPECT_EQ(seen.caption, "Information");
        EXPECT_EQ(seen.text, "Install Failed!  Try installing as administrator.");
        EXPECT_TRUE(seen.hasIcon);
        EXPECT_EQ(seen.answer, IDOK);
        EXPECT_TRUE(App().Terminated());
        EXPECT_TRUE(test::TakeQuitMessage());
    }
    App().ResetTermination();
}

TEST(FailureMessage, TheRealDialogAnswersCancelForTheTitleBarClose) {
    Seen seen = AnswerDialog([](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(seen.answer, IDCANCEL);
    EXPECT_FALSE(App().Terminated());
    EXPECT_FALSE(test::TakeQuitMessage());
}

// Any window this thread makes; the dialog, even one that a pending quit
// message would close at once, is one.
bool windowMade = false;
LRESULT CALLBACK NoteWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) windowMade = true;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(FailureMessage, AfterTerminationTheRealDialogIsNotShown) {
    App().ResetTermination();
    App().Terminate();
    windowMade = false;
    HHOOK hook = SetWindowsHookExA(WH_CBT, NoteWindow, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(App().FailureMessage("late"), IDCANCEL);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(windowMade) << "the dialog was made after termination";
    EXPECT_TRUE(test::TakeQuitMessage());
    App().ResetTermination();
}

}  // namespace
}  // namespace wt
