// Splits large pixel work over the machine's cores. ParallelFor runs
// fn(begin, end) over disjoint sub-ranges of [0, count) on a process-wide pool
// of worker threads plus the calling thread, and returns when all are done.
// Small ranges (fewer than `minPerTask` items per extra thread) run inline.
// Safe to call from several threads at once; a nested call runs inline.
//
// A thread may be given a smaller share of the machine with a
// ScopedThreadLimit: ParallelFor called from that thread then uses at most
// that many threads (the caller included), and with a limit of 1 it runs
// everything on the calling thread. Threads a capped caller starts itself
// inherit nothing: code that starts helper threads asks ParallelThreads() on
// the caller's thread first, stays on that thread when it says 1, and passes
// the figure on (a ScopedThreadLimit in the helper) otherwise.
#pragma once

#include <cstdint>
#include <functional>

namespace tessaro {

void ParallelFor(int64_t count, int64_t minPerTask, const std::function<void(int64_t, int64_t)>& fn);
// Number of threads ParallelFor may use when called from this thread (at
// least 1): the pool and the caller, no more than this thread's limit, and 1
// inside a ParallelFor task (where a nested call runs inline).
int ParallelThreads();

// Caps ParallelThreads() on the constructing thread until destroyed. Limits
// nest: an inner limit never raises an outer one, and each restores what was
// there before. A limit below 1 counts as 1. Must be destroyed on the thread
// that made it, innermost first.
class ScopedThreadLimit {
 public:
  explicit ScopedThreadLimit(int threads);
  ~ScopedThreadLimit();
  ScopedThreadLimit(const ScopedThreadLimit&) = delete;
  ScopedThreadLimit& operator=(const ScopedThreadLimit&) = delete;

 private:
  int FPrevious;
};

}  // namespace tessaro
