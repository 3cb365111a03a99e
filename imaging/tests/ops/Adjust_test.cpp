#include "imaging/ops/Adjust.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "imaging/tests/ops/TestImages.h"

namespace tessaro {
namespace {

using test_images::ChannelDiff;
using test_images::RandomImage;

Image Pixels(std::initializer_list<Rgba8> values) {
  Image img;
  EXPECT_TRUE(img.Create(int(values.size()), 1).ok());
  int x = 0;
  for (Rgba8 v : values) img.At(x++, 0) = v;
  return img;
}

const IntRect kAll{0, 0, 1 << 20, 1 << 20};

TEST(AdjustLevels, MapsInputRangeThroughGammaToOutputRange) {
  // in 10..200, gamma 1.5, out 20..240: 105 is halfway, 0.5^(1/1.5) = 0.63,
  // 20 + 220 * 0.63 = 158.6.
  Image img =
      Pixels({{0, 0, 0, 7}, {10, 10, 10, 7}, {105, 105, 105, 7}, {200, 200, 200, 7}, {255, 255, 255, 7}});
  ASSERT_TRUE(AdjustLevels(img, kAll, LevelsParams{10, 200, 1.5, 20, 240}).ok());
  const uint8_t want[] = {20, 20, 159, 240, 240};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(img.At(x, 0), (Rgba8{want[x], want[x], want[x], 7})) << x;
  }
}

TEST(AdjustLevels, ChosenChannelOnlyAndReversedOutputInverts) {
  Image img = Pixels({{30, 60, 90, 255}});
  ASSERT_TRUE(AdjustLevels(img, kAll, LevelsParams{0, 255, 1.0, 255, 0}, kAdjustGreen).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{30, 195, 90, 255}));
}

TEST(AdjustLevels, RefusesOutOfRangeParameters) {
  Image img = Pixels({{1, 2, 3, 4}});
  const LevelsParams bad[] = {{200, 100, 1, 0, 255},  {0, 256, 1, 0, 255},  {0, 255, 0.05, 0, 255},
                              {0, 255, 10.5, 0, 255}, {0, 255, 1, -1, 255}, {-3, 255, 1, 0, 255}};
  for (const LevelsParams& p : bad) EXPECT_FALSE(AdjustLevels(img, kAll, p).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{1, 2, 3, 4})) << "untouched after a refusal";
}

TEST(AdjustBrightnessContrast, ModernCurvesKeepBlackAndWhite) {
  struct Case {
    int brightness, contrast;
    uint8_t in, want;
  };
  const Case cases[] = {
      {50, 0, 128, 157},   // (128/255)^(2^-0.5)
      {0, 100, 64, 32},    // (2 * 64/255)^2 / 2
      {0, 100, 200, 231},  // 1 - (2 - 2 * 200/255)^2 / 2
      {0, 0, 77, 77},
  };
  for (const Case& c : cases) {
    Image img = Pixels({{c.in, c.in, c.in, 200}, {0, 0, 0, 1}, {255, 255, 255, 2}});
    ASSERT_TRUE(
        AdjustBrightnessContrast(img, kAll, c.brightness, c.contrast, BrightnessContrastStyle::kModern).ok());
    EXPECT_EQ(img.At(0, 0), (Rgba8{c.want, c.want, c.want, 200})) << c.brightness << "/" << c.contrast;
    EXPECT_EQ(img.At(1, 0), (Rgba8{0, 0, 0, 1}));
    EXPECT_EQ(img.At(2, 0), (Rgba8{255, 255, 255, 2}));
  }
}

TEST(AdjustBrightnessContrast, LegacyIsLinearAndClips) {
  Image img = Pixels({{100, 200, 250, 255}});
  ASSERT_TRUE(AdjustBrightnessContrast(img, kAll, 20, 0, BrightnessContrastStyle::kLegacy).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{120, 220, 255, 255}));
  img = Pixels({{100, 200, 128, 255}});
  // k = 1 / 0.7: 100 -> 127.5 - 27.5 / 0.7 = 88.2; 200 -> 231.1.
  ASSERT_TRUE(AdjustBrightnessContrast(img, kAll, 0, 30, BrightnessContrastStyle::kLegacy).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{88, 231, 128, 255}));
  EXPECT_FALSE(AdjustBrightnessContrast(img, kAll, 120, 0, BrightnessContrastStyle::kLegacy).ok());
  EXPECT_FALSE(AdjustBrightnessContrast(img, kAll, 0, -60, BrightnessContrastStyle::kModern).ok());
  EXPECT_FALSE(AdjustBrightnessContrast(img, kAll, 151, 0, BrightnessContrastStyle::kModern).ok());
  img = Pixels({{127, 128, 0, 255}});
  ASSERT_TRUE(AdjustBrightnessContrast(img, kAll, 0, 100, BrightnessContrastStyle::kLegacy).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{0, 255, 0, 255})) << "full contrast thresholds at mid-grey";
}

TEST(MixChannels, RowsMixInPercentWithAConstant) {
  ChannelMixerParams m;
  const int rows[3][4] = {{50, 30, 20, 0}, {0, 100, 0, 10}, {-50, 0, 150, 0}};
  std::copy(&rows[0][0], &rows[0][0] + 12, &m.rows[0][0]);
  Image img = Pixels({{200, 100, 50, 9}});
  ASSERT_TRUE(MixChannels(img, kAll, m).ok());
  // red 100 + 30 + 10; green 100 + 25.5; blue -100 + 75 clamps to 0.
  EXPECT_EQ(img.At(0, 0), (Rgba8{140, 126, 0, 9}));

  m.monochrome = true;
  img = Pixels({{200, 100, 50, 9}});
  ASSERT_TRUE(MixChannels(img, kAll, m).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{140, 140, 140, 9}));

  m.rows[2][3] = 201;
  EXPECT_FALSE(MixChannels(img, kAll, m).ok());
}

TEST(MixChannels, DefaultRowsAreTheIdentity) {
  Image img = RandomImage(20, 20, 4);
  Image before = img.Clone();
  ASSERT_TRUE(MixChannels(img, kAll, ChannelMixerParams{}).ok());
  EXPECT_TRUE(test_images::SameBytes(img, before));
}

TEST(AdjustHueSaturation, TemplatePhotoEffectOnPureRed) {
  // Hue +30: (255, 127.5, 0); saturation -18 about L = 0.5: (232.05, 127.5,
  // 22.95); lightness +16 towards white: (235.7, 147.9, 60.1).
  Image img = Pixels({{255, 0, 0, 128}});
  ASSERT_TRUE(AdjustHueSaturation(img, kAll, 30, -18, 16).ok());
  EXPECT_EQ(img.At(0, 0), (Rgba8{236, 148, 60, 128}));
}

TEST(AdjustHueSaturation, EachControlOnItsOwn) {
  struct Case {
    int hue, saturation, lightness;
    Rgba8 in, want;
  };
  const Case cases[] = {
      {120, 0, 0, {255, 0, 0, 255}, {0, 255, 0, 255}},
      {-120, 0, 0, {255, 0, 0, 255}, {0, 0, 255, 255}},
      {180, 0, 0, {200, 100, 100, 255}, {100, 200, 200, 255}},
      {45, 0, 0, {90, 90, 90, 255}, {90, 90, 90, 255}},         // greys have no hue
      {0, -100, 0, {200, 100, 50, 255}, {125, 125, 125, 255}},  // L = (200 + 50) / 2
      {0, 100, 0, {150, 100, 100, 255}, {175, 75, 75, 255}},    // distances from L doubled
      {0, 100, 0, {250, 100, 100, 255}, {255, 95, 95, 255}},    // stops when red reaches 1
      {0, 0, -50, {200, 100, 50, 255}, {100, 50, 25, 255}},
      {0, 0, 40, {200, 100, 50, 255}, {222, 162, 132, 255}},
  };
  for (const Case& c : cases) {
    Image img = Pixels({c.in});
    ASSERT_TRUE(AdjustHueSaturation(img, kAll, c.hue, c.saturation, c.lightness).ok());
    EXPECT_LE(ChannelDiff(img.At(0, 0), c.want), 0)
        << c.hue << "/" << c.saturation << "/" << c.lightness << " got " << int(img.At(0, 0).r) << ","
        << int(img.At(0, 0).g) << "," << int(img.At(0, 0).b);
  }
  Image img = Pixels({{1, 2, 3, 4}});
  EXPECT_FALSE(AdjustHueSaturation(img, kAll, 181, 0, 0).ok());
  EXPECT_FALSE(AdjustHueSaturation(img, kAll, 0, -101, 0).ok());
  EXPECT_FALSE(AdjustHueSaturation(img, kAll, 0, 0, 101).ok());
}

// Textbook HSL conversions, written independently of the library.
void HslOf(double r, double g, double b, double& h, double& s, double& l) {
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
  l = (mx + mn) / 2;
  s = d == 0 ? 0 : d / (1 - std::fabs(2 * l - 1));
  if (d == 0)
    h = 0;
  else if (mx == r)
    h = 60 * std::fmod((g - b) / d + 6, 6.0);
  else if (mx == g)
    h = 60 * ((b - r) / d + 2);
  else
    h = 60 * ((r - g) / d + 4);
}

double HueToChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

void RgbOf(double h, double s, double l, double out[3]) {
  const double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q, hh = h / 360;
  out[0] = HueToChannel(p, q, hh + 1.0 / 3);
  out[1] = HueToChannel(p, q, hh);
  out[2] = HueToChannel(p, q, hh - 1.0 / 3);
}

TEST(AdjustHueSaturation, HueShiftMatchesAnHslRoundTrip) {
  for (int shift : {-180, -137, -60, -1, 1, 29, 90, 151, 180}) {
    Image img = RandomImage(64, 4, uint32_t(shift + 1000));
    Image before = img.Clone();
    ASSERT_TRUE(AdjustHueSaturation(img, kAll, shift, 0, 0).ok());
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 64; ++x) {
        const Rgba8 in = before.At(x, y);
        double h, s, l, rgb[3];
        HslOf(in.r / 255.0, in.g / 255.0, in.b / 255.0, h, s, l);
        RgbOf(std::fmod(h + shift + 360, 360.0), s, l, rgb);
        const Rgba8 want{uint8_t(std::lround(rgb[0] * 255)), uint8_t(std::lround(rgb[1] * 255)),
                         uint8_t(std::lround(rgb[2] * 255)), in.a};
        ASSERT_LE(ChannelDiff(img.At(x, y), want), 1)
            << "shift " << shift << " pixel " << int(in.r) << "," << int(in.g) << "," << int(in.b);
      }
  }
}

TEST(AdjustHueSaturation, ZeroSettingsChangeNothing) {
  Image img = RandomImage(30, 30, 12);
  Image before = img.Clone();
  ASSERT_TRUE(AdjustHueSaturation(img, kAll, 0, 0, 0).ok());
  EXPECT_TRUE(test_images::SameBytes(img, before));
}

TEST(ApplyColorOverlay, BlendsTheFillOverTheLayerAndKeepsAlpha) {
  // Fill (255, 128, 0) at 48 % (122 / 255) over (100, 150, 200), worked out
  // from the blend formulas: overlay (148, 150, 174), soft light
  // (129, 150, 179), colour (165, 135, 104).
  struct Case {
    BlendMode mode;
    Rgba8 want;
  };
  const Case cases[] = {{BlendMode::kOverlay, {148, 150, 174, 77}},
                        {BlendMode::kSoftLight, {129, 150, 179, 77}},
                        {BlendMode::kColor, {165, 135, 104, 77}},
                        {BlendMode::kNormal, {174, 139, 104, 77}}};  // 100 + 155 * 0.478 = 174.2
  for (const Case& c : cases) {
    Image img = Pixels({{100, 150, 200, 77}});
    ASSERT_TRUE(ApplyColorOverlay(img, kAll, Rgba8{255, 128, 0, 0}, c.mode, 122).ok());
    EXPECT_LE(ChannelDiff(img.At(0, 0), c.want), 1) << BlendModeName(c.mode);
    EXPECT_EQ(img.At(0, 0).a, 77);
  }
}

TEST(Adjustments, StayInsideTheRegion) {
  Image img;
  ASSERT_TRUE(img.Create(6, 6, Rgba8{100, 100, 100, 255}).ok());
  const IntRect region{2, 1, 4, 5};
  ASSERT_TRUE(AdjustLevels(img, region, LevelsParams{0, 255, 1.0, 255, 0}).ok());
  ASSERT_TRUE(ApplyColorOverlay(img, region, Rgba8{0, 0, 0, 255}, BlendMode::kMultiply, 255).ok());
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      bool inside = x >= 2 && x < 4 && y >= 1 && y < 5;
      EXPECT_EQ(img.At(x, y).r, inside ? 0 : 100) << x << "," << y;
    }
}

}  // namespace
}  // namespace tessaro
