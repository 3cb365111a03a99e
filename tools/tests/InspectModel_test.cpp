// tessaro-cli inspect on packages and set files: JSON on success, one line
// naming the file and the fault otherwise.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "model/SetFile.h"
#include "model/tests/Fakes.h"

namespace tessaro {
namespace {

using testing::ScopedTempDir;

struct CliRun {
  int Code = -1;
  std::string Out, Err;
};

CliRun Inspect(const ScopedTempDir& dir, const std::string& path) {
  const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
  const std::string command =
      "'" + cli + "' inspect '" + path + "' >'" + (dir / "out.txt") + "' 2>'" + (dir / "err.txt") + "'";
  CliRun r;
  const int status = std::system(command.c_str());
  r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto out = ReadWholeFile(dir / "out.txt");
  auto err = ReadWholeFile(dir / "err.txt");
  if (out.ok()) r.Out.assign(out->begin(), out->end());
  if (err.ok()) r.Err.assign(err->begin(), err->end());
  return r;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(InspectCommand, PrintsBothDescriptorsOfAPackage) {
  ScopedTempDir dir;
  testing::PackageSpec spec = testing::SlotsSpec({0, 1});
  spec.HeaderValue = 4321;
  spec.Spread = 1;
  spec.Placements = {{2, {1, 2, 3, 4}}, {1, {10, 20, 30, 40}}};
  testing::WritePackage(dir / "婚纱01", spec);
  CliRun r = Inspect(dir, dir / "婚纱01");
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_TRUE(Has(r.Out, "\"preview\"") && Has(r.Out, "\"result\"")) << r.Out;
  EXPECT_TRUE(Has(r.Out, "\"headerValue\": 4321")) << r.Out;
  EXPECT_TRUE(Has(r.Out, "\"spread\": 1"));
  EXPECT_TRUE(Has(r.Out, "\"photoType\": 1"));
  EXPECT_TRUE(Has(r.Out, "\"channelName\": \"通道1\""));
  EXPECT_LT(r.Out.find("通道1"), r.Out.find("通道2")) << "placements sorted by slot number";
  EXPECT_TRUE(Has(r.Out, "\"kind\": 2"));
}

TEST(InspectCommand, MalformedDescriptorNamesTheFileAndTheFault) {
  ScopedTempDir dir;
  testing::WritePackage(dir / "pkg", testing::SlotsSpec({1}));
  testing::WriteText(dir / "pkg/brivanto_b.dll", std::string("\x01"
                                                             "abcdefg",
                                                             8) +
                                                     "xy");
  CliRun r = Inspect(dir, dir / "pkg");
  EXPECT_NE(r.Code, 0);
  EXPECT_TRUE(r.Out.empty());
  EXPECT_TRUE(Has(r.Err, dir / "pkg/brivanto_b.dll")) << r.Err;
  EXPECT_TRUE(Has(r.Err, "not a multiple of 8")) << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << "one line";

  std::filesystem::remove(dir / "pkg/brivanto_a.dll");
  CliRun missing = Inspect(dir, dir / "pkg");
  EXPECT_NE(missing.Code, 0);
  EXPECT_TRUE(Has(missing.Err, "brivanto_a.dll")) << missing.Err;
}

TEST(InspectCommand, PrintsASetAsItWouldLoad) {
  ScopedTempDir dir;
  testing::WritePackage(dir / "pkg", testing::SlotsSpec({1, 1}));
  testing::WriteText(dir / "a.jpg", "x");
  // Stored: photo 1 (a.jpg) in both slots, photo 0 no longer on disk.
  TSetNode set;
  for (const char* name : {"brivanto_a.dll", "brivanto_b.dll"}) {
    auto t = ReadDescriptor(dir / (std::string("pkg/") + name), 0);
    ASSERT_NE(t, nullptr);
    t->Width = 8;
    t->Height = 10;
    t->SizeUnit = 1;
    t->SizeName = "10×8  (10英寸)";
    for (auto& s : t->Slots) {
      s->PhotoIndex = 1;
      s->Angle = 90;
    }
    (set.PreviewTemps.empty() ? set.PreviewTemps : set.ResultTemps).push_back(std::move(t));
  }
  for (const char* p : {"gone.jpg", "a.jpg"}) {
    set.Photos.push_back(std::make_unique<TPhotoInfoNode>());
    set.Photos.back()->FileName = dir / p;
  }
  auto bytes = EncodeSetFile(set);
  ASSERT_TRUE(bytes.ok());
  ASSERT_TRUE(WriteFileAtomic(dir / "s.cys", *bytes).ok());

  CliRun r = Inspect(dir, dir / "s.cys");
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_TRUE(Has(r.Out, "\"sizeName\": \"10×8  (10英寸)\"")) << r.Out;
  EXPECT_TRUE(Has(r.Out, "\"placedCount\": 2"));
  EXPECT_TRUE(Has(r.Out, "\"usageCount\": 2"));
  EXPECT_TRUE(Has(r.Out, "\"photoIndex\": 0")) << "indices shift past the dropped photo";
  EXPECT_TRUE(Has(r.Out, "\"angle\": 90"));
  EXPECT_TRUE(Has(r.Out, "\"photo\": \"" + dir / "a.jpg\""));
  EXPECT_TRUE(Has(r.Out, "\"droppedPhotos\": [\n    \"" + dir / "gone.jpg\"")) << r.Out;
}

TEST(InspectCommand, MalformedSetFileNamesTheFileAndTheFault) {
  ScopedTempDir dir;
  testing::WriteText(dir / "bad.cys", std::string("\xff\xff\xff\x7f", 4) + std::string(40, '\0'));
  CliRun r = Inspect(dir, dir / "bad.cys");
  EXPECT_NE(r.Code, 0);
  EXPECT_TRUE(Has(r.Err, dir / "bad.cys")) << r.Err;
  EXPECT_TRUE(Has(r.Err, "preview template count")) << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1);
  CliRun none = Inspect(dir, dir / "none.cys");
  EXPECT_NE(none.Code, 0);
  EXPECT_TRUE(Has(none.Err, "none.cys"));
}

}  // namespace
}  // namespace tessaro
