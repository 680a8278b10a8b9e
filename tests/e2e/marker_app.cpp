// A program that must never run: put by the tests where an elevated
// uninstaller might start it, it leaves its own path in C:\wt-e2e\marker.ran.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t self[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    HANDLE ran = CreateFileW(L"C:\\wt-e2e\\marker.ran", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    char text[4 * MAX_PATH] = "";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, self, static_cast<int>(length), text, sizeof text, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(ran, text, bytes > 0 ? bytes : 0, &written, nullptr);
    CloseHandle(ran);
    return 0;
}
