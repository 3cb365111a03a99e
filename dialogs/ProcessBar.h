// TProcessForm: the borderless progress window shown while photos or
// templates are imported or a set is read. It sits on top of everything,
// centred over its owner, with one information line and a step bar that
// prints its own percentage. The controller drives it through
// TProgressService; every call must come from the GUI thread.
//
// Ownership: the owner window (if any) owns the form as a Qt child window;
// the form owns its label and bar.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <string>

#include "model/Views.h"

namespace tessaro {

// The skinned step bar: a dark sunken track, a cyan-to-red filled part and
// the caption ("42%") centred on it. Range and value are QProgressBar's.
class TStepBar : public QProgressBar {
 public:
  explicit TStepBar(QWidget* parent = nullptr);
  // The caption the bar prints: the percentage of the range done, "" for an
  // empty range.
  QString Caption() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TProcessForm : public QWidget, public TProgressService {
 public:
  // Outer size and the two controls' places, in window coordinates.
  static constexpr int kWidth = 434;
  static constexpr int kHeight = 59;
  static constexpr QPoint kInfoPos{9, 10};
  static constexpr QRect kBarRect{9, 29, 417, 23};

  explicit TProcessForm(QWidget* owner = nullptr);

  // Number of steps of the run; Show sets it.
  int ItemCount = 0;

  // ---- TProgressService.
  // Resets the bar to 0 of `itemCount`, centres the window over its owner
  // (over the screen without one) and shows it on top, painted at once.
  void Show(int itemCount) override;
  // Replaces the information line and repaints it at once.
  void SetInfo(const std::string& text) override;
  // Advances the bar by one step (never beyond ItemCount) and repaints it.
  void Step() override;
  void Close() override;
  // Runs the window events waiting in the queue and returns.
  void ProcessMessages() override;

  const QLabel& Info() const { return *FInfo; }
  const TStepBar& Bar() const { return *FBar; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void CentreOverOwner();

  QLabel* FInfo;
  TStepBar* FBar;
};

}  // namespace tessaro
