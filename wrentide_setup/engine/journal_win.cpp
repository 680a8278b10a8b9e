#include <windows.h>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/engine/journal.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/registry.h"
#include "wrentide_setup/win32.h"

namespace wt {
// Beside the settings, in WrenTide's own key: under HKEY_LOCAL_MACHINE only
// administrators and SYSTEM may change it, so no user can plant a record for
// the elevated setup to replay or the uninstaller to remove; the
// uninstaller's removal of the settings key fails while a journal is there,
// so a journal is never lost with it.
const char kJournalKey[] = "\\Software\\WrenTide\\Journal";
const char kRecordKey[] = "\\Software\\WrenTide\\Installed";

// Records are named by their number, eight digits, so that name order is
// journal order. (No printf: its formatter would weigh more than the journal.)
std::string Journal::ValueName(unsigned long index) {
    std::string name(8, '0');
    for (size_t digit = name.size(); digit-- > 0 && index; index /= 10) name[digit] = static_cast<char>('0' + index % 10);
    return name;
}

std::string Journal::Place() const {
    return RegKeyName(root_, key_);
}

bool Journal::Exists() const { return RegKeyExists(root_, key_); }

void Journal::Create() {
    const unsigned long error = RegMakeKey(root_, key_);
    if (error != ERROR_SUCCESS)
        throw Error("Cannot write the install's journal at " + Place() + ": " + SystemMessage(error));
}

void Journal::Append(const JournalEntry& entry) {
    // A journal this object did not begin goes on after its last record.
    if (next_ == 0) RegValueCount(root_, key_, next_);
    SavedValue record;
    record.present = true;
    record.type = REG_BINARY;
    record.bytes = EncodeEntry(entry);
    try {
        RegPutFlushed(root_, key_, ValueName(next_), record);
    } catch (const Error& error) {
        throw Error("Cannot write the install's journal at " + Place() + ": " + error.what());
    }
    ++next_;
}

std::vector<JournalEntry> Journal::Read() const {
    unsigned long count = 0;
    if (const unsigned long error = RegValueCount(root_, key_, count))
        throw Error("cannot be read: " + SystemMessage(error));
    // Records 0 to count - 1, each one setup wrote: anything else is not its journal.
    std::vector<JournalEntry> entries;
    for (unsigned long i = 0; i < count; ++i) {
        const SavedValue record = RegSaveValue(root_, key_, ValueName(i));
        JournalEntry entry;
        if (!record.present || record.type != REG_BINARY || !DecodeEntry(record.bytes, entry))
            throw Error("has a record it cannot read (\"" + ValueName(i) + "\")");
        entries.push_back(entry);
    }
    return entries;
}

void Journal::Remove() {
    const unsigned long error = RegRemoveTree(root_, key_);
    if (error != ERROR_SUCCESS)
        throw Error("Cannot remove the install's journal at " + Place() + ": " + SystemMessage(error));
    next_ = 0;
}

}  // namespace wt
