// Registry access against the real (Wine) registry, in a scratch key made and
// removed by each test.
#include "wrentide_setup/registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "test_support.h"

namespace wt {
namespace {

const char kScratch[] = "Software\\WrenTideTests";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScratch);
    }
};

TEST_F(Registry, WritesStringValuesCreatingTheWholeKeyPath) {
    const std::string path = std::string(kScratch) + "\\Deep\\Er\\Key";
    RegPutString("user", "\\" + path, "ProgPth", "C:\\Program Files\\WrenTide");
    const test::Stored stored = test::ReadBack(path.c_str(), "ProgPth", HKEY_CURRENT_USER);
    EXPECT_EQ(stored.text, "C:\\Program Files\\WrenTide");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    // A path without the leading backslash names the same key; a rewrite replaces.
    RegPutString("user", path, "ProgPth", "");
    EXPECT_EQ(RegGetString("user", "\\" + path, "ProgPth"), "");
    EXPECT_EQ(test::ReadBack(path.c_str(), "ProgPth", HKEY_CURRENT_USER).text, "");
}

TEST_F(Registry, RootNamesAreExactAndCaseSensitive) {
    const std::string path = std::string(kScratch) + "\\Roots";
    RegPutString("localmachine", path, "v", "machine");
    EXPECT_EQ(test::ReadBack(path.c_str(), "v").text, "machine");
    EXPECT_FALSE(test::KeyExists(path.c_str(), HKEY_CURRENT_USER));
    for (const char* root : {"LocalMachine", "LOCALMACHINE", "localmachine ", "", "machine", "user"}) {
        SCOPED_TRACE(root);
        RegPutString(root, path, "v", root);
        EXPECT_EQ(test::ReadBack(path.c_str(), "v", HKEY_CURRENT_USER).text, root);
        EXPECT_EQ(RegGetString(root, path, "v"), root);
    }
    EXPECT_EQ(test::ReadBack(path.c_str(), "v").text, "machine");
    EXPECT_EQ(RegGetString("localmachine", path, "v"), "machine");
}

TEST_F(Registry, MissingKeysAndValuesReadAsEmptyAndCreateNothing) {
    const std::string path = std::string(kScratch) + "\\Absent";
    EXPECT_EQ(RegGetString("user", path, "DBPth"), "");
    EXPECT_FALSE(test::KeyExists(path.c_str(), HKEY_CURRENT_USER));
    RegPutString("user", path, "Other", "x");
    EXPECT_EQ(RegGetString("user", path, "DBPth"), "");
}

TEST_F(Registry, OnlyStringTypesAreRead) {
    const std::string path = std::string(kScratch) + "\\Types";
    DWORD number = 7;
    test::SetRaw(path.c_str(), "Number", REG_DWORD, &number, sizeof number, HKEY_CURRENT_USER);
    test::SetRaw(path.c_str(), "EmptyBinary", REG_BINARY, "", 0, HKEY_CURRENT_USER);
    const char expandable[] = "%TEMP%\\WrenTide";
    test::SetRaw(path.c_str(), "Expand", REG_EXPAND_SZ, expandable, sizeof expandable, HKEY_CURRENT_USER);
    const char unterminated[] = {'a', 'b', 'c'};
    test::SetRaw(path.c_str(), "NoNul", REG_SZ, unterminated, sizeof unterminated, HKEY_CURRENT_USER);

    EXPECT_EQ(test::ErrorText([&] { RegGetString("user", path, "Number"); }, "a DWORD value was read as text"),
              "Invalid data type for 'Number'");
    EXPECT_EQ(RegGetString("user", path, "EmptyBinary"), "");
    EXPECT_EQ(RegGetString("user", path, "Expand"), "%TEMP%\\WrenTide");
    EXPECT_EQ(RegGetString("user", path, "NoNul"), "abc");
}

TEST_F(Registry, LongValuesRoundTrip) {
    const std::string path = std::string(kScratch) + "\\Long";
    std::string text(5000, 'x');
    text += " with blanks";
    RegPutString("user", path, "Long", text);
    EXPECT_EQ(RegGetString("user", path, "Long"), text);
}

// A key that cannot be made is an error with its cause, never a write that passes.
TEST_F(Registry, AKeyThatCannotBeMadeRaisesWithItsCause) {
    // Persistent keys cannot live below a volatile one: the create fails.
    HKEY volatileKey;
    const std::string parent = std::string(kScratch) + "\\Volatile";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileKey);
    const std::string child = parent + "\\Child";
    for (auto put : {+[](const std::string& key) { RegPutString("user", key, "v", "text"); },
                     +[](const std::string& key) { RegPutNumber("user", key, "v", 1); }}) {
        const std::string error = test::ErrorText([&] { put(child); }, "the key that was not made passed silently");
        EXPECT_EQ(error.rfind("Failed to set data for 'v'. The key \"" + child + "\" cannot be made: ", 0), 0u)
            << error;
    }
    EXPECT_FALSE(test::KeyExists(child.c_str(), HKEY_CURRENT_USER));

    // A key name over the registry's limit cannot be opened for reading either.
    const std::string tooLong = std::string(kScratch) + "\\" + std::string(300, 'k');
    EXPECT_EQ(RegGetString("user", tooLong, "v"), "");
}

TEST_F(Registry, ARefusedWriteRaisesWithTheValueName) {
    // The registry refuses value names over 16,383 characters once the key is open.
    const std::string name(16400, 'n');
    const std::string error = test::ErrorText([&] { RegPutString("user", kScratch, name, "text"); }, "passed silently");
    EXPECT_EQ(error.rfind("Failed to set data for '" + name + "'. ", 0), 0u) << error.substr(0, 40);
    EXPECT_TRUE(test::KeyExists(kScratch, HKEY_CURRENT_USER));
}

}  // namespace
}  // namespace wt
