#include "controls/MyEdit.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace tessaro {

TMyEdit::TMyEdit(QWidget* parent) : QWidget(parent), FColor(palette().color(QPalette::Window)) {
  setFocusPolicy(Qt::StrongFocus);  // a tab stop that also takes the focus on clicks
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  resize(sizeHint());
}

void TMyEdit::SetCaption(const std::string& caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  update();
}

void TMyEdit::SetFont(const TFontSpec& font) {
  FFont = font;
  update();
}

void TMyEdit::SetColor(const QColor& color) {
  if (color == FColor) return;
  FColor = color;
  update();
}

void TMyEdit::SetBKBmp(const QImage& strip) {
  FBKBmp = strip.copy();
  update();
}

void TMyEdit::SetBKBmp2(const QImage& strip) {
  FBKBmp2 = strip.copy();
  update();
}

void TMyEdit::SetShowBKBmp2(bool value) {
  if (value == FShowBKBmp2) return;
  FShowBKBmp2 = value;
  update();
}

void TMyEdit::Paint(QPainter& painter, bool focused) const {
  const int w = width(), h = height(), b = ButtonWidth;
  painter.setRenderHint(QPainter::Antialiasing, false);
  // 1. The strip, tiled left to right: W div w + 1 copies, the last clipped.
  const QImage& strip = FShowBKBmp2 ? FBKBmp2 : FBKBmp;
  if (!strip.isNull()) {
    for (int i = 0, n = w / strip.width() + 1; i < n; ++i) painter.drawImage(i * strip.width(), 0, strip);
  }
  // 2. Frame, corner pixels (0, 0) and (W - 1, H - 1).
  painter.fillRect(QRect(0, 0, w, 1), FColor);
  painter.fillRect(QRect(0, h - 1, w, 1), FColor);
  painter.fillRect(QRect(0, 0, 1, h), FColor);
  painter.fillRect(QRect(w - 1, 0, 1, h), FColor);
  // 3. Separator before the button area.
  painter.fillRect(QRect(w - b - 1, 1, 1, h - 2), Qt::white);
  // 4. The arrow, pointing down.
  const int base = (h - 6) / 2;
  QPolygon arrow({QPoint(w - 11, base + 5), QPoint(w - 14, base + 2), QPoint(w - 8, base + 2)});
  painter.setPen(Qt::black);
  painter.setBrush(Qt::black);
  painter.drawPolygon(arrow);
  // 5. Focus: dotted rectangle, corner pixels (2, 2) and (W - B - 3, H - 3).
  if (focused) {
    for (int x = 2; x <= w - b - 3; ++x) {
      if ((x & 1) == 0) {
        painter.fillRect(QRect(x, 2, 1, 1), Qt::black);
        painter.fillRect(QRect(x, h - 3, 1, 1), Qt::black);
      }
    }
    for (int y = 2; y <= h - 3; ++y) {
      if ((y & 1) == 0) {
        painter.fillRect(QRect(2, y, 1, 1), Qt::black);
        painter.fillRect(QRect(w - b - 3, y, 1, 1), Qt::black);
      }
    }
  }
  // 6. Caption.
  QString caption = QString::fromStdString(FCaption);
  if (!caption.trimmed().isEmpty()) {
    painter.setFont(FFont.Font);
    painter.setPen(FFont.Color);
    painter.drawText(QRect(5, 4, std::max(1, w - 5), std::max(1, h - 4)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
  }
}

QImage TMyEdit::Render(bool focused) const {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(palette().color(QPalette::Window));
  QPainter painter(&image);
  Paint(painter, focused);
  return image;
}

void TMyEdit::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, hasFocus());
}

void TMyEdit::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  update();
  QPoint pos = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TMyEdit::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TMyEdit::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  FShowBKBmp2 = false;
  update();
}

}  // namespace tessaro
