// A failed or killed install is taken back whole, and no journal that a
// user could plant steers what setup or the uninstaller change.
#include "install_kit.h"

namespace wt::e2e {
namespace {

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
        EndsBy(run, "Close");
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
    EndsBy(run, "Close");
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
            ASSERT_EQ(ExitCode(run.process(), 60000), 9u);
        }
        ASSERT_TRUE(test::KeyExists(kJournal)) << "the kill left no journal";
        if (step == std::string("registration")) {
            // The new uninstaller, which the kill left in place, finds the journal.
            Uninstaller uninstaller;
            ASSERT_TRUE(uninstaller.Says(kRemoveQuestion));
            ExpectOldInstallation();
            ASSERT_TRUE(uninstaller.Press("&No"));
            uninstaller.Exit();
        } else {
            SetupRun next;
            ASSERT_NE(next.Form(), nullptr);
            ExpectOldInstallation();
            EndsBy(next, "&Cancel");
        }
    }
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
        EndsBy(next, "&Cancel");
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
    EndsBy(next, "&Cancel");
}

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
    const std::string wasFolder = FinalPathOf(link_);
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
    ExpectLogged(log, {"was refused: \"" + link_ + "\" leads to \"\\\\?\\" + outside_ + "\"",
                       "Install failed: The journal of an earlier install"});
    ExpectInstalledFiles(places_.program, places_.data);
}

TEST_F(SmallDrive, AReInstallWithoutRoomForBothCopiesChangesNothing) {
    Places small = places_;
    small.program = "W:\\WrenTide";
    const std::string setup = Quoted(LoopbackSetupExe()) + " /S /DESKTOP";
    ASSERT_EQ(RunUnattended(setup + " /D=" + small.program).code, 0u);
    const std::map<std::string, std::string> installed = Snapshot(small);
    const std::string log = ScratchFile("small.log");
    EXPECT_EQ(RunUnattended(setup + " /LOG=" + Quoted(log) + " /D=" + small.program).code, 1603u);
    ExpectSame(Snapshot(small), installed, small);
    const std::string text = test::ReadFileBytes(log);
    EXPECT_NE(text.find("Install failed: Not enough room on \"W:\\\": "), std::string::npos) << text;
    EXPECT_NE(text.find(" bytes needed (the new files beside the old), "), std::string::npos) << text;
    EXPECT_EQ(text.find("Program folder \"W:\\WrenTide\" exists"), std::string::npos) << "a step ran: " << text;
}

// Any program of the user's can write HKEY_CURRENT_USER: a journal planted
// there naming a file under the system folder is replayed by no run for one
// user (every token under Wine is elevated), setup's or the uninstaller's;
// each logs the refused entry and changes nothing.
TEST_F(Install, AJournalPlantedForOneUserSteersNoElevatedRun) {
    const std::string victim = "C:\\windows\\wt-e2e-victim.txt", log = ScratchFile("planted.log");
    test::WriteFileBytes(victim, "the system's");
    JournalEntry planted;
    planted.change = Change::Wrote;
    planted.path = victim;
    planted.folder = "\\\\?\\C:\\windows";
    Journal("user").Append(planted);
    const std::string setup = Quoted(LoopbackSetupExe()) + " /CURRENTUSER /S /LOG=" + Quoted(log);
    EXPECT_EQ(RunUnattended(setup).code, 1603u);
    const std::string uninstaller = LooseUninstaller();
    const std::string removal = "C:\\wt-e2e\\planted-uninstall.log";
    EXPECT_EQ(RunUnattended(Quoted(uninstaller) + " /CURRENTUSER /S /LOG=" + Quoted(removal)).code, 1605u);
    EXPECT_EQ(test::ReadFileBytes(victim), "the system's");
    EXPECT_TRUE(test::KeyExists(kJournal, HKEY_CURRENT_USER)) << "the planted journal went";
    for (const std::string& path : {log, removal})
        ExpectLogged(path, {"was refused: \"" + victim + "\" lies outside this user's own folders"});
    // A record planted there, and an installation's settings: the victim stays.
    RegDeleteTreeA(HKEY_CURRENT_USER, kJournal);
    Journal("user", kRecordKey).Append(planted);
    for (const char* name : {"ProgPth", "DBPth"}) test::SetText(kSettings, name, "C:\\windows", HKEY_CURRENT_USER);
    EXPECT_EQ(RunUnattended(Quoted(uninstaller) + " /CURRENTUSER /S /LOG=" + Quoted(removal)).code, 1603u);
    EXPECT_EQ(test::ReadFileBytes(victim), "the system's");
    ExpectLogged(removal, {"\"" + victim + "\" stays: it lies outside"});
    DeleteFileA(victim.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}

}  // namespace
}  // namespace wt::e2e
