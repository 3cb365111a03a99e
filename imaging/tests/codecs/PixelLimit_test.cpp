// The decoders' pixel limit: tiny files claiming huge sizes are refused from
// their headers, the limit reads the same in every format, and callers can
// lower or raise it.
#include <gtest/gtest.h>

#include <string>

#include "imaging/Image.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/psd/Psd.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

constexpr const char* kLimitMessage = "30000 x 30000 pixels is more than the 250-megapixel limit";

std::string BombPath(const std::string& name) {
  return std::string(TESSARO_SOURCE_DIR) + "/fuzz/corpus/decode_image/" + name;
}

class BombTest : public ::testing::TestWithParam<const char*> {};

// Each file is a few hundred bytes whose header claims 900 megapixels; the
// decoder must answer with the limit before making a buffer (without the
// limit they fail later, for want of data, or take gigabytes).
TEST_P(BombTest, RefusedFromTheHeader) {
  const std::string path = BombPath(GetParam());
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  ASSERT_FALSE(bytes.empty()) << path;
  EXPECT_LT(bytes.size(), 1024u);
  Result<ImageInfo> info = ProbeImageFile(path);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_EQ(info->width, 30000);
  EXPECT_EQ(info->height, 30000);
  Result<DecodedImage> decoded = DecodeImageFile(path);
  ASSERT_FALSE(decoded.ok());
  EXPECT_NE(decoded.message().find(kLimitMessage), std::string::npos) << decoded.message();
  // A caller's lower limit is named as it is.
  DecodeOptions small;
  small.maxPixels = 12345;
  Result<DecodedImage> lower = DecodeImageFile(path, small);
  ASSERT_FALSE(lower.ok());
  EXPECT_NE(lower.message().find("30000 x 30000 pixels is more than the limit of 12345 pixels"),
            std::string::npos)
      << lower.message();
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, BombTest,
                         ::testing::Values("bomb_30000x30000.png", "bomb_30000x30000.jpg",
                                           "bomb_30000x30000.tif", "bomb_30000x30000.bmp",
                                           "bomb_30000x30000.tga", "bomb_30000x30000.gif",
                                           "bomb_30000x30000.psd"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                           std::string name = p.param;
                           return name.substr(name.rfind('.') + 1);
                         });

TEST(PixelLimitTest, CallersChooseTheLimit) {
  struct Case {
    int64_t requested, expected;
  };
  const Case cases[] = {
      {0, 250'000'000},                         // the default
      {-5, 250'000'000},                        // nonsense means the default
      {1000, 1000},                             // lower
      {600'000'000, 600'000'000},               // higher, for callers that need more
      {kMaxImagePixels * 2, int64_t(1) << 31},  // never past what a buffer may hold
  };
  for (const Case& c : cases) EXPECT_EQ(DecodePixelLimit(c.requested), c.expected) << c.requested;
}

TEST(PixelLimitTest, CheckSaysWhyInOneLine) {
  struct Case {
    int64_t width, height, limit;
    const char* expected;  // nullptr: allowed
  };
  const Case cases[] = {
      {25000, 10000, 250'000'000, nullptr},  // exactly at the limit
      {25001, 10000, 250'000'000, "25001 x 10000 pixels is more than the 250-megapixel limit"},
      {100, 100, 9999, "100 x 100 pixels is more than the limit of 9999 pixels"},
      {100, 100, 10000, nullptr},
      {400000, 1, kMaxImagePixels, "400000 x 1 pixels is more than a picture may have"},
      {0, 10, 1000, "no pixels"},
  };
  for (const Case& c : cases) {
    Status s = CheckDecodePixels(c.width, c.height, c.limit);
    if (!c.expected) {
      EXPECT_TRUE(s.ok()) << c.width << " x " << c.height << ": " << s.message();
      continue;
    }
    ASSERT_FALSE(s.ok()) << c.width << " x " << c.height;
    EXPECT_NE(s.message().find(c.expected), std::string::npos) << s.message();
    EXPECT_EQ(s.message().find('\n'), std::string::npos);
  }
}

// A small document whose only layer claims 30000 x 30000: the layer is
// refused from its record, and so is a mask of that size.
TEST(PixelLimitTest, PsdLayerAndMaskSizesAreChecked) {
  for (bool patchMask : {false, true}) {
    SCOPED_TRACE(patchMask ? "mask" : "layer");
    PsdDocument copy;
    copy.width = copy.height = 4;
    ASSERT_TRUE(copy.composite.Create(4, 4).ok());
    PsdLayer l;
    l.name = "big";
    l.bounds = IntRect{0, 0, 4, 4};
    ASSERT_TRUE(l.pixels.Create(4, 4).ok());
    if (patchMask) {
      PsdLayerMask m;
      m.bounds = IntRect{0, 0, 4, 4};
      ASSERT_TRUE(m.pixels.Create(4, 4).ok());
      l.mask = std::move(m);
    }
    copy.layers.push_back(std::move(l));
    Result<std::vector<uint8_t>> bytes = WritePsd(copy);
    ASSERT_TRUE(bytes.ok());
    std::vector<uint8_t>& b = *bytes;
    auto u32 = [&](size_t at) {
      return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
    };
    auto put32 = [&](size_t at, uint32_t v) {
      b[at] = uint8_t(v >> 24), b[at + 1] = uint8_t(v >> 16), b[at + 2] = uint8_t(v >> 8),
      b[at + 3] = uint8_t(v);
    };
    // Header (26), colour mode data (length 0), resources, section and
    // layer-info lengths, the layer count, then the record's bounds.
    const size_t record = 30 + 4 + u32(30) + 4 + 4 + 2;
    ASSERT_LT(record + 16, b.size());
    size_t bounds = record;
    if (patchMask) {
      const uint16_t channels = uint16_t(b[record + 16] << 8 | b[record + 17]);
      // Past the channel list, blend signature and key, opacity, clipping,
      // flags, filler and the extra-data length: the mask record's length,
      // then its bounds.
      bounds = record + 18 + size_t(channels) * 6 + 12 + 4 + 4;
      ASSERT_EQ(u32(bounds - 4), 20u);
    }
    put32(bounds + 8, 30000);   // bottom
    put32(bounds + 12, 30000);  // right
    Result<PsdDocument> read = ReadPsd(b);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.message().find(kLimitMessage), std::string::npos) << read.message();
    EXPECT_NE(read.message().find("\"big\""), std::string::npos) << read.message();
  }
}

}  // namespace
}  // namespace tessaro
