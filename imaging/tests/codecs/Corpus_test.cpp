// Every photo file of the shared corpus either decodes to what an independent
// decoder (ImageMagick) makes of it, within a tolerance per format, or - when
// the corpus calls it corrupt or bad - is refused with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "imaging/codecs/Codecs.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

using test::CorpusFiles;
using test::CorpusPath;

bool MustBeRefused(const std::string& path) {
  // Only an optional Adobe marker is cut short there; the picture is whole.
  if (path == "jpeg/corrupt/truncated_app14_segment.jpg") return false;
  return path.find("/corrupt/") != std::string::npos || path.find("/bad/") != std::string::npos ||
         path == "tiff/float32_gray.tiff";  // floating-point samples: refused as unsupported
}

bool MayBeRefused(const std::string& path) { return path.find("/unsupported/") != std::string::npos; }

// Largest channel difference allowed against the reference decode. JPEG:
// both sides use libjpeg's integer IDCT, but up-sampling and colour
// conversion may differ by a few levels.
struct Tolerance {
  int maxChannel;
  double minPsnr;
};
Tolerance ToleranceFor(const std::string& path) {
  if (path.rfind("jpeg/", 0) == 0) return {12, 38.0};
  // Plain CMYK formula and PNG gamma conversion: ImageMagick computes at 16
  // bits, this decoder at 8.
  if (path.find("cmyk") != std::string::npos || path.find("16.png") != std::string::npos) return {2, 48.0};
  if (path.rfind("tiff/", 0) == 0 && path.find("jpeg") != std::string::npos) return {12, 38.0};
  return {1, 48.0};
}

// Files where this decoder deliberately differs from ImageMagick's reading;
// each is covered by a focused test elsewhere.
const std::map<std::string, std::string>& Deviations() {
  static const std::map<std::string, std::string> kDeviations = {
      {"png/pngsuite/g03n2c08.png", "ImageMagick applies no gamma other than 1.0 (formula test in Png_test)"},
      {"png/pngsuite/g25n2c08.png", "ImageMagick applies no gamma other than 1.0 (formula test in Png_test)"},
      {"tiff/camera_ycbcr_exif_thumbnail_ifd.tif", "ImageMagick misreads uncompressed subsampled YCbCr"},
      {"tiff/tiled_ojpeg_ycbcr.tif", "ImageMagick misreads the chroma of old-style JPEG"},
      {"gif/animated_small.gif", "outside the first frame: transparent here, background colour there"},
      {"gif/animated_disposal.gif", "outside the first frame: transparent here, background colour there"},
      {"bmp/questionable/pal4rletrns.bmp", "pixels the runs skip are transparent here"},
      {"bmp/questionable/pal8rletrns.bmp", "pixels the runs skip are transparent here"},
      {"bmp/questionable/pal8os2v2.bmp", "ImageMagick misreads 64-byte OS/2 headers"},
      {"bmp/questionable/rgb16-231.bmp", "mask values are scaled to the full 0..255 range here"},
      {"bmp/questionable/rgba16-4444.bmp", "mask values are scaled to the full 0..255 range here"},
      {"bmp/questionable/rgb32fakealpha.bmp", "the fourth byte of 32-bit BI_RGB pixels is not alpha"},
      {"tga/rle32_origin_top_right.tga",
       "ImageMagick ignores right-to-left and uses alpha the header denies"},
      {"tga/round_grill_extension_area.tga", "ImageMagick flips it and uses alpha the header denies"},
      {"tga/id_field.tga",
       "ImageMagick turns this bottom-up file upside down (its text reads correctly here)"},
  };
  return kDeviations;
}

// "tga/gimp_200x32_rgb_bl_raw.tga" -> "tga/gimp_200x32_rgb_reference.png".
std::string TgaReference(const std::string& rel) {
  if (rel.rfind("tga/gimp_200x32_", 0) != 0 || rel.size() < 4 || rel.substr(rel.size() - 4) != ".tga")
    return {};
  size_t kindEnd = rel.find('_', std::string("tga/gimp_200x32_").size());
  return rel.substr(0, kindEnd) + "_reference.png";
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, DecodesLikeReferenceOrIsRefused) {
  const std::string rel = GetParam();
  const std::string path = CorpusPath(rel);
  DecodeOptions options;
  options.applyOrientation = false;
  // ImageMagick applies no embedded profile, but turns PNGs of gamma 1.0 into
  // sRGB; other colour conversions have their own tests.
  options.convertToSrgb = rel.rfind("png/", 0) == 0 && rel.find("icc") == std::string::npos;
  Result<DecodedImage> decoded = DecodeImageFile(path, options);
  if (MustBeRefused(rel)) {
    EXPECT_FALSE(decoded.ok()) << rel << " should be refused";
    if (!decoded.ok()) {
      EXPECT_FALSE(decoded.message().empty());
    }
    return;
  }
  if (MayBeRefused(rel) && !decoded.ok()) return;
  ASSERT_TRUE(decoded.ok()) << rel << ": " << decoded.message();
  const Image& pixels = decoded->pixels;

  Result<ImageInfo> probed = ProbeImageFile(path);
  ASSERT_TRUE(probed.ok()) << rel << ": " << probed.message();
  EXPECT_EQ(probed->width, pixels.width());
  EXPECT_EQ(probed->height, pixels.height());
  EXPECT_EQ(probed->format, decoded->info.format);

  if (Deviations().count(rel)) return;
  std::optional<Image> reference;
  std::string tgaReference = TgaReference(rel);
  if (!tgaReference.empty()) {
    // The corpus carries the expected pixels of these files.
    Result<DecodedImage> expected = DecodeImageFile(CorpusPath(tgaReference), options);
    ASSERT_TRUE(expected.ok());
    reference = std::move(expected->pixels);
  } else {
    reference = test::ReferenceDecode(path, probed->colorMode == "CMYK", probed->format == ImageFormat::kGif);
  }
  if (!reference) GTEST_SKIP() << "no reference decoder";
  test::Difference d = test::Compare(pixels, *reference);
  ASSERT_TRUE(d.sameSize) << rel << ": " << pixels.width() << "x" << pixels.height() << " vs "
                          << reference->width() << "x" << reference->height();
  Tolerance t = ToleranceFor(rel);
  EXPECT_LE(d.maxChannel, t.maxChannel) << rel << " psnr " << d.psnr;
  EXPECT_GE(d.psnr, t.minPsnr) << rel << " max " << d.maxChannel;
}

std::vector<std::string> AllPhotoFiles() {
  std::vector<std::string> all;
  if (!test::CorpusAvailable()) return all;
  for (const char* folder : {"jpeg", "png", "tiff", "gif", "bmp", "tga"}) {
    auto files = CorpusFiles(folder);
    all.insert(all.end(), files.begin(), files.end());
  }
  return all;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Photos, CorpusTest, ::testing::ValuesIn(AllPhotoFiles()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusTest);

}  // namespace
}  // namespace tessaro
