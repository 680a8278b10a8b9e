// Winsock 2, loaded when the statistics request starts and unloaded when it
// ends: the exe does not import ws2_32.dll, so an install never depends on it.
#include "wrentide_setup/stats/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <climits>

#include "wrentide_setup/error.h"

namespace wt {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int timeout_ms) { return Clock::now() + std::chrono::milliseconds(timeout_ms); }

timeval TimeLeft(Clock::time_point end) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left < 0) left = 0;
    timeval tv;
    tv.tv_sec = static_cast<long>(left / 1000);
    tv.tv_usec = static_cast<long>(left % 1000) * 1000;
    return tv;
}

// A set holding the one socket; select() leaves it empty unless it is ready.
fd_set Only(SOCKET s) {
    fd_set set;
    set.fd_count = 1;
    set.fd_array[0] = s;
    return set;
}

template <typename F>
void Bind(HMODULE module, const char* name, F* fn) {
    const FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr) throw Error("Statistics: Winsock lacks a function");
    // Through void(*)() so that the cast between function types is explicit.
    *fn = reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

struct TcpClient::Impl {
    HMODULE module = nullptr;
    bool started = false;
    SOCKET sock = INVALID_SOCKET;
    in_addr address{};

    decltype(&::WSAStartup) wsa_startup = nullptr;
    decltype(&::WSACleanup) wsa_cleanup = nullptr;
    decltype(&::WSAGetLastError) wsa_last_error = nullptr;
    decltype(&::getaddrinfo) get_addr_info = nullptr;
    decltype(&::freeaddrinfo) free_addr_info = nullptr;
    decltype(&::socket) open_socket = nullptr;
    decltype(&::ioctlsocket) ioctl_socket = nullptr;
    decltype(&::connect) connect_to = nullptr;
    decltype(&::select) select_ready = nullptr;
    decltype(&::getsockopt) get_sock_opt = nullptr;
    decltype(&::send) send_data = nullptr;
    decltype(&::recv) recv_data = nullptr;
    decltype(&::closesocket) close_socket = nullptr;

    ~Impl() {
        if (sock != INVALID_SOCKET) close_socket(sock);
        if (started) wsa_cleanup();
        if (module != nullptr) FreeLibrary(module);
    }

    void Load() {
        // By full path: a ws2_32.dll planted next to a downloaded setup exe
        // must never be the one that runs.
        char path[MAX_PATH + 16];
        const UINT n = GetSystemDirectoryA(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) throw Error("Statistics: no system folder");
        lstrcpyA(path + n, "\\ws2_32.dll");
        module = LoadLibraryA(path);
        if (module == nullptr) throw Error("Statistics: Winsock is not available");

        Bind(module, "WSAStartup", &wsa_startup);
        Bind(module, "WSACleanup", &wsa_cleanup);
        Bind(module, "WSAGetLastError", &wsa_last_error);
        Bind(module, "getaddrinfo", &get_addr_info);
        Bind(module, "freeaddrinfo", &free_addr_info);
        Bind(module, "socket", &open_socket);
        Bind(module, "ioctlsocket", &ioctl_socket);
        Bind(module, "connect", &connect_to);
        Bind(module, "select", &select_ready);
        Bind(module, "getsockopt", &get_sock_opt);
        Bind(module, "send", &send_data);
        Bind(module, "recv", &recv_data);
        Bind(module, "closesocket", &close_socket);

        WSADATA data;
        if (wsa_startup(MAKEWORD(2, 2), &data) != 0) throw Error("Statistics: Winsock does not start");
        started = true;
    }

    // select() for one socket; false when end passes first.
    bool Wait(bool for_write, Clock::time_point end) {
        fd_set ready = Only(sock);
        timeval tv = TimeLeft(end);
        const int n = select_ready(0, for_write ? nullptr : &ready, for_write ? &ready : nullptr, nullptr, &tv);
        if (n == SOCKET_ERROR) throw Error("Statistics: select failed");
        return n > 0 && ready.fd_count == 1;
    }
};

TcpClient::TcpClient(const std::string& host) : impl_(new Impl) {
    impl_->Load();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (impl_->get_addr_info(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        throw Error("Statistics: host name does not resolve");
    impl_->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    impl_->free_addr_info(found);
}

TcpClient::~TcpClient() = default;

bool TcpClient::BeginConnect(uint16_t port) {
    Impl& w = *impl_;
    w.sock = w.open_socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (w.sock == INVALID_SOCKET) throw Error("Statistics: no socket");
    // Non-blocking from here on: the connect and every later wait are bounded
    // by select().
    u_long on = 1;
    if (w.ioctl_socket(w.sock, FIONBIO, &on) != 0) throw Error("Statistics: no non-blocking mode");

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = static_cast<u_short>((port >> 8) | (port << 8));  // htons, x86 is little-endian
    to.sin_addr = w.address;
    if (w.connect_to(w.sock, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (w.wsa_last_error() != WSAEWOULDBLOCK) throw Error("Statistics: connection failed");
    return false;
}

bool TcpClient::WaitConnected(int timeout_ms) {
    Impl& w = *impl_;
    // Winsock reports a failed attempt in the exception set, a made one in the
    // write set.
    fd_set writable = Only(w.sock);
    fd_set failed = Only(w.sock);
    timeval tv = TimeLeft(After(timeout_ms));
    const int n = w.select_ready(0, nullptr, &writable, &failed, &tv);
    if (n == SOCKET_ERROR) throw Error("Statistics: select failed");
    if (n == 0) return false;
    int error = 0;
    int size = sizeof error;
    if (failed.fd_count != 0 || writable.fd_count == 0 ||
        w.get_sock_opt(w.sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0)
        throw Error("Statistics: connection failed");
    return true;
}

void TcpClient::SendAll(const std::string& data, int timeout_ms) {
    Impl& w = *impl_;
    size_t sent = 0;
    while (sent < data.size()) {
        size_t chunk = data.size() - sent;
        if (chunk > INT_MAX) chunk = INT_MAX;
        const int n = w.send_data(w.sock, data.data() + sent, static_cast<int>(chunk), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n == SOCKET_ERROR && w.wsa_last_error() == WSAEWOULDBLOCK) {
            if (!w.Wait(true, After(timeout_ms))) throw Error("Statistics: send timed out");
        } else {
            throw Error("Statistics: send failed");
        }
    }
}

long TcpClient::Receive(char* buffer, size_t capacity, int timeout_ms) {
    Impl& w = *impl_;
    const Clock::time_point end = After(timeout_ms);
    if (capacity > INT_MAX) capacity = INT_MAX;
    for (;;) {
        if (!w.Wait(false, end)) return kTimedOut;
        const int n = w.recv_data(w.sock, buffer, static_cast<int>(capacity), 0);
        if (n >= 0) return n;
        if (w.wsa_last_error() != WSAEWOULDBLOCK) throw Error("Statistics: receive failed");
    }
}

}  // namespace wt
