// The installation itself: folders, the seven payload files with their
// progress milestones, the registration record, the shortcuts and the
// statistics ping. It runs start to end on the calling thread; what it has to
// say goes to the window through InstallReport.
#pragma once

#include <string>

#include "wrentide_setup/context/install_paths.h"

namespace wt {

// What the install sequence tells the window as it goes, in this order:
// progress and failure messages, the work folder once the registry is written,
// then the outcome.
class InstallReport {
public:
    virtual void Progress(int position) = 0;
    // The failure message; the install goes on or stops as the step decides.
    virtual void Message(const std::string& text) = 0;
    // Stores the work folder into the preferences file (the window's setdest).
    virtual void StoreWorkFolder(const std::string& workFolder) = 0;
    // The end state: installed, or failed.
    virtual void Finished(bool success) = 0;

protected:
    ~InstallReport() = default;
};

struct InstallOptions {
    bool desktopShortcut = false;
    // A program folder named on the command line is made with every missing
    // level above it; one typed into the window, one level only.
    bool everyFolderLevel = false;
};

// Installs into paths and reports to report; ends with report.Finished.
void RunInstall(const InstallPaths& paths, const InstallOptions& options, InstallReport& report);

}  // namespace wt
