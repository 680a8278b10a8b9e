// The tests' own HTTP server on 127.0.0.1: each connection's request head is
// kept and answered with one canned reply, well formed or not (or none: the
// connection is then held until the client gives up), and the client's close
// is awaited. Winsock is loaded at run time, as the
// product loads it, so that no test exe imports it.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wt::test {

extern const char kOkReply[];  // 200 with a two-byte body

class LoopbackServer {
public:
    // Port 0 takes a free one, read back by Port().
    explicit LoopbackServer(std::string reply = kOkReply, uint16_t port = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Listening() const { return listener_ != INVALID_SOCKET; }
    uint16_t Port() const { return port_; }
    // The request heads of the connections served so far, in order.
    std::vector<std::string> Requests();
    // Waits up to milliseconds for that many connections to be done with.
    bool WaitForRequests(size_t count, int milliseconds);
    // Whether every client served so far closed its side after the reply.
    bool ClientsClosed();

    struct Api;  // Winsock's functions, looked up once for the process

private:
    void Serve();

    const Api& api_;
    std::string reply_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    bool allClosed_ = true;
    bool stopping_ = false;
};

// A listener on 127.0.0.1 that accepts nothing (backlog as given), for
// refused and stalled connects; INVALID_SOCKET when none could be made.
SOCKET ListenOnly(int backlog, uint16_t* port);
void CloseSocket(SOCKET s);
// A non-blocking connect to 127.0.0.1:port; true when it is still pending
// after milliseconds. The socket goes to *made.
bool ConnectStalls(uint16_t port, int milliseconds, SOCKET* made);

}  // namespace wt::test
