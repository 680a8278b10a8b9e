// Decompression of one zlib stream between abstract byte streams, so that the
// same loop serves files on Windows and memory buffers in tests.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <vector>

namespace wt {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes; 0 only at the end. Raises Error on a read failure.
    virtual size_t Read(void* buffer, size_t size) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes all size bytes or raises Error.
    virtual void Write(const void* data, size_t size) = 0;
};

// Reads the decompressed data of the zlib stream (RFC 1950 framing) held in a
// source, pulling compressed input in blocks of kInputBlock bytes. Unlike a
// stream that just stops when its input runs out, it raises Error when the
// input ends before the stream's end marker, when data follows the stream, and
// when the data is not a valid stream.
class Inflater {
public:
    static constexpr size_t kInputBlock = 65536;

    explicit Inflater(ByteSource& source);
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Up to size decompressed bytes; 0 once the whole stream has been read.
    size_t Read(void* buffer, size_t size);

private:
    bool Refill();

    ByteSource& source_;
    z_stream stream_{};
    std::vector<unsigned char> input_;
    bool sourceEnded_ = false;
    bool finished_ = false;
};

// Copies the decompressed data to the sink through a buffer of kOutputBlock
// bytes, writing exactly what each read yields, until a read yields nothing.
constexpr size_t kOutputBlock = 1024;
void CopyInflated(Inflater& inflater, ByteSink& sink);

}  // namespace wt
