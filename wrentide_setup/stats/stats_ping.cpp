#include "wrentide_setup/stats/stats_ping.h"

#include <chrono>

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
    ReplyLimits limits;
    limits.read_timeout_ms = bounds.read_timeout_ms;
    // Resolution has no deadline of its own, so the clock starts after it.
    limits.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bounds.overall_ms);
    limits.head_bytes = bounds.head_bytes;
    limits.body_bytes = bounds.body_bytes;

    client.Connect(port, bounds.connect_timeout_ms);
    client.SendAll(BuildPingRequest(host), bounds.read_timeout_ms);
    return ReadReply(client, limits);
}

}  // namespace wt
