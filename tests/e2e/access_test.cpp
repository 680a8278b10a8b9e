// The wizard as a screen reader reads it and as a keyboard alone drives it.
#include "loopback_server.h"  // winsock2.h must come before windows.h

#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"

namespace wt::e2e {
namespace {

// What oleacc gives a control, as Narrator, NVDA and JAWS read it: its name
// and its role.
std::pair<std::string, long> Accessible(HWND control) {
    ComPtr<IAccessible> object;
    if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible, object.Receive())))
        return {"<no accessible object>", 0};
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string text = SUCCEEDED(object->get_accName(self, &name)) && name ? Utf8(name) : "";
    SysFreeString(name);
    VARIANT role;
    VariantInit(&role);
    const long roleId = SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4 ? role.lVal : 0;
    return {text, roleId};
}

// The names of every control the page shows, as a screen reader meets them.
std::vector<std::string> ReadAloud(HWND form) {
    std::vector<std::string> read;
    for (HWND control : Descendants(form))
        if (IsWindowVisible(control) && ClassOf(control) != "TGroupBox") read.push_back(Accessible(control).first);
    std::sort(read.begin(), read.end());
    return read;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class ScreenReader : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        RemoveDefaultInstall(places_);
    }
    void TearDown() override {
        RemoveDefaultInstall(places_);
        CoUninitialize();
    }
    Places places_;
};

// Every text a page shows has a name, buttons and check boxes without their
// "&", and the folder box its label's. (Wine's oleacc gives statics and
// buttons the client role where Windows tells them apart; the folder box's
// role it computes as Windows does.)
TEST_F(ScreenReader, NamesEveryTextAndControlOfEachPage) {
    SetupRun run;
    ASSERT_NE(run.Form(), nullptr);
    EXPECT_EQ(ReadAloud(run.Form()),
              Sorted({"To install WrenTide to your system click next...", "Next", "Cancel", "Install"}));

    ASSERT_TRUE(run.ToOptions(false, false));
    const std::string label = "Install to this directory:  (Directory will be created for you if it does not exist)";
    EXPECT_EQ(ReadAloud(run.Form()),
              Sorted({label, label, "Change", "Place a shortcut on the Desktop", "Run WrenTide when install finishes",
                      "Uninstall any other versions of WrenTide before proceeding.", "Install", "Cancel"}));
    EXPECT_EQ(Accessible(FolderBox(run.Form())), std::make_pair(label, long(ROLE_SYSTEM_TEXT)));
    PostMessageA(run.Form(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.process().WaitExit(kWait));
}

// Keys as the keyboard gives them, to whatever window has the focus.
void Keys(std::initializer_list<WORD> held, WORD key) {
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD vk, bool up) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD vk : held) add(vk, false);
    add(key, false);
    add(key, true);
    for (WORD vk : held) add(vk, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(200);
}

// Alt+N to the licence, Tab and Space to accept it, Tab (and Shift+Tab) and
// Space for the desktop link, Enter from the check box for the page's own
// button, and Enter again for "Finished".
TEST_F(ScreenReader, TheWholeWizardByKeyboardAlone) {
    test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
    SetupRun run;
    HWND form = run.Form();
    ASSERT_NE(form, nullptr);
    SetForegroundWindow(form);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == form; }, 5000));
    HWND accept = run.Control("Button", "I have read and agree with the EULA ");
    Keys({VK_MENU}, 'N');
    ASSERT_TRUE(WaitUntil([&] { return OwnVisible(GetParent(accept)); }, 5000)) << "Alt+N did not show the licence";
    Keys({}, VK_TAB);
    ASSERT_EQ(Focused(form), accept);
    Keys({}, VK_SPACE);
    HWND desktop = run.Control("Button", "Place a shortcut on the Desktop");
    ASSERT_TRUE(WaitUntil([&] { return OwnVisible(GetParent(desktop)); }, 5000)) << "Space did not accept";
    Keys({}, VK_TAB);
    Keys({}, VK_TAB);
    ASSERT_EQ(Focused(form), desktop);
    Keys({VK_SHIFT}, VK_TAB);
    ASSERT_EQ(Focused(form), run.Control("Button", "Chan&ge")) << "Shift+Tab did not walk back";
    Keys({}, VK_TAB);
    Keys({}, VK_SPACE);
    EXPECT_TRUE(run.Checked("Place a shortcut on the Desktop"));
    Keys({}, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return run.Status() == "Installation Complete"; }, 60000)) << run.Status();
    ExpectInstalledFiles(places_.program, places_.data);
    EXPECT_TRUE(test::PathExists(places_.desk + "\\WrenTide.lnk"));
    ASSERT_EQ(Focused(form), run.Control("Button", "Finished"));
    Keys({}, VK_RETURN);
    EXPECT_EQ(ExitCode(run.process()), 0u) << "Enter did not press Finished";
}

}  // namespace
}  // namespace wt::e2e
