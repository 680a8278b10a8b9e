// The texts the user is shown for a failure.
#include "wrentide_setup/error.h"

#include <gtest/gtest.h>

namespace wt {
namespace {

TEST(WithFullStop, AddsOneOnlyAfterCharactersThatSortAfterIt) {
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"", ""},
        {"Cannot open file", "Cannot open file."},
        {"Done.", "Done."},
        {"Install Failed!", "Install Failed!"},
        {"Invalid data type for 'ProgPth'", "Invalid data type for 'ProgPth'"},
        {"Disk full (112)", "Disk full (112)"},
        {"Path C:\\Temp\\", "Path C:\\Temp\\."},
        {"Error 5", "Error 5."},
        {"Caf\xE9", "Caf\xE9."},  // ANSI characters above 127 sort after it too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(WithFullStop(c.text), c.shown);
    }
}

TEST(Format, PutsTheArgumentInPlaceOfEachPercentS) {
    EXPECT_EQ(Format("Failed to set data for '%s'", "ModeIs"), "Failed to set data for 'ModeIs'");
    EXPECT_EQ(Format("no argument", "x"), "no argument");
    EXPECT_EQ(Format("%s%s", "ab"), "abab");
    EXPECT_EQ(Format("100%", "x"), "100%");
}

}  // namespace
}  // namespace wt
