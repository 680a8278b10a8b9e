// Time marks at the install's steps, for the benchmark's own build of setup
// (scripts/bench.sh). Every other build compiles them to nothing.
#pragma once

namespace wt {
#ifdef WT_BENCH_MARKS
void BenchMark(const char* step);
// A step that comes again and again, by its count: "step 1", "step 2", ...
void BenchMark(const char* step, int count);
// The faults build's stand-in for the process's token (WT_TOKEN): 0 the real
// one, 1 not elevated, 2 not elevated and every elevation refused. Read once
// and then cleared, so that a setup this one starts sees its own token; but
// 3, never elevated, stays for the restart too.
int FaultToken();
#else
inline void BenchMark(const char*) {}
inline void BenchMark(const char*, int) {}
inline int FaultToken() { return 0; }
#endif
}  // namespace wt
