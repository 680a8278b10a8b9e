// Where a default install goes in the test prefix, and the check that every
// payload file arrived as built. Shared by the install tests and the test of
// a signed setup exe.
#pragma once

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "wrentide_setup/engine/payload.h"

#include "setup_run.h"
#include "test_support.h"

namespace wt::e2e {

// Worked out as setup does, from the shell's folders as they are now.
struct Places {
    std::string program = ShellFolder(CSIDL_PROGRAM_FILES) + "\\WrenTide";
    std::string vendor = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\tessel-soft";
    std::string data = vendor + "\\WrenTide";
    std::string work = ShellFolder(CSIDL_PERSONAL) + "\\WrenTide";
    std::string menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\WrenTide";
    std::string desk = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    // An installation for one user: its program folder and its own menu.
    std::string userPrograms = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs";
    std::string userProgram = userPrograms + "\\WrenTide";
    std::string userMenu = ShellFolder(CSIDL_PROGRAMS) + "\\WrenTide";
};

struct PayloadFile {
    const char* name;
    bool inProgramFolder;
};
// The product's own table, the one list of what an install puts where.
inline std::vector<PayloadFile> InstalledFiles() {
    std::vector<PayloadFile> files;
    for (const wt::PayloadFile& row : PayloadTable) files.push_back({row.fileName + 1, row.folder == &InstallPaths::ProgPth});
    return files;
}
inline const std::vector<PayloadFile> kFiles = InstalledFiles();

// Each of the seven files byte for byte as built, and no temporary file left;
// for everyone the program folder's uninstaller too.
inline void ExpectInstalledFiles(const std::string& program, const std::string& data, bool forEveryone = true) {
    for (const PayloadFile& f : kFiles) {
        SCOPED_TRACE(f.name);
        std::string path = (f.inProgramFolder ? program : data) + "\\" + f.name;
        const std::string got = test::ReadFileBytes(path), built = test::ReadFileBytes(test::BuiltPayloadFile(f.name));
        // Not the bytes themselves: a failure would print whole programs.
        EXPECT_TRUE(got == built) << path << " holds " << got.size() << " bytes, not the " << built.size() << " built";
    }
    if (forEveryone) {
        EXPECT_TRUE(test::ReadFileBytes(program + "\\uninstall.exe") == test::ReadFileBytes(test::BuiltPayloadFile("uninstall.exe")))
            << "the program folder's uninstaller";
    }
    EXPECT_FALSE(test::PathExists(data + "\\temp.pak"));
}

}  // namespace wt::e2e
