#include "wrentide_setup/system/registration.h"

#include <exception>

#include "wrentide_setup/version.h"

namespace wt {

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
                       const RegistryAccess& registry, unsigned long installedKilobytes, std::string* failure) {
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
        // What deployment tools run to remove it with no one at the screen.
        registry.put(kRoot, kUninstallKey, "QuietUninstallString",
                     "\"" + JoinPath(paths.DBPth, kUninstallerFile) + "\" /S");
        registry.put(kRoot, kUninstallKey, "DisplayName", kProductName);
        registry.put(kRoot, kUninstallKey, "FriendlyName", kProductName);
        // The rest of what the list of installed programs shows: the program's
        // icon, version, maker, folder and size; it offers no change or repair.
        registry.put(kRoot, kUninstallKey, "DisplayIcon", JoinPath(paths.ProgPth, kProgramFile));
        registry.put(kRoot, kUninstallKey, "DisplayVersion", WRENTIDE_PRODUCT_VERSION);
        registry.put(kRoot, kUninstallKey, "Publisher", WRENTIDE_COMPANY_NAME);
        registry.put(kRoot, kUninstallKey, "InstallLocation", paths.ProgPth);
        registry.putNumber(kRoot, kUninstallKey, "EstimatedSize", installedKilobytes);
        registry.putNumber(kRoot, kUninstallKey, "NoModify", 1);
        registry.putNumber(kRoot, kUninstallKey, "NoRepair", 1);

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
