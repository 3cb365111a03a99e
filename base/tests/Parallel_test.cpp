#include "base/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace tessaro {
namespace {

TEST(ParallelFor, CoversEveryIndexExactlyOnce) {
  for (int64_t count : {0, 1, 7, 1000, 100003}) {
    std::vector<std::atomic<int>> hits(static_cast<size_t>(count));
    ParallelFor(count, 1, [&](int64_t b, int64_t e) {
      for (int64_t i = b; i < e; ++i) hits[static_cast<size_t>(i)]++;
    });
    for (auto& h : hits) ASSERT_EQ(h.load(), 1) << "count " << count;
  }
}

TEST(ParallelFor, NestedCallsRunInline) {
  std::atomic<int64_t> sum{0};
  ParallelFor(8, 1, [&](int64_t b, int64_t e) {
    for (int64_t i = b; i < e; ++i) ParallelFor(100, 1, [&](int64_t b2, int64_t e2) { sum += e2 - b2; });
  });
  EXPECT_EQ(sum.load(), 800);
}

// The threads that ran some part of a ParallelFor called from this thread.
std::set<std::thread::id> ThreadsUsed() {
  std::mutex lock;
  std::set<std::thread::id> ids;
  ParallelFor(4096, 1, [&](int64_t, int64_t) {
    std::lock_guard guard(lock);
    ids.insert(std::this_thread::get_id());
  });
  return ids;
}

// A limit of 1 keeps ParallelFor on the calling thread. Limits nest (an
// inner one never raises the cap), restore what was there before, count
// anything below 1 as 1 and belong to their thread; inside a task the cap
// is 1 wherever the task runs.
TEST(ParallelFor, ThreadLimits) {
  const int all = ParallelThreads();
  {
    const ScopedThreadLimit three(3);
    EXPECT_EQ(ParallelThreads(), std::min(all, 3));
    {
      const ScopedThreadLimit one(1);
      const ScopedThreadLimit more(8);
      EXPECT_EQ(ParallelThreads(), 1);
      for (int round = 0; round < 20; ++round)
        EXPECT_EQ(ThreadsUsed(), std::set<std::thread::id>{std::this_thread::get_id()});
      int other = 0;
      std::thread([&] { other = ParallelThreads(); }).join();
      EXPECT_EQ(other, all);
    }
    EXPECT_EQ(ParallelThreads(), std::min(all, 3));
    const ScopedThreadLimit zero(0);
    EXPECT_EQ(ParallelThreads(), 1);
  }
  EXPECT_EQ(ParallelThreads(), all);
  std::atomic<int> inside{0};
  ParallelFor(64, 1, [&](int64_t, int64_t) { inside.fetch_or(ParallelThreads()); });
  EXPECT_EQ(inside.load(), 1);
}

}  // namespace
}  // namespace tessaro
