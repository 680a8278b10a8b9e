#include "wrentide_setup/system/setup_log.h"

#include <windows.h>

#include "wrentide_setup/version.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

UniqueHandle& LogFile() {
    static UniqueHandle file;
    return file;
}

}  // namespace

std::string DefaultSetupLogPath(const char* program) {
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[80];
    wsprintfA(name, "WrenTide-%s-%04u%02u%02u-%02u%02u%02u.log", program, now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond);
    return (length && length <= MAX_PATH ? Utf8(temp) : std::string("C:\\")) + name;
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
    OpenSetupLog(refused || command.logFile.empty() ? DefaultSetupLogPath(program) : command.logFile);
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
