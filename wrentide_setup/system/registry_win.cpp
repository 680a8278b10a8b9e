#include "wrentide_setup/system/registry.h"

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

}  // namespace

void RegPutString(const std::string& root, const std::string& keyPath, const std::string& name,
                  const std::string& text) {
    RegKey key;
    if (RegCreateKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    const std::vector<wchar_t> data = Wide(text);
    if (RegSetValueExW(key.Get(), Wide(name).data(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name));
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
    if (RegCreateKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD data = number;
    if (RegSetValueExW(key.Get(), Wide(name).data(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) !=
        ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name));
}

void RegRemoveKey(const std::string& root, const std::string& keyPath) {
    RegDeleteKeyW(RootKey(root), RelativePath(keyPath).data());
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

void RegRestoreValue(const std::string& root, const std::string& keyPath, const std::string& name,
                     const SavedValue& saved) {
    RegKey key;
    if (RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_SET_VALUE, key.Receive()) != ERROR_SUCCESS)
        return;
    if (saved.present)
        RegSetValueExW(key.Get(), Wide(name).data(), 0, saved.type, reinterpret_cast<const BYTE*>(saved.bytes.data()),
                       static_cast<DWORD>(saved.bytes.size()));
    else
        RegDeleteValueW(key.Get(), Wide(name).data());
}

bool RegKeyExists(const std::string& root, const std::string& keyPath) {
    RegKey key;
    return RegOpenKeyExW(RootKey(root), RelativePath(keyPath).data(), 0, KEY_QUERY_VALUE, key.Receive()) ==
           ERROR_SUCCESS;
}

}  // namespace wt
