#include "wrentide_setup/ui/dark.h"

#include <commctrl.h>

#include <vector>

#include "wrentide_setup/ui/dpi.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const COLORREF kFace = RGB(51, 51, 51);  // a push button
const COLORREF kFaceHot = RGB(61, 61, 61);
const COLORREF kFacePushed = RGB(70, 70, 70);
const COLORREF kBoxEdge = RGB(200, 200, 200);  // a check box's square
const COLORREF kAccent = RGB(76, 194, 255);    // a ticked box, the focused button's edge, the bar
const COLORREF kTrack = RGB(38, 38, 38);       // the licence's scroll bar
const COLORREF kThumb = RGB(110, 110, 110);

// The older attribute number of the dark title bar, on the builds of
// Windows 10 that had it before it became 20.
const DWORD kDarkTitleBar = 20, kDarkTitleBarBefore20H1 = 19;

bool darkNow = false;
bool titleBarTouched = false;  // a light window never calls the window manager at all
bool themesTouched = false;    // nor asks for another theme for its controls
std::vector<HWND> followers;   // the controls given to FollowLook

// A function of a system DLL, loaded from the system's folder when first
// wanted; null where that Windows has none.
template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

enum Kind : UINT_PTR { kPushButton = 1, kCheckBox, kEdit, kProgress };

HFONT FontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }

void Fill(HDC dc, RECT rect, COLORREF colour) { FillRect(dc, &rect, DarkBrush(colour)); }

void Frame(HDC dc, RECT rect, COLORREF colour, int width) {
    for (int i = 0; i < width; ++i) {
        FrameRect(dc, &rect, DarkBrush(colour));
        InflateRect(&rect, -1, -1);
    }
}

void PaintButton(HWND button, HDC dc, bool check) {
    RECT client;
    GetClientRect(button, &client);
    const UINT dpi = WindowDpi(button);
    const LRESULT state = SendMessageW(button, BM_GETSTATE, 0, 0);
    const LRESULT cues = SendMessageW(button, WM_QUERYUISTATE, 0, 0);
    const bool enabled = IsWindowEnabled(button) != FALSE;
    const std::vector<wchar_t> text = WideText(button);
    const Selection font(dc, FontOf(button));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? dark::kText : dark::kDisabledText);
    const UINT prefix = (cues & UISF_HIDEACCEL) ? DT_HIDEPREFIX : 0;
    RECT focus = client;
    Fill(dc, client, dark::kBackground);
    if (!check) {
        const COLORREF face = (state & BST_PUSHED) ? kFacePushed : (state & BST_HOT) && enabled ? kFaceHot : kFace;
        Fill(dc, client, face);
        const bool lead = enabled && (state & BST_FOCUS);
        Frame(dc, client, lead ? kAccent : dark::kFrame, lead ? Scaled(2, dpi) : 1);
        RECT label = client;
        DrawTextW(dc, text.data(), -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
        InflateRect(&focus, -Scaled(4, dpi), -Scaled(4, dpi));
    } else {
        const int side = Scaled(13, dpi);
        RECT box = {client.left, (client.top + client.bottom - side) / 2, client.left + side, 0};
        box.bottom = box.top + side;
        const bool ticked = (state & BST_CHECKED) != 0;
        Fill(dc, box, ticked && enabled ? kAccent : dark::kField);
        Frame(dc, box, enabled ? (ticked ? kAccent : kBoxEdge) : dark::kFrame, 1);
        if (ticked) {
            // A tick in the background's colour, two strokes.
            const GdiObject<HPEN> pen(
                CreatePen(PS_SOLID, Scaled(2, dpi), enabled ? dark::kBackground : dark::kDisabledText));
            const Selection selected(dc, pen.Get());
            const POINT tick[] = {{box.left + side * 3 / 13, box.top + side * 7 / 13},
                                  {box.left + side * 5 / 13, box.top + side * 9 / 13},
                                  {box.left + side * 10 / 13, box.top + side * 4 / 13}};
            Polyline(dc, tick, 3);
        }
        RECT label = {box.right + Scaled(4, dpi), client.top, client.right, client.bottom};
        const bool lines = (GetWindowLongW(button, GWL_STYLE) & BS_MULTILINE) != 0;
        RECT measured = label;
        DrawTextW(dc, text.data(), -1, &measured, (lines ? DT_WORDBREAK : DT_SINGLELINE) | DT_CALCRECT | prefix);
        OffsetRect(&measured, 0, (label.bottom - label.top - (measured.bottom - measured.top)) / 2);
        DrawTextW(dc, text.data(), -1, &measured, (lines ? DT_WORDBREAK : DT_SINGLELINE) | prefix);
        focus = measured;
        InflateRect(&focus, 1, 1);
    }
    if ((state & BST_FOCUS) && !(cues & UISF_HIDEFOCUS)) {
        SetTextColor(dc, dark::kText);
        SetBkColor(dc, dark::kBackground);
        DrawFocusRect(dc, &focus);
    }
}

void PaintProgress(HWND bar, HDC dc) {
    RECT client;
    GetClientRect(bar, &client);
    Fill(dc, client, kFace);
    Frame(dc, client, dark::kFrame, 1);
    const int low = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
    const int high = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    RECT done = client;
    InflateRect(&done, -1, -1);
    if (high > low) done.right = done.left + MulDiv(done.right - done.left, position - low, high - low);
    if (done.right > done.left) Fill(dc, done, kAccent);
}

// A text box's sunken frame, and the licence's scroll bar, over what the
// system drew there.
void PaintEditFrame(HWND edit) {
    HDC dc = GetWindowDC(edit);
    if (!dc) return;
    RECT outer;
    GetWindowRect(edit, &outer);
    const POINT origin = {outer.left, outer.top};
    OffsetRect(&outer, -origin.x, -origin.y);
    Frame(dc, outer, dark::kFrame, 1);
    InflateRect(&outer, -1, -1);
    Frame(dc, outer, dark::kField, 1);
    SCROLLBARINFO bar = {};
    bar.cbSize = sizeof bar;
    if ((GetWindowLongW(edit, GWL_STYLE) & WS_VSCROLL) && GetScrollBarInfo(edit, OBJID_VSCROLL, &bar) &&
        !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE)) {
        RECT track = bar.rcScrollBar;
        OffsetRect(&track, -origin.x, -origin.y);
        Fill(dc, track, kTrack);
        const int arrow = bar.dxyLineButton;
        const int width = track.right - track.left;
        // The two arrows as small triangles, and the thumb between them.
        const Selection brush(dc, DarkBrush(dark::kDisabledText));
        const Selection pen(dc, GetStockObject(NULL_PEN));
        const int cx = track.left + width / 2, half = width / 4;
        const POINT up[] = {{cx, track.top + arrow / 3}, {cx + half, track.top + arrow * 2 / 3},
                            {cx - half, track.top + arrow * 2 / 3}};
        const POINT down[] = {{cx, track.bottom - arrow / 3}, {cx + half, track.bottom - arrow * 2 / 3},
                              {cx - half, track.bottom - arrow * 2 / 3}};
        Polygon(dc, up, 3);
        Polygon(dc, down, 3);
        if (bar.xyThumbBottom > bar.xyThumbTop) {
            RECT thumb = {track.left + 2, track.top + bar.xyThumbTop, track.right - 2, track.top + bar.xyThumbBottom};
            Fill(dc, thumb, kThumb);
        }
    }
    ReleaseDC(edit, dc);
}

// The messages after which a control may have drawn itself again, the
// system's way: the dark drawing follows at once.
bool Redraws(Kind kind, UINT message, WPARAM wParam) {
    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSELEAVE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
        return true;
    case WM_MOUSEMOVE:
        return kind != kEdit || (wParam & MK_LBUTTON);
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_CLICK:
    case BM_SETSTYLE:
        return kind == kPushButton || kind == kCheckBox;
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
    case WM_SIZE:
    case EM_SCROLL:
    case EM_LINESCROLL:
    case EM_SCROLLCARET:
    case EM_SETSEL:
        return kind == kEdit;
    }
    return false;
}

// A button's or the bar's client area, dark.
void PaintClient(HWND control, HDC dc, Kind kind) {
    if (kind == kProgress) PaintProgress(control, dc);
    else PaintButton(control, dc, kind == kCheckBox);
}

void PaintNow(HWND control, Kind kind) {
    if (kind == kEdit) return PaintEditFrame(control);
    if (!IsWindowVisible(control)) return;
    const WindowDC dc(control);
    if (dc.Get()) PaintClient(control, dc.Get(), kind);
}

LRESULT CALLBACK LookProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    const Kind kind = static_cast<Kind>(data);
    if (!darkNow) return DefSubclassProc(control, message, wParam, lParam);
    if (kind != kEdit) {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            const PaintDC paint(control);
            PaintClient(control, paint.Get(), kind);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintClient(control, reinterpret_cast<HDC>(wParam), kind);
            return 0;
        }
    }
    const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
    if (message == WM_NCPAINT || Redraws(kind, message, wParam)) PaintNow(control, kind);
    return result;
}

}  // namespace

bool SystemWantsDark() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof contrast;
    if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
        (contrast.dwFlags & HCF_HIGHCONTRASTON))
        return false;
    DWORD light = 1, size = sizeof light;
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                        L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size) == ERROR_SUCCESS &&
           light == 0;
}

bool DarkLook() { return darkNow; }

void SetDarkLook(HWND window, bool wanted) {
    darkNow = wanted;
    // Where Windows has dark themes for the controls (10 from 1809 on), they
    // take them too, so that what the system still draws itself (a scroll
    // bar dragged, a button's state drawn at once) is dark as well.
    if (wanted || themesTouched) {
        using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
        static const SetTheme setTheme = SystemFunction<SetTheme>(L"uxtheme.dll", "SetWindowTheme");
        themesTouched = true;
        for (HWND control : followers)
            if (setTheme && IsWindow(control)) setTheme(control, wanted ? L"DarkMode_Explorer" : nullptr, nullptr);
    }
    if (!wanted && !titleBarTouched) return;
    // Windows before 10 has no such attribute.
    using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static const SetAttribute setAttribute = SystemFunction<SetAttribute>(L"dwmapi.dll", "DwmSetWindowAttribute");
    if (!setAttribute) return;
    titleBarTouched = true;
    const BOOL on = wanted;
    if (FAILED(setAttribute(window, kDarkTitleBar, &on, sizeof on)))
        setAttribute(window, kDarkTitleBarBefore20H1, &on, sizeof on);
}

HBRUSH DarkBrush(COLORREF colour) {
    struct Made {
        COLORREF colour;
        HBRUSH brush;
    };
    static std::vector<Made> made;
    for (const Made& m : made)
        if (m.colour == colour) return m.brush;
    made.push_back({colour, CreateSolidBrush(colour)});
    return made.back().brush;
}

void FollowLook(HWND control) {
    wchar_t name[32] = L"";
    GetClassNameW(control, name, 32);
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    Kind kind;
    if (lstrcmpiW(name, L"Button") == 0) kind = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? kPushButton : kCheckBox;
    else if (lstrcmpiW(name, L"Edit") == 0) kind = kEdit;
    else if (lstrcmpiW(name, PROGRESS_CLASSW) == 0) kind = kProgress;
    else return;
    SetWindowSubclass(control, LookProc, 1, kind);
    followers.push_back(control);
}

}  // namespace wt
