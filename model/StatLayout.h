// The statistics window's geometry without the toolkit: its widths (the list
// alone, or the list with the large view), where the main window puts it,
// and where a photo sits in the large view. All lengths are pixels; window
// rectangles are desktop coordinates (y grows downwards), rectangles in the
// large view are coordinates of the view.
#pragma once

#include <cstdint>

namespace tessaro {

// A rectangle by its top-left corner and size. Right and Bottom are the first
// column and row outside it.
struct TStatRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Right() const { return Left + Width; }
  int32_t Bottom() const { return Top + Height; }
  bool Empty() const { return Width <= 0 || Height <= 0; }
  friend bool operator==(const TStatRect&, const TStatRect&) = default;
};

// Window widths: only the list, and the list with the large view open.
inline constexpr int32_t kStatNarrowWidth = 265;
inline constexpr int32_t kStatWideWidth = 550;
// The smallest width the window may be dragged to.
inline constexpr int32_t kStatMinWidth = 100;
inline constexpr int32_t kStatHeight = 320;
// The large view's picture area (square) and the number layer in its
// top-left corner, with the row number's position in that layer.
inline constexpr int32_t kStatViewSize = 283;
inline constexpr int32_t kStatNumberLayerSize = 30;
inline constexpr int32_t kStatNumberX = 5;
inline constexpr int32_t kStatNumberY = 2;
// Gap between the window and the preview screen's bottom-left corner.
inline constexpr int32_t kStatPlacementGap = 2;

// The width after the open/close button is pressed: a window wider than the
// list alone closes to it, any other opens to the wide width. `open` tells
// which look the button takes (true: the large view is open, the closing look).
int32_t StatToggleWidth(int32_t width, bool& open);

// The width after a photo name is clicked and its photo shown: the large view
// opens when the window is the list's width or narrower; a wider window
// (dragged wider by the user) keeps its width.
int32_t StatWidthForLargeView(int32_t width);

// Where the window goes when the main window shows it: its bottom-left corner
// kStatPlacementGap pixels inside the preview screen's bottom-left corner.
// `window` gives the window's outer size (its position is ignored). The
// result is then moved, as little as possible, so that it lies on `desktop`
// (the monitor's available area); an empty desktop leaves it where it is.
TStatRect PlaceStatWindow(const TStatRect& previewScreen, const TStatRect& window, const TStatRect& desktop);

// Where a photo of pw x ph pixels is drawn in the large view of vw x vh:
// shrunk to fit keeping its aspect ratio (never enlarged) and centred, the
// odd pixel of the margin going to the right and bottom. Empty for a
// degenerate photo or view.
TStatRect LargeViewPhotoRect(int32_t pw, int32_t ph, int32_t vw = kStatViewSize, int32_t vh = kStatViewSize);

}  // namespace tessaro
