// What the statistics tests of both builds share, each against loopback
// servers of its own: short bounds, an exchange's failure, a hanging connect,
// and a stand-in connection whose connect never completes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "tests/error_text.h"
#include "wrentide_setup/stats/socket.h"
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

// A connection whose connect never completes: each wait takes the time it is
// given. Were the attempt never given up, it gives up itself after 3 s, with
// a failure of its own.
class NeverConnects : public Connection {
public:
    bool BeginConnect(uint16_t) override { return false; }
    bool WaitConnected(int timeout_ms) override {
        if (SecondsSince(began_) > 3.0) throw Error("the stand-in's connect was never given up");
        longest_wait_ms = std::max(longest_wait_ms, timeout_ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeout_ms, 500)));
        return false;
    }
    void SendAll(const std::string&, int) override { ADD_FAILURE() << "sent on a connection never made"; }
    long Receive(char*, size_t, int) override {
        ADD_FAILURE() << "read from a connection never made";
        return 0;
    }
    int longest_wait_ms = -1;

private:
    const Clock::time_point began_ = Clock::now();
};

// What the exchange (over the connection given, or its own) fails with, or "no failure".
inline std::string FailureOf(const std::string& host, uint16_t port, const PingBounds& bounds = Short(),
                             Connection* over = nullptr) {
    return ErrorText(
        [&] { over ? ExchangeInstallPing(*over, host, port, bounds) : ExchangeInstallPing(host, port, bounds); },
        "no failure");
}

// A connect to port on 127.0.0.1 that hangs (over the connection given, or a
// real one) fails at the connect deadline.
inline void ExpectConnectTimesOut(uint16_t port, Connection* over = nullptr) {
    PingBounds bounds = Short();
    bounds.connect_timeout_ms = 400;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(FailureOf("127.0.0.1", port, bounds, over), "Statistics: connection timed out");
    EXPECT_GE(SecondsSince(start), 0.35);
    EXPECT_LT(SecondsSince(start), 5.0);
}

// The product's connect deadline, and the exchange keeping to a deadline
// against a connect that never completes, on every platform.
inline void ExpectTheConnectDeadlineKept() {
    EXPECT_EQ(PingBounds().connect_timeout_ms, 10000);
    NeverConnects never;
    ExpectConnectTimesOut(80, &never);
    EXPECT_GT(never.longest_wait_ms, 0) << "the connect was never waited for";
    EXPECT_LE(never.longest_wait_ms, 400) << "a wait outlasted the deadline";
}

}  // namespace wt::test
