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
const char* RelativePath(const std::string& keyPath) {
    const char* path = keyPath.c_str();
    return *path == '\\' ? path + 1 : path;
}

}  // namespace

void RegPutString(const std::string& root, const std::string& keyPath, const std::string& name,
                  const std::string& text) {
    RegKey key;
    if (RegCreateKeyExA(RootKey(root), RelativePath(keyPath), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    if (RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name));
}

std::string RegGetString(const std::string& root, const std::string& keyPath, const std::string& name) {
    std::string result;
    RegKey key;
    if (RegOpenKeyExA(RootKey(root), RelativePath(keyPath), 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return result;

    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return result;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        if (size == 0) return result;
        throw Error(Format("Invalid data type for '%s'", name));
    }

    // The value may grow between the two queries; ask again until it fits.
    std::vector<char> data;
    LONG rc;
    do {
        data.assign(size + 1, '\0');
        DWORD got = size;
        rc = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        size = got;
    } while (rc == ERROR_MORE_DATA);
    if (rc != ERROR_SUCCESS) return result;
    // Stored strings need not end in NUL; the extra byte makes sure one does.
    result.assign(data.data());
    return result;
}

void RegPutNumber(const std::string& root, const std::string& keyPath, const std::string& name, unsigned long number) {
    RegKey key;
    if (RegCreateKeyExW(RootKey(root), Wide(RelativePath(keyPath)).data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD data = number;
    if (RegSetValueExW(key.Get(), Wide(name).data(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) !=
        ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name));
}

void RegRemoveKey(const std::string& root, const std::string& keyPath) {
    RegDeleteKeyA(RootKey(root), RelativePath(keyPath));
}

}  // namespace wt
