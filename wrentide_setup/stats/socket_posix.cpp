// BSD sockets, so that the statistics exchange runs natively against real
// loopback servers in the tests.
#include "wrentide_setup/stats/socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>

#include "wrentide_setup/error.h"

namespace wt {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point end) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for events or end passes; false on timeout.
bool WaitFor(int fd, short events, Clock::time_point end) {
    for (;;) {
        pollfd p = {fd, events, 0};
        const int n = poll(&p, 1, MillisecondsLeft(end));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) throw Error("Statistics: poll failed");
    }
}

Clock::time_point After(int timeout_ms) { return Clock::now() + std::chrono::milliseconds(timeout_ms); }

}  // namespace

struct TcpClient::Impl {
    in_addr address{};
    int fd = -1;

    ~Impl() {
        if (fd >= 0) close(fd);
    }
};

TcpClient::TcpClient(const std::string& host) : impl_(new Impl) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        throw Error("Statistics: host name does not resolve");
    impl_->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
}

TcpClient::~TcpClient() = default;

bool TcpClient::BeginConnect(uint16_t port) {
    impl_->fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (impl_->fd < 0) throw Error("Statistics: no socket");
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = impl_->address;
    if (connect(impl_->fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (errno != EINPROGRESS) throw Error("Statistics: connection failed");
    return false;
}

bool TcpClient::WaitConnected(int timeout_ms) {
    if (!WaitFor(impl_->fd, POLLOUT, After(timeout_ms))) return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(impl_->fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        throw Error("Statistics: connection failed");
    return true;
}

void TcpClient::SendAll(const std::string& data, int timeout_ms) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(impl_->fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(impl_->fd, POLLOUT, After(timeout_ms))) throw Error("Statistics: send timed out");
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            throw Error("Statistics: send failed");
        }
    }
}

long TcpClient::Receive(char* buffer, size_t capacity, int timeout_ms) {
    const Clock::time_point end = After(timeout_ms);
    if (capacity > INT_MAX) capacity = INT_MAX;
    for (;;) {
        if (!WaitFor(impl_->fd, POLLIN, end)) return kTimedOut;
        const ssize_t n = recv(impl_->fd, buffer, capacity, 0);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) throw Error("Statistics: receive failed");
    }
}

}  // namespace wt
