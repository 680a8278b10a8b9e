#include "wrentide_setup/context/setup_command.h"

#include <cctype>
#include <vector>

namespace wt {

const char kRestartedSwitch[] = "/RESTARTED";

const char kSetupHelpText[] =
    "wrentide_setup.exe [/ALLUSERS | /CURRENTUSER] [/S | /VERYSILENT | /SILENT] [/DIR=\"folder\"] [/DESKTOP] "
    "[/CLOSEAPPLICATIONS] [/LOG[=\"file\"]] [/D=folder]\r\n"
    "\r\n"
    "/ALLUSERS\tinstall for everyone on this computer (the default; needs administrator rights)\r\n"
    "/CURRENTUSER\tinstall for you alone, in your own profile (needs no rights)\r\n"
    "/S, /VERYSILENT\tinstall with no window and no message\r\n"
    "/SILENT\tshow the install's progress only\r\n"
    "/DIR=\"folder\"\tthe program folder (/D=folder last, unquoted)\r\n"
    "/DESKTOP\talso put a shortcut on the desktop\r\n"
    "/CLOSEAPPLICATIONS\task a running WrenTide to close first, and wait up to 30 seconds for it\r\n"
    "/LOG[=\"file\"]\twrite a log (unattended runs always do)\r\n"
    "\r\n"
    "Exit codes: 0 installed, 1602 cancelled, 1603 failed, 1618 another setup is running, "
    "1639 bad command line.";

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The line after the program's own name, which is quoted when it holds blanks.
size_t ArgumentsStart(const std::string& line) {
    size_t at = 0;
    if (!line.empty() && line[0] == '"') {
        at = line.find('"', 1);
        at = at == std::string::npos ? line.size() : at + 1;
    }
    while (at < line.size() && !IsBlank(line[at])) ++at;
    return at;
}

}  // namespace

std::string ArgumentsOf(const std::string& line) {
    size_t at = ArgumentsStart(line);
    while (at < line.size() && IsBlank(line[at])) ++at;
    return line.substr(at);
}

SetupCommand ParseSetupCommand(const std::string& line, CommandFor program) {
    SetupCommand command;
    bool silent = false, verySilent = false, dirGiven = false, dGiven = false, allUsers = false, currentUser = false;
    auto refuse = [&command](const std::string& why) {
        if (command.error.empty()) command.error = why;
    };
    size_t at = ArgumentsStart(line);
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at >= line.size()) break;
        const size_t start = at;
        // One argument: blanks inside quotes belong to it, the quotes do not.
        std::string word;
        bool quoted = false;
        for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
            if (line[at] == '"') quoted = !quoted;
            else word += line[at];
        }
        const std::string raw = line.substr(start, at - start);
        if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) {
            refuse("Unknown switch: " + raw);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = Upper(word.substr(1, equals == std::string::npos ? std::string::npos : equals - 1));
        if (program == CommandFor::Uninstaller && name != "S" && name != "ALLUSERS" && name != "CURRENTUSER" &&
            name != "CLOSEAPPLICATIONS" && name != "LOG" && name != "RESTARTED") {
            refuse("Unknown switch: " + raw);
            continue;
        }
        const bool hasValue = equals != std::string::npos;
        const std::string value = hasValue ? word.substr(equals + 1) : "";
        if (name == "D" && hasValue) {
            // The rest of the line, unquoted, blanks and all; trailing blanks go.
            size_t end = line.size();
            while (end > start && IsBlank(line[end - 1])) --end;
            command.folder = line.substr(start + 3, end - start - 3);
            command.hasFolder = dGiven = true;
            if (command.folder.empty()) refuse("The switch /D= needs a folder: /D=folder");
            break;
        }
        const bool flag = name == "S" || name == "VERYSILENT" || name == "SILENT" || name == "DESKTOP" ||
                          name == "SUPPRESSMSGBOXES" || name == "NORESTART" || name == "?" || name == "HELP" ||
                          name == "ALLUSERS" || name == "CURRENTUSER" || name == "CLOSEAPPLICATIONS" ||
                          name == "RESTARTED";
        if (flag && hasValue) {
            refuse("The switch " + raw + " takes no value");
        } else if (name == "S" || name == "VERYSILENT") {
            verySilent = true;
        } else if (name == "SILENT") {
            silent = true;
        } else if (name == "DESKTOP") {
            command.desktop = true;
        } else if (name == "CLOSEAPPLICATIONS") {
            command.closeApplications = true;
        } else if (name == "RESTARTED") {
            command.restarted = true;
        } else if (name == "ALLUSERS") {
            allUsers = true;
        } else if (name == "CURRENTUSER") {
            currentUser = true;
        } else if (name == "?" || name == "HELP") {
            command.help = true;
        } else if (name == "SUPPRESSMSGBOXES" || name == "NORESTART") {
            // Passed by deployment tools out of habit: setup shows no box
            // unattended and never restarts the computer anyway.
        } else if (name == "DIR") {
            if (!hasValue || value.empty()) refuse("The switch " + raw + " needs a folder: /DIR=\"folder\"");
            else if (dirGiven && value != command.folder) refuse("The switch /DIR is given twice: " + raw);
            command.folder = value;
            command.hasFolder = dirGiven = true;
        } else if (name == "LOG") {
            if (hasValue && value.empty()) refuse("The switch " + raw + " needs a file: /LOG=\"file\"");
            else if (command.log && value != command.logFile) refuse("The switch /LOG is given twice: " + raw);
            command.log = true;
            command.logFile = value;
        } else {
            refuse("Unknown switch: " + raw);
        }
    }
    if (silent && verySilent) refuse("The switches /SILENT and /S (/VERYSILENT) contradict each other");
    if (dirGiven && dGiven) refuse("The switches /DIR and /D contradict each other");
    if (allUsers && currentUser) refuse("The switches /ALLUSERS and /CURRENTUSER contradict each other");
    command.scope = currentUser ? InstallScope::User : InstallScope::Machine;
    command.mode = verySilent ? RunMode::VerySilent : silent ? RunMode::Silent : RunMode::Interactive;
    return command;
}

}  // namespace wt
