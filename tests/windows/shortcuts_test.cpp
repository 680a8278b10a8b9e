// Shortcuts saved through the real shell link object and loaded back through
// it; the show command is read from the file, since Wine's loader drops it.
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "test_support.h"

namespace wt {
namespace {

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
    test::ScratchFolder scratch_;
};

struct Kind {
    const char* name;
    std::function<void(const std::string&, const std::string&)> make;
    const char* linkFile;
    const char* targetFile;
};

const Kind kKinds[] = {
    {"program", MakeProgramShortcut, "\\WrenTide.lnk", "\\WrenTide.exe"},
    {"uninstall", MakeUninstallShortcut, "\\Uninstall.lnk", "\\uninstall.exe"},
};

TEST_F(Shortcuts, SaveTargetWorkingFolderNoArgumentsAndShowCommand) {
    struct Case {
        const char* folder;  // the program or data folder, under the scratch folder
        const char* links;   // the link folder, under the scratch folder
        bool targetExists;
    };
    const Case cases[] = {
        {"\\Prog", "\\Menu", true},
        {"\\Program Files\\Wren Tide", "\\Start Menu\\Wren Tide", true},
        {"\\Not yet there", "\\Desk top", false},
    };
    for (const Kind& kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + " link in '" + c.links + "' to '" + c.folder + "'");
            const std::string folder = scratch_.Path() + c.folder, links = scratch_.Path() + c.links;
            SHCreateDirectoryExA(nullptr, links.c_str(), nullptr);
            if (c.targetExists) {
                SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
                test::WriteFileBytes(folder + kind.targetFile, "MZ");
            }

            EXPECT_NO_THROW(kind.make(folder, links));
            test::Link link;
            EXPECT_TRUE(test::LoadLink(links + kind.linkFile, link));
            EXPECT_EQ(link.path, folder + kind.targetFile);
            EXPECT_EQ(link.workingFolder, folder);
            EXPECT_EQ(link.arguments, "");
            EXPECT_EQ(link.showCommand, 5u);
            EXPECT_EQ(ShortcutTarget(links + kind.linkFile), folder + kind.targetFile);
        }
    }
}

TEST_F(Shortcuts, AReInstallOverwritesTheLinks) {
    const std::string links = scratch_.Path() + "\\Menu";
    CreateDirectoryA(links.c_str(), nullptr);
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const std::string first = scratch_.Path() + "\\A rather long first folder name";
        const std::string second = scratch_.Path() + "\\B";
        kind.make(first, links);
        kind.make(second, links);
        test::Link link;
        EXPECT_TRUE(test::LoadLink(links + kind.linkFile, link));
        EXPECT_EQ(link.path, second + kind.targetFile);
        EXPECT_EQ(link.workingFolder, second);
    }
}

TEST_F(Shortcuts, AMissingLinkFolderLeavesNoLinkAndRaisesNothing) {
    const std::string links = scratch_.Path() + "\\No such folder";
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        EXPECT_NO_THROW(kind.make(scratch_.Path(), links));
        EXPECT_FALSE(test::PathExists(links + kind.linkFile));
        EXPECT_FALSE(test::PathExists(links));
        EXPECT_EQ(ShortcutTarget(links + kind.linkFile), "") << "no link";
    }
}

TEST_F(Shortcuts, PathsOutsideTheCodePageArriveWhole) {
    const std::string links = scratch_.Path() + "\\Men\u00FC \u0141\u00F3d\u017A";
    ASSERT_TRUE(CreateDirectoryW(Wide(links).data(), nullptr));
    const std::string program = scratch_.Path() + "\\\u5C71\u7530";
    ASSERT_TRUE(CreateDirectoryW(Wide(program).data(), nullptr));
    test::WriteFileBytes(program + "\\WrenTide.exe", "MZ");
    MakeProgramShortcut(program, links);
    test::Link link;
    EXPECT_TRUE(test::LoadLink(links + "\\WrenTide.lnk", link));
    EXPECT_EQ(link.target, program + "\\WrenTide.exe");
    EXPECT_EQ(link.workingFolder, program);
}

}  // namespace
}  // namespace wt
