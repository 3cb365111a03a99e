#include "imaging/ops/Blend.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/tests/ops/TestImages.h"

namespace tessaro {
namespace {

using test::PixelDifference;
using test::SamePixels;
using test_images::RandomImage;

struct ModeCase {
  BlendMode mode;
  Rgba8 want;
};

// Backdrop (200, 100, 30) under source (100, 220, 128), both opaque. The
// expectations were worked out separately from the published formulas in
// double precision, e.g. multiply: 200 * 100 / 255 = 78.4; screen: 200 + 100
// - 78.4 = 221.6; overlay (red): 1 - 2 * (55/255) * (155/255) = 0.7378 ->
// 188; luminosity: SetLum(backdrop, Lum(source)).
const ModeCase kOpaqueCases[] = {
    {BlendMode::kNormal, {100, 220, 128, 255}},      {BlendMode::kMultiply, {78, 86, 15, 255}},
    {BlendMode::kScreen, {222, 234, 143, 255}},      {BlendMode::kOverlay, {188, 173, 30, 255}},
    {BlendMode::kHardLight, {157, 212, 31, 255}},    {BlendMode::kSoftLight, {191, 143, 30, 255}},
    {BlendMode::kDarken, {100, 100, 30, 255}},       {BlendMode::kLighten, {200, 220, 128, 255}},
    {BlendMode::kColorDodge, {255, 255, 60, 255}},   {BlendMode::kColorBurn, {115, 75, 0, 255}},
    {BlendMode::kLinearBurn, {45, 65, 0, 255}},      {BlendMode::kLinearDodge, {255, 255, 158, 255}},
    {BlendMode::kLinearLight, {145, 255, 31, 255}},  {BlendMode::kVividLight, {185, 255, 30, 255}},
    {BlendMode::kPinLight, {200, 185, 30, 255}},     {BlendMode::kHardMix, {255, 255, 0, 255}},
    {BlendMode::kDifference, {100, 120, 98, 255}},   {BlendMode::kExclusion, {143, 147, 128, 255}},
    {BlendMode::kSubtract, {100, 0, 0, 255}},        {BlendMode::kDivide, {255, 116, 60, 255}},
    {BlendMode::kHue, {18, 188, 57, 255}},           {BlendMode::kSaturation, {177, 107, 57, 255}},
    {BlendMode::kColor, {48, 168, 76, 255}},         {BlendMode::kLuminosity, {252, 152, 82, 255}},
    {BlendMode::kDarkerColor, {200, 100, 30, 255}},  {BlendMode::kLighterColor, {100, 220, 128, 255}},
    {BlendMode::kPassThrough, {100, 220, 128, 255}},
};

TEST(BlendModes, OpaquePixelsMatchThePublishedFormulas) {
  const Rgba8 backdrop{200, 100, 30, 255}, source{100, 220, 128, 255};
  for (const ModeCase& c : kOpaqueCases) {
    Rgba8 got = CompositePixel(backdrop, source, c.mode);
    // One level of slack: the expectations were rounded from doubles.
    EXPECT_LE(PixelDifference(got, c.want), 1)
        << BlendModeName(c.mode) << " got " << int(got.r) << "," << int(got.g) << "," << int(got.b);
  }
}

// Known answers at the ends of the range, where the formulas branch or
// divide, worked out by hand from the published definitions (b backdrop, s
// source, both as fractions of 255; x = 128/255 = 0.50196):
// - colour dodge: a black backdrop stays black even under white (the rule
//   that b = 0 gives 0 comes before s = 1 gives 1); otherwise b / (1 - s).
// - colour burn: a white backdrop stays white even under black; otherwise
//   1 - (1 - b) / s, and s = 0 gives 0.
// - divide: b / s, with s = 0 giving 0 for a black backdrop and 1 otherwise.
// - soft light at x: s = 0 gives x - x (1 - x) = x^2 = 0.252 -> 64; s = 1
//   gives sqrt(x) = 0.7085 -> 181. Overlay at x: x > 1/2, so screen(s, 2x - 1):
//   s = 0 gives 2x - 1 = 0.0039 -> 1.
// - difference and exclusion at (x, 1): 1 - x = 0.498 -> 127.
// Grey pixels only: the non-separable modes then reduce to taking the
// backdrop (hue, saturation, colour), the source (luminosity) or the darker
// or lighter of the two.
struct ExtremeCase {
  BlendMode mode;
  // Results for (b, s) = (0, 0), (0, 255), (255, 0), (255, 255), (128, 0), (128, 255).
  uint8_t want[6];
};
constexpr uint8_t kExtremeBackdrop[6] = {0, 0, 255, 255, 128, 128};
constexpr uint8_t kExtremeSource[6] = {0, 255, 0, 255, 0, 255};
const ExtremeCase kExtremeCases[] = {
    {BlendMode::kNormal, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kDissolve, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kPassThrough, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kMultiply, {0, 0, 0, 255, 0, 128}},
    {BlendMode::kScreen, {0, 255, 255, 255, 128, 255}},
    {BlendMode::kOverlay, {0, 0, 255, 255, 1, 255}},
    {BlendMode::kHardLight, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kSoftLight, {0, 0, 255, 255, 64, 181}},
    {BlendMode::kDarken, {0, 0, 0, 255, 0, 128}},
    {BlendMode::kLighten, {0, 255, 255, 255, 128, 255}},
    {BlendMode::kColorDodge, {0, 0, 255, 255, 128, 255}},
    {BlendMode::kColorBurn, {0, 0, 255, 255, 0, 128}},
    {BlendMode::kLinearBurn, {0, 0, 0, 255, 0, 128}},
    {BlendMode::kLinearDodge, {0, 255, 255, 255, 128, 255}},
    {BlendMode::kLinearLight, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kVividLight, {0, 0, 255, 255, 0, 255}},
    {BlendMode::kPinLight, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kHardMix, {0, 255, 255, 255, 0, 255}},
    {BlendMode::kDifference, {0, 255, 255, 0, 128, 127}},
    {BlendMode::kExclusion, {0, 255, 255, 0, 128, 127}},
    {BlendMode::kSubtract, {0, 0, 255, 0, 128, 0}},
    {BlendMode::kDivide, {0, 0, 255, 255, 255, 128}},
    {BlendMode::kHue, {0, 0, 255, 255, 128, 128}},
    {BlendMode::kSaturation, {0, 0, 255, 255, 128, 128}},
    {BlendMode::kColor, {0, 0, 255, 255, 128, 128}},
    {BlendMode::kLuminosity, {0, 255, 0, 255, 0, 255}},
    {BlendMode::kDarkerColor, {0, 0, 0, 255, 0, 128}},
    {BlendMode::kLighterColor, {0, 255, 255, 255, 128, 255}},
};

TEST(BlendModes, EveryModeHasKnownAnswersAtBlackAndWhite) {
  ASSERT_EQ(std::size(kExtremeCases), size_t(BlendMode::kLuminosity) + 1) << "a mode without known answers";
  for (const ExtremeCase& c : kExtremeCases)
    for (int i = 0; i < 6; ++i) {
      const uint8_t b = kExtremeBackdrop[i], s = kExtremeSource[i], w = c.want[i];
      const Rgba8 got = CompositePixel(Rgba8{b, b, b, 255}, Rgba8{s, s, s, 255}, c.mode);
      EXPECT_LE(PixelDifference(got, Rgba8{w, w, w, 255}), 1)
          << BlendModeName(c.mode) << " b " << int(b) << " s " << int(s) << " got " << int(got.r);
    }
}

TEST(Composite, EveryModeHasKnownAnswersAtBlackAndWhite) {
  // The same answers through the image compositor (its own vector path).
  Image base, layer;
  ASSERT_TRUE(base.Create(6, 1).ok());
  ASSERT_TRUE(layer.Create(6, 1).ok());
  for (int i = 0; i < 6; ++i) {
    const uint8_t b = kExtremeBackdrop[i], s = kExtremeSource[i];
    layer.At(i, 0) = Rgba8{s, s, s, 255};
    base.At(i, 0) = Rgba8{b, b, b, 255};
  }
  for (const ExtremeCase& c : kExtremeCases) {
    Image dest = base.Clone();
    CompositeOptions o;
    o.mode = c.mode;
    Composite(dest, IntRect{0, 0, 6, 1}, layer, 0, 0, o);
    for (int i = 0; i < 6; ++i) {
      const uint8_t w = c.want[i];
      EXPECT_LE(PixelDifference(dest.At(i, 0), Rgba8{w, w, w, 255}), 1)
          << BlendModeName(c.mode) << " b " << int(kExtremeBackdrop[i]) << " s " << int(kExtremeSource[i])
          << " got " << int(dest.At(i, 0).r);
    }
  }
}

TEST(BlendModes, DarkerAndLighterColourCompareLuminosityNotChannelTotals) {
  // Source (116, 65, 217): channel total 398 above the grey backdrop's 384,
  // but luminosity 97 below its 128 (a layered document saved by an image
  // editor shows the source under darker colour here).
  const Rgba8 grey{128, 128, 128, 255}, source{116, 65, 217, 255};
  EXPECT_EQ(CompositePixel(grey, source, BlendMode::kDarkerColor), source);
  EXPECT_EQ(CompositePixel(grey, source, BlendMode::kLighterColor), grey);
  EXPECT_EQ(CompositePixel(source, grey, BlendMode::kLighterColor), grey);
}

TEST(BlendModes, PartlyTransparentBackdropUsesTheGeneralFormula) {
  // Backdrop alpha 128, source alpha 200 at 60 % opacity:
  // as = 200/255 * 0.6 = 0.4706, ab = 0.502, ao = as + ab (1 - as) = 0.7363.
  const ModeCase cases[] = {
      {BlendMode::kNormal, {136, 177, 93, 188}}, {BlendMode::kMultiply, {129, 134, 56, 188}},
      {BlendMode::kScreen, {175, 181, 97, 188}}, {BlendMode::kOverlay, {164, 161, 61, 188}},
      {BlendMode::kHue, {110, 166, 70, 188}},
  };
  for (const ModeCase& c : cases) {
    Rgba8 got = CompositePixel(Rgba8{200, 100, 30, 128}, Rgba8{100, 220, 128, 200}, c.mode, 0.6f);
    EXPECT_LE(PixelDifference(got, c.want), 1) << BlendModeName(c.mode);
  }
}

TEST(BlendModes, EveryModeOverATransparentBackdropShowsTheSource) {
  for (int m = 0; m <= int(BlendMode::kLuminosity); ++m) {
    Rgba8 got = CompositePixel(Rgba8{10, 250, 90, 0}, Rgba8{100, 220, 128, 160}, BlendMode(m), 0.5f);
    EXPECT_EQ(got, (Rgba8{100, 220, 128, 80})) << BlendModeName(BlendMode(m));
  }
}

TEST(BlendModes, InvisibleSourceLeavesTheBackdrop) {
  for (int m = 0; m <= int(BlendMode::kLuminosity); ++m) {
    EXPECT_EQ(CompositePixel(Rgba8{1, 2, 3, 4}, Rgba8{100, 220, 128, 0}, BlendMode(m)), (Rgba8{1, 2, 3, 4}));
    EXPECT_EQ(CompositePixel(Rgba8{1, 2, 3, 4}, Rgba8{100, 220, 128, 255}, BlendMode(m), 0.0f),
              (Rgba8{1, 2, 3, 4}));
  }
}

TEST(BlendModes, NonSeparableHelpersKeepLuminosityAndRange) {
  // Pure red's luminosity put on pure blue: Lum(blue) = 0.11, shifted by 0.19
  // to (0.19, 0.19, 1.19), then clipped towards L = 0.3.
  RgbF c = SetLum(RgbF{0, 0, 1}, 0.3f);
  EXPECT_NEAR(c.r, 0.3 - 0.11 * 0.7 / 0.89, 1e-6);
  EXPECT_NEAR(c.g, c.r, 1e-6);
  EXPECT_NEAR(c.b, 1.0, 1e-6);
  EXPECT_NEAR(Lum(c), 0.3, 1e-6);
  RgbF s = SetSat(RgbF{0.2f, 0.8f, 0.5f}, 0.3f);
  EXPECT_NEAR(s.r, 0.0, 1e-6);
  EXPECT_NEAR(s.g, 0.3, 1e-6);
  EXPECT_NEAR(s.b, 0.15, 1e-6);
  EXPECT_NEAR(Sat(RgbF{0.2f, 0.8f, 0.5f}), 0.6, 1e-6);
  RgbF grey = SetSat(RgbF{0.4f, 0.4f, 0.4f}, 0.9f);
  EXPECT_EQ(grey.r + grey.g + grey.b, 0.0f) << "a grey has no hue to saturate";
}

TEST(BlendModes, SeparabilityClassification) {
  EXPECT_TRUE(IsSeparable(BlendMode::kMultiply));
  EXPECT_TRUE(IsSeparable(BlendMode::kVividLight));
  EXPECT_FALSE(IsSeparable(BlendMode::kHue));
  EXPECT_FALSE(IsSeparable(BlendMode::kDarkerColor));
  EXPECT_FLOAT_EQ(BlendChannel(BlendMode::kMultiply, 0.5f, 0.5f), 0.25f);
  EXPECT_FLOAT_EQ(BlendChannel(BlendMode::kScreen, 2.0f, -1.0f), 1.0f) << "inputs are clamped";
}

Image Filled(int w, int h, Rgba8 c) {
  Image img;
  EXPECT_TRUE(img.Create(w, h, c).ok());
  return img;
}

TEST(Composite, PlacesTheLayerAtItsOffsetWithinTheRegion) {
  Image dest = Filled(10, 10, Rgba8{0, 0, 0, 255});
  Image layer = Filled(4, 4, Rgba8{255, 255, 255, 255});
  // The layer hangs over the left edge: it covers x -2..1, y 3..6; the region
  // cuts off row 6.
  Composite(dest, IntRect{0, 0, 10, 6}, layer, -2, 3);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      bool covered = x < 2 && y >= 3 && y < 6;
      EXPECT_EQ(dest.At(x, y).r, covered ? 255 : 0) << x << "," << y;
    }
}

TEST(Composite, OpacityAndMaskScaleTheLayerAlike) {
  Image layer = Filled(8, 8, Rgba8{255, 0, 0, 255});
  Image byOpacity = Filled(8, 8, Rgba8{0, 0, 255, 255});
  CompositeOptions o;
  o.opacity = 128;
  Composite(byOpacity, IntRect{0, 0, 8, 8}, layer, 0, 0, o);
  EXPECT_EQ(byOpacity.At(3, 3), (Rgba8{128, 0, 127, 255}));  // 255 * 128/255 and 255 * 127/255

  Plane maskPixels;
  ASSERT_TRUE(maskPixels.Create(4, 8, 128).ok());
  MaskRef mask{&maskPixels, IntRect{2, 0, 6, 8}, 0};
  CompositeOptions m;
  m.mask = &mask;
  Image byMask = Filled(8, 8, Rgba8{0, 0, 255, 255});
  Composite(byMask, IntRect{0, 0, 8, 8}, layer, 0, 0, m);
  EXPECT_EQ(byMask.At(3, 3), byOpacity.At(3, 3)) << "mask 128 inside its bounds";
  EXPECT_EQ(byMask.At(0, 3), (Rgba8{0, 0, 255, 255})) << "default colour 0 hides outside the bounds";
  mask.defaultColor = 255;
  Image shown = Filled(8, 8, Rgba8{0, 0, 255, 255});
  Composite(shown, IntRect{0, 0, 8, 8}, layer, 0, 0, m);
  EXPECT_EQ(shown.At(7, 3), (Rgba8{255, 0, 0, 255})) << "default colour 255 shows outside the bounds";
}

TEST(Composite, ImageAgreesWithThePixelFormulaForEveryMode) {
  Image base = RandomImage(37, 29, 5);
  Image layer = RandomImage(30, 25, 6);
  Plane maskPixels = test_images::RandomPlane(20, 20, 7);
  MaskRef mask{&maskPixels, IntRect{5, 4, 25, 24}, 200};
  for (int m = 0; m <= int(BlendMode::kLuminosity); ++m) {
    const BlendMode mode = BlendMode(m);
    if (mode == BlendMode::kDissolve) continue;
    Image dest = base.Clone();
    CompositeOptions o;
    o.mode = mode;
    o.opacity = 190;
    o.fillOpacity = 230;
    o.mask = &mask;
    Composite(dest, IntRect{1, 1, 36, 28}, layer, 3, 2, o);
    int worst = 0;
    for (int y = 0; y < 29; ++y)
      for (int x = 0; x < 37; ++x) {
        Rgba8 want = base.At(x, y);
        bool inLayer = x >= 3 && x < 33 && y >= 2 && y < 27;
        bool inRegion = x >= 1 && x < 36 && y >= 1 && y < 28;
        if (inLayer && inRegion) {
          bool inMask = x >= 5 && x < 25 && y >= 4 && y < 24;
          float mk = (inMask ? maskPixels.At(x - 5, y - 4) : 200) / 255.0f;
          want =
              CompositePixel(base.At(x, y), layer.At(x - 3, y - 2), mode, 190 / 255.0f * (230 / 255.0f) * mk);
        }
        worst = std::max(worst, PixelDifference(dest.At(x, y), want));
      }
    EXPECT_LE(worst, 1) << BlendModeName(mode);
  }
}

// Source-over written out for the test, in double precision.
Rgba8 TestSourceOver(Rgba8 b, Rgba8 s, double maskValue) {
  const double as = s.a / 255.0 * maskValue / 255.0, ab = b.a / 255.0, ao = as + ab * (1 - as);
  if (ao <= 0) return b;
  auto mix = [&](uint8_t cs, uint8_t cb) {
    return uint8_t(std::lround((as * cs + (1 - as) * ab * cb) / ao));
  };
  return Rgba8{mix(s.r, b.r), mix(s.g, b.g), mix(s.b, b.b), uint8_t(std::lround(ao * 255))};
}

TEST(Composite, NormalLayerUnderAMaskMatchesSourceOverInRunsAndMixedBlocks) {
  // Runs of clear, opaque and translucent layer pixels and of hidden, shown
  // and partial mask values, of lengths that do not line up with each other
  // or with blocks of four; the layer and mask sit at odd offsets.
  Image layer = RandomImage(45, 13, 3);
  Plane maskPixels;
  ASSERT_TRUE(maskPixels.Create(33, 11).ok());
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 45; ++x) {
      const int run = (x + 3 * y) / 5 % 3;
      layer.At(x, y).a = run == 0 ? 0 : run == 1 ? 255 : layer.At(x, y).a;
      if (x < 33 && y < 11) maskPixels.At(x, y) = (x + y) / 7 % 3 == 0 ? 0 : (x + y) / 7 % 3 == 1 ? 255 : 77;
    }
  for (int y = 0; y < 11; ++y)
    for (int x = 8; x < 24; ++x) maskPixels.At(x, y) = 255;  // a wide shown run
  for (uint8_t outside : {uint8_t(0), uint8_t(255)})
    for (bool withMask : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "outside " << int(outside) << " mask " << withMask);
      const Image base = RandomImage(61, 23, 9);
      Image dest = base.Clone();
      MaskRef mask{&maskPixels, IntRect{9, 6, 42, 17}, outside};
      CompositeOptions o;
      if (withMask) o.mask = &mask;
      Composite(dest, IntRect{2, 1, 59, 22}, layer, 5, 4, o);
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 61; ++x) {
          Rgba8 want = base.At(x, y);
          const bool inLayer = x >= 5 && x < 50 && y >= 4 && y < 17;
          const bool inRegion = x >= 2 && x < 59 && y >= 1 && y < 22;
          if (inLayer && inRegion) {
            const bool inMask = x >= 9 && x < 42 && y >= 6 && y < 17;
            const double m = !withMask ? 255 : inMask ? maskPixels.At(x - 9, y - 6) : outside;
            want = TestSourceOver(base.At(x, y), layer.At(x - 5, y - 4), m);
          }
          ASSERT_LE(PixelDifference(dest.At(x, y), want), 1) << x << "," << y;
        }
    }
}

TEST(Composite, ImageAgreesWithThePixelFormulaAtEdgeValues) {
  // Every pairing of levels where the formulas branch or divide (0, 1/2, 1).
  const uint8_t levels[] = {0, 1, 64, 127, 128, 129, 200, 254, 255};
  const int n = int(std::size(levels));
  Image base, layer;
  ASSERT_TRUE(base.Create(n * n, 3).ok());
  ASSERT_TRUE(layer.Create(n * n, 3).ok());
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int y = 0; y < 3; ++y) {
        const uint8_t a = levels[i], b = levels[j];
        base.At(i * n + j, y) = Rgba8{a, b, uint8_t(255 - a), uint8_t(y == 0 ? 255 : 100 + 60 * y)};
        layer.At(i * n + j, y) = Rgba8{b, a, b, uint8_t(y == 2 ? 255 : 180)};
      }
  for (int m = 0; m <= int(BlendMode::kLuminosity); ++m) {
    const BlendMode mode = BlendMode(m);
    if (mode == BlendMode::kDissolve) continue;
    Image dest = base.Clone();
    CompositeOptions o;
    o.mode = mode;
    Composite(dest, IntRect{0, 0, n * n, 3}, layer, 0, 0, o);
    int worst = 0;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < n * n; ++x)
        worst = std::max(worst,
                         PixelDifference(dest.At(x, y), CompositePixel(base.At(x, y), layer.At(x, y), mode)));
    EXPECT_LE(worst, 1) << BlendModeName(mode);
  }
}

TEST(Composite, DissolveShowsWholePixelsInProportionToAlpha) {
  Image layer = Filled(100, 100, Rgba8{255, 255, 255, 255});
  Image dest = Filled(100, 100, Rgba8{0, 0, 0, 255});
  CompositeOptions o;
  o.mode = BlendMode::kDissolve;
  o.opacity = 64;  // about a quarter
  Composite(dest, IntRect{0, 0, 100, 100}, layer, 0, 0, o);
  int shown = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      Rgba8 p = dest.At(x, y);
      ASSERT_TRUE(p.r == 0 || p.r == 255) << "whole pixels only";
      shown += p.r == 255;
    }
  EXPECT_NEAR(shown, 2510, 250);
  Image again = Filled(100, 100, Rgba8{0, 0, 0, 255});
  o.parallel = false;
  Composite(again, IntRect{0, 0, 100, 100}, layer, 0, 0, o);
  EXPECT_TRUE(SamePixels(dest, again)) << "the pattern is fixed";
}

TEST(Composite, ThreadedResultEqualsSingleThreaded) {
  Image base = RandomImage(700, 500, 1);
  Image layer = RandomImage(650, 480, 2);
  for (BlendMode mode : {BlendMode::kNormal, BlendMode::kSoftLight, BlendMode::kColor}) {
    Image a = base.Clone(), b = base.Clone();
    CompositeOptions o;
    o.mode = mode;
    o.opacity = 200;
    Composite(a, IntRect{0, 0, 700, 500}, layer, 20, 10, o);
    o.parallel = false;
    Composite(b, IntRect{0, 0, 700, 500}, layer, 20, 10, o);
    EXPECT_TRUE(SamePixels(a, b)) << BlendModeName(mode);
  }
}

TEST(Composite, EmptyInputsAndZeroOpacityChangeNothing) {
  Image dest = Filled(4, 4, Rgba8{9, 9, 9, 9});
  Image empty;
  Composite(dest, IntRect{0, 0, 4, 4}, empty, 0, 0);
  Image layer = Filled(4, 4, Rgba8{255, 255, 255, 255});
  CompositeOptions o;
  o.opacity = 0;
  Composite(dest, IntRect{0, 0, 4, 4}, layer, 0, 0, o);
  Composite(dest, IntRect{0, 0, 4, 4}, layer, 100, 100);
  Composite(dest, IntRect{2, 2, 2, 2}, layer, 0, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dest.At(x, y), (Rgba8{9, 9, 9, 9}));
}

}  // namespace
}  // namespace tessaro
