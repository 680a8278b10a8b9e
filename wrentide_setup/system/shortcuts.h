// Shell shortcuts to the installed programs. COM must already be initialised
// on the calling thread.
#pragma once

#include <string>

namespace wt {

// linkFolder + "\WrenTide.lnk" -> programFolder + "\WrenTide.exe", started in programFolder.
void MakeProgramShortcut(const std::string& programFolder, const std::string& linkFolder);

// linkFolder + "\Uninstall.lnk" -> folder + "\uninstall.exe", started in folder:
// for everyone the program folder's copy.
void MakeUninstallShortcut(const std::string& folder, const std::string& linkFolder);

// The same for an installation for one user, whose uninstaller is the data
// folder's: the link passes /CURRENTUSER.
void MakeUserUninstallShortcut(const std::string& folder, const std::string& linkFolder);

// The target a saved link names, as the shell reads it back; "" when it
// cannot be read.
std::string ShortcutTarget(const std::string& link);

// Each overwrites a link of the same name. A link object that cannot be made,
// a missing folder or a failed save leave no link and say nothing; a link
// object that cannot be saved at all raises Error.

}  // namespace wt
