// PackBits, ZIP prediction, action descriptors and the name helpers of the
// layered-document format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "imaging/psd/PsdInternal.h"

namespace tessaro::psd {
namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& src, size_t n, bool skipZero = false,
                            uint8_t fill = 0) {
  std::vector<uint8_t> out(n, fill);
  PackBitsDecodeRow(src, out, skipZero);
  return out;
}

TEST(PackBits, DecodesThePublishedExample) {
  const std::vector<uint8_t> packed = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA,
                                       0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA};
  const std::vector<uint8_t> expected = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA,
                                         0xAA, 0xAA, 0x80, 0x00, 0x2A, 0x22, 0xAA, 0xAA,
                                         0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(Decode(packed, expected.size()), expected);
}

TEST(PackBits, RoundTripsRowsOfEveryShape) {
  std::mt19937 rng(7);
  std::vector<std::vector<uint8_t>> rows = {{}, {5}, {5, 5}, {1, 2}, std::vector<uint8_t>(300, 9)};
  for (size_t n : {127u, 128u, 129u, 255u, 256u, 1000u}) {
    std::vector<uint8_t> literal(n), alternating(n), mixed(n);
    for (size_t i = 0; i < n; ++i) {
      literal[i] = uint8_t(i * 7 + 1);
      alternating[i] = uint8_t(i % 2);
      mixed[i] = (i / 40) % 2 ? uint8_t(rng()) : uint8_t(3);
    }
    rows.push_back(literal);
    rows.push_back(alternating);
    rows.push_back(mixed);
  }
  for (const auto& row : rows) {
    std::vector<uint8_t> coded;
    const size_t n = PackBitsEncodeRow(row, coded);
    EXPECT_EQ(n, coded.size());
    EXPECT_LE(n, PackBitsBound(row.size()));
    EXPECT_EQ(Decode(coded, row.size()), row) << "row of " << row.size();
  }
  std::vector<uint8_t> coded;
  PackBitsEncodeRow(std::vector<uint8_t>(1280, 0), coded);
  EXPECT_EQ(coded.size(), 20u) << "runs of 128 take two bytes";
}

TEST(PackBits, DecodingStaysWithinTheRowAndTheData) {
  // A run longer than the row is cut at the row's end.
  EXPECT_EQ(Decode({0x81, 0x07}, 4), (std::vector<uint8_t>{7, 7, 7, 7}));
  // A literal longer than the data left copies what there is.
  EXPECT_EQ(Decode({0x05, 1, 2}, 4, false, 0xEE), (std::vector<uint8_t>{1, 2, 0xEE, 0xEE}));
  // A repeat header without its value ends the row.
  EXPECT_EQ(Decode({0x00, 4, 0xFD}, 3, false, 0xEE), (std::vector<uint8_t>{4, 0xEE, 0xEE}));
  // -128 is no operation.
  EXPECT_EQ(Decode({0x80, 0x00, 9}, 1), (std::vector<uint8_t>{9}));
  std::vector<uint8_t> dst(2);
  EXPECT_EQ(PackBitsDecodeRow({}, dst, false), 0u);
}

TEST(PackBits, ZeroRunsLeaveAFreshPlaneUntouched) {
  // The sentinel shows which bytes were written: repeated zeros are skipped,
  // literal zeros and other runs are written.
  EXPECT_EQ(Decode({0xFE, 0x00, 0x01, 0x00, 0x05, 0xFF, 0x03}, 7, true, 0xEE),
            (std::vector<uint8_t>{0xEE, 0xEE, 0xEE, 0x00, 0x05, 0x03, 0x03}));
}

TEST(ZipPrediction, UndoesDeltasOfEachDepth) {
  std::vector<uint8_t> bytes = {1, 1, 1, 1, 10, 246, 0, 5};
  UndoPrediction(bytes, 4, 8);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 10, 0, 0, 5})) << "per row, wrapping";

  // 16-bit: 0x0100, +0x0001, +0xFFFF (that is -1) -> 0x0100, 0x0101, 0x0100.
  std::vector<uint8_t> wide = {0x01, 0x00, 0x00, 0x01, 0xFF, 0xFF};
  UndoPrediction(wide, 6, 16);
  EXPECT_EQ(wide, (std::vector<uint8_t>{0x01, 0x00, 0x01, 0x01, 0x01, 0x00}));

  // 32-bit: the bytes of 1.0f and 0.5f grouped by significance, then deltas.
  const float values[2] = {1.0f, 0.5f};
  uint8_t be[8];
  for (int i = 0; i < 2; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &values[i], 4);
    for (int k = 0; k < 4; ++k) be[4 * i + k] = uint8_t(bits >> (24 - 8 * k));
  }
  std::vector<uint8_t> planar(8);
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 4; ++k) planar[size_t(k * 2 + i)] = be[4 * i + k];
  std::vector<uint8_t> deltas(8);
  deltas[0] = planar[0];
  for (size_t i = 1; i < 8; ++i) deltas[i] = uint8_t(planar[i] - planar[i - 1]);
  UndoPrediction(deltas, 8, 32);
  EXPECT_TRUE(std::equal(deltas.begin(), deltas.end(), be));
}

TEST(Zip, InflatesExactlyOrFails) {
  std::vector<uint8_t> plain(5000);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * i);
  uLongf size = compressBound(plain.size());
  std::vector<uint8_t> packed(size);
  ASSERT_EQ(compress(packed.data(), &size, plain.data(), plain.size()), Z_OK);
  packed.resize(size);
  std::vector<uint8_t> out(plain.size());
  EXPECT_TRUE(Inflate(packed, out).ok());
  EXPECT_EQ(out, plain);
  std::vector<uint8_t> tooBig(plain.size() + 1);
  EXPECT_FALSE(Inflate(packed, tooBig).ok()) << "the stream holds less than asked";
  std::vector<uint8_t> half(packed.begin(), packed.begin() + packed.size() / 2);
  EXPECT_FALSE(Inflate(half, out).ok());
  const std::vector<uint8_t> garbage = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(Inflate(garbage, out).ok());
}

std::vector<uint8_t> OverlayDescriptor() {
  ByteWriter w;
  DescriptorWriter d(w);
  d.Begin("null", 3);
  d.Unit("Scl ", "#Prc", 100);
  d.Bool("masterFXSwitch", true);
  d.Object("SoFi", "SoFi", 4);
  d.Bool("enab", true);
  d.Enum("Md  ", "BlnM", "linearBurn");
  d.Unit("Opct", "#Prc", 48);
  d.Object("Clr ", "RGBC", 3);
  d.Double("Rd  ", 1);
  d.Double("Grn ", 2);
  d.Double("Bl  ", 3);
  return w.Take();
}

TEST(Descriptor, WrittenDescriptorParsesBack) {
  const std::vector<uint8_t> bytes = OverlayDescriptor();
  ByteReader in(bytes);
  bool complete = false;
  const Descriptor d = ParseDescriptor(in, &complete);
  EXPECT_TRUE(complete);
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(d.classId, "null");
  ASSERT_NE(d.Find("masterFXSwitch"), nullptr);
  EXPECT_TRUE(d.Find("masterFXSwitch")->boolean);
  const DescValue* fill = d.Find("SoFi");
  ASSERT_TRUE(fill && fill->type == DescValue::Type::kObject);
  EXPECT_EQ(fill->object->Find("Md  ")->text, "linearBurn");
  EXPECT_EQ(fill->object->Find("Opct")->unit, "#Prc");
  EXPECT_DOUBLE_EQ(fill->object->Find("Opct")->number, 48);
  const DescValue* color = fill->object->Find("Clr ");
  ASSERT_TRUE(color && color->object);
  EXPECT_EQ(color->object->classId, "RGBC");
  EXPECT_DOUBLE_EQ(color->object->Find("Bl  ")->number, 3);
}

TEST(Descriptor, DamagedDescriptorsEndThePartCleanly) {
  const std::vector<uint8_t> bytes = OverlayDescriptor();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    ByteReader in(bytes.data(), cut);
    bool complete = true;
    ParseDescriptor(in, &complete);
    EXPECT_FALSE(complete) << "cut at " << cut;
  }
  // A huge item count is refused before anything is reserved for it.
  ByteWriter w;
  w.U32BE(1);
  w.U16BE(0);
  w.U32BE(0);
  w.Append("null", 4);
  w.U32BE(0xFFFFFFFF);
  ByteReader in(w.Bytes());
  bool complete = true;
  EXPECT_TRUE(ParseDescriptor(in, &complete).items.empty());
  EXPECT_FALSE(complete);
  // Nesting deeper than the cap stops the parse.
  ByteWriter deep;
  DescriptorWriter d(deep);
  d.Begin("null", 1);
  for (int i = 0; i < 100; ++i) d.Object("next", "Obj ", 1);
  d.Bool("leaf", true);
  ByteReader deepIn(deep.Bytes());
  ParseDescriptor(deepIn, &complete);
  EXPECT_FALSE(complete);
}

TEST(Descriptor, BlendModeValuesMapBothWays) {
  for (int m = int(BlendMode::kPassThrough); m <= int(BlendMode::kLuminosity); ++m) {
    const BlendMode mode = BlendMode(m);
    EXPECT_EQ(BlendModeFromDescriptorValue(BlendModeDescriptorValue(mode)), mode);
  }
  EXPECT_EQ(BlendModeDescriptorValue(BlendMode::kOverlay), "Ovrl");
  EXPECT_EQ(BlendModeDescriptorValue(BlendMode::kSoftLight), "SftL");
  EXPECT_EQ(BlendModeDescriptorValue(BlendMode::kColor), "Clr ");
  EXPECT_FALSE(BlendModeFromDescriptorValue("nope").has_value());
}

TEST(Names, TransparencyChannelInTheEditorsLanguages) {
  for (const char* n : {"Transparency", "transparency", " Transparency ", "透明度", "透明部分", "투명도",
                        "Прозрачность", "Transparenz"})
    EXPECT_TRUE(IsTransparencyChannelName(n)) << n;
  for (const char* n : {"Alpha 1", "Transparency 2", "", "透明"})
    EXPECT_FALSE(IsTransparencyChannelName(n)) << n;
}

TEST(Names, LegacyNamesToUtf8) {
  EXPECT_EQ(LegacyNameToUtf8("Layer 1"), "Layer 1");
  EXPECT_EQ(LegacyNameToUtf8("\xD0\xA4\xD0\xBE\xD0\xBD"), "Фон") << "UTF-8 as some writers store it";
  EXPECT_EQ(LegacyNameToUtf8("caf\xE9"), "café") << "otherwise Windows-1252";
  EXPECT_EQ(LegacyNameToUtf8("\x80"), "€");
  EXPECT_EQ(LegacyNameToUtf8("\xC0\x80"), "À€") << "overlong forms are not UTF-8";
}

TEST(Names, Utf8ToLegacyNameAndUtf16) {
  EXPECT_EQ(Utf8ToLegacyName("照片 1", 31), "?? 1");
  EXPECT_EQ(Utf8ToLegacyName("brivanto", 31), "brivanto");
  EXPECT_EQ(Utf8ToLegacyName(std::string(40, 'x'), 31).size(), 31u);
  EXPECT_EQ(Utf8ToUtf16("👽"), (std::u16string{char16_t(0xD83D), char16_t(0xDC7D)}));
  EXPECT_EQ(Utf8ToUtf16("ść"), (std::u16string{char16_t(0x015B), char16_t(0x0107)}));
}

}  // namespace
}  // namespace tessaro::psd
