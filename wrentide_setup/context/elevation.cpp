#include "wrentide_setup/context/elevation.h"

namespace wt {

StartAction DecideStart(InstallScope asked, bool elevated, bool elevationRefused, bool unattended) {
    if (asked == InstallScope::User || elevated) return StartAction::Install;
    if (!elevationRefused) return StartAction::RelaunchElevated;
    return unattended ? StartAction::EndRefused : StartAction::OfferThisUser;
}

}  // namespace wt
