// The install sequence: it runs start to end on the window's thread with the
// window disabled; only what it reports is repainted on the way.
#include "wrentide_setup/engine/install_sequence.h"

#include <windows.h>

#include <exception>

#include "wrentide_setup/bench_marks.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/stats/stats_ping.h"
#include "wrentide_setup/system/registration.h"
#include "wrentide_setup/system/setup_log.h"
#include "wrentide_setup/system/shortcuts.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

const char kProgramFolderFailed[] = "Install Failed! Unable to create Install Folder.";
const char kDataFolderFailed[] = "Install Failed! Try installing again as Administrator.";
const char kInstallFailed[] = "Install Failed!  Try installing as administrator.";

// One level only: a missing parent makes it fail. A name that is not a full
// path would resolve against setup's own working folder (an emptied folder
// box means the root of the drive): it counts as a folder it could not make.
bool EnsureFolder(const std::string& path, const char* what) {
    if (!IsFullPath(path)) {
        LogLine(std::string(what) + " \"" + path + "\" is not a full path");
        return false;
    }
    if (DirectoryExists(path)) {
        LogLine(std::string(what) + " \"" + path + "\" exists");
        return true;
    }
    const bool made = CreateDirectoryW(Wide(path).data(), nullptr);
    LogLine(std::string(what) + " \"" + path + "\" " + (made ? "created" : "cannot be created: " +
                                                             SystemMessage(GetLastError())));
    return made;
}

// The data folders are made under Local AppData, which the user can write:
// one that is a link elsewhere is not used at all, so that nothing is
// written or deleted through it.
bool EnsureDataFolder(const std::string& path) {
    if (!EnsureFolder(path, "Data folder")) return false;
    const bool plain = IsPlainFolder(path);
    if (!plain) LogLine("Data folder \"" + path + "\" is a link to another place: nothing is written there");
    return plain;
}

// The log's note of a shortcut the shell has, or has not, saved.
void LogShortcut(const std::string& folder, const char* link) {
    const std::string path = JoinPath(folder, link);
    LogLine("Shortcut \"" + path + "\" " + (FileExists(path) ? "made" : "not made"));
}

}  // namespace

void RunInstall(const InstallPaths& paths, const InstallOptions& options, InstallReport& report) {
    bool success = true;
    if (!EnsureFolder(paths.ProgPth, "Program folder")) report.Message(kProgramFolderFailed);
    if (!EnsureDataFolder(paths.VendorPth) || !EnsureDataFolder(paths.DBPth)) {
        success = false;
        report.Message(kDataFolderFailed);
    }

    if (success) {
        try {
            const std::string temp = JoinPath(paths.DBPth, kTempPak);
            for (const PayloadFile& file : PayloadTable) {
                const std::string destination = Destination(file, paths);
                std::exception_ptr failure;
                try {
                    // Nothing is written, or removed, in a folder that is not a full path.
                    if (!IsFullPath(paths.*file.folder))
                        throw Error("Cannot create file \"" + destination + "\". The folder is not a full path.");
                    if (FileExists(destination)) RemoveOldFile(destination);
                    ExtractResource(file.resource, temp);
                    InflateFile(temp, destination);
                    LogLine("Installed \"" + destination + "\" (progress " + std::to_string(file.milestone) + ")");
                } catch (...) {
                    failure = std::current_exception();
                }
                // The step's clean-up and milestone come whether or not it worked.
                if (FileExists(temp)) RemoveOldFile(temp);
                report.Progress(file.milestone);
                if (failure) std::rethrow_exception(failure);
            }
            BenchMark("payload");
            std::string why;
            const bool recorded = WriteRegistration(paths, [&report](const std::string& workFolder) {
                report.StoreWorkFolder(workFolder);
                return true;
            }, SystemRegistry(), kPayloadKilobytes, &why);
            LogLine(recorded ? "Recorded the installation in the registry"
                             : "Cannot record the installation in the registry: " + why);
            if (!recorded) report.Message(kRegistrationFailed);
            BenchMark("registration");
            CreateDirectoryW(Wide(paths.MenuPth).data(), nullptr);
            MakeProgramShortcut(paths.ProgPth, paths.MenuPth);
            LogShortcut(paths.MenuPth, kProgramLink);
            MakeUninstallShortcut(paths.DBPth, paths.MenuPth);
            LogShortcut(paths.MenuPth, kUninstallLink);
            report.Progress(99);
            if (options.desktopShortcut) {
                MakeProgramShortcut(paths.ProgPth, paths.DeskPth);
                LogShortcut(paths.DeskPth, kProgramLink);
            }
            report.Progress(100);
            BenchMark("shortcuts");
            LogLine("Statistics request: " + SendInstallPing());
            BenchMark("ping");
        } catch (const std::exception& error) {
            success = false;
            LogLine(std::string("Install failed: ") + error.what());
            report.Message(kInstallFailed);
        } catch (...) {
            success = false;
            report.Message(kInstallFailed);
        }
    }
    report.Finished(success);
    BenchMark("complete");
}

}  // namespace wt
