// Decoding only a part of a picture: the kept pixels are those of a whole
// decode, the part lands where it was asked for (centred parts stay
// centred), damaged files are refused as a whole decode refuses them, and
// crop values of any kind are clamped.
#include <gtest/gtest.h>

#include <climits>

#include "imaging/codecs/Codecs.h"
#include "imaging/tests/codecs/TestSupport.h"
#include "testing/ImageDiff.h"

namespace tessaro {
namespace {

constexpr int32_t U = kDecodeCropUnit;

// Colour detail everywhere (chroma changes from pixel to pixel), so that a
// cut whose upsampling or block alignment differs from a whole decode shows.
Image Detailed(int w, int h) {
  Image image;
  EXPECT_TRUE(image.Create(w, h).ok());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t k = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
      image.At(x, y) =
          Rgba8{uint8_t(x * 255 / w), uint8_t((k >> 13) & 0xFF), uint8_t(y * 255 / h ^ (k & 0x3F)), 255};
    }
  return image;
}

std::vector<uint8_t> EncodeDetailed(int w, int h, bool subsample, bool progressive, int orientation) {
  JpegEncodeOptions options;
  options.quality = 90;
  options.subsampleChroma = subsample;
  options.progressive = progressive;
  options.orientation = orientation;
  Result<std::vector<uint8_t>> bytes = EncodeJpeg(Detailed(w, h), options);
  EXPECT_TRUE(bytes.ok()) << bytes.message();
  return bytes.ok() ? *bytes : std::vector<uint8_t>();
}

Image Cut(const Image& image, const IntRect& r) {
  Image out;
  EXPECT_TRUE(out.Create(r.Width(), r.Height()).ok());
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) out.At(x, y) = image.At(r.left + x, r.top + y);
  return out;
}

DecodeOptions Part(int32_t l, int32_t t, int32_t r, int32_t b, int margin = 0, int minWidth = 0) {
  DecodeOptions o;
  o.cropLeft = l, o.cropTop = t, o.cropRight = r, o.cropBottom = b, o.cropMargin = margin;
  o.minWidth = minWidth;
  return o;
}

// Every kind of file a photo comes as: both chroma layouts, progressive,
// the turned orientations; full size and DCT-reduced; parts in the middle,
// at the edges and in a corner. The part's place is worked out here from
// the picture's size; the pixels must be the whole decode's.
TEST(DecodeCropTest, APartHasTheWholeDecodesPixelsWhereItWasAskedFor) {
  struct Case {
    const char* name;
    bool subsample, progressive;
    int orientation, minWidth;
    DecodeOptions part;
  };
  const Case cases[] = {
      {"centred, 4:2:0", true, false, 1, 0, Part(U / 4, U / 4, 3 * U / 4, 3 * U / 4)},
      {"centred, 4:4:4", false, false, 1, 0, Part(U / 4, U / 4, 3 * U / 4, 3 * U / 4)},
      {"columns only, progressive", true, true, 1, 0, Part(U / 3, 0, 2 * U / 3, U)},
      {"rows only, reduced", true, false, 1, 300, Part(0, U / 5, U, U / 2)},
      {"top-left corner", true, false, 1, 0, Part(0, 0, U / 8, U / 8, 3)},
      {"bottom-right corner, reduced", true, false, 1, 200, Part(7 * U / 8, 7 * U / 8, U, U, 2)},
      {"turned clockwise", true, false, 6, 0, Part(U / 10, U / 3, U / 2, 9 * U / 10)},
      {"turned half way, reduced", true, false, 3, 250, Part(U / 5, U / 6, 3 * U / 5, U / 2, 4)},
      {"transposed", false, false, 5, 0, Part(U / 2, 0, U, U / 4)},
      {"turned counter-clockwise", true, true, 8, 0, Part(U / 7, U / 7, U / 3, 6 * U / 7, 1)},
      {"mirrored", true, false, 2, 0, Part(U / 9, U / 4, U / 2, U / 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> file = EncodeDetailed(803, 611, c.subsample, c.progressive, c.orientation);
    DecodeOptions wholeOptions;
    wholeOptions.minWidth = c.minWidth;
    Result<DecodedImage> whole = DecodeImage(file, wholeOptions);
    ASSERT_TRUE(whole.ok()) << whole.message();
    DecodeOptions partOptions = c.part;
    partOptions.minWidth = c.minWidth;
    Result<DecodedImage> part = DecodeImage(file, partOptions);
    ASSERT_TRUE(part.ok()) << part.message();

    const int w = whole->pixels.width(), h = whole->pixels.height();
    EXPECT_EQ(part->wholeWidth, w);
    EXPECT_EQ(part->wholeHeight, h);
    EXPECT_EQ(part->scale, whole->scale);
    const int m = c.part.cropMargin;
    const auto floorAt = [](int32_t f, int size) { return int(int64_t(f) * size / U); };
    const auto ceilAt = [](int32_t f, int size) { return int((int64_t(f) * size + U - 1) / U); };
    const IntRect expected{
        std::max(0, floorAt(c.part.cropLeft, w) - m), std::max(0, floorAt(c.part.cropTop, h) - m),
        std::min(w, ceilAt(c.part.cropRight, w) + m), std::min(h, ceilAt(c.part.cropBottom, h) + m)};
    EXPECT_EQ(part->region, expected);
    ASSERT_EQ(part->pixels.width(), expected.Width());
    ASSERT_EQ(part->pixels.height(), expected.Height());
    EXPECT_LT(int64_t(part->pixels.width()) * part->pixels.height(), int64_t(w) * h);
    EXPECT_EQ(test::MaxDifference(part->pixels, Cut(whole->pixels, expected)), 0);
  }
}

// A part centred on the picture stays centred on whole pixels at every
// reduced size, odd ones included: the composition relies on it.
TEST(DecodeCropTest, ACentredPartStaysCentredAtEveryScale) {
  const std::vector<uint8_t> file = EncodeDetailed(1001, 667, true, false, 1);
  for (int minWidth : {0, 130, 260, 380, 510, 640, 760, 890}) {
    for (int32_t left : {1, 977, U / 5, U / 3 + 7, U / 2 - 1}) {
      SCOPED_TRACE(testing::Message() << "min width " << minWidth << ", left " << left);
      Result<DecodedImage> d = DecodeImage(file, Part(left, left / 2, U - left, U - left / 2, 3, minWidth));
      ASSERT_TRUE(d.ok()) << d.message();
      EXPECT_EQ(d->region.left, d->wholeWidth - d->region.right);
      EXPECT_EQ(d->region.top, d->wholeHeight - d->region.bottom);
    }
  }
}

// A cut stops reading early; a file that a whole decode refuses for running
// out of data is still refused, and data after the end marker does not stop
// the part from being right.
TEST(DecodeCropTest, DamagedFilesAreJudgedAsAWholeDecodeJudgesThem) {
  const std::vector<uint8_t> file = EncodeDetailed(640, 480, true, false, 1);
  const DecodeOptions top = Part(U / 4, 0, 3 * U / 4, U / 4);

  std::vector<uint8_t> truncated(file.begin(), file.begin() + std::ptrdiff_t(file.size() * 3 / 4));
  EXPECT_FALSE(DecodeImage(truncated).ok());
  EXPECT_FALSE(DecodeImage(truncated, top).ok());

  std::vector<uint8_t> trailing = file;
  trailing.insert(trailing.end(), 100, 0);
  Result<DecodedImage> whole = DecodeImage(file);
  Result<DecodedImage> part = DecodeImage(trailing, top);
  ASSERT_TRUE(whole.ok() && part.ok());
  EXPECT_EQ(part->region, (IntRect{160, 0, 480, 120}));
  EXPECT_EQ(test::MaxDifference(part->pixels, Cut(whole->pixels, part->region)), 0);
}

// Crop values are never trusted: any value is clamped to the picture, an
// empty or reversed part means all of it, and margins stay within it.
TEST(DecodeCropTest, HostileCropValuesAreClamped) {
  const std::vector<uint8_t> file = EncodeDetailed(320, 240, true, false, 1);
  struct Case {
    DecodeOptions part;
    IntRect expected;
  };
  const Case cases[] = {
      {Part(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), {0, 0, 320, 240}},
      {Part(-5, U / 2, U / 4, INT32_MAX), {0, 120, 80, 240}},
      {Part(3 * U / 4, 0, U / 4, U), {0, 0, 320, 240}},               // reversed
      {Part(U / 2, U / 2, U / 2, U / 2), {0, 0, 320, 240}},           // empty
      {Part(U / 4, U / 4, U / 2, U / 2, INT_MAX), {0, 0, 320, 240}},  // margin beyond the picture
      {Part(U / 4, U / 4, U / 2, U / 2, -40), {80, 60, 160, 120}},    // negative margin: none
      {Part(U, U, U, U), {0, 0, 320, 240}},
      {Part(U - 1, U - 1, INT32_MAX, INT32_MAX), {319, 239, 320, 240}},  // the last pixel
  };
  Result<DecodedImage> whole = DecodeImage(file);
  ASSERT_TRUE(whole.ok());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.part.cropLeft << " " << c.part.cropTop << " " << c.part.cropRight
                                    << " " << c.part.cropBottom << " margin " << c.part.cropMargin);
    Result<DecodedImage> d = DecodeImage(file, c.part);
    ASSERT_TRUE(d.ok()) << d.message();
    EXPECT_EQ(d->region, c.expected);
    EXPECT_EQ(test::MaxDifference(d->pixels, Cut(whole->pixels, c.expected)), 0);
  }
}

// Other formats are decoded whole and cut; a picture with transparency is
// kept whole (its painted area decides where it is placed).
TEST(DecodeCropTest, OtherFormatsAreCutUnlessTransparent) {
  for (bool alpha : {false, true}) {
    SCOPED_TRACE(alpha ? "with alpha" : "opaque");
    const Image picture = test::MakeGradient(200, 100, alpha);
    const std::string path = ::testing::TempDir() + "crop_" + std::to_string(alpha) + ".png";
    ASSERT_TRUE(WriteImageFile(path, picture).ok());
    Result<DecodedImage> d = DecodeImageFile(path, Part(U / 2, U / 4, U, U / 2));
    ASSERT_TRUE(d.ok()) << d.message();
    const IntRect expected = alpha ? IntRect{0, 0, 200, 100} : IntRect{100, 25, 200, 50};
    EXPECT_EQ(d->region, expected);
    EXPECT_EQ(d->wholeWidth, 200);
    EXPECT_EQ(test::MaxDifference(d->pixels, Cut(picture, expected)), 0);
  }
}

}  // namespace
}  // namespace tessaro
