// The main window as a widget: its fixed layout, keys reaching the
// controller whatever has the focus, the message timer, the hint line, the
// output-format pair and closing.
#include <QCloseEvent>
#include <QEnterEvent>
#include <QTimerEvent>

#include "app/tests/MainFormTestBase.h"

namespace tessaro::testing {
namespace {

using MainFormLayout = MainFormTest;
using MainFormKeys = MainFormTest;
using MainFormBehaviour = MainFormTest;

TEST_F(MainFormLayout, FixedClientSizeAndControlsAtTheirPlaces) {
  EXPECT_EQ(Window().size(), QSize(1018, 761));
  EXPECT_EQ(Window().minimumSize(), Window().maximumSize()) << "the window is not resizable";

  struct Case {
    const char* Name;
    QRect Rect;  // client coordinates
  } cases[] = {
      {"ImageButtonTemp", {14, 35, 79, 69}},
      {"ImageButtonHelp", {463, 35, 79, 69}},
      {"ImageButtonSingleCreateResult", {753, 41, 77, 57}},
      {"ImageButtonBatchCreateResult", {850, 41, 77, 57}},
      {"ImageButtonPSDFormat", {963, 42, 44, 39}},
      {"ImageButtonJpgFormat", {963, 82, 44, 39}},
      {"PanelLeft", {0, 135, 180, 626}},
      {"ButtonPhoto", {92, 138, 84, 27}},
      {"MyListBoxTemp", {-1, 168, 182, 507}},
      {"ButtonStat", {119, 678, 60, 27}},
      {"PanelSetInfo", {0, 705, 180, 55}},
      {"PanelSmallToolBar", {181, 134, 647, 129}},
      {"MyEditSize", {186, 138, 138, 44}},
      {"ImageButtonInit", {630, 139, 31, 32}},
      {"ButtonCancelEffect", {685, 138, 138, 44}},
      {"NotebookScreen", {181, 264, 648, 432}},
      {"PanelRightToolBar", {830, 133, 190, 627}},
      {"ButtonDelSet", {956, 159, 63, 27}},
      {"MyListBoxSet", {830, 185, 190, 406}},
      {"ButtonResultPhoto", {926, 589, 92, 27}},
      {"NotebookSample", {831, 617, 188, 143}},
      {"PanelCompany", {180, 696, 648, 65}},
  };
  for (const Case& c : cases) EXPECT_EQ(InWindow(Child(c.Name)), c.Rect) << c.Name;

  // Slot buttons: y 48 in the tool bar, each its width plus 5 after the last.
  for (int i = 0; i < kSlotButtonCount; ++i) {
    TImageButton& b = Window().SlotButton(i);
    EXPECT_EQ(InWindow(b).topLeft(), QPoint(181 + i * (b.width() + 5) + 6, 134 + 48)) << "slot " << i + 1;
    EXPECT_FALSE(b.isEnabled()) << "no template yet";
  }
  // The photo list sits one pixel further right and down than the template list.
  Click("ButtonPhoto");
  EXPECT_EQ(InWindow(Window().PhotoList()), QRect(0, 169, 181, 507));
}

TEST_F(MainFormLayout, StartsOnTheTemplatePagesWithJpgOutput) {
  EXPECT_EQ(Window().LeftNotebook().currentIndex(), 0);
  EXPECT_FALSE(Child<QPushButton>("ButtonTemp").icon().isNull()) << "the marker shows the page";
  EXPECT_TRUE(Child<QPushButton>("ButtonPhoto").icon().isNull());
  EXPECT_FALSE(Window().Preview().PhotoPageShown()) << "the preview starts on its template page";
  EXPECT_TRUE(Window().JpgButton().State2());
  EXPECT_FALSE(Window().PsdButton().State2());
  EXPECT_TRUE(Ctl().JpgOutput);
  // Both format buttons show their pictures (the unchosen one too).
  for (TImageButton* b : {&Window().JpgButton(), &Window().PsdButton()}) {
    EXPECT_EQ(b->Picture().size(), QSize(44, 39)) << b->objectName().toStdString();
  }
  EXPECT_EQ(Window().SetInfo().text(), QString::fromUtf8("当前套系：未命名套系"));
  EXPECT_EQ(Window().SetList().Count(), 1);
  EXPECT_GT(Window().SizeMenu().actions().size(), 3) << "the size menu is built from the catalogue";
  EXPECT_EQ(Window().HelpMenu().actions().size(), 2) << "help and version, no web site";
}

TEST_F(MainFormKeys, ShortcutsReachTheControllerWhateverHasTheFocus) {
  Window().SetList().setFocus();
  Key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Window().SetList().Count(), 1) << "Ctrl+N replaces the unnamed set with a new one";
  EXPECT_EQ(Ctl().SetList.size(), 1u);

  Key(Qt::Key_A, Qt::ControlModifier, &Window().TempList());
  for (int i = 0; i < Window().SetList().Count(); ++i) EXPECT_TRUE(Window().SetList().GetChecked(i));

  FDialogs.ExpectBrowse(TTemplateBrowserResult{});  // cancelled
  Key(Qt::Key_F2);
  FDialogs.ExpectOpenPictures(1, {});
  Key(Qt::Key_F3, {}, &Window().PhotoList());
  FDialogs.ExpectOpenSets({});
  Key(Qt::Key_0, Qt::ControlModifier);
  FDialogs.ExpectSaveName("");
  Key(Qt::Key_S, Qt::ControlModifier);
  FDialogs.ExpectSaveName("");
  Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(FDialogs.Script.empty()) << "every scripted dialog was opened by its key";

  Key(Qt::Key_F1);
  ASSERT_EQ(FHelpPages.size(), 1u);
  EXPECT_EQ(FHelpPages[0], Paths().AppDir + "/help/index.html");
}

TEST_F(MainFormKeys, DisabledRowsDoNothingAndOtherKeysPassThrough) {
  // No template: the digit keys' slot buttons are disabled.
  EXPECT_FALSE(Window().HandleKey(TKeyStroke{'1'}));
  EXPECT_EQ(Ctl().CurSlot, -1);
  // Without an engine the composition keys are not wired.
  EXPECT_FALSE(Window().HandleKey(TKeyStroke{kKeyEnter}));
  EXPECT_FALSE(Window().HandleKey(TKeyStroke{kKeyF5}));
  // Plain letters that are no shortcut are left to the focused control.
  EXPECT_FALSE(Window().HandleKey(TKeyStroke{'Q'}));
  EXPECT_FALSE(Window().HandleKey(TKeyStroke{'N'}));
  EXPECT_TRUE(Window().HandleKey(TKeyStroke{'A', true}));
}

TEST_F(MainFormBehaviour, MessageTimerShowsOneQueuedMessagePerTick) {
  QTimer& timer = Window().MessageTimer();
  EXPECT_TRUE(timer.isActive());
  EXPECT_EQ(timer.interval(), 100);
  Ctl().MessageQueue.Post("第一条");
  Ctl().MessageQueue.Post("第二条");
  FDialogs.ExpectInfo("第一条");
  FDialogs.ExpectInfo("第二条");
  auto tick = [&timer] {
    QTimerEvent event(timer.timerId());
    QCoreApplication::sendEvent(&timer, &event);
  };
  tick();
  EXPECT_EQ(FDialogs.Shown.size(), 1u);
  EXPECT_EQ(FDialogs.Script.size(), 1u);
  tick();
  EXPECT_EQ(FDialogs.Shown.size(), 2u);
  tick();
  EXPECT_EQ(FDialogs.Shown.size(), 2u) << "an empty queue shows nothing";
}

TEST_F(MainFormBehaviour, HintLineFollowsTheMouseAndIsCentred) {
  auto enter = [](QWidget& w) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&w, &event);
  };
  auto leave = [](QWidget& w) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&w, &event);
  };
  QLabel& hint = Window().HintLabel();
  enter(Child("ButtonDel"));
  EXPECT_EQ(hint.text().toStdString(), HintText(THintControl::ButtonDel));
  EXPECT_EQ(hint.x(), 1 + (645 - hint.width()) / 2);
  EXPECT_EQ(hint.y(), 102);
  leave(Child("ButtonDel"));
  EXPECT_EQ(hint.text(), "");

  enter(Child("ImageButtonPhotoShop"));
  EXPECT_EQ(hint.text(), QString::fromUtf8("将当前照片转到图像编辑器中编辑，快捷键：F4"));
  // A disabled slot button neither shows its hint nor clears the line.
  enter(Window().SlotButton(3));
  EXPECT_EQ(hint.text(), QString::fromUtf8("将当前照片转到图像编辑器中编辑，快捷键：F4"));
  leave(Window().SlotButton(3));
  EXPECT_FALSE(hint.text().isEmpty());
}

TEST_F(MainFormBehaviour, OutputFormatButtonsAlternate) {
  QTest::mouseClick(&Window().PsdButton(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(Ctl().JpgOutput);
  EXPECT_TRUE(Window().PsdButton().State2());
  EXPECT_FALSE(Window().JpgButton().State2());
  QTest::mouseClick(&Window().PsdButton(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(Ctl().JpgOutput) << "clicking the chosen format keeps it";
  QTest::mouseClick(&Window().JpgButton(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(Ctl().JpgOutput);
  EXPECT_TRUE(Window().JpgButton().State2());
  EXPECT_FALSE(Window().PsdButton().State2());
}

TEST_F(MainFormBehaviour, DeleteWithNothingTickedExplainsPerPage) {
  FDialogs.ExpectInfo(kTickTemplatesFirstText);
  Click("ButtonDel");
  Click("ButtonPhoto");
  EXPECT_EQ(Window().LeftNotebook().currentIndex(), 1);
  EXPECT_TRUE(Child<QPushButton>("ButtonTemp").icon().isNull());
  EXPECT_FALSE(Child<QPushButton>("ButtonPhoto").icon().isNull());
  FDialogs.ExpectInfo(kTickPhotosFirstText);
  Click("ButtonDel");
}

TEST_F(MainFormBehaviour, ClosingWithChangesAsksAndCancelKeepsTheWindow) {
  EXPECT_TRUE(Window().close()) << "no changes: closes without asking";
  Window().show();
  Ctl().Modified = true;
  FDialogs.ExpectYesNoCancel(kSaveSetCaption, kSetChangedQuestion, TAnswer::Cancel);
  EXPECT_FALSE(Window().close());
  FDialogs.ExpectYesNoCancel(kSaveSetCaption, kSetChangedQuestion, TAnswer::No);
  EXPECT_TRUE(Window().close());
}

TEST_F(MainFormBehaviour, SizeMenuItemsApplyTheirSize) {
  QMenu& menu = Window().SizeMenu();
  QAction* custom = nullptr;
  for (QAction* a : menu.actions())
    if (!a->isSeparator()) custom = a;  // the last item opens the custom sizes
  ASSERT_NE(custom, nullptr);
  FDialogs.ExpectCustomSizes([](TSizeNode&, TSizeList&) {});
  custom->trigger();
}

}  // namespace
}  // namespace tessaro::testing
