// Registry access against the real (Wine) registry, in a scratch key made and
// removed by each test.
#include "wrentide_setup/registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "test_support.h"
#include "wrentide_setup/error.h"

namespace wt {
namespace {

const char kScratch[] = "Software\\WrenTideTests";

// The fixture's read-back and write, for a path held as a string.
std::string Raw(const std::string& path, const char* name, HKEY root, DWORD* type = nullptr) {
    const test::Stored stored = test::ReadBack(path.c_str(), name, root);
    if (type) *type = stored.type;
    return stored.text;
}
void SetRawIn(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
    test::SetRaw(path.c_str(), name, type, data, size, root);
}

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
    DWORD type = 0;
    EXPECT_EQ(Raw(path, "ProgPth", HKEY_CURRENT_USER, &type), "C:\\Program Files\\WrenTide");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // A path without the leading backslash names the same key; a rewrite replaces.
    RegPutString("user", path, "ProgPth", "");
    EXPECT_EQ(RegGetString("user", "\\" + path, "ProgPth"), "");
    EXPECT_EQ(Raw(path, "ProgPth", HKEY_CURRENT_USER, &type), "");
}

TEST_F(Registry, RootNamesAreExactAndCaseSensitive) {
    const std::string path = std::string(kScratch) + "\\Roots";
    RegPutString("localmachine", path, "v", "machine");
    EXPECT_EQ(Raw(path, "v", HKEY_LOCAL_MACHINE), "machine");
    EXPECT_FALSE(test::KeyExists(path.c_str(), HKEY_CURRENT_USER));
    for (const char* root : {"LocalMachine", "LOCALMACHINE", "localmachine ", "", "machine", "user"}) {
        SCOPED_TRACE(root);
        RegPutString(root, path, "v", root);
        EXPECT_EQ(Raw(path, "v", HKEY_CURRENT_USER), root);
        EXPECT_EQ(RegGetString(root, path, "v"), root);
    }
    EXPECT_EQ(Raw(path, "v", HKEY_LOCAL_MACHINE), "machine");
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
    SetRawIn(HKEY_CURRENT_USER, path, "Number", REG_DWORD, &number, sizeof number);
    SetRawIn(HKEY_CURRENT_USER, path, "EmptyBinary", REG_BINARY, "", 0);
    const char expandable[] = "%TEMP%\\WrenTide";
    SetRawIn(HKEY_CURRENT_USER, path, "Expand", REG_EXPAND_SZ, expandable, sizeof expandable);
    const char unterminated[] = {'a', 'b', 'c'};
    SetRawIn(HKEY_CURRENT_USER, path, "NoNul", REG_SZ, unterminated, sizeof unterminated);

    try {
        RegGetString("user", path, "Number");
        ADD_FAILURE() << "a DWORD value was read as text";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Number'");
    }
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
        try {
            put(child);
            ADD_FAILURE() << "the key that was not made passed silently";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Failed to set data for 'v'. The key \"" + child + "\" cannot be made: ", 0),
                      0u) << e.what();
        }
    }
    EXPECT_FALSE(test::KeyExists(child.c_str(), HKEY_CURRENT_USER));

    // A key name over the registry's limit cannot be opened for reading either.
    const std::string tooLong = std::string(kScratch) + "\\" + std::string(300, 'k');
    EXPECT_EQ(RegGetString("user", tooLong, "v"), "");
}

TEST_F(Registry, ARefusedWriteRaisesWithTheValueName) {
    // The registry refuses value names over 16,383 characters once the key is open.
    const std::string name(16400, 'n');
    try {
        RegPutString("user", kScratch, name, "text");
        ADD_FAILURE() << "the refused write passed silently";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to set data for '" + name + "'. ", 0), 0u);
    }
    EXPECT_TRUE(test::KeyExists(kScratch, HKEY_CURRENT_USER));
}

}  // namespace
}  // namespace wt
