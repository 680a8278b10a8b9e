// The install sequence: it runs start to end on the window's thread with the
// window disabled; only what it reports is repainted on the way.
#include "wrentide_setup/engine/install_sequence.h"

#include <windows.h>

#include <exception>

#include "wrentide_setup/bench_marks.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/engine/install_transaction.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/stats/stats_ping.h"
#include "wrentide_setup/system/preferences.h"
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
bool EnsureFolder(const std::string& path, const char* what, InstallTransaction& change) {
    if (!IsFullPath(path)) {
        LogLine(std::string(what) + " \"" + path + "\" is not a full path");
        return false;
    }
    if (DirectoryExists(path)) {
        LogLine(std::string(what) + " \"" + path + "\" exists");
        return true;
    }
    const bool made = CreateDirectoryW(Wide(path).data(), nullptr);
    if (made) change.MadeFolder(path);
    LogLine(std::string(what) + " \"" + path + "\" " + (made ? "created" : "cannot be created: " +
                                                             SystemMessage(GetLastError())));
    return made;
}

// The data folders are made under Local AppData, which the user can write:
// one that is a link elsewhere is not used at all, so that nothing is
// written or deleted through it.
bool EnsureDataFolder(const std::string& path, InstallTransaction& change) {
    if (!EnsureFolder(path, "Data folder", change)) return false;
    const bool plain = IsPlainFolder(path);
    if (!plain) LogLine("Data folder \"" + path + "\" is a link to another place: nothing is written there");
    return plain;
}

// A shortcut in folder, any old one set aside first; the log says whether
// the shell saved it.
void MakeShortcut(void (*make)(const std::string&, const std::string&), const std::string& target,
                  const std::string& folder, const char* link, InstallTransaction& change) {
    const std::string path = JoinPath(folder, link);
    change.Replacing(path);
    make(target, folder);
    LogLine("Shortcut \"" + path + "\" " + (FileExists(path) ? "made" : "not made"));
}

// Every registry write goes through the transaction first, which keeps the
// value it replaces.
RegistryAccess Journalled(InstallTransaction& change) {
    RegistryAccess registry = SystemRegistry();
    registry.put = [&change, put = registry.put](const std::string& root, const std::string& key,
                                                  const std::string& name, const std::string& text) {
        change.SettingValue(root, key, name);
        put(root, key, name, text);
    };
    registry.putNumber = [&change, put = registry.putNumber](const std::string& root, const std::string& key,
                                                             const std::string& name, unsigned long number) {
        change.SettingValue(root, key, name);
        put(root, key, name, number);
    };
    return registry;
}

}  // namespace

void RunInstall(const InstallPaths& paths, const InstallOptions& options, InstallReport& report) {
    // Told of every change; a run that does not complete takes them all back.
    InstallTransaction change(paths);
    bool success = true;
    if (!EnsureFolder(paths.ProgPth, "Program folder", change)) report.Message(kProgramFolderFailed);
    if (!EnsureDataFolder(paths.VendorPth, change) || !EnsureDataFolder(paths.DBPth, change)) {
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
                    change.Replacing(destination);
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
                BenchMark(file.fileName);
            }
            BenchMark("payload");
            std::string why;
            const std::string prefs = JoinPath(paths.DBPth, kPrefsFile);
            const bool recorded = WriteRegistration(paths, [&](const std::string& workFolder) {
                change.Changing(prefs);
                report.StoreWorkFolder(workFolder);
                return true;
            }, Journalled(change), kPayloadKilobytes, &why);
            LogLine(recorded ? "Recorded the installation in the registry"
                             : "Cannot record the installation in the registry: " + why);
            if (!recorded) report.Message(kRegistrationFailed);
            BenchMark("registration");
            if (CreateDirectoryW(Wide(paths.MenuPth).data(), nullptr)) change.MadeFolder(paths.MenuPth);
            MakeShortcut(MakeProgramShortcut, paths.ProgPth, paths.MenuPth, kProgramLink, change);
            MakeShortcut(MakeUninstallShortcut, paths.DBPth, paths.MenuPth, kUninstallLink, change);
            report.Progress(99);
            if (options.desktopShortcut)
                MakeShortcut(MakeProgramShortcut, paths.ProgPth, paths.DeskPth, kProgramLink, change);
            report.Progress(100);
            BenchMark("shortcuts");
            // The last step that can fail is done: only now do the old copies go.
            change.Commit();
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
    // Before the end state shows: what this run did is taken back.
    if (!success) {
        change.Undo();
        LogLine("Every change of this run was taken back");
    }
    report.Finished(success);
    BenchMark("complete");
}

}  // namespace wt
