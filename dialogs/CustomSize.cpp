#include "dialogs/CustomSize.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalBlocker>

#include "controls/MainLists.h"
#include "controls/MyListbox.h"
#include "dialogs/DialogLook.h"

namespace tessaro {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

constexpr const char* kDeleteText = "删除";

QComboBox* MakeUnitBox(QWidget* parent, int x, int y) {
  auto* box = new QComboBox(parent);
  for (const char* item : kUnitItems) box->addItem(QString::fromUtf8(item));
  box->setCurrentIndex(kUnitInch);
  box->setGeometry(x, y, 70, 21);
  return box;
}

void ConfigureList(TMyListBox& list) {
  SetLinkFonts(list, ColorFromBgr(0x00FF00), ColorFromBgr(0x00FFFF), ColorFromBgr(0x00FF00));
  list.TextMaxCharLen = 15;
  list.SetColNum(2);
  list.SetColClickable(0, true);
  list.SetColClickable(1, true);
  list.SetColLeft(0, 10);
  list.SetColLeft(1, 185);
  list.SetColSelectable(0, true);
  list.ShowCheckBox = false;
  list.ShowThumbPic = false;
  list.TextBorder = 2;
  list.FocusOnMouseMove = false;
  SetBlackGround(list);
}

}  // namespace

TCustomSizeForm::TCustomSizeForm(QWidget* parent, TSizeList& sizeList)
    : QDialog(parent),
      PixelsPerInch(logicalDpiX() > 0 ? logicalDpiX() : kDefaultPixelsPerInch),
      FSizeList(sizeList) {
  ApplyDialogLook(*this, QStringLiteral("自定义尺寸"), 581, 290);

  MyListBoxCustomSize = new TMyListBox(this);
  MyListBoxCustomSize->setGeometry(11, 39, 233, 249);
  ConfigureList(*MyListBoxCustomSize);
  for (TSizeNode* size : CustomSizes(FSizeList))
    MyListBoxCustomSize->AddRow({size->Name, kDeleteText}, std::string(), size, false);
  MyListBoxCustomSize->OnTextClick = [this](QWidget*, int row, int col, void*, const std::string&) {
    MyListBoxCustomSizeTextClick(row, col);
  };

  MakeLabel(this, QStringLiteral("尺寸名称："), 258, 54);
  EditSizeName = new QLineEdit(this);
  EditSizeName->setGeometry(324, 51, 213, 21);
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(258, 86, 300, 2);

  RadioButtonSingle = new QRadioButton(QStringLiteral("相册尺寸"), this);
  RadioButtonSingle->move(312, 104);
  RadioButtonDouble = new QRadioButton(QStringLiteral("跨页尺寸"), this);
  RadioButtonDouble->move(410, 104);
  RadioButtonSingle->setChecked(true);
  QLabel* note = MakeLabel(this, QStringLiteral("提示：相册宽度×2=跨页宽度"), 312, 128);
  note->setStyleSheet(QStringLiteral("color: #b3020f;"));
  note->adjustSize();  // the style sheet changes the text's extent

  LabelWidth = MakeLabel(this, QStringLiteral("相册宽度："), 258, 155);
  EditWidth = new QLineEdit(this);
  EditWidth->setGeometry(324, 152, 142, 21);
  ComboBoxWidthUnit = MakeUnitBox(this, 472, 152);
  LabelHeight = MakeLabel(this, QStringLiteral("相册高度："), 258, 181);
  EditHeight = new QLineEdit(this);
  EditHeight->setGeometry(324, 178, 142, 21);
  ComboBoxHeightUnit = MakeUnitBox(this, 472, 178);

  ButtonInfo = MakeButton(this, QStringLiteral("尺寸提示"), 264, 224);
  SuiButtonOK = MakeButton(this, QStringLiteral("添加(&A)"), 366, 224);
  SuiButtonClose = MakeButton(this, QStringLiteral("退出(&X)"), 472, 224);
  SuiButtonOK->setDefault(true);

  ShowInfo = [this](const std::string& text) { ShowInfoBox(this, text); };
  ShowTips = [this](const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Information, Q(caption), Q(text), QMessageBox::Ok, this);
    box.exec();
  };

  // The radios' handlers run whenever the choice changes, by a click or by
  // the dialog itself; clicking the checked radio again changes nothing.
  connect(RadioButtonSingle, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButtonSingleClick();
  });
  connect(RadioButtonDouble, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButtonDoubleClick();
  });
  connect(ComboBoxWidthUnit, &QComboBox::currentIndexChanged, this,
          [this] { UnitChanged(ComboBoxWidthUnit, ComboBoxHeightUnit); });
  connect(ComboBoxHeightUnit, &QComboBox::currentIndexChanged, this,
          [this] { UnitChanged(ComboBoxHeightUnit, ComboBoxWidthUnit); });
  connect(ButtonInfo, &QAbstractButton::clicked, this, &TCustomSizeForm::ButtonInfoClick);
  connect(SuiButtonOK, &QAbstractButton::clicked, this, &TCustomSizeForm::SuiButtonOKClick);
  connect(SuiButtonClose, &QAbstractButton::clicked, this, &QDialog::reject);
}

void TCustomSizeForm::UnitChanged(QComboBox* from, QComboBox* to) {
  QSignalBlocker block(to);
  to->setCurrentIndex(from->currentIndex());
}

void TCustomSizeForm::RadioButtonSingleClick() {
  LabelWidth->setText(QString::fromUtf8(kAlbumWidthLabel));
  LabelHeight->setText(QString::fromUtf8(kAlbumHeightLabel));
  EditWidth->setText(Q(SwitchWidthText(S(EditWidth->text()), false)));
}

void TCustomSizeForm::RadioButtonDoubleClick() {
  LabelWidth->setText(QString::fromUtf8(kSpreadWidthLabel));
  LabelHeight->setText(QString::fromUtf8(kSpreadHeightLabel));
  EditWidth->setText(Q(SwitchWidthText(S(EditWidth->text()), true)));
}

void TCustomSizeForm::CheckKind(bool spread) {
  (spread ? RadioButtonDouble : RadioButtonSingle)->setChecked(true);
}

void TCustomSizeForm::MyListBoxCustomSizeTextClick(int row, int col) {
  const TRowNode* node = MyListBoxCustomSize->GetRow(row);
  if (!node) return;
  if (col == 0 && node->P)
    ShowSize(*static_cast<const TSizeNode*>(node->P));
  else if (col == 1)
    DeleteSizeRow(row);
}

void TCustomSizeForm::ShowSize(const TSizeNode& size) {
  const TCustomSizeFields f = CustomSizeToFields(size);
  EditSizeName->setText(Q(f.Name));
  CheckKind(f.Spread);
  // Set after the radio, replacing what its handler wrote.
  EditWidth->setText(Q(f.Width));
  EditHeight->setText(Q(f.Height));
  if (f.WidthUnit >= 0 && f.WidthUnit < ComboBoxWidthUnit->count()) {
    ComboBoxWidthUnit->setCurrentIndex(f.WidthUnit);
    ComboBoxHeightUnit->setCurrentIndex(f.HeightUnit);
  }
}

void TCustomSizeForm::DeleteSizeRow(int row) {
  if (!DeleteCustomSizeRow(FSizeList, row)) return;
  MyListBoxCustomSize->DeleteRow(row);
}

TCustomSizeFields TCustomSizeForm::Fields() const {
  TCustomSizeFields f;
  f.Name = S(EditSizeName->text());
  f.Album = RadioButtonSingle->isChecked();
  f.Spread = RadioButtonDouble->isChecked();
  f.Width = S(EditWidth->text());
  f.Height = S(EditHeight->text());
  f.WidthUnit = ComboBoxWidthUnit->currentIndex();
  f.HeightUnit = ComboBoxHeightUnit->currentIndex();
  return f;
}

void TCustomSizeForm::ButtonInfoClick() {
  if (ShowTips) ShowTips(kSizeTipsCaption, SizeTipsText());
}

void TCustomSizeForm::SuiButtonOKClick() {
  TCustomSizeCheck check;
  TSizeNode* added = AddCustomSize(Fields(), FSizeList, check, PixelsPerInch);
  if (!added) {
    if (ShowInfo) ShowInfo(check.Message);
    if (check.CheckAlbumRadio) CheckKind(false);
    QWidget* focus = nullptr;
    if (check.Focus == TSizeField::Name) focus = EditSizeName;
    if (check.Focus == TSizeField::Width) focus = EditWidth;
    if (check.Focus == TSizeField::Height) focus = EditHeight;
    if (focus) focus->setFocus(Qt::OtherFocusReason);
    return;
  }
  MyListBoxCustomSize->AddRow({added->Name, kDeleteText}, std::string(), added, false);
}

void ExecCustomSizeDialog(QWidget* parent, TSizeList& sizeList) {
  TCustomSizeForm form(parent, sizeList);
  form.exec();
}

}  // namespace tessaro
