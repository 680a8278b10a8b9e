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

std::string SendInstallPing() noexcept {
    // Whatever the network or the server did, the install's outcome is the
    // same; what happened goes to the log.
    const std::string to = std::string(WRENTIDE_STATS_HOST) + ":" + std::to_string(WRENTIDE_STATS_PORT);
    try {
        const ReplySummary reply = ExchangeInstallPing(WRENTIDE_STATS_HOST, WRENTIDE_STATS_PORT, PingBounds());
        return to + " answered " + std::to_string(reply.status);
    } catch (const std::exception& error) {
        return to + " failed: " + error.what();
    } catch (...) {
        return to + " failed";
    }
}

}  // namespace wt
