#include "wrentide_setup/system/registration.h"

namespace wt {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WrenTide";
const char kRegistrationFailed[] = "Install Failed. Be certain to run install with Admin rights.";

namespace {

const char kRoot[] = "localmachine";
const char kProductName[] = "WrenTide";
// The installer's own version, which the application reads; not the exe's version resource.
const char kVersion[] = "2.2";
const char kBuildDate[] = "180511";
const char kModeOff[] = "Off";
const char kModeOn[] = "On";

}  // namespace

bool WriteRegistration(const InstallPaths& paths, const WorkFolderStore& storeWorkFolder,
                       const RegistryAccess& registry) {
    try {
        registry.put(kRoot, kSettingsKey, "ProgName", kProductName);
        registry.put(kRoot, kSettingsKey, "Ver", kVersion);
        registry.put(kRoot, kSettingsKey, "BuildDate", kBuildDate);
        registry.put(kRoot, kSettingsKey, "ProgPth", paths.ProgPth);
        registry.put(kRoot, kSettingsKey, "DBPth", paths.DBPth);
        registry.put(kRoot, kSettingsKey, "WrkPth", paths.WrkPth);
        // A user who turned the mode off keeps it off; anything else, even "off", is switched on.
        if (registry.get(kRoot, kSettingsKey, "ModeIs") != kModeOff)
            registry.put(kRoot, kSettingsKey, "ModeIs", kModeOn);

        // The system runs this line as it stands: no quotation marks, even around blanks.
        registry.put(kRoot, kUninstallKey, "UninstallString", JoinPath(paths.DBPth, kUninstallerFile));
        registry.put(kRoot, kUninstallKey, "DisplayName", kProductName);
        registry.put(kRoot, kUninstallKey, "FriendlyName", kProductName);

        storeWorkFolder(paths.WrkPth);
        return true;
    } catch (...) {
        // In practice a write refused for want of rights. The install goes on
        // with the shortcuts; OK on the message ends the program afterwards.
        return false;
    }
}

}  // namespace wt
