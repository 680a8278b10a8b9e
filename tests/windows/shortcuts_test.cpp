// Shortcuts saved through the real shell link object and loaded back through
// it; the show command is read from the file, since Wine's loader drops it.
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdint>
#include <cwchar>
#include <functional>
#include <string>

#include "test_support.h"

namespace wt {
namespace {


struct Link {
    std::string path, workingFolder, arguments;
    std::string target;  // through the item identifiers, as the shell finds it
    uint32_t showCommand = 0;
};

Link LoadLink(const std::string& file) {
    Link link;
    ComPtr<IShellLinkW> shell;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, shell.Receive()), S_OK);
    if (!shell) return link;
    ComPtr<IPersistFile> persist;
    EXPECT_EQ(shell->QueryInterface(IID_IPersistFile, persist.Receive()), S_OK);
    if (!persist) return link;
    EXPECT_EQ(persist->Load(Wide(file).data(), STGM_READ), S_OK) << file;
    wchar_t text[MAX_PATH * 2] = L"";
    shell->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    link.path = Utf8(text);
    ItemIdList items;
    if (SUCCEEDED(shell->GetIDList(&items.list)) && SHGetPathFromIDListW(items.list, text)) link.target = Utf8(text);
    text[0] = L'\0';
    shell->GetWorkingDirectory(text, MAX_PATH * 2);
    link.workingFolder = Utf8(text);
    wcscpy(text, L"canary");
    shell->GetArguments(text, MAX_PATH * 2);
    link.arguments = Utf8(text);

    const std::string bytes = test::ReadFileBytes(file);
    // Header size 0x4C first, then the show command at 0x3C.
    EXPECT_GE(bytes.size(), 0x40u);
    if (bytes.size() >= 0x40) {
        EXPECT_EQ(bytes.compare(0, 4, std::string("\x4C\0\0\0", 4)), 0) << "not a shell link file";
        for (int i = 3; i >= 0; --i)
            link.showCommand = link.showCommand << 8 | static_cast<unsigned char>(bytes[0x3C + i]);
    }
    return link;
}

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
            const std::string folder = scratch_.Path() + c.folder;
            const std::string links = scratch_.Path() + c.links;
            SHCreateDirectoryExA(nullptr, links.c_str(), nullptr);
            if (c.targetExists) {
                SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
                test::WriteFileBytes(folder + kind.targetFile, "MZ");
            }

            EXPECT_NO_THROW(kind.make(folder, links));
            const Link link = LoadLink(links + kind.linkFile);
            EXPECT_EQ(link.path, folder + kind.targetFile);
            EXPECT_EQ(link.workingFolder, folder);
            EXPECT_EQ(link.arguments, "");
            EXPECT_EQ(link.showCommand, 5u);
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
        const Link link = LoadLink(links + kind.linkFile);
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
    }
}

TEST_F(Shortcuts, PathsOutsideTheCodePageArriveWhole) {
    const std::string links = scratch_.Path() + "\\Men\u00FC \u0141\u00F3d\u017A";
    ASSERT_TRUE(CreateDirectoryW(Wide(links).data(), nullptr));
    const std::string program = scratch_.Path() + "\\\u5C71\u7530";
    ASSERT_TRUE(CreateDirectoryW(Wide(program).data(), nullptr));
    test::WriteFileBytes(program + "\\WrenTide.exe", "MZ");
    MakeProgramShortcut(program, links);
    const Link link = LoadLink(links + "\\WrenTide.lnk");
    EXPECT_EQ(link.target, program + "\\WrenTide.exe");
    EXPECT_EQ(link.workingFolder, program);
}

}  // namespace
}  // namespace wt
