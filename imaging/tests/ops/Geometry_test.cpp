#include "imaging/ops/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessaro {
namespace {

void ExpectNear(PointF got, PointF want, double tol = 1e-12) {
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
}

TEST(Affine2D, PositiveRotationTurnsCounterClockwiseOnScreen) {
  // With y pointing down, the +x direction turned a quarter counter-clockwise
  // points up the screen (negative y).
  Affine2D r = Affine2D::Rotation(90);
  EXPECT_EQ(r.Apply({1, 0}), (PointF{0, -1}));
  EXPECT_EQ(r.Apply({0, 1}), (PointF{1, 0}));
  // Exact entries for every multiple of 90, negative ones included.
  EXPECT_EQ(Affine2D::Rotation(-90).Apply({1, 0}), (PointF{0, 1}));
  EXPECT_EQ(Affine2D::Rotation(180).Apply({2, 3}), (PointF{-2, -3}));
  EXPECT_EQ(Affine2D::Rotation(450).Apply({1, 0}), (PointF{0, -1}));
  Affine2D r30 = Affine2D::Rotation(30);
  ExpectNear(r30.Apply({1, 0}), {std::sqrt(3.0) / 2, -0.5});
}

TEST(Affine2D, ThenAppliesLeftOperandFirst) {
  Affine2D m = Affine2D::Scaling(2, 3).Then(Affine2D::Translation(10, 20));
  EXPECT_EQ(m.Apply({1, 1}), (PointF{12, 23}));
  Affine2D n = Affine2D::Translation(10, 20).Then(Affine2D::Scaling(2, 3));
  EXPECT_EQ(n.Apply({1, 1}), (PointF{22, 63}));
}

TEST(Affine2D, InverseUndoesTheMatrixAndRefusesSingularOnes) {
  Affine2D m = Affine2D::Rotation(33).Then(Affine2D::Scaling(1.5, -0.25)).Then(Affine2D::Translation(-7, 4));
  auto inv = m.Inverted();
  ASSERT_TRUE(inv.has_value());
  for (PointF p : {PointF{0, 0}, PointF{3, -8}, PointF{1000.5, 2.25}})
    ExpectNear(inv->Apply(m.Apply(p)), p, 1e-9);
  EXPECT_FALSE(Affine2D::Scaling(0, 1).Inverted().has_value());
  EXPECT_FALSE((Affine2D{1, 2, 0, 2, 4, 0}).Inverted().has_value()) << "parallel columns";
  EXPECT_FALSE(Affine2D::Translation(NAN, 0).Inverted().has_value());
}

TEST(Affine2D, HelpersTurnAndMirrorAboutTheirCentre) {
  PointF c{10, 20};
  EXPECT_EQ(RotationAbout(90, c).Apply(c), c);
  EXPECT_EQ(RotationAbout(90, c).Apply({11, 20}), (PointF{10, 19}));
  EXPECT_EQ(MirrorAbout(true, false, c).Apply({12, 25}), (PointF{8, 25}));
  EXPECT_EQ(MirrorAbout(false, true, c).Apply({12, 25}), (PointF{12, 15}));
  EXPECT_EQ(ScalingAbout(2, 0.5, c).Apply({12, 24}), (PointF{14, 22}));
  EXPECT_TRUE(MirrorAbout(true, true, c).IsAxisAligned());
  EXPECT_FALSE(RotationAbout(10, c).IsAxisAligned());
}

TEST(Geometry, TransformedBoundsOfARotatedRectangle) {
  RectF r{0, 0, 4, 2};
  RectF b = TransformedBounds(RotationAbout(90, {2, 1}), r);
  EXPECT_NEAR(b.left, 1, 1e-12);
  EXPECT_NEAR(b.right, 3, 1e-12);
  EXPECT_NEAR(b.top, -1, 1e-12);
  EXPECT_NEAR(b.bottom, 3, 1e-12);
  // 45 degrees: a 2 x 2 square about its centre reaches sqrt(2) out.
  RectF d = TransformedBounds(RotationAbout(45, {1, 1}), RectF{0, 0, 2, 2});
  EXPECT_NEAR(d.left, 1 - std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(d.bottom, 1 + std::sqrt(2.0), 1e-12);
}

TEST(Geometry, CoveredPixelsRoundsOutwardButSnapsNearIntegers) {
  struct Case {
    RectF in;
    IntRect want;
  };
  const Case cases[] = {
      {{0.5, 0.5, 2.5, 3.0}, {0, 0, 3, 3}},
      {{-0.25, -1.75, 0.25, -1.5}, {-1, -2, 1, -1}},
      {{1e-12, 2 - 1e-12, 5 + 1e-12, 7}, {0, 2, 5, 7}},
      {{3, 3, 3, 5}, {}},  // no width
      {{4, 0, 2, 2}, {}},  // mirrored: empty
      {{NAN, 0, 1, 1}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(CoveredPixels(c.in), c.want) << c.in.left << "," << c.in.top;
}

}  // namespace
}  // namespace tessaro
