// The format registry: its rows, the choice of writer by extension, and the
// resolution written with every writable format.
#include "imaging/codecs/Registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "base/Text.h"
#include "imaging/tests/codecs/TestSupport.h"

namespace tessaro {
namespace {

using codecs::FormatEntry;
using codecs::Formats;
using codecs::ImageCodec;

std::string FirstExtension(const ImageCodec& codec) {
  return std::string(codec.extensions.substr(0, codec.extensions.find(' ')));
}

TEST(RegistryTest, RowsAreDistinctAndComplete) {
  std::set<ImageFormat> ids;
  std::set<std::string> names, extensions;
  for (const FormatEntry& entry : Formats()) {
    const ImageCodec& codec = entry.codec;
    SCOPED_TRACE(codec.name);
    EXPECT_NE(entry.id, ImageFormat::kUnknown);
    EXPECT_TRUE(ids.insert(entry.id).second);
    EXPECT_TRUE(names.insert(codec.name).second);
    EXPECT_EQ(codecs::FindCodec(entry.id), &codec);
    EXPECT_STREQ(ImageFormatName(entry.id), codec.name);
    EXPECT_TRUE(codec.sniff && codec.probe && codec.decode);
    ASSERT_FALSE(codec.extensions.empty());
    // Lower case, with the dot, owned by one format only.
    std::string_view list = codec.extensions;
    for (size_t start = 0; start < list.size();) {
      size_t end = std::min(list.find(' ', start), list.size());
      std::string ext(list.substr(start, end - start));
      EXPECT_EQ(ext[0], '.') << ext;
      EXPECT_EQ(ext, AsciiLower(ext));
      EXPECT_TRUE(extensions.insert(ext).second) << ext;
      EXPECT_TRUE(codecs::HasExtension(codec, ext));
      start = end + 1;
    }
    EXPECT_FALSE(codecs::HasExtension(codec, ""));
    EXPECT_FALSE(codecs::HasExtension(codec, "."));
  }
  // The formats the system reads.
  for (ImageFormat f : {ImageFormat::kJpeg, ImageFormat::kPng, ImageFormat::kTiff, ImageFormat::kGif,
                        ImageFormat::kBmp, ImageFormat::kTga, ImageFormat::kPsd})
    EXPECT_TRUE(ids.count(f)) << ImageFormatName(f);
  EXPECT_EQ(codecs::FindCodec(ImageFormat::kUnknown), nullptr);
  EXPECT_STREQ(ImageFormatName(ImageFormat::kUnknown), "unknown");
}

TEST(RegistryTest, OutputFormatFollowsTheExtension) {
  struct Case {
    const char* path;
    ImageFormat expected;
  };
  const Case cases[] = {
      {"a.jpg", ImageFormat::kJpeg},      {"dir.x/a.JPEG", ImageFormat::kJpeg},
      {"a.jpe", ImageFormat::kJpeg},      {"a.Png", ImageFormat::kPng},
      {"a.psd", ImageFormat::kPsd},       {"a.psb", ImageFormat::kUnknown},
      {"a.tga", ImageFormat::kUnknown},   {"a.tif", ImageFormat::kUnknown},
      {"a.webp", ImageFormat::kUnknown},  {"jpg", ImageFormat::kUnknown},
      {"a.png/b", ImageFormat::kUnknown}, {"", ImageFormat::kUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(OutputFormatOf(c.path), c.expected) << c.path;
  EXPECT_EQ(WritableExtensions(), ".jpg, .png or .psd");
}

// Every format that is written carries the resolution of the write options,
// is known again by its signature and decodes to the picture's size.
TEST(RegistryTest, EveryWritableFormatCarriesTheResolution) {
  const test::TempFolder scratch("tessaro-registry");
  const std::string folder = scratch.Path();
  const Image image = test::MakeGradient(24, 16, false);
  WriteImageOptions options;
  options.ppi = 150;
  int written = 0;
  for (const FormatEntry& entry : Formats()) {
    if (!entry.codec.encode) continue;
    SCOPED_TRACE(entry.codec.name);
    const std::string path = folder + "/picture" + FirstExtension(entry.codec);
    ASSERT_TRUE(WriteImageFile(path, image, options).ok());
    Result<ImageInfo> info = ProbeImageFile(path);
    ASSERT_TRUE(info.ok()) << info.message();
    EXPECT_EQ(info->format, entry.id);
    EXPECT_EQ(info->width, 24);
    EXPECT_EQ(info->height, 16);
    EXPECT_NEAR(info->xPpi, 150, 0.01);
    Result<DecodedImage> decoded = DecodeImageFile(path);
    ASSERT_TRUE(decoded.ok()) << decoded.message();
    EXPECT_NEAR(decoded->ppi, 150, 0.01);
    ++written;
  }
  EXPECT_EQ(written, 3);
}

}  // namespace
}  // namespace tessaro
