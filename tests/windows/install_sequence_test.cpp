// The install button's handler on the real window (hidden), with every place
// it writes to in a scratch folder: the order of what a user sees, and each
// way the install can fail.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "test_support.h"
#include "wrentide_setup/ui/form.h"

namespace wt {
namespace {

const std::vector<int> kAllMilestones = {10, 20, 30, 45, 60, 80, 95, 99, 100};

// What the handler does to the window, as seen by the controls themselves.
struct Observed {
    std::vector<int> positions;
    std::vector<std::string> statuses;
    std::vector<int> disabled;  // control ids, in order
};

LRESULT CALLBACK Watch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    Observed& seen = *reinterpret_cast<Observed*>(data);
    if (message == PBM_SETPOS) seen.positions.push_back(static_cast<int>(wParam));
    if (message == WM_SETTEXT && id == StaticText2) {
        // Version 6 controls are Unicode windows: their subclass sees wide text.
        if (IsWindowUnicode(hwnd)) {
            char text[256] = "";
            WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(lParam), -1, text, sizeof text, nullptr,
                                nullptr);
            seen.statuses.push_back(text);
        } else {
            seen.statuses.push_back(reinterpret_cast<const char*>(lParam));
        }
    }
    if (message == WM_ENABLE && !wParam) seen.disabled.push_back(static_cast<int>(id));
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

class InstallSequence : public ::testing::Test {
public:
    void SetUp() override {
        CoInitialize(nullptr);
        test::DeleteProductKeys();
        ASSERT_TRUE(RegisterFormClasses(GetModuleHandleA(nullptr)));
        form_ = TForm1::Create(GetModuleHandleA(nullptr), plan_, &command_);
        ASSERT_NE(form_, nullptr);
        paths_.ProgPth = In("\\Program Files\\WrenTide");
        paths_.VendorPth = In("\\tessel-soft");
        paths_.DBPth = paths_.VendorPth + "\\WrenTide";
        paths_.WrkPth = In("\\Documents\\WrenTide");
        paths_.MenuPth = In("\\Programs\\WrenTide");
        paths_.DeskPth = In("\\Desktop");
        for (const char* folder : {"\\Program Files", "\\Programs", "\\Desktop"})
            CreateDirectoryA(In(folder).c_str(), nullptr);
        // The wizard as the user walks it: licence accepted, options shown.
        form_->Button4Click();
        SendMessageA(form_->Control(CheckBox1), BM_SETCHECK, BST_CHECKED, 0);
        form_->CheckBox1Click();
        for (ControlId id : {Button1, Button2, Button3, CheckBox2, CheckBox4, LabeledEdit1, StaticText2, ProgressBar1})
            SetWindowSubclass(form_->Control(id), Watch, id, reinterpret_cast<DWORD_PTR>(&seen_));
    }
    void TearDown() override {
        if (form_) DestroyWindow(form_->Handle());
        test::DeleteProductKeys();
        CoUninitialize();
    }
    std::string In(const char* relative) const { return scratch_.Path() + relative; }
    void ExpectFinalState(bool success) {
        EXPECT_EQ(form_->Text(StaticText2), success ? "Installation Complete" : "Installation Failed");
        EXPECT_EQ(form_->Text(Button2), success ? "Finished" : "Close");
        EXPECT_FALSE(IsWindowEnabled(form_->Control(Button1)));
        EXPECT_TRUE(IsWindowEnabled(form_->Control(Button2)));
        EXPECT_FALSE(IsWindowEnabled(form_->Control(GroupBox3)));
        EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
        EXPECT_TRUE(GetWindowLongA(form_->Control(StaticText2), GWL_STYLE) & WS_VISIBLE);
        EXPECT_TRUE(GetWindowLongA(form_->Control(ProgressBar1), GWL_STYLE) & WS_VISIBLE);
        EXPECT_FALSE(test::PathExists(paths_.DBPth + "\\temp.pak"));
    }
    test::ScratchFolder scratch_;
    test::FailureRecorder recorder_{IDCANCEL};
    SetupCommand command_;
    InstallPlan plan_;
    InstallPaths& paths_ = plan_.paths;
    TForm1* form_ = nullptr;
    Observed seen_;
    UniqueHandle held_;  // a file another program holds
};

TEST_F(InstallSequence, ASuccessfulRunShowsEachStepInOrder) {
    SendMessageA(form_->Control(CheckBox2), BM_SETCHECK, BST_CHECKED, 0);
    form_->Button1Click();
    EXPECT_EQ(seen_.disabled, (std::vector<int>{Button1, Button3, CheckBox4, LabeledEdit1, CheckBox2, Button2}));
    EXPECT_EQ(seen_.positions, kAllMilestones);
    // The preferences step's text stays through shortcuts and ping.
    EXPECT_EQ(seen_.statuses, (std::vector<std::string>{"Applying preferences....", "Installation Complete"}));
    EXPECT_TRUE(recorder_.Texts().empty());
    ExpectFinalState(true);
    EXPECT_TRUE(test::PathExists(paths_.ProgPth + "\\WrenTide.exe"));
    EXPECT_TRUE(test::PathExists(paths_.DBPth + "\\uninstall.exe"));
    EXPECT_TRUE(test::PathExists(paths_.MenuPth + "\\WrenTide.lnk"));
    EXPECT_TRUE(test::PathExists(paths_.MenuPth + "\\Uninstall.lnk"));
    EXPECT_TRUE(test::PathExists(paths_.DeskPth + "\\WrenTide.lnk"));
}

TEST_F(InstallSequence, WithoutTheDesktopBoxTheBarStillPassesNinetyNine) {
    form_->Button1Click();
    EXPECT_EQ(seen_.positions, kAllMilestones);
    EXPECT_TRUE(test::PathExists(paths_.MenuPth + "\\WrenTide.lnk"));
    EXPECT_FALSE(test::PathExists(paths_.DeskPth + "\\WrenTide.lnk"));
    ExpectFinalState(true);
}

// Each way a step can fail: the messages, how far the bar goes, the end
// state, and what the run leaves behind.
struct Failure {
    const char* name;
    std::function<void(InstallSequence&)> before;  // makes the step fail
    std::vector<std::string> messages;
    std::vector<int> positions;
    std::vector<std::string> statuses;  // none given: not looked at
    bool success;
    std::function<void(InstallSequence&)> after;  // what stays, and what does not
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.name; }

const char kFolderFailed[] = "Install Failed! Unable to create Install Folder.";
const char kDataFailed[] = "Install Failed! Try installing again as Administrator.";
const char kStepFailed[] = "Install Failed!  Try installing as administrator.";

const Failure kFailures[] = {
    {"APayloadStepReachesItsMilestoneAndStopsThere",
     [](InstallSequence& t) {
         // The large data file, step 4, is held open by "another program".
         CreateDirectoryA(t.paths_.VendorPth.c_str(), nullptr);
         CreateDirectoryA(t.paths_.DBPth.c_str(), nullptr);
         test::WriteFileBytes(t.paths_.DBPth + "\\wscb.rez", "in use");
         t.held_ = UniqueHandle(CreateFileA((t.paths_.DBPth + "\\wscb.rez").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
         ASSERT_TRUE(t.held_.Valid());
     },
     {kStepFailed}, {10, 20, 30, 45}, {"Installation Failed"}, false,
     [](InstallSequence& t) {
         t.held_.Close();
         EXPECT_EQ(test::ReadFileBytes(t.paths_.DBPth + "\\wscb.rez"), "in use");
         EXPECT_FALSE(test::PathExists(t.paths_.MenuPth + "\\WrenTide.lnk"));
         // What this run wrote is taken back; what it found stays.
         EXPECT_FALSE(test::PathExists(t.paths_.DBPth + "\\wtdb.res"));
         EXPECT_FALSE(test::PathExists(t.paths_.ProgPth)) << "the program folder it made";
         EXPECT_FALSE(test::KeyExists("Software\\WrenTide\\Journal")) << "a journal stayed";
     }},
    {"AProgramFolderThatCannotBeMadeIsReportedAndTheInstallGoesOn",
     [](InstallSequence& t) { t.paths_.ProgPth = t.In("\\no parent\\WrenTide"); }, {kFolderFailed, kStepFailed},
     {10, 20}, {}, false,
     [](InstallSequence& t) {
         EXPECT_FALSE(test::PathExists(t.paths_.VendorPth)) << "a failed install takes back the data folders it made";
     }},
    {"ARefusedRegistrationIsReportedAndTheShortcutsStillCome",
     [](InstallSequence&) {
         const DWORD number = 0;  // a ModeIs of another type ends the record
         test::SetRaw(test::kSettings, "ModeIs", REG_DWORD, &number, sizeof number);
     },
     {"Install Failed. Be certain to run install with Admin rights."}, kAllMilestones,
     {"Installation Complete"},  // the preferences step ran
     true, [](InstallSequence& t) { EXPECT_TRUE(test::PathExists(t.paths_.MenuPth + "\\WrenTide.lnk")); }},
    // No lasting key can be made below a volatile one: the journal cannot be
    // written, and the install fails before its first change.
    {"AJournalThatCannotBeWrittenFailsTheInstallBeforeItChangesAnything",
     [](InstallSequence&) {
         HKEY settings;
         ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, test::kSettings, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, &settings, nullptr),
                   ERROR_SUCCESS);
         RegCloseKey(settings);
     },
     {kStepFailed}, {}, {}, false,
     [](InstallSequence& t) {
         EXPECT_FALSE(test::PathExists(t.paths_.ProgPth));
         EXPECT_FALSE(test::PathExists(t.paths_.VendorPth));
     }},
    // A data folder that cannot be made (its parent is missing), or that is
    // not a full path (it would resolve against setup's working folder), is
    // reported once and nothing is installed.
    {"ADataFolderWithoutItsParentSkipsTheWholeInstall",
     [](InstallSequence& t) {
         t.paths_.VendorPth = t.In("\\no parent\\tessel-soft");
         t.paths_.DBPth = t.paths_.VendorPth + "\\WrenTide";
     },
     {kDataFailed}, {}, {}, false,
     [](InstallSequence& t) { EXPECT_FALSE(test::PathExists(t.paths_.ProgPth + "\\WrenTide.exe")); }},
    {"ADataFolderThatIsNotAFullPathSkipsTheWholeInstall", [](InstallSequence& t) { t.paths_.DBPth = "WrenTide"; },
     {kDataFailed}, {}, {}, false,
     [](InstallSequence& t) { EXPECT_FALSE(test::PathExists(t.paths_.ProgPth + "\\WrenTide.exe")); }},
};

class FailingStep : public InstallSequence, public ::testing::WithParamInterface<Failure> {};

TEST_P(FailingStep, IsReportedAsItsStepSays) {
    const Failure& failure = GetParam();
    ASSERT_NO_FATAL_FAILURE(failure.before(*this));
    form_->Button1Click();
    EXPECT_EQ(recorder_.Texts(), failure.messages);
    EXPECT_EQ(seen_.positions, failure.positions);
    if (!failure.statuses.empty()) { EXPECT_EQ(seen_.statuses, failure.statuses); }
    ExpectFinalState(failure.success);
    failure.after(*this);
}

INSTANTIATE_TEST_SUITE_P(, FailingStep, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

TEST_F(InstallSequence, AnAcknowledgedFailureEndsTheProgramOnlyAfterTheHandler) {
    test::FailureRecorder okRecorder(IDOK);
    paths_.ProgPth = In("\\no parent\\WrenTide");
    form_->Button1Click();
    // The second failure of the run closes at once: only the first is seen.
    EXPECT_EQ(okRecorder.Texts(), (std::vector<std::string>{"Install Failed! Unable to create Install Folder."}));
    EXPECT_TRUE(App().Terminated());
    EXPECT_EQ(seen_.positions, (std::vector<int>{10, 20}));
    ExpectFinalState(false);
}

// A folder that is not a full path would resolve against setup's working
// folder: the program folder's steps fail there, and nothing lands outside
// the data folder.
class NotAFullPath : public InstallSequence, public ::testing::WithParamInterface<const char*> {};

TEST_P(NotAFullPath, AProgramFolderFailsItsFirstStepAndWritesNothingElsewhere) {
    const std::string here = In("\\working folder");
    CreateDirectoryA(here.c_str(), nullptr);
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(here.c_str());
    paths_.ProgPth = GetParam();
    form_->Button1Click();
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(recorder_.Texts(), (std::vector<std::string>{"Install Failed! Unable to create Install Folder.",
                                                           "Install Failed!  Try installing as administrator."}));
    EXPECT_EQ(seen_.positions, (std::vector<int>{10, 20}));
    ExpectFinalState(false);
    EXPECT_FALSE(test::PathExists(paths_.DBPth + "\\wtdb.res")) << "taken back with the failed install";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((here + "\\*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do entries += std::string(found.cFileName) != "." && std::string(found.cFileName) != "..";
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(entries, 0) << "written under the working folder";
    for (const char* root : {"\\WrenTide.exe", "\\WrenTide", "\\LPng.dll"})
        EXPECT_FALSE(test::PathExists(std::string(1, here[0]) + ":" + root)) << root;
    EXPECT_FALSE(test::KeyExists("Software\\WrenTide"));
}

INSTANTIATE_TEST_SUITE_P(Typed, NotAFullPath, ::testing::Values("", "..\\WrenTide", "C:WrenTide", "\\WrenTide"));

// The data folder is the user's to write while setup runs elevated: hard
// links planted at the names setup writes must not carry its writes to the
// files they share. (A host symbolic link is no link to Wine, and Wine's own
// lead nowhere, so that kind cannot be shown here.)
TEST_F(InstallSequence, HardLinksPlantedInTheDataFolderLeaveTheirOtherFilesAlone) {
    CreateDirectoryA(paths_.VendorPth.c_str(), nullptr);
    CreateDirectoryA(paths_.DBPth.c_str(), nullptr);
    // A whole preferences record and more, so that a write through would show.
    const std::string kept(300, 'k');
    std::vector<std::string> victims;
    for (const char* name : {"\\temp.pak", "\\wtdb.res", "\\WrenTide.tub"}) {
        victims.push_back(In(name));
        test::WriteFileBytes(victims.back(), kept);
        const std::string at = paths_.DBPth + name;
        ASSERT_TRUE(CreateHardLinkA(at.c_str(), victims.back().c_str(), nullptr)) << at;
    }
    form_->Button1Click();
    EXPECT_TRUE(recorder_.Texts().empty());
    ExpectFinalState(true);
    for (const std::string& victim : victims) EXPECT_EQ(test::ReadFileBytes(victim), kept) << victim;
    EXPECT_EQ(test::ReadFileBytes(paths_.DBPth + "\\wtdb.res"), test::ReadFileBytes(test::BuiltPayloadFile("wtdb.res")));
}

}  // namespace
}  // namespace wt
