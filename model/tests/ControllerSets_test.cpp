// Set files and set management: new, save, save as, load, make current,
// delete, tick all, closing and the save before power-off.
#include <filesystem>

#include "ControllerTestBase.h"

namespace tessaro {
namespace {

using testing::ControllerTest;

class SetCommandsTest : public ControllerTest {
 protected:
  // The current set gets two templates and photo a in three slots, with
  // distinct transforms.
  void FillCurrentSet() {
    Package("a", {1, 1});
    Package("b", {1, 0});
    ImportTemplates({"a", "b"});
    ImportPhotos(1, {"a.jpg"});
    ImportPhotos(3, {"a.jpg"});
    FTemps.SetSelected(1, true);
    ImportPhotos(1, {"a.jpg"});
    testing::SpreadSlotTransforms(Set(), 360, &TSlotNode::FlipH);
  }

  // A set file written by the controller: `name` in the sets folder holding
  // one template and the given photos.
  std::string MakeSetFile(const std::string& name, std::vector<std::string> photos) {
    EXPECT_FALSE(Ctl().Modified) << "no question expected";
    Ctl().ButtonNewSetClick();
    Package("p_" + name, {1, 1, 1});
    ImportTemplates({"p_" + name});
    ImportPhotos(1, std::move(photos));
    return SaveAs(name);
  }
};

TEST_F(SetCommandsTest, SavingAnUnnamedSetAsksForAName) {
  FillCurrentSet();
  const std::string path = FDir / "sets/客户A";
  MakeDirectories(FDir / "sets");
  FDialogs.ExpectSaveName(path);
  Ctl().ButtonSaveSetClick();
  Check();
  EXPECT_TRUE(FileExists(path + ".cys")) << "the default extension is added";
  EXPECT_EQ(Ctl().SetList[0]->FileName, path + ".cys");
  EXPECT_EQ(FSets.Rows[0].Texts[0], "客户A");
  EXPECT_EQ(FWindow.SetInfo, "当前套系：客户A");
  EXPECT_FALSE(Ctl().Modified);

  Slot(0, 0).Angle = 1;
  Ctl().Modified = true;
  Ctl().ButtonSaveSetClick();  // a named set replaces its own file without a question
  Check();
  EXPECT_FALSE(Ctl().Modified);
}

TEST_F(SetCommandsTest, CancelledSaveDialogKeepsTheSetUnsaved) {
  FillCurrentSet();
  FDialogs.ExpectSaveName("");
  EXPECT_EQ(Ctl().SaveSet(0), TAnswer::Cancel);
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_EQ(FSets.Rows[0].Texts[0], "未命名套系");
}

TEST_F(SetCommandsTest, SavingUnderTheFileOfAnOpenSetIsRefused) {
  const std::string path = MakeSetFile("s1", {"a.jpg"});
  Ctl().ButtonNewSetClick();
  Ctl().Modified = true;
  FDialogs.ExpectSaveName(path);
  FDialogs.ExpectInfo("该文件已经导入到当前套版程序，不能覆盖！");
  EXPECT_EQ(Ctl().SaveSet(Ctl().CurSet), TAnswer::Cancel);
  Check();
  EXPECT_TRUE(Ctl().Modified);
}

TEST_F(SetCommandsTest, SaveSetFileAsksBeforeReplacingAFile) {
  FillCurrentSet();
  const std::string path = FDir / "other.cys";
  testing::WriteText(path, "old");
  FDialogs.ExpectYesNoCancel("保存套系", "other.cys已存在，是否覆盖？", TAnswer::No);
  EXPECT_EQ(Ctl().SaveSetFile(0, path), TAnswer::No);
  FDialogs.ExpectYesNoCancel("保存套系", "other.cys已存在，是否覆盖？", TAnswer::Cancel);
  EXPECT_EQ(Ctl().SaveSetFile(0, path), TAnswer::Cancel);
  EXPECT_EQ(*ReadWholeFile(path), std::vector<uint8_t>({'o', 'l', 'd'}));
  FDialogs.ExpectYesNoCancel("保存套系", "other.cys已存在，是否覆盖？", TAnswer::Yes);
  EXPECT_EQ(Ctl().SaveSetFile(0, path), TAnswer::Yes);
  EXPECT_GT(ReadWholeFile(path)->size(), 3u);
  EXPECT_EQ(Ctl().SaveSetFile(7, path), TAnswer::Yes) << "an index outside the list writes nothing";
}

TEST_F(SetCommandsTest, FailedWriteIsReportedAndKeepsTheSetModified) {
  FillCurrentSet();
  const std::string path = FDir / "nofolder/s.cys";
  FDialogs.ExpectSaveName(path);
  FDialogs.ExpectInfo("套系文件保存失败：" + path);
  EXPECT_EQ(Ctl().SaveSet(0), TAnswer::Cancel);
  Check();
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_EQ(Ctl().SetList[0]->FileName, "") << "the set is not named after a file that was never written";
}

TEST_F(SetCommandsTest, SavedSetLoadsAsTheSameSet) {
  FillCurrentSet();
  ASSERT_EQ(FTemps.Column(2), (std::vector<std::string>{"2/2", "1/2"}));
  ASSERT_EQ(FPhotos.Rows[0].Texts[2], "3");
  std::vector<TSlotNode> before;
  for (auto& t : Set().PreviewTemps)
    for (auto& s : t->Slots)
      before.push_back(TSlotNode{s->TempIndex,
                                 s->PhotoType,
                                 {},
                                 s->PhotoIndex,
                                 s->OffsetX,
                                 s->OffsetY,
                                 s->ScaleX,
                                 s->ScaleY,
                                 s->Angle,
                                 s->FlipH,
                                 s->FlipV});
  const std::string path = SaveAs("round");

  FDialogs.ExpectYesNo("删除套系", "确实要删除套系【round】吗？", TAnswer::Yes);
  Ctl().MyListBoxSetTextClick(0, 1);
  Check();
  FDialogs.ExpectOpenSets({path});
  Ctl().ButtonLoadSetClick();
  Check();
  EXPECT_EQ(FTemps.Column(2), (std::vector<std::string>{"2/2", "1/2"}));
  EXPECT_EQ(FPhotos.Column(2), std::vector<std::string>{"3"});
  EXPECT_EQ(FStats.Column(2), std::vector<std::string>{"3"});
  size_t i = 0;
  for (auto& t : Set().PreviewTemps)
    for (auto& s : t->Slots) {
      testing::ExpectSameSlot(*s, before.at(i++));
    }
  EXPECT_EQ(i, before.size());
  EXPECT_EQ(FTemps.Rows[1].Texts, (std::vector<std::string>{"2", "b(5英寸)", "1/2", "删除"}));
  const std::vector<std::string> fill(FProgress.Log.end() - 7, FProgress.Log.end());
  EXPECT_EQ(fill, (std::vector<std::string>{"Show 5", "Info 正在导入套系", "Step", "Step", "Step", "Step",
                                            "Close"}))
      << "1 photo + 2 templates + 2 steps";
  EXPECT_FALSE(Ctl().Modified);
}

TEST_F(SetCommandsTest, MissingPhotoIsDroppedWhenTheSetIsRead) {
  const std::string path = MakeSetFile("s", {"1.jpg", "2.jpg", "3.jpg"});
  ASSERT_EQ(PhotoIndices(0), (std::vector<int>{0, 1, 2}));
  std::filesystem::remove(FDir / "photos/2.jpg");
  Ctl().CurSet = -1;  // make the set current again: its file is read anew
  Ctl().CurTemp = Ctl().CurSlot = -1;
  Ctl().MakeSetCurrent(0);
  Check();
  EXPECT_EQ(FPhotos.Column(1), (std::vector<std::string>{"1.jpg", "3.jpg"}));
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{0, -1, 1}));
  EXPECT_EQ(FTemps.Rows[0].Texts[2], "2/3");
  (void)path;
}

TEST_F(SetCommandsTest, UnreadablePhotoRowDropsThePhotoWhenTheListsAreFilled) {
  const std::string path = MakeSetFile("s", {"1.jpg", "2.jpg"});
  FPhotos.RefusedThumbs.insert(FDir / "photos/1.jpg");
  Ctl().CurSet = -1;
  Ctl().CurTemp = Ctl().CurSlot = -1;
  Ctl().MakeSetCurrent(0);
  Check();
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"2.jpg"});
  EXPECT_EQ(PhotoIndices(0), (std::vector<int>{-1, 0, -1}));
  (void)path;
}

TEST_F(SetCommandsTest, UnreadableSampleDropsTheTemplateWhenTheListsAreFilled) {
  MakeSetFile("s", {"1.jpg", "2.jpg"});
  FTemps.RefusedThumbs.insert(FDir / "lib/p_s/Sample.jpg");
  Ctl().CurSet = -1;
  Ctl().CurTemp = Ctl().CurSlot = -1;
  Ctl().MakeSetCurrent(0);
  Check();
  EXPECT_EQ(FTemps.Count(), 0);
  EXPECT_TRUE(Set().PreviewTemps.empty());
  EXPECT_EQ(FPhotos.Column(2), (std::vector<std::string>{"0", "0"}));
}

TEST_F(SetCommandsTest, LoadingSeveralFilesReplacesTheUnnamedSet) {
  const std::string s1 = MakeSetFile("s1", {"a.jpg"});
  const std::string s2 = MakeSetFile("s2", {"b.jpg", "c.jpg"});
  Restart();  // one unnamed set again
  FDialogs.ExpectOpenSets({s2, s1});
  Ctl().ButtonLoadSetClick();
  Check();
  ASSERT_EQ(FSets.Count(), 2);
  EXPECT_EQ(FSets.Column(0), (std::vector<std::string>{"s2", "s1"}));
  EXPECT_TRUE(FSets.Rows[0].Checked && FSets.Rows[1].Checked);
  EXPECT_EQ(Ctl().CurSet, 0) << "the first file chosen is current";
  EXPECT_EQ(FSets.Selected, 0);
  EXPECT_EQ(FWindow.SetInfo, "当前套系：s2");
  EXPECT_EQ(FPhotos.Column(1), (std::vector<std::string>{"b.jpg", "c.jpg"}));
  EXPECT_FALSE(Ctl().Modified);
}

TEST_F(SetCommandsTest, LoadingAFileThatIsOpenOnlyMakesItCurrent) {
  const std::string s1 = MakeSetFile("s1", {"a.jpg"});
  MakeSetFile("s2", {"b.jpg"});
  ASSERT_EQ(FSets.Count(), 2);
  FDialogs.ExpectOpenSets({s1});
  Ctl().ButtonLoadSetClick();
  Check();
  EXPECT_EQ(FSets.Count(), 2);
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"a.jpg"});
}

TEST_F(SetCommandsTest, MalformedOrMissingFilesAreSkipped) {
  testing::WriteText(FDir / "bad.cys", "\x05\x00\x00\x00garbage");
  FDialogs.ExpectOpenSets({FDir / "bad.cys", FDir / "none.cys"});
  Ctl().ButtonLoadSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), std::vector<std::string>{"未命名套系"});
  EXPECT_EQ(Ctl().CurSet, 0) << "the current set stays";
}

TEST_F(SetCommandsTest, LoadAsksBeforeLeavingAChangedSet) {
  const std::string s1 = MakeSetFile("s1", {"a.jpg"});
  Ctl().ButtonNewSetClick();
  ImportPhotos(1, {"x.jpg"});
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::Cancel);
  Ctl().ButtonLoadSetClick();
  Check();
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"x.jpg"});
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::No);
  FDialogs.ExpectOpenSets({s1});
  Ctl().ButtonLoadSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), std::vector<std::string>{"s1"}) << "the changed unnamed set was dropped";
}

TEST_F(SetCommandsTest, ChoosingTheCurrentSetDoesNothing) {
  ImportPhotos(1, {"a.jpg"});
  Ctl().MyListBoxSetTextClick(0, 0);
  Check();
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_EQ(FPhotos.Count(), 1);
}

TEST_F(SetCommandsTest, LeavingAChangedUnnamedSetWithNoDiscardsIt) {
  const std::string s1 = MakeSetFile("s1", {"a.jpg"});
  Ctl().ButtonNewSetClick();
  ImportPhotos(1, {"x.jpg"});
  ASSERT_EQ(FSets.Count(), 2);
  FDialogs.ExpectYesNo("保存套系", "当前套系已更改，是否保存？", TAnswer::No);
  Ctl().MyListBoxSetTextClick(0, 0);
  Check();
  EXPECT_EQ(FSets.Column(0), std::vector<std::string>{"s1"});
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"a.jpg"});
  EXPECT_EQ(Ctl().CurTemp, -1);
  EXPECT_NE(std::find(FPreview.Log.begin(), FPreview.Log.end(), "ResetSampleAndSlotButtons"),
            FPreview.Log.end());
  (void)s1;
}

TEST_F(SetCommandsTest, LeavingWithYesSavesAndACancelledSaveStays) {
  MakeSetFile("s1", {"a.jpg"});
  Ctl().ButtonNewSetClick();
  ImportPhotos(1, {"x.jpg"});
  FDialogs.ExpectYesNo("保存套系", "当前套系已更改，是否保存？", TAnswer::Yes);
  FDialogs.ExpectSaveName("");
  Ctl().MyListBoxSetTextClick(0, 0);
  Check();
  EXPECT_EQ(Ctl().CurSet, 1) << "the save was cancelled: nothing changes";
  EXPECT_TRUE(Ctl().Modified);

  const std::string path = FDir / "sets/s2.cys";
  FDialogs.ExpectYesNo("保存套系", "当前套系已更改，是否保存？", TAnswer::Yes);
  FDialogs.ExpectSaveName(path);
  Ctl().MyListBoxSetTextClick(0, 0);
  Check();
  EXPECT_EQ(FSets.Column(0), (std::vector<std::string>{"s1", "s2"}));
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_TRUE(FileExists(path));
}

TEST_F(SetCommandsTest, ANamedSetLeftWithNoIsReadAgainFromItsFile) {
  MakeSetFile("s1", {"a.jpg"});
  ImportPhotos(3, {"changed.jpg"});
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::No);
  Ctl().ButtonNewSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), (std::vector<std::string>{"s1", "未命名套系"})) << "a named set is kept";
  EXPECT_EQ(Ctl().SetList[0]->Photos.size(), 2u) << "with its unsaved records until it is chosen";
  Ctl().MyListBoxSetTextClick(0, 0);
  Check();
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"a.jpg"}) << "the unsaved photo is gone";
}

TEST_F(SetCommandsTest, SaveAsFromAnUnnamedSetLeavesOneRow) {
  ImportPhotos(1, {"a.jpg"});
  const std::string path = FDir / "sets/new.cys";
  MakeDirectories(FDir / "sets");
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::No);
  FDialogs.ExpectSaveName(path);
  Ctl().ButtonSaveAsSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), std::vector<std::string>{"new"});
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_EQ(Ctl().SetList[0]->FileName, path);
  EXPECT_EQ(FWindow.SetInfo, "当前套系：new");
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"a.jpg"});
}

TEST_F(SetCommandsTest, SaveAsFromANamedSetKeepsTheOldRow) {
  const std::string old = MakeSetFile("old", {"a.jpg"});
  ImportPhotos(3, {"b.jpg"});
  const std::string path = FDir / "sets/copy.cys";
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::No);
  FDialogs.ExpectSaveName(path);
  Ctl().ButtonSaveAsSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), (std::vector<std::string>{"old", "copy"}));
  EXPECT_EQ(Ctl().CurSet, 1);
  EXPECT_EQ(FSets.Selected, 1);
  EXPECT_EQ(Ctl().SetList[0]->FileName, old);
  EXPECT_TRUE(Ctl().SetList[0]->Photos.empty()) << "a placeholder that reads the old file when chosen";
  EXPECT_EQ(FPhotos.Count(), 2);

  Ctl().MyListBoxSetTextClick(0, 0);
  Check();
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"a.jpg"}) << "the old file without b";
}

TEST_F(SetCommandsTest, SaveAsRefusesTheFileOfAnOpenSet) {
  const std::string s1 = MakeSetFile("s1", {"a.jpg"});
  FDialogs.ExpectSaveName(s1);
  FDialogs.ExpectInfo("该文件已经导入到当前套版程序，不能覆盖！");
  Ctl().ButtonSaveAsSetClick();
  Check();
  EXPECT_EQ(FSets.Count(), 1);
}

TEST_F(SetCommandsTest, NewSetAsksAndReplacesAnUnnamedLastSet) {
  ImportPhotos(1, {"a.jpg"});
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::Cancel);
  Ctl().ButtonNewSetClick();
  Check();
  EXPECT_EQ(FPhotos.Count(), 1);
  FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", TAnswer::No);
  Ctl().ButtonNewSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), std::vector<std::string>{"未命名套系"});
  EXPECT_EQ(FPhotos.Count(), 0);
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(Ctl().CurSet, 0);
}

TEST_F(SetCommandsTest, DeletingTickedSetsAboveTheCurrentKeepsItCurrent) {
  MakeSetFile("s1", {"a.jpg"});
  MakeSetFile("s2", {"b.jpg"});
  MakeSetFile("s3", {"c.jpg"});
  ASSERT_EQ(Ctl().CurSet, 2);
  for (int r = 0; r < 3; ++r) FSets.SetChecked(r, r == 1);
  FDialogs.ExpectYesNo("删除套系", "确实要删除所有选中的套系吗？", TAnswer::Yes);
  Ctl().ButtonDelSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), (std::vector<std::string>{"s1", "s3"}));
  EXPECT_EQ(Ctl().CurSet, 1);
  EXPECT_EQ(FPhotos.Column(1), std::vector<std::string>{"c.jpg"});
}

TEST_F(SetCommandsTest, DeletingTheTickedCurrentSetEmptiesTheLists) {
  MakeSetFile("s1", {"a.jpg"});
  MakeSetFile("s2", {"b.jpg"});
  FDialogs.ExpectYesNo("删除套系", "确实要删除所有选中的套系吗？", TAnswer::No);
  Ctl().ButtonDelSetClick();
  EXPECT_EQ(FSets.Count(), 2);
  FSets.SetChecked(0, false);
  FDialogs.ExpectYesNo("删除套系", "确实要删除所有选中的套系吗？", TAnswer::Yes);
  Ctl().ButtonDelSetClick();
  Check();
  EXPECT_EQ(FSets.Column(0), std::vector<std::string>{"s1"});
  EXPECT_EQ(Ctl().CurSet, -1);
  EXPECT_EQ(FPhotos.Count(), 0);
  EXPECT_FALSE(Ctl().Modified);
  Ctl().ButtonSelectAllSetClick();
  EXPECT_TRUE(FSets.GetChecked(0));
}

TEST_F(SetCommandsTest, DeleteLinkRemovesComposingFoldersButKeepsTheFile) {
  const std::string path = MakeSetFile("s1", {"a.jpg"});
  const std::string folder = PreviewFolder(Paths().TempDir, Temp(0));
  testing::WriteText(folder + "preview.jpg", "x");
  FDialogs.ExpectYesNo("删除套系", "确实要删除套系【s1】吗？", TAnswer::No);
  Ctl().MyListBoxSetTextClick(0, 1);
  EXPECT_EQ(FSets.Count(), 1);
  FDialogs.ExpectYesNo("删除套系", "确实要删除套系【s1】吗？", TAnswer::Yes);
  Ctl().MyListBoxSetTextClick(0, 1);
  Check();
  EXPECT_EQ(FSets.Count(), 0);
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(Ctl().CurSet, -1);
}

struct CloseCase {
  const char* name;
  bool modified;
  std::vector<TAnswer> answers;  // close question, then the save dialog (Yes = a path, Cancel = none)
  bool canClose;
};

class CloseQueryTest : public SetCommandsTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseQueryTest, AsksOnlyAboutChanges) {
  const CloseCase& c = GetParam();
  if (c.modified) ImportPhotos(1, {"a.jpg"});
  if (!c.answers.empty()) FDialogs.ExpectYesNoCancel("保存套系", "当前套系已更改，是否保存？", c.answers[0]);
  if (c.answers.size() > 1) {
    MakeDirectories(FDir / "sets");
    FDialogs.ExpectSaveName(c.answers[1] == TAnswer::Yes ? FDir / "sets/x.cys" : "");
  }
  EXPECT_EQ(Ctl().FormCloseQuery(), c.canClose) << c.name;
  Check();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CloseQueryTest,
    ::testing::Values(CloseCase{"no changes", false, {}, true}, CloseCase{"no", true, {TAnswer::No}, true},
                      CloseCase{"cancel", true, {TAnswer::Cancel}, false},
                      CloseCase{"yes, saved", true, {TAnswer::Yes, TAnswer::Yes}, true},
                      CloseCase{"yes, save dialog cancelled", true, {TAnswer::Yes, TAnswer::Cancel}, false}));

TEST_F(SetCommandsTest, ChangedUnnamedSetIsWrittenToTheProgramFolderBeforePowerOff) {
  EXPECT_TRUE(Ctl().SaveBeforeShutdown().ok()) << "nothing to save";
  ImportPhotos(1, {"a.jpg"});
  ASSERT_TRUE(Ctl().SaveBeforeShutdown().ok());
  EXPECT_TRUE(FileExists(FDir / "app/套系_14_05_09.cys"));
  EXPECT_EQ(Ctl().SetList[0]->FileName, "");
}

TEST_F(SetCommandsTest, EmergencySaveFallsBackToTheConfigurationFolder) {
  ImportPhotos(1, {"a.jpg"});
  std::filesystem::remove_all(FDir / "app");
  testing::WriteText(FDir / "app", "a file where the program folder should be");
  ASSERT_TRUE(Ctl().SaveBeforeShutdown().ok());
  EXPECT_TRUE(FileExists(FDir / "cfg/套系_14_05_09.cys"));
}

TEST_F(SetCommandsTest, ChangedNamedSetIsSavedToItsFileBeforePowerOff) {
  const std::string path = MakeSetFile("s1", {"a.jpg"});
  ImportPhotos(3, {"b.jpg"});
  ASSERT_TRUE(Ctl().SaveBeforeShutdown().ok());
  EXPECT_FALSE(Ctl().Modified);
  auto set = ReadSetFile(path, TDiskSetFileSource());
  ASSERT_TRUE(set.ok());
  EXPECT_EQ((*set)->Photos.size(), 2u);
}

}  // namespace
}  // namespace tessaro
