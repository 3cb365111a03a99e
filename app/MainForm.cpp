// The main window's construction: every region and control at its place, the
// lists configured, the controller created on the window's views and every
// event wired to it. Behaviour lives in MainFormViews.cpp.
#include "app/MainForm.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QPainter>

#include "app/MainFormSkin.h"
#include "controls/MainLists.h"
#include "controls/Skin.h"

namespace tessaro {

namespace {

const char* kHintProperty = "tessaroHint";

// Skinned push buttons: a dark raised face, cyan when the mouse is over it.
const char* kButtonStyle =
    "QPushButton { color: #f2f4f7; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4a525e, "
    "stop:1 #2e343d); border: 1px solid #15181c; border-radius: 3px; padding: 0 2px; }"
    "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5a6574, stop:1 "
    "#38404b); "
    "border-color: #1aecec; }"
    "QPushButton:pressed { background: #1c2026; }"
    "QPushButton:disabled { color: #70767e; background: #2a2e34; }";

const char* kScrollStyle =
    "QScrollBar:vertical { background: #111418; width: 12px; margin: 0; }"
    "QScrollBar::handle:vertical { background: #3d4550; border-radius: 4px; min-height: 24px; margin: 2px; }"
    "QScrollBar::handle:vertical:hover { background: #1aecec; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";

QWidget* Panel(QWidget* parent, const char* name, QRect rect, const QColor& color) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  panel->setGeometry(rect);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, color);
  panel->setPalette(palette);
  return panel;
}

QLabel* Caption(QWidget* parent, const QString& text, QRect rect) {
  auto* label = new QLabel(text, parent);
  QFont font = ListFont(9);
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet("color: white;");
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(rect);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
  setObjectName("MainForm");
  setWindowTitle("Tessaro");
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
  setPalette(palette);
  QFont tahoma("Tahoma", 8);
  tahoma.setFamilies({"Tahoma", "DejaVu Sans", "WenQuanYi Micro Hei"});
  setFont(tahoma);
  setStyleSheet(QString(kScrollStyle));

  BuildTitleAndBanner();
  BuildLeftPanel();
  BuildMiddleToolBar();
  BuildRightPanel();
  BuildBottomBanner();
}

void TMainForm::Attach(const TMainFormServices& services) {
  Q_ASSERT(!FController);
  FServices = std::make_unique<TMainFormServices>(services);
  FTempRows = std::make_unique<TMyListBoxRows>(*FTempList);
  FPhotoRows = std::make_unique<TMyListBoxRows>(*FPhotoList);
  FSetRows = std::make_unique<TMyListBoxRows>(*FSetList);
  TRowList* statList = FServices->StatList;
  if (!statList) {
    FStatFallback = new TMyListBox(this);
    FStatFallback->hide();
    FStatFallback->SetColNum(5);
    FStatRows = std::make_unique<TMyListBoxRows>(*FStatFallback);
    statList = FStatRows.get();
  }
  FDialogs = std::make_unique<TPrefetchingDialogs>(FServices->Dialogs, *FPhotoRows);
  TViews views{*FTempRows,       *FPhotoRows,         *FSetRows,       *statList,
               *FDialogs,        FServices->Progress, *this,           *this,
               FServices->Clock, FServices->Desktop,  FServices->Power};
  FController = std::make_unique<TMainController>(views, FServices->Paths);

  // The preview screen (its "Photo" and "Template" pages) and the sample
  // panel draw what the controller asks through this window.
  FPreview = new TPreviewScreen(this, *FController);
  FPreview->setObjectName("NotebookScreen");
  FPreview->setGeometry(kScreenRect);
  QPalette dark = FPreview->palette();
  dark.setColor(QPalette::Window, QColor(0x0d, 0x0f, 0x12));
  FPreview->setPalette(dark);
  FPreview->setAutoFillBackground(true);
  // Cursor 101: the rotate cursor over the handle frame's corners.
  FPreview->Canvas()->RegisterCursor(101, RotateCursor());
  // The print quality of the photo shown fills the hint line while no
  // control's hint is up.
  connect(FPreview, &TPreviewScreen::PrintQualityChanged, this, [this](const QString& text, bool) {
    FPrintQuality = text.toStdString();
    if (FHint.Text().empty()) ShowHint(FPrintQuality);
  });
  FPreview->show();
  FSamplePanel = new TSamplePanel(FRightPanel, *FController);
  FSamplePanel->setObjectName("NotebookSample");
  FSamplePanel->setGeometry(1, 484, 188, 143);
  FSamplePanel->setStyleSheet("background: #0d0f12;");
  FSamplePanel->show();
  if (FServices->Compose) SetComposeService(*FServices->Compose);

  // The 100 ms message timer: at most one queued worker message per tick.
  FMessageTimer = new QTimer(this);
  FMessageTimer->setInterval(100);
  connect(FMessageTimer, &QTimer::timeout, this, [this] { FController->TimerGetSerMsg(); });
  FMessageTimer->start();

  WireEvents();
  // The window previews every key before the control with the focus.
  qApp->installEventFilter(this);
}

TMainForm::~TMainForm() { Shutdown(); }

void TMainForm::Shutdown() {
  if (!FController || FShutDown) return;
  FShutDown = true;
  qApp->removeEventFilter(this);
  FMessageTimer->stop();
  // Saves the configuration, releases sizes and sets, removes the working
  // folder; the slot buttons and lists go with the widgets afterwards.
  FController->Shutdown();
  // The preview holds the controller: it goes before the controller does.
  delete FPreview;
  FPreview = nullptr;
  delete FSamplePanel;
  FSamplePanel = nullptr;
}

void TMainForm::Start() {
  FController->Start();
  ChooseFormat(true);
  ShowSample("");
  ShowTemplatePage();
}

// ---------------------------------------------------------------------------
// Regions

void TMainForm::BuildTitleAndBanner() {
  auto* title = new TPaintedPanel(this, PaintTitleStrip);
  title->setObjectName("TitleStrip");
  title->setGeometry(0, 0, kClientWidth, 32);
  auto* banner = new TPaintedPanel(this, PaintBanner);
  banner->setObjectName("Image2");
  banner->setGeometry(0, 32, 1026, 98);

  struct Big {
    const char* Name;
    int Icon;
    int X;
    const char* Caption;
    THintControl Hint;
  } big[] = {
      {"ImageButtonTemp", kIconTemplates, 14, "导入模板", THintControl::ImageButtonTemp},
      {"ImageButtonPhoto", kIconPhotos, 103, "导入照片", THintControl::ImageButtonPhoto},
      {"ImageButtonPreviewSingle", kIconPreview, 193, "单张预览", THintControl::ImageButtonPreviewSingle},
      {"ImageButtonBatchPreview", kIconBatchPreview, 283, "批量预览", THintControl::ImageButtonBatchPreview},
      {"suiImageButtonSet", kIconSettings, 373, "设置", THintControl::ImageButtonSet},
      {"ImageButtonHelp", kIconHelp, 463, "帮助", THintControl::ImageButtonHelp},
  };
  for (const Big& b : big) {
    TPictureButton* button = MakePictureButton(this, b.Name, b.Icon, QRect(b.X, 35, 79, 69));
    SetHint(button, b.Hint);
    Caption(this, QString::fromUtf8(b.Caption), QRect(b.X - 6, 108, 91, 18));
  }
  FHelpButton = findChild<QWidget*>("ImageButtonHelp");
  TPictureButton* single =
      MakePictureButton(this, "ImageButtonSingleCreateResult", kIconCompose, {753, 41, 77, 57});
  SetHint(single, THintControl::ImageButtonSingleCreateResult);
  TPictureButton* batch =
      MakePictureButton(this, "ImageButtonBatchCreateResult", kIconBatchCompose, {850, 41, 77, 57});
  SetHint(batch, THintControl::ImageButtonBatchCreateResult);
  Caption(this, QString::fromUtf8("单张自动套版"), QRect(742, 100, 97, 18));
  Caption(this, QString::fromUtf8("批量自动套版"), QRect(839, 100, 97, 18));

  FPsdButton = new TImageButton(this);
  FPsdButton->setObjectName("ImageButtonPSDFormat");
  FJpgButton = new TImageButton(this);
  FJpgButton->setObjectName("ImageButtonJpgFormat");
  for (TImageButton* button : {FPsdButton, FJpgButton}) {
    const bool jpg = button == FJpgButton;
    button->AutoSize = true;
    button->TransValue = 120;
    button->MouseOnRectColor = ColorFromBgr(0xFFFFFF);
    button->SetBmpNormal(SkinImage(jpg ? "format_jpg_off" : "format_psd_off", QSize(44, 39)));
    button->SetBmpState2Normal(SkinImage(jpg ? "format_jpg_on" : "format_psd_on", QSize(44, 39)));
    button->setGeometry(963, jpg ? 82 : 42, 44, 39);
    // A state change draws the new base pictures.
    button->setEnabled(false);
    button->setEnabled(true);
    button->setCursor(Qt::PointingHandCursor);
    SetHint(button, jpg ? THintControl::ImageButtonJpgFormat : THintControl::ImageButtonPSDFormat);
  }
}

void TMainForm::BuildLeftPanel() {
  FLeftPanel = Panel(this, "PanelLeft", QRect(0, 135, 180, 626), Qt::black);
  FLeftNotebook = new QStackedWidget(FLeftPanel);
  FLeftNotebook->setObjectName("NotebookPanel");
  FLeftNotebook->setGeometry(0, 0, 180, 537);
  auto* tempPage = new QWidget;
  tempPage->setObjectName("Template");
  auto* photoPage = new QWidget;
  photoPage->setObjectName("Photo");
  FLeftNotebook->addWidget(tempPage);
  FLeftNotebook->addWidget(photoPage);
  FTempList = new TMyListBox(tempPage);
  FTempList->setObjectName("MyListBoxTemp");
  FTempList->setGeometry(-1, 33, 182, 507);
  ConfigureMainList(*FTempList, TMainListKind::Thumbnails, 9);
  FPhotoList = new TMyListBox(photoPage);
  FPhotoList->setObjectName("MyListBoxPhoto");
  FPhotoList->setGeometry(0, 34, 181, 507);
  ConfigureMainList(*FPhotoList, TMainListKind::Thumbnails, 10, 108);

  FButtonTemp = MakeButton(FLeftPanel, "ButtonTemp", QString::fromUtf8("模板"), {2, 3, 84, 27});
  FButtonPhoto = MakeButton(FLeftPanel, "ButtonPhoto", QString::fromUtf8("照片"), {92, 3, 84, 27});
  SetHint(FButtonTemp, THintControl::ButtonTemp);
  SetHint(FButtonPhoto, THintControl::ButtonPhoto);
  SetHint(MakeButton(FLeftPanel, "ButtonSelectAll", QString::fromUtf8("全部选中"), {1, 543, 60, 27}),
          THintControl::ButtonSelectAll);
  SetHint(MakeButton(FLeftPanel, "ButtonDel", QString::fromUtf8("删除"), {60, 543, 60, 27}),
          THintControl::ButtonDel);
  SetHint(MakeButton(FLeftPanel, "ButtonStat", QString::fromUtf8("照片统计"), {119, 543, 60, 27}),
          THintControl::ButtonStat);

  FSetInfo = new QLabel(FLeftPanel);
  FSetInfo->setObjectName("PanelSetInfo");
  FSetInfo->setGeometry(0, 570, 180, 55);
  FSetInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  FSetInfo->setFont(ListFont(9));
  FSetInfo->setAlignment(Qt::AlignCenter);
  FSetInfo->setWordWrap(true);
  FSetInfo->setStyleSheet("QLabel { color: #00ff00; background: #0b0d10; border: 1px solid #2a2f36; }");
}

void TMainForm::BuildMiddleToolBar() {
  FMidBar = Panel(this, "PanelSmallToolBar", QRect(181, 134, 647, 129), Qt::black);
  auto* bar = new TPaintedPanel(FMidBar, PaintMidBar);
  bar->setObjectName("ImageMidBar");
  bar->setGeometry(1, 2, kMidBarWidth, 126);

  FSizeEdit = new TMyEdit(FMidBar);
  FSizeEdit->setObjectName("MyEditSize");
  FSizeEdit->setGeometry(5, 4, 138, 44);
  FSizeEdit->SetColor(ColorFromBgr(0x808080));
  FSizeEdit->SetBKBmp(SkinImage("edit_strip", QSize(1, 44)));
  FSizeEdit->SetBKBmp2(SkinImage("edit_strip_pressed", QSize(1, 44)));
  FSizeEdit->SetFont(TFontSpec{ListFont(9), Qt::black});
  FSizeEdit->setCursor(Qt::PointingHandCursor);
  SetHint(FSizeEdit, THintControl::MyEditSize);

  struct Tool {
    const char* Name;
    int Icon;
    int X;
    THintControl Hint;
  } tools[] = {
      {"ImageButtonPhotoShop", kIconEditor, 170, THintControl::ImageButtonPhotoShop},
      {"ImageButtonZoomIn", kIconZoomIn, 201, THintControl::ImageButtonZoomIn},
      {"ImageButtonZoomOut", kIconZoomOut, 233, THintControl::ImageButtonZoomOut},
      {"ImageButtonFlipH", kIconFlipH, 263, THintControl::ImageButtonFlipH},
      {"ImageButtonFlipV", kIconFlipV, 294, THintControl::ImageButtonFlipV},
      {"ImageButtonRotateLeft90", kIconRotateLeft90, 325, THintControl::ImageButtonRotateLeft90},
      {"ImageButtonRotateRight90", kIconRotateRight90, 357, THintControl::ImageButtonRotateRight90},
      {"ImageButtonRotateLeft1", kIconRotateLeft1, 388, THintControl::ImageButtonRotateLeft1},
      {"ImageButtonRotateRight1", kIconRotateRight1, 418, THintControl::ImageButtonRotateRight1},
      {"ImageButtonInit", kIconReset, 449, THintControl::ImageButtonInit},
  };
  for (const Tool& t : tools) SetHint(MakePictureButton(FMidBar, t.Name, t.Icon, {t.X, 5, 31, 32}), t.Hint);
  FButtonCancelEffect =
      MakeButton(FMidBar, "ButtonCancelEffect", QString::fromUtf8("取消照片特效"), {504, 4, 138, 44});
  SetHint(FButtonCancelEffect, THintControl::ButtonCancelEffect);

  QFont arial("Liberation Sans", 10, QFont::Bold);
  arial.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
  for (int i = 0; i < kSlotButtonCount; ++i) {
    auto* button = new TImageButton(FMidBar);
    button->setObjectName(QString("SlotButton%1").arg(i + 1));
    button->Text = std::to_string(i + 1);
    button->TextTop = 7;
    button->TextLeft = i == 9 ? 9 : 12;
    button->Font = TFontSpec{arial, Qt::white};
    button->AutoSize = true;
    button->MouseOnRectColor = ColorFromBgr(0xFFFFFF);
    button->InvalidColor = ColorFromBgr(0);
    button->InvalidTransValue = 0;
    button->TransValue = 120;
    button->CheckedRectColor = ColorFromBgr(0xC0C0C0);
    button->SetBmpNormal(SkinImage("slot_opaque_empty"));
    button->SetBmpState2Normal(SkinImage("slot_opaque_photo"));
    button->setEnabled(false);
    button->setCursor(Qt::PointingHandCursor);
    const int width = button->BmpNormal().width();
    button->move(i * (width + 5) + 6, 48);
    FSlotButtons[i] = button;
    FSlotOpaque[i] = true;
  }

  FHintLabel = new QLabel(FMidBar);
  FHintLabel->setObjectName("LabelHint");
  FHintLabel->setStyleSheet("color: white;");
  QFont hintFont("Tahoma", 8);
  hintFont.setFamilies({"Tahoma", "WenQuanYi Micro Hei", "DejaVu Sans"});
  FHintLabel->setFont(hintFont);
  FHintLabel->move(0, 102);
  ShowHint("");
}

void TMainForm::BuildRightPanel() {
  FRightPanel = Panel(this, "PanelRightToolBar", QRect(830, 133, 190, 627), Qt::black);
  struct SetButton {
    const char* Name;
    const char* Caption;
    QRect Rect;
    THintControl Hint;
  } buttons[] = {
      {"ButtonNewSet", "新建套系", {0, -1, 63, 27}, THintControl::ButtonNewSet},
      {"ButtonSaveSet", "保存套系", {63, -1, 63, 27}, THintControl::ButtonSaveSet},
      {"ButtonSaveAsSet", "另存为", {126, -1, 63, 27}, THintControl::ButtonSaveAsSet},
      {"ButtonLoadSet", "导入套系", {0, 26, 63, 27}, THintControl::ButtonLoadSet},
      {"ButtonSelectAllSet", "全部选中", {63, 26, 63, 27}, THintControl::ButtonSelectAllSet},
      {"ButtonDelSet", "删除套系", {126, 26, 63, 27}, THintControl::ButtonDelSet},
  };
  for (const SetButton& b : buttons)
    SetHint(MakeButton(FRightPanel, b.Name, QString::fromUtf8(b.Caption), b.Rect), b.Hint);

  FSetList = new TMyListBox(FRightPanel);
  FSetList->setObjectName("MyListBoxSet");
  FSetList->setGeometry(0, 52, 190, 406);
  ConfigureMainList(*FSetList, TMainListKind::Sets, 18);

  FButtonSample = MakeButton(FRightPanel, "ButtonSample", QString::fromUtf8("样品"), {2, 456, 94, 27});
  FButtonResult = MakeButton(FRightPanel, "ButtonResultPhoto", QString::fromUtf8("成品"), {96, 456, 92, 27});
  SetHint(FButtonSample, THintControl::ButtonSample);
  SetHint(FButtonResult, THintControl::ButtonResultPhoto);
}

void TMainForm::BuildBottomBanner() {
  QWidget* company = Panel(this, "PanelCompany", QRect(180, 696, 648, 65), Qt::black);
  auto* image = new TPaintedPanel(company, PaintCompanyStrip);
  image->setObjectName("ImageCompany");
  image->setGeometry(1, 1, 646, 63);
}

QPushButton* TMainForm::MakeButton(QWidget* parent, const char* name, const QString& caption, QRect rect) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  button->setStyleSheet(kButtonStyle);
  button->setFont(ListFont(9));
  button->setCursor(Qt::PointingHandCursor);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

TPictureButton* TMainForm::MakePictureButton(QWidget* parent, const char* name, int icon, QRect rect) {
  auto* button = new TPictureButton(parent, icon);
  button->setObjectName(name);
  button->setGeometry(rect);
  return button;
}

void TMainForm::SetHint(QWidget* control, THintControl hint) {
  control->setProperty(kHintProperty, static_cast<int>(hint));
  control->installEventFilter(this);
}

void TMainForm::ShowHint(const std::string& text) {
  FHintLabel->setText(QString::fromStdString(text));
  FHintLabel->adjustSize();
  // Centred over the tool bar's picture, which starts 1 pixel in.
  FHintLabel->move(1 + CenteredHintLeft(kMidBarWidth, FHintLabel->width()), 102);
}

}  // namespace tessaro
