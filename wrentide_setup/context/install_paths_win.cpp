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
    wchar_t path[MAX_PATH + 1] = L"";
    // A folder without a file-system path leaves the buffer empty.
    SHGetPathFromIDListW(items.list, path);
    path[MAX_PATH] = L'\0';
    return Utf8(path);
}

bool FileInUse(const std::string& path) { return FileExists(path) && ExclusiveOpenError(path) != ERROR_SUCCESS; }

unsigned long ExclusiveOpenError(const std::string& path) {
    UniqueHandle file(CreateFileW(Wide(path).data(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() ? ERROR_SUCCESS : GetLastError();
}

}  // namespace wt
