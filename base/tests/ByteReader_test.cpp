#include "base/ByteReader.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

TEST(ByteReader, ReadsBothByteOrders) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x80, 0x3F};
  ByteReader le(bytes, sizeof bytes);
  uint32_t u = 0;
  float f = 0;
  ASSERT_TRUE(le.U32LE(u));
  ASSERT_TRUE(le.F32LE(f));
  EXPECT_EQ(u, 0x04030201u);
  EXPECT_EQ(f, 1.0f);
  EXPECT_TRUE(le.AtEnd());

  ByteReader be(bytes, sizeof bytes);
  ASSERT_TRUE(be.U32BE(u));
  EXPECT_EQ(u, 0x01020304u);
  int16_t s = 0;
  ASSERT_TRUE(be.I16BE(s));
  EXPECT_EQ(s, 0);
}

TEST(ByteReader, ShortInputFailsAndStaysFailed) {
  const uint8_t bytes[] = {1, 2, 3};
  ByteReader r(bytes, sizeof bytes);
  uint32_t u = 77;
  EXPECT_FALSE(r.U32LE(u));
  EXPECT_EQ(u, 77u) << "a failed read leaves its output untouched";
  uint8_t b = 0;
  EXPECT_FALSE(r.U8(b)) << "a reader that failed keeps failing";
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.Remaining(), 0u);
}

TEST(ByteReader, CanHoldGuardsAllocations) {
  std::vector<uint8_t> bytes(100);
  ByteReader r(bytes.data(), bytes.size());
  EXPECT_TRUE(r.CanHold(25, 4));
  EXPECT_FALSE(r.CanHold(26, 4));
  EXPECT_FALSE(r.CanHold(0xFFFFFFFFull, 0xFFFFFFFFull)) << "no overflow in count * size";
  EXPECT_FALSE(r.Skip(uint64_t(1) << 40));
}

TEST(ByteReader, SubReaderIsBoundedAndAdvancesParent) {
  const uint8_t bytes[] = {9, 8, 7, 6, 5};
  ByteReader r(bytes, sizeof bytes);
  ByteReader sub;
  ASSERT_TRUE(r.Sub(2, sub));
  uint8_t b = 0;
  EXPECT_TRUE(sub.U8(b));
  EXPECT_TRUE(sub.U8(b));
  EXPECT_FALSE(sub.U8(b));
  ASSERT_TRUE(r.U8(b));
  EXPECT_EQ(b, 7);
}

TEST(ByteWriter, WritesAndPatches) {
  ByteWriter w;
  w.U32BE(0);
  w.I32LE(-2);
  w.F32LE(8.3f);
  w.PatchU32BE(0, 0xA1B2C3D4);
  const auto& b = w.Bytes();
  ASSERT_EQ(b.size(), 12u);
  EXPECT_EQ(b[0], 0xA1);
  EXPECT_EQ(b[3], 0xD4);
  ByteReader r(b.data(), b.size());
  uint32_t u;
  int32_t i;
  float f;
  ASSERT_TRUE(r.U32BE(u) && r.I32LE(i) && r.F32LE(f));
  EXPECT_EQ(i, -2);
  EXPECT_EQ(f, 8.3f);
}

}  // namespace
}  // namespace tessaro
