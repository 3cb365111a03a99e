// Channel shapes, feathering and picture helpers of the authoring tool.
#include "tools/pack/Raster.h"

#include <gtest/gtest.h>

#include <numeric>

#include "testing/Probes.h"
#include "tools/pack/Scenes.h"

namespace tessaro::authoring {
namespace {

Plane Blank(int w, int h) {
  Plane p;
  EXPECT_TRUE(p.Create(w, h).ok());
  return p;
}

TEST(DrawShape, RectangleCoversWholePixelsAndPartlyCoveredEdges) {
  Plane p = Blank(20, 20);
  DrawShape(p, RectF{2, 3, 10.5, 12}, TShapeKind::kRectangle, 0);
  test::ExpectPixels(p, {{2, 3, 255},
                         {9, 11, 255},
                         {1, 5, 0},
                         {5, 2, 0},
                         {5, 12, 0},
                         {10, 5, 128, "half of the pixel is inside"},
                         {11, 5, 0}});
}

TEST(DrawShape, EllipseFillsTheCentreAndLeavesTheCornersOut) {
  Plane p = Blank(100, 60);
  DrawShape(p, RectF{0, 0, 100, 60}, TShapeKind::kEllipse, 0);
  test::ExpectPixels(p, {{50, 30, 255},
                         {0, 0, 0},
                         {99, 59, 0},
                         {2, 30, 255, "on the long axis, inside"},
                         {50, 1, 255, "on the short axis, inside"},
                         {12, 8, 0, "outside near the corner"}});
  // The outline is anti-aliased: some pixels lie strictly between.
  int partial = 0;
  for (int x = 0; x < 100; ++x) partial += p.At(x, 10) > 0 && p.At(x, 10) < 255;
  EXPECT_GE(partial, 2);
}

TEST(DrawShape, RoundedRectangleCutsOnlyTheCorners) {
  Plane p = Blank(100, 80);
  DrawShape(p, RectF{0, 0, 100, 80}, TShapeKind::kRounded, 20);
  test::ExpectPixels(p, {{0, 0, 0},
                         {3, 3, 0},
                         {50, 0, 255, "straight edge stays solid"},
                         {0, 40, 255},
                         {8, 8, 255, "inside the corner's arc"},
                         {99, 79, 0}});
}

TEST(BoxLine, WeightsAreSymmetricAndSumToOne) {
  std::vector<float> impulse(11, 0.0f), out(11);
  impulse[5] = 1.0f;
  BoxLine(impulse.data(), out.data(), 11, 1.0);
  EXPECT_EQ(out, impulse) << "width 1 changes nothing";
  BoxLine(impulse.data(), out.data(), 11, 3.0);
  EXPECT_FLOAT_EQ(out[4], 1 / 3.0f);
  EXPECT_FLOAT_EQ(out[5], 1 / 3.0f);
  EXPECT_FLOAT_EQ(out[6], 1 / 3.0f);
  EXPECT_FLOAT_EQ(out[3], 0);
  BoxLine(impulse.data(), out.data(), 11, 2.0);
  EXPECT_FLOAT_EQ(out[4], 0.25f);
  EXPECT_FLOAT_EQ(out[5], 0.5f);
  EXPECT_FLOAT_EQ(out[6], 0.25f);
  EXPECT_NEAR(std::accumulate(out.begin(), out.end(), 0.0f), 1.0f, 1e-6);
}

TEST(BoxLine, EndsRepeatTheEdgePixels) {
  std::vector<float> ones(5, 1.0f), out(5);
  BoxLine(ones.data(), out.data(), 5, 4.5);
  for (float v : out) EXPECT_FLOAT_EQ(v, 1.0f);
}

TEST(Feather, SoftEdgeIsMonotonicAndCentredOnTheWindowEdge) {
  Plane p = Blank(200, 100);
  const RectF window{60, 20, 160, 80};
  DrawShape(p, window, TShapeKind::kRectangle, 0);
  Feather(p, CoveredPixels(window), 30);
  const int y = 50;
  for (int x = 30; x < 110; ++x)
    EXPECT_LE(p.At(x, y), p.At(x + 1, y)) << "rising across the left edge at " << x;
  EXPECT_EQ(p.At(44, y), 0) << "nothing beyond half the width outside";
  EXPECT_EQ(p.At(76, y), 255) << "solid beyond half the width inside";
  EXPECT_NEAR((p.At(59, y) + p.At(60, y)) / 2.0, 127.5, 12) << "half way up at the edge itself";
  EXPECT_GT(p.At(50, y), 0);
  EXPECT_LT(p.At(70, y), 255);
}

TEST(Feather, WindowTouchingThePageEdgeStaysSolidThere) {
  Plane p = Blank(100, 100);
  const RectF window{0, 0, 100, 100};
  DrawShape(p, window, TShapeKind::kRectangle, 0);
  Feather(p, CoveredPixels(window), 20);
  EXPECT_EQ(p.At(0, 0), 255);
  EXPECT_EQ(p.At(99, 50), 255);
}

TEST(Feather, WidthBelowOneChangesNothing) {
  Plane p = Blank(10, 10);
  DrawShape(p, RectF{2, 2, 8, 8}, TShapeKind::kRectangle, 0);
  Plane before = p.Clone();
  Feather(p, IntRect{2, 2, 8, 8}, 0.5);
  EXPECT_TRUE(std::equal(p.data(), p.data() + p.PixelCount(), before.data()));
}

TEST(GreyOf, LuminanceTimesAlpha) {
  Image img;
  ASSERT_TRUE(img.Create(3, 1).ok());
  img.At(0, 0) = {255, 255, 255, 255};
  img.At(1, 0) = {255, 255, 255, 128};
  img.At(2, 0) = {0, 0, 0, 255};
  Plane g = GreyOf(img);
  EXPECT_EQ(g.At(0, 0), 255);
  EXPECT_EQ(g.At(1, 0), 128);
  EXPECT_EQ(g.At(2, 0), 0);
}

TEST(DrawMask, StretchesTheGreyPictureOverTheWindow) {
  Image mask;
  ASSERT_TRUE(mask.Create(2, 1).ok());
  mask.At(0, 0) = {0, 0, 0, 255};
  mask.At(1, 0) = {255, 255, 255, 255};
  Plane p = Blank(40, 10);
  ASSERT_TRUE(DrawMask(p, RectF{10, 2, 30, 8}, mask).ok());
  EXPECT_EQ(p.At(5, 5), 0) << "outside untouched";
  EXPECT_LT(p.At(11, 5), 40) << "left half dark";
  EXPECT_GT(p.At(28, 5), 215) << "right half light";
}

TEST(OpaqueBounds, FindsTheVisiblePart) {
  Image img;
  ASSERT_TRUE(img.Create(10, 8).ok());
  EXPECT_TRUE(OpaqueBounds(img).Empty());
  img.At(3, 2).a = 1;
  img.At(6, 5).a = 255;
  EXPECT_EQ(OpaqueBounds(img), (IntRect{3, 2, 7, 6}));
}

TEST(CoverCrop, KeepsTheCentreAndFillsTheTarget) {
  Image img;
  ASSERT_TRUE(img.Create(40, 10).ok());
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 40; ++x) img.At(x, y) = x < 20 ? Rgba8{255, 0, 0, 255} : Rgba8{0, 0, 255, 255};
  auto out = CoverCrop(img, 20, 20);
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(out->width(), 20);
  EXPECT_EQ(out->height(), 20);
  EXPECT_GT(out->At(2, 10).r, 200);
  EXPECT_GT(out->At(17, 10).b, 200);
}

TEST(Scenes, SameSeedSamePixelsOtherSeedOtherPixels) {
  Image a = PaintScene(TSceneKind::kSunsetHills, 64, 48, 5);
  Image b = PaintScene(TSceneKind::kSunsetHills, 64, 48, 5);
  Image c = PaintScene(TSceneKind::kSunsetHills, 64, 48, 6);
  ASSERT_FALSE(a.empty());
  EXPECT_TRUE(std::equal(a.data(), a.data() + a.PixelCount(), b.data()));
  EXPECT_FALSE(std::equal(a.data(), a.data() + a.PixelCount(), c.data()));
}

TEST(Scenes, EveryKindIsOpaqueAndNotFlat) {
  for (int k = 0; k < kSceneKindCount; ++k) {
    Image img = PaintScene(static_cast<TSceneKind>(k), 48, 32, 1);
    ASSERT_EQ(img.width(), 48);
    int lo = 255, hi = 0;
    for (size_t i = 0; i < img.PixelCount(); ++i) {
      EXPECT_EQ(img.data()[i].a, 255);
      lo = std::min<int>(lo, img.data()[i].g);
      hi = std::max<int>(hi, img.data()[i].g);
    }
    EXPECT_GT(hi - lo, 30) << "scene " << k;
  }
}

TEST(Scenes, CutoutsHaveTransparentSurroundings) {
  for (auto kind : {TCutoutKind::kChild, TCutoutKind::kCouple, TCutoutKind::kBalloons}) {
    Image img = PaintCutout(kind, 60, 90, 3);
    ASSERT_FALSE(img.empty());
    EXPECT_EQ(img.At(0, 0).a, 0);
    EXPECT_EQ(img.At(59, 0).a, 0) << "corners are transparent";
    size_t opaque = 0;
    for (size_t i = 0; i < img.PixelCount(); ++i) opaque += img.data()[i].a == 255;
    EXPECT_GT(opaque, img.PixelCount() / 20) << "a subject is there";
  }
}

}  // namespace
}  // namespace tessaro::authoring
