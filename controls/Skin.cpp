#include "controls/Skin.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tessaro {

QImage SkinImage(const QString& name, QSize size, const QColor& background) {
  QSvgRenderer renderer(QStringLiteral(":/skin/%1.svg").arg(name));
  if (!renderer.isValid()) return {};
  if (size.isEmpty()) size = renderer.defaultSize();
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(background);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
  return image;
}

QStringList SkinNames() {
  QStringList names;
  for (const QString& file : QDir(QStringLiteral(":/skin")).entryList({QStringLiteral("*.svg")}, QDir::Files))
    names << file.chopped(4);
  return names;
}

QCursor RotateCursor() {
  QImage image = SkinImage(QStringLiteral("cursor_rotate"), QSize(32, 32));
  if (image.isNull()) return QCursor(Qt::CrossCursor);
  return QCursor(QPixmap::fromImage(image), 16, 16);
}

}  // namespace tessaro
