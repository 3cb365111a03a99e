#include "controls/MyListbox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <string>
#include <vector>

#include "controls/MyListBoxRows.h"
#include "controls/tests/TestPictures.h"

namespace tessaro {
namespace {

using testing_controls::PixelAt;
using testing_controls::WritePicture;

const QColor kCheckColor(255, 0, 0);
const QColor kUnCheckColor(0, 255, 0);

QImage Solid(int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

void SendEnter(QWidget* widget) {
  QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(widget, &event);
}

// What the platform delivers for a double-click: press, release, double-click
// (in place of the second press), release.
void DoubleClick(QWidget* widget, QPoint pos) {
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }
}

void SendLeave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

// The photo list as the main window configures it.
class PhotoListTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FDir.isValid());
    FList.resize(200, 400);
    FList.Font = TFontSpec{ListFont(9), Qt::white};
    FList.NormalFont = TFontSpec{ListFont(9), Qt::white};
    FList.HighLightFont = TFontSpec{ListFont(9), ColorFromBgr(0xECEC1A)};
    QFont underlined = ListFont(9);
    underlined.setUnderline(true);
    FList.SelectedFont = TFontSpec{underlined, ColorFromBgr(0x0F02B3)};
    FList.TextMaxCharLen = 10;
    FList.ImageColor = ColorFromBgr(0);
    FList.ThumbBackground = ColorFromBgr(0);
    FList.SelectedColor = ColorFromBgr(0x0F02B3);
    FList.HighLightColor = ColorFromBgr(0xECEC1A);
    FList.SetColNum(4);
    int lefts[] = {22, 38, 108, 125};
    for (int j = 0; j < 4; ++j) FList.SetColLeft(j, lefts[j]);
    FList.SetColClickable(1, true);
    FList.SetColClickable(3, true);
    FList.SetColSelectable(1, true);
    FList.ShowCheckBox = true;
    FList.ShowThumbPic = true;
    FList.ThumbLeft = FList.ThumbTop = 5;
    FList.ThumbWidth = 140;
    FList.ThumbHeight = 120;
    FList.ImageWidth = 150;
    FList.TextBorder = 5;
    FList.ImageBorder = 10;
    FList.CheckBmp = Solid(14, 14, kCheckColor);
    FList.UnCheckBmp = Solid(14, 14, kUnCheckColor);
    FPhoto = WritePicture(FDir, "photo.png", 280, 120, QColor(200, 100, 50));
  }

  bool Add(const std::string& name, bool checked = false) {
    return FList.AddRow({"1", name, "0", "删除"}, FPhoto, nullptr, checked);
  }

  QTemporaryDir FDir;
  TMyListBox FList;
  std::string FPhoto;
};

// ---- Thumbnails

struct FitCase {
  const char* name;
  int w, h;
  QRect drawn;  // where the picture lands in the row picture
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class ThumbnailPlacementTest : public PhotoListTest, public testing::WithParamInterface<FitCase> {};

TEST_P(ThumbnailPlacementTest, PictureIsFittedAndCentredInTheBox) {
  const FitCase& c = GetParam();
  const QColor box(250, 250, 0);
  FList.ThumbBackground = box;  // differs from ImageColor, so the box is painted
  const QColor colour(30, 140, 220);
  std::string file = WritePicture(FDir, "fit.png", c.w, c.h, colour);
  ASSERT_TRUE(FList.AddRow({"1", "fit", "0", "删除"}, file, nullptr, false));
  QImage row = FList.GetRow(0)->Picture->Render();
  const QRect& r = c.drawn;
  // Inside the drawn rectangle (one pixel in from the box's sunken edge).
  EXPECT_EQ(PixelAt(row, r.left() + 1, r.top() + 1), colour) << c.name;
  EXPECT_EQ(PixelAt(row, r.right() - 1, r.bottom() - 1), colour) << c.name;
  EXPECT_EQ(PixelAt(row, r.center().x(), r.center().y()), colour) << c.name;
  // Just outside it, inside the box: the box background.
  if (r.left() > 6) {
    EXPECT_EQ(PixelAt(row, r.left() - 1, r.center().y()), box) << c.name;
  }
  if (r.right() < 143) {
    EXPECT_EQ(PixelAt(row, r.right() + 1, r.center().y()), box) << c.name;
  }
  if (r.top() > 6) {
    EXPECT_EQ(PixelAt(row, r.center().x(), r.top() - 1), box) << c.name;
  }
  if (r.bottom() < 123) {
    EXPECT_EQ(PixelAt(row, r.center().x(), r.bottom() + 1), box) << c.name;
  }
  EXPECT_EQ(FList.GetRow(0)->Thumb.size(), r.size()) << c.name;
}

// The box is (5, 5) 140 x 120 in the row picture.
INSTANTIATE_TEST_SUITE_P(
    Fits, ThumbnailPlacementTest,
    testing::Values(
        FitCase{"wide picture is 140 x 60, 30 below the box top", 280, 120, QRect(5, 35, 140, 60)},
        FitCase{"tall picture is 50 x 120, 45 right of the box edge", 100, 240, QRect(50, 5, 50, 120)},
        FitCase{"small picture keeps its size, centred", 40, 30, QRect(55, 50, 40, 30)},
        FitCase{"odd leftover splits down", 139, 119, QRect(5, 5, 139, 119)}));

TEST_F(PhotoListTest, ThumbnailIsScaledWithoutSmoothing) {
  // Two-colour stripes one pixel wide: scaling by half drops every other
  // column instead of blending neighbours into a mixed colour.
  QImage stripes(280, 120, QImage::Format_RGB32);
  for (int x = 0; x < 280; ++x)
    for (int y = 0; y < 120; ++y) stripes.setPixel(x, y, (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 255));
  QString path = FDir.filePath("stripes.png");
  ASSERT_TRUE(stripes.save(path));
  ASSERT_TRUE(FList.AddRow({"1", "s", "0", "x"}, path.toStdString(), nullptr, false));
  QImage thumb = FList.GetRow(0)->Thumb.toImage();
  for (int x = 0; x < thumb.width(); ++x) {
    QColor c = PixelAt(thumb, x, 30);
    ASSERT_TRUE(c == QColor(0, 0, 255) || c == QColor(255, 255, 255)) << "blended colour at x " << x;
  }
}

TEST_F(PhotoListTest, UnreadableThumbnailRefusesTheRowAndLeavesTheListAsItWas) {
  ASSERT_TRUE(Add("first"));
  const int nextTop = FList.NextTop(), lastTag = FList.LastTag();
  QString garbage = FDir.filePath("broken.jpg");
  {
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xFF\xD8\xFF\xE0 this is not a picture");
  }
  for (const std::string& file :
       {FDir.filePath("missing.jpg").toStdString(), garbage.toStdString(), std::string()}) {
    EXPECT_FALSE(FList.AddRow({"2", "x", "0", "删除"}, file, nullptr, false)) << file;
    EXPECT_EQ(FList.Count(), 1);
    EXPECT_EQ(FList.NextTop(), nextTop);
    EXPECT_EQ(FList.LastTag(), lastTag);
  }
  ASSERT_TRUE(Add("second"));
  EXPECT_EQ(FList.GetRow(1)->Labels[0]->y(), nextTop + 5 + 120 + 5)
      << "the next row starts where the refused one would";
}

// ---- Layout and numbering

TEST_F(PhotoListTest, RowsStackAndChildrenAreNumberedInOrder) {
  ASSERT_TRUE(Add("a"));
  ASSERT_TRUE(Add("b"));
  const TRowNode* first = FList.GetRow(0);
  const TRowNode* second = FList.GetRow(1);
  int tallest = 0;
  for (QLabel* label : first->Labels) tallest = std::max(tallest, label->height());
  EXPECT_EQ(first->Picture->pos(), QPoint(5, 2));
  EXPECT_EQ(first->Picture->size(), QSize(150, 120 + tallest + 10 + 5));
  EXPECT_EQ(first->Labels[2]->pos(), QPoint(108, 2 + 5 + 120 + 5)) << "labels sit under the thumbnail box";
  EXPECT_EQ(second->Picture->y(), 2 + first->Picture->height() + 10);
  EXPECT_EQ(FList.NextTop(), 2 + 2 * (first->Picture->height() + 10));
  // Five children per row: four labels, then the picture.
  EXPECT_EQ(FList.ChildrenPerRow(), 5);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(second->Labels[j]->Tag, 5 + j);
  EXPECT_EQ(second->Picture->Tag, 9);
  EXPECT_EQ(FList.LastTag(), 9);
}

TEST_F(PhotoListTest, CaptionsAreWrappedAndNumberedButTextsKeptWhole) {
  FList.ShowRow = true;
  ASSERT_TRUE(FList.AddRow({"1", "IMG_20240101.jpg", "0", "删除"}, FPhoto, nullptr, false));
  EXPECT_EQ(FList.GetRow(0)->Labels[1]->text(), QString("1_IMG_2024\n0101.jpg"));
  EXPECT_EQ(FList.GetCellText(0, 1), "IMG_20240101.jpg");
  FList.SetCellText(0, 1, "婚纱照片样片一二");
  EXPECT_EQ(FList.GetRow(0)->Labels[1]->text(), QString::fromUtf8("婚纱照片样\n片一二"))
      << "no row-number prefix";
  EXPECT_EQ(FList.GetCellText(0, 1), "婚纱照片样片一二");
  // Out of range: ignored, empty.
  FList.SetCellText(0, 4, "x");
  FList.SetCellText(1, 0, "x");
  EXPECT_EQ(FList.GetCellText(0, 4), "");
  EXPECT_EQ(FList.GetCellText(0, -1), "");
  EXPECT_EQ(FList.GetCellText(3, 0), "");
}

// ---- Selection and its event

TEST_F(PhotoListTest, RowChangedIsRaisedBeforeSelectedIndexChanges) {
  for (const char* n : {"a", "b", "c"}) ASSERT_TRUE(Add(n));
  std::vector<std::array<int, 3>> seen;  // old, new, SelectedIndex inside the handler
  FList.OnRowChanged = [&](int oldRow, int newRow) {
    seen.push_back({oldRow, newRow, FList.SelectedIndex()});
  };
  FList.SetSelected(1, true);
  FList.SetSelected(1, true);  // already selected: no event
  FList.SetSelected(2, true);
  FList.SetSelected(2, false);  // deselecting: no event
  FList.SetSelected(-1, true);  // negative: nothing
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (std::array<int, 3>{-1, 1, -1}));
  EXPECT_EQ(seen[1], (std::array<int, 3>{1, 2, 1}));
  EXPECT_EQ(FList.SelectedIndex(), -1);
  EXPECT_FALSE(FList.GetRow(2)->Selected);
}

TEST_F(PhotoListTest, SelectionSwitchesSelectableColumnFontsAndFrames) {
  ASSERT_TRUE(Add("a"));
  ASSERT_TRUE(Add("b"));
  FList.SetSelected(0, true);
  const TRowNode* a = FList.GetRow(0);
  EXPECT_TRUE(a->Labels[1]->font().underline());
  EXPECT_EQ(a->Labels[1]->palette().color(QPalette::WindowText), ColorFromBgr(0x0F02B3));
  EXPECT_FALSE(a->Labels[3]->font().underline()) << "column 3 is clickable but not selectable";
  EXPECT_EQ(a->FrameColor, FList.SelectedColor);
  FList.SetSelected(1, true);
  EXPECT_FALSE(a->Labels[1]->font().underline());
  EXPECT_EQ(a->Labels[1]->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(a->FrameColor, FList.ImageColor);
  EXPECT_EQ(FList.GetRow(1)->FrameColor, FList.SelectedColor);
}

// ---- Frames and hover

TEST_F(PhotoListTest, FrameFollowsHoverAndSelectionInTheRowPicture) {
  ASSERT_TRUE(Add("a"));
  const TRowNode* row = FList.GetRow(0);
  // The frame pen is TextBorder - 2 = 3 wide, centred on the rectangle
  // (2, 2)-(148, 128): its left band covers x 1..3.
  auto frameAt = [&](int x, int y) { return PixelAt(row->Picture->Render(), x, y); };
  EXPECT_EQ(frameAt(2, 60), QColor(Qt::black));
  SendEnter(row->Picture);
  EXPECT_EQ(frameAt(1, 60), FList.HighLightColor);
  EXPECT_EQ(frameAt(3, 60), FList.HighLightColor);
  EXPECT_EQ(frameAt(147, 60), FList.HighLightColor);
  EXPECT_EQ(frameAt(70, 127), FList.HighLightColor);
  EXPECT_EQ(frameAt(4, 60), QColor(Qt::black)) << "gap between frame and box";
  SendLeave(row->Picture);
  EXPECT_EQ(frameAt(2, 60), QColor(Qt::black));
  // Hovering a label frames the row too.
  SendEnter(row->Labels[0]);
  EXPECT_EQ(frameAt(2, 60), FList.HighLightColor);
  SendLeave(row->Labels[0]);
  FList.SetSelected(0, true);
  EXPECT_EQ(frameAt(2, 60), FList.SelectedColor);
  SendEnter(row->Picture);
  SendLeave(row->Picture);
  SendEnter(row->Labels[1]);
  SendLeave(row->Labels[1]);
  EXPECT_EQ(frameAt(2, 60), FList.SelectedColor) << "hover never repaints the selected frame";
  FList.SetSelected(0, false);
  EXPECT_EQ(frameAt(2, 60), QColor(Qt::black));
}

TEST_F(PhotoListTest, HoveredClickableLabelTakesTheHighlightFontAndGivesItBack) {
  ASSERT_TRUE(Add("a"));
  QLabel* name = FList.GetRow(0)->Labels[1];
  QLabel* number = FList.GetRow(0)->Labels[0];
  SendEnter(name);
  EXPECT_EQ(name->palette().color(QPalette::WindowText), ColorFromBgr(0xECEC1A));
  SendLeave(name);
  EXPECT_EQ(name->palette().color(QPalette::WindowText), QColor(Qt::white));
  FList.SetSelected(0, true);
  SendEnter(name);
  SendLeave(name);
  EXPECT_TRUE(name->font().underline()) << "a selected row's selectable column returns to the selected font";
  SendEnter(number);
  EXPECT_EQ(number->palette().color(QPalette::WindowText), QColor(Qt::white)) << "column 0 is not clickable";
}

TEST_F(PhotoListTest, CheckBoxIsDrawnOnTheLabelLine) {
  ASSERT_TRUE(Add("a", true));
  ASSERT_TRUE(Add("b", false));
  QPoint at = FList.ThumbCheckPos() + QPoint(5, 5);  // (2, 130) plus a few pixels into the box
  EXPECT_EQ(PixelAt(FList.GetRow(0)->Picture->Render(), at.x(), at.y()), kCheckColor);
  EXPECT_EQ(PixelAt(FList.GetRow(1)->Picture->Render(), at.x(), at.y()), kUnCheckColor);
  FList.SetChecked(1, true);
  EXPECT_EQ(PixelAt(FList.GetRow(1)->Picture->Render(), at.x(), at.y()), kCheckColor);
}

// ---- Clicks

struct Recorder {
  std::vector<std::string> events;
  void Attach(TMyListBox& list) {
    list.OnTextClick = [this, &list](QWidget*, int row, int col, void*, const std::string&) {
      events.push_back("click " + std::to_string(row) + "," + std::to_string(col) + " sel " +
                       std::to_string(list.SelectedIndex()));
    };
    list.OnTextDblClick = [this](QWidget*, int row, int col, void*, const std::string&) {
      events.push_back("dblclick " + std::to_string(row) + "," + std::to_string(col));
    };
    list.OnRowChanged = [this](int o, int n) {
      events.push_back("changed " + std::to_string(o) + "->" + std::to_string(n));
    };
  }
};

TEST_F(PhotoListTest, ClickOnALabelSelectsThenReports) {
  ASSERT_TRUE(Add("a"));
  ASSERT_TRUE(Add("b"));
  Recorder rec;
  rec.Attach(FList);
  QTest::mouseClick(FList.GetRow(1)->Labels[3], Qt::LeftButton);
  QTest::mouseClick(FList.GetRow(1)->Labels[0], Qt::LeftButton);  // not clickable
  EXPECT_EQ(rec.events, (std::vector<std::string>{"changed -1->1", "click 1,3 sel 1"}));
  rec.events.clear();
  DoubleClick(FList.GetRow(0)->Labels[1], QPoint(2, 2));
  // The first click of a double-click is a click; the release that ends it is not.
  EXPECT_EQ(rec.events, (std::vector<std::string>{"changed 1->0", "click 0,1 sel 0", "dblclick 0,1"}));
}

TEST_F(PhotoListTest, PictureClicksHitTheCheckBoxOrReportThePictureColumn) {
  ASSERT_TRUE(Add("a"));
  ASSERT_TRUE(Add("b"));
  Recorder rec;
  rec.Attach(FList);
  QWidget* picture = FList.GetRow(1)->Picture;
  // Below the thumbnail box but right of the check box.
  QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(60, 130));
  QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(60, 130));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"click 1,4 sel -1", "changed -1->1"}))
      << "the click event comes before the selection";
  rec.events.clear();
  // On the check box: toggles without an event of its own.
  QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(14, 125 + 16));
  QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(14, 125 + 16));
  EXPECT_TRUE(FList.GetChecked(1));
  EXPECT_TRUE(rec.events.empty());
  // Just outside the hit area (one below its bottom, one right of it).
  QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(14, 125 + 17));
  QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(15, 130));
  EXPECT_TRUE(FList.GetChecked(1));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"click 1,4 sel 1", "click 1,4 sel 1"}));
  rec.events.clear();
  DoubleClick(FList.GetRow(0)->Picture, QPoint(60, 60));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"click 0,4 sel 1", "changed 1->0", "dblclick 0,4"}));
}

// ---- Deleting

TEST_F(PhotoListTest, DeletingMovesLaterRowsUpAndKeepsTheirIndices) {
  for (const char* n : {"a", "b", "c", "d"}) ASSERT_TRUE(Add(n));
  const int height = FList.GetRow(0)->Picture->height() + 10;
  const int nextTop = FList.NextTop();
  const int cY = FList.GetRow(2)->Picture->y(), cLabelY = FList.GetRow(2)->Labels[1]->y();
  FList.SetSelected(3, true);
  FList.DeleteRow(1);
  EXPECT_EQ(FList.Count(), 3);
  EXPECT_EQ(FList.SelectedIndex(), 2) << "a row above the selection was deleted";
  EXPECT_EQ(FList.GetCellText(1, 1), "c");
  EXPECT_EQ(FList.GetRow(1)->Picture->y(), cY - height);
  EXPECT_EQ(FList.GetRow(1)->Labels[1]->y(), cLabelY - height);
  EXPECT_EQ(FList.NextTop(), nextTop - height);
  EXPECT_EQ(FList.LastTag(), 3 * 5 - 1);
  EXPECT_EQ(FList.GetRow(2)->Labels[0]->Tag, 10);
  // The moved row still reports its own index.
  Recorder rec;
  rec.Attach(FList);
  QTest::mouseClick(FList.GetRow(1)->Labels[1], Qt::LeftButton);
  EXPECT_EQ(rec.events, (std::vector<std::string>{"changed 2->1", "click 1,1 sel 1"}));
  // Deleting the selected row leaves nothing selected, without an event.
  rec.events.clear();
  FList.DeleteRow(1);
  EXPECT_EQ(FList.SelectedIndex(), -1);
  EXPECT_TRUE(rec.events.empty());
  // Missing rows are ignored.
  FList.DeleteRow(-1);
  FList.DeleteRow(7);
  EXPECT_EQ(FList.Count(), 2);
  FList.Clear();
  EXPECT_EQ(FList.Count(), 0);
  EXPECT_EQ(FList.NextTop(), 2);
  EXPECT_EQ(FList.LastTag(), -1);
}

TEST_F(PhotoListTest, RowCanBeDeletedFromItsOwnClickHandler) {
  ASSERT_TRUE(Add("a"));
  ASSERT_TRUE(Add("b"));
  FList.OnTextClick = [&](QWidget*, int row, int col, void*, const std::string&) {
    if (col == 3) FList.DeleteRow(row);
  };
  QTest::mouseClick(FList.GetRow(0)->Labels[3], Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(FList.Count(), 1);
  EXPECT_EQ(FList.GetCellText(0, 1), "b");
}

// ---- Wheel and mouse movement

TEST_F(PhotoListTest, WheelScrollsOneLinePerEventAndMovementTakesTheFocus) {
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(Add("row"));
  FList.show();
  QApplication::setActiveWindow(&FList);
  QScrollBar* bar = FList.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 3 * bar->singleStep());
  auto wheel = [&](int delta) {
    QWheelEvent event(QPointF(10, 10), FList.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(FList.viewport(), &event);
  };
  wheel(-120);
  EXPECT_EQ(bar->value(), bar->singleStep());
  wheel(-360);  // a bigger delta is still one line
  EXPECT_EQ(bar->value(), 2 * bar->singleStep());
  wheel(120);
  EXPECT_EQ(bar->value(), bar->singleStep());

  std::vector<QWidget*> senders;
  FList.OnMyMouseMove = [&](QWidget* sender, Qt::KeyboardModifiers, int, int) { senders.push_back(sender); };
  QWidget* label = FList.GetRow(0)->Labels[2];
  QTest::mouseMove(label, QPoint(2, 2));
  QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(label, &move);
  ASSERT_FALSE(senders.empty());
  EXPECT_EQ(senders.back(), label);
  EXPECT_TRUE(FList.hasFocus());
}

// ---- Drags over thumbnail pictures

TEST_F(PhotoListTest, DragsOverAPictureAskTheOwnerAndDropsReportTheRowFile) {
  ASSERT_TRUE(Add("a"));
  QWidget* picture = FList.GetRow(0)->Picture;
  auto* mime = new QMimeData;
  mime->setText("x");
  std::vector<std::string> seen;
  bool answer = false;
  FList.OnDragOver = [&](const std::string& file, QWidget* sender, QObject*, int x, int y, TDragState state,
                         bool& accept) {
    EXPECT_EQ(file, FPhoto);
    EXPECT_EQ(sender, picture);
    seen.push_back((state == TDragState::Enter  ? "enter "
                    : state == TDragState::Move ? "move "
                                                : "leave ") +
                   std::to_string(x) + "," + std::to_string(y));
    accept = answer;
  };
  FList.OnDragDrop = [&](const std::string& file, QWidget*, QObject*, int x, int y) {
    seen.push_back("drop " + file.substr(file.rfind('/') + 1) + " " + std::to_string(x) + "," +
                   std::to_string(y));
  };
  QDragEnterEvent refused(QPoint(20, 30), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(picture, &refused);
  EXPECT_FALSE(refused.isAccepted()) << "the owner said no";
  answer = true;
  QDragEnterEvent enter(QPoint(20, 30), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(picture, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDragMoveEvent move(QPoint(21, 31), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(picture, &move);
  EXPECT_TRUE(move.isAccepted());
  QDragLeaveEvent leave;
  QApplication::sendEvent(picture, &leave);
  QDragEnterEvent again(QPoint(5, 6), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(picture, &again);
  QDropEvent drop(QPointF(22, 32), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(picture, &drop);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter 20,30", "enter 20,30", "move 21,31", "leave 0,0",
                                            "enter 5,6", "drop photo.png 22,32"}));
  delete mime;
}

// ---- Check-box-only lists (the set list)

TEST(MyListBoxCheckBoxOnly, PictureIsTheCheckBoxAndClickToggles) {
  TMyListBox list;
  list.SetColNum(2);
  list.SetColLeft(0, 22);
  list.SetColLeft(1, 148);
  list.SetColClickable(0, true);
  list.SetColClickable(1, true);
  list.SetColSelectable(0, true);
  list.ShowCheckBox = true;
  list.TextBorder = 5;
  list.CheckBmp = Solid(14, 14, kCheckColor);
  list.UnCheckBmp = Solid(14, 14, kUnCheckColor);
  ASSERT_TRUE(list.AddRow({"套系一", "删除"}, "", nullptr, false));
  ASSERT_TRUE(list.AddRow({"套系二", "删除"}, "", nullptr, true));
  const TRowNode* first = list.GetRow(0);
  int tallest = std::max(first->Labels[0]->height(), first->Labels[1]->height());
  EXPECT_EQ(first->Picture->size(), QSize(14, 14));
  EXPECT_EQ(list.GetRow(1)->Picture->pos(), QPoint(5, 2 + tallest + 5));
  EXPECT_EQ(list.NextTop(), 2 + 2 * (tallest + 5));
  EXPECT_EQ(PixelAt(list.GetRow(1)->Picture->Render(), 7, 7), kCheckColor);

  std::vector<int> changed;
  list.OnRowChanged = [&](int, int n) { changed.push_back(n); };
  QTest::mouseClick(first->Picture, Qt::LeftButton, {}, QPoint(7, 7));
  EXPECT_TRUE(list.GetChecked(0));
  EXPECT_EQ(PixelAt(first->Picture->Render(), 7, 7), kCheckColor);
  EXPECT_EQ(changed, std::vector<int>{0}) << "a check-box click selects its row";
  EXPECT_FALSE(list.GetChecked(5));
  list.SetChecked(5, true);  // missing row: nothing
  EXPECT_EQ(list.Count(), 2);
  // Without thumbnails a missing row can be selected like an existing one.
  list.SetSelected(9, true);
  EXPECT_EQ(list.SelectedIndex(), 9);
  list.DeleteRow(0);
  EXPECT_EQ(list.GetRow(0)->Picture->pos(), QPoint(5, 2));
}

TEST(MyListBoxTextOnly, RowsWithoutPicturesNumberOnlyTheirLabels) {
  TMyListBox list;
  list.SetColNum(3);
  list.SetColNum(2);  // shrinking keeps the first entries
  ASSERT_TRUE(list.AddRow({"a", "b", "ignored extra"}, "", nullptr, false));
  ASSERT_TRUE(list.AddRow({"c"}, "", nullptr, false));
  EXPECT_EQ(list.ChildrenPerRow(), 2);
  EXPECT_EQ(list.GetRow(1)->Labels[1]->Tag, 3);
  EXPECT_EQ(list.GetRow(1)->Picture, nullptr);
  EXPECT_EQ(list.GetCellText(1, 1), "") << "missing texts are empty";
  list.SetColClickable(2, true);  // outside the columns: ignored
  EXPECT_FALSE(list.ColClickable(2));
}

// ---- Batches and the controller's adapter

TEST_F(PhotoListTest, PrefetchedBatchIsAddedInOrder) {
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i)
    files.push_back(
        WritePicture(FDir, QString("p%1.jpg").arg(i), 300 + 10 * i, 200, QColor(20 * i, 80, 160)));
  files.insert(files.begin() + 5, FDir.filePath("gone.jpg").toStdString());
  FList.PrefetchThumbnails(files);
  int added = 0;
  for (const std::string& f : files) added += FList.AddRow({"n", f, "0", "删除"}, f, nullptr, false) ? 1 : 0;
  EXPECT_EQ(added, 12);
  for (int i = 0; i < 12; ++i) {
    const TRowNode* row = FList.GetRow(i);
    ASSERT_NE(row, nullptr);
    // Wider than the box's ratio: 140 wide, 200 * 140 / width high.
    EXPECT_EQ(row->Thumb.size(), QSize(140, 28000 / (300 + 10 * i))) << i;
    QColor c = PixelAt(row->Thumb.toImage(), 10, 10);
    EXPECT_NEAR(c.red(), 20 * i, 6) << "row " << i << " holds its own picture";
  }
}

TEST_F(PhotoListTest, AdapterForwardsTheRowListOperations) {
  TMyListBoxRows rows(FList);
  TRowList& view = rows;
  EXPECT_TRUE(view.AddRow({"1", "a", "0", "删除"}, FPhoto, true));
  EXPECT_FALSE(view.AddRow({"2", "b", "0", "删除"}, "/nonexistent/file.jpg", false));
  EXPECT_TRUE(view.AddRow({"2", "c", "0", "删除"}, FPhoto, false));
  EXPECT_EQ(view.Count(), 2);
  EXPECT_TRUE(view.GetChecked(0));
  view.SetChecked(0, false);
  EXPECT_FALSE(view.GetChecked(0));
  view.SetCellText(1, 2, "3/4");
  EXPECT_EQ(view.GetCellText(1, 2), "3/4");
  view.SetSelected(1, true);
  EXPECT_EQ(view.SelectedIndex(), 1);
  view.DeleteRow(0);
  EXPECT_EQ(view.SelectedIndex(), 0);
  view.Clear();
  EXPECT_EQ(view.Count(), 0);
  EXPECT_EQ(view.SelectedIndex(), -1);
}

}  // namespace
}  // namespace tessaro
