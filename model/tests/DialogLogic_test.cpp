#include "model/DialogLogic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "model/Sizes.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

TEST(ParseWholeNumber, AcceptsSignedDecimalsWithBlanksOnly) {
  struct Case {
    const char* text;
    std::optional<int32_t> expected;
  };
  const Case cases[] = {
      {" 254 ", 254}, {"+5", 5},  {"-3", -3},   {"0", 0},    {"1.0", {}},        {"abc", {}},
      {"", {}},       {"  ", {}}, {"12a", {}},  {"$FF", {}}, {"2147483648", {}}, {"-2147483648", INT32_MIN},
      {"1 2", {}},    {"+", {}},  {"0x10", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseWholeNumber(c.text), c.expected) << '"' << c.text << '"';
}

// Fields that pass every check: an existing folder and watermark file.
class SettingsChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Dir.File("templates"));
    Mark = Dir.Write("logo.png", "not really a picture");
    Good.TempPath = " " + Dir.File("templates") + " ";
    Good.FixResolution = true;
    Good.Resolution = "254";
    Good.Watermark = true;
    Good.WatermarkFile = Mark;
    Good.Positions[2] = true;
    Good.MarginH = "10";
    Good.MarginV = "20";
    Good.Trans = "60";
    Good.Scale = "100";
  }
  test::TempFolder Dir{"dialog-logic"};
  std::string Mark;
  TSetFormFields Good;
};

void SetField(TSetFormFields& f, TSetField field, const std::string& text) {
  std::string* targets[] = {nullptr,    &f.TempPath, &f.Resolution, &f.WatermarkFile, &f.MarginH,
                            &f.MarginV, &f.Trans,    &f.Scale,      &f.ImageEditor};
  *targets[static_cast<int>(field)] = text;
}

TEST_F(SettingsChecks, EachEntryIsRefusedWithItsMessageInOrder) {
  using F = TSetField;
  enum Choice { kAsIs, kAutomatic, kWatermarkOff, kCentred };
  struct Case {
    Choice choice;
    std::vector<std::pair<F, std::string>> changes;  // applied to the valid fields
    std::string message;                             // empty: accepted
    F field;
  };
  const std::string gone = Dir.File("gone"), folder = Dir.File("templates");
  const Case cases[] = {
      {kAsIs, {}, "", F::None},
      {kAsIs, {{F::TempPath, "   "}}, "", F::None},
      {kAsIs, {{F::TempPath, gone}}, kBadTempPathText, F::TempPath},
      {kAsIs, {{F::TempPath, Mark}}, kBadTempPathText, F::TempPath},
      {kAsIs, {{F::TempPath, gone}, {F::Resolution, "0"}}, kBadTempPathText, F::TempPath},
      {kAsIs, {{F::Resolution, "0"}}, kBadResolutionText, F::Resolution},
      {kAsIs, {{F::Resolution, "301"}}, kBadResolutionText, F::Resolution},
      {kAsIs, {{F::Resolution, "1"}}, "", F::None},
      {kAsIs, {{F::Resolution, "300"}}, "", F::None},
      {kAsIs, {{F::Resolution, "high"}}, kBadResolutionText, F::Resolution},
      {kAutomatic, {{F::Resolution, "high"}}, "", F::None},
      {kAsIs, {{F::Resolution, "0"}, {F::WatermarkFile, ""}}, kBadResolutionText, F::Resolution},
      {kAsIs, {{F::WatermarkFile, gone}}, kMissingWatermarkText, F::WatermarkFile},
      {kAsIs, {{F::WatermarkFile, folder}}, kMissingWatermarkText, F::WatermarkFile},
      {kAsIs, {{F::MarginH, "-1"}}, kBadMarginHText, F::MarginH},
      {kAsIs, {{F::MarginH, "1001"}}, kBadMarginHText, F::MarginH},
      {kAsIs, {{F::MarginH, "1000"}}, "", F::None},
      {kAsIs, {{F::MarginV, "1001"}}, kBadMarginVText, F::MarginV},
      {kAsIs, {{F::MarginH, "x"}, {F::MarginV, "x"}}, kBadMarginHText, F::MarginH},
      {kAsIs, {{F::MarginV, "x"}, {F::Trans, "x"}}, kBadMarginVText, F::MarginV},
      {kAsIs, {{F::Trans, "101"}}, kBadTransText, F::Trans},
      {kAsIs, {{F::Trans, "0"}}, "", F::None},
      {kAsIs, {{F::Trans, "x"}, {F::Scale, "x"}}, kBadTransText, F::Trans},
      {kAsIs, {{F::Scale, "0"}}, kBadScaleText, F::Scale},
      {kAsIs, {{F::Scale, "301"}}, kBadScaleText, F::Scale},
      {kAsIs, {{F::Scale, "2.5"}}, kBadScaleText, F::Scale},
      {kCentred, {{F::MarginV, ""}}, kBadMarginVText, F::MarginV},
      {kWatermarkOff, {{F::WatermarkFile, ""}, {F::Scale, "bad"}}, "", F::None},
      {kWatermarkOff, {{F::MarginH, "bad"}, {F::Trans, "bad"}}, "", F::None},
      {kAsIs, {{F::ImageEditor, "no-such-editor-here --new"}}, kBadImageEditorText, F::ImageEditor},
  };
  for (const Case& c : cases) {
    TSetFormFields f = Good;
    f.FixResolution = c.choice != kAutomatic;
    f.Watermark = c.choice != kWatermarkOff;
    if (c.choice == kCentred) f.Positions = {false, false, false, false, true};
    std::string what;
    for (const auto& [field, text] : c.changes) {
      SetField(f, field, text);
      what += " [" + std::to_string(static_cast<int>(field)) + "]=" + text;
    }
    const TSetCheck check = CheckSettingsFields(f, "");
    EXPECT_EQ(check.Message, c.message) << what;
    EXPECT_EQ(check.Field, c.field) << what;
  }
}

TEST_F(SettingsChecks, EditorCommandIsLookedUpOnTheSearchPath) {
  const std::string program = Dir.Write("bin/my editor", "#!/bin/sh\n");
  fs::permissions(program, fs::perms::owner_all);
  const std::string notExecutable = Dir.Write("bin/plain", "text");
  struct Case {
    std::string command;
    bool ok;
  };
  const Case cases[] = {
      {"plain", false}, {"\"my editor\" --flag", true}, {"\"" + program + "\"", true}, {notExecutable, false},
      {"my", false},
  };
  for (const Case& c : cases) {
    TSetFormFields f = Good;
    f.ImageEditor = c.command;
    EXPECT_EQ(CheckSettingsFields(f, "/nonexistent:" + Dir.File("bin")).Ok(), c.ok) << c.command;
  }
}

TEST_F(SettingsChecks, StoresOnlyWhatTheChoicesSay) {
  TAppSettings before;
  before.Resolution = 150;
  before.WaterMarkFile = "old.png";
  before.Orient = 7;
  before.MarginH = 1;
  before.MarginV = 2;
  before.WaterMarkTrans = 3;
  before.WaterMarkScale = 4;

  {  // fixed resolution, watermark on, two buttons checked: the first counts
    TAppSettings s = before;
    TSetFormFields f = Good;
    f.Positions[6] = true;
    f.Resolution = " 254 ";
    f.ImageEditor = "  ";
    ASSERT_TRUE(StoreSettingsFields(f, s, "").Ok());
    EXPECT_EQ(s.TempPath, Dir.File("templates")) << "trimmed";
    EXPECT_FALSE(s.AutoResolution);
    EXPECT_EQ(s.Resolution, 254);
    EXPECT_TRUE(s.ShowWaterMark);
    EXPECT_EQ(s.WaterMarkFile, Mark);
    EXPECT_EQ(s.Orient, 2);
    EXPECT_EQ(s.MarginH, 10);
    EXPECT_EQ(s.MarginV, 20);
    EXPECT_EQ(s.WaterMarkTrans, 60);
    EXPECT_EQ(s.WaterMarkScale, 100);
    EXPECT_EQ(s.ImageEditor, "");
  }
  {  // automatic resolution and watermark off keep the values they hide
    TAppSettings s = before;
    TSetFormFields f = Good;
    f.FixResolution = false;
    f.Resolution = "77";
    f.Watermark = false;
    f.MarginH = "500";
    f.TempPath = "";
    ASSERT_TRUE(StoreSettingsFields(f, s, "").Ok());
    EXPECT_EQ(s.TempPath, "");
    EXPECT_TRUE(s.AutoResolution);
    EXPECT_EQ(s.Resolution, 150);
    EXPECT_FALSE(s.ShowWaterMark);
    EXPECT_EQ(s.WaterMarkFile, "old.png");
    EXPECT_EQ(s.Orient, 7);
    EXPECT_EQ(s.MarginH, 1);
  }
  {  // no position checked stores position 0
    TAppSettings s = before;
    TSetFormFields f = Good;
    f.Positions = {};
    ASSERT_TRUE(StoreSettingsFields(f, s, "").Ok());
    EXPECT_EQ(s.Orient, 0);
  }
  {  // a failing check changes nothing, not even what passed before it
    TAppSettings s = before;
    s.TempPath = "/keep";
    TSetFormFields f = Good;
    f.Scale = "0";
    EXPECT_EQ(StoreSettingsFields(f, s, "").Message, kBadScaleText);
    EXPECT_EQ(s.TempPath, "/keep");
    EXPECT_TRUE(s.AutoResolution);
    EXPECT_EQ(s.Resolution, 150);
    EXPECT_FALSE(s.ShowWaterMark);
  }
}

TEST_F(SettingsChecks, OpeningDropsVanishedFolderAndWatermark) {
  TAppSettings s;
  s.TempPath = Dir.File("templates");
  s.WaterMarkFile = Mark;
  EXPECT_FALSE(DropMissingSettingsPaths(s));
  EXPECT_EQ(s.TempPath, Dir.File("templates"));
  EXPECT_EQ(s.WaterMarkFile, Mark);

  fs::remove(Dir.File("templates"));
  fs::remove(Mark);
  EXPECT_TRUE(DropMissingSettingsPaths(s));
  EXPECT_EQ(s.TempPath, "");
  EXPECT_EQ(s.WaterMarkFile, "");

  s.TempPath = Dir.Write("file-not-folder", "x");
  s.WaterMarkFile = Dir.Path();
  EXPECT_TRUE(DropMissingSettingsPaths(s));
  EXPECT_EQ(s.TempPath, "");
  EXPECT_EQ(s.WaterMarkFile, "");
}

TEST(SettingsToFields, ShowsNumbersAndChecksThePositionOfItsCode) {
  TAppSettings s;
  s.AutoResolution = false;
  s.Resolution = 300;
  s.Orient = 5;
  s.MarginH = 0;
  s.WaterMarkScale = 250;
  TSetFormFields f = SettingsToFields(s);
  EXPECT_TRUE(f.FixResolution);
  EXPECT_EQ(f.Resolution, "300");
  EXPECT_EQ(f.MarginH, "0");
  EXPECT_EQ(f.Scale, "250");
  for (int i = 0; i < kPositionCount; ++i) EXPECT_EQ(f.Positions[i], i == 5) << i;
  for (int orient : {-1, 9, 100}) {
    s.Orient = orient;
    f = SettingsToFields(s);
    EXPECT_EQ(std::count(f.Positions.begin(), f.Positions.end(), true), 0) << orient;
  }
}

TEST(MarginEnabling, FollowsThePositionGridAndTheSwitch) {
  // Columns: left, middle, right; rows: top, middle, bottom.
  const TMarginEnabling on[kPositionCount] = {
      {true, true},  {false, true},  {true, true},   // top row
      {true, false}, {false, false}, {true, false},  // middle row
      {true, true},  {false, true},  {true, true},   // bottom row
  };
  for (int code = 0; code < kPositionCount; ++code) {
    EXPECT_EQ(MarginEnabling(true, code), on[code]) << code;
    EXPECT_EQ(MarginEnabling(false, code), (TMarginEnabling{false, false})) << code;
  }
  EXPECT_EQ(MarginEnabling(true, -1), (TMarginEnabling{true, true}));
  EXPECT_EQ(MarginEnabling(true, 10), (TMarginEnabling{true, true}));
}

TEST(PositionCode, FirstCheckedButtonOrZero) {
  std::array<bool, kPositionCount> p{};
  EXPECT_EQ(PositionCode(p), 0);
  p[8] = true;
  EXPECT_EQ(PositionCode(p), 8);
  p[3] = true;
  EXPECT_EQ(PositionCode(p), 3);
}

// ---- Custom sizes ----

TSizeList CatalogueWithCustom(std::initializer_list<const char*> names) {
  TSizeList list;
  AddBuiltInSizes(list);
  for (const char* n : names) AddSize(list, n, kUnitInch, 10, 10, 1, 0);
  return list;
}

TEST(CustomSizeChecks, EachEntryIsRefusedWithItsMessageFocusAndUnit) {
  struct Case {
    const char* name;
    bool album, spread;
    const char* width;
    const char* height;
    int32_t unit;
    std::string message;
    TSizeField focus;
  };
  const std::string cm = "厘米", mm = "毫米", px = "象素";
  const Case cases[] = {
      {"新尺寸", true, false, "48", "80", kUnitInch, "", TSizeField::None},
      {"  ", true, false, "10", "10", kUnitInch, kEmptySizeNameText, TSizeField::Name},
      {"mine", true, false, "10", "10", kUnitInch, kDuplicateSizeNameText, TSizeField::Name},
      {"  mine ", true, false, "10", "10", kUnitInch, kDuplicateSizeNameText, TSizeField::Name},
      {"12×8  (12英寸)", true, false, "10", "10", kUnitInch, kDuplicateSizeNameText, TSizeField::Name},
      {"12×8 (12英寸)", true, false, "10", "10", kUnitInch, "", TSizeField::None},
      {"MINE", true, false, "10", "10", kUnitInch, "", TSizeField::None},
      {"x", false, false, "10", "10", kUnitInch, kNoSizeKindText, TSizeField::None},
      {"x", false, false, "abc", "abc", kUnitInch, kNoSizeKindText, TSizeField::None},
      {"x", true, false, "abc", "10", kUnitInch, kBadWidthText, TSizeField::Width},
      {"x", false, true, "", "10", kUnitInch, kBadWidthText, TSizeField::Width},
      {"x", true, false, "0", "10", kUnitInch, kWidthNotPositiveText, TSizeField::Width},
      {"x", true, false, "-2", "abc", kUnitInch, kWidthNotPositiveText, TSizeField::Width},
      {"x", true, false, "48.1", "10", kUnitInch, std::string(kWidthTooLargeText) + "英寸】",
       TSizeField::Width},
      {"x", true, false, "122", "10", kUnitCentimetre, kWidthTooLargeText + cm + "】", TSizeField::Width},
      {"x", true, false, "121.9", "10", kUnitCentimetre, "", TSizeField::None},
      {"x", true, false, "4608", "10", kUnitPixel, "", TSizeField::None},
      {"x", true, false, "4609", "10", kUnitPixel, kWidthTooLargeText + px + "】", TSizeField::Width},
      {"x", false, true, "96", "10", kUnitInch, "", TSizeField::None},
      {"x", false, true, "96.2", "10", kUnitInch, std::string(kWidthTooLargeText) + "英寸】",
       TSizeField::Width},
      {"x", true, false, "10", "1e", kUnitInch, kBadHeightText, TSizeField::Height},
      {"x", true, false, "10", "0", kUnitInch, kHeightNotPositiveText, TSizeField::Height},
      {"x", true, false, "10", "80.1", kUnitInch, std::string(kHeightTooLargeText) + "英寸】",
       TSizeField::Height},
      {"x", true, false, "10", "2033", kUnitMillimetre, kHeightTooLargeText + mm + "】", TSizeField::Height},
      {"x", true, false, "10", "2032", kUnitMillimetre, "", TSizeField::None},
      {"x", true, false, "10", "1e39", kUnitInch, kBadHeightText, TSizeField::Height},
  };
  const TSizeList list = CatalogueWithCustom({"mine"});
  for (const Case& c : cases) {
    TCustomSizeFields f;
    f.Name = c.name;
    f.Album = c.album;
    f.Spread = c.spread;
    f.Width = c.width;
    f.Height = c.height;
    f.WidthUnit = f.HeightUnit = c.unit;
    const TCustomSizeCheck check = CheckCustomSize(f, list);
    EXPECT_EQ(check.Message, c.message) << c.name << " " << c.width << " x " << c.height;
    EXPECT_EQ(check.Focus, c.focus) << c.name << " " << c.width << " x " << c.height;
    EXPECT_EQ(check.CheckAlbumRadio, c.message == kNoSizeKindText) << c.name;
  }
}

TEST(CustomSizeChecks, EachBoxNamesItsOwnUnit) {
  const TSizeList list = CatalogueWithCustom({});
  TCustomSizeFields f;
  f.Name = "x";
  f.Width = "10";
  f.Height = "300";
  f.WidthUnit = kUnitInch;
  f.HeightUnit = kUnitCentimetre;
  EXPECT_EQ(CheckCustomSize(f, list).Message, std::string(kHeightTooLargeText) + "厘米】");
}

TEST(CustomSizeChecks, InchLimitsFollowTheScreenResolution) {
  const TSizeList list = CatalogueWithCustom({});
  TCustomSizeFields f;
  f.Name = "x";
  f.Width = "5760";  // 48 inches at 120 pixels per inch, 60 at 96
  f.Height = "10";
  f.WidthUnit = f.HeightUnit = kUnitPixel;
  EXPECT_TRUE(CheckCustomSize(f, list, 120).Ok());
  EXPECT_FALSE(CheckCustomSize(f, list, 96).Ok());
}

TEST(AddCustomSize, SpreadIsStoredByItsAlbumWidthAndShownDoubled) {
  TSizeList list = CatalogueWithCustom({});
  TCustomSizeFields f;
  f.Name = " 跨页 24x12 ";
  f.Album = false;
  f.Spread = true;
  f.Width = "24";
  f.Height = "12";
  f.WidthUnit = kUnitCentimetre;
  f.HeightUnit = kUnitInch;
  TCustomSizeCheck check;
  TSizeNode* added = AddCustomSize(f, list, check);
  ASSERT_NE(added, nullptr) << check.Message;
  EXPECT_EQ(list.back().get(), added);
  EXPECT_EQ(added->Name, "跨页 24x12");
  EXPECT_EQ(added->Width, 12.0f);
  EXPECT_EQ(added->Height, 12.0f);
  EXPECT_EQ(added->SizeUnit, kUnitCentimetre) << "the width box's unit";
  EXPECT_EQ(added->Custom, 1);
  EXPECT_EQ(added->SizeType, 1);

  const TCustomSizeFields shown = CustomSizeToFields(*added);
  EXPECT_TRUE(shown.Spread);
  EXPECT_FALSE(shown.Album);
  EXPECT_EQ(shown.Width, "24");
  EXPECT_EQ(shown.Height, "12");
  EXPECT_EQ(shown.WidthUnit, kUnitCentimetre);
  EXPECT_EQ(shown.HeightUnit, kUnitCentimetre);

  // The same name again is refused and adds nothing.
  const size_t count = list.size();
  EXPECT_EQ(AddCustomSize(f, list, check), nullptr);
  EXPECT_EQ(check.Message, kDuplicateSizeNameText);
  EXPECT_EQ(list.size(), count);
}

TEST(AddCustomSize, AlbumSizeShowsItsOwnWidth) {
  TSizeList list = CatalogueWithCustom({});
  TCustomSizeFields f;
  f.Name = "album";
  f.Width = "8.3";
  f.Height = "11";
  TCustomSizeCheck check;
  TSizeNode* added = AddCustomSize(f, list, check);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->SizeType, 0);
  const TCustomSizeFields shown = CustomSizeToFields(*added);
  EXPECT_TRUE(shown.Album);
  EXPECT_EQ(shown.Width, "8.30000019073486") << "the float's digits";
}

TEST(SwitchWidthText, DoublesAndHalvesReadableWidthsInFloatPrecision) {
  struct Case {
    const char* text;
    bool toSpread;
    const char* expected;
  };
  const Case cases[] = {
      {"10", true, "20"},
      {"20", false, "10"},
      {"3", false, "1.5"},
      {" 10 ", true, "20"},
      {"abc", true, "abc"},
      {"", false, ""},
      {"0.1", true, "0.200000002980232"},
      {"1e39", true, "1e39"},
      {"-4", true, "-8"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SwitchWidthText(c.text, c.toSpread), c.expected)
        << c.text << (c.toSpread ? " to spread" : " to album");
}

TEST(DeleteCustomSizeRow, RowCountsFromTheFirstCustomEntry) {
  TSizeList list = CatalogueWithCustom({"a", "b", "c"});
  EXPECT_TRUE(DeleteCustomSizeRow(list, 1));
  std::vector<std::string> names;
  for (TSizeNode* s : CustomSizes(list)) names.push_back(s->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(list.size(), size_t(kBuiltInSizeCount + 2)) << "built-in sizes stay";
  EXPECT_FALSE(DeleteCustomSizeRow(list, 2));
  EXPECT_FALSE(DeleteCustomSizeRow(list, -1));
  EXPECT_EQ(list.size(), size_t(kBuiltInSizeCount + 2));

  TSizeList builtInOnly = CatalogueWithCustom({});
  EXPECT_FALSE(DeleteCustomSizeRow(builtInOnly, 0));
  EXPECT_EQ(builtInOnly.size(), size_t(kBuiltInSizeCount));
}

TEST(SizeTipsText, FiveParagraphsEachFollowedByTwoBreaks) {
  const std::string text = SizeTipsText();
  std::vector<std::string> paragraphs;
  size_t start = 0;
  for (size_t end; (end = text.find("\n\n", start)) != std::string::npos; start = end + 2)
    paragraphs.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "ends with two breaks";
  ASSERT_EQ(paragraphs.size(), 5u);
  for (const std::string& p : paragraphs) EXPECT_EQ(p.rfind("◆ ", 0), 0u) << p;
  EXPECT_NE(paragraphs[0].find("跨页宽度是相册宽度的两倍"), std::string::npos);
  EXPECT_NE(paragraphs[4].find("前面是高度，后面是宽度"), std::string::npos);
}

// ---- Template browser ----

TEST(TemplateBrowser, ListsPackagesDirectlyInsideByTrimmedName) {
  test::TempFolder dir("dialog-logic");
  dir.Write("lib/婚纱01/brivanto_a.dll", "d");
  dir.Write("lib/ 儿童 /brivanto_a.dll", "d");
  dir.Write("lib/only-b/brivanto_b.dll", "d");
  dir.Write("lib/group/inner/brivanto_a.dll", "d");
  dir.Write("lib/loose.txt", "x");
  dir.Write("lib/brivanto_a.dll", "the folder itself is a package");
  fs::create_directories(dir.File("lib/dll-is-folder/brivanto_a.dll"));

  std::vector<std::string> names = ListTemplatePackages(dir.File("lib"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"儿童", "婚纱01"}));
  EXPECT_EQ(ListTemplatePackages(dir.File("lib/group")), (std::vector<std::string>{"inner"}));
  EXPECT_TRUE(ListTemplatePackages(dir.File("lib/loose.txt")).empty());
  EXPECT_TRUE(ListTemplatePackages(dir.File("missing")).empty());
  EXPECT_TRUE(ListTemplatePackages("").empty());
  EXPECT_EQ(ListTemplatePackages(dir.File("lib"), 0).size(), 0u) << "entry cap";

  EXPECT_TRUE(IsTemplatePackage(dir.File("lib/婚纱01")));
  EXPECT_TRUE(IsTemplatePackage(dir.File("lib")));
  EXPECT_FALSE(IsTemplatePackage(dir.File("lib/group")));
  EXPECT_FALSE(IsTemplatePackage(dir.File("lib/dll-is-folder")));
}

TEST(TemplateBrowser, StartsAtSavedFolderThenBundledThenRoot) {
  test::TempFolder dir("dialog-logic");
  fs::create_directories(dir.File("saved"));
  fs::create_directories(dir.File("bundled"));
  const std::string saved = dir.File("saved"), bundled = dir.File("bundled"), gone = dir.File("gone");
  EXPECT_EQ(BrowserStartFolder(saved, bundled), saved);
  EXPECT_EQ(BrowserStartFolder(gone, bundled), bundled);
  EXPECT_EQ(BrowserStartFolder("", bundled), bundled);
  EXPECT_EQ(BrowserStartFolder(gone, gone), "");
  EXPECT_EQ(BrowserStartFolder(dir.Write("file", "x"), ""), "");
}

TEST(TemplateBrowser, PreviewFitsInsideThePanelBorderAndIsCentred) {
  struct Case {
    int w, h;
    TPreviewPlacement expected;
  };
  const Case cases[] = {
      {100, 50, {75, 100, 100, 50}},   // smaller: own size, centred
      {248, 248, {1, 1, 248, 248}},    // exactly the box
      {1000, 500, {1, 63, 248, 124}},  // wide
      {500, 1000, {63, 1, 124, 248}},  // tall
      {249, 10, {1, 120, 248, 9}},     // just too wide
      {1, 1, {124, 124, 1, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(PlacePreview(c.w, c.h), c.expected) << c.w << " x " << c.h;
  EXPECT_EQ(PlacePreview(100, 100, 102, 52), (TPreviewPlacement{26, 1, 50, 50})) << "other panel";
}

TEST(TemplateBrowser, PreviewFollowsSingleSelectionsOnly) {
  EXPECT_EQ(PreviewActionFor(0), TPreviewAction::Clear);
  EXPECT_EQ(PreviewActionFor(1), TPreviewAction::ShowSelected);
  EXPECT_EQ(PreviewActionFor(2), TPreviewAction::Keep);
  EXPECT_EQ(PreviewActionFor(7), TPreviewAction::Keep);
}

TEST(TemplateBrowser, SizeDisplayNamesTheUnitOrUnknown) {
  const char* const words[] = {"象素", "英寸", "厘米", "毫米"};
  for (int u = 0; u < 4; ++u) EXPECT_EQ(UnitNameOrUnknown(u), words[u]);
  EXPECT_EQ(UnitNameOrUnknown(4), "未知");
  EXPECT_EQ(UnitNameOrUnknown(-1), "未知");

  TSizeNode size;
  EXPECT_EQ(SizeDisplay(nullptr), TSizeDisplay{});
  EXPECT_EQ(SizeDisplay(&size), TSizeDisplay{}) << "no name";
  size.Name = "自定义";
  size.Width = 12.5f;
  size.Height = 8.3f;
  size.SizeUnit = kUnitCentimetre;
  EXPECT_EQ(SizeDisplay(&size), (TSizeDisplay{"自定义", "12.5 厘米", "8.30000019073486 厘米"}));
  size.SizeUnit = 9;
  EXPECT_EQ(SizeDisplay(&size).Width, "12.5 未知");
}

TEST(TemplateBrowser, OkChecksTheSizeBeforeTheSelection) {
  TSizeNode size;
  EXPECT_EQ(CheckTemplateBrowser(size, 3).Message, kNoTemplateSizeText);
  EXPECT_EQ(CheckTemplateBrowser(size, 3).Focus, TBrowserFocus::SizeSelector);
  EXPECT_EQ(CheckTemplateBrowser(size, 0).Message, kNoTemplateSizeText);
  size.Name = "6×4   (6英寸)";
  EXPECT_EQ(CheckTemplateBrowser(size, 0).Message, kNoTemplateSelectedText);
  EXPECT_EQ(CheckTemplateBrowser(size, 0).Focus, TBrowserFocus::List);
  EXPECT_TRUE(CheckTemplateBrowser(size, 1).Ok());
}

TEST(TemplateBrowser, MenuChoiceCopiesTheSizeAtOnce) {
  TSizeList list = CatalogueWithCustom({"mine"});
  TSizeNode current;
  current.Name = "before";

  TSizeChoice choice = ChooseMenuSize(kCustomSizeMenuTag, list, current);
  EXPECT_TRUE(choice.OpenCustomSizes);
  EXPECT_EQ(choice.Chosen, nullptr);
  EXPECT_EQ(current.Name, "before");

  choice = ChooseMenuSize(4, list, current);
  EXPECT_FALSE(choice.OpenCustomSizes);
  ASSERT_NE(choice.Chosen, nullptr);
  EXPECT_EQ(current.Name, "10×8  (10英寸)");
  EXPECT_EQ(current.Width, 8.0f);
  EXPECT_EQ(current.Height, 10.0f);
  EXPECT_EQ(current.Id, 4);

  const int32_t customId = list.back()->Id;
  choice = ChooseMenuSize(customId, list, current);
  EXPECT_EQ(current.Name, "mine");
  EXPECT_EQ(current.Custom, 1);

  choice = ChooseMenuSize(999, list, current);
  EXPECT_EQ(choice.Chosen, nullptr);
  EXPECT_FALSE(choice.OpenCustomSizes);
  EXPECT_EQ(current.Name, "mine") << "an unknown id changes nothing";
}

}  // namespace
}  // namespace tessaro
