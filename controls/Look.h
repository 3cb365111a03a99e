// Small shared pieces of the controls' look: fonts with their colour,
// colours given as the system's 0x00BBGGRR values, and the skin's palette and
// gradients, which the main window and the small windows draw with.
#pragma once

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QRect>
#include <cstdint>

class QPainter;

namespace tessaro {

// A font and the colour its text is drawn in (the controls' fonts carry a
// colour, as the windows configure them).
struct TFontSpec {
  QFont Font;
  QColor Color = QColor(0, 0, 0);
  friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// 0x00BBGGRR to a colour; the top byte is ignored.
inline QColor ColorFromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// The lists' font: "宋体" (SimSun) at `pointSize`, falling back to the CJK
// fonts the set-up script installs when SimSun is absent.
QFont ListFont(int pointSize);

// The skin's colours: dark panels, the cyan highlight, the crimson accent.
namespace skin {
inline const QColor kPanel(0x1b, 0x1f, 0x25);
inline const QColor kEdge(0x0e, 0x9f, 0xa3);
inline const QColor kCyan(0x1a, 0xec, 0xec);
inline const QColor kCrimson(0xb3, 0x02, 0x0f);
inline const QColor kText(0xf2, 0xf4, 0xf7);
inline const QColor kMuted(0x8d, 0x97, 0xa5);
}  // namespace skin

// The accent line under title strips and banners, from `from` to `to`: cyan
// fading in, then crimson fading out.
QLinearGradient AccentSheen(QPointF from, QPointF to);

// Fills `area` with a gradient through `stops` running from its top row to
// its bottom row.
void FillDown(QPainter& painter, const QRect& area, const QGradientStops& stops);

}  // namespace tessaro
