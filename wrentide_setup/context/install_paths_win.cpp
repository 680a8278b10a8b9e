#include <windows.h>
#include <shlobj.h>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/error.h"
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

bool FileInUse(const std::string& path) { return FileExists(path) && ExclusiveOpenError(path) != ERROR_SUCCESS; }

unsigned long ExclusiveOpenError(const std::string& path) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() ? ERROR_SUCCESS : GetLastError();
}

}  // namespace wt
