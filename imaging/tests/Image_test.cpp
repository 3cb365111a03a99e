#include "imaging/Image.h"

#include <gtest/gtest.h>

#include "imaging/BlendMode.h"

namespace tessaro {
namespace {

TEST(Image, EmptyByDefaultAndCreatesZeroed) {
  Image img;
  EXPECT_TRUE(img.empty());
  ASSERT_TRUE(img.Create(3, 2).ok());
  EXPECT_EQ(img.width(), 3);
  EXPECT_EQ(img.StrideBytes(), 12u);
  EXPECT_EQ(img.At(2, 1), (Rgba8{0, 0, 0, 0}));
}

TEST(Image, CreateRefusesBadSizesAndStaysEmpty) {
  Plane p;
  ASSERT_TRUE(p.Create(4, 4).ok());
  EXPECT_FALSE(p.Create(0, 5).ok());
  EXPECT_TRUE(p.empty()) << "a failed Create leaves the buffer empty";
  EXPECT_FALSE(p.Create(-1, 5).ok());
  EXPECT_FALSE(p.Create(kMaxImageSide + 1, 1).ok());
  EXPECT_FALSE(p.Create(200000, 200000).ok()) << "pixel cap";
}

TEST(Image, MoveIsCheapCloneIsDeep) {
  Image a;
  ASSERT_TRUE(a.Create(2, 2, Rgba8{1, 2, 3, 4}).ok());
  const Rgba8* pixels = a.data();
  Image b = std::move(a);
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(b.data(), pixels);
  Image c = b.Clone();
  c.At(0, 0) = Rgba8{9, 9, 9, 9};
  EXPECT_EQ(b.At(0, 0), (Rgba8{1, 2, 3, 4}));
}

TEST(Image, Narrow16To8Rounds) {
  EXPECT_EQ(Narrow16To8(0), 0);
  EXPECT_EQ(Narrow16To8(65535), 255);
  EXPECT_EQ(Narrow16To8(128), 0);  // 0.498
  EXPECT_EQ(Narrow16To8(129), 1);  // 0.502
  EXPECT_EQ(Narrow16To8(32896), 128);
}

TEST(Image, RectOperations) {
  IntRect a{0, 0, 10, 10}, b{5, 5, 20, 8};
  EXPECT_EQ(Intersect(a, b), (IntRect{5, 5, 10, 8}));
  EXPECT_TRUE(Intersect(a, IntRect{10, 0, 12, 5}).Empty());
  EXPECT_EQ(Union(a, IntRect{}), a);
  EXPECT_EQ(Union(a, b), (IntRect{0, 0, 20, 10}));
}

TEST(BlendModeKeys, RoundTripEveryMode) {
  for (int m = 0; m <= static_cast<int>(BlendMode::kLuminosity); ++m) {
    auto mode = static_cast<BlendMode>(m);
    auto back = BlendModeFromKey(BlendModeKey(mode));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, mode);
  }
  EXPECT_FALSE(BlendModeFromKey("zzzz").has_value());
}

}  // namespace
}  // namespace tessaro
