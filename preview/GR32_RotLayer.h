// The preview's layered canvas and its layers. TImage32 is a widget that
// paints a stack of layers bottom to top over a 32-bit premultiplied ARGB
// buffer and routes the mouse to the topmost layer that accepts the point,
// which keeps receiving moves until the button is released. Layers marked
// Scaled follow the viewport's scale and shift.
//
// TCustomAffineLayer draws its bitmap through an affine transformation;
// TRotLayer turns it about a pivot; TMyRotLayer (the photo) stretches the
// bitmap to DestRect, turns it about the pivot and mirrors it on its pixels.
// TRotRubberbandLayer is the frame with handles that moves, resizes and
// turns itself; its owner copies its location and angle into the photo.
//
// Angles are in degrees; a positive angle turns counter-clockwise on screen.
// Main thread only.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "model/SlotEdit.h"

namespace tessaro {

class TLayerCollection;
class TImage32;

// The layers' float rectangle (left, top, right, bottom) is the slot
// editor's, so locations pass between the two unchanged.
using TFloatRect = TRectF;

// A 3 x 3 affine matrix; each operation applies after the ones before.
class TAffineTransformation {
 public:
  void Clear() { FMatrix.reset(); }
  void Translate(double dx, double dy);
  void Scale(double sx, double sy);
  // x' = cos a * x + sin a * y, y' = -sin a * x + cos a * y about (cx, cy):
  // with y pointing down a positive angle turns counter-clockwise.
  void Rotate(double cx, double cy, double degrees);
  QPointF Transform(QPointF p) const { return FMatrix.map(p); }
  // Reverse transform to integer source coordinates (floor).
  QPoint ReverseTransform(QPointF p) const;
  const QTransform& Matrix() const { return FMatrix; }
  QRectF SrcRect;  // the bitmap bounds

 private:
  QTransform FMatrix;
};

// A 32-bit premultiplied ARGB bitmap that reports changes.
class TBitmap32 {
 public:
  QImage Image;                  // Format_ARGB32_Premultiplied
  bool LinearResampler = false;  // bilinear sampling when drawn transformed
  double MasterAlpha = 1.0;
  QRgb OuterColor = 0;  // returned for points outside the bitmap
  std::function<void()> OnChange;

  int Width() const { return Image.width(); }
  int Height() const { return Image.height(); }
  bool Empty() const { return Image.isNull() || Image.width() == 0 || Image.height() == 0; }
  // 0 x 0 or a new size, transparent.
  void SetSize(int w, int h);
  void Assign(QImage image);
  void FlipHorz();
  void FlipVert();
  QRgb PixelS(int x, int y) const;  // OuterColor outside
  void Changed() {
    if (OnChange) OnChange();
  }
};

// The base of every layer.
class TCustomLayer {
 public:
  explicit TCustomLayer(TLayerCollection* owner);
  virtual ~TCustomLayer();
  TCustomLayer(const TCustomLayer&) = delete;
  TCustomLayer& operator=(const TCustomLayer&) = delete;

  TLayerCollection* LayerCollection() const { return FOwner; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool visible);
  bool MouseEvents() const { return FMouseEvents; }
  void SetMouseEvents(bool on) { FMouseEvents = on; }
  Qt::CursorShape Cursor = Qt::ArrowCursor;

  virtual bool HitTest(double x, double y);
  virtual void Paint(QImage& buffer) { (void)buffer; }
  virtual void DblClick() {}
  virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
  virtual void MouseMove(Qt::KeyboardModifiers shift, double x, double y);
  virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
  // Another layer of the collection is being removed.
  virtual void Notification(TCustomLayer* removed) { (void)removed; }
  // Asks the canvas to repaint.
  void Changed();

 protected:
  TLayerCollection* FOwner;
  bool FVisible = true;
  bool FMouseEvents = false;
};

// A layer with a float location; Scaled layers follow the viewport.
class TPositionedLayer : public TCustomLayer {
 public:
  using TCustomLayer::TCustomLayer;
  TFloatRect Location() const { return FLocation; }
  virtual void SetLocation(const TFloatRect& r);
  bool Scaled() const { return FScaled; }
  void SetScaled(bool scaled);
  // The location in canvas (screen) pixels.
  TFloatRect GetAdjustedLocation() const;

 protected:
  // `r` in canvas pixels (through the viewport when Scaled).
  TFloatRect Adjusted(const TFloatRect& r) const;

  TFloatRect FLocation;
  bool FScaled = false;
};

// A bitmap stretched over its location, alpha blended.
class TBitmapLayer : public TPositionedLayer {
 public:
  explicit TBitmapLayer(TLayerCollection* owner);
  TBitmap32 Bitmap;
  void Paint(QImage& buffer) override;
};

class TCustomAffineLayer : public TCustomLayer {
 public:
  explicit TCustomAffineLayer(TLayerCollection* owner);
  bool AlphaHit = false;
  TAffineTransformation Transformation;
  QPointF Pivot;
  TBitmap32 Bitmap;

  bool HitTest(double x, double y) override;
  void Paint(QImage& buffer) override;
  virtual void AdjustTransformation() {}

 protected:
  void BitmapChanged();
};

class TRotLayer : public TCustomAffineLayer {
 public:
  using TCustomAffineLayer::TCustomAffineLayer;
  QPointF Position;
  double Angle() const { return FAngle; }
  void SetAngle(double angle);
  void SetPivot(QPointF pivot);
  bool Scaled() const { return FScaled; }
  void SetScaled(bool scaled);
  void AdjustTransformation() override;

 protected:
  // Appends the viewport's scale and shift to the transformation (Scaled).
  void FollowViewport();

  double FAngle = 0;
  bool FScaled = false;
};

class TRotRubberbandLayer;

// The photo layer.
class TMyRotLayer : public TRotLayer {
 public:
  using TRotLayer::TRotLayer;
  // Stored only; the next change or repaint draws it.
  TFloatRect DestRect;
  bool FlipHorz() const { return FFlipHorz; }
  bool FlipVert() const { return FFlipVert; }
  // Mirror the bitmap's pixels when the value changes.
  void SetFlipHorz(bool on);
  void SetFlipVert(bool on);
  TRotRubberbandLayer* Band = nullptr;  // owned by the collection
  void AdjustTransformation() override;

 private:
  bool FFlipHorz = false, FFlipVert = false;
};

// Which handles the frame has (bit set).
enum TBandHandle : uint16_t {
  bhCenter = 1 << 0,
  bhSides = 1 << 1,
  bhCorners = 1 << 2,
  bhFrame = 1 << 3,
  bhPivot = 1 << 4,
  bhNotLeft = 1 << 5,
  bhNotRight = 1 << 6,
  bhNotTop = 1 << 7,
  bhNotBottom = 1 << 8,
  bhNotTLCorner = 1 << 9,
  bhNotTRCorner = 1 << 10,
  bhNotBLCorner = 1 << 11,
  bhNotBRCorner = 1 << 12,
};

// What a drag on the frame does.
enum class TBandDragState : int {
  None = 0,
  Move = 1,
  Rotate = 2,
  Pivot = 3,
  Left = 4,
  Top = 5,
  Right = 6,
  Bottom = 7,
  TopLeft = 8,
  TopRight = 9,
  BottomLeft = 10,
  BottomRight = 11,
};

class TRotRubberbandLayer : public TPositionedLayer {
 public:
  explicit TRotRubberbandLayer(TLayerCollection* owner);

  TPositionedLayer* ChildLayer = nullptr;
  TMyRotLayer* RotLayer = nullptr;
  std::vector<QRgb> FrameStipple{0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000};
  QRgb HandleFrame = 0xFF000000;
  QRgb HandleFill = 0xFFFFFFFF;
  int HandleSize = 4;
  int RotateHandleDistance = 20;
  int RotateHandleRadius = 5;
  int RotateCursor = 0;
  double MinWidth = 10, MaxHeight = 0, MinHeight = 10, MaxWidth = 0;
  QImage PivotMarker;

  std::function<void()> OnUserChange;
  std::function<void(TFloatRect oldRect, TFloatRect& newRect, TBandDragState, Qt::KeyboardModifiers)>
      OnResizing;
  std::function<void()> OnBandDblClick;
  std::function<void(TBandDragState, Qt::MouseButton, Qt::KeyboardModifiers, double, double)> OnBandMouseDown;
  std::function<void(TBandDragState, Qt::KeyboardModifiers, double, double)> OnBandMouseMove;
  std::function<void(TBandDragState, Qt::MouseButton, Qt::KeyboardModifiers, double, double)> OnBandMouseUp;

  uint16_t Handles() const { return FHandles; }
  void SetHandles(uint16_t handles);
  double Angle() const { return FAngle; }
  // Kept in [0, 360).
  void SetAngle(double angle);
  void SetLocation(const TFloatRect& r) override;
  bool Dragging() const { return FDragging; }
  TBandDragState DragState() const { return FDragState; }

  TBandDragState GetDragState(double x, double y) const;
  // The resize cursor for a side or corner at the frame's angle.
  Qt::CursorShape ResizeCursor(TBandDragState state) const;

  bool HitTest(double x, double y) override;
  void DblClick() override;
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y) override;
  void MouseMove(Qt::KeyboardModifiers shift, double x, double y) override;
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y) override;
  void Notification(TCustomLayer* removed) override;
  void Paint(QImage& buffer) override;

 protected:
  virtual void DoResizing(const TFloatRect& oldRect, TFloatRect& newRect, TBandDragState state,
                          Qt::KeyboardModifiers shift);

 private:
  uint16_t FHandles = bhCenter | bhSides | bhCorners | bhFrame;
  double FAngle = 0;
  bool FDragging = false;
  TBandDragState FDragState = TBandDragState::None;
  TFloatRect FOldLocation;
  double FOldAngle = 0;
  QPointF FMouseShift;
};

// The layers of one canvas, bottom to top. Owns them.
class TLayerCollection {
 public:
  explicit TLayerCollection(TImage32* owner) : FOwner(owner) {}
  ~TLayerCollection();
  template <typename L>
  L* Add() {
    auto layer = std::make_unique<L>(this);
    L* raw = layer.get();
    FLayers.push_back(std::move(layer));
    Changed();
    return raw;
  }
  // Frees a layer; the others are told first.
  void Remove(TCustomLayer* layer);
  int Count() const { return static_cast<int>(FLayers.size()); }
  TCustomLayer* Items(int i) const { return FLayers[i].get(); }
  TImage32* Owner() const { return FOwner; }
  // The topmost visible layer receiving mouse events that accepts the point.
  TCustomLayer* FindLayerAt(double x, double y) const;
  void Changed();
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  TCustomLayer* MouseCapture = nullptr;

 private:
  TImage32* FOwner;
  std::vector<std::unique_ptr<TCustomLayer>> FLayers;
  int FUpdateCount = 0;
  bool FPendingChange = false;
};

// The canvas widget.
class TImage32 : public QWidget {
  Q_OBJECT
 public:
  explicit TImage32(QWidget* parent = nullptr);
  ~TImage32() override;
  TLayerCollection& Layers() { return *FLayers; }
  // The canvas's own bitmap, drawn first (over the paint stage).
  TBitmap32 Bitmap;
  // Replaces the background clearing: fills the buffer before the layers.
  std::function<void(QImage& buffer)> PaintStage;
  // Viewport for Scaled layers.
  double ViewportScale = 1.0;
  QPointF ViewportShift;
  // Cursor ids used by layers (RotateCursor); unknown ids give the cross.
  void RegisterCursor(int id, const QCursor& cursor) { FCursors[id] = cursor; }
  QCursor CursorFor(int id) const;
  // Renders the canvas into a new buffer of the widget's size.
  QImage Render();
  // How many times the canvas was painted (benchmarks and tests).
  int PaintCount() const { return FPaintCount; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void RenderInto(QImage& buffer);
  std::unique_ptr<TLayerCollection> FLayers;
  std::map<int, QCursor> FCursors;
  int FPaintCount = 0;
  QImage FBuffer;  // reused by every paint
};

}  // namespace tessaro
