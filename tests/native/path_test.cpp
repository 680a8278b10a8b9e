// The folder above a name: a root is its own, never the drive-relative "C:".
#include "wrentide_setup/path.h"

#include <gtest/gtest.h>

namespace wt {
namespace {

TEST(ParentFolder, OfANameDirectlyUnderARootIsThatRoot) {
    struct Case {
        const char* path;
        const char* parent;
        bool root;
    } cases[] = {
        {"C:\\WTData", "C:\\", false},
        {"c:\\WTData\\", "c:\\", false},
        {"C:\\Program Files\\WrenTide", "C:\\Program Files", false},
        {"C:\\A\\B\\", "C:\\A", false},
        {"C:\\", "C:\\", true},
        {"\\\\server\\share\\Data", "\\\\server\\share\\", false},
        {"\\\\server\\share\\A\\B", "\\\\server\\share\\A", false},
        {"\\\\server\\share", "\\\\server\\share\\", true},
        {"\\\\server\\share\\", "\\\\server\\share\\", true},
        {"WrenTide", "", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ParentFolder(c.path), c.parent);
        EXPECT_EQ(IsRootFolder(c.path), c.root);
    }
}

}  // namespace
}  // namespace wt
