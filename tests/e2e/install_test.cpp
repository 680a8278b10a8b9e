// Whole installs of the real setup exe under Wine, driven like a user: through
// the wizard, the install, its messages, and the finish.
#include "loopback_server.h"  // winsock2.h must come before windows.h

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <sddl.h>

#include <cstring>
#include <cwchar>
#include <atomic>
#include <memory>
#include <functional>
#include <thread>
#include <map>
#include <string>
#include <vector>

#include "driver.h"
#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"
#include "wrentide_setup/engine/journal.h"
#include "wrentide_setup/system/registry.h"
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

namespace wt::e2e {
namespace {

const char kExpectedRequest[] =
    "GET /wrentide/nstall.php HTTP/1.1\r\n"
    "Host: localhost\r\n"
    "Accept: text/html, */*\r\n"
    "Accept-Encoding: identity\r\n"
    "User-Agent: WrenTide Statstics Tracking\r\n"
    "\r\n";
using test::kSettings, test::kUninstall;
const char kTypedParent[] = "C:\\\u0141\u00F3d\u017A \u03A9";

std::string RegValue(const char* key, const char* name, REGSAM view = 0) {
    return test::ReadBack(key, name, HKEY_LOCAL_MACHINE, view).text;
}

// The names in folder that match pattern, "." and ".." left out.
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

// Copies of the uninstaller left in folders of their own in the temporary
// folder, to go at the next start.
std::vector<std::string> UninstallerCopies() {
    const std::string temp = TempFolder();
    std::vector<std::string> copies;
    for (const std::string& folder : NamesIn(temp, "WrenTide-uninstall-*"))
        if (test::PathExists(temp + "\\" + folder + "\\uninstall.exe")) copies.push_back(temp + "\\" + folder + "\\uninstall.exe");
    return copies;
}

// Whether the system is to delete the file at its next start.
bool RemovedAtNextStart(const std::string& path) {
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

Unattended RunUnattended(const std::string& commandLine) {
    Process process = Process::FromCommandLine(commandLine);
    Unattended run;
    const DWORD start = GetTickCount();
    while (!process.WaitExit(5, &run.code) && GetTickCount() - start < 120000)
        run.windowSeen |= WaitForWindow(process.Id(), nullptr, nullptr, 0, true) != nullptr;
    return run;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

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

std::string UserName() {
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
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
        RegDeleteTreeA(HKEY_CURRENT_USER, kUninstall);
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
        ASSERT_TRUE(run.Install(run.Control("Button", "&Re-Install") ? "&Re-Install" : "&Install"));
        ASSERT_EQ(run.Status(), "Installation Complete");
        Click(run.Control("Button", "Finished"));
        ASSERT_TRUE(run.process().WaitExit(kWait));
    }
    // The uninstaller started as the installed-programs list starts it, and
    // its first message box.
    HWND StartUninstaller(std::unique_ptr<Process>& uninstaller, const char* expectedText) {
        uninstaller = std::make_unique<Process>(Process::FromCommandLine(RegValue(kUninstall, "UninstallString")));
        HWND box = WaitForWindow(uninstaller->Id(), "#32770", "WrenTide Uninstall", kWait, true);
        if (box) { EXPECT_EQ(MessageText(box), expectedText); }
        return box;
    }
    // "Yes" to the uninstaller and OK to its last word; then its copy in the
    // temporary folder deletes it and is due to go itself at the next start.
    void UninstallAll(const std::string& data) {
        const std::string command = RegValue(kUninstall, "UninstallString");
        const std::string program = command.substr(1, command.find('"', 1) - 1);
        std::unique_ptr<Process> uninstaller;
        HWND box = StartUninstaller(uninstaller, "Remove WrenTide and all of its components?");
        ASSERT_NE(box, nullptr) << "the recorded command line did not start the uninstaller";
        ASSERT_TRUE(Answer(box, "&Yes"));
        box = WaitForWindow(uninstaller->Id(), "#32770", "WrenTide Uninstall", kWait, true);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageText(box), "WrenTide was removed from your computer.");
        ASSERT_TRUE(Answer(box, "OK"));
        DWORD code = 99;
        EXPECT_TRUE(uninstaller->WaitExit(kWait, &code));
        EXPECT_EQ(code, 0u);
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

TEST_F(Install, TheTypicalRunFromStartToFinish) {
    test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    SetupRun run;
    ASSERT_NE(run.Form(), nullptr);
    EXPECT_EQ(TextOf(run.Edit()), places_.program);
    ASSERT_TRUE(run.ToOptions(true, true));
    ASSERT_TRUE(run.Install("&Install", {}, 'i'));
    EXPECT_TRUE(run.messages.empty()) << run.messages.front();
    EXPECT_EQ(run.Status(), "Installation Complete");
    EXPECT_EQ(run.Position(), 100);
    EXPECT_FALSE(IsWindowEnabled(run.Control("Button", "&Install")));

    ExpectInstalledFiles(places_.program, places_.data);
    ExpectRegistration(places_.program, "On");
    ExpectLinks(places_.program, true);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], kExpectedRequest);

    Click(run.Control("Button", "Finished"));
    DWORD code = 99;
    EXPECT_TRUE(run.process().WaitExit(kWait, &code));
    EXPECT_EQ(code, 0u);
    HWND app = FindStartedApplication(kWait);
    ASSERT_NE(app, nullptr) << "the application was not started";
    // Started without a folder of its own: it runs where setup ran.
    char here[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, here);
    EXPECT_EQ(TextOf(app), std::string("WrenTide - ") + here);
    CloseStartedApplication(app);
}

TEST_F(Install, AReInstallReplacesEveryFileAndKeepsModeOff) {
    {
        SetupRun first;
        ASSERT_TRUE(first.ToOptions(false, false));
        ASSERT_TRUE(first.Install("&Install"));
        ASSERT_EQ(first.Status(), "Installation Complete");
        Click(first.Control("Button", "Finished"));
        ASSERT_TRUE(first.process().WaitExit(kWait));
    }
    for (const PayloadFile& f : kFiles)
        test::WriteFileBytes((f.inProgramFolder ? places_.program : places_.data) + "\\" + f.name, "stale");
    test::SetText(kSettings, "ModeIs", "Off");
    // Old links that cannot be set aside stay as they are, without a word.
    const std::string readOnly = places_.menu + "\\WrenTide.lnk";
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    UniqueHandle held(CreateFileA((places_.menu + "\\Uninstall.lnk").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    ASSERT_TRUE(held.Valid());

    SetupRun again;
    ASSERT_NE(again.Control("Button", "&Re-Install"), nullptr);
    ASSERT_TRUE(again.ToOptions(false, false));
    ASSERT_TRUE(again.Install("&Re-Install", {}, 'r'));
    EXPECT_EQ(again.Status(), "Installation Complete");
    held.Close();
    EXPECT_TRUE(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    ExpectInstalledFiles(places_.program, places_.data);
    ExpectRegistration(places_.program, "Off");
    ExpectLinks(places_.program, false);
    Click(again.Control("Button", "Finished"));
    EXPECT_TRUE(again.process().WaitExit(kWait));
    EXPECT_EQ(FindStartedApplication(500), nullptr);
}

TEST_F(Install, ALockedProgramFailsTheInstallAtItsStep) {
    CreateDirectoryA(places_.program.c_str(), nullptr);
    const std::string exe = places_.program + "\\WrenTide.exe";
    test::WriteFileBytes(exe, "running");
    HANDLE running = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);

    SetupRun run;
    // Setup sees the program running; the user carries on regardless.
    HWND active = WaitForWindow(run.process().Id(), "#32770", "Information", kWait, true);
    ASSERT_NE(active, nullptr);
    PostMessageA(active, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(run.ToOptions(false, true));
    ASSERT_TRUE(run.Install("Install &Now", {IDCANCEL}));
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], "Install Failed!  Try installing as administrator.");
    EXPECT_EQ(run.Position(), 20);
    EXPECT_EQ(run.Status(), "Installation Failed");
    EXPECT_FALSE(test::KeyExists(kSettings));
    EXPECT_FALSE(test::KeyExists(kUninstall));
    EXPECT_FALSE(test::PathExists(places_.menu + "\\WrenTide.lnk"));
    // A failed first install takes back what it wrote; the running program stays.
    EXPECT_FALSE(test::PathExists(places_.vendor));
    EXPECT_EQ(test::ReadFileBytes(exe), "running");
    CloseHandle(running);

    Click(run.Control("Button", "Close"));
    EXPECT_TRUE(run.process().WaitExit(kWait));
    EXPECT_EQ(FindStartedApplication(1000), nullptr) << "a failed install starts nothing";
}

TEST_F(Install, AProgramFolderWhoseParentIsMissingIsReportedTwice) {
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    const std::string typed = "C:\\wt-e2e\\missing\\WrenTide";
    HWND edit = run.Edit();
    // The user clicks into the box, types, and goes to the install button.
    PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(edit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Sleep(200);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    ASSERT_TRUE(run.Install("&Install", {IDCANCEL, IDCANCEL}));
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], "Install Failed! Unable to create Install Folder.");
    EXPECT_EQ(run.messages[1], "Install Failed!  Try installing as administrator.");
    EXPECT_FALSE(test::PathExists(places_.vendor)) << "taken back with the failed install";
    EXPECT_FALSE(test::PathExists(typed));
    EXPECT_EQ(run.Status(), "Installation Failed");
    EXPECT_EQ(run.Position(), 20);
    Click(run.Control("Button", "Close"));
    EXPECT_TRUE(run.process().WaitExit(kWait));
}

// The browser opens on the program folder when it exists; the folder the
// user picks there becomes the box's text and hint, and takes the files.
TEST_F(Install, TheFolderChosenInTheBrowserTakesTheFiles) {
    const std::string picked = "C:\\wt-e2e\\picked";
    for (const std::string& folder : {places_.program, std::string("C:\\wt-e2e"), picked})
        CreateDirectoryA(folder.c_str(), nullptr);
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    HWND browser = OpenFolderBrowser(run.Form());
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(AnswerFolderBrowser(run.Form(), browser, IDOK));
    EXPECT_EQ(TextOf(run.Edit()), places_.program) << "the browser did not open on the program folder";

    ASSERT_NE(browser = OpenFolderBrowser(run.Form()), nullptr);
    BrowseTo(browser, picked);
    ASSERT_TRUE(AnswerFolderBrowser(run.Form(), browser, IDOK));
    EXPECT_EQ(TextOf(run.Edit()), picked);
    EXPECT_EQ(HintOf(run.Form(), run.Edit()), picked);
    ASSERT_TRUE(run.Install("&Install"));
    EXPECT_EQ(run.Status(), "Installation Complete");
    ExpectInstalledFiles(picked, places_.data);
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), picked);
    ExpectLinks(picked, false);
    Click(run.Control("Button", "Finished"));
    EXPECT_TRUE(run.process().WaitExit(kWait));
}

TEST_F(Install, EnterPressesTheFocusedButtonAndNothingElse) {
    SetupRun run;
    ASSERT_NE(run.Form(), nullptr);
    PressEnter(run.Form());  // Welcome: the next button has the focus
    HWND accept = run.Control("Button", "I have read and agree with the EULA ");
    ASSERT_TRUE(WaitUntil([&] { return OwnVisible(GetParent(accept)); }, 5000)) << "Enter did not press Next";
    HWND memo = Focused(run.Form());
    ASSERT_EQ(GetWindowLongA(memo, GWL_STYLE) & ES_MULTILINE, ES_MULTILINE) << "the licence text has the focus";
    for (int i = 0; i < 5; ++i) PressEnter(run.Form());
    Sleep(300);
    DWORD_PTR first = 1;
    SendMessageTimeoutA(memo, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 5000, &first);
    EXPECT_EQ(first, 0u) << "Enter scrolled the licence";
    EXPECT_TRUE(OwnVisible(GetParent(accept)));
    EXPECT_FALSE(run.Checked("I have read and agree with the EULA "));

    Click(accept);  // the options page gives the install button the focus
    ASSERT_TRUE(WaitUntil([&] { return OwnVisible(GetParent(run.Edit())); }, 5000));
    ASSERT_TRUE(run.Install("&Install", {}, '\r'));
    EXPECT_EQ(run.Status(), "Installation Complete");
    PressEnter(run.Form());  // Done: "Finished" has the focus
    DWORD code = 99;
    EXPECT_TRUE(run.process().WaitExit(kWait, &code)) << "Enter did not press Finished";
    EXPECT_EQ(code, 0u);
}

// A used installation's preferences, and a Start-menu folder that cannot be
// made (a file holds its name): the install still completes, quietly without
// menu links; record 0 alone takes the work folder. Then the title-bar close
// ends setup without starting the program, although the box is ticked.
TEST_F(Install, PreferencesKeptAndNoMenuFolderThenTheTitleBarCloseStartsNothing) {
    CreateDirectoryA(places_.vendor.c_str(), nullptr);
    CreateDirectoryA(places_.data.c_str(), nullptr);
    std::string prefs(3 * 272, '\0');
    for (size_t i = 0; i < prefs.size(); ++i) prefs[i] = static_cast<char>(i * 7 + 1);
    test::WriteFileBytes(places_.data + "\\WrenTide.tub", prefs);
    test::WriteFileBytes(places_.menu, "not a folder");

    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, true));
    ASSERT_TRUE(run.Install("&Install"));
    EXPECT_TRUE(run.messages.empty()) << run.messages.front();
    EXPECT_EQ(run.Status(), "Installation Complete");
    EXPECT_EQ(run.Position(), 100);
    EXPECT_EQ(test::ReadFileBytes(places_.menu), "not a folder");
    EXPECT_EQ(RegValue(kUninstall, "UninstallString"), Quoted(places_.program + "\\uninstall.exe"));

    std::string expected = prefs;
    const std::string work = RegValue(kSettings, "WrkPth");
    expected[0] = static_cast<char>(work.size());
    expected.replace(1, work.size(), work);
    EXPECT_EQ(test::ReadFileBytes(places_.data + "\\WrenTide.tub"), expected);

    PostMessageA(run.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 99;
    EXPECT_TRUE(run.process().WaitExit(kWait, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(FindStartedApplication(1000), nullptr);
    DeleteFileA(places_.menu.c_str());
}

TEST_F(Install, CancelBeforeInstallingStartsNothing) {
    SetupRun run;
    ASSERT_TRUE(run.ToOptions(true, true));
    Click(run.Control("Button", "&Cancel"));
    DWORD code = 99;
    EXPECT_TRUE(run.process().WaitExit(kWait, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(FindStartedApplication(1000), nullptr);
    EXPECT_FALSE(test::PathExists(places_.program));
    EXPECT_FALSE(test::KeyExists(kSettings));
}

// The uninstaller, started by its recorded command line from a data folder
// whose path holds blanks: "No" leaves everything; "Yes" removes what setup
// brought, keeps the user's preferences and work, and leaves only its own copy
// in the temporary folder, due to go at the next start. Setup then installs
// again.
TEST_F(Install, TheUninstallerRemovesWhatSetupBroughtAndThenItself) {
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    CreateDirectoryA("C:\\wt-e2e\\Local App Data", nullptr);
    ShellFolderSetting localData("Local AppData", "C:\\wt-e2e\\Local App Data");
    const Places places;
    ASSERT_EQ(places.data, "C:\\wt-e2e\\Local App Data\\tessel-soft\\WrenTide");
    for (const std::string& folder : {places.vendor, places.data, places.work}) CreateDirectoryA(folder.c_str(), nullptr);
    test::WriteFileBytes(places.data + "\\WrenTide.tub", std::string(272, '\0'));
    test::WriteFileBytes(places.work + "\\notes.txt", "the user's own");
    InstallAsUser(true);
    ASSERT_EQ(RegValue(kUninstall, "UninstallString"), Quoted(places_.program + "\\uninstall.exe"));

    std::unique_ptr<Process> uninstaller;
    HWND box = StartUninstaller(uninstaller, "Remove WrenTide and all of its components?");
    ASSERT_NE(box, nullptr) << "the recorded command line did not start the uninstaller";
    ASSERT_TRUE(Answer(box, "&No"));
    DWORD code = 99;
    EXPECT_TRUE(uninstaller->WaitExit(kWait, &code));
    EXPECT_EQ(code, 0u);
    ExpectInstalledFiles(places_.program, places.data);
    EXPECT_TRUE(test::KeyExists(kUninstall));

    UninstallAll(places.data);
    for (const PayloadFile& f : kFiles)
        EXPECT_FALSE(test::PathExists((f.inProgramFolder ? places_.program : places.data) + "\\" + f.name)) << f.name;
    for (const std::string& gone : {places_.program, places_.menu, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_FALSE(test::KeyExists(kSettings));
    EXPECT_FALSE(test::KeyExists(kUninstall));
    EXPECT_EQ(test::ReadFileBytes(places.data + "\\WrenTide.tub").size(), 272u);
    EXPECT_EQ(test::ReadFileBytes(places.work + "\\notes.txt"), "the user's own");
    EXPECT_EQ(NamesIn(places.data, "*"), std::vector<std::string>{"WrenTide.tub"});

    InstallAsUser(false);
    ExpectInstalledFiles(places_.program, places.data);
    test::RemoveTree(places.work);
}

// While WrenTide runs the uninstaller says so and removes nothing until it
// has been closed.
TEST_F(Install, TheUninstallerWaitsForTheRunningProgram) {
    InstallAsUser(false);
    Process app(places_.program + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    std::unique_ptr<Process> uninstaller;
    HWND box = StartUninstaller(uninstaller, "Remove WrenTide and all of its components?");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(Answer(box, "&Yes"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        box = WaitForWindow(uninstaller->Id(), "#32770", "WrenTide Uninstall", kWait, true);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageText(box), "WrenTide is running. Close it, then press Retry.");
        ExpectInstalledFiles(places_.program, places_.data);
        EXPECT_TRUE(test::KeyExists(kSettings));
        if (attempt == 0) { ASSERT_TRUE(Answer(box, "&Retry")); }
    }
    CloseStartedApplication(FindStartedApplication(1000));
    ASSERT_TRUE(app.WaitExit(kWait));
    ASSERT_TRUE(Answer(box, "&Retry"));
    box = WaitForWindow(uninstaller->Id(), "#32770", "WrenTide Uninstall", kWait, true);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "WrenTide was removed from your computer.");
    ASSERT_TRUE(Answer(box, "OK"));
    EXPECT_TRUE(uninstaller->WaitExit(kWait));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
    EXPECT_FALSE(test::KeyExists(kSettings));
}

// With no record of an install there is nothing to remove: it says so and
// ends with exit code 1.
TEST_F(Install, TheUninstallerWithoutARecordSaysSo) {
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string copy = "C:\\wt-e2e\\uninstall.exe";
    test::WriteFileBytes(copy, test::ReadFileBytes(test::BuiltPayloadFile("uninstall.exe")));
    Process uninstaller(copy);
    HWND box = WaitForWindow(uninstaller.Id(), "#32770", "WrenTide Uninstall", kWait, true);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "WrenTide is not installed on this computer.");
    ASSERT_TRUE(Answer(box, "OK"));
    DWORD code = 99;
    EXPECT_TRUE(uninstaller.WaitExit(kWait, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(test::PathExists(copy));
}

// A recorded installation in folders directly under the drive's root: the
// parent of C:\WTData is C:\, not "C:", which names drive C's current folder
// (setup's own, here one on drive C), for setup's check of the data folder
// and for the uninstaller's.
TEST_F(Install, AReInstallIntoFoldersUnderTheRootCompletesAndUninstalls) {
    const std::string program = "C:\\WTProg", data = "C:\\WTData";
    char here[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, here);
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\wt-e2e"));
    struct Back {
        const char* folder;
        ~Back() { SetCurrentDirectoryA(folder); }
    } back{here};
    test::SetText(kSettings, "ProgPth", program);
    test::SetText(kSettings, "DBPth", data);
    ASSERT_NO_FATAL_FAILURE(InstallAsUser(false));
    ExpectInstalledFiles(program, data);
    UninstallAll(data);
    EXPECT_FALSE(test::PathExists(program));
    EXPECT_FALSE(test::PathExists(data));
}

// As a deployment tool runs it: no window, a typed folder, a log of every
// step; then once more with the window's progress and a desktop link.
TEST_F(Install, ASilentInstallShowsNothingLogsEachStepAndExitsZero) {
    test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
    ASSERT_TRUE(server.Listening());
    const std::string folder = "C:\\wt-e2e\\Some Where\\WrenTide", log = "C:\\wt-e2e\\logs\\wt.log";
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    CreateDirectoryA("C:\\wt-e2e\\Some Where", nullptr);
    Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DIR=" + Quoted(folder) + " /LOG=" + Quoted(log));
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    ExpectInstalledFiles(folder, places_.data);
    ExpectRegistration(folder, "On");
    ExpectLinks(folder, false);
    EXPECT_EQ(server.Requests().size(), 1u);
    const std::string text = test::ReadFileBytes(log);
    ASSERT_GT(text.size(), 24u);
    EXPECT_EQ(text.substr(4, 1) + text.substr(7, 1) + text.substr(10, 1) + text.substr(13, 1), "-- :") << text;
    for (const std::string& step : {std::string("/S /DIR="), "Program folder \"" + folder + "\" created",
                                    "Installed \"" + folder + "\\WrenTide.exe\" (progress 20)",
                                    "Installed \"" + places_.data + "\\uninstall.exe\" (progress 95)",
                                    std::string("Recorded the installation in the registry"),
                                    "Shortcut \"" + places_.menu + "\\Uninstall.lnk\" made",
                                    "Statistics request: localhost:" + std::to_string(WT_STATS_PORT) + " answered 200"})
        EXPECT_NE(text.find(step), std::string::npos) << step << " not in the log:\n" << text;
    EXPECT_EQ(text.substr(text.rfind("Exit code")), "Exit code 0: WrenTide is installed\r\n");

    run = RunUnattended(Quoted(LoopbackSetupExe()) + " -silent -desktop /DIR=" + Quoted(folder));
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(run.windowSeen) << "/SILENT shows the install";
    ExpectLinks(folder, true);
}

// Nothing is touched, and the exit code and the log say why.
TEST_F(Install, UnattendedRunsThatCannotInstallChangeNothing) {
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\refused.log";
    struct Case {
        const char* label;
        std::string switches;
        DWORD code;
        const char* why;
    } cases[] = {
        {"unknown switch", "/S /LOG=" + Quoted(log) + " /BOGUS", 1639, "Unknown switch: /BOGUS"},
        {"contradicting switches", "/SILENT /VERYSILENT /LOG=" + Quoted(log), 1639, "contradict each other"},
        {"WrenTide active", "/S /LOG=" + Quoted(log), 1603, "WrenTide seems to be active."},
        {"another setup", "/VERYSILENT /LOG=" + Quoted(log), 1618, "WrenTide setup is already running."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<Process> first;
        UniqueHandle held;
        if (c.code == 1603) {
            // Not recorded, but the program is there and in use.
            CreateDirectoryA(places_.program.c_str(), nullptr);
            test::WriteFileBytes(places_.program + "\\WrenTide.exe", "running");
            held = UniqueHandle(CreateFileA((places_.program + "\\WrenTide.exe").c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        }
        if (c.code == 1618) {
            first = std::make_unique<Process>(LoopbackSetupExe());
            ASSERT_NE(WaitForWindow(first->Id(), "TForm1", "WrenTide Installer", kWait, true), nullptr);
        }
        const Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + " " + c.switches);
        EXPECT_EQ(run.code, c.code);
        EXPECT_FALSE(run.windowSeen);
        EXPECT_FALSE(test::KeyExists(kSettings));
        EXPECT_FALSE(test::PathExists(places_.data));
        EXPECT_EQ(test::PathExists(places_.program), c.code == 1603);
        // A refused line writes its log to the default place, not where it says.
        const std::vector<std::string> defaults = NamesIn(TempFolder(), "WrenTide-Setup-*.log");
        if (c.code == 1639) {
            EXPECT_FALSE(test::PathExists(log));
            ASSERT_EQ(defaults.size(), 1u);
        }
        const std::string text = test::ReadFileBytes(c.code == 1639 ? TempFolder() + "\\" + defaults[0] : log);
        EXPECT_NE(text.find(c.why), std::string::npos) << text;
        EXPECT_NE(text.find("Exit code " + std::to_string(c.code) + ": "), std::string::npos) << text;
        if (first) {
            TerminateProcess(first->Handle(), 0);
            first->WaitExit(kWait);
        }
        held.Close();
        Clean();
    }
    // Without /LOG the log goes to the temporary folder.
    const std::vector<std::string> before = NamesIn(TempFolder(), "WrenTide-Setup-*.log");
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DIR").code, 1639u);
    const std::vector<std::string> after = NamesIn(TempFolder(), "WrenTide-Setup-*.log");
    EXPECT_EQ(after.size(), before.size() + 1);
}

// Names of the lock that a program of the user's made first, today's and
// the locks' own with the Users group as owner, block no setup of either
// scope; a setup of one user's blocks another of that user's, of either scope.
TEST_F(Install, OnlyASetupHoldsTheLock) {
    HANDLE opened = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened));
    const UniqueHandle token(opened);
    BYTE user[256];
    DWORD size = 0;
    char* sid = nullptr;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, user, sizeof user, &size));
    ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid));
    const std::string userLock = std::string("Global\\WrenTideSetup-User-") + sid + "-0";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR strangers = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BUD:(A;;GA;;;WD)", SDDL_REVISION_1, &strangers,
                                                                     nullptr));
    SECURITY_ATTRIBUTES security = {sizeof security, strangers, FALSE};
    std::vector<UniqueHandle> squats;
    for (const std::string& name : {std::string("Global\\WrenTideSetup"), std::string("Global\\WrenTideSetup-Machine-0"), userLock}) {
        squats.emplace_back(CreateMutexA(&security, FALSE, name.c_str()));
        ASSERT_TRUE(squats.back().Valid()) << name;
    }
    LocalFree(strangers);
    for (const char* scope : {" /ALLUSERS", " /CURRENTUSER"})
        EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S").code, 0u) << scope;
    squats.clear();
    Clean();

    SetupRun first(LoopbackSetupExe(), "/CURRENTUSER");
    ASSERT_NE(first.Form(), nullptr);
    for (const char* scope : {" /ALLUSERS", " /CURRENTUSER"})
        EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S").code, 1618u) << scope;
    Click(first.Control("Button", "&Cancel"));
    EXPECT_TRUE(first.process().WaitExit(kWait));
}

// With TMP and TEMP naming a folder that is missing, under the system
// folder: an unattended run makes nothing there, installs, and says on its
// standard error why it writes no log.
TEST_F(Install, AMissingTemporaryFolderIsNeverMade) {
    const std::string missing = "C:\\windows\\wt-e2e-missing-temp", errors = "C:\\wt-e2e\\errors.txt";
    test::RemoveTree(missing);  // as a failed run may have left it
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle file(CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    DWORD code = 99;
    {
        Environment tmp("TMP", missing), temp("TEMP", missing);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = startup.hStdOutput = file.Get();
        PROCESS_INFORMATION started = {};
        std::vector<wchar_t> line = Wide(Quoted(LoopbackSetupExe()) + " /S");
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started));
        const UniqueHandle thread(started.hThread), process(started.hProcess);
        ASSERT_EQ(WaitForSingleObject(process.Get(), 120000), WAIT_OBJECT_0);
        GetExitCodeProcess(process.Get(), &code);
    }
    file.Close();
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(test::PathExists(missing));
    ExpectInstalledFiles(places_.program, places_.data);
    EXPECT_NE(test::ReadFileBytes(errors).find("WrenTide Setup writes no log: the temporary folder \"" + missing),
              std::string::npos) << test::ReadFileBytes(errors);
}

// The uninstaller as deployment tools run it: no question, no message; once
// its exit code arrives everything is gone but its own file in the program
// folder, which its copy deletes after it. A program that a user put over the
// data folder's uninstaller never runs.
TEST_F(Install, ASilentUninstallIsDoneWhenItEnds) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DESKTOP").code, 0u);
    const std::string quiet = RegValue(kUninstall, "QuietUninstallString");
    EXPECT_EQ(quiet, Quoted(places_.program + "\\uninstall.exe") + " /S");
    {
        Process app(places_.program + "\\WrenTide.exe");
        ASSERT_NE(FindStartedApplication(kWait), nullptr);
        const Unattended running = RunUnattended(quiet);
        EXPECT_EQ(running.code, 1603u) << "WrenTide runs";
        EXPECT_FALSE(running.windowSeen);
        ExpectInstalledFiles(places_.program, places_.data);
        CloseStartedApplication(FindStartedApplication(1000));
        ASSERT_TRUE(app.WaitExit(kWait));
    }
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    ASSERT_TRUE(CopyFileA(test::FromHost(WT_MARKER_EXE).c_str(), (places_.data + "\\uninstall.exe").c_str(), FALSE));
    const Unattended run = RunUnattended(quiet);
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    EXPECT_FALSE(test::PathExists("C:\\wt-e2e\\marker.ran")) << "the data folder's file ran";
    for (const PayloadFile& f : kFiles)
        EXPECT_FALSE(test::PathExists((f.inProgramFolder ? places_.program : places_.data) + "\\" + f.name)) << f.name;
    for (const std::string& gone : {places_.data, places_.menu, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_FALSE(test::KeyExists(kSettings));
    EXPECT_FALSE(test::KeyExists(kUninstall));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";

    const std::string copy = "C:\\wt-e2e\\uninstall.exe";
    test::WriteFileBytes(copy, test::ReadFileBytes(test::BuiltPayloadFile("uninstall.exe")));
    EXPECT_EQ(RunUnattended(Quoted(copy) + " /s").code, 1605u) << "nothing is installed";
}

// A user's program that replaces every new program in the temporary folder,
// and in each folder the uninstaller makes there, as fast as it can, as a
// Windows program does (copies, renames over, under the system's sharing
// rules): through a few uninstalls for everyone, its program never runs, and
// everything is removed all the same.
TEST_F(Install, NoProgramPutInTheCopysPlaceRuns) {
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string marker = test::FromHost(WT_MARKER_EXE), staged = "C:\\wt-e2e\\staged.exe";
    std::atomic<bool> stop{false};
    std::atomic<int> replaced{0};
    std::thread racer([&] {
        const std::string temp = TempFolder();
        while (!stop) {
            std::vector<std::string> programs;
            for (const std::string& name : NamesIn(temp, "*.exe")) programs.push_back(temp + "\\" + name);
            for (const std::string& folder : NamesIn(temp, "WrenTide-uninstall-*"))
                for (const std::string& name : NamesIn(temp + "\\" + folder, "*"))
                    programs.push_back(temp + "\\" + folder + "\\" + name);
            for (const std::string& program : programs) {
                if (CopyFileA(marker.c_str(), program.c_str(), FALSE)) ++replaced;
                if (CopyFileA(marker.c_str(), staged.c_str(), FALSE) &&
                    MoveFileExA(staged.c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING))
                    ++replaced;
            }
        }
    });
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
        const std::string log = "C:\\wt-e2e\\uninstall.log";
        EXPECT_EQ(RunUnattended(RegValue(kUninstall, "QuietUninstallString") + " /LOG=" + Quoted(log)).code, 0u);
        EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait))
            << "the copy's part:\n" << test::ReadFileBytes(log);
        EXPECT_FALSE(test::KeyExists(kSettings));
    }
    stop = true;
    racer.join();
    EXPECT_FALSE(test::PathExists("C:\\wt-e2e\\marker.ran"))
        << test::ReadFileBytes("C:\\wt-e2e\\marker.ran") << " ran; " << replaced << " replaced";
}

// The host's own programs (ln, rm, mount), which Wine starts as it starts any program.
void Host(const char* program, const std::string& arguments) {
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

std::string Unix(const std::string& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(Wide(path).data()) : nullptr;
    std::string name = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return name;
}

std::string FinalPath(const std::string& path) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    UniqueHandle file(CreateFileW(Wide(path).data(), 0, share, nullptr, OPEN_EXISTING, flags, nullptr));
    wchar_t final[MAX_PATH] = L"";
    if (file.Valid()) GetFinalPathNameByHandleW(file.Get(), final, MAX_PATH, 0);
    return Utf8(final);
}

// A host symbolic link at link to target, as a user could plant it. Wine
// shows it as a plain file or folder: every call by name acts on the target.
void PlantHostLink(const std::string& target, const std::string& link) {
    DeleteFileW(Wide(link).data());  // setup's own file, left by the install
    Host("Z:\\bin\\ln", "-s \"" + Unix(target) + "\" \"" + Unix(link) + "\"");
    // Wine hands back no exit of a host program: the link is awaited.
    std::string final;
    ASSERT_TRUE(WaitUntil([&] { return (final = FinalPath(link)) == "\\\\?\\" + target; }, 5000))
        << "no link planted at " << link << " (" << Unix(link) << "): " << final;
}

void RemoveHostLink(const std::string& link, const std::string& target) {
    Host("Z:\\bin\\rm", "-f \"" + Unix(link) + "\"");
    WaitUntil([&] { return FinalPath(link) != "\\\\?\\" + target; }, 5000);
}

// The loopback setup with faults on call: WT_FAIL_AFTER or WT_KILL_AFTER
// names the step (a payload file's name, "registration", "shortcuts").
std::string FaultsSetupExe() { return test::FromHost(WT_FAULTS_SETUP_EXE); }


// Every file, link and registry value of an installation, byte for byte.
std::map<std::string, std::string> Snapshot(const Places& places) {
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
std::vector<std::string> Leftovers(const Places& places) {
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

// A re-install that fails after any step that can fail takes it all back.
TEST_F(Rollback, AFailedReInstallLeavesThePreviousInstallationAsItWas) {
    ASSERT_NO_FATAL_FAILURE(MakeOldInstallation());
    std::vector<std::string> steps;
    for (const wt::PayloadFile& row : PayloadTable) steps.push_back(row.fileName);
    steps.insert(steps.end(), {"registration", "shortcuts"});
    for (const std::string& step : steps) {
        SCOPED_TRACE(std::string("a failure after ") + step);
        Environment fault("WT_FAIL_AFTER", step);
        SetupRun run(FaultsSetupExe());
        ASSERT_TRUE(run.ToOptions(true, false));
        ASSERT_TRUE(run.Install("&Re-Install", {IDCANCEL}));
        EXPECT_EQ(run.messages, std::vector<std::string>{"Install Failed!  Try installing as administrator."});
        EXPECT_EQ(run.Status(), "Installation Failed");
        ExpectOldInstallation();
        Click(run.Control("Button", "Close"));
        EXPECT_TRUE(run.process().WaitExit(kWait));
    }
}

TEST_F(Rollback, AFailedFirstInstallLeavesNothing) {
    Environment fault("WT_FAIL_AFTER", "\\WrenTide.exe");
    SetupRun run(FaultsSetupExe());
    ASSERT_TRUE(run.ToOptions(true, false));
    ASSERT_TRUE(run.Install("&Install", {IDCANCEL}));
    EXPECT_EQ(run.Position(), 20);
    for (const std::string& gone : {places_.program, places_.vendor, places_.menu, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_FALSE(test::KeyExists(kSettings));
    Click(run.Control("Button", "Close"));
    EXPECT_TRUE(run.process().WaitExit(kWait));
}

// A re-install killed half way: the next start of setup, or of the
// uninstaller, puts the previous installation back before it shows anything.
TEST_F(Rollback, AKilledReInstallIsUndoneAtTheNextStart) {
    ASSERT_NO_FATAL_FAILURE(MakeOldInstallation());
    for (const char* step : {"\\wscb.rez", "registration"}) {
        SCOPED_TRACE(std::string("killed after ") + step);
        {
            Environment kill("WT_KILL_AFTER", step);
            SetupRun run(FaultsSetupExe());
            ASSERT_TRUE(run.ToOptions(true, false));
            Click(run.Control("Button", "&Re-Install"));
            DWORD code = 0;
            ASSERT_TRUE(run.process().WaitExit(60000, &code));
            EXPECT_EQ(code, 9u);
        }
        ASSERT_TRUE(test::KeyExists(kJournal)) << "the kill left no journal";
        if (step == std::string("registration")) {
            // The new uninstaller, which the kill left in place, finds the journal.
            std::unique_ptr<Process> uninstaller;
            HWND box = StartUninstaller(uninstaller, "Remove WrenTide and all of its components?");
            ASSERT_NE(box, nullptr);
            ExpectOldInstallation();
            ASSERT_TRUE(Answer(box, "&No"));
            EXPECT_TRUE(uninstaller->WaitExit(kWait));
        } else {
            SetupRun next;
            ASSERT_NE(next.Form(), nullptr);
            ExpectOldInstallation();
            Click(next.Control("Button", "&Cancel"));
            EXPECT_TRUE(next.process().WaitExit(kWait));
        }
    }
}

// A shell link as the shell reads it: its bytes hold the target's file times,
// which every run of setup renews.
std::map<std::string, std::string> LinksAsTargets(std::map<std::string, std::string> snapshot) {
    for (auto& [name, bytes] : snapshot) {
        test::Link link;
        if (name.size() > 4 && name.substr(name.size() - 4) == ".lnk" && test::LoadLink(name, link))
            bytes = "a link to " + link.target + " in " + link.workingFolder;
    }
    return snapshot;
}

// Killed at the commit point, after each set-aside copy went, or before the
// journal went: the next start finishes the commit, and the new installation
// stands whole, as a run that was never killed leaves it.
TEST_F(Rollback, AKillDuringTheCommitLeavesTheNewInstallationWhole) {
    ASSERT_NO_FATAL_FAILURE(MakeOldInstallation());
    const std::string reinstall = " /S /DESKTOP";
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + reinstall).code, 0u);
    const std::map<std::string, std::string> installed = LinksAsTargets(Snapshot(places_));
    // Seven files, three links and the preferences' copy are set aside.
    std::vector<std::string> points = {"commit mark"};
    for (int copy = 1; copy <= 11; ++copy) points.push_back("set-aside copy gone " + std::to_string(copy));
    points.push_back("journal");
    for (const std::string& point : points) {
        SCOPED_TRACE("killed after " + point);
        MakeItOld(places_);
        {
            Environment kill("WT_KILL_AFTER", point);
            ASSERT_EQ(RunUnattended(Quoted(FaultsSetupExe()) + reinstall).code, 9u) << "not killed there";
        }
        SetupRun next;
        ASSERT_NE(next.Form(), nullptr);
        ExpectSame(LinksAsTargets(Snapshot(places_)), installed, places_);
        Click(next.Control("Button", "&Cancel"));
        EXPECT_TRUE(next.process().WaitExit(kWait));
    }
}

// The journal names the folder it installed into: a re-install into a typed
// folder (with its closing backslash) that is killed is taken back too.
TEST_F(Rollback, AKilledReInstallIntoATypedFolderIsUndone) {
    Places typed = places_;
    typed.program = "C:\\WT1";
    const std::string setup = " /S /DESKTOP /D=C:\\WT1\\";
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + setup).code, 0u);
    MakeItOld(typed);
    {
        Environment kill("WT_KILL_AFTER", "\\ReadMe.txt");
        ASSERT_EQ(RunUnattended(Quoted(FaultsSetupExe()) + setup).code, 9u);
    }
    ASSERT_TRUE(test::KeyExists(kJournal));
    SetupRun next;
    ASSERT_NE(next.Form(), nullptr);
    ExpectOldInstallation(typed);
    Click(next.Control("Button", "&Cancel"));
    EXPECT_TRUE(next.process().WaitExit(kWait));
}

// The data folder is the user's to write, and setup runs elevated: no
// journal there is read, and one in setup's own place whose folder a user
// has since turned into a link is refused whole, with the reason in the log.
class UsersJournal : public Install {
protected:
    void TearDown() override {
        RemoveHostLink(link_, outside_);
        Install::TearDown();
    }
    // A line of the journal file setup once kept, for a value.
    static std::string ValueLine(const char* key, const char* name, const std::string& text) {
        std::string hex;
        for (wchar_t c : std::vector<wchar_t>(Wide(text)))
            for (int b : {c & 0xFF, c >> 8}) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
        return std::string("value\tlocalmachine\t") + key + "\t" + name + "\t1\t1\t" + hex + "\r\n";
    }
    const std::string outside_ = "C:\\wt-e2e\\outside", victim_ = outside_ + "\\victim.txt";
    const std::string link_ = places_.data + "\\j";
};

TEST_F(UsersJournal, SteersNothingThatSetupDeletesInstallsIntoOrRecords) {
    const std::string setup = Quoted(LoopbackSetupExe()) + " /S";
    ASSERT_EQ(RunUnattended(setup).code, 0u);
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    CreateDirectoryA(outside_.c_str(), nullptr);
    test::WriteFileBytes(victim_, "the user's");
    // Yesterday's journal file, planted with an entry behind a link and the
    // values that would steer the install and the uninstall command.
    const std::string uninstaller = places_.program + "\\uninstall.exe";
    CreateDirectoryA(link_.c_str(), nullptr);
    const std::string wasFolder = FinalPath(link_);
    RemoveDirectoryA(link_.c_str());
    ASSERT_NO_FATAL_FAILURE(PlantHostLink(outside_, link_));
    test::WriteFileBytes(places_.data + "\\setup.journal",
                         "WrenTide setup journal 1\r\nwrote\t" + link_ + "\\victim.txt\r\n" +
                             ValueLine("\\Software\\WrenTide", "ProgPth", "C:\\windows") +
                             ValueLine(wt::kUninstallKey, "UninstallString", victim_) +
                             ValueLine(wt::kUninstallKey, "QuietUninstallString", victim_));
    ASSERT_EQ(RunUnattended(setup).code, 0u);
    EXPECT_EQ(test::ReadFileBytes(victim_), "the user's");
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), places_.program);
    EXPECT_EQ(RegValue(kUninstall, "UninstallString"), Quoted(uninstaller));
    EXPECT_EQ(RegValue(kUninstall, "QuietUninstallString"), Quoted(uninstaller) + " /S");
    EXPECT_FALSE(test::PathExists("C:\\windows\\WrenTide.exe"));

    // In setup's own place, a record of a file in a folder that was a plain
    // one when it was written, and is now a link elsewhere.
    JournalEntry wrote;
    wrote.change = Change::Wrote;
    wrote.path = link_ + "\\victim.txt";
    wrote.folder = wasFolder;
    Journal(kLocalMachine).Append(wrote);
    const std::string log = "C:\\wt-e2e\\refused.log";
    EXPECT_EQ(RunUnattended(setup + " /LOG=" + Quoted(log)).code, 1603u);
    EXPECT_EQ(test::ReadFileBytes(victim_), "the user's");
    EXPECT_TRUE(test::KeyExists(kJournal)) << "the refused journal went";
    const std::string text = test::ReadFileBytes(log);
    EXPECT_NE(text.find("was refused: \"" + link_ + "\" leads to \"\\\\?\\" + outside_ + "\""), std::string::npos)
        << text;
    EXPECT_NE(text.find("Install failed: The journal of an earlier install"), std::string::npos) << text;
    ExpectInstalledFiles(places_.program, places_.data);
}

// A drive that holds the installation but not a second copy of its program
// folder beside it: the re-install fails before it changes anything, and the
// log names the drive and the bytes. A tmpfs of one and a half program
// folders (the built files in 4 KB clusters) is the drive.
class SmallDrive : public Rollback {
protected:
    void SetUp() override {
        Install::SetUp();
        char prefix[MAX_PATH] = "";
        ASSERT_TRUE(GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix)) << "not run through wine-run";
        // Wine hands back no exit of a host program: each step is awaited.
        const std::string folder = TempFolder() + "\\wt-small-drive";
        mount_ = Unix(folder);
        device_ = std::string(prefix) + "/dosdevices/w:";
        Host("Z:\\bin\\mkdir", "-p \"" + mount_ + "\"");
        ASSERT_TRUE(WaitUntil([&] { return test::PathExists(folder); }, 5000));
        unsigned long long program = 0;
        for (const PayloadFile& f : kFiles)
            if (f.inProgramFolder || std::string(f.name) == "uninstall.exe")
                program += (test::ReadFileBytes(test::BuiltPayloadFile(f.name)).size() + 4095) / 4096 * 4096;
        size_ = (program * 3 / 2 + 4095) / 4096 * 4096;
        Host("Z:\\bin\\mount", "-t tmpfs -o size=" + std::to_string(size_ / 1024) + "k wt-small-drive \"" + mount_ + "\"");
        ASSERT_TRUE(WaitUntil([&] { return Size(folder + "\\") == size_; }, 5000)) << "no tmpfs at " << mount_;
        Host("Z:\\bin\\ln", "-sfn \"" + mount_ + "\" \"" + device_ + "\"");
        ASSERT_TRUE(WaitUntil([&] { return Size("W:\\") == size_; }, 5000)) << "no drive W: at " << device_;
    }
    void TearDown() override {
        Install::TearDown();
        Host("Z:\\bin\\rm", "-f \"" + device_ + "\"");
        WaitUntil([&] { return Size("W:\\") == 0; }, 5000);
        // A process that has only just ended can keep the mount busy for a
        // moment: tried again, and detached lazily as a last resort, so that
        // no mount outlives the test.
        for (int attempt = 0; attempt < 6; ++attempt) {
            Host("Z:\\bin\\umount", (attempt < 5 ? "\"" : "-l \"") + mount_ + "\"");
            if (WaitUntil([&] { return Size(TempFolder() + "\\wt-small-drive\\") != size_; }, 2000)) break;
        }
        Host("Z:\\bin\\rmdir", "\"" + mount_ + "\"");
    }
    // The size of the drive that holds folder, 0 when there is none.
    static unsigned long long Size(const std::string& folder) {
        ULARGE_INTEGER available, total;
        return GetDiskFreeSpaceExA(folder.c_str(), &available, &total, nullptr) ? total.QuadPart : 0;
    }
    unsigned long long size_ = 0;
    std::string mount_, device_;
};

TEST_F(SmallDrive, AReInstallWithoutRoomForBothCopiesChangesNothing) {
    Places small = places_;
    small.program = "W:\\WrenTide";
    const std::string setup = Quoted(LoopbackSetupExe()) + " /S /DESKTOP";
    ASSERT_EQ(RunUnattended(setup + " /D=" + small.program).code, 0u);
    const std::map<std::string, std::string> installed = Snapshot(small);
    const std::string log = "C:\\wt-e2e\\small.log";
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    EXPECT_EQ(RunUnattended(setup + " /LOG=" + Quoted(log) + " /D=" + small.program).code, 1603u);
    ExpectSame(Snapshot(small), installed, small);
    const std::string text = test::ReadFileBytes(log);
    EXPECT_NE(text.find("Install failed: Not enough room on \"W:\\\": "), std::string::npos) << text;
    EXPECT_NE(text.find(" bytes needed (the new files beside the old), "), std::string::npos) << text;
    EXPECT_EQ(text.find("Program folder \"W:\\WrenTide\" exists"), std::string::npos) << "a step ran: " << text;
}

// Names outside the system's code page (1252 here): a user whose profile has
// one, and a typed program folder. Everything lands in the true folders, is
// recorded and linked with the true paths, and the uninstaller removes it.
// Each user's case runs in a prefix made for that user (CMakeLists.txt).
struct Outside {
    const char* name;
    const char* user;  // the prefix's user, or "" for the shared prefix
    const char* typedFolder;
};

void PrintTo(const Outside& c, std::ostream* out) { *out << c.name; }

class OutsideTheCodePage : public Install, public ::testing::WithParamInterface<Outside> {};

TEST_P(OutsideTheCodePage, InstallsRecordsLinksAndUninstalls) {
    const Outside& c = GetParam();
    if (*c.user) {
        ASSERT_EQ(UserName(), c.user) << "not run in that user's own prefix";
    }
    const std::string program = *c.typedFolder ? c.typedFolder : places_.program;
    // Setup makes one level only: the typed folder's parent is there.
    if (*c.typedFolder) CreateDirectoryW(Wide(kTypedParent).data(), nullptr);
    {
        test::LoopbackServer server(test::kOkReply, WT_STATS_PORT);
        ASSERT_TRUE(server.Listening());
        SetupRun run;
        ASSERT_TRUE(run.ToOptions(true, false));
        if (*c.typedFolder) {
            PostMessageW(run.Edit(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(run.Edit(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            Sleep(200);
            SendMessageW(run.Edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(program).data()));
        }
        ASSERT_TRUE(run.Install("&Install"));
        EXPECT_TRUE(run.messages.empty()) << run.messages.front();
        EXPECT_EQ(run.Status(), "Installation Complete");
        Click(run.Control("Button", "Finished"));
        EXPECT_TRUE(run.process().WaitExit(kWait));
    }
    ExpectInstalledFiles(program, places_.data);
    ExpectRegistration(program, "On");
    ExpectLinks(program, true);

    UninstallAll(places_.data);
    for (const std::string& gone : {program, places_.menu, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_FALSE(test::KeyExists(kSettings));
    EXPECT_FALSE(test::KeyExists(kUninstall));
}

INSTANTIATE_TEST_SUITE_P(, OutsideTheCodePage,
                         ::testing::Values(Outside{"UserLukasz", "\u0141ukasz", ""},
                                           Outside{"UserYamada", "\u5C71\u7530", ""},
                                           Outside{"TypedFolder", "", "C:\\\u0141\u00F3d\u017A \u03A9\\WrenTide"}),
                         [](const ::testing::TestParamInfo<Outside>& info) { return std::string(info.param.name); });

TEST_F(Install, NoDllPlantedBesideSetupLoads) { ExpectNoPlantedDllLoads(kPlantSetupFolder); }
TEST_F(Install, NoDllPlantedInTheDataFolderLoads) { ExpectNoPlantedDllLoads(places_.data); }
TEST_F(Install, NoDllPlantedInTheTempFolderLoads) { ExpectNoPlantedDllLoads(TempFolder()); }

// Host symbolic links, as a user could plant them, at each name setup writes
// or deletes in the data folder, and at the folder itself. Wine shows them as
// plain files: every call by name acts on the target. Every target stays as
// it was; setup completes through a link at a name and fails at a folder link.
class PlantedLink : public Install, public ::testing::WithParamInterface<const char*> {
protected:
    void Plant() { PlantHostLink(target_, link_); }
    void TearDown() override {
        RemoveHostLink(link_, target_);
        Install::TearDown();
    }
    const std::string name_ = GetParam();  // "" for the data folder itself
    const std::string target_ = "C:\\wt-e2e\\target";
    const std::string link_ = name_.empty() ? places_.data : places_.data + "\\" + name_;
};

TEST_P(PlantedLink, LeavesItsTargetAlone) {
    const std::string bytes = name_ == "uninstall.exe" ? test::ReadFileBytes(test::BuiltPayloadFile(name_)) : "own";
    const std::string file = name_.empty() ? target_ + "\\wtdb.res" : target_;
    const std::string folders[] = {"C:\\wt-e2e", places_.vendor, name_.empty() ? target_ : places_.data};
    for (const std::string& folder : folders) CreateDirectoryA(folder.c_str(), nullptr);
    test::WriteFileBytes(file, bytes);
    ASSERT_NO_FATAL_FAILURE(Plant());

    SetupRun run;
    ASSERT_TRUE(run.ToOptions(false, false));
    ASSERT_TRUE(run.Install("&Install", {IDCANCEL}));  // OK to a failure would end setup
    EXPECT_TRUE(test::ReadFileBytes(file) == bytes) << "the target changed";  // bytes: maybe a whole program
    if (name_.empty()) {
        EXPECT_EQ(run.messages, std::vector<std::string>{"Install Failed! Try installing again as Administrator."});
        EXPECT_EQ(run.Status(), "Installation Failed");
        EXPECT_EQ(NamesIn(target_, "*"), std::vector<std::string>{"wtdb.res"});
        return;
    }
    EXPECT_TRUE(run.messages.empty()) << run.messages.front();
    ASSERT_EQ(run.Status(), "Installation Complete");
    ExpectInstalledFiles(places_.program, places_.data);
    Click(run.Control("Button", "Finished"));
    ASSERT_TRUE(run.process().WaitExit(kWait));

    ASSERT_NO_FATAL_FAILURE(Plant());
    std::unique_ptr<Process> uninstaller;
    HWND box = StartUninstaller(uninstaller, "Remove WrenTide and all of its components?");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(Answer(box, "&Yes"));
    ASSERT_NE(box = WaitForWindow(uninstaller->Id(), "#32770", "WrenTide Uninstall", kWait, true), nullptr);
    ASSERT_TRUE(Answer(box, "OK"));
    EXPECT_TRUE(uninstaller->WaitExit(kWait));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(link_); }, kWait)) << "the link's name stayed";
    EXPECT_TRUE(test::ReadFileBytes(file) == bytes) << "the target changed";  // bytes: maybe a whole program
}

INSTANTIATE_TEST_SUITE_P(, PlantedLink, ::testing::Values("temp.pak", "wtdb.res", "wscb.rez", "uninstall.exe", ""),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = *info.param ? info.param : "DataFolder";
                             return name.substr(0, name.find('.'));
                         });

// Every key and value under HKEY_LOCAL_MACHINE\Software (both views) but the
// file types, and of the system's list of files to delete at its next start:
// what a run for one user must leave exactly as it was.
void WalkKey(HKEY parent, const std::wstring& path, std::map<std::string, std::string>& all) {
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

std::map<std::string, std::string> MachineRegistry() {
    std::map<std::string, std::string> all;
    WalkKey(HKEY_LOCAL_MACHINE, L"Software", all);
    WalkKey(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", all);
    return all;
}

// The names whose values differ between two snapshots.
std::vector<std::string> Changed(const std::map<std::string, std::string>& was,
                                 const std::map<std::string, std::string>& now) {
    std::vector<std::string> changed;
    for (const auto& [name, value] : was)
        if (!now.count(name) || now.at(name) != value) changed.push_back(name);
    for (const auto& [name, value] : now)
        if (!was.count(name)) changed.push_back(name);
    return changed;
}

// What the started application says of the installation it found.
std::string ApplicationText(HWND app) {
    for (HWND child : Descendants(app))
        if (ClassOf(child) == "Static") return TextOf(child);
    return "";
}

// The application started from a shell link, as the shell starts it.
HWND StartFromLink(const std::string& file) {
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Wide(file).data(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
        return nullptr;
    return FindStartedApplication(kWait);
}

// An installation for this user alone, unattended, then removed by its own
// record's command line: everything lands in the user's profile and under
// HKEY_CURRENT_USER, and nothing of the machine's changes.
TEST_F(Install, ForOneUserEverythingLandsInTheUsersOwnPlacesAndGoesAgain) {
    const std::map<std::string, std::string> machine = MachineRegistry();
    const Unattended run = RunUnattended(Quoted(LoopbackSetupExe()) + " /CURRENTUSER /S /DESKTOP");
    EXPECT_EQ(run.code, 0u);
    EXPECT_FALSE(run.windowSeen);
    ExpectInstalledFiles(places_.userProgram, places_.data, false);
    ExpectRegistration(places_.userProgram, "On", HKEY_CURRENT_USER);
    ExpectLinks(places_.userProgram, true, places_.userMenu, "/CURRENTUSER");
    for (const std::string& none : {places_.program, places_.menu})
        EXPECT_FALSE(test::PathExists(none)) << none;
    EXPECT_EQ(Changed(machine, MachineRegistry()), std::vector<std::string>{});

    HWND app = StartFromLink(places_.userMenu + "\\WrenTide.lnk");
    ASSERT_NE(app, nullptr);
    EXPECT_NE(ApplicationText(app).find("Program folder: " + places_.userProgram + " (HKEY_CURRENT_USER)"),
              std::string::npos) << ApplicationText(app);
    CloseStartedApplication(app);

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", HKEY_CURRENT_USER).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u) << quiet;
    EXPECT_FALSE(test::KeyExists(kSettings, HKEY_CURRENT_USER));
    EXPECT_FALSE(test::KeyExists(kUninstall, HKEY_CURRENT_USER));
    for (const std::string& gone : {places_.userProgram, places_.userMenu, places_.desk + "\\WrenTide.lnk"})
        EXPECT_FALSE(test::PathExists(gone)) << gone;
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.data); }, kWait)) << "the copy's part";
    EXPECT_EQ(Changed(machine, MachineRegistry()), std::vector<std::string>{});
}

// The same user's two installations stand side by side; the application
// takes the user's own, and removing it leaves the one for everyone whole.
TEST_F(Install, AnInstallationForOneUserStandsBesideTheOneForEveryone) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /ALLUSERS /S").code, 0u);
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /CURRENTUSER /S").code, 0u);
    ExpectInstalledFiles(places_.userProgram, places_.data, false);
    ExpectRegistration(places_.program, "On");
    ExpectRegistration(places_.userProgram, "On", HKEY_CURRENT_USER);
    auto programFolderShown = [this](const std::string& link) {
        HWND app = StartFromLink(link);
        const std::string text = app ? ApplicationText(app) : "not started";
        if (app) CloseStartedApplication(app);
        return text.substr(text.find("Program folder: ") + 16);
    };
    EXPECT_EQ(programFolderShown(places_.menu + "\\WrenTide.lnk"), places_.userProgram + " (HKEY_CURRENT_USER)");

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", HKEY_CURRENT_USER).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u);
    EXPECT_FALSE(test::PathExists(places_.userProgram));
    // The data folder is the same user's for both: it stays for the other.
    ExpectInstalledFiles(places_.program, places_.data);
    ExpectRegistration(places_.program, "On");
    ExpectLinks(places_.program, false);
    EXPECT_EQ(programFolderShown(places_.menu + "\\WrenTide.lnk"), places_.program + " (HKEY_LOCAL_MACHINE)");
}

// Both scopes installed with a desktop link, in either order: the later one's
// link stands on the desktop. Removing the earlier one leaves every file and
// the link of the later one, and a WrenTide running from another folder
// blocks nothing.
class BothScopes : public Install, public ::testing::WithParamInterface<bool> {};

TEST_P(BothScopes, RemovingOneLeavesTheOthersFilesAndDesktopLink) {
    const bool machineFirst = GetParam();
    const char* first = machineFirst ? " /ALLUSERS" : " /CURRENTUSER";
    const char* second = machineFirst ? " /CURRENTUSER" : " /ALLUSERS";
    const HKEY firstRoot = machineFirst ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const HKEY secondRoot = machineFirst ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::string firstProgram = machineFirst ? places_.program : places_.userProgram;
    const std::string secondProgram = machineFirst ? places_.userProgram : places_.program;
    for (const char* scope : {first, second})
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + scope + " /S /DESKTOP").code, 0u) << scope;
    const std::string elsewhere = "C:\\wt-e2e\\elsewhere";
    SHCreateDirectoryExA(nullptr, elsewhere.c_str(), nullptr);
    for (const char* file : {"\\WrenTide.exe", "\\LPng.dll"})
        ASSERT_TRUE(CopyFileA((firstProgram + file).c_str(), (elsewhere + file).c_str(), FALSE));
    Process app(elsewhere + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);

    const std::string quiet = test::ReadBack(kUninstall, "QuietUninstallString", firstRoot).text;
    EXPECT_EQ(RunUnattended(quiet).code, 0u) << quiet;
    CloseStartedApplication(FindStartedApplication(1000));
    EXPECT_TRUE(app.WaitExit(kWait));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(firstProgram); }, kWait)) << "the first stayed";
    EXPECT_FALSE(test::KeyExists(kSettings, firstRoot));
    ExpectInstalledFiles(secondProgram, places_.data, !machineFirst);
    EXPECT_EQ(test::ReadBack(kSettings, "ProgPth", secondRoot).text, secondProgram);
    test::Link onDesktop;
    ASSERT_TRUE(test::LoadLink(places_.desk + "\\WrenTide.lnk", onDesktop)) << "the second's desktop link went";
    EXPECT_EQ(onDesktop.target, secondProgram + "\\WrenTide.exe");
}

INSTANTIATE_TEST_SUITE_P(, BothScopes, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "ForEveryoneFirst" : "ForOneUserFirst");
});

// What the uninstaller removes is what the install recorded: a link re-pointed
// elsewhere stays; an installation made before there was a record is removed
// as before; and one that this setup upgraded goes whole, the desktop link of
// the older install included.
TEST_F(Install, TheUninstallerRemovesWhatTheRecordNames) {
    const std::string elsewhere = "C:\\wt-e2e\\elsewhere";
    auto dropRecord = [] { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\WrenTide\\Installed"); };
    const struct {
        const char* label;
        std::function<void()> after;  // what happens between the install and the uninstall
        bool desktopLinkStays;
    } cases[] = {
        {"a desktop link re-pointed elsewhere", [&] { MakeProgramShortcut(elsewhere, places_.desk); }, true},
        {"an installation without a record", dropRecord, false},
        {"an upgrade without /DESKTOP of one without a record",
         [&] {
             dropRecord();
             ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
             ASSERT_TRUE(test::KeyExists("Software\\WrenTide\\Installed"));
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SHCreateDirectoryExA(nullptr, elsewhere.c_str(), nullptr);
        ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DESKTOP").code, 0u);
        ASSERT_NO_FATAL_FAILURE(c.after());
        EXPECT_EQ(RunUnattended(RegValue(kUninstall, "QuietUninstallString")).code, 0u);
        EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
        for (const std::string& gone : {places_.vendor, places_.menu})
            EXPECT_FALSE(test::PathExists(gone)) << gone;
        EXPECT_FALSE(test::KeyExists(kSettings));
        EXPECT_FALSE(test::KeyExists(kUninstall));
        EXPECT_EQ(test::PathExists(places_.desk + "\\WrenTide.lnk"), c.desktopLinkStays);
        Clean();
    }
}

// One user's journal lives under HKEY_CURRENT_USER: an install for one user
// that was killed is taken back when setup starts again for that user.
TEST_F(Install, AKilledInstallForOneUserIsUndoneAtItsNextStart) {
    {
        Environment kill("WT_KILL_AFTER", "registration");
        EXPECT_EQ(RunUnattended(Quoted(FaultsSetupExe()) + " /CURRENTUSER /S").code, 9u);
    }
    ASSERT_TRUE(test::KeyExists(kJournal, HKEY_CURRENT_USER)) << "the kill left no journal";
    EXPECT_FALSE(test::KeyExists(kJournal));
    ASSERT_TRUE(test::PathExists(places_.userProgram + "\\WrenTide.exe"));
    SetupRun next(LoopbackSetupExe(), "/CURRENTUSER");
    ASSERT_NE(next.Form(), nullptr);
    EXPECT_FALSE(test::KeyExists(kSettings, HKEY_CURRENT_USER)) << "the record or the journal stayed";
    EXPECT_FALSE(test::PathExists(places_.userPrograms)) << "the folders it made stayed";
    EXPECT_FALSE(test::PathExists(places_.data));
    Click(next.Control("Button", "&Cancel"));
    EXPECT_TRUE(next.process().WaitExit(kWait));
}

// Any program of the user's can write HKEY_CURRENT_USER: a journal planted
// there naming a file under the system folder is replayed by no run for one
// user (every token under Wine is elevated), setup's or the uninstaller's;
// each logs the refused entry and changes nothing.
TEST_F(Install, AJournalPlantedForOneUserSteersNoElevatedRun) {
    const std::string victim = "C:\\windows\\wt-e2e-victim.txt", log = "C:\\wt-e2e\\planted.log";
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    test::WriteFileBytes(victim, "the system's");
    JournalEntry planted;
    planted.change = Change::Wrote;
    planted.path = victim;
    planted.folder = "\\\\?\\C:\\windows";
    Journal("user").Append(planted);
    const std::string setup = Quoted(LoopbackSetupExe()) + " /CURRENTUSER /S /LOG=" + Quoted(log);
    EXPECT_EQ(RunUnattended(setup).code, 1603u);
    const std::string uninstaller = "C:\\wt-e2e\\uninstall.exe";
    test::WriteFileBytes(uninstaller, test::ReadFileBytes(test::BuiltPayloadFile("uninstall.exe")));
    const std::string removal = "C:\\wt-e2e\\planted-uninstall.log";
    EXPECT_EQ(RunUnattended(Quoted(uninstaller) + " /CURRENTUSER /S /LOG=" + Quoted(removal)).code, 1605u);
    EXPECT_EQ(test::ReadFileBytes(victim), "the system's");
    EXPECT_TRUE(test::KeyExists(kJournal, HKEY_CURRENT_USER)) << "the planted journal went";
    for (const std::string& text : {test::ReadFileBytes(log), test::ReadFileBytes(removal)})
        EXPECT_NE(text.find("was refused: \"" + victim + "\" lies outside this user's own folders"), std::string::npos)
            << text;
    // A record planted there, and an installation's settings: the victim stays.
    RegDeleteTreeA(HKEY_CURRENT_USER, kJournal);
    Journal("user", kRecordKey).Append(planted);
    for (const char* name : {"ProgPth", "DBPth"}) test::SetText(kSettings, name, "C:\\windows", HKEY_CURRENT_USER);
    EXPECT_EQ(RunUnattended(Quoted(uninstaller) + " /CURRENTUSER /S /LOG=" + Quoted(removal)).code, 1603u);
    EXPECT_EQ(test::ReadFileBytes(victim), "the system's");
    EXPECT_NE(test::ReadFileBytes(removal).find("\"" + victim + "\" stays: it lies outside"), std::string::npos)
        << test::ReadFileBytes(removal);
    DeleteFileA(victim.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}

// The window for one user shows that user's folder: asked for on the command
// line, or chosen when the rights for everyone were refused.
TEST_F(Install, TheWizardForOneUserShowsTheUsersOwnFolder) {
    {
        SetupRun run(LoopbackSetupExe(), "/CURRENTUSER");
        ASSERT_NE(run.Form(), nullptr);
        EXPECT_EQ(TextOf(run.Edit()), places_.userProgram);
    }
    Environment token("WT_TOKEN", "refused");
    for (const char* answer : {"&No", "&Yes"}) {
        SCOPED_TRACE(answer);
        SetupRun run(FaultsSetupExe(), "");
        HWND box = WaitForWindow(run.process().Id(), "#32770", "WrenTide Installer", kWait, true);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(MessageText(box).find("Install WrenTide for you alone instead?"), std::string::npos);
        ASSERT_TRUE(Answer(box, answer));
        DWORD code = 99;
        if (std::string(answer) == "&No") {
            EXPECT_TRUE(run.process().WaitExit(kWait, &code));
            EXPECT_EQ(code, 1602u);
            continue;
        }
        ASSERT_NE(run.Form(), nullptr);
        EXPECT_EQ(TextOf(run.Edit()), places_.userProgram);
    }
}

// A run for everyone without an elevated token (stood in for by the faults
// build) starts itself again elevated and ends with that run's exit code; a
// refused elevation ends unattended with 1602 and changes nothing.
TEST_F(Install, ARunForEveryoneWithoutRightsStartsAgainElevated) {
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\elevated.log";
    {
        Environment token("WT_TOKEN", "unelevated");
        Process first = Process::FromCommandLine(Quoted(FaultsSetupExe()) + " /ALLUSERS /S /LOG=" + Quoted(log));
        DWORD code = 99;
        ASSERT_TRUE(first.WaitExit(120000, &code));
        EXPECT_EQ(code, 0u);
        ExpectInstalledFiles(places_.program, places_.data);
        ExpectRegistration(places_.program, "On");
        const std::string text = test::ReadFileBytes(log);
        EXPECT_EQ(text.find("process " + std::to_string(first.Id()) + ","), std::string::npos)
            << "the first process installed itself:\n" << text;
        EXPECT_EQ(text.substr(text.rfind("Exit code")), "Exit code 0: WrenTide is installed\r\n");
    }
    // Refused, or started again and still without the rights (which starts
    // no third run): 1602, and nothing changes.
    for (const char* token : {"refused", "never-elevated"}) {
        SCOPED_TRACE(token);
        Clean();
        CreateDirectoryA("C:\\wt-e2e", nullptr);
        Environment stand_in("WT_TOKEN", token);
        EXPECT_EQ(RunUnattended(Quoted(FaultsSetupExe()) + " /S /LOG=" + Quoted(log)).code, 1602u);
        EXPECT_FALSE(test::PathExists(places_.program));
        EXPECT_FALSE(test::PathExists(places_.data));
        EXPECT_FALSE(test::KeyExists(kSettings));
        const std::string text = test::ReadFileBytes(log);
        EXPECT_NE(text.find("Setup could not start with administrator rights: "), std::string::npos) << text;
        EXPECT_NE(text.find("Exit code 1602: "), std::string::npos) << text;
    }
}

// The uninstaller of the installation for everyone does the same: refused,
// 1602 and nothing removed; otherwise its elevated run removes it all.
TEST_F(Install, TheUninstallerForEveryoneWithoutRightsStartsAgainElevated) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    const std::string uninstaller = places_.program + "\\uninstall.exe";
    ASSERT_TRUE(CopyFileA(test::FromHost(WT_FAULTS_UNINSTALL_EXE).c_str(), uninstaller.c_str(), FALSE));
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\uninstall.log";
    {
        Environment token("WT_TOKEN", "refused");
        EXPECT_EQ(RunUnattended(Quoted(uninstaller) + " /S /LOG=" + Quoted(log)).code, 1602u);
        EXPECT_TRUE(test::PathExists(places_.program + "\\WrenTide.exe"));
        EXPECT_TRUE(test::KeyExists(kSettings));
        EXPECT_NE(test::ReadFileBytes(log).find("Exit code 1602: no administrator rights"), std::string::npos);
    }
    Environment token("WT_TOKEN", "unelevated");
    Process first = Process::FromCommandLine(Quoted(uninstaller) + " /S /LOG=" + Quoted(log));
    DWORD code = 99;
    ASSERT_TRUE(first.WaitExit(60000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
    EXPECT_FALSE(test::KeyExists(kSettings));
    const std::string text = test::ReadFileBytes(log);
    EXPECT_EQ(text.find("process " + std::to_string(first.Id()) + ","), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.rfind("Exit code")), "Exit code 0: WrenTide was removed\r\n");
}

// A folder named on the command line is made with every missing level and
// recorded by one name however it was written; a refused line leaves even
// its log file alone.
TEST_F(Install, AFolderOnTheCommandLineIsMadeWholeAndRecordedByOneName) {
    const std::string deep = "C:\\wt-e2e\\Tools\\Apps\\WrenTide";
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /DIR=" + Quoted(deep)).code, 0u);
    ExpectInstalledFiles(deep, places_.data);
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), deep);
    Clean();
    {
        // Given to the wizard, the folder keeps its rule while the box holds it.
        SetupRun run(LoopbackSetupExe(), "/DIR=" + Quoted(deep));
        ASSERT_TRUE(run.ToOptions(false, false));
        ASSERT_TRUE(run.Install("&Install"));
        EXPECT_TRUE(run.messages.empty()) << run.messages.front();
        EXPECT_EQ(run.Status(), "Installation Complete");
        Click(run.Control("Button", "Finished"));
        EXPECT_TRUE(run.process().WaitExit(kWait));
        ExpectInstalledFiles(deep, places_.data);
    }
    Clean();
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /D=C:/wt-e2e/../WT\\").code, 0u);
    ExpectInstalledFiles("C:\\WT", places_.data);
    EXPECT_EQ(RegValue(kSettings, "ProgPth"), "C:\\WT");
    EXPECT_EQ(RegValue(kUninstall, "InstallLocation"), "C:\\WT");
    Clean();

    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\kept.log";
    test::WriteFileBytes(log, "the operator's own file");
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /BOGUS /LOG=" + Quoted(log)).code, 1639u);
    EXPECT_EQ(test::ReadFileBytes(log), "the operator's own file");
}

// An unattended upgrade over a running WrenTide: without /CLOSEAPPLICATIONS
// it fails and changes nothing, as before; with it WrenTide is asked to close,
// ends by itself and the upgrade completes.
TEST_F(Install, AnUpgradeWithCloseApplicationsClosesTheRunningWrenTide) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    Process app(places_.program + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    const std::map<std::string, std::string> before = Snapshot(places_);
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 1603u);
    EXPECT_TRUE(Snapshot(places_) == before) << "the failed upgrade changed something";

    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\close.log";
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /CLOSEAPPLICATIONS /LOG=" + Quoted(log)).code, 0u);
    DWORD code = 99;
    EXPECT_TRUE(app.WaitExit(0, &code)) << "WrenTide still runs";
    EXPECT_EQ(code, 0u) << "it was not left to end by itself";
    ExpectInstalledFiles(places_.program, places_.data);
    const std::string text = test::ReadFileBytes(log);
    for (const std::string& step : {"Asked process " + std::to_string(app.Id()) + " to close through its",
                                    "Process " + std::to_string(app.Id()) + " of \"" + places_.program +
                                        "\\WrenTide.exe\" has closed"})
        EXPECT_NE(text.find(step), std::string::npos) << step << " not in the log:\n" << text;
}

// One that refuses to close is left running after the wait, and the upgrade
// changes nothing.
TEST_F(Install, AWrenTideThatWillNotCloseIsLeftRunningAndNothingChanges) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    const std::string program = places_.program + "\\WrenTide.exe";
    ASSERT_TRUE(CopyFileA(test::FromHost(WT_STUBBORN_EXE).c_str(), program.c_str(), FALSE));
    Process stubborn(program);
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    const std::map<std::string, std::string> before = Snapshot(places_);
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\close.log";
    EXPECT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S /CLOSEAPPLICATIONS /LOG=" + Quoted(log)).code, 1603u);
    EXPECT_FALSE(stubborn.WaitExit(0)) << "it was ended";
    EXPECT_TRUE(Snapshot(places_) == before) << "the failed upgrade changed something";
    const std::string text = test::ReadFileBytes(log);
    for (const char* step : {"it refused", "is still running after 30 seconds; it was left running",
                             "WrenTide seems to be active", "Exit code 1603: "})
        EXPECT_NE(text.find(step), std::string::npos) << step << " not in the log:\n" << text;
}

// The uninstaller closes a running WrenTide too, and logs every step.
TEST_F(Install, TheUninstallerClosesARunningWrenTideAndLogsEachStep) {
    ASSERT_EQ(RunUnattended(Quoted(LoopbackSetupExe()) + " /S").code, 0u);
    Process app(places_.program + "\\WrenTide.exe");
    ASSERT_NE(FindStartedApplication(kWait), nullptr);
    CreateDirectoryA("C:\\wt-e2e", nullptr);
    const std::string log = "C:\\wt-e2e\\uninstall.log";
    const std::string quiet = RegValue(kUninstall, "QuietUninstallString");
    EXPECT_EQ(RunUnattended(quiet + " /CLOSEAPPLICATIONS /LOG=" + Quoted(log)).code, 0u);
    EXPECT_TRUE(app.WaitExit(0));
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(places_.program); }, kWait)) << "the copy's part";
    const std::string text = test::ReadFileBytes(log);
    for (const std::string& step :
         {"Process " + std::to_string(app.Id()) + " of \"" + places_.program + "\\WrenTide.exe\" has closed",
          "Removed \"" + places_.program + "\\WrenTide.exe\"", "Removed the folder \"" + places_.menu + "\"",
          std::string("Removed the key \"HKEY_LOCAL_MACHINE\\") + kSettings + "\"",
          std::string("Exit code 0: WrenTide was removed")})
        EXPECT_NE(text.find(step), std::string::npos) << step << " not in the log:\n" << text;
    // Every silent run writes one, by default in the temporary folder.
    const std::string copy = "C:\\wt-e2e\\uninstall.exe";
    test::WriteFileBytes(copy, test::ReadFileBytes(test::BuiltPayloadFile("uninstall.exe")));
    EXPECT_EQ(RunUnattended(Quoted(copy) + " /S").code, 1605u) << "nothing is installed";
    const std::vector<std::string> logs = NamesIn(TempFolder(), "WrenTide-Uninstall-*.log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(test::ReadFileBytes(TempFolder() + "\\" + logs[0]).find("Exit code 1605: "), std::string::npos);
}

}  // namespace
}  // namespace wt::e2e
