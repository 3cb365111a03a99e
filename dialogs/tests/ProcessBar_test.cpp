#include "dialogs/ProcessBar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

namespace tessaro {
namespace {

// Share of the bar's inner track (left to right) painted in the filled
// colours: columns whose middle pixel is clearly brighter than the track.
double FilledShare(const TStepBar& bar) {
  const QImage image = const_cast<TStepBar&>(bar).grab().toImage();
  const int y = image.height() - 4;  // below the caption
  int filled = 0;
  const int from = 3, to = image.width() - 3;
  for (int x = from; x < to; ++x)
    if (qGray(image.pixel(x, y)) > 60) ++filled;
  return double(filled) / (to - from);
}

TEST(ProcessForm, IsABorderlessWindowOnTopCentredOverItsOwner) {
  QWidget owner;
  owner.setGeometry(100, 100, 800, 600);
  owner.show();
  TProcessForm form(&owner);
  EXPECT_EQ(form.size(), QSize(434, 59));
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(form.isWindow());
  form.Show(4);
  EXPECT_TRUE(form.isVisible());
  const QRect frame = owner.frameGeometry();
  EXPECT_EQ(form.pos(), QPoint(frame.x() + (frame.width() - 434) / 2, frame.y() + (frame.height() - 59) / 2));
  EXPECT_EQ(form.Bar().geometry(), QRect(9, 29, 417, 23));
  form.Close();
  EXPECT_FALSE(form.isVisible());
}

TEST(ProcessForm, StepsAdvanceTheBarUpToItemCount) {
  TProcessForm form;
  form.Show(3);
  EXPECT_EQ(form.ItemCount, 3);
  EXPECT_EQ(form.Bar().minimum(), 0);
  EXPECT_EQ(form.Bar().maximum(), 3);
  EXPECT_EQ(form.Bar().value(), 0);
  EXPECT_EQ(form.Bar().Caption(), QString("0%"));
  const char* captions[] = {"33%", "66%", "100%", "100%"};  // a fourth step stays at the end
  for (const char* caption : captions) {
    form.Step();
    EXPECT_EQ(form.Bar().Caption(), QString(caption));
  }
  EXPECT_EQ(form.Bar().value(), 3);
  // A new run starts again from zero.
  form.Show(5);
  EXPECT_EQ(form.Bar().value(), 0);
  EXPECT_EQ(form.Bar().maximum(), 5);
  // Nothing to do: no caption, no crash, no negative count.
  form.Show(-2);
  EXPECT_EQ(form.ItemCount, 0);
  form.Step();
  EXPECT_EQ(form.Bar().Caption(), QString());
  form.Close();
}

TEST(ProcessForm, StepsReachThePaintedBar) {
  TProcessForm form;
  form.Show(4);
  EXPECT_LT(FilledShare(form.Bar()), 0.02) << "nothing done, nothing filled";
  form.SetInfo("正在导入：IMG_2024_0415.jpg");
  form.Step();
  const double quarter = FilledShare(form.Bar());
  EXPECT_NEAR(quarter, 0.25, 0.05);
  if (const QByteArray dir = qgetenv("TESSARO_SCREENSHOT_DIR"); !dir.isEmpty()) {
    EXPECT_TRUE(form.grab().toImage().save(QDir(QString::fromLocal8Bit(dir)).filePath("progress.png")));
  }
  form.Step();
  form.Step();
  form.Step();
  EXPECT_GT(FilledShare(form.Bar()), 0.95);
  form.Close();
}

TEST(ProcessForm, InfoLineAndPendingEvents) {
  TProcessForm form;
  form.Show(2);
  form.SetInfo("正在导入：IMG_0001.jpg");
  EXPECT_EQ(form.Info().text(), QString::fromUtf8("正在导入：IMG_0001.jpg"));
  EXPECT_EQ(form.Info().pos(), QPoint(9, 10));
  form.SetInfo("");
  EXPECT_TRUE(form.Info().text().isEmpty());
  // A queued call runs only when the messages are processed.
  bool ran = false;
  QTimer::singleShot(0, &form, [&] { ran = true; });
  EXPECT_FALSE(ran);
  form.ProcessMessages();
  EXPECT_TRUE(ran);
  form.Close();
}

}  // namespace
}  // namespace tessaro
