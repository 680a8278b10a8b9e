// The statistics server as the tests run it: on 127.0.0.1 at the port the
// loopback build of the setup exe sends to, keeping every request it gets.
#pragma once

#include <winsock2.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wt::e2e {

class StatsServer {
public:
    explicit StatsServer(unsigned short port);
    ~StatsServer();
    bool Listening() const { return listener_ != INVALID_SOCKET; }
    // The request heads received so far, one per connection.
    std::vector<std::string> Requests();

private:
    void Serve();

    SOCKET listener_ = INVALID_SOCKET;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    bool stopping_ = false;
};

}  // namespace wt::e2e
