// Hostile input: truncations at every section boundary, lying lengths and
// counts, huge dimensions and random damage give an error value (or a
// document), never a crash, an over-read or a huge allocation.
#include <gtest/gtest.h>

#include <random>

#include "base/ByteReader.h"
#include "imaging/psd/Psd.h"
#include "imaging/tests/psd/PsdTestUtil.h"

namespace tessaro {
namespace {

std::vector<uint8_t> Sample(int width = 64, int height = 48) {
  auto bytes = WritePsd(psdtest::SampleDocument(width, height));
  EXPECT_TRUE(bytes.ok());
  return bytes.ok() ? *bytes : std::vector<uint8_t>();
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

// Offsets of the sections of a PSD written by WritePsd.
struct Layout {
  size_t colorLength = 26;  // u32 length of the colour mode data
  size_t resourceLength = 0;
  size_t layerSectionLength = 0;
  size_t layerInfoLength = 0;
  size_t layerCount = 0;
  size_t firstRecord = 0;
  size_t merged = 0;  // compression code of the merged image
};

Layout Sections(const std::vector<uint8_t>& b) {
  Layout l;
  l.resourceLength = l.colorLength + 4 + U32At(b, l.colorLength);
  l.layerSectionLength = l.resourceLength + 4 + U32At(b, l.resourceLength);
  l.layerInfoLength = l.layerSectionLength + 4;
  l.layerCount = l.layerInfoLength + 4;
  l.firstRecord = l.layerCount + 2;
  l.merged = l.layerSectionLength + 4 + U32At(b, l.layerSectionLength);
  return l;
}

TEST(PsdHostile, TruncationAtEverySectionBoundaryIsRefused) {
  const std::vector<uint8_t> bytes = Sample();
  const Layout l = Sections(bytes);
  std::vector<size_t> cuts = {0,
                              1,
                              4,
                              25,
                              26,
                              l.colorLength + 4,
                              l.resourceLength,
                              l.resourceLength + 4,
                              l.layerSectionLength,
                              l.layerSectionLength + 4,
                              l.layerCount,
                              l.firstRecord,
                              l.firstRecord + 20,
                              l.merged - 4,
                              l.merged,
                              l.merged + 2,
                              l.merged + 20,
                              bytes.size() - 1};
  for (size_t step = 1; step < 40; ++step) cuts.push_back(bytes.size() * step / 40);
  for (size_t cut : cuts) {
    for (size_t c : {cut - (cut > 0 ? 1 : 0), cut, cut + 1}) {
      if (c >= bytes.size()) continue;
      const std::span<const uint8_t> prefix(bytes.data(), c);
      auto doc = ReadPsd(prefix);
      EXPECT_FALSE(doc.ok()) << "cut at " << c << " of " << bytes.size();
      (void)ProbePsd(prefix);
    }
  }
  EXPECT_TRUE(ReadPsd(bytes).ok());
}

TEST(PsdHostile, EveryPrefixOfASmallFileIsHandled) {
  const std::vector<uint8_t> bytes = Sample(12, 9);
  for (size_t n = 0; n < bytes.size(); ++n) {
    // A copy of exactly n bytes, so that a sanitizer sees any over-read.
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + ptrdiff_t(n));
    EXPECT_FALSE(ReadPsd(prefix).ok()) << n;
    (void)ProbePsd(prefix);
  }
}

TEST(PsdHostile, LyingLengthsAndCountsAreRefused) {
  const std::vector<uint8_t> original = Sample();
  const Layout l = Sections(original);
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    bool u16 = false;
  };
  const Case cases[] = {
      {"colour data length", l.colorLength, 0xFFFFFF00},
      {"resource section length", l.resourceLength, 0x7FFFFFFF},
      {"layer section length", l.layerSectionLength, 0xFFFFFFF0},
      {"layer info length", l.layerInfoLength, 0xFFFFFFF0},
      {"layer count", l.layerCount, 0x7FFF, true},
      {"negative layer count", l.layerCount, 0x8001, true},
      {"first layer's channel count", l.firstRecord + 16, 0xFFFF, true},
      {"first channel's length", l.firstRecord + 20, 0x7FFFFFFF},
      {"first layer's bottom", l.firstRecord + 8, 0x7FFFFFFF},
      {"first layer's top", l.firstRecord, 0x80000000},
      {"merged image compression", l.merged, 7, true},
      {"first merged row count", l.merged + 2, 0xFFFF, true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = original;
    if (c.u16) {
      bytes[c.at] = uint8_t(c.value >> 8);
      bytes[c.at + 1] = uint8_t(c.value);
    } else {
      PutU32(bytes, c.at, c.value);
    }
    auto doc = ReadPsd(bytes);
    EXPECT_FALSE(doc.ok()) << c.what;
    (void)ProbePsd(bytes);
  }
}

TEST(PsdHostile, ResourceDamageKeepsTheDocument) {
  // Resources are ancillary: a resource block claiming more than its section
  // ends the list, the document still reads.
  std::vector<uint8_t> bytes = Sample();
  const Layout l = Sections(bytes);
  const size_t firstResource = l.resourceLength + 4;
  ASSERT_EQ(
      std::string(bytes.begin() + ptrdiff_t(firstResource), bytes.begin() + ptrdiff_t(firstResource) + 4),
      "8BIM");
  PutU32(bytes, firstResource + 8, 0x7FFFFFFF);  // size of the resolution block
  auto doc = ReadPsd(bytes);
  ASSERT_TRUE(doc.ok()) << doc.message();
  EXPECT_DOUBLE_EQ(doc->resolution, 72) << "the damaged block was not used";
}

TEST(PsdHostile, HugeDimensionsAreRefusedWithoutAllocating) {
  const std::vector<uint8_t> original = Sample();
  struct Case {
    uint16_t version;
    uint32_t width, height;
  };
  for (const Case& c : {Case{1, 30000, 30000}, Case{1, 30001, 10}, Case{2, 300000, 300000},
                        Case{2, 300000, 7000}, Case{1, 0, 10}}) {
    std::vector<uint8_t> bytes = original;
    bytes[5] = uint8_t(c.version);
    PutU32(bytes, 14, c.height);
    PutU32(bytes, 18, c.width);
    auto doc = ReadPsd(bytes);
    EXPECT_FALSE(doc.ok()) << c.width << "x" << c.height;
  }
}

TEST(PsdHostile, HugeLayerWithLittleDataIsRefused) {
  // A layer claiming 100000 x 20000 pixels while its RLE data holds a few
  // bytes: refused before its pixels are made.
  PsdDocument doc;
  doc.width = doc.height = 4;
  doc.composite.Create(4, 4, Rgba8{1, 2, 3, 255});
  PsdLayer l;
  l.name = "tiny";
  l.bounds = {0, 0, 4, 4};
  l.pixels.Create(4, 4, Rgba8{4, 5, 6, 255});
  doc.layers.push_back(std::move(l));
  auto written = WritePsd(doc);
  ASSERT_TRUE(written.ok());
  std::vector<uint8_t> bytes = *written;
  const Layout lay = Sections(bytes);
  PutU32(bytes, lay.firstRecord + 8, 20000);    // bottom
  PutU32(bytes, lay.firstRecord + 12, 100000);  // right
  auto read = ReadPsd(bytes);
  EXPECT_FALSE(read.ok());
  auto withoutLayers = ReadPsd(bytes, PsdReadOptions{false, true, true});
  EXPECT_TRUE(withoutLayers.ok()) << "the rest of the file is sound";
}

TEST(PsdHostile, RandomDamageNeverCrashes) {
  const std::vector<uint8_t> original = Sample(20, 14);
  std::mt19937 rng(2024);
  const uint8_t interesting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE};
  int read = 0;
  for (int iteration = 0; iteration < 3000; ++iteration) {
    std::vector<uint8_t> bytes = original;
    const int edits = 1 + int(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % bytes.size();
      bytes[at] = (rng() % 2) ? uint8_t(rng()) : interesting[rng() % sizeof interesting];
    }
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    auto doc = ReadPsd(bytes);
    (void)ProbePsd(bytes);
    if (doc.ok()) {
      ++read;
      EXPECT_EQ(doc->composite.width(), doc->width);
    }
  }
  EXPECT_GT(read, 0) << "some damage lands in pixel data and still reads";
}

}  // namespace
}  // namespace tessaro
