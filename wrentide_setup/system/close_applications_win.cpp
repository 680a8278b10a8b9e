#include "wrentide_setup/system/close_applications.h"

#include <windows.h>
#include <restartmanager.h>
#include <tlhelp32.h>

#include <vector>

#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const UINT kAnswerMilliseconds = 5000;  // for each message; a hung window is not waited for

struct Running {
    DWORD id;
    UniqueHandle process;  // to wait on; it keeps the id from being reused meanwhile
};

// Every other process whose image is program.
std::vector<Running> ProcessesOf(const std::string& program) {
    std::vector<Running> found;
    // Two ways of writing one path compare equal through the names the system resolves.
    const std::string wanted = FinalPathOf(program);
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        LogLine("The running programs cannot be listed: " + SystemMessage(GetLastError()));
        return found;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || entry.th32ProcessID == 0) continue;
        UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process.Valid()) continue;
        std::vector<wchar_t> image(32768, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (!QueryFullProcessImageNameW(process.Get(), 0, image.data(), &size)) continue;
        const std::string name = Utf8(image.data());
        if (SameText(name, program) || (!wanted.empty() && SameText(FinalPathOf(name), wanted)))
            found.push_back({entry.th32ProcessID, std::move(process)});
    }
    return found;
}

// The Restart Manager's own shutdown, where it knows who holds the file;
// false when it is missing or reports no process (Wine's reports none).
bool ShutDownThroughRestartManager(const std::string& program) {
    HMODULE library = LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library) return false;
    using Start = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
    using Register = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
    using List = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
    using Shutdown = DWORD(WINAPI*)(DWORD, ULONG, RM_WRITE_STATUS_CALLBACK);
    using End = DWORD(WINAPI*)(DWORD);
    auto address = [library](const char* name) { return reinterpret_cast<void*>(GetProcAddress(library, name)); };
    const auto start = reinterpret_cast<Start>(address("RmStartSession"));
    const auto add = reinterpret_cast<Register>(address("RmRegisterResources"));
    const auto list = reinterpret_cast<List>(address("RmGetList"));
    const auto shutdown = reinterpret_cast<Shutdown>(address("RmShutdown"));
    const auto end = reinterpret_cast<End>(address("RmEndSession"));
    bool reported = false;
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = L"";
    if (start && add && list && shutdown && end && start(&session, 0, key) == ERROR_SUCCESS) {
        const std::vector<wchar_t> file = Wide(program);
        LPCWSTR files[] = {file.data()};
        UINT needed = 0, count = 0;
        DWORD reasons = 0;
        std::vector<RM_PROCESS_INFO> processes(1);
        if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
            list(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA && needed > 0) {
            processes.resize(needed);
            count = needed;
            if (list(session, &needed, &count, processes.data(), &reasons) == ERROR_SUCCESS && count > 0) {
                reported = true;
                for (UINT i = 0; i < count; ++i)
                    LogLine("The Restart Manager reports \"" + Utf8(processes[i].strAppName) + "\" (process " +
                            std::to_string(processes[i].Process.dwProcessId) + ") holding \"" + program + "\"");
                // No RmForceShutdown: a program that will not close is left running.
                const DWORD rc = shutdown(session, 0, nullptr);
                LogLine(rc == ERROR_SUCCESS ? std::string("The Restart Manager closed them")
                                            : "The Restart Manager could not close them all: " + SystemMessage(rc));
            }
        }
        end(session);
    }
    FreeLibrary(library);
    return reported;
}

struct Windows {
    DWORD id;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
    auto* of = reinterpret_cast<Windows*>(windows);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (id == of->id) of->found.push_back(window);
    return TRUE;
}

// What Windows says to a program's windows before it shuts down, then the
// close of a user's click: the program decides and ends by itself.
void AskToClose(DWORD id) {
    Windows windows{id, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    bool agreed = !windows.found.empty(), answered = true;
    for (HWND window : windows.found) {
        DWORD_PTR answer = FALSE;
        if (!SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                                 kAnswerMilliseconds, &answer))
            answered = false;
        agreed = agreed && answer;
    }
    for (HWND window : windows.found) {
        SendMessageTimeoutW(window, WM_ENDSESSION, agreed, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, kAnswerMilliseconds,
                            nullptr);
        if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    }
    LogLine("Asked process " + std::to_string(id) + " to close through its " + std::to_string(windows.found.size()) +
            " windows: " +
            (windows.found.empty() ? "it has none"
             : agreed              ? "it agreed"
             : answered            ? "it refused"
                                   : "it did not answer in time"));
}

}  // namespace

bool CloseApplications(const std::string& program, unsigned long waitMilliseconds) {
    std::vector<Running> running = ProcessesOf(program);
    LogLine("\"" + program + "\" is in use; " + std::to_string(running.size()) + " process" +
            (running.size() == 1 ? "" : "es") + " of it found");
    if (!ShutDownThroughRestartManager(program))
        for (const Running& r : running) AskToClose(r.id);
    // Each is waited for within the one time limit, never terminated.
    const DWORD start = GetTickCount();
    bool allEnded = true;
    for (const Running& r : running) {
        const DWORD spent = GetTickCount() - start;
        const bool ended =
            WaitForSingleObject(r.process.Get(), spent < waitMilliseconds ? waitMilliseconds - spent : 0) ==
            WAIT_OBJECT_0;
        LogLine("Process " + std::to_string(r.id) + " of \"" + program + "\" " +
                (ended ? "has closed" : "is still running after " + std::to_string(waitMilliseconds / 1000) +
                                            " seconds; it was left running"));
        allEnded = allEnded && ended;
    }
    return allEnded;
}

void CloseRunningWrenTide(InstallPlan& plan) {
    if (WrenTideRunning(plan.paths.ProgPth)) CloseApplications(JoinPath(plan.paths.ProgPth, kProgramFile));
    // The program discovery found in place no longer runs: a re-install.
    if (plan.kind == InstallKind::ApplicationActive && !WrenTideRunning(plan.foundProgram))
        plan.kind = InstallKind::ReInstall;
}

}  // namespace wt
