// TFlashForm: the splash window shown while the main window is being built.
// Borderless, on top of everything, centred on the primary screen, showing
// the skin's splash picture with one start-up step line at its foot.
//
// The form is created hidden; Present shows it and paints it before
// returning, because start-up runs no event loop until the main window is
// ready. GUI thread only.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace tessaro {

class TFlashForm : public QWidget {
 public:
  // Window size and the picture's size inside it (the picture sits at 0, 0).
  static constexpr int kWidth = 451;
  static constexpr int kHeight = 179;
  static constexpr int kPictureWidth = 450;
  // Left end and baseline of the step line.
  static constexpr int kStepX = 22;
  static constexpr int kStepBaseline = 166;

  TFlashForm();

  // Shows the window centred on the screen and paints it at once.
  void Present();
  // Replaces the step line ("" hides it) and repaints at once when shown.
  void ShowStep(const QString& text);
  const QString& Step() const { return FStep; }
  // The splash picture as loaded from the skin (null if it is missing).
  const QImage& Picture() const { return FPicture; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Centre();

  QImage FPicture;
  QString FStep;
};

}  // namespace tessaro
