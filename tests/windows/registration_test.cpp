// The registration record against the prefix's real registry: every value is
// read back through the system's own calls, never through RegGetString.
#include "wrentide_setup/system/registration.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/registry.h"

namespace wt {
namespace {

using test::kSettings, test::kUninstall, test::ReadBack, test::SetRaw, test::SetText, test::Stored;
const char kMissing[] = "<missing>";

using Value = test::RecordValue;

// What a run with these paths records through its string writes, in order.
std::vector<Value> Record(const InstallPaths& p, const std::string& modeIs = "On") {
    std::vector<Value> strings;
    for (const Value& v : test::ExpectedRecord(p.ProgPth, p.DBPth, p.WrkPth, modeIs, 0))
        if (!v.number) strings.push_back(v);
    return strings;
}

void ExpectStored(const std::vector<Value>& values) {
    for (const Value& v : values) {
        SCOPED_TRACE(std::string(v.key) + " " + v.name);
        Stored stored = ReadBack(v.key, v.name);
        EXPECT_EQ(stored.text, v.text);
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    }
}

InstallPlan Plan() {
    InstallPlan plan;
    InstallPaths& p = plan.paths;
    p.ProgPth = "C:\\Program Files (x86)\\Wren Tide";
    p.DBPth = "C:\\users\\a user\\AppData\\Local\\tessel-soft\\WrenTide";
    p.WrkPth = "C:\\users\\a user\\My Documents\\WrenTide";
    p.MenuPth = "C:\\not\\recorded";
    p.DeskPth = "C:\\not\\recorded either";
    return plan;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        test::DeleteProductKeys();
        ASSERT_FALSE(test::KeyExists(kSettings));
        ASSERT_FALSE(test::KeyExists(kUninstall));
    }
};

TEST_F(Registration, AFreshInstallRecordsEveryValue) {
    const InstallPlan plan = Plan();
    EXPECT_NO_THROW(WriteRegistration(plan));
    ExpectStored(Record(plan.paths));
    // The program folder's copy, where only administrators write, quoted.
    EXPECT_EQ(ReadBack(kUninstall, "UninstallString").text, "\"" + plan.paths.ProgPth + "\\uninstall.exe\"");
}

// One user's record: the same keys under HKEY_CURRENT_USER, and command
// lines that start the uninstaller for that user.
TEST_F(Registration, ForOneUserTheRecordGoesUnderTheUsersOwnRoot) {
    InstallPlan plan = Plan();
    const InstallPaths& paths = plan.paths;
    plan.paths.Scope = InstallScope::User;
    EXPECT_NO_THROW(WriteRegistration(plan));
    const std::string uninstaller = "\"" + paths.DBPth + "\\uninstall.exe\"";
    for (const Value& v : test::ExpectedRecord(paths.ProgPth, paths.DBPth, paths.WrkPth, "On", 0)) {
        std::string text = v.text;
        if (std::string(v.name) == "UninstallString") text = uninstaller + " /CURRENTUSER";
        if (std::string(v.name) == "QuietUninstallString") text = uninstaller + " /CURRENTUSER /S";
        if (!v.number) {
            EXPECT_EQ(ReadBack(v.key, v.name, HKEY_CURRENT_USER).text, text) << v.name;
        }
    }
    EXPECT_FALSE(test::KeyExists(kSettings));
    EXPECT_FALSE(test::KeyExists(kUninstall));
    test::DeleteProductKeys(HKEY_CURRENT_USER);
}

TEST_F(Registration, AReInstallOverwritesEveryValueButAModeTurnedOff) {
    for (const Value& v : Record(Plan().paths)) SetText(v.key, v.name, "old " + std::string(v.name));
    SetText(kSettings, "ModeIs", "Off");
    InstallPlan plan = Plan();
    plan.paths.ProgPth = "D:\\Chosen by the user";
    plan.paths.WrkPth = "";  // a re-install finds no work folder of its own
    // Running it again changes nothing.
    for (int run = 0; run < 2; ++run) {
        EXPECT_NO_THROW(WriteRegistration(plan));
        ExpectStored(Record(plan.paths, "Off"));
    }
}

TEST_F(Registration, OnlyTheExactTextOffSurvivesInModeIs) {
    struct Case {
        const char* before;  // nullptr: no value
        const char* after;
    };
    const Case cases[] = {
        {nullptr, "On"}, {"", "On"},     {"On", "On"},     {"off", "On"}, {"OFF", "On"},
        {"oFF", "On"},   {"Off ", "On"}, {" Off", "On"}, {"Of", "On"},  {"Off", "Off"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before ? std::string("ModeIs \"") + c.before + "\"" : "no ModeIs");
        Clean();
        if (c.before) SetText(kSettings, "ModeIs", c.before);
        std::vector<std::string> written;
        RegistryAccess registry = SystemRegistry();
        registry.put = [&](const std::string& root, const std::string& key, const std::string& name,
                           const std::string& text) {
            written.push_back(name);
            RegPutString(root, key, name, text);
        };
        EXPECT_NO_THROW(WriteRegistration(Plan(), registry));
        EXPECT_EQ(ReadBack(kSettings, "ModeIs").text, c.after);
        // "Off" is left alone, not written back.
        EXPECT_EQ(std::count(written.begin(), written.end(), "ModeIs"), c.after == std::string("On") ? 1 : 0);
    }
}

TEST_F(Registration, AModeIsOfAnotherTypeEndsTheRecordAsAFailure) {
    const DWORD number = 0;
    SetRaw(kSettings, "ModeIs", REG_DWORD, &number, sizeof number);
    EXPECT_THROW(WriteRegistration(Plan()), Error);

    std::vector<Value> record = Record(Plan().paths);
    ExpectStored({record.begin(), record.begin() + 6});
    EXPECT_EQ(ReadBack(kSettings, "ModeIs").type, static_cast<DWORD>(REG_DWORD));
    EXPECT_FALSE(test::KeyExists(kUninstall));
}

TEST_F(Registration, ARefusedWriteStopsThereKeepsWhatWasWrittenAndFails) {
    const std::vector<Value> record = Record(Plan().paths);
    for (std::size_t refused = 0; refused < record.size(); ++refused) {
        SCOPED_TRACE("write " + std::to_string(refused) + " refused: " + record[refused].name);
        Clean();
        std::size_t writes = 0;
        RegistryAccess registry = SystemRegistry();
        registry.put = [&](const std::string& root, const std::string& key, const std::string& name,
                           const std::string& text) {
            if (writes++ == refused) throw Error(Format("Failed to set data for '%s'", name));
            RegPutString(root, key, name, text);
        };
        EXPECT_EQ(test::ErrorText([&] { WriteRegistration(Plan(), registry); }),
                  std::string("Failed to set data for '") + record[refused].name + "'")
            << "the log's cause";

        EXPECT_EQ(writes, refused + 1) << "writing went on after the refusal";
        ExpectStored({record.begin(), record.begin() + refused});
        for (std::size_t i = refused; i < record.size(); ++i)
            EXPECT_EQ(ReadBack(record[i].key, record[i].name).text, kMissing) << record[i].name;
    }
}

}  // namespace
}  // namespace wt
