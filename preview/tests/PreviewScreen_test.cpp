// The preview screen on the controller with scripted fakes: the slot window
// and mask, photos decoded off the GUI thread (upright by EXIF), a missing
// photo, switching back to a shown photo, handle drags, press-and-hold zoom,
// the key table's order, the template page and the print-quality line.
#include "preview/PreviewScreen.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <cmath>
#include <filesystem>
#include <tuple>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/tests/ControllerTestBase.h"

namespace tessaro {
namespace {

using A = TKeyCommand;

TEST(PreviewKeys, RowsAreTriedInTheirOrder) {
  const Qt::KeyboardModifiers none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
  const Qt::KeyboardModifiers ctrlShift = ctrl | shift, keypad = Qt::KeypadModifier, alt = Qt::AltModifier;
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    A action;
    int slot;
  } cases[] = {
      {Qt::Key_Return, shift, A::BatchPreview, -1},
      {Qt::Key_Return, none, A::PreviewSingle, -1},
      {Qt::Key_Return, ctrlShift, A::PreviewSingle, -1},
      {Qt::Key_Enter, keypad | shift, A::BatchPreview, -1},
      {Qt::Key_F2, ctrl, A::ImportTemplates, -1},
      {Qt::Key_F3, none, A::ImportPhotos, -1},
      {Qt::Key_F4, none, A::EditPhoto, -1},
      {Qt::Key_F5, shift, A::SingleResult, -1},
      {Qt::Key_F8, none, A::BatchResult, -1},
      {Qt::Key_Equal, none, A::ZoomIn, -1},
      {Qt::Key_Plus, shift, A::ZoomIn, -1},
      {Qt::Key_Plus, keypad, A::None, -1},
      {Qt::Key_Minus, none, A::ZoomOut, -1},
      {Qt::Key_Minus, keypad, A::None, -1},
      {Qt::Key_H, ctrl, A::FlipH, -1},
      {Qt::Key_V, none, A::FlipV, -1},
      {Qt::Key_L, ctrl, A::RotateLeft90, -1},
      {Qt::Key_L, ctrlShift, A::RotateLeft1, -1},
      {Qt::Key_L, none, A::RotateLeft1, -1},
      {Qt::Key_R, ctrl, A::RotateRight90, -1},
      {Qt::Key_R, alt, A::RotateRight1, -1},
      {Qt::Key_Z, ctrl, A::ResetPhoto, -1},
      {Qt::Key_N, ctrl, A::NewSet, -1},
      {Qt::Key_N, none, A::None, -1},
      {Qt::Key_S, ctrl, A::SaveSet, -1},
      {Qt::Key_S, ctrlShift, A::SaveSetAs, -1},
      {Qt::Key_S, shift, A::None, -1},
      {Qt::Key_0, ctrl, A::LoadSet, -1},
      {Qt::Key_0, none, A::SelectSlot, 9},
      {Qt::Key_0, ctrlShift, A::SelectSlot, 9},
      {Qt::Key_0, keypad, A::None, -1},
      {Qt::Key_1, ctrl, A::SelectSlot, 0},
      {Qt::Key_9, none, A::SelectSlot, 8},
      {Qt::Key_5, keypad, A::None, -1},
      {Qt::Key_A, ctrl, A::SelectAllSets, -1},
      {Qt::Key_A, none, A::None, -1},
      {Qt::Key_Left, keypad, A::Nudge, -1},
      {Qt::Key_Down, shift, A::Nudge, -1},
      {Qt::Key_Q, none, A::None, -1},
      {Qt::Key_Exclam, shift, A::SelectSlot, 0},  // a shifted digit on a US layout
      {Qt::Key_ParenLeft, shift, A::SelectSlot, 8},
      {Qt::Key_Up, keypad, A::Nudge, -1},
      {Qt::Key_Asterisk, keypad, A::None, -1},
      {Qt::Key_F1, none, A::Help, -1},
      {Qt::Key_F6, none, A::None, -1},
  };
  for (const Case& c : cases) {
    const TKeyAction k = MatchPreviewKey(c.key, c.mods);
    EXPECT_EQ(k.Command, c.action) << std::hex << c.key << " " << c.mods.toInt();
    if (c.action == A::SelectSlot) {
      EXPECT_EQ(k.Slot, c.slot) << std::hex << c.key;
    }
  }
  EXPECT_EQ(MatchPreviewKey(Qt::Key_Up, Qt::NoModifier).Dy, -1);
  EXPECT_EQ(MatchPreviewKey(Qt::Key_Right, Qt::NoModifier).Dx, 1);
}

// What the main window's preview service does: forwards to the screen.
class ScreenService : public TPreviewService {
 public:
  TPreviewScreen* Screen = nullptr;
  void SelectSlot(TTempNode& t, int s, const std::string& f) override { Screen->SelectSlot(t, s, f); }
  void LoadSlotPhoto(TTempNode& t, int s, const std::string& f) override { Screen->LoadSlotPhoto(t, s, f); }
  void SetSlotButtonHoldsPhoto(int, bool) override {}
  void ShowTemplateSlots(const TTempNode*) override {}
  void UncheckSlotButtons() override {}
  void ShowTemplatePicture(const std::string& f) override { Screen->ShowTemplatePicture(f); }
  void ShowTemplatePage() override { Screen->ShowTemplatePage(); }
  void ResetSampleAndSlotButtons() override {}
  void ShowSample(const std::string&) override {}
  TSlotWindowGeometry SlotWindowGeometry() const override { return Screen->SlotWindowGeometry(); }
  void SlotPhotoChanged() override { Screen->SlotPhotoChanged(); }
};

// Writes a w x h JPEG, grey with a red block at the middle of its left edge.
void WriteMarkedPhoto(const std::string& path, int w, int h, int orientation = 0) {
  Image img;
  ASSERT_TRUE(img.Create(w, h, Rgba8{128, 128, 128, 255}).ok());
  const int bw = std::max(4, w / 10), bh = std::max(4, h / 10);
  for (int y = h / 2 - bh / 2; y < h / 2 + bh / 2; ++y)
    for (int x = 0; x < bw; ++x) img.At(x, y) = Rgba8{255, 0, 0, 255};
  MakeDirectories(FolderOf(path));
  WriteImageOptions options;
  options.jpeg.orientation = orientation;
  ASSERT_TRUE(WriteImageFile(path, img, options).ok()) << path;
}

class ScreenTest : public testing::ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    FScreen = std::make_unique<TPreviewScreen>(nullptr, Ctl());
    FService.Screen = FScreen.get();
    FPreview.Forward = &FService;
    Package("t", {1, 1, 1});
    ImportTemplates({"t"});
  }
  void TearDown() override {
    FPreview.Forward = nullptr;
    FScreen.reset();
  }
  // Imports real photos (JPEG) that fill the slots from slot 0.
  void ImportRealPhotos(std::vector<std::string> names, int w = 800, int h = 600) {
    for (const auto& n : names) WriteMarkedPhoto(FDir / ("photos/" + n), w, h);
    ImportPhotos(1, names);
    ASSERT_TRUE(FScreen->WaitForPhoto(10000));
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, key, mods);
    FScreen->HandleKeyPress(&e);
  }
  TRectF Dest() const { return FCtl->SlotEdit.DestRect; }

  ScreenService FService;
  std::unique_ptr<TPreviewScreen> FScreen;
};

TEST_F(ScreenTest, SlotShowsThePhotoBehindTheMaskWindow) {
  ImportRealPhotos({"a.jpg"});
  ASSERT_EQ(Ctl().CurSlot, 0);
  EXPECT_TRUE(FScreen->PhotoPageShown());
  auto window = SlotWindowFor(Temp(0), 0, FScreen->SlotWindowGeometry());
  ASSERT_TRUE(window);
  EXPECT_EQ(Ctl().SlotEdit.Window(), *window);
  const QImage& mask = FScreen->MaskLayer()->Bitmap.Image;
  EXPECT_EQ(qAlpha(mask.pixel(0, 0)), 220);
  EXPECT_EQ(qAlpha(mask.pixel((window->Left + window->Right) / 2, (window->Top + window->Bottom) / 2)), 0);
  EXPECT_EQ(mask.pixel(window->Left, window->Top + 5), qRgb(255, 0, 0)) << "the red outline";
  EXPECT_EQ(mask.pixel(window->Right, window->Top + 5), qRgb(255, 0, 0));
  EXPECT_EQ(qAlpha(mask.pixel(window->Right + 1, window->Top + 5)), 220);
  // The photo's true size drives the fit; the pixels may be fewer.
  EXPECT_EQ(Ctl().SlotEdit.PhotoWidth(), 800);
  EXPECT_EQ(Dest(), InitialPhotoRect(800, 600, *window));
  EXPECT_LE(FScreen->DecodedSize().width(), 800);
  EXPECT_GE(FScreen->DecodedSize().width(), std::min(800, int(std::ceil(Dest().Width()))));
  ASSERT_NE(FScreen->Band(), nullptr);
  EXPECT_EQ(FScreen->Band()->Location(), (TFloatRect{Dest().Left, Dest().Top, Dest().Right, Dest().Bottom}));
  EXPECT_FALSE(FScreen->Band()->Handles() & bhFrame);
  EXPECT_NE(Slot(0, 0).ScaleX, -1.0f) << "the first display stored its fit";
  EXPECT_FALSE(FScreen->PrintQualityText().isEmpty());
}

TEST_F(ScreenTest, ExifOrientationTurnsThePhotoUpright) {
  WriteMarkedPhoto(FDir / "photos/turned.jpg", 800, 600, 6);
  ImportPhotos(1, {"turned.jpg"});
  ASSERT_TRUE(FScreen->WaitForPhoto(10000));
  EXPECT_EQ(Ctl().SlotEdit.PhotoWidth(), 600);
  EXPECT_EQ(Ctl().SlotEdit.PhotoHeight(), 800);
  EXPECT_LT(FScreen->DecodedSize().width(), FScreen->DecodedSize().height());
}

TEST_F(ScreenTest, MissingPhotoShowsAnEmptyWindowWithANotice) {
  ImportRealPhotos({"a.jpg", "b.jpg"});
  std::filesystem::remove(std::string(FDir / "photos/b.jpg"));
  Ctl().SelectSlot(1);
  EXPECT_TRUE(FScreen->Notice()->isVisibleTo(FScreen.get()));
  EXPECT_TRUE(FScreen->Notice()->text().contains("b.jpg"));
  EXPECT_EQ(FScreen->Band(), nullptr);
  EXPECT_TRUE(FScreen->PhotoLayer()->Bitmap.Empty()) << "not the previous slot's picture";
  EXPECT_FALSE(Ctl().SlotEdit.HasPhoto());
  const TRectF before = Dest();
  Key(Qt::Key_Left);
  EXPECT_EQ(Dest(), before) << "an arrow without a photo does nothing";
  Ctl().SelectSlot(0);
  EXPECT_FALSE(FScreen->Notice()->isVisibleTo(FScreen.get()));
}

TEST_F(ScreenTest, SwitchingBackShowsTheDecodedPhotoAtOnce) {
  ImportRealPhotos({"a.jpg", "b.jpg"});
  Ctl().SelectSlot(0);
  ASSERT_TRUE(FScreen->WaitForPhoto(10000));
  Ctl().SelectSlot(1);
  EXPECT_FALSE(FScreen->PhotoLayer()->Bitmap.Empty()) << "b was decoded when it was placed";
  Ctl().SelectSlot(0);
  EXPECT_FALSE(FScreen->PhotoLayer()->Bitmap.Empty());
  // The red marker sits at the left of the shown photo.
  const QImage& px = FScreen->PhotoLayer()->Bitmap.Image;
  EXPECT_GT(qRed(px.pixel(2, px.height() / 2)), 200);
  EXPECT_LT(qRed(px.pixel(px.width() - 3, px.height() / 2)), 160);
}

TEST_F(ScreenTest, HandleDragsStoreTheTransform) {
  ImportRealPhotos({"a.jpg"});
  Ctl().Modified = false;
  const TRectF start = Dest();
  const TSlotWindow w = Ctl().SlotEdit.Window();
  const QPointF grab((start.Left + start.Right) / 2, (start.Top + start.Bottom) / 2);
  TImage32* canvas = FScreen->Canvas();
  auto send = [&](QEvent::Type type, QPointF p, Qt::MouseButton b, Qt::MouseButtons bs) {
    QMouseEvent e(type, p, canvas->mapToGlobal(p), b, bs, Qt::NoModifier);
    QApplication::sendEvent(canvas, &e);
  };
  send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, grab + QPointF(30, 20), Qt::NoButton, Qt::LeftButton);
  EXPECT_TRUE(FScreen->Band()->Handles() & bhFrame) << "the outline shows while dragging";
  EXPECT_DOUBLE_EQ(FScreen->PhotoLayer()->DestRect.Left, start.Left + 30) << "the photo follows live";
  EXPECT_FALSE(Ctl().Modified);
  send(QEvent::MouseButtonRelease, grab + QPointF(30, 20), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(FScreen->Band()->Handles() & bhFrame);
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_NEAR(Slot(0, 0).OffsetX, (start.Left + start.Right + 60 - kPreviewCanvasWidth) / (2.0 * w.Ws()),
              1e-6);
  EXPECT_NEAR(Slot(0, 0).OffsetY, (start.Top + start.Bottom + 40 - kPreviewCanvasHeight) / (2.0 * w.Hs()),
              1e-6);
  // A rotation drag: the handle above the centre pulled level with it, to the right.
  const TRectF moved = Dest();
  const QPointF centre((moved.Left + moved.Right) / 2, (moved.Top + moved.Bottom) / 2);
  const QPointF handle(std::lround((std::lround(moved.Left) + std::lround(moved.Right) - 1) / 2.0),
                       std::lround(moved.Top) - 20);
  send(QEvent::MouseButtonPress, handle, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, centre + QPointF(100, 0), Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, centre + QPointF(100, 0), Qt::LeftButton, Qt::NoButton);
  EXPECT_FLOAT_EQ(Slot(0, 0).Angle, 270.0f);
  EXPECT_DOUBLE_EQ(FScreen->PhotoLayer()->Angle(), 270.0);
}

TEST_F(ScreenTest, KeysReachTheControllerInTableOrder) {
  ImportRealPhotos({"a.jpg", "b.jpg"});
  Ctl().SelectSlot(0);
  std::vector<std::pair<A, int>> asked;
  FScreen->CommandEnabled = [&](A a, int slot) {
    asked.push_back({a, slot});
    return a != A::LoadSet && a != A::BatchPreview && a != A::PreviewSingle;  // no composing here
  };
  Key(Qt::Key_Return, Qt::ShiftModifier);
  Key(Qt::Key_Return);
  Key(Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(Ctl().CurSlot, 0) << "Ctrl+0 is the (disabled) set loader, not slot 10";
  Key(Qt::Key_2);
  EXPECT_EQ(Ctl().CurSlot, 1);
  ASSERT_TRUE(FScreen->WaitForPhoto(10000));
  EXPECT_EQ(asked, (std::vector<std::pair<A, int>>{
                       {A::BatchPreview, -1}, {A::PreviewSingle, -1}, {A::LoadSet, -1}, {A::SelectSlot, 1}}));

  Key(Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(Slot(0, 1).Angle, 90.0f);
  Key(Qt::Key_L);
  Key(Qt::Key_L);
  Key(Qt::Key_R);
  EXPECT_EQ(Slot(0, 1).Angle, 91.0f);
  EXPECT_DOUBLE_EQ(FScreen->Band()->Angle(), 91.0);
  Key(Qt::Key_H);
  EXPECT_TRUE(Slot(0, 1).FlipH);
  EXPECT_TRUE(FScreen->PhotoLayer()->FlipHorz());
  const TRectF before = Dest();
  Key(Qt::Key_Right);
  Key(Qt::Key_Down);
  EXPECT_EQ(Dest(), (TRectF{before.Left + 1, before.Top + 1, before.Right + 1, before.Bottom + 1}));
  EXPECT_EQ(FScreen->Band()->Location().Left, before.Left + 1);
  Key(Qt::Key_Z);
  EXPECT_EQ(Slot(0, 1).Angle, 0.0f);
  EXPECT_FALSE(FScreen->PhotoLayer()->FlipHorz());
  EXPECT_EQ(Dest(), ResetPhotoRect(800, 600));

  FScreen->CommandEnabled = [](A a, int) { return a != A::FlipV; };
  Key(Qt::Key_V);
  EXPECT_FALSE(Slot(0, 1).FlipV) << "a disabled button's key does nothing";
}

TEST_F(ScreenTest, HelpAndArrowsWithoutHandlesAreLeftToTheWindow) {
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  EXPECT_FALSE(FScreen->HandleKeyPress(&f1));
  EXPECT_FALSE(FScreen->RunKey(TKeyAction{A::Help}));
  EXPECT_FALSE(FScreen->RunKey(TKeyAction{}));
  ASSERT_EQ(FScreen->Band(), nullptr);
  EXPECT_FALSE(FScreen->RunKey(TKeyAction{A::Nudge, -1, 1, 0})) << "no handle frame to move";
  ImportRealPhotos({"a.jpg"});
  ASSERT_NE(FScreen->Band(), nullptr);
  const TRectF before = Dest();
  EXPECT_TRUE(FScreen->RunKey(TKeyAction{A::Nudge, -1, 1, 0}));
  EXPECT_EQ(Dest().Left, before.Left + 1);
}

TEST_F(ScreenTest, HoldingZoomGrowsInStepsAndReleaseStores) {
  ImportRealPhotos({"a.jpg"});
  Ctl().Modified = false;
  const TRectF start = Dest();
  FScreen->ZoomPress(true);
  QElapsedTimer timer;
  timer.start();
  while (Dest().Width() < start.Width() + 30 && timer.elapsed() < 10000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  FScreen->ZoomRelease();
  const double grown = Dest().Width() - start.Width();
  EXPECT_GE(grown, 30);
  EXPECT_DOUBLE_EQ(std::fmod(grown, 10), 0);
  EXPECT_NEAR((Dest().Left + Dest().Right) / 2, (start.Left + start.Right) / 2, 1e-9) << "about the centre";
  EXPECT_TRUE(Ctl().Modified);
  const TSlotWindow w = Ctl().SlotEdit.Window();
  EXPECT_FLOAT_EQ(Slot(0, 0).ScaleX, static_cast<float>(std::lround(Dest().Width())) / w.Ws());
  const double size = Dest().Width();
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(Dest().Width(), size) << "the timer stopped";
}

TEST_F(ScreenTest, PrintQualityWarnsWhenZoomedFarIn) {
  ImportRealPhotos({"a.jpg"}, 3000, 2000);
  EXPECT_FALSE(FScreen->PrintQualityText().isEmpty());
  const bool lowAtFirst = FScreen->PrintQualityLow();
  const TRectF r = Dest();
  const double cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
  Ctl().BandDragFinished(
      {cx - 20 * r.Width(), cy - 20 * r.Height(), cx + 20 * r.Width(), cy + 20 * r.Height()}, 0, false);
  EXPECT_TRUE(FScreen->PrintQualityLow());
  EXPECT_TRUE(FScreen->PrintQualityText().contains("150"));
  EXPECT_FALSE(lowAtFirst) << FScreen->PrintQualityText().toStdString();
  // Zoomed far in, the photo is decoded again with more pixels.
  ASSERT_TRUE(FScreen->WaitForPhoto(10000));
  EXPECT_EQ(FScreen->DecodedSize(), QSize(3000, 2000));
  Ctl().SelectTemplate(0);
  EXPECT_TRUE(FScreen->PrintQualityText().isEmpty());
}

TEST_F(ScreenTest, TemplatePictureIsFittedAndCentred) {
  const std::string jpeg = FDir / "pictures/wide.jpg";
  MakeDirectories(FDir / "pictures");
  WriteMarkedPhoto(jpeg, 1000, 500);
  FScreen->ShowTemplatePicture(jpeg);
  EXPECT_FALSE(FScreen->PhotoPageShown());
  EXPECT_EQ(FScreen->TemplateImage()->geometry(), QRect(0, 54, 648, 324));
  FScreen->ShowTemplatePicture(FDir / "pictures/missing.jpg");
  EXPECT_EQ(FScreen->TemplateImage()->geometry(), QRect(0, 54, 648, 324)) << "a missing file changes nothing";
  WriteMarkedPhoto(jpeg, 100, 50);
  FScreen->ShowTemplatePicture(jpeg);
  EXPECT_EQ(FScreen->TemplateImage()->geometry(), QRect(274, 191, 100, 50)) << "never enlarged";
}

TEST_F(ScreenTest, CheckerboardShowsUnderAnEmptyCanvas) {
  const QImage canvas = FScreen->Canvas()->Render();
  const QRgb grey = 0xFFB0B0B0, white = 0xFFFFFFFF;
  const std::tuple<int, int, QRgb> cases[] = {{0, 0, grey},
                                              {12, 12, grey},
                                              {13, 0, white},
                                              {0, 13, white},
                                              {13, 13, grey},
                                              {26, 13, white},
                                              {645, 429, 645 / 13 % 2 == 429 / 13 % 2 ? grey : white}};
  for (auto [x, y, colour] : cases) EXPECT_EQ(canvas.pixel(x, y), colour) << x << "," << y;
}

TEST_F(ScreenTest, SamplePanelPagesAndPictureClicks) {
  ImportRealPhotos({"a.jpg"});
  TSamplePanel panel(nullptr, Ctl());
  panel.resize(200, 300);
  const std::string jpeg = FDir / "pictures/sample.jpg";
  WriteMarkedPhoto(jpeg, 400, 200);
  panel.ShowResult(jpeg);
  EXPECT_TRUE(panel.ResultShown());
  EXPECT_EQ(panel.ResultImage()->geometry(), QRect(0, 100, 200, 100));
  panel.ShowSample(FDir / "pictures/missing.jpg");
  EXPECT_FALSE(panel.ResultShown());
  EXPECT_TRUE(panel.SampleImage()->pixmap().isNull()) << "a missing sample shows nothing";
  ASSERT_EQ(Ctl().CurSlot, 0);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(panel.ResultImage(), &press);
  EXPECT_EQ(Ctl().CurSlot, -1) << "a click on the result picture ends the slot selection";
}

}  // namespace
}  // namespace tessaro
