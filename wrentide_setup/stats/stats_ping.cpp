#include "wrentide_setup/stats/stats_ping.h"

#include <chrono>

#include "wrentide_setup/error.h"
#include "wrentide_setup/stats/socket.h"

namespace wt {

std::string BuildPingRequest(const std::string& host) {
    std::string head;
    head.reserve(160 + host.size());
    head += "GET ";
    head += kStatsPath;
    head += " HTTP/1.1\r\n";
    head += "Host: " + host + "\r\n";
    head += "Accept: text/html, */*\r\n";
    head += "Accept-Encoding: identity\r\n";
    head += "User-Agent: ";
    head += kStatsUserAgent;
    head += "\r\n\r\n";
    return head;
}

ReplySummary ExchangeInstallPing(const std::string& host, uint16_t port, const PingBounds& bounds) {
    TcpClient client(host);
    return ExchangeInstallPing(client, host, port, bounds);
}

ReplySummary ExchangeInstallPing(Connection& connection, const std::string& host, uint16_t port,
                                 const PingBounds& bounds) {
    using Clock = std::chrono::steady_clock;
    ReplyLimits limits;
    limits.read_timeout_ms = bounds.read_timeout_ms;
    // Resolution has no deadline of its own, so the clocks start after it.
    const Clock::time_point start = Clock::now();
    limits.deadline = start + std::chrono::milliseconds(bounds.overall_ms);
    limits.head_bytes = bounds.head_bytes;
    limits.body_bytes = bounds.body_bytes;

    // A wait may end early; the deadline is the attempt's, not the wait's.
    const Clock::time_point connect_end = start + std::chrono::milliseconds(bounds.connect_timeout_ms);
    if (!connection.BeginConnect(port)) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(connect_end - Clock::now()).count();
            if (connection.WaitConnected(left > 0 ? static_cast<int>(left) : 0)) break;
            if (Clock::now() >= connect_end) throw Error("Statistics: connection timed out");
        }
    }
    connection.SendAll(BuildPingRequest(host), bounds.read_timeout_ms);
    return ReadReply(connection, limits);
}

}  // namespace wt
