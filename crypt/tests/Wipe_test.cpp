// Clearing several work buffers at once.
#include "crypt/Wipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

TEST(CryptWipeAll, ClearsExactlyTheListedBytes) {
  std::array<uint8_t, 8> a, b, untouched;
  std::array<uint32_t, 3> words;
  a.fill(0xAA);
  b.fill(0xBB);
  untouched.fill(0xCC);
  words.fill(0xDDDDDDDD);
  const CryptBuffer buffers[] = {{a.data(), a.size()}, {b.data(), 3}, {words.data(), sizeof words}};
  CryptWipeAll(buffers, 3);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](uint8_t v) { return v == 0; }));
  EXPECT_EQ(b, (std::array<uint8_t, 8>{0, 0, 0, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB})) << "only the first 3 bytes";
  EXPECT_EQ(words, (std::array<uint32_t, 3>{0, 0, 0}));
  EXPECT_TRUE(std::all_of(untouched.begin(), untouched.end(), [](uint8_t v) { return v == 0xCC; }));
  CryptWipeAll(nullptr, 0);  // nothing to clear is fine
  const CryptBuffer empty[] = {{nullptr, 0}};
  CryptWipeAll(empty, 1);
}

}  // namespace
