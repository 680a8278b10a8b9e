#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <vector>

#include "wrentide_setup/context/elevation.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/context/setup_command.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/win32.h"

namespace wt {

bool TokenElevated() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
    const UniqueHandle token(opened);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

StartOutcome StartWithRights(InstallScope asked, bool unattended, bool restarted, TokenStandIn token,
                             const std::string& arguments, int show) {
    // A restart that still has no elevated token (a standard user with UAC
    // turned off gets none from "runas") starts no other: once is enough.
    StartOutcome outcome{DecideStart(asked, token == TokenStandIn::Real && TokenElevated(), restarted, unattended), 0, ""};
    if (restarted && outcome.action != StartAction::Install)
        outcome.refusal = "The run started again for administrator rights still has none";
    if (outcome.action != StartAction::RelaunchElevated) return outcome;
    try {
        if (token == TokenStandIn::Refused) throw Error(SystemMessage(ERROR_CANCELLED));
        outcome.code = RunElevated(arguments + " " + kRestartedSwitch, show);
        return outcome;
    } catch (const Error& error) {
        return {DecideStart(asked, false, true, unattended), 0, error.what()};
    }
}

namespace {

const int kProfileFolder = 40;  // CSIDL_PROFILE: from the machine's list of profiles

}  // namespace

ActingBounds BoundsFor(InstallScope scope) {
    ActingBounds bounds;
    if (scope != InstallScope::User || !TokenElevated()) return bounds;
    try {
        for (const std::string& folder : {SpecialFolderPath(kProfileFolder), UserProgramFilesFolder()})
            if (!folder.empty()) bounds.folders.push_back(FinalPathOf(folder));
        // The desktop may lie outside the profile (Wine links it to the home
        // folder): of it, only the link that setup makes there.
        const std::string desktop = FinalPathOf(SpecialFolderPath(kDesktopFolder));
        if (!desktop.empty()) bounds.files.push_back(JoinPath(desktop, kProgramLink));
    } catch (const std::exception&) {
        // A shell folder that cannot be found bounds nothing more.
    }
    // Never unbounded by accident: with no folder found, nothing is inside.
    if (bounds.folders.empty() && bounds.files.empty()) bounds.files.push_back("");
    return bounds;
}

std::string OutsideBounds(const ActingBounds& bounds, const std::string& folder, const std::string& path,
                          bool isFolder) {
    if (bounds.folders.empty() && bounds.files.empty()) return "";
    for (const std::string& root : bounds.folders)
        if (IsInside(folder, root, !isFolder)) return "";
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    for (const std::string& file : bounds.files)
        if (!isFolder && !file.empty() && SameText(folder + "\\" + name, file)) return "";
    return "lies outside this user's own folders, where a run with an elevated token does not act for one user: "
           "a run without elevation can take it on";
}

int RunElevated(const std::string& arguments, int show) {
    std::vector<wchar_t> self(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0 || length >= self.size())
        throw Error("This program's own file cannot be named: " + SystemMessage(GetLastError()));
    std::vector<wchar_t> folder(32768, L'\0');
    const DWORD folderLength = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    const std::vector<wchar_t> parameters = Wide(arguments);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // No box of the shell's own: a refusal is reported here.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = self.data();
    info.lpParameters = parameters.data();
    info.lpDirectory = folderLength && folderLength < folder.size() ? folder.data() : nullptr;
    info.nShow = show;
    // ERROR_CANCELLED when the prompt was cancelled.
    if (!ShellExecuteExW(&info)) throw Error(SystemMessage(GetLastError()));
    // It was started: whatever happens now, this process does not install too.
    // An outcome that cannot be read is a failure.
    const UniqueHandle process(info.hProcess);
    DWORD exitCode = kExitFailed;
    if (!process.Valid() || WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.Get(), &exitCode))
        exitCode = kExitFailed;
    return static_cast<int>(exitCode);
}

}  // namespace wt
