// The journal of an install: one record per change, written where only the
// side that installs can write it, before the change is made. A killed
// install is finished from it at the next start of setup or the uninstaller.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace wt {

enum class Change : unsigned char {
    MadeFolder = 1,  // path: a folder this run made (folder: its final path)
    Wrote,           // path: a file this run writes where none of the installation stood
    SetAside,        // path: the old file went to path + ".wt-old"; the one at path is this run's
    KeptCopy,        // path: a file changed in place; its old bytes are at path + ".wt-old"
    MadeKey,         // root, path: a registry key this run made
    SetValue,        // root, path, name: a value this run writes, and what it held before
    Committed,       // the commit point: every new file is on the disk, nothing is undone now
    MadeLink,        // path: a shell link this run made (name: its target); in the record alone
};

struct JournalEntry {
    Change change = Change::Wrote;
    std::string path;    // a file or folder; the key's path for a key or value
    std::string folder;  // the final path, through a handle, of the folder that path lies in
    std::string root;    // the registry root's word ("localmachine", "user")
    std::string name;    // the value's name
    bool present = false;     // the value's state before: whether there was one,
    unsigned long type = 0;   // its type
    std::string bytes;        // and its bytes
};

// The one writer and the one reader of a record. DecodeEntry is false for
// anything EncodeEntry cannot have written.
std::string EncodeEntry(const JournalEntry& entry);
bool DecodeEntry(const std::string& record, JournalEntry& entry);

// Under the settings key: the journal of an install under way, and the
// record of what the standing installation made (its files, links, folders
// and keys, in the order they were made), which the uninstaller removes.
extern const char kJournalKey[];  // "\Software\WrenTide\Journal"
extern const char kRecordKey[];   // "\Software\WrenTide\Installed"

// The records under one key of one registry root (per machine: under
// HKEY_LOCAL_MACHINE), a key of WrenTide's own. Each record is a value,
// flushed to the disk.
class Journal {
public:
    explicit Journal(std::string root, const char* key = kJournalKey) : root_(std::move(root)), key_(key) {}
    const std::string& Root() const { return root_; }
    const char* Key() const { return key_; }
    // The value that holds record index: records are read in this order.
    static std::string ValueName(unsigned long index);
    // Where it lies, for the log.
    std::string Place() const;
    bool Exists() const;
    // Makes the empty journal; raises Error with the cause.
    void Create();
    // Written and flushed before the change it names; raises Error with the cause.
    void Append(const JournalEntry& entry);
    // Every record in order; raises Error saying why when one cannot be read.
    std::vector<JournalEntry> Read() const;
    // The journal goes; raises Error with the cause.
    void Remove();

private:
    std::string root_;
    const char* key_;
    unsigned long next_ = 0;
};

}  // namespace wt
