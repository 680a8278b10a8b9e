#include "wrentide_setup/system/registration.h"

#include "wrentide_setup/registry.h"
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

RegistryAccess SystemRegistry() { return {RegPutString, RegGetString, RegPutNumber}; }

void WriteRegistration(const InstallPlan& plan, const RegistryAccess& registry, unsigned long installedKilobytes) {
    // Each scope has its own record: the same keys under its own root.
    const char* const root = plan.Root();
    const InstallPaths& paths = plan.paths;
    registry.put(root, kSettingsKey, "ProgName", kProductName);
    registry.put(root, kSettingsKey, "Ver", kVersion);
    registry.put(root, kSettingsKey, "BuildDate", kBuildDate);
    registry.put(root, kSettingsKey, "ProgPth", paths.ProgPth);
    registry.put(root, kSettingsKey, "DBPth", paths.DBPth);
    registry.put(root, kSettingsKey, "WrkPth", paths.WrkPth);
    // A user who turned the mode off keeps it off; anything else, even "off", is switched on.
    if (registry.get(root, kSettingsKey, "ModeIs") != kModeOff) registry.put(root, kSettingsKey, "ModeIs", kModeOn);

    // For everyone, the program folder's copy: no user can change what an
    // administrator or SYSTEM runs. For one user, the data folder's.
    registry.put(root, kUninstallKey, "UninstallString", plan.UninstallCommand());
    // What deployment tools run to remove it with no one at the screen.
    registry.put(root, kUninstallKey, "QuietUninstallString", plan.QuietUninstallCommand());
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
}

}  // namespace wt
