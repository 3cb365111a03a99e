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
  std::vector<uint8_t> map;  // raw entries
  std::vector<uint8_t> data;
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

struct OriginCase {
  uint8_t descriptor;
  // Where the first stored pixel (red) and the fourth (white) land.
  int redX, redY, whiteX, whiteY;
};

class TgaOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(TgaOriginTest, PlacesRowsAndColumnsByTheOriginBits) {
  const OriginCase& c = GetParam();
  TgaRecipe s;
  s.descriptor = c.descriptor;
  s.data = kFourBgr;
  Result<DecodedImage> d = Decode(s);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(c.redX, c.redY), (Rgba8{255, 0, 0, 255}));
  EXPECT_EQ(d->pixels.At(c.whiteX, c.whiteY), (Rgba8{255, 255, 255, 255}));
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
  TgaRecipe s;
  s.type = 10;
  s.descriptor = 0x20;
  s.width = 3;
  // A run of 4 blue pixels (crosses into the second row), then 2 literal: red, green.
  s.data = {0x83, 255, 0, 0, 0x01, 0, 0, 255, 0, 255, 0};
  Result<DecodedImage> d = Decode(s);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(2, 0), (Rgba8{0, 0, 255, 255}));
  EXPECT_EQ(d->pixels.At(0, 1), (Rgba8{0, 0, 255, 255}));
  EXPECT_EQ(d->pixels.At(1, 1), (Rgba8{255, 0, 0, 255}));
  EXPECT_EQ(d->pixels.At(2, 1), (Rgba8{0, 255, 0, 255}));
}

TEST(TgaTest, ColourMapStartsAtItsFirstIndex) {
  TgaRecipe s;
  s.type = 1;
  s.bits = 8;
  s.width = 2;
  s.height = 1;
  s.mapFirst = 10;
  s.mapBits = 24;
  s.map = {0, 0, 255, 255, 0, 0};  // index 10 red, 11 blue
  s.data = {11, 10};
  Result<DecodedImage> d = Decode(s);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{0, 0, 255, 255}));
  EXPECT_EQ(d->pixels.At(1, 0), (Rgba8{255, 0, 0, 255}));
  s.data = {9, 10};  // below the first index
  Result<DecodedImage> bad = Decode(s);
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.message().find("index"), std::string::npos);
}

TEST(TgaTest, SixteenBitPixelsUseTheAttributeBitAsAlpha) {
  TgaRecipe s;
  s.bits = 16;
  s.width = 2;
  s.height = 1;
  s.descriptor = 0x21;                // top-down, 1 attribute bit
  s.data = {0x1F, 0x80, 0x00, 0x7C};  // opaque blue, transparent red
  Result<DecodedImage> d = Decode(s);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{0, 0, 255, 255}));
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
  TgaRecipe s;
  s.bits = 32;
  s.width = 2;
  s.height = 1;
  s.descriptor = c.descriptor;
  s.footerAttributes = c.attributes;
  s.data = {10, 20, 30, c.alphas[0], 40, 50, 60, c.alphas[1]};
  Result<DecodedImage> d = Decode(s);
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
  TgaRecipe s;
  s.bits = 32;
  s.width = 1;
  s.height = 1;
  s.descriptor = 0x28;
  s.footerAttributes = 4;
  s.data = {0, 0, 64, 128};  // red 64 premultiplied by alpha 128
  Result<DecodedImage> d = Decode(s);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.At(0, 0), (Rgba8{128, 0, 0, 128}));  // 64 * 255 / 128 = 127.5, rounded
}

TEST(TgaTest, DamagedFilesAreRefused) {
  struct Case {
    const char* name;
    TgaRecipe recipe;
    const char* words;
  };
  TgaRecipe truncated;
  truncated.data.assign(5, 0);
  TgaRecipe rleCut;
  rleCut.type = 10;
  rleCut.data = {0x85, 1, 2};
  TgaRecipe noMap;
  noMap.type = 1;
  noMap.bits = 8;
  noMap.data.assign(4, 0);
  TgaRecipe zero;
  zero.width = 0;
  TgaRecipe badDepth;
  badDepth.bits = 12;
  const Case cases[] = {{"truncated", truncated, "truncated"},
                        {"rle cut", rleCut, "truncated"},
                        {"no colour map", noMap, "colour map"},
                        {"zero width", zero, "no pixels"},
                        {"bad depth", badDepth, "pixel size"}};
  for (const Case& c : cases) {
    Result<DecodedImage> d = Decode(c.recipe);
    ASSERT_FALSE(d.ok()) << c.name;
    EXPECT_NE(d.message().find(c.words), std::string::npos) << c.name << ": " << d.message();
  }
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
