#include "controls/MainLists.h"

#include <QPalette>

#include "controls/Look.h"
#include "controls/MyListbox.h"
#include "controls/Skin.h"

namespace tessaro {

void ConfigureMainList(TMyListBox& list, TMainListKind kind, int maxChars, int nameColumnLeft) {
  const bool setList = kind == TMainListKind::Sets;
  list.Font = TFontSpec{ListFont(9), Qt::white};
  SetLinkFonts(list, setList ? ColorFromBgr(0x00FF00) : QColor(Qt::white),
               ColorFromBgr(setList ? 0x319CFF : 0xECEC1A), ColorFromBgr(setList ? 0x00FF00 : 0x0F02B3));
  list.TextMaxCharLen = maxChars;
  list.ImageColor = ColorFromBgr(0);
  list.ThumbBackground = ColorFromBgr(0);
  list.SelectedColor = ColorFromBgr(0x0F02B3);
  list.HighLightColor = ColorFromBgr(0xECEC1A);
  list.ShowCheckBox = true;
  list.ImageBorder = 10;
  list.TextBorder = 5;
  list.CheckBmp = SkinImage("check_on");
  list.UnCheckBmp = SkinImage("check_off");
  if (setList) {
    list.SetColNum(2);
    list.SetColLeft(0, 22);
    list.SetColLeft(1, 148);
    list.SetColClickable(0, true);
    list.SetColClickable(1, true);
    list.SetColSelectable(0, true);
  } else {
    list.SetColNum(4);
    const int lefts[] = {22, 38, nameColumnLeft, 125};
    for (int j = 0; j < 4; ++j) list.SetColLeft(j, lefts[j]);
    list.SetColClickable(1, true);
    list.SetColClickable(3, true);
    list.SetColSelectable(1, true);
    list.ShowThumbPic = true;
    list.ThumbLeft = list.ThumbTop = 5;
    list.ThumbWidth = 140;
    list.ThumbHeight = 120;
    list.ImageWidth = 150;
  }
  SetBlackGround(list);
}

void SetLinkFonts(TMyListBox& list, const QColor& normal, const QColor& highLight, const QColor& selected) {
  list.NormalFont = TFontSpec{ListFont(9), normal};
  list.HighLightFont = TFontSpec{ListFont(9), highLight};
  QFont underlined = ListFont(9);
  underlined.setUnderline(true);
  list.SelectedFont = TFontSpec{underlined, selected};
}

void SetBlackGround(TMyListBox& list) {
  QPalette palette = list.palette();
  palette.setColor(QPalette::Window, Qt::black);
  list.setPalette(palette);
  list.setAutoFillBackground(true);
  list.widget()->setAutoFillBackground(true);
  list.widget()->setPalette(palette);
  list.setFrameShape(QFrame::NoFrame);
}

}  // namespace tessaro
