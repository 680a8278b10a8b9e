#include "wrentide_setup/registry.h"

#include <vector>

#include "wrentide_setup/error.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

HKEY RootKey(const std::string& root) {
    HKEY key = HKEY_CURRENT_USER;
    if (root == "localmachine") key = HKEY_LOCAL_MACHINE;
    if (root == "user") key = HKEY_CURRENT_USER;
    return key;
}

// Nothing is open beforehand, so every path is taken from the root; the API
// itself does not accept a leading backslash.
std::vector<wchar_t> RelativePath(const std::string& keyPath) {
    return Wide(!keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath);
}

// The key, made with its parents if needed; raises when it cannot be.
void CreateKey(const std::string& root, const std::string& keyPath, const std::string& name, RegKey& key) {
    const LONG rc = RegCreateKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
    if (rc != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name) + ". The key \"" + keyPath + "\" cannot be made: " +
                    SystemMessage(static_cast<DWORD>(rc)));
}

void SetValue(HKEY key, const std::string& name, DWORD type, const void* data, size_t size) {
    const LONG rc =
        RegSetValueExW(key, Wide(name).data(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    if (rc != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name) + ". " + SystemMessage(static_cast<DWORD>(rc)));
}

}  // namespace

const char kLocalMachine[] = "localmachine";

std::string RegKeyName(const std::string& root, const std::string& keyPath) {
    const std::string name = RootKey(root) == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    if (keyPath.empty()) return name;
    return name + (keyPath[0] == '\\' ? keyPath : "\\" + keyPath);
}

void RegPutString(const std::string& root, const std::string& keyPath, const std::string& name,
                  const std::string& text) {
    RegKey key;
    CreateKey(root, keyPath, name, key);
    const std::vector<wchar_t> data = Wide(text);
    SetValue(key.Get(), name, REG_SZ, data.data(), data.size() * sizeof(wchar_t));
}

std::string RegGetString(const std::string& root, const std::string& keyPath, const std::string& name) {
    std::string result;
    RegKey key;
    if (RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return result;

    const std::vector<wchar_t> valueName = Wide(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), valueName.data(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return result;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        if (size == 0) return result;
        throw Error(Format("Invalid data type for '%s'", name));
    }

    // The value may grow between the two queries; ask again until it fits.
    std::vector<wchar_t> data;
    LONG rc;
    do {
        data.assign(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = size;
        rc = RegQueryValueExW(key.Get(), valueName.data(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        size = got;
    } while (rc == ERROR_MORE_DATA);
    if (rc != ERROR_SUCCESS) return result;
    // Stored strings need not end in NUL, nor even hold whole characters; the
    // extra characters make sure one does.
    return Utf8(data.data());
}

void RegPutNumber(const std::string& root, const std::string& keyPath, const std::string& name, unsigned long number) {
    RegKey key;
    CreateKey(root, keyPath, name, key);
    const DWORD data = number;
    SetValue(key.Get(), name, REG_DWORD, &data, sizeof data);
}

unsigned long RegMakeKey(const std::string& root, const std::string& keyPath) {
    RegKey key;
    LONG rc = RegCreateKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
    if (rc == ERROR_SUCCESS) rc = RegFlushKey(key.Get());
    return static_cast<unsigned long>(rc);
}

void RegPutFlushed(const std::string& root, const std::string& keyPath, const std::string& name,
                   const SavedValue& value) {
    RegKey key;
    CreateKey(root, keyPath, name, key);
    SetValue(key.Get(), name, value.type, value.bytes.data(), value.bytes.size());
    const LONG rc = RegFlushKey(key.Get());
    if (rc != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name) + ". " + SystemMessage(static_cast<DWORD>(rc)));
}

unsigned long RegRemoveKey(const std::string& root, const std::string& keyPath) {
    const LONG rc = RegDeleteKeyW(RootKey(root), RelativePath(keyPath).data());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<unsigned long>(rc);
}

unsigned long RegRemoveTree(const std::string& root, const std::string& keyPath) {
    RegKey key;
    LONG rc = RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_ALL_ACCESS, key.Receive());
    if (rc == ERROR_SUCCESS) rc = RegDeleteTreeW(key.Get(), nullptr);
    if (rc == ERROR_SUCCESS) rc = RegDeleteKeyW(RootKey(root), RelativePath(keyPath).data());
    if (rc == ERROR_SUCCESS) RegFlushKey(RootKey(root));
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<unsigned long>(rc);
}

unsigned long RegValueCount(const std::string& root, const std::string& keyPath, unsigned long& count) {
    count = 0;
    RegKey key;
    LONG rc = RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_QUERY_VALUE, key.Receive());
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    DWORD values = 0;
    if (rc == ERROR_SUCCESS)
        rc = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr);
    count = values;
    return static_cast<unsigned long>(rc);
}

SavedValue RegSaveValue(const std::string& root, const std::string& keyPath, const std::string& name) {
    SavedValue saved;
    RegKey key;
    if (RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return saved;
    const std::vector<wchar_t> valueName = Wide(name);
    DWORD type = REG_NONE, size = 0;
    LONG rc = RegQueryValueExW(key.Get(), valueName.data(), nullptr, &type, nullptr, &size);
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        saved.bytes.assign(size, '\0');
        DWORD got = size;
        rc = RegQueryValueExW(key.Get(), valueName.data(), nullptr, &type,
                              reinterpret_cast<BYTE*>(saved.bytes.data()), &got);
        if (rc == ERROR_SUCCESS) {
            saved.bytes.resize(got);
            saved.present = true;
            saved.type = type;
            break;
        }
        size = got;
    }
    return saved;
}

unsigned long RegRestoreValue(const std::string& root, const std::string& keyPath, const std::string& name,
                              const SavedValue& saved) {
    RegKey key;
    LONG rc = RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_SET_VALUE, key.Receive());
    // A value in a key that is gone is gone too.
    if (rc == ERROR_FILE_NOT_FOUND) return saved.present ? static_cast<unsigned long>(rc) : ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return static_cast<unsigned long>(rc);
    if (saved.present)
        rc = RegSetValueExW(key.Get(), Wide(name).data(), 0, saved.type,
                            reinterpret_cast<const BYTE*>(saved.bytes.data()), static_cast<DWORD>(saved.bytes.size()));
    else if ((rc = RegDeleteValueW(key.Get(), Wide(name).data())) == ERROR_FILE_NOT_FOUND)
        rc = ERROR_SUCCESS;
    return static_cast<unsigned long>(rc);
}

bool RegKeyExists(const std::string& root, const std::string& keyPath) {
    RegKey key;
    return RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_QUERY_VALUE, key.Receive()) ==
           ERROR_SUCCESS;
}

}  // namespace wt
