// The setup window's controls: the layout table, their creation, fonts,
// painting and scale, and the operations the handlers use on them. Nothing
// here calls a handler: those are wizard_win.cpp's, through its dispatch.
#include "wrentide_setup/ui/form.h"

#include <commctrl.h>

#include <cwchar>
#include <exception>
#include <vector>

#include "wrentide_setup/ui/application.h"
#include "wrentide_setup/ui/dark.h"
#include "wrentide_setup/ui/dpi.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/win32.h"

namespace wt {

const char kFormClass[] = "TForm1";
const char kFormCaption[] = "WrenTide Installer";

namespace {

const wchar_t kGroupClass[] = L"TGroupBox";
const int kClientWidth = 590;
const int kClientHeight = 374;
const ControlId kNoParent = kControlCount;

enum class Kind { Picture, Label, Group, Button, Memo, Check, Edit, EditLabel, Static, Progress };

struct ControlSpec {
    ControlId id;
    Kind kind;
    ControlId parent;
    int left, top, width, height;
    const char* text;
    bool visible;
    bool enabled;
    int tabOrder;
    DWORD extraStyle;
};

// The window's layout, in creation order within each parent. Coordinates are
// pixels at 96 DPI relative to the parent's client area.
const ControlSpec kControls[] = {
    {Image1, Kind::Picture, kNoParent, 0, 0, 590, 89, "", true, true, -1, 0},
    {Label1, Kind::Label, kNoParent, 20, 211, 547, 31, "To install WrenTide to your system click next...", true, true,
     0, 0},
    {GroupBox1, Kind::Group, kNoParent, 0, 89, 590, 285, "", true, true, 1, 0},
    {Button1, Kind::Button, GroupBox1, 272, 245, 153, 33, "Install &Now", true, false, 2, 0},
    {Button2, Kind::Button, GroupBox1, 431, 245, 153, 33, "&Cancel", true, true, 1, 0},
    {GroupBox2, Kind::Group, GroupBox1, 2, 15, 586, 224, "", false, true, 3, 0},
    {Memo1, Kind::Memo, GroupBox2, 12, 15, 562, 186, "", true, true, 0, 0},
    {CheckBox1, Kind::Check, GroupBox2, 24, 204, 541, 17, "I have read and agree with the EULA ", true, true, 1,
     BS_MULTILINE},
    {GroupBox3, Kind::Group, GroupBox1, 2, 6, 586, 233, "", false, true, 4, 0},
    {LabeledEdit1, Kind::Edit, GroupBox3, 22, 36, 547, 21, "", true, true, 1, 0},
    {LabeledEdit1Label, Kind::EditLabel, GroupBox3, 22, 20, 369, 13,
     "Install to this directory:  (Directory will be created for you if it does not exist)", true, true, 0, 0},
    {Button3, Kind::Button, GroupBox3, 467, 63, 102, 25, "Chan&ge", true, true, 2, 0},
    {CheckBox2, Kind::Check, GroupBox3, 203, 93, 208, 17, "Place a shortcut on the Desktop", true, true, 3, 0},
    {StaticText2, Kind::Static, GroupBox3, 22, 169, 125, 17, "Installing Wrentide........", false, true, 5, SS_CENTER},
    {ProgressBar1, Kind::Progress, GroupBox3, 22, 192, 547, 25, "", false, true, 6, PBS_SMOOTH},
    {CheckBox4, Kind::Check, GroupBox3, 203, 116, 216, 17, "Run WrenTide when install finishes", true, true, 4, 0},
    {StaticText3, Kind::Static, GroupBox3, 18, 142, 547, 18,
     "Uninstall any other versions of WrenTide before proceeding.", true, true, 7, SS_CENTER},
    {Button4, Kind::Button, GroupBox1, 272, 245, 153, 33, "&Next", true, true, 0, 0},
    {StaticText4, Kind::Static, GroupBox1, 16, 245, 250, 28, "The EULA is only available in English", false, true, 5,
     SS_LEFT},
};
static_assert(sizeof kControls / sizeof kControls[0] == kControlCount, "one row per control");

struct ClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ClassAndStyle Win32Class(Kind kind) {
    switch (kind) {
    case Kind::Group:
        return {kGroupClass, 0, WS_EX_CONTROLPARENT};
    case Kind::Button:
        return {L"Button", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case Kind::Memo:
        // No ES_WANTRETURN: Enter is not text here.
        return {L"Edit", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case Kind::Check:
        return {L"Button", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case Kind::Edit:
        // The folder box is reached by mouse, not by Tab.
        return {L"Edit", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::EditLabel:
        return {L"Static", SS_LEFT | SS_NOPREFIX, 0};
    case Kind::Static:
        return {L"Static", SS_NOPREFIX, 0};
    case Kind::Progress:
        return {PROGRESS_CLASSW, 0, 0};
    case Kind::Label:
        // A control of its own, so that a screen reader reads the prompt.
        return {L"Static", SS_CENTER | SS_NOPREFIX, 0};
    case Kind::Picture:
        break;
    }
    return {nullptr, 0, 0};
}

// A row's rectangle at dpi. Edges are scaled, not sizes, so that controls
// that meet or line up in the table still do.
RECT ScaledRect(const ControlSpec& row, UINT dpi) {
    return {Scaled(row.left, dpi), Scaled(row.top, dpi), Scaled(row.left + row.width, dpi),
            Scaled(row.top + row.height, dpi)};
}

// The window's outer size for a client area of the table's size at dpi.
SIZE FrameSize(DWORD style, DWORD exStyle, UINT dpi) {
    RECT frame = {0, 0, Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi)};
    AdjustFrameForDpi(frame, style, exStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// Tahoma with the given character height in pixels at 96 DPI.
HFONT Tahoma(int height, UINT dpi) {
    return CreateFontA(-Scaled(height, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Tahoma");
}

void MoveTo(HWND control, const RECT& rect) {
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH FaceBrush() { return DarkLook() ? DarkBrush(dark::kBackground) : GetSysColorBrush(COLOR_BTNFACE); }

// See-through frames: the parent paints what lies behind, through WM_PRINTCLIENT.
void PaintParentBackground(HWND child, HDC dc) {
    HWND parent = GetParent(child);
    POINT origin = {0, 0};
    MapWindowPoints(child, parent, &origin, 1);
    POINT old;
    OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
    SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void PaintGroup(HWND group, HDC dc) {
    PaintParentBackground(group, dc);
    RECT frame;
    GetClientRect(group, &frame);
    // A frame without caption starts half a text line down, as a captioned one would.
    frame.top += Scaled(4, WindowDpi(group));
    if (DarkLook()) FrameRect(dc, &frame, DarkBrush(dark::kFrame));
    else DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
}

LRESULT CALLBACK GroupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            const PaintDC paint(hwnd);
            PaintGroup(hwnd, paint.Get());
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintGroup(hwnd, reinterpret_cast<HDC>(wParam));
            return 0;
        // Notifications from the controls belong to the window's handlers.
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
            return SendMessageA(GetParent(hwnd), message, wParam, lParam);
        }
    } catch (const std::exception& error) {
        App().ShowException(error);
        return 0;
    } catch (...) {
        App().ShowException(Error("Unexpected failure"));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The licence text box: no context menu, and Tab and Enter stay with the window.
LRESULT CALLBACK MemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    try {
        switch (message) {
        case WM_CONTEXTMENU:
            return 0;
        case WM_GETDLGCODE:
            return DefSubclassProc(hwnd, message, wParam, lParam) & ~DLGC_WANTALLKEYS;
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
    } catch (const std::exception& error) {
        App().ShowException(error);
    } catch (...) {
        App().ShowException(Error("Unexpected failure"));
    }
    return 0;
}

// The extent of a line of text in the font, as the control would draw it.
SIZE TextSize(HWND control, HFONT font, const wchar_t* text) {
    const WindowDC dc(control);
    const Selection selected(dc.Get(), font);
    SIZE size = {};
    GetTextExtentPoint32W(dc.Get(), text, static_cast<int>(wcslen(text)), &size);
    return size;
}

std::string ResourceText(HINSTANCE instance, const char* name) {
    const ResourceBytes bytes = FindResourceBytes(instance, name);
    return bytes.data ? std::string(static_cast<const char*>(bytes.data), bytes.size) : std::string();
}

}  // namespace

bool TForm1::RegisterFrameClass(HINSTANCE instance) {
    WNDCLASSW group = {};
    group.lpfnWndProc = GroupProc;
    group.hInstance = instance;
    group.hCursor = LoadCursor(nullptr, IDC_ARROW);
    group.lpszClassName = kGroupClass;
    return RegisterClassW(&group) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

SIZE TForm1::OuterSize(DWORD style, DWORD exStyle, UINT dpi) { return FrameSize(style, exStyle, dpi); }

void TForm1::PrintClient(HDC dc) {
    RECT client;
    GetClientRect(handle_, &client);
    FillRect(dc, &client, FaceBrush());
    Paint(dc);
}

LRESULT TForm1::ControlColor(UINT message, HDC dc, HWND control) const {
    if (DarkLook()) {
        // Text boxes a shade above the page; disabled text grey, still readable.
        const bool field = message == WM_CTLCOLOREDIT || control == controls_[Memo1] ||
                           control == controls_[LabeledEdit1];
        SetTextColor(dc, IsWindowEnabled(control) ? dark::kText : dark::kDisabledText);
        SetBkColor(dc, field ? dark::kField : dark::kBackground);
        if (!field) SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(DarkBrush(field ? dark::kField : dark::kBackground));
    }
    // Every text and background in the system's colours, high contrast
    // included. The read-only licence text keeps the look of a text box.
    SetTextColor(dc, GetSysColor(message == WM_CTLCOLORBTN ? COLOR_BTNTEXT : COLOR_WINDOWTEXT));
    if (control == controls_[Memo1]) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(FaceBrush());
}

HFONT TForm1::FontOf(ControlId id) const { return id == Label1 ? labelFont_.Get() : font_.Get(); }

void TForm1::MakeFonts() {
    font_ = GdiObject<HFONT>(Tahoma(11, dpi_));
    labelFont_ = GdiObject<HFONT>(Tahoma(16, dpi_));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
}

void TForm1::CreateControls() {
    MakeFonts();

    for (const ControlSpec& row : kControls) {
        ClassAndStyle cls = Win32Class(row.kind);
        if (!cls.className) continue;  // painted by the form
        HWND parent = row.parent == kNoParent ? handle_ : controls_[row.parent];
        // Siblings clip each other so that the upper of two overlapping
        // controls (Button4 over Button1) is the one that shows.
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | cls.style | row.extraStyle | (row.visible ? WS_VISIBLE : 0) |
                      (row.enabled ? 0 : WS_DISABLED);
        // Wide windows: the folder box must hold any folder, whatever the code page.
        const RECT place = ScaledRect(row, dpi_);
        HWND control = CreateWindowExW(cls.exStyle, cls.className, Wide(row.text).data(), style, place.left, place.top,
                                       place.right - place.left, place.bottom - place.top, parent,
                                       reinterpret_cast<HMENU>(INT_PTR(kControlIdBase + row.id)), instance_, nullptr);
        if (!control) throw Error("Cannot create the setup window");
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row.id)), FALSE);
        FollowLook(control);
        controls_[row.id] = control;
    }

    // The system walks Tab through siblings in z-order; put them in tab order.
    // Button4 thereby lies over Button1, as it must.
    for (int parent = 0; parent <= kControlCount; ++parent) {
        HWND after = HWND_TOP;
        for (int order = 0; order < kControlCount; ++order) {
            for (const ControlSpec& row : kControls) {
                if (row.parent != parent || row.tabOrder != order || !controls_[row.id]) continue;
                SetWindowPos(controls_[row.id], after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                after = controls_[row.id];
            }
        }
    }

    FitTexts();
    SetWindowSubclass(controls_[Memo1], MemoProc, 0, 0);
    SendMessageA(controls_[ProgressBar1], PBM_SETRANGE32, 0, 100);
    SendMessageA(controls_[ProgressBar1], PBM_SETSTEP, 1, 0);
    SendMessageA(controls_[ProgressBar1], PBM_SETPOS, 0, 0);

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr, instance_,
                               nullptr);
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = handle_;
    tool.uId = reinterpret_cast<UINT_PTR>(controls_[LabeledEdit1]);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    focus_ = controls_[Button4];
}

void TForm1::FitTexts() {
    // The folder box's label as wide as its text, never wider than the box.
    const std::vector<wchar_t> label = Wide(kControls[LabeledEdit1Label].text);
    const SIZE labelSize = TextSize(controls_[LabeledEdit1Label], font_.Get(), label.data());
    const RECT box = ScaledRect(kControls[LabeledEdit1], dpi_);
    const RECT place = ScaledRect(kControls[LabeledEdit1Label], dpi_);
    const int boxWidth = box.right - box.left;
    SetWindowPos(controls_[LabeledEdit1Label], nullptr, 0, 0, labelSize.cx < boxWidth ? labelSize.cx : boxWidth,
                 place.bottom - place.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (statusFitted_) FitStatusText(Wide(Text(StaticText2)).data());
}

void TForm1::FitStatusText(const wchar_t* text) {
    HWND control = controls_[StaticText2];
    const SIZE size = TextSize(control, font_.Get(), text);
    SetWindowPos(control, nullptr, 0, 0, size.cx, size.cy > 0 ? size.cy + Scaled(4, dpi_) : Scaled(17, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    statusFitted_ = true;
}

// The caption's small icon is left to the system, which draws it from this one.
void TForm1::LoadIcons() {
    IconOwner big(LoadIconForDpi(instance_, L"WINDOWICON", SM_CXICON, dpi_));
    if (!big.Get()) return;
    SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    bigIcon_ = std::move(big);  // the window no longer holds the old one
}

void TForm1::LoadBanner() {
    // Above 96 DPI the picture of twice the size is scaled down, never the small one up.
    const int wanted = dpi_ > kDesignDpi ? 2 : 1;
    if (wanted == bannerScale_) return;
    const struct {
        int scale;
        const char* name;
    } pictures[] = {{wanted, wanted == 2 ? "BANNER2X" : "BANNER"}, {1, "BANNER"}};
    for (const auto& picture : pictures) {
        const std::string jpeg = ResourceText(instance_, picture.name);
        if (DecodeJpeg(reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), banner_)) {
            bannerScale_ = picture.scale;
            return;
        }
    }
    // A damaged picture leaves the banner empty; setup goes on without it.
    banner_ = {};
    bannerScale_ = 0;
}

void TForm1::LoadArtwork() {
    LoadIcons();
    LoadBanner();
    licence_ = ResourceText(instance_, "LICENCE");
    SetWindowTextA(controls_[Memo1], licence_.c_str());
}

void TForm1::DpiChanged(UINT dpi, const RECT& suggested) {
    if (dpi == 0) return;
    dpi_ = dpi;
    SetWindowPos(handle_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The controls draw with the old fonts until each has the new one.
    const GdiObject<HFONT> oldFont(std::move(font_)), oldLabelFont(std::move(labelFont_));
    MakeFonts();
    for (const ControlSpec& row : kControls) {
        HWND control = controls_[row.id];
        if (!control) continue;
        MoveTo(control, ScaledRect(row, dpi_));
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row.id)), FALSE);
    }
    FitTexts();
    LoadIcons();
    LoadBanner();
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TForm1::Paint(HDC dc) {
    if (banner_.width > 0 && banner_.height > 0) {
        // Image1 is docked to the top: the picture's height, the window's width.
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = banner_.width;
        info.bmiHeader.biHeight = -banner_.height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        int oldMode = SetStretchBltMode(dc, HALFTONE);
        const int height = MulDiv(banner_.height, static_cast<int>(dpi_), static_cast<int>(kDesignDpi) * bannerScale_);
        StretchDIBits(dc, 0, 0, Scaled(kClientWidth, dpi_), height, 0, 0, banner_.width, banner_.height,
                      banner_.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
        SetStretchBltMode(dc, oldMode);
    }
}

void TForm1::SetVisible(ControlId id, bool visible) {
    if (controls_[id]) ShowWindow(controls_[id], visible ? SW_SHOWNA : SW_HIDE);
}

void TForm1::SetEnabled(ControlId id, bool enabled) {
    if (controls_[id]) EnableWindow(controls_[id], enabled);
}

void TForm1::SetText(ControlId id, const std::string& text) {
    HWND control = controls_[id];
    if (!control) return;
    const std::vector<wchar_t> wide = Wide(text);
    SetWindowTextW(control, wide.data());
    // The status text sizes itself to its text.
    if (id == StaticText2) FitStatusText(wide.data());
}

std::string TForm1::Text(ControlId id) const {
    HWND control = controls_[id];
    return control ? Utf8(WideText(control).data()) : kControls[id].text;
}

void TForm1::Repaint(ControlId id) {
    HWND control = controls_[id];
    if (control) RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TForm1::SetProgress(int position) {
    // The bar has invalidated what changed; only that is painted, and at once,
    // since the install holds the thread until it ends.
    SendMessageA(controls_[ProgressBar1], PBM_SETPOS, position, 0);
    UpdateWindow(controls_[ProgressBar1]);
}

bool TForm1::Checked(ControlId id) const {
    return SendMessageA(controls_[id], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm1::SetHint(ControlId id, const std::string& text) {
    std::vector<wchar_t> wide = Wide(text);
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = handle_;
    tool.uId = reinterpret_cast<UINT_PTR>(controls_[id]);
    tool.lpszText = wide.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TForm1::Activate(ControlId id) {
    focus_ = controls_[id];
    if (IsWindowVisible(handle_)) SetFocus(focus_);
}

}  // namespace wt
