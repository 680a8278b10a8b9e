// What the statistics tests of both builds share, each against loopback
// servers of its own: short bounds, an exchange's failure, a hanging connect.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "wrentide_setup/error.h"
#include "wrentide_setup/stats/stats_ping.h"

namespace wt::test {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

inline PingBounds Short() {
    PingBounds bounds;
    bounds.connect_timeout_ms = 2000;
    bounds.read_timeout_ms = 300;
    bounds.overall_ms = 5000;
    return bounds;
}

// What the exchange fails with, or "no failure".
inline std::string FailureOf(const std::string& host, uint16_t port, const PingBounds& bounds = Short()) {
    try {
        ExchangeInstallPing(host, port, bounds);
    } catch (const Error& e) {
        return e.what();
    }
    return "no failure";
}

// A connect to port on 127.0.0.1, which hangs, fails at the connect deadline.
inline void ExpectConnectTimesOut(uint16_t port) {
    PingBounds bounds = Short();
    bounds.connect_timeout_ms = 400;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(FailureOf("127.0.0.1", port, bounds), "Statistics: connection timed out");
    EXPECT_GE(SecondsSince(start), 0.35);
    EXPECT_LT(SecondsSince(start), 5.0);
}

}  // namespace wt::test
