// String access to the registry. The root is named by a word: "localmachine"
// or "user" (exact, case-sensitive); any other word means the current user.
#pragma once

#include <string>

namespace wt {

extern const char kLocalMachine[];  // "localmachine": the per-machine installation's root

// A key's name as the registry editor shows it, for messages and the log:
// "HKEY_LOCAL_MACHINE\Software\WrenTide"; the root's name alone for no path.
std::string RegKeyName(const std::string& root, const std::string& keyPath);

// Opens (creating it and its parents if needed) the key and writes a REG_SZ
// value. A key that cannot be made or a write refused raises
// Error("Failed to set data for '<name>'. <the system's cause>").
void RegPutString(const std::string& root, const std::string& keyPath, const std::string& name,
                  const std::string& text);

// The same for a REG_DWORD value.
void RegPutNumber(const std::string& root, const std::string& keyPath, const std::string& name, unsigned long number);

// Reads a string value, or empty text when the key or value is missing. A value
// of another type raises Error("Invalid data type for '<name>'") unless its data
// is empty. Expandable strings come back unexpanded.
std::string RegGetString(const std::string& root, const std::string& keyPath, const std::string& name);

// Deletes a key that has no subkeys, with its values; a missing key is no
// error. ERROR_SUCCESS or the system's error code.
unsigned long RegRemoveKey(const std::string& root, const std::string& keyPath);
// The same for a key with everything below it.
unsigned long RegRemoveTree(const std::string& root, const std::string& keyPath);

// A value exactly as it is stored, to be put back later: its type and bytes,
// or that there was none.
struct SavedValue {
    bool present = false;
    unsigned long type = 0;
    std::string bytes;
};
SavedValue RegSaveValue(const std::string& root, const std::string& keyPath, const std::string& name);
// Puts a saved value back as it was; one that was not there is deleted.
// ERROR_SUCCESS or the system's error code.
unsigned long RegRestoreValue(const std::string& root, const std::string& keyPath, const std::string& name,
                              const SavedValue& saved);
// Makes the key if needed and flushes it to the disk; ERROR_SUCCESS or the
// system's error code.
unsigned long RegMakeKey(const std::string& root, const std::string& keyPath);
// Writes a value exactly as given, making the key if needed, and flushes the
// key's hive to the disk. Raises Error with the system's cause.
void RegPutFlushed(const std::string& root, const std::string& keyPath, const std::string& name,
                   const SavedValue& value);
// How many values the key holds (a missing key none); ERROR_SUCCESS or the
// system's error code.
unsigned long RegValueCount(const std::string& root, const std::string& keyPath, unsigned long& count);
bool RegKeyExists(const std::string& root, const std::string& keyPath);

}  // namespace wt
