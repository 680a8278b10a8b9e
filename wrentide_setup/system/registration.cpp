#include "wrentide_setup/system/registration.h"

#include <exception>

#include "wrentide_setup/version.h"

namespace wt {

const char kRegistrationFailed[] = "Install Failed. Be certain to run install with Admin rights.";

namespace {

const char kProductName[] = "WrenTide";
// The installer's own version, which the application reads; not the exe's version resource.
const char kVersion[] = "2.2";
const char kBuildDate[] = "180511";
const char kModeOff[] = "Off";
const char kModeOn[] = "On";

}  // namespace

bool WriteRegistration(const InstallPaths& paths, const WorkFolderStore& storeWorkFolder,
                       const RegistryAccess& registry, unsigned long installedKilobytes, std::string* failure) {
    // Each scope has its own record: the same keys under its own root.
    const char* const root = RegistryRoot(paths.Scope);
    // For everyone, the program folder's copy: no user can change what an
    // administrator or SYSTEM runs. For one user, the data folder's.
    const bool perUser = paths.Scope == InstallScope::User;
    const std::string uninstaller = "\"" + JoinPath(perUser ? paths.DBPth : paths.ProgPth, kUninstallerFile) + "\"" +
                                    (perUser ? " /CURRENTUSER" : "");
    try {
        registry.put(root, kSettingsKey, "ProgName", kProductName);
        registry.put(root, kSettingsKey, "Ver", kVersion);
        registry.put(root, kSettingsKey, "BuildDate", kBuildDate);
        registry.put(root, kSettingsKey, "ProgPth", paths.ProgPth);
        registry.put(root, kSettingsKey, "DBPth", paths.DBPth);
        registry.put(root, kSettingsKey, "WrkPth", paths.WrkPth);
        // A user who turned the mode off keeps it off; anything else, even "off", is switched on.
        if (registry.get(root, kSettingsKey, "ModeIs") != kModeOff)
            registry.put(root, kSettingsKey, "ModeIs", kModeOn);

        // The program's name quoted: the system would otherwise try each
        // blank-separated start of "C:\Program Files (x86)\..." in turn.
        registry.put(root, kUninstallKey, "UninstallString", uninstaller);
        // What deployment tools run to remove it with no one at the screen.
        registry.put(root, kUninstallKey, "QuietUninstallString", uninstaller + " /S");
        registry.put(root, kUninstallKey, "DisplayName", kProductName);
        registry.put(root, kUninstallKey, "FriendlyName", kProductName);
        // The rest of what the list of installed programs shows: the program's
        // icon, version, maker, folder and size; it offers no change or repair.
        registry.put(root, kUninstallKey, "DisplayIcon", JoinPath(paths.ProgPth, kProgramFile));
        registry.put(root, kUninstallKey, "DisplayVersion", WRENTIDE_PRODUCT_VERSION);
        registry.put(root, kUninstallKey, "Publisher", WRENTIDE_COMPANY_NAME);
        registry.put(root, kUninstallKey, "InstallLocation", paths.ProgPth);
        registry.putNumber(root, kUninstallKey, "EstimatedSize", installedKilobytes);
        registry.putNumber(root, kUninstallKey, "NoModify", 1);
        registry.putNumber(root, kUninstallKey, "NoRepair", 1);

        storeWorkFolder(paths.WrkPth);
        return true;
    } catch (const std::exception& error) {
        // In practice a write refused for want of rights. The install goes on
        // with the shortcuts; OK on the message ends the program afterwards.
        if (failure) *failure = error.what();
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace wt
