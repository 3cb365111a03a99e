#include "controls/ImageButton.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tessaro {
namespace {

// round(n / d) for n >= 0 and odd d (no halves can occur).
inline int DivRound(int n, int d) { return (n + d / 2) / d; }

// The picture as 24-bit colour (alpha dropped).
void MakeOpaque(QImage& picture) {
  if (picture.format() != QImage::Format_RGB32) picture = picture.convertToFormat(QImage::Format_RGB32);
}

// Mixes `color` at `trans` of 255 into the picture, made opaque: into every
// pixel, or with `checkerboard` into every other one (those with x + y even).
// `source` gives the colour a pixel contributes before the mix.
template <class Source>
void MixColor(QImage& picture, const QColor& color, int trans, bool checkerboard, Source source) {
  MakeOpaque(picture);
  trans = std::clamp(trans, 0, 255);
  const int keep = 255 - trans;
  const int r = trans * color.red(), g = trans * color.green(), b = trans * color.blue();
  const int step = checkerboard ? 2 : 1;
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = checkerboard ? (y & 1) : 0; x < picture.width(); x += step) {
      const QRgb p = source(line[x]);
      line[x] = qRgb(DivRound(keep * qRed(p) + r, 255), DivRound(keep * qGreen(p) + g, 255),
                     DivRound(keep * qBlue(p) + b, 255));
    }
  }
}

}  // namespace

void DrawPictureFrame(QImage& picture, const QColor& color) {
  if (picture.isNull()) return;
  QPainter painter(&picture);
  int w = picture.width(), h = picture.height();
  painter.fillRect(QRect(0, 0, w, 1), color);
  painter.fillRect(QRect(0, h - 1, w, 1), color);
  painter.fillRect(QRect(0, 0, 1, h), color);
  painter.fillRect(QRect(w - 1, 0, 1, h), color);
}

void ApplyCheckedLook(QImage& picture, const QColor& color, int trans) {
  if (picture.isNull()) return;
  DrawPictureFrame(picture, color);
  MixColor(picture, color, trans, true, [](QRgb p) { return p; });
}

void ApplyDisabledLook(QImage& picture, const QColor& color, int trans) {
  if (picture.isNull()) return;
  MixColor(picture, color, trans, false, [](QRgb p) {
    // 0.3 R + 0.59 G + 0.11 B in hundredths, rounded half to even.
    int n = 30 * qRed(p) + 59 * qGreen(p) + 11 * qBlue(p);
    int grey = n / 100, rest = n % 100;
    if (rest > 50 || (rest == 50 && (grey & 1))) ++grey;
    return qRgb(grey, grey, grey);
  });
}

TImageButton::TImageButton(QWidget* parent) : QWidget(parent) {}

QSize TImageButton::sizeHint() const { return FPicture.isNull() ? QSize(16, 16) : FPicture.size(); }

void TImageButton::SetPicture(const QImage& image) {
  FPicture = image;
  if (AutoSize && !FPicture.isNull() && size() != FPicture.size()) resize(FPicture.size());
  update();
}

void TImageButton::DrawText() {
  QString text = QString::fromStdString(Text);
  if (text.trimmed().isEmpty() || FPicture.isNull()) return;
  if (FPicture.format() == QImage::Format_Indexed8 || FPicture.format() == QImage::Format_Mono ||
      FPicture.format() == QImage::Format_MonoLSB)
    MakeOpaque(FPicture);  // palette pictures cannot be painted on
  QPainter painter(&FPicture);
  painter.setFont(Font.Font);
  painter.setPen(Font.Color);
  painter.drawText(QRect(TextLeft, TextTop, std::max(1, FPicture.width() - TextLeft),
                         std::max(1, FPicture.height() - TextTop)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  update();
}

void TImageButton::ShowBase() {
  SetPicture(FState2 ? FBmpState2Normal : FBmpNormal);
  DrawText();
}

void TImageButton::ShowChecked() {
  ApplyCheckedLook(FPicture, CheckedRectColor, TransValue);
  update();
}

void TImageButton::Refresh() {
  if (!isEnabled()) return;
  if (FChecked) {
    ShowChecked();
  } else if (!(FState2 ? FBmpState2Normal : FBmpNormal).isNull()) {
    ShowBase();
  }
}

void TImageButton::SetBmpNormal(const QImage& bmp) {
  FBmpNormal = bmp.copy();
  DrawText();
}

void TImageButton::SetBmpState2Normal(const QImage& bmp) {
  FBmpState2Normal = bmp.copy();
  DrawText();
}

void TImageButton::SetChecked(bool value) {
  if (value == FChecked) return;
  FChecked = value;
  Refresh();
}

void TImageButton::SetState2(bool value) {
  if (value == FState2) return;
  FState2 = value;
  if (!(FState2 ? FBmpState2Normal : FBmpNormal).isNull()) ShowBase();
  if (FChecked) ShowChecked();
}

void TImageButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::EnabledChange) return;
  if (isEnabled()) {
    Refresh();
  } else {
    SetPicture(FBmpNormal);
    DrawText();
    ApplyDisabledLook(FPicture, InvalidColor, InvalidTransValue);
    update();
  }
}

void TImageButton::HoverEnter() {
  if (!isEnabled()) return;
  DrawPictureFrame(FPicture, MouseOnRectColor);
  update();
}

void TImageButton::HoverLeave() {
  if (!isEnabled()) return;
  ShowBase();
  if (FChecked) ShowChecked();
}

void TImageButton::enterEvent(QEnterEvent*) {
  if (OnMouseEnter) {
    OnMouseEnter(this);
  } else {
    HoverEnter();
  }
}

void TImageButton::leaveEvent(QEvent*) {
  if (OnMouseLeave) {
    OnMouseLeave(this);
  } else {
    HoverLeave();
  }
}

void TImageButton::mousePressEvent(QMouseEvent* event) {
  FPressed = event->button() == Qt::LeftButton;
  QPoint pos = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TImageButton::mouseReleaseEvent(QMouseEvent* event) {
  QPoint pos = event->position().toPoint();
  bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(pos);
  FPressed = false;
  if (OnMouseUp) OnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
  if (click && OnClick) OnClick(this);
}

void TImageButton::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, FPicture);
}

}  // namespace tessaro
