// The kit of the whole-install tests: the places, helpers and fixtures that
// the install, unattended, uninstall, rollback and scope cases share.
#pragma once

#include "loopback_server.h"  // winsock2.h must come before windows.h

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <sddl.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"
#include "wrentide_setup/engine/journal.h"
#include "wrentide_setup/registry.h"
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

namespace wt::e2e {

const char kExpectedRequest[] =
    "GET /wrentide/nstall.php HTTP/1.1\r\n"
    "Host: localhost\r\n"
    "Accept: text/html, */*\r\n"
    "Accept-Encoding: identity\r\n"
    "User-Agent: WrenTide Statstics Tracking\r\n"
    "\r\n";
using test::kSettings, test::kUninstall, test::NamesIn, test::TempFolder;
const char kTypedParent[] = "C:\\\u0141\u00F3d\u017A \u03A9";

inline std::string RegValue(const char* key, const char* name, REGSAM view = 0) {
    return test::ReadBack(key, name, HKEY_LOCAL_MACHINE, view).text;
}

const char kRemoveQuestion[] = "Remove WrenTide and all of its components?";

// The uninstaller driven through its message boxes, as a user answers them.
class Uninstaller {
public:
    // Started as the installed-programs list starts it: by the recorded command line.
    Uninstaller() : Uninstaller(RegValue(kUninstall, "UninstallString")) {}
    explicit Uninstaller(const std::string& commandLine) : process_(Process::FromCommandLine(commandLine)) {}
    // Waits for its next box, which must say text; false when none shows.
    bool Says(const std::string& text) {
        box_ = WaitForWindow(process_.Id(), "#32770", "WrenTide Uninstall", kWait, true);
        EXPECT_NE(box_, nullptr) << "no box of the uninstaller's, to say: " << text;
        if (box_) { EXPECT_EQ(MessageText(box_), text); }
        return box_ != nullptr;
    }
    // One of the shown box's buttons pressed, and the box gone.
    bool Press(const char* button) { return e2e::Answer(box_, button); }
    bool Answer(const std::string& text, const char* button) { return Says(text) && Press(button); }
    // "Yes" to its question, and OK to its word that all was removed.
    bool RemoveAll() { return Answer(kRemoveQuestion, "&Yes") && Answer("WrenTide was removed from your computer.", "OK"); }
    DWORD Exit() { return ExitCode(process_); }
    Process& process() { return process_; }

private:
    Process process_;
    HWND box_ = nullptr;
};

// Copies of the uninstaller left in folders of their own in the temporary
// folder, to go at the next start.
inline std::vector<std::string> UninstallerCopies() {
    const std::string temp = TempFolder();
    std::vector<std::string> copies;
    for (const std::string& folder : NamesIn(temp, "WrenTide-uninstall-*"))
        if (test::PathExists(temp + "\\" + folder + "\\uninstall.exe")) copies.push_back(temp + "\\" + folder + "\\uninstall.exe");
    return copies;
}

// Whether the system is to delete the file at its next start.
inline bool RemovedAtNextStart(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key))
        return false;
    std::vector<wchar_t> data(32768, L'\0');
    DWORD size = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
    LONG rc = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    // Pairs of names: the file, then an empty name for "delete".
    const std::vector<wchar_t> wanted = Wide("\\??\\" + path);
    for (const wchar_t* name = data.data(); *name;) {
        const wchar_t* next = name + wcslen(name) + 1;
        if (_wcsicmp(name, wanted.data()) == 0 && !*next) return true;
        name = *next ? next : next + 1;
    }
    return false;
}

// A run of setup or the uninstaller with no one at the screen: its exit
// code, and whether a window of it was ever seen on screen.
struct Unattended {
    DWORD code = 99;
    bool windowSeen = false;
};

inline Unattended RunUnattended(const std::string& commandLine) {
    Process process = Process::FromCommandLine(commandLine);
    Unattended run;
    const DWORD start = GetTickCount();
    while (!process.WaitExit(5, &run.code) && GetTickCount() - start < 120000)
        run.windowSeen |= WaitForWindow(process.Id(), nullptr, nullptr, 0, true) != nullptr;
    return run;
}

inline std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// The user clicks into the folder box and types folder there.
inline void TypeFolder(SetupRun& run, const std::string& folder) {
    PostMessageW(run.Edit(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(run.Edit(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Sleep(200);
    SendMessageW(run.Edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(folder).data()));
}

// A file of the tests' own folder C:\\wt-e2e (a log, say), the folder made.
inline std::string ScratchFile(const char* name) {
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    return std::string("C:\\wt-e2e\\") + name;
}

// The built uninstaller where no record names it.
inline std::string LooseUninstaller() {
    const std::string copy = ScratchFile("uninstall.exe");
    test::WriteFileBytes(copy, test::ReadFileBytes(test::BuiltPayloadFile("uninstall.exe")));
    return copy;
}

// Each of steps somewhere in the log at path.
inline void ExpectLogged(const std::string& path, const std::vector<std::string>& steps) {
    const std::string text = test::ReadFileBytes(path);
    for (const std::string& step : steps)
        EXPECT_NE(text.find(step), std::string::npos) << step << " not in the log:\n" << text;
}

// A variable of this process, and so of what it starts, put back as it was.
class Environment {
public:
    Environment(const char* name, const std::string& value) : name_(name) {
        char old[MAX_PATH] = "";
        had_ = GetEnvironmentVariableA(name, old, sizeof old) > 0;
        old_ = old;
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~Environment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_;
    std::string old_;
};

inline std::string UserName() {
    wchar_t user[256] = L"";
    DWORD size = 256;
    GetUserNameW(user, &size);
    return Utf8(user);
}

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        Clean();
    }
    void TearDown() override {
        if (HWND app = FindWindowA("WrenTideMain", nullptr)) CloseStartedApplication(app);
        Clean();
        CoUninitialize();
    }
    void Clean() {
        test::DeleteProductKeys();
        test::DeleteProductKeys(HKEY_CURRENT_USER);
        test::RemoveTree(places_.userProgram);
        RemoveDirectoryA(places_.userPrograms.c_str());  // as a new profile has it: missing
        test::RemoveTree(places_.userMenu);
        for (const std::string& folder : NamesIn(TempFolder(), "WrenTide-uninstall-*"))
            test::RemoveTree(TempFolder() + "\\" + folder);
        test::RemoveTree(places_.program);
        test::RemoveTree(places_.vendor);
        test::RemoveTree(places_.menu);
        for (const char* link : {"\\WrenTide.lnk", "\\WrenTide.lnk.wt-old"})
            DeleteFileW(Wide(places_.desk + link).data());
        for (const char* made : {"C:\\wt-e2e", "C:\\WTProg", "C:\\WTData", "C:\\WT1", "C:\\WT", kTypedParent})
            test::RemoveTree(made);
        for (const char* name : kPlantedNames)
            for (const char* suffix : {"", ".loaded"}) DeleteFileW(Wide(TempFolder() + "\\" + name + suffix).data());
        for (const char* logs : {"WrenTide-Setup-*.log", "WrenTide-Uninstall-*.log"})
            for (const std::string& log : NamesIn(TempFolder(), logs)) DeleteFileW(Wide(TempFolder() + "\\" + log).data());
    }
    // A whole install through the wizard, as the user asks it.
    void InstallAsUser(bool desktop, const std::string& exe = LoopbackSetupExe()) {
        SetupRun run(exe);
        ASSERT_TRUE(run.ToOptions(desktop, false));
        ASSERT_TRUE(Completes(run, run.Control("Button", "&Re-Install") ? "&Re-Install" : "&Install"));
        ASSERT_TRUE(Finish(run));
    }
    // "Yes" to the uninstaller and OK to its last word; then its copy in the
    // temporary folder deletes it and is due to go itself at the next start.
    void UninstallAll(const std::string& data) {
        const std::string command = RegValue(kUninstall, "UninstallString");
        const std::string program = command.substr(1, command.find('"', 1) - 1);
        Uninstaller uninstaller;
        ASSERT_TRUE(uninstaller.RemoveAll());
        EXPECT_EQ(uninstaller.Exit(), 0u);
        EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(data + "\\uninstall.exe") && !test::PathExists(program); },
                              kWait));
        std::vector<std::string> copies;
        EXPECT_TRUE(WaitUntil([&] {
            copies = UninstallerCopies();
            return copies.size() == 1 && RemovedAtNextStart(copies[0]);
        }, kWait)) << copies.size() << " copies of the uninstaller, none due to go";
    }
    // Setup and its uninstaller run elevated from folders the user can write:
    // the download folder, the data folder, and the temporary folder of the
    // uninstaller's copy. Marker DLLs put in one of them under the names of
    // DLLs the programs load, or that the system's DLLs load for them, must
    // stay unloaded through a whole install and uninstall.
    void ExpectNoPlantedDllLoads(const std::string& folder) {
        for (const std::string& made : {std::string("C:\\wt-e2e"), kPlantSetupFolder, places_.vendor, places_.data})
            CreateDirectoryA(made.c_str(), nullptr);
        const std::string setup = kPlantSetupFolder + "\\wrentide_setup.exe";
        ASSERT_TRUE(CopyFileA(LoopbackSetupExe().c_str(), setup.c_str(), FALSE));
        const std::string marker = test::FromHost(WT_MARKER_DLL);
        for (const char* name : kPlantedNames)
            ASSERT_TRUE(CopyFileA(marker.c_str(), (folder + "\\" + name).c_str(), FALSE));
        // A marker that is loaded leaves its record.
        HMODULE loaded = LoadLibraryA(marker.c_str());
        ASSERT_NE(loaded, nullptr);
        FreeLibrary(loaded);
        ASSERT_TRUE(test::PathExists(marker + ".loaded"));
        DeleteFileA((marker + ".loaded").c_str());

        InstallAsUser(false, setup);
        UninstallAll(places_.data);
        std::string records;
        for (const std::string& name : NamesIn(folder, "*.loaded"))
            records += name + ": " + test::ReadFileBytes(folder + "\\" + name);
        EXPECT_EQ(records, "");
    }
    static constexpr const char* kPlantedNames[] = {"shcore.dll", "shell32.dll", "shlwapi.dll", "ole32.dll",
                                                    "ws2_32.dll", "uxtheme.dll", "version.dll", "propsys.dll"};
    const std::string kPlantSetupFolder = "C:\\wt-e2e\\setup";
    // The record of the installation for everyone, or with HKEY_CURRENT_USER
    // that of the one for this user, whose command lines carry /CURRENTUSER.
    void ExpectRegistration(const std::string& program, const std::string& modeIs, HKEY root = HKEY_LOCAL_MACHINE) {
        size_t bytes = 0;
        for (const PayloadFile& f : kFiles) bytes += test::ReadFileBytes(test::BuiltPayloadFile(f.name)).size();
        // Spelled out: Wine's documents folder ends in a backslash of its own.
        const std::string work = "C:\\users\\" + UserName() + "\\Documents\\WrenTide";
        const std::string user = Quoted(places_.data + "\\uninstall.exe") + " /CURRENTUSER";
        for (test::RecordValue v : test::ExpectedRecord(program, places_.data, work, modeIs,
                                                        static_cast<unsigned long>((bytes + 1023) / 1024))) {
            if (root == HKEY_CURRENT_USER && std::string(v.name) == "UninstallString") v.text = user;
            if (root == HKEY_CURRENT_USER && std::string(v.name) == "QuietUninstallString") v.text = user + " /S";
            EXPECT_EQ(test::ReadBack(v.key, v.name, root).text, v.text) << v.name;
        }
        if (root == HKEY_CURRENT_USER) return;
        BOOL wow64 = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow64);
        if (wow64) {
            // A 32-bit setup on a 64-bit system writes the 32-bit view, where
            // the 32-bit application and uninstaller read it.
            EXPECT_EQ(RegValue("Software\\Wow6432Node\\WrenTide", "ProgPth", KEY_WOW64_64KEY), program);
            EXPECT_EQ(RegValue("Software\\WrenTide", "ProgPth", KEY_WOW64_64KEY), "<missing>");
            EXPECT_NE(places_.program.find("Program Files (x86)"), std::string::npos);
        }
    }
    // Every installed file gone (the data folder's from data), each of gone
    // too, and the record's keys.
    void ExpectRemoved(const std::string& data, const std::vector<std::string>& gone) {
        for (const PayloadFile& f : kFiles)
            EXPECT_FALSE(test::PathExists((f.inProgramFolder ? places_.program : data) + "\\" + f.name)) << f.name;
        for (const std::string& path : gone) EXPECT_FALSE(test::PathExists(path)) << path;
        EXPECT_FALSE(test::KeyExists(kSettings));
        EXPECT_FALSE(test::KeyExists(kUninstall));
    }
    void ExpectLinks(const std::string& program, bool desktop) { ExpectLinks(program, desktop, places_.menu, ""); }
    // The menu's links, the uninstaller's with its arguments, and the desktop's.
    void ExpectLinks(const std::string& program, bool desktop, const std::string& menu, const char* uninstallArguments) {
        // For everyone the program folder's uninstaller, for one user the data folder's.
        const std::string uninstaller = *uninstallArguments ? places_.data : program;
        struct Expected {
            std::string file, target, folder, arguments;
        } links[] = {
            {menu + "\\WrenTide.lnk", program + "\\WrenTide.exe", program, ""},
            {menu + "\\Uninstall.lnk", uninstaller + "\\uninstall.exe", uninstaller, uninstallArguments},
        };
        for (const Expected& e : links) {
            SCOPED_TRACE(e.file);
            test::Link link;
            ASSERT_TRUE(test::LoadLink(e.file, link));
            EXPECT_EQ(link.target, e.target);
            EXPECT_EQ(link.workingFolder, e.folder);
            EXPECT_EQ(link.arguments, e.arguments);
            EXPECT_EQ(link.showCommand, static_cast<uint32_t>(SW_SHOW));
        }
        test::Link onDesktop;
        EXPECT_EQ(test::LoadLink(places_.desk + "\\WrenTide.lnk", onDesktop), desktop);
        if (desktop) {
            EXPECT_EQ(onDesktop.target, program + "\\WrenTide.exe");
            EXPECT_EQ(onDesktop.workingFolder, program);
        }
    }
    Places places_;
};

// The two scopes of an installation, each with its switch, the root of its
// record and its own program and menu folders.
struct Scope {
    const char* name;
    const char* option;
    HKEY root;
    std::string Places::*program;
    std::string Places::*menu;
};
inline const Scope kForEveryone = {"ForEveryone", " /ALLUSERS", HKEY_LOCAL_MACHINE, &Places::program, &Places::menu};
inline const Scope kForOneUser = {"ForOneUser", " /CURRENTUSER", HKEY_CURRENT_USER, &Places::userProgram,
                                  &Places::userMenu};
inline void PrintTo(const Scope& scope, std::ostream* out) { *out << scope.name; }

// A case written once for both scopes: scope_ is the one it runs in.
class EachScope : public Install, public ::testing::WithParamInterface<Scope> {
protected:
    const Scope& scope_ = GetParam();
    const bool everyone_ = scope_.root == HKEY_LOCAL_MACHINE;
    const Scope& other_ = everyone_ ? kForOneUser : kForEveryone;
    const std::string program_ = places_.*scope_.program, menu_ = places_.*scope_.menu;
};

// The host's own programs (ln, rm, mount), which Wine starts as it starts any program.
inline void Host(const char* program, const std::string& arguments) {
    std::vector<wchar_t> line = Wide(std::string(program) + " " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(Wide(program).data(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return;
    WaitForSingleObject(started.hProcess, kWait);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

inline std::string Unix(const std::string& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(Wide(path).data()) : nullptr;
    std::string name = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return name;
}

// A host symbolic link at link to target, as a user could plant it. Wine
// shows it as a plain file or folder: every call by name acts on the target.
inline void PlantHostLink(const std::string& target, const std::string& link) {
    DeleteFileW(Wide(link).data());  // setup's own file, left by the install
    Host("Z:\\bin\\ln", "-s \"" + Unix(target) + "\" \"" + Unix(link) + "\"");
    // Wine hands back no exit of a host program: the link is awaited.
    std::string final;
    ASSERT_TRUE(WaitUntil([&] { return (final = FinalPathOf(link)) == "\\\\?\\" + target; }, 5000))
        << "no link planted at " << link << " (" << Unix(link) << "): " << final;
}

inline void RemoveHostLink(const std::string& link, const std::string& target) {
    Host("Z:\\bin\\rm", "-f \"" + Unix(link) + "\"");
    WaitUntil([&] { return FinalPathOf(link) != "\\\\?\\" + target; }, 5000);
}

// The loopback setup with faults on call: WT_FAIL_AFTER or WT_KILL_AFTER
// names the step (a payload file's name, "registration", "shortcuts").
inline std::string FaultsSetupExe() { return test::FromHost(WT_FAULTS_SETUP_EXE); }


// Every file, link and registry value of an installation, byte for byte.
inline std::map<std::string, std::string> Snapshot(const Places& places) {
    std::map<std::string, std::string> all;
    for (const PayloadFile& f : kFiles) {
        const std::string path = (f.inProgramFolder ? places.program : places.data) + "\\" + f.name;
        all[path] = test::ReadFileBytes(path);
    }
    for (const std::string& path : {places.menu + "\\WrenTide.lnk", places.menu + "\\Uninstall.lnk",
                                    places.desk + "\\WrenTide.lnk", places.data + "\\WrenTide.tub"})
        all[path] = test::PathExists(path) ? test::ReadFileBytes(path) : "<none>";
    for (const char* key : {kSettings, kUninstall}) {
        HKEY open;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &open) != ERROR_SUCCESS) continue;
        char name[256];
        BYTE data[4096];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name, size = sizeof data, type = 0;
            if (RegEnumValueA(open, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
            all[std::string(key) + "|" + name] = std::to_string(type) + ":" + std::string(data, data + size);
        }
        RegCloseKey(open);
    }
    return all;
}

// Where setup keeps the journal of an install under way (the 32-bit view).
const char kJournal[] = "Software\\WrenTide\\Journal";

// What a run leaves that is not the installation: a set-aside copy or a journal.
inline std::vector<std::string> Leftovers(const Places& places) {
    std::vector<std::string> found;
    for (const std::string& folder : {places.program, places.data, places.menu, places.desk})
        for (const std::string& name : NamesIn(folder, "*.wt-old")) found.push_back(folder + "\\" + name);
    if (test::KeyExists(kJournal)) found.push_back(kJournal);
    return found;
}

class Rollback : public Install {
protected:
    // An installation with a desktop link, ModeIs off and a preferences
    // file, whose seven files and three links all differ from what the
    // payload and a new run would make.
    void MakeOldInstallation() {
        ASSERT_NO_FATAL_FAILURE(InstallAsUser(true));
        MakeItOld(places_);
    }
    // Every file, link, preference and changed value of the installation at
    // places made to differ from what a new run writes.
    void MakeItOld(const Places& places) {
        for (const PayloadFile& f : kFiles)
            test::WriteFileBytes((f.inProgramFolder ? places.program : places.data) + "\\" + f.name,
                                 std::string("old ") + f.name);
        for (const std::string& link : {places.menu + "\\WrenTide.lnk", places.menu + "\\Uninstall.lnk",
                                        places.desk + "\\WrenTide.lnk"})
            test::WriteFileBytes(link, "old link");
        test::WriteFileBytes(places.data + "\\WrenTide.tub", std::string(272, 'p'));
        test::SetText(kSettings, "ModeIs", "Off");
        test::SetText(kSettings, "WrkPth", "C:\\old work");
        old_ = Snapshot(places);
    }
    void ExpectOldInstallation(const Places& places) { ExpectSame(Snapshot(places), old_, places); }
    void ExpectOldInstallation() { ExpectOldInstallation(places_); }
    static void ExpectSame(const std::map<std::string, std::string>& now,
                           const std::map<std::string, std::string>& was, const Places& places) {
        for (const auto& [name, bytes] : was) {
            auto found = now.find(name);
            EXPECT_TRUE(found != now.end() && found->second == bytes) << name << " is not as it was";
        }
        EXPECT_EQ(now.size(), was.size()) << "values or files were added";
        EXPECT_EQ(Leftovers(places), std::vector<std::string>{});
    }
    std::map<std::string, std::string> old_;
};

// A shell link as the shell reads it: its bytes hold the target's file times,
// which every run of setup renews.
inline std::map<std::string, std::string> LinksAsTargets(std::map<std::string, std::string> snapshot) {
    for (auto& [name, bytes] : snapshot) {
        test::Link link;
        if (name.size() > 4 && name.substr(name.size() - 4) == ".lnk" && test::LoadLink(name, link))
            bytes = "a link to " + link.target + " in " + link.workingFolder;
    }
    return snapshot;
}

// Every key and value under HKEY_LOCAL_MACHINE\Software (both views) but the
// file types, and of the system's list of files to delete at its next start:
// what a run for one user must leave exactly as it was.
inline void WalkKey(HKEY parent, const std::wstring& path, std::map<std::string, std::string>& all) {
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    wchar_t name[512];
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = 512, size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        all[Utf8(path.c_str()) + "|" + Utf8(name)] = std::to_string(type) + ":" + std::string(data.begin(), data.begin() + size);
    }
    all[Utf8(path.c_str())] = "key";
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = 512;
        if (RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        // The file types, thousands of keys that setup never writes, are left out.
        if (_wcsicmp(name, L"Classes") != 0) WalkKey(parent, path + L"\\" + name, all);
    }
    RegCloseKey(key);
}

inline std::map<std::string, std::string> MachineRegistry() {
    std::map<std::string, std::string> all;
    WalkKey(HKEY_LOCAL_MACHINE, L"Software", all);
    WalkKey(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", all);
    return all;
}

// The names whose values differ between two snapshots.
inline std::vector<std::string> Changed(const std::map<std::string, std::string>& was,
                                 const std::map<std::string, std::string>& now) {
    std::vector<std::string> changed;
    for (const auto& [name, value] : was)
        if (!now.count(name) || now.at(name) != value) changed.push_back(name);
    for (const auto& [name, value] : now)
        if (!was.count(name)) changed.push_back(name);
    return changed;
}

// What the started application says of the installation it found.
inline std::string ApplicationText(HWND app) {
    for (HWND child : Descendants(app))
        if (ClassOf(child) == "Static") return TextOf(child);
    return "";
}

// The application started from a shell link, as the shell starts it.
inline HWND StartFromLink(const std::string& file) {
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Wide(file).data(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
        return nullptr;
    return FindStartedApplication(kWait);
}

}  // namespace wt::e2e
