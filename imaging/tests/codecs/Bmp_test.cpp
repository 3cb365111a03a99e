// BMP reader: header versions, bit depths, run-length data, bit fields, and
// refusal of malformed headers.
#include <gtest/gtest.h>

#include "imaging/codecs/Codecs.h"
#include "imaging/codecs/CodecsInternal.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

using test::PutU16LE;
using test::PutU32LE;

struct BmpRecipe {
  uint32_t headerSize = 40;
  int32_t width = 2, height = 2;
  uint16_t planes = 1, bits = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> masks{};   // written after a 40-byte header, or inside larger ones
  std::vector<uint8_t> palette{};  // BGRX entries
  std::vector<uint8_t> pixels{};   // as stored
  int32_t ppm = 2835;
};

std::vector<uint8_t> Build(const BmpRecipe& s) {
  std::vector<uint8_t> info;
  PutU32LE(info, s.headerSize);
  if (s.headerSize == 12) {
    PutU16LE(info, uint16_t(s.width)), PutU16LE(info, uint16_t(s.height));
    PutU16LE(info, s.planes), PutU16LE(info, s.bits);
  } else {
    PutU32LE(info, uint32_t(s.width)), PutU32LE(info, uint32_t(s.height));
    PutU16LE(info, s.planes), PutU16LE(info, s.bits);
    PutU32LE(info, s.compression), PutU32LE(info, uint32_t(s.pixels.size()));
    PutU32LE(info, uint32_t(s.ppm)), PutU32LE(info, uint32_t(s.ppm));
    PutU32LE(info, s.colorsUsed), PutU32LE(info, 0);
    if (s.headerSize > 40)
      for (size_t i = 0; i < 4 && info.size() < s.headerSize; ++i)
        PutU32LE(info, i < s.masks.size() ? s.masks[i] : 0);
    info.resize(s.headerSize, 0);
    if (s.headerSize == 40)
      for (uint32_t m : s.masks) PutU32LE(info, m);
  }
  std::vector<uint8_t> out = {'B', 'M'};
  uint32_t offset = uint32_t(14 + info.size() + s.palette.size());
  PutU32LE(out, uint32_t(offset + s.pixels.size()));
  PutU32LE(out, 0);
  PutU32LE(out, offset);
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), s.palette.begin(), s.palette.end());
  out.insert(out.end(), s.pixels.begin(), s.pixels.end());
  return out;
}

Result<DecodedImage> Decode(const std::vector<uint8_t>& bytes) { return codecs::DecodeBmp(bytes, {}); }

constexpr Rgba8 kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255};
constexpr Rgba8 kWhite{255, 255, 255, 255}, kBlack{0, 0, 0, 255};

TEST(BmpTest, TwentyFourBitBottomUpRowsArePaddedToFourBytes) {
  // Bottom row first: blue, green | then top row: red, white. 2 pixels = 6 bytes + 2 padding.
  Result<DecodedImage> d =
      Decode(Build({.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0}}));
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{0, 0, kRed}, {1, 0, kWhite}, {0, 1, kBlue}, {1, 1, kGreen}});
  EXPECT_EQ(d->info.xPpi, 72);
}

TEST(BmpTest, NegativeHeightMeansTopDown) {
  Result<DecodedImage> d =
      Decode(Build({.height = -2, .pixels = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0}}));
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.height(), 2);
  EXPECT_EQ(d->pixels.At(0, 0), kBlue);
}

TEST(BmpTest, CoreHeaderUsesThreeBytePaletteEntries) {
  Result<DecodedImage> d = Decode(Build({.headerSize = 12,
                                         .width = 3,
                                         .height = 1,
                                         .bits = 1,
                                         .palette = {0, 0, 0, 255, 255, 255},  // black, white (BGR)
                                         .pixels = {0b10100000, 0, 0, 0}}));
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{0, 0, kWhite}, {1, 0, kBlack}, {2, 0, kWhite}});
}

TEST(BmpTest, BitFieldsOfAnyWidthReachFullRange) {
  Result<DecodedImage> d = Decode(Build({.width = 2,
                                         .height = 1,
                                         .bits = 16,
                                         .compression = 3,
                                         .masks = {0xF800, 0x07E0, 0x001F},      // 5-6-5
                                         .pixels = {0xFF, 0xFF, 0x1F, 0x00}}));  // white, then pure blue
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{0, 0, kWhite}, {1, 0, kBlue}});
}

TEST(BmpTest, AlphaMaskGivesAlphaButPlain32BitIgnoresTheFourthByte) {
  BmpRecipe s{.width = 1, .height = 1, .bits = 32, .pixels = {10, 20, 30, 40}};
  Result<DecodedImage> plain = Decode(Build(s));
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(plain->pixels.At(0, 0), (Rgba8{30, 20, 10, 255}));

  s.headerSize = 108;  // V4 with bit fields and an alpha mask
  s.compression = 3;
  s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  Result<DecodedImage> withAlpha = Decode(Build(s));
  ASSERT_TRUE(withAlpha.ok()) << withAlpha.message();
  EXPECT_EQ(withAlpha->pixels.At(0, 0), (Rgba8{30, 20, 10, 40}));
  EXPECT_TRUE(withAlpha->info.hasAlpha);

  s.pixels = {10, 20, 30, 0};  // an alpha channel that is empty everywhere means opaque
  Result<DecodedImage> empty = Decode(Build(s));
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(empty->pixels.At(0, 0).a, 255);
}

TEST(BmpTest, RunLengthDataWithMovesLeavesSkippedPixelsTransparent) {
  Result<DecodedImage> d = Decode(Build({.width = 4,
                                         .height = 2,
                                         .bits = 8,
                                         .compression = 1,
                                         .palette = {0, 0, 255, 0, 0, 255, 0, 0},  // red, green
                                         // Bottom row: 2 x red, then move 1 right and 1 up; there:
                                         // 1 x green; end.
                                         .pixels = {2, 0, 0, 2, 1, 1, 1, 1, 0, 1}}));
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{0, 1, kRed}, {1, 1, kRed}, {3, 0, kGreen}});
  EXPECT_EQ(d->pixels.At(2, 1).a, 0);
  EXPECT_EQ(d->pixels.At(0, 0).a, 0);
  EXPECT_TRUE(d->info.hasAlpha);
}

TEST(BmpTest, Rle4LiteralRunsAreWordPadded) {
  Result<DecodedImage> d = Decode(Build({.width = 3,
                                         .height = 1,
                                         .bits = 4,
                                         .compression = 2,
                                         .palette = {0, 0, 0, 0, 255, 255, 255, 0},
                                         // Literal run of 3 nibbles (1,0,1) in 2 bytes, padded to a
                                         // word; then end of bitmap.
                                         .pixels = {0, 3, 0x10, 0x10, 0, 1}}));
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(0, 0).r, 255);
  EXPECT_EQ(d->pixels.At(1, 0).r, 0);
  EXPECT_EQ(d->pixels.At(2, 0).r, 255);
  EXPECT_EQ(d->pixels.At(2, 0).a, 255);
}

struct BadBmp {
  const char* name;
  BmpRecipe recipe;
  const char* words;
};

std::vector<BadBmp> BadBmps() {
  BmpRecipe base;
  base.pixels.assign(16, 0);
  std::vector<BadBmp> cases;
  auto add = [&](const char* name, auto change, const char* words) {
    BmpRecipe s = base;
    change(s);
    cases.push_back({name, s, words});
  };
  add(
      "ZeroWidth", [](BmpRecipe& s) { s.width = 0; }, "width");
  add(
      "NegativeWidth", [](BmpRecipe& s) { s.width = -2; }, "width");
  add(
      "ZeroHeight", [](BmpRecipe& s) { s.height = 0; }, "height");
  add(
      "TwoPlanes", [](BmpRecipe& s) { s.planes = 2; }, "plane");
  add(
      "OddBitCount", [](BmpRecipe& s) { s.bits = 7; }, "bit count");
  add(
      "UnknownHeaderSize", [](BmpRecipe& s) { s.headerSize = 66; }, "header");
  add(
      "Rle8With24Bits", [](BmpRecipe& s) { s.compression = 1; }, "RLE8");
  add(
      "BitFieldsWith24Bits",
      [](BmpRecipe& s) {
        s.compression = 3, s.masks = {1, 2, 4};
      },
      "bit fields");
  add(
      "UnknownCompression", [](BmpRecipe& s) { s.compression = 9; }, "compression");
  add(
      "PixelsMissing", [](BmpRecipe& s) { s.pixels.resize(5); }, "truncated");
  add(
      "HugeSize", [](BmpRecipe& s) { s.width = 3000000, s.height = 2000000; }, "too large");
  add(
      "PaletteLargerThanDepth", [](BmpRecipe& s) { s.bits = 1, s.colorsUsed = 3, s.palette.assign(12, 0); },
      "palette");
  add(
      "PaletteIndexOutOfRange",
      [](BmpRecipe& s) {
        s.bits = 8, s.colorsUsed = 2, s.palette.assign(8, 0), s.pixels = {0, 5, 0, 0, 1, 1, 0, 0};
      },
      "index");
  add(
      "RunPastRowEnd",
      [](BmpRecipe& s) {
        s.bits = 8, s.compression = 1, s.palette.assign(8, 0), s.colorsUsed = 2, s.pixels = {9, 0, 0, 1};
      },
      "outside");
  add(
      "RunLengthTopDown",
      [](BmpRecipe& s) {
        s.bits = 8, s.compression = 1, s.height = -2, s.palette.assign(8, 0), s.pixels = {0, 1};
      },
      "top-down");
  add(
      "RunLengthWithoutEnd",
      [](BmpRecipe& s) {
        s.bits = 8, s.compression = 1, s.palette.assign(8, 0), s.colorsUsed = 2, s.pixels = {2, 0};
      },
      "truncated");
  add(
      "NonContiguousMask",
      [](BmpRecipe& s) {
        s.bits = 16, s.compression = 3, s.masks = {0x5, 0x20, 0x40};
      },
      "mask");
  return cases;
}

class BmpRefusalTest : public ::testing::TestWithParam<BadBmp> {};

TEST_P(BmpRefusalTest, RefusesWithItsOwnMessage) {
  const BadBmp& c = GetParam();
  test::ExpectRefused(Decode(Build(c.recipe)), c.words, c.name);
}

INSTANTIATE_TEST_SUITE_P(Headers, BmpRefusalTest, ::testing::ValuesIn(BadBmps()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpTest, QuestionableCorpusFilesReadAsTheSuiteIntends) {
  TESSARO_NEED_CORPUS();
  // The OS/2 2.x, oddly masked, fake-alpha and embedded-PNG variants show
  // the same picture as the plain file of their kind.
  const std::pair<const char*, const char*> same[] = {
      {"bmp/questionable/pal8os2v2.bmp", "bmp/pal8.bmp"},
      {"bmp/questionable/pal8os2v2-16.bmp", "bmp/pal8.bmp"},
      {"bmp/questionable/rgb32fakealpha.bmp", "bmp/rgb24.bmp"},
      {"bmp/questionable/rgb32-111110.bmp", "bmp/rgb24.bmp"},
      {"bmp/questionable/rgb24png.bmp", "bmp/rgb24.bmp"},
      {"bmp/questionable/rgb24jpeg.bmp", "bmp/rgb24.bmp"},
  };
  for (const auto& [rel, plain] : same) {
    Result<DecodedImage> d = DecodeImageFile(test::CorpusPath(rel));
    Result<DecodedImage> good = DecodeImageFile(test::CorpusPath(plain));
    ASSERT_TRUE(d.ok() && good.ok()) << rel << ": " << d.message();
    test::ImageDifference diff = test::Difference(d->pixels, good->pixels);
    ASSERT_TRUE(diff.sameSize) << rel;
    EXPECT_GT(diff.psnr, 30) << rel;
    EXPECT_FALSE(d->info.hasAlpha) << rel;
  }
  Result<DecodedImage> abf = DecodeImageFile(test::CorpusPath("bmp/questionable/rgba32abf.bmp"));
  ASSERT_TRUE(abf.ok());
  EXPECT_TRUE(abf->info.hasAlpha);
  // Transparent where the runs skip pixels, opaque elsewhere.
  Result<DecodedImage> trns = DecodeImageFile(test::CorpusPath("bmp/questionable/pal8rletrns.bmp"));
  ASSERT_TRUE(trns.ok());
  EXPECT_TRUE(trns->info.hasAlpha);
  int clear = 0;
  for (size_t i = 0; i < trns->pixels.PixelCount(); ++i) clear += trns->pixels.data()[i].a == 0;
  EXPECT_GT(clear, 100);
  EXPECT_LT(clear, int(trns->pixels.PixelCount()) / 2);
}

}  // namespace
}  // namespace tessaro
