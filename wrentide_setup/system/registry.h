// String access to the registry. The root is named by a word: "localmachine"
// or "user" (exact, case-sensitive); any other word means the current user.
#pragma once

#include <string>

namespace wt {

// Opens (creating it and its parents if needed) the key and writes a REG_SZ
// value. A key that cannot be opened writes nothing, silently; a write refused
// after the key opened raises Error("Failed to set data for '<name>'").
void RegPutString(const std::string& root, const std::string& keyPath, const std::string& name,
                  const std::string& text);

// The same for a REG_DWORD value.
void RegPutNumber(const std::string& root, const std::string& keyPath, const std::string& name, unsigned long number);

// Reads a string value, or empty text when the key or value is missing. A value
// of another type raises Error("Invalid data type for '<name>'") unless its data
// is empty. Expandable strings come back unexpanded.
std::string RegGetString(const std::string& root, const std::string& keyPath, const std::string& name);

// Deletes a key that has no subkeys, with its values; a missing key is no error.
void RegRemoveKey(const std::string& root, const std::string& keyPath);

// A value exactly as it is stored, to be put back later: its type and bytes,
// or that there was none.
struct SavedValue {
    bool present = false;
    unsigned long type = 0;
    std::string bytes;
};
SavedValue RegSaveValue(const std::string& root, const std::string& keyPath, const std::string& name);
// Puts a saved value back as it was; one that was not there is deleted.
void RegRestoreValue(const std::string& root, const std::string& keyPath, const std::string& name,
                     const SavedValue& saved);
bool RegKeyExists(const std::string& root, const std::string& keyPath);

}  // namespace wt
