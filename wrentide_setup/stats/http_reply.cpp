#include "wrentide_setup/stats/http_reply.h"

#include <cstring>
#include <limits>
#include <string>

#include "wrentide_setup/error.h"

namespace wt {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReceiveBlock = 4096;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text, size_t begin, size_t end) {
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool SameWord(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        char y = b[i];
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The second blank-separated word, when it is a three-digit code.
int StatusCode(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    while (i < line.size() && IsBlank(line[i])) ++i;
    size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    if (end - i != 3) return 0;
    int code = 0;
    for (; i < end; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

uint64_t ParseContentLength(const std::string& value) {
    if (value.empty()) throw Error("Statistics reply: malformed Content-Length");
    uint64_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') throw Error("Statistics reply: malformed Content-Length");
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (n > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            throw Error("Statistics reply: Content-Length overflows");
        n = n * 10 + digit;
    }
    return n;
}

// A chunk-size line: hex digits, then optional blanks and extensions after ';'.
uint64_t ParseChunkSize(const std::string& line) {
    uint64_t n = 0;
    size_t i = 0;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        uint64_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint64_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint64_t>(c - 'A' + 10);
        else break;
        if (n > (std::numeric_limits<uint64_t>::max() >> 4))
            throw Error("Statistics reply: chunk size overflows");
        n = (n << 4) | digit;
    }
    if (i == 0) throw Error("Statistics reply: malformed chunk size");
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i < line.size() && line[i] != ';') throw Error("Statistics reply: malformed chunk size");
    return n;
}

struct Framing {
    bool chunked = false;
    bool has_length = false;
    uint64_t length = 0;
};

void NoteHeader(const std::string& line, Framing* framing) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return;  // not a header we could use
    const std::string name = line.substr(0, colon);
    if (SameWord(name, "Transfer-Encoding")) {
        size_t begin = colon + 1;
        while (begin <= line.size()) {
            size_t end = line.find(',', begin);
            if (end == std::string::npos) end = line.size();
            if (SameWord(Trimmed(line, begin, end), "chunked")) framing->chunked = true;
            begin = end + 1;
        }
    } else if (SameWord(name, "Content-Length")) {
        const uint64_t length = ParseContentLength(Trimmed(line, colon + 1, line.size()));
        if (framing->has_length && framing->length != length)
            throw Error("Statistics reply: conflicting Content-Length");
        framing->has_length = true;
        framing->length = length;
    }
}

// HTTP/1.1 gives these replies no body whatever their headers say.
bool HasNoBody(int status) { return (status >= 100 && status <= 199) || status == 204 || status == 304; }

class ReplyReader {
public:
    ReplyReader(ReplySource& source, const ReplyLimits& limits) : source_(source), limits_(limits) {}

    // The next line, CR LF or LF dropped. In the head a wait that times out
    // yields an empty line; in the body it fails.
    std::string Line() {
        std::string line;
        ReadLine(&line);
        return line;
    }

    // From here on every byte counts against the body cap.
    void StartBody() { in_body_ = true; }

    void SkipExactly(uint64_t count) {
        if (count > limits_.body_bytes - body_used_) throw Error("Statistics reply: body too large");
        while (count > 0) {
            const size_t available = buffer_.size() - pos_;
            if (available == 0) {
                if (Fill() == kClosed) throw Error("Statistics reply: connection closed early");
                continue;
            }
            const size_t take = count < available ? static_cast<size_t>(count) : available;
            Consume(take);
            count -= take;
        }
    }

    uint64_t SkipToClose() {
        uint64_t total = 0;
        for (;;) {
            const size_t available = buffer_.size() - pos_;
            Consume(available);
            total += available;
            if (Fill() == kClosed) return total;
        }
    }

    uint64_t SkipChunked() {
        uint64_t total = 0;
        for (;;) {
            const uint64_t size = ParseChunkSize(Line());
            if (size == 0) break;
            SkipExactly(size);
            total += size;
            if (!Line().empty()) throw Error("Statistics reply: chunk without line end");
        }
        while (!Line().empty()) {  // trailer section
        }
        return total;
    }

private:
    enum FillResult { kData, kClosed, kTimedOut };

    // Waits for more bytes. A body wait that times out fails; so does any wait
    // cut short by the deadline of the whole exchange.
    FillResult Fill() {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(limits_.deadline - Clock::now()).count();
        if (left <= 0) throw Error("Statistics reply: exchange took too long");
        const bool cut = left < limits_.read_timeout_ms;
        const int wait = cut ? static_cast<int>(left) : limits_.read_timeout_ms;

        if (pos_ == buffer_.size()) {
            buffer_.clear();
            pos_ = 0;
        } else if (pos_ >= kReceiveBlock) {
            buffer_.erase(0, pos_);
            pos_ = 0;
        }
        const size_t old_size = buffer_.size();
        buffer_.resize(old_size + kReceiveBlock);
        const long got = source_.Receive(&buffer_[old_size], kReceiveBlock, wait);
        buffer_.resize(old_size + (got > 0 && static_cast<size_t>(got) <= kReceiveBlock ? static_cast<size_t>(got) : 0));

        if (got == ReplySource::kTimedOut) {
            if (cut) throw Error("Statistics reply: exchange took too long");
            if (in_body_) throw Error("Statistics reply: timed out");
            return kTimedOut;
        }
        if (got == 0) return kClosed;
        if (got < 0 || static_cast<size_t>(got) > kReceiveBlock) throw Error("Statistics reply: receive failed");
        return kData;
    }

    void ReadLine(std::string* line) {
        size_t scanned = 0;
        for (;;) {
            const char* start = buffer_.data() + pos_;
            const size_t available = buffer_.size() - pos_;
            const void* lf = std::memchr(start + scanned, '\n', available - scanned);
            if (lf != nullptr) {
                const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
                size_t content = length;
                if (content > 0 && start[content - 1] == '\r') --content;
                if (content > kMaxReplyLine) throw Error("Statistics reply: line too long");
                line->assign(start, content);
                Consume(length + 1);
                return;
            }
            // One more byte than the limit may still be a CR before the LF.
            if (available > kMaxReplyLine + 1) throw Error("Statistics reply: line too long");
            scanned = available;
            const FillResult result = Fill();
            if (result == kClosed) throw Error("Statistics reply: connection closed early");
            if (result == kTimedOut) {
                line->clear();  // what arrived so far stays for the next read
                return;
            }
        }
    }

    void Consume(size_t count) {
        pos_ += count;
        if (in_body_) {
            body_used_ += count;
            if (body_used_ > limits_.body_bytes) throw Error("Statistics reply: body too large");
        } else {
            head_used_ += count;
            if (head_used_ > limits_.head_bytes) throw Error("Statistics reply: head too large");
        }
    }

    ReplySource& source_;
    const ReplyLimits& limits_;
    std::string buffer_;
    size_t pos_ = 0;
    bool in_body_ = false;
    size_t head_used_ = 0;
    uint64_t body_used_ = 0;
};

}  // namespace

ReplySummary ReadReply(ReplySource& source, const ReplyLimits& limits) {
    ReplyReader in(source, limits);
    ReplySummary summary;
    Framing framing;
    do {  // a 100 reply is followed by the real one
        summary.status = StatusCode(in.Line());
        framing = Framing();
        for (std::string line = in.Line(); !line.empty(); line = in.Line()) NoteHeader(line, &framing);
    } while (summary.status == 100);

    in.StartBody();
    if (HasNoBody(summary.status)) return summary;
    if (framing.chunked) {
        summary.body_bytes = in.SkipChunked();
    } else if (framing.has_length) {
        in.SkipExactly(framing.length);
        summary.body_bytes = framing.length;
    } else {
        summary.body_bytes = in.SkipToClose();
    }
    return summary;
}

}  // namespace wt
