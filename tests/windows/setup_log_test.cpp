// The default log's name: none that anyone can take in advance, and one that
// is taken all the same is passed over; no folder is ever made for it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "test_support.h"
#include "wrentide_setup/system/setup_log.h"

namespace wt {
namespace {

int calls = 0;
std::string TakenThenFree(unsigned) {
    const char* names[] = {"folder", "file", "free"};
    return names[calls < 2 ? calls++ : 2];
}
std::string AlwaysTaken(unsigned) { return "folder"; }

TEST(SetupLog, ANewLogPassesOverNamesThatAreTakenAndMakesNoFolder) {
    test::ScratchFolder scratch;
    const std::string stem = scratch.Path() + "\\WrenTide-Test-";
    std::string why;
    EXPECT_FALSE(OpenNewLog(scratch.Path() + "\\missing", "WrenTide-Test", &why, TakenThenFree));
    EXPECT_FALSE(test::PathExists(scratch.Path() + "\\missing"));
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;

    ASSERT_TRUE(CreateDirectoryA((stem + "folder.log").c_str(), nullptr));
    test::WriteFileBytes(stem + "file.log", "theirs");
    ASSERT_TRUE(OpenNewLog(scratch.Path(), "WrenTide-Test", &why, TakenThenFree)) << why;
    LogLine("a line");
    // Every name taken: no log, and the one before is closed.
    EXPECT_FALSE(OpenNewLog(scratch.Path(), "WrenTide-Test", &why, AlwaysTaken));
    EXPECT_NE(test::ReadFileBytes(stem + "free.log").find("a line"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(stem + "file.log"), "theirs");
}

}  // namespace
}  // namespace wt
