// The log of an unattended run, or of a run with /LOG: one UTF-8 line per
// step, each with the local time, so that a deployment tool's operator can see
// what happened and why. Until a log is opened every line goes nowhere.
#pragma once

#include <string>

#include "wrentide_setup/context/setup_command.h"
#include "wrentide_setup/win32.h"

namespace wt {

// Starts the process's log in a new file folder\stem-<random>.log, of a
// name nobody can take in advance; another random part while the name is
// taken (a file, a folder, a link). Makes no folder. False, with why, when
// none can be made. randomPart is RandomName but where a test takes names.
bool OpenNewLog(const std::string& folder, const std::string& stem, std::string* why,
                std::string (*randomPart)(unsigned) = RandomName);

// Starts the process's log at a path that the caller named, making its
// missing folders. Whatever stood at the name goes as a name, never what a
// link there points at. False when it cannot be written; the run goes on
// without it.
bool OpenSetupLog(const std::string& path);

// The log of an unattended run or of /LOG, for setup ("Setup") or the
// uninstaller ("Uninstall"): at the place the line names, or by default (and
// for a line that is refused) as
// %TEMP%\WrenTide-<program>-<yyyymmdd-hhmmss>-<random>.log, in a temporary
// folder that exists, never inside a folder that setup or the uninstaller
// removes. Its first line names the program, its version, the process and
// the command line. Nothing for a run that asks for none. An unattended run
// that can write no log says why on its standard error.
void OpenRunLog(const char* program, const std::string& line, const SetupCommand& command, bool refused);

// One line, written through at once; never raises.
void LogLine(const std::string& text);

// The log's last line: the exit code and why; returns code.
int EndWith(int code, const std::string& why);

}  // namespace wt
