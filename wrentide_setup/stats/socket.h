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

class TcpClient final : public ReplySource {
public:
    // Loads the socket layer and resolves host with the system resolver; the
    // first IPv4 address returned is the only one ever used. Throws Error.
    explicit TcpClient(const std::string& host);
    // Closes the connection, if any, and unloads the socket layer.
    ~TcpClient() override;
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Connects directly (no proxy) to port; gives up timeout_ms after the
    // attempt began. Throws Error.
    void Connect(uint16_t port, int timeout_ms);
    // Writes all of data, waiting at most timeout_ms whenever the send
    // buffer is full. Throws Error.
    void SendAll(const std::string& data, int timeout_ms);
    long Receive(char* buffer, size_t capacity, int timeout_ms) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace wt
