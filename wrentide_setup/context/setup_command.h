// What setup was asked on its command line, read once at start. With no
// command line it runs as it always has: the wizard, for a person.
#pragma once

#include <string>

#include "wrentide_setup/context/install_paths.h"

namespace wt {

enum class RunMode {
    Interactive,  // the wizard
    Silent,       // the window shows the install and its progress, takes no input, closes itself
    VerySilent,   // no window, no message box
};

// The exit codes that deployment tools read (Windows Installer's own).
enum ExitCode : int {
    kExitInstalled = 0,
    kExitRemoved = 0,  // the uninstaller's success
    kExitCancelled = 1602,
    kExitFailed = 1603,
    kExitNothingInstalled = 1605,
    kExitAnotherSetup = 1618,
    kExitBadCommandLine = 1639,
};

struct SetupCommand {
    RunMode mode = RunMode::Interactive;
    bool help = false;
    bool desktop = false;        // /DESKTOP
    bool closeApplications = false;  // /CLOSEAPPLICATIONS: ask a running WrenTide to close first
    bool log = false;            // /LOG or /LOG="file"
    std::string logFile;         // empty: the default place
    bool hasFolder = false;      // /DIR="folder" or /D=folder
    std::string folder;
    InstallScope scope = InstallScope::Machine;  // /ALLUSERS (the default) or /CURRENTUSER
    bool restarted = false;      // /RESTARTED: this run was started again for administrator rights
    std::string error;           // why the line is refused, naming the switch; empty when it is good

    bool Unattended() const { return mode != RunMode::Interactive; }
};

// Reads a whole command line, program name first, as the system gives it
// (UTF-8). Switches are case-insensitive and begin with / or -; a value may
// be quoted ("/DIR=C:\Some Where" or /DIR="C:\Some Where"). /D=, as NSIS has
// it, comes last and takes the rest of the line as it stands.
//
// The uninstaller reads its line here too: it takes /S, /ALLUSERS,
// /CURRENTUSER, /CLOSEAPPLICATIONS and /LOG, and any other switch of setup's
// is unknown to it.
enum class CommandFor { Setup, Uninstaller };
SetupCommand ParseSetupCommand(const std::string& commandLine, CommandFor program = CommandFor::Setup);

// What follows the program's own name on a command line, as it stands: what
// a program started again with the same command line is given.
std::string ArgumentsOf(const std::string& commandLine);

// The marker of a run started again for administrator rights. It only ever
// forbids another restart: a run that has it and still lacks the rights ends
// as a refused elevation does.
extern const char kRestartedSwitch[];  // "/RESTARTED"

// The switches and exit codes, for /? and /HELP.
extern const char kSetupHelpText[];

}  // namespace wt
