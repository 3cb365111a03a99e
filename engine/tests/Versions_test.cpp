// The editor version table: parsing PSCfg.ini, choosing the entry, the
// shipped file, and the connection checks.
#include <gtest/gtest.h>

#include "base/FileIo.h"
#include "engine/PSVersions.h"
#include "engine/tests/FakeEditor.h"

namespace tessaro::enginetest {
namespace {

TEST(PSVersionsTest, SectionsAreReadInOrderUpToTheFirstMissingOne) {
  const TIniFile ini = TIniFile::Parse(
      "[PSVersion0]\nVersion=8.0\nJPEGSaveOptions={A}\nPhotoshopSaveOptions={B}\nActionDescriptor={C}\n"
      "ActionReference={D}\nActionList={E}\n"
      "[PSVersion1]\nVersion=9.0\nScale=0\n"
      "[PSVersion3]\nVersion=11.0\n");
  const TPSVersionList v = ParsePSVersions(ini);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].Version, "8.0");
  EXPECT_EQ(v[0].JPEGSaveOptions, "{A}");
  EXPECT_EQ(v[0].PhotoshopSaveOptions, "{B}");
  EXPECT_EQ(v[0].ActionDescriptor, "{C}");
  EXPECT_EQ(v[0].ActionReference, "{D}");
  EXPECT_EQ(v[0].ActionList, "{E}");
  EXPECT_TRUE(v[0].Scale);  // missing key: true
  EXPECT_EQ(v[1].Version, "9.0");
  EXPECT_FALSE(v[1].Scale);
  EXPECT_EQ(v[1].JPEGSaveOptions, "");
}

TEST(PSVersionsTest, HostileFilesGiveBoundedTables) {
  std::string many;
  for (int i = 0; i < kMaxPSVersions + 50; ++i) many += "[PSVersion" + std::to_string(i) + "]\nVersion=x\n";
  EXPECT_EQ(ParsePSVersions(TIniFile::Parse(many)).size(), size_t(kMaxPSVersions));
  EXPECT_TRUE(ParsePSVersions(TIniFile::Parse(std::string("\0\xff[PSVersion1]\n", 15))).empty());
  EXPECT_FALSE(LoadPSVersions("/nonexistent/PSCfg.ini").ok());
}

struct MatchCase {
  std::string editorVersion;
  int expected;
};

TEST(PSVersionsTest, FirstEntryWhoseVersionBeginsTheTrimmedVersionIsChosen) {
  TPSVersionList v(4);
  v[0].Version = "9.0";
  v[1].Version = "";  // never matches
  v[2].Version = "8.0";
  v[3].Version = "8";
  for (const MatchCase& c : std::vector<MatchCase>{
           {"8.0.1", 2}, {"  8.0\t", 2}, {"8.5", 3}, {"9.0 x64", 0}, {"7.0", -1}, {"", -1}, {"v8.0", -1}}) {
    EXPECT_EQ(FindPSVersion(v, c.editorVersion), c.expected) << "'" << c.editorVersion << "'";
  }
}

TEST(PSVersionsTest, ShippedTableMatchesTheBuiltInEditorInPixels) {
  Result<TPSVersionList> v = LoadPSVersions(std::string(TESSARO_SOURCE_DIR) + "/resources/PSCfg.ini");
  ASSERT_TRUE(v.ok()) << v.message();
  const int index = FindPSVersion(*v, std::string(au::kEditorVersion));
  ASSERT_GE(index, 0);
  const TPSGUIDNode& e = (*v)[index];
  EXPECT_FALSE(e.Scale);
  FakeApplication app;
  EXPECT_TRUE(au::CreateObjectAs<au::JPEGSaveOptions>(app, e.JPEGSaveOptions).ok());
  EXPECT_TRUE(au::CreateObjectAs<au::PhotoshopSaveOptions>(app, e.PhotoshopSaveOptions).ok());
  EXPECT_TRUE(au::CreateObjectAs<au::ActionDescriptor>(app, e.ActionDescriptor).ok());
  EXPECT_TRUE(au::CreateObjectAs<au::ActionReference>(app, e.ActionReference).ok());
  EXPECT_TRUE(au::CreateObjectAs<au::ActionList>(app, e.ActionList).ok());
  // The copy beside the programs in the build tree is the same file.
  Result<TPSVersionList> built = LoadPSVersions(std::string(TESSARO_BINARY_DIR) + "/tools/PSCfg.ini");
  ASSERT_TRUE(built.ok());
  EXPECT_EQ(built->size(), v->size());
}

TEST(PSVersionsTest, CheckReportsReadyUnsupportedOrCannotStart) {
  TPSVersionList v(1);
  v[0].Version = "tessaro-editor";
  struct Case {
    std::string version;
    bool makeable;
    TEditorCheck expected;
    int index;
  };
  for (const Case& c : std::vector<Case>{{"tessaro-editor 1.0", true, TEditorCheck::Ready, 0},
                                         {"other 2.0", true, TEditorCheck::Unsupported, -1},
                                         {"", false, TEditorCheck::CannotStart, -1}}) {
    TEditorFactory factory = [&]() -> std::shared_ptr<au::Application> {
      if (!c.makeable) return nullptr;
      auto app = std::make_shared<FakeApplication>();
      app->version = c.version;
      return app;
    };
    std::shared_ptr<au::Application> app;
    int index = 7;
    std::string name;
    EXPECT_EQ(CheckPhotoshop(app, factory, v, index, name), c.expected) << c.version;
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(name, c.expected == TEditorCheck::Ready ? "Fake" : "");
  }
}

TEST(PSVersionsTest, WorkerThatCannotConnectQueuesTheMessage) {
  TMessageQueue queue;
  EXPECT_EQ(ConnectPhotoshop([] { return std::shared_ptr<au::Application>(); }, &queue), nullptr);
  EXPECT_EQ(queue.TakeNext(), std::optional<std::string>(kEditorCannotStartQueued));
  EXPECT_NE(ConnectPhotoshop([] { return std::make_shared<FakeApplication>(); }, &queue), nullptr);
  EXPECT_EQ(queue.Size(), 0u);
}

}  // namespace
}  // namespace tessaro::enginetest
