// What an install changed, so that a failed one can be taken back and the
// installation it was replacing keeps working. Each change is written to a
// journal in the data folder, and flushed, before it is made: a killed
// install is undone the next time setup or the uninstaller starts.
#pragma once

#include <string>
#include <vector>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/win32.h"

namespace wt {

extern const char kJournalFile[];  // "\setup.journal", in the data folder

class InstallTransaction {
public:
    explicit InstallTransaction(const InstallPaths& paths) : paths_(paths) {}
    ~InstallTransaction();  // a transaction neither committed nor undone is undone
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // Call after CreateDirectory: a folder that was not there before this run.
    void MadeFolder(const std::string& folder);
    // Call before a file is written: an old one is moved aside (a rename in
    // its folder; it costs no space), and the new one is this run's. One in
    // use stays where it is, and its write fails as it would have.
    void Replacing(const std::string& file);
    // Call before a file is changed in place: a copy of it is kept.
    void Changing(const std::string& file);
    // Call before a registry value is written: its old value is kept.
    void SettingValue(const std::string& root, const std::string& keyPath, const std::string& name);

    // The install is complete: the set-aside copies and the journal go.
    void Commit();
    // Puts back everything as it was before this run, last change first.
    void Undo();

private:
    void Note(const std::string& entry);
    void Close();
    const InstallPaths& paths_;
    std::vector<std::string> entries_;
    std::vector<std::string> savedValues_;  // key and name of each value already kept
    bool done_ = false;
    UniqueHandle journal_;  // open once the data folder exists
};

// At start: a journal left by a killed install is undone, and the previous
// installation is back. Returns what was done for the log ("" when there was
// no journal). A journal that is damaged, of another version, or names a place
// outside the program, data and Start-menu folders of paths is left alone and
// reported.
std::string FinishInterruptedInstall(const InstallPaths& paths);
// The same for the places the recorded installation (or the default) names.
std::string FinishInterruptedInstall();

}  // namespace wt
