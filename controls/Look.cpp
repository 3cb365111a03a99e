#include "controls/Look.h"

#include <QPainter>
#include <QStringList>

namespace tessaro {

QFont ListFont(int pointSize) {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("宋体"), QStringLiteral("SimSun"),
                               QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                               QStringLiteral("Noto Sans SC"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(pointSize);
  return font;
}

QLinearGradient AccentSheen(QPointF from, QPointF to) {
  const auto faded = [](QColor color, int alpha) {
    color.setAlpha(alpha);
    return color;
  };
  QLinearGradient sheen(from, to);
  sheen.setColorAt(0, faded(skin::kCyan, 0));
  sheen.setColorAt(0.3, faded(skin::kCyan, 140));
  sheen.setColorAt(0.7, faded(skin::kCrimson, 140));
  sheen.setColorAt(1, faded(skin::kCrimson, 0));
  return sheen;
}

void FillDown(QPainter& painter, const QRect& area, const QGradientStops& stops) {
  QLinearGradient down(area.topLeft(), area.bottomLeft());
  down.setStops(stops);
  painter.fillRect(area, down);
}

}  // namespace tessaro
