#include "wrentide_setup/context/install_plan.h"

#include <windows.h>

#include "wrentide_setup/path.h"
#include "wrentide_setup/registry.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const int kCommonDesktopFolder = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY

bool RunningAsLocalSystem() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
    const UniqueHandle token(opened);
    BYTE buffer[256];
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size) &&
           IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, WinLocalSystemSid);
}

}  // namespace

bool InstallPlan::EveryFolderLevel() const {
    if (!commandLineFolder.empty() && paths.ProgPth == commandLineFolder) return true;
    // The user's own program-files folder is made when missing, as Windows
    // makes it the first time it is used.
    return PerUser() && SameText(ParentFolder(paths.ProgPth), UserProgramFilesFolder());
}

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
        paths.DBPth = JoinPath(paths.VendorPth, kProductFolder);
        paths.WrkPth = JoinPath(SpecialFolderPath(kPersonalFolder), kProductFolder);
        exists = FileExists(JoinPath(paths.ProgPth, kProgramFile));
        inUse = exists && WrenTideRunning(paths.ProgPth);
    }
    return DecideInstallKind(recorded, exists, inUse);
}

InstallPlan PlanInstall(const SetupCommand& command, InstallScope scope) {
    InstallPlan plan;
    plan.paths.Scope = scope;
    plan.desktopShortcut = command.desktop;
    plan.kind = DiscoverInstallPaths(plan.paths);
    plan.foundProgram = plan.paths.ProgPth;
    if (command.hasFolder) plan.paths.ProgPth = plan.commandLineFolder = command.folder;
    if (command.Unattended() && scope == InstallScope::Machine && RunningAsLocalSystem())
        plan.paths.DeskPth = SpecialFolderPath(kCommonDesktopFolder);
    return plan;
}

}  // namespace wt
