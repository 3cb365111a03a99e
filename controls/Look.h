// Small shared pieces of the controls' look: fonts with their colour, and
// colours given as the system's 0x00BBGGRR values.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

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

}  // namespace tessaro
