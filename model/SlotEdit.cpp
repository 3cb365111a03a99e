#include "model/SlotEdit.h"

#include <algorithm>
#include <cmath>

#include "model/func.h"

namespace tessaro {

TSlotWindow CentredSlotWindow(int32_t w, int32_t h) {
  TSlotWindow r;
  r.Left = (kPreviewPanelWidth - w) / 2;
  r.Right = r.Left + w - 1;
  r.Top = (kPreviewPanelHeight - h) / 2;
  r.Bottom = r.Top + h - 1;
  return r;
}

std::optional<TSlotWindow> SlotWindowFor(const TTempNode& temp, int slotIndex,
                                         const TSlotWindowGeometry& geometry) {
  const TPlacement* placement = temp.FirstPlacementOf(slotIndex);
  if (!placement) return std::nullopt;
  auto size = SlotWindowSize(placement->Rect, temp.Spread, temp.Width, temp.Height, temp.SizeUnit, geometry);
  if (!size) return std::nullopt;
  return CentredSlotWindow(size->first, size->second);
}

namespace {

TRectF CentredOnCanvas(int32_t w, int32_t h) {
  const double left = (kPreviewCanvasWidth - w) / 2;
  const double top = (kPreviewCanvasHeight - h) / 2;
  return {left, top, left + w, top + h};
}

}  // namespace

TRectF InitialPhotoRect(int32_t photoW, int32_t photoH, const TSlotWindow& window) {
  const int32_t ws = window.Ws(), hs = window.Hs();
  int32_t w, h;
  if (ws < photoW && hs < photoH) {
    w = ws;
    h = hs;
    CoverBox(photoW, photoH, w, h);
  } else {
    w = kPreviewCanvasWidth;
    h = kPreviewCanvasHeight;
    FitInBox(photoW, photoH, w, h);
  }
  return CentredOnCanvas(w, h);
}

std::pair<float, float> CoveringScale(int32_t photoW, int32_t photoH, const TSlotWindow& window) {
  const int32_t ws = window.Ws(), hs = window.Hs();
  if (ws <= 0 || hs <= 0 || photoW <= 0 || photoH <= 0) return {1.0f, 1.0f};
  int32_t w = ws, h = hs;
  if (double(photoH) / hs > double(photoW) / ws)
    h = int32_t(int64_t(photoH) * ws / photoW);
  else
    w = int32_t(int64_t(photoW) * hs / photoH);
  return {float(w) / ws, float(h) / hs};
}

TRectF ResetPhotoRect(int32_t photoW, int32_t photoH) {
  int32_t w = kPreviewCanvasWidth, h = kPreviewCanvasHeight;
  FitInBox(photoW, photoH, w, h);
  return CentredOnCanvas(w, h);
}

TRectF RectFromTransform(const TSlotNode& slot, const TSlotWindow& window) {
  const double ws = window.Ws(), hs = window.Hs();
  const int32_t w = RoundToInt32(slot.ScaleX * ws);
  const int32_t h = RoundToInt32(slot.ScaleY * hs);
  const int32_t left = RoundToInt32(ws * slot.OffsetX + kPreviewCanvasWidth / 2.0 - w / 2.0);
  const int32_t top = RoundToInt32(hs * slot.OffsetY + kPreviewCanvasHeight / 2.0 - h / 2.0);
  return {double(left), double(top), double(left) + w, double(top) + h};
}

void StoreTransform(TSlotNode& slot, const TRectF& rect, const TSlotWindow& window) {
  const double ws = window.Ws(), hs = window.Hs();
  if (ws <= 0 || hs <= 0) return;
  slot.ScaleX = static_cast<float>(RoundToInt32(rect.Right - rect.Left) / ws);
  slot.ScaleY = static_cast<float>(RoundToInt32(rect.Bottom - rect.Top) / hs);
  slot.OffsetX = static_cast<float>((rect.Right + rect.Left - kPreviewCanvasWidth) / (2 * ws));
  slot.OffsetY = static_cast<float>((rect.Bottom + rect.Top - kPreviewCanvasHeight) / (2 * hs));
}

std::optional<TRectF> ZoomStepRect(const TRectF& rect, int32_t photoW, int32_t photoH, bool zoomIn) {
  if (photoW <= 0 || photoH <= 0) return std::nullopt;
  const double w = rect.Width(), h = rect.Height();
  const double nw = w + (zoomIn ? kZoomStep : -kZoomStep);
  const double nh = double(photoH) * nw / photoW;
  if (zoomIn && (nw > kZoomMaxSide || nh > kZoomMaxSide)) return std::nullopt;
  if (!zoomIn && (nw < kZoomMinSide || nh < kZoomMinSide)) return std::nullopt;
  TRectF r;
  r.Left = rect.Left - (nw - w) / 2;
  r.Right = r.Left + nw;
  r.Top = rect.Top - (nh - h) / 2;
  r.Bottom = r.Top + nh;
  return r;
}

float NormalizeAngle(float angle) {
  if (!std::isfinite(angle)) return 0;
  // q: the angle rounded to whole degrees, in whole turns (truncated).
  auto turns = [](float a) { return std::trunc(std::nearbyint(double(a)) / 360.0); };
  if (angle >= 360) angle -= static_cast<float>(360 * turns(angle));
  if (angle < 0) angle = static_cast<float>(angle - 360 * turns(angle) + 360);
  // Rounding to whole degrees may leave a value a hair past a full turn.
  if (angle >= 360) angle -= 360;
  if (angle < 0) angle += 360;
  return angle;
}

std::optional<double> PrintPpi(const TTempNode& temp, int slotIndex, int32_t photoW, int32_t photoH,
                               double scaleX, double scaleY) {
  const TPlacement* placement = temp.FirstPlacementOf(slotIndex);
  if (!placement || photoW <= 0 || photoH <= 0 || !(scaleX > 0) || !(scaleY > 0)) return std::nullopt;
  double perUnit;  // inches per unit
  switch (temp.SizeUnit) {
    case kUnitInch:
      perUnit = 1;
      break;
    case kUnitCentimetre:
      perUnit = 1 / 2.54;
      break;
    case kUnitMillimetre:
      perUnit = 1 / 25.4;
      break;
    default:
      return std::nullopt;
  }
  if (!(temp.Width > 0) || !(temp.Height > 0)) return std::nullopt;
  // A spread is two pages across a reference width of twice the page's.
  const double pageInchesW = temp.Width * perUnit;
  const double pageInchesH = temp.Height * perUnit;
  const double slotInchesW =
      std::abs(placement->Rect.Right - placement->Rect.Left) / kReferencePageWidth * pageInchesW;
  const double slotInchesH =
      std::abs(placement->Rect.Bottom - placement->Rect.Top) / kReferencePageHeight * pageInchesH;
  if (!(slotInchesW > 0) || !(slotInchesH > 0)) return std::nullopt;
  const double ppiX = photoW / (scaleX * slotInchesW);
  const double ppiY = photoH / (scaleY * slotInchesH);
  return std::min(ppiX, ppiY);
}

void TSlotEdit::ShowPhoto(TSlotNode& slot, int32_t photoW, int32_t photoH) {
  FHasPhoto = true;
  FPhotoW = photoW;
  FPhotoH = photoH;
  if (slot.IsFitted()) {
    DestRect = RectFromTransform(slot, FWindow);
  } else {
    DestRect = InitialPhotoRect(photoW, photoH, FWindow);
    if (FWindow.Ws() > 0 && FWindow.Hs() > 0) {
      slot.ScaleX = static_cast<float>(DestRect.Width() / FWindow.Ws());
      slot.ScaleY = static_cast<float>(DestRect.Height() / FWindow.Hs());
    }
    slot.OffsetX = slot.OffsetY = 0;
  }
  Angle = slot.Angle;
  FlipH = slot.FlipH;
  FlipV = slot.FlipV;
}

void TSlotEdit::Clear() {
  FHasPhoto = false;
  FPhotoW = FPhotoH = 0;
  DestRect = {};
  Angle = 0;
  FlipH = FlipV = false;
  ZoomDirection = -1;
}

}  // namespace tessaro
