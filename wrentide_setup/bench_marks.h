// Time marks at the install's steps, for the benchmark's own build of setup
// (scripts/bench.sh). Every other build compiles them to nothing.
#pragma once

namespace wt {
#ifdef WT_BENCH_MARKS
void BenchMark(const char* step);
// A step that comes again and again, by its count: "step 1", "step 2", ...
void BenchMark(const char* step, int count);
#else
inline void BenchMark(const char*) {}
inline void BenchMark(const char*, int) {}
#endif
}  // namespace wt
