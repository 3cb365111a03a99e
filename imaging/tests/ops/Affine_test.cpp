#include "imaging/ops/Affine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>

#include "imaging/ops/Resample.h"
#include "imaging/tests/ops/TestImages.h"

namespace tessaro {
namespace {

using test::MaxDifference;
using test::SamePixels;
using test_images::RandomImage;
using test_images::RandomPlane;

constexpr Sampling kSamplings[] = {Sampling::kNearest, Sampling::kBilinear, Sampling::kBicubic};

TEST(TransformImage, QuarterTurnsAreExactPixelPermutations) {
  const Image src = RandomImage(13, 7, 3);
  const int w = 13, h = 7;
  struct Turn {
    double degrees;
    int outW, outH;
    // Source pixel shown at output pixel (i, j).
    int (*sx)(int i, int j, int w, int h);
    int (*sy)(int i, int j, int w, int h);
  };
  const Turn turns[] = {
      // Counter-clockwise on screen: output (i, j) shows source (w-1-j, i).
      {90, h, w, [](int, int j, int w, int) { return w - 1 - j; }, [](int i, int, int, int) { return i; }},
      {-90, h, w, [](int, int j, int, int) { return j; }, [](int i, int, int, int h) { return h - 1 - i; }},
      {180, w, h, [](int i, int, int w, int) { return w - 1 - i; },
       [](int, int j, int, int h) { return h - 1 - j; }},
  };
  for (Sampling s : kSamplings)
    for (const Turn& t : turns) {
      auto out = TransformImage(src, RotationAbout(t.degrees, {6.5, 3.5}), s);
      ASSERT_TRUE(out.ok());
      ASSERT_EQ(out->bounds.Width(), t.outW);
      ASSERT_EQ(out->bounds.Height(), t.outH);
      for (int j = 0; j < t.outH; ++j)
        for (int i = 0; i < t.outW; ++i)
          ASSERT_EQ(out->image.At(i, j), src.At(t.sx(i, j, w, h), t.sy(i, j, w, h)))
              << t.degrees << " deg at " << i << "," << j << " sampling " << int(s);
    }
}

TEST(TransformImage, RotatingASquareAboutItsCentreKeepsItsBounds) {
  // A 10 x 10 picture placed at (10, 20) and turned about its own centre.
  auto out =
      TransformImage(RandomImage(10, 10, 1), Affine2D::Translation(10, 20).Then(RotationAbout(90, {15, 25})),
                     Sampling::kBilinear);
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(out->bounds, (IntRect{10, 20, 20, 30}));
}

TEST(TransformImage, StretchedPhotoTurnsAboutItsRectangleCentre) {
  // A 4 x 2 bitmap stretched into (10, 10, 30, 20), then turned a quarter.
  const double l = 10, t = 10, r = 30, b = 20;
  Affine2D m = Affine2D::Scaling((r - l) / 4, (b - t) / 2).Then(Affine2D::Translation(l, t));
  EXPECT_EQ(TransformedBounds(m, RectF{0, 0, 4, 2}), (RectF{10, 10, 30, 20}));
  auto turned = TransformImage(RandomImage(4, 2, 1), m.Then(RotationAbout(90, {(l + r) / 2, (t + b) / 2})),
                               Sampling::kBilinear);
  ASSERT_TRUE(turned.ok());
  EXPECT_EQ(turned->bounds, (IntRect{15, 5, 25, 25}));
}

TEST(TransformImage, MirroringEqualsFlippingThePixels) {
  const Image src = RandomImage(9, 6, 4);
  for (Sampling s : kSamplings) {
    auto h = TransformImage(src, MirrorAbout(true, false, {4.5, 3}), s);
    ASSERT_TRUE(h.ok());
    EXPECT_EQ(h->bounds, (IntRect{0, 0, 9, 6}));
    Image flipped = src.Clone();
    FlipHorizontal(flipped);
    EXPECT_TRUE(SamePixels(h->image, flipped)) << int(s);
    auto v = TransformImage(src, MirrorAbout(false, true, {4.5, 3}), s);
    ASSERT_TRUE(v.ok());
    flipped = src.Clone();
    FlipVertical(flipped);
    EXPECT_TRUE(SamePixels(v->image, flipped)) << int(s);
  }
}

TEST(TransformImage, AxisAlignedHalfSizeEqualsResizeImage) {
  const Image src = RandomImage(40, 30, 8);
  auto placed = TransformImage(src, Affine2D::Scaling(0.5, 0.5).Then(Affine2D::Translation(3, 4)));
  ASSERT_TRUE(placed.ok());
  EXPECT_EQ(placed->bounds, (IntRect{3, 4, 23, 19}));
  auto resized = ResizeImage(src, 20, 15);
  ASSERT_TRUE(resized.ok());
  EXPECT_LE(MaxDifference(placed->image, *resized), 1);
}

TEST(TransformImage, FractionalBoundsGivePartlyCoveredEdges) {
  Image white;
  ASSERT_TRUE(white.Create(10, 4, Rgba8{255, 255, 255, 255}).ok());
  // Scaled to 5.5 x 2 at x = 0.25: covers [0.25, 5.75].
  for (Sampling s : {Sampling::kBilinear, Sampling::kBicubic}) {
    auto out = TransformImage(white, Affine2D::Scaling(0.55, 0.5).Then(Affine2D::Translation(0.25, 0)), s);
    ASSERT_TRUE(out.ok());
    ASSERT_EQ(out->bounds, (IntRect{0, 0, 6, 2}));
    EXPECT_EQ(out->image.At(0, 1).a, 191);  // 0.75 covered
    EXPECT_EQ(out->image.At(3, 1).a, 255);
    EXPECT_EQ(out->image.At(5, 1).a, 191);
    EXPECT_EQ(out->image.At(5, 1).r, 255) << "colour is kept, only alpha fades";
  }
}

// A picture of one opaque colour (a plain background) comes out as that
// colour under any scaling, offset or mirroring; one pixel of another colour
// anywhere, even the last, makes it an ordinary picture that is filtered.
TEST(TransformImage, PlainOpaquePictureKeepsItsColourAndAnOddPixelShows) {
  const Rgba8 colour{239, 232, 220, 255};
  const Affine2D transforms[] = {
      Affine2D::Scaling(0.952, 1),
      Affine2D::Scaling(2.5, 1.75).Then(Affine2D::Translation(3.5, 1.25)),
      Affine2D::Scaling(-0.4, 0.3).Then(Affine2D::Translation(40, 0)),
      Affine2D::Scaling(0.11, 0.13),
  };
  for (const Affine2D& m : transforms) {
    Image plain, odd;
    ASSERT_TRUE(plain.Create(60, 44, colour).ok());
    ASSERT_TRUE(odd.Create(60, 44, colour).ok());
    odd.At(59, 43) = Rgba8{0, 0, 0, 255};
    auto a = TransformImage(plain, m, Sampling::kBicubic);
    auto b = TransformImage(odd, m, Sampling::kBicubic);
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_EQ(a->bounds, b->bounds);
    const Image& out = a->image;
    for (int y = 1; y + 1 < out.height(); ++y)
      for (int x = 1; x + 1 < out.width(); ++x)
        ASSERT_TRUE(out.At(x, y).r == colour.r && out.At(x, y).g == colour.g && out.At(x, y).b == colour.b &&
                    out.At(x, y).a == 255)
            << x << "," << y << " of " << out.width() << "x" << out.height();
    // The odd pixel darkens the output near its corner (mirrored or not).
    int darker = 0;
    for (int y = 0; y < out.height(); ++y)
      for (int x = 0; x < out.width(); ++x)
        if (b->image.At(x, y).r < colour.r - 2) ++darker;
    EXPECT_GT(darker, 0);
  }
}

TEST(TransformImage, RotatedReductionAveragesFineDetail) {
  Image board;
  ASSERT_TRUE(board.Create(480, 480).ok());
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 480; ++x) {
      uint8_t v = (x + y) % 2 ? 255 : 0;
      board.At(x, y) = Rgba8{v, v, v, 255};
    }
  Affine2D m = Affine2D::Scaling(0.125, 0.125).Then(RotationAbout(30, {30, 30}));
  auto out = TransformImage(board, m, Sampling::kBicubic);
  ASSERT_TRUE(out.ok());
  // Sample well inside the turned square.
  const int cx = 30 - out->bounds.left, cy = 30 - out->bounds.top;
  for (int dy = -12; dy <= 12; ++dy)
    for (int dx = -12; dx <= 12; ++dx) {
      Rgba8 p = out->image.At(cx + dx, cy + dy);
      ASSERT_EQ(p.a, 255);
      ASSERT_NEAR(p.r, 127.5, 3) << dx << "," << dy;
    }
}

TEST(DrawTransformed, BilinearIsExactOnALinearRampUnderRotation) {
  // A ramp f(x, y) = 3x + 2y + 10 drawn turned by 30 degrees; inside the
  // picture every output pixel equals f at its inverse-mapped position.
  Image ramp;
  ASSERT_TRUE(ramp.Create(50, 40).ok());
  auto f = [](double px, double py) { return 3 * px + 2 * py + 10; };  // px, py: pixel index units
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x) {
      uint8_t v = uint8_t(f(x, y));
      ramp.At(x, y) = Rgba8{v, v, v, 255};
    }
  Affine2D m = RotationAbout(30, {25, 20}).Then(Affine2D::Translation(10, 10));
  Image dest;
  ASSERT_TRUE(dest.Create(80, 80).ok());
  DrawOptions o;
  o.mode = DrawMode::kCopy;
  ASSERT_TRUE(DrawTransformed(dest, IntRect{0, 0, 80, 80}, ramp, m, o).ok());
  Affine2D inv = *m.Inverted();
  int checked = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x) {
      PointF s = inv.Apply({x + 0.5, y + 0.5});
      if (s.x < 2 || s.y < 2 || s.x > 48 || s.y > 38) continue;
      ++checked;
      EXPECT_NEAR(dest.At(x, y).r, f(s.x - 0.5, s.y - 0.5), 0.6) << x << "," << y;
      EXPECT_EQ(dest.At(x, y).a, 255);
    }
  EXPECT_GT(checked, 1000);
}

TEST(DrawTransformed, EdgeCoverageAddsUpToTheArea) {
  Image white;
  ASSERT_TRUE(white.Create(30, 20, Rgba8{255, 255, 255, 255}).ok());
  for (double angle : {0.0, 17.0, 45.0, 71.5}) {
    Image dest;
    ASSERT_TRUE(dest.Create(80, 80).ok());
    Affine2D m = RotationAbout(angle, {15, 10}).Then(Affine2D::Translation(25.3, 30.1));
    ASSERT_TRUE(DrawTransformed(dest, IntRect{0, 0, 80, 80}, white, m).ok());
    double area = 0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x) area += dest.At(x, y).a / 255.0;
    EXPECT_NEAR(area, 600, 600 * 0.01) << angle;
  }
}

TEST(DrawTransformed, BlendsWithOpacityOntoTheDestination) {
  Image red, dest;
  ASSERT_TRUE(red.Create(4, 4, Rgba8{255, 0, 0, 255}).ok());
  ASSERT_TRUE(dest.Create(6, 6, Rgba8{0, 0, 255, 255}).ok());
  DrawOptions o;
  o.opacity = 128;
  ASSERT_TRUE(DrawTransformed(dest, IntRect{0, 0, 6, 6}, red, Affine2D::Translation(1, 1), o).ok());
  EXPECT_EQ(dest.At(2, 2), (Rgba8{128, 0, 127, 255}));
  EXPECT_EQ(dest.At(0, 0), (Rgba8{0, 0, 255, 255}));
  EXPECT_EQ(dest.At(5, 5), (Rgba8{0, 0, 255, 255}));
}

TEST(DrawTransformed, OnlyTouchesTheRegion) {
  Image src = RandomImage(10, 10, 2, false), dest;
  ASSERT_TRUE(dest.Create(10, 10, Rgba8{1, 1, 1, 1}).ok());
  ASSERT_TRUE(DrawTransformed(dest, IntRect{0, 0, 5, 10}, src, Affine2D::Identity()).ok());
  EXPECT_EQ(dest.At(4, 3), src.At(4, 3));
  EXPECT_EQ(dest.At(5, 3), (Rgba8{1, 1, 1, 1}));
}

TEST(DrawTransformed, FastPathMatchesTheReferenceByteForByte) {
  const Affine2D matrices[] = {
      Affine2D::Identity(),
      Affine2D::Translation(3.25, -2.5),
      RotationAbout(23, {20, 15}).Then(Affine2D::Scaling(1.7, 1.3)),
      Affine2D::Scaling(-0.6, 2.2).Then(Affine2D::Translation(40, 3)),
      Affine2D::Scaling(7, 5).Then(RotationAbout(-95, {30, 30})),
      Affine2D{1, 0.4, 2, -0.3, 0.8, 9},  // shear
  };
  for (bool opaque : {false, true})
    for (Sampling s : kSamplings)
      for (int k = 0; k < int(std::size(matrices)); ++k)
        for (bool antialias : {true, false}) {
          SCOPED_TRACE(::testing::Message() << "matrix " << k << " sampling " << int(s) << " aa " << antialias
                                            << " opaque " << opaque);
          Image src = RandomImage(41, 29, uint32_t(k), !opaque);
          Image base = RandomImage(70, 60, 77);
          Image fast = base.Clone(), ref = base.Clone();
          DrawOptions o;
          o.sampling = s;
          o.antialias = antialias;
          o.opacity = 230;
          ASSERT_TRUE(DrawTransformed(fast, IntRect{2, 1, 69, 58}, src, matrices[k], o).ok());
          ASSERT_TRUE(DrawTransformedReference(ref, IntRect{2, 1, 69, 58}, src, matrices[k], o).ok());
          ASSERT_TRUE(SamePixels(fast, ref));
          Plane psrc = RandomPlane(41, 29, uint32_t(k + 9)), pfast = RandomPlane(70, 60, 3),
                pref = pfast.Clone();
          o.mode = DrawMode::kCopy;
          ASSERT_TRUE(DrawTransformed(pfast, IntRect{0, 0, 70, 60}, psrc, matrices[k], o).ok());
          ASSERT_TRUE(DrawTransformedReference(pref, IntRect{0, 0, 70, 60}, psrc, matrices[k], o).ok());
          ASSERT_EQ(MaxDifference(pfast, pref), 0);
        }
}

TEST(DrawTransformed, ThreadedResultEqualsSingleThreaded) {
  for (bool opaque : {false, true}) {
    Image src = RandomImage(300, 200, 9, !opaque);
    Affine2D m = RotationAbout(23, {150, 100}).Then(Affine2D::Scaling(1.7, 1.3));
    for (Sampling s : kSamplings) {
      Image a, b;
      ASSERT_TRUE(a.Create(600, 450).ok());
      ASSERT_TRUE(b.Create(600, 450).ok());
      DrawOptions o;
      o.sampling = s;
      ASSERT_TRUE(DrawTransformed(a, IntRect{0, 0, 600, 450}, src, m, o).ok());
      o.parallel = false;
      ASSERT_TRUE(DrawTransformed(b, IntRect{0, 0, 600, 450}, src, m, o).ok());
      EXPECT_TRUE(SamePixels(a, b)) << int(s) << " opaque " << opaque;
    }
  }
}

// Catmull-Rom sampling written out for the test: the 4 x 4 pixels around the
// point, weights from the textbook form of the kernel, premultiplied colour,
// edge pixels repeated, double precision.
Rgba8 TestBicubicSample(const Image& src, double u, double v) {
  auto kernel = [](double d) {
    d = std::fabs(d);
    return d < 1 ? 1.5 * d * d * d - 2.5 * d * d + 1 : d < 2 ? -0.5 * d * d * d + 2.5 * d * d - 4 * d + 2 : 0;
  };
  const double px = u - 0.5, py = v - 0.5;
  const int bx = int(std::floor(px)), by = int(std::floor(py));
  double c[4] = {0, 0, 0, 0};
  for (int j = by - 1; j <= by + 2; ++j)
    for (int i = bx - 1; i <= bx + 2; ++i) {
      const double w = kernel(px - i) * kernel(py - j);
      const Rgba8 p = src.At(std::clamp(i, 0, src.width() - 1), std::clamp(j, 0, src.height() - 1));
      c[0] += w * p.r * p.a / 255.0;
      c[1] += w * p.g * p.a / 255.0;
      c[2] += w * p.b * p.a / 255.0;
      c[3] += w * p.a;
    }
  const double a = std::clamp(c[3], 0.0, 255.0);
  if (a < 0.5) return Rgba8{};
  auto level = [&](double x) { return uint8_t(std::lround(std::clamp(x, 0.0, a) * 255.0 / a)); };
  return Rgba8{level(c[0]), level(c[1]), level(c[2]), uint8_t(std::lround(a))};
}

TEST(DrawTransformed, BicubicInteriorMatchesAPlainSamplerForOpaqueAndClearPixels) {
  struct Case {
    const char* what;
    Affine2D m;
  };
  const Case cases[] = {
      {"turned 5 degrees at 0.86", Affine2D::Scaling(0.86, 0.86).Then(RotationAbout(-5, {20, 15}))},
      {"turned 37 degrees, enlarged", Affine2D::Scaling(1.9, 1.6).Then(RotationAbout(37, {30, 25}))},
      {"sheared", Affine2D{1, 0.35, 3, -0.2, 0.9, 6}},
      {"moved by a fraction", Affine2D::Translation(0.3, -0.7)},
      {"mirrored and turned", Affine2D::Scaling(-1.2, 1.1).Then(RotationAbout(-120, {0, 0}))},
      {"moved by whole pixels", Affine2D::Translation(5, 4)},
  };
  for (int alpha = 0; alpha < 3; ++alpha)  // opaque, one clear pixel, random alpha
    for (DrawMode mode : {DrawMode::kCopy, DrawMode::kBlend})
      for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.what << " alpha " << alpha << " mode " << int(mode));
        Image src = RandomImage(43, 31, 21, alpha == 2);
        if (alpha == 1) src.At(20, 15) = Rgba8{255, 0, 255, 0};
        // The picture is placed well inside a destination of odd size.
        const Affine2D m = c.m.Then(Affine2D::Translation(45, 40));
        const Image base = RandomImage(131, 117, 5, false);
        Image fast = base.Clone(), ref = base.Clone();
        DrawOptions o;
        o.sampling = Sampling::kBicubic;
        o.mode = mode;
        ASSERT_TRUE(DrawTransformed(fast, IntRect{0, 0, 131, 117}, src, m, o).ok());
        ASSERT_TRUE(DrawTransformedReference(ref, IntRect{0, 0, 131, 117}, src, m, o).ok());
        // Every pixel, the edges included, stays within a level of the
        // straightforward version.
        EXPECT_LE(MaxDifference(fast, ref), 1);
        // Pixels whose footprint lies well inside the source are the sample
        // itself when copied; an opaque sample replaces the pixel in either
        // mode.
        const Affine2D inv = *m.Inverted();
        int inside = 0;
        for (int y = 0; y < 117; ++y)
          for (int x = 0; x < 131; ++x) {
            const PointF p = inv.Apply({x + 0.5, y + 0.5});
            if (p.x < 2.5 || p.y < 2.5 || p.x > 43 - 2.5 || p.y > 31 - 2.5) continue;
            const Rgba8 want = TestBicubicSample(src, p.x, p.y);
            if (mode == DrawMode::kBlend && want.a != 255) continue;
            ++inside;
            ASSERT_LE(test::PixelDifference(fast.At(x, y), want), 1) << x << "," << y;
          }
        if (mode == DrawMode::kCopy || alpha < 2) {
          EXPECT_GT(inside, 200);
        }
      }
}

TEST(DrawTransformed, RefusesSingularMatricesAndEmptyBuffers) {
  Image src = RandomImage(4, 4, 1), dest, empty;
  ASSERT_TRUE(dest.Create(4, 4).ok());
  EXPECT_FALSE(DrawTransformed(dest, IntRect{0, 0, 4, 4}, src, Affine2D::Scaling(0, 1)).ok());
  EXPECT_FALSE(DrawTransformed(dest, IntRect{0, 0, 4, 4}, src, Affine2D::Translation(INFINITY, 0)).ok());
  EXPECT_FALSE(DrawTransformed(dest, IntRect{0, 0, 4, 4}, empty, Affine2D::Identity()).ok());
  EXPECT_FALSE(DrawTransformed(empty, IntRect{0, 0, 4, 4}, src, Affine2D::Identity()).ok());
  EXPECT_FALSE(TransformImage(src, Affine2D::Scaling(1, 0)).ok());
  EXPECT_FALSE(TransformImage(src, Affine2D::Scaling(1e9, 1e9)).ok()) << "too large a result";
}

TEST(DrawTransformed, ExtremeMatricesStayInsideTheBuffers) {
  // Tiny and huge scales, odd angles and far offsets: every read and write
  // must stay inside the buffers (checked by the sanitizer build) and an
  // opaque source never produces colour outside the source's range.
  Image src;
  ASSERT_TRUE(src.Create(7, 5, Rgba8{40, 80, 120, 255}).ok());
  std::mt19937 rng(1234);
  std::uniform_real_distribution<double> angle(-720, 720), logScale(-7, 7), offset(-50, 50);
  for (int i = 0; i < 300; ++i) {
    const double sx = std::pow(10.0, logScale(rng) / 3), sy = std::pow(10.0, logScale(rng) / 3);
    Affine2D m = Affine2D::Scaling(sx, (i % 3 == 0) ? -sy : sy)
                     .Then(Affine2D::Rotation(angle(rng)))
                     .Then(Affine2D::Translation(offset(rng), offset(rng)));
    Image dest;
    ASSERT_TRUE(dest.Create(33, 21).ok());
    DrawOptions o;
    o.sampling = kSamplings[i % 3];
    o.antialias = i % 4 != 0;
    o.mode = i % 2 ? DrawMode::kCopy : DrawMode::kBlend;
    ASSERT_TRUE(DrawTransformed(dest, IntRect{-5, -5, 40, 30}, src, m, o).ok());
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 33; ++x) {
        const Rgba8 p = dest.At(x, y);
        if (p.a == 0) continue;
        ASSERT_NEAR(p.r, 40, 1);
        ASSERT_NEAR(p.b, 120, 1);
      }
  }
}

TEST(TransformPlane, OutsideValueFillsWhatTheMaskDoesNotReach) {
  Plane mask;
  ASSERT_TRUE(mask.Create(20, 20).ok());  // all 0: hides everything
  auto out = TransformPlane(mask, RotationAbout(45, {10, 10}), Sampling::kBilinear, 255);
  ASSERT_TRUE(out.ok());
  const Plane& p = out->plane;
  EXPECT_EQ(p.At(0, 0), 255) << "corner outside the turned square";
  EXPECT_EQ(p.At(p.width() / 2, p.height() / 2), 0);
  auto scaled = TransformPlane(mask, Affine2D::Scaling(0.55, 1).Then(Affine2D::Translation(0.25, 0)),
                               Sampling::kBicubic, 255);
  ASSERT_TRUE(scaled.ok());
  EXPECT_EQ(scaled->plane.At(0, 5), 64) << "a quarter outside: 255 * 0.25";
}

TEST(TransformPlane, QuarterTurnOfAPlaneIsExact) {
  Plane src = RandomPlane(5, 3, 2);
  auto out = TransformPlane(src, RotationAbout(-90, {0, 0}));
  ASSERT_TRUE(out.ok());
  ASSERT_EQ(out->bounds, (IntRect{-3, 0, 0, 5}));
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out->plane.At(i, j), src.At(j, 2 - i));
}

TEST(Flip, MirrorsInPlace) {
  Plane p;
  ASSERT_TRUE(p.Create(3, 2).ok());
  for (int i = 0; i < 6; ++i) p.data()[i] = uint8_t(i);
  FlipHorizontal(p);
  EXPECT_EQ(p.At(0, 0), 2);
  EXPECT_EQ(p.At(2, 1), 3);
  FlipVertical(p);
  EXPECT_EQ(p.At(0, 0), 5);
  EXPECT_EQ(p.At(2, 1), 0);
}

// Bands of result rows each map their own slice of the source, so the band
// height changes nothing beyond one level of float rounding.
TEST(TransformBands, BandHeightDoesNotChangeTheResult) {
  const Image src = RandomImage(61, 47, 5);
  struct Case {
    const char* what;
    Affine2D m;
    Sampling sampling;
  };
  const Case cases[] = {
      {"enlarge", Affine2D::Scaling(2.37, 1.9).Then(Affine2D::Translation(3.2, -4.7)), Sampling::kBicubic},
      {"reduce", Affine2D::Scaling(0.31, 0.42), Sampling::kBicubic},
      {"mirror", ScalingAbout(-1, 1.5, {30, 20}), Sampling::kBicubic},
      {"rotate", RotationAbout(-30, {30, 23}), Sampling::kBicubic},
      {"rotate and reduce", Affine2D::Scaling(0.4, 0.4).Then(RotationAbout(17, {12, 9})), Sampling::kBicubic},
      {"bilinear", Affine2D::Scaling(1.5, 1.5), Sampling::kBilinear},
      {"nearest", RotationAbout(90, {0, 0}), Sampling::kNearest},
  };
  for (const Case& c : cases) {
    TransformOptions oneBand;
    oneBand.bandRows = 1 << 20;
    Result<PlacedImage> whole = TransformImage(src, c.m, c.sampling, oneBand);
    ASSERT_TRUE(whole.ok()) << c.what;
    for (int band : {1, 7}) {
      TransformOptions banded;
      banded.bandRows = band;
      Result<PlacedImage> r = TransformImage(src, c.m, c.sampling, banded);
      ASSERT_TRUE(r.ok()) << c.what;
      EXPECT_EQ(r->bounds, whole->bounds) << c.what;
      EXPECT_LE(MaxDifference(r->image, whole->image), 1) << c.what << " in bands of " << band;
    }
  }
  Plane plane = RandomPlane(40, 30, 9);
  TransformOptions oneBand, fiveRows;
  oneBand.bandRows = 1 << 20;
  fiveRows.bandRows = 5;
  for (uint8_t outside : {uint8_t(0), uint8_t(255)}) {
    Result<PlacedPlane> whole =
        TransformPlane(plane, RotationAbout(-20, {20, 15}), Sampling::kBicubic, outside, oneBand);
    Result<PlacedPlane> banded =
        TransformPlane(plane, RotationAbout(-20, {20, 15}), Sampling::kBicubic, outside, fiveRows);
    ASSERT_TRUE(whole.ok() && banded.ok());
    EXPECT_EQ(banded->bounds, whole->bounds);
    EXPECT_LE(MaxDifference(banded->plane, whole->plane), 1);
    EXPECT_EQ(banded->plane.At(0, 0), outside) << "a rotated corner lies outside the source";
  }
}

TEST(TransformBands, RaisedCancelFlagStopsTheTransform) {
  std::atomic<bool> flag{true};
  TransformOptions options;
  options.cancel = &flag;
  Result<PlacedImage> r =
      TransformImage(RandomImage(20, 20, 3), Affine2D::Scaling(3, 3), Sampling::kBicubic, options);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.message(), "cancelled");
  EXPECT_TRUE(r.cancelled());
  EXPECT_TRUE(TransformPlane(RandomPlane(9, 9, 4), RotationAbout(10, {}), Sampling::kBicubic, 0, options)
                  .cancelled());
  flag = false;
  EXPECT_TRUE(
      TransformImage(RandomImage(20, 20, 3), Affine2D::Scaling(3, 3), Sampling::kBicubic, options).ok());
}

}  // namespace
}  // namespace tessaro
