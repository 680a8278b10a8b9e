#include "wrentide_setup/ui/application.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "wrentide_setup/error.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/ui/dpi.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const char kInformationTitle[] = "Information";
const int kTextId = 100;
const int kIconId = 101;

// An in-memory dialog template: header, then items, each DWORD-aligned.
class DialogTemplate {
public:
    void Header(DWORD style, WORD items, const char* title, WORD pointSize, const char* font) {
        DLGTEMPLATE header = {};
        header.style = style;
        header.cdit = items;
        Append(&header, sizeof header);
        Word(0);  // no menu
        Word(0);  // default class
        Text(title);
        Word(pointSize);
        Text(font);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const char* text) {
        Align();
        DLGITEMTEMPLATE item = {};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        Append(&item, sizeof item);
        Word(0xFFFF);
        Word(classAtom);
        Text(text);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void Append(const void* data, size_t size) {
        const BYTE* p = static_cast<const BYTE*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void Word(WORD w) { Append(&w, sizeof w); }
    void Text(const char* text) {
        const std::vector<wchar_t> wide = Wide(text);
        Append(wide.data(), wide.size() * sizeof(wchar_t));
    }
    void Align() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    std::vector<BYTE> bytes_;
};

// What the dialog shows: its text, and the information icon at the size for
// the dialog's DPI, which lives as long as the dialog.
struct Information {
    const wchar_t* text;
    IconOwner icon;
};

// Lays the dialog out around its text: icon at the left, text beside it, the
// OK button centred below, the whole centred on its owner or the screen.
// The measures are pixels at 96 DPI, scaled to the dialog's.
void LayOut(HWND dialog, const wchar_t* text) {
    const UINT dpi = WindowDpi(dialog);
    HWND label = GetDlgItem(dialog, kTextId);
    HWND icon = GetDlgItem(dialog, kIconId);
    HWND ok = GetDlgItem(dialog, IDOK);

    RECT textRect = {0, 0, Scaled(420, dpi), 0};
    {
        const WindowDC dc(label);
        const Selection font(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
        DrawTextW(dc.Get(), text, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    }

    const int margin = Scaled(12, dpi), iconSize = SystemMetricForDpi(SM_CXICON, dpi);
    const int buttonWidth = Scaled(75, dpi), buttonHeight = Scaled(23, dpi);
    int textWidth = textRect.right - textRect.left;
    int textHeight = textRect.bottom - textRect.top;
    int bodyHeight = textHeight > iconSize ? textHeight : iconSize;
    int clientWidth = margin + iconSize + margin + textWidth + margin;
    if (clientWidth < buttonWidth + 2 * margin) clientWidth = buttonWidth + 2 * margin;
    int clientHeight = margin + bodyHeight + margin + buttonHeight + margin;

    MoveWindow(icon, margin, margin, iconSize, iconSize, FALSE);
    MoveWindow(label, margin + iconSize + margin, margin + (bodyHeight - textHeight) / 2, textWidth, textHeight, FALSE);
    MoveWindow(ok, (clientWidth - buttonWidth) / 2, margin + bodyHeight + margin, buttonWidth, buttonHeight, FALSE);

    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustFrameForDpi(frame, GetWindowLongA(dialog, GWL_STYLE), GetWindowLongA(dialog, GWL_EXSTYLE), dpi);
    const SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
    RECT area;
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const POINT at = CentredIn(area, size);
    SetWindowPos(dialog, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK InformationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        Information& shown = *reinterpret_cast<Information*>(lParam);
        SetDlgItemTextW(dialog, kTextId, shown.text);
        shown.icon = IconOwner(
            LoadSystemIconForDpi(reinterpret_cast<const wchar_t*>(IDI_INFORMATION), SM_CXICON, WindowDpi(dialog)));
        SendDlgItemMessageA(dialog, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(shown.icon.Get()), 0);
        LayOut(dialog, shown.text);
        return TRUE;
    }
    case WM_COMMAND:
        // Escape arrives as IDCANCEL and answers OK, like the OK button and Enter.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

int ShowInformation(const std::string& text) {
    DialogTemplate dialog;
    dialog.Header(DS_MODALFRAME | DS_SETFONT | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU, 3, kInformationTitle, 8,
                  "MS Shell Dlg");
    dialog.Item(SS_ICON, 0, 0, 0, 0, kIconId, 0x0082, "");
    dialog.Item(SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, kTextId, 0x0082, "");
    dialog.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0, 50, 14, IDOK, 0x0080, "OK");
    const std::vector<wchar_t> wide = Wide(text);
    Information shown = {wide.data(), IconOwner()};
    INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), GetActiveWindow(), InformationProc,
                                             reinterpret_cast<LPARAM>(&shown));
    return answer == IDOK ? IDOK : IDCANCEL;
}

}  // namespace

Application& App() {
    static Application application;
    return application;
}

void Application::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

int Application::FailureMessage(const std::string& text) {
    // A modal loop returns at once once WM_QUIT is pending; that is no user's OK.
    if (terminated_) return IDCANCEL;
    int answer = messageHandler_ ? messageHandler_(text) : ShowInformation(text);
    if (answer == IDOK) Terminate();
    return answer;
}

void Application::ShowException(const std::exception& error) {
    const std::string text = WithFullStop(error.what());
    // Unattended, or under test, it goes where every other message goes.
    if (messageHandler_) {
        messageHandler_(text);
        return;
    }
    LogLine("Error: " + text);
    MessageBoxW(GetActiveWindow(), Wide(text).data(), Wide(title_).data(), MB_OK | MB_ICONERROR);
}

}  // namespace wt
