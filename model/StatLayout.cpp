#include "model/StatLayout.h"

#include <algorithm>

#include "model/func.h"

namespace tessaro {

namespace {

// Moves [start, start + length) into [lo, hi) as little as possible; when it
// is longer than the range its start edge wins, so a title bar stays
// reachable.
int32_t ClampSpan(int32_t start, int32_t length, int32_t lo, int32_t hi) {
  if (start + length > hi) start = hi - length;
  if (start < lo) start = lo;
  return start;
}

}  // namespace

int32_t StatToggleWidth(int32_t width, bool& open) {
  open = width <= kStatNarrowWidth;
  return open ? kStatWideWidth : kStatNarrowWidth;
}

int32_t StatWidthForLargeView(int32_t width) { return width <= kStatNarrowWidth ? kStatWideWidth : width; }

TStatRect PlaceStatWindow(const TStatRect& previewScreen, const TStatRect& window, const TStatRect& desktop) {
  TStatRect placed{previewScreen.Left + kStatPlacementGap,
                   previewScreen.Bottom() - window.Height - kStatPlacementGap, window.Width, window.Height};
  if (desktop.Empty()) return placed;
  placed.Left = ClampSpan(placed.Left, placed.Width, desktop.Left, desktop.Right());
  placed.Top = ClampSpan(placed.Top, placed.Height, desktop.Top, desktop.Bottom());
  return placed;
}

TStatRect LargeViewPhotoRect(int32_t pw, int32_t ph, int32_t vw, int32_t vh) {
  int32_t w = vw;
  int32_t h = vh;
  FitInBox(pw, ph, w, h);
  if (w <= 0 || h <= 0) return {};
  return {(vw - w) / 2, (vh - h) / 2, w, h};
}

}  // namespace tessaro
