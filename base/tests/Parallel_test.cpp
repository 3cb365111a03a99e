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
std::set<std::thread::id> ThreadsUsed(int64_t count) {
  std::mutex lock;
  std::set<std::thread::id> ids;
  std::vector<std::atomic<int>> hits(static_cast<size_t>(count));
  ParallelFor(count, 1, [&](int64_t b, int64_t e) {
    for (int64_t i = b; i < e; ++i) hits[static_cast<size_t>(i)]++;
    std::lock_guard guard(lock);
    ids.insert(std::this_thread::get_id());
  });
  for (auto& h : hits) EXPECT_EQ(h.load(), 1);
  return ids;
}

TEST(ParallelFor, LimitOfOneRunsEverythingOnTheCallingThread) {
  const ScopedThreadLimit limit(1);
  EXPECT_EQ(ParallelThreads(), 1);
  for (int round = 0; round < 20; ++round)
    EXPECT_EQ(ThreadsUsed(4096), std::set<std::thread::id>{std::this_thread::get_id()});
}

// Limits nest: an inner one may lower the cap, never raise it, and each
// restores what was there before. Anything below 1 counts as 1.
TEST(ParallelFor, LimitsNestAndRestore) {
  const int all = ParallelThreads();
  ASSERT_GE(all, 1);
  {
    const ScopedThreadLimit three(3);
    EXPECT_EQ(ParallelThreads(), std::min(all, 3));
    {
      const ScopedThreadLimit one(1);
      EXPECT_EQ(ParallelThreads(), 1);
      {
        const ScopedThreadLimit more(8);
        EXPECT_EQ(ParallelThreads(), 1);
      }
      EXPECT_EQ(ParallelThreads(), 1);
    }
    EXPECT_EQ(ParallelThreads(), std::min(all, 3));
    for (int below : {0, -5}) {
      const ScopedThreadLimit none(below);
      EXPECT_EQ(ParallelThreads(), 1) << below;
      EXPECT_EQ(ThreadsUsed(1000).size(), 1u) << below;
    }
    EXPECT_EQ(ParallelThreads(), std::min(all, 3));
  }
  EXPECT_EQ(ParallelThreads(), all);
}

// A limit is the making thread's own: another thread keeps the whole pool,
// and work inside a ParallelFor task counts as one thread wherever it runs.
TEST(ParallelFor, LimitBelongsToItsThread) {
  const int all = ParallelThreads();
  const ScopedThreadLimit limit(1);
  int other = 0;
  std::thread([&] { other = ParallelThreads(); }).join();
  EXPECT_EQ(other, all);
  std::atomic<int> insideMax{0};
  std::thread([&] {
    ParallelFor(64, 1, [&](int64_t, int64_t) {
      int seen = ParallelThreads();
      int prev = insideMax.load();
      while (seen > prev && !insideMax.compare_exchange_weak(prev, seen)) {
      }
    });
  }).join();
  EXPECT_EQ(insideMax.load(), 1);
}

}  // namespace
}  // namespace tessaro
