// Composing from the main window with the real engine behind the real
// progress window. A batch result of the demo set started by F8 must write
// exactly what `tessaro-cli compose` writes for the same set; a batch
// cancelled from the progress window stops with no partial file, no tune and
// no message, and the window composes again afterwards.
#include <sys/wait.h>

#include <QMessageBox>
#include <QPainter>
#include <filesystem>
#include <set>

#include "app/tests/MainFormTestBase.h"
#include "app/tests/ModalAnswer.h"
#include "base/FileIo.h"
#include "dialogs/ThreadBar.h"
#include "engine/MyThread.h"
#include "engine/PSVersions.h"
#include "imaging/codecs/Codecs.h"
#include "model/Package.h"
#include "model/SetFile.h"
#include "testing/ImageDiff.h"

namespace tessaro::testing {
namespace {

namespace fs = std::filesystem;

const std::string kBinary = TESSARO_BINARY_DIR;
const std::string kDemoSet = kBinary + "/resources/demo/demo.cys";
const std::string kCli = kBinary + "/tools/tessaro-cli";
// The program folder of the build tree: the version table and the tune.
const std::string kProgramDir = kBinary + "/app";

// Polls on the event loop (which also runs inside modal windows) until
// `ready` holds, then runs `act`. Gives up after about ten minutes; the
// test's own expectations then fail.
void When(std::function<bool()> ready, std::function<void()> act, int triesLeft = 60000) {
  QTimer::singleShot(10, [ready = std::move(ready), act = std::move(act), triesLeft]() mutable {
    if (ready()) {
      act();
      return;
    }
    if (triesLeft > 0) When(std::move(ready), std::move(act), triesLeft - 1);
  });
}

// Regular files under `root`, as paths relative to it.
std::set<std::string> FilesUnder(const std::string& root) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(root, ec))
    if (e.is_regular_file()) names.insert(fs::relative(e.path(), root).string());
  return names;
}

// What the progress window showed for one job: its counter and info line
// when it opened, whether the lower bar ever went back while it was open,
// and the lower bar when it closed.
struct JobShown {
  std::string Counter, Info;
  bool MainBarWentBack = false;
  int MainBarAtClose = -1;
};

class BarWatcher : public QObject {
 public:
  explicit BarWatcher(TThreadBarForm& bar) : FBar(bar) {
    bar.installEventFilter(this);
    connect(bar.ProgressBarMain, &QProgressBar::valueChanged, this, [this](int value) {
      if (FBar.isVisible() && !Jobs.empty() && value < FLastValue) Jobs.back().MainBarWentBack = true;
      FLastValue = value;
    });
  }
  std::vector<JobShown> Jobs;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &FBar) return false;
    if (event->type() == QEvent::Show) {
      Jobs.push_back({FBar.LabelNum->text().toStdString(), FBar.LabelInfo->text().toStdString()});
      FLastValue = 0;  // the window starts its bars at 0 when shown
    }
    if (event->type() == QEvent::Hide && !Jobs.empty())
      Jobs.back().MainBarAtClose = FBar.ProgressBarMain->value();
    return false;
  }

 private:
  TThreadBarForm& FBar;
  int FLastValue = 0;
};

class BatchFromWindow : public MainFormTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileExists(kDemoSet)) << "the demo set is built with the project (target demo_set)";
    ASSERT_TRUE(FileExists(kCli)) << "tessaro-cli is built with the project";
    // The tune beside the program, as an installation has it.
    ASSERT_TRUE(MakeDirectories(Paths().AppDir));
    fs::copy_file(kProgramDir + "/beep.wav", JoinPath(Paths().AppDir, kCompletionTuneName));
    // The set is used from a copy: the window may save it.
    ASSERT_TRUE(MakeDirectories(FDir / "sets"));
    fs::copy_file(kDemoSet, SetFile());

    MainFormTest::SetUp();
    Result<TPSVersionList> versions = LoadPSVersions(kProgramDir + "/PSCfg.ini");
    ASSERT_TRUE(versions.ok()) << versions.message();
    FVersions = std::move(*versions);
    // Wired as the program wires it.
    TEngineContext context;
    context.Versions = &FVersions;
    context.Settings = &Ctl().Settings;
    context.Queue = &Ctl().MessageQueue;
    context.TempDir = Paths().TempDir;
    FEngine =
        std::make_unique<TEngineComposeService>(context, [this](const std::string&, int, int, int percent) {
          if (FBar) FBar->ReportProgress(percent);
        });
    FBar = std::make_unique<TThreadBarForm>(&Window(), *FEngine, [this] { FEngine->CancelJob(); });
    FWatcher = std::make_unique<BarWatcher>(*FBar);
    Window().SetComposeService(*FBar);
    // The tune as the dialogs saw it: each call with the number of boxes
    // shown so far.
    Window().OnPlayTune = [this](const std::string& file) {
      FTune.push_back("Play " + file + " after " + std::to_string(FDialogs.Shown.size()));
    };
    Window().OnStopTune = [this] { FTune.push_back("Stop after " + std::to_string(FDialogs.Shown.size())); };
  }
  void TearDown() override {
    FWatcher.reset();
    FBar.reset();  // a child of the window: gone before it
    MainFormTest::TearDown();
    FEngine.reset();
  }

  std::string SetFile() const { return FDir / "sets/demo.cys"; }
  const TSetNode& Set() { return *Ctl().CurrentSet(); }
  int TemplateCount() { return static_cast<int>(Set().PreviewTemps.size()); }

  // Opens the set through the open-set button and ticks every set (Ctrl+A).
  void OpenAndTickTheSet() {
    FDialogs.ExpectOpenSets({SetFile()});
    Click("ButtonLoadSet");
    ASSERT_EQ(Window().SetList().Count(), 1);
    ASSERT_EQ(Window().SetList().GetCellText(0, 0), "demo");
    Key(Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(Window().SetList().GetChecked(0));
  }

  // The batch result file of template `t` (0-based) relative to the chosen folder.
  std::string ResultName(int t) {
    return JoinPath(BatchSetFolderName(1, "demo"),
                    BatchResultFileName(1, "demo", t + 1, *Set().PreviewTemps[t], false));
  }
  std::string PreviewOf(int t) {
    return JoinPath(PreviewFolder(Paths().TempDir, *Set().PreviewTemps[t]), kComposedPreviewName);
  }

  int RunCli(const std::string& args, std::string* output) {
    FILE* pipe = ::popen((kCli + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TPSVersionList FVersions;
  std::unique_ptr<TEngineComposeService> FEngine;
  std::unique_ptr<TThreadBarForm> FBar;
  std::unique_ptr<BarWatcher> FWatcher;
  std::vector<std::string> FTune;
};

TEST_F(BatchFromWindow, BatchResultOfTheDemoSetMatchesTheCommandLineTool) {
  OpenAndTickTheSet();
  const int total = TemplateCount();
  ASSERT_GE(total, 2);
  // The first template is current, the photo page showing: the ending must
  // show the template's new preview and turn to the template page.
  ClickCell(Window().TempList(), 0, 1);
  ASSERT_EQ(Ctl().CurTemp, 0);
  Click("ButtonPhoto");
  ASSERT_EQ(Window().LeftNotebook().currentIndex(), 1);

  const std::string out = FDir / "window";
  ASSERT_TRUE(MakeDirectories(out));
  FDialogs.ExpectFolder(kChooseResultFolderTitle, out);
  FDialogs.ExpectInfo(kBatchResultDoneText);
  const size_t boxesBefore = FDialogs.Shown.size();
  Key(Qt::Key_F8);  // returns when the batch and its message are over

  EXPECT_FALSE(Ctl().JobCancelled);
  EXPECT_TRUE(FDialogs.Script.empty());
  // One showing of the progress window per template, counted in turn, each
  // closed with its lower bar full.
  ASSERT_EQ(static_cast<int>(FWatcher->Jobs.size()), total);
  for (int t = 0; t < total; ++t) {
    const JobShown& job = FWatcher->Jobs[t];
    EXPECT_EQ(job.Counter, std::to_string(t + 1) + "/" + std::to_string(total));
    EXPECT_EQ(job.Info, kBatchResultPrefix + LastPathPart(Set().PreviewTemps[t]->Folder));
    EXPECT_EQ(job.MainBarAtClose, 100) << "job " << t + 1;
    EXPECT_FALSE(job.MainBarWentBack) << "job " << t + 1;
  }
  EXPECT_FALSE(FBar->isVisible());
  // The tune played while the completion message was open, and only then.
  const std::string tune = JoinPath(Paths().AppDir, kCompletionTuneName);
  const auto after = [&](size_t boxes) { return " after " + std::to_string(boxesBefore + boxes); };
  // (The folder dialog is the first box, the completion message the second.)
  EXPECT_EQ(FTune, (std::vector<std::string>{"Play " + tune + after(1), "Stop" + after(2)}));
  EXPECT_EQ(Window().LeftNotebook().currentIndex(), 0);
  EXPECT_EQ(Window().TemplatePictureFile(), PreviewOf(0));
  EXPECT_TRUE(FileExists(PreviewOf(0)));
  EXPECT_EQ(FPower.PowerOffs, 0);

  // The same set through the tool, into another folder.
  const std::string cli = FDir / "cli";
  std::string output;
  ASSERT_EQ(RunCli("compose " + SetFile() + " --out " + cli, &output), 0) << output;
  const std::set<std::string> written = FilesUnder(out);
  EXPECT_EQ(written, FilesUnder(cli));
  std::set<std::string> expected;
  for (int t = 0; t < total; ++t) expected.insert(ResultName(t));
  EXPECT_EQ(written, expected);
  for (const std::string& name : written) {
    Result<DecodedImage> mine = DecodeImageFile(JoinPath(out, name));
    Result<DecodedImage> tools = DecodeImageFile(JoinPath(cli, name));
    ASSERT_TRUE(mine.ok() && tools.ok()) << name;
    EXPECT_TRUE(test::SamePixels(mine->pixels, tools->pixels))
        << name << ": " << test::Difference(mine->pixels, tools->pixels);
  }
}

TEST_F(BatchFromWindow, CancelMidBatchLeavesNoPartialFileAndTheWindowComposesAgain) {
  OpenAndTickTheSet();
  const int total = TemplateCount();
  ASSERT_GE(total, 3) << "a batch with a job before and after the cancelled one";
  const std::string out = FDir / "window";
  ASSERT_TRUE(MakeDirectories(out));
  FDialogs.ExpectFolder(kChooseResultFolderTitle, out);
  const size_t boxesBefore = FDialogs.Shown.size();

  // From the second job on, once it has reported progress: Cancel, answered
  // Yes. A job that ends while the question is open has nothing left to
  // cancel, so the next one is tried.
  QString question;
  std::function<void()> cancelNext = [&] {
    When(
        [&] {
          return FBar->isVisible() && !FBar->AllowClose() && FWatcher->Jobs.size() >= 2 &&
                 FBar->ProgressBarMain->value() > 0;
        },
        [&] {
          test::AnswerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            question = box->windowTitle() + "|" + box->text();
            box->button(QMessageBox::Yes)->click();
          });
          FBar->ButtonCancel->click();
          if (!FBar->JobCancelled()) cancelNext();
        });
  };
  cancelNext();
  Key(Qt::Key_F8);
  // Messages the cancelled job might have queued would show now.
  for (int i = 0; i < 30; ++i) QTest::qWait(10);

  EXPECT_EQ(question, QStringLiteral("取消|确实要取消吗？"));
  EXPECT_TRUE(Ctl().JobCancelled);
  const int cancelled = static_cast<int>(FWatcher->Jobs.size());  // the job that was cancelled
  ASSERT_GE(cancelled, 2);
  ASSERT_LT(cancelled, total + 1);
  EXPECT_EQ(FWatcher->Jobs.back().Counter, std::to_string(cancelled) + "/" + std::to_string(total));
  // The jobs before it wrote whole files; it wrote nothing, not even its preview.
  std::set<std::string> expected;
  for (int t = 0; t + 1 < cancelled; ++t) expected.insert(ResultName(t));
  EXPECT_EQ(FilesUnder(out), expected);
  for (const std::string& name : expected) EXPECT_TRUE(DecodeImageFile(JoinPath(out, name)).ok()) << name;
  EXPECT_FALSE(FileExists(PreviewOf(cancelled - 1)));
  // Nor is a working file of the editor left in the working folder.
  for (const std::string& name : FilesUnder(Paths().TempDir))
    EXPECT_NE(fs::path(name).filename().string().rfind("tmp_", 0), 0u) << name;
  // No tune, no message (the fake fails on any box not scripted).
  EXPECT_TRUE(FTune.empty());
  EXPECT_EQ(FDialogs.Shown.size(), boxesBefore + 1) << "the folder dialog only";
  EXPECT_FALSE(FBar->isVisible());

  // The next command works: a single preview of the first template after
  // an edit, with the shutdown box ticked during its job. The set is saved
  // before the computer is switched off. Before it, a cancel that reaches
  // the engine after its job ended (Yes answered as the job finished) must
  // not stop that next job.
  FEngine->CancelJob();
  ClickCell(Window().TempList(), 0, 1);
  Key(Qt::Key_1);
  ASSERT_EQ(Ctl().CurSlot, 0);
  const bool flipped = Set().PreviewTemps[0]->Slots[0]->FlipH;
  Key(Qt::Key_H);
  ASSERT_TRUE(Ctl().Modified);
  When([&] { return FBar->isVisible() && !FBar->AllowClose(); }, [&] { FBar->CheckBoxShutDown->click(); });
  const size_t jobsBefore = FWatcher->Jobs.size();
  Key(Qt::Key_Return);
  ASSERT_EQ(FWatcher->Jobs.size(), jobsBefore + 1);
  EXPECT_EQ(FWatcher->Jobs.back().Counter, "1/1");
  EXPECT_EQ(FWatcher->Jobs.back().MainBarAtClose, 100);
  EXPECT_FALSE(FWatcher->Jobs.back().MainBarWentBack) << "no progress of the cancelled job shows here";
  EXPECT_FALSE(Ctl().JobCancelled);
  EXPECT_TRUE(FileExists(PreviewOf(0)));
  EXPECT_EQ(Window().TemplatePictureFile(), PreviewOf(0));
  EXPECT_EQ(Ctl().CurSlot, -1) << "the new preview replaces the slot selection";
  EXPECT_EQ(FPower.PowerOffs, 1);
  EXPECT_FALSE(Ctl().Modified);
  Result<std::unique_ptr<TSetNode>> saved = ReadSetFile(SetFile(), TDiskSetFileSource());
  ASSERT_TRUE(saved.ok()) << saved.message();
  EXPECT_EQ((*saved)->PreviewTemps[0]->Slots[0]->FlipH, !flipped);
  EXPECT_TRUE(FTune.empty()) << "a single command plays no tune";
}

// Not a check: the picture of a batch in progress for the documentation,
// made when TESSARO_BATCH_SCREENSHOT names the file (run under xvfb-run with
// a fresh HOME; see README). The progress window is drawn over the main
// window where it stands, with its transparency.
TEST_F(BatchFromWindow, ScreenshotOfABatchInProgress) {
  const QString file = qEnvironmentVariable("TESSARO_BATCH_SCREENSHOT");
  if (file.isEmpty()) GTEST_SKIP() << "set TESSARO_BATCH_SCREENSHOT to make the picture";
  OpenAndTickTheSet();
  ClickCell(Window().TempList(), 0, 1);
  const std::string out = FDir / "window";
  ASSERT_TRUE(MakeDirectories(out));
  FDialogs.ExpectFolder(kChooseResultFolderTitle, out);
  bool saved = false;
  When(
      [&] { return FWatcher->Jobs.size() >= 2 && FBar->isVisible() && FBar->ProgressBarMain->value() >= 40; },
      [&] {
        FBar->ProgressBarSub->setValue(FBar->ProgressBarSub->maximum() / 3);  // the sweep, caught mid-way
        QImage shot = Window().grab().toImage();
        QPainter painter(&shot);
        painter.setOpacity(FBar->windowOpacity());
        painter.drawPixmap(FBar->mapToGlobal(QPoint(0, 0)) - Window().mapToGlobal(QPoint(0, 0)),
                           FBar->grab());
        painter.end();
        saved = shot.save(file);
        FBar->CancelJob();
      });
  Key(Qt::Key_F8);
  EXPECT_TRUE(saved) << file.toStdString();
}

}  // namespace
}  // namespace tessaro::testing
