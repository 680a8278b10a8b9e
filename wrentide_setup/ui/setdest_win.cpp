#include "wrentide_setup/ui/form.h"

namespace wt {

namespace {

const char kApplyingPreferences[] = "Applying preferences....";

}  // namespace

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
