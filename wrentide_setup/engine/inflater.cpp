#include "wrentide_setup/engine/inflater.h"

#include <string>

#include "wrentide_setup/error.h"

namespace wt {
namespace {

const char kDamaged[] = "The compressed data is damaged (%s)";
const char kTruncated[] = "The compressed data ends before the end of its stream";
const char kTrailing[] = "Unexpected data follows the end of the compressed stream";

}  // namespace

Inflater::Inflater(ByteSource& source) : source_(source), input_(kInputBlock) {
    if (inflateInit(&stream_) != Z_OK) throw Error(Format(kDamaged, "cannot start decompression"));
}

Inflater::~Inflater() { inflateEnd(&stream_); }

bool Inflater::Refill() {
    if (sourceEnded_) return false;
    size_t got = source_.Read(input_.data(), input_.size());
    if (got == 0) {
        sourceEnded_ = true;
        return false;
    }
    stream_.next_in = input_.data();
    stream_.avail_in = static_cast<uInt>(got);
    return true;
}

size_t Inflater::Read(void* buffer, size_t size) {
    if (finished_ || size == 0) return 0;
    stream_.next_out = static_cast<Bytef*>(buffer);
    stream_.avail_out = static_cast<uInt>(size);
    while (stream_.avail_out > 0) {
        if (stream_.avail_in == 0 && !Refill()) throw Error(kTruncated);
        int rc = inflate(&stream_, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            finished_ = true;
            // Each payload holds exactly one stream; anything after it means
            // the data is not what was packed.
            if (stream_.avail_in > 0 || Refill()) throw Error(kTrailing);
            break;
        }
        if (rc == Z_BUF_ERROR) continue;  // needs more input; the loop refills or reports truncation
        if (rc != Z_OK) throw Error(Format(kDamaged, stream_.msg ? stream_.msg : std::to_string(rc)));
    }
    return size - stream_.avail_out;
}

void CopyInflated(Inflater& inflater, ByteSink& sink) {
    unsigned char buffer[kOutputBlock];
    for (;;) {
        size_t got = inflater.Read(buffer, sizeof buffer);
        if (got == 0) break;
        sink.Write(buffer, got);
    }
}

}  // namespace wt
