// The look the settings, custom-size and template-browser dialogs share with
// the main window: a dark caption strip across the top of the client area,
// the light client background, skin push buttons and framed group boxes, and
// the information box these dialogs report with. GUI thread only.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <functional>
#include <string>

namespace tessaro {

// Height of the caption strip; the dialogs' controls sit below it.
inline constexpr int kCaptionStripHeight = 32;

// A push button drawn with the skin's button pictures (normal, mouse over,
// pressed, disabled) and a white caption. "&" marks the accelerator.
class TSkinButton : public QPushButton {
  Q_OBJECT

 public:
  TSkinButton(const QString& text, QWidget* parent);
  QSize sizeHint() const override { return QSize(80, 27); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool FHover = false;
};

// The strip across the top of a dialog: the album mark and the caption.
class TCaptionStrip : public QWidget {
  Q_OBJECT

 public:
  TCaptionStrip(const QString& caption, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString FCaption;
};

// The album mark: two pages opening like a spread, drawn into a 40 x 40 box
// at the painter's origin (scale the painter for other sizes).
void DrawAlbumMark(QPainter& painter);

// Gives a dialog the product's look: fixed client size, window caption,
// background, fonts and palette, and the caption strip.
void ApplyDialogLook(QDialog& dialog, const QString& caption, int clientWidth, int clientHeight);

// A framed group box at client position (x, y) with size w x h; an empty
// title draws the frame alone.
QGroupBox* MakeGroup(QWidget* parent, const QString& title, int x, int y, int w, int h);
// A label at (x, y) sized to its text.
QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y);
// A skin button at (x, y), by default of the skin's button size.
TSkinButton* MakeButton(QWidget* parent, const QString& text, int x, int y, int w = 80, int h = 27);

// The information box of the dialogs: the text, caption "提示信息", the
// information icon and OK. Modal over `owner`.
void ShowInfoBox(QWidget* owner, const std::string& text);

}  // namespace tessaro
