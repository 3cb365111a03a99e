// The main window's widget-free rules: hints, the shortcut table with its
// enabled checks, page markers and the pop-up menu origin.
#include "model/MainWindow.h"

#include <gtest/gtest.h>

#include <set>

namespace tessaro {
namespace {

TEST(MainWindowHints, EveryControlHasItsOwnNonEmptyHint) {
  std::set<std::string> seen;
  for (int i = 0; i < kHintControlCount; ++i) {
    const std::string text = HintText(static_cast<THintControl>(i));
    EXPECT_FALSE(text.empty()) << "control " << i;
    EXPECT_TRUE(seen.insert(text).second) << "hint of control " << i << " repeats another: " << text;
  }
}

TEST(MainWindowHints, ShortcutsNamedInHintsAndNoProductNameForTheEditor) {
  struct Case {
    THintControl Control;
    const char* Shortcut;
  } cases[] = {
      {THintControl::ImageButtonTemp, "F2"},
      {THintControl::ImageButtonPhoto, "F3"},
      {THintControl::ImageButtonPreviewSingle, "Enter"},
      {THintControl::ImageButtonSingleCreateResult, "F5"},
      {THintControl::ImageButtonBatchCreateResult, "F8"},
      {THintControl::ButtonNewSet, "Ctrl+N"},
      {THintControl::ButtonSaveSet, "Ctrl+S"},
      {THintControl::ButtonSaveAsSet, "Ctrl+Shift+S"},
      {THintControl::ButtonLoadSet, "Ctrl+0"},
      {THintControl::ButtonSelectAllSet, "Ctrl+A"},
      {THintControl::ImageButtonPhotoShop, "F4"},
      {THintControl::ImageButtonRotateLeft90, "Ctrl+L"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(std::string(HintText(c.Control)).find(c.Shortcut), std::string::npos) << c.Shortcut;
  }
  for (int i = 0; i < kHintControlCount; ++i) {
    EXPECT_EQ(std::string(HintText(static_cast<THintControl>(i))).find("Photoshop"), std::string::npos);
  }
  EXPECT_EQ(std::string(HintText(THintControl::ImageButtonPhotoShop)),
            "将当前照片转到图像编辑器中编辑，快捷键：F4");
}

TEST(MainWindowHints, SlotHintNamesTheSlotNumberTwice) {
  EXPECT_EQ(SlotHint(0), "选择第1张照片，快捷键：1");
  EXPECT_EQ(SlotHint(9), "选择第10张照片，快捷键：10");
}

TEST(MainWindowHints, CentringTruncatesTowardsZero) {
  struct Case {
    int Bar, Label, Left;
  } cases[] = {{645, 300, 172}, {645, 301, 172}, {645, 645, 0},
               {645, 700, -27}, {645, 0, 322},   {100, 103, -1}};
  for (const Case& c : cases) EXPECT_EQ(CenteredHintLeft(c.Bar, c.Label), c.Left) << c.Bar << " " << c.Label;
}

TEST(MainWindowHints, SlotButtonsShowAndClearOnlyWhileEnabled) {
  THintLine line;
  line.Enter(THintControl::ButtonDel);
  EXPECT_EQ(line.Text(), "删除当前选中的模板");
  line.EnterSlot(2, /*enabled=*/false);  // a disabled button shows nothing new
  EXPECT_EQ(line.Text(), "删除当前选中的模板");
  line.LeaveSlot(/*enabled=*/false);  // nor clears the line
  EXPECT_EQ(line.Text(), "删除当前选中的模板");
  line.EnterSlot(2, true);
  EXPECT_EQ(line.Text(), "选择第3张照片，快捷键：3");
  line.LeaveSlot(true);
  EXPECT_EQ(line.Text(), "");
  line.Enter(THintControl::ButtonStat);
  line.Leave();
  EXPECT_EQ(line.Text(), "");
}

TKeyStroke Key(int code, bool ctrl = false, bool shift = false, bool alt = false, bool keypad = false) {
  return TKeyStroke{code, ctrl, shift, alt, keypad};
}

TEST(MainWindowKeys, ShortcutTableFirstMatchWins) {
  struct Case {
    TKeyStroke Stroke;
    TKeyCommand Command;
    int Slot;
  } cases[] = {
      {Key(kKeyF1), TKeyCommand::Help, -1},
      {Key(kKeyF2), TKeyCommand::ImportTemplates, -1},
      {Key(kKeyF2, true, true, true), TKeyCommand::ImportTemplates, -1},
      {Key(kKeyF3, true), TKeyCommand::ImportPhotos, -1},
      {Key(kKeyEnter), TKeyCommand::PreviewSingle, -1},
      {Key(kKeyEnter, false, true), TKeyCommand::BatchPreview, -1},
      {Key(kKeyEnter, true, true), TKeyCommand::PreviewSingle, -1},  // not exactly Shift
      {Key(kKeyEnter, false, false, false, true), TKeyCommand::PreviewSingle, -1},
      {Key(kKeyF4), TKeyCommand::EditPhoto, -1},
      {Key(kKeyF5), TKeyCommand::SingleResult, -1},
      {Key(kKeyF8), TKeyCommand::BatchResult, -1},
      {Key(kKeyF6), TKeyCommand::None, -1},
      {Key('L', true), TKeyCommand::RotateLeft90, -1},
      {Key('L', true, true), TKeyCommand::RotateLeft1, -1},
      {Key('L'), TKeyCommand::RotateLeft1, -1},
      {Key('R', true), TKeyCommand::RotateRight90, -1},
      {Key('R', false, false, true), TKeyCommand::RotateRight1, -1},
      {Key('H', true), TKeyCommand::FlipH, -1},
      {Key('Z'), TKeyCommand::ResetPhoto, -1},
      {Key('N', true), TKeyCommand::NewSet, -1},
      {Key('N'), TKeyCommand::None, -1},
      {Key('N', true, true), TKeyCommand::None, -1},
      {Key('S', true), TKeyCommand::SaveSet, -1},
      {Key('S', true, true), TKeyCommand::SaveSetAs, -1},
      {Key('S', true, true, true), TKeyCommand::None, -1},
      {Key('S'), TKeyCommand::None, -1},
      {Key('A', true), TKeyCommand::SelectAllSets, -1},
      {Key('A'), TKeyCommand::None, -1},
      {Key('0', true), TKeyCommand::LoadSet, -1},
      {Key('0'), TKeyCommand::SelectSlot, 9},
      {Key('0', true, true), TKeyCommand::SelectSlot, 9},
      {Key('1'), TKeyCommand::SelectSlot, 0},
      {Key('9', false, true), TKeyCommand::SelectSlot, 8},
      {Key('5', false, false, false, true), TKeyCommand::None, -1},  // keypad digit
      {Key(kKeyPlus), TKeyCommand::ZoomIn, -1},
      {Key(kKeyPlus, false, false, false, true), TKeyCommand::None, -1},
      {Key(kKeyMinus), TKeyCommand::ZoomOut, -1},
  };
  for (const Case& c : cases) {
    const TKeyAction a = MapKey(c.Stroke);
    EXPECT_EQ(a.Command, c.Command) << "key " << c.Stroke.Code << " ctrl " << c.Stroke.Ctrl << " shift "
                                    << c.Stroke.Shift;
    if (c.Command == TKeyCommand::SelectSlot) {
      EXPECT_EQ(a.Slot, c.Slot) << "key " << c.Stroke.Code;
    }
  }
  const TKeyAction up = MapKey(Key(kKeyUp));
  EXPECT_EQ(up.Command, TKeyCommand::Nudge);
  EXPECT_EQ(std::make_pair(up.Dx, up.Dy), std::make_pair(0, -1));
  const TKeyAction right = MapKey(Key(kKeyRight));
  EXPECT_EQ(std::make_pair(right.Dx, right.Dy), std::make_pair(1, 0));
}

TEST(MainWindowKeys, CommandsActOnlyWhileTheirButtonIsEnabled) {
  TWindowState none;
  TWindowState threeSlots;
  threeSlots.HasTemplate = true;
  threeSlots.SlotCount = 3;
  TWindowState editing = threeSlots;
  editing.HasSlot = true;
  editing.PreviewEditing = true;
  TWindowState composing;
  composing.ComposeAvailable = true;
  TWindowState modal = editing;
  modal.ComposeAvailable = true;
  modal.ModalOpen = true;
  TWindowState elevenSlots = threeSlots;
  elevenSlots.SlotCount = 11;

  auto slot = [](int i) { return TKeyAction{TKeyCommand::SelectSlot, i, 0, 0}; };
  auto cmd = [](TKeyCommand c) { return TKeyAction{c, -1, 0, 0}; };
  struct Case {
    TKeyAction Action;
    const TWindowState* State;
    bool Enabled;
  } cases[] = {
      {slot(0), &none, false},
      {slot(2), &threeSlots, true},
      {slot(3), &threeSlots, false},
      {slot(9), &elevenSlots, true},
      {slot(10), &elevenSlots, false},
      {slot(-1), &threeSlots, false},
      {cmd(TKeyCommand::FlipH), &threeSlots, false},
      {cmd(TKeyCommand::FlipH), &editing, true},
      {cmd(TKeyCommand::Nudge), &editing, true},
      {cmd(TKeyCommand::PreviewSingle), &editing, false},
      {cmd(TKeyCommand::PreviewSingle), &composing, true},
      {cmd(TKeyCommand::EditPhoto), &composing, true},
      {cmd(TKeyCommand::ImportTemplates), &none, true},
      {cmd(TKeyCommand::SaveSetAs), &none, true},
      {cmd(TKeyCommand::None), &editing, false},
      {cmd(TKeyCommand::ImportTemplates), &modal, false},
      {cmd(TKeyCommand::FlipV), &modal, false},
  };
  int i = 0;
  for (const Case& c : cases) EXPECT_EQ(CommandEnabled(c.Action, *c.State), c.Enabled) << "case " << i++;
}

TEST(MainWindowPages, MarkerFollowsTheShownPage) {
  EXPECT_TRUE(LeftPageMarkers(false).First);
  EXPECT_FALSE(LeftPageMarkers(false).Second);
  EXPECT_TRUE(LeftPageMarkers(true).Second);
  EXPECT_FALSE(LeftPageMarkers(true).First);
  EXPECT_TRUE(SamplePageMarkers(TSamplePage::Sample).First);
  EXPECT_FALSE(SamplePageMarkers(TSamplePage::Sample).Second);
  EXPECT_TRUE(SamplePageMarkers(TSamplePage::Result).Second);
  EXPECT_FALSE(SamplePageMarkers(TSamplePage::Result).First);
}

TEST(MainWindowMenus, PopupOpensTwoRightAndEightAboveTheBottom) {
  const TMenuOrigin help = PopupMenuOrigin(463, 35, 69);
  EXPECT_EQ(help.X, 465);
  EXPECT_EQ(help.Y, 96);
  const TMenuOrigin size = PopupMenuOrigin(5, 4, 44);
  EXPECT_EQ(size.X, 7);
  EXPECT_EQ(size.Y, 40);
}

}  // namespace
}  // namespace tessaro
