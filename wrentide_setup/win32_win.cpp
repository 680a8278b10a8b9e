#include "wrentide_setup/win32.h"

#include <ntsecapi.h>

#include <algorithm>
#include <exception>

#include "wrentide_setup/path.h"

namespace wt {

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length && text) message = Utf8(text);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    if (message.empty()) {
        char fallback[32];
        wsprintfA(fallback, "System error %lu", code);
        message = fallback;
    }
    return message;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).data());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasOneName(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool DirectoryExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).data());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> MissingFoldersAbove(const std::string& path) {
    std::vector<std::string> missing;
    for (std::string folder = ParentFolder(path); !folder.empty() && !IsRootFolder(folder) && !DirectoryExists(folder);
         folder = ParentFolder(folder))
        missing.insert(missing.begin(), folder);
    return missing;
}

std::string FinalPath(HANDLE handle) {
    std::vector<wchar_t> path(32768, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    return length && length < path.size() ? Utf8(path.data()) : "";
}

std::vector<wchar_t> WideText(HWND window) {
    std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1, L'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text;
}

std::string FinalPathOf(const std::string& path) {
    const UniqueHandle handle(CreateFileW(Wide(path).data(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::string final = handle.Valid() ? FinalPath(handle.Get()) : "";
    if (!final.empty() && final.back() == '\\') final.pop_back();
    return final;
}

bool SameText(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(Wide(a).data(), -1, Wide(b).data(), -1, TRUE) == CSTR_EQUAL;
}

bool IsInside(const std::string& path, const std::string& folder, bool orSame) {
    if (folder.empty()) return false;
    if (path.size() == folder.size()) return orSame && SameText(path, folder);
    return path.size() > folder.size() && path[folder.size()] == '\\' && SameText(path.substr(0, folder.size()), folder);
}

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool DeleteByHandle(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

// A new empty file of our own beside path, renamed over it: a rename replaces
// the name itself, a host link too, where a delete by name under Wine removes
// the target. The handle then holds the file now standing at path.
UniqueHandle StandInAt(const std::string& path, DWORD& error) {
    UniqueHandle standIn;
    for (int attempt = 0; attempt < 100 && !standIn.Valid(); ++attempt) {
        const std::string name = path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        standIn = UniqueHandle(CreateFileW(Wide(name).data(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        error = GetLastError();
        if (!standIn.Valid() && error != ERROR_FILE_EXISTS) return standIn;
    }
    if (!standIn.Valid()) return standIn;
    const std::vector<wchar_t> target = Wide(path);
    std::vector<BYTE> rename(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t), 0);
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(rename.data());
    info->ReplaceIfExists = TRUE;
    info->FileNameLength = static_cast<DWORD>((target.size() - 1) * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), info->FileName);
    if (!SetFileInformationByHandle(standIn.Get(), FileRenameInfo, info, static_cast<DWORD>(rename.size()))) {
        error = GetLastError();
        DeleteByHandle(standIn.Get());
        standIn.Close();
    }
    return standIn;
}

}  // namespace

bool IsOwnName(HANDLE handle, const std::string& path) {
    // A root is no name in a folder: nothing can be planted in its place.
    if (IsRootFolder(path)) return true;
    const std::string folder = ParentFolder(path);
    const size_t slash = path.find_last_of('\\');
    if (folder.empty() || slash == std::string::npos) return false;
    UniqueHandle parent(CreateFileW(Wide(folder).data(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent.Valid()) return false;
    std::string expected = FinalPath(parent.Get());
    const std::string final = FinalPath(handle);
    if (expected.empty() || final.empty()) return false;
    if (expected.back() == '\\') expected.pop_back();  // a drive's root
    return SameText(final, expected + path.substr(slash));
}

namespace {

bool IsPlain(const std::string& path, bool folder) {
    UniqueHandle handle(CreateFileW(Wide(path).data(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return handle.Valid() && GetFileInformationByHandle(handle.Get(), &info) &&
           ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsOwnName(handle.Get(), path);
}

}  // namespace

bool IsPlainFolder(const std::string& folder) { return IsPlain(folder, true); }

bool IsPlainFile(const std::string& file) { return IsPlain(file, false); }

DWORD RemoveName(const std::string& path) {
    // Opened as itself: a reparse point's handle is the link, not its target.
    UniqueHandle name(CreateFileW(Wide(path).data(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!name.Valid()) return GetLastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(name.Get(), &info)) return GetLastError();
    const bool reparse = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    // A real folder is never taken away as a name.
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !reparse) return ERROR_ACCESS_DENIED;
    if (!reparse && !IsOwnName(name.Get(), path)) {
        name.Close();
        DWORD error = ERROR_SUCCESS;
        name = StandInAt(path, error);
        if (!name.Valid()) return error;
    }
    return DeleteByHandle(name.Get()) ? ERROR_SUCCESS : GetLastError();
}

void EnforceRedirectionTrust() {
    using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    const auto set = reinterpret_cast<SetPolicy>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy")));
    if (!set) return;
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy = {};
    policy.EnforceRedirectionTrust = 1;
    // Refused by systems that do not know the policy: the checks above stand alone.
    set(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

std::vector<wchar_t> Wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(length > 0 ? length : 1, L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

std::string Utf8(const wchar_t* text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string utf8(static_cast<size_t>(length - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string RandomName(unsigned bytes) {
    std::vector<unsigned char> random(bytes);
    if (!RtlGenRandom(random.data(), bytes)) return "";
    std::string name;
    for (unsigned char byte : random) {
        name += "0123456789abcdef"[byte >> 4];
        name += "0123456789abcdef"[byte & 15];
    }
    return name;
}

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

ResourceBytes FindResourceBytes(HINSTANCE module, const char* name) {
    ResourceBytes bytes;
    HRSRC resource = FindResourceA(module, name, RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    bytes.data = loaded ? LockResource(loaded) : nullptr;
    if (bytes.data) bytes.size = SizeofResource(module, resource);
    return bytes;
}

namespace {

struct Job {
    const std::function<void()>& work;
    std::exception_ptr failure;
};

DWORD WINAPI RunJob(void* job) {
    Job& it = *static_cast<Job*>(job);
    try {
        it.work();
    } catch (...) {
        it.failure = std::current_exception();
    }
    return 0;
}

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

void WaitResponsively(const std::function<void()>& work) {
    Job job{work, nullptr};
    const UniqueHandle thread(CreateThread(nullptr, 0, RunJob, &job, 0, nullptr));
    if (!thread.Valid()) {
        work();  // no thread to spare: the wait as it always was
        return;
    }
    HANDLE handle = thread.Get();
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
            } else if (!IsInput(msg.message)) {
                DispatchMessageW(&msg);
            }
        }
        // Woken at least twice a second: each look at the queue tells the
        // system the thread still reads it, also in the moment after the wait.
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &handle, 500, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) break;
        if (woken == WAIT_FAILED) {
            WaitForSingleObject(handle, INFINITE);
            break;
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace wt
