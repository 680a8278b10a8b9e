// The install statistics ping: one fixed HTTP/1.1 GET to the maker's server
// at the end of a successful install. Its outcome is never looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wrentide_setup/stats/http_reply.h"

namespace wt {

class Connection;

constexpr const char kStatsPath[] = "/wrentide/nstall.php";
constexpr const char kStatsUserAgent[] = "WrenTide Statstics Tracking";

// Every bound of one exchange; the defaults are the product's.
struct PingBounds {
    int connect_timeout_ms = 10000;
    int read_timeout_ms = 10000;
    // From the start of the connection attempt to the end of the reply:
    // room for a full connect wait and three silent reads, but no more, so
    // a trickling server cannot keep the finished installer frozen.
    int overall_ms = 45000;
    size_t head_bytes = 65536;
    uint64_t body_bytes = 1048576;
};

// The request head, byte for byte: request line, the four headers, empty line.
std::string BuildPingRequest(const std::string& host);

// One exchange with host:port. Returns the reply's status once its body has
// been read and discarded; throws Error when any step fails. The connection
// is closed from this side before it returns, on every path.
ReplySummary ExchangeInstallPing(const std::string& host, uint16_t port, const PingBounds& bounds);
// The same exchange over connection, which the one above opens to host (the
// tests give stand-ins); the connect ends connect_timeout_ms after it began.
ReplySummary ExchangeInstallPing(Connection& connection, const std::string& host, uint16_t port,
                                 const PingBounds& bounds);

// The product's ping to WRENTIDE_STATS_HOST:WRENTIDE_STATS_PORT. Never
// raises; returns once the connection is closed, with what happened, for the
// log ("host:80 answered 200", or why it failed). Windows build only.
std::string SendInstallPing() noexcept;

}  // namespace wt
