// The WrenTide application as the installer ships it: a small Win32 program
// that opens its main window, shows the folder it was started in and the
// program folder of the installation it reads its settings from, and uses the
// LPng library installed beside it.
#include <windows.h>

#include <string>

#include "wrentide_setup/payload/lpng/lpng.h"

namespace {

const char kClassName[] = "WrenTideMain";
const int kTextId = 100;

// The installation's program folder from the settings key of one root, or
// empty text when that root holds no installation.
std::wstring ProgramFolderIn(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"Software\\WrenTide", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"";
    wchar_t text[1024] = L"";
    DWORD type = REG_NONE, size = sizeof text - sizeof(wchar_t);
    const LONG rc = RegQueryValueExW(key, L"ProgPth", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? text : L"";
}

// The settings of the user's own installation when there is one, else those
// of the installation for everyone: a per-user WrenTide comes first.
std::wstring SettingsText() {
    std::wstring folder = ProgramFolderIn(HKEY_CURRENT_USER);
    if (!folder.empty()) return folder + L" (HKEY_CURRENT_USER)";
    folder = ProgramFolderIn(HKEY_LOCAL_MACHINE);
    return folder.empty() ? L"none recorded" : folder + L" (HKEY_LOCAL_MACHINE)";
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        MoveWindow(GetDlgItem(hwnd, kTextId), 12, 12, LOWORD(lParam) - 24, HIWORD(lParam) - 24, TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, folder);
    wchar_t here[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, here);
    const std::string library = LPngVersion();
    const std::wstring text = std::wstring(L"WrenTide is running.\r\n\r\nWork folder: ") + here +
                              L"\r\nImage library: " + std::wstring(library.begin(), library.end()) +
                              L"\r\nProgram folder: " + SettingsText();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return 1;

    // The caption carries the start folder too, so that it can be read from outside.
    std::string caption = std::string("WrenTide - ") + folder;
    HWND hwnd = CreateWindowA(kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 400,
                              nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    // A static control, so that its text can be read from outside.
    HWND label = CreateWindowW(L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 12, 600, 340,
                               hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
