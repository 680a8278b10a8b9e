// The install button's handler: folders, the seven payload files with their
// progress milestones, the registration record, the shortcuts and the
// statistics ping, then the finished or failed state. It runs start to end on
// the window's thread with the window disabled; only the status text and the
// progress bar are repainted on the way.
#include <windows.h>

#include <exception>

#include "wrentide_setup/application.h"
#include "wrentide_setup/bench_marks.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/stats/stats_ping.h"
#include "wrentide_setup/system/registration.h"
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/ui/form.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const char kProgramFolderFailed[] = "Install Failed! Unable to create Install Folder.";
const char kDataFolderFailed[] = "Install Failed! Try installing again as Administrator.";
const char kInstallFailed[] = "Install Failed!  Try installing as administrator.";
const char kComplete[] = "Installation Complete";
const char kFailed[] = "Installation Failed";
const char kFinished[] = "Finished";
const char kClose[] = "Close";

// One level only: a missing parent makes it fail. A name that is not a full
// path would resolve against setup's own working folder (an emptied folder
// box means the root of the drive): it counts as a folder it could not make.
bool EnsureFolder(const std::string& path) {
    return IsFullPath(path) && (DirectoryExists(path) || CreateDirectoryA(path.c_str(), nullptr));
}

}  // namespace

void TForm1::Button1Click() {
    for (ControlId id : {Button1, Button3, CheckBox4, LabeledEdit1, CheckBox2, Button2}) SetEnabled(id, false);
    SetVisible(StaticText2, true);
    Repaint(StaticText2);
    SetVisible(ProgressBar1, true);

    bool success = true;
    EnableWindow(handle_, FALSE);

    if (!EnsureFolder(paths_.ProgPth)) App().FailureMessage(kProgramFolderFailed);
    if (!EnsureFolder(paths_.VendorPth) || !EnsureFolder(paths_.DBPth)) {
        success = false;
        App().FailureMessage(kDataFolderFailed);
    }

    if (success) {
        try {
            const std::string temp = JoinPath(paths_.DBPth, kTempPak);
            for (const PayloadFile& file : PayloadTable) {
                const std::string destination = Destination(file, paths_);
                std::exception_ptr failure;
                try {
                    // Nothing is written, or removed, in a folder that is not a full path.
                    if (!IsFullPath(paths_.*file.folder))
                        throw Error("Cannot create file \"" + destination + "\". The folder is not a full path.");
                    if (FileExists(destination)) RemoveOldFile(destination);
                    ExtractResource(file.resource, temp);
                    InflateFile(temp, destination);
                } catch (...) {
                    failure = std::current_exception();
                }
                // The step's clean-up and milestone come whether or not it worked.
                if (FileExists(temp)) RemoveOldFile(temp);
                SetProgress(file.milestone);
                if (failure) std::rethrow_exception(failure);
            }
            BenchMark("payload");
            WriteRegistration(paths_, [this](const std::string& workFolder) { return setdest(workFolder); });
            BenchMark("registration");
            CreateDirectoryA(paths_.MenuPth.c_str(), nullptr);
            MakeProgramShortcut(paths_.ProgPth, paths_.MenuPth);
            MakeUninstallShortcut(paths_.DBPth, paths_.MenuPth);
            SetProgress(99);
            if (Checked(CheckBox2)) MakeProgramShortcut(paths_.ProgPth, paths_.DeskPth);
            SetProgress(100);
            BenchMark("shortcuts");
            SendInstallPing();
            BenchMark("ping");
        } catch (...) {
            success = false;
            App().FailureMessage(kInstallFailed);
        }
    }

    SetEnabled(Button1, false);
    SetEnabled(Button2, true);
    SetText(StaticText2, success ? kComplete : kFailed);
    Repaint(StaticText2);
    SetText(Button2, success ? kFinished : kClose);
    SetEnabled(GroupBox3, false);
    EnableWindow(handle_, TRUE);
    // The one live button takes the focus, so that Enter finishes or closes.
    Activate(Button2);
    BenchMark("complete");
}

}  // namespace wt
