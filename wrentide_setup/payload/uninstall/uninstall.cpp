// The WrenTide uninstaller, installed into the data folder. It reads where the
// product went from the settings key that setup wrote, removes the installed
// files, shortcuts and folders, and then the registry record itself.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

const char kTitle[] = "WrenTide Uninstall";
const char kSettingsKey[] = "Software\\WrenTide";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WrenTide";

std::string ReadSetting(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    char buffer[MAX_PATH * 2] = "";
    DWORD size = sizeof buffer - 1, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return "";
    buffer[size < sizeof buffer ? size : sizeof buffer - 1] = '\0';
    return buffer;
}

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return "";
    return path;
}

// A file that is in use cannot go now; Windows removes it at the next start.
void RemoveFile(const std::string& path) {
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void RemoveFolder(const std::string& path) {
    if (!RemoveDirectoryA(path.c_str())) MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string prog = ReadSetting("ProgPth");
    const std::string data = ReadSetting("DBPth");
    if (prog.empty() || data.empty()) {
        MessageBoxA(nullptr, "WrenTide is not installed on this computer.", kTitle, MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    if (MessageBoxA(nullptr, "Remove WrenTide and all of its components?", kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;

    for (const char* name : {"\\WrenTide.exe", "\\LPng.dll", "\\wrnhlp.tub", "\\ReadMe.txt"}) RemoveFile(prog + name);
    RemoveFolder(prog);

    const std::string menu = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\WrenTide";
    RemoveFile(menu + "\\WrenTide.lnk");
    RemoveFile(menu + "\\Uninstall.lnk");
    RemoveFolder(menu);
    RemoveFile(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\WrenTide.lnk");

    // The user's preferences and work stay; only what setup brought goes.
    for (const char* name : {"\\wtdb.res", "\\wscb.rez", "\\temp.pak"}) RemoveFile(data + name);
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    RemoveFile(self);

    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);

    MessageBoxA(nullptr, "WrenTide was removed from your computer.", kTitle, MB_OK | MB_ICONINFORMATION);
    return 0;
}
