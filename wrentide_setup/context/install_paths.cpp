#include "wrentide_setup/context/install_paths.h"

namespace wt {

const char kSettingsKey[] = "\\Software\\WrenTide";
const char kProductFolder[] = "\\WrenTide";
const char kVendorFolder[] = "\\tessel-soft";
const char kProgramFile[] = "\\WrenTide.exe";
const char kUninstallerFile[] = "\\uninstall.exe";
const char kAppActiveText[] =
    "WrenTide seems to be active.  Close any other versions of WrenTide and try installing again.";

InstallKind DecideInstallKind(bool recorded, bool programExists, bool programInUse) {
    // A recorded installation is trusted as it stands: no in-use probe on that path.
    if (recorded) return InstallKind::ReInstall;
    if (!programExists) return InstallKind::FreshInstall;
    return programInUse ? InstallKind::ApplicationActive : InstallKind::ReInstall;
}

}  // namespace wt
