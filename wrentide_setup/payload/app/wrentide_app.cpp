// The WrenTide application as the installer ships it: a small Win32 program
// that opens its main window, shows the folder it was started in, and uses the
// LPng library installed beside it.
#include <windows.h>

#include <string>

#include "wrentide_setup/payload/lpng/lpng.h"
#include "wrentide_setup/win32.h"

namespace {

const char kClassName[] = "WrenTideMain";
std::string g_text;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        const wt::PaintDC paint(hwnd);
        RECT rc;
        GetClientRect(hwnd, &rc);
        InflateRect(&rc, -12, -12);
        SetBkMode(paint.Get(), TRANSPARENT);
        DrawTextA(paint.Get(), g_text.c_str(), -1, &rc, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        return 0;
    }
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
    g_text = std::string("WrenTide is running.\r\n\r\nWork folder: ") + folder + "\r\nImage library: " + LPngVersion();

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
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
