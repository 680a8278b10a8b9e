#include "stats_server.h"

#include <ws2tcpip.h>

namespace wt::e2e {

StatsServer::StatsServer(unsigned short port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return;
    BOOL reuse = TRUE;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return;
    }
    thread_ = std::thread([this] { Serve(); });
}

StatsServer::~StatsServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    WSACleanup();
}

std::vector<std::string> StatsServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void StatsServer::Serve() {
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;  // closed by the destructor
        std::string head;
        char buffer[4096];
        DWORD timeout = 5000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, got);
        }
        const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Type: text/plain\r\n\r\nOK";
        send(client, reply, sizeof reply - 1, 0);
        // The installer closes first; wait for it before closing this side.
        while (recv(client, buffer, sizeof buffer, 0) > 0) {
        }
        closesocket(client);
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(head);
        if (stopping_) return;
    }
}

}  // namespace wt::e2e
