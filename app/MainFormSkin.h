// The main window's painted parts: the title strip, the banner, the middle
// tool bar's background, the company strip, and the picture buttons of the
// banner and the tool bar with their icons. Everything is drawn with
// QPainter at the size the layout gives, in the skin's colours (dark panels,
// cyan and crimson accents). GUI thread only.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPainter>
#include <QWidget>
#include <functional>

#include "controls/Look.h"

namespace tessaro {

// Icons of the picture buttons.
enum TToolIcon {
  kIconTemplates,
  kIconPhotos,
  kIconPreview,
  kIconBatchPreview,
  kIconSettings,
  kIconHelp,
  kIconCompose,
  kIconBatchCompose,
  kIconEditor,
  kIconZoomIn,
  kIconZoomOut,
  kIconFlipH,
  kIconFlipV,
  kIconRotateLeft90,
  kIconRotateRight90,
  kIconRotateLeft1,
  kIconRotateRight1,
  kIconReset,
};

// Draws an icon into `box` with strokes and fills in `color`.
void PaintToolIcon(QPainter& painter, int icon, const QRectF& box, const QColor& color);

void PaintTitleStrip(QPainter& painter, const QRect& rect);
void PaintBanner(QPainter& painter, const QRect& rect);
void PaintMidBar(QPainter& painter, const QRect& rect);
void PaintCompanyStrip(QPainter& painter, const QRect& rect);

// A widget drawn by a function (banner, bars).
class TPaintedPanel : public QWidget {
 public:
  using TPaint = std::function<void(QPainter&, const QRect&)>;
  TPaintedPanel(QWidget* parent, TPaint paint) : QWidget(parent), FPaint(std::move(paint)) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TPaint FPaint;
};

// A skinned picture button with four looks (normal, mouse over, pressed,
// disabled): a tile with an icon. Large buttons (the banner's) draw a bigger
// icon on a glassy tile; small ones (the tool bar's) a compact square.
class TPictureButton : public QAbstractButton {
 public:
  TPictureButton(QWidget* parent, int icon);
  int Icon() const { return FIcon; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int FIcon;
  bool FHover = false;
};

}  // namespace tessaro
