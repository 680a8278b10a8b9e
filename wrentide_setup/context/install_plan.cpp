#include "wrentide_setup/context/install_plan.h"

namespace wt {

std::string InstallPlan::UninstallCommand() const {
    // Quoted: the system would otherwise try each blank-separated start of
    // "C:\Program Files (x86)\..." in turn.
    return "\"" + JoinPath(UninstallerFolder(), kUninstallerFile) + "\"" + (PerUser() ? " /CURRENTUSER" : "");
}

}  // namespace wt
