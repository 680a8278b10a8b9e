// One setup or uninstaller at a time where two would trip over each other.
// The lock for everyone keeps the runs for everyone apart; each user's lock
// keeps that user's runs of both scopes apart, since both write the user's
// data folder (a run for everyone takes the user's lock too). A lock is a
// named mutex that only its own kind can hold: one of the same name that
// anyone else made (its owner neither an administrator, SYSTEM nor, for a
// user's lock, that user) is passed over for the next name.
#pragma once

#include <string>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/win32.h"

namespace wt {

class SetupLock {
public:
    // Takes the locks that a run for scope needs, held until this object
    // goes. False, with why, when another setup or uninstaller holds one.
    bool Take(InstallScope scope, std::string& why);

private:
    UniqueHandle machine_, user_;
};

}  // namespace wt
