// The benchmark build's marks: each step's name and the performance counter,
// kept in memory and written to the file that WT_BENCH_MARKS_FILE names once
// the install has come to its end, so that a mark costs no file access.
#include "wrentide_setup/checkpoints.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace wt {
namespace {

struct Mark {
    const char* step;
    LONGLONG counter;
};
Mark marks[64];
int count = 0;

void WriteMarks() {
    char path[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("WT_BENCH_MARKS_FILE", path, MAX_PATH)) return;
    if (FILE* file = std::fopen(path, "a")) {
        for (int i = 0; i < count; ++i)
            std::fprintf(file, "%s %lld\n", marks[i].step, static_cast<long long>(marks[i].counter));
        std::fclose(file);
    }
}

}  // namespace

void Checkpoint(const char* step) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (count < 64) marks[count++] = {step, now.QuadPart};
    if (std::strcmp(step, "complete") == 0) {
        WriteMarks();
        count = 0;
    }
}

// The benchmark measures the install, as elevated as it is.
TokenStandIn FaultToken() { return TokenStandIn::Real; }

}  // namespace wt
