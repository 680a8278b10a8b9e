// Named checkpoints at the install's steps ("payload", "registration",
// "commit", ...): the benchmark's build (scripts/bench.sh) times them, the
// faults build fails or ends the process at the one its test names. The
// shipped build compiles them to nothing, so its bytes do not depend on them.
#pragma once

namespace wt {

// The faults build's stand-in for the process's token (WT_TOKEN), for the
// paths that only a token without elevation takes, which Wine never gives.
enum class TokenStandIn {
    Real,           // the process's own
    Unelevated,     // not elevated ("unelevated")
    Refused,        // not elevated, and every elevation refused ("refused")
    NeverElevated,  // not elevated, in this run and in its restart ("never-elevated")
};

#ifdef WT_BENCH_MARKS
void Checkpoint(const char* step);
// A step that comes again and again, by its count: "step 1", "step 2", ...
void Checkpoint(const char* step, int count);
// Read once and then cleared, so that a setup this one starts sees its own
// token; but NeverElevated stays for the restart too.
TokenStandIn FaultToken();
#else
inline void Checkpoint(const char*) {}
inline void Checkpoint(const char*, int) {}
inline TokenStandIn FaultToken() { return TokenStandIn::Real; }
#endif
}  // namespace wt
