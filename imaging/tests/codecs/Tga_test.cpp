// TGA reader: origins, run-length packets, colour maps, alpha rules.
#include <gtest/gtest.h>

#include "imaging/codecs/Codecs.h"
#include "imaging/codecs/CodecsInternal.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

using test::PutU16LE;

struct TgaRecipe {
  uint8_t type = 2;
  uint16_t width = 2, height = 2;
  uint8_t bits = 24;
  uint8_t descriptor = 0;
  uint16_t mapFirst = 0;
  uint8_t mapBits = 0;
  std::vector<uint8_t> map{};  // raw entries
  std::vector<uint8_t> data{};
  int footerAttributes = -1;  // write a TGA 2.0 footer with this alpha attribute type
};

std::vector<uint8_t> Build(const TgaRecipe& s) {
  std::vector<uint8_t> out = {0, uint8_t(s.map.empty() ? 0 : 1), s.type};
  size_t entry = (s.mapBits + 7) / 8;
  PutU16LE(out, s.mapFirst);
  PutU16LE(out, uint16_t(entry ? s.map.size() / entry : 0));
  out.push_back(s.mapBits);
  PutU16LE(out, 0), PutU16LE(out, 0), PutU16LE(out, s.width), PutU16LE(out, s.height);
  out.push_back(s.bits);
  out.push_back(s.descriptor);
  out.insert(out.end(), s.map.begin(), s.map.end());
  out.insert(out.end(), s.data.begin(), s.data.end());
  if (s.footerAttributes >= 0) {
    uint32_t ext = uint32_t(out.size());
    std::vector<uint8_t> area(495, 0);
    area[0] = 495 & 0xFF, area[1] = 495 >> 8;
    area[494] = uint8_t(s.footerAttributes);
    out.insert(out.end(), area.begin(), area.end());
    test::PutU32LE(out, ext);
    test::PutU32LE(out, 0);
    const char sig[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), sig, sig + 18);
  }
  return out;
}

Result<DecodedImage> Decode(const TgaRecipe& s) { return codecs::DecodeTga(Build(s), {}); }

// Four pixels stored in file order: 1 red, 2 green, 3 blue, 4 white.
const std::vector<uint8_t> kFourBgr = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};

constexpr Rgba8 kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255};
constexpr Rgba8 kWhite{255, 255, 255, 255};

struct OriginCase {
  uint8_t descriptor;
  // Where the first stored pixel (red) and the fourth (white) land.
  int redX, redY, whiteX, whiteY;
};

class TgaOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(TgaOriginTest, PlacesRowsAndColumnsByTheOriginBits) {
  const OriginCase& c = GetParam();
  Result<DecodedImage> d = Decode({.descriptor = c.descriptor, .data = kFourBgr});
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{c.redX, c.redY, kRed}, {c.whiteX, c.whiteY, kWhite}});
}

INSTANTIATE_TEST_SUITE_P(Origins, TgaOriginTest,
                         ::testing::Values(OriginCase{0x00, 0, 1, 1, 0},   // bottom left
                                           OriginCase{0x10, 1, 1, 0, 0},   // bottom right
                                           OriginCase{0x20, 0, 0, 1, 1},   // top left
                                           OriginCase{0x30, 1, 0, 0, 1}),  // top right
                         [](const auto& info) {
                           return "Descriptor" + std::to_string(info.param.descriptor);
                         });

TEST(TgaTest, RunLengthPacketsMayCrossScanLines) {
  // A run of 4 blue pixels (crosses into the second row), then 2 literal: red, green.
  Result<DecodedImage> d = Decode(
      {.type = 10, .width = 3, .descriptor = 0x20, .data = {0x83, 255, 0, 0, 0x01, 0, 0, 255, 0, 255, 0}});
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{2, 0, kBlue}, {0, 1, kBlue}, {1, 1, kRed}, {2, 1, kGreen}});
}

TEST(TgaTest, ColourMapStartsAtItsFirstIndex) {
  TgaRecipe s{.type = 1,
              .width = 2,
              .height = 1,
              .bits = 8,
              .mapFirst = 10,
              .mapBits = 24,
              .map = {0, 0, 255, 255, 0, 0},  // index 10 red, 11 blue
              .data = {11, 10}};
  Result<DecodedImage> d = Decode(s);
  ASSERT_TRUE(d.ok()) << d.message();
  test::ExpectPixels(d->pixels, {{0, 0, kBlue}, {1, 0, kRed}});
  s.data = {9, 10};
  test::ExpectRefused(Decode(s), "index", "below the first index");
}

TEST(TgaTest, SixteenBitPixelsUseTheAttributeBitAsAlpha) {
  Result<DecodedImage> d = Decode({.width = 2,
                                   .height = 1,
                                   .bits = 16,
                                   .descriptor = 0x21,                  // top-down, 1 attribute bit
                                   .data = {0x1F, 0x80, 0x00, 0x7C}});  // opaque blue, transparent red
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), kBlue);
  EXPECT_EQ(d->pixels.At(1, 0).a, 0);
  EXPECT_TRUE(d->info.hasAlpha);
}

struct AlphaCase {
  const char* name;
  uint8_t descriptor;
  int attributes;
  std::vector<uint8_t> alphas;
  bool expectAlpha;
};

class TgaAlphaTest : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(TgaAlphaTest, UsesAlphaOnlyWhenTheFileSaysSo) {
  const AlphaCase& c = GetParam();
  Result<DecodedImage> d = Decode({.width = 2,
                                   .height = 1,
                                   .bits = 32,
                                   .descriptor = c.descriptor,
                                   .data = {10, 20, 30, c.alphas[0], 40, 50, 60, c.alphas[1]},
                                   .footerAttributes = c.attributes});
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->info.hasAlpha, c.expectAlpha);
  EXPECT_EQ(d->pixels.At(0, 0).a, c.expectAlpha ? c.alphas[0] : 255);
}

INSTANTIATE_TEST_SUITE_P(Rules, TgaAlphaTest,
                         ::testing::Values(AlphaCase{"EightAttributeBits", 0x28, -1, {100, 255}, true},
                                           AlphaCase{"NoAttributeBits", 0x20, -1, {100, 255}, false},
                                           AlphaCase{"ExtensionSaysUndefined", 0x28, 2, {100, 255}, false},
                                           AlphaCase{"ExtensionSaysAlpha", 0x28, 3, {100, 255}, true},
                                           AlphaCase{"AllZeroMeansOpaque", 0x28, -1, {0, 0}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TgaTest, PremultipliedAlphaIsMadeStraight) {
  Result<DecodedImage> d = Decode({.width = 1,
                                   .height = 1,
                                   .bits = 32,
                                   .descriptor = 0x28,
                                   .data = {0, 0, 64, 128},  // red 64 premultiplied by alpha 128
                                   .footerAttributes = 4});
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{128, 0, 0, 128}));  // 64 * 255 / 128 = 127.5, rounded
}

TEST(TgaTest, DamagedFilesAreRefused) {
  struct Case {
    const char* name;
    TgaRecipe recipe;
    const char* words;
  };
  const Case cases[] = {
      {"truncated", {.data = std::vector<uint8_t>(5, 0)}, "truncated"},
      {"rle cut", {.type = 10, .data = {0x85, 1, 2}}, "truncated"},
      {"no colour map", {.type = 1, .bits = 8, .data = std::vector<uint8_t>(4, 0)}, "colour map"},
      {"zero width", {.width = 0}, "no pixels"},
      {"bad depth", {.bits = 12}, "pixel size"}};
  for (const Case& c : cases) test::ExpectRefused(Decode(c.recipe), c.words, c.name);
}

TEST(TgaTest, FooterMakesAnUnnamedFileRecognisable) {
  TgaRecipe s;
  s.data = kFourBgr;
  s.footerAttributes = 0;
  std::vector<uint8_t> bytes = Build(s);
  EXPECT_TRUE(DecodeImage(bytes).ok());
  s.footerAttributes = -1;
  EXPECT_FALSE(DecodeImage(Build(s)).ok());              // no signature, no name: unknown
  EXPECT_TRUE(DecodeImage(Build(s), {}, "a.tga").ok());  // the name decides
}

}  // namespace
}  // namespace tessaro
