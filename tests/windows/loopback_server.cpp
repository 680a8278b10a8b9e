#include "loopback_server.h"

#include <windows.h>

#include <chrono>

namespace wt::test {

const char kOkReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Type: text/plain\r\n\r\nOK";

// Wine 8 cannot use ws2_32 again once a process has unloaded it (sockets come
// back as WSAENOTSOCK), and each of the product's exchanges unloads its own
// reference: this one is held for the whole run.
struct LoopbackServer::Api {
#define WT_WINSOCK(F) decltype(&::F) F = reinterpret_cast<decltype(&::F)>(reinterpret_cast<void (*)()>(GetProcAddress(module, #F)))
    HMODULE module = LoadLibraryA("ws2_32.dll");
    WT_WINSOCK(WSAStartup);
    WT_WINSOCK(socket);
    WT_WINSOCK(setsockopt);
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
    bool started = false;
    Api() {
        WSADATA data;
        started = module && closesocket && WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    bool Ready(SOCKET s, bool forWrite, int milliseconds) const {
        fd_set set;
        set.fd_count = 1;
        set.fd_array[0] = s;
        timeval wait = {milliseconds / 1000, milliseconds % 1000 * 1000};
        return select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &wait) == 1;
    }
    SOCKET Listen(int backlog, uint16_t port, uint16_t* bound) const {
        if (!started) return INVALID_SOCKET;
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) return s;
        BOOL reuse = TRUE;
        if (port) setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = static_cast<u_short>(port >> 8 | port << 8);
        at.sin_addr.s_addr = 0x0100007F;  // 127.0.0.1 in network order
        int size = sizeof at;
        if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, backlog) != 0 ||
            getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
            closesocket(s);
            return INVALID_SOCKET;
        }
        *bound = static_cast<uint16_t>(at.sin_port >> 8 | at.sin_port << 8);
        return s;
    }
};

namespace {
const LoopbackServer::Api& Winsock() {
    static const LoopbackServer::Api api;
    return api;
}
}  // namespace

LoopbackServer::LoopbackServer(std::string reply, uint16_t port) : api_(Winsock()), reply_(std::move(reply)) {
    listener_ = api_.Listen(8, port, &port_);
    if (Listening()) thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    if (thread_.joinable()) thread_.join();
    if (Listening()) api_.closesocket(listener_);
}

std::vector<std::string> LoopbackServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool LoopbackServer::ClientsClosed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return allClosed_;
}

bool LoopbackServer::WaitForRequests(size_t count, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (Requests().size() < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(10);
    }
    return true;
}

void LoopbackServer::Serve() {
    for (;;) {
        // Short waits, so that the destructor is never kept waiting long.
        while (!api_.Ready(listener_, false, 100)) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
        }
        const SOCKET client = api_.accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && api_.Ready(client, false, 2000)) {
            const int got = api_.recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, got);
        }
        if (!reply_.empty()) api_.send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
        // The installer closes first; wait for it before closing this side. A
        // server that never answers holds the connection as long as it stays.
        const bool closed =
            api_.Ready(client, false, reply_.empty() ? 60000 : 5000) && api_.recv(client, buffer, sizeof buffer, 0) <= 0;
        api_.closesocket(client);
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(head);
        allClosed_ &= closed;
    }
}

SOCKET ListenOnly(int backlog, uint16_t* port) { return Winsock().Listen(backlog, 0, port); }

void CloseSocket(SOCKET s) { Winsock().closesocket(s); }

bool ConnectStalls(uint16_t port, int milliseconds, SOCKET* made) {
    const LoopbackServer::Api& api = Winsock();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = static_cast<u_short>(port >> 8 | port << 8);
    to.sin_addr.s_addr = 0x0100007F;
    *made = api.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long on = 1;
    api.ioctlsocket(*made, FIONBIO, &on);
    api.connect(*made, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return !api.Ready(*made, true, milliseconds);
}

}  // namespace wt::test
