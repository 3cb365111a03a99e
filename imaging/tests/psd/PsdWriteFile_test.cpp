// Writing layered documents straight to a file: the same bytes as the
// in-memory writer, for documents spanning many bands and batches, PSB
// included; a cancelled or failed write leaves nothing behind and keeps the
// old file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/codecs/Registry.h"
#include "imaging/psd/Psd.h"
#include "imaging/tests/psd/PsdTestUtil.h"
#include "testing/ImageDiff.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// A fresh empty folder below this test program's scratch folder.
std::string EmptyFolder(const std::string& name) {
  static const test::TempFolder scratch("tessaro-psd-write");
  const std::string dir = scratch / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Noise that PackBits cannot shrink, so that rows and bands are long.
Image Noise(int width, int height, bool transparent) {
  Image img;
  img.Create(width, height);
  uint32_t state = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      img.At(x, y) = Rgba8{uint8_t(state >> 24), uint8_t(state >> 16), uint8_t(x / 3),
                           uint8_t(transparent && x < 5 ? y : 255)};
    }
  return img;
}

struct DocCase {
  const char* name;
  PsdDocument (*make)();
};

PsdDocument Sample() { return psdtest::SampleDocument(); }
PsdDocument SampleAsPsb() {
  PsdDocument d = psdtest::SampleDocument(40, 30);
  d.psb = true;
  return d;
}
// Taller than one batch of bands on any machine: 70 bands of 256 rows.
PsdDocument TallNoise() {
  PsdDocument d;
  d.width = 37;
  d.height = 256 * 70 - 3;
  d.composite = Noise(d.width, d.height, true);
  PsdLayer l;
  l.name = "noise";
  l.bounds = IntRect{0, 0, d.width, d.height};
  l.pixels = Noise(d.width, d.height, false);
  d.layers.push_back(std::move(l));
  PsdLayer empty;  // no pixels of its own: written transparent
  empty.name = "empty";
  empty.bounds = IntRect{3, 3, 20, 900};
  d.layers.push_back(std::move(empty));
  return d;
}
PsdDocument NoLayers() {
  PsdDocument d;
  d.width = 300;
  d.height = 700;
  d.composite = Noise(d.width, d.height, false);
  return d;
}

class PsdWriteFileTest : public ::testing::TestWithParam<DocCase> {};

TEST_P(PsdWriteFileTest, SameBytesAsInMemory) {
  const PsdDocument doc = GetParam().make();
  Result<std::vector<uint8_t>> memory = WritePsd(doc);
  ASSERT_TRUE(memory.ok()) << memory.message();
  const std::string dir = EmptyFolder(std::string("stream_") + GetParam().name);
  const std::string path = dir + "/doc.psd";
  ASSERT_TRUE(WritePsdFile(path, doc).ok());
  Result<std::vector<uint8_t>> file = ReadWholeFile(path);
  ASSERT_TRUE(file.ok());
  ASSERT_EQ(file->size(), memory->size());
  EXPECT_TRUE(*file == *memory) << "the streamed file differs from the in-memory one";
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"doc.psd"});
  Result<PsdDocument> back = ReadPsd(*file);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_EQ(back->layers.size(), doc.layers.size());
  EXPECT_EQ(test::Difference(back->composite, doc.composite).maxAlpha, 0);
}

INSTANTIATE_TEST_SUITE_P(Documents, PsdWriteFileTest,
                         ::testing::Values(DocCase{"Sample", Sample}, DocCase{"SampleAsPsb", SampleAsPsb},
                                           DocCase{"TallNoise", TallNoise}, DocCase{"NoLayers", NoLayers}),
                         [](const ::testing::TestParamInfo<DocCase>& p) {
                           return std::string(p.param.name);
                         });

// WriteImageFile streams .psd; the codec's in-memory encoder (which copies
// the picture into a document) must give the same file.
TEST(PsdWriteFileTest, SingleLayerFileMatchesTheEncoder) {
  const codecs::ImageCodec* codec = codecs::FindCodec(ImageFormat::kPsd);
  ASSERT_NE(codec, nullptr);
  ASSERT_NE(codec->encode, nullptr);
  struct Case {
    Image image;
    const char* layerName;
    double ppi;
  };
  Case cases[] = {{Noise(64, 600, false), "", 300}, {Noise(129, 40, true), "Photo ü", 0}};
  const std::string dir = EmptyFolder("single");
  for (Case& c : cases) {
    WriteImageOptions options;
    options.layerName = c.layerName;
    options.ppi = c.ppi;
    Result<std::vector<uint8_t>> encoded = codec->encode(c.image, options);
    ASSERT_TRUE(encoded.ok());
    const std::string path = dir + "/one.psd";
    ASSERT_TRUE(WriteImageFile(path, c.image, options).ok());
    Result<std::vector<uint8_t>> file = ReadWholeFile(path);
    ASSERT_TRUE(file.ok());
    EXPECT_TRUE(*file == *encoded) << c.image.width() << " x " << c.image.height();
  }
}

TEST(PsdWriteFileTest, CancelledWriteKeepsTheOldFileAndLeavesNothing) {
  const std::string dir = EmptyFolder("cancel");
  const std::string path = dir + "/doc.psd";
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("old contents")).ok());
  ::chmod(path.c_str(), 0640);
  std::atomic<bool> flag{true};
  PsdWriteOptions options;
  options.cancel = CancelToken(&flag);
  const PsdDocument doc = TallNoise();
  Status s = WritePsdFile(path, doc, options);
  EXPECT_TRUE(s.cancelled()) << s.message();
  Status one = WriteSingleLayerPsdFile(path, doc.composite, "x", 72, options);
  EXPECT_TRUE(one.cancelled()) << one.message();
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"doc.psd"});
  Result<std::vector<uint8_t>> kept = ReadWholeFile(path);
  ASSERT_TRUE(kept.ok());
  EXPECT_EQ(std::string(kept->begin(), kept->end()), "old contents");

  // A new file after a cancel is not there at all.
  const std::string fresh = dir + "/new.psd";
  EXPECT_TRUE(WritePsdFile(fresh, doc, options).cancelled());
  EXPECT_FALSE(fs::exists(fresh));
  // Once written, the replaced file keeps the old file's mode.
  flag = false;
  ASSERT_TRUE(WritePsdFile(path, doc, options).ok());
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"doc.psd"});
}

TEST(PsdWriteFileTest, FailuresLeaveNothing) {
  const std::string dir = EmptyFolder("fail");
  const PsdDocument doc = Sample();
  // No such folder; the target is a folder; the document is invalid.
  EXPECT_FALSE(WritePsdFile(dir + "/missing/doc.psd", doc).ok());
  fs::create_directory(dir + "/taken.psd");
  Status folder = WritePsdFile(dir + "/taken.psd", doc);
  EXPECT_FALSE(folder.ok());
  EXPECT_NE(folder.message().find("taken.psd"), std::string::npos) << folder.message();
  PsdDocument bad = Sample();
  bad.composite = Image();
  EXPECT_FALSE(WritePsdFile(dir + "/bad.psd", bad).ok());
  EXPECT_FALSE(WriteSingleLayerPsdFile(dir + "/empty.psd", Image(), "x", 72).ok());
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"taken.psd"});
  EXPECT_TRUE(fs::is_empty(dir + "/taken.psd"));
}

}  // namespace
}  // namespace tessaro
