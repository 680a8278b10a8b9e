// The wizard's handlers: welcome -> licence -> options, the folder choice, and
// the close button. There is no way back to an earlier page.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "wrentide_setup/ui/application.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const wchar_t kBrowsePrompt[] = L"Install WrenTide to this folder:";

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

void TForm1::Button4Click() {
    SetVisible(Button4, false);
    SetVisible(Label1, false);
    SetVisible(GroupBox2, true);
    page_ = Page::Licence;
    Activate(Memo1);
}

void TForm1::CheckBox1Click() {
    if (!Checked(CheckBox1)) return;
    SetVisible(StaticText4, false);
    SetVisible(GroupBox2, false);
    SetVisible(GroupBox3, true);
    SetEnabled(Button1, true);
    page_ = Page::Options;
    Activate(Button1);
}

void TForm1::Button3Click() {
    const std::vector<wchar_t> start = Wide(paths_.ProgPth);
    wchar_t chosen[MAX_PATH] = L"";
    BROWSEINFOW browse = {};
    browse.hwndOwner = handle_;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = kBrowsePrompt;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_VALIDATE;
    browse.lpfn = BrowseCallback;
    browse.lParam = DirectoryExists(paths_.ProgPth) ? reinterpret_cast<LPARAM>(start.data()) : 0;

    ItemIdList result;
    {
        QuietCriticalErrors quiet;
        result.list = SHBrowseForFolderW(&browse);
    }
    if (!result.list) return;
    wchar_t path[MAX_PATH + 1] = L"";
    if (!SHGetPathFromIDListW(result.list, path) || !DirectoryExists(Utf8(path))) return;
    // The chosen folder is the program folder itself; nothing is appended.
    paths_.ProgPth = Utf8(path);
    SetText(LabeledEdit1, paths_.ProgPth);
    SetHint(LabeledEdit1, paths_.ProgPth);
}

void TForm1::LabeledEdit1Exit() {
    // Taken exactly as typed; the install finds out whether it can be made.
    paths_.ProgPth = Text(LabeledEdit1);
}

void TForm1::Button2Click() {
    // Only a finished install starts the program: not a failed one, nor one
    // that never ran.
    if (Checked(CheckBox4) && InstallComplete())
        ShellExecuteW(handle_, L"open", Wide(JoinPath(paths_.ProgPth, kProgramFile)).data(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    App().Terminate();
}

}  // namespace wt
