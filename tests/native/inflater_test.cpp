// The inflate loop over in-memory streams: every way a payload stream can be
// wrong must fail, and a good one must come out byte for byte.
#include "wrentide_setup/engine/inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "wrentide_setup/error.h"

namespace wt {
namespace {

std::string Compress(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
                        static_cast<uLong>(data.size()), 9),
              Z_OK);
    out.resize(size);
    return out;
}

std::string Sample(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>((i % 97 < 40) ? 0 : (x >> 24));
    }
    return s;
}

// Hands out its bytes in pieces of at most `piece` bytes, and counts the reads.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string bytes, size_t piece = SIZE_MAX) : bytes_(std::move(bytes)), piece_(piece) {}
    size_t Read(void* buffer, size_t size) override {
        ++reads;
        largestAsk = std::max(largestAsk, size);
        size_t n = std::min({size, piece_, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }
    int reads = 0;
    size_t largestAsk = 0;

private:
    std::string bytes_;
    size_t piece_;
    size_t at_ = 0;
};

class RecordingSink : public ByteSink {
public:
    void Write(const void* data, size_t size) override {
        writes.push_back(size);
        bytes.append(static_cast<const char*>(data), size);
    }
    std::vector<size_t> writes;
    std::string bytes;
};

std::string InflateAll(const std::string& stream, size_t piece = SIZE_MAX, RecordingSink* sink = nullptr) {
    MemorySource source(stream, piece);
    Inflater inflater(source);
    RecordingSink local;
    RecordingSink& out = sink ? *sink : local;
    CopyInflated(inflater, out);
    return out.bytes;
}

TEST(Inflater, RestoresDataExactlyWhateverTheInputPieces) {
    const std::string data = Sample(300000);
    const std::string stream = Compress(data);
    ASSERT_EQ(static_cast<unsigned char>(stream[0]), 0x78);
    ASSERT_EQ(static_cast<unsigned char>(stream[1]), 0xDA);
    for (size_t piece : {size_t(1), size_t(7), size_t(1000), size_t(65536), SIZE_MAX}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(InflateAll(stream, piece), data);
    }
}

TEST(Inflater, AsksForInputInBlocksOf64KiB) {
    const std::string stream = Compress(Sample(1 << 20));
    MemorySource source(stream);
    Inflater inflater(source);
    RecordingSink sink;
    CopyInflated(inflater, sink);
    EXPECT_EQ(source.largestAsk, Inflater::kInputBlock);
}

TEST(Inflater, WritesThroughA1024ByteBufferAndNoEmptyTail) {
    struct Case {
        size_t size;
        size_t writes;
    } cases[] = {{0, 0}, {1, 1}, {1023, 1}, {1024, 1}, {1025, 2}, {4096, 4}, {5000, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        RecordingSink sink;
        std::string data = Sample(c.size);
        EXPECT_EQ(InflateAll(Compress(data), SIZE_MAX, &sink), data);
        EXPECT_EQ(sink.writes.size(), c.writes);
        for (size_t w : sink.writes) {
            EXPECT_GT(w, 0u);
            EXPECT_LE(w, kOutputBlock);
        }
    }
}

TEST(Inflater, ReadsNothingMoreOnceTheStreamHasEnded) {
    MemorySource source(Compress("abc"));
    Inflater inflater(source);
    char buffer[16];
    EXPECT_EQ(inflater.Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(inflater.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(inflater.Read(buffer, sizeof buffer), 0u);
}

TEST(Inflater, FailsOnAStreamCutShortAnywhere) {
    const std::string stream = Compress(Sample(20000));
    // Cut inside the header, the deflate data, and the Adler-32 trailer.
    for (size_t keep : {size_t(0), size_t(1), size_t(2), stream.size() / 2, stream.size() - 4, stream.size() - 1}) {
        SCOPED_TRACE(keep);
        EXPECT_THROW(InflateAll(stream.substr(0, keep)), Error);
    }
}

TEST(Inflater, FailsOnDataAfterTheEndOfTheStream) {
    const std::string stream = Compress(Sample(5000));
    EXPECT_THROW(InflateAll(stream + "x"), Error);
    // Trailing data that arrives in a later input block too.
    EXPECT_THROW(InflateAll(stream + std::string(70000, '\0'), 4096), Error);
    // Two whole streams in a row are not one payload.
    EXPECT_THROW(InflateAll(stream + stream), Error);
}

TEST(Inflater, FailsOnDamagedData) {
    std::string stream = Compress(Sample(20000));
    EXPECT_THROW(InflateAll("not a zlib stream at all"), Error);
    std::string badChecksum = stream;
    badChecksum.back() ^= 0x01;
    EXPECT_THROW(InflateAll(badChecksum), Error);
    std::string raw = stream.substr(2);  // deflate data without its zlib header
    EXPECT_THROW(InflateAll(raw), Error);
    std::string flipped = stream;
    flipped[stream.size() / 3] ^= 0x5A;
    EXPECT_THROW(InflateAll(flipped), Error);
}

TEST(Inflater, PassesOnAFailingSink) {
    struct FullDisk : ByteSink {
        size_t room = 3000;
        void Write(const void*, size_t size) override {
            if (size > room) throw Error("The disk is full");
            room -= size;
        }
    } sink;
    MemorySource source(Compress(Sample(10000)));
    Inflater inflater(source);
    EXPECT_THROW(CopyInflated(inflater, sink), Error);
}

}  // namespace
}  // namespace wt
