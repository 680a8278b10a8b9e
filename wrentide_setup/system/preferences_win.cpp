#include <windows.h>

#include <type_traits>

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

}  // namespace

bool PrefsFile::Open(const std::string& path) {
    Close();
    // The application may be looking at its preferences: share both ways.
    // A link is opened as itself, never followed.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = file;
    // The data folder is the user's to write, and setup runs elevated: a file
    // with another name elsewhere (a hard or symbolic link) is left alone.
    if (!HasOneName(file)) {
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
    // A record that came back short was never read whole: writing it back
    // would put bytes into the file that were never there.
    if (file.ReadRecord(0, record)) {
        StoreWorkFolder(record, workFolder);
        file.WriteRecord(0, record);
    }
    file.Close();
}

}  // namespace wt
