#include "wrentide_setup/engine/install_transaction.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/system/registration.h"
#include "wrentide_setup/system/registry.h"

namespace wt {

const char kJournalFile[] = "\\setup.journal";

namespace {

// The journal: a header, then one change per line, fields split by tabs
// (which no path or value name holds); a value's bytes in hexadecimal.
const char kJournalHeader[] = "WrenTide setup journal 1";
const char kAsideSuffix[] = ".wt-old";

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) text += {digits[c >> 4], digits[c & 15]};
    return text;
}

bool FromHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2) return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (char c : {text[i], text[i + 1]}) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        bytes += static_cast<char>(value);
    }
    return true;
}

// A name that no longer goes away by itself (a running program's file): out
// of the way under another name, and gone at the next start.
void RemoveOrSchedule(const std::string& path) {
    const DWORD error = RemoveName(path);
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    const std::string gone = path + ".wt-gone";
    if (MoveFileExW(Wide(path).data(), Wide(gone).data(), MOVEFILE_REPLACE_EXISTING))
        MoveFileExW(Wide(gone).data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Undoes the changes to files and values, last first. The folders go once
// the journal, which lies in the data folder, has gone (RemoveMadeFolders).
void UndoEntries(const std::vector<std::string>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::vector<std::string> f = Fields(*it);
        if (f[0] == "wrote") {
            RemoveOrSchedule(f[1]);
        } else if (f[0] == "aside") {
            const std::string aside = f[1] + kAsideSuffix;
            if (FileExists(aside)) {
                RemoveOrSchedule(f[1]);
                MoveFileExW(Wide(aside).data(), Wide(f[1]).data(), MOVEFILE_REPLACE_EXISTING);
            }
        } else if (f[0] == "key") {
            RegRemoveKey(f[1], f[2]);
        } else if (f[0] == "value") {
            SavedValue saved;
            saved.present = f[4] == "1";
            saved.type = std::strtoul(f[5].c_str(), nullptr, 10);
            FromHex(f[6], saved.bytes);
            RegRestoreValue(f[1], f[2], f[3], saved);
        }
    }
}

// Folders this run made, once what it put in them is gone; only an empty one goes.
void RemoveMadeFolders(const std::vector<std::string>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->compare(0, 7, "folder\t") == 0) RemoveDirectoryW(Wide(it->substr(7)).data());
}

bool SameText(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(Wide(a).data(), -1, Wide(b).data(), -1, TRUE) == CSTR_EQUAL;
}

// True for folder itself or a name below it, with no "." or ".." on the way.
bool Within(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.find('/') != std::string::npos) return false;
    for (const char* step : {"\\..\\", "\\.\\"})
        if ((path + "\\").find(step) != std::string::npos) return false;
    if (SameText(path, folder)) return true;
    return path.size() > folder.size() + 1 && path[folder.size()] == '\\' &&
           SameText(path.substr(0, folder.size()), folder);
}

// Why an entry of a journal found at start is not one setup would write for
// these places; "" when it is.
std::string Refusal(const std::vector<std::string>& f, const InstallPaths& paths) {
    auto inPlaces = [&paths](const std::string& path) {
        return Within(path, paths.ProgPth) || Within(path, paths.DBPth) || Within(path, paths.VendorPth) ||
               Within(path, paths.MenuPth) || SameText(path, JoinPath(paths.DeskPth, kProgramLink));
    };
    auto isOurKey = [](const std::string& root, const std::string& key) {
        return root == "localmachine" && (key == kSettingsKey || key == kUninstallKey);
    };
    std::string bytes;
    if ((f[0] == "folder" || f[0] == "wrote" || f[0] == "aside") && f.size() == 2)
        return inPlaces(f[1]) ? "" : "\"" + f[1] + "\" lies outside WrenTide's folders";
    if (f[0] == "key" && f.size() == 3) return isOurKey(f[1], f[2]) ? "" : "a key that is not WrenTide's";
    if (f[0] == "value" && f.size() == 7)
        return isOurKey(f[1], f[2]) && FromHex(f[6], bytes) ? "" : "a value that is not WrenTide's";
    return "an entry it cannot read";
}

}  // namespace

InstallTransaction::~InstallTransaction() {
    if (!done_) Undo();
}

void InstallTransaction::Note(const std::string& entry) {
    entries_.push_back(entry);
    if (!journal_.Valid()) {
        // Opened once the data folder is there, with every change so far.
        const std::string path = JoinPath(paths_.DBPth, kJournalFile);
        if (!IsFullPath(paths_.DBPth) || !DirectoryExists(paths_.DBPth)) return;
        RemoveName(path);
        journal_ = UniqueHandle(CreateFileW(Wide(path).data(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (!journal_.Valid()) return;
        std::string all = std::string(kJournalHeader) + "\r\n";
        for (const std::string& e : entries_) all += e + "\r\n";
        DWORD written = 0;
        WriteFile(journal_.Get(), all.data(), static_cast<DWORD>(all.size()), &written, nullptr);
    } else {
        const std::string line = entry + "\r\n";
        DWORD written = 0;
        WriteFile(journal_.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    // On the disk before the change is made: a kill may come at any moment.
    FlushFileBuffers(journal_.Get());
}

void InstallTransaction::MadeFolder(const std::string& folder) { Note("folder\t" + folder); }

void InstallTransaction::Replacing(const std::string& file) {
    if (FileExists(file)) {
        if (FileInUse(file)) return;
        // A link planted at the name is no part of the installation: it goes
        // as a name, as before. A rename under Wine would move its target.
        if (!IsPlainFile(file)) {
            RemoveName(file);
            Note("wrote\t" + file);
            return;
        }
        const std::string aside = file + kAsideSuffix;
        RemoveName(aside);
        Note("aside\t" + file);
        if (!MoveFileExW(Wide(file).data(), Wide(aside).data(), 0))
            throw Error("Cannot set \"" + file + "\" aside. " + SystemMessage(GetLastError()));
    }
    Note("wrote\t" + file);
}

void InstallTransaction::Changing(const std::string& file) {
    // A link is never copied: its target may be a file the user cannot read.
    if (!FileExists(file) || !IsPlainFile(file)) return;
    const std::string aside = file + kAsideSuffix;
    RemoveName(aside);
    Note("aside\t" + file);
    if (!CopyFileW(Wide(file).data(), Wide(aside).data(), TRUE))
        throw Error("Cannot keep a copy of \"" + file + "\". " + SystemMessage(GetLastError()));
}

void InstallTransaction::SettingValue(const std::string& root, const std::string& keyPath, const std::string& name) {
    const std::string id = root + "\t" + keyPath + "\t" + name;
    if (std::find(savedValues_.begin(), savedValues_.end(), id) != savedValues_.end()) return;
    if (!RegKeyExists(root, keyPath) &&
        std::find(entries_.begin(), entries_.end(), "key\t" + root + "\t" + keyPath) == entries_.end())
        Note("key\t" + root + "\t" + keyPath);
    const SavedValue saved = RegSaveValue(root, keyPath, name);
    Note("value\t" + id + "\t" + (saved.present ? "1" : "0") + "\t" + std::to_string(saved.type) + "\t" +
         Hex(saved.bytes));
    savedValues_.push_back(id);
}

void InstallTransaction::Close() {
    done_ = true;
    journal_.Close();
    RemoveName(JoinPath(paths_.DBPth, kJournalFile));
}

void InstallTransaction::Commit() {
    for (const std::string& entry : entries_)
        if (entry.compare(0, 6, "aside\t") == 0) RemoveName(entry.substr(6) + kAsideSuffix);
    Close();
}

void InstallTransaction::Undo() {
    // The journal goes last: a kill during the undo leaves it to finish.
    UndoEntries(entries_);
    Close();
    RemoveMadeFolders(entries_);  // the data folder held the journal
}

std::string FinishInterruptedInstall() {
    try {
        InstallPaths found;
        DiscoverInstallPaths(found);
        return FinishInterruptedInstall(found);
    } catch (const std::exception&) {
        return "";  // a shell folder that cannot be found: nothing to undo there
    }
}

std::string FinishInterruptedInstall(const InstallPaths& paths) {
    const std::string path = JoinPath(paths.DBPth, kJournalFile);
    if (!IsFullPath(paths.DBPth) || !FileExists(path)) return "";
    const std::string report = "The journal of an interrupted install, \"" + path + "\", ";
    if (!IsPlainFile(path)) return report + "is a link to another place and was left alone";
    UniqueHandle file(CreateFileW(Wide(path).data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > 1 << 20)
        return report + "cannot be read and was left alone";
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr) || got != text.size())
        return report + "cannot be read and was left alone";
    file.Close();
    std::vector<std::string> entries;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        entries.push_back(text.substr(start, end - start));
    // A line cut short by the kill is one whose change was never begun.
    if (entries.empty() || entries[0] != kJournalHeader)
        return report + "is damaged or of another version, and was left alone";
    entries.erase(entries.begin());
    for (const std::string& entry : entries) {
        const std::string why = Refusal(Fields(entry), paths);
        if (!why.empty()) return report + "names " + why + ", and was left alone";
    }
    UndoEntries(entries);
    RemoveName(JoinPath(paths.DBPth, kTempPak));  // a step's own, cut short
    RemoveName(path);
    RemoveMadeFolders(entries);
    return "An interrupted install was undone: the previous installation is back";
}

}  // namespace wt
