#include "wrentide_setup/system/shortcuts.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/win32.h"

namespace wt {

namespace {

const int kShowCommand = SW_SHOW;

void MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& workingFolder,
                  const char* arguments = "") {
    const std::vector<wchar_t> widePath = Wide(linkPath);
    ComPtr<IShellLinkW> link;
    // __uuidof keeps each identifier local: the system's uuid library would
    // bring along an object full of other interfaces' identifiers.
    if (FAILED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                link.Receive())))
        return;
    // A target that does not exist yet answers S_FALSE and is stored all the
    // same; none of these results would change what is saved.
    link->SetPath(Wide(target).data());
    link->SetWorkingDirectory(Wide(workingFolder).data());
    link->SetArguments(Wide(arguments).data());
    link->SetShowCmd(kShowCommand);
    // The path relative to the link itself, which a save through the link's
    // file interface would have stored; Windows works it out from the link's
    // own path. Wine 8 stores the argument itself and without its flag, which
    // shifts the working folder and arguments when the link is read back.
    if (!RunningOnWine()) link->SetRelativePath(widePath.data(), 0);

    ComPtr<IPersistStream> persist;
    HRESULT hr = link->QueryInterface(__uuidof(IPersistStream), persist.Receive());
    if (FAILED(hr)) throw Error(SystemMessage(static_cast<DWORD>(hr)));
    // The old link goes first, as a name, and the new one is made as a new
    // file: what stands there may be a link planted in the user's desktop
    // folder, and the save must not write through it. A missing folder or a
    // refused write leaves no link, without a word.
    DeleteFileW(widePath.data());
    ComPtr<IStream> stream;
    if (FAILED(SHCreateStreamOnFileEx(widePath.data(), STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_FAILIFTHERE,
                                      FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, reinterpret_cast<IStream**>(stream.Receive()))))
        return;
    // The link's own stream, as its file interface would write it; that one
    // also starts Wine's menu builder for every link, which cost more than all
    // the other install steps together.
    hr = persist->Save(stream.Get(), TRUE);
    stream.Reset();  // closes the file before it is judged
    if (FAILED(hr)) {
        DeleteFileW(widePath.data());
        return;
    }
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, widePath.data(), nullptr);
}

}  // namespace

void MakeProgramShortcut(const std::string& programFolder, const std::string& linkFolder) {
    MakeShortcut(JoinPath(linkFolder, kProgramLink), JoinPath(programFolder, kProgramFile), programFolder);
}

void MakeUninstallShortcut(const std::string& folder, const std::string& linkFolder) {
    MakeShortcut(JoinPath(linkFolder, kUninstallLink), JoinPath(folder, kUninstallerFile), folder);
}

void MakeUserUninstallShortcut(const std::string& folder, const std::string& linkFolder) {
    MakeShortcut(JoinPath(linkFolder, kUninstallLink), JoinPath(folder, kUninstallerFile), folder, "/CURRENTUSER");
}

std::string ShortcutTarget(const std::string& link) {
    ComPtr<IShellLinkW> shellLink;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                shellLink.Receive())) ||
        FAILED(shellLink->QueryInterface(__uuidof(IPersistFile), file.Receive())) ||
        FAILED(file->Load(Wide(link).data(), STGM_READ)))
        return "";
    // The target's item identifiers, which hold every letter; Wine's stored
    // path text loses those outside the code page. Never a search for a
    // moved target.
    wchar_t target[MAX_PATH + 1] = L"";
    ItemIdList items;
    if (FAILED(shellLink->GetIDList(&items.list)) || !items.list || !SHGetPathFromIDListW(items.list, target))
        return "";
    target[MAX_PATH] = L'\0';
    return Utf8(target);
}

}  // namespace wt
