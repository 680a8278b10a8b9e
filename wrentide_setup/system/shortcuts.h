// Shell shortcuts to the installed programs. COM must already be initialised
// on the calling thread.
#pragma once

#include <string>

namespace wt {

// linkFolder + "\WrenTide.lnk" -> programFolder + "\WrenTide.exe", started in programFolder.
void MakeProgramShortcut(const std::string& programFolder, const std::string& linkFolder);

// linkFolder + "\Uninstall.lnk" -> dataFolder + "\uninstall.exe", started in dataFolder.
void MakeUninstallShortcut(const std::string& dataFolder, const std::string& linkFolder);

// The same for an installation for one user: the link passes /CURRENTUSER.
void MakeUserUninstallShortcut(const std::string& dataFolder, const std::string& linkFolder);

// Each overwrites a link of the same name. A link object that cannot be made,
// a missing folder or a failed save leave no link and say nothing; a link
// object that cannot be saved at all raises Error.

}  // namespace wt
