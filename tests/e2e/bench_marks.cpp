// The benchmark build's marks: each step's name and the performance counter,
// appended to the file that WT_BENCH_MARKS_FILE names.
#include "wrentide_setup/bench_marks.h"

#include <windows.h>

#include <cstdio>

namespace wt {

void BenchMark(const char* step) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    char path[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("WT_BENCH_MARKS_FILE", path, MAX_PATH)) return;
    if (FILE* marks = std::fopen(path, "a")) {
        std::fprintf(marks, "%s %lld\n", step, static_cast<long long>(now.QuadPart));
        std::fclose(marks);
    }
}

}  // namespace wt
