#include "wrentide_setup/system/shortcuts.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <vector>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/win32.h"

namespace wt {

const char kProgramLink[] = "\\WrenTide.lnk";
const char kUninstallLink[] = "\\Uninstall.lnk";

namespace {

const int kShowCommand = SW_SHOW;

std::wstring Wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> wide(length);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    return std::wstring(wide.data());
}

void MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& workingFolder) {
    const std::wstring widePath = Wide(linkPath);
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Receive())))
        return;
    // A target that does not exist yet answers S_FALSE and is stored all the
    // same; none of these results would change what is saved.
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetArguments("");
    link->SetShowCmd(kShowCommand);

    ComPtr<IPersistFile> file;
    HRESULT hr = link->QueryInterface(IID_IPersistFile, file.Receive());
    if (FAILED(hr)) throw Error(SystemMessage(static_cast<DWORD>(hr)));
    // The old link goes first, as a name: what stands there may be a link
    // planted in the user's desktop folder, and the save must not write
    // through it. A missing folder or a refused write leaves no link, without
    // a word.
    DeleteFileA(linkPath.c_str());
    file->Save(widePath.c_str(), TRUE);
}

}  // namespace

void MakeProgramShortcut(const std::string& programFolder, const std::string& linkFolder) {
    MakeShortcut(JoinPath(linkFolder, kProgramLink), JoinPath(programFolder, kProgramFile), programFolder);
}

void MakeUninstallShortcut(const std::string& dataFolder, const std::string& linkFolder) {
    MakeShortcut(JoinPath(linkFolder, kUninstallLink), JoinPath(dataFolder, kUninstallerFile), dataFolder);
}

}  // namespace wt
