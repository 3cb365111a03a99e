// The arithmetic of slot editing in the preview: the slot window centred in
// the preview screen, the photo's on-screen rectangle from a slot's stored
// transform (or the initial cover/fit of a first display), the transform
// stored back from a rectangle, the zoom step with its limits, angle
// normalisation and the print-quality figure. TSlotEdit holds what the
// preview currently shows for the selected slot; the controller's slot
// commands change it and the preview screen draws it. Qt-free, main thread.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "model/Records.h"
#include "model/Sizes.h"

namespace tessaro {

// The preview screen panel and the canvas inside its one-pixel border; the
// mask bitmap has the canvas size.
inline constexpr int kPreviewPanelWidth = 648;
inline constexpr int kPreviewPanelHeight = 432;
inline constexpr int kPreviewCanvasWidth = 646;
inline constexpr int kPreviewCanvasHeight = 430;
// One zoom tick changes the photo's width by this many canvas pixels; zooming
// in stops before a side exceeds kZoomMaxSide, zooming out before a side falls
// below kZoomMinSide.
inline constexpr double kZoomStep = 10.0;
inline constexpr double kZoomMaxSide = 20000.0;
inline constexpr double kZoomMinSide = 50.0;
// Below this effective resolution a print looks soft.
inline constexpr double kLowPrintPpi = 150.0;

// A float rectangle (canvas pixels), right and bottom exclusive.
struct TRectF {
  double Left = 0, Top = 0, Right = 0, Bottom = 0;
  double Width() const { return Right - Left; }
  double Height() const { return Bottom - Top; }
  friend bool operator==(const TRectF&, const TRectF&) = default;
};

// The slot window in canvas pixels; right and bottom are the last column and
// row inside, so the extents Ws = Right - Left and Hs = Bottom - Top are one
// less than the window's pixel size.
struct TSlotWindow {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Ws() const { return Right - Left; }
  int32_t Hs() const { return Bottom - Top; }
  friend bool operator==(const TSlotWindow&, const TSlotWindow&) = default;
};

// A window of w x h pixels centred in the preview panel.
TSlotWindow CentredSlotWindow(int32_t w, int32_t h);
// The window of slot `slotIndex` of `temp`: its first placement's rectangle
// scaled to the template's page size, fitted into the mask and centred.
// Nothing when the slot has no placement or the template no usable size.
std::optional<TSlotWindow> SlotWindowFor(const TTempNode& temp, int slotIndex,
                                         const TSlotWindowGeometry& geometry);

// The rectangle a photo of photoW x photoH pixels gets on its first display:
// it covers the window when it is larger than the window both ways, else it
// shows at its own size, shrunk only to fit the canvas; centred on the canvas.
TRectF InitialPhotoRect(int32_t photoW, int32_t photoH, const TSlotWindow& window);
// The scale (in window widths and heights) at which a photo of photoW x
// photoH pixels just covers `window` keeping its aspect: one side fills the
// window, the other reaches past it. This is the transform a slot gets when
// a set is made with its photos placed as the preview would first show them;
// 1 x 1 for an empty window or photo.
std::pair<float, float> CoveringScale(int32_t photoW, int32_t photoH, const TSlotWindow& window);
// The reset's rectangle: never the covering fit, always shrunk to the canvas.
TRectF ResetPhotoRect(int32_t photoW, int32_t photoH);
// The rectangle a stored transform describes in `window`.
TRectF RectFromTransform(const TSlotNode& slot, const TSlotWindow& window);
// Stores scale and offset of `rect` relative to `window` into `slot`.
void StoreTransform(TSlotNode& slot, const TRectF& rect, const TSlotWindow& window);
// One zoom tick (zoomIn or out) of `rect` about its centre, giving it the
// photo's own aspect ratio; nothing when the tick would pass a limit.
std::optional<TRectF> ZoomStepRect(const TRectF& rect, int32_t photoW, int32_t photoH, bool zoomIn);
// An angle brought into [0, 360) the way the handle frame keeps its angle.
float NormalizeAngle(float angle);

// The photo's effective print resolution in its slot (pixels per inch): its
// pixels over the printed size of its on-screen rectangle, the slot's window
// standing for the slot's printed size at the template's page size. The
// smaller of the two directions. scaleX and scaleY are the photo's size in
// window widths and heights. Nothing without a placement, a page size in a
// physical unit or a positive scale.
std::optional<double> PrintPpi(const TTempNode& temp, int slotIndex, int32_t photoW, int32_t photoH,
                               double scaleX, double scaleY);

// What the preview shows of the selected slot.
class TSlotEdit {
 public:
  // The slot window; set when a slot is selected (kept when the slot has no
  // placement).
  void SetWindow(const TSlotWindow& window) { FWindow = window; }
  const TSlotWindow& Window() const { return FWindow; }
  // Shows a photo of photoW x photoH true pixels (upright) for `slot`: with
  // the slot's transform, or with the initial fit, which is stored into the
  // slot (the set is not marked modified for it).
  void ShowPhoto(TSlotNode& slot, int32_t photoW, int32_t photoH);
  // No photo shown (empty slot, missing file, another page).
  void Clear();

  bool HasPhoto() const { return FHasPhoto; }
  int32_t PhotoWidth() const { return FPhotoW; }
  int32_t PhotoHeight() const { return FPhotoH; }

  // The photo's unrotated on-screen rectangle, angle and mirroring.
  TRectF DestRect;
  float Angle = 0;
  bool FlipH = false;
  bool FlipV = false;
  // 0 zooming in, 1 zooming out, -1 idle.
  int ZoomDirection = -1;

 private:
  TSlotWindow FWindow;
  bool FHasPhoto = false;
  int32_t FPhotoW = 0, FPhotoH = 0;
};

}  // namespace tessaro
