// The WrenTide uninstaller. For everyone it runs from the program folder,
// where only administrators write; for one user from the data folder. It
// removes what setup's record of the installation names, last made first,
// through folders checked against the final paths the record keeps; then
// the registry record itself. The user's preferences file and work folder
// stay. An installation made by an earlier setup, without a record, is
// removed from the payload table and the known places, as it always was.
//
// A running program cannot delete its own file. So once the work is done the
// uninstaller copies itself into a folder of its own under the temporary
// folder and starts the copy, which waits a while for it to end, deletes it
// and the folders that held it, and marks its own file for removal at the
// next start: the one thing left, in a place that the system clears anyway.
#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

// What setup puts where, and how it reads it back: its own table, names,
// record, parser, log and helpers, linked from setup's code, so that the two
// cannot drift apart.
#include "wrentide_setup/checkpoints.h"
#include "wrentide_setup/context/elevation.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/context/setup_command.h"
#include "wrentide_setup/context/setup_lock.h"
#include "wrentide_setup/dll_search.h"
#include "wrentide_setup/engine/install_transaction.h"
#include "wrentide_setup/engine/journal.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/path.h"
#include "wrentide_setup/registry.h"
#include "wrentide_setup/system/close_applications.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const char kTitle[] = "WrenTide Uninstall";
const char kFinishSwitch[] = "/finish";
const char kUsage[] = "uninstall.exe [/ALLUSERS | /CURRENTUSER] [/S] [/CLOSEAPPLICATIONS] [/LOG[=\"file\"]]";
const int kCommonDesktopFolder = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY
// How long the copy waits for the original to end before it leaves the
// original's file for the next start: it ends a moment after starting the copy.
const DWORD kOriginalWait = 30000;

std::string OwnPath() {
    wchar_t self[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return length && length < MAX_PATH ? Utf8(self) : "";
}

// Only an administrator can have the system delete a name at its next start
// (the list is the machine's): a run for one user leaves it where it is.
bool RemoveAtNextStart(InstallScope scope, const std::string& path) {
    return scope == InstallScope::Machine && MoveFileExW(Wide(path).data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

class Uninstaller {
public:
    explicit Uninstaller(const SetupCommand& command)
        : scope_(command.scope), silent_(command.Unattended()), closeApplications_(command.closeApplications) {}
    int Run();

private:
    // The answer a silent run gives every question is the one that goes on.
    int Say(const char* text, UINT type, int silentAnswer = IDOK) const {
        return silent_ ? silentAnswer : MessageBoxW(nullptr, Wide(text).data(), Wide(kTitle).data(), type);
    }
    std::string Setting(const char* name, InstallScope of) const;
    void FinishInterruptedSetup();
    std::vector<JournalEntry> WhatWasMade();
    std::vector<JournalEntry> AsEarlierSetupsMadeIt() const;
    void AddKnownPlaces(std::vector<JournalEntry>& made) const;
    bool PointsIntoThisInstallation(const std::string& link, const std::vector<JournalEntry>& made) const;
    std::string Outside(const JournalEntry& entry) const;
    void Remove(const JournalEntry& entry, const std::vector<JournalEntry>& made);
    bool HandOver(const std::string& self, const std::string& selfFolder, const std::vector<JournalEntry>& folders);
    bool TryHandOver(const std::string& self, const std::string& selfFolder, const std::vector<JournalEntry>& folders);

    InstallScope scope_;
    bool silent_, closeApplications_;
    bool leftBehind_ = false;  // something stayed: a silent run then ends with kExitFailed
    SetupLock lock_;           // setup's lock, held while this run works
    ActingBounds bounds_;      // where it acts on what HKEY_CURRENT_USER names
    InstallPaths paths_;
};

// A value that is missing or unreadable reads as not installed.
std::string Uninstaller::Setting(const char* name, InstallScope of) const {
    try {
        return RegGetString(RegistryRoot(of), kSettingsKey, name);
    } catch (const Error&) {
        return "";
    }
}

// A setup that was killed is taken back before anything is asked, unless a
// setup runs now (it holds the lock that every setup takes), whose journal it
// is. The lock is then held while the uninstaller works.
void Uninstaller::FinishInterruptedSetup() {
    std::string busy;
    if (!lock_.Take(scope_, busy)) {
        LogLine("An interrupted install is not looked for: " + busy);
        return;
    }
    const std::string undone = FinishInterruptedInstall(RegistryRoot(scope_), bounds_);
    if (!undone.empty()) LogLine(undone);
}

// The record setup wrote at its commit. Only what setup can have written is
// acted on: WrenTide's own keys, and files, links and folders by full paths.
std::vector<JournalEntry> Uninstaller::WhatWasMade() {
    Journal record(RegistryRoot(scope_), kRecordKey);
    if (!record.Exists()) {
        LogLine("No record of what the install made: removing what earlier setups put in their places");
        return AsEarlierSetupsMadeIt();
    }
    std::vector<JournalEntry> entries, made;
    try {
        entries = record.Read();
    } catch (const Error& error) {
        LogLine("The record at " + record.Place() + " " + error.what() + ": nothing it names is removed");
        leftBehind_ = true;
        return made;
    }
    for (const JournalEntry& entry : entries) {
        const bool key = entry.change == Change::MadeKey &&
                         (entry.path == kSettingsKey || entry.path == kUninstallKey) && entry.root == record.Root();
        const bool name = (entry.change == Change::MadeFolder || entry.change == Change::Wrote ||
                           entry.change == Change::MadeLink) &&
                          IsFullPath(entry.path) && (entry.path + "\\").find("\\..\\") == std::string::npos;
        if (key || name) made.push_back(entry);
        else LogLine("The record names \"" + entry.path + "\", which is none of WrenTide's: it stays");
    }
    return made;
}

// Earlier setups kept no record: their folders, the payload table's files and
// the known links, each as found now. The data folder and its vendor folder
// lie under Local AppData, which the user can write: one that is a link
// elsewhere has nothing removed in it.
std::vector<JournalEntry> Uninstaller::AsEarlierSetupsMadeIt() const {
    std::vector<JournalEntry> made;
    for (const char* key : {kSettingsKey, kUninstallKey}) {
        JournalEntry entry;
        entry.change = Change::MadeKey;
        entry.root = RegistryRoot(scope_);
        entry.path = key;
        made.push_back(entry);
    }
    const std::string vendor = ParentFolder(paths_.DBPth);
    const bool dataFolder = IsPlainFolder(paths_.DBPth) && IsPlainFolder(vendor);
    if (!dataFolder && DirectoryExists(paths_.DBPth))
        LogLine("The data folder \"" + paths_.DBPth + "\" is a link to another place: nothing in it is removed");
    auto add = [&made](Change change, const std::string& path) {
        JournalEntry entry;
        entry.change = change;
        entry.path = path;
        if (DescribeAsFound(entry)) made.push_back(entry);
    };
    if (dataFolder) add(Change::MadeFolder, vendor), add(Change::MadeFolder, paths_.DBPth);
    add(Change::MadeFolder, paths_.ProgPth);
    add(Change::MadeFolder, paths_.MenuPth);
    for (const PayloadFile& file : PayloadTable)
        if (dataFolder || file.folder != &InstallPaths::DBPth) add(Change::Wrote, Destination(file, paths_));
    if (dataFolder) add(Change::Wrote, JoinPath(paths_.DBPth, kTempPak));
    // For everyone this setup also puts the uninstaller in the program folder.
    if (scope_ == InstallScope::Machine) add(Change::Wrote, JoinPath(paths_.ProgPth, kUninstallerFile));
    return made;
}

// The links of the known places (the scope's Start-menu folder and the
// desktops) go too, whichever setup made them, while they point into this
// installation: an upgrade without a desktop link leaves no dead one behind.
// So does a temp.pak that a stopped step left in the data folder, checked
// against the data folder's recorded final path.
void Uninstaller::AddKnownPlaces(std::vector<JournalEntry>& made) const {
    const std::string temp = JoinPath(paths_.DBPth, kTempPak);
    const auto dataFolder = std::find_if(made.begin(), made.end(), [&](const JournalEntry& e) {
        return e.change == Change::MadeFolder && SameText(e.path, paths_.DBPth);
    });
    if (dataFolder != made.end() && FileExists(temp) &&
        std::none_of(made.begin(), made.end(), [&](const JournalEntry& e) { return SameText(e.path, temp); })) {
        JournalEntry entry;
        entry.change = Change::Wrote;
        entry.path = temp;
        entry.folder = dataFolder->folder;
        made.push_back(entry);
    }
    std::vector<std::string> links;
    if (!paths_.MenuPth.empty())
        links = {JoinPath(paths_.MenuPth, kProgramLink), JoinPath(paths_.MenuPth, kUninstallLink)};
    std::vector<int> desktops = {kDesktopFolder};
    if (scope_ == InstallScope::Machine) desktops.push_back(kCommonDesktopFolder);
    for (int desktop : desktops) {
        try {
            const std::string folder = SpecialFolderPath(desktop);
            if (!folder.empty()) links.push_back(JoinPath(folder, kProgramLink));
        } catch (const Error&) {
            // A shell folder that cannot be found keeps its link.
        }
    }
    for (const std::string& link : links) {
        if (std::any_of(made.begin(), made.end(), [&](const JournalEntry& e) { return SameText(e.path, link); }))
            continue;
        JournalEntry entry;
        entry.change = Change::MadeLink;
        entry.path = link;
        if (FileExists(link) && DescribeAsFound(entry)) made.push_back(entry);
    }
}

// A link is this installation's while its target lies in the program folder
// or is a file the installation made: the other scope's links point elsewhere.
bool Uninstaller::PointsIntoThisInstallation(const std::string& link, const std::vector<JournalEntry>& made) const {
    const std::string target = ShortcutTarget(link);
    if (IsInside(target, paths_.ProgPth)) return true;
    return !target.empty() && std::any_of(made.begin(), made.end(), [&](const JournalEntry& e) {
        return e.change == Change::Wrote && SameText(e.path, target);
    });
}

// Why the entry may not be removed in this run; "" when it may.
std::string Uninstaller::Outside(const JournalEntry& entry) const {
    const std::string outside = OutsideBounds(bounds_, entry.folder, entry.path, entry.change == Change::MadeFolder);
    return outside.empty() ? "" : "\"" + entry.path + "\" stays: it " + outside;
}

void Uninstaller::Remove(const JournalEntry& entry, const std::vector<JournalEntry>& made) {
    if (const std::string why = Outside(entry); !why.empty()) {
        leftBehind_ = true;
        LogLine(why);
        return;
    }
    if (entry.change == Change::MadeLink && FileExists(entry.path) && !PointsIntoThisInstallation(entry.path, made)) {
        LogLine("The link \"" + entry.path + "\" stays: it points elsewhere now (\"" + ShortcutTarget(entry.path) + "\")");
        return;
    }
    const bool folder = entry.change == Change::MadeFolder;
    const bool there = folder ? DirectoryExists(entry.path) : FileExists(entry.path);
    try {
        RemoveMade(entry);
    } catch (const Error& error) {
        leftBehind_ = true;
        // A file of its own in use goes at the next start.
        const bool scheduled = !folder && IsPlainFile(entry.path) && RemoveAtNextStart(scope_, entry.path);
        LogLine(error.what() + std::string(scheduled ? ". It goes at the next start of Windows." : ""));
        return;
    }
    if (there && !(folder ? DirectoryExists(entry.path) : FileExists(entry.path))) {
        LogLine(std::string(folder ? "Removed the folder \"" : "Removed \"") + entry.path + "\"");
    } else if (folder && there) {
        LogLine("The folder \"" + entry.path + "\" stays: something else is in it");
    }
}

// The copy runs from a folder of its own under the temporary folder, named so
// that nobody can name it in advance. For everyone only administrators and
// SYSTEM may change what is in it, and it is held without delete sharing, so
// it can be neither renamed nor replaced; the copy is held against writing
// and deleting from its creation until it has started, and started only once
// its bytes are read back as this program's. False when it cannot be done.
// (Between the write handle and the one that shares nothing but reading, a
// program could open the copy for writing where the folder's rights are not
// enforced, as under Wine: the read-back then fails, and another folder is tried.)
bool Uninstaller::HandOver(const std::string& self, const std::string& selfFolder,
                           const std::vector<JournalEntry>& folders) {
    for (int attempt = 0; attempt < 5; ++attempt)
        if (TryHandOver(self, selfFolder, folders)) return true;
    return false;
}

bool Uninstaller::TryHandOver(const std::string& self, const std::string& selfFolder,
                              const std::vector<JournalEntry>& folders) {
    std::string bytes;
    {
        UniqueHandle own(CreateFileW(Wide(self).data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size;
        if (!own.Valid() || !GetFileSizeEx(own.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > (64 << 20))
            return false;
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(own.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())
            return false;
    }
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    if (!tempLength || tempLength > MAX_PATH) return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Protected: nothing of the temporary folder's own rights is inherited.
    if (scope_ == InstallScope::Machine &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    const std::unique_ptr<void, decltype(&LocalFree)> ownedDescriptor(descriptor, LocalFree);
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    std::string folder;
    for (int attempt = 0; attempt < 10 && folder.empty(); ++attempt) {
        const std::string random = RandomName();
        if (random.empty()) return false;
        const std::string name = Utf8(temp) + "WrenTide-uninstall-" + random;
        if (CreateDirectoryW(Wide(name).data(), descriptor ? &security : nullptr)) folder = name;
        else if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    if (folder.empty()) return false;
    UniqueHandle held(CreateFileW(Wide(folder).data(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    const std::string copy = JoinPath(folder, kUninstallerFile);
    const std::vector<wchar_t> copyName = Wide(copy);
    auto giveUp = [&] {
        DeleteFileW(copyName.data());
        held.Close();
        RemoveDirectoryW(Wide(folder).data());
        return false;
    };
    if (!held.Valid() || !IsPlainFolder(folder)) return giveUp();
    UniqueHandle pinned;
    {
        UniqueHandle writer(CreateFileW(copyName.data(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!writer.Valid() ||
            !WriteFile(writer.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !FlushFileBuffers(writer.Get()))
            return giveUp();
        // The system starts no program that something holds open for
        // writing: the write handle goes, through one that shares writing
        // with it, to one that shares nothing but reading.
        UniqueHandle reader(CreateFileW(copyName.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        writer.Close();
        pinned = UniqueHandle(
            CreateFileW(copyName.data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    if (!pinned.Valid() || !HasOneName(pinned.Get()) || !IsOwnName(pinned.Get(), copy)) return giveUp();
    std::string readBack(bytes.size() + 1, '\0');
    DWORD got = 0;
    if (!ReadFile(pinned.Get(), &readBack[0], static_cast<DWORD>(readBack.size()), &got, nullptr) ||
        readBack.compare(0, got, bytes) != 0 || got != bytes.size())
        return giveUp();

    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &duplicate, SYNCHRONIZE, TRUE,
                         0))
        return giveUp();
    const UniqueHandle me(duplicate);  // the copy inherits its own
    std::string command = "\"" + copy + "\" " + kFinishSwitch + " " + (scope_ == InstallScope::User ? "U" : "M") +
                          " " + std::to_string(reinterpret_cast<UINT_PTR>(me.Get())) + " \"" + self + "\" \"" +
                          selfFolder + "\"";
    for (const JournalEntry& entry : folders) command += " \"" + entry.path + "\" \"" + entry.folder + "\"";
    std::vector<wchar_t> line = Wide(command);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // The copy is started in the temporary folder, so no folder of WrenTide's is held open.
    if (!CreateProcessW(copyName.data(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &started)) {
        pinned.Close();
        return giveUp();
    }
    const UniqueHandle thread(started.hThread), process(started.hProcess);
    return true;
}

int Uninstaller::Run() {
    EnforceRedirectionTrust();
    bounds_ = BoundsFor(scope_);
    FinishInterruptedSetup();
    paths_.Scope = scope_;
    paths_.ProgPth = Setting("ProgPth", scope_);
    paths_.DBPth = Setting("DBPth", scope_);
    if (paths_.ProgPth.empty() || paths_.DBPth.empty()) {
        Say("WrenTide is not installed on this computer.", MB_OK | MB_ICONINFORMATION);
        return EndWith(silent_ ? kExitNothingInstalled : 1,
                       "WrenTide is not installed (no record under " + RegKeyName(RegistryRoot(scope_), "") + ")");
    }
    LogLine("Program folder \"" + paths_.ProgPth + "\", data folder \"" + paths_.DBPth + "\"");
    if (Say("Remove WrenTide and all of its components?", MB_YESNO | MB_ICONQUESTION, IDYES) != IDYES)
        return EndWith(0, "the user chose not to remove WrenTide");
    if (closeApplications_ && WrenTideRunning(paths_.ProgPth)) CloseApplications(JoinPath(paths_.ProgPth, kProgramFile));
    // Nothing is removed while the program runs: no half-removed install.
    while (WrenTideRunning(paths_.ProgPth)) {
        LogLine("WrenTide is running");
        if (Say("WrenTide is running. Close it, then press Retry.", MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDCANCEL) !=
            IDRETRY)
            return EndWith(silent_ ? kExitFailed : 2, "WrenTide is running; nothing was removed");
    }
    try {
        paths_.MenuPth = JoinPath(
            SpecialFolderPath(scope_ == InstallScope::User ? kProgramsFolder : kCommonProgramsFolder), kProductFolder);
    } catch (const Error&) {
        // No menu folder to look in: the record still names its links.
    }

    std::vector<JournalEntry> made = WhatWasMade();
    AddKnownPlaces(made);
    // A data folder that the other scope's installation records too (the
    // same user installed both) keeps its files for that one.
    const InstallScope other = scope_ == InstallScope::User ? InstallScope::Machine : InstallScope::User;
    const bool shared = SameText(Setting("DBPth", other), paths_.DBPth);
    const std::string vendor = ParentFolder(paths_.DBPth);
    // The running uninstaller itself, and the folders that hold it, go last, through its copy.
    const std::string self = OwnPath();
    std::string selfFolder;
    std::vector<JournalEntry> holdingSelf;
    bool removesSelf = false;
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        if (it->change == Change::MadeKey) continue;
        if (shared && (IsInside(it->path, paths_.DBPth, true) || SameText(it->path, vendor))) continue;
        const bool isSelf = SameText(it->path, self);
        if (!isSelf && !(it->change == Change::MadeFolder && IsInside(self, it->path))) {
            Remove(*it, made);
        } else if (const std::string why = Outside(*it); !why.empty()) {
            leftBehind_ = true;
            LogLine(why);
        } else if (isSelf) {
            removesSelf = true;
            selfFolder = it->folder;
        } else {
            holdingSelf.push_back(*it);
        }
    }
    // The record goes with the keys it lies in, last made first.
    const std::string root = RegistryRoot(scope_);
    auto removeKey = [&](const char* key) {
        const unsigned long error = RegRemoveKey(root, key);
        const std::string name = RegKeyName(root, key);
        LogLine(error == ERROR_SUCCESS ? "Removed the key \"" + name + "\""
                                       : "Cannot remove the key \"" + name + "\": " + SystemMessage(error));
    };
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        if (it->change != Change::MadeKey) continue;
        if (it->path == kSettingsKey && RegKeyExists(root, kRecordKey)) removeKey(kRecordKey);
        removeKey(it->path.c_str());
    }
    if (!Setting("ProgPth", scope_).empty()) leftBehind_ = true;

    Say("WrenTide was removed from your computer.", MB_OK | MB_ICONINFORMATION);
    // Everything else is gone by now: a deployment tool that reads the exit
    // code may rely on it. The copy then takes the original file and its folders.
    if (removesSelf) {
        const bool handedOver = HandOver(self, selfFolder, holdingSelf);
        if (!handedOver) RemoveAtNextStart(scope_, self);
        LogLine(handedOver ? "A copy in the temporary folder removes \"" + self + "\" once this run ends"
                           : "\"" + self + "\" cannot be handed to a copy: it stays");
    }
    if (silent_ && leftBehind_) return EndWith(kExitFailed, "something could not be removed (see above)");
    return EndWith(kExitRemoved, leftBehind_ ? "WrenTide was removed, with something left behind (see above)"
                                             : "WrenTide was removed");
}

// The copy's part: once the original has ended, or a while has passed,
// delete it and the folders that held it if nothing else is left there, then
// schedule the copy itself and its folder. Its arguments come from the
// original, which started it: the scope, the handle of the original's
// process, the original and its folder's final path, then each folder and its
// final path.
int Finish(int count, wchar_t** args) {
    EnforceRedirectionTrust();
    const InstallScope scope = std::wcscmp(args[2], L"U") == 0 ? InstallScope::User : InstallScope::Machine;
    UniqueHandle original(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::wcstoull(args[3], nullptr, 10))));
    const std::string originalPath = Utf8(args[4]);
    const bool ended = WaitForSingleObject(original.Get(), kOriginalWait) == WAIT_OBJECT_0;
    original.Close();
    if (!ended) {
        RemoveAtNextStart(scope, originalPath);
    } else {
        JournalEntry file;
        file.change = Change::Wrote;
        file.path = originalPath;
        file.folder = Utf8(args[5]);
        // Its image may be unmapped a moment after its process ends.
        for (int attempt = 0; attempt < 50; ++attempt) {
            try {
                RemoveMade(file);
                break;
            } catch (const Error&) {
                Sleep(100);
            }
        }
        // A folder that is not empty, or no longer the one it was, stays.
        for (int i = 6; i + 1 < count; i += 2) {
            JournalEntry folder;
            folder.change = Change::MadeFolder;
            folder.path = Utf8(args[i]);
            folder.folder = Utf8(args[i + 1]);
            try {
                RemoveMade(folder);
            } catch (const Error&) {
            }
        }
    }
    const std::string self = OwnPath();
    if (!self.empty() && RemoveAtNextStart(scope, self)) RemoveAtNextStart(scope, ParentFolder(self));
    return 0;
}

}  // namespace
}  // namespace wt

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wt::LoadDllsFromSystemFolderOnly();
    // The original's path may hold any letter: the command line is read wide.
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> owned(CommandLineToArgvW(GetCommandLineW(), &count),
                                                                LocalFree);
    wchar_t** args = owned.get();
    if (args && count >= 6 && count % 2 == 0 && wt::Utf8(args[1]) == wt::kFinishSwitch) return wt::Finish(count, args);

    const std::string line = wt::Utf8(GetCommandLineW());
    const wt::SetupCommand command = wt::ParseSetupCommand(line, wt::CommandFor::Uninstaller);
    // Every silent run writes a log, as setup's unattended runs do; a refused
    // line writes it to the default place. It is opened only once this process
    // is the one that works: an elevated run started from here writes its own.
    if (!command.error.empty()) {
        wt::OpenRunLog("Uninstall", line, command, true);
        wt::LogLine(command.error);
        const std::string text = command.error + "\r\n\r\n" + wt::kUsage;
        if (!command.Unattended())
            MessageBoxW(nullptr, wt::Wide(text).data(), wt::Wide(wt::kTitle).data(), MB_OK | MB_ICONERROR);
        return wt::EndWith(wt::kExitBadCommandLine, "bad command line; nothing was removed");
    }
    // The installation for everyone is removed elevated: a run without the
    // rights starts itself again with them and ends with that run's code.
    const auto [action, code, why] = wt::StartWithRights(command.scope, command.Unattended(), command.restarted,
                                                         wt::FaultToken(), wt::ArgumentsOf(line), SW_SHOWNORMAL);
    if (action == wt::StartAction::RelaunchElevated) return code;
    wt::OpenRunLog("Uninstall", line, command, false);
    if (action != wt::StartAction::Install) {
        const std::string text = "WrenTide was installed for everyone on this computer: removing it needs "
                                 "administrator rights.\r\n\r\n" + why;
        if (!command.Unattended())
            MessageBoxW(nullptr, wt::Wide(text).data(), wt::Wide(wt::kTitle).data(), MB_OK | MB_ICONERROR);
        return wt::EndWith(wt::kExitCancelled, "no administrator rights: " + why);
    }
    // The shell reads each link's target back before it is removed.
    CoInitialize(nullptr);
    const int result = wt::Uninstaller(command).Run();
    CoUninitialize();
    return result;
}
