#include "dialogs/Flash.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <set>

namespace tessaro {
namespace {

// Number of pixels that differ between two equally sized images in `area`.
int Differing(const QImage& a, const QImage& b, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) ++count;
  return count;
}

TEST(FlashForm, BorderlessOnTopAndCentredOnTheScreen) {
  TFlashForm flash;
  EXPECT_EQ(flash.size(), QSize(451, 179));
  EXPECT_EQ(flash.windowTitle(), QString("Flash"));
  EXPECT_TRUE(flash.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(flash.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(flash.isVisible()) << "created hidden";
  flash.Present();
  EXPECT_TRUE(flash.isVisible());
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect area = screen->geometry();
  EXPECT_EQ(flash.geometry().center().x(), area.center().x()) << "centred across";
  EXPECT_LE(std::abs(flash.geometry().center().y() - area.center().y()), 1) << "centred down";
}

TEST(FlashForm, ShowsAFinishedPictureAndRepaintsTheStepLine) {
  TFlashForm flash;
  ASSERT_EQ(flash.Picture().size(), QSize(450, 179));
  // A designed picture, not a flat fill: many distinct colours, opaque all over.
  std::set<QRgb> colours;
  for (int y = 0; y < 179; y += 3)
    for (int x = 0; x < 450; x += 3) {
      EXPECT_EQ(qAlpha(flash.Picture().pixel(x, y)), 255) << x << "," << y;
      colours.insert(flash.Picture().pixel(x, y));
    }
  EXPECT_GT(colours.size(), 200u);

  flash.Present();
  const QRect stepArea(TFlashForm::kStepX, TFlashForm::kStepBaseline - 14, 200, 18);
  flash.ShowStep("");
  const QImage empty = flash.grab().toImage();
  flash.ShowStep(QString::fromUtf8("正在读取模板…"));
  EXPECT_EQ(flash.Step(), QString::fromUtf8("正在读取模板…"));
  const QImage stepped = flash.grab().toImage();
  EXPECT_GT(Differing(empty, stepped, stepArea), 20) << "the step line is drawn";
  EXPECT_EQ(Differing(empty, stepped, QRect(0, 0, 450, 120)), 0) << "the picture above it is untouched";
  if (const QByteArray dir = qgetenv("TESSARO_SCREENSHOT_DIR"); !dir.isEmpty()) {
    flash.ShowStep(QString::fromUtf8("正在启动，请稍候…"));
    EXPECT_TRUE(flash.grab().toImage().save(QDir(QString::fromLocal8Bit(dir)).filePath("splash.png")));
  }
}

}  // namespace
}  // namespace tessaro
