// Time marks at the install's steps, for the benchmark's own build of setup
// (scripts/bench.sh). Every other build compiles them to nothing.
#pragma once

namespace wt {
#ifdef WT_BENCH_MARKS
void BenchMark(const char* step);
#else
inline void BenchMark(const char*) {}
#endif
}  // namespace wt
