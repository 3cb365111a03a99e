// The canvas layers: the handle frame's drag states, hover cursors, drags
// under rotation driven by synthetic mouse events, and the photo layer's
// geometry and mirroring.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <numbers>

#include "preview/GR32_RotLayer.h"

namespace tessaro {
namespace {

using S = TBandDragState;

// Turns p about c by `degrees`, counter-clockwise on screen (y down).
QPointF Turn(QPointF p, QPointF c, double degrees) {
  const double a = degrees * std::numbers::pi / 180;
  const double x = p.x() - c.x(), y = p.y() - c.y();
  return {c.x() + std::cos(a) * x + std::sin(a) * y, c.y() - std::sin(a) * x + std::cos(a) * y};
}

void Send(QWidget* w, QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent e(type, p, w->mapToGlobal(p), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

class BandTest : public ::testing::Test {
 protected:
  BandTest() {
    FCanvas.resize(646, 430);
    FBand = FCanvas.Layers().Add<TRotRubberbandLayer>();
    FBand->SetLocation({100, 100, 300, 200});
  }
  // A drag with the left button through the canvas's mouse routing.
  void Drag(QPointF from, QPointF to) {
    Send(&FCanvas, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Send(&FCanvas, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Send(&FCanvas, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }
  TImage32 FCanvas;
  TRotRubberbandLayer* FBand;
};

TEST_F(BandTest, DragStatesFollowTheRuleOrder) {
  struct Case {
    double x, y;
    S state;
  } cases[] = {
      {299, 199, S::BottomRight}, {100, 199, S::BottomLeft}, {299, 100, S::TopRight}, {100, 100, S::TopLeft},
      {304, 150, S::Right},       {200, 204, S::Bottom},     {95, 150, S::Left},      {200, 96, S::Top},
      {200, 150, S::Move},        {150, 120, S::Move},       {200, 80, S::Rotate},    {205, 75, S::Rotate},
      {200, 60, S::None},         {320, 150, S::None},       {250, 97, S::None},  // just above the top edge,
                                                                                  // away from its handle
  };
  for (const Case& c : cases) EXPECT_EQ(FBand->GetDragState(c.x, c.y), c.state) << c.x << "," << c.y;
  EXPECT_TRUE(FBand->HitTest(200, 150));
  EXPECT_FALSE(FBand->HitTest(320, 150));
}

TEST_F(BandTest, ExcludedHandlesFallThroughToLaterRules) {
  FBand->SetHandles(FBand->Handles() | bhNotBRCorner | bhNotRight);
  EXPECT_EQ(FBand->GetDragState(299, 199), S::None) << "on the last pixel, not inside";
  EXPECT_EQ(FBand->GetDragState(298, 198), S::Move);
  EXPECT_EQ(FBand->GetDragState(299, 150), S::None);
  FBand->SetHandles(bhSides);  // no corners, no centre
  EXPECT_EQ(FBand->GetDragState(299, 199), S::None);
  EXPECT_EQ(FBand->GetDragState(200, 150), S::None);
  EXPECT_EQ(FBand->GetDragState(299, 150), S::Right);
}

TEST_F(BandTest, RotatedFrameTakesPointsByItsOwnEdges) {
  // Just outside the right edge in the frame's own coordinates.
  const QPointF p = Turn({304, 150}, {200, 150}, 30);
  EXPECT_EQ(FBand->GetDragState(p.x(), p.y()), S::None) << "unrotated, the point lies off the frame";
  FBand->SetAngle(30);
  EXPECT_EQ(FBand->GetDragState(p.x(), p.y()), S::Right);
  const QPointF handle = Turn({200, 80}, {200, 150}, 30);
  EXPECT_EQ(FBand->GetDragState(handle.x(), handle.y()), S::Rotate);
}

TEST_F(BandTest, ResizeCursorsTurnWithTheFrame) {
  struct Case {
    double angle;
    S state;
    Qt::CursorShape cursor;
  } cases[] = {
      {0, S::Right, Qt::SizeHorCursor},
      {0, S::Top, Qt::SizeVerCursor},
      {0, S::TopRight, Qt::SizeBDiagCursor},
      {0, S::TopLeft, Qt::SizeFDiagCursor},
      {0, S::BottomRight, Qt::SizeFDiagCursor},
      {90, S::Right, Qt::SizeVerCursor},
      {45, S::Right, Qt::SizeBDiagCursor},
      {90, S::TopRight, Qt::SizeFDiagCursor},
      {350, S::Left, Qt::SizeHorCursor},
      {180, S::Bottom, Qt::SizeVerCursor},
      {0, S::Left, Qt::SizeHorCursor},
      {0, S::BottomLeft, Qt::SizeBDiagCursor},
      {30, S::Bottom, Qt::SizeFDiagCursor},
      {100, S::TopLeft, Qt::SizeBDiagCursor},
      {0, S::Move, Qt::ArrowCursor},
      {0, S::Pivot, Qt::ArrowCursor},
      {0, S::None, Qt::ArrowCursor},
  };
  for (const Case& c : cases) {
    FBand->SetAngle(c.angle);
    EXPECT_EQ(FBand->ResizeCursor(c.state), c.cursor) << c.angle << " " << int(c.state);
  }
  // Hovering sets the canvas's cursor.
  FBand->SetAngle(0);
  Send(&FCanvas, QEvent::MouseMove, {304, 150}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(FCanvas.cursor().shape(), Qt::SizeHorCursor);
  Send(&FCanvas, QEvent::MouseMove, {200, 150}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(FCanvas.cursor().shape(), FBand->Cursor);
}

TEST_F(BandTest, CornerDragKeepsAspectAndTheOppositeCornerOnScreen) {
  for (double angle : {0.0, 30.0, 200.0}) {
    FBand->SetLocation({100, 100, 300, 200});
    FBand->SetAngle(angle);
    const QPointF centre(200, 150);
    const QPointF topLeftBefore = Turn({100, 100}, centre, angle);
    const QPointF grab = Turn({300, 200}, centre, angle);
    const QPointF to = Turn({350, 200}, centre, angle);  // 50 further along the frame's own x axis
    Drag(grab, to);
    const TFloatRect r = FBand->Location();
    EXPECT_NEAR(r.Width(), 250, 1e-6) << angle;
    EXPECT_NEAR(r.Height(), 125, 1e-6) << angle << ": the height follows the width";
    const QPointF c((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    const QPointF topLeftAfter = Turn({r.Left, r.Top}, c, angle);
    EXPECT_NEAR(topLeftAfter.x(), topLeftBefore.x(), 1e-6) << angle;
    EXPECT_NEAR(topLeftAfter.y(), topLeftBefore.y(), 1e-6) << angle;
  }
}

TEST_F(BandTest, SideDragsStopAtTheMinimumAndHaveNoDefaultMaximum) {
  int changes = 0;
  FBand->OnUserChange = [&] { ++changes; };
  Drag({299, 150}, {104, 150});  // would leave the frame 4 wide
  EXPECT_DOUBLE_EQ(FBand->Location().Width(), 10);
  EXPECT_DOUBLE_EQ(FBand->Location().Left, 100) << "the left edge stays";
  EXPECT_EQ(changes, 1);
  Drag({109, 150}, {1300, 150});
  EXPECT_DOUBLE_EQ(FBand->Location().Width(), 1200);
  FBand->MaxWidth = 300;
  FBand->SetLocation({100, 100, 300, 200});
  Drag({299, 150}, {900, 150});
  EXPECT_DOUBLE_EQ(FBand->Location().Width(), 300);
  // A top drag on a frame turned a quarter: the bottom edge stays on screen.
  FBand->SetLocation({100, 100, 300, 200});
  FBand->SetAngle(90);
  const QPointF bottomMidBefore = Turn({200, 200}, {200, 150}, 90);
  Drag(Turn({200, 100}, {200, 150}, 90), Turn({200, 60}, {200, 150}, 90));
  const TFloatRect r = FBand->Location();
  EXPECT_NEAR(r.Height(), 140, 1e-6);
  EXPECT_NEAR(r.Width(), 200, 1e-6);
  const QPointF bottomMidAfter =
      Turn({(r.Left + r.Right) / 2, r.Bottom}, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}, 90);
  EXPECT_NEAR(bottomMidAfter.x(), bottomMidBefore.x(), 1e-6);
  EXPECT_NEAR(bottomMidAfter.y(), bottomMidBefore.y(), 1e-6);
}

TEST_F(BandTest, LeftTopAndBottomDragsKeepTheirLimits) {
  struct Case {
    QPointF grab, to;
    double minW, maxW, minH, maxH;
    TFloatRect expected;
  } cases[] = {
      {{100, 150}, {0, 150}, 10, 250, 10, 0, {50, 100, 300, 200}},     // left: at most 250 wide
      {{100, 150}, {295, 150}, 10, 0, 10, 0, {290, 100, 300, 200}},    // left: at least 10 wide
      {{200, 100}, {200, 245}, 10, 0, 20, 0, {100, 180, 300, 200}},    // top: at least 20 high
      {{200, 100}, {200, 0}, 10, 0, 10, 150, {100, 50, 300, 200}},     // top: at most 150 high
      {{200, 199}, {200, 400}, 10, 0, 10, 150, {100, 100, 300, 250}},  // bottom: at most 150 high
      {{200, 199}, {200, 105}, 10, 0, 30, 0, {100, 100, 300, 130}},    // bottom: at least 30 high
      {{200, 199}, {200, 230}, 10, 0, 10, 5, {100, 100, 300, 230}},    // a maximum below the minimum is none
  };
  for (const Case& c : cases) {
    FBand->SetAngle(0);
    FBand->SetLocation({100, 100, 300, 200});
    FBand->MinWidth = c.minW;
    FBand->MaxWidth = c.maxW;
    FBand->MinHeight = c.minH;
    FBand->MaxHeight = c.maxH;
    Drag(c.grab, c.to);
    EXPECT_EQ(FBand->Location(), c.expected)
        << c.grab.x() << "," << c.grab.y() << " to " << c.to.x() << "," << c.to.y();
  }
}

TEST_F(BandTest, MoveAndRotateDrags) {
  std::vector<S> ups;
  FBand->OnBandMouseUp = [&](S s, Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    ups.push_back(s);
  };
  Drag({150, 120}, {180, 90});
  EXPECT_EQ(FBand->Location(), (TFloatRect{130, 70, 330, 170}));
  // The rotation handle dragged level with the centre, to its right: -90 kept as 270.
  FBand->SetLocation({100, 100, 300, 200});
  Drag({200, 80}, {400, 150});
  EXPECT_DOUBLE_EQ(FBand->Angle(), 270);
  FBand->SetAngle(0);
  Drag({200, 80}, {100, 50});  // up and to the left: a positive angle
  EXPECT_NEAR(FBand->Angle(), 45, 1e-9);
  EXPECT_EQ(ups, (std::vector<S>{S::Move, S::Rotate, S::Rotate}));
  EXPECT_FALSE(FBand->Dragging());
  FBand->SetAngle(-450);
  EXPECT_DOUBLE_EQ(FBand->Angle(), 270);
}

TEST_F(BandTest, MouseStaysWithTheLayerUntilRelease) {
  auto* other = FCanvas.Layers().Add<TRotRubberbandLayer>();  // above the first band
  other->SetLocation({400, 100, 500, 200});
  Send(&FCanvas, QEvent::MouseButtonPress, {150, 120}, Qt::LeftButton, Qt::LeftButton);
  Send(&FCanvas, QEvent::MouseMove, {450, 150}, Qt::NoButton, Qt::LeftButton);  // over the other band
  EXPECT_TRUE(FBand->Dragging());
  EXPECT_FALSE(other->Dragging());
  Send(&FCanvas, QEvent::MouseButtonRelease, {450, 150}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(FBand->Location().Left, 400);
  Send(&FCanvas, QEvent::MouseButtonPress, {450, 150}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(other->Dragging()) << "the topmost layer that accepts the point";
  EXPECT_FALSE(FBand->Dragging());
  Send(&FCanvas, QEvent::MouseButtonRelease, {450, 150}, Qt::LeftButton, Qt::NoButton);
}

// A 40 x 20 bitmap with a red block at the middle of its left edge.
QImage Marked() {
  QImage img(40, 20, QImage::Format_ARGB32_Premultiplied);
  img.fill(qRgb(0, 0, 255));
  for (int y = 8; y < 12; ++y)
    for (int x = 0; x < 4; ++x) img.setPixel(x, y, qRgb(255, 0, 0));
  return img;
}

// Centre of the red pixels of a rendered canvas.
QPointF RedCentre(const QImage& img) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60) {
        sx += x + 0.5;
        sy += y + 0.5;
        ++n;
      }
    }
  return n ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
}

TEST(PhotoLayer, StretchesToDestRectAndTurnsAboutItsCentre) {
  TImage32 canvas;
  canvas.resize(400, 400);
  auto* photo = canvas.Layers().Add<TMyRotLayer>();
  photo->Bitmap.Assign(Marked());
  photo->Pivot = {20, 10};
  photo->DestRect = {100, 100, 300, 200};  // five times the bitmap
  struct Case {
    double angle;
    QPointF marker;
  } cases[] = {{0, {110, 150}}, {90, {200, 240}}, {180, {290, 150}}, {-90, {200, 60}}};
  for (const Case& c : cases) {
    photo->SetAngle(c.angle);
    const QPointF m = RedCentre(canvas.Render());
    EXPECT_NEAR(m.x(), c.marker.x(), 1.5) << c.angle;
    EXPECT_NEAR(m.y(), c.marker.y(), 1.5) << c.angle;
  }
  // Mirroring a turned photo mirrors it about its own axis: at 90 degrees the
  // marker moves from below the centre to above it, not sideways.
  photo->SetAngle(90);
  photo->SetFlipHorz(true);
  QPointF m = RedCentre(canvas.Render());
  EXPECT_NEAR(m.x(), 200, 1.5);
  EXPECT_NEAR(m.y(), 60, 1.5);
  photo->SetFlipHorz(true);  // the same value mirrors nothing
  m = RedCentre(canvas.Render());
  EXPECT_NEAR(m.y(), 60, 1.5);
  photo->SetFlipHorz(false);
  EXPECT_EQ(photo->Bitmap.Image, Marked()) << "mirrored twice: the original pixels";
  photo->SetFlipVert(true);
  EXPECT_EQ(photo->Bitmap.Image, Marked().mirrored(false, true));
}

TEST(PhotoLayer, HitTestUsesTheTurnedBitmapAndItsAlpha) {
  TImage32 canvas;
  canvas.resize(400, 400);
  auto* photo = canvas.Layers().Add<TMyRotLayer>();
  QImage img = Marked();
  for (int y = 0; y < 20; ++y) img.setPixel(39, y, 0);  // a transparent right column
  photo->Bitmap.Assign(img);
  photo->Pivot = {20, 10};
  photo->DestRect = {100, 100, 300, 200};
  photo->SetAngle(90);
  EXPECT_TRUE(photo->HitTest(200, 235));
  EXPECT_FALSE(photo->HitTest(120, 150)) << "inside the unturned rectangle only";
  EXPECT_TRUE(photo->HitTest(200, 63));
  photo->AlphaHit = true;
  EXPECT_FALSE(photo->HitTest(200, 53)) << "the transparent column, turned to the top";
  EXPECT_TRUE(photo->HitTest(200, 200));
}

TEST(PhotoLayer, EmptyBitmapHasNoScalingStep) {
  TImage32 canvas;
  canvas.resize(100, 100);
  auto* photo = canvas.Layers().Add<TMyRotLayer>();
  photo->DestRect = {10, 20, 500, 500};
  photo->AdjustTransformation();
  const QPointF a = photo->Transformation.Transform({0, 0}), b = photo->Transformation.Transform({10, 0});
  EXPECT_DOUBLE_EQ(a.x(), 10);
  EXPECT_DOUBLE_EQ(a.y(), 20);
  EXPECT_DOUBLE_EQ(b.x() - a.x(), 10);
  QImage before = canvas.Render();
  EXPECT_EQ(RedCentre(before), QPointF(-1, -1));
}

}  // namespace
}  // namespace tessaro
