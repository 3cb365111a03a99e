#include "controls/MyEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <QVBoxLayout>

namespace tessaro {
namespace {

QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

// A 7-pixel strip whose columns are all different shades of blue.
QImage Strip7() {
  QImage strip(7, 20, QImage::Format_RGB32);
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 20; ++y) strip.setPixel(x, y, qRgb(0, 0, 100 + 20 * x));
  return strip;
}

class MyEditTest : public testing::Test {
 protected:
  void SetUp() override {
    FEdit.resize(195, 21);
    FEdit.SetColor(ColorFromBgr(0x808080));
    FEdit.SetBKBmp(Strip7());
    QImage pressed(1, 20, QImage::Format_RGB32);
    pressed.fill(QColor(200, 240, 240));
    FEdit.SetBKBmp2(pressed);
  }
  TMyEdit FEdit;
};

TEST_F(MyEditTest, StripIsTiledPastTheRightEdge) {
  QImage image = FEdit.Render(false);
  // 195 div 7 + 1 = 28 copies reach x = 195; the last columns are clipped.
  for (int x : {1, 8, 100, 170, 189, 193})
    EXPECT_EQ(At(image, x, 15), QColor(0, 0, 100 + 20 * (x % 7))) << "x " << x;
}

TEST_F(MyEditTest, FrameSeparatorAndArrow) {
  QImage image = FEdit.Render(false);
  const QColor grey(128, 128, 128);
  EXPECT_EQ(At(image, 0, 0), grey);
  EXPECT_EQ(At(image, 194, 20), grey);
  EXPECT_EQ(At(image, 100, 20), grey);
  EXPECT_EQ(At(image, 194, 10), grey);
  // Separator at W - 18 - 1 = 176, rows 1 .. 19.
  EXPECT_EQ(At(image, 176, 1), QColor(Qt::white));
  EXPECT_EQ(At(image, 176, 19), QColor(Qt::white));
  EXPECT_EQ(At(image, 176, 0), grey);
  // Arrow corners (184, 12), (181, 9), (187, 9): filled black, pointing down.
  EXPECT_EQ(At(image, 184, 10), QColor(Qt::black));
  EXPECT_EQ(At(image, 184, 11), QColor(Qt::black));
  EXPECT_NE(At(image, 184, 14), QColor(Qt::black));
  EXPECT_NE(At(image, 184, 7), QColor(Qt::black));
}

TEST_F(MyEditTest, FocusRectangleOnlyWithTheFocus) {
  QImage unfocused = FEdit.Render(false);
  QImage focused = FEdit.Render(true);
  // Dotted corners (2, 2) and (W - 18 - 3, H - 3) = (174, 18).
  EXPECT_EQ(At(focused, 2, 2), QColor(Qt::black));
  EXPECT_EQ(At(focused, 174, 18), QColor(Qt::black));
  EXPECT_NE(At(focused, 3, 2), QColor(Qt::black)) << "dotted, not solid";
  EXPECT_NE(At(unfocused, 2, 2), QColor(Qt::black));
}

TEST_F(MyEditTest, PressedLookEndsWhenTheFocusLeaves) {
  FEdit.SetShowBKBmp2(true);
  EXPECT_EQ(At(FEdit.Render(false), 50, 15), QColor(200, 240, 240));
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(&FEdit, &out);
  EXPECT_FALSE(FEdit.ShowBKBmp2());
  EXPECT_EQ(At(FEdit.Render(false), 50, 15), QColor(0, 0, 100 + 20 * (50 % 7)));
}

TEST_F(MyEditTest, BlankCaptionPrintsNothing) {
  QImage before = FEdit.Render(false);
  FEdit.SetFont(TFontSpec{QFont("DejaVu Sans", 9), Qt::black});
  FEdit.SetCaption("   ");
  EXPECT_EQ(FEdit.Render(false), before);
  FEdit.SetCaption("6寸 (152 x 102 毫米)");
  EXPECT_NE(FEdit.Render(false), before);
}

TEST(MyEditFocus, ClickTakesTheFocusAndTabbingAwayEndsThePressedLook) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* edit = new TMyEdit;
  auto* other = new TMyEdit;
  layout->addWidget(edit);
  layout->addWidget(other);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  bool focusedInHandler = false;
  edit->OnMouseDown = [&](TMyEdit* sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    focusedInHandler = sender->hasFocus();
    sender->SetShowBKBmp2(true);
  };
  QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_TRUE(focusedInHandler) << "the focus is taken before the event";
  EXPECT_TRUE(edit->ShowBKBmp2());
  other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(other->hasFocus());
  EXPECT_FALSE(edit->ShowBKBmp2());
  EXPECT_EQ(edit->focusPolicy() & Qt::TabFocus, Qt::TabFocus) << "a tab stop";
}

}  // namespace
}  // namespace tessaro
