// wt_gendata <wtdb.res> <wscb.rez>: writes the application's two data files.
// Their content is the application's own fixed tables, generated the same way
// on every build so that the payload, and the tests that compare against it,
// are reproducible.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Small deterministic generator (xorshift32); no dependence on the host's rand().
struct Generator {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

void Put32(std::vector<unsigned char>& v, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

bool WriteFile(const char* path, const std::vector<unsigned char>& data) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return (std::fclose(f) == 0) && ok;
}

// 960 bytes: a header and a short index, the rest zero.
std::vector<unsigned char> MakeIndex() {
    std::vector<unsigned char> v(960, 0);
    std::memcpy(v.data(), "WTDB", 4);
    Put32(v, 4, 1);    // format version
    Put32(v, 8, 960);  // size
    Generator g{0x57524E54u};
    for (size_t i = 0; i < 12; ++i) Put32(v, 16 + 4 * i, g.Next() % 5037440u);
    return v;
}

// 5,037,440 bytes: 19,677 fixed-size records of 256 bytes (plus the header),
// sparse and repetitive like the application's real tables.
std::vector<unsigned char> MakeTables() {
    const size_t size = 5037440;
    std::vector<unsigned char> v(size, 0);
    std::memcpy(v.data(), "WSCB", 4);
    Put32(v, 4, 1);
    Put32(v, 8, static_cast<uint32_t>(size));
    Generator g{0x31415926u};
    for (size_t record = 256; record + 256 <= size; record += 256) {
        uint32_t r = g.Next();
        Put32(v, record, static_cast<uint32_t>(record / 256));
        // A few small fields per record; most of the record stays zero.
        v[record + 4] = static_cast<unsigned char>(r & 0x0F);
        v[record + 5] = static_cast<unsigned char>((r >> 4) & 0x03);
        if ((r >> 8) % 7 == 0) Put32(v, record + 8, g.Next() & 0xFFFF);
        if ((r >> 12) % 29 == 0) {
            for (size_t i = 16; i < 48; ++i) v[record + i] = static_cast<unsigned char>(g.Next());
        }
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wt_gendata <wtdb.res> <wscb.rez>\n");
        return 2;
    }
    if (!WriteFile(argv[1], MakeIndex())) {
        std::perror(argv[1]);
        return 1;
    }
    if (!WriteFile(argv[2], MakeTables())) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
