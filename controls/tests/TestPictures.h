// Small picture files written for the control tests.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <string>

namespace tessaro::testing_controls {

// A w x h picture of one colour saved as `name` in `dir` (format by extension).
inline std::string WritePicture(const QTemporaryDir& dir, const QString& name, int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  QString path = dir.filePath(name);
  image.save(path, nullptr, 95);
  return path.toStdString();
}

inline QColor PixelAt(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

}  // namespace tessaro::testing_controls
