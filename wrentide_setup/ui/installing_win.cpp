// The window's side of the install: the Installing state, what the install
// sequence reports, the end state, and the preferences file.
#include "wrentide_setup/ui/form.h"

#include "wrentide_setup/ui/application.h"

namespace wt {

namespace {

const char kApplyingPreferences[] = "Applying preferences....";
const char kComplete[] = "Installation Complete";
const char kFailed[] = "Installation Failed";
const char kFinished[] = "Finished";
const char kClose[] = "Close";

}  // namespace

void TForm1::Button1Click() {
    for (ControlId id : {Button1, Button3, CheckBox4, LabeledEdit1, CheckBox2, Button2}) SetEnabled(id, false);
    SetVisible(StaticText2, true);
    Repaint(StaticText2);
    SetVisible(ProgressBar1, true);
    EnableWindow(handle_, FALSE);
    page_ = Page::Installing;
    // The choice cannot change while the install runs: the window is disabled.
    RunInstall(paths_, InstallOptions{Checked(CheckBox2)}, *this);
}

void TForm1::Progress(int position) { SetProgress(position); }

void TForm1::Message(const std::string& text) { App().FailureMessage(text); }

void TForm1::StoreWorkFolder(const std::string& workFolder) { setdest(workFolder); }

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

bool TForm1::setdest(const std::string& workFolder) {
    SetText(StaticText2, kApplyingPreferences);
    // The install blocks the message loop: paint now or the text never shows.
    Repaint(StaticText2);
    UpdatePrefsFile(prefsFile_, JoinPath(paths_.DBPth, kPrefsFile), workFolder);
    return true;
}

void TForm1::FormClose() {
    // The file is normally closed already; closing it again is harmless and never raises.
    prefsFile_.Close();
}

}  // namespace wt
