#include "test_support.h"

#include <gtest/gtest.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "wrentide_setup/win32.h"

namespace wt::test {

// Paths are UTF-8, as in the product: any folder name works.

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileW(Wide(path).data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot read " << path;
        return bytes;
    }
    char buffer[65536];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(Wide(path).data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << path;
}

bool PathExists(const std::string& path) { return GetFileAttributesW(Wide(path).data()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> NamesIn(const std::string& folder, const char* pattern) {
    std::vector<std::string> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(Wide(folder + "\\" + pattern).data(), &entry);
    if (search == INVALID_HANDLE_VALUE) return found;
    do
        if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0)
            found.push_back(Utf8(entry.cFileName));
    while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

std::string TempFolder() {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    std::string folder = Utf8(temp);
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

std::string FromHost(const std::string& hostPath) {
    std::string path = "Z:" + hostPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string BuiltPayloadFile(const std::string& name) { return FromHost(std::string(WT_PAYLOAD_FILES) + "/" + name); }
std::string SourceFile(const std::string& relative) { return FromHost(std::string(WT_SOURCE_DIR) + "/" + relative); }
std::string BuildFile(const std::string& relative) { return FromHost(std::string(WT_BUILD_DIR) + "/" + relative); }

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    path_ = TempFolder() + "\\wt-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::vector<RecordValue> ExpectedRecord(const std::string& program, const std::string& data,
                                        const std::string& work, const std::string& modeIs,
                                        unsigned long kilobytes) {
    return {
        {kSettings, "ProgName", "WrenTide", false},
        {kSettings, "Ver", "2.2", false},
        {kSettings, "BuildDate", "180511", false},
        {kSettings, "ProgPth", program, false},
        {kSettings, "DBPth", data, false},
        {kSettings, "WrkPth", work, false},
        {kSettings, "ModeIs", modeIs, false},
        {kUninstall, "UninstallString", "\"" + program + "\\uninstall.exe\"", false},
        {kUninstall, "QuietUninstallString", "\"" + program + "\\uninstall.exe\" /S", false},
        {kUninstall, "DisplayName", "WrenTide", false},
        {kUninstall, "FriendlyName", "WrenTide", false},
        {kUninstall, "DisplayIcon", program + "\\WrenTide.exe", false},
        {kUninstall, "DisplayVersion", "2.3", false},
        {kUninstall, "Publisher", "tessel-soft", false},
        {kUninstall, "InstallLocation", program, false},
        {kUninstall, "EstimatedSize", "dword " + std::to_string(kilobytes), true},
        {kUninstall, "NoModify", "dword 1", true},
        {kUninstall, "NoRepair", "dword 1", true},
    };
}

std::string ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK) << csidl;
    return Utf8(path);
}

bool KeyExists(const char* path, HKEY root) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

Stored ReadBack(const char* path, const char* name, HKEY root, REGSAM view) {
    Stored stored;
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).data(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return stored;
    wchar_t data[2048] = L"";
    DWORD size = sizeof data - sizeof *data, type = REG_NONE;
    const LONG rc = RegGetValueW(key, nullptr, Wide(name).data(), RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return stored;
    stored.type = type;
    DWORD number = 0;
    std::memcpy(&number, data, sizeof number);
    if (type == REG_SZ || type == REG_EXPAND_SZ) stored.text = Utf8(data);
    else if (type == REG_DWORD) stored.text = "dword " + std::to_string(number);
    else stored.text = "<type " + std::to_string(type) + ">";
    return stored;
}

void SetRaw(const char* path, const char* name, DWORD type, const void* data, DWORD size, HKEY root) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetText(const char* path, const char* name, const std::string& text, HKEY root) {
    SetRaw(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1), root);
}

const char kSettings[] = "Software\\WrenTide";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WrenTide";

void DeleteSettingsKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettings); }

void DeleteProductKeys(HKEY root) {
    RegDeleteTreeA(root, kSettings);
    RegDeleteTreeA(root, kUninstall);
}

bool LoadLink(const std::string& file, Link& link) {
    if (!PathExists(file)) return false;
    ComPtr<IShellLinkW> shell;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, shell.Receive())) ||
        FAILED(shell->QueryInterface(IID_IPersistFile, persist.Receive())) ||
        FAILED(persist->Load(Wide(file).data(), STGM_READ)))
        return false;
    wchar_t text[MAX_PATH * 2] = L"";
    shell->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    link.path = Utf8(text);
    ItemIdList items;
    if (SUCCEEDED(shell->GetIDList(&items.list)) && SHGetPathFromIDListW(items.list, text)) link.target = Utf8(text);
    text[0] = L'\0';
    shell->GetWorkingDirectory(text, MAX_PATH * 2);
    link.workingFolder = Utf8(text);
    wcscpy(text, L"canary");
    shell->GetArguments(text, MAX_PATH * 2);
    link.arguments = Utf8(text);

    const std::string bytes = ReadFileBytes(file);
    // Header size 0x4C first, then the show command at 0x3C.
    if (bytes.size() < 0x40 || bytes.compare(0, 4, std::string("\x4C\0\0\0", 4)) != 0) return false;
    for (int i = 3; i >= 0; --i) link.showCommand = link.showCommand << 8 | static_cast<unsigned char>(bytes[0x3C + i]);
    return true;
}

void RemoveTree(const std::string& path) {
    const std::vector<wchar_t> wide = Wide(path);
    DWORD attributes = GetFileAttributesW(wide.data());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(wide.data(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(wide.data());
        return;
    }
    for (const std::string& name : NamesIn(path, "*")) RemoveTree(path + "\\" + name);
    RemoveDirectoryW(wide.data());
}

FailureRecorder::FailureRecorder(int answer) {
    App().ResetTermination();
    App().SetMessageHandler([this, answer](const std::string& text) {
        texts_.push_back(text);
        return answer;
    });
}

FailureRecorder::~FailureRecorder() {
    App().SetMessageHandler(nullptr);
    App().ResetTermination();
    TakeQuitMessage();
}

bool TakeQuitMessage() {
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) found = true;
    return found;
}

}  // namespace wt::test
