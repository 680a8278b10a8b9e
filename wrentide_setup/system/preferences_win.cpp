#include <windows.h>

#include <cwchar>
#include <string_view>
#include <type_traits>
#include <vector>

#include "wrentide_setup/system/preferences.h"
#include "wrentide_setup/win32.h"

namespace wt {

static_assert(std::is_same<HANDLE, void*>::value, "PrefsFile keeps the handle as void*");

namespace {

bool SeekRecord(HANDLE file, std::size_t index) {
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(index * kPrefsRecordSize);
    return SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) != 0;
}

bool IsAscii(const wchar_t* text) {
    for (; *text; ++text)
        if (*text > 0x7F) return false;
    return true;
}

// The application reads the work folder as text in the system's code page.
// A folder that the code page cannot hold goes in by its short (8.3) name,
// when the file system has one in plain ASCII: that of its deepest existing
// folder, followed by the rest as typed. Otherwise there is no such text.
bool CodePageText(const std::string& folder, std::string& text) {
    std::vector<wchar_t> wide = Wide(folder);
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), -1, nullptr, 0, nullptr, &lossy);
    if (length > 0 && !lossy) {
        text.assign(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), -1, &text[0], length, nullptr, nullptr);
        text.pop_back();
        return true;
    }
    // Past "C:" there is nothing left to shorten.
    for (size_t end = wcslen(wide.data()); end != std::wstring_view::npos && end > 2;
         end = std::wstring_view(wide.data(), end).find_last_of(L'\\')) {
        const wchar_t cut = wide[end];
        wide[end] = L'\0';
        DWORD size = GetShortPathNameW(wide.data(), nullptr, 0);
        std::vector<wchar_t> shortName(size ? size : 1, L'\0');
        const bool found = size && GetShortPathNameW(wide.data(), shortName.data(), size) == size - 1;
        wide[end] = cut;
        if (!found) continue;
        const std::vector<wchar_t> tail(wide.begin() + static_cast<std::ptrdiff_t>(end), wide.end());
        if (!IsAscii(shortName.data()) || !IsAscii(tail.data())) return false;
        text = Utf8(shortName.data()) + Utf8(tail.data());
        return true;
    }
    return false;
}

}  // namespace

bool PrefsFile::Open(const std::string& path) {
    Close();
    // Read-only means not written, for an administrator too, whom the system
    // (and Wine, for root) may let open it for writing all the same.
    const DWORD attributes = GetFileAttributesW(Wide(path).data());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    // The application may be looking at its preferences: share both ways.
    // A link is opened as itself, never followed.
    HANDLE file = CreateFileW(Wide(path).data(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = file;
    // The data folder is the user's to write, and setup runs elevated: a file
    // with another name elsewhere (a hard or symbolic link) is left alone.
    BY_HANDLE_FILE_INFORMATION info;
    if (!HasOneName(file) || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        Close();
        return false;
    }
    return true;
}

bool PrefsFile::ReadRecord(std::size_t index, PrefsRecord& record) {
    if (!IsOpen() || !SeekRecord(handle_, index)) return false;
    DWORD got = 0;
    return ReadFile(handle_, &record, sizeof record, &got, nullptr) && got == sizeof record;
}

bool PrefsFile::WriteRecord(std::size_t index, const PrefsRecord& record) {
    if (!IsOpen() || !SeekRecord(handle_, index)) return false;
    DWORD written = 0;
    return WriteFile(handle_, &record, sizeof record, &written, nullptr) && written == sizeof record;
}

void PrefsFile::Close() noexcept {
    if (IsOpen()) CloseHandle(handle_);  // a failed close changes nothing for the installer
    handle_ = nullptr;
}

void UpdatePrefsFile(PrefsFile& file, const std::string& path, const std::string& workFolder) {
    // Each step does nothing when the one before left the file closed.
    file.Open(path);
    PrefsRecord record;
    std::string text;
    // A record that came back short was never read whole: writing it back
    // would put bytes into the file that were never there.
    if (CodePageText(workFolder, text) && file.ReadRecord(0, record)) {
        StoreWorkFolder(record, text);
        file.WriteRecord(0, record);
    }
    file.Close();
}

}  // namespace wt
