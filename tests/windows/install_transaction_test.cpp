// The install transaction against the real file system and registry: every
// kind of change, ended by a commit, an undo, or a kill and the next start's
// recovery before or after the commit point.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "test_support.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/engine/install_transaction.h"
#include "wrentide_setup/engine/journal.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/registry.h"

namespace wt {
namespace {

const char kJournalKey[] = "Software\\WrenTide\\Journal";

class Transaction : public ::testing::Test {
protected:
    void SetUp() override {
        test::DeleteProductKeys();
        test::RemoveTree(Name("\\Made"));
        test::WriteFileBytes(Name("\\Replaced"), "old replaced");
        test::WriteFileBytes(Name("\\Changed"), "old changed");
        test::SetText(test::kSettings, "ProgName", "old value");
    }
    void TearDown() override { test::DeleteProductKeys(); }
    std::string Name(const char* relative) const { return scratch_.Path() + relative; }

    // One change of every kind, each made as the install makes it.
    void ChangeEverything(InstallTransaction& change) {
        change.Begin();
        ASSERT_NO_THROW(change.MakingFolder(Name("\\Made")));
        ASSERT_TRUE(CreateDirectoryA(Name("\\Made").c_str(), nullptr));
        for (const char* file : {"\\Made\\New", "\\Replaced"}) {
            change.Replacing(Name(file));
            test::WriteFileBytes(Name(file), std::string("new ") + (file + 1));
        }
        change.Changing(Name("\\Changed"));
        test::WriteFileBytes(Name("\\Changed"), "new changed");
        change.SettingValue(kLocalMachine, kSettingsKey, "ProgName");
        RegPutString(kLocalMachine, kSettingsKey, "ProgName", "new value");
        change.SettingValue(kLocalMachine, kUninstallKey, "DisplayName");
        RegPutString(kLocalMachine, kUninstallKey, "DisplayName", "new entry");
    }
    // What a user or the next run would find, set-aside copies and journal included.
    std::map<std::string, std::string> State() const {
        std::map<std::string, std::string> state;
        for (const char* name : {"\\Made", "\\Made\\New", "\\Replaced", "\\Changed"}) {
            const std::string path = Name(name);
            state[name] = !test::PathExists(path) ? "<none>" : name == std::string("\\Made") ? "<folder>"
                                                                                          : test::ReadFileBytes(path);
            if (test::PathExists(path + ".wt-old")) state[std::string(name) + ".wt-old"] = "left over";
        }
        state["ProgName"] = test::ReadBack(test::kSettings, "ProgName").text;
        state["uninstall key"] = test::KeyExists(test::kUninstall) ? "there" : "<none>";
        state["DisplayName"] = test::ReadBack(test::kUninstall, "DisplayName").text;
        state["journal"] = test::KeyExists(kJournalKey) ? "left over" : "<none>";
        return state;
    }
    const std::map<std::string, std::string> kOld = {
        {"\\Made", "<none>"}, {"\\Made\\New", "<none>"}, {"\\Replaced", "old replaced"},
        {"\\Changed", "old changed"}, {"ProgName", "old value"}, {"uninstall key", "<none>"},
        {"DisplayName", "<missing>"}, {"journal", "<none>"}};
    const std::map<std::string, std::string> kNew = {
        {"\\Made", "<folder>"}, {"\\Made\\New", "new Made\\New"}, {"\\Replaced", "new Replaced"},
        {"\\Changed", "new changed"}, {"ProgName", "new value"}, {"uninstall key", "there"},
        {"DisplayName", "new entry"}, {"journal", "<none>"}};
    test::ScratchFolder scratch_;
};

TEST_F(Transaction, EveryChangeIsCommittedOrTakenBackWholeAndAKillIsFinishedAtTheNextStart) {
    enum End { kCommit, kUndo, kKilled, kKilledAfterTheCommitPoint };
    const struct {
        End end;
        const char* name;
        bool installed;
    } ends[] = {{kCommit, "commit", true},
                {kUndo, "undo", false},
                {kKilled, "a kill before the commit point", false},
                {kKilledAfterTheCommitPoint, "a kill after the commit point", true}};
    for (const auto& row : ends) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(SetUp());
        if (row.end == kCommit || row.end == kUndo) {
            InstallTransaction change(kLocalMachine);
            ASSERT_NO_FATAL_FAILURE(ChangeEverything(change));
            if (row.end == kCommit) change.Commit();
            else EXPECT_TRUE(change.Undo());
            // Nothing more happens once it has ended, not even at its end.
            EXPECT_TRUE(change.Undo());
            change.Commit();
        } else {
            // Killed: the process ends with the transaction as it stands.
            auto* killed = new InstallTransaction(kLocalMachine);
            ASSERT_NO_FATAL_FAILURE(ChangeEverything(*killed));
            if (row.end == kKilledAfterTheCommitPoint) {
                JournalEntry mark;
                mark.change = Change::Committed;
                Journal(kLocalMachine).Append(mark);
            }
            EXPECT_EQ(FinishInterruptedInstall(kLocalMachine),
                      row.installed ? "An interrupted install was completed: the new installation stands"
                                    : "An interrupted install was undone: the previous installation is back");
        }
        EXPECT_EQ(State(), row.installed ? kNew : kOld);
        EXPECT_EQ(FinishInterruptedInstall(kLocalMachine), "") << "a journal was left";
    }
}

// At its commit an install records what the installation made: its keys
// first, then its folders, files and links as they came, a link with its
// target. A re-install's record replaces it, keeping the folders the earlier
// one made. The uninstaller's removal, last first, leaves none of them.
TEST_F(Transaction, TheCommitRecordsWhatTheInstallationMade) {
    {
        InstallTransaction change(kLocalMachine);
        ASSERT_NO_FATAL_FAILURE(ChangeEverything(change));
        ASSERT_NO_THROW(change.Linking(Name("\\Made\\A.lnk"), "C:\\target.exe"));
        test::WriteFileBytes(Name("\\Made\\A.lnk"), "link");
        change.Replacing(Name("\\Made\\temp.pak"));  // gone again by the commit
        change.Commit();
    }
    auto recorded = [] {
        std::vector<JournalEntry> entries;
        EXPECT_NO_THROW(entries = Journal(kLocalMachine, kRecordKey).Read());
        std::vector<std::string> lines;
        for (const JournalEntry& e : entries)
            lines.push_back(std::to_string(static_cast<int>(e.change)) + " " + e.path + (e.name.empty() ? "" : " -> " + e.name));
        return std::make_pair(entries, lines);
    };
    const std::string made = std::to_string(static_cast<int>(Change::MadeFolder)) + " " + Name("\\Made");
    const std::string wrote = std::to_string(static_cast<int>(Change::Wrote)) + " ";
    const std::string key = std::to_string(static_cast<int>(Change::MadeKey)) + " ";
    EXPECT_EQ(recorded().second,
              (std::vector<std::string>{key + kSettingsKey, key + kUninstallKey, made, wrote + Name("\\Made\\New"),
                                        wrote + Name("\\Replaced"),
                                        std::to_string(static_cast<int>(Change::MadeLink)) + " " + Name("\\Made\\A.lnk") +
                                            " -> C:\\target.exe"}));
    {
        InstallTransaction again(kLocalMachine);
        again.Begin();
        again.Replacing(Name("\\Replaced"));
        test::WriteFileBytes(Name("\\Replaced"), "newer");
        again.Commit();
    }
    const auto [entries, lines] = recorded();
    EXPECT_EQ(lines, (std::vector<std::string>{made, wrote + Name("\\Replaced")}));
    for (const char* name : {"\\Made\\New", "\\Made\\A.lnk"}) DeleteFileA(Name(name).c_str());
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) EXPECT_NO_THROW(RemoveMade(*it)) << it->path;
    EXPECT_FALSE(test::PathExists(Name("\\Made")));
    EXPECT_FALSE(test::PathExists(Name("\\Replaced")));
    EXPECT_TRUE(test::PathExists(Name("\\Changed"))) << "not the installation's";
}

// A change that cannot be taken back (a new file another program holds) is
// not called taken back: the journal stays, and the next start finishes it.
TEST_F(Transaction, AnUndoThatCannotFinishKeepsItsJournalForTheNextStart) {
    HANDLE held = INVALID_HANDLE_VALUE;
    {
        InstallTransaction change(kLocalMachine);
        ASSERT_NO_FATAL_FAILURE(ChangeEverything(change));
        held = CreateFileA(Name("\\Made\\New").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(change.Undo());
    }
    EXPECT_TRUE(test::KeyExists(kJournalKey));
    InstallTransaction next(kLocalMachine);
    EXPECT_THROW(next.Begin(), Error) << "a new install began over a journal that is not finished";
    CloseHandle(held);
    EXPECT_EQ(FinishInterruptedInstall(kLocalMachine),
              "An interrupted install was undone: the previous installation is back");
    EXPECT_EQ(State(), kOld);
}

// Killed between making the journal, which makes the settings key, and its
// first record: the next start takes both back.
TEST_F(Transaction, AJournalWithoutRecordsTakesBackTheSettingsKeyItMade) {
    test::DeleteProductKeys();
    ASSERT_EQ(RegMakeKey(kLocalMachine, "\\Software\\WrenTide\\Journal"), 0u);
    EXPECT_EQ(FinishInterruptedInstall(kLocalMachine), "An interrupted install was undone: it had changed nothing");
    EXPECT_FALSE(test::KeyExists(test::kSettings));
}

// A journal record that is not one setup writes leaves everything alone.
TEST_F(Transaction, AJournalItCannotReadIsLeftAlone) {
    {
        auto* killed = new InstallTransaction(kLocalMachine);
        ASSERT_NO_FATAL_FAILURE(ChangeEverything(*killed));
    }
    const char damaged[] = "\x03\x00\x00";
    test::SetRaw(kJournalKey, "00000002", REG_BINARY, damaged, sizeof damaged - 1);
    const std::string report = FinishInterruptedInstall(kLocalMachine);
    EXPECT_NE(report.find("has a record it cannot read (\"00000002\"): everything was left alone"), std::string::npos)
        << report;
    std::map<std::string, std::string> now = State();
    EXPECT_EQ(now["\\Replaced"], "new Replaced");
    EXPECT_EQ(now["\\Replaced.wt-old"], "left over");
    EXPECT_EQ(now["journal"], "left over");
}

}  // namespace
}  // namespace wt
