// Asks the running WrenTide to close before its files are replaced or
// removed, as Windows asks programs before it shuts down. Nothing is ever
// terminated: a program that will not close keeps running, and the caller
// goes on as if it had not asked.
#pragma once

#include <string>

#include "wrentide_setup/context/install_plan.h"

namespace wt {

// Asks every process whose image is program (a full path) to close: through
// the Restart Manager where it reports them, otherwise to each process's
// windows itself (WM_QUERYENDSESSION and WM_ENDSESSION with
// ENDSESSION_CLOSEAPP, then WM_CLOSE). Then waits up to waitMilliseconds for
// them to end. Each step goes to the log. True when none of them runs now.
bool CloseApplications(const std::string& program, unsigned long waitMilliseconds = 30000);

// /CLOSEAPPLICATIONS: a WrenTide that runs from the plan's program folder is
// asked to close and waited for; the kind is then decided again, so that one
// that closed no longer makes it ApplicationActive.
void CloseRunningWrenTide(InstallPlan& plan);

}  // namespace wt
