// Program entry of the setup exe: one window, one thread, a message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "wrentide_setup/checkpoints.h"
#include "wrentide_setup/context/elevation.h"
#include "wrentide_setup/context/install_plan.h"
#include "wrentide_setup/context/setup_command.h"
#include "wrentide_setup/context/setup_lock.h"
#include "wrentide_setup/dll_search.h"
#include "wrentide_setup/engine/install_transaction.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/ui/application.h"
#include "wrentide_setup/run/unattended.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace {

const char kAlreadyRunningText[] = "WrenTide setup is already running.";
const char kOfferThisUserText[] =
    "WrenTide Setup was not given administrator rights, which an install for everyone on this computer needs.\r\n"
    "\r\n"
    "Install WrenTide for you alone instead?";

void BringRunningSetupForward() {
    HWND running = FindWindowA(wt::kFormClass, wt::kFormCaption);
    if (!running) return;  // still starting, or on another desktop
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
}

// Rights before anything is shown or written: a run for everyone without an
// elevated token starts again elevated and ends with that run's exit code.
// Otherwise the scope to install for, or none when the user declined.
bool ChooseScope(const std::string& line, const wt::SetupCommand& command, int show, wt::InstallScope& scope,
                 int& code) {
    scope = command.scope;
    // The faults build can stand in a token that is not elevated.
    const auto [action, relaunched, refusal] = wt::StartWithRights(scope, command.Unattended(), command.restarted,
                                                                   wt::FaultToken(), wt::ArgumentsOf(line), show);
    code = relaunched;
    if (action == wt::StartAction::RelaunchElevated) return false;
    wt::OpenRunLog("Setup", line, command, false);
    if (!refusal.empty()) wt::LogLine("Setup could not start with administrator rights: " + refusal);
    if (action == wt::StartAction::EndRefused) {
        code = wt::EndWith(wt::kExitCancelled, "an install for all users needs administrator rights; nothing was "
                                               "changed (/CURRENTUSER installs for this user alone)");
        return false;
    }
    if (action == wt::StartAction::OfferThisUser) {
        if (MessageBoxW(nullptr, wt::Wide(kOfferThisUserText).data(), wt::Wide(wt::kFormCaption).data(),
                        MB_YESNO | MB_ICONQUESTION) != IDYES) {
            code = wt::EndWith(wt::kExitCancelled, "no rights for all users, and no install for this user alone");
            return false;
        }
        scope = wt::InstallScope::User;
        wt::LogLine("Installing for this user alone, as the user chose");
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    wt::LoadDllsFromSystemFolderOnly();
    // Read once; with no switches at all everything below runs as it always has.
    const std::string line = wt::Utf8(GetCommandLineW());
    wt::SetupCommand command = wt::ParseSetupCommand(line);
    const bool unattended = command.Unattended();
    if (!command.error.empty()) {
        // A line that is refused touches nothing, the file it names for its log included.
        wt::OpenRunLog("Setup", line, command, true);
        wt::LogLine(command.error);
        if (!unattended)
            MessageBoxW(nullptr, wt::Wide(command.error).data(), wt::Wide(wt::kFormCaption).data(), MB_OK | MB_ICONERROR);
        return wt::EndWith(wt::kExitBadCommandLine, "bad command line; nothing was changed");
    }
    if (command.help) {
        wt::OpenRunLog("Setup", line, command, false);
        if (unattended) wt::LogLine(wt::kSetupHelpText);
        else MessageBoxW(nullptr, wt::Wide(wt::kSetupHelpText).data(), wt::Wide(wt::kFormCaption).data(), MB_OK);
        return wt::EndWith(wt::kExitInstalled, "help shown; nothing was changed");
    }
    wt::InstallScope scope;
    int code = 0;
    if (!ChooseScope(line, command, show, scope, code)) return code;
    // One name for the folder from here on: what is checked, logged and recorded.
    if (command.hasFolder) command.folder = wt::NormalisedFolder(command.folder);
    // The shell-link object of the shortcuts needs COM on this thread.
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    wt::App().SetTitle(wt::kFormCaption);

    wt::SetupLock setupLock;  // held until WinMain returns
    std::string busy;
    if (!setupLock.Take(scope, busy)) {
        wt::LogLine("Setup cannot start: " + busy);
        if (unattended) {
            CoUninitialize();
            return wt::EndWith(wt::kExitAnotherSetup, kAlreadyRunningText);
        }
        wt::App().FailureMessage(kAlreadyRunningText);
        BringRunningSetupForward();
        CoUninitialize();
        return 0;
    }

    wt::EnforceRedirectionTrust();
    // An install that was killed is taken back first: the installation it was
    // replacing is then the one the wizard, or the unattended run, finds.
    const std::string undone = wt::FinishInterruptedInstall(wt::RegistryRoot(scope), wt::BoundsFor(scope));
    if (!undone.empty()) wt::LogLine(undone);
    if (unattended) {
        code = wt::RunUnattended(instance, command, scope);
        CoUninitialize();
        return code;
    }
    // The wizard's plan: FormCreate works it out, the window edits it.
    static wt::InstallPlan plan;  // lives until the process ends
    plan.paths.Scope = scope;
    wt::TForm1* form = wt::RegisterFormClasses(instance) ? wt::TForm1::Create(instance, plan, &command) : nullptr;
    if (form) {
        // A termination already requested (the application-active message)
        // still shows the window; the loop then ends at once.
        ShowWindow(form->Handle(), show == SW_HIDE ? SW_SHOWNORMAL : show);
        UpdateWindow(form->Handle());
        if (command.closeApplications) form->AwaitWrenTideClosing();
        // A wide loop: a letter typed into the folder box reaches it whole,
        // whatever the system's code page.
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (IsDialogMessageW(form->Handle(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CoUninitialize();
    return wt::EndWith(0, "the wizard was closed");
}
