// The statistics exchange over the real Winsock, against servers on
// 127.0.0.1 that the test runs itself.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/stats_ping_support.h"

namespace {

using namespace wt::test;

// Wine 8 cannot use ws2_32 again once a process has unloaded it (sockets come
// back as WSAENOTSOCK), and each exchange unloads its own reference: hold one
// for the whole run.
HMODULE KeptWinsock() {
    static const HMODULE module = LoadLibraryA("ws2_32.dll");
    return module;
}

// The test's own Winsock, loaded at run time like the product's, so that the
// test exe does not import ws2_32 either.
struct Winsock {
#define WT_WINSOCK(F) decltype(&::F) F = reinterpret_cast<decltype(&::F)>(reinterpret_cast<void (*)()>(GetProcAddress(module, #F)))
    HMODULE module = KeptWinsock();
    WT_WINSOCK(WSAStartup);
    WT_WINSOCK(WSACleanup);
    WT_WINSOCK(socket);
    WT_WINSOCK(bind);
    WT_WINSOCK(listen);
    WT_WINSOCK(getsockname);
    WT_WINSOCK(accept);
    WT_WINSOCK(connect);
    WT_WINSOCK(ioctlsocket);
    WT_WINSOCK(select);
    WT_WINSOCK(recv);
    WT_WINSOCK(send);
    WT_WINSOCK(closesocket);
#undef WT_WINSOCK
    Winsock() {
        WSADATA data;
        started = module != nullptr && closesocket != nullptr && WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Winsock() {
        if (started) WSACleanup();
    }
    bool started = false;

    bool Ready(SOCKET s, bool for_write, int timeout_ms) {
        fd_set set;
        set.fd_count = 1;
        set.fd_array[0] = s;
        timeval tv = {timeout_ms / 1000, timeout_ms % 1000 * 1000};
        return select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr, &tv) == 1;
    }

    SOCKET Listen(int backlog, uint16_t* port) {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = 0x0100007F;  // 127.0.0.1 in network order
        int size = sizeof at;
        if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, backlog) != 0 ||
            getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            ADD_FAILURE() << "no loopback listener";
        *port = static_cast<uint16_t>(at.sin_port >> 8 | at.sin_port << 8);
        return s;
    }
};

// Takes one connection: records the request head, sends reply, then waits
// (up to 5 s) for the client to close.
class Server {
public:
    Server(Winsock& ws, std::string reply) : ws_(ws), reply_(std::move(reply)) {
        listener_ = ws_.Listen(4, &port_);
        thread_ = std::thread([this] { Run(); });
    }
    ~Server() {
        if (thread_.joinable()) thread_.join();
        ws_.closesocket(listener_);
    }
    void Join() { thread_.join(); }
    uint16_t port_ = 0;
    std::string request;
    bool client_closed = false;

private:
    void Run() {
        if (!ws_.Ready(listener_, false, 5000)) return;
        const SOCKET s = ws_.accept(listener_, nullptr, nullptr);
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && ws_.Ready(s, false, 2000)) {
            const int n = ws_.recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, n);
        }
        ws_.send(s, reply_.data(), static_cast<int>(reply_.size()), 0);
        client_closed = ws_.Ready(s, false, 5000) && ws_.recv(s, buffer, sizeof buffer, 0) <= 0;
        ws_.closesocket(s);
    }

    Winsock& ws_;
    std::string reply_;
    SOCKET listener_ = INVALID_SOCKET;
    std::thread thread_;
};

TEST(StatsWinsock, SendsTheFixedRequestAndClosesAKeptOpenConnection) {
    Winsock ws;
    ASSERT_TRUE(ws.started);
    Server server(ws, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nyes");
    wt::PingBounds bounds = Short();
    bounds.read_timeout_ms = 3000;
    const wt::ReplySummary got = wt::ExchangeInstallPing("127.0.0.1", server.port_, bounds);
    server.Join();
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body_bytes, 3u);
    EXPECT_EQ(server.request, wt::BuildPingRequest("127.0.0.1"));
    EXPECT_TRUE(server.client_closed);
}

TEST(StatsWinsock, SilentServerCostsThreeWaits) {
    Winsock ws;
    ASSERT_TRUE(ws.started);
    Server server(ws, "");
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(FailureOf("127.0.0.1", server.port_), "Statistics reply: timed out");
    EXPECT_GE(SecondsSince(start), 3 * 0.3 - 0.05);
    EXPECT_LT(SecondsSince(start), 5.0);
    server.Join();
    EXPECT_TRUE(server.client_closed);
}

TEST(StatsWinsock, RefusedAndStalledConnectsFail) {
    Winsock ws;
    ASSERT_TRUE(ws.started);
    uint16_t port = 0;
    ws.closesocket(ws.Listen(1, &port));
    EXPECT_EQ(FailureOf("127.0.0.1", port), "Statistics: connection failed");

    // A full accept queue drops new SYNs, so the next connect hangs.
    const SOCKET listener = ws.Listen(0, &port);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = static_cast<u_short>(port >> 8 | port << 8);
    to.sin_addr.s_addr = 0x0100007F;
    std::vector<SOCKET> fillers;
    bool hangs = false;
    while (!hangs && fillers.size() < 8) {
        const SOCKET s = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long on = 1;
        ws.ioctlsocket(s, FIONBIO, &on);
        ws.connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
        hangs = !ws.Ready(s, true, 200);
        fillers.push_back(s);
    }
    if (hangs) ExpectConnectTimesOut(port);
    for (SOCKET s : fillers) ws.closesocket(s);
    ws.closesocket(listener);
    if (!hangs) GTEST_SKIP() << "connects to a full listener do not stall here";
}

}  // namespace
