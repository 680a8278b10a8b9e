// The faults build's marks: at the step that WT_FAIL_AFTER names the install
// fails as if that step had; at the one that WT_KILL_AFTER names the process
// ends at once, as a power loss or a deployment tool's time-out ends it.
#include <windows.h>

#include <cstring>

#include "wrentide_setup/checkpoints.h"
#include "wrentide_setup/error.h"

namespace wt {

void Checkpoint(const char* step) {
    char named[64] = "";
    if (GetEnvironmentVariableA("WT_KILL_AFTER", named, sizeof named) && std::strcmp(named, step) == 0)
        TerminateProcess(GetCurrentProcess(), 9);
    if (GetEnvironmentVariableA("WT_FAIL_AFTER", named, sizeof named) && std::strcmp(named, step) == 0)
        throw Error(std::string("A fault made by the tests after ") + step);
}

void Checkpoint(const char* step, int count) { Checkpoint((std::string(step) + " " + std::to_string(count)).c_str()); }

TokenStandIn FaultToken() {
    char token[32] = "";
    if (!GetEnvironmentVariableA("WT_TOKEN", token, sizeof token)) return TokenStandIn::Real;
    if (std::strcmp(token, "never-elevated") == 0) return TokenStandIn::NeverElevated;
    SetEnvironmentVariableA("WT_TOKEN", nullptr);
    return std::strcmp(token, "unelevated") == 0 ? TokenStandIn::Unelevated
           : std::strcmp(token, "refused") == 0  ? TokenStandIn::Refused
                                                 : TokenStandIn::Real;
}

}  // namespace wt
