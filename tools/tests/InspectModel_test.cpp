// tessaro-cli inspect on packages and set files: JSON on success, one line
// naming the file and the fault otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/ByteReader.h"
#include "model/SetFile.h"
#include "model/tests/Fakes.h"

namespace tessaro {
namespace {

using testing::ScopedTempDir;

struct CliRun {
  int Code = -1;
  std::string Out, Err;
};

// `limit`: a shell line run first (a ulimit).
CliRun Inspect(const ScopedTempDir& dir, const std::string& path, const std::string& limit = "") {
  const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
  const std::string command = (limit.empty() ? "" : limit + "; ") + "'" + cli + "' inspect '" + path +
                              "' >'" + (dir / "out.txt") + "' 2>'" + (dir / "err.txt") + "'";
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

// A set file naming `folder` in `times` records of both lists, with the
// photos given; written field by field.
void WriteSetNaming(const std::string& path, const std::string& folder, int times,
                    const std::vector<std::string>& photos) {
  ByteWriter w;
  auto text = [&](const std::string& t) {
    w.I32LE(static_cast<int32_t>(t.size()));
    w.Append(t);
  };
  for (int list = 0; list < 2; ++list) {
    w.I32LE(times);
    for (int i = 0; i < times; ++i) {
      text(folder);
      w.F32LE(8);
      w.F32LE(10);
      w.I32LE(1);
      w.I32LE(0);
      text("10x8");
      w.I32LE(0);
      text("2009_03_07_14_05_09");
      w.I32LE(0);
    }
  }
  w.I32LE(static_cast<int32_t>(photos.size()));
  for (const auto& p : photos) text(p);
  ASSERT_TRUE(WriteFileAtomic(path, w.Bytes()).ok());
}

using Json = nlohmann::json;

TEST(InspectCommand, GivesTheReasonForEachDroppedTemplateAndPhoto) {
  ScopedTempDir dir;
  testing::PackageSpec broken = testing::SlotsSpec({1});
  broken.ResultReadable = false;
  testing::WritePackage(dir / "broken", broken);
  testing::WriteText(dir / "notes.txt", "x");
  WriteSetNaming(dir / "s.cys", dir / "broken/", 1, {dir / "notes.txt", dir / "gone.jpg"});
  CliRun r = Inspect(dir, dir / "s.cys");
  ASSERT_EQ(r.Code, 0) << r.Err;
  Json j = Json::parse(r.Out);
  ASSERT_EQ(j["droppedTemplates"].size(), 1u);
  ASSERT_EQ(j["droppedTemplateReasons"].size(), 1u);
  const std::string reason = j["droppedTemplateReasons"][0];
  EXPECT_EQ(reason.rfind(dir / "broken/brivanto_b.dll: ", 0), 0u) << reason;
  EXPECT_EQ(j["droppedPhotoReasons"], Json::array({"not a picture type", "no such file"}));
}

// A set naming one package 50 times whose descriptors hold 20,000 slots: the
// package is read once and refused for its slot count.
TEST(InspectCommand, APackageWithMoreSlotsThanATemplateShowsIsDroppedWithTheReason) {
  ScopedTempDir dir;
  testing::WritePackage(dir / "huge", testing::SlotsSpec(std::vector<int>(20000, 1)));
  WriteSetNaming(dir / "s.cys", dir / "huge/", 50, {});
  CliRun r = Inspect(dir, dir / "s.cys");
  ASSERT_EQ(r.Code, 0) << r.Err;
  Json j = Json::parse(r.Out);
  EXPECT_TRUE(j["templates"].empty());
  ASSERT_EQ(j["droppedTemplateReasons"].size(), 50u);
  for (const auto& reason : j["droppedTemplateReasons"])
    EXPECT_TRUE(Has(reason, "slot count 20000 is more than a template can show")) << reason;
}

// Many records of a package as large as a template may be: the set asks for
// more memory than any real set and is refused as a whole.
TEST(InspectCommand, ASetAskingForTooMuchMemoryIsRefused) {
  ScopedTempDir dir;
  testing::PackageSpec wide = testing::SlotsSpec(std::vector<int>(256, 0));
  for (int i = 0; i < 1024; ++i) wide.Placements.push_back({1 + i % 256, TPlacementRect{0, 0, 1, 1}});
  testing::WritePackage(dir / "wide", wide);
  WriteSetNaming(dir / "s.cys", dir / "wide/", 2000, {});
  CliRun r = Inspect(dir, dir / "s.cys");
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err, "tessaro-cli: " + dir / "s.cys" +
                       ": its templates need more than 64 MB of memory; no real set "
                       "is that large\n");
}

TEST(InspectCommand, InputsThatAreNoFilesSaySo) {
  ScopedTempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.cys").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir / "zero.cys").c_str()), 0);
  ASSERT_EQ(::symlink("gone.cys", (dir / "dangling.cys").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir / "zero.jpg").c_str()), 0);
  const std::pair<const char*, const char*> cases[] = {
      {"fifo.cys", "not a regular file (a FIFO)"},
      {"zero.cys", "not a regular file (a character device)"},
      {"dangling.cys", "dangling symbolic link"},
      {"zero.jpg", "not a regular file (a character device)"},
  };
  for (auto [name, fault] : cases) {
    CliRun r = Inspect(dir, dir / name);
    EXPECT_EQ(r.Code, 1) << name;
    EXPECT_EQ(r.Err, "tessaro-cli: " + dir / name + ": " + fault + "\n");
  }
}

// Running out of memory ends in one line naming the input, not an abort.
TEST(InspectCommand, OutOfMemoryIsAOneLineErrorNamingTheInput) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  ScopedTempDir dir;
  // 40 MB of photo paths: reading and parsing them needs well over the limit.
  std::vector<std::string> photos(10000, "/" + std::string(4000, 'p') + ".jpg");
  WriteSetNaming(dir / "s.cys", dir / "pkg/", 0, photos);
  CliRun r = Inspect(dir, dir / "s.cys", "ulimit -v 120000");
  EXPECT_EQ(r.Code, 1) << r.Err;
  EXPECT_EQ(r.Err, "tessaro-cli: " + dir / "s.cys" + ": not enough memory to process it\n");
}

}  // namespace
}  // namespace tessaro
