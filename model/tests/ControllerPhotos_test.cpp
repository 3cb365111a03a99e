// Photo import, automatic and hand placement, photo deletion, statistics list.
#include "ControllerTestBase.h"

namespace tessaro {
namespace {

using testing::ControllerTest;

TEST_F(ControllerTest, ImportWithoutTemplateOnlyAddsRows) {
  ImportPhotos(1, {"a.jpg", "b.png"});
  ASSERT_EQ(FPhotos.Count(), 2);
  EXPECT_EQ(FPhotos.Rows[0].Texts, (std::vector<std::string>{"1", "a.jpg", "0", "删除"}));
  EXPECT_EQ(FPhotos.Rows[0].Thumb, FDir / "photos/a.jpg");
  EXPECT_FALSE(FPhotos.Rows[0].Checked);
  EXPECT_EQ(FStats.Rows[1].Texts, (std::vector<std::string>{"2", "b.png", "0", "放置", "删除"}));
  EXPECT_EQ(FProgress.Log, (std::vector<std::string>{"Show 2", "Info 正在导入：a.jpg", "Step",
                                                     "Info 正在导入：b.png", "Step", "Close"}));
  EXPECT_EQ(FWindow.Page, TLeftPage::Photo);
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_EQ(Set().Photos[1]->FileName, FDir / "photos/b.png");
}

TEST_F(ControllerTest, CancelledPhotoDialogChangesNothing) {
  FDialogs.ExpectOpenPictures(1, {});
  Ctl().ImageButtonPhotoClick();
  Check();
  EXPECT_EQ(FPhotos.Count(), 0);
  EXPECT_FALSE(Ctl().Modified);
}

TEST_F(ControllerTest, PhotosFillMatchingEmptySlotsCyclicallyFromTheSelectedSlot) {
  Package("t", {0, 1, 0, 0, 1});
  ImportTemplates({"t"});
  Ctl().SelectSlot(2);  // a transparent slot: the dialog opens on the transparent filter
  ImportPhotos(2, {"a.png", "b.jpg", "c.png", "d.png", "e.png"});
  // a: slot 2; b (opaque) skips to slot 4; c: slot 3; d wraps to slot 0; e finds no slot.
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{3, -1, 0, 2, 1}));
  EXPECT_EQ(FTemps.Rows[0].Texts[2], "4/5");
  EXPECT_EQ(FPhotos.Column(2), (std::vector<std::string>{"1", "1", "1", "1", "0"}));
  EXPECT_EQ(FStats.Column(2), (std::vector<std::string>{"1", "1", "1", "1", "0"}));
  EXPECT_EQ(Ctl().CurSlot, 0) << "the last placement selected its slot";
  EXPECT_EQ(FPhotos.Selected, 3);
  EXPECT_EQ(FPreview.Holds[0] + FPreview.Holds[2] + FPreview.Holds[3] + FPreview.Holds[4], 4);
  EXPECT_FALSE(FPreview.Holds[1]);
  EXPECT_EQ(Slot(0, 2).ScaleX, testing::FakePreview::kFitX) << "the preview fitted the new photo";
}

TEST_F(ControllerTest, SameFileTwiceAddsOneRowAndMayFillAnotherSlot) {
  Package("t", {1, 1});
  ImportTemplates({"t"});
  ImportPhotos(1, {"a.jpg"});
  ImportPhotos(3, {"a.jpg"});  // slot 0 (opaque) is selected now
  EXPECT_EQ(FPhotos.Count(), 1);
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{0, 0}));
  EXPECT_EQ(FPhotos.Rows[0].Texts[2], "2");
  EXPECT_EQ(FTemps.Rows[0].Texts[2], "2/2");
}

TEST_F(ControllerTest, UpperCaseExtensionIsImportedButPlacedOnlyByHand) {
  Package("t", {1, 1});
  ImportTemplates({"t"});
  ImportPhotos(1, {"A.JPG"});
  EXPECT_EQ(FPhotos.Count(), 1);
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{-1, -1}));
  Ctl().SelectSlot(1);
  Ctl().MyListBoxPhotoTextDblClick(0, 1);
  Check();
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{-1, 0}));
  EXPECT_TRUE(FPreview.Holds[1]);
  EXPECT_EQ(FPreview.Log.back(), "LoadSlotPhoto 1 " + FDir / "photos/A.JPG");
}

TEST_F(ControllerTest, RefusedThumbnailSkipsTheFile) {
  Package("t", {1, 1});
  ImportTemplates({"t"});
  FPhotos.RefusedThumbs.insert(FDir / "photos/bad.jpg");
  ImportPhotos(1, {"bad.jpg", "good.jpg"});
  ASSERT_EQ(FPhotos.Count(), 1);
  EXPECT_EQ(FPhotos.Rows[0].Texts[0], "1");
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{0, -1}));
}

TEST_F(ControllerTest, RefusedStatisticsRowTakesThePhotoRowBackOut) {
  FStats.RefusedThumbs.insert("");  // the statistics list refuses every row
  ImportPhotos(1, {"a.jpg"});
  EXPECT_EQ(FPhotos.Count(), 0);
  EXPECT_TRUE(Set().Photos.empty());
}

TEST_F(ControllerTest, ImportingIntoASlotPlacesTheFirstFileWithoutATypeCheck) {
  Package("t", {0, 1});
  ImportTemplates({"t"});
  Ctl().SelectSlot(0);
  FPhotos.RefusedThumbs.insert(FDir / "photos/unreadable.jpg");
  FDialogs.ExpectOpenPictures(2, PhotoFiles({"unreadable.jpg", "x.jpg", "y.jpg"}));
  FProgress.Log.clear();
  Ctl().SlotButtonDblClick(0);
  Check();
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{0, -1}))
      << "x goes into the transparent slot; y is only imported";
  EXPECT_EQ(FPhotos.Count(), 2);
  EXPECT_EQ(FPhotos.Selected, 0);
  EXPECT_EQ(FProgress.Log.front(), "Show 3");
}

TEST_F(ControllerTest, DoubleClickOnAnUnselectedSlotDoesNothing) {
  Ctl().SlotButtonDblClick(0);
  Check();
  EXPECT_EQ(FPhotos.Count(), 0);
}

TEST_F(ControllerTest, ReplacingAPhotoKeepsThePlacedCount) {
  Package("t", {1, 1});
  ImportTemplates({"t"});
  ImportPhotos(1, {"a.jpg"});
  Ctl().SelectSlot(1);
  ImportPhotos(3, {"b.jpg"});  // into slot 1
  Ctl().SelectSlot(0);
  Slot(0, 0).Angle = 30;
  Ctl().StatListTextClick(1, 3);  // place b into slot 0 by hand
  Check();
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{1, 1}));
  EXPECT_EQ(FPhotos.Column(2), (std::vector<std::string>{"0", "2"}));
  EXPECT_EQ(FTemps.Rows[0].Texts[2], "2/2");
  EXPECT_EQ(Slot(0, 0).Angle, 0.0f) << "a new photo starts with the empty transform";
  EXPECT_EQ(Slot(0, 0).ScaleX, testing::FakePreview::kFitX);
}

TEST_F(ControllerTest, PlacingFromStatisticsWithoutASlotAsksForOne) {
  ImportPhotos(1, {"a.jpg"});
  FDialogs.ExpectInfo("请先指定需要将该照片放置到模板的第几张照片位中");
  Ctl().StatListTextClick(0, 3);
  Check();
}

TEST_F(ControllerTest, DeletingPhotoTwoOfFiveEmptiesItsSlotsAndShiftsTheRest) {
  Package("t", {1, 1, 1, 1, 1});
  Package("u", {1, 1});
  ImportTemplates({"t", "u"});
  ImportPhotos(1, {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"});
  FTemps.SetSelected(1, true);
  Ctl().SelectSlot(0);
  Ctl().MyListBoxPhotoTextDblClick(1, 4);  // photo 2 by its thumbnail into u's slot 0
  Ctl().SelectSlot(1);
  Ctl().MyListBoxPhotoTextDblClick(3, 1);  // photo 4 into u's slot 1
  Slot(1, 0).Angle = 90;
  ASSERT_EQ(FPhotos.Rows[1].Texts[2], "2");
  Ctl().Modified = false;

  Ctl().MyListBoxPhotoTextClick(1, 3);
  Check();
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{0, -1, 1, 2, 3}));
  EXPECT_EQ(PhotoIndices(1), (std::vector<int>{-1, 2}));
  EXPECT_EQ(Slot(1, 0).Angle, 0.0f);
  EXPECT_EQ(Slot(1, 0).ScaleX, -1.0f);
  EXPECT_EQ(FTemps.Column(2), (std::vector<std::string>{"4/5", "1/2"}));
  EXPECT_EQ(FPhotos.Column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(FStats.Column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(FPhotos.Column(1), (std::vector<std::string>{"1.jpg", "3.jpg", "4.jpg", "5.jpg"}));
  EXPECT_FALSE(FPreview.Holds[0]);
  EXPECT_TRUE(FPreview.Holds[1]);
  EXPECT_EQ(FPreview.Log.back(), "SelectSlot 1 " + FDir / "photos/4.jpg")
      << "the selected slot is shown again";
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_EQ(FWindow.LargeViewClears, 0);
}

TEST_F(ControllerTest, DeletingTheStatisticsSelectionClearsItsLargeView) {
  ImportPhotos(1, {"a.jpg", "b.jpg"});
  FStats.SetSelected(1, true);
  Ctl().StatListTextClick(1, 4);
  Check();
  EXPECT_EQ(FWindow.LargeViewClears, 1);
  Ctl().MyListBoxPhotoTextClick(0, 3);
  Check();
  EXPECT_EQ(FWindow.LargeViewClears, 1) << "the deleted row was not the statistics selection";
  EXPECT_EQ(FPreview.Log.back(), "ShowTemplatePage") << "no slot selected";
}

TEST_F(ControllerTest, DeleteButtonOnThePhotoPage) {
  ImportPhotos(1, {"a.jpg", "b.jpg", "c.jpg"});
  DeleteTicked(FPhotos, "请先选中照片左下角的复选框，再点击【删除】按钮", {0, 1});
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"c.jpg"});
  Ctl().ButtonSelectAllClick();
  EXPECT_TRUE(FPhotos.GetChecked(0));
  EXPECT_FALSE(FTemps.GetChecked(0));
}

TEST_F(ControllerTest, DeletingATemplateLowersItsPhotosUsage) {
  Package("t", {1, 1, 1});
  ImportTemplates({"t"});
  ImportPhotos(1, {"a.jpg"});
  ImportPhotos(3, {"a.jpg"});
  ImportPhotos(3, {"b.jpg"});
  ASSERT_EQ(FPhotos.Column(2), (std::vector<std::string>{"2", "1"}));
  Ctl().DeleteTemplate(0);
  Check();
  EXPECT_EQ(FPhotos.Column(2), (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(FStats.Column(2), (std::vector<std::string>{"0", "0"}));
}

TEST_F(ControllerTest, SlotsBeyondTheTenthAreNeverSelected) {
  Package("big", std::vector<int>(12, 1));
  ImportTemplates({"big"});
  Ctl().SelectSlot(10);
  EXPECT_EQ(Ctl().CurSlot, -1);
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back(std::to_string(i) + ".jpg");
  ImportPhotos(1, names);
  EXPECT_EQ(Temp(0).PlacedCount, 10) << "only the slots the buttons reach are filled";
  EXPECT_EQ(Ctl().CurSlot, 9);
}

TEST_F(ControllerTest, WorkerMessagesAreShownOnePerTickInOrder) {
  Ctl().MessageQueue.Post("first");
  Ctl().MessageQueue.PostRaw("not a message");
  Ctl().MessageQueue.Post("second");
  FDialogs.ExpectInfo("first");
  Ctl().TimerGetSerMsg();
  FDialogs.ExpectInfo("second");
  Ctl().TimerGetSerMsg();
  Ctl().TimerGetSerMsg();  // nothing left to show
  EXPECT_EQ(Ctl().MessageQueue.Size(), 1u);
}

}  // namespace
}  // namespace tessaro
