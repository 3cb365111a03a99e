#include "base/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
}  // namespace tessaro
