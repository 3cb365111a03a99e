#include "imaging/ops/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "imaging/tests/ops/TestImages.h"

namespace tessaro {
namespace {

using test::MaxDifference;
using test::PixelDifference;
using test::SamePixels;
using test_images::RandomImage;
using test_images::RandomPlane;

constexpr ResampleFilter kFilters[] = {ResampleFilter::kBox, ResampleFilter::kBilinear,
                                       ResampleFilter::kBicubic};

ResampleOptions With(ResampleFilter f, ResampleEdge e = ResampleEdge::kClamp,
                     ResampleOrder order = ResampleOrder::kAuto) {
  ResampleOptions o;
  o.filter = f;
  o.edge = e;
  o.order = order;
  return o;
}

Image Checkerboard(int w, int h, int cell) {
  Image img;
  EXPECT_TRUE(img.Create(w, h).ok());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t v = ((x / cell + y / cell) % 2) ? 255 : 0;
      img.At(x, y) = Rgba8{v, v, v, 255};
    }
  return img;
}

TEST(Resample, FineCheckerboardReducedEightTimesIsFlatGrey) {
  Image board = Checkerboard(800, 640, 1);
  for (ResampleFilter f : kFilters) {
    auto small = ResizeImage(board, 100, 80, With(f));
    ASSERT_TRUE(small.ok());
    // Away from the borders, where clamping repeats the edge pixels and so
    // tips the balance within the filter's reach (two destination pixels).
    int lo = 255, hi = 0;
    for (int y = 2; y < 78; ++y)
      for (int x = 2; x < 98; ++x) {
        Rgba8 p = small->At(x, y);
        ASSERT_EQ(p.a, 255);
        ASSERT_TRUE(p.r == p.g && p.g == p.b);
        lo = std::min<int>(lo, p.r);
        hi = std::max<int>(hi, p.r);
      }
    // Half black, half white averages to 127.5.
    EXPECT_GE(lo, 127) << int(f);
    EXPECT_LE(hi, 128) << int(f);
  }
}

TEST(Resample, NonIntegerReductionStaysFlatOnAFineCheckerboard) {
  Image board = Checkerboard(900, 700, 1);
  for (ResampleFilter f : kFilters) {
    auto small = ResizeImage(board, 131, 97, With(f));
    ASSERT_TRUE(small.ok());
    for (int y = 0; y < 97; ++y)
      for (int x = 0; x < 131; ++x)
        ASSERT_NEAR(small->At(x, y).r, 127.5, 4.0) << int(f) << " at " << x << "," << y;
  }
}

TEST(Resample, SameSizeIsTheIdentityForEveryFilter) {
  Image src = RandomImage(37, 23, 1);
  for (ResampleFilter f : kFilters) {
    auto out = ResizeImage(src, 37, 23, With(f));
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(MaxDifference(*out, src), 0) << int(f);
  }
}

TEST(Resample, BoxReductionAveragesByExactArea) {
  // Three pixels into two: each destination pixel covers one and a half
  // source pixels.
  Plane src;
  ASSERT_TRUE(src.Create(3, 1).ok());
  src.At(0, 0) = 0;
  src.At(1, 0) = 90;
  src.At(2, 0) = 180;
  auto out = ResizePlane(src, 2, 1, With(ResampleFilter::kBox));
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(out->At(0, 0), 30);   // (0 * 1 + 90 * 0.5) / 1.5
  EXPECT_EQ(out->At(1, 0), 150);  // (90 * 0.5 + 180 * 1) / 1.5
}

TEST(Resample, BicubicEnlargementReproducesALinearRamp) {
  Plane ramp;
  ASSERT_TRUE(ramp.Create(20, 3).ok());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 20; ++x) ramp.At(x, y) = uint8_t(10 * x);
  auto big = ResizePlane(ramp, 40, 6, With(ResampleFilter::kBicubic));
  ASSERT_TRUE(big.ok());
  // Destination pixel j samples source position (j + 0.5) / 2 - 0.5 in pixel
  // index units; away from the edges the cubic is exact on a line.
  for (int j = 4; j < 36; ++j) {
    double want = 10 * ((j + 0.5) / 2 - 0.5);
    EXPECT_NEAR(big->At(j, 2), want, 0.5 + 1e-9) << j;
  }
}

TEST(Resample, ConstantPicturesStayConstantAtAnySize) {
  Image src;
  ASSERT_TRUE(src.Create(50, 30, Rgba8{200, 100, 50, 180}).ok());
  const int sizes[][2] = {{7, 5}, {50, 1}, {1, 30}, {173, 31}, {13, 97}};
  for (ResampleFilter f : kFilters)
    for (auto [w, h] : sizes) {
      auto out = ResizeImage(src, w, h, With(f));
      ASSERT_TRUE(out.ok());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(out->At(x, y), (Rgba8{200, 100, 50, 180})) << w << "x" << h;
    }
}

TEST(Resample, TransparentPixelsDoNotBleedTheirColour) {
  // Left half: fully transparent but red; right half: opaque blue.
  Image src;
  ASSERT_TRUE(src.Create(64, 8).ok());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 64; ++x) src.At(x, y) = x < 32 ? Rgba8{255, 0, 0, 0} : Rgba8{0, 0, 255, 255};
  for (ResampleFilter f : kFilters)
    for (int w : {9, 100}) {
      auto out = ResizeImage(src, w, 8, With(f));
      ASSERT_TRUE(out.ok());
      bool sawPartial = false;
      for (int x = 0; x < w; ++x) {
        Rgba8 p = out->At(x, 4);
        if (p.a == 0) continue;
        sawPartial |= p.a < 255;
        EXPECT_EQ(p.r, 0) << "red leaked at " << x << " filter " << int(f);
        EXPECT_EQ(p.b, 255) << x;
      }
      EXPECT_TRUE(sawPartial) << "the boundary is blended in alpha";
    }
}

TEST(Resample, TransparentEdgeEndsTheLayerWhereClampRepeatsIt) {
  Image layer;
  ASSERT_TRUE(layer.Create(4, 4, Rgba8{255, 255, 255, 255}).ok());
  Image out;
  ASSERT_TRUE(out.Create(8, 4).ok());
  // Source rectangle two pixels wider on each side, mapped 1:1.
  ASSERT_TRUE(ResampleRegion(layer, RectF{-2, 0, 6, 4}, out, IntRect{0, 0, 8, 4},
                             With(ResampleFilter::kBicubic, ResampleEdge::kTransparent))
                  .ok());
  for (int x = 0; x < 8; ++x) EXPECT_EQ(out.At(x, 1).a, (x >= 2 && x < 6) ? 255 : 0) << x;
  ASSERT_TRUE(
      ResampleRegion(layer, RectF{-2, 0, 6, 4}, out, IntRect{0, 0, 8, 4}, With(ResampleFilter::kBicubic))
          .ok());
  for (int x = 0; x < 8; ++x) EXPECT_EQ(out.At(x, 1), (Rgba8{255, 255, 255, 255})) << x;
}

TEST(Resample, MirroredSourceRectangleMirrorsTheResult) {
  Image src = RandomImage(41, 29, 7);
  auto plain = ResizeImage(src, 17, 53);
  ASSERT_TRUE(plain.ok());
  Image mirrored;
  ASSERT_TRUE(mirrored.Create(17, 53).ok());
  ASSERT_TRUE(ResampleRegion(src, RectF{41, 29, 0, 0}, mirrored, IntRect{0, 0, 17, 53}).ok());
  int worst = 0;
  for (int y = 0; y < 53; ++y)
    for (int x = 0; x < 17; ++x) {
      Rgba8 p = plain->At(16 - x, 52 - y), q = mirrored.At(x, y);
      if (p.a || q.a) worst = std::max(worst, PixelDifference(p, q));
    }
  EXPECT_LE(worst, 1);
}

TEST(Resample, WritesOnlyTheDestinationRectangleInsideTheImage) {
  Image src = RandomImage(20, 20, 3, false);
  Image dest;
  ASSERT_TRUE(dest.Create(30, 30, Rgba8{1, 2, 3, 4}).ok());
  // A rectangle hanging over the top-left corner.
  ASSERT_TRUE(ResampleRegion(src, RectF{0, 0, 20, 20}, dest, IntRect{-5, -5, 15, 15}).ok());
  EXPECT_EQ(dest.At(0, 0), src.At(5, 5));
  EXPECT_EQ(dest.At(9, 9), src.At(14, 14));
  EXPECT_EQ(dest.At(15, 0), (Rgba8{1, 2, 3, 4}));
  EXPECT_EQ(dest.At(0, 15), (Rgba8{1, 2, 3, 4}));
}

struct AgreeCase {
  int sw, sh;
  RectF sourceRect;
  int dw, dh;
  IntRect destRect;
};

const AgreeCase kAgreeCases[] = {
    {64, 48, {0, 0, 64, 48}, 16, 12, {0, 0, 16, 12}},         // 4x reduction
    {64, 48, {0, 0, 64, 48}, 23, 37, {0, 0, 23, 37}},         // non-uniform
    {20, 15, {0, 0, 20, 15}, 57, 44, {0, 0, 57, 44}},         // enlargement
    {30, 30, {5.5, 2.25, 21, 27.5}, 40, 12, {0, 0, 40, 12}},  // fractional crop
    {30, 20, {30, 0, 0, 20}, 11, 31, {0, 0, 11, 31}},         // mirrored x
    {30, 20, {0, 20, 30, 0}, 45, 9, {0, 0, 45, 9}},           // mirrored y
    {25, 25, {-4, -3, 29, 30}, 20, 20, {-3, 2, 27, 19}},      // overhanging both
    {300, 5, {0, 0, 300, 5}, 7, 5, {0, 0, 7, 5}},             // strong x reduction
    {5, 200, {0, 0, 5, 200}, 5, 3, {0, 0, 5, 3}},             // strong y reduction
};

TEST(Resample, FastPathAgreesWithTheReference) {
  for (ResampleFilter f : kFilters)
    for (ResampleEdge e : {ResampleEdge::kClamp, ResampleEdge::kTransparent})
      for (ResampleOrder order : {ResampleOrder::kHorizontalFirst, ResampleOrder::kVerticalFirst})
        for (const AgreeCase& c : kAgreeCases) {
          SCOPED_TRACE(::testing::Message()
                       << "filter " << int(f) << " edge " << int(e) << " order " << int(order) << " case "
                       << c.sw << "x" << c.sh << "->" << c.dw << "x" << c.dh);
          Image src = RandomImage(c.sw, c.sh, uint32_t(c.sw * 31 + c.dw));
          Image fast, ref;
          ASSERT_TRUE(fast.Create(c.dw, c.dh, Rgba8{9, 9, 9, 9}).ok());
          ASSERT_TRUE(ref.Create(c.dw, c.dh, Rgba8{9, 9, 9, 9}).ok());
          ResampleOptions o = With(f, e, order);
          ASSERT_TRUE(ResampleRegion(src, c.sourceRect, fast, c.destRect, o).ok());
          ASSERT_TRUE(ResampleRegionReference(src, c.sourceRect, ref, c.destRect, o).ok());
          EXPECT_LE(MaxDifference(fast, ref), 1);

          Plane psrc = RandomPlane(c.sw, c.sh, uint32_t(c.sh * 17 + c.dh));
          Plane pfast, pref;
          ASSERT_TRUE(pfast.Create(c.dw, c.dh).ok());
          ASSERT_TRUE(pref.Create(c.dw, c.dh).ok());
          ASSERT_TRUE(ResampleRegion(psrc, c.sourceRect, pfast, c.destRect, o).ok());
          ASSERT_TRUE(ResampleRegionReference(psrc, c.sourceRect, pref, c.destRect, o).ok());
          EXPECT_LE(MaxDifference(pfast, pref), 1);
        }
}

TEST(Resample, RandomGeometriesAgreeWithTheReference) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> size(1, 40);
  std::uniform_real_distribution<double> coord(-10, 50);
  for (int i = 0; i < 60; ++i) {
    const int sw = size(rng), sh = size(rng), dw = size(rng), dh = size(rng);
    RectF sr{coord(rng), coord(rng), coord(rng), coord(rng)};
    if (std::fabs(sr.right - sr.left) < 0.1) sr.right = sr.left + 1;
    if (std::fabs(sr.bottom - sr.top) < 0.1) sr.bottom = sr.top + 1;
    const IntRect dr{size(rng) - 10, size(rng) - 10, size(rng) + 5, size(rng) + 5};
    if (dr.Empty()) continue;
    SCOPED_TRACE(::testing::Message() << "case " << i);
    ResampleOptions o = With(kFilters[i % 3], i % 2 ? ResampleEdge::kClamp : ResampleEdge::kTransparent);
    Image src = RandomImage(sw, sh, uint32_t(i)), fast, ref;
    ASSERT_TRUE(fast.Create(dw, dh).ok());
    ASSERT_TRUE(ref.Create(dw, dh).ok());
    ASSERT_TRUE(ResampleRegion(src, sr, fast, dr, o).ok());
    ASSERT_TRUE(ResampleRegionReference(src, sr, ref, dr, o).ok());
    EXPECT_LE(MaxDifference(fast, ref), 1);
  }
}

TEST(Resample, ThreadedResultEqualsSingleThreaded) {
  for (bool opaque : {false, true}) {
    Image src = RandomImage(1500, 1100, 11, !opaque);
    for (auto [w, h] : {std::pair{301, 177}, std::pair{2100, 1500}}) {
      ResampleOptions one;
      one.parallel = false;
      auto a = ResizeImage(src, w, h, one);
      auto b = ResizeImage(src, w, h);
      ASSERT_TRUE(a.ok() && b.ok());
      EXPECT_TRUE(SamePixels(*a, *b)) << w << "x" << h << " opaque " << opaque;
    }
  }
}

// A plain two-pass resampler in double precision for repeating edges: every
// source row filtered across into a double buffer, then every column down,
// on premultiplied colour; the filter is widened by the reduction factor.
// Written from the filter definitions alone.
double TestKernel(ResampleFilter f, double x) {
  x = std::fabs(x);
  if (f == ResampleFilter::kBilinear) return std::max(0.0, 1 - x);
  if (f == ResampleFilter::kBicubic) {
    if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
  }
  return 0;  // the box is handled as an overlap
}

// weights[i] = (source index, weight) for destination pixel i along an axis
// where destination [0, n) shows source [from, to).
std::vector<std::vector<std::pair<int, double>>> TestAxis(ResampleFilter f, int sourceSize, double from,
                                                          double to, int n) {
  std::vector<std::vector<std::pair<int, double>>> all(n);
  const double scale = (to - from) / n, width = std::max(1.0, std::fabs(scale));
  for (int i = 0; i < n; ++i) {
    const double centre = from + (i + 0.5) * scale;
    double total = 0;
    std::vector<std::pair<int, double>> taps;
    for (int j = int(centre - 3 * width) - 2; j <= int(centre + 3 * width) + 2; ++j) {
      double w;
      if (f == ResampleFilter::kBox)
        w = std::max(0.0, std::min(j + 1.0, centre + width / 2) - std::max(double(j), centre - width / 2));
      else
        w = TestKernel(f, (j + 0.5 - centre) / width);
      if (w == 0) continue;
      taps.emplace_back(std::clamp(j, 0, sourceSize - 1), w);
      total += w;
    }
    for (auto& t : taps) t.second /= total;
    all[i] = taps;
  }
  return all;
}

Image TwoPassResample(const Image& src, const RectF& from, int w, int h, ResampleFilter f) {
  const auto across = TestAxis(f, src.width(), from.left, from.right, w);
  const auto down = TestAxis(f, src.height(), from.top, from.bottom, h);
  std::vector<double> rows(size_t(src.height()) * w * 4, 0.0);
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < w; ++x)
      for (auto [j, wt] : across[x]) {
        const Rgba8 p = src.At(j, y);
        const double a = p.a / 255.0;
        double* out = &rows[(size_t(y) * w + x) * 4];
        out[0] += wt * p.r * a;
        out[1] += wt * p.g * a;
        out[2] += wt * p.b * a;
        out[3] += wt * p.a;
      }
  Image result;
  EXPECT_TRUE(result.Create(w, h).ok());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double c[4] = {0, 0, 0, 0};
      for (auto [j, wt] : down[y])
        for (int k = 0; k < 4; ++k) c[k] += wt * rows[(size_t(j) * w + x) * 4 + k];
      const double a = std::clamp(c[3], 0.0, 255.0);
      if (a < 0.5) continue;
      auto level = [&](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, a) * 255.0 / a)); };
      result.At(x, y) = Rgba8{level(c[0]), level(c[1]), level(c[2]), uint8_t(std::lround(a))};
    }
  return result;
}

TEST(Resample, OpaqueAndTranslucentPicturesMatchAPlainTwoPassResampler) {
  struct Case {
    int sw, sh;
    RectF from;
    int dw, dh;
    const char* what;
  };
  const Case cases[] = {
      {37, 23, {0, 0, 37, 23}, 35, 21, "slight reduction, odd sizes"},
      {41, 29, {0, 0, 41, 29}, 13, 9, "strong reduction"},
      {9, 7, {0, 0, 9, 7}, 31, 26, "enlargement"},
      {1, 5, {0, 0, 1, 5}, 3, 11, "one column"},
      {30, 20, {30, 20, 0, 0}, 27, 19, "mirrored both ways"},
      {25, 25, {-3.5, -2, 28.25, 26}, 22, 24, "reaching past every edge"},
      {40, 30, {7.25, 3.5, 19.75, 21}, 17, 23, "fractional crop"},
  };
  for (ResampleFilter f : kFilters)
    // Opaque, one clear pixel, random alpha, a frame and a dot on a clear
    // ground whose colour is loud.
    for (int alpha = 0; alpha < 4; ++alpha)
      for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.what << " filter " << int(f) << " alpha " << alpha);
        Image src = RandomImage(c.sw, c.sh, uint32_t(c.sw * 7 + c.dh), alpha == 2);
        // A clear pixel with a loud colour must not tint its neighbours.
        if (alpha == 1) src.At(c.sw / 2, c.sh / 2) = Rgba8{255, 0, 255, 0};
        for (int y = 0; alpha == 3 && y < c.sh; ++y)
          for (int x = 0; x < c.sw; ++x) {
            const bool frame = x == 1 || y == 1 || x == c.sw - 2 || (y >= c.sh - 3 && y < c.sh - 1);
            if (!frame && !(x == c.sw / 2 && y == c.sh / 3)) src.At(x, y) = Rgba8{0, 255, 0, 0};
          }
        Image fast;
        ASSERT_TRUE(fast.Create(c.dw, c.dh).ok());
        ASSERT_TRUE(ResampleRegion(src, c.from, fast, IntRect{0, 0, c.dw, c.dh},
                                   With(f, ResampleEdge::kClamp, ResampleOrder::kHorizontalFirst))
                        .ok());
        const Image expected = TwoPassResample(src, c.from, c.dw, c.dh, f);
        EXPECT_LE(MaxDifference(fast, expected), 1);
      }
}

TEST(Resample, RefusesUnusableArguments) {
  Image src = RandomImage(4, 4, 1), dest;
  ASSERT_TRUE(dest.Create(4, 4).ok());
  Image empty;
  EXPECT_FALSE(ResampleInto(empty, dest).ok());
  EXPECT_FALSE(ResampleInto(src, empty).ok());
  EXPECT_FALSE(ResampleRegion(src, RectF{1, 0, 1, 4}, dest, IntRect{0, 0, 4, 4}).ok());
  EXPECT_FALSE(ResampleRegion(src, RectF{0, 0, NAN, 4}, dest, IntRect{0, 0, 4, 4}).ok());
  EXPECT_FALSE(ResampleRegion(src, RectF{0, 0, 4, 4}, dest, IntRect{2, 2, 2, 4}).ok());
  EXPECT_FALSE(ResampleRegion(src, RectF{0, 0, 4, 4}, dest, IntRect{-2000000000, 0, 2000000000, 4}).ok());
  EXPECT_FALSE(ResizeImage(src, 0, 5).ok());
  EXPECT_FALSE(ResizeImage(src, kMaxImageSide + 1, 1).ok());
  // A destination rectangle entirely outside the image is fine and a no-op.
  EXPECT_TRUE(ResampleRegion(src, RectF{0, 0, 4, 4}, dest, IntRect{10, 10, 14, 14}).ok());
}

TEST(ResampleKernel, BicubicInterpolatesAndSumsToOne) {
  EXPECT_EQ(ResampleKernel(ResampleFilter::kBicubic, 0), 1.0);
  EXPECT_EQ(ResampleKernel(ResampleFilter::kBicubic, 1), 0.0);
  EXPECT_EQ(ResampleKernel(ResampleFilter::kBicubic, 2), 0.0);
  // Keys a = -0.5 at 0.5: (1.5 * 0.125 - 2.5 * 0.25 + 1) = 0.5625; at 1.5: -0.0625.
  EXPECT_DOUBLE_EQ(ResampleKernel(ResampleFilter::kBicubic, 0.5), 0.5625);
  EXPECT_DOUBLE_EQ(ResampleKernel(ResampleFilter::kBicubic, -1.5), -0.0625);
  for (double t : {0.1, 0.37, 0.5, 0.93}) {
    double sum = 0;
    for (int k = -2; k <= 2; ++k) sum += ResampleKernel(ResampleFilter::kBicubic, t + k);
    EXPECT_NEAR(sum, 1.0, 1e-12) << t;
  }
}

}  // namespace
}  // namespace tessaro
