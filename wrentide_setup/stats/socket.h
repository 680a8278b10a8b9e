// The thin socket layer under the statistics request: one TCP connection to
// the first IPv4 address of a host. Winsock on Windows (loaded at run time,
// so the exe does not import it), BSD sockets natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "wrentide_setup/stats/http_reply.h"

namespace wt {

// What the statistics exchange needs of a connection: the TCP client below,
// or in tests a stand-in (a connect that never completes, say).
class Connection : public ReplySource {
public:
    // Starts connecting to port without waiting: true once connected, false
    // while the attempt is under way. Throws Error.
    virtual bool BeginConnect(uint16_t port) = 0;
    // Waits at most timeout_ms for the attempt begun: true once connected,
    // false while it is still under way. Throws Error when it failed.
    virtual bool WaitConnected(int timeout_ms) = 0;
    // Writes all of data, waiting at most timeout_ms whenever the send
    // buffer is full. Throws Error.
    virtual void SendAll(const std::string& data, int timeout_ms) = 0;
};

class TcpClient final : public Connection {
public:
    // Loads the socket layer and resolves host with the system resolver; the
    // first IPv4 address returned is the only one ever used. Throws Error.
    explicit TcpClient(const std::string& host);
    // Closes the connection, if any, and unloads the socket layer.
    ~TcpClient() override;
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Directly (no proxy): the exchange bounds the attempt by its deadline.
    bool BeginConnect(uint16_t port) override;
    bool WaitConnected(int timeout_ms) override;
    void SendAll(const std::string& data, int timeout_ms) override;
    long Receive(char* buffer, size_t capacity, int timeout_ms) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace wt
