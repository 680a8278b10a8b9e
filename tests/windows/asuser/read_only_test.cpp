// Read-only destinations, run as an ordinary user: only then does the system
// refuse to open them for writing, as Windows does for everyone.
#include <gtest/gtest.h>
#include <windows.h>

#include "test_support.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/error.h"

namespace wt {
namespace {

TEST(ReadOnlyDestination, CountsAsHeldOpenIsKeptAndMakesTheStepFail) {
    test::ScratchFolder folder;
    const std::string target = folder.Path() + "\\wrnhlp.tub";
    const std::string temp = folder.Path() + kTempPak;
    test::WriteFileBytes(target, "old help");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_TRUE(FileInUse(target));
    RemoveOldFile(target);
    EXPECT_TRUE(test::PathExists(target));

    ExtractResource("d", temp);
    ASSERT_TRUE(test::PathExists(temp));
    EXPECT_THROW(InflateFile(temp, target), Error);
    EXPECT_EQ(test::ReadFileBytes(target), "old help");
    EXPECT_TRUE(test::PathExists(temp));
}

}  // namespace
}  // namespace wt
