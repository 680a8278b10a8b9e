#include "wrentide_setup/engine/install_transaction.h"

#include <windows.h>

#include <algorithm>

#include "wrentide_setup/checkpoints.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/path.h"
#include "wrentide_setup/registry.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const char kAsideSuffix[] = ".wt-old";
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsFileChange(Change change) {
    return change == Change::Wrote || change == Change::SetAside || change == Change::KeptCopy;
}

std::string Aside(const JournalEntry& entry) { return entry.path + kAsideSuffix; }

// A name without the backslash a typed folder may end in ("C:\WT1\").
std::string Trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '\\' && !IsRootFolder(path)) path.pop_back();
    return path;
}

// No such file or folder, or no folder on the way to it.
bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::string Failure(const std::string& what, const std::string& path, DWORD error) {
    return what + " \"" + path + "\": " + SystemMessage(error);
}

// A folder opened so that it cannot be renamed, removed or swapped for a link
// while it is held, nor can any folder above it (Windows refuses to rename a
// folder with something open below it). One that another program holds for
// deleting is opened all the same, and only checked.
UniqueHandle OpenFolder(const std::string& folder, DWORD& error) {
    const std::vector<wchar_t> name = Wide(Trimmed(folder));
    UniqueHandle handle(CreateFileW(name.data(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.Valid() && GetLastError() == ERROR_SHARING_VIOLATION)
        handle = UniqueHandle(CreateFileW(name.data(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    error = handle.Valid() ? ERROR_SUCCESS : GetLastError();
    return handle;
}

// The path the system reaches through handle, as the journal names folders:
// without a root's closing backslash.
std::string FolderFinalPath(HANDLE handle) {
    std::string path = FinalPath(handle);
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

// The folder a journal entry names, held while a name in it is dealt with,
// when it is still the folder the install saw: every link on its path
// resolved, the same place. Raises Error saying why not; missing when gone.
class CheckedFolder {
public:
    CheckedFolder(const std::string& folder, const std::string& expected) {
        DWORD error = ERROR_SUCCESS;
        handle_ = OpenFolder(folder, error);
        if (!handle_.Valid()) {
            missing_ = IsMissing(error);
            if (!missing_) throw Error(Failure("Cannot open the folder", folder, error));
            return;
        }
        const std::string final = FolderFinalPath(handle_.Get());
        if (!SameText(final, expected))
            throw Error("\"" + folder + "\" leads to \"" + final + "\", not to \"" + expected +
                        "\" as when it was changed");
    }
    bool Missing() const { return missing_; }

private:
    UniqueHandle handle_;
    bool missing_ = false;
};

// The final path of the folder that path lies in, for the journal; "" when
// there is no such folder, and so nothing can be written there.
std::string FolderOf(const std::string& path) {
    const std::string folder = ParentFolder(path);
    DWORD error = ERROR_SUCCESS;
    UniqueHandle handle = OpenFolder(folder, error);
    if (IsMissing(error)) return "";
    BY_HANDLE_FILE_INFORMATION info;
    if (handle.Valid() && GetFileInformationByHandle(handle.Get(), &info) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return "";
    const std::string final = handle.Valid() ? FolderFinalPath(handle.Get()) : "";
    if (final.empty()) throw Error(Failure("Cannot open the folder", folder, handle.Valid() ? GetLastError() : error));
    return final;
}

// A name that no longer goes away by itself (a running program's file): out
// of the way under another name, and gone at the next start. A real folder
// at the name is no file of this run's and stays.
DWORD RemoveOrSchedule(const std::string& path) {
    if (DirectoryExists(path)) return ERROR_SUCCESS;
    const DWORD error = RemoveName(path);
    if (error == ERROR_SUCCESS || IsMissing(error)) return ERROR_SUCCESS;
    const std::string gone = path + ".wt-gone";
    if (!MoveFileExW(Wide(path).data(), Wide(gone).data(), MOVEFILE_REPLACE_EXISTING)) return GetLastError();
    MoveFileExW(Wide(gone).data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return ERROR_SUCCESS;
}

// A set-aside copy goes, read-only or not; one that is not setup's own file
// (a link put at its name) goes as a name.
DWORD RemoveCopy(const std::string& path) {
    UniqueHandle copy(CreateFileW(Wide(path).data(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!copy.Valid()) {
        const DWORD error = GetLastError();
        return IsMissing(error) ? ERROR_SUCCESS : error;
    }
    if (!HasOneName(copy.Get()) || !IsOwnName(copy.Get(), path)) {
        copy.Close();
        return RemoveName(path);
    }
    FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(copy.Get(), FileBasicInfo, &basic, sizeof basic);
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(copy.Get(), FileDispositionInfo, &disposition, sizeof disposition)
               ? ERROR_SUCCESS
               : GetLastError();
}

// A new file or link on the disk itself, not in the system's cache: after
// the commit point the old copy it replaces is gone.
void FlushToDisk(const std::string& path) {
    UniqueHandle file(CreateFileW(Wide(path).data(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (IsMissing(error)) return;  // the temporary file, gone
        throw Error(Failure("Cannot flush", path, error));
    }
    if (!FlushFileBuffers(file.Get())) throw Error(Failure("Cannot flush", path, GetLastError()));
}

// A copy of file at copy, made by setup itself: a new plain file, never
// read-only, on the disk before the journal names it.
void KeepCopy(const std::string& file, const std::string& copy) {
    UniqueHandle source(CreateFileW(Wide(file).data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.Valid()) throw Error(Failure("Cannot keep a copy of", file, GetLastError()));
    RemoveName(copy);
    UniqueHandle target(CreateFileW(Wide(copy).data(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!target.Valid()) throw Error(Failure("Cannot keep a copy of", file, GetLastError()));
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            throw Error(Failure("Cannot keep a copy of", file, GetLastError()));
        if (got == 0) break;
        if (!WriteFile(target.Get(), buffer.data(), got, &written, nullptr) || written != got)
            throw Error(Failure("Cannot keep a copy of", file, GetLastError()));
    }
    if (!FlushFileBuffers(target.Get())) throw Error(Failure("Cannot keep a copy of", file, GetLastError()));
}

// Takes back one change to a file, inside its checked folder.
void TakeBackFile(const JournalEntry& entry) {
    CheckedFolder folder(ParentFolder(entry.path), entry.folder);
    if (folder.Missing()) return;  // nothing of this run's is left in it
    if (entry.change == Change::Wrote) {
        const DWORD error = RemoveOrSchedule(entry.path);
        if (error != ERROR_SUCCESS) throw Error(Failure("Cannot remove", entry.path, error));
        return;
    }
    const std::string aside = Aside(entry);
    if (!FileExists(aside)) return;  // never set aside, or already back
    if (!IsPlainFile(aside)) throw Error("\"" + aside + "\" is no longer the copy setup kept");
    if (entry.change == Change::SetAside) {
        const DWORD error = RemoveOrSchedule(entry.path);
        if (error != ERROR_SUCCESS) throw Error(Failure("Cannot remove", entry.path, error));
    }
    if (!MoveFileExW(Wide(aside).data(), Wide(entry.path).data(), MOVEFILE_REPLACE_EXISTING))
        throw Error(Failure("Cannot put back", entry.path, GetLastError()));
}

// A folder this run made goes when it is empty and still the one it made.
void RemoveMadeFolder(const JournalEntry& entry) {
    UniqueHandle folder(CreateFileW(Wide(Trimmed(entry.path)).data(), DELETE | FILE_READ_ATTRIBUTES, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    if (!folder.Valid()) {
        const DWORD error = GetLastError();
        if (IsMissing(error)) return;
        throw Error(Failure("Cannot open", entry.path, error));
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder.Get(), &info)) throw Error(Failure("Cannot open", entry.path, GetLastError()));
    // A file at the name kept the folder from being made: it is not this run's.
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    const std::string final = FolderFinalPath(folder.Get());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !SameText(final, entry.folder))
        throw Error("\"" + entry.path + "\" is no longer the folder setup made");
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (SetFileInformationByHandle(folder.Get(), FileDispositionInfo, &disposition, sizeof disposition)) return;
    const DWORD error = GetLastError();
    // Something else is in it now: the user's, and it stays.
    if (error != ERROR_DIR_NOT_EMPTY) throw Error(Failure("Cannot remove", entry.path, error));
}

// Each step of a commit or an undo goes on past the one before it: what one
// raises is logged, and the whole is then not done.
class Steps {
public:
    explicit Steps(const char* what) : what_(what) {}
    template <typename Body>
    void Try(Body body) {
        try {
            body();
        } catch (const Error& error) {
            ok_ = false;
            LogLine(what_ + error.what());
        }
    }
    bool Ok() const { return ok_; }

private:
    std::string what_;
    bool ok_ = true;
};

// The set-aside copies and then the journal go: the new installation stands.
// A copy that cannot go keeps the journal for the next start.
bool FinishCommit(const std::vector<JournalEntry>& entries, Journal& journal) {
    Steps steps("Cannot finish the install: ");
    int gone = 0;
    for (const JournalEntry& entry : entries) {
        if (entry.change != Change::SetAside && entry.change != Change::KeptCopy) continue;
        bool missing = false;
        steps.Try([&] {
            CheckedFolder folder(ParentFolder(entry.path), entry.folder);
            if ((missing = folder.Missing())) return;
            if (const DWORD error = RemoveCopy(Aside(entry))) throw Error(Failure("Cannot remove", Aside(entry), error));
        });
        if (!missing) Checkpoint("set-aside copy gone", ++gone);
    }
    if (!steps.Ok()) return false;
    Checkpoint("journal");
    steps.Try([&] { journal.Remove(); });
    return steps.Ok();
}

// Everything put back as it was, last change first; folders and keys this
// run made go last, once empty (the settings key holds the journal). While a
// change is left, the journal stays for the next start.
bool TakeBack(const std::vector<JournalEntry>& entries, Journal& journal) {
    Steps steps("Cannot take back a change: ");
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (IsFileChange(it->change)) steps.Try([&] { TakeBackFile(*it); });
        if (it->change == Change::SetValue) steps.Try([&] {
            SavedValue saved;
            saved.present = it->present;
            saved.type = it->type;
            saved.bytes = it->bytes;
            if (const DWORD error = RegRestoreValue(it->root, it->path, it->name, saved))
                throw Error(Failure("Cannot put back the value " + it->name + " of", it->path, error));
        });
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->change == Change::MadeFolder) steps.Try([&] { RemoveMadeFolder(*it); });
    if (!steps.Ok()) return false;
    steps.Try([&] { journal.Remove(); });
    if (!steps.Ok()) return false;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->change != Change::MadeKey) continue;
        steps.Try([&] {
            if (const DWORD error = RegRemoveKey(it->root, it->path))
                throw Error(Failure("Cannot remove the key", it->path, error));
        });
    }
    return steps.Ok();
}

bool BadPath(const std::string& path) {
    const std::string steps = path + "\\";
    return !IsFullPath(path) || path.find('/') != std::string::npos || steps.find("\\..\\") != std::string::npos ||
           steps.find("\\.\\") != std::string::npos;
}

// Why an entry of a journal found at start may not be acted on; "" when it may.
std::string Refusal(const JournalEntry& entry, const std::string& root, const ActingBounds& bounds) {
    if (entry.change == Change::Committed) return "";
    if (entry.change == Change::MadeKey || entry.change == Change::SetValue)
        return entry.root == root && (entry.path == kSettingsKey || entry.path == kUninstallKey || entry.path == kRecordKey)
                   ? ""
                   : "the key \"" + entry.path + "\" is not WrenTide's";
    if (BadPath(entry.path)) return "\"" + entry.path + "\" is not a full path";
    const std::string outside = OutsideBounds(bounds, entry.folder, entry.path, entry.change == Change::MadeFolder);
    if (!outside.empty()) return "\"" + entry.path + "\" " + outside;
    try {
        if (entry.change == Change::MadeFolder) {
            CheckedFolder self(entry.path, entry.folder);
            return "";
        }
        CheckedFolder folder(ParentFolder(entry.path), entry.folder);
    } catch (const Error& error) {
        return error.what();
    }
    if (entry.change != Change::Wrote && FileExists(Aside(entry)) && !IsPlainFile(Aside(entry)))
        return "\"" + Aside(entry) + "\" is no longer the copy setup kept";
    return "";
}

}  // namespace

InstallTransaction::~InstallTransaction() {
    try {
        if (begun_ && !done_) Undo();
    } catch (...) {
        // The journal stays; the next start takes it back.
    }
}

void InstallTransaction::Begin() {
    if (journal_.Exists())
        throw Error("The journal of an earlier install at " + journal_.Place() +
                    " could not be finished: nothing is changed while it is there");
    // The journal lies in the settings key, so making it makes that key: the
    // record of it comes next, and a journal that never got it (a kill in
    // between) is read as the key's record at the next start.
    const bool settingsKey = RegKeyExists(journal_.Root(), kSettingsKey);
    journal_.Create();
    if (!settingsKey) {
        JournalEntry entry;
        entry.change = Change::MadeKey;
        entry.root = journal_.Root();
        entry.path = kSettingsKey;
        try {
            Note(entry);
        } catch (const Error&) {
            // Nothing of this run may stay: the journal, and the key it made.
            try {
                journal_.Remove();
            } catch (const Error&) {
            }
            RegRemoveKey(journal_.Root(), kSettingsKey);
            throw;
        }
    }
    begun_ = true;
}

void InstallTransaction::Note(JournalEntry entry) {
    journal_.Append(entry);
    entries_.push_back(std::move(entry));
}

void InstallTransaction::MakingFolder(const std::string& folder) {
    const std::string name = Trimmed(folder);
    const std::string final = FolderOf(name);
    // One level only: a folder whose parent is missing cannot be made.
    if (final.empty()) throw Error(SystemMessage(ERROR_PATH_NOT_FOUND));
    JournalEntry entry;
    entry.change = Change::MadeFolder;
    entry.path = name;
    entry.folder = final + name.substr(name.find_last_of('\\'));
    Note(entry);
    Made(entry);
}

void InstallTransaction::Linking(const std::string& link, const std::string& target) {
    // Checked here: Wine lets root open a read-only file for writing. One
    // held by another program makes Replacing raise.
    const DWORD attributes = GetFileAttributesW(Wide(link).data());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) && IsPlainFile(link))
        throw Error(SystemMessage(ERROR_ACCESS_DENIED));
    try {
        Replacing(link);
    } catch (const Error&) {
        made_.erase(std::remove_if(made_.begin(), made_.end(), [&](const JournalEntry& e) { return e.path == link; }),
                    made_.end());
        throw;
    }
    for (JournalEntry& entry : made_)
        if (entry.path == link) {
            entry.change = Change::MadeLink;
            entry.name = target;
        }
}

void InstallTransaction::Keeping(const std::string& folder) {
    JournalEntry entry;
    entry.change = Change::MadeFolder;
    entry.path = Trimmed(folder);
    if (DescribeAsFound(entry)) Made(entry);
}

// Each name once, where it first came.
void InstallTransaction::Made(const JournalEntry& entry) {
    for (const JournalEntry& made : made_)
        if (SameText(made.path, entry.path)) return;
    made_.push_back(entry);
}

// The record of what this installation made, in the order it was made:
// the keys first, so that the uninstaller, which goes backwards, removes them
// last; then the folders that an earlier install of it made and that still
// stand; then this run's folders, files and links. Written like any other
// change: a run that does not commit puts the earlier record back.
void InstallTransaction::WriteRecord() {
    const std::string& root = journal_.Root();
    std::vector<JournalEntry> record;
    for (const JournalEntry& entry : entries_) {
        if (entry.change != Change::MadeKey && entry.change != Change::SetValue) continue;
        if (entry.path == kRecordKey || std::any_of(record.begin(), record.end(), [&](const JournalEntry& key) {
                return key.root == entry.root && key.path == entry.path;
            }))
            continue;
        JournalEntry key;
        key.change = Change::MadeKey;
        key.root = entry.root;
        key.path = entry.path;
        record.push_back(key);
    }
    Journal earlier(root, kRecordKey);
    std::vector<JournalEntry> old;
    try {
        if (earlier.Exists()) old = earlier.Read();
    } catch (const Error&) {
        // An earlier record that cannot be read names no folder to keep.
    }
    for (const JournalEntry& entry : old)
            if (entry.change == Change::MadeFolder && DirectoryExists(entry.path) &&
                std::none_of(made_.begin(), made_.end(), [&](const JournalEntry& m) { return SameText(m.path, entry.path); }))
                record.push_back(entry);
    for (const JournalEntry& entry : made_)
        if (entry.change == Change::MadeFolder || FileExists(entry.path)) record.push_back(entry);  // temp.pak is gone

    unsigned long count = 0;
    RegValueCount(root, kRecordKey, count);
    for (unsigned long i = 0; i < std::max<unsigned long>(count, record.size()); ++i) {
        SettingValue(root, kRecordKey, Journal::ValueName(i));
        SavedValue value;
        value.present = i < record.size();
        value.type = REG_BINARY;
        if (value.present) value.bytes = EncodeEntry(record[i]);
        DWORD error = RegMakeKey(root, kRecordKey);
        if (error == ERROR_SUCCESS) error = RegRestoreValue(root, kRecordKey, Journal::ValueName(i), value);
        if (error != ERROR_SUCCESS)
            throw Error("Cannot write the installation's record at " + RegKeyName(root, kRecordKey) + ": " +
                        SystemMessage(error));
    }
}

void InstallTransaction::Replacing(const std::string& file) {
    for (const JournalEntry& entry : entries_)
        if (IsFileChange(entry.change) && entry.path == file) return;  // this run's own by now
    JournalEntry entry;
    entry.path = file;
    entry.folder = FolderOf(file);
    if (entry.folder.empty()) return;  // no folder: the write fails by itself
    entry.change = Change::Wrote;
    Made(entry);
    if (FileExists(file)) {
        // A link planted at the name is no part of the installation: it goes
        // as a name. A rename under Wine would move its target.
        if (!IsPlainFile(file)) {
            Note(entry);
            RemoveName(file);
            return;
        }
        if (const DWORD error = ExclusiveOpenError(file))
            throw Error("Cannot create file \"" + file + "\". " + SystemMessage(error));
        entry.change = Change::SetAside;
        RemoveName(Aside(entry));  // a copy that an earlier run left behind
        Note(entry);
        if (!MoveFileExW(Wide(file).data(), Wide(Aside(entry)).data(), 0))
            throw Error(Failure("Cannot set aside", file, GetLastError()));
        return;
    }
    Note(entry);
}

void InstallTransaction::Changing(const std::string& file) {
    // A link is never copied: its target may be a file the user cannot read.
    if (!FileExists(file) || !IsPlainFile(file)) return;
    JournalEntry entry;
    entry.change = Change::KeptCopy;
    entry.path = file;
    if ((entry.folder = FolderOf(file)).empty()) return;
    // The copy is whole before the journal names it: a kill while copying
    // leaves a stray copy, never one that would be put back half made.
    KeepCopy(file, Aside(entry));
    Note(entry);
}

void InstallTransaction::SettingValue(const std::string& root, const std::string& keyPath, const std::string& name) {
    bool keyMade = false;
    for (const JournalEntry& entry : entries_) {
        if (entry.root != root || entry.path != keyPath) continue;
        if (entry.change == Change::SetValue && entry.name == name) return;  // its first value is the one kept
        keyMade = keyMade || entry.change == Change::MadeKey;
    }
    if (!keyMade && !RegKeyExists(root, keyPath)) {
        JournalEntry made;
        made.change = Change::MadeKey;
        made.root = root;
        made.path = keyPath;
        Note(made);
    }
    const SavedValue saved = RegSaveValue(root, keyPath, name);
    JournalEntry entry;
    entry.change = Change::SetValue;
    entry.root = root;
    entry.path = keyPath;
    entry.name = name;
    entry.present = saved.present;
    entry.type = saved.type;
    entry.bytes = saved.bytes;
    Note(entry);
}

void InstallTransaction::Commit() {
    if (!begun_ || done_) return;
    WriteRecord();
    for (const JournalEntry& entry : entries_)
        if (IsFileChange(entry.change)) FlushToDisk(entry.path);
    JournalEntry mark;
    mark.change = Change::Committed;
    Note(mark);
    // From here on the new installation is the one: never undone.
    done_ = true;
    Checkpoint("commit mark");
    FinishCommit(entries_, journal_);
}

bool InstallTransaction::Undo() {
    if (!begun_ || done_) return true;
    done_ = true;
    return TakeBack(entries_, journal_);
}

std::string FinishInterruptedInstall(const std::string& root, const ActingBounds& bounds) {
    Journal journal(root);
    if (!journal.Exists()) return "";
    const std::string report = "The journal of an interrupted install at " + journal.Place() + " ";
    std::vector<JournalEntry> entries;
    try {
        entries = journal.Read();
    } catch (const Error& error) {
        return report + error.what() + ": everything was left alone";
    }
    std::string why;
    if (entries.empty()) {
        // Killed between making the journal and its first record, which
        // would have been that it made the settings key: one with nothing
        // else in it goes too.
        try {
            journal.Remove();
        } catch (const Error& error) {
            return report + "cannot be removed: " + error.what();
        }
        unsigned long values = 0;
        if (RegValueCount(root, kSettingsKey, values) == ERROR_SUCCESS && values == 0) RegRemoveKey(root, kSettingsKey);
        return "An interrupted install was undone: it had changed nothing";
    }
    for (const JournalEntry& entry : entries)
        if (!(why = Refusal(entry, root, bounds)).empty())
            return report + "was refused: " + why + "; everything was left alone";
    const bool committed = std::any_of(entries.begin(), entries.end(),
                                       [](const JournalEntry& entry) { return entry.change == Change::Committed; });
    if (committed)
        return FinishCommit(entries, journal) ? "An interrupted install was completed: the new installation stands"
                                              : report + "could not be completed in full; it stays for the next start";
    return TakeBack(entries, journal) ? "An interrupted install was undone: the previous installation is back"
                                      : report + "could not be taken back in full; it stays for the next start";
}

bool DescribeAsFound(JournalEntry& entry) {
    entry.path = Trimmed(entry.path);
    try {
        entry.folder = FolderOf(entry.path);
    } catch (const Error&) {
        entry.folder.clear();
    }
    if (entry.folder.empty()) return false;
    if (entry.change != Change::MadeFolder) return true;
    DWORD error = ERROR_SUCCESS;
    UniqueHandle folder = OpenFolder(entry.path, error);
    entry.folder = folder.Valid() ? FolderFinalPath(folder.Get()) : "";
    return !entry.folder.empty();
}

void RemoveMade(const JournalEntry& entry) {
    if (entry.change == Change::MadeFolder) return RemoveMadeFolder(entry);
    CheckedFolder folder(ParentFolder(entry.path), entry.folder);
    if (folder.Missing()) return;
    const DWORD error = RemoveName(entry.path);
    if (error != ERROR_SUCCESS && !IsMissing(error)) throw Error(Failure("Cannot remove", entry.path, error));
}

}  // namespace wt
