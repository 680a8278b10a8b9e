// Setup with no one at the screen, as deployment tools run it: the same plan
// and install sequence, reported to the log instead of to a person.
#pragma once

#include <windows.h>

#include "wrentide_setup/context/setup_command.h"

namespace wt {

// Installs as command asks (/S, /VERYSILENT or /SILENT) and returns the exit
// code, which is also the log's last line. Every failure message goes to the
// log, none to the screen. A folder the command names is made with every
// missing level above it.
// /CLOSEAPPLICATIONS: a WrenTide that runs from the program folder that this
// run installs into is asked to close, and waited for; never terminated.
int RunUnattended(HINSTANCE instance, const SetupCommand& command, InstallScope scope);

}  // namespace wt
