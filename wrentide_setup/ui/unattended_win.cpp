#include "wrentide_setup/ui/unattended.h"

#include <exception>

#include "wrentide_setup/engine/install_sequence.h"
#include "wrentide_setup/system/close_applications.h"
#include "wrentide_setup/system/preferences.h"
#include "wrentide_setup/system/registration.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/ui/application.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const int kCommonDesktopFolder = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY

// The install with no window at all.
class QuietReport final : public InstallReport {
public:
    explicit QuietReport(const InstallPaths& paths) : paths_(paths) {}
    bool Succeeded() const { return succeeded_; }

private:
    void Progress(int) override {}
    void Message(const std::string& text) override { App().FailureMessage(text); }
    void StoreWorkFolder(const std::string& workFolder) override {
        UpdatePrefsFile(prefs_, JoinPath(paths_.DBPth, kPrefsFile), workFolder);
    }
    void Finished(bool success) override { succeeded_ = success; }

    const InstallPaths& paths_;
    PrefsFile prefs_;
    bool succeeded_ = false;
};

// The SYSTEM account has no desktop of its own that anyone sees.
bool RunningAsLocalSystem() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
    const UniqueHandle token(opened);
    BYTE buffer[256];
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size) &&
           IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, WinLocalSystemSid);
}

// The window on its options page with the command's choices, then the
// install: it shows the Installing state and its progress and takes no input.
bool InstallInTheWindow(HINSTANCE instance, InstallPaths& paths, const SetupCommand& command) {
    const InstallPaths chosen = paths;
    TForm1* form = RegisterFormClasses(instance) ? TForm1::Create(instance, paths) : nullptr;
    if (!form) {
        LogLine("The setup window cannot be made: " + SystemMessage(GetLastError()));
        return false;
    }
    // Creating the window found the places once more: the command's own go back.
    paths.ProgPth = chosen.ProgPth;
    paths.DeskPth = chosen.DeskPth;
    form->ShowPage(Page::Options);
    form->SetText(LabeledEdit1, paths.ProgPth);
    SendMessageW(form->Control(CheckBox2), BM_SETCHECK, command.desktop ? BST_CHECKED : BST_UNCHECKED, 0);
    ShowWindow(form->Handle(), SW_SHOWNORMAL);
    UpdateWindow(form->Handle());
    form->Install(InstallOptions{command.desktop, command.hasFolder});
    const bool complete = form->InstallComplete();
    DestroyWindow(form->Handle());
    return complete;
}

}  // namespace

void CloseRunningWrenTide(const SetupCommand& command, InstallScope scope) {
    InstallPaths paths;
    paths.Scope = scope;
    try {
        DiscoverInstallPaths(paths);
    } catch (const std::exception& error) {
        LogLine(std::string("Cannot find where WrenTide runs from: ") + error.what());
        return;
    }
    const std::string folder = command.hasFolder ? command.folder : paths.ProgPth;
    if (WrenTideRunning(folder)) CloseApplications(JoinPath(folder, kProgramFile));
}

int RunUnattended(HINSTANCE instance, const SetupCommand& command, InstallScope scope) {
    // Every failure message of the install, and any other, goes to the log.
    bool failed = false;
    App().SetMessageHandler([&failed](const std::string& text) {
        LogLine("Message: " + text);
        failed = true;
        return IDCANCEL;
    });
    InstallPaths paths;
    paths.Scope = scope;
    try {
        if (DiscoverInstallPaths(paths) == InstallKind::ApplicationActive) {
            ShowAppActive();
            return EndWith(kExitFailed, "WrenTide is running; nothing was changed");
        }
        if (command.hasFolder) paths.ProgPth = command.folder;
        // Asked to close and still running: nothing is changed, as without the switch.
        if (command.closeApplications && WrenTideRunning(paths.ProgPth)) {
            ShowAppActive();
            return EndWith(kExitFailed, "WrenTide is running and did not close; nothing was changed");
        }
        if (scope == InstallScope::Machine && RunningAsLocalSystem()) paths.DeskPth = SpecialFolderPath(kCommonDesktopFolder);
    } catch (const std::exception& error) {
        LogLine(std::string("Cannot find where to install: ") + error.what());
        return EndWith(kExitFailed, "nothing was changed");
    }
    LogLine(std::string(scope == InstallScope::User ? "For this user alone" : "For all users") +
            ": program folder \"" + paths.ProgPth + "\", data folder \"" + paths.DBPth + "\", Start-menu folder \"" +
            paths.MenuPth + "\"" + (command.desktop ? ", desktop \"" + paths.DeskPth + "\"" : ""));
    bool complete = false;
    if (command.mode == RunMode::Silent) {
        complete = InstallInTheWindow(instance, paths, command);
    } else {
        QuietReport report(paths);
        RunInstall(paths, InstallOptions{command.desktop, command.hasFolder}, report);
        complete = report.Succeeded();
    }
    if (!complete || failed) return EndWith(kExitFailed, "the install failed");
    return EndWith(kExitInstalled, "WrenTide is installed");
}

}  // namespace wt
