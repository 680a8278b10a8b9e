// The statistics exchange over the real Winsock, against servers on
// 127.0.0.1 that the test runs itself.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback_server.h"
#include "tests/stats_ping_support.h"

namespace {

using namespace wt::test;

TEST(StatsWinsock, SendsTheFixedRequestAndClosesAKeptOpenConnection) {
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nyes");
    ASSERT_TRUE(server.Listening());
    wt::PingBounds bounds = Short();
    bounds.read_timeout_ms = 3000;
    const wt::ReplySummary got = wt::ExchangeInstallPing("127.0.0.1", server.Port(), bounds);
    ASSERT_TRUE(server.WaitForRequests(1, 10000));
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body_bytes, 3u);
    EXPECT_EQ(server.Requests(), std::vector<std::string>{wt::BuildPingRequest("127.0.0.1")});
    EXPECT_TRUE(server.ClientsClosed());
}

TEST(StatsWinsock, SilentServerCostsThreeWaits) {
    LoopbackServer server("");
    ASSERT_TRUE(server.Listening());
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(FailureOf("127.0.0.1", server.Port()), "Statistics reply: timed out");
    EXPECT_GE(SecondsSince(start), 3 * 0.3 - 0.05);
    EXPECT_LT(SecondsSince(start), 5.0);
    ASSERT_TRUE(server.WaitForRequests(1, 10000));
    EXPECT_TRUE(server.ClientsClosed());
}

TEST(StatsWinsock, AConnectThatNeverCompletesEndsAtTheDeadline) { ExpectTheConnectDeadlineKept(); }

TEST(StatsWinsock, RefusedAndStalledConnectsFail) {
    uint16_t port = 0;
    CloseSocket(ListenOnly(1, &port));
    EXPECT_EQ(FailureOf("127.0.0.1", port), "Statistics: connection failed");

    // A full accept queue drops new SYNs, so the next connect hangs.
    const SOCKET listener = ListenOnly(0, &port);
    ASSERT_NE(listener, INVALID_SOCKET);
    std::vector<SOCKET> fillers;
    bool hangs = false;
    while (!hangs && fillers.size() < 8) {
        SOCKET s = INVALID_SOCKET;
        hangs = ConnectStalls(port, 200, &s);
        fillers.push_back(s);
    }
    if (hangs) ExpectConnectTimesOut(port);
    for (SOCKET s : fillers) CloseSocket(s);
    CloseSocket(listener);
    if (!hangs) GTEST_SKIP() << "connects to a full listener do not stall here";
}

}  // namespace
