#include "controls/Look.h"

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

}  // namespace tessaro
