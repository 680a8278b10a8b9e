// The install sequence: it runs start to end on the window's thread with the
// window disabled; only what it reports is repainted on the way, and the
// statistics request's wait is spent reading the window's messages. Each step
// raises Error where it fails; the step's boundary logs the cause and turns
// it into the step's message.
#include "wrentide_setup/engine/install_sequence.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "wrentide_setup/checkpoints.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/engine/install_transaction.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/path.h"
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
const char kApplyingPreferences[] = "Applying preferences....";

// One level only unless told otherwise: a missing parent makes it fail. A
// name that is not a full path would resolve against setup's own working
// folder (an emptied folder box means the root of the drive): it counts as a
// folder it could not make. Each level made is journalled, so that a run that
// fails takes it back.
void EnsureFolder(const std::string& path, const char* what, InstallTransaction& change, bool everyLevel = false) {
    if (!IsFullPath(path)) throw Error(std::string(what) + " \"" + path + "\" is not a full path");
    if (DirectoryExists(path)) {
        LogLine(std::string(what) + " \"" + path + "\" exists");
        change.Keeping(path);
        return;
    }
    std::vector<std::string> levels = everyLevel ? MissingFoldersAbove(path) : std::vector<std::string>{};
    levels.push_back(path);
    try {
        for (const std::string& level : levels) {
            change.MakingFolder(level);
            if (!CreateDirectoryW(Wide(level).data(), nullptr)) throw Error(SystemMessage(GetLastError()));
        }
    } catch (const Error& error) {
        throw Error(std::string(what) + " \"" + path + "\" cannot be created: " + error.what());
    }
    LogLine(std::string(what) + " \"" + path + "\" created");
}

// The data folders are made under Local AppData, which the user can write:
// one that is a link elsewhere is not used at all, so that nothing is
// written or deleted through it.
void EnsureDataFolder(const std::string& path, InstallTransaction& change) {
    EnsureFolder(path, "Data folder", change);
    if (!IsPlainFolder(path))
        throw Error("Data folder \"" + path + "\" is a link to another place: nothing is written there");
}

// A step whose failure the install survives or not, as its caller decides:
// the cause goes to the log after logPrefix, and the step's message to the
// report. False when it failed.
template <typename Body>
bool Step(InstallReport& report, const char* message, const char* logPrefix, Body body) {
    try {
        body();
        return true;
    } catch (const Error& error) {
        LogLine(logPrefix + std::string(error.what()));
        report.Message(message);
        return false;
    }
}

// A shortcut in folder to the file in targetFolder, any old one set aside
// first; the log says whether the shell saved it.
void MakeShortcut(void (*make)(const std::string&, const std::string&), const std::string& targetFolder,
                  const char* file, const std::string& folder, const char* link, InstallTransaction& change) {
    const std::string path = JoinPath(folder, link);
    try {
        change.Linking(path, JoinPath(targetFolder, file));
    } catch (const Error& error) {
        LogLine("Shortcut \"" + path + "\" left as it is: " + error.what());
        return;
    }
    make(targetFolder, folder);
    LogLine("Shortcut \"" + path + "\" " + (FileExists(path) ? "made" : "not made"));
}

unsigned long long RoundedUp(unsigned long long bytes, unsigned long long cluster) {
    return (bytes + cluster - 1) / cluster * cluster;
}

// Room for this install on every volume it writes to: each new file while
// the old one is set aside, the temporary file, the links and the copy of the
// preferences. Raises Error naming a volume without it. A folder whose volume
// cannot be told is left to its own step, which then fails and says why.
void CheckRoom(const InstallPlan& plan) {
    const InstallPaths& paths = plan.paths;
    struct Volume {
        std::string root;
        unsigned long long cluster, needed;
    };
    std::vector<Volume> volumes;
    auto need = [&volumes](const std::string& folder, unsigned long long bytes) {
        wchar_t root[MAX_PATH + 1] = L"";
        if (!IsFullPath(folder) || !GetVolumePathNameW(Wide(folder).data(), root, MAX_PATH)) return;
        const std::string name = Utf8(root);
        auto volume = std::find_if(volumes.begin(), volumes.end(), [&](const Volume& v) { return SameText(v.root, name); });
        if (volume == volumes.end()) {
            DWORD sectors = 0, sectorBytes = 0, freeClusters = 0, clusters = 0;
            const bool known = GetDiskFreeSpaceW(root, &sectors, &sectorBytes, &freeClusters, &clusters) && sectors &&
                               sectorBytes;
            volumes.push_back({name, known ? 1ull * sectors * sectorBytes : 4096ull, 0});
            volume = volumes.end() - 1;
        }
        volume->needed += RoundedUp(bytes, volume->cluster);
    };
    unsigned long long largestPack = 0;
    for (size_t row = 0; row < kPayloadRowCount; ++row) {
        need(paths.*kPayloadRows[row].folder, kPayloadFileBytes[row]);
        if (!plan.PerUser() && kPayloadRows[row].fileName == kUninstallerFile)
            need(paths.ProgPth, kPayloadFileBytes[row]);
        largestPack = std::max<unsigned long long>(largestPack, FindResourceBytes(nullptr, kPayloadRows[row].resource).size);
    }
    need(paths.DBPth, largestPack);
    const unsigned long long kLinkBytes = 4096;  // a shell link is a few hundred bytes
    need(paths.MenuPth, 2 * kLinkBytes);
    if (plan.desktopShortcut) need(paths.DeskPth, kLinkBytes);
    WIN32_FILE_ATTRIBUTE_DATA prefs;
    if (GetFileAttributesExW(Wide(JoinPath(paths.DBPth, kPrefsFile)).data(), GetFileExInfoStandard, &prefs))
        need(paths.DBPth, (1ull * prefs.nFileSizeHigh << 32) | prefs.nFileSizeLow);
    for (const Volume& volume : volumes) {
        ULARGE_INTEGER available;
        if (!GetDiskFreeSpaceExW(Wide(volume.root).data(), &available, nullptr, nullptr)) continue;
        if (available.QuadPart < volume.needed)
            throw Error("Not enough room on \"" + volume.root + "\": " + std::to_string(volume.needed) +
                        " bytes needed (the new files beside the old), " + std::to_string(available.QuadPart) +
                        " free");
    }
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

// One row's step: the resource through temp.pak into place. Its clean-up,
// and its milestone when it has one, come whether or not it worked.
void InstallFile(const PayloadFile& file, bool milestone, const InstallPaths& paths, InstallTransaction& change,
                 InstallReport& report) {
    const std::string destination = Destination(file, paths);
    const std::string temp = JoinPath(paths.DBPth, kTempPak);
    std::exception_ptr failure;
    try {
        // Nothing is written, or removed, in a folder that is not a full path.
        if (!IsFullPath(paths.*file.folder))
            throw Error("Cannot create file \"" + destination + "\". The folder is not a full path.");
        change.Replacing(destination);
        change.Replacing(temp);  // journalled once, the first time
        ExtractResource(file.resource, temp);
        InflateFile(temp, destination);
        LogLine("Installed \"" + destination + "\"" +
                (milestone ? " (progress " + std::to_string(file.milestone) + ")" : ""));
    } catch (...) {
        failure = std::current_exception();
    }
    if (FileExists(temp)) RemoveOldFile(temp);
    if (milestone) report.Progress(file.milestone);
    if (failure) std::rethrow_exception(failure);
}

// The registration record, then the preferences: the work folder goes into
// the preferences file once the registry holds it.
void Register(const InstallPlan& plan, InstallTransaction& change, InstallReport& report) {
    WriteRegistration(plan, Journalled(change), kPayloadKilobytes);
    // Kept only when the update can write it: a read-only, held or missing
    // file is left alone, and so is the install.
    const std::string prefs = JoinPath(plan.paths.DBPth, kPrefsFile);
    PrefsFile probe;
    if (probe.Open(prefs)) {
        probe.Close();
        change.Changing(prefs);
    }
    setdest(plan, plan.paths.WrkPth, report);
    LogLine("Recorded the installation in the registry");
}

// The Start-menu folder, the program's and the uninstaller's links there,
// and the desktop's when asked for.
void MakeShortcuts(const InstallPlan& plan, InstallTransaction& change, InstallReport& report) {
    const InstallPaths& paths = plan.paths;
    if (DirectoryExists(paths.MenuPth)) {
        change.Keeping(paths.MenuPth);
    } else {
        try {
            change.MakingFolder(paths.MenuPth);
            CreateDirectoryW(Wide(paths.MenuPth).data(), nullptr);
        } catch (const Error& error) {
            LogLine("Start-menu folder \"" + paths.MenuPth + "\" cannot be created: " + error.what());
        }
    }
    MakeShortcut(MakeProgramShortcut, paths.ProgPth, kProgramFile, paths.MenuPth, kProgramLink, change);
    MakeShortcut(plan.PerUser() ? MakeUserUninstallShortcut : MakeUninstallShortcut, plan.UninstallerFolder(),
                 kUninstallerFile, paths.MenuPth, kUninstallLink, change);
    report.Progress(99);
    if (plan.desktopShortcut)
        MakeShortcut(MakeProgramShortcut, paths.ProgPth, kProgramFile, paths.DeskPth, kProgramLink, change);
    report.Progress(100);
}

}  // namespace

bool setdest(const InstallPlan& plan, const std::string& workFolder, InstallReport& report) {
    report.Status(kApplyingPreferences);
    PrefsFile file;
    UpdatePrefsFile(file, JoinPath(plan.paths.DBPth, kPrefsFile), workFolder);
    return true;
}

void RunInstall(const InstallPlan& plan, InstallReport& report) {
    const InstallPaths& paths = plan.paths;
    // Told of every change before it is made; a run that does not complete
    // takes them all back.
    InstallTransaction change(plan.Root());
    bool success = true;
    try {
        // Before the first change: the room the install needs, and a journal.
        CheckRoom(plan);
        change.Begin();
        Step(report, kProgramFolderFailed, "",
             [&] { EnsureFolder(paths.ProgPth, "Program folder", change, plan.EveryFolderLevel()); });
        success = Step(report, kDataFolderFailed, "", [&] {
            EnsureDataFolder(paths.VendorPth, change);
            EnsureDataFolder(paths.DBPth, change);
        });
        if (success) {
            for (const PayloadFile& file : PayloadTable) {
                InstallFile(file, true, paths, change, report);
                Checkpoint(file.fileName);
                // What an administrator runs to remove an installation for
                // everyone is the program folder's copy, where no user writes.
                if (file.fileName == kUninstallerFile && !plan.PerUser())
                    InstallFile({file.resource, &InstallPaths::ProgPth, file.fileName, file.milestone}, false, paths,
                                change, report);
            }
            Checkpoint("payload");
            Step(report, kRegistrationFailed, "Cannot record the installation in the registry: ",
                 [&] { Register(plan, change, report); });
            Checkpoint("registration");
            MakeShortcuts(plan, change, report);
            Checkpoint("shortcuts");
            // The last step that can fail is done: only now do the old copies go.
            change.Commit();
            Checkpoint("commit");
            // Up to half a minute where a server takes the connection and never
            // answers: the window goes on answering meanwhile.
            std::string ping;
            WaitResponsively([&ping] { ping = SendInstallPing(); });
            LogLine("Statistics request: " + ping);
            Checkpoint("ping");
        }
    } catch (const std::exception& error) {
        success = false;
        LogLine(std::string("Install failed: ") + error.what());
        report.Message(kInstallFailed);
    } catch (...) {
        success = false;
        report.Message(kInstallFailed);
    }
    // Before the end state shows: what this run did is taken back.
    if (!success)
        LogLine(change.Undo() ? "Every change of this run was taken back"
                              : "Not every change of this run could be taken back: the journal stays, and the next "
                                "start of setup or the uninstaller tries again");
    report.Finished(success);
    Checkpoint("complete");
}

}  // namespace wt
