#include "wrentide_setup/stats/stats_ping.h"

namespace wt {
namespace {

// The host goes into the Host header as it is: a stray blank or line break
// set at configure time would corrupt the request.
constexpr bool IsPlainHostName(const char* host) {
    if (*host == '\0') return false;
    for (; *host != '\0'; ++host) {
        const char c = *host;
        if (c <= ' ' || c == 0x7F || c == ':' || c == '/') return false;
    }
    return true;
}

static_assert(IsPlainHostName(WRENTIDE_STATS_HOST), "WRENTIDE_STATS_HOST must be a bare host name");
static_assert(WRENTIDE_STATS_PORT > 0 && WRENTIDE_STATS_PORT <= 65535, "WRENTIDE_STATS_PORT out of range");

}  // namespace

void SendInstallPing() noexcept {
    try {
        ExchangeInstallPing(WRENTIDE_STATS_HOST, WRENTIDE_STATS_PORT, PingBounds());
    } catch (...) {
        // Whatever the network or the server did, the install's outcome is
        // the same.
    }
}

}  // namespace wt
