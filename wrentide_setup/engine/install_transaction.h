// What an install changed, so that a failed one can be taken back and the
// installation it was replacing keeps working. Each change is written to the
// journal, and flushed, before it is made: a killed install is finished the
// next time setup or the uninstaller starts.
#pragma once

#include <string>
#include <vector>

#include "wrentide_setup/context/elevation.h"
#include "wrentide_setup/engine/journal.h"

namespace wt {

class InstallTransaction {
public:
    // root: the registry root whose journal this install keeps.
    explicit InstallTransaction(const std::string& root) : journal_(root) {}
    ~InstallTransaction();  // a transaction begun and neither committed nor undone is undone
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // Before the first change: the journal can be written, and no earlier
    // one waits to be finished. Raises Error with the cause.
    void Begin();
    // Call before CreateDirectory of a folder that is not there. Raises Error
    // with the cause when its parent cannot be opened: it cannot be made.
    void MakingFolder(const std::string& folder);
    // Call before a file is written: an old one is moved aside (a rename in
    // its folder), and the new one is this run's. One in use raises.
    void Replacing(const std::string& file);
    // Call before a file is changed in place: a copy of it is kept.
    void Changing(const std::string& file);
    // Call before a shell link to target is saved at link: as Replacing, and
    // the installation's record names the link with its target. Raises Error
    // with the cause when an old link there cannot be set aside (read-only, or
    // held by another program): it is then left as it is, and no link saved.
    void Linking(const std::string& link, const std::string& target);
    // A folder of the installation that stood before this run (made by an
    // earlier install, or the user's): the record names it, and the
    // uninstaller removes it once it is empty.
    void Keeping(const std::string& folder);
    // Call before a registry value is written: its old value is kept.
    void SettingValue(const std::string& root, const std::string& keyPath, const std::string& name);

    // The install is complete: the installation's record (kRecordKey) is
    // written, every new file goes to the disk, the commit point is written,
    // then the set-aside copies and the journal go. Raises Error, before the
    // commit point, when the record cannot be written or a file flushed.
    void Commit();
    // Puts back everything as it was before this run, last change first.
    // False when some change could not be taken back; each is logged.
    bool Undo();

private:
    void Note(JournalEntry entry);
    void Made(const JournalEntry& entry);
    void WriteRecord();
    Journal journal_;
    std::vector<JournalEntry> entries_;
    std::vector<JournalEntry> made_;  // for the record: folders, files and links, as they came
    bool begun_ = false;
    bool done_ = false;
};

// At start: the journal of root left by a killed install is finished: undone
// before its commit point, completed after it. Returns what was done for the
// log ("" when there was none). A journal that cannot be read, or that names
// a path whose folder is no longer the one it was, or one outside bounds
// (BoundsFor), is left alone, reported.
std::string FinishInterruptedInstall(const std::string& root, const ActingBounds& bounds = {});

// The uninstaller's side. Fills entry.folder from the disk as it is now, as
// the transaction notes it (for a MadeFolder the folder's own final path);
// false when there is no such folder. For an installation without a record.
bool DescribeAsFound(JournalEntry& entry);
// Removes one thing that the record names (a file, a link, a folder once it
// is empty), reached through its folder held open and checked against the
// final path the record keeps, so that a folder swapped for a link since
// redirects nothing. Done when it is gone or was never there; otherwise
// raises Error saying why it stays.
void RemoveMade(const JournalEntry& entry);

}  // namespace wt
