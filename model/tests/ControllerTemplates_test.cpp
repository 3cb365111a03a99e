// Start-up, shutdown, template import and deletion, sizes.
#include <filesystem>

#include "ControllerTestBase.h"

namespace tessaro {
namespace {

using testing::ControllerTest;

TEST_F(ControllerTest, StartShowsOneUnnamedCurrentSet) {
  ASSERT_EQ(FSets.Count(), 1);
  EXPECT_EQ(FSets.Rows[0].Texts, (std::vector<std::string>{"未命名套系", "删除"}));
  EXPECT_TRUE(FSets.Rows[0].Checked);
  EXPECT_EQ(FSets.Selected, 0);
  EXPECT_EQ(FWindow.SetInfo, "当前套系：未命名套系");
  EXPECT_EQ(FWindow.SizeCaption, "5×3.5 (5英寸)");
  EXPECT_EQ(FWindow.Menu.size(), 21u);
  EXPECT_EQ(FWindow.Page, TLeftPage::Template);
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_EQ(Ctl().CurTemp, -1);
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(Ctl().CurrentSize.Name, "5×3.5 (5英寸)");
  EXPECT_EQ(Ctl().SizeList.size(), 19u);
}

TEST_F(ControllerTest, StartAppendsCustomSizesButKeepsTheFirstSizeCurrent) {
  testing::WriteText(FDir / "cfg/cfg.ini", "[CustomSize0]\nName=海报\nWidth=20\nHeight=30\nUnit=2\n");
  Restart();
  ASSERT_EQ(Ctl().SizeList.size(), 20u);
  EXPECT_EQ(Ctl().SizeList[19]->Name, "海报");
  EXPECT_EQ(Ctl().CurrentSize.Name, "5×3.5 (5英寸)");
  ASSERT_EQ(FWindow.Menu.size(), 23u);
  EXPECT_TRUE(FWindow.Menu[19].Separator);
  EXPECT_EQ(FWindow.Menu[20].Caption, "海报");
}

TEST_F(ControllerTest, ShutdownSavesTheConfigurationAndDeletesTheWorkingFolder) {
  AddSize(Ctl().SizeList, "海报", 2, 20, 30, 1, 1);
  Ctl().Settings.Resolution = 300;
  ASSERT_TRUE(EnsureTempDir(Paths().TempDir).ok());
  testing::WriteText(Paths().TempDir + "婚纱01_x/preview.jpg", "x");
  Ctl().Shutdown();
  EXPECT_FALSE(std::filesystem::exists(Paths().TempDir));
  EXPECT_TRUE(Ctl().SetList.empty());
  EXPECT_TRUE(Ctl().SizeList.empty());
  TAppSettings settings;
  TSizeList sizes;
  LoadConfig(Paths().ConfigFile, settings, sizes);
  EXPECT_EQ(settings.Resolution, 300);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0]->Name, "海报");
  EXPECT_EQ(sizes[0]->Width, 20.0f);
  EXPECT_EQ(sizes[0]->Height, 30.0f);
}

TEST_F(ControllerTest, ImportTemplatesAddsRowsAndSelectsTheFirst) {
  Package("婚纱01", {0, 1, 1});
  Package("婚纱02", {1});
  TTemplateBrowserResult result{true, FDir / "lib", {"婚纱01", "婚纱02"}};
  FDialogs.ExpectBrowse(result,
                        [](TSizeNode& current, TSizeList& sizes) { CopySize(current, *FindSize(sizes, 1)); });
  Ctl().ImageButtonTempClick();
  Check();

  ASSERT_EQ(FTemps.Count(), 2);
  EXPECT_EQ(FTemps.Rows[0].Texts, (std::vector<std::string>{"1", "婚纱01(6英寸)", "0/3", "删除"}));
  EXPECT_EQ(FTemps.Rows[0].Thumb, FDir / "lib/婚纱01/Sample.jpg");
  EXPECT_FALSE(FTemps.Rows[0].Checked);
  EXPECT_EQ(FTemps.Rows[1].Texts, (std::vector<std::string>{"2", "婚纱02(6英寸)", "0/1", "删除"}));
  EXPECT_EQ(FProgress.Log, (std::vector<std::string>{"Show 2", "Info 正在导入：婚纱01", "Step",
                                                     "Info 正在导入：婚纱02", "Step", "Close"}));
  for (auto* list : {&Set().PreviewTemps, &Set().ResultTemps}) {
    const TTempNode& t = *(*list)[1];
    EXPECT_EQ(t.ImportStamp, "2009_03_07_14_05_09");
    EXPECT_EQ(t.Width, 4.0f);
    EXPECT_EQ(t.Height, 6.0f);
    EXPECT_EQ(t.SizeUnit, 1);
    EXPECT_EQ(t.SizeName, "6×4   (6英寸)");
    EXPECT_EQ(t.Folder, FDir / "lib/婚纱02/");
    EXPECT_EQ(t.Slots[0]->TempIndex, 1);
  }
  EXPECT_TRUE(Ctl().Modified);
  // Row 0 selected: the template is shown with its size and slot buttons.
  EXPECT_EQ(FTemps.Selected, 0);
  EXPECT_EQ(Ctl().CurTemp, 0);
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_EQ(FWindow.SizeCaption, "6×4   (6英寸)");
  EXPECT_EQ(Ctl().CurrentSize.Height, 6.0f);
  EXPECT_EQ(Ctl().CurrentSize.SizeType, 0) << "the template's spread";
  EXPECT_EQ(FPreview.TemplatePicture, FDir / "lib/婚纱01/Sample.jpg");
  EXPECT_NE(std::find(FPreview.Log.begin(), FPreview.Log.end(), "ShowTemplateSlots 3"), FPreview.Log.end());
  EXPECT_EQ(FWindow.MenuBuilds, 2) << "start-up and after the browser";
}

TEST_F(ControllerTest, CancelledBrowserImportsNothingButRebuildsTheMenu) {
  FDialogs.ExpectBrowse(TTemplateBrowserResult{},
                        [](TSizeNode&, TSizeList& sizes) { AddSize(sizes, "new", 1, 2, 3, 1, 0); });
  Ctl().ImageButtonTempClick();
  Check();
  EXPECT_EQ(FTemps.Count(), 0);
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(FWindow.Menu.size(), 23u);
}

TEST_F(ControllerTest, RefusedSampleRowLeavesTheTemplateOut) {
  Package("a", {1});
  Package("b", {1, 1});
  FTemps.RefusedThumbs.insert(FDir / "lib/a/Sample.jpg");
  ImportTemplates({"a", "b"});
  ASSERT_EQ(Set().PreviewTemps.size(), 1u);
  EXPECT_EQ(Set().ResultTemps.size(), 1u);
  EXPECT_EQ(Temp(0).Folder, FDir / "lib/b/");
  EXPECT_EQ(FTemps.Rows[0].Texts[0], "1");
  EXPECT_EQ(Temp(0).Slots[0]->TempIndex, 0);
}

TEST_F(ControllerTest, BrokenPackagesAreSkippedSilently) {
  Package("good", {1});
  testing::PackageSpec broken = testing::SlotsSpec({1});
  broken.ResultReadable = false;
  testing::WritePackage(FDir / "lib/noresult", broken);
  testing::WriteText(FDir / "lib/nodescriptor/Sample.jpg", "x");
  ImportTemplates({"noresult", "missing", "nodescriptor", "good"});
  ASSERT_EQ(FTemps.Count(), 1);
  EXPECT_EQ(FTemps.Rows[0].Texts[1], "good(5英寸)");
  EXPECT_EQ(FTemps.Selected, 0);
}

TEST_F(ControllerTest, TemplateWithoutSlotsShowsZeroOfZero) {
  Package("empty", {});
  ImportTemplates({"empty"});
  EXPECT_EQ(FTemps.Rows[0].Texts[2], "0/0");
  ImportPhotos(1, {"a.jpg"});
  EXPECT_EQ(Ctl().CurSlot, -1) << "nothing to place into";
  EXPECT_EQ(FPhotos.Rows[0].Texts[2], "0");
}

TEST_F(ControllerTest, ImportingWithoutAnySetCreatesOne) {
  FDialogs.ExpectYesNo("删除套系", "确实要删除所有选中的套系吗？", TAnswer::Yes);
  Ctl().ButtonDelSetClick();
  Check();
  ASSERT_EQ(Ctl().CurSet, -1);
  Package("a", {1});
  ImportTemplates({"a"});
  ASSERT_EQ(FSets.Count(), 1);
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_EQ(FTemps.Count(), 1);
}

TEST_F(ControllerTest, ImportingWhileNoSetIsCurrentAddsNothing) {
  Ctl().ButtonNewSetClick();  // unnamed, unchanged: no question, still one set
  const std::string path = SaveAs("s");
  Ctl().ButtonNewSetClick();  // a second set
  ASSERT_EQ(FSets.Count(), 2);
  FDialogs.ExpectYesNo("删除套系", "确实要删除套系【s】吗？", TAnswer::Yes);
  Ctl().MyListBoxSetTextClick(0, 1);
  Check();
  ASSERT_EQ(Ctl().CurSet, -1);
  ASSERT_EQ(FSets.Count(), 1);
  Package("a", {1});
  ImportTemplates({"a"});
  EXPECT_EQ(FTemps.Count(), 0);
  EXPECT_TRUE(Ctl().SetList[0]->PreviewTemps.empty());
  EXPECT_TRUE(std::filesystem::exists(path)) << "deleting a set keeps its file";
}

TEST_F(ControllerTest, SamePackageTwiceGivesTwoComposingFolders) {
  Package("婚纱01", {1});
  ImportTemplates({"婚纱01"});
  FClock.Time.Second = 10;
  ImportTemplates({"婚纱01"});
  ASSERT_EQ(Set().PreviewTemps.size(), 2u);
  EXPECT_EQ(ComposingFolderName(Temp(0)), "婚纱01_2009_03_07_14_05_09");
  EXPECT_EQ(ComposingFolderName(Temp(1)), "婚纱01_2009_03_07_14_05_10");
}

TEST_F(ControllerTest, ComposedPreviewIsShownInsteadOfTheSample) {
  Package("a", {1});
  Package("b", {1});
  ImportTemplates({"a", "b"});
  const std::string preview = PreviewFolder(Paths().TempDir, Temp(1)) + "preview.jpg";
  testing::WriteText(preview, "jpeg");
  FTemps.SetSelected(1, true);
  Check();
  EXPECT_EQ(FPreview.TemplatePicture, preview);
  Ctl().MyListBoxTempTextClick(0, 1);
  EXPECT_EQ(FPreview.TemplatePicture, FDir / "lib/a/Sample.jpg");
}

TEST_F(ControllerTest, TemplateClickEndsTheSlotSelection) {
  Package("a", {1, 1});
  ImportTemplates({"a"});
  Ctl().SelectSlot(1);
  ASSERT_EQ(Ctl().CurSlot, 1);
  EXPECT_EQ(FWindow.Page, TLeftPage::Photo);
  Ctl().MyListBoxTempTextClick(0, 1);
  Check();
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_EQ(FPreview.Log.back(), "ShowTemplatePicture " + FDir / "lib/a/Sample.jpg");
}

TEST_F(ControllerTest, DeletingATemplateReleasesItsPhotosAndRenumbers) {
  Package("a", {1, 1});
  Package("b", {1, 1, 1});
  ImportTemplates({"a", "b"});
  ImportPhotos(1, {"p.jpg", "q.jpg"});  // into slots 0 and 1 of template a
  FTemps.SetSelected(1, true);
  ImportPhotos(1, {"p.jpg"});  // p again, into slot 0 of template b
  ASSERT_EQ(FPhotos.Rows[0].Texts[2], "2");
  const std::string folder = PreviewFolder(Paths().TempDir, Temp(0));
  testing::WriteText(folder + "preview.jpg", "x");

  Ctl().MyListBoxTempTextClick(0, 3);
  Check();
  EXPECT_FALSE(std::filesystem::exists(folder));
  ASSERT_EQ(Set().PreviewTemps.size(), 1u);
  EXPECT_EQ(Set().ResultTemps.size(), 1u);
  EXPECT_EQ(Temp(0).Folder, FDir / "lib/b/");
  EXPECT_EQ(FTemps.Rows[0].Texts, (std::vector<std::string>{"1", "b(5英寸)", "1/3", "删除"}));
  EXPECT_EQ(FPhotos.Column(2), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(FStats.Column(2), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(Ctl().CurTemp, 0);
  EXPECT_EQ(FTemps.Selected, 0);
  EXPECT_TRUE(Ctl().Modified);
}

TEST_F(ControllerTest, DeletingATemplateAboveTheCurrentOneKeepsItCurrent) {
  Package("a", {1});
  Package("b", {1});
  Package("c", {1, 1});
  ImportTemplates({"a", "b", "c"});
  FTemps.SetSelected(2, true);
  Ctl().SelectSlot(1);
  TTempNode* current = Ctl().CurrentTemplate();
  FTemps.SetChecked(1, true);
  Ctl().ButtonTempClick();
  Ctl().ButtonDelClick();
  Check();
  EXPECT_EQ(Ctl().CurrentTemplate(), current);
  EXPECT_EQ(Ctl().CurTemp, 1);
  EXPECT_EQ(Ctl().CurSlot, 1);
  EXPECT_EQ(FTemps.Column(0), (std::vector<std::string>{"1", "2"}));
}

TEST_F(ControllerTest, DeletingTheLastTemplateResetsThePreview) {
  Package("a", {1});
  ImportTemplates({"a"});
  Ctl().SelectSlot(0);
  Ctl().MyListBoxTempTextClick(0, 3);
  Check();
  EXPECT_EQ(Ctl().CurTemp, -1);
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_EQ(FPreview.TemplatePicture, "");
  const std::vector<std::string> tail(FPreview.Log.end() - 3, FPreview.Log.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{"ShowTemplatePicture ", "ShowSample ", "ShowTemplateSlots none"}));
}

TEST_F(ControllerTest, DeleteButtonWorksBottomUpOnTickedTemplates) {
  for (const char* n : {"a", "b", "c", "d"}) Package(n, {1});
  ImportTemplates({"a", "b", "c", "d"});
  DeleteTicked(FTemps, "请先选中模板左下角的复选框，再点击【删除】按钮", {0, 2});
  EXPECT_EQ(FTemps.Column(1), (std::vector<std::string>{"b(5英寸)", "d(5英寸)"}));
  Ctl().ButtonSelectAllClick();
  EXPECT_TRUE(FTemps.GetChecked(0) && FTemps.GetChecked(1));
  Ctl().ButtonDelClick();
  Check();
  EXPECT_EQ(FTemps.Count(), 0);
}

// ---- Sizes

TEST_F(ControllerTest, ApplySizeResizesTheTemplateAndKeepsPhotoPixels) {
  Package("婚纱01", {1, 1});
  ImportTemplates({"婚纱01"});
  ImportPhotos(1, {"a.jpg"});  // fitted by the preview into slot 0
  ASSERT_EQ(Ctl().CurSlot, 0);
  Slot(0, 0).OffsetX = 0.2f;
  Ctl().Modified = false;
  FPreview.Log.clear();

  Ctl().ApplySize(4);  // "10×8  (10英寸)"
  Check();
  const TTempNode& t = Temp(0);
  EXPECT_EQ(t.SizeName, "10×8  (10英寸)");
  EXPECT_EQ(t.Width, 8.0f);
  EXPECT_EQ(t.Height, 10.0f);
  EXPECT_EQ(FTemps.Rows[0].Texts[1], "婚纱01(10英寸)");
  EXPECT_EQ(Set().ResultTemps[0]->Height, 5.0f) << "the result version keeps its size";
  EXPECT_EQ(Ctl().CurrentSize.Id, 4);
  EXPECT_EQ(FWindow.SizeCaption, "10×8  (10英寸)");
  EXPECT_TRUE(Ctl().Modified);
  // Slot window of placement (0, 100, 600, 1000): 3.5 x 5 in is 336 x 480
  // pixels, the window 96 x 144, fitted 286 x 430 (extents 285 x 429);
  // 8 x 10 in is 768 x 960, the window 219 x 288, fitted 326 x 430 (extent
  // 325). Pixels kept: round(285 * 0.2) = 57, round(285 * 1.25) = 356.
  EXPECT_FLOAT_EQ(Slot(0, 0).OffsetX, 57.0f / 325);
  EXPECT_FLOAT_EQ(Slot(0, 0).ScaleX, 356.0f / 325);
  EXPECT_FLOAT_EQ(Slot(0, 0).ScaleY, 1.0f);
  EXPECT_EQ(Slot(0, 1).OffsetX, -1.0f) << "empty slots are not touched";
  EXPECT_EQ(FPreview.Log.front(), "SelectSlot 0 " + FDir / "photos/a.jpg")
      << "the selected slot is shown again";
}

TEST_F(ControllerTest, ApplySizeToEmptySlotsChangesSizeFieldsOnly) {
  Package("a", {1});
  ImportTemplates({"a"});
  const float before = Slot(0, 0).OffsetX;
  Ctl().ApplySize(2);
  Check();
  EXPECT_EQ(Temp(0).SizeName, "7×5   (7英寸)");
  EXPECT_EQ(Slot(0, 0).OffsetX, before);
  EXPECT_EQ(FTemps.Rows[0].Texts[1], "a(7英寸)");
}

TEST_F(ControllerTest, ApplySizeWithoutTemplateOrSizeChangesOnlyTheCurrentSize) {
  Ctl().ApplySize(3);
  Check();
  EXPECT_EQ(Ctl().CurrentSize.Name, "8×6   (8英寸)");
  EXPECT_FALSE(Ctl().Modified);
  Ctl().ApplySize(99);  // a size deleted meanwhile
  EXPECT_EQ(Ctl().CurrentSize.Name, "8×6   (8英寸)");
}

TEST_F(ControllerTest, CustomSizeItemOpensTheDialogAndRebuildsTheMenu) {
  FDialogs.ExpectCustomSizes([](TSizeNode&, TSizeList& sizes) { AddSize(sizes, "A4", 3, 210, 297, 1, 0); });
  Ctl().ApplySize(kCustomSizeMenuTag);
  Check();
  ASSERT_EQ(FWindow.Menu.size(), 23u);
  EXPECT_EQ(FWindow.Menu[20], (TSizeMenuItem{"A4", 19, false}));
}

TEST_F(ControllerTest, SpreadTemplateGetsTwiceTheWidthWhenPrinted) {
  testing::PackageSpec spec = testing::SlotsSpec({1});
  spec.Spread = 1;
  spec.Placements = {{1, {0, 0, 4200, 3000}}};
  testing::WritePackage(FDir / "lib/spread", spec);
  ImportTemplates({"spread"});
  Ctl().ApplySize(4);
  double pw = Temp(0).Width * (Temp(0).Spread ? 2 : 1), ph = Temp(0).Height, r = 300;
  ASSERT_TRUE(PrintPixelSize(1, 1, Temp(0).SizeUnit, pw, ph, r));
  EXPECT_EQ(pw, 16 * 300);
  EXPECT_EQ(ph, 10 * 300);
  EXPECT_EQ(Ctl().CurrentSize.SizeType, 0) << "a menu size replaces the shown one";
  Ctl().MyListBoxTempTextClick(0, 0);
  EXPECT_EQ(Ctl().CurrentSize.SizeType, 1) << "a spread shows as one";
}

}  // namespace
}  // namespace tessaro
