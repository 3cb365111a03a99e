// JPEG decoding: orientation, reduced-size decoding, EXIF thumbnails, CMYK,
// colour profiles, damaged files; and the encoder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "base/Parallel.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

Image Solid(int w, int h, Rgba8 colour) {
  Image image;
  image.Create(w, h, colour);
  return image;
}

std::vector<uint8_t> Jpeg(const Image& image, JpegEncodeOptions options = {}, double ppi = 72) {
  Result<std::vector<uint8_t>> bytes = EncodeJpeg(image, options, ppi);
  EXPECT_TRUE(bytes.ok()) << bytes.message();
  return bytes.ok() ? *bytes : std::vector<uint8_t>();
}

// A 600 x 400 blue photo carrying a red EXIF thumbnail of the given size.
std::vector<uint8_t> PhotoWithThumbnail(int thumbW, int thumbH, int orientation = 1) {
  JpegEncodeOptions options;
  options.exifThumbnail = Jpeg(Solid(thumbW, thumbH, Rgba8{255, 0, 0, 255}));
  options.orientation = orientation;
  return Jpeg(Solid(600, 400, Rgba8{0, 0, 255, 255}), options);
}

bool IsRed(const Rgba8& p) { return p.r > 200 && p.b < 60; }
bool IsBlue(const Rgba8& p) { return p.b > 200 && p.r < 60; }

TEST(JpegTest, EncodedPictureDecodesClose) {
  Image image = test::MakeGradient(257, 131);
  test::RoundTripTolerance tolerance;
  tolerance.maxDiff = 255;  // lossy: judged by PSNR alone
  tolerance.minPsnr = 40;
  for (bool progressive : {false, true}) {
    JpegEncodeOptions options;
    options.quality = 92;
    options.progressive = progressive;
    options.subsampleChroma = false;
    EXPECT_TRUE(test::RoundTrips(
        image, [&](const Image& i) { return EncodeJpeg(i, options); },
        [](const std::vector<uint8_t>& bytes) { return DecodeImage(bytes); }, tolerance))
        << "progressive " << progressive;
  }
}

TEST(JpegTest, LargePictureDecodesWhileItsPagesAreMappedAhead) {
  // Over 16 MB of pixels: the output pages are mapped on another thread
  // while the rows are written; the picture must come out the same.
  Image image = test::MakeGradient(2600, 1700);
  JpegEncodeOptions options;
  options.quality = 95;
  options.subsampleChroma = false;
  std::vector<uint8_t> bytes = Jpeg(image, options);
  for (int round = 0; round < 3; ++round) {
    Result<DecodedImage> d = DecodeImage(bytes);
    ASSERT_TRUE(d.ok());
    test::ImageDifference diff = test::Difference(d->pixels, image);
    ASSERT_TRUE(diff.sameSize);
    EXPECT_GT(diff.psnr, 40);
    EXPECT_LE(diff.maxDiff, 8);
  }
}

TEST(JpegTest, TransparencyIsFlattenedOverWhite) {
  Image image = Solid(16, 16, Rgba8{0, 0, 0, 0});
  image.At(0, 0) = Rgba8{0, 0, 0, 255};
  for (int x = 8; x < 16; ++x)
    for (int y = 0; y < 16; ++y) image.At(x, y) = Rgba8{0, 0, 0, 128};
  JpegEncodeOptions options;
  options.quality = 100;
  options.subsampleChroma = false;
  Result<DecodedImage> decoded = DecodeImage(Jpeg(image, options));
  ASSERT_TRUE(decoded.ok());
  const Rgba8 clear = decoded->pixels.At(4, 12), half = decoded->pixels.At(12, 12);
  EXPECT_GE(clear.r, 250);  // fully transparent black becomes white
  EXPECT_NEAR(half.r, 127, 3);
  EXPECT_EQ(clear.a, 255);
}

TEST(JpegTest, EncoderWritesResolutionOrientationAndProgression) {
  JpegEncodeOptions options;
  options.orientation = 8;
  options.progressive = true;
  Result<ImageInfo> info = ProbeImage(Jpeg(test::MakeGradient(30, 20), options, 300));
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->xPpi, 300);
  EXPECT_EQ(info->yPpi, 300);
  EXPECT_EQ(info->orientation, 8);
  EXPECT_EQ(info->DisplayWidth(), 20);
}

TEST(JpegTest, ReducedSizeIsTheSmallestDctScaleThatIsBigEnough) {
  std::vector<uint8_t> bytes = Jpeg(test::MakeGradient(800, 600));
  struct Case {
    int minW, minH, expectW, expectH;
  };
  const Case cases[] = {
      {0, 0, 800, 600},      // full size
      {100, 75, 100, 75},    // 1/8
      {101, 0, 200, 150},    // just over 1/8 wide: 2/8
      {0, 76, 200, 150},     // just over 1/8 high
      {350, 200, 400, 300},  // 4/8
      {500, 10, 500, 375},   // 5/8
      {801, 601, 800, 600},  // more than there is: full size
  };
  for (const Case& c : cases) {
    DecodeOptions options;
    options.minWidth = c.minW;
    options.minHeight = c.minH;
    Result<DecodedImage> d = DecodeImage(bytes, options);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d->pixels.width(), c.expectW) << c.minW << "x" << c.minH;
    EXPECT_EQ(d->pixels.height(), c.expectH) << c.minW << "x" << c.minH;
    EXPECT_DOUBLE_EQ(d->scale, double(c.expectW) / 800);
    EXPECT_FALSE(d->fromThumbnail);
  }
}

TEST(JpegTest, ReducedSizeHonoursOrientation) {
  // Stored 600 x 400 turned to 400 x 600: 300 high upright means 300 wide stored.
  JpegEncodeOptions options;
  options.orientation = 6;
  std::vector<uint8_t> bytes = Jpeg(test::MakeGradient(600, 400), options);
  DecodeOptions decode;
  decode.minWidth = 100;
  decode.minHeight = 300;
  Result<DecodedImage> d = DecodeImage(bytes, decode);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->pixels.width(), 200);
  EXPECT_EQ(d->pixels.height(), 300);
}

// Options asking for at least minWidth x minHeight pixels and allowing an
// embedded thumbnail to answer.
DecodeOptions ThumbnailAllowed(int minWidth, int minHeight) {
  DecodeOptions options;
  options.minWidth = minWidth;
  options.minHeight = minHeight;
  options.allowExifThumbnail = true;
  return options;
}

TEST(JpegTest, ExifThumbnailAnswersWhenBigEnoughAndAllowed) {
  std::vector<uint8_t> bytes = PhotoWithThumbnail(150, 100);
  Result<ImageInfo> info = ProbeImage(bytes);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->exifThumbnailWidth, 150);
  EXPECT_EQ(info->exifThumbnailHeight, 100);

  DecodeOptions options = ThumbnailAllowed(140, 90);
  Result<DecodedImage> thumb = DecodeImage(bytes, options);
  ASSERT_TRUE(thumb.ok());
  EXPECT_TRUE(thumb->fromThumbnail);
  EXPECT_EQ(thumb->pixels.width(), 150);
  EXPECT_TRUE(IsRed(thumb->pixels.At(75, 50)));
  EXPECT_EQ(thumb->info.width, 600);  // the header facts stay the main picture's

  options.allowExifThumbnail = false;
  Result<DecodedImage> scaled = DecodeImage(bytes, options);
  ASSERT_TRUE(scaled.ok());
  EXPECT_FALSE(scaled->fromThumbnail);
  EXPECT_TRUE(IsBlue(scaled->pixels.At(10, 10)));
  EXPECT_EQ(scaled->pixels.width(), 150);  // 2/8 of 600

  options.allowExifThumbnail = true;
  options.minWidth = 151;  // more than the thumbnail has
  Result<DecodedImage> bigger = DecodeImage(bytes, options);
  ASSERT_TRUE(bigger.ok());
  EXPECT_FALSE(bigger->fromThumbnail);
  EXPECT_TRUE(IsBlue(bigger->pixels.At(10, 10)));

  options.minWidth = options.minHeight = 0;  // full size never takes the thumbnail
  Result<DecodedImage> full = DecodeImage(bytes, options);
  ASSERT_TRUE(full.ok());
  EXPECT_FALSE(full->fromThumbnail);
  EXPECT_EQ(full->pixels.width(), 600);
}

TEST(JpegTest, ThumbnailFromAFileNeedsOnlyItsHead) {
  // Cut the photo right after its scan header: the thumbnail still answers,
  // which shows that the compressed picture is not read for it.
  std::vector<uint8_t> bytes = PhotoWithThumbnail(150, 100);
  size_t sos = 2;
  while (!(bytes[sos] == 0xFF && bytes[sos + 1] == 0xDA))
    sos += 2 + (size_t(bytes[sos + 2]) << 8 | bytes[sos + 3]);
  bytes.resize(sos + 4);
  test::TempFolder folder("tessaro-thumb");
  const std::string path = folder.Write("cut.jpg", bytes);
  DecodeOptions options = ThumbnailAllowed(100, 60);
  Result<DecodedImage> d = DecodeImageFile(path, options);
  options.allowExifThumbnail = false;
  Result<DecodedImage> withoutThumb = DecodeImageFile(path, options);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_TRUE(d->fromThumbnail);
  EXPECT_TRUE(IsRed(d->pixels.At(5, 5)));
  EXPECT_EQ(d->ppi, 72);
  EXPECT_FALSE(withoutThumb.ok());  // the main picture is cut off
}

TEST(JpegTest, LetterboxedThumbnailOfAnotherShapeIsNotUsed) {
  // 4:3 thumbnail of a 3:2 photo: cameras pad it with black bands.
  std::vector<uint8_t> bytes = PhotoWithThumbnail(160, 120);
  DecodeOptions options = ThumbnailAllowed(140, 90);
  Result<DecodedImage> d = DecodeImage(bytes, options);
  ASSERT_TRUE(d.ok());
  EXPECT_FALSE(d->fromThumbnail);
  EXPECT_TRUE(IsBlue(d->pixels.At(10, 10)));
}

TEST(JpegTest, ThumbnailIsTurnedLikeThePhoto) {
  std::vector<uint8_t> bytes = PhotoWithThumbnail(150, 100, 6);
  DecodeOptions options = ThumbnailAllowed(90, 140);
  Result<DecodedImage> d = DecodeImage(bytes, options);
  ASSERT_TRUE(d.ok());
  EXPECT_TRUE(d->fromThumbnail);
  EXPECT_EQ(d->pixels.width(), 100);
  EXPECT_EQ(d->pixels.height(), 150);
}

TEST(JpegTest, CameraOrientationsAllComeOutUpright) {
  TESSARO_NEED_CORPUS();
  Result<DecodedImage> upright = DecodeImageFile(test::CorpusPath("jpeg/exif_orientation/Landscape_1.jpg"));
  ASSERT_TRUE(upright.ok());
  for (int k = 2; k <= 8; ++k) {
    std::string path = test::CorpusPath("jpeg/exif_orientation/Landscape_" + std::to_string(k) + ".jpg");
    Result<DecodedImage> d = DecodeImageFile(path);
    ASSERT_TRUE(d.ok()) << k;
    EXPECT_EQ(d->info.orientation, k);
    test::ImageDifference diff = test::Difference(d->pixels, upright->pixels);
    ASSERT_TRUE(diff.sameSize) << k;
    // Each file was encoded separately: compare as photos, not bytes.
    EXPECT_GT(diff.psnr, 30) << "orientation " << k;
  }
  DecodeOptions asStored;
  asStored.applyOrientation = false;
  Result<DecodedImage> stored =
      DecodeImageFile(test::CorpusPath("jpeg/exif_orientation/Landscape_6.jpg"), asStored);
  ASSERT_TRUE(stored.ok());
  EXPECT_EQ(stored->pixels.width(), 1200);
}

TEST(JpegTest, AdobeCmykBecomesRgbLikeTheReference) {
  TESSARO_NEED_CORPUS();
  for (const char* rel : {"jpeg/cmyk_ycck_photoshop_100x100.jpg", "jpeg/cmyk_ycck_progressive.jpg"}) {
    std::string path = test::CorpusPath(rel);
    Result<DecodedImage> d = DecodeImageFile(path);
    ASSERT_TRUE(d.ok()) << rel;
    EXPECT_EQ(d->info.colorMode, "CMYK");
    test::ReferenceOptions byFormula;
    byFormula.cmykToRgb = true;
    std::optional<Image> reference = test::ReferenceDecode(path, byFormula);
    if (!reference) GTEST_SKIP();
    test::ImageDifference diff = test::Difference(d->pixels, *reference);
    // The same libjpeg on both sides; only the CMYK formula's rounding
    // differs (measured 1).
    EXPECT_LE(diff.maxDiff, 2) << rel << " " << diff;
  }
}

// A corpus picture decoded as stored and, with the same options otherwise,
// turned into sRGB by its profile.
struct StoredAndManaged {
  Result<DecodedImage> stored, managed;
};
StoredAndManaged DecodeBothWays(const std::string& relative, DecodeOptions options = {}) {
  const std::string path = test::CorpusPath(relative);
  options.convertToSrgb = false;
  Result<DecodedImage> stored = DecodeImageFile(path, options);
  options.convertToSrgb = true;
  return {std::move(stored), DecodeImageFile(path, options)};
}

TEST(JpegTest, EmbeddedProfileIsHonoured) {
  TESSARO_NEED_CORPUS();
  // The profile of this file maps stored R, G, B to G, B, R: only a decoder
  // that applies it shows the intended colours.
  auto [stored, managed] = DecodeBothWays("jpeg/icc_rgb_to_gbr_rotation.jpg");
  ASSERT_TRUE(stored.ok() && managed.ok());
  EXPECT_TRUE(managed->info.hasIcc);
  // Find a strongly coloured stored pixel and check that its channels moved.
  int moved = 0, checked = 0;
  for (int y = 0; y < stored->pixels.height(); y += 7) {
    for (int x = 0; x < stored->pixels.width(); x += 7) {
      Rgba8 s = stored->pixels.At(x, y), m = managed->pixels.At(x, y);
      if (s.r > 200 && s.g < 40 && s.b < 40) {
        ++checked;
        if (m.r < 100) ++moved;
      }
    }
  }
  ASSERT_GT(checked, 10);
  EXPECT_GT(moved, checked * 9 / 10);
}

TEST(JpegTest, SrgbProfileLeavesPixelsAlone) {
  TESSARO_NEED_CORPUS();
  auto [a, b] = DecodeBothWays("jpeg/baseline_444_photoshop_srgb_icc.jpg");
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(test::MaxDifference(a->pixels, b->pixels), 0);
}

TEST(JpegTest, AdobeRgbProfileChangesSaturatedColours) {
  TESSARO_NEED_CORPUS();
  DecodeOptions reduced;
  reduced.minWidth = 250;
  auto [a, b] = DecodeBothWays("jpeg/icc_adobe_rgb_1998_2000x1072.jpg", reduced);
  ASSERT_TRUE(a.ok() && b.ok());
  test::ImageDifference d = test::Difference(a->pixels, b->pixels);
  EXPECT_GT(d.maxDiff, 10);  // Adobe RGB greens are wider than sRGB's
  EXPECT_GT(d.psnr, 15);     // but it is still the same picture
}

TEST(JpegTest, DamagedFilesAreRefusedWithAMessage) {
  std::vector<uint8_t> good = Jpeg(test::MakeGradient(200, 200));
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* words;
  };
  std::vector<uint8_t> cut(good.begin(), good.begin() + long(good.size() / 2));
  std::vector<uint8_t> noFrame = {0xFF, 0xD8, 0xFF, 0xD9};
  // The first frame header's size: height, then width, two bytes each.
  const auto withSize = [&](std::initializer_list<uint8_t> size) {
    std::vector<uint8_t> bytes = good;
    for (size_t i = 2; i + 8 < bytes.size(); ++i)
      if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
        std::copy(size.begin(), size.end(), bytes.begin() + long(i) + 5);
        break;
      }
    return bytes;
  };
  std::vector<uint8_t> zeroSize = withSize({0, 0});                     // height 0
  std::vector<uint8_t> hugeClaim = withSize({0xFF, 0xFF, 0xFF, 0xFF});  // 65535 x 65535
  const Case cases[] = {{"truncated", cut, "truncated"},
                        {"no frame", noFrame, "frame"},
                        {"zero height", zeroSize, ""},
                        {"huge claim", hugeClaim, "too"}};
  for (const Case& c : cases) test::ExpectRefused(DecodeImage(c.bytes), c.words, c.name);
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

// Inserts `profile` after SOI as APP2 chunks of at most 65519 bytes.
std::vector<uint8_t> WithIccProfile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& profile) {
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  const size_t chunk = 65519;
  const int count = int((profile.size() + chunk - 1) / chunk);
  for (int i = 0; i < count; ++i) {
    size_t n = std::min(chunk, profile.size() - size_t(i) * chunk);
    size_t length = 2 + 12 + 2 + n;
    out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)});
    const char tag[] = "ICC_PROFILE";
    out.insert(out.end(), tag, tag + 12);
    out.push_back(uint8_t(i + 1));
    out.push_back(uint8_t(count));
    out.insert(out.end(), profile.begin() + long(size_t(i) * chunk),
               profile.begin() + long(size_t(i) * chunk + n));
  }
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

TEST(JpegTest, CmykProfileSpreadOverSeveralMarkersIsApplied) {
  TESSARO_NEED_CORPUS();
  // A press profile larger than one marker holds; package libgs-common
  // installs it (scripts/install-deps.sh).
  const std::string profilePath = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
  std::vector<uint8_t> profile = test::ReadBytes(profilePath);
  ASSERT_GE(profile.size(), 65520u) << profilePath << " is missing or too small for several markers";
  std::vector<uint8_t> plain = test::ReadBytes(test::CorpusPath("jpeg/cmyk_ycck_photoshop_100x100.jpg"));
  std::vector<uint8_t> managed = WithIccProfile(plain, profile);
  Result<ImageInfo> info = ProbeImage(managed);
  ASSERT_TRUE(info.ok());
  EXPECT_TRUE(info->hasIcc);
  Result<DecodedImage> byFormula = DecodeImage(plain);
  Result<DecodedImage> byProfile = DecodeImage(managed);
  ASSERT_TRUE(byFormula.ok() && byProfile.ok());
  test::ImageDifference d = test::Difference(byProfile->pixels, byFormula->pixels);
  // A real press profile moves colours noticeably but keeps the picture;
  // reading the Adobe inverted ink values the wrong way round would not.
  EXPECT_GT(d.maxDiff, 8);
  EXPECT_GT(d.psnr, 16);
  EXPECT_EQ(byProfile->pixels.At(50, 50).a, 255);
}

// A picture encoded band by band is the same file as the picture encoded
// whole, whatever the band height (one row, uneven, several MCU rows, the
// whole picture, the default) and whatever rows are partly transparent.
TEST(JpegTest, BandedEncodingWritesTheSameFileAsTheWholePicture) {
  const Image image = test::MakeGradient(203, 147, true);
  for (bool subsample : {false, true}) {
    JpegEncodeOptions options;
    options.quality = 90;
    options.subsampleChroma = subsample;
    const std::vector<uint8_t> whole = Jpeg(image, options, 300);
    for (int bandRows : {1, 7, 16, 100, 147, 0}) {
      int calls = 0, nextTop = 0;
      bool inOrder = true;
      auto source = [&](int top, int bottom) -> Result<Image> {
        ++calls;
        inOrder = inOrder && top == nextTop && bottom > top;
        nextTop = bottom;
        Image band;
        Status s = band.Create(image.width(), bottom - top);
        if (!s.ok()) return s;
        for (int y = top; y < bottom; ++y)
          std::copy(image.Row(y), image.Row(y) + image.width(), band.Row(y - top));
        return band;
      };
      Result<std::vector<uint8_t>> banded =
          EncodeJpegBands(image.width(), image.height(), bandRows, source, options, 300);
      ASSERT_TRUE(banded.ok()) << banded.message();
      EXPECT_EQ(*banded, whole) << "bands of " << bandRows << " rows, subsampled " << subsample;
      EXPECT_TRUE(inOrder) << "bands of " << bandRows << " rows";
      EXPECT_EQ(nextTop, image.height());
      if (bandRows > 0) {
        EXPECT_EQ(calls, (image.height() + bandRows - 1) / bandRows);
      }
    }
  }
}

// The next band is made beside the encoder, with the caller's share of
// threads, only when the caller may use a second thread; a caller held to
// one makes every band itself. The file is the same either way.
TEST(JpegTest, BandedEncodingKeepsTheCallersThreadLimit) {
  const Image image = test::MakeGradient(96, 120, false);
  for (int limit : {1, 2, 3}) {
    const ScopedThreadLimit scoped(limit);
    std::mutex lock;
    std::set<std::pair<std::thread::id, int>> makers;  // thread, its cap
    auto source = [&](int top, int bottom) -> Result<Image> {
      {
        std::lock_guard guard(lock);
        makers.insert({std::this_thread::get_id(), ParallelThreads()});
      }
      Image band;
      if (Status s = band.Create(image.width(), bottom - top); !s.ok()) return s;
      for (int y = top; y < bottom; ++y)
        std::copy(image.Row(y), image.Row(y) + image.width(), band.Row(y - top));
      return band;
    };
    Result<std::vector<uint8_t>> banded = EncodeJpegBands(image.width(), image.height(), 16, source, {}, 72);
    ASSERT_TRUE(banded.ok()) << banded.message();
    EXPECT_EQ(*banded, Jpeg(image, {}, 72)) << "limit " << limit;
    ASSERT_FALSE(makers.empty());
    for (const auto& [thread, cap] : makers) {
      EXPECT_EQ(cap, ParallelThreads()) << "limit " << limit;
      EXPECT_EQ(thread == std::this_thread::get_id(), ParallelThreads() == 1) << "limit " << limit;
    }
  }
}

// A band that cannot be made ends the encoding with its error (cancelled
// stays cancelled); a band of the wrong size is refused.
TEST(JpegTest, BandedEncodingStopsAtABandThatFails) {
  struct Case {
    const char* name;
    Status failure;  // given for the band at row 40
    int wrongWidth;  // else: the band at row 40 is this wide
    bool cancelled;
    const char* message;
  };
  const Case cases[] = {
      {"error", Status::Error("layer gone"), 0, false, "layer gone"},
      {"cancel", Status::Cancelled(), 0, true, ""},
      {"wrong size", Status::Ok(), 50, false, "wrong size"},
  };
  for (const Case& c : cases) {
    auto source = [&](int top, int bottom) -> Result<Image> {
      if (top == 40 && !c.failure.ok()) return c.failure;
      Image band;
      Status s =
          band.Create(top == 40 && c.wrongWidth ? c.wrongWidth : 64, bottom - top, Rgba8{9, 99, 199, 255});
      if (!s.ok()) return s;
      return band;
    };
    Result<std::vector<uint8_t>> bytes = EncodeJpegBands(64, 100, 20, source, {}, 72);
    ASSERT_FALSE(bytes.ok()) << c.name;
    EXPECT_EQ(bytes.status().cancelled(), c.cancelled) << c.name;
    EXPECT_NE(bytes.message().find(c.message), std::string::npos) << c.name << ": " << bytes.message();
  }
  EXPECT_FALSE(EncodeJpegBands(0, 10, 5, [](int, int) -> Result<Image> { return Image(); }).ok());
}

}  // namespace
}  // namespace tessaro
