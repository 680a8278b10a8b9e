#include "wrentide_setup/context/install_paths.h"

namespace wt {

const char kSettingsKey[] = "\\Software\\WrenTide";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WrenTide";
const char kProductFolder[] = "\\WrenTide";
const char kVendorFolder[] = "\\tessel-soft";
const char kProgramFile[] = "\\WrenTide.exe";
const char kUninstallerFile[] = "\\uninstall.exe";
const char kProgramLink[] = "\\WrenTide.lnk";
const char kUninstallLink[] = "\\Uninstall.lnk";

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
}  // namespace

std::string JoinPath(const std::string& folder, const char* suffix) {
    size_t end = folder.size();
    if (IsSeparator(suffix[0]))
        while (end > 0 && IsSeparator(folder[end - 1])) --end;
    return folder.substr(0, end) + suffix;
}

bool IsFullPath(const std::string& path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    // A UNC name needs a server after the two separators.
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

const char* RegistryRoot(InstallScope scope) { return scope == InstallScope::User ? "user" : "localmachine"; }

InstallKind DecideInstallKind(bool recorded, bool programExists, bool programInUse) {
    // A recorded installation is trusted as it stands: no in-use probe on that path.
    if (recorded) return InstallKind::ReInstall;
    if (!programExists) return InstallKind::FreshInstall;
    return programInUse ? InstallKind::ApplicationActive : InstallKind::ReInstall;
}

}  // namespace wt
