#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/path.h"
#include "wrentide_setup/win32.h"

namespace wt {
std::string SpecialFolderPath(int folder) {
    ItemIdList items;
    HRESULT hr = SHGetSpecialFolderLocation(nullptr, folder, &items.list);
    if (FAILED(hr)) throw Error(SystemMessage(static_cast<DWORD>(hr)));
    wchar_t path[MAX_PATH + 1] = L"";
    // A folder without a file-system path leaves the buffer empty.
    SHGetPathFromIDListW(items.list, path);
    path[MAX_PATH] = L'\0';
    return Utf8(path);
}

std::string UserProgramFilesFolder() {
    // FOLDERID_UserProgramFiles, spelled out rather than linked from uuid.lib.
    static const GUID kUserProgramFiles = {0x5cd7aee2, 0x2219, 0x4a67, {0xb8, 0x5d, 0x6c, 0x9c, 0xe1, 0x56, 0x60, 0xcb}};
    wchar_t* known = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(kUserProgramFiles, KF_FLAG_DONT_VERIFY, nullptr, &known);
    const std::string folder = SUCCEEDED(hr) && known ? Utf8(known) : "";
    CoTaskMemFree(known);
    return !folder.empty() ? folder : JoinPath(SpecialFolderPath(kLocalAppDataFolder), "\\Programs");
}

std::string NormalisedFolder(const std::string& path) {
    if (!IsFullPath(path)) return path;
    const std::vector<wchar_t> name = Wide(path);
    std::vector<wchar_t> full(MAX_PATH + 1, L'\0');
    DWORD length = GetFullPathNameW(name.data(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.assign(length + 1, L'\0');
        length = GetFullPathNameW(name.data(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    std::string normal = Utf8(full.data());
    // A drive's root keeps its backslash: "C:" alone names a current folder.
    while (normal.size() > 3 && normal.back() == '\\' && !IsRootFolder(normal)) normal.pop_back();
    return normal;
}

bool FileInUse(const std::string& path) { return FileExists(path) && ExclusiveOpenError(path) != ERROR_SUCCESS; }

bool WrenTideRunning(const std::string& programFolder) { return FileInUse(JoinPath(programFolder, kProgramFile)); }

unsigned long ExclusiveOpenError(const std::string& path) {
    UniqueHandle file(CreateFileW(Wide(path).data(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() ? ERROR_SUCCESS : GetLastError();
}

}  // namespace wt
