// Shortcuts saved through the real shell link object and loaded back through
// it; the show command is read from the file, since Wine's loader drops it.
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <string>

#include "test_support.h"

namespace wt {
namespace {


struct Link {
    std::string path, workingFolder, arguments;
    uint32_t showCommand = 0;
};

std::wstring Wide(const std::string& text) {
    wchar_t wide[MAX_PATH * 2] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH * 2);
    return wide;
}

Link LoadLink(const std::string& file) {
    Link link;
    ComPtr<IShellLinkA> shell;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, shell.Receive()), S_OK);
    if (!shell) return link;
    ComPtr<IPersistFile> persist;
    EXPECT_EQ(shell->QueryInterface(IID_IPersistFile, persist.Receive()), S_OK);
    if (!persist) return link;
    EXPECT_EQ(persist->Load(Wide(file).c_str(), STGM_READ), S_OK) << file;
    char text[MAX_PATH * 2] = "";
    shell->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
    link.path = text;
    text[0] = '\0';
    shell->GetWorkingDirectory(text, sizeof text);
    link.workingFolder = text;
    strcpy(text, "canary");
    shell->GetArguments(text, sizeof text);
    link.arguments = text;

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

TEST_F(Shortcuts, TheLinkPathIsTakenInTheAnsiCodePage) {
    // 0xE9 is one character in the single-byte code pages; taken as UTF-8 it would be a broken sequence.
    wchar_t e = 0;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\xE9", 1, &e, 1) != 1 || e < 0x80)
        GTEST_SKIP() << "code page " << GetACP() << " has no single-byte 0xE9";
    const std::string links = scratch_.Path() + "\\Men\xE9";
    ASSERT_TRUE(CreateDirectoryA(links.c_str(), nullptr));
    MakeProgramShortcut(scratch_.Path() + "\\Caf\xE9", links);
    ASSERT_TRUE(test::PathExists(links + "\\WrenTide.lnk"));
    EXPECT_EQ(LoadLink(links + "\\WrenTide.lnk").path, scratch_.Path() + "\\Caf\xE9\\WrenTide.exe");
}

}  // namespace
}  // namespace wt
