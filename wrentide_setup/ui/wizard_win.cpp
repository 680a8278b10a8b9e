// The setup window's behaviour: its procedure with the one command dispatch,
// the pages and their handlers (welcome -> licence -> options, with no way
// back), and the install as the window shows it. The controls themselves,
// their layout, painting and scale, are form_win.cpp's, which calls nothing here.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <exception>
#include <memory>
#include <vector>

#include "wrentide_setup/error.h"
#include "wrentide_setup/system/close_applications.h"
#include "wrentide_setup/ui/application.h"
#include "wrentide_setup/ui/dark.h"
#include "wrentide_setup/ui/dpi.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const char kReInstallCaption[] = "&Re-Install";
const char kInstallCaption[] = "&Install";
const char kAppActiveText[] =
    "WrenTide seems to be active.  Close any other versions of WrenTide and try installing again.";
const wchar_t kBrowsePrompt[] = L"Install WrenTide to this folder:";
const char kWaitingForWrenTide[] = "Waiting for the running WrenTide to close...";
const char kComplete[] = "Installation Complete";
const char kFailed[] = "Installation Failed";
const char kFinished[] = "Finished";
const char kClose[] = "Close";

// Opens the browser on the current folder. Wine's browser sometimes loses a
// selection made while it starts up, so it is made once more when it is up;
// the folder's text outlives the browser, which is modal.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
        PostMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

// Critical-error boxes ("no disk in drive A:") stay away while the user browses.
class QuietCriticalErrors {
public:
    QuietCriticalErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietCriticalErrors() { SetErrorMode(old_); }

private:
    UINT old_;
};

}  // namespace

bool RegisterFormClasses(HINSTANCE instance) {
    if (!TForm1::RegisterFrameClass(instance)) return false;

    WNDCLASSA form = {};
    form.lpfnWndProc = TForm1::WindowProc;
    form.hInstance = instance;
    form.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // Shared: the system keeps the class's icon for as long as the process.
    form.hIcon = static_cast<HICON>(LoadImageA(instance, "WINDOWICON", IMAGE_ICON, 32, 32, LR_SHARED));
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    return RegisterClassA(&form) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// What the window gets at its creation: the object, which it owns from its
// first message on and deletes at its last.
struct FormBirth {
    TForm1* form;
    bool adopted;
};

TForm1* TForm1::Create(HINSTANCE instance, InstallPlan& plan, const SetupCommand* command) {
    std::unique_ptr<TForm1> owner(new TForm1(instance, plan, command));
    FormBirth birth = {owner.get(), false};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
    // It opens on the primary monitor, whose scale the screen's DPI is.
    const UINT dpi = ScreenDpi();
    const SIZE size = OuterSize(style, exStyle, dpi);
    RECT screen;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
    const POINT at = CentredIn(screen, size);

    const HWND window = CreateWindowExA(exStyle, kFormClass, kFormCaption, style, at.x, at.y, size.cx, size.cy, nullptr,
                                        nullptr, instance, &birth);
    if (birth.adopted) owner.release();  // deleted with the window, even one whose creation failed
    if (!window) return nullptr;
    TForm1* form = birth.form;
    // A primary monitor rescaled since sign-in has a scale of its own.
    if (form->dpi_ != dpi) {
        const SIZE actual = OuterSize(style, exStyle, form->dpi_);
        const POINT centred = CentredIn(screen, actual);
        SetWindowPos(window, nullptr, centred.x, centred.y, actual.cx, actual.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // An error here skips the rest of FormCreate; the window still opens.
    try {
        form->FormCreate();
    } catch (const std::exception& error) {
        App().ShowException(error);
    }
    return form;
}

LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TForm1* form = reinterpret_cast<TForm1*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        FormBirth& birth = *static_cast<FormBirth*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        birth.adopted = true;
        form = birth.form;
        form->handle_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        FollowDpiInFrame(hwnd);
        form->dpi_ = WindowDpi(hwnd);
    }
    if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window's last message: its object, fonts and icon go with it.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete form;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    // No exception may cross back into the system. A window that cannot be
    // built whole is not made at all: -1 from WM_CREATE ends its creation.
    const LRESULT failed = message == WM_CREATE ? -1 : 0;
    try {
        return form->Dispatch(message, wParam, lParam);
    } catch (const std::exception& error) {
        App().ShowException(error);
    } catch (...) {
        App().ShowException(Error("Unexpected failure"));
    }
    return failed;
}

LRESULT TForm1::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateControls();
        LoadArtwork();
        if (SystemWantsDark()) SetDarkLook(handle_, true);
        return 0;
    case WM_PAINT: {
        const PaintDC paint(handle_);
        Paint(paint.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        PrintClient(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ControlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    // The system's own colours for these in the light look, as they always were.
    case WM_CTLCOLOREDIT:
        if (DarkLook()) return ControlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        break;
    case WM_ERASEBKGND:
        if (!DarkLook()) break;
        PrintClient(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_SETTINGCHANGE:
        // Dark or light for apps, or high contrast, changed while the window
        // shows. The window is an ANSI one: the system hands it the area's name so.
        if ((lParam && lstrcmpiA(reinterpret_cast<const char*>(lParam), "ImmersiveColorSet") == 0) ||
            wParam == SPI_SETHIGHCONTRAST)
            FollowSystemLook();
        break;
    case WM_SYSCOLORCHANGE:
        FollowSystemLook();
        break;
    case WM_ACTIVATE:
        // Like a dialog: focus returns to the control that had it.
        if (LOWORD(wParam) != WA_INACTIVE && focus_ && IsWindowEnabled(focus_) && IsWindowVisible(focus_)) {
            SetFocus(focus_);
            return 0;
        }
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            if (focused && IsChild(handle_, focused)) focus_ = focused;
        }
        break;
    case DM_GETDEFID:
        // Without a default button (the licence page) Enter presses nothing:
        // the IDOK command the system sends instead names no control.
        if (HWND button = DefaultButton()) return MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID);
        return 0;
    case WM_COMMAND: {
        int id = static_cast<int>(LOWORD(wParam)) - kControlIdBase;
        if (lParam && id >= 0 && id < kControlCount) Command(static_cast<ControlId>(id), HIWORD(wParam));
        return 0;
    }
    case WM_DPICHANGED:
        if (lParam) DpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        if (!Busy()) DestroyWindow(handle_);
        return 0;
    case WM_DESTROY:
        App().Terminate();
        return 0;
    }
    return DefWindowProcA(handle_, message, wParam, lParam);
}

HWND TForm1::DefaultButton() const {
    auto live = [this](ControlId id) {
        HWND button = controls_[id];
        return button && IsWindowEnabled(button) && IsWindowVisible(button) ? button : nullptr;
    };
    // As in a dialog, the push button that has the focus.
    for (ControlId id : {Button1, Button2, Button3, Button4})
        if (controls_[id] == GetFocus() && live(id)) return controls_[id];
    switch (page_) {
    case Page::Welcome: return live(Button4);
    case Page::Options: return live(Button1);
    case Page::Installed:
    case Page::Failed: return live(Button2);
    default: return nullptr;
    }
}

void TForm1::Command(ControlId id, WORD notification) {
    if (Busy()) return;
    if (notification == BN_CLICKED) {
        switch (id) {
        case Button1: return Button1Click();
        case Button2: return Button2Click();
        case Button3: return Button3Click();
        case Button4: return Button4Click();
        case CheckBox1: return CheckBox1Click();
        default: return;
        }
    }
    if (id == LabeledEdit1 && notification == EN_KILLFOCUS) LabeledEdit1Exit();
}

void ShowAppActive() { App().FailureMessage(kAppActiveText); }

void TForm1::FollowSystemLook() {
    const bool wanted = SystemWantsDark();
    if (wanted == DarkLook()) return;
    SetDarkLook(handle_, wanted);
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TForm1::FormCreate() {
    if (command_) plan_ = PlanInstall(*command_, plan_.paths.Scope);
    planned_ = true;
    // Asked to close a running WrenTide first, the kind is shown once that is tried.
    if (!command_ || !command_->closeApplications) ShowKind();
    SetText(LabeledEdit1, plan_.paths.ProgPth);
    SetHint(LabeledEdit1, plan_.paths.ProgPth);
    SendMessageW(controls_[CheckBox2], BM_SETCHECK, plan_.desktopShortcut ? BST_CHECKED : BST_UNCHECKED, 0);
    Activate(Button4);
}

void TForm1::ShowKind() {
    if (plan_.kind == InstallKind::ApplicationActive) ShowAppActive();
    if (plan_.kind == InstallKind::ReInstall) SetText(Button1, kReInstallCaption);
    if (plan_.kind == InstallKind::FreshInstall) SetText(Button1, kInstallCaption);
}

void TForm1::AwaitWrenTideClosing() {
    if (!planned_) return;  // discovery failed: the window stays as the error left it
    const bool running = WrenTideRunning(plan_.paths.ProgPth);
    const std::string prompt = Text(Label1);
    if (running) {
        SetText(Label1, kWaitingForWrenTide);
        Repaint(Label1);
        EnableWindow(handle_, FALSE);
    }
    waiting_ = true;
    WaitResponsively([this] { CloseRunningWrenTide(plan_); });
    waiting_ = false;
    if (running) {
        EnableWindow(handle_, TRUE);
        SetText(Label1, prompt);
    }
    ShowKind();
    Activate(Button4);
}

// The one place that lays a page out; the install's own states follow in
// Install and Finished.
void TForm1::ShowPage(Page page) {
    page_ = page;
    if (page == Page::Licence || page == Page::Options) {
        SetVisible(Button4, false);
        SetVisible(Label1, false);
    }
    if (page == Page::Licence) {
        SetVisible(GroupBox2, true);
        Activate(Memo1);
    }
    if (page == Page::Options) {
        SetVisible(StaticText4, false);
        SetVisible(GroupBox2, false);
        SetVisible(GroupBox3, true);
        SetEnabled(Button1, true);
        Activate(Button1);
    }
}

void TForm1::Button4Click() { ShowPage(Page::Licence); }

void TForm1::CheckBox1Click() {
    if (Checked(CheckBox1)) ShowPage(Page::Options);
}

void TForm1::Button3Click() {
    const std::vector<wchar_t> start = Wide(plan_.paths.ProgPth);
    wchar_t chosen[MAX_PATH] = L"";
    BROWSEINFOW browse = {};
    browse.hwndOwner = handle_;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = kBrowsePrompt;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_VALIDATE;
    browse.lpfn = BrowseCallback;
    browse.lParam = DirectoryExists(plan_.paths.ProgPth) ? reinterpret_cast<LPARAM>(start.data()) : 0;

    ItemIdList result;
    {
        QuietCriticalErrors quiet;
        result.list = SHBrowseForFolderW(&browse);
    }
    if (!result.list) return;
    wchar_t path[MAX_PATH + 1] = L"";
    if (!SHGetPathFromIDListW(result.list, path) || !DirectoryExists(Utf8(path))) return;
    // The chosen folder is the program folder itself; nothing is appended.
    plan_.paths.ProgPth = Utf8(path);
    SetText(LabeledEdit1, plan_.paths.ProgPth);
    SetHint(LabeledEdit1, plan_.paths.ProgPth);
}

void TForm1::LabeledEdit1Exit() {
    // Taken exactly as typed; the install finds out whether it can be made.
    plan_.paths.ProgPth = Text(LabeledEdit1);
}

void TForm1::Button2Click() {
    // Only a finished install starts the program: not a failed one, nor one
    // that never ran.
    plan_.runAfter = Checked(CheckBox4);
    if (plan_.runAfter && InstallComplete())
        ShellExecuteW(handle_, L"open", Wide(JoinPath(plan_.paths.ProgPth, kProgramFile)).data(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    App().Terminate();
}

void TForm1::Button1Click() {
    plan_.desktopShortcut = Checked(CheckBox2);
    Install();
}

void TForm1::Install() {
    for (ControlId id : {Button1, Button3, CheckBox4, LabeledEdit1, CheckBox2, Button2}) SetEnabled(id, false);
    SetVisible(StaticText2, true);
    Repaint(StaticText2);
    SetVisible(ProgressBar1, true);
    EnableWindow(handle_, FALSE);
    page_ = Page::Installing;
    // The plan cannot change while the install runs: the window is disabled.
    RunInstall(plan_, *this);
}

void TForm1::Status(const std::string& text) {
    SetText(StaticText2, text);
    // The install blocks the message loop: paint now or the text never shows.
    Repaint(StaticText2);
}

void TForm1::Progress(int position) { SetProgress(position); }

void TForm1::Message(const std::string& text) { App().FailureMessage(text); }

void TForm1::Finished(bool success) {
    page_ = success ? Page::Installed : Page::Failed;
    SetEnabled(Button1, false);
    SetEnabled(Button2, true);
    SetText(StaticText2, success ? kComplete : kFailed);
    Repaint(StaticText2);
    SetText(Button2, success ? kFinished : kClose);
    SetEnabled(GroupBox3, false);
    EnableWindow(handle_, TRUE);
    // The one live button takes the focus, so that Enter finishes or closes.
    Activate(Button2);
}

}  // namespace wt
