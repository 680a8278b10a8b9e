// A stand-in for a WrenTide that will not close: installed over WrenTide.exe
// by the tests, it refuses the end of the session and ignores WM_CLOSE, so
// only its own test can end it.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_QUERYENDSESSION:
        return FALSE;
    case WM_CLOSE:
    case WM_ENDSESSION:
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"WrenTideMain";
    if (!RegisterClassW(&wc)) return 1;
    HWND hwnd = CreateWindowW(L"WrenTideMain", L"WrenTide - will not close", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
