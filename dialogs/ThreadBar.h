// TThreadBarForm: the composition progress window. Borderless, 434 x 118,
// slightly transparent, above other windows, centred on its owner. The
// upper bar sweeps endlessly while a job runs; the lower bar shows the job's
// progress; "n/total" counts the jobs of a command; a check box asks for
// the computer to be switched off when the command is done, and Cancel
// (after a question) stops the job. It cannot be closed while a job runs.
//
// It is the window side of the composition service: RunJob shows it modally
// and runs the job of the service it wraps (the engine) on a worker thread;
// progress from that thread reaches the window through a queued signal.
// Main thread only, except ReportProgress (any thread).
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "model/Compose.h"

namespace tessaro {

// The question Cancel asks: "确实要取消吗？" titled "取消", question icon,
// Yes and No (Escape answers No).
std::unique_ptr<QMessageBox> MakeCancelQuestion(QWidget* parent);

class TThreadBarForm : public QDialog, public TComposeService {
  Q_OBJECT
 public:
  // `engine` runs jobs to their end on the calling thread and checks the
  // editor; `cancelJob` stops the running job from the main thread without
  // waiting for it. Both outlive the window.
  TThreadBarForm(QWidget* owner, TComposeService& engine, std::function<void()> cancelJob);
  ~TThreadBarForm() override;

  // TComposeService.
  TEditorCheck CheckEditor(int& versionIndex) override;
  // Shows the window modally with `info` and runs the job on a worker
  // thread; returns when the job ended (or was cancelled) and the window has
  // closed.
  TJobOutcome RunJob(const TComposeJob& job, const std::string& info) override;
  void SetJobCounter(int total, int number) override;
  void NextJob() override;
  bool ShutdownChecked() const override;
  void SetShutdownChecked(bool checked) override;

  // The job's progress in percent; any thread. The lower bar follows on the
  // main thread.
  void ReportProgress(int percent);
  // The info line.
  void SetInfo(const std::string& text);
  // The job has ended: closing is allowed, the sweep stops, the upper bar is
  // full and the window closes.
  void JobFinished();
  // Cancel after the question was answered: the job is told to stop and the
  // window closes at once.
  void CancelJob();
  bool JobCancelled() const { return FJobCancelled; }

  // One tick of the upper bar's sweep (Timer1, every 100 ms while a job runs).
  void Timer1Timer();

  // Closing is allowed only while no job runs.
  bool AllowClose() const { return FAllowClose; }

  // The window's parts, for the owner's layout code and for tests.
  QLabel* LabelInfo;
  QLabel* LabelNum;
  QProgressBar* ProgressBarSub;   // the endless sweep
  QProgressBar* ProgressBarMain;  // the job's progress
  QCheckBox* CheckBoxShutDown;
  QPushButton* ButtonCancel;
  QTimer* Timer1;

 signals:
  void ProgressReported(int percent);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void ButtonCancelClick();
  void ShowCounter();

  TComposeService& FEngine;
  std::function<void()> FCancelJob;
  bool FAllowClose = true;
  bool FJobCancelled = false;
  int FBarMax = 100;
  int FJobTotal = 0;
  int FJobNumber = 0;
  int FGeneration = 0;  // counts RunJob calls, to tell a job's end from an earlier one's
};

}  // namespace tessaro
