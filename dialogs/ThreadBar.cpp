#include "dialogs/ThreadBar.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QShowEvent>
#include <algorithm>
#include <thread>

namespace tessaro {

namespace {

constexpr int kWidth = 434;
constexpr int kHeight = 118;
constexpr double kOpacity = 230.0 / 255.0;  // alpha blend value 230
constexpr int kSweepMs = 100;

}  // namespace

std::unique_ptr<QMessageBox> MakeCancelQuestion(QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(QStringLiteral("取消"));
  box->setText(QStringLiteral("确实要取消吗？"));
  box->setIcon(QMessageBox::Question);
  box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box->button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
  box->button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
  box->setEscapeButton(QMessageBox::No);
  box->setDefaultButton(QMessageBox::No);
  return box;
}

TThreadBarForm::TThreadBarForm(QWidget* owner, TComposeService& engine, std::function<void()> cancelJob)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FEngine(engine),
      FCancelJob(std::move(cancelJob)) {
  setFixedSize(kWidth, kHeight);
  setWindowOpacity(kOpacity);
  setModal(true);
  setObjectName("ThreadBarForm");
  setStyleSheet(
      "#ThreadBarForm { background: #20252c; border: 1px solid #5a6470; }"
      "QLabel, QCheckBox { color: #f0f0f0; }"
      "QProgressBar { background: #101317; border: 1px solid #4a525c; border-radius: 2px; }"
      "QProgressBar::chunk { background: #3b8fd9; }");
  setAttribute(Qt::WA_StyledBackground, true);

  LabelInfo = new QLabel(QStringLiteral("正在自动套版"), this);
  LabelInfo->setGeometry(14, 10, 320, 18);
  LabelNum = new QLabel(QStringLiteral("0/0"), this);
  LabelNum->setGeometry(340, 10, 80, 18);
  LabelNum->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  ProgressBarSub = new QProgressBar(this);
  ProgressBarSub->setGeometry(14, 34, 406, 14);
  ProgressBarMain = new QProgressBar(this);
  ProgressBarMain->setGeometry(14, 54, 406, 14);
  for (QProgressBar* bar : {ProgressBarSub, ProgressBarMain}) {
    bar->setTextVisible(false);
    bar->setRange(0, FBarMax);
    bar->setValue(0);
  }
  CheckBoxShutDown = new QCheckBox(QStringLiteral("完成后关闭计算机"), this);
  CheckBoxShutDown->setGeometry(14, 82, 220, 22);
  ButtonCancel = new QPushButton(QStringLiteral("取消"), this);
  ButtonCancel->setGeometry(340, 80, 80, 26);
  Timer1 = new QTimer(this);
  Timer1->setInterval(kSweepMs);

  connect(Timer1, &QTimer::timeout, this, &TThreadBarForm::Timer1Timer);
  connect(ButtonCancel, &QPushButton::clicked, this, &TThreadBarForm::ButtonCancelClick);
  // Emitted on the worker thread, delivered on the window's.
  connect(
      this, &TThreadBarForm::ProgressReported, this,
      [this](int percent) {
        ProgressBarMain->setValue(std::clamp(percent, 0, 100) * ProgressBarMain->maximum() / 100);
      },
      Qt::QueuedConnection);
}

TThreadBarForm::~TThreadBarForm() = default;

TEditorCheck TThreadBarForm::CheckEditor(int& versionIndex) { return FEngine.CheckEditor(versionIndex); }

TJobOutcome TThreadBarForm::RunJob(const TComposeJob& job, const std::string& info) {
  FJobCancelled = false;
  FBarMax = 100;
  const int generation = ++FGeneration;
  SetInfo(info);
  Timer1->start();
  TJobOutcome outcome = TJobOutcome::Finished;
  std::thread worker([this, &job, &info, &outcome, generation] {
    outcome = FEngine.RunJob(job, info);
    // A cancelled job's end arrives after its window closed, perhaps while
    // the next job runs: it must not close that one.
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
          if (generation == FGeneration) JobFinished();
        },
        Qt::QueuedConnection);
  });
  exec();
  worker.join();
  return FJobCancelled ? TJobOutcome::Cancelled : outcome;
}

void TThreadBarForm::SetJobCounter(int total, int number) {
  // The engine keeps its own count for the progress it reports.
  FEngine.SetJobCounter(total, number);
  FJobTotal = total;
  FJobNumber = number;
  ShowCounter();
}

void TThreadBarForm::NextJob() {
  FEngine.NextJob();
  ++FJobNumber;
  ShowCounter();
}

bool TThreadBarForm::ShutdownChecked() const { return CheckBoxShutDown->isChecked(); }
void TThreadBarForm::SetShutdownChecked(bool checked) { CheckBoxShutDown->setChecked(checked); }

void TThreadBarForm::ReportProgress(int percent) { emit ProgressReported(percent); }

void TThreadBarForm::SetInfo(const std::string& text) { LabelInfo->setText(QString::fromStdString(text)); }

void TThreadBarForm::JobFinished() {
  FAllowClose = true;
  Timer1->stop();
  ProgressBarSub->setValue(ProgressBarSub->maximum());
  if (isVisible()) QDialog::done(QDialog::Accepted);
}

void TThreadBarForm::CancelJob() {
  FJobCancelled = true;
  if (FCancelJob) FCancelJob();
  JobFinished();
}

void TThreadBarForm::showEvent(QShowEvent* event) {
  for (QProgressBar* bar : {ProgressBarSub, ProgressBarMain}) {
    bar->setRange(0, FBarMax);
    bar->setValue(0);
  }
  FAllowClose = false;
  ShowCounter();
  if (QWidget* owner = parentWidget()) {
    const QRect frame = owner->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}

void TThreadBarForm::closeEvent(QCloseEvent* event) {
  if (!FAllowClose) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TThreadBarForm::reject() {
  // Escape and the window manager's close end up here.
  if (FAllowClose) QDialog::reject();
}

void TThreadBarForm::ButtonCancelClick() {
  // The job may end while the question is open; then there is nothing left
  // to cancel.
  const int answer = MakeCancelQuestion(this)->exec();
  if (answer != QMessageBox::No && !FAllowClose) CancelJob();
}

void TThreadBarForm::Timer1Timer() {
  const int next = ProgressBarSub->value() + 1;
  ProgressBarSub->setValue(next >= ProgressBarSub->maximum() ? 0 : next);
}

void TThreadBarForm::ShowCounter() { LabelNum->setText(QString("%1/%2").arg(FJobNumber).arg(FJobTotal)); }

}  // namespace tessaro
