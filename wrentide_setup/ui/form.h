// The setup window: class TForm1, instance Form1. All three wizard pages are
// panels of this one window; the controls are created from one table.
// form_win.cpp holds the controls (layout, painting, scale, the operations on
// them) and calls nothing above them; wizard_win.cpp the window's procedure,
// its one command dispatch, the pages, the handlers and the install.
#pragma once

#include <windows.h>

#include <string>

#include "wrentide_setup/context/install_plan.h"
#include "wrentide_setup/context/setup_command.h"
#include "wrentide_setup/engine/install_sequence.h"
#include "wrentide_setup/ui/banner.h"
#include "wrentide_setup/win32.h"

namespace wt {

// Every control of the window, in table order. Image1, the banner, has no
// window of its own: the form paints it, and screen readers pass it by.
enum ControlId : int {
    Image1,
    Label1,
    GroupBox1,
    Button1,
    Button2,
    GroupBox2,
    Memo1,
    CheckBox1,
    GroupBox3,
    LabeledEdit1,
    LabeledEdit1Label,
    Button3,
    CheckBox2,
    StaticText2,
    ProgressBar1,
    CheckBox4,
    StaticText3,
    Button4,
    StaticText4,
    kControlCount
};

extern const char kFormClass[];  // "TForm1"
extern const char kFormCaption[];

// Where the wizard stands: the page it shows, then the install and its end.
enum class Page { Welcome, Licence, Options, Installing, Installed, Failed };

class TForm1 final : public InstallReport {
public:
    // Creates the window and its controls and runs FormCreate; the window is
    // not shown yet. The window shows plan and edits it. For the wizard
    // FormCreate first works the plan out for command and plan's scope; an
    // unattended run passes no command, and the plan it made.
    static TForm1* Create(HINSTANCE instance, InstallPlan& plan, const SetupCommand* command);

    HWND Handle() const { return handle_; }
    HWND Control(ControlId id) const { return controls_[id]; }

    // The operations the rest of the installer uses on the controls.
    void SetVisible(ControlId id, bool visible);
    void SetEnabled(ControlId id, bool enabled);
    void SetText(ControlId id, const std::string& text);
    std::string Text(ControlId id) const;
    void Repaint(ControlId id);
    void SetProgress(int position);
    bool Checked(ControlId id) const;
    void SetHint(ControlId id, const std::string& text);
    void Activate(ControlId id);

    // Shows a page of the wizard and makes it the window's state.
    void ShowPage(Page page);
    // The install of the plan as the window shows it: the Installing state,
    // status, progress and messages, then the end state. The install
    // button's handler, and the unattended run's /SILENT, which starts it on
    // the options page.
    void Install();

    // /CLOSEAPPLICATIONS in the wizard, once the window shows: a running
    // WrenTide is asked to close and waited for, the window saying so, and
    // the kind is shown as it then is.
    void AwaitWrenTideClosing();

    // Handlers.
    void FormCreate();
    void Button4Click();
    void CheckBox1Click();
    void Button3Click();
    void LabeledEdit1Exit();
    void Button1Click();  // runs the install sequence
    void Button2Click();

    Page CurrentPage() const { return page_; }
    // True once the install has ended "Installation Complete".
    bool InstallComplete() const { return page_ == Page::Installed; }

private:
    // What the install sequence reports.
    void Status(const std::string& text) override;
    void Progress(int position) override;
    void Message(const std::string& text) override;
    void Finished(bool success) override;

    friend bool RegisterFormClasses(HINSTANCE instance);
    static constexpr int kControlIdBase = 100;  // a control's id is this plus its ControlId
    TForm1(HINSTANCE instance, InstallPlan& plan, const SetupCommand* command)
        : instance_(instance), plan_(plan), command_(command) {}
    // The see-through frame class, and the window's outer size for its client area at dpi.
    static bool RegisterFrameClass(HINSTANCE instance);
    static SIZE OuterSize(DWORD style, DWORD exStyle, UINT dpi);
    // The window's background for WM_PRINTCLIENT; a control's colours.
    void PrintClient(HDC dc);
    LRESULT ControlColor(UINT message, HDC dc, HWND control) const;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(ControlId id, WORD notification);
    void CreateControls();
    void LoadArtwork();
    // Fonts, icons and banner made for dpi_; the old fonts and icons stay
    // alive until the window and its controls hold the new ones.
    void MakeFonts();
    HFONT FontOf(ControlId id) const;  // the welcome prompt's is larger
    void LoadIcons();
    void LoadBanner();
    // The texts whose controls take their text's size.
    void FitTexts();
    void FitStatusText(const wchar_t* text);
    // The window moved to a monitor of another scale: the suggested frame,
    // and every control and font again for the new DPI.
    void DpiChanged(UINT dpi, const RECT& suggested);
    void Paint(HDC dc);
    // The push button Enter presses: the focused one, else the page's own.
    HWND DefaultButton() const;
    // The install button's caption for the plan's kind, after the message of
    // a running application.
    void ShowKind();
    // Dark or light as the system now asks, everything drawn again.
    void FollowSystemLook();
    // While the install or a wait for WrenTide runs, the window's thread
    // still reads its messages: no command, and no close, is taken then.
    bool Busy() const { return page_ == Page::Installing || waiting_; }

    HINSTANCE instance_;
    InstallPlan& plan_;
    const SetupCommand* command_;  // the wizard's, which FormCreate plans for; none for an unattended run
    HWND handle_ = nullptr;
    HWND controls_[kControlCount] = {};
    HWND tooltip_ = nullptr;
    HWND focus_ = nullptr;
    Page page_ = Page::Welcome;
    bool planned_ = false;  // the plan was made, or given
    bool waiting_ = false;  // for a running WrenTide to close
    UINT dpi_ = 96;  // the layout table is in pixels at 96 DPI; everything is drawn at this
    GdiObject<HFONT> font_;
    GdiObject<HFONT> labelFont_;
    IconOwner bigIcon_;
    bool statusFitted_ = false;  // StaticText2 has taken its text's size
    DecodedImage banner_;
    int bannerScale_ = 0;  // 1 or 2: which picture banner_ holds; 0 none
    std::string licence_;
};

// Registers the see-through group frame class and TForm1's class.
bool RegisterFormClasses(HINSTANCE instance);

// The failure message of a running application.
void ShowAppActive();

}  // namespace wt
