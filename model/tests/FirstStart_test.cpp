#include "model/FirstStart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/FileIo.h"
#include "model/Photos.h"
#include "model/SetFile.h"
#include "model/tests/Fakes.h"
#include "testing/ScopedEnv.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

// A demo as the build makes it: packages in <root>/<library>, photos in
// <root>/<demo>/photos and demo.cys naming them by absolute paths, with
// photos placed in slots and adjusted.
void MakeDemo(const std::string& library, const std::string& demo) {
  testing::WritePackage(JoinPath(library, "婚纱01_花园"), testing::SlotsSpec({1, 1, 0}));
  testing::WritePackage(JoinPath(library, "儿童01_气球"), testing::SlotsSpec({1}));
  const std::string photos = JoinPath(demo, "photos");
  for (const char* name : {"sunset.jpg", "cutout.png"}) testing::WriteText(JoinPath(photos, name), "x");

  TDiskSetFileSource disk;
  TSetNode set;
  for (const char* name : {"婚纱01_花园", "儿童01_气球"}) {
    const int index = static_cast<int>(set.PreviewTemps.size());
    auto a = disk.ReadDescriptor(JoinPath(JoinPath(library, name), kPreviewDescriptorName), index);
    auto b = disk.ReadDescriptor(JoinPath(JoinPath(library, name), kResultDescriptorName), index);
    ASSERT_TRUE(a && b);
    for (TTempNode* t : {a.get(), b.get()}) {
      t->Folder = WithTrailingSeparator(JoinPath(library, name));
      t->Width = 10;
      t->Height = 8;
      t->SizeUnit = 1;
      t->SizeName = "10×8";
      t->ImportStamp = "2025_06_14_10_00_00";
    }
    set.PreviewTemps.push_back(std::move(a));
    set.ResultTemps.push_back(std::move(b));
  }
  for (const char* name : {"sunset.jpg", "cutout.png"}) {
    set.Photos.push_back(std::make_unique<TPhotoInfoNode>());
    set.Photos.back()->FileName = JoinPath(photos, name);
  }
  AssignPhotoToSlot(&set, set.PreviewTemps[0]->Slots[1].get(), 0, TPhotoRows{});
  AssignPhotoToSlot(&set, set.PreviewTemps[0]->Slots[2].get(), 1, TPhotoRows{});
  set.PreviewTemps[0]->Slots[1]->ScaleX = 1.25f;
  set.PreviewTemps[0]->Slots[1]->Angle = 3.0f;
  auto bytes = EncodeSetFile(set);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  ASSERT_TRUE(WriteFileAtomic(JoinPath(demo, "demo.cys"), *bytes).ok());
}

TEST(FindDemo, LooksBesideTheProgramInBothLayouts) {
  test::TempFolder dir;
  MakeDemo(dir / "build/resources/templates", dir / "build/resources/demo");
  MakeDemo(dir / "prefix/share/tessaro/templates", dir / "prefix/share/tessaro/demo");
  MakeDirectories(dir / "incomplete/resources/templates");
  MakeDirectories(dir / "incomplete/resources/demo/photos");  // no demo.cys

  struct Case {
    std::string AppDir;
    std::string Library;  // expected; empty: no demo
  } cases[] = {
      {dir / "build/app", dir / "build/resources/templates/"},
      {dir / "build/app/", dir / "build/resources/templates/"},
      {dir / "prefix/bin", dir / "prefix/share/tessaro/templates/"},
      {dir / "incomplete/app", ""},
      {dir / "elsewhere/bin", ""},
  };
  for (const Case& c : cases) {
    auto place = FindDemo(c.AppDir);
    if (c.Library.empty()) {
      EXPECT_FALSE(place) << c.AppDir;
      continue;
    }
    ASSERT_TRUE(place) << c.AppDir;
    EXPECT_EQ(place->Library, c.Library);
    EXPECT_TRUE(FileExists(place->SetFile)) << place->SetFile;
    EXPECT_TRUE(DirectoryExists(place->Photos)) << place->Photos;
  }
}

TEST(PrepareFirstStart, WritesTheDemoSetForWhereTheDemoIsInstalled) {
  test::TempFolder dir;
  // Made in a build tree, then moved into an installation: the build-time
  // set still names the build tree, which is gone.
  MakeDemo(dir / "build/resources/templates", dir / "build/resources/demo");
  fs::create_directories(dir / "prefix/share");
  fs::rename(dir / "build/resources", dir / "prefix/share/tessaro");

  TAppSettings settings;
  const std::string data = dir / "home/.local/share/Brivanto/Tessaro/";
  const std::string setFile = PrepareFirstStart(dir / "config/cfg.ini", dir / "prefix/bin", data, settings);
  ASSERT_EQ(setFile, JoinPath(data, kDemoSetFileName));
  EXPECT_EQ(settings.TempPath, dir / "prefix/share/tessaro/templates/");
  EXPECT_EQ(fs::status(data).permissions() & fs::perms::all, fs::perms::owner_all);

  TDiskSetFileSource disk;
  TSetLoadReport report;
  auto set = ReadSetFile(setFile, disk, &report);
  ASSERT_TRUE(set.ok()) << set.message();
  EXPECT_TRUE(report.DroppedTemplates.empty() && report.DroppedPhotos.empty());
  ASSERT_EQ((*set)->PreviewTemps.size(), 2u);
  EXPECT_EQ((*set)->PreviewTemps[1]->Folder, dir / "prefix/share/tessaro/templates/儿童01_气球/");
  ASSERT_EQ((*set)->Photos.size(), 2u);
  EXPECT_EQ((*set)->Photos[1]->FileName, dir / "prefix/share/tessaro/demo/photos/cutout.png");
  const TTempNode& first = *(*set)->PreviewTemps[0];
  EXPECT_EQ(first.Slots[0]->PhotoIndex, -1);
  EXPECT_EQ(first.Slots[1]->PhotoIndex, 0);
  EXPECT_EQ(first.Slots[2]->PhotoIndex, 1);
  EXPECT_FLOAT_EQ(first.Slots[1]->ScaleX, 1.25f);
  EXPECT_FLOAT_EQ(first.Slots[1]->Angle, 3.0f);
}

TEST(PrepareFirstStart, DoesNothingWhenNotFirstStartOrWithoutDemo) {
  test::TempFolder dir;
  MakeDemo(dir / "build/resources/templates", dir / "build/resources/demo");
  testing::WriteText(dir / "config/cfg.ini", "[AppSet]\n");

  TAppSettings settings;
  settings.TempPath = "/my/templates/";
  EXPECT_EQ(PrepareFirstStart(dir / "config/cfg.ini", dir / "build/app", dir / "data/", settings), "");
  EXPECT_FALSE(DirectoryExists(dir / "data")) << "a later start writes nothing";

  EXPECT_EQ(PrepareFirstStart(dir / "config/none.ini", dir / "nowhere/bin", dir / "data/", settings), "");

  // First start with the demo: a template folder the user already has is kept.
  EXPECT_NE(PrepareFirstStart(dir / "config/none.ini", dir / "build/app", dir / "data/", settings), "");
  EXPECT_EQ(settings.TempPath, "/my/templates/");
}

TEST(WriteRelocatedDemoSet, RefusesBrokenOrEmptyDemoSets) {
  test::TempFolder dir;
  MakeDemo(dir / "r/templates", dir / "r/demo");
  auto place = FindDemo(dir / "app");
  ASSERT_FALSE(place);
  TDemoPlace demo{dir / "r/templates/", dir / "r/demo/photos/", dir / "r/demo/demo.cys"};
  ASSERT_TRUE(WriteRelocatedDemoSet(demo, dir / "ok.cys").ok());

  const std::vector<uint8_t> good = test::ReadBytes(demo.SetFile);
  struct Case {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"cut short", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)},
      {"huge count", {0xff, 0xff, 0xff, 0x7f}},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileAtomic(demo.SetFile, c.Bytes).ok());
    EXPECT_FALSE(WriteRelocatedDemoSet(demo, dir / "bad.cys").ok()) << c.Name;
    EXPECT_FALSE(FileExists(dir / "bad.cys")) << c.Name;
  }

  // Packages missing where the demo should be: nothing is left to open.
  ASSERT_TRUE(WriteFileAtomic(demo.SetFile, good).ok());
  fs::remove_all(dir / "r/templates");
  MakeDirectories(dir / "r/templates");
  EXPECT_FALSE(WriteRelocatedDemoSet(demo, dir / "bad.cys").ok());
}

TEST(UserDataFolder, FollowsXdgDataHomeElseHome) {
  test::TempFolder dir;
  ScopedEnv home("HOME", (dir / "home").c_str());
  {
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(UserDataFolder(), dir / "xdg/Brivanto/Tessaro/");
  }
  for (const char* ignored : {"relative/path", ""}) {
    ScopedEnv xdg("XDG_DATA_HOME", ignored);
    EXPECT_EQ(UserDataFolder(), dir / "home/.local/share/Brivanto/Tessaro/") << ignored;
  }
}

}  // namespace
}  // namespace tessaro
