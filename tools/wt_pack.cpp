// wt_pack <input> <output>: compresses one payload file into a single zlib
// stream at the highest level (stream header 78 DA), as the setup exe embeds it.
#include <zlib.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wt_pack <input> <output>\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.insert(data.end(), chunk, chunk + n);
    bool readFailed = std::ferror(in);
    std::fclose(in);
    if (readFailed) {
        std::perror(argv[1]);
        return 1;
    }

    uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
        std::fprintf(stderr, "wt_pack: compression of %s failed\n", argv[1]);
        return 1;
    }

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    bool ok = std::fwrite(packed.data(), 1, packedSize, out) == packedSize;
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        std::perror(argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
