// Format sniffing, dispatch, orientation, file probing and writing.
#include "imaging/codecs/Codecs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/FileIo.h"
#include "imaging/codecs/CodecsInternal.h"
#include "imaging/psd/Psd.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

struct SniffCase {
  const char* name;
  std::vector<uint8_t> head;
  const char* hint;
  ImageFormat expected;
};

std::vector<uint8_t> TgaHead(uint8_t type, uint8_t bits) {
  std::vector<uint8_t> h(18, 0);
  h[2] = type;
  h[12] = 4, h[14] = 3;
  h[16] = bits;
  return h;
}

class SniffTest : public ::testing::TestWithParam<SniffCase> {};

TEST_P(SniffTest, KnowsTheFormat) {
  const SniffCase& c = GetParam();
  EXPECT_EQ(SniffFormat(c.head, c.hint), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, SniffTest,
    ::testing::Values(
        SniffCase{"Jpeg", {0xFF, 0xD8, 0xFF, 0xE0}, "", ImageFormat::kJpeg},
        SniffCase{"Png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, "", ImageFormat::kPng},
        SniffCase{
            "PngWithBadLineEnd", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0D}, "", ImageFormat::kUnknown},
        SniffCase{"TiffLittle", {'I', 'I', 42, 0, 8, 0, 0, 0}, "", ImageFormat::kTiff},
        SniffCase{"TiffBig", {'M', 'M', 0, 42, 0, 0, 0, 8}, "", ImageFormat::kTiff},
        SniffCase{"BigTiff", {'I', 'I', 43, 0, 8, 0, 0, 0}, "", ImageFormat::kTiff},
        SniffCase{"Gif87", {'G', 'I', 'F', '8', '7', 'a'}, "", ImageFormat::kGif},
        SniffCase{"Gif89", {'G', 'I', 'F', '8', '9', 'a'}, "", ImageFormat::kGif},
        SniffCase{"Psd", {'8', 'B', 'P', 'S', 0, 1}, "photo.pdd", ImageFormat::kPsd},
        SniffCase{"Bmp", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0}, "", ImageFormat::kBmp},
        SniffCase{"BmpLettersOnly", {'B', 'M', 'W', 'h', 'a', 't'}, "", ImageFormat::kUnknown},
        SniffCase{"TgaByExtension", TgaHead(2, 24), ".TGA", ImageFormat::kTga},
        SniffCase{"TgaByPath", TgaHead(10, 32), "/photos/a.tga", ImageFormat::kTga},
        SniffCase{"TgaWithoutHint", TgaHead(2, 24), "", ImageFormat::kUnknown},
        SniffCase{"TgaHintButBadType", TgaHead(5, 24), "x.tga", ImageFormat::kUnknown},
        SniffCase{"TgaHintButBadDepth", TgaHead(2, 12), "x.tga", ImageFormat::kUnknown},
        SniffCase{"MagicBeatsExtension", {0xFF, 0xD8, 0xFF, 0xDB}, "x.tga", ImageFormat::kJpeg},
        SniffCase{"Empty", {}, "x.jpg", ImageFormat::kUnknown}),
    [](const auto& info) { return std::string(info.param.name); });

// A 3 x 2 picture whose pixels carry their stored coordinates.
Image Labelled() {
  Image image;
  image.Create(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image.At(x, y) = Rgba8{uint8_t(x), uint8_t(y), 0, 255};
  return image;
}

struct OrientCase {
  int orientation;
  // Upright picture, rows top to bottom, as stored "xy" labels.
  std::vector<std::vector<const char*>> rows;
};

class OrientationTest : public ::testing::TestWithParam<OrientCase> {};

TEST_P(OrientationTest, TurnsStoredPixelsUpright) {
  const OrientCase& c = GetParam();
  Image image = Labelled();
  ASSERT_TRUE(ApplyOrientation(image, c.orientation).ok());
  ASSERT_EQ(image.height(), int(c.rows.size()));
  ASSERT_EQ(image.width(), int(c.rows[0].size()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const char* label = c.rows[size_t(y)][size_t(x)];
      EXPECT_EQ(image.At(x, y).r, label[0] - '0')
          << "orientation " << c.orientation << " at " << x << "," << y;
      EXPECT_EQ(image.At(x, y).g, label[1] - '0')
          << "orientation " << c.orientation << " at " << x << "," << y;
    }
}

// Stored:  00 10 20
//          01 11 21
INSTANTIATE_TEST_SUITE_P(AllEight, OrientationTest,
                         ::testing::Values(OrientCase{1, {{"00", "10", "20"}, {"01", "11", "21"}}},
                                           OrientCase{2, {{"20", "10", "00"}, {"21", "11", "01"}}},
                                           OrientCase{3, {{"21", "11", "01"}, {"20", "10", "00"}}},
                                           OrientCase{4, {{"01", "11", "21"}, {"00", "10", "20"}}},
                                           OrientCase{5, {{"00", "01"}, {"10", "11"}, {"20", "21"}}},
                                           OrientCase{6, {{"01", "00"}, {"11", "10"}, {"21", "20"}}},
                                           OrientCase{7, {{"21", "20"}, {"11", "10"}, {"01", "00"}}},
                                           OrientCase{8, {{"20", "21"}, {"10", "11"}, {"00", "01"}}}),
                         [](const auto& info) {
                           return "Orientation" + std::to_string(info.param.orientation);
                         });

TEST(OrientationTest, OutOfRangeValuesLeaveThePicture) {
  for (int o : {0, 9, -1}) {
    Image image = Labelled();
    ASSERT_TRUE(ApplyOrientation(image, o).ok());
    EXPECT_EQ(image.width(), 3);
    EXPECT_EQ(image.At(2, 1), (Rgba8{2, 1, 0, 255}));
  }
}

TEST(OrientationTest, LargePictureTurnsLikeTheSmallReference) {
  // Several tiles wide so that the tiled copy is exercised at its edges.
  Image image = test::MakeGradient(131, 77, true);
  for (int o = 5; o <= 8; ++o) {
    Image turned = image.Clone();
    ASSERT_TRUE(ApplyOrientation(turned, o).ok());
    ASSERT_EQ(turned.width(), 77);
    ASSERT_EQ(turned.height(), 131);
    // Turning back: 6 and 8 undo each other, 5 and 7 undo themselves.
    int inverse = o == 6 ? 8 : o == 8 ? 6 : o;
    ASSERT_TRUE(ApplyOrientation(turned, inverse).ok());
    EXPECT_EQ(test::Compare(turned, image).maxChannel, 0) << o;
  }
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/tessaro-codecs-XXXXXX";
    FPath = mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(FPath); }
  std::string Path(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

TEST(DecodeImageTest, RefusesWhatIsNotAnImage) {
  std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
  Result<DecodedImage> r = DecodeImage(text, {}, "x.jpg");
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.message().find("not a recognised image format"), std::string::npos);
  EXPECT_FALSE(DecodeImage({}, {}).ok());
  EXPECT_FALSE(ProbeImage({}).ok());
}

TEST(DecodeImageTest, MissingFileNamesTheProblem) {
  Result<DecodedImage> r = DecodeImageFile("/nonexistent/photo.jpg");
  ASSERT_FALSE(r.ok());
  EXPECT_FALSE(r.message().empty());
  EXPECT_FALSE(ProbeImageFile("/nonexistent/photo.jpg").ok());
}

TEST(DecodeImageTest, PixelCapRefusesBeforeDecoding) {
  Result<std::vector<uint8_t>> png = EncodePng(test::MakeGradient(100, 100));
  ASSERT_TRUE(png.ok());
  DecodeOptions options;
  options.maxPixels = 9999;
  Result<DecodedImage> r = DecodeImage(*png, options);
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.message().find("too large"), std::string::npos);
  options.maxPixels = 10000;
  EXPECT_TRUE(DecodeImage(*png, options).ok());
}

TEST(DecodeImageTest, DefaultResolutionIs72AndStatedOneIsKept) {
  Image image = test::MakeGradient(20, 10);
  Result<std::vector<uint8_t>> png = EncodePng(image, 0);
  ASSERT_TRUE(png.ok());
  Result<DecodedImage> plain = DecodeImage(*png);
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(plain->info.xPpi, 0);
  EXPECT_EQ(plain->ppi, 72);
  png = EncodePng(image, 300);
  Result<DecodedImage> stated = DecodeImage(*png);
  ASSERT_TRUE(stated.ok());
  EXPECT_EQ(stated->ppi, 300);
}

TEST(ProbeImageFileTest, NeedsOnlyTheHeader) {
  // A JPEG cut right after its first scan header: no pixel data at all.
  Image image = test::MakeGradient(640, 480);
  JpegEncodeOptions options;
  options.orientation = 6;
  Result<std::vector<uint8_t>> jpeg = EncodeJpeg(image, options, 240);
  ASSERT_TRUE(jpeg.ok());
  std::vector<uint8_t> bytes = *jpeg;
  size_t sos = 2;
  while (!(bytes[sos] == 0xFF && bytes[sos + 1] == 0xDA))
    sos += 2 + (size_t(bytes[sos + 2]) << 8 | bytes[sos + 3]);
  bytes.resize(sos + 4);
  TempFolder folder;
  std::string path = folder.Path("head.jpg");
  ASSERT_TRUE(WriteFileAtomic(path, bytes).ok());
  Result<ImageInfo> info = ProbeImageFile(path);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_EQ(info->format, ImageFormat::kJpeg);
  EXPECT_EQ(info->width, 640);
  EXPECT_EQ(info->height, 480);
  EXPECT_EQ(info->orientation, 6);
  EXPECT_EQ(info->DisplayWidth(), 480);
  EXPECT_EQ(info->DisplayHeight(), 640);
  EXPECT_EQ(info->xPpi, 240);
  EXPECT_EQ(info->colorMode, "RGB");
  EXPECT_FALSE(DecodeImageFile(path).ok());  // decoding needs the data that is missing
}

TEST(ProbeImageFileTest, ReadsOnlyTheFirstBlocksOfABigFile) {
  JpegEncodeOptions options;
  options.quality = 98;
  Result<std::vector<uint8_t>> jpeg = EncodeJpeg(test::MakeGradient(2400, 1600, false), options);
  ASSERT_TRUE(jpeg.ok());
  ASSERT_GT(jpeg->size(), 300000u);
  TempFolder folder;
  std::string path = folder.Path("big.jpg");
  ASSERT_TRUE(WriteFileAtomic(path, *jpeg).ok());
  codecs::FileSource source;
  ASSERT_TRUE(source.Open(path).ok());
  Result<ImageInfo> info = codecs::ProbeJpeg(source);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->width, 2400);
  EXPECT_LE(source.BytesRead(), 64u * 1024);  // one block: the markers before the scan
}

TEST(ProbeImageFileTest, AgreesWithProbingTheBytes) {
  if (!test::CorpusAvailable()) GTEST_SKIP();
  for (const char* rel : {"jpeg/baseline_444_photoshop_srgb_icc.jpg", "png/icc_profile.png",
                          "tiff/strips_deflate_rgb8_photoshop_icc.tif", "gif/static_transparent.gif",
                          "bmp/pal8v5.bmp", "tga/gimp_200x32_rgba_tl_rle.tga"}) {
    std::string path = test::CorpusPath(rel);
    Result<ImageInfo> fromFile = ProbeImageFile(path);
    Result<ImageInfo> fromBytes = ProbeImage(test::ReadBytes(path), path);
    ASSERT_TRUE(fromFile.ok() && fromBytes.ok()) << rel;
    EXPECT_EQ(fromFile->width, fromBytes->width) << rel;
    EXPECT_EQ(fromFile->height, fromBytes->height) << rel;
    EXPECT_EQ(fromFile->colorMode, fromBytes->colorMode) << rel;
    EXPECT_EQ(fromFile->hasAlpha, fromBytes->hasAlpha) << rel;
    EXPECT_EQ(fromFile->hasIcc, fromBytes->hasIcc) << rel;
    EXPECT_EQ(fromFile->xPpi, fromBytes->xPpi) << rel;
  }
}

TEST(ProbeImageTest, ReportsHeaderFactsOfCorpusFiles) {
  if (!test::CorpusAvailable()) GTEST_SKIP();
  struct Expect {
    const char* rel;
    ImageFormat format;
    int width, height;
    const char* mode;
    bool alpha, icc;
    double ppi;
  };
  const Expect cases[] = {
      {"jpeg/baseline_444_photoshop_restart_200dpi.jpg", ImageFormat::kJpeg, 200, 200, "RGB", false, false,
       200},
      {"jpeg/cmyk_ycck_photoshop_100x100.jpg", ImageFormat::kJpeg, 100, 100, "CMYK", false, false, 0},
      {"jpeg/gray_icc_gamma22.jpg", ImageFormat::kJpeg, 400, 267, "Grayscale", false, true, 0},
      {"png/pngsuite/tbbn3p08.png", ImageFormat::kPng, 32, 32, "Indexed", true, false, 0},
      {"png/pngsuite/cdun2c08.png", ImageFormat::kPng, 32, 32, "RGB", false, false, 0},
      {"tiff/strips_none_cmyk8.tif", ImageFormat::kTiff, 73, 43, "CMYK", false, false, 0},
      {"tiff/strips_lzw_rgba8_assoc_alpha.tif", ImageFormat::kTiff, 256, 200, "RGB", true, false, 0},
      {"tiff/g4_bilevel.tif", ImageFormat::kTiff, 128, 128, "Bitmap", false, false, 0},
      {"gif/static_transparent.gif", ImageFormat::kGif, 200, 150, "Indexed", true, false, 0},
      {"bmp/questionable/rgba32.bmp", ImageFormat::kBmp, 127, 64, "RGB", true, false, 72},
      {"tga/gimp_200x32_la_bl_rle.tga", ImageFormat::kTga, 200, 32, "Grayscale", true, false, 0},
  };
  for (const Expect& e : cases) {
    std::string path = test::CorpusPath(e.rel);
    Result<ImageInfo> info = ProbeImageFile(path);
    ASSERT_TRUE(info.ok()) << e.rel << ": " << info.message();
    EXPECT_EQ(info->format, e.format) << e.rel;
    EXPECT_EQ(info->width, e.width) << e.rel;
    EXPECT_EQ(info->height, e.height) << e.rel;
    EXPECT_EQ(info->colorMode, e.mode) << e.rel;
    EXPECT_EQ(info->hasAlpha, e.alpha) << e.rel;
    EXPECT_EQ(info->hasIcc, e.icc) << e.rel;
    if (e.ppi > 0) {
      EXPECT_NEAR(info->xPpi, e.ppi, 0.01) << e.rel;
    }
  }
}

TEST(WriteImageFileTest, ChoosesTheEncoderByExtension) {
  TempFolder folder;
  Image image = test::MakeGradient(64, 48, true);
  WriteImageOptions options;
  options.ppi = 150;
  ASSERT_TRUE(WriteImageFile(folder.Path("a.PNG"), image, options).ok());
  ASSERT_TRUE(WriteImageFile(folder.Path("a.jpeg"), image, options).ok());
  Result<DecodedImage> png = DecodeImageFile(folder.Path("a.PNG"));
  Result<DecodedImage> jpg = DecodeImageFile(folder.Path("a.jpeg"));
  ASSERT_TRUE(png.ok() && jpg.ok());
  EXPECT_EQ(png->info.format, ImageFormat::kPng);
  EXPECT_EQ(jpg->info.format, ImageFormat::kJpeg);
  EXPECT_EQ(test::Compare(png->pixels, image).maxChannel, 0);  // PNG is lossless, alpha kept
  EXPECT_EQ(png->ppi, 150);
  EXPECT_EQ(jpg->ppi, 150);
}

TEST(EncodeJpegTest, RaisedCancelFlagStopsTheEncoder) {
  std::atomic<bool> cancel{true};
  JpegEncodeOptions options;
  options.cancel = &cancel;
  Result<std::vector<uint8_t>> jpeg = EncodeJpeg(test::MakeGradient(64, 64), options);
  ASSERT_FALSE(jpeg.ok());
  EXPECT_EQ(jpeg.message(), "cancelled");
  EXPECT_TRUE(jpeg.cancelled());
  cancel = false;
  EXPECT_TRUE(EncodeJpeg(test::MakeGradient(64, 64), options).ok());
}

TEST(EncodeJpegTest, CancelAfterTheOutputGrewReleasesEverythingOnce) {
  // Noise compresses badly, so the output buffer has grown several times
  // when the cancel arrives; an abandoned compression must free it once.
  Image noise;
  ASSERT_TRUE(noise.Create(2000, 2000).ok());
  uint32_t seed = 12345;
  for (size_t i = 0; i < noise.PixelCount(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    noise.data()[i] = Rgba8{uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(seed >> 8), 255};
  }
  std::atomic<bool> cancel{false};
  JpegEncodeOptions options;
  options.quality = 98;
  options.cancel = &cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    cancel = true;
  });
  Result<std::vector<uint8_t>> jpeg = EncodeJpeg(noise, options);
  canceller.join();
  if (!jpeg.ok()) {
    EXPECT_EQ(jpeg.message(), "cancelled");
    EXPECT_TRUE(jpeg.cancelled());
  }
}

TEST(WriteImageFileTest, UnknownExtensionWritesNothing) {
  TempFolder folder;
  Status s = WriteImageFile(folder.Path("a.webp"), test::MakeGradient(4, 4));
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find(".webp"), std::string::npos);
  EXPECT_FALSE(FileExists(folder.Path("a.webp")));
  EXPECT_FALSE(WriteImageFile(folder.Path("b.png"), Image()).ok());
}

TEST(WriteImageFileTest, LayeredDocumentHasOneNamedLayer) {
  TempFolder folder;
  Image image = test::MakeGradient(40, 30, true);
  WriteImageOptions options;
  options.layerName = "婚纱 01";
  Status s = WriteImageFile(folder.Path("a.psd"), image, options);
  if (!s.ok() && s.message().find("not built") != std::string::npos)
    GTEST_SKIP() << "layered-document writer not in this build";
  ASSERT_TRUE(s.ok()) << s.message();
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(folder.Path("a.psd"));
  ASSERT_TRUE(bytes.ok());
  Result<PsdInfo> info = ProbePsd(*bytes);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_EQ(info->width, 40);
  ASSERT_EQ(info->layerNames.size(), 1u);
  EXPECT_EQ(info->layerNames[0], "婚纱 01");
  Result<DecodedImage> merged = DecodeImage(*bytes);
  ASSERT_TRUE(merged.ok()) << merged.message();
  EXPECT_EQ(merged->info.format, ImageFormat::kPsd);
  // The merged image stores colour blended over white, so straight colour
  // comes back exactly only where the pixel is mostly opaque; alpha is exact.
  ASSERT_EQ(merged->pixels.width(), image.width());
  int worstOpaque = 0, worstAlpha = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      Rgba8 p = merged->pixels.At(x, y), q = image.At(x, y);
      worstAlpha = std::max(worstAlpha, std::abs(p.a - q.a));
      if (q.a >= 128)
        worstOpaque = std::max({worstOpaque, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  EXPECT_EQ(worstAlpha, 0);
  EXPECT_LE(worstOpaque, 1);
}

}  // namespace
}  // namespace tessaro
