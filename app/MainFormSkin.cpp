#include "app/MainFormSkin.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "controls/Look.h"

namespace tessaro {

namespace {

QPen Stroke(const QColor& color, qreal width) {
  QPen pen(color, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// A photo card: frame with a small mountain and sun inside.
void PhotoCard(QPainter& p, const QRectF& r, const QColor& color, qreal w) {
  p.setPen(Stroke(color, w));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(r, r.width() * 0.08, r.width() * 0.08);
  QPainterPath hill;
  hill.moveTo(r.left() + r.width() * 0.12, r.bottom() - r.height() * 0.15);
  hill.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.45);
  hill.lineTo(r.left() + r.width() * 0.62, r.top() + r.height() * 0.68);
  hill.lineTo(r.left() + r.width() * 0.74, r.top() + r.height() * 0.56);
  hill.lineTo(r.right() - r.width() * 0.12, r.bottom() - r.height() * 0.15);
  p.drawPath(hill);
  p.setBrush(color);
  p.setPen(Qt::NoPen);
  const qreal s = r.width() * 0.14;
  p.drawEllipse(QPointF(r.right() - r.width() * 0.28, r.top() + r.height() * 0.3), s / 2 + 0.5, s / 2 + 0.5);
}

// An album spread: two pages opening from a spine.
void Spread(QPainter& p, const QRectF& r, const QColor& color, qreal w) {
  p.setPen(Stroke(color, w));
  p.setBrush(Qt::NoBrush);
  const qreal cx = r.center().x();
  // A page from the spine to its outer edge at x = `edge`.
  const auto page = [&](qreal edge) {
    QPainterPath path;
    path.moveTo(cx, r.top() + r.height() * 0.1);
    path.lineTo(edge, r.top());
    path.lineTo(edge, r.bottom() - r.height() * 0.1);
    path.lineTo(cx, r.bottom());
    path.closeSubpath();
    return path;
  };
  p.drawPath(page(r.left()));
  p.drawPath(page(r.right()));
  p.setPen(Stroke(color, w * 0.7));
  p.drawRect(
      QRectF(r.left() + r.width() * 0.1, r.top() + r.height() * 0.25, r.width() * 0.28, r.height() * 0.32));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal w) {
  p.setPen(Stroke(color, w));
  p.drawLine(from, to);
  const qreal a = std::atan2(to.y() - from.y(), to.x() - from.x());
  const qreal len = w * 3.2;
  p.drawLine(to, to - QPointF(std::cos(a - 0.5) * len, std::sin(a - 0.5) * len));
  p.drawLine(to, to - QPointF(std::cos(a + 0.5) * len, std::sin(a + 0.5) * len));
}

// A circular arrow turning left (counter-clockwise) or right.
void TurnArrow(QPainter& p, const QRectF& r, bool left, const QColor& color, qreal w) {
  p.setPen(Stroke(color, w));
  p.setBrush(Qt::NoBrush);
  const QRectF circle =
      r.adjusted(r.width() * 0.12, r.height() * 0.12, -r.width() * 0.12, -r.height() * 0.12);
  const int start = left ? 60 * 16 : 120 * 16;
  const int span = left ? 250 * 16 : -250 * 16;
  p.drawArc(circle, start, span);
  const qreal endAngle = (start + span) / 16.0 * M_PI / 180.0;
  const QPointF c = circle.center();
  const qreal rx = circle.width() / 2, ry = circle.height() / 2;
  const QPointF end(c.x() + rx * std::cos(endAngle), c.y() - ry * std::sin(endAngle));
  // Tangent direction at the end of the arc.
  const qreal dir = left ? 1 : -1;
  const QPointF tangent(-std::sin(endAngle) * dir, -std::cos(endAngle) * dir);
  const qreal len = w * 3;
  const QPointF back = end - tangent * len;
  const QPointF normal(-tangent.y(), tangent.x());
  QPolygonF head;
  head << end + tangent * len * 0.5 << back + normal * len * 0.8 << back - normal * len * 0.8;
  p.setBrush(color);
  p.setPen(Qt::NoPen);
  p.drawPolygon(head);
}

}  // namespace

void PaintToolIcon(QPainter& p, int icon, const QRectF& box, const QColor& color) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const qreal w = std::max<qreal>(1.4, box.width() / 14.0);
  const QRectF r = box;
  switch (icon) {
    case kIconTemplates: {
      Spread(p, r.adjusted(0, r.height() * 0.08, -r.width() * 0.18, -r.height() * 0.1), color, w);
      Arrow(p, QPointF(r.right() - r.width() * 0.08, r.top()),
            QPointF(r.right() - r.width() * 0.08, r.center().y()), skin::kCyan, w);
      break;
    }
    case kIconPhotos: {
      PhotoCard(p, QRectF(r.left() + r.width() * 0.18, r.top(), r.width() * 0.7, r.height() * 0.6),
                color.darker(140), w);
      PhotoCard(p, QRectF(r.left(), r.top() + r.height() * 0.3, r.width() * 0.72, r.height() * 0.62), color,
                w);
      Arrow(p, QPointF(r.right() - r.width() * 0.06, r.top() + r.height() * 0.55),
            QPointF(r.right() - r.width() * 0.06, r.bottom()), skin::kCyan, w);
      break;
    }
    case kIconPreview:
    case kIconBatchPreview: {
      if (icon == kIconBatchPreview) {
        p.setPen(Stroke(color.darker(150), w));
        p.drawRoundedRect(r.adjusted(r.width() * 0.16, 0, 0, -r.height() * 0.3), 2, 2);
      }
      const QRectF page = r.adjusted(0, r.height() * 0.12, -r.width() * 0.16, -r.height() * 0.12);
      PhotoCard(p, page, color, w);
      p.setPen(Stroke(skin::kCyan, w * 1.2));
      const QPointF c(page.right() - page.width() * 0.05, page.bottom() - page.height() * 0.05);
      p.setBrush(QColor(0, 0, 0, 120));
      p.drawEllipse(c, r.width() * 0.16, r.width() * 0.16);
      p.drawLine(c + QPointF(r.width() * 0.11, r.width() * 0.11),
                 c + QPointF(r.width() * 0.24, r.width() * 0.24));
      break;
    }
    case kIconSettings: {
      p.setPen(Stroke(color, w));
      const QPointF c = r.center();
      const qreal ro = r.width() * 0.42, ri = r.width() * 0.3;
      QPainterPath gear;
      for (int i = 0; i < 16; ++i) {
        const qreal a = i * M_PI / 8;
        const qreal rr = (i % 2 == 0) ? ro : ri;
        const QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
        if (i == 0)
          gear.moveTo(pt);
        else
          gear.lineTo(pt);
      }
      gear.closeSubpath();
      p.setBrush(Qt::NoBrush);
      p.drawPath(gear);
      p.setPen(Stroke(skin::kCyan, w));
      p.drawEllipse(c, r.width() * 0.13, r.width() * 0.13);
      break;
    }
    case kIconHelp: {
      p.setPen(Stroke(color, w));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(r.adjusted(r.width() * 0.06, r.height() * 0.06, -r.width() * 0.06, -r.height() * 0.06));
      QFont font("DejaVu Sans");
      font.setPixelSize(int(r.height() * 0.58));
      font.setBold(true);
      p.setFont(font);
      p.setPen(skin::kCyan);
      p.drawText(r, Qt::AlignCenter, "?");
      break;
    }
    case kIconCompose:
    case kIconBatchCompose: {
      const QRectF page = r.adjusted(0, r.height() * 0.1, -r.width() * 0.2, -r.height() * 0.02);
      if (icon == kIconBatchCompose) {
        p.setPen(Stroke(color.darker(150), w));
        p.drawRect(page.translated(r.width() * 0.12, -r.height() * 0.1));
      }
      p.setBrush(QColor(0, 0, 0, 140));
      Spread(p, page, color, w);
      // A wand with a spark.
      p.setPen(Stroke(skin::kCyan, w * 1.3));
      p.drawLine(QPointF(r.left() + r.width() * 0.45, r.bottom() - r.height() * 0.05),
                 QPointF(r.right() - r.width() * 0.08, r.top() + r.height() * 0.3));
      p.setPen(Stroke(QColor(0xff, 0xd8, 0x6a), w));
      const QPointF s(r.right() - r.width() * 0.06, r.top() + r.height() * 0.16);
      const qreal k = r.width() * 0.1;
      p.drawLine(s - QPointF(k, 0), s + QPointF(k, 0));
      p.drawLine(s - QPointF(0, k), s + QPointF(0, k));
      break;
    }
    case kIconEditor: {
      PhotoCard(p, r.adjusted(0, r.height() * 0.1, -r.width() * 0.25, -r.height() * 0.1), color, w);
      p.setPen(Stroke(skin::kCyan, w * 1.4));
      p.drawLine(QPointF(r.right() - r.width() * 0.05, r.top() + r.height() * 0.05),
                 QPointF(r.left() + r.width() * 0.45, r.bottom() - r.height() * 0.2));
      break;
    }
    case kIconZoomIn:
    case kIconZoomOut: {
      p.setPen(Stroke(color, w));
      p.setBrush(Qt::NoBrush);
      const QPointF c(r.left() + r.width() * 0.42, r.top() + r.height() * 0.42);
      const qreal rad = r.width() * 0.3;
      p.drawEllipse(c, rad, rad);
      p.drawLine(c + QPointF(rad * 0.72, rad * 0.72), QPointF(r.right(), r.bottom()));
      p.setPen(Stroke(skin::kCyan, w));
      p.drawLine(c - QPointF(rad * 0.5, 0), c + QPointF(rad * 0.5, 0));
      if (icon == kIconZoomIn) p.drawLine(c - QPointF(0, rad * 0.5), c + QPointF(0, rad * 0.5));
      break;
    }
    case kIconFlipH:
    case kIconFlipV: {
      p.save();
      if (icon == kIconFlipV) {
        p.translate(r.center());
        p.rotate(90);
        p.translate(-r.center());
      }
      p.setPen(Stroke(skin::kMuted, w * 0.7));
      p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
      QPolygonF leftTri, rightTri;
      const qreal cx = r.center().x(), g = r.width() * 0.08;
      leftTri << QPointF(cx - g, r.top() + r.height() * 0.15)
              << QPointF(cx - g, r.bottom() - r.height() * 0.15)
              << QPointF(r.left(), r.bottom() - r.height() * 0.15);
      rightTri << QPointF(cx + g, r.top() + r.height() * 0.15)
               << QPointF(cx + g, r.bottom() - r.height() * 0.15)
               << QPointF(r.right(), r.bottom() - r.height() * 0.15);
      p.setPen(Stroke(color, w));
      p.setBrush(color);
      p.drawPolygon(leftTri);
      p.setBrush(Qt::NoBrush);
      p.setPen(Stroke(skin::kCyan, w));
      p.drawPolygon(rightTri);
      p.restore();
      break;
    }
    case kIconRotateLeft90:
    case kIconRotateRight90:
    case kIconRotateLeft1:
    case kIconRotateRight1: {
      const bool left = icon == kIconRotateLeft90 || icon == kIconRotateLeft1;
      TurnArrow(p, r, left, icon == kIconRotateLeft90 || icon == kIconRotateRight90 ? color : skin::kCyan, w);
      QFont font("DejaVu Sans");
      font.setPixelSize(
          int(r.height() * (icon == kIconRotateLeft90 || icon == kIconRotateRight90 ? 0.34 : 0.4)));
      font.setBold(true);
      p.setFont(font);
      p.setPen(color);
      p.drawText(r, Qt::AlignCenter, icon == kIconRotateLeft90 || icon == kIconRotateRight90 ? "90" : "1");
      break;
    }
    case kIconReset: {
      TurnArrow(p, r, true, color, w);
      p.setPen(Stroke(skin::kCyan, w));
      p.setBrush(Qt::NoBrush);
      const QRectF inner =
          r.adjusted(r.width() * 0.34, r.height() * 0.34, -r.width() * 0.34, -r.height() * 0.34);
      p.drawRect(inner);
      break;
    }
    default:
      break;
  }
  p.restore();
}

void PaintTitleStrip(QPainter& p, const QRect& rect) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  FillDown(p, rect, {{0, QColor(0x22, 0x27, 0x2f)}, {1, QColor(0x12, 0x15, 0x1a)}});
  p.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), QColor(0, 0, 0));
  // The mark: two album pages opening like a spread.
  p.translate(rect.left() + 10, rect.top() + 6);
  QLinearGradient a(0, 0, 10, 20), b(10, 0, 20, 20);
  a.setColorAt(0, QColor(0x5f, 0xf4, 0xf4));
  a.setColorAt(1, QColor(0x0e, 0x9f, 0xa3));
  b.setColorAt(0, QColor(0xe8, 0x40, 0x4c));
  b.setColorAt(1, QColor(0x8a, 0x06, 0x10));
  QPolygonF left, right;
  left << QPointF(10, 2) << QPointF(1, 0) << QPointF(1, 18) << QPointF(10, 20);
  right << QPointF(10, 2) << QPointF(19, 0) << QPointF(19, 18) << QPointF(10, 20);
  p.setPen(Qt::NoPen);
  p.setBrush(b);
  p.drawPolygon(right);
  p.setBrush(a);
  p.drawPolygon(left);
  p.resetTransform();
  QFont font = ListFont(10);
  font.setBold(true);
  p.setFont(font);
  p.setPen(skin::kText);
  p.drawText(QRect(rect.left() + 38, rect.top(), 400, rect.height()), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromUtf8("Tessaro  影楼相册自动排版系统"));
  p.restore();
}

void PaintBanner(QPainter& p, const QRect& rect) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  FillDown(p, rect,
           {{0, QColor(0x2c, 0x32, 0x3c)}, {0.55, QColor(0x1e, 0x23, 0x2a)}, {1, QColor(0x14, 0x17, 0x1c)}});
  // A soft light behind the wordmark.
  QRadialGradient glow(QPointF(rect.left() + 650, rect.top() + 40), 180);
  glow.setColorAt(0, QColor(0x1a, 0xec, 0xec, 38));
  glow.setColorAt(1, QColor(0x1a, 0xec, 0xec, 0));
  p.fillRect(rect, glow);
  p.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), QColor(255, 255, 255, 20));
  p.fillRect(QRect(rect.left(), rect.bottom() - 1, rect.width(), 2),
             AccentSheen(rect.topLeft(), rect.topRight()));
  // Wordmark between the import buttons and the composition buttons.
  QFont word("DejaVu Sans");
  word.setPixelSize(30);
  word.setBold(true);
  word.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  p.setFont(word);
  p.setPen(skin::kText);
  const QRect wordBox(rect.left() + 560, rect.top() + 16, 180, 36);
  p.drawText(wordBox, Qt::AlignHCenter | Qt::AlignVCenter, "TESSARO");
  QFont sub = ListFont(9);
  p.setFont(sub);
  p.setPen(skin::kMuted);
  p.drawText(QRect(rect.left() + 560, rect.top() + 54, 180, 20), Qt::AlignHCenter | Qt::AlignVCenter,
             QString::fromUtf8("影楼相册 · 自动套版"));
  p.fillRect(QRect(rect.left() + 605, rect.top() + 52, 90, 1), QColor(0x1a, 0xec, 0xec, 120));
  p.restore();
}

void PaintMidBar(QPainter& p, const QRect& rect) {
  p.save();
  FillDown(p, rect,
           {{0, QColor(0x2a, 0x30, 0x39)}, {0.4, QColor(0x20, 0x25, 0x2c)}, {1, QColor(0x16, 0x19, 0x1e)}});
  p.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), QColor(255, 255, 255, 22));
  // Grooves under the tool row and under the slot row.
  p.fillRect(QRect(rect.left() + 4, rect.top() + 44, rect.width() - 8, 1), QColor(0, 0, 0, 160));
  p.fillRect(QRect(rect.left() + 4, rect.top() + 45, rect.width() - 8, 1), QColor(255, 255, 255, 18));
  p.fillRect(QRect(rect.left() + 4, rect.top() + 92, rect.width() - 8, 1), QColor(0, 0, 0, 160));
  p.fillRect(QRect(rect.left() + 4, rect.top() + 93, rect.width() - 8, 1), QColor(255, 255, 255, 18));
  QFont font = ListFont(9);
  p.setFont(font);
  p.setPen(skin::kMuted);
  p.drawText(QRect(rect.left() + 420, rect.top() + 52, 200, 30), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromUtf8("照片位：单击选择，双击导入"));
  p.restore();
}

void PaintCompanyStrip(QPainter& p, const QRect& rect) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  FillDown(p, rect, {{0, QColor(0x1e, 0x23, 0x2a)}, {1, QColor(0x0f, 0x11, 0x14)}});
  p.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), QColor(0x1a, 0xec, 0xec, 90));
  QFont font = ListFont(9);
  p.setFont(font);
  p.setPen(skin::kMuted);
  p.drawText(rect.adjusted(16, 0, -16, 0), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromUtf8("导入模板 → 导入照片 → 选择照片位 → 预览 → 自动套版"));
  QFont brand("DejaVu Sans");
  brand.setPixelSize(13);
  brand.setBold(true);
  brand.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
  p.setFont(brand);
  p.setPen(QColor(0xcf, 0xd5, 0xdd));
  p.drawText(rect.adjusted(16, 0, -16, 0), Qt::AlignVCenter | Qt::AlignRight, "TESSARO STUDIO");
  p.restore();
}

void TPaintedPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (FPaint) FPaint(painter, rect());
}

TPictureButton::TPictureButton(QWidget* parent, int icon) : QAbstractButton(parent), FIcon(icon) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover, true);
}

void TPictureButton::enterEvent(QEnterEvent* event) {
  FHover = true;
  update();
  QAbstractButton::enterEvent(event);
}

void TPictureButton::leaveEvent(QEvent* event) {
  FHover = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void TPictureButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, true);
  const bool large = height() >= 50;
  const bool enabled = isEnabled();
  const bool pressed = isDown();
  const QRectF tile = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient face(tile.topLeft(), tile.bottomLeft());
  if (!enabled) {
    face.setColorAt(0, QColor(0x2a, 0x2e, 0x34));
    face.setColorAt(1, QColor(0x22, 0x25, 0x2a));
  } else if (pressed) {
    face.setColorAt(0, QColor(0x14, 0x17, 0x1b));
    face.setColorAt(1, QColor(0x24, 0x29, 0x30));
  } else if (FHover) {
    face.setColorAt(0, QColor(0x4e, 0x58, 0x66));
    face.setColorAt(1, QColor(0x30, 0x37, 0x40));
  } else if (large) {
    face.setColorAt(0, QColor(255, 255, 255, 18));
    face.setColorAt(1, QColor(255, 255, 255, 4));
  } else {
    face.setColorAt(0, QColor(0x3a, 0x41, 0x4b));
    face.setColorAt(1, QColor(0x26, 0x2b, 0x32));
  }
  p.setBrush(face);
  p.setPen(FHover && enabled ? QPen(skin::kCyan, 1) : QPen(QColor(0, 0, 0, large ? 90 : 200), 1));
  p.drawRoundedRect(tile, large ? 6 : 3, large ? 6 : 3);
  if (!pressed && enabled) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, FHover ? 34 : 16));
    p.drawRoundedRect(QRectF(tile.left() + 2, tile.top() + 1.5, tile.width() - 4, tile.height() * 0.42),
                      large ? 5 : 2, large ? 5 : 2);
  }
  const qreal iconSize =
      large ? std::min(height() * 0.62, width() * 0.55) : std::min(width(), height()) * 0.62;
  QRectF box((width() - iconSize) / 2, (height() - iconSize) / 2, iconSize, iconSize);
  if (pressed) box.translate(1, 1);
  const QColor color = enabled ? (FHover ? QColor(255, 255, 255) : skin::kText) : QColor(0x62, 0x68, 0x70);
  PaintToolIcon(p, FIcon, box, color);
}

}  // namespace tessaro
