#include "imaging/codecs/Exif.h"

#include <gtest/gtest.h>

#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

// A big-endian block written by hand: IFD0 with the given entries.
struct RawEntry {
  uint16_t tag, type;
  uint32_t count, value;
};
std::vector<uint8_t> BigEndianBlock(const std::vector<RawEntry>& entries, uint32_t next = 0,
                                    const std::vector<uint8_t>& tail = {}) {
  std::vector<uint8_t> out = {'M', 'M', 0, 42, 0, 0, 0, 8};
  auto u16 = [&](uint16_t v) { out.push_back(uint8_t(v >> 8)), out.push_back(uint8_t(v)); };
  auto u32 = [&](uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
  };
  u16(uint16_t(entries.size()));
  for (const RawEntry& e : entries) {
    u16(e.tag), u16(e.type), u32(e.count);
    if (e.type == 3 && e.count == 1)
      u16(uint16_t(e.value)), u16(0);  // a SHORT sits in the first two bytes
    else
      u32(e.value);
  }
  u32(next);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

TEST(ExifTest, WrittenBlockReadsBack) {
  std::vector<uint8_t> thumb = {0xFF, 0xD8, 0xFF, 0xD9};
  ExifWriteOptions w;
  w.orientation = 6;
  w.ppi = 300;
  w.colorSpace = 1;
  w.thumbnailJpeg = thumb;
  std::vector<uint8_t> block = WriteExif(w);
  Result<ExifInfo> info = ParseExif(block);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_EQ(info->orientation, 6);
  EXPECT_DOUBLE_EQ(info->xPpi, 300);
  EXPECT_DOUBLE_EQ(info->yPpi, 300);
  EXPECT_EQ(info->colorSpace, 1);
  ASSERT_EQ(info->thumbnailLength, thumb.size());
  EXPECT_TRUE(std::equal(thumb.begin(), thumb.end(), block.begin() + info->thumbnailOffset));
}

TEST(ExifTest, EmptyOptionsWriteAnEmptyDirectory) {
  Result<ExifInfo> info = ParseExif(WriteExif({}));
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->orientation, 1);
  EXPECT_EQ(info->xPpi, 0);
  EXPECT_EQ(info->thumbnailLength, 0u);
}

TEST(ExifTest, ReadsBigEndianShortAndCentimetreResolution) {
  // XResolution at offset 8 + 2 + 4*12 + 4 = 62: 1181/10 pixels per cm = 299.97 ppi.
  std::vector<uint8_t> rational = {0, 0, 0x04, 0x9D, 0, 0, 0, 10};
  std::vector<uint8_t> block = BigEndianBlock(
      {{0x0112, 3, 1, 8}, {0x011A, 5, 1, 62}, {0x011B, 5, 1, 62}, {0x0128, 3, 1, 3}}, 0, rational);
  Result<ExifInfo> info = ParseExif(block);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->orientation, 8);
  EXPECT_NEAR(info->xPpi, 1181 / 10.0 * 2.54, 1e-9);
  EXPECT_NEAR(info->yPpi, info->xPpi, 1e-9);
}

TEST(ExifTest, ResolutionWithoutUnitMeaningIsIgnored) {
  std::vector<uint8_t> rational = {0, 0, 0, 72, 0, 0, 0, 1};
  std::vector<uint8_t> block =
      BigEndianBlock({{0x011A, 5, 1, 50}, {0x011B, 5, 1, 50}, {0x0128, 3, 1, 1}}, 0, rational);
  Result<ExifInfo> info = ParseExif(block);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->xPpi, 0);
}

struct BadBlockCase {
  const char* name;
  std::vector<uint8_t> block;
  bool parses;      // ParseExif succeeds (with defaults)
  int orientation;  // expected when it parses
};

std::vector<BadBlockCase> BadBlocks() {
  std::vector<BadBlockCase> cases;
  cases.push_back({"Empty", {}, false, 1});
  cases.push_back({"NoByteOrder", {'X', 'X', 0, 42, 0, 0, 0, 8, 0, 0}, false, 1});
  cases.push_back({"WrongMagic", {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0}, false, 1});
  // IFD0 offset points past the end: nothing usable but not an error.
  cases.push_back({"Ifd0PastEnd", {'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0}, true, 1});
  // Entry count claims more entries than the bytes hold.
  std::vector<uint8_t> lying = BigEndianBlock({{0x0112, 3, 1, 6}});
  lying[8] = 0x40;
  cases.push_back({"EntryCountTooLarge", lying, true, 1});
  // Orientation out of range is ignored.
  cases.push_back({"OrientationNine", BigEndianBlock({{0x0112, 3, 1, 9}}), true, 1});
  // Orientation with the wrong type (ASCII) is ignored.
  cases.push_back({"OrientationAscii", BigEndianBlock({{0x0112, 2, 1, 0x06000000}}), true, 1});
  // A value whose offset runs past the end is dropped, the rest still read.
  cases.push_back(
      {"ValueOffsetPastEnd", BigEndianBlock({{0x0112, 3, 1, 3}, {0x011A, 5, 1, 0xFFFFFF00}}), true, 3});
  // Huge count times type size overflowing 32 bits.
  cases.push_back({"HugeCount", BigEndianBlock({{0x0112, 3, 1, 5}, {0x011A, 5, 0x40000000, 8}}), true, 5});
  // IFD1 pointing back at IFD0 (a loop) is not followed into a thumbnail.
  cases.push_back({"Ifd1LoopsToIfd0", BigEndianBlock({{0x0112, 3, 1, 2}}, 8), true, 2});
  return cases;
}

class ExifBadBlockTest : public ::testing::TestWithParam<BadBlockCase> {};

TEST_P(ExifBadBlockTest, IsRefusedOrReadWithDefaults) {
  const BadBlockCase& c = GetParam();
  Result<ExifInfo> info = ParseExif(c.block);
  ASSERT_EQ(info.ok(), c.parses) << (info.ok() ? "" : info.message());
  if (info.ok()) {
    EXPECT_EQ(info->orientation, c.orientation);
    EXPECT_EQ(info->thumbnailLength, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, ExifBadBlockTest, ::testing::ValuesIn(BadBlocks()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExifTest, ThumbnailOutsideTheBlockIsDropped) {
  // IFD1 at 26 with offset/length pointing past the end.
  std::vector<uint8_t> ifd1 = {0,    2, 0x02, 0x01, 0, 4, 0, 0, 0, 1,    0, 0, 0, 60, 0x02,
                               0x02, 0, 4,    0,    0, 0, 1, 0, 0, 0x10, 0, 0, 0, 0,  0};
  std::vector<uint8_t> block = BigEndianBlock({{0x0112, 3, 1, 1}}, 26, ifd1);
  Result<ExifInfo> info = ParseExif(block);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->thumbnailOffset, 0u);
  EXPECT_EQ(info->thumbnailLength, 0u);
}

TEST(ExifTest, RealCameraFilesGiveTheirOrientation) {
  if (!test::CorpusAvailable()) GTEST_SKIP();
  for (int k = 1; k <= 8; ++k) {
    std::vector<uint8_t> file =
        test::ReadBytes(test::CorpusPath("jpeg/exif_orientation/Landscape_" + std::to_string(k) + ".jpg"));
    // Find the APP1 Exif segment by hand.
    auto it = std::search(file.begin(), file.end(), std::begin("Exif\0"), std::begin("Exif\0") + 6);
    ASSERT_NE(it, file.end());
    size_t at = size_t(it - file.begin());
    size_t length = size_t(file[at - 2]) << 8 | file[at - 1];
    Result<ExifInfo> info = ParseExif(std::span<const uint8_t>(file).subspan(at + 6, length - 8));
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info->orientation, k);
  }
}

}  // namespace
}  // namespace tessaro
