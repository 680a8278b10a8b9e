// Where the installer writes: worked out once when the setup window is
// created, kept for the life of the process.
#pragma once

#include <string>

namespace wt {

// Whom an installation is for: everyone on the machine (elevated; its record
// under HKEY_LOCAL_MACHINE) or the user who runs setup (no rights needed; its
// record under HKEY_CURRENT_USER, its files in that user's profile).
enum class InstallScope { Machine, User };

struct InstallPaths {
    std::string ProgPth;    // program folder
    std::string DBPth;      // data folder
    std::string VendorPth;  // the maker's folder, parent of the default data folder
    std::string WrkPth;     // the user's work folder
    std::string MenuPth;    // Start-menu folder for the shortcuts
    std::string DeskPth;    // desktop folder
    InstallScope Scope = InstallScope::Machine;  // chosen before the places are found
};

// The registry root of the scope's record and journal: "localmachine" or "user".
const char* RegistryRoot(InstallScope scope);

enum class InstallKind { FreshInstall, ReInstall, ApplicationActive };

// Every suffix begins with a backslash; JoinPath puts it after the folder.
extern const char kSettingsKey[];    // "\Software\WrenTide"
extern const char kUninstallKey[];   // "Software\Microsoft\Windows\CurrentVersion\Uninstall\WrenTide"
extern const char kProductFolder[];  // "\WrenTide"
extern const char kVendorFolder[];   // "\tessel-soft"
extern const char kProgramFile[];    // "\WrenTide.exe", in the program folder
// "\uninstall.exe", in the data folder; for everyone also in the program
// folder, the copy that the uninstall commands name, where only
// administrators write.
extern const char kUninstallerFile[];
extern const char kProgramLink[];      // "\WrenTide.lnk", in the menu folder and on the desktop
extern const char kUninstallLink[];    // "\Uninstall.lnk", in the menu folder

// Shell special folders used for the install locations.
enum SpecialFolder : int {
    kProgramsFolder = 2,         // the user's own Programs menu
    kPersonalFolder = 5,         // documents
    kDesktopFolder = 16,         // desktop directory
    kCommonProgramsFolder = 23,  // all users' Programs menu
    kLocalAppDataFolder = 28,
    kProgramFilesFolder = 38,
};

// folder + suffix with exactly one separator between them: a special folder
// can come back with a trailing backslash (a drive root, or Wine's documents).
std::string JoinPath(const std::string& folder, const char* suffix);

// True for a full path: a drive letter with its root ("C:\", "C:/") or a UNC
// name ("\\server\share"). Empty, relative, drive-relative ("C:WrenTide") and
// root-relative ("\WrenTide") names are not: they would resolve against
// whatever folder setup happens to run in.
bool IsFullPath(const std::string& path);

// The outcome of discovery once the registry record and the program folder are known.
InstallKind DecideInstallKind(bool recorded, bool programExists, bool programInUse);

// Where a per-user installation's program folder goes:
// %LOCALAPPDATA%\Programs, the folder Windows knows as the user's program
// files, also where the system does not know it.
std::string UserProgramFilesFolder();

// A full path written as one name: forward slashes, doubled separators, "."
// and ".." steps and a trailing backslash resolved. Anything that is not a
// full path comes back as it was, to be refused where it is used.
std::string NormalisedFolder(const std::string& path);

// File-system path of a shell special folder; raises Error when the shell
// cannot resolve it. Empty for a folder without a file-system path.
std::string SpecialFolderPath(int folder);

// True when the file exists and cannot be opened exclusively for reading and
// writing, for whatever reason.
bool FileInUse(const std::string& path);

// True while the installed WrenTide runs, as setup and the uninstaller both
// ask it: the program file in programFolder is in use.
bool WrenTideRunning(const std::string& programFolder);

// Why the file cannot be opened exclusively for reading and writing (the
// system's error code), or 0 when it can. The probe leaves nothing open.
unsigned long ExclusiveOpenError(const std::string& path);

}  // namespace wt
