#include "wrentide_setup/system/setup_log.h"

#include <windows.h>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/version.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

UniqueHandle& LogFile() {
    static UniqueHandle file;
    return file;
}

}  // namespace

bool OpenNewLog(const std::string& folder, const std::string& stem, std::string* why,
                std::string (*randomPart)(unsigned)) {
    if (!DirectoryExists(folder)) {
        *why = "the temporary folder \"" + folder + "\" does not exist";
        return false;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string random = randomPart(4);
        if (random.empty()) break;
        const std::string path = JoinPath(folder, ("\\" + stem + "-" + random + ".log").c_str());
        // A new file of our own: CREATE_NEW follows no link and opens nothing that stands there.
        LogFile() = UniqueHandle(CreateFileW(Wide(path).data(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (LogFile().Valid()) return true;
        *why = "\"" + path + "\": " + SystemMessage(GetLastError());
    }
    return false;
}

bool OpenSetupLog(const std::string& path) {
    for (const std::string& folder : MissingFoldersAbove(path)) CreateDirectoryW(Wide(folder).data(), nullptr);
    RemoveName(path);
    // A new file of our own: a name something took again in between fails.
    LogFile() = UniqueHandle(CreateFileW(Wide(path).data(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return LogFile().Valid();
}

void OpenRunLog(const char* program, const std::string& line, const SetupCommand& command, bool refused) {
    if (!command.Unattended() && !command.log) return;
    std::string why;
    bool open = false;
    if (refused || command.logFile.empty()) {
        wchar_t temp[MAX_PATH + 1] = L"";
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        SYSTEMTIME now;
        GetLocalTime(&now);
        char stamp[32];
        wsprintfA(stamp, "-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
        if (length && length <= MAX_PATH) open = OpenNewLog(Utf8(temp), std::string("WrenTide-") + program + stamp, &why);
        else why = "there is no temporary folder";
    } else if (!(open = OpenSetupLog(command.logFile))) {
        why = "\"" + command.logFile + "\": " + SystemMessage(GetLastError());
    }
    // The run goes on without it; whoever started it is told on its standard error.
    if (!open && command.Unattended()) {
        const std::string text = std::string("WrenTide ") + program + " writes no log: " + why + "\r\n";
        DWORD written = 0;
        const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
        if (errors && errors != INVALID_HANDLE_VALUE)
            WriteFile(errors, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    LogLine(std::string("WrenTide ") + program + " " WRENTIDE_PRODUCT_VERSION ", process " +
            std::to_string(GetCurrentProcessId()) + ", command line: " + line);
}

void LogLine(const std::string& text) {
    if (!LogFile().Valid()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    const int length = wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                                 now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    std::string line = std::string(stamp, length) + text;
    // One line per step: a line break inside a system text would split it.
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    line += "\r\n";
    DWORD written = 0;
    // A log that cannot be written never fails the install.
    WriteFile(LogFile().Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int EndWith(int code, const std::string& why) {
    LogLine("Exit code " + std::to_string(code) + ": " + why);
    return code;
}

}  // namespace wt
