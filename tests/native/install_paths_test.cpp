// Joining install paths and telling a full path from one that would resolve
// against setup's working folder.
#include "wrentide_setup/context/install_paths.h"

#include <gtest/gtest.h>

namespace wt {
namespace {

TEST(JoinPath, PutsExactlyOneSeparatorBetweenFolderAndSuffix) {
    EXPECT_EQ(JoinPath("C:\\users\\u\\Documents\\", "\\WrenTide"), "C:\\users\\u\\Documents\\WrenTide");
    EXPECT_EQ(JoinPath("D:\\", "\\WrenTide"), "D:\\WrenTide");
    EXPECT_EQ(JoinPath("C:/Apps/", "\\WrenTide.exe"), "C:/Apps\\WrenTide.exe");
    EXPECT_EQ(JoinPath("C:\\Program Files\\WrenTide", "\\WrenTide.exe"), "C:\\Program Files\\WrenTide\\WrenTide.exe");
    // Nothing is added where the folder is empty or the suffix brings no separator.
    EXPECT_EQ(JoinPath("", "\\WrenTide.exe"), "\\WrenTide.exe");
    EXPECT_EQ(JoinPath("C:\\x\\", "y"), "C:\\x\\y");
}

TEST(IsFullPath, AcceptsDriveRootsAndUncNamesOnly) {
    for (const char* full : {"C:\\Program Files\\WrenTide", "c:\\", "D:/Apps/WrenTide", "\\\\server\\share\\WrenTide",
                             "//server/share", "\\\\?\\C:\\WrenTide"}) {
        SCOPED_TRACE(full);
        EXPECT_TRUE(IsFullPath(full));
    }
    for (const char* partial : {"", "WrenTide", "..\\WrenTide", ".\\WrenTide", "C:WrenTide", "C:", "\\WrenTide",
                                "/WrenTide", "\\\\\\WrenTide", "1:\\WrenTide"}) {
        SCOPED_TRACE(partial);
        EXPECT_FALSE(IsFullPath(partial));
    }
}

}  // namespace
}  // namespace wt
