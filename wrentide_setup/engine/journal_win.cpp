#include <windows.h>

#include <cstdio>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/engine/journal.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/system/registry.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

// Beside the settings, in WrenTide's own key: under HKEY_LOCAL_MACHINE only
// administrators and SYSTEM may change it, so no user can plant a record for
// the elevated setup to replay; the uninstaller's removal of the settings key
// fails while one is there, so a journal is never lost with it.
std::string JournalKey() { return JoinPath(kSettingsKey, "\\Journal"); }

// Records are named by their number, so that name order is journal order.
std::string RecordName(unsigned long index) {
    char name[16];
    std::snprintf(name, sizeof name, "%08lu", index);
    return name;
}

}  // namespace

std::string Journal::Place() const {
    return (root_ == kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER") + JournalKey();
}

bool Journal::Exists() const { return RegKeyExists(root_, JournalKey()); }

void Journal::Create() {
    const unsigned long error = RegMakeKey(root_, JournalKey());
    if (error != ERROR_SUCCESS)
        throw Error("Cannot write the install's journal at " + Place() + ": " + SystemMessage(error));
}

void Journal::Append(const JournalEntry& entry) {
    if (next_ == 0) {
        // A journal this object did not begin goes on after its last record.
        std::vector<std::pair<std::string, SavedValue>> values;
        unsigned long error = 0;
        if (RegListValues(root_, JournalKey(), values, error)) next_ = static_cast<unsigned long>(values.size());
    }
    SavedValue record;
    record.present = true;
    record.type = REG_BINARY;
    record.bytes = EncodeEntry(entry);
    try {
        RegPutFlushed(root_, JournalKey(), RecordName(next_), record);
    } catch (const Error& error) {
        throw Error("Cannot write the install's journal at " + Place() + ": " + error.what());
    }
    ++next_;
}

bool Journal::Read(std::vector<JournalEntry>& entries, std::string& why) const {
    entries.clear();
    std::vector<std::pair<std::string, SavedValue>> values;
    unsigned long error = 0;
    if (!RegListValues(root_, JournalKey(), values, error)) {
        why = "cannot be read: " + SystemMessage(error);
        return false;
    }
    for (size_t i = 0; i < values.size(); ++i) {
        JournalEntry entry;
        if (values[i].first != RecordName(static_cast<unsigned long>(i)) || values[i].second.type != REG_BINARY ||
            !DecodeEntry(values[i].second.bytes, entry)) {
            why = "has a record it cannot read (\"" + values[i].first + "\")";
            return false;
        }
        entries.push_back(entry);
    }
    return true;
}

void Journal::Remove() {
    const unsigned long error = RegRemoveTree(root_, JournalKey());
    if (error != ERROR_SUCCESS)
        throw Error("Cannot remove the install's journal at " + Place() + ": " + SystemMessage(error));
    next_ = 0;
}

}  // namespace wt
