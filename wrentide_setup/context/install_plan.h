// What one run installs, where and how: made once, from the recorded
// installation, the special folders, the command line and the scope. The
// wizard shows it and lets the user change it; an unattended run takes it as
// it is; the install acts on it and on nothing else.
#pragma once

#include <string>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/context/setup_command.h"

namespace wt {

struct InstallPlan {
    InstallPaths paths;  // the scope among them
    InstallKind kind = InstallKind::FreshInstall;
    bool desktopShortcut = false;  // a WrenTide link on the desktop too
    bool runAfter = false;         // start WrenTide when the install has finished
    // The program folder the command line named, or empty. While it is the
    // program folder, every missing level above it is made.
    std::string commandLineFolder;
    // The program folder discovery found, where a running WrenTide makes the
    // kind ApplicationActive.
    std::string foundProgram;

    // The registry root of the scope's record and journal.
    const char* Root() const { return RegistryRoot(paths.Scope); }
    bool PerUser() const { return paths.Scope == InstallScope::User; }
    // Whether every missing level of the program folder is made, or the last only.
    bool EveryFolderLevel() const;
    // The folder of the uninstaller that the uninstall commands and link name:
    // for everyone the program folder, where only administrators write; for
    // one user the data folder.
    const std::string& UninstallerFolder() const { return PerUser() ? paths.DBPth : paths.ProgPth; }
    // The list of installed programs' commands, the program's name quoted.
    std::string UninstallCommand() const;
    std::string QuietUninstallCommand() const { return UninstallCommand() + " /S"; }
};

// Fills paths from the recorded installation and the special folders, and
// decides between fresh install, re-install and the application being active
// (the caller shows the message about it). Errors of the registry and the
// shell are raised.
InstallKind DiscoverInstallPaths(InstallPaths& paths);

// The plan for scope: discovery once, then what command chose (its program
// folder, the desktop link). For an unattended run for everyone under the
// SYSTEM account, whose own desktop nobody sees, the desktop is everyone's.
// Raises what discovery raises.
InstallPlan PlanInstall(const SetupCommand& command, InstallScope scope);

}  // namespace wt
