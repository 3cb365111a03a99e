// Splits large pixel work over the machine's cores. ParallelFor runs
// fn(begin, end) over disjoint sub-ranges of [0, count) on a process-wide pool
// of worker threads plus the calling thread, and returns when all are done.
// Small ranges (fewer than `minPerTask` items per extra thread) run inline.
// Safe to call from several threads at once; a nested call runs inline.
#pragma once

#include <cstdint>
#include <functional>

namespace tessaro {

void ParallelFor(int64_t count, int64_t minPerTask, const std::function<void(int64_t, int64_t)>& fn);
// Number of threads ParallelFor may use (at least 1).
int ParallelThreads();

}  // namespace tessaro
