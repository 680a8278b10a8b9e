// The installation's record in the registry: the product's settings key, read
// by the installed application and its uninstaller, and the entry in the
// system's list of installed programs.
#pragma once

#include <functional>
#include <string>

#include "wrentide_setup/context/install_paths.h"

namespace wt {

extern const char kRegistrationFailed[];  // the failure message's text

// The registry operations the record is written through.
struct RegistryAccess {
    std::function<void(const std::string& root, const std::string& keyPath, const std::string& name,
                       const std::string& text)>
        put;
    std::function<std::string(const std::string& root, const std::string& keyPath, const std::string& name)> get;
    std::function<void(const std::string& root, const std::string& keyPath, const std::string& name,
                       unsigned long number)>
        putNumber;
};

// RegPutString, RegGetString and RegPutNumber.
RegistryAccess SystemRegistry();

// Receives the work folder once the registry is written (TForm1::setdest).
using WorkFolderStore = std::function<bool(const std::string& workFolder)>;

// Writes both keys from paths, then hands the work folder to storeWorkFolder.
// The first error ends it there, leaving what was written, and answers false:
// the caller then shows the failure message, and the error's own text goes to
// *failure when given. Nothing is raised. installedKilobytes is the installed
// files' total size, shown in the list of installed programs.
bool WriteRegistration(const InstallPaths& paths, const WorkFolderStore& storeWorkFolder,
                       const RegistryAccess& registry = SystemRegistry(), unsigned long installedKilobytes = 0,
                       std::string* failure = nullptr);

// Fills paths from the recorded installation and the special folders, and
// decides between fresh install, re-install and the application being active
// (the caller shows the message about it). Errors of the registry and the
// shell are raised.
InstallKind DiscoverInstallPaths(InstallPaths& paths);

}  // namespace wt
