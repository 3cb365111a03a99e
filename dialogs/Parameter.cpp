#include "dialogs/Parameter.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>
#include <cstdlib>

#include "base/Text.h"
#include "dialogs/DialogLook.h"

namespace tessaro {

namespace {

constexpr int kClientWidth = 443;
// The original 407 plus the image-editor group.
constexpr int kClientHeight = 482;

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QLineEdit* MakeEdit(QWidget* parent, int x, int y, int w) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(x, y, w, 21);
  return edit;
}

// The dialog's text fields: where each stands in the fields record, its edit,
// and how a failed check names it.
struct TTextField {
  std::string TSetFormFields::*Text;
  QLineEdit* TSetForm::*Edit;
  TSetField Field;
};
constexpr TTextField kTextFields[] = {
    {&TSetFormFields::TempPath, &TSetForm::EditTempPath, TSetField::TempPath},
    {&TSetFormFields::Resolution, &TSetForm::EditResolution, TSetField::Resolution},
    {&TSetFormFields::WatermarkFile, &TSetForm::EditWatermarkFile, TSetField::WatermarkFile},
    {&TSetFormFields::MarginH, &TSetForm::EditMarginH, TSetField::MarginH},
    {&TSetFormFields::MarginV, &TSetForm::EditMarginV, TSetField::MarginV},
    {&TSetFormFields::Trans, &TSetForm::EditTrans, TSetField::Trans},
    {&TSetFormFields::Scale, &TSetForm::EditScale, TSetField::Scale},
    {&TSetFormFields::ImageEditor, &TSetForm::EditImageEditor, TSetField::ImageEditor},
};

}  // namespace

TSetForm::TSetForm(QWidget* parent, TAppSettings& settings) : QDialog(parent), FSettings(settings) {
  ApplyDialogLook(*this, QStringLiteral("设置"), kClientWidth, kClientHeight);
  if (const char* path = std::getenv("PATH")) SearchPath = path;

  QGroupBox* tempGroup = MakeGroup(this, QStringLiteral("模板位置"), 16, 40, 369, 73);
  EditTempPath = MakeEdit(tempGroup, 16, 32, 253);
  ButtonBrowseTempPath = MakeButton(tempGroup, QStringLiteral("浏览..."), 275, 29);

  QGroupBox* resGroup = MakeGroup(this, QStringLiteral("输出分辨率"), 16, 128, 369, 73);
  RadioButtonAutoResolution = new QRadioButton(QStringLiteral("自动分辨率"), resGroup);
  RadioButtonAutoResolution->move(16, 26);
  RadioButtonFixResolution = new QRadioButton(QStringLiteral("固定分辨率："), resGroup);
  RadioButtonFixResolution->move(105, 26);
  EditResolution = MakeEdit(resGroup, 204, 24, 65);
  MakeLabel(resGroup, QStringLiteral("象素 / 英寸"), 276, 27);

  CheckBoxWatermark = new QCheckBox(QStringLiteral("店标水印"), this);
  CheckBoxWatermark->move(16, 215);
  QGroupBox* markGroup = MakeGroup(this, QString(), 16, 230, 369, 115);
  CheckBoxWatermark->raise();
  EditWatermarkFile = MakeEdit(markGroup, 16, 20, 253);
  ButtonBrowseWatermark = MakeButton(markGroup, QStringLiteral("浏览..."), 275, 17);
  const int columns[3] = {16, 31, 46};
  const int rows[3] = {46, 62, 77};
  static const char* const kPositionTips[kPositionCount] = {"左上", "上中", "右上", "左中", "居中",
                                                            "右中", "左下", "下中", "右下"};
  for (int code = 0; code < kPositionCount; ++code) {
    auto* button = new QRadioButton(markGroup);
    button->setAutoExclusive(false);  // a position outside 0..8 checks none
    button->setGeometry(columns[code % 3], rows[code / 3], 15, 15);
    button->setToolTip(QString::fromUtf8(kPositionTips[code]));
    PositionButtons[code] = button;
    connect(button, &QRadioButton::clicked, this, [this, code] { PositionClick(code); });
  }
  // A number: its caption at (captionX, y), the edit at editX and its unit
  // after the edit.
  const auto numberField = [markGroup](const QString& caption, int captionX, int editX, int y,
                                       const QString& unit) {
    MakeLabel(markGroup, caption, captionX, y);
    QLineEdit* edit = MakeEdit(markGroup, editX, y - 3, 45);
    MakeLabel(markGroup, unit, editX + 49, y);
    return edit;
  };
  EditMarginH = numberField(QStringLiteral("水平边距："), 80, 142, 50, QStringLiteral("象素"));
  EditMarginV = numberField(QStringLiteral("垂直边距："), 80, 142, 80, QStringLiteral("象素"));
  EditTrans = numberField(QStringLiteral("透明度："), 236, 290, 50, QStringLiteral("%"));
  EditScale = numberField(QStringLiteral("缩    放："), 236, 290, 80, QStringLiteral("%"));

  QGroupBox* editorGroup = MakeGroup(this, QStringLiteral("图片编辑程序（空为系统默认）"), 16, 356, 369, 66);
  EditImageEditor = MakeEdit(editorGroup, 16, 29, 253);
  EditImageEditor->setPlaceholderText(QStringLiteral("例如 gimp"));
  ButtonBrowseEditor = MakeButton(editorGroup, QStringLiteral("浏览..."), 275, 26);

  ButtonOK = MakeButton(this, QStringLiteral("确定"), 195, 436);
  ButtonCancel = MakeButton(this, QStringLiteral("取消"), 305, 436);

  ShowInfo = [this](const std::string& text) { ShowInfoBox(this, text); };
  ChooseFolder = [this](const std::string& start) {
    return S(QFileDialog::getExistingDirectory(this, QStringLiteral("请选择模板所在的文件夹"), Q(start)));
  };
  ChooseWatermarkFile = [this] {
    return S(QFileDialog::getOpenFileName(this, QString(), QString(),
                                          QStringLiteral("所有格式(*.PSD *.PNG *.JPG *.GIF *.BMP *.psd *.png "
                                                         "*.jpg *.gif *.bmp)")));
  };
  ChooseEditorProgram = [this] {
    return S(
        QFileDialog::getOpenFileName(this, QStringLiteral("请选择图片编辑程序"), QStringLiteral("/usr/bin")));
  };

  connect(ButtonOK, &QAbstractButton::clicked, this, &TSetForm::ButtonOKClick);
  connect(ButtonCancel, &QAbstractButton::clicked, this, &TSetForm::ButtonCancelClick);
  connect(ButtonBrowseTempPath, &QAbstractButton::clicked, this, &TSetForm::ButtonBrowseTempPathClick);
  connect(ButtonBrowseWatermark, &QAbstractButton::clicked, this, &TSetForm::ButtonBrowseWatermarkClick);
  connect(ButtonBrowseEditor, &QAbstractButton::clicked, this, &TSetForm::ButtonBrowseEditorClick);
  connect(RadioButtonAutoResolution, &QRadioButton::clicked, this, &TSetForm::RadioButtonAutoResolutionClick);
  connect(RadioButtonFixResolution, &QRadioButton::clicked, this, &TSetForm::RadioButtonFixResolutionClick);
  connect(CheckBoxWatermark, &QCheckBox::clicked, this, &TSetForm::CheckBoxWatermarkClick);
  ButtonOK->setDefault(true);
}

void TSetForm::showEvent(QShowEvent* event) {
  if (!FShown) {
    FShown = true;
    FormShow();
  }
  QDialog::showEvent(event);
}

void TSetForm::FormShow() {
  DropMissingSettingsPaths(FSettings);
  const TSetFormFields f = SettingsToFields(FSettings);
  for (const TTextField& t : kTextFields) (this->*t.Edit)->setText(Q(f.*t.Text));
  if (f.FixResolution)
    RadioButtonFixResolutionClick();
  else
    RadioButtonAutoResolutionClick();
  CheckBoxWatermark->setChecked(f.Watermark);
  for (int code = 0; code < kPositionCount; ++code) PositionButtons[code]->setChecked(f.Positions[code]);
  ApplyWatermarkEnabling();
}

TSetFormFields TSetForm::Fields() const {
  TSetFormFields f;
  for (const TTextField& t : kTextFields) f.*t.Text = S((this->*t.Edit)->text());
  f.FixResolution = RadioButtonFixResolution->isChecked();
  f.Watermark = CheckBoxWatermark->isChecked();
  for (int code = 0; code < kPositionCount; ++code) f.Positions[code] = PositionButtons[code]->isChecked();
  return f;
}

QWidget* TSetForm::FieldWidget(TSetField field) const {
  for (const TTextField& t : kTextFields)
    if (t.Field == field) return this->*t.Edit;
  return nullptr;
}

void TSetForm::ButtonOKClick() {
  const TSetCheck check = StoreSettingsFields(Fields(), FSettings, SearchPath);
  if (!check.Ok()) {
    if (ShowInfo) ShowInfo(check.Message);
    // A disabled margin field cannot take the focus; the message names it.
    if (QWidget* w = FieldWidget(check.Field); w && w->isEnabled()) w->setFocus(Qt::OtherFocusReason);
    return;
  }
  accept();
}

void TSetForm::ButtonCancelClick() { reject(); }

void TSetForm::ButtonBrowseTempPathClick() {
  if (!ChooseFolder) return;
  const std::string folder = ChooseFolder(Trim(S(EditTempPath->text())));
  if (!folder.empty()) EditTempPath->setText(Q(folder));
}

void TSetForm::ButtonBrowseWatermarkClick() {
  if (!ChooseWatermarkFile) return;
  const std::string file = ChooseWatermarkFile();
  if (!file.empty()) EditWatermarkFile->setText(Q(file));
}

void TSetForm::ButtonBrowseEditorClick() {
  if (!ChooseEditorProgram) return;
  const std::string program = ChooseEditorProgram();
  if (program.empty()) return;
  // A path with blanks is quoted so that the command's program part stays whole.
  EditImageEditor->setText(Q(program.find(' ') != std::string::npos ? "\"" + program + "\"" : program));
}

void TSetForm::RadioButtonAutoResolutionClick() {
  RadioButtonAutoResolution->setChecked(true);
  EditResolution->setEnabled(false);
}

void TSetForm::RadioButtonFixResolutionClick() {
  RadioButtonFixResolution->setChecked(true);
  EditResolution->setEnabled(true);
}

void TSetForm::CheckBoxWatermarkClick() { ApplyWatermarkEnabling(); }

void TSetForm::PositionClick(int code) {
  for (int i = 0; i < kPositionCount; ++i) PositionButtons[i]->setChecked(i == code);
  ApplyWatermarkEnabling();
}

void TSetForm::ApplyWatermarkEnabling() {
  const bool on = CheckBoxWatermark->isChecked();
  EditWatermarkFile->setEnabled(on);
  ButtonBrowseWatermark->setEnabled(on);
  for (QRadioButton* b : PositionButtons) b->setEnabled(on);
  EditTrans->setEnabled(on);
  EditScale->setEnabled(on);
  int code = -1;  // no button checked: neither margin is centred
  for (int i = 0; i < kPositionCount; ++i)
    if (PositionButtons[i]->isChecked()) {
      code = i;
      break;
    }
  const TMarginEnabling margins = MarginEnabling(on, code);
  EditMarginH->setEnabled(margins.Horizontal);
  EditMarginV->setEnabled(margins.Vertical);
}

bool ExecSettingsDialog(QWidget* parent, TAppSettings& settings) {
  TSetForm form(parent, settings);
  return form.exec() == QDialog::Accepted;
}

}  // namespace tessaro
