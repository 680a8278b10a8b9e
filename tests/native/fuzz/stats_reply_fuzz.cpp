// libFuzzer target: the statistics reply reader fed arbitrary bytes, in
// arbitrary pieces, with waits that time out in between. It must end every
// input with a summary or an Error, within its caps, and nothing else.
//
// Input: byte 0 is the piece size (0: all at once), byte 1 a mask of the
// first eight pieces after which a wait times out, the rest the reply.
#include <chrono>
#include <cstdint>
#include <cstring>

#include "wrentide_setup/error.h"
#include "wrentide_setup/stats/http_reply.h"

namespace {

class FuzzSource : public wt::ReplySource {
public:
    FuzzSource(const uint8_t* data, size_t size, size_t piece, uint8_t silences)
        : data_(data), size_(size), piece_(piece), silences_(silences) {}

    long Receive(char* buffer, size_t capacity, int) override {
        if (silent_next_) {
            silent_next_ = false;
            return kTimedOut;
        }
        if (pos_ == size_) return 0;
        size_t n = size_ - pos_;
        if (piece_ != 0 && n > piece_) n = piece_;
        if (n > capacity) n = capacity;
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        if (pieces_ < 8 && (silences_ >> pieces_ & 1) != 0) silent_next_ = true;
        ++pieces_;
        return static_cast<long>(n);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t piece_;
    uint8_t silences_;
    size_t pos_ = 0;
    size_t pieces_ = 0;
    bool silent_next_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    FuzzSource source(data + 2, size - 2, data[0], data[1]);
    wt::ReplyLimits limits;
    limits.deadline = std::chrono::steady_clock::now() + std::chrono::hours(1);
    limits.head_bytes = 2048;  // small caps, so that the fuzzer reaches them
    limits.body_bytes = 2048;
    try {
        const wt::ReplySummary summary = wt::ReadReply(source, limits);
        if (summary.body_bytes > limits.body_bytes) __builtin_trap();
    } catch (const wt::Error&) {
    }
    return 0;
}
