#include "controls/ImageButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

namespace tessaro {
namespace {

QImage Solid(int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

// ---- The pixel looks, with values worked out by hand.

TEST(CheckedLook, FramesThenTintsEveryOtherPixel) {
  QImage picture = Solid(4, 4, QColor(100, 50, 200));
  ApplyCheckedLook(picture, QColor(200, 0, 255), 120);
  // (135 * 100 + 120 * 200) / 255 = 147.06; 135 * 50 / 255 = 26.47;
  // (135 * 200 + 120 * 255) / 255 = 225.88.
  EXPECT_EQ(At(picture, 1, 1), QColor(147, 26, 226));
  EXPECT_EQ(At(picture, 2, 2), QColor(147, 26, 226));
  EXPECT_EQ(At(picture, 1, 2), QColor(100, 50, 200)) << "x + y odd keeps its colour";
  EXPECT_EQ(At(picture, 2, 1), QColor(100, 50, 200));
  // The frame is the tint colour, and tinting it with itself leaves it.
  EXPECT_EQ(At(picture, 0, 0), QColor(200, 0, 255));
  EXPECT_EQ(At(picture, 1, 0), QColor(200, 0, 255));
  EXPECT_EQ(At(picture, 3, 2), QColor(200, 0, 255));
  EXPECT_EQ(picture.format(), QImage::Format_RGB32);
}

// One pixel under a look: the checked look's tint or the disabled look's
// grey and tint.
struct TintCase {
  const char* name;
  QColor pixel, color;
  int trans;
  QColor expected;
};

void PrintTo(const TintCase& c, std::ostream* os) { *os << c.name; }

class CheckedTintTest : public testing::TestWithParam<TintCase> {};

TEST_P(CheckedTintTest, Tints) {
  const TintCase& c = GetParam();
  QImage picture = Solid(5, 5, c.pixel);
  ApplyCheckedLook(picture, c.color, c.trans);
  EXPECT_EQ(At(picture, 2, 2), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Tints, CheckedTintTest,
    testing::Values(
        TintCase{"zero strength keeps the pixel", QColor(10, 20, 30), QColor(255, 255, 255), 0,
                 QColor(10, 20, 30)},
        TintCase{"full strength is the colour", QColor(10, 20, 30), QColor(192, 192, 192), 255,
                 QColor(192, 192, 192)},
        // 135 * 255 / 255 + 120 * 192 / 255 = 135 + 90.35
        TintCase{"slot buttons: silver over white", QColor(255, 255, 255), QColor(192, 192, 192), 120,
                 QColor(225, 225, 225)},
        // 254 * 254 / 255 = 253.004 rounds down; (254 + 255) / 255 = 1.996 rounds up.
        TintCase{"rounding to nearest", QColor(254, 1, 0), QColor(0, 255, 255), 1, QColor(253, 2, 1)},
        TintCase{"strength beyond 255 is clamped", QColor(0, 0, 0), QColor(9, 8, 7), 400, QColor(9, 8, 7)}));

class DisabledLookTest : public testing::TestWithParam<TintCase> {};

TEST_P(DisabledLookTest, Greys) {
  const TintCase& c = GetParam();
  QImage picture = Solid(3, 3, c.pixel);
  ApplyDisabledLook(picture, c.color, c.trans);
  EXPECT_EQ(At(picture, 0, 0), c.expected) << c.name;
  EXPECT_EQ(At(picture, 1, 2), c.expected) << c.name << ": every pixel";
}

INSTANTIATE_TEST_SUITE_P(
    Greys, DisabledLookTest,
    testing::Values(
        // 3 + 11.8 + 3.3 = 18.1
        TintCase{"plain grey", QColor(10, 20, 30), QColor(0, 0, 0), 0, QColor(18, 18, 18)},
        TintCase{"half rounds to even (1.5)", QColor(5, 0, 0), QColor(0, 0, 0), 0, QColor(2, 2, 2)},
        TintCase{"half rounds to even (4.5)", QColor(15, 0, 0), QColor(0, 0, 0), 0, QColor(4, 4, 4)},
        TintCase{"half rounds to even (7.5)", QColor(25, 0, 0), QColor(0, 0, 0), 0, QColor(8, 8, 8)},
        TintCase{"green weighs most", QColor(0, 100, 0), QColor(0, 0, 0), 0, QColor(59, 59, 59)},
        TintCase{"white stays white", QColor(255, 255, 255), QColor(0, 0, 0), 0, QColor(255, 255, 255)},
        TintCase{"full strength is a flat colour", QColor(200, 10, 90), QColor(12, 34, 56), 255,
                 QColor(12, 34, 56)},
        // (255 * 100 + 155 * 18) / 255 = 110.94; 155 * 18 / 255 = 10.94
        TintCase{"tinted grey", QColor(10, 20, 30), QColor(255, 0, 0), 100, QColor(111, 11, 11)}));

TEST(PixelLooks, EmptyPicturesAreLeftAlone) {
  QImage empty;
  ApplyCheckedLook(empty, Qt::red, 120);
  ApplyDisabledLook(empty, Qt::red, 120);
  DrawPictureFrame(empty, Qt::red);
  EXPECT_TRUE(empty.isNull());
}

// ---- The button

class ImageButtonTest : public testing::Test {
 protected:
  void SetUp() override {
    FButton.AutoSize = true;
    FButton.CheckedRectColor = ColorFromBgr(0xC0C0C0);
    FButton.MouseOnRectColor = ColorFromBgr(0xFFFFFF);
    FButton.SetBmpNormal(FNormal);
    FButton.SetBmpState2Normal(FState2);
    FButton.setEnabled(false);
    FButton.setEnabled(true);
  }
  QImage FNormal = Solid(36, 32, QColor(60, 70, 80));
  QImage FState2 = Solid(36, 32, QColor(15, 110, 115));
  TImageButton FButton;
};

TEST_F(ImageButtonTest, ShowsTheBaseOfItsStateAndSizesItself) {
  EXPECT_EQ(FButton.size(), QSize(36, 32));
  EXPECT_EQ(At(FButton.Picture(), 5, 5), QColor(60, 70, 80));
  FButton.SetState2(true);
  EXPECT_EQ(At(FButton.Picture(), 5, 5), QColor(15, 110, 115));
  FButton.SetState2(false);
  EXPECT_EQ(At(FButton.Picture(), 5, 5), QColor(60, 70, 80));
}

TEST_F(ImageButtonTest, EmptySecondBaseKeepsTheCurrentPicture) {
  TImageButton button;
  button.SetBmpNormal(FNormal);
  button.setEnabled(false);
  button.setEnabled(true);
  QImage before = button.Picture();
  button.SetState2(true);
  EXPECT_EQ(button.Picture(), before);
}

TEST_F(ImageButtonTest, NewBasePictureShowsAtTheNextRefresh) {
  FButton.SetBmpNormal(Solid(36, 32, QColor(200, 10, 10)));
  EXPECT_EQ(At(FButton.Picture(), 5, 5), QColor(60, 70, 80)) << "not yet";
  FButton.SetChecked(true);
  FButton.SetChecked(false);
  EXPECT_EQ(At(FButton.Picture(), 5, 5), QColor(200, 10, 10));
  // The base is a copy: drawing on the caller's picture changes nothing.
  QImage mine = Solid(36, 32, QColor(1, 2, 3));
  FButton.SetBmpNormal(mine);
  mine.fill(Qt::white);
  FButton.SetChecked(true);
  FButton.SetChecked(false);
  EXPECT_EQ(At(FButton.Picture(), 5, 5), QColor(1, 2, 3));
}

TEST_F(ImageButtonTest, CheckUncheckCheckEqualsCheckingOnce) {
  FButton.SetChecked(true);
  QImage once = FButton.Picture();
  EXPECT_NE(once, FNormal.convertToFormat(QImage::Format_RGB32));
  FButton.SetChecked(false);
  EXPECT_EQ(FButton.Picture().convertToFormat(QImage::Format_RGB32), FNormal)
      << "unchecking restores the base";
  FButton.SetChecked(true);
  EXPECT_EQ(FButton.Picture(), once);
  FButton.SetChecked(true);  // no change: no second tint
  EXPECT_EQ(FButton.Picture(), once);
}

TEST_F(ImageButtonTest, CheckedButtonKeepsItsLookAcrossStates) {
  FButton.SetChecked(true);
  FButton.SetState2(true);
  QImage expected = FState2;
  ApplyCheckedLook(expected, FButton.CheckedRectColor, 120);
  EXPECT_EQ(FButton.Picture(), expected);
}

TEST_F(ImageButtonTest, DisabledLookAlwaysComesFromTheFirstBaseWithText) {
  FButton.Font = TFontSpec{QFont("DejaVu Sans", 10, QFont::Bold), Qt::white};
  FButton.Text = "10";
  FButton.TextLeft = 9;
  FButton.TextTop = 7;
  FButton.SetState2(true);
  FButton.setEnabled(false);
  const QImage& picture = FButton.Picture();
  // Outside the text: the plain grey of BmpNormal (18 + 41.3 + 8.8 = 68.1).
  EXPECT_EQ(At(picture, 1, 1), QColor(68, 68, 68));
  EXPECT_EQ(At(picture, 34, 30), QColor(68, 68, 68));
  // The white text is printed before greying, so it shows as light grey.
  int light = 0;
  for (int y = 7; y < 25; ++y)
    for (int x = 9; x < 30; ++x) light += At(picture, x, y).red() > 200;
  EXPECT_GT(light, 10);
  // Disabled buttons ignore hovering and checking.
  FButton.HoverEnter();
  FButton.SetChecked(true);
  EXPECT_EQ(At(picture, 0, 0), QColor(68, 68, 68));
}

TEST_F(ImageButtonTest, BlankTextPrintsNothing) {
  FButton.Font = TFontSpec{QFont("DejaVu Sans", 10, QFont::Bold), Qt::white};
  FButton.Text = "   ";
  FButton.setEnabled(false);
  FButton.setEnabled(true);
  EXPECT_EQ(FButton.Picture().convertToFormat(QImage::Format_RGB32), FNormal);
}

TEST_F(ImageButtonTest, HoverFramesAndLeavingRestores) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&FButton, &enter);
  EXPECT_EQ(At(FButton.Picture(), 0, 10), QColor(255, 255, 255));
  EXPECT_EQ(At(FButton.Picture(), 35, 31), QColor(255, 255, 255));
  EXPECT_EQ(At(FButton.Picture(), 1, 10), QColor(60, 70, 80));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&FButton, &leave);
  EXPECT_EQ(At(FButton.Picture(), 0, 10), QColor(60, 70, 80));
  // An owner's handler replaces the button's own.
  int entered = 0;
  FButton.OnMouseEnter = [&](TImageButton*) { ++entered; };
  QApplication::sendEvent(&FButton, &enter);
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(At(FButton.Picture(), 0, 10), QColor(60, 70, 80));
}

TEST_F(ImageButtonTest, ClicksReachTheOwner) {
  std::vector<std::string> seen;
  FButton.OnMouseDown = [&](TImageButton*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    seen.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  };
  FButton.OnClick = [&](TImageButton*) { seen.push_back("click"); };
  QTest::mouseClick(&FButton, Qt::LeftButton, {}, QPoint(4, 6));
  EXPECT_EQ(seen, (std::vector<std::string>{"down 4,6", "click"}));
  // A release outside the button is no click.
  seen.clear();
  QTest::mousePress(&FButton, Qt::LeftButton, {}, QPoint(4, 6));
  QTest::mouseRelease(&FButton, Qt::LeftButton, {}, QPoint(50, 6));
  EXPECT_EQ(seen, (std::vector<std::string>{"down 4,6"}));
}

}  // namespace
}  // namespace tessaro
