// PNG: 16-bit narrowing, transparency, gamma, round trips.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/codecs/Codecs.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

std::vector<uint8_t> Be16Row(const std::vector<uint16_t>& samples) {
  std::vector<uint8_t> row;
  for (uint16_t v : samples) row.push_back(uint8_t(v >> 8)), row.push_back(uint8_t(v));
  return row;
}

TEST(PngTest, SixteenBitSamplesAreRoundedNotCut) {
  // Grey 16-bit values around every rounding edge: v*255/65535 rounded.
  std::vector<uint16_t> values = {0, 128, 129, 257, 385, 386, 32767, 32768, 65407, 65408, 65535};
  std::vector<uint8_t> png = test::MakePng(int(values.size()), 1, 16, 0, {Be16Row(values)});
  Result<DecodedImage> d = DecodeImage(png);
  ASSERT_TRUE(d.ok()) << d.message();
  for (size_t i = 0; i < values.size(); ++i) {
    int expected = int(std::lround(values[i] * 255.0 / 65535.0));
    EXPECT_EQ(d->pixels.At(int(i), 0).r, expected) << values[i];
    EXPECT_EQ(d->pixels.At(int(i), 0).b, expected) << values[i];
  }
  EXPECT_EQ(d->info.bitsPerChannel, 16);
}

TEST(PngTest, SixteenBitRgbaKeepsStraightAlpha) {
  std::vector<uint16_t> px = {65535, 0, 32896, 32896};  // red-ish, half transparent
  std::vector<uint8_t> png = test::MakePng(1, 1, 16, 6, {Be16Row(px)});
  Result<DecodedImage> d = DecodeImage(png);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{255, 0, 128, 128}));
  EXPECT_TRUE(d->info.hasAlpha);
}

TEST(PngTest, PaletteTransparencyBecomesAlpha) {
  std::vector<uint8_t> plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
  std::vector<uint8_t> trns = {0, 100};  // entry 0 clear, entry 1 partly, entry 2 opaque
  std::vector<uint8_t> png = test::MakePng(3, 1, 8, 3, {{0, 1, 2}}, {{"PLTE", plte}, {"tRNS", trns}});
  Result<DecodedImage> d = DecodeImage(png);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(0, 0).a, 0);
  EXPECT_EQ(d->pixels.At(1, 0), (Rgba8{0, 255, 0, 100}));
  EXPECT_EQ(d->pixels.At(2, 0), (Rgba8{0, 0, 255, 255}));
  Result<ImageInfo> info = ProbeImage(png);
  ASSERT_TRUE(info.ok());
  EXPECT_TRUE(info->hasAlpha);
  EXPECT_EQ(info->colorMode, "Indexed");
}

TEST(PngTest, LowBitGreyIsSpreadOverTheFullRange) {
  std::vector<uint8_t> png = test::MakePng(4, 1, 2, 0, {{0b00011011}});
  Result<DecodedImage> d = DecodeImage(png);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0).g, 0);
  EXPECT_EQ(d->pixels.At(1, 0).g, 85);
  EXPECT_EQ(d->pixels.At(2, 0).g, 170);
  EXPECT_EQ(d->pixels.At(3, 0).g, 255);
}

double SrgbEncode(double linear) {
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

TEST(PngTest, StatedGammaIsConvertedToSrgb) {
  // Samples encoded with gamma 1.0 (linear) and 0.7: sample = linear ^ gamma.
  for (double gamma : {1.0, 0.7, 2.5}) {
    std::vector<uint8_t> row;
    for (int v = 0; v < 256; v += 15)
      row.push_back(uint8_t(v)), row.push_back(uint8_t(v)), row.push_back(uint8_t(v));
    uint32_t g = uint32_t(std::lround(gamma * 100000));
    std::vector<uint8_t> gama = {uint8_t(g >> 24), uint8_t(g >> 16), uint8_t(g >> 8), uint8_t(g)};
    std::vector<uint8_t> png = test::MakePng(int(row.size() / 3), 1, 8, 2, {row}, {{"gAMA", gama}});
    Result<DecodedImage> d = DecodeImage(png);
    ASSERT_TRUE(d.ok());
    DecodeOptions raw;
    raw.convertToSrgb = false;
    Result<DecodedImage> r = DecodeImage(png, raw);
    ASSERT_TRUE(r.ok());
    for (int x = 0; x < d->pixels.width(); ++x) {
      double sample = r->pixels.At(x, 0).r / 255.0;
      double expected = 255 * SrgbEncode(std::pow(sample, 1 / gamma));
      EXPECT_NEAR(d->pixels.At(x, 0).r, expected, 2.0) << "gamma " << gamma << " sample " << sample;
    }
  }
}

TEST(PngTest, GammaOfSrgbFilesChangesNothing) {
  std::vector<uint8_t> gama = {0, 0, 0xB1, 0x8F};  // 0.45455
  std::vector<uint8_t> png =
      test::MakePng(3, 1, 8, 2, {{10, 20, 30, 128, 129, 130, 250, 251, 252}}, {{"gAMA", gama}});
  Result<DecodedImage> d = DecodeImage(png);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(1, 0), (Rgba8{128, 129, 130, 255}));
}

TEST(PngTest, EncodeChoosesRgbForOpaqueAndKeepsEveryPixel) {
  Image opaque = test::MakeGradient(50, 30);
  Image translucent = test::MakeGradient(50, 30, true);
  for (const Image* image : {&opaque, &translucent}) {
    Result<std::vector<uint8_t>> png = EncodePng(*image, 200);
    ASSERT_TRUE(png.ok());
    Result<ImageInfo> info = ProbeImage(*png);
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info->channels, image == &opaque ? 3 : 4);
    EXPECT_EQ(info->xPpi, 200);
    Result<DecodedImage> d = DecodeImage(*png);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(test::MaxDifference(d->pixels, *image), 0);
  }
}

TEST(PngTest, DamagedFilesAreRefused) {
  Result<std::vector<uint8_t>> good = EncodePng(test::MakeGradient(64, 64));
  ASSERT_TRUE(good.ok());
  std::vector<uint8_t> cut(good->begin(), good->begin() + long(good->size() - 20));
  std::vector<uint8_t> badCrc = *good;
  badCrc[29] ^= 0xFF;  // IHDR CRC
  std::vector<uint8_t> zeroWidth = *good;
  zeroWidth[16] = zeroWidth[17] = zeroWidth[18] = zeroWidth[19] = 0;
  for (const auto* bytes : {&cut, &badCrc, &zeroWidth}) {
    Result<DecodedImage> d = DecodeImage(*bytes);
    EXPECT_FALSE(d.ok());
    if (!d.ok()) {
      EXPECT_FALSE(d.message().empty());
    }
  }
}

TEST(PngTest, ExifOrientationInPngIsHonoured) {
  std::vector<uint8_t> block;
  {
    // eXIf chunk: orientation 6.
    std::vector<uint8_t> e = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                              0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
    block = e;
  }
  std::vector<uint8_t> png = test::MakePng(2, 1, 8, 0, {{10, 200}}, {{"eXIf", block}});
  test::ExpectTurnedUpright(png);
}

}  // namespace
}  // namespace tessaro
