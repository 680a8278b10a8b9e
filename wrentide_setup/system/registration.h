// The installation's record in the registry: the product's settings key, read
// by the installed application and its uninstaller, and the entry in the
// system's list of installed programs.
#pragma once

#include <functional>
#include <string>

#include "wrentide_setup/context/install_plan.h"

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

// Writes both keys of plan's record through registry, with installedKilobytes,
// the installed files' total size, shown in the list of installed programs.
// The first error ends it there, leaving what was written, and is raised as
// it came: the caller shows the failure message.
void WriteRegistration(const InstallPlan& plan, const RegistryAccess& registry = SystemRegistry(),
                       unsigned long installedKilobytes = 0);

}  // namespace wt
