// Slot editing: the slot window, the photo's first placement and its stored
// transform, zoom limits, rotation, mirroring, reset, drags and nudges
// through the controller, and the print-quality figure.
#include "model/SlotEdit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ControllerTestBase.h"
#include "base/FileIo.h"
#include "model/Package.h"

namespace tessaro {
namespace {

using testing::ControllerTest;

// A portrait window of 300 x 430 pixels: extents 299 x 429.
const TSlotWindow kPortrait = CentredSlotWindow(300, 430);

TEST(SlotEditArithmetic, WindowIsCentredInThePanel) {
  EXPECT_EQ(kPortrait, (TSlotWindow{174, 1, 473, 430}));
  EXPECT_EQ(kPortrait.Ws(), 299);
  EXPECT_EQ(kPortrait.Hs(), 429);
  EXPECT_EQ(CentredSlotWindow(646, 215), (TSlotWindow{1, 108, 646, 322}));
}

TEST(SlotEditArithmetic, SlotWindowFollowsThePlacementAndPageSize) {
  TTempNode temp;
  temp.Width = 8;
  temp.Height = 10;
  temp.SizeUnit = kUnitInch;
  temp.Slots.push_back(std::make_unique<TSlotNode>());
  temp.Slots.push_back(std::make_unique<TSlotNode>());
  temp.Placements.push_back(std::make_unique<TPlacement>(TPlacement{1, "", {0, 100, 600, 1000}}));
  // 768 x 960 screen pixels: the slot is 219 x 288, fitted to 326 x 430.
  auto window = SlotWindowFor(temp, 0, TSlotWindowGeometry{});
  ASSERT_TRUE(window);
  EXPECT_EQ(*window, (TSlotWindow{161, 1, 486, 430}));
  EXPECT_FALSE(SlotWindowFor(temp, 1, TSlotWindowGeometry{})) << "no placement";
  temp.Spread = 1;  // twice as wide a page over twice the reference width: the same slot
  EXPECT_EQ(*SlotWindowFor(temp, 0, TSlotWindowGeometry{}), *window);
  temp.SizeUnit = -1;
  EXPECT_FALSE(SlotWindowFor(temp, 0, TSlotWindowGeometry{})) << "no page size";
}

TEST(SlotEditArithmetic, FirstDisplayCoversOrShrinksButNeverEnlarges) {
  struct Case {
    int w, h;
    TRectF rect;
  } cases[] = {
      {4000, 3000, {37, 0, 609, 429}},      // larger both ways: covers 299 x 429 at 572 x 429
      {3000, 4000, {162, 0, 483, 429}},     // covers with the full height: 321 x 429
      {1000, 4000, {173, -383, 472, 813}},  // covers with the full width: 299 x 1196
      {200, 150, {223, 140, 423, 290}},     // smaller: its own size, centred
      {1000, 200, {0, 150, 646, 279}},      // wider than the canvas only: shrunk to 646 wide
      {250, 5000, {312, 0, 333, 430}},      // narrower than the window: shrunk to 430 high, not covering
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InitialPhotoRect(c.w, c.h, kPortrait), c.rect) << c.w << " x " << c.h;
  }
  // The reset never covers: the large photo fits within the canvas.
  EXPECT_EQ(ResetPhotoRect(4000, 3000), (TRectF{36, 0, 609, 430}));
}

TEST(SlotEditArithmetic, CoveringScaleFillsOneSideAndPassesTheOther) {
  struct Case {
    int w, h;
    float scaleX, scaleY;
  } cases[] = {
      {4000, 3000, 572.0f / 299, 1},   // landscape: full height, 572 wide
      {3000, 4000, 321.0f / 299, 1},   // rounds the width down (321.75)
      {1000, 4000, 1, 1196.0f / 429},  // tall: full width, 1196 high
      {200, 150, 572.0f / 299, 1},     // small photos are enlarged to cover too
      {0, 150, 1, 1},                  // no photo size: no scale
  };
  for (const Case& c : cases) {
    const auto [sx, sy] = CoveringScale(c.w, c.h, kPortrait);
    EXPECT_FLOAT_EQ(sx, c.scaleX) << c.w << " x " << c.h;
    EXPECT_FLOAT_EQ(sy, c.scaleY) << c.w << " x " << c.h;
  }
  EXPECT_EQ(CoveringScale(4000, 3000, TSlotWindow{10, 10, 10, 200}), std::make_pair(1.0f, 1.0f))
      << "a window without width";
}

TEST(SlotEditArithmetic, StoredTransformReproducesTheRectangle) {
  const TRectF rects[] = {{37, 0, 609, 429}, {-120, 35, 410, 300}, {300, -50, 350, 900}};
  for (const TRectF& r : rects) {
    TSlotNode slot;
    StoreTransform(slot, r, kPortrait);
    EXPECT_EQ(RectFromTransform(slot, kPortrait), r) << r.Left << "," << r.Top;
  }
  TSlotNode slot;
  StoreTransform(slot, {37, 0, 609, 429}, kPortrait);
  EXPECT_FLOAT_EQ(slot.ScaleX, 572.0f / 299);
  EXPECT_FLOAT_EQ(slot.ScaleY, 1.0f);
  EXPECT_FLOAT_EQ(slot.OffsetX, 0.0f);
  EXPECT_FLOAT_EQ(slot.OffsetY, -1.0f / 858);  // centre 214.5 against the canvas's 215
  StoreTransform(slot, {123, 0, 623, 429}, kPortrait);
  EXPECT_FLOAT_EQ(slot.OffsetX, 50.0f / 299) << "a centre 50 pixels right of the canvas centre";
}

TEST(SlotEditArithmetic, ZoomKeepsTheCentreAndRestoresThePhotoAspect) {
  // A side drag made the rectangle 200 x 100 for a 4:3 photo.
  auto r = ZoomStepRect({100, 100, 300, 200}, 400, 300, true);
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->Width(), 210);
  EXPECT_DOUBLE_EQ(r->Height(), 157.5);
  EXPECT_DOUBLE_EQ((r->Left + r->Right) / 2, 200);
  EXPECT_DOUBLE_EQ((r->Top + r->Bottom) / 2, 150);
  r = ZoomStepRect({100, 100, 300, 200}, 400, 300, false);
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->Width(), 190);
  EXPECT_DOUBLE_EQ(r->Height(), 142.5);
  EXPECT_FALSE(ZoomStepRect({0, 0, 100, 100}, 0, 100, true)) << "no photo";
}

TEST(SlotEditArithmetic, AnglesAreBroughtIntoOneTurn) {
  const std::pair<float, float> cases[] = {{0, 0},    {360, 0},         {450, 90},       {-90, 270},
                                           {-360, 0}, {719.7f, 359.7f}, {-0.3f, 359.7f}, {359.4f, 359.4f},
                                           {1080, 0}, {-450, 270}};
  for (auto [in, out] : cases) {
    const float got = NormalizeAngle(in);
    EXPECT_NEAR(got, out, 1e-3) << in;
    EXPECT_GE(got, 0) << in;
    EXPECT_LT(got, 360) << in;
  }
}

TEST(SlotEditArithmetic, PrintResolutionOfTheSlot) {
  TTempNode temp;
  temp.Width = 10;
  temp.Height = 10;
  temp.SizeUnit = kUnitInch;
  temp.Placements.push_back(std::make_unique<TPlacement>(TPlacement{1, "", {0, 0, 2100, 1500}}));
  // The slot prints 10 x 5 inches.
  EXPECT_DOUBLE_EQ(*PrintPpi(temp, 0, 3000, 1500, 1, 1), 300);
  EXPECT_DOUBLE_EQ(*PrintPpi(temp, 0, 3000, 3000, 1, 2), 300);
  EXPECT_DOUBLE_EQ(*PrintPpi(temp, 0, 3000, 1500, 2.5, 2.5), 120) << "zoomed in: below the warning level";
  EXPECT_DOUBLE_EQ(*PrintPpi(temp, 0, 4000, 1500, 1, 1), 300) << "the poorer direction counts";
  temp.Width = temp.Height = 25.4f;
  temp.SizeUnit = kUnitCentimetre;
  EXPECT_NEAR(*PrintPpi(temp, 0, 3000, 1500, 1, 1), 300, 1e-3);
  temp.SizeUnit = kUnitPixel;
  EXPECT_FALSE(PrintPpi(temp, 0, 3000, 1500, 1, 1)) << "a pixel-sized page has no print size";
  temp.SizeUnit = kUnitInch;
  EXPECT_FALSE(PrintPpi(temp, 1, 3000, 1500, 1, 1)) << "no placement";
  EXPECT_FALSE(PrintPpi(temp, 0, 3000, 1500, 0, 1)) << "no scale";
}

// The controller on a template whose slot 0 holds a photo, shown in the
// portrait window the way the preview screen shows it.
class SlotEditTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    Package("t", {1, 1});
    ImportTemplates({"t"});
    ImportPhotos(1, {"a.jpg"});
    Ctl().SelectSlot(0);
    Ctl().Modified = false;
  }
  TSlotNode& Slot0() { return Slot(0, 0); }
  // Shows a fresh (not yet fitted) photo of w x h pixels.
  void Show(int w, int h) {
    Slot0().SetEmptyTransform();
    Ctl().SlotEdit.SetWindow(kPortrait);
    Ctl().SlotEdit.ShowPhoto(Slot0(), w, h);
  }
};

TEST_F(SlotEditTest, FirstDisplayStoresTheFitWithoutModifying) {
  Show(4000, 3000);
  EXPECT_EQ(Ctl().SlotEdit.DestRect, (TRectF{37, 0, 609, 429}));
  EXPECT_FLOAT_EQ(Slot0().ScaleX, 572.0f / 299);
  EXPECT_FLOAT_EQ(Slot0().ScaleY, 1.0f);
  EXPECT_EQ(Slot0().OffsetX, 0.0f);
  EXPECT_EQ(Slot0().OffsetY, 0.0f);
  EXPECT_FALSE(Ctl().Modified);
  // Shown again, the stored numbers give the same rectangle.
  Ctl().SlotEdit.Clear();
  Ctl().SlotEdit.ShowPhoto(Slot0(), 4000, 3000);
  EXPECT_EQ(Ctl().SlotEdit.DestRect, (TRectF{37, 0, 609, 429}));
}

TEST_F(SlotEditTest, RotationAddsWithoutWrappingAndDragStoresOneTurn) {
  Show(4000, 3000);
  for (int i = 0; i < 4; ++i) Ctl().RotateSlotPhoto(90);
  EXPECT_EQ(Slot0().Angle, 360.0f);
  EXPECT_TRUE(Ctl().Modified);
  Ctl().RotateSlotPhoto(-1);
  EXPECT_EQ(Slot0().Angle, 359.0f);
  EXPECT_EQ(FPreview.PhotoRedraws, 5);
  // The frame keeps its angle in one turn; a rotation drag stores that.
  Ctl().BandDragFinished(Ctl().SlotEdit.DestRect, NormalizeAngle(Slot0().Angle + 30), false);
  EXPECT_NEAR(Slot0().Angle, 29.0f, 1e-4);
  EXPECT_NEAR(Ctl().SlotEdit.Angle, 29.0f, 1e-4);
}

TEST_F(SlotEditTest, MirroringTogglesOnlyTheFlips) {
  Show(4000, 3000);
  Ctl().RotateSlotPhoto(30);
  Ctl().FlipSlotPhoto(true);
  EXPECT_TRUE(Slot0().FlipH);
  EXPECT_FALSE(Slot0().FlipV);
  EXPECT_EQ(Slot0().Angle, 30.0f) << "mirroring keeps the angle: the photo flips about its own axis";
  Ctl().FlipSlotPhoto(false);
  Ctl().FlipSlotPhoto(true);
  EXPECT_FALSE(Slot0().FlipH);
  EXPECT_TRUE(Slot0().FlipV);
  EXPECT_EQ(Ctl().SlotEdit.FlipV, true);
}

TEST_F(SlotEditTest, ZoomOutStopsAtTheMinimumAndInBeforeTheMaximum) {
  Show(1000, 1000);
  Ctl().SlotEdit.DestRect = {100, 100, 160, 160};
  Ctl().StartZoom(false);
  EXPECT_TRUE(Ctl().ZoomTick());
  EXPECT_EQ(Ctl().SlotEdit.DestRect, (TRectF{105, 105, 155, 155}));
  EXPECT_FALSE(Ctl().ZoomTick());
  EXPECT_EQ(Ctl().SlotEdit.DestRect, (TRectF{105, 105, 155, 155}));
  EXPECT_FALSE(Ctl().Modified) << "ticks only move the rectangle";
  Ctl().StopZoom();
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_FLOAT_EQ(Slot0().ScaleX, 50.0f / 299);
  EXPECT_FALSE(Ctl().ZoomTick()) << "idle after the release";

  Ctl().SlotEdit.DestRect = {0, 0, 19990, 19990};
  Ctl().StartZoom(true);
  EXPECT_TRUE(Ctl().ZoomTick());
  EXPECT_DOUBLE_EQ(Ctl().SlotEdit.DestRect.Width(), 20000);
  EXPECT_FALSE(Ctl().ZoomTick());
  EXPECT_DOUBLE_EQ(Ctl().SlotEdit.DestRect.Width(), 20000);
}

TEST_F(SlotEditTest, ResetShrinksToTheCanvasAndClearsTheTransform) {
  Show(4000, 3000);
  Ctl().RotateSlotPhoto(90);
  Ctl().FlipSlotPhoto(true);
  Ctl().BandDragFinished({-50, -20, 900, 600}, 90, true);
  Ctl().Modified = false;
  Ctl().ResetSlotPhoto();
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_EQ(Ctl().SlotEdit.DestRect, (TRectF{36, 0, 609, 430}));
  EXPECT_EQ(Ctl().SlotEdit.Angle, 0.0f);
  EXPECT_FALSE(Ctl().SlotEdit.FlipH);
  EXPECT_EQ(Slot0().Angle, 0.0f);
  EXPECT_FALSE(Slot0().FlipH);
  EXPECT_EQ(Slot0().OffsetX, 0.0f);
  EXPECT_FLOAT_EQ(Slot0().ScaleX, 573.0f / 299);
  EXPECT_FLOAT_EQ(Slot0().ScaleY, 430.0f / 429);
}

TEST_F(SlotEditTest, DragReleaseStoresAndNudgeWaitsForTheNextRelease) {
  Show(4000, 3000);
  Ctl().BandDragFinished({137, 10, 709, 439}, 0, true);
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_FLOAT_EQ(Slot0().OffsetX, 100.0f / 299);
  EXPECT_FLOAT_EQ(Slot0().OffsetY, 19.0f / 858);
  Ctl().Modified = false;
  Ctl().NudgeSlotPhoto(-1, 0);
  Ctl().NudgeSlotPhoto(0, 1);
  EXPECT_EQ(Ctl().SlotEdit.DestRect, (TRectF{136, 11, 708, 440}));
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_FLOAT_EQ(Slot0().OffsetX, 100.0f / 299) << "the record waits for a release";
  Ctl().StartZoom(true);
  Ctl().StopZoom();
  EXPECT_FLOAT_EQ(Slot0().OffsetX, 99.0f / 299);
}

TEST_F(SlotEditTest, EditsWithoutSlotOrPhotoDoNothing) {
  Ctl().SlotEdit.Clear();  // the slot is selected but shows no photo
  const float angleBefore = Slot0().Angle, scaleBefore = Slot0().ScaleX;
  Ctl().RotateSlotPhoto(90);
  Ctl().FlipSlotPhoto(true);
  Ctl().ResetSlotPhoto();
  Ctl().NudgeSlotPhoto(1, 0);
  Ctl().StartZoom(true);
  EXPECT_FALSE(Ctl().ZoomTick());
  Ctl().StopZoom();
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(Slot0().Angle, angleBefore);
  EXPECT_EQ(Slot0().ScaleX, scaleBefore);
  EXPECT_EQ(FPreview.PhotoRedraws, 0);

  Show(4000, 3000);
  Ctl().SelectTemplate(0);  // ends the slot selection
  Ctl().RotateSlotPhoto(90);
  EXPECT_EQ(Slot0().Angle, 0.0f);
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_FALSE(Ctl().SlotPrintPpi());
}

TEST_F(SlotEditTest, ResultPageAndPictureClicks) {
  Show(4000, 3000);
  FPreview.Log.clear();
  Ctl().ButtonResultPhotoClick();
  EXPECT_EQ(FPreview.Log.back(), "ShowResult ") << "no composed preview yet";
  const std::string preview = JoinPath(PreviewFolder(Ctl().Paths().TempDir, Temp(0)), kComposedPreviewName);
  testing::WriteText(preview, "jpeg");
  Ctl().ButtonResultPhotoClick();
  EXPECT_EQ(FPreview.Log.back(), "ShowResult " + preview);
  Ctl().ButtonSampleClick();
  EXPECT_EQ(FPreview.Log.back(), "ShowSample " + JoinPath(Temp(0).Folder, kSampleName));
  Ctl().ImageResultMouseDown();
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_FALSE(Ctl().SlotEdit.HasPhoto());
  EXPECT_EQ(FPreview.TemplatePicture, preview);
  Ctl().SelectSlot(0);
  Ctl().ImageSampleMouseDown();
  EXPECT_EQ(Ctl().CurSlot, -1);
  EXPECT_EQ(FPreview.TemplatePicture, JoinPath(Temp(0).Folder, kSampleName));
}

}  // namespace
}  // namespace tessaro
