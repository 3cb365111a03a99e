#include "preview/GR32_RotLayer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

#include "model/SlotEdit.h"

namespace tessaro {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// The same rotation as TAffineTransformation::Rotate, for one point.
QPointF RotatePoint(QPointF p, QPointF centre, double degrees) {
  const double c = std::cos(degrees * kDegToRad), s = std::sin(degrees * kDegToRad);
  const double x = p.x() - centre.x(), y = p.y() - centre.y();
  return {centre.x() + c * x + s * y, centre.y() - s * x + c * y};
}

int RoundInt(double v) { return static_cast<int>(std::lround(v)); }

// Moves one edge of the span [low, high] to `to`, then back so that the span
// is at least `min` and, with `hasMax`, at most `max` wide.
void MoveLowEdge(double& low, double high, double to, double min, double max, bool hasMax) {
  low = to;
  if (high - low < min) low = high - min;
  if (hasMax && high - low > max) low = high - max;
}

void MoveHighEdge(double low, double& high, double to, double min, double max, bool hasMax) {
  high = to;
  if (high - low < min) high = low + min;
  if (hasMax && high - low > max) high = low + max;
}

}  // namespace

// ---- TAffineTransformation ----

void TAffineTransformation::Translate(double dx, double dy) {
  FMatrix = FMatrix * QTransform::fromTranslate(dx, dy);
}

void TAffineTransformation::Scale(double sx, double sy) { FMatrix = FMatrix * QTransform::fromScale(sx, sy); }

void TAffineTransformation::Rotate(double cx, double cy, double degrees) {
  const double c = std::cos(degrees * kDegToRad), s = std::sin(degrees * kDegToRad);
  // Row-vector convention: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
  FMatrix = FMatrix * QTransform::fromTranslate(-cx, -cy) * QTransform(c, -s, s, c, 0, 0) *
            QTransform::fromTranslate(cx, cy);
}

QPoint TAffineTransformation::ReverseTransform(QPointF p) const {
  bool invertible = false;
  const QTransform inverse = FMatrix.inverted(&invertible);
  if (!invertible) return {INT32_MIN / 2, INT32_MIN / 2};
  const QPointF q = inverse.map(p);
  return {static_cast<int>(std::floor(q.x())), static_cast<int>(std::floor(q.y()))};
}

// ---- TBitmap32 ----

void TBitmap32::SetSize(int w, int h) {
  if (w <= 0 || h <= 0) {
    Image = QImage();
  } else {
    Image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
  }
  Changed();
}

void TBitmap32::Assign(QImage image) {
  Image = image.format() == QImage::Format_ARGB32_Premultiplied
              ? std::move(image)
              : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Changed();
}

void TBitmap32::FlipHorz() {
  if (Empty()) return;
  Image.mirror(true, false);
  Changed();
}

void TBitmap32::FlipVert() {
  if (Empty()) return;
  Image.mirror(false, true);
  Changed();
}

QRgb TBitmap32::PixelS(int x, int y) const {
  if (Empty() || x < 0 || y < 0 || x >= Image.width() || y >= Image.height()) return OuterColor;
  return reinterpret_cast<const QRgb*>(Image.constScanLine(y))[x];
}

// ---- TCustomLayer ----

TCustomLayer::TCustomLayer(TLayerCollection* owner) : FOwner(owner) {}
TCustomLayer::~TCustomLayer() = default;

void TCustomLayer::SetVisible(bool visible) {
  if (FVisible == visible) return;
  FVisible = visible;
  Changed();
}

bool TCustomLayer::HitTest(double, double) { return true; }
void TCustomLayer::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {}
void TCustomLayer::MouseMove(Qt::KeyboardModifiers, double, double) {}
void TCustomLayer::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {}

void TCustomLayer::Changed() {
  if (FOwner) FOwner->Changed();
}

// ---- TPositionedLayer ----

void TPositionedLayer::SetLocation(const TFloatRect& r) {
  if (FLocation == r) return;
  FLocation = r;
  Changed();
}

void TPositionedLayer::SetScaled(bool scaled) {
  if (FScaled == scaled) return;
  FScaled = scaled;
  Changed();
}

TFloatRect TPositionedLayer::GetAdjustedLocation() const { return Adjusted(FLocation); }

TFloatRect TPositionedLayer::Adjusted(const TFloatRect& r) const {
  if (!FScaled || !FOwner || !FOwner->Owner()) return r;
  const TImage32* img = FOwner->Owner();
  const double s = img->ViewportScale;
  const QPointF d = img->ViewportShift;
  return {r.Left * s + d.x(), r.Top * s + d.y(), r.Right * s + d.x(), r.Bottom * s + d.y()};
}

// ---- TBitmapLayer ----

TBitmapLayer::TBitmapLayer(TLayerCollection* owner) : TPositionedLayer(owner) {
  Bitmap.OnChange = [this] { Changed(); };
}

void TBitmapLayer::Paint(QImage& buffer) {
  if (Bitmap.Empty()) return;
  const TFloatRect r = GetAdjustedLocation();
  QPainter p(&buffer);
  p.setOpacity(Bitmap.MasterAlpha);
  p.drawImage(QRectF(r.Left, r.Top, r.Width(), r.Height()), Bitmap.Image);
}

// ---- TCustomAffineLayer ----

TCustomAffineLayer::TCustomAffineLayer(TLayerCollection* owner) : TCustomLayer(owner) {
  Bitmap.OnChange = [this] { BitmapChanged(); };
}

void TCustomAffineLayer::BitmapChanged() {
  Transformation.SrcRect = QRectF(0, 0, Bitmap.Width(), Bitmap.Height());
  Changed();
}

bool TCustomAffineLayer::HitTest(double x, double y) {
  AdjustTransformation();
  const QPoint p = Transformation.ReverseTransform({x, y});
  if (p.x() < 0 || p.y() < 0 || p.x() >= Bitmap.Width() || p.y() >= Bitmap.Height()) return false;
  return !AlphaHit || qAlpha(Bitmap.PixelS(p.x(), p.y())) != 0;
}

void TCustomAffineLayer::Paint(QImage& buffer) {
  AdjustTransformation();
  if (Bitmap.Empty()) return;
  QPainter p(&buffer);
  p.setRenderHint(QPainter::SmoothPixmapTransform, Bitmap.LinearResampler);
  p.setOpacity(Bitmap.MasterAlpha);
  p.setTransform(Transformation.Matrix());
  p.drawImage(QPointF(0, 0), Bitmap.Image);
}

// ---- TRotLayer ----

void TRotLayer::SetAngle(double angle) {
  FAngle = angle;
  Changed();
}

void TRotLayer::SetPivot(QPointF pivot) {
  Pivot = pivot;
  Changed();
}

void TRotLayer::SetScaled(bool scaled) {
  FScaled = scaled;
  Changed();
}

void TRotLayer::FollowViewport() {
  if (!FScaled || !FOwner || !FOwner->Owner()) return;
  const TImage32* img = FOwner->Owner();
  Transformation.Scale(img->ViewportScale, img->ViewportScale);
  Transformation.Translate(img->ViewportShift.x(), img->ViewportShift.y());
}

void TRotLayer::AdjustTransformation() {
  Transformation.Clear();
  Transformation.Translate(-Pivot.x(), -Pivot.y());
  Transformation.Rotate(0, 0, FAngle);
  Transformation.Translate(Position.x(), Position.y());
  FollowViewport();
}

// ---- TMyRotLayer ----

void TMyRotLayer::SetFlipHorz(bool on) {
  if (on == FFlipHorz) return;
  FFlipHorz = on;
  Bitmap.FlipHorz();
}

void TMyRotLayer::SetFlipVert(bool on) {
  if (on == FFlipVert) return;
  FFlipVert = on;
  Bitmap.FlipVert();
}

void TMyRotLayer::AdjustTransformation() {
  Transformation.Clear();
  double sx = 1, sy = 1;
  if (!Bitmap.Empty()) {
    sx = DestRect.Width() / Bitmap.Width();
    sy = DestRect.Height() / Bitmap.Height();
    Transformation.Scale(sx, sy);
  }
  Transformation.Translate(-Pivot.x() * sx, -Pivot.y() * sy);
  Transformation.Rotate(0, 0, FAngle);
  Transformation.Translate(DestRect.Left + sx * Pivot.x(), DestRect.Top + sy * Pivot.y());
  FollowViewport();
}

// ---- TRotRubberbandLayer ----

TRotRubberbandLayer::TRotRubberbandLayer(TLayerCollection* owner) : TPositionedLayer(owner) {
  FVisible = true;
  FMouseEvents = true;
}

void TRotRubberbandLayer::SetHandles(uint16_t handles) {
  if (handles == FHandles) return;
  FHandles = handles;
  Changed();
}

void TRotRubberbandLayer::SetAngle(double angle) {
  FAngle = NormalizeAngle(static_cast<float>(angle));
  Changed();
}

void TRotRubberbandLayer::SetLocation(const TFloatRect& r) {
  TPositionedLayer::SetLocation(r);
  if (ChildLayer) ChildLayer->SetLocation(r);
}

TBandDragState TRotRubberbandLayer::GetDragState(double x, double y) const {
  using S = TBandDragState;
  const double tol = HandleSize + 1;
  const TFloatRect a = GetAdjustedLocation();
  int left = RoundInt(a.Left), top = RoundInt(a.Top), right = RoundInt(a.Right), bottom = RoundInt(a.Bottom);
  const QPointF centre((left + right) / 2.0, (top + bottom) / 2.0);
  --right;
  --bottom;
  const QPointF p = RotatePoint({x, y}, centre, -FAngle);
  const bool nearLeft = std::abs(left - p.x()) <= tol;
  const bool nearRight = std::abs(right - p.x()) <= tol;
  const bool nearCentreX = std::abs((left + right) / 2 - p.x()) <= tol;
  const bool nearTop = std::abs(top - p.y()) <= tol;
  const bool nearBottom = std::abs(bottom - p.y()) <= tol;
  const bool nearCentreY = std::abs((top + bottom) / 2 - p.y()) <= tol;
  const bool corners = FHandles & bhCorners, sides = FHandles & bhSides;
  if (corners) {
    if (nearRight && nearBottom && !(FHandles & bhNotBRCorner)) return S::BottomRight;
    if (nearLeft && nearBottom && !(FHandles & bhNotBLCorner)) return S::BottomLeft;
    if (nearRight && nearTop && !(FHandles & bhNotTRCorner)) return S::TopRight;
    if (nearLeft && nearTop && !(FHandles & bhNotTLCorner)) return S::TopLeft;
  }
  if (sides) {
    if (nearRight && nearCentreY && !(FHandles & bhNotRight)) return S::Right;
    if (nearCentreX && nearBottom && !(FHandles & bhNotBottom)) return S::Bottom;
    if (nearLeft && nearCentreY && !(FHandles & bhNotLeft)) return S::Left;
    if (nearTop && nearCentreX && !(FHandles & bhNotTop)) return S::Top;
  }
  if ((FHandles & bhPivot) && !FDragging && !PivotMarker.isNull()) {
    const double hw = PivotMarker.width() / 2.0, hh = PivotMarker.height() / 2.0;
    if (std::abs(p.x() - centre.x()) <= hw && std::abs(p.y() - centre.y()) <= hh) return S::Pivot;
  }
  if ((FHandles & bhCenter) && left <= p.x() && p.x() < right && top <= p.y() && p.y() < bottom)
    return S::Move;
  const double r = RotateHandleRadius + 1;
  if (std::abs(p.x() - RoundInt((left + right) / 2.0)) <= r &&
      std::abs(p.y() - (top - RotateHandleDistance)) <= r)
    return S::Rotate;
  return S::None;
}

Qt::CursorShape TRotRubberbandLayer::ResizeCursor(TBandDragState state) const {
  // Each resize handle's direction from the centre, in degrees anticlockwise
  // from the right (Left, Top, Right, Bottom, TopLeft, TopRight, BottomLeft,
  // BottomRight); turned with the frame, it picks one of sixteen sectors.
  static constexpr double kHandleAngle[] = {180, 90, 0, 270, 135, 45, 225, 315};
  static constexpr Qt::CursorShape kSectorCursor[] = {
      Qt::SizeHorCursor, Qt::SizeBDiagCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
      Qt::SizeVerCursor, Qt::SizeFDiagCursor, Qt::SizeFDiagCursor, Qt::SizeHorCursor,
      Qt::SizeHorCursor, Qt::SizeBDiagCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
      Qt::SizeVerCursor, Qt::SizeFDiagCursor, Qt::SizeFDiagCursor, Qt::SizeHorCursor};
  const int handle = static_cast<int>(state) - static_cast<int>(TBandDragState::Left);
  if (handle < 0 || handle >= static_cast<int>(std::size(kHandleAngle))) return Qt::ArrowCursor;
  const int index = ((static_cast<int>(std::lround((kHandleAngle[handle] + FAngle) / 22.5)) % 16) + 16) % 16;
  return kSectorCursor[index];
}

bool TRotRubberbandLayer::HitTest(double x, double y) { return GetDragState(x, y) != TBandDragState::None; }

void TRotRubberbandLayer::DblClick() {
  if (OnBandDblClick) OnBandDblClick();
}

void TRotRubberbandLayer::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y) {
  if (FDragging) return;
  FDragState = GetDragState(x, y);
  FDragging = FDragState != TBandDragState::None;
  if (FDragging) {
    FOldLocation = FLocation;
    FOldAngle = FAngle;
    if (FDragState == TBandDragState::Move) {
      const TFloatRect a = GetAdjustedLocation();
      FMouseShift = {x - a.Left, y - a.Top};
    } else {
      FMouseShift = {0, 0};
    }
  }
  if (OnBandMouseDown) OnBandMouseDown(FDragState, button, shift, x, y);
  TPositionedLayer::MouseDown(button, shift, x, y);
}

void TRotRubberbandLayer::MouseMove(Qt::KeyboardModifiers shift, double x, double y) {
  using S = TBandDragState;
  if (!FDragging) {
    const S state = GetDragState(x, y);
    QWidget* widget = FOwner ? FOwner->Owner() : nullptr;
    if (widget) {
      switch (state) {
        case S::Move:
          widget->setCursor(Cursor);
          break;
        case S::Rotate:
          widget->setCursor(FOwner->Owner()->CursorFor(RotateCursor));
          break;
        case S::Pivot:
          widget->setCursor(Qt::SizeAllCursor);
          break;
        case S::None:
          widget->setCursor(Qt::ArrowCursor);
          break;
        default:
          widget->setCursor(ResizeCursor(state));
          break;
      }
    }
    if (OnBandMouseMove) OnBandMouseMove(state, shift, x, y);
    return;
  }
  const TFloatRect oldAdjusted = Adjusted(FOldLocation);
  const QPointF oldCentre((oldAdjusted.Left + oldAdjusted.Right) / 2,
                          (oldAdjusted.Top + oldAdjusted.Bottom) / 2);
  QPointF p;
  switch (FDragState) {
    case S::Rotate: {
      const double dx = x - oldCentre.x(), dy = y - oldCentre.y();
      if (std::abs(dy) <= 0.001) {
        SetAngle(dx < 0 ? 90 : -90);
        return;
      }
      double angle = std::atan(dx / dy) / kDegToRad;
      if (dy >= 0) angle += 180;
      SetAngle(angle);
      if (OnBandMouseMove) OnBandMouseMove(FDragState, shift, x, y);
      return;
    }
    case S::Pivot:
    case S::None:
      if (OnBandMouseMove) OnBandMouseMove(FDragState, shift, x, y);
      return;
    case S::Move:
      p = {x, y};
      break;
    default:
      p = RotatePoint({x, y}, oldCentre, -FAngle);
      break;
  }
  QPointF d = p - FMouseShift;
  if (FScaled) {
    const TFloatRect a = GetAdjustedLocation();
    if (!(a.Width() > 0) || !(a.Height() > 0)) return;
    d = {FLocation.Left + (d.x() - a.Left) * FLocation.Width() / a.Width(),
         FLocation.Top + (d.y() - a.Top) * FLocation.Height() / a.Height()};
  }
  TFloatRect n = FOldLocation;
  const double w0 = n.Width(), h0 = n.Height();
  const int st = static_cast<int>(FDragState);
  const bool maxW = MaxWidth >= MinWidth, maxH = MaxHeight >= MinHeight;
  if (FDragState == S::Move) {
    n.Left = d.x();
    n.Top = d.y();
    n.Right = n.Left + w0;
    n.Bottom = n.Top + h0;
  } else {
    // The edges the handle moves.
    const bool left = st == 4 || st == 8 || st == 10, right = st == 6 || st == 9 || st == 11;
    const bool top = st == 5 || st == 8 || st == 9, bottom = st == 7 || st == 10 || st == 11;
    if (left)
      MoveLowEdge(n.Left, n.Right, d.x(), MinWidth, MaxWidth, maxW);
    else if (right)
      MoveHighEdge(n.Left, n.Right, d.x(), MinWidth, MaxWidth, maxW);
    if (top)
      MoveLowEdge(n.Top, n.Bottom, d.y(), MinHeight, MaxHeight, maxH);
    else if (bottom)
      MoveHighEdge(n.Top, n.Bottom, d.y(), MinHeight, MaxHeight, maxH);
    if (st >= 8) {
      const long long rw = std::llround(w0);
      const double newH = rw != 0 ? static_cast<double>(std::llround(h0 * n.Width()) / rw) : n.Height();
      if (st == 8 || st == 9)
        n.Top = n.Bottom - newH;
      else
        n.Bottom = n.Top + newH;
    }
    // Keep the unmoved edges where they are on screen despite the rotation.
    const double nw = n.Width(), nh = n.Height();
    const TFloatRect& o = FOldLocation;
    QPointF anchor((o.Left + o.Right) / 2, (o.Top + o.Bottom) / 2);
    const QPointF oc = anchor;
    if (left) anchor.setX(o.Right - nw / 2);
    if (right) anchor.setX(o.Left + nw / 2);
    if (top) anchor.setY(o.Bottom - nh / 2);
    if (bottom) anchor.setY(o.Top + nh / 2);
    const QPointF a = RotatePoint(anchor, oc, FAngle);
    const double sx = a.x() - (n.Left + n.Right) / 2, sy = a.y() - (n.Top + n.Bottom) / 2;
    n = {n.Left + sx, n.Top + sy, n.Right + sx, n.Bottom + sy};
  }
  DoResizing(FOldLocation, n, FDragState, shift);
  if (!(n == FLocation)) SetLocation(n);
  if (OnBandMouseMove) OnBandMouseMove(FDragState, shift, x, y);
}

void TRotRubberbandLayer::DoResizing(const TFloatRect& oldRect, TFloatRect& newRect, TBandDragState state,
                                     Qt::KeyboardModifiers shift) {
  if (OnResizing) OnResizing(oldRect, newRect, state, shift);
}

void TRotRubberbandLayer::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y) {
  FDragging = false;
  if (FHandles & bhPivot) Changed();
  if ((!(FLocation == FOldLocation) || FAngle != FOldAngle) && OnUserChange) OnUserChange();
  if (OnBandMouseUp) OnBandMouseUp(FDragState, button, shift, x, y);
  TPositionedLayer::MouseUp(button, shift, x, y);
}

void TRotRubberbandLayer::Notification(TCustomLayer* removed) {
  if (removed == ChildLayer) ChildLayer = nullptr;
}

void TRotRubberbandLayer::Paint(QImage& buffer) {
  const TFloatRect a = GetAdjustedLocation();
  const int left = RoundInt(a.Left), top = RoundInt(a.Top), right = RoundInt(a.Right),
            bottom = RoundInt(a.Bottom);
  const QPointF centre((left + right) / 2.0, (top + bottom) / 2.0);
  auto rot = [&](QPointF p) { return RotatePoint(p, centre, FAngle); };
  const QPointF tl = rot({double(left), double(top)}), tr = rot({double(right), double(top)});
  const QPointF br = rot({double(right), double(bottom)}), bl = rot({double(left), double(bottom)});
  const QPointF handle = rot({double(RoundInt((left + right) / 2.0)), double(top - RotateHandleDistance)});

  QPainter p(&buffer);
  // Dashes: the stipple's colours in runs, one pixel per entry: each run of
  // one colour is drawn as one dash pattern over the whole line.
  auto dashed = [&](QPointF from, QPointF to) {
    const int n = static_cast<int>(FrameStipple.size());
    if (n == 0 || from == to) return;
    for (int start = 0; start < n;) {
      int end = start + 1;
      while (end < n && FrameStipple[end] == FrameStipple[start]) ++end;
      QPen pen(QColor::fromRgba(FrameStipple[start]), 1, Qt::CustomDashLine, Qt::FlatCap);
      if (end - start == n) {
        pen.setStyle(Qt::SolidLine);
      } else {
        pen.setDashPattern({double(end - start), double(n - (end - start))});
        pen.setDashOffset(-start);
      }
      p.setPen(pen);
      p.drawLine(from, to);
      start = end;
    }
  };
  if (FHandles & bhFrame) {
    dashed(tl, tr);
    dashed(tr, br);
    dashed(br, bl);
    dashed(bl, tl);
  }
  dashed((tl + tr) / 2, handle);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 255, 0));
  p.drawEllipse(handle, RotateHandleRadius, RotateHandleRadius);
  p.setRenderHint(QPainter::Antialiasing, false);
  if ((FHandles & bhPivot) && !PivotMarker.isNull() && !(FDragging && FDragState == TBandDragState::Pivot))
    p.drawImage(QPointF(centre.x() - PivotMarker.width() / 2.0, centre.y() - PivotMarker.height() / 2.0),
                PivotMarker);
  auto square = [&](QPointF c) {
    const QRectF r(c.x() - HandleSize, c.y() - HandleSize, 2.0 * HandleSize, 2.0 * HandleSize);
    p.fillRect(r, QColor::fromRgba(HandleFill));
    p.setPen(QPen(QColor::fromRgba(HandleFrame), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
  };
  if (FHandles & bhCorners) {
    if (!(FHandles & bhNotTLCorner)) square(tl);
    if (!(FHandles & bhNotTRCorner)) square(tr);
    if (!(FHandles & bhNotBRCorner)) square(br);
    if (!(FHandles & bhNotBLCorner)) square(bl);
  }
  if (FHandles & bhSides) {
    if (!(FHandles & bhNotTop)) square((tl + tr) / 2);
    if (!(FHandles & bhNotLeft)) square((tl + bl) / 2);
    if (!(FHandles & bhNotRight)) square((tr + br) / 2);
    if (!(FHandles & bhNotBottom)) square((bl + br) / 2);
  }
}

// ---- TLayerCollection ----

TLayerCollection::~TLayerCollection() {
  MouseCapture = nullptr;
  FLayers.clear();
}

void TLayerCollection::Remove(TCustomLayer* layer) {
  if (!layer) return;
  for (auto& l : FLayers)
    if (l.get() != layer) l->Notification(layer);
  if (MouseCapture == layer) MouseCapture = nullptr;
  std::erase_if(FLayers, [layer](const std::unique_ptr<TCustomLayer>& l) { return l.get() == layer; });
  Changed();
}

TCustomLayer* TLayerCollection::FindLayerAt(double x, double y) const {
  for (auto it = FLayers.rbegin(); it != FLayers.rend(); ++it) {
    TCustomLayer* l = it->get();
    if (l->Visible() && l->MouseEvents() && l->HitTest(x, y)) return l;
  }
  return nullptr;
}

void TLayerCollection::Changed() {
  if (FUpdateCount > 0) {
    FPendingChange = true;
    return;
  }
  if (FOwner) FOwner->update();
}

void TLayerCollection::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount == 0 && FPendingChange) {
    FPendingChange = false;
    Changed();
  }
}

// ---- TImage32 ----

TImage32::TImage32(QWidget* parent) : QWidget(parent), FLayers(std::make_unique<TLayerCollection>(this)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Bitmap.OnChange = [this] { update(); };
}

TImage32::~TImage32() { FLayers.reset(); }

QCursor TImage32::CursorFor(int id) const {
  auto it = FCursors.find(id);
  return it != FCursors.end() ? it->second : QCursor(Qt::CrossCursor);
}

void TImage32::RenderInto(QImage& buffer) {
  if (PaintStage)
    PaintStage(buffer);
  else
    buffer.fill(Qt::white);
  if (!Bitmap.Empty()) {
    QPainter p(&buffer);
    p.setOpacity(Bitmap.MasterAlpha);
    p.drawImage(QPointF(0, 0), Bitmap.Image);
  }
  for (int i = 0; i < FLayers->Count(); ++i) {
    TCustomLayer* l = FLayers->Items(i);
    if (l->Visible()) l->Paint(buffer);
  }
}

QImage TImage32::Render() {
  QImage buffer(size(), QImage::Format_ARGB32_Premultiplied);
  RenderInto(buffer);
  return buffer;
}

void TImage32::paintEvent(QPaintEvent*) {
  ++FPaintCount;
  if (FBuffer.size() != size()) FBuffer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
  RenderInto(FBuffer);
  QPainter p(this);
  p.drawImage(0, 0, FBuffer);
}

void TImage32::mousePressEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  TCustomLayer* layer =
      FLayers->MouseCapture ? FLayers->MouseCapture : FLayers->FindLayerAt(pos.x(), pos.y());
  if (!layer) return;
  FLayers->MouseCapture = layer;
  layer->MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TImage32::mouseMoveEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  if (TCustomLayer* captured = FLayers->MouseCapture) {
    captured->MouseMove(event->modifiers(), pos.x(), pos.y());
    return;
  }
  if (TCustomLayer* layer = FLayers->FindLayerAt(pos.x(), pos.y())) {
    setCursor(layer->Cursor);
    layer->MouseMove(event->modifiers(), pos.x(), pos.y());
  } else {
    setCursor(Qt::ArrowCursor);
  }
}

void TImage32::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  TCustomLayer* layer = FLayers->MouseCapture;
  if (!layer) return;
  if (event->buttons() == Qt::NoButton) FLayers->MouseCapture = nullptr;
  layer->MouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TImage32::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  if (TCustomLayer* layer = FLayers->FindLayerAt(pos.x(), pos.y())) layer->DblClick();
}

}  // namespace tessaro
