// Reads and discards the reply to the install statistics request. The reply
// is never examined beyond what framing needs; it only has to be consumed
// within fixed bounds so that no server can hold the finished installer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace wt {

// Where the reply bytes come from: the TCP connection, or canned bytes in
// tests and the fuzz target.
class ReplySource {
public:
    static constexpr long kTimedOut = -1;

    virtual ~ReplySource() = default;
    // Waits at most timeout_ms for data. Returns the number of bytes read
    // (> 0), 0 once the peer has closed, or kTimedOut when nothing arrived.
    // Throws Error when the connection fails.
    virtual long Receive(char* buffer, size_t capacity, int timeout_ms) = 0;
};

// Longest status, header, chunk-size or trailer line, CR LF excluded.
constexpr size_t kMaxReplyLine = 16384;

struct ReplyLimits {
    int read_timeout_ms = 10000;  // each wait for data
    std::chrono::steady_clock::time_point deadline;  // end of the whole exchange
    size_t head_bytes = 65536;      // all status and header lines, 100 replies included
    uint64_t body_bytes = 1048576;  // everything after the head: data, chunk lines, trailers
};

struct ReplySummary {
    int status = 0;           // 0 when no status line or no numeric code came
    uint64_t body_bytes = 0;  // payload bytes discarded (chunk data, not chunk framing)

    bool Succeeded() const { return status >= 200 && status <= 299; }
};

// Reads the reply head (skipping 100 replies) and its body to the end the
// HTTP/1.1 framing gives. Throws Error when the reply cannot be read to its
// end within the limits; a non-2xx status is reported, not thrown.
ReplySummary ReadReply(ReplySource& source, const ReplyLimits& limits);

}  // namespace wt
