#include <windows.h>
#include <shlobj.h>

#include "wrentide_setup/application.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/system/registry.h"
#include "wrentide_setup/win32.h"

namespace wt {
std::string SpecialFolderPath(int folder) {
    ItemIdList items;
    HRESULT hr = SHGetSpecialFolderLocation(nullptr, folder, &items.list);
    if (FAILED(hr)) throw Error(SystemMessage(static_cast<DWORD>(hr)));
    char path[MAX_PATH + 1] = "";
    // A folder without a file-system path leaves the buffer empty.
    SHGetPathFromIDListA(items.list, path);
    path[MAX_PATH] = '\0';
    return path;
}

InstallKind DiscoverInstallPaths(InstallPaths& paths) {
    paths.DBPth = RegGetString("localmachine", kSettingsKey, "DBPth");
    paths.ProgPth = RegGetString("localmachine", kSettingsKey, "ProgPth");
    paths.WrkPth = RegGetString("localmachine", kSettingsKey, "WrkPth");
    paths.VendorPth = JoinPath(SpecialFolderPath(kLocalAppDataFolder), kVendorFolder);
    paths.MenuPth = JoinPath(SpecialFolderPath(kCommonProgramsFolder), kProductFolder);
    paths.DeskPth = SpecialFolderPath(kDesktopFolder);

    // A recorded installation is taken as it stands; otherwise the defaults
    // apply, and a program already in place decides the kind.
    const bool recorded = !paths.DBPth.empty() && !paths.ProgPth.empty();
    bool exists = false, inUse = false;
    if (!recorded) {
        paths.ProgPth = JoinPath(SpecialFolderPath(kProgramFilesFolder), kProductFolder);
        paths.VendorPth = JoinPath(SpecialFolderPath(kLocalAppDataFolder), kVendorFolder);
        paths.DBPth = JoinPath(paths.VendorPth, kProductFolder);
        paths.WrkPth = JoinPath(SpecialFolderPath(kPersonalFolder), kProductFolder);
        const std::string program = JoinPath(paths.ProgPth, kProgramFile);
        exists = FileExists(program);
        inUse = exists && FileInUse(program);
    }
    InstallKind kind = DecideInstallKind(recorded, exists, inUse);
    if (kind == InstallKind::ApplicationActive) ShowAppActive();
    return kind;
}

bool FileInUse(const std::string& path) {
    if (!FileExists(path)) return false;
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file.Valid();
}

void ShowAppActive() { App().FailureMessage(kAppActiveText); }

}  // namespace wt
