// The installation itself: folders, the seven payload files with their
// progress milestones, the registration record and the preferences, the
// shortcuts and the statistics ping. It runs start to end on the calling
// thread (the ping's wait on one of its own, the caller's windows answering
// meanwhile) and acts on the plan alone; what it has to say goes to the
// window, or to the log, through InstallReport.
#pragma once

#include <string>

#include "wrentide_setup/context/install_plan.h"

namespace wt {

// What the install tells whoever shows it, as it goes: the status text, the
// progress and the failure messages, then the end. Nothing else.
class InstallReport {
public:
    virtual void Status(const std::string& text) = 0;
    virtual void Progress(int position) = 0;
    // The failure message; the install goes on or stops as the step decides.
    virtual void Message(const std::string& text) = 0;
    // The end state: installed, or failed.
    virtual void Finished(bool success) = 0;

protected:
    ~InstallReport() = default;
};

// Installs as plan says and reports to report; ends with report.Finished.
void RunInstall(const InstallPlan& plan, InstallReport& report);

// Shows "Applying preferences...." and stores the work folder into the data
// folder's existing preferences file. A file that is missing, locked,
// read-only or short is left as it is. Always true.
bool setdest(const InstallPlan& plan, const std::string& workFolder, InstallReport& report);

}  // namespace wt
