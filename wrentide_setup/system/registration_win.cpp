#include "wrentide_setup/system/registration.h"

#include "wrentide_setup/system/registry.h"

namespace wt {

RegistryAccess SystemRegistry() { return {RegPutString, RegGetString}; }

}  // namespace wt
