// The reply reader fed canned bytes: framing, the line rules, and every bound.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/error_text.h"
#include "wrentide_setup/stats/http_reply.h"

namespace {

using wt::ReplySource;

const std::string kSilence = "\x01<timeout>";  // a step on which the wait times out

// Plays back steps; after the last one the peer has closed.
class Script : public ReplySource {
public:
    explicit Script(std::vector<std::string> steps) : steps_(std::move(steps)) {}
    long Receive(char* buffer, size_t capacity, int timeout_ms) override {
        waits.push_back(timeout_ms);
        if (next_ == steps_.size()) return 0;
        std::string& step = steps_[next_];
        if (step == kSilence) {
            ++next_;
            ++timeouts;
            return kTimedOut;
        }
        const size_t n = std::min(capacity, step.size());
        std::memcpy(buffer, step.data(), n);
        step.erase(0, n);
        if (step.empty()) ++next_;
        return static_cast<long>(n);
    }
    std::vector<int> waits;
    int timeouts = 0;

private:
    std::vector<std::string> steps_;
    size_t next_ = 0;
};

wt::ReplyLimits Limits() {
    wt::ReplyLimits limits;
    limits.read_timeout_ms = 250;
    limits.deadline = std::chrono::steady_clock::now() + std::chrono::hours(1);
    return limits;
}

wt::ReplySummary Read(std::vector<std::string> steps, const wt::ReplyLimits& limits = Limits()) {
    Script script(std::move(steps));
    return wt::ReadReply(script, limits);
}

std::string FailureOf(std::vector<std::string> steps, const wt::ReplyLimits& limits = Limits()) {
    return wt::test::ErrorText([&] { Read(std::move(steps), limits); }, "no failure");
}

TEST(StatsReply, FramesEachKindOfReplyAndStopsAtItsEnd) {
    struct Row {
        const char* name;
        std::string reply;
        bool then_close;  // else silence follows: reading on would fail
        int status;
        uint64_t body;
    } rows[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nSet-Cookie: a=b\r\n\r\nhello", false, 200, 5},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWren\r\nA;x=1\r\n0123456789\r\n0\r\nT: 1\r\n\r\n",
         false, 200, 14},
        {"chunked beats length", "HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, Chunked\r\nContent-Length: 99\r\n\r\n1\r\nx\r\n0\r\n\r\n",
         false, 200, 1},
        {"close", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nabcdef", true, 200, 6},
        {"204", "HTTP/1.1 204 No Content\r\n\r\n", false, 204, 0},
        {"304 ignores length", "HTTP/1.1 304 Not Modified\r\nContent-Length: 10\r\n\r\n", false, 304, 0},
        {"100 then 200", "HTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false, 200, 2},
        {"LF only", "HTTP/1.1 404 Not Found\nContent-Length: 3\n\nabc", false, 404, 3},
        {"302", "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 4\r\n\r\nmove", false, 302, 4},
        {"no number", "HTTP/1.1 OK 200\r\nContent-Length: 1\r\n\r\nx", false, 0, 1},
    };
    for (const Row& row : rows) {
        for (bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (bytewise ? ", byte by byte" : ""));
            std::vector<std::string> steps;
            if (bytewise) {
                for (char c : row.reply) steps.emplace_back(1, c);
            } else {
                steps.push_back(row.reply);
            }
            if (!row.then_close) steps.push_back(kSilence);
            const wt::ReplySummary got = Read(steps);
            EXPECT_EQ(got.status, row.status);
            EXPECT_EQ(got.body_bytes, row.body);
            EXPECT_EQ(got.Succeeded(), row.status / 100 == 2);
        }
    }
}

TEST(StatsReply, SilentServerCostsThreeWaits) {
    Script script({kSilence, kSilence, kSilence, kSilence, "HTTP/1.1 200 OK\r\n\r\n"});
    EXPECT_THROW(wt::ReadReply(script, Limits()), wt::Error);
    EXPECT_EQ(script.timeouts, 3);  // status line, header block, body
    EXPECT_EQ(script.waits, std::vector<int>(3, 250));
}

TEST(StatsReply, TimeoutsInTheHeadEndALineButFailTheBody) {
    Script head_then_silence({"HTTP/1.1 200 OK\r\n\r\n", kSilence, "late"});
    EXPECT_THROW(wt::ReadReply(head_then_silence, Limits()), wt::Error);
    EXPECT_EQ(head_then_silence.timeouts, 1);

    // A timed-out header read ends the block; what comes later is body.
    const wt::ReplySummary got = Read({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n", kSilence, "ok", kSilence});
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body_bytes, 2u);

    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", kSilence}),
              "Statistics reply: timed out");
}

TEST(StatsReply, LinesAreLimitedTo16384Bytes) {
    const std::string longest(wt::kMaxReplyLine, 'a');
    const std::string status = "HTTP/1.1 200 " + longest.substr(13);
    EXPECT_EQ(Read({status + "\r\nContent-Length: 0\r\n\r\n"}).status, 200);
    EXPECT_EQ(Read({"HTTP/1.1 200 OK\r\nX: " + longest.substr(3) + "\r\n\r\n"}).status, 200);
    EXPECT_EQ(FailureOf({status + "a\r\n\r\n"}), "Statistics reply: line too long");
    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\nX: " + longest + "\n\n"}), "Statistics reply: line too long");
    // No line end at all: fails once too much has come, without waiting for more.
    EXPECT_EQ(FailureOf({std::string(40000, 'a'), kSilence}), "Statistics reply: line too long");
}

TEST(StatsReply, BadLengthsAndChunkSizesFail) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const std::string bad[] = {
        ok + "Content-Length: -1\r\n\r\n",
        ok + "Content-Length: 1x\r\n\r\n",
        ok + "Content-Length:\r\n\r\n",
        ok + "Content-Length: 18446744073709551616\r\n\r\n",
        ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc",
        chunked + "-5\r\n",
        chunked + "zz\r\n",
        chunked + "\r\n",
        chunked + "5 x\r\nabcde\r\n0\r\n\r\n",
        chunked + "10000000000000000\r\n",
        chunked + "3\r\nabcX\r\n0\r\n\r\n",
        ok + "Content-Length: 10\r\n\r\nabc",  // closed early
        chunked + "3\r\nabc\r\n",              // closed before the last chunk
    };
    for (const std::string& reply : bad) {
        SCOPED_TRACE(reply);
        EXPECT_THROW(Read({reply, kSilence}), wt::Error);
    }
    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\nX: y"}), "Statistics reply: connection closed early");
}

TEST(StatsReply, HeadAndBodyCapsBoundTheReply) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n";
    wt::ReplyLimits limits = Limits();
    limits.body_bytes = 8;
    EXPECT_EQ(Read({head + "12345678"}, limits).body_bytes, 8u);
    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n123456789"}, limits), "Statistics reply: body too large");
    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\n\r\n123456789"}, limits), "Statistics reply: body too large");
    // Chunk framing counts too.
    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n1234\r\n0\r\n\r\n"}, limits),
              "Statistics reply: body too large");
    limits.head_bytes = head.size();
    EXPECT_EQ(Read({head + "12345678"}, limits).status, 200);
    limits.head_bytes = head.size() - 1;
    EXPECT_EQ(FailureOf({head + "12345678"}, limits), "Statistics reply: head too large");
    // Interim replies count against the same head cap.
    std::vector<std::string> endless(3000, "HTTP/1.1 100 Continue\r\n\r\n");
    EXPECT_EQ(FailureOf(endless), "Statistics reply: head too large");
}

TEST(StatsReply, DeadlineCutsTheWaitAndFails) {
    wt::ReplyLimits limits = Limits();
    limits.read_timeout_ms = 10000;
    limits.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    Script script({kSilence, "HTTP/1.1 200 OK\r\n\r\n"});
    EXPECT_THROW(wt::ReadReply(script, limits), wt::Error);
    ASSERT_EQ(script.waits.size(), 1u);  // not taken for an empty status line
    EXPECT_LE(script.waits[0], 300);

    limits.deadline = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf({"HTTP/1.1 200 OK\r\n\r\n"}, limits), "Statistics reply: exchange took too long");
}

}  // namespace
