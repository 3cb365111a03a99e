// The program's skin: SVG pictures compiled into the program (resources/skin)
// and rendered at the size a control needs. GUI thread only (fonts and
// pixmaps); the rendered images may be used anywhere.
#pragma once

#include <QCursor>
#include <QImage>
#include <QSize>
#include <QString>

namespace tessaro {

// Renders skin picture `name` (file name without ".svg") at `size`, or at
// its own size when `size` is empty. `background` fills the image first
// (transparent by default). A null image for an unknown name.
QImage SkinImage(const QString& name, QSize size = {}, const QColor& background = Qt::transparent);
// Names of every skin picture.
QStringList SkinNames();
// The rotate cursor of the preview (hot spot in its centre).
QCursor RotateCursor();

}  // namespace tessaro
