#include "wrentide_setup/win32.h"

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

}  // namespace wt
