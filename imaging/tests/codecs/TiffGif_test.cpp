// TIFF (orientation, 16-bit narrowing, premultiplied alpha, white-is-zero,
// CMYK) and GIF (first frame on its screen, missing colour table).
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/codecs/Codecs.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

using test::PutU16LE;
using test::PutU32LE;

struct Tag {
  uint16_t tag, type;
  uint32_t count, value;
};

// A little-endian single-strip uncompressed TIFF. `bps` is written for every
// sample when the count is 1 (libtiff reads one value for all samples).
std::vector<uint8_t> Tiff(uint32_t width, uint32_t height, uint16_t bps, uint16_t spp, uint16_t photometric,
                          const std::vector<uint8_t>& strip, std::vector<Tag> extra = {}) {
  std::vector<Tag> tags = {{256, 4, 1, width}, {257, 4, 1, height},      {258, 3, 1, bps},
                           {259, 3, 1, 1},     {262, 3, 1, photometric}, {273, 4, 1, 0},
                           {277, 3, 1, spp},   {278, 4, 1, height},      {279, 4, 1, uint32_t(strip.size())}};
  tags.insert(tags.end(), extra.begin(), extra.end());
  std::sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.tag < b.tag; });
  uint32_t dataAt = uint32_t(8 + 2 + tags.size() * 12 + 4);
  std::vector<uint8_t> out = {'I', 'I', 42, 0};
  PutU32LE(out, 8);
  PutU16LE(out, uint16_t(tags.size()));
  for (Tag t : tags) {
    if (t.tag == 273) t.value = dataAt;
    PutU16LE(out, t.tag), PutU16LE(out, t.type), PutU32LE(out, t.count);
    if (t.type == 3 && t.count == 1)
      PutU16LE(out, uint16_t(t.value)), PutU16LE(out, 0);
    else
      PutU32LE(out, t.value);
  }
  PutU32LE(out, 0);
  out.insert(out.end(), strip.begin(), strip.end());
  return out;
}

std::vector<uint8_t> Le16(std::initializer_list<uint16_t> values) {
  std::vector<uint8_t> out;
  for (uint16_t v : values) PutU16LE(out, v);
  return out;
}

TEST(TiffTest, OrientationTagTurnsThePicture) {
  std::vector<uint8_t> tiff = Tiff(2, 1, 8, 1, 1, {10, 200}, {{274, 3, 1, 6}});
  test::ExpectTurnedUpright(tiff);
}

TEST(TiffTest, SixteenBitGreyIsRounded) {
  std::vector<uint8_t> tiff = Tiff(4, 1, 16, 1, 1, Le16({128, 129, 32768, 65535}));
  Result<DecodedImage> d = DecodeImage(tiff);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(0, 0).g, 0);
  EXPECT_EQ(d->pixels.At(1, 0).g, 1);
  EXPECT_EQ(d->pixels.At(2, 0).g, 128);
  EXPECT_EQ(d->pixels.At(3, 0).g, 255);
}

TEST(TiffTest, WhiteIsZeroIsInverted) {
  Result<DecodedImage> d = DecodeImage(Tiff(2, 1, 8, 1, 0, {0, 255}));
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0).r, 255);
  EXPECT_EQ(d->pixels.At(1, 0).r, 0);
}

TEST(TiffTest, PremultipliedSixteenBitAlphaIsDividedBeforeNarrowing) {
  // Colour 257 over alpha 514 (both tiny): straight colour is half of full.
  std::vector<uint8_t> strip = Le16({257, 257, 257, 514, 0, 0, 0, 0});
  std::vector<uint8_t> tiff = Tiff(2, 1, 16, 4, 2, strip, {{338, 3, 1, 1}});
  Result<DecodedImage> d = DecodeImage(tiff);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{128, 128, 128, 2}));
  EXPECT_EQ(d->pixels.At(1, 0).a, 0);
  EXPECT_TRUE(d->info.hasAlpha);
}

TEST(TiffTest, UnassociatedAlphaIsKeptAsIs) {
  std::vector<uint8_t> tiff = Tiff(1, 1, 8, 4, 2, {200, 100, 50, 60}, {{338, 3, 1, 2}});
  Result<DecodedImage> d = DecodeImage(tiff);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{200, 100, 50, 60}));
}

TEST(TiffTest, CmykWithoutProfileUsesThePlainFormula) {
  std::vector<uint8_t> tiff = Tiff(2, 1, 8, 4, 5, {0, 0, 0, 0, 255, 0, 0, 128});
  Result<DecodedImage> d = DecodeImage(tiff);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{255, 255, 255, 255}));
  EXPECT_EQ(d->pixels.At(1, 0), (Rgba8{0, 127, 127, 255}));
  EXPECT_EQ(d->info.colorMode, "CMYK");
}

TEST(TiffTest, StripsPastTheEndAreRefused) {
  std::vector<uint8_t> tiff = Tiff(8, 8, 8, 3, 2, std::vector<uint8_t>(20, 0));
  Result<DecodedImage> d = DecodeImage(tiff);
  EXPECT_FALSE(d.ok());
}

TEST(TiffTest, ResolutionInCentimetresBecomesInches) {
  // 12 tags: the one-byte strip starts at 8 + 2 + 12 * 12 + 4 = 158, the
  // rational 11811/100 pixels per centimetre follows it at 159.
  std::vector<uint8_t> tiff = Tiff(1, 1, 8, 1, 1, {0}, {{282, 5, 1, 159}, {283, 5, 1, 159}, {296, 3, 1, 3}});
  PutU32LE(tiff, 11811), PutU32LE(tiff, 100);
  Result<ImageInfo> info = ProbeImage(tiff);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_NEAR(info->xPpi, 300, 0.01);
}

TEST(GifTest, FirstFrameSitsOnItsScreenAndTheRestIsClear) {
  TESSARO_NEED_CORPUS();
  Result<DecodedImage> d = DecodeImageFile(test::CorpusPath("gif/animated_small.gif"));
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.width(), 30);
  EXPECT_EQ(d->pixels.height(), 30);
  EXPECT_EQ(d->pixels.At(5, 5).a, 255);
  EXPECT_EQ(d->pixels.At(25, 25).a, 0);
  EXPECT_TRUE(d->info.hasAlpha);
}

TEST(GifTest, MissingColourTableGivesGreys) {
  TESSARO_NEED_CORPUS();
  Result<DecodedImage> d = DecodeImageFile(test::CorpusPath("gif/no_colour_table_87a.gif"));
  ASSERT_TRUE(d.ok()) << d.message();
  Rgba8 p = d->pixels.At(0, 0);
  EXPECT_EQ(p.r, p.g);
  EXPECT_EQ(p.g, p.b);
}

TEST(GifTest, FrameClaimingMorePixelsThanTheFileHoldsIsRefused) {
  TESSARO_NEED_CORPUS();
  Result<DecodedImage> d = DecodeImageFile(test::CorpusPath("gif/corrupt/decompression_bomb.gif"));
  ASSERT_FALSE(d.ok());
  EXPECT_NE(d.message().find("truncated"), std::string::npos);
}

}  // namespace
}  // namespace tessaro
