// The window in the system's dark mode for apps: its colours, its title bar,
// and the controls that the system draws light whatever the mode (push
// buttons, check boxes, text box frames and scroll bar, the progress bar),
// drawn dark here while their behaviour stays the system's. In light mode, and
// with high contrast on, nothing here changes a pixel.
#pragma once

#include <windows.h>

namespace wt {

// Dark for apps in the user's settings (AppsUseLightTheme 0), and high
// contrast off: high contrast keeps the system's own colours.
bool SystemWantsDark();

// The look the window now has. It is one window per process, so it is one look.
bool DarkLook();
// Takes the look for window: its title bar, and every control given to
// FollowLook. The caller repaints.
void SetDarkLook(HWND window, bool dark);

// The dark palette: every text against what lies behind it has a contrast of
// at least 4.5:1 (white on these greys, the grey text above 5:1).
namespace dark {
constexpr COLORREF kBackground = RGB(32, 32, 32);  // the window and its pages
constexpr COLORREF kField = RGB(43, 43, 43);       // text boxes
constexpr COLORREF kText = RGB(255, 255, 255);
constexpr COLORREF kDisabledText = RGB(170, 170, 170);
constexpr COLORREF kFrame = RGB(96, 96, 96);  // group frames, box edges
}  // namespace dark

// A solid brush of the colour, made once and kept for the process.
HBRUSH DarkBrush(COLORREF colour);

// A control whose drawing follows the look: push buttons, check boxes,
// edits and progress bars. It draws as the system does while the look is light.
void FollowLook(HWND control);

}  // namespace wt
