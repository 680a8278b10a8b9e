#include "wrentide_setup/run/unattended.h"

#include <exception>

#include "wrentide_setup/context/install_plan.h"
#include "wrentide_setup/engine/install_sequence.h"
#include "wrentide_setup/system/close_applications.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/ui/application.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

// The install with no window at all.
class QuietReport final : public InstallReport {
public:
    bool Succeeded() const { return succeeded_; }

private:
    void Status(const std::string&) override {}
    void Progress(int) override {}
    void Message(const std::string& text) override { App().FailureMessage(text); }
    void Finished(bool success) override { succeeded_ = success; }

    bool succeeded_ = false;
};

// The window on its options page with the plan's choices, then the install:
// it shows the Installing state and its progress and takes no input.
bool InstallInTheWindow(HINSTANCE instance, InstallPlan& plan) {
    TForm1* form = RegisterFormClasses(instance) ? TForm1::Create(instance, plan, nullptr) : nullptr;
    if (!form) {
        LogLine("The setup window cannot be made: " + SystemMessage(GetLastError()));
        return false;
    }
    form->ShowPage(Page::Options);
    ShowWindow(form->Handle(), SW_SHOWNORMAL);
    UpdateWindow(form->Handle());
    form->Install();
    const bool complete = form->InstallComplete();
    DestroyWindow(form->Handle());
    return complete;
}

}  // namespace

int RunUnattended(HINSTANCE instance, const SetupCommand& command, InstallScope scope) {
    // Every failure message of the install, and any other, goes to the log.
    bool failed = false;
    App().SetMessageHandler([&failed](const std::string& text) {
        LogLine("Message: " + text);
        failed = true;
        return IDCANCEL;
    });
    InstallPlan plan;
    try {
        plan = PlanInstall(command, scope);
    } catch (const std::exception& error) {
        LogLine(std::string("Cannot find where to install: ") + error.what());
        return EndWith(kExitFailed, "nothing was changed");
    }
    if (command.closeApplications) CloseRunningWrenTide(plan);
    if (plan.kind == InstallKind::ApplicationActive) {
        ShowAppActive();
        return EndWith(kExitFailed, "WrenTide is running; nothing was changed");
    }
    // Asked to close and still running: nothing is changed, as without the switch.
    if (command.closeApplications && WrenTideRunning(plan.paths.ProgPth)) {
        ShowAppActive();
        return EndWith(kExitFailed, "WrenTide is running and did not close; nothing was changed");
    }
    const InstallPaths& paths = plan.paths;
    LogLine(std::string(plan.PerUser() ? "For this user alone" : "For all users") + ": program folder \"" +
            paths.ProgPth + "\", data folder \"" + paths.DBPth + "\", Start-menu folder \"" + paths.MenuPth + "\"" +
            (plan.desktopShortcut ? ", desktop \"" + paths.DeskPth + "\"" : ""));
    bool complete = false;
    if (command.mode == RunMode::Silent) {
        complete = InstallInTheWindow(instance, plan);
    } else {
        QuietReport report;
        RunInstall(plan, report);
        complete = report.Succeeded();
    }
    if (!complete || failed) return EndWith(kExitFailed, "the install failed");
    return EndWith(kExitInstalled, "WrenTide is installed");
}

}  // namespace wt
