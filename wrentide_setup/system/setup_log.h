// The log of an unattended run, or of a run with /LOG: one UTF-8 line per
// step, each with the local time, so that a deployment tool's operator can see
// what happened and why. Until a log is opened every line goes nowhere.
#pragma once

#include <string>

#include "wrentide_setup/context/setup_command.h"

namespace wt {

// %TEMP%\WrenTide-<program>-<yyyymmdd-hhmmss>.log ("Setup" or
// "Uninstall"): never inside a folder that setup or the uninstaller removes.
std::string DefaultSetupLogPath(const char* program = "Setup");

// Starts the process's log at path, making its missing folders. Whatever
// stood at the name goes as a name, never what a link there points at. False
// when it cannot be written; the run goes on without it.
bool OpenSetupLog(const std::string& path);

// The log of an unattended run or of /LOG, for setup ("Setup") or the
// uninstaller ("Uninstall"): at the place the line names, or the default one
// for a line that is refused; its first line names the program, its version,
// the process and the command line. Nothing for a run that asks for none.
void OpenRunLog(const char* program, const std::string& line, const SetupCommand& command, bool refused);

// One line, written through at once; never raises.
void LogLine(const std::string& text);

// The log's last line: the exit code and why; returns code.
int EndWith(int code, const std::string& why);

}  // namespace wt
