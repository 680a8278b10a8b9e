#include "wrentide_setup/system/registration.h"

#include "wrentide_setup/system/registry.h"
#include "wrentide_setup/win32.h"

namespace wt {

RegistryAccess SystemRegistry() { return {RegPutString, RegGetString, RegPutNumber}; }

InstallKind DiscoverInstallPaths(InstallPaths& paths) {
    // A scope looks for its own installation only, under its own root.
    const bool perUser = paths.Scope == InstallScope::User;
    const char* const root = RegistryRoot(paths.Scope);
    paths.DBPth = RegGetString(root, kSettingsKey, "DBPth");
    paths.ProgPth = RegGetString(root, kSettingsKey, "ProgPth");
    paths.WrkPth = RegGetString(root, kSettingsKey, "WrkPth");
    paths.VendorPth = JoinPath(SpecialFolderPath(kLocalAppDataFolder), kVendorFolder);
    paths.MenuPth = JoinPath(SpecialFolderPath(perUser ? kProgramsFolder : kCommonProgramsFolder), kProductFolder);
    paths.DeskPth = SpecialFolderPath(kDesktopFolder);

    // A recorded installation is taken as it stands; otherwise the defaults
    // apply, and a program already in place decides the kind.
    const bool recorded = !paths.DBPth.empty() && !paths.ProgPth.empty();
    bool exists = false, inUse = false;
    if (!recorded) {
        paths.ProgPth =
            JoinPath(perUser ? UserProgramFilesFolder() : SpecialFolderPath(kProgramFilesFolder), kProductFolder);
        paths.VendorPth = JoinPath(SpecialFolderPath(kLocalAppDataFolder), kVendorFolder);
        paths.DBPth = JoinPath(paths.VendorPth, kProductFolder);
        paths.WrkPth = JoinPath(SpecialFolderPath(kPersonalFolder), kProductFolder);
        exists = FileExists(JoinPath(paths.ProgPth, kProgramFile));
        inUse = exists && WrenTideRunning(paths.ProgPth);
    }
    return DecideInstallKind(recorded, exists, inUse);
}

}  // namespace wt
