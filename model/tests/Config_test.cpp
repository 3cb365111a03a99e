#include "model/Config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "Fakes.h"
#include "model/Ini.h"
#include "model/Sizes.h"
#include "testing/ScopedEnv.h"

namespace tessaro {
namespace {

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  TIniFile ini = TIniFile::Parse(
      "\xEF\xBB\xBF; comment\r\nstray=1\r\n[AppSet]\r\n  Resolution = 300  "
      "\r\nresolution=1\r\n[appset]\r\nMarginH=5\r\n"
      "[Broken\nName=x\n[ Other ]\nkey=a=b\n");
  EXPECT_EQ(ini.ReadInteger("APPSET", "RESOLUTION", 0), 300) << "first of two equal keys wins";
  EXPECT_EQ(ini.ReadInteger("AppSet", "MarginH", 0), 5) << "a section named twice is one section";
  EXPECT_EQ(ini.ReadString("Other", "key", ""), "a=b");
  EXPECT_FALSE(ini.HasKey("Broken", "Name"));
  EXPECT_FALSE(ini.HasSection("stray"));
  EXPECT_EQ(ini.ReadString("AppSet", "missing", "dflt"), "dflt");
}

struct NumberCase {
  const char* text;
  int32_t integer;  // with fallback 42
  double real;      // with fallback -1
};

class IniNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(IniNumberTest, ReadsOrFallsBack) {
  const NumberCase& c = GetParam();
  TIniFile ini = TIniFile::Parse(std::string("[s]\nv=") + c.text + "\n");
  EXPECT_EQ(ini.ReadInteger("s", "v", 42), c.integer) << c.text;
  EXPECT_EQ(ini.ReadFloat("s", "v", -1), c.real) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Texts, IniNumberTest,
                         ::testing::Values(NumberCase{"12", 12, 12}, NumberCase{"-7", -7, -7},
                                           NumberCase{"+3", 3, 3}, NumberCase{"0x1F", 31, -1},
                                           NumberCase{"2147483647", 2147483647, 2147483647},
                                           NumberCase{"2147483648", 42, 2147483648.0},
                                           NumberCase{"-2147483649", 42, -2147483649.0},
                                           NumberCase{"8.30000019073486", 42, 8.30000019073486},
                                           NumberCase{"", 42, -1}, NumberCase{"abc", 42, -1},
                                           NumberCase{"--1", 42, -1}, NumberCase{"1e999", 42, -1},
                                           NumberCase{"nan", 42, -1}, NumberCase{"0x", 42, -1}));

TEST(IniFile, WritesOneLinePerValueAndReadsItBack) {
  TIniFile ini;
  ini.WriteString("A", "name", "two\nlines\r");
  ini.WriteBool("A", "flag", true);
  ini.WriteFloat("B", "w", static_cast<double>(8.3f));
  ini.WriteInteger("A", "name2", -5);
  ini.WriteString("a", "NAME", "replaced");
  EXPECT_EQ(ini.Serialize(), "[A]\nname=replaced\nflag=1\nname2=-5\n\n[B]\nw=8.30000019073486\n");
  TIniFile back = TIniFile::Parse(ini.Serialize());
  EXPECT_TRUE(back.ReadBool("A", "flag", false));
  EXPECT_EQ(static_cast<float>(back.ReadFloat("B", "w", 0)), 8.3f);
  TIniFile lines;
  lines.WriteString("A", "v", "two\nlines");
  EXPECT_EQ(TIniFile::Parse(lines.Serialize()).ReadString("A", "v", ""), "two lines");
}

TEST(Config, MissingFileGivesDefaults) {
  test::TempFolder dir;
  TAppSettings settings;
  settings.Resolution = 1;  // overwritten by the default
  TSizeList sizes;
  LoadConfig(dir / "sub/cfg.ini", settings, sizes);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub")) << "the folder is created before reading";
  EXPECT_EQ(settings.LanguageIndex, -1);
  EXPECT_EQ(settings.LanguageName, "");
  EXPECT_EQ(settings.TempPath, "");
  EXPECT_TRUE(settings.AutoResolution);
  EXPECT_EQ(settings.Resolution, 254);
  EXPECT_FALSE(settings.ShowWaterMark);
  EXPECT_EQ(settings.Orient, 0);
  EXPECT_EQ(settings.MarginH, 10);
  EXPECT_EQ(settings.MarginV, 10);
  EXPECT_EQ(settings.WaterMarkTrans, 60);
  EXPECT_EQ(settings.WaterMarkScale, 100);
  EXPECT_EQ(settings.ImageEditor, "") << "the desktop's handler";
  EXPECT_TRUE(sizes.empty());
}

TEST(Config, CustomSizesStopAtTheFirstGapAndSkipEmptySizes) {
  TIniFile ini = TIniFile::Parse(
      "[CustomSize0]\nName=a\nWidth=2\nHeight=3\n"
      "[CustomSize1]\nName=b\nWidth=0\nHeight=3\n"  // skipped, but the walk goes on
      "[CustomSize2]\nWidth=4\nHeight=5\nName=c\n"
      "[CustomSize4]\nName=after gap\nWidth=1\nHeight=1\n");
  TAppSettings settings;
  TSizeList sizes;
  AddBuiltInSizes(sizes);
  LoadConfigFromIni(ini, settings, sizes);
  ASSERT_EQ(sizes.size(), kBuiltInSizeCount + 2u);
  EXPECT_EQ(sizes[19]->Name, "a");
  EXPECT_EQ(sizes[19]->Id, 19);
  EXPECT_EQ(sizes[19]->SizeUnit, 1) << "unit default";
  EXPECT_EQ(sizes[19]->Custom, 1) << "type default";
  EXPECT_EQ(sizes[19]->SizeType, 0);
  EXPECT_EQ(sizes[20]->Name, "c");
  EXPECT_EQ(sizes[20]->Id, 20);
}

TEST(Config, GapAfterTheFirstSectionLoadsOnlyTheFirst) {
  TIniFile ini =
      TIniFile::Parse("[CustomSize0]\nName=a\nWidth=2\nHeight=3\n[CustomSize2]\nName=c\nWidth=4\nHeight=5\n");
  TAppSettings settings;
  TSizeList sizes;
  LoadConfigFromIni(ini, settings, sizes);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0]->Name, "a");
}

TEST(Config, UnreadableNumbersTakeDefaults) {
  TIniFile ini = TIniFile::Parse(
      "[CustomSize0]\nName=x\nWidth=abc\nHeight=2\n[CustomSize1]\nName=y\nWidth=1e39\nHeight=2\n"
      "[CustomSize2]\nName=z\nWidth=3\nHeight=2\nUnit=bad\nType=\n[AppSet]\nResolution=lots\nAutoResolution="
      "0\n"
      "ShowWaterMark=7\n");
  TAppSettings settings;
  TSizeList sizes;
  LoadConfigFromIni(ini, settings, sizes);
  ASSERT_EQ(sizes.size(), 1u) << "a width that is no float counts as absent (-1)";
  EXPECT_EQ(sizes[0]->Name, "z");
  EXPECT_EQ(sizes[0]->SizeUnit, 1);
  EXPECT_EQ(sizes[0]->Custom, 1);
  EXPECT_EQ(settings.Resolution, 254);
  EXPECT_FALSE(settings.AutoResolution);
  EXPECT_TRUE(settings.ShowWaterMark) << "any non-zero integer is true";
}

TEST(Config, SaveAndLoadKeepSettingsAndCustomSizes) {
  test::TempFolder dir;
  TAppSettings settings;
  settings.LanguageIndex = 3;
  settings.LanguageName = "简体中文";
  settings.TempPath = "/srv/模板";
  settings.AutoResolution = false;
  settings.Resolution = 300;
  settings.ShowWaterMark = true;
  settings.WaterMarkFile = "/srv/logo.png";
  settings.Orient = 8;
  settings.MarginH = 1;
  settings.MarginV = 2;
  settings.WaterMarkTrans = 30;
  settings.WaterMarkScale = 90;
  settings.ImageEditor = "gimp --new-instance";
  TSizeList sizes;
  AddBuiltInSizes(sizes);
  AddSize(sizes, "海报", 2, 20, 30, 1, 1);
  AddSize(sizes, "A4", 3, 8.3f, 11.7f, 1, 0);
  const std::string path = dir / "Brivanto/Tessaro/cfg.ini";
  ASSERT_TRUE(SaveConfig(path, settings, sizes).ok());

  auto text = ReadWholeFile(path);
  ASSERT_TRUE(text.ok());
  const std::string saved(text->begin(), text->end());
  EXPECT_NE(saved.find("[CustomSize0]\nName=海报\nWidth=20\nHeight=30\nUnit=2\nType=1\nSizeType=1\n"),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("Width=8.30000019073486\n"), std::string::npos);
  EXPECT_EQ(saved.find("CustomSize2"), std::string::npos) << "only custom sizes are written";
  EXPECT_EQ(saved.rfind("[Language]\nindex=3\nname=简体中文\n", 0), 0u) << "language keys come first";

  TAppSettings loaded;
  TSizeList again;
  AddBuiltInSizes(again);
  LoadConfig(path, loaded, again);
  EXPECT_EQ(loaded.LanguageIndex, 3);
  EXPECT_EQ(loaded.LanguageName, "简体中文");
  EXPECT_EQ(loaded.TempPath, "/srv/模板");
  EXPECT_FALSE(loaded.AutoResolution);
  EXPECT_EQ(loaded.Resolution, 300);
  EXPECT_TRUE(loaded.ShowWaterMark);
  EXPECT_EQ(loaded.WaterMarkFile, "/srv/logo.png");
  EXPECT_EQ(loaded.Orient, 8);
  EXPECT_EQ(loaded.MarginH, 1);
  EXPECT_EQ(loaded.MarginV, 2);
  EXPECT_EQ(loaded.WaterMarkTrans, 30);
  EXPECT_EQ(loaded.WaterMarkScale, 90);
  EXPECT_EQ(loaded.ImageEditor, "gimp --new-instance");
  EXPECT_NE(saved.find("\nImageEditor=gimp --new-instance\n"), std::string::npos) << saved;
  ASSERT_EQ(again.size(), kBuiltInSizeCount + 2u);
  EXPECT_EQ(again[19]->Width, 20.0f);
  EXPECT_EQ(again[19]->Height, 30.0f);
  EXPECT_EQ(again[19]->SizeType, 1);
  EXPECT_EQ(again[20]->Width, 8.3f);
  EXPECT_EQ(again[20]->Height, 11.7f);
  EXPECT_EQ(again[20]->SizeUnit, 3);
}

TEST(Config, SavingReplacesTheFileWithoutStaleSections) {
  test::TempFolder dir;
  const std::string path = dir / "cfg.ini";
  testing::WriteText(path, "[CustomSize5]\nName=old\n[Stale]\nx=1\n");
  TSizeList sizes;
  ASSERT_TRUE(SaveConfig(path, TAppSettings{}, sizes).ok());
  auto text = ReadWholeFile(path);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(std::string(text->begin(), text->end()).find("Stale"), std::string::npos);
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file is left behind";
}

TEST(Config, SaveReportsAFolderItCannotCreate) {
  test::TempFolder dir;
  testing::WriteText(dir / "taken", "a file where the folder should be");
  TSizeList sizes;
  Status s = SaveConfig(dir / "taken/Tessaro/cfg.ini", TAppSettings{}, sizes);
  EXPECT_FALSE(s.ok());
  TAppSettings loaded;
  LoadConfig(dir / "taken/Tessaro/cfg.ini", loaded, sizes);  // fails silently: defaults stay
  EXPECT_EQ(loaded.Resolution, 254);
}

TEST(Config, AFailedSaveIsShownWithTheReasonAndASuccessIsSilent) {
  test::TempFolder dir;
  testing::WriteText(dir / "taken", "a file where the folder should be");
  TSizeList sizes;
  {
    testing::FakeDialogs dialogs;
    dialogs.ExpectInfo(std::string("配置文件保存失败，本次的设置未能保存：") + (dir / "taken/Tessaro") +
                       ": cannot create the configuration folder");
    EXPECT_FALSE(SaveConfigAndTell(dir / "taken/Tessaro/cfg.ini", TAppSettings{}, sizes, dialogs).ok());
  }
  testing::FakeDialogs quiet;  // any box would be unexpected
  EXPECT_TRUE(SaveConfigAndTell(dir / "cfg/cfg.ini", TAppSettings{}, sizes, quiet).ok());
}

TEST(Config, SavingKeepsAPrivateFilePrivate) {
  test::TempFolder dir;
  const std::string path = dir / "cfg.ini";
  TSizeList sizes;
  ASSERT_TRUE(SaveConfig(path, TAppSettings{}, sizes).ok());
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(SaveConfig(path, TAppSettings{}, sizes).ok());
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Config, PathFollowsXdgConfigHome) {
  test::ScopedEnv home("HOME"), xdg("XDG_CONFIG_HOME", "/cfg/home/");
  EXPECT_EQ(ConfigFilePath(), "/cfg/home/Brivanto/Tessaro/cfg.ini");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(ConfigFilePath(), "/home/u/.config/Brivanto/Tessaro/cfg.ini") << "a relative value is ignored";
}

}  // namespace
}  // namespace tessaro
