#include "dialogs/Stat.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <map>

#include "testing/Corpus.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

// A photo file of one colour.
std::string WritePhoto(const test::TempFolder& folder, const std::string& name, QSize size, QColor color) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  const std::string path = folder / name;
  EXPECT_TRUE(image.save(QString::fromStdString(path)));
  return path;
}

// The right-most column holding a visible (white) pixel of the number layer.
int InkRight(const QImage& layer) {
  int right = -1;
  for (int y = 0; y < layer.height(); ++y)
    for (int x = 0; x < layer.width(); ++x)
      if (qAlpha(layer.pixel(x, y)) == 255 && qGray(layer.pixel(x, y)) > 200) right = std::max(right, x);
  return right;
}

bool FullyTransparent(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) != 0) return false;
  return true;
}

class StatFormTest : public ::testing::Test {
 protected:
  StatFormTest() {
    FForm.PhotoFileOf = [this](int row) { return FFiles.count(row) ? FFiles[row] : std::string(); };
  }
  // Adds a row the way the controller does at import.
  void AddPhotoRow(const std::string& name) {
    const int n = FForm.Rows().Count();
    ASSERT_TRUE(FForm.Rows().AddRow({std::to_string(n + 1), name, "0", "放置", "删除"}, "", false));
  }
  QLabel* Label(int row, int col) { return FForm.List().GetRow(row)->Labels[col]; }

  test::TempFolder FFolder{"stat-form"};
  TStatForm FForm{nullptr};
  std::map<int, std::string> FFiles;
};

TEST_F(StatFormTest, RowsMirrorThePhotoListThroughTheRowInterface) {
  for (const char* name : {"a.jpg", "b.png", "c.tif"}) AddPhotoRow(name);
  TRowList& rows = FForm.Rows();
  rows.SetCellText(1, 2, "3");
  EXPECT_EQ(Label(1, 2)->text(), QString("3")) << "the usage count changes at once";
  rows.DeleteRow(0);
  for (int i = 0; i < rows.Count(); ++i) rows.SetCellText(i, 0, std::to_string(i + 1));
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.GetCellText(0, 1), "b.png");
  EXPECT_EQ(rows.GetCellText(0, 0), "1");
  EXPECT_EQ(rows.GetCellText(1, 0), "2");
  EXPECT_EQ(rows.GetCellText(0, 2), "3");
  // Five text columns at their places, no row picture.
  const int lefts[] = {5, 23, 143, 161, 196};
  for (int col = 0; col < 5; ++col) EXPECT_EQ(Label(1, col)->x(), lefts[col]) << col;
  EXPECT_EQ(FForm.List().GetRow(0)->Picture, nullptr);
  // Links and the name are green, the number and the count white.
  EXPECT_EQ(Label(0, 3)->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_EQ(Label(0, 0)->palette().color(QPalette::WindowText), QColor(Qt::white));
  rows.SetSelected(1, true);
  EXPECT_TRUE(Label(1, 1)->font().underline()) << "the selected row's name";
  EXPECT_FALSE(Label(1, 4)->font().underline());
  rows.Clear();
  EXPECT_EQ(rows.Count(), 0);
}

TEST_F(StatFormTest, LinksSignalTheirRowAfterSelectingIt) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) AddPhotoRow(name);
  FForm.show();
  QSignalSpy place(&FForm, &TStatForm::PlaceClicked);
  QSignalSpy remove(&FForm, &TStatForm::DeleteClicked);
  int selectedAtDelete = -2;
  // The window's handler deletes the row from inside the click, as the
  // controller does.
  QObject::connect(&FForm, &TStatForm::DeleteClicked, [&](int row) {
    selectedAtDelete = FForm.Rows().SelectedIndex();
    FForm.Rows().DeleteRow(row);
  });

  QTest::mouseClick(Label(2, 3), Qt::LeftButton);
  ASSERT_EQ(place.count(), 1);
  EXPECT_EQ(place.at(0).at(0).toInt(), 2);
  EXPECT_EQ(FForm.Rows().SelectedIndex(), 2);

  QTest::mouseClick(Label(1, 4), Qt::LeftButton);
  ASSERT_EQ(remove.count(), 1);
  EXPECT_EQ(remove.at(0).at(0).toInt(), 1);
  EXPECT_EQ(selectedAtDelete, 1) << "the deleted row is the selected one, so the large view is cleared";
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(FForm.Rows().Count(), 2);

  // The number and count columns are not links.
  QTest::mouseClick(Label(0, 0), Qt::LeftButton);
  QTest::mouseClick(Label(0, 2), Qt::LeftButton);
  EXPECT_EQ(place.count(), 1);
  EXPECT_EQ(remove.count(), 1);
}

TEST_F(StatFormTest, ClickingANameShowsThePhotoLargeWithItsNumber) {
  for (int i = 0; i < 12; ++i) AddPhotoRow("p" + std::to_string(i) + ".png");
  FFiles[0] = WritePhoto(FFolder, "wide.png", {600, 300}, Qt::red);
  FFiles[11] = WritePhoto(FFolder, "small.png", {100, 60}, Qt::blue);
  FForm.show();
  ASSERT_EQ(FForm.width(), 265);

  QTest::mouseClick(Label(0, 1), Qt::LeftButton);
  EXPECT_EQ(FForm.width(), 550) << "a narrow window opens its large view";
  EXPECT_TRUE(FForm.LargeViewOpen());
  const TStatScreen& screen = FForm.Screen();
  EXPECT_EQ(screen.PhotoRect(), QRect(0, 71, 283, 141)) << "shrunk to the view and centred";
  QImage shown = const_cast<TStatScreen&>(screen).grab().toImage();
  EXPECT_EQ(shown.pixelColor(141, 141), QColor(Qt::red));
  EXPECT_NE(shown.pixelColor(141, 20), QColor(Qt::red)) << "ground above the photo";
  const int oneDigit = InkRight(screen.NumberLayer());
  EXPECT_GE(oneDigit, 5) << "number drawn from x 5";
  EXPECT_EQ(qAlpha(screen.NumberLayer().pixel(29, 29)), 0) << "the rest of the layer stays transparent";

  QTest::mouseClick(Label(11, 1), Qt::LeftButton);
  EXPECT_EQ(screen.PhotoRect(), QRect(91, 111, 100, 60)) << "a small photo is never enlarged";
  EXPECT_GT(InkRight(screen.NumberLayer()), oneDigit) << "row 12 prints two digits";

  // A row whose file is missing changes nothing.
  FForm.ToggleLargeView();
  ASSERT_EQ(FForm.width(), 265);
  QTest::mouseClick(Label(5, 1), Qt::LeftButton);
  EXPECT_EQ(FForm.width(), 265);
  EXPECT_EQ(screen.PhotoRect(), QRect(91, 111, 100, 60));
  FFiles[5] = FFolder / "gone.png";
  QTest::mouseClick(Label(5, 1), Qt::LeftButton);
  EXPECT_EQ(FForm.width(), 265);

  // A window the user made wider keeps its width.
  FForm.resize(400, FForm.height());
  QTest::mouseClick(Label(0, 1), Qt::LeftButton);
  EXPECT_EQ(FForm.width(), 400);

  FForm.ClearLargeView();
  EXPECT_TRUE(screen.PhotoLayer().isNull());
  EXPECT_TRUE(FullyTransparent(screen.NumberLayer()));
  EXPECT_EQ(FForm.width(), 400) << "clearing leaves the width";
}

TEST_F(StatFormTest, OpenButtonAlternatesWidthsAndShowingStartsNarrow) {
  FForm.show();
  EXPECT_EQ(FForm.width(), 265);
  EXPECT_FALSE(FForm.LargeViewOpen());
  QWidget* button = FForm.childAt(TStatForm::kOpenButton.center());
  ASSERT_NE(button, nullptr);
  const int expected[] = {550, 265, 550};
  for (int width : expected) {
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(FForm.width(), width);
    EXPECT_EQ(FForm.LargeViewOpen(), width == 550);
  }
  FForm.hide();
  FForm.show();
  EXPECT_EQ(FForm.width(), 265) << "shown again with the list alone";
  EXPECT_FALSE(FForm.LargeViewOpen());
  EXPECT_GE(FForm.height(), 317) << "the list panel fits";
}

TEST_F(StatFormTest, PlacedInsideThePreviewsBottomLeftCornerAndClosedByItsButton) {
  FForm.ToggleLargeView();  // wide now; placement uses the shown width
  FForm.PlaceBeside(QRect(181, 264, 648, 432), QRect(0, 0, 1920, 1080));
  EXPECT_EQ(FForm.pos(), QPoint(183, 696 - FForm.height() - 2));
  FForm.PlaceBeside(QRect(1700, 264, 648, 432), QRect(0, 0, 1920, 1080));
  EXPECT_EQ(FForm.x(), 1920 - 265) << "kept on the desktop";

  // The statistics button alternates; each showing is placed afresh.
  const QRect desktop(0, 0, 1920, 1080);
  FForm.ToggleShown(QRect(181, 264, 648, 432), desktop);
  EXPECT_TRUE(FForm.isVisible());
  EXPECT_EQ(FForm.pos(), QPoint(183, 696 - FForm.height() - 2));
  FForm.ToggleShown(QRect(181, 264, 648, 432), desktop);
  EXPECT_FALSE(FForm.isVisible());
  FForm.ToggleShown(QRect(281, 264, 648, 432), desktop);
  EXPECT_TRUE(FForm.isVisible());
  EXPECT_EQ(FForm.x(), 283);

  QSignalSpy closed(&FForm, &TStatForm::Closed);
  QWidget* close = FForm.childAt(FForm.width() - 12, 12);
  ASSERT_NE(close, nullptr);
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(FForm.isVisible());
}

// Draws the window as the main window shows it; with TESSARO_SCREENSHOT_DIR
// set the picture is saved there (stat-window.png).
TEST(StatFormLook, DrawsTitleListAndLargeView) {
  TStatForm form(nullptr);
  const char* names[] = {"婚纱外景_001.jpg", "IMG_2024_0415.jpg", "室内写真_018.jpg", "DSC_7781.jpg",
                         "儿童乐园_05.png",  "IMG_2024_0416.jpg", "海边日落_12.jpg"};
  const char* counts[] = {"2", "1", "0", "3", "1", "0", "1"};
  for (int i = 0; i < 7; ++i)
    form.Rows().AddRow({std::to_string(i + 1), names[i], counts[i], "放置", "删除"}, "", false);
  std::string photo = test::CorpusPath("jpeg/baseline_444_skater.jpg");
  if (!QFile::exists(QString::fromStdString(photo))) photo.clear();
  form.show();
  form.Rows().SetSelected(1, true);
  if (photo.empty()) {
    form.ToggleLargeView();
  } else {
    ASSERT_TRUE(form.ShowLargeView(1, photo));
  }
  QCoreApplication::processEvents();
  const QImage shot = form.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(550, form.height()));
  // The title bar is lighter than the black list under it, and the frame
  // edge is the skin's cyan.
  EXPECT_GT(qGray(shot.pixel(120, 5)), qGray(shot.pixel(120, 305)));
  EXPECT_GT(shot.pixelColor(0, 160).green(), shot.pixelColor(0, 160).red());
  if (const QByteArray dir = qgetenv("TESSARO_SCREENSHOT_DIR"); !dir.isEmpty()) {
    EXPECT_TRUE(shot.save(QDir(QString::fromLocal8Bit(dir)).filePath("stat-window.png")));
  }
}

}  // namespace
}  // namespace tessaro
