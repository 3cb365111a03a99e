// The composition commands: their checks and messages, the jobs they start,
// where results go, the common ending, the batch completion step and the
// power-off, and editing a photo in the user's image editor.
#include "ControllerTestBase.h"

namespace tessaro {
namespace {

using testing::ControllerTest;

enum class Command { SinglePreview, SingleResult, BatchPreview, BatchResult };

const char* Name(Command c) {
  static const char* const kNames[] = {"SinglePreview", "SingleResult", "BatchPreview", "BatchResult"};
  return kNames[static_cast<int>(c)];
}

class ComposeTest : public ControllerTest {
 protected:
  // Templates (two opaque slots each) imported into the current set, every
  // slot filled with a photo of its own; the first template stays current.
  void FilledTemplates(const std::vector<std::string>& names) {
    for (const auto& n : names) Package(n, {1, 1});
    const int first = FTemps.Count();
    ImportTemplates(names);
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
      FTemps.SetSelected(first + i, true);
      ImportPhotos(1, {names[i] + "a.jpg", names[i] + "b.jpg"});
    }
    FTemps.SetSelected(first, true);
    Ctl().SelectTemplate(first);  // no slot selected
    Check();
  }

  std::string Composed(const TTempNode& temp) {
    return JoinPath(PreviewFolder(Paths().TempDir, temp), kComposedPreviewName);
  }

  void Run(Command c) {
    static void (TMainController::*const kCommands[])() = {
        &TMainController::ImageButtonPreviewSingleClick, &TMainController::ImageButtonSingleCreateResultClick,
        &TMainController::ImageButtonBatchPreviewClick, &TMainController::ImageButtonBatchCreateResultClick};
    (Ctl().*kCommands[static_cast<int>(c)])();
  }
  // The dialogs a command opens after its checks: a single result is saved
  // as out/r.jpg, a batch result into out/.
  // The dialogs a command opens after its checks, answered.
  void ExpectOutputDialog(Command c, const std::string& proposedName = "1_未命名套系_1_t1(5英寸).jpg") {
    if (c == Command::SingleResult) {
      MakeDirectories(FDir / "out");
      FDialogs.ExpectSaveResult(proposedName, ".jpg", "成品文件(*.jpg)|*.jpg", FDir / "out/r.jpg");
    } else if (c == Command::BatchResult) {
      MakeDirectories(FDir / "out");
      FDialogs.ExpectFolder("请选择保存文件夹（文件重名将被自动覆盖）", FDir / "out");
    }
  }
  static bool IsBatch(Command c) { return c == Command::BatchPreview || c == Command::BatchResult; }
  void ExpectCompletion(Command c) {
    if (c == Command::BatchPreview) FDialogs.ExpectInfo("批量预览完成");
    if (c == Command::BatchResult) FDialogs.ExpectInfo("批量自动套版完成");
  }

  std::string ReadText(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
  }
};

class EveryCommandTest : public ComposeTest, public ::testing::WithParamInterface<Command> {};

TEST_P(EveryCommandTest, EmptySlotIsSelectedAndNoJobStarts) {
  Package("t1", {1, 1, 1});
  ImportTemplates({"t1"});
  ImportPhotos(1, {"a.jpg"});  // slot 0
  Ctl().SelectSlot(2);
  Ctl().HandPlacePhoto(0);  // slot 2 too; slot 1 stays empty
  SaveAs("s1");             // batches ask about unsaved changes first
  FPreview.Log.clear();
  FDialogs.ExpectInfo("这个位置没有放置照片");
  Run(GetParam());
  Check();
  EXPECT_EQ(Ctl().CurSlot, 1) << Name(GetParam());
  EXPECT_EQ(FPreview.Log.back(), "SelectSlot 1 ");
  EXPECT_TRUE(FCompose.Runs.empty());
  EXPECT_EQ(FCompose.Checks, 0) << "the editor is not even checked";
}

TEST_P(EveryCommandTest, EditorThatIsNotReadyStartsNoJob) {
  struct Case {
    TEditorCheck check;
    int index;
    std::vector<std::string> texts;
  };
  const std::string starting = "正准备打开图像编辑器软件程序，打开后请最小化图像编辑器后再使用本软件。";
  const std::string unsupported =
      "不支持当前版本的图像编辑器！请在本软件所在文件夹的版本配置文件PSCfg.ini中为该版本增加一项。";
  const Case cases[] = {
      {TEditorCheck::Starting, 0, {starting}},
      {TEditorCheck::CannotStart,
       0,
       {starting, "无法打开图像编辑器软件，请确定本机是否已经安装了图像编辑器。"}},
      {TEditorCheck::Unsupported, 0, {unsupported}},
      {TEditorCheck::Ready, -1, {unsupported}},
  };
  FilledTemplates({"t1"});
  SaveAs("s1");
  for (const Case& c : cases) {
    FCompose.Check = c.check;
    FCompose.VersionIndex = c.index;
    for (const auto& text : c.texts) FDialogs.ExpectInfo(text);
    Run(GetParam());
    Check();
    EXPECT_TRUE(FCompose.Runs.empty()) << Name(GetParam()) << " " << c.texts.size();
    EXPECT_EQ(Ctl().PSVersionIndex, -1);
  }
}

TEST_P(EveryCommandTest, JobsTakeTheEffectsSwitchAndTheVersionIndex) {
  FilledTemplates({"t1", "t2"});
  SaveAs("s1");
  for (bool cancelEffects : {false, true}) {
    if (Ctl().CancelEffects != cancelEffects) Ctl().ButtonCancelEffectClick();
    FCompose.Runs.clear();
    ExpectOutputDialog(GetParam(), "1_s1_1_t1(5英寸).jpg");
    ExpectCompletion(GetParam());
    Run(GetParam());
    Check();
    ASSERT_EQ(FCompose.Runs.size(), IsBatch(GetParam()) ? 2u : 1u);
    for (const auto& run : FCompose.Runs) {
      EXPECT_EQ(run.Job.CancelEffects, cancelEffects) << Name(GetParam());
      EXPECT_EQ(run.Job.PSVersionIndex, 2);
      EXPECT_TRUE(run.FolderExisted) << "the composing folder is made before the job";
      EXPECT_EQ(run.Job.PreviewFile, Composed(Temp(run.Job.TemplateIndex)));
    }
  }
}

TEST_P(EveryCommandTest, ShutdownBoxIsClearedAtTheStart) {
  FilledTemplates({"t1"});
  SaveAs("s1");
  FCompose.Shutdown = true;  // ticked during an earlier command
  ExpectOutputDialog(GetParam(), "1_s1_1_t1(5英寸).jpg");
  ExpectCompletion(GetParam());
  Run(GetParam());
  EXPECT_EQ(FCompose.Runs.size(), 1u);
  EXPECT_FALSE(FCompose.Shutdown);
  EXPECT_EQ(FPower.PowerOffs, 0) << Name(GetParam());
}

TEST_P(EveryCommandTest, TickingShutdownDuringTheJobPowersOffAfterTheCommand) {
  FilledTemplates({"t1"});
  SaveAs("s1");
  FCompose.TickShutdownAt = 0;
  ExpectOutputDialog(GetParam(), "1_s1_1_t1(5英寸).jpg");  // no completion message
  Run(GetParam());
  EXPECT_EQ(FCompose.Runs.size(), 1u);
  EXPECT_EQ(FPower.PowerOffs, 1) << Name(GetParam());
  EXPECT_TRUE(FWindow.Tune.empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, EveryCommandTest,
                         ::testing::Values(Command::SinglePreview, Command::SingleResult,
                                           Command::BatchPreview, Command::BatchResult),
                         [](const auto& info) { return std::string(Name(info.param)); });

TEST_F(ComposeTest, CommandsWithoutAnythingToComposeSayWhatIsMissing) {
  struct Case {
    Command command;
    std::string text;
  };
  const Case cases[] = {
      {Command::SinglePreview, "请先选中要预览的模板！"},
      {Command::SingleResult, "请先选中模板！"},
      {Command::BatchPreview, "当前没有可以预览的模板"},
      {Command::BatchResult, "请先选择要自动套版的模板"},
  };
  FilledTemplates({"t1"});
  SaveAs("s1");
  FSets.SetChecked(0, false);  // the only set with templates is not ticked
  Ctl().SelectTemplate(-1);
  for (const Case& c : cases) {
    FDialogs.ExpectInfo(c.text);
    Run(c.command);
  }
  EXPECT_TRUE(FCompose.Runs.empty());
  EXPECT_EQ(FCompose.Checks, 0);

  // Without any set a batch does nothing at all.
  FDialogs.ExpectYesNo("删除套系", "确实要删除套系【s1】吗？", TAnswer::Yes);
  Ctl().MyListBoxSetTextClick(0, 1);
  Ctl().ImageButtonBatchPreviewClick();
  Ctl().ImageButtonBatchCreateResultClick();
  EXPECT_TRUE(FCompose.Runs.empty());
}

TEST_F(ComposeTest, ChangedSetIsSavedBeforePowerOff) {
  struct Case {
    Command command;
    bool named;
  };
  const Case cases[] = {{Command::SinglePreview, false},
                        {Command::SingleResult, false},
                        {Command::SinglePreview, true},
                        {Command::SingleResult, true}};
  for (const Case& c : cases) {
    Restart();
    std::filesystem::remove(FDir / "app/套系_14_05_09.cys");
    FCompose.Runs.clear();
    FCompose.TickShutdownAt = 0;
    FPower.PowerOffs = 0;
    FilledTemplates({"t1"});
    std::string path = FDir / "app/套系_14_05_09.cys";
    if (c.named) {
      path = SaveAs("s1");
      ImportPhotos(1, {"extra.jpg"});
    }
    ASSERT_TRUE(Ctl().Modified);
    ExpectOutputDialog(c.command, c.named ? "1_s1_1_t1(5英寸).jpg" : "1_未命名套系_1_t1(5英寸).jpg");
    Run(c.command);
    EXPECT_EQ(FPower.PowerOffs, 1) << Name(c.command) << c.named;
    auto saved = ReadSetFile(path, TDiskSetFileSource());
    ASSERT_TRUE(saved.ok()) << Name(c.command) << c.named;
    EXPECT_EQ((*saved)->Photos.size(), c.named ? 3u : 2u) << "the changes are in the file";
    EXPECT_EQ(Set().FileName, c.named ? path : "") << "an unnamed set stays unnamed";
  }
}

TEST_F(ComposeTest, UnsavedSetBlocksThePowerOff) {
  FilledTemplates({"t1"});
  testing::WriteText(FDir / "app/套系_14_05_09.cys", "another set saved this second");
  FCompose.TickShutdownAt = 0;
  FDialogs.ExpectYesNoCancel("保存套系", "套系_14_05_09.cys已存在，是否覆盖？", TAnswer::No);
  FDialogs.ExpectInfo("当前套系未能保存，已取消自动关机。");
  Ctl().ImageButtonPreviewSingleClick();
  EXPECT_EQ(FPower.PowerOffs, 0);
  EXPECT_TRUE(Ctl().Modified);
}

TEST_F(ComposeTest, SinglePreviewComposesTheCurrentTemplateAndShowsItsPreview) {
  FilledTemplates({"t1", "t2"});
  FTemps.SetSelected(1, true);
  Ctl().SelectSlot(1);
  Ctl().ImageButtonPSDFormatClick();  // previews are JPEG whatever the switch says
  // A preview of an earlier job must not pass for this one's.
  testing::WriteText(Composed(Temp(1)), "old");
  FPreview.Log.clear();
  Ctl().ImageButtonPreviewSingleClick();
  Check();
  ASSERT_EQ(FCompose.Runs.size(), 1u);
  const auto& run = FCompose.Runs[0];
  EXPECT_TRUE(run.Job.PreviewMode);
  EXPECT_EQ(run.Job.SetNode, &Set());
  EXPECT_EQ(run.Job.TemplateIndex, 1);
  EXPECT_FALSE(run.Job.PsdOutput);
  EXPECT_EQ(run.Job.ResultFile, "");
  EXPECT_FALSE(run.PreviewExisted);
  EXPECT_EQ(run.Info, "正在单张预览： t2");
  EXPECT_EQ(run.Counter, "1/1");
  EXPECT_EQ(FPreview.Log,
            (std::vector<std::string>{"ShowTemplatePicture " + Composed(Temp(1)),
                                      "ShowSample " + FDir / "lib/t2/Sample.jpg", "UncheckSlotButtons"}));
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_EQ(Ctl().CurTemp, 1);
  EXPECT_TRUE(FDesktop.OpenedFolders.empty());
  EXPECT_TRUE(FWindow.Tune.empty());
}

TEST_F(ComposeTest, FailedOrCancelledJobShowsNoNewPreview) {
  FilledTemplates({"t1"});
  Ctl().SelectSlot(0);
  FCompose.FailingJobs = {0};
  FCompose.CancelAt = 1;
  for (int job = 0; job < 2; ++job) {
    testing::WriteText(Composed(Temp(0)), "old");
    FPreview.Log.clear();
    Ctl().ImageButtonPreviewSingleClick();
    EXPECT_TRUE(FPreview.Log.empty()) << "job " << job;
    EXPECT_EQ(Ctl().CurSlot, 0) << "the slot stays selected";
    EXPECT_FALSE(FileExists(Composed(Temp(0))));
  }
  EXPECT_TRUE(Ctl().JobCancelled);
}

TEST_F(ComposeTest, SingleResultProposesNumberedTrimmedNamesInTheChosenFormat) {
  struct Case {
    bool psd;
    std::string chosen;  // as typed in the dialog, relative to out/
    std::string proposed, extension, filter, written;
  };
  const Case cases[] = {
      {false, "r.jpg", "2_张三_1_婚纱(5英寸).jpg", ".jpg", "成品文件(*.jpg)|*.jpg", "r.jpg"},
      {true, "r.psd", "2_张三_1_婚纱(5英寸).psd", ".psd", "成品文件(*.psd)|*.psd", "r.psd"},
      {true, "r", "2_张三_1_婚纱(5英寸).psd", ".psd", "成品文件(*.psd)|*.psd", "r.psd"},
  };
  SaveAs("s1");
  Ctl().ButtonNewSetClick();
  FilledTemplates({"t1"});
  // Captions as the lists show them, with blanks that the name leaves out.
  FSets.SetCellText(1, 0, " 张三 ");
  FTemps.SetCellText(0, 1, "  婚纱(5英寸) ");
  MakeDirectories(FDir / "out");
  for (const Case& c : cases) {
    if (c.psd)
      Ctl().ImageButtonPSDFormatClick();
    else
      Ctl().ImageButtonJpgFormatClick();
    FCompose.Runs.clear();
    FDesktop.OpenedFolders.clear();
    FDialogs.ExpectSaveResult(c.proposed, c.extension, c.filter, FDir / ("out/" + c.chosen));
    Ctl().ImageButtonSingleCreateResultClick();
    ASSERT_EQ(FCompose.Runs.size(), 1u);
    const auto& run = FCompose.Runs[0];
    EXPECT_FALSE(run.Job.PreviewMode);
    EXPECT_EQ(run.Job.PsdOutput, c.psd);
    EXPECT_EQ(run.Job.ResultFile, FDir / ("out/" + c.written));
    EXPECT_EQ(run.Info, "正在单张自动套版：t1");
    EXPECT_EQ(FDesktop.OpenedFolders, (std::vector<std::string>{FDir / "out/"}));
  }
}

TEST_F(ComposeTest, SingleResultDeletesTheChosenFileBeforeTheJob) {
  FilledTemplates({"t1"});
  MakeDirectories(FDir / "out");
  testing::WriteText(FDir / "out/r.jpg", "an older result");
  FCompose.FailingJobs = {0};
  ExpectOutputDialog(Command::SingleResult);
  Ctl().ImageButtonSingleCreateResultClick();
  ASSERT_EQ(FCompose.Runs.size(), 1u);
  EXPECT_FALSE(FCompose.Runs[0].ResultExisted);
  EXPECT_FALSE(FileExists(FDir / "out/r.jpg")) << "a failed job leaves no file";
  EXPECT_TRUE(FDesktop.OpenedFolders.empty()) << "and opens no folder";

  // A cancelled dialog changes nothing.
  testing::WriteText(FDir / "out/r.jpg", "kept");
  FDialogs.ExpectSaveResult("1_未命名套系_1_t1(5英寸).jpg", ".jpg", "成品文件(*.jpg)|*.jpg", "");
  Ctl().ImageButtonSingleCreateResultClick();
  EXPECT_EQ(FCompose.Runs.size(), 1u);
  EXPECT_EQ(ReadText(FDir / "out/r.jpg"), "kept");
}

// Two ticked sets s1 (templates a1, a2) and s2 (b1), and an unticked s3 (c1)
// that is current.
class BatchTest : public ComposeTest {
 protected:
  void SetUp() override {
    ComposeTest::SetUp();
    FilledTemplates({"a1", "a2"});
    SaveAs("s1");
    Ctl().ButtonNewSetClick();
    FilledTemplates({"b1"});
    SaveAs("s2");
    Ctl().ButtonNewSetClick();
    FilledTemplates({"c1"});
    SaveAs("s3");
    FSets.SetChecked(2, false);
  }
  TSetNode& SetAt(int i) { return *Ctl().SetList.at(i); }
};

TEST_F(BatchTest, PreviewComposesEveryTemplateOfTheTickedSetsInOrder) {
  FDialogs.ExpectInfo("批量预览完成");
  Ctl().ImageButtonBatchPreviewClick();
  Check();
  ASSERT_EQ(FCompose.Runs.size(), 3u);
  const std::vector<std::tuple<TSetNode*, int, std::string, std::string>> expected = {
      {&SetAt(0), 0, "正在批量预览：a1", "1/3"},
      {&SetAt(0), 1, "正在批量预览：a2", "2/3"},
      {&SetAt(1), 0, "正在批量预览：b1", "3/3"},
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto& run = FCompose.Runs[i];
    const auto& [set, temp, info, counter] = expected[i];
    EXPECT_EQ(run.Job.SetNode, set) << i;
    EXPECT_EQ(run.Job.TemplateIndex, temp) << i;
    EXPECT_EQ(run.Info, info);
    EXPECT_EQ(run.Counter, counter);
    EXPECT_TRUE(run.Job.PreviewMode);
    EXPECT_EQ(run.Job.ResultFile, "");
    EXPECT_TRUE(FileExists(run.Job.PreviewFile)) << i;
  }
  EXPECT_EQ(Ctl().CurSet, 2) << "the current set stays current";
  EXPECT_TRUE(FDesktop.OpenedFolders.empty());
}

TEST_F(BatchTest, ResultsGoIntoOneFolderPerSetAndASecondRunReplacesThem) {
  FSets.SetCellText(1, 0, " s2 ");  // the folder keeps the blanks, the file names do not
  Ctl().ImageButtonPSDFormatClick();
  const std::vector<std::string> files = {"out/1_s1/1_s1_1_a1(5英寸).psd", "out/1_s1/1_s1_2_a2(5英寸).psd",
                                          "out/2_ s2 /2_s2_1_b1(5英寸).psd"};
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) FCompose.FailingJobs = {4};  // the second run's a2 fails
    MakeDirectories(FDir / "out");
    FDialogs.ExpectFolder("请选择保存文件夹（文件重名将被自动覆盖）", FDir / "out");
    FDialogs.ExpectInfo("批量自动套版完成");
    Ctl().ImageButtonBatchCreateResultClick();
    ASSERT_EQ(FCompose.Runs.size(), 3u * (pass + 1));
    for (int i = 0; i < 3; ++i) {
      const auto& run = FCompose.Runs[3 * pass + i];
      EXPECT_EQ(run.Job.ResultFile, FDir / files[i]);
      EXPECT_TRUE(run.Job.PsdOutput);
      EXPECT_FALSE(run.Job.PreviewMode);
      EXPECT_FALSE(run.ResultExisted) << "replaced, not written over";
    }
  }
  EXPECT_EQ(ReadText(FDir / files[0]), "job 3");
  EXPECT_FALSE(FileExists(FDir / files[1])) << "no result of the first run passes for the failed job's";
  EXPECT_EQ(ReadText(FDir / files[2]), "job 5");
  EXPECT_TRUE(FDesktop.OpenedFolders.empty());
}

TEST_F(BatchTest, CancelledFolderDialogStartsNoJob) {
  FDialogs.ExpectFolder("请选择保存文件夹（文件重名将被自动覆盖）", "");
  Ctl().ImageButtonBatchCreateResultClick();
  EXPECT_TRUE(FCompose.Runs.empty());
}

TEST_F(BatchTest, CancellingEndsTheWholeBatch) {
  FCompose.TickShutdownAt = 0;
  FCompose.CancelAt = 0;
  testing::WriteText(FDir / "app/beep.wav", "tune");
  Ctl().ImageButtonBatchPreviewClick();  // no completion message is scripted
  EXPECT_EQ(FCompose.Runs.size(), 1u) << "no later template of any set";
  EXPECT_TRUE(Ctl().JobCancelled);
  EXPECT_TRUE(FWindow.Tune.empty());
  EXPECT_EQ(FPower.PowerOffs, 0);

  // The next command starts afresh.
  FCompose.CancelAt = -1;
  FCompose.TickShutdownAt = -1;
  FDialogs.ExpectInfo("批量预览完成");
  Ctl().ImageButtonBatchPreviewClick();
  EXPECT_FALSE(Ctl().JobCancelled);
  EXPECT_EQ(FCompose.Runs.size(), 4u);
}

TEST_F(BatchTest, CompletionTunePlaysWhileTheMessageIsOpen) {
  for (bool tune : {false, true}) {
    if (tune) testing::WriteText(FDir / "app/beep.wav", "tune");
    FWindow.Tune.clear();
    Ctl().ButtonPhotoClick();
    FDialogs.ExpectInfo("批量预览完成");
    Ctl().ImageButtonBatchPreviewClick();
    if (tune)
      EXPECT_EQ(FWindow.Tune, (std::vector<std::string>{"Play " + FDir / "app/beep.wav", "Stop"}));
    else
      EXPECT_TRUE(FWindow.Tune.empty());
    EXPECT_EQ(FWindow.Page, TLeftPage::Template) << "the template list is shown";
  }
}

TEST_F(BatchTest, TickedShutdownPowersOffInsteadOfTheCompletionStep) {
  testing::WriteText(FDir / "app/beep.wav", "tune");
  FCompose.TickShutdownAt = 2;
  Ctl().ImageButtonBatchPreviewClick();
  EXPECT_EQ(FCompose.Runs.size(), 3u);
  EXPECT_EQ(FPower.PowerOffs, 1);
  EXPECT_TRUE(FWindow.Tune.empty());
}

TEST_F(BatchTest, EmptySlotInAnotherSetMakesThatSetCurrent) {
  // s2's only template loses the photo of its slot 1, in memory and file.
  Ctl().MyListBoxSetTextClick(1, 0);
  Ctl().DeletePhoto(Slot(0, 1).PhotoIndex);
  Ctl().ButtonSaveSetClick();
  Ctl().MyListBoxSetTextClick(0, 0);
  FTemps.SetSelected(1, true);
  Ctl().SelectSlot(0);
  Check();
  FDialogs.ExpectInfo("这个位置没有放置照片");
  Ctl().ImageButtonBatchCreateResultClick();  // no folder dialog
  Check();
  EXPECT_EQ(Ctl().CurSet, 1);
  EXPECT_EQ(Ctl().CurTemp, 0);
  EXPECT_EQ(FTemps.Selected, 0);
  EXPECT_EQ(Ctl().CurSlot, 1);
  EXPECT_EQ(FPreview.Log.back(), "SelectSlot 1 ");
  EXPECT_TRUE(FCompose.Runs.empty());
}

TEST_F(BatchTest, EmptySlotInAnotherTemplateOfTheCurrentSetSelectsThatTemplate) {
  Ctl().MyListBoxSetTextClick(0, 0);
  FTemps.SetSelected(0, true);
  Ctl().SelectSlot(0);                                             // a1
  Ctl().DeletePhoto(Set().PreviewTemps[1]->Slots[0]->PhotoIndex);  // a2 slot 0
  Ctl().ButtonSaveSetClick();
  FDialogs.ExpectInfo("这个位置没有放置照片");
  Ctl().ImageButtonBatchPreviewClick();
  Check();
  EXPECT_EQ(Ctl().CurSet, 0);
  EXPECT_EQ(Ctl().CurTemp, 1);
  EXPECT_EQ(FTemps.Selected, 1);
  EXPECT_EQ(Ctl().CurSlot, 0);
  EXPECT_TRUE(FCompose.Runs.empty());
}

TEST_F(BatchTest, UnsavedChangesAreSavedFirstOrEndTheBatch) {
  ImportPhotos(1, {"extra.jpg"});  // s3 changed
  FDialogs.ExpectOkCancel("保存套系", "当前套系已更改，是否保存？", false);
  Ctl().ImageButtonBatchPreviewClick();
  EXPECT_TRUE(FCompose.Runs.empty());
  EXPECT_TRUE(Ctl().Modified);

  FDialogs.ExpectOkCancel("保存套系", "当前套系已更改，是否保存？", true);
  FDialogs.ExpectInfo("批量预览完成");
  Ctl().ImageButtonBatchPreviewClick();
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(FCompose.Runs.size(), 3u);
}

TEST_F(ComposeTest, EditingAPhotoChecksTheSlotAndOpensTheUsersEditor) {
  Package("t1", {1, 1});
  ImportTemplates({"t1"});
  ImportPhotos(1, {"a.jpg"});  // slot 0
  Ctl().Settings.ImageEditor = "gimp";

  struct Case {
    std::string what;
    std::function<void()> arrange;
    std::string text;  // empty: the editor opens
  };
  const std::string photo = FDir / "photos/a.jpg";
  const Case cases[] = {
      {"no slot", [&] { Ctl().SelectTemplate(0); }, "请先选择模板中的哪张照片需要在图像编辑器中编辑!"},
      {"empty slot", [&] { Ctl().SelectSlot(1); }, "该位置还没有增加照片!"},
      {"photo index beyond the photos",
       [&] {
         Ctl().SelectSlot(0);
         Slot(0, 0).PhotoIndex = 5;
       },
       "该照片不存在，请重新导入!"},
      {"photo file gone",
       [&] {
         Slot(0, 0).PhotoIndex = 0;
         std::filesystem::remove(photo);
       },
       "该照片不存在，请重新导入。"},
      {"editor opens", [&] { testing::WriteText(photo, "photo"); }, ""},
      {"editor cannot start", [&] { FDesktop.LaunchFails = true; },
       "无法启动图像编辑器，请在设置中检查图像编辑器的命令。"},
  };
  for (const Case& c : cases) {
    c.arrange();
    FDesktop.EditorLaunches.clear();
    if (!c.text.empty()) FDialogs.ExpectInfo(c.text);
    Ctl().ImageButtonPhotoShopClick();
    const bool launched = c.text.empty() || c.what == "editor cannot start";
    EXPECT_EQ(FDesktop.EditorLaunches,
              launched ? std::vector<std::string>{"gimp|" + photo} : std::vector<std::string>{})
        << c.what;
  }
  EXPECT_EQ(FCompose.Checks, 0) << "the composing editor is not involved";
}

}  // namespace
}  // namespace tessaro
