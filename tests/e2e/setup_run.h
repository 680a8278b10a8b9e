// Drives one run of the setup exe through its window, as a user would, and
// finds what it started. Shared by the end-to-end tests and the benchmark.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "driver.h"
#include "test_support.h"
#include "wrentide_setup/win32.h"

namespace wt::e2e {

// How long one step of setup or the uninstaller may take under Wine before a
// test gives up on it: a window to show, a box to close, a process to end.
constexpr DWORD kWait = 20000;

std::string LoopbackSetupExe();

using test::ShellFolder;


void Click(HWND control);

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);


// The focused control of the setup window's thread.
HWND Focused(HWND form);

void PressAlt(HWND form, char letter);

// Enter, as the keyboard delivers it to the control with the focus.
void PressEnter(HWND form);

// The window's two text boxes: the licence (multi-line) and the folder box.
HWND TextBox(HWND form, bool multiLine);
HWND LicenceBox(HWND form);
HWND FolderBox(HWND form);

// A message box's text: its one static text that is not empty.
std::string MessageText(HWND box);

// Presses one of a message box's buttons ("OK", "&Yes", "&Retry", ...) and
// waits for the box to go.
bool Answer(HWND box, const char* button);

// One of the user's shell folders moved elsewhere for a while, as a user or
// an administrator may have set it; put back as it was afterwards.
class ShellFolderSetting {
public:
    ShellFolderSetting(const char* name, const std::string& path) : name_(name) {
        RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key_);
        char old[MAX_PATH * 2] = "";
        DWORD size = sizeof old;
        had_ = RegQueryValueExA(key_, name_, nullptr, &type_, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
        old_.assign(old, had_ ? size : 0);
        RegSetValueExA(key_, name_, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
    }
    ~ShellFolderSetting() {
        if (had_)
            RegSetValueExA(key_, name_, 0, type_, reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueA(key_, name_);
        RegCloseKey(key_);
    }
    ShellFolderSetting(const ShellFolderSetting&) = delete;
    ShellFolderSetting& operator=(const ShellFolderSetting&) = delete;

private:
    static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    const char* name_;
    HKEY key_ = nullptr;
    DWORD type_ = REG_EXPAND_SZ;
    bool had_ = false;
    std::string old_;
};

// Alt+G on the options page, and the folder browser it opens.
HWND OpenFolderBrowser(HWND form);

// The user clicking their way to a folder in the browser.
void BrowseTo(HWND browser, const std::string& path);

// OK or Cancel in the browser; true once the window takes input again.
bool AnswerFolderBrowser(HWND form, HWND browser, int button);

// The hint that the window's tooltip shows for one of its controls.
std::string HintOf(HWND form, HWND control);

// One run of the setup exe, driven through its window.
class SetupRun {
public:
    explicit SetupRun(const std::string& exe = LoopbackSetupExe()) : process_(exe) {}
    SetupRun(const std::string& exe, const std::string& arguments)
        : process_(Process::FromCommandLine("\"" + exe + "\" " + arguments)) {}
    Process& process() { return process_; }

    HWND Form();
    HWND Control(const char* cls, const std::string& text) { return FindControl(Form(), cls, text); }
    HWND Edit() { return FolderBox(Form()); }
    HWND Progress();
    // Welcome -> licence -> options; ticks the two boxes as asked. onLicence
    // runs once the licence page shows.
    bool ToOptions(bool desktop, bool runAfter, const std::function<void()>& onLicence = nullptr);
    bool Checked(const char* text);
    // Presses the install button and waits for the end, answering each failure
    // message in turn (IDOK or IDCANCEL for the title-bar close).
    // With an accelerator letter the button is pressed by Alt+letter instead,
    // with '\r' by Enter.
    bool Install(const char* caption, std::vector<int> answers = {}, char accelerator = 0);
    std::string Status();
    int Position();
    std::vector<std::string> messages;

private:
    Process process_;
    HWND form_ = nullptr;
};

// The application's main window, from whichever process started it.
HWND FindStartedApplication(DWORD milliseconds);

void CloseStartedApplication(HWND window);

}  // namespace wt::e2e
