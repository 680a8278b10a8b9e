// The WrenTide uninstaller, installed into the data folder. It reads where the
// product went from the settings key that setup wrote, removes the installed
// files, shortcuts and emptied folders, and then the registry record itself.
// The user's preferences file and work folder stay.
//
// A running program cannot delete its own file. So once the work is done the
// uninstaller copies itself to the temporary folder and starts the copy, which
// waits for it to end, deletes it, and marks its own file for removal at the
// next start: the one thing left, in a place that the system clears anyway.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

// An installation for one user (its record under HKEY_CURRENT_USER) is
// removed with /CURRENTUSER, which its record's command lines carry, and
// needs no rights; one for everyone elevates itself first, as setup does.
//
// What setup puts where, and how it reads it back: its own table, names and
// helpers, linked from setup's code, so that the two cannot drift apart.
#include "wrentide_setup/bench_marks.h"
#include "wrentide_setup/context/elevation.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/context/setup_command.h"
#include "wrentide_setup/dll_search.h"
#include "wrentide_setup/engine/install_transaction.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/path.h"
#include "wrentide_setup/system/close_applications.h"
#include "wrentide_setup/system/registry.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/version.h"
#include "wrentide_setup/win32.h"

using wt::JoinPath;
using wt::Utf8;
using wt::Wide;

namespace {

const char kTitle[] = "WrenTide Uninstall";
const char kFinishSwitch[] = "/finish";
// Which installation this run removes: /CURRENTUSER, or the one for everyone.
wt::InstallScope scope = wt::InstallScope::Machine;

// A value that is missing or unreadable reads as not installed.
std::string ReadSetting(const char* name, wt::InstallScope of = scope) {
    try {
        return wt::RegGetString(wt::RegistryRoot(of), wt::kSettingsKey, name);
    } catch (const wt::Error&) {
        return "";
    }
}

std::string OwnPath() {
    wchar_t self[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return length && length < MAX_PATH ? Utf8(self) : "";
}

// /S: no question and no message, for deployment tools, which read the exit code alone.
bool silent = false;
// /CLOSEAPPLICATIONS: a running WrenTide is asked to close rather than waited for.
bool closeApplications = false;
// Windows Installer's codes, which deployment tools understand.
const int kRemoved = 0, kRefused = 1602, kFailed = 1603, kNothingInstalled = 1605, kBadCommandLine = 1639;

// The answer a silent run gives every question is the one that goes on.
int Say(const char* text, UINT type, int silentAnswer = IDOK) {
    return silent ? silentAnswer : MessageBoxW(nullptr, Wide(text).data(), Wide(kTitle).data(), type);
}

// True when a file is there and something holds it open: the running program,
// or the library it loaded. A file refused for another reason is not running.
bool InUse(const std::string& path) {
    const unsigned long error = wt::ExclusiveOpenError(path);
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool ProgramRunning(const wt::InstallPaths& paths) {
    if (FindWindowA("WrenTideMain", nullptr)) return true;
    for (const wt::PayloadFile& file : wt::PayloadTable)
        if (file.folder == &wt::InstallPaths::ProgPth && InUse(wt::Destination(file, paths))) return true;
    return false;
}

// Something that stayed: a silent run then ends with kFailed.
bool leftBehind = false;

// Only an administrator can have the system delete a file at its next start
// (the list is the machine's): a run for one user leaves it where it is.
void RemoveAtNextStart(const std::string& path) {
    if (scope == wt::InstallScope::Machine) MoveFileExW(Wide(path).data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Only the name goes, never what a link there points at. A file of its own in
// use that cannot go now goes at the next start.
void RemoveFile(const std::string& path) {
    const DWORD error = wt::RemoveName(path);
    if (error == ERROR_SUCCESS) wt::LogLine("Removed \"" + path + "\"");
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        leftBehind = true;
        const bool plain = wt::IsPlainFile(path);
        if (plain) RemoveAtNextStart(path);
        wt::LogLine("Cannot remove \"" + path + "\": " + wt::SystemMessage(error) +
                    (plain && scope == wt::InstallScope::Machine ? " It goes at the next start of Windows." : ""));
    }
}

// The data folder and its vendor folder sit under Local AppData, which the
// user can write: one that is a link elsewhere has nothing removed in it.
bool PlainDataFolder(const std::string& data) {
    return wt::IsPlainFolder(data) && wt::IsPlainFolder(wt::ParentFolder(data));
}

// Only an empty folder goes: whatever the user put there stays.
void RemoveEmptyFolder(const std::string& path) {
    if (RemoveDirectoryW(Wide(path).data())) wt::LogLine("Removed the folder \"" + path + "\"");
    else if (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
        wt::LogLine("The folder \"" + path + "\" stays: " + wt::SystemMessage(GetLastError()));
}

// Starts a copy of this program from the temporary folder, which ends the job
// once this process has gone. Returns false when that cannot be done.
bool HandOverToCopy(const std::string& self) {
    wchar_t temp[MAX_PATH] = L"";
    if (!GetTempPathW(MAX_PATH, temp)) return false;
    const std::string copy = Utf8(temp) + "WrenTide-uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
    const std::vector<wchar_t> copyName = Wide(copy);
    // A name already taken (planted, perhaps as a link) is never written through.
    if (!CopyFileW(Wide(self).data(), copyName.data(), TRUE)) return false;
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &duplicate, SYNCHRONIZE,
                         TRUE, 0)) {
        DeleteFileW(copyName.data());
        return false;
    }
    const wt::UniqueHandle me(duplicate);  // the copy inherits its own
    std::string command = "\"" + copy + "\" " + kFinishSwitch + " " +
                          std::to_string(reinterpret_cast<UINT_PTR>(me.Get())) + " \"" + self + "\"" +
                          (scope == wt::InstallScope::User ? " /CURRENTUSER" : "");
    std::vector<wchar_t> line = Wide(command);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // The copy is started from its own folder, so no folder of WrenTide's is held open.
    if (!CreateProcessW(copyName.data(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &started)) {
        DeleteFileW(copyName.data());
        return false;
    }
    const wt::UniqueHandle thread(started.hThread), process(started.hProcess);
    return true;
}

// The copy's part: once the original has ended, delete it and the data
// folder if nothing else is left there, then schedule the copy itself.
int Finish(wt::UniqueHandle original, const std::string& originalPath) {
    wt::EnforceRedirectionTrust();
    WaitForSingleObject(original.Get(), INFINITE);
    original.Close();
    const std::string data = wt::ParentFolder(originalPath);
    if (PlainDataFolder(data)) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const DWORD error = wt::RemoveName(originalPath);
            if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) break;
            Sleep(100);
        }
        RemoveEmptyFolder(data);
        RemoveEmptyFolder(wt::ParentFolder(data));
    }
    const std::string self = OwnPath();
    if (!self.empty()) RemoveAtNextStart(self);
    return 0;
}

// A setup that was killed is taken back before anything is asked, unless a
// setup runs now (it holds the lock that every setup takes), whose journal it
// is. The lock is then held while the uninstaller works.
void FinishInterruptedInstall() {
    static wt::UniqueHandle lock;  // held until the process ends
    lock = wt::UniqueHandle(CreateMutexA(nullptr, FALSE, wt::kSetupMutex));
    if (!lock.Valid() || GetLastError() == ERROR_ALREADY_EXISTS) return;
    const std::string undone = wt::FinishInterruptedInstall(wt::RegistryRoot(scope));
    if (!undone.empty()) wt::LogLine(undone);
}

int Uninstall() {
    wt::EnforceRedirectionTrust();
    FinishInterruptedInstall();
    wt::InstallPaths paths;
    paths.ProgPth = ReadSetting("ProgPth");
    paths.DBPth = ReadSetting("DBPth");
    if (paths.ProgPth.empty() || paths.DBPth.empty()) {
        Say("WrenTide is not installed on this computer.", MB_OK | MB_ICONINFORMATION);
        return wt::EndWith(silent ? kNothingInstalled : 1, "WrenTide is not installed (no record under " +
                                                           wt::RegKeyName(wt::RegistryRoot(scope), "") + ")");
    }
    wt::LogLine("Program folder \"" + paths.ProgPth + "\", data folder \"" + paths.DBPth + "\"");
    if (Say("Remove WrenTide and all of its components?", MB_YESNO | MB_ICONQUESTION, IDYES) != IDYES)
        return wt::EndWith(0, "the user chose not to remove WrenTide");
    const std::string program = JoinPath(paths.ProgPth, wt::kProgramFile);
    if (closeApplications && ProgramRunning(paths)) {
        if (wt::FileInUse(program)) wt::CloseApplications(program);
        else wt::LogLine("WrenTide's window is open, but its program file is not in use: nothing to close");
    }
    // Nothing is removed while the program runs: no half-removed install.
    while (ProgramRunning(paths)) {
        wt::LogLine("WrenTide is running");
        if (Say("WrenTide is running. Close it, then press Retry.", MB_RETRYCANCEL | MB_ICONEXCLAMATION,
                IDCANCEL) != IDRETRY)
            return wt::EndWith(silent ? kFailed : 2, "WrenTide is running; nothing was removed");
    }

    // The running uninstaller itself goes last, through its copy. A data
    // folder that the other scope's installation records too (the same user
    // installed both) keeps its files for that one.
    const wt::InstallScope other = scope == wt::InstallScope::User ? wt::InstallScope::Machine : wt::InstallScope::User;
    const bool shared = wt::SameText(ReadSetting("DBPth", other), paths.DBPth);
    const bool dataFolder = !shared && PlainDataFolder(paths.DBPth);
    for (const wt::PayloadFile& file : wt::PayloadTable)
        if (file.fileName != wt::kUninstallerFile && (dataFolder || file.folder != &wt::InstallPaths::DBPth))
            RemoveFile(wt::Destination(file, paths));
    if (dataFolder) RemoveFile(JoinPath(paths.DBPth, wt::kTempPak));
    RemoveEmptyFolder(paths.ProgPth);

    try {
        const int programs = scope == wt::InstallScope::User ? wt::kProgramsFolder : wt::kCommonProgramsFolder;
        const std::string menu = JoinPath(wt::SpecialFolderPath(programs), wt::kProductFolder);
        for (const char* link : {wt::kProgramLink, wt::kUninstallLink}) RemoveFile(JoinPath(menu, link));
        RemoveEmptyFolder(menu);
        RemoveFile(JoinPath(wt::SpecialFolderPath(wt::kDesktopFolder), wt::kProgramLink));
    } catch (const wt::Error&) {
        // A shell folder that cannot be found keeps its link; the rest goes.
    }

    for (const char* key : {wt::kUninstallKey, wt::kSettingsKey}) {
        const unsigned long error = wt::RegRemoveKey(wt::RegistryRoot(scope), key);
        const std::string name = wt::RegKeyName(wt::RegistryRoot(scope), key);
        wt::LogLine(error == ERROR_SUCCESS ? "Removed the key \"" + name + "\""
                                           : "Cannot remove the key \"" + name + "\": " + wt::SystemMessage(error));
    }
    if (!ReadSetting("ProgPth").empty()) leftBehind = true;

    Say("WrenTide was removed from your computer.", MB_OK | MB_ICONINFORMATION);
    // Everything else is gone by now: a deployment tool that reads the exit
    // code may rely on it. The copy then takes the original file and its folder.
    const std::string self = OwnPath();
    if (dataFolder && !self.empty()) {
        const bool handedOver = HandOverToCopy(self);
        if (!handedOver) RemoveAtNextStart(self);
        wt::LogLine(handedOver ? "A copy in the temporary folder removes \"" + self + "\" once this run ends"
                               : "\"" + self + "\" cannot be handed to a copy: it stays");
    }
    if (silent && leftBehind) return wt::EndWith(kFailed, "something could not be removed (see above)");
    return wt::EndWith(kRemoved, leftBehind ? "WrenTide was removed, with something left behind (see above)"
                                        : "WrenTide was removed");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wt::LoadDllsFromSystemFolderOnly();
    // The original's path may hold any letter: the command line is read wide.
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> owned(CommandLineToArgvW(GetCommandLineW(), &count),
                                                                LocalFree);
    wchar_t** args = owned.get();
    if (args && (count == 4 || count == 5) && Utf8(args[1]) == kFinishSwitch) {
        if (count == 5 && lstrcmpiW(args[4], L"/CURRENTUSER") == 0) scope = wt::InstallScope::User;
        UINT_PTR handle = static_cast<UINT_PTR>(std::wcstoull(args[2], nullptr, 10));
        return Finish(wt::UniqueHandle(reinterpret_cast<HANDLE>(handle)), Utf8(args[3]));
    }
    std::string unknown, logFile;
    bool allUsers = false, currentUser = false, log = false;
    auto is = [](const wchar_t* arg, const wchar_t* name) {
        return (arg[0] == L'/' || arg[0] == L'-') && lstrcmpiW(arg + 1, name) == 0;
    };
    for (int i = 1; args && i < count; ++i) {
        if (is(args[i], L"S")) silent = true;
        else if (is(args[i], L"ALLUSERS")) allUsers = true;
        else if (is(args[i], L"CURRENTUSER")) currentUser = true;
        else if (is(args[i], L"CLOSEAPPLICATIONS")) closeApplications = true;
        else if (is(args[i], L"LOG")) log = true;
        else if ((args[i][0] == L'/' || args[i][0] == L'-') && _wcsnicmp(args[i] + 1, L"LOG=", 4) == 0 && args[i][5])
            log = true, logFile = Utf8(args[i] + 5);
        else if (unknown.empty()) unknown = "Unknown switch: " + Utf8(args[i]);
    }
    if (allUsers && currentUser && unknown.empty()) unknown = "The switches /ALLUSERS and /CURRENTUSER contradict each other";
    // Every silent run writes a log, as setup's unattended runs do; a refused
    // line writes it to the default place. It is opened only once this process
    // is the one that works: an elevated run started from here writes its own.
    auto openLog = [&] {
        if (!silent && !log) return;
        wt::OpenSetupLog(logFile.empty() || !unknown.empty() ? wt::DefaultSetupLogPath("Uninstall") : logFile);
        wt::LogLine("WrenTide Uninstall " WRENTIDE_PRODUCT_VERSION ", process " + std::to_string(GetCurrentProcessId()) +
                    ", command line: " + Utf8(GetCommandLineW()));
    };
    if (!unknown.empty()) {
        openLog();
        wt::LogLine(unknown);
        const std::string text =
            unknown + "\r\n\r\nuninstall.exe [/ALLUSERS | /CURRENTUSER] [/S] [/CLOSEAPPLICATIONS] [/LOG[=\"file\"]]";
        Say(text.c_str(), MB_OK | MB_ICONERROR);
        return wt::EndWith(kBadCommandLine, "bad command line; nothing was removed");
    }
    if (currentUser) scope = wt::InstallScope::User;
    // The installation for everyone is removed elevated: a run without the
    // rights starts itself again with them and ends with that run's code.
    int code = 0;
    std::string why;
    const wt::StartAction action = wt::StartWithRights(scope, silent, wt::FaultToken(),
                                                       wt::ArgumentsOf(Utf8(GetCommandLineW())), SW_SHOWNORMAL, &code, &why);
    if (action == wt::StartAction::RelaunchElevated) return code;
    if (action != wt::StartAction::Install) {
        openLog();
        const std::string text = "WrenTide was installed for everyone on this computer: removing it needs "
                                 "administrator rights.\r\n\r\n" + why;
        Say(text.c_str(), MB_OK | MB_ICONERROR);
        return wt::EndWith(kRefused, "no administrator rights: " + why);
    }
    openLog();
    return Uninstall();
}
