// Rights before anything else: an install for everyone needs an elevated
// token, one for the current user needs none. A run without the rights it
// needs starts itself again elevated, with nothing but its command line.
#pragma once

#include <string>
#include <vector>

#include "wrentide_setup/checkpoints.h"
#include "wrentide_setup/context/install_paths.h"

namespace wt {

enum class StartAction {
    Install,           // this process has what the scope needs
    RelaunchElevated,  // start again elevated and hand back that run's exit code
    OfferThisUser,     // elevation was refused: ask whether to install for this user alone
    EndRefused,        // elevation was refused and no one can be asked: 1602
};

// What a run asked for scope does next, given its token and whether starting
// it elevated was refused (the prompt cancelled) or impossible.
StartAction DecideStart(InstallScope asked, bool elevated, bool elevationRefused, bool unattended);

// True when the process's token is elevated (or UAC is off and it is an
// administrator's full token).
bool TokenElevated();

// The start of a run for asked, with the rights it needs: Install when this
// process has them; RelaunchElevated once a run started again elevated with
// arguments and the restart marker has ended (its exit code in code);
// OfferThisUser or EndRefused when the elevation was refused or impossible,
// or when this run is that restart (restarted) and still lacks the rights
// (refusal says why). token is the faults build's stand-in for the process's
// token (FaultToken); every other build passes TokenStandIn::Real.
struct StartOutcome {
    StartAction action;
    int code = 0;
    std::string refusal;
};
StartOutcome StartWithRights(InstallScope asked, bool unattended, bool restarted, TokenStandIn token,
                             const std::string& arguments, int show);

// Where a run may act on the names that HKEY_CURRENT_USER holds (a killed
// install's journal, the installation's record), by final paths. A run for
// one user whose token is elevated (an administrator's console, UAC turned
// off, every run under Wine) would be stopped by the system nowhere: it acts
// only inside that user's profile and program folder, and on the desktop's
// WrenTide link, leaving the rest to a run without elevation. Any other run
// acts wherever its rights reach (both lists empty).
struct ActingBounds {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};
ActingBounds BoundsFor(InstallScope scope);

// "" when the file at path, in the folder whose final path is folder, lies
// within bounds (for a folder of its own, with folder its final path: when
// it lies inside one of theirs); otherwise why not.
std::string OutsideBounds(const ActingBounds& bounds, const std::string& folder, const std::string& path,
                          bool isFolder);

// Starts this program again with the verb "runas" and arguments, in the same
// working folder, waits for it to end and returns its exit code. Raises
// Error saying why when the elevation was refused or could not be made.
int RunElevated(const std::string& arguments, int show);

}  // namespace wt
