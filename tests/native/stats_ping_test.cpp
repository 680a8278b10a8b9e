// The whole exchange against real servers on 127.0.0.1, with short bounds.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tests/stats_ping_support.h"

namespace {

using namespace wt::test;

int ListeningSocket(int backlog, uint16_t* port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0)
        ADD_FAILURE() << "no loopback listener";
    *port = ntohs(at.sin_port);
    return fd;
}

bool Readable(int fd, int timeout_ms) {
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, timeout_ms) > 0;
}

// Serves connections one at a time: reads the request head, runs the reply
// script, then waits (up to 5 s) for the client to close its end. Stop()
// ends only the accept loop, so a late close is still seen.
class Server {
public:
    using Reply = std::function<void(int fd)>;

    explicit Server(Reply reply) : reply_(std::move(reply)) {
        listener_ = ListeningSocket(4, &port_);
        thread_ = std::thread([this] { Run(); });
    }
    ~Server() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) close(listener_);
        listener_ = -1;
    }
    uint16_t port() const { return port_; }
    int connections() const { return connections_; }
    bool client_closed() const { return client_closed_; }
    std::string request() {
        std::lock_guard<std::mutex> lock(mutex_);
        return request_;
    }

private:
    void Run() {
        while (!stop_) {
            if (!Readable(listener_, 20)) continue;
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            ++connections_;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos && Readable(fd, 2000)) {
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                head.append(buffer, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                request_ = head;
            }
            reply_(fd);
            for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end;) {
                if (!Readable(fd, 20)) continue;
                if (recv(fd, buffer, sizeof buffer, 0) <= 0) {
                    client_closed_ = true;
                    break;
                }
            }
            close(fd);
        }
    }

    Reply reply_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<bool> client_closed_{false};
    std::mutex mutex_;
    std::string request_;
};

bool Send(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

Server::Reply Answer(const std::string& reply, bool then_close) {
    return [=](int fd) {
        Send(fd, reply);
        if (then_close) shutdown(fd, SHUT_WR);
    };
}

// Sends head, then piece after piece until the client goes away (or 5 s).
Server::Reply Endless(const std::string& head, const std::string& piece, int pause_ms) {
    return [=](int fd) {
        const Clock::time_point end = Clock::now() + std::chrono::seconds(5);
        for (bool ok = Send(fd, head); ok && Clock::now() < end; ok = Send(fd, piece))
            std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    };
}

TEST(StatsPing, RequestIsExactlyTheFixedHead) {
    EXPECT_EQ(wt::BuildPingRequest("stats.wrentide.example"),
              "GET /wrentide/nstall.php HTTP/1.1\r\n"
              "Host: stats.wrentide.example\r\n"
              "Accept: text/html, */*\r\n"
              "Accept-Encoding: identity\r\n"
              "User-Agent: WrenTide Statstics Tracking\r\n"
              "\r\n");
}

TEST(StatsPing, EveryReplyIsReadOnceAndNothingIsFollowed) {
    struct Row {
        const char* name;
        std::string reply;  // "@" stands for the decoy server's port
        bool then_close;
        int status;
        uint64_t body;
    } rows[] = {
        {"200 kept open", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nSet-Cookie: id=1\r\n\r\nok", false, 200, 2},
        {"204", "HTTP/1.1 204 No Content\r\n\r\n", false, 204, 0},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", false, 200, 3},
        {"close", "HTTP/1.1 200 OK\r\n\r\nuntil the end", true, 200, 13},
        {"100 then 200", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, 200, 0},
        {"302", "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:@/x\r\nContent-Length: 1\r\n\r\nx", false, 302, 1},
        {"401", "HTTP/1.1 401 No\r\nWWW-Authenticate: Basic realm=\"x\"\r\nContent-Length: 1\r\n\r\nx", false, 401, 1},
        {"404", "HTTP/1.1 404 Not Found\r\n\r\nmissing", true, 404, 7},
        {"500", "HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops", false, 500, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Server decoy(Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false));
        std::string reply = row.reply;
        const size_t at = reply.find('@');
        if (at != std::string::npos) reply.replace(at, 1, std::to_string(decoy.port()));
        Server server(Answer(reply, row.then_close));

        wt::PingBounds bounds = Short();
        bounds.read_timeout_ms = 3000;
        const Clock::time_point start = Clock::now();
        const wt::ReplySummary got = wt::ExchangeInstallPing("127.0.0.1", server.port(), bounds);
        EXPECT_LT(SecondsSince(start), 2.0);  // returned at the body's end, not after a wait
        EXPECT_EQ(got.status, row.status);
        EXPECT_EQ(got.body_bytes, row.body);
        server.Stop();
        decoy.Stop();
        EXPECT_EQ(server.request(), wt::BuildPingRequest("127.0.0.1"));
        EXPECT_EQ(server.connections(), 1);
        EXPECT_TRUE(server.client_closed());
        EXPECT_EQ(decoy.connections(), 0);
    }
}

TEST(StatsPing, SilenceCostsOneWaitPerStepThenTheClientCloses) {
    struct Row {
        const char* name;
        std::string reply;
        double min_seconds;
    } rows[] = {{"nothing ever", "", 3 * 0.3}, {"head, then nothing", "HTTP/1.1 200 OK\r\n\r\nab", 0.3}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Server server(Answer(row.reply, false));
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(FailureOf("127.0.0.1", server.port()), "Statistics reply: timed out");
        EXPECT_GE(SecondsSince(start), row.min_seconds - 0.05);
        EXPECT_LT(SecondsSince(start), 5.0);
        server.Stop();
        EXPECT_TRUE(server.client_closed());
    }
}

TEST(StatsPing, MisbehavingServersAreCutOff) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    struct Row {
        const char* name;
        Server::Reply reply;
        const char* failure;
    } rows[] = {
        {"over-long line", Answer(ok + "X: " + std::string(20000, 'a') + "\r\n\r\n", false),
         "Statistics reply: line too long"},
        {"trickle", Endless(ok, "X", 50), "Statistics reply: exchange took too long"},
        {"endless headers", Endless(ok, "X-Pad: 0123456789abcdef\r\n", 0), "Statistics reply: head too large"},
        {"endless body", Endless(ok + "\r\n", std::string(8192, 'b'), 0), "Statistics reply: body too large"},
        {"closed early", Answer(ok + "Content-Length: 10\r\n\r\nabc", true), "Statistics reply: connection closed early"},
    };
    wt::PingBounds bounds = Short();
    bounds.read_timeout_ms = 1000;
    bounds.overall_ms = 600;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Server server(row.reply);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(FailureOf("127.0.0.1", server.port(), bounds), row.failure);
        EXPECT_LT(SecondsSince(start), 5.0);
        server.Stop();
        EXPECT_TRUE(server.client_closed());
    }
}

TEST(StatsPing, AConnectThatNeverCompletesEndsAtTheDeadline) { ExpectTheConnectDeadlineKept(); }

TEST(StatsPing, UnreachableServersFailAtOnceOrAtTheConnectDeadline) {
    uint16_t port = 0;
    close(ListeningSocket(1, &port));  // nothing listens there any more
    EXPECT_EQ(FailureOf("127.0.0.1", port), "Statistics: connection failed");

    // Too long for a DNS name, so the resolver refuses it without a query.
    EXPECT_EQ(FailureOf(std::string(300, 'a') + ".example", 80), "Statistics: host name does not resolve");

    // A listener whose accept queue is full drops new SYNs: the connect hangs.
    const int listener = ListeningSocket(0, &port);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> fillers;
    bool hangs = false;
    while (!hangs && fillers.size() < 8) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd p = {fd, POLLOUT, 0};
        hangs = poll(&p, 1, 200) == 0;
        fillers.push_back(fd);
    }
    if (hangs) ExpectConnectTimesOut(port);
    for (int fd : fillers) close(fd);
    close(listener);
    if (!hangs) GTEST_SKIP() << "this kernel does not stall connects to a full listener";
}

}  // namespace
