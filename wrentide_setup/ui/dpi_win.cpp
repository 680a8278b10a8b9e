#include "wrentide_setup/ui/dpi.h"

namespace wt {
namespace {

// A function of a later Windows, or null.
template <typename F>
F Later(const wchar_t* module, const char* name) {
    const HMODULE loaded = GetModuleHandleW(module);
    const FARPROC proc = loaded ? GetProcAddress(loaded, name) : nullptr;
    // Through void(*)() so that the cast between function types is explicit.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

template <typename F>
F User32(const char* name) {
    return Later<F>(L"user32.dll", name);
}

struct DpiCalls {
    UINT(WINAPI* forWindow)(HWND) = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    BOOL(WINAPI* adjust)(RECT*, DWORD, BOOL, DWORD, UINT) =
        User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    int(WINAPI* metric)(int, UINT) = User32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    BOOL(WINAPI* frame)(HWND) = User32<BOOL(WINAPI*)(HWND)>("EnableNonClientDpiScaling");
    // Not in the toolchain's import library; the manifest's common controls 6 have it.
    HRESULT(WINAPI* scaledIcon)(HINSTANCE, PCWSTR, int, int, HICON*) =
        Later<HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*)>(L"comctl32.dll", "LoadIconWithScaleDown");
};

const DpiCalls& Calls() {
    static const DpiCalls calls;
    return calls;
}

}  // namespace

UINT ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

UINT WindowDpi(HWND window) {
    const UINT dpi = Calls().forWindow && window ? Calls().forWindow(window) : 0;
    return dpi ? dpi : ScreenDpi();
}

void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
    if (!Calls().adjust || !Calls().adjust(&rect, style, FALSE, exStyle, dpi)) AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int SystemMetricForDpi(int index, UINT dpi) {
    return Calls().metric ? Calls().metric(index, dpi) : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

HICON LoadIconForDpi(HINSTANCE module, const wchar_t* name, int sizeMetric, UINT dpi) {
    const int size = SystemMetricForDpi(sizeMetric, dpi);
    return static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, size, size, 0));
}

HICON LoadSystemIconForDpi(const wchar_t* id, int sizeMetric, UINT dpi) {
    const int size = SystemMetricForDpi(sizeMetric, dpi);
    HICON icon = nullptr;
    if (Calls().scaledIcon && SUCCEEDED(Calls().scaledIcon(nullptr, id, size, size, &icon))) return icon;
    // A copy of the shared icon, which its owner may destroy.
    return static_cast<HICON>(CopyImage(LoadIconW(nullptr, id), IMAGE_ICON, size, size, 0));
}

void FollowDpiInFrame(HWND window) {
    if (Calls().frame) Calls().frame(window);
}

}  // namespace wt
