#include "dialogs/ThreadBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QWindow>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tessaro {
namespace {

// Runs `act` once `ready` holds, polling on the event loop (so it works
// inside a modal window's loop). Gives up after about five seconds; the
// test's expectations then fail.
void When(std::function<bool()> ready, std::function<void()> act, int triesLeft = 500) {
  QTimer::singleShot(10, [ready = std::move(ready), act = std::move(act), triesLeft]() mutable {
    if (ready()) {
      act();
      return;
    }
    if (triesLeft > 0) When(std::move(ready), std::move(act), triesLeft - 1);
  });
}

// A job runner that reports some progress from its worker thread and then
// waits until the test releases it or the window cancels it.
class FakeEngine : public TComposeService {
 public:
  TThreadBarForm* Form = nullptr;
  int ProgressToReport = 40;
  std::vector<std::string> Infos;

  TEditorCheck CheckEditor(int& versionIndex) override {
    versionIndex = 3;
    return TEditorCheck::Ready;
  }
  TJobOutcome RunJob(const TComposeJob&, const std::string& info) override {
    Infos.push_back(info);
    Form->ReportProgress(ProgressToReport);  // from the worker thread
    std::unique_lock lock(FLock);
    // Bounded, so that a window that closes too early fails the test
    // instead of waiting for a release that never comes.
    FWake.wait_for(lock, std::chrono::seconds(5), [this] { return FReleased || FCancelled; });
    FReleased = false;
    return FCancelled ? TJobOutcome::Cancelled : TJobOutcome::Finished;
  }
  void SetJobCounter(int, int) override {}
  void NextJob() override {}
  bool ShutdownChecked() const override { return false; }
  void SetShutdownChecked(bool) override {}

  void Release() {
    std::lock_guard lock(FLock);
    FReleased = true;
    FWake.notify_all();
  }
  void Cancel() {
    std::lock_guard lock(FLock);
    FCancelled = true;
    ++Cancels;
    FWake.notify_all();
  }
  void Reset() {
    std::lock_guard lock(FLock);
    FCancelled = false;
  }
  int Cancels = 0;

 private:
  std::mutex FLock;
  std::condition_variable FWake;
  bool FReleased = false, FCancelled = false;
};

struct ThreadBarTest : ::testing::Test {
  FakeEngine Engine;
  TThreadBarForm Form{nullptr, Engine, [this] { Engine.Cancel(); }};
  ThreadBarTest() { Engine.Form = &Form; }

  // Answers the next question box the window opens.
  void AnswerQuestion(QMessageBox::StandardButton which, QString* title = nullptr) {
    When([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
         [which, title] {
           auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
           if (title) *title = box->windowTitle() + "|" + box->text();
           box->button(which)->click();
         });
  }
};

TEST_F(ThreadBarTest, LooksAsDescribed) {
  EXPECT_EQ(Form.size(), QSize(434, 118));
  EXPECT_EQ(Form.minimumSize(), Form.maximumSize()) << "fixed size";
  EXPECT_TRUE(Form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_NEAR(Form.windowOpacity(), 230.0 / 255.0, 0.01);
  EXPECT_EQ(Form.LabelInfo->text(), QStringLiteral("正在自动套版"));
  EXPECT_EQ(Form.LabelNum->text(), QStringLiteral("0/0"));
  EXPECT_EQ(Form.CheckBoxShutDown->text(), QStringLiteral("完成后关闭计算机"));
  EXPECT_EQ(Form.ButtonCancel->text(), QStringLiteral("取消"));
  EXPECT_EQ(Form.Timer1->interval(), 100);

  auto question = MakeCancelQuestion(nullptr);
  EXPECT_EQ(question->windowTitle(), QStringLiteral("取消"));
  EXPECT_EQ(question->text(), QStringLiteral("确实要取消吗？"));
  EXPECT_EQ(question->icon(), QMessageBox::Question);
  EXPECT_EQ(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(question->escapeButton(), question->button(QMessageBox::No));
}

TEST_F(ThreadBarTest, CountsJobsAndHoldsTheShutdownChoice) {
  Form.SetJobCounter(3, 0);
  EXPECT_EQ(Form.LabelNum->text(), QStringLiteral("0/3"));
  for (const char* expected : {"1/3", "2/3", "3/3"}) {
    Form.NextJob();
    EXPECT_EQ(Form.LabelNum->text(), QString::fromUtf8(expected));
  }
  Form.SetJobCounter(1, 1);
  EXPECT_EQ(Form.LabelNum->text(), QStringLiteral("1/1"));

  EXPECT_FALSE(Form.ShutdownChecked());
  Form.CheckBoxShutDown->click();  // the operator ticks it during a job
  EXPECT_TRUE(Form.ShutdownChecked());
  Form.SetShutdownChecked(false);
  EXPECT_FALSE(Form.CheckBoxShutDown->isChecked());
  int version = -1;
  EXPECT_EQ(Form.CheckEditor(version), TEditorCheck::Ready);
  EXPECT_EQ(version, 3);
}

TEST_F(ThreadBarTest, RefusesToCloseWhileTheJobRuns) {
  bool visibleAfterClose = false, visibleAfterEscape = false, visibleAfterWindowClose = false, modal = false;
  QString info;
  int swept = -1, wrapped = -1;
  When([&] { return Form.isVisible() && Form.ProgressBarMain->value() == 40; },
       [&] {
         modal = Form.isModal();
         info = Form.LabelInfo->text();
         EXPECT_FALSE(Form.close());
         visibleAfterClose = Form.isVisible();
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&Form, &escape);
         visibleAfterEscape = Form.isVisible();
         // The window manager's close (title bar, Alt+F4) arrives at the
         // platform window, which passes it on to the widget as a
         // spontaneous close.
         QWindow* handle = Form.windowHandle();
         EXPECT_NE(handle, nullptr);
         if (handle) {
           QCloseEvent byWindowManager;
           QApplication::sendEvent(handle, &byWindowManager);
         }
         visibleAfterWindowClose = Form.isVisible();
         // The upper bar: one step per tick, back to the start at its end.
         Form.ProgressBarSub->setValue(10);
         Form.Timer1Timer();
         swept = Form.ProgressBarSub->value();
         Form.ProgressBarSub->setValue(Form.ProgressBarSub->maximum() - 1);
         Form.Timer1Timer();
         wrapped = Form.ProgressBarSub->value();
         Engine.Release();
       });
  TComposeJob job;
  EXPECT_EQ(Form.RunJob(job, "正在单张预览： 婚纱01_花园"), TJobOutcome::Finished);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_TRUE(visibleAfterEscape);
  EXPECT_TRUE(visibleAfterWindowClose);
  EXPECT_EQ(info, QStringLiteral("正在单张预览： 婚纱01_花园"));
  EXPECT_EQ(Engine.Infos, std::vector<std::string>{"正在单张预览： 婚纱01_花园"});
  EXPECT_EQ(swept, 11);
  EXPECT_EQ(wrapped, 0);
  // Finished: closed, closable, the sweep stopped with the upper bar full.
  EXPECT_FALSE(Form.isVisible());
  EXPECT_TRUE(Form.AllowClose());
  EXPECT_FALSE(Form.Timer1->isActive());
  EXPECT_EQ(Form.ProgressBarSub->value(), Form.ProgressBarSub->maximum());
  EXPECT_FALSE(Form.JobCancelled());
  EXPECT_EQ(Engine.Cancels, 0);
}

TEST_F(ThreadBarTest, CancelAsksFirstAndNoKeepsTheJobRunning) {
  QString question;
  When([&] { return Form.isVisible(); },
       [&] {
         AnswerQuestion(QMessageBox::No, &question);
         Form.ButtonCancel->click();  // the question's own loop runs the answer
         EXPECT_TRUE(Form.isVisible()) << "answered No: the job goes on";
         EXPECT_EQ(Engine.Cancels, 0);
         AnswerQuestion(QMessageBox::Yes);
         Form.ButtonCancel->click();
       });
  TComposeJob job;
  EXPECT_EQ(Form.RunJob(job, "正在批量自动套版：儿童01"), TJobOutcome::Cancelled);
  EXPECT_EQ(question, QStringLiteral("取消|确实要取消吗？"));
  EXPECT_EQ(Engine.Cancels, 1);
  EXPECT_TRUE(Form.JobCancelled());
  EXPECT_FALSE(Form.isVisible());
}

// A cancelled job's end reaches the window late; it must not close the
// window of the job that runs next.
TEST_F(ThreadBarTest, LateEndOfACancelledJobLeavesTheNextJobOpen) {
  When([&] { return Form.isVisible(); }, [&] { Form.CancelJob(); });
  TComposeJob job;
  ASSERT_EQ(Form.RunJob(job, "first"), TJobOutcome::Cancelled);
  Engine.Reset();

  bool stillOpen = false;
  When([&] { return Form.isVisible(); },
       [&] {
         // Give the stale end every chance to arrive first.
         QTimer::singleShot(50, [&] {
           stillOpen = Form.isVisible() && !Form.AllowClose();
           Engine.Release();
         });
       });
  EXPECT_EQ(Form.RunJob(job, "second"), TJobOutcome::Finished);
  EXPECT_TRUE(stillOpen);
  EXPECT_FALSE(Form.JobCancelled()) << "each job starts uncancelled";
}

}  // namespace
}  // namespace tessaro
