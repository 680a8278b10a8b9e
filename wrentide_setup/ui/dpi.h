// The window's scale: its layout is designed in pixels at 96 DPI and drawn at
// the DPI of the monitor it is on. The per-monitor calls exist from Windows 10
// 1607 on; before that the screen's DPI is the only one.
#pragma once

#include <windows.h>

namespace wt {

constexpr UINT kDesignDpi = 96;

inline int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), kDesignDpi); }

// The DPI the window is drawn at; the screen's where the system keeps none per window.
UINT WindowDpi(HWND window);
UINT ScreenDpi();

// The window rectangle around a client rectangle, with the frame measured at dpi.
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);

// A system metric (SM_CXICON, ...) at dpi.
int SystemMetricForDpi(int index, UINT dpi);

// An icon of the module at its size for the DPI: the group's image of that
// size, or the nearest one stretched, colour and mask apart. (Filtered down,
// a 24-bit image's black under its mask would bleed into the edge.) Not
// shared: its owner destroys it.
HICON LoadIconForDpi(HINSTANCE module, const wchar_t* name, int sizeMetric, UINT dpi);

// One of the system's icons (IDI_INFORMATION, ...) at its size for the DPI,
// scaled down from a larger image where it has none of that size. Not shared.
HICON LoadSystemIconForDpi(const wchar_t* id, int sizeMetric, UINT dpi);

// Asks a per-monitor (v1) window's caption and menus to follow its DPI; v2
// windows do so anyway. Called from WM_NCCREATE.
void FollowDpiInFrame(HWND window);

}  // namespace wt
