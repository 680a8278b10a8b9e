// Where a default install goes in the test prefix, the check that every
// payload file arrived as built, and the steps of a run that every case takes
// alike. Shared by the end-to-end tests and the test of a signed setup exe.
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

// The default installation's folders, desktop link and keys removed, as on a
// machine that never had it.
inline void RemoveDefaultInstall(const Places& places = Places()) {
    test::DeleteProductKeys();
    for (const std::string& made : {places.program, places.vendor, places.menu}) test::RemoveTree(made);
    DeleteFileW(Wide(places.desk + "\\WrenTide.lnk").data());
}

// Waits for process to end: its exit code, or 99 (and a failure) when it has not ended in time.
inline DWORD ExitCode(Process& process, DWORD milliseconds = kWait) {
    DWORD code = 99;
    EXPECT_TRUE(process.WaitExit(milliseconds, &code)) << "process " << process.Id() << " did not end";
    return code;
}

// The install button pressed (by accelerator, if given), and the install seen
// through to "Installation Complete" with no message on the way.
inline bool Completes(SetupRun& run, const char* caption = "&Install", char accelerator = 0) {
    if (!run.Install(caption, {}, accelerator)) return false;
    EXPECT_TRUE(run.messages.empty()) << run.messages.front();
    EXPECT_EQ(run.Status(), "Installation Complete");
    return run.Status() == "Installation Complete";
}

// One of the window's buttons that end it ("Finished", "Close", "&Cancel")
// pressed: setup ends with exit code 0.
inline bool EndsBy(SetupRun& run, const char* button) {
    Click(run.Control("Button", button));
    const DWORD code = ExitCode(run.process());
    EXPECT_EQ(code, 0u) << "after " << button;
    return code == 0;
}
inline bool Finish(SetupRun& run) { return EndsBy(run, "Finished"); }

}  // namespace wt::e2e
