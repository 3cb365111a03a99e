#include "dialogs/Stat.h"

#include <QCloseEvent>
#include <QEnterEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>

#include "controls/Look.h"
#include "controls/MainLists.h"
#include "controls/Skin.h"
#include "controls/Thumbnails.h"
#include "model/StatLayout.h"

namespace tessaro {

namespace {

const char* const kCaption = "本套系照片统计";
// The window is drawn at 220 of 255 opacity where the window system blends.
constexpr double kOpacity = 220.0 / 255.0;
// The title bar's gradient, the bevel's shade and the large view's dark grey
// (the rest of the palette is the skin's).
const QColor kTitleTop(0x2c, 0x32, 0x3c);
const QColor kTitleBottom(0x1e, 0x23, 0x2a);
const QColor kShade(0x0b, 0x0d, 0x10);
const QColor kScreenGround(0x3a, 0x3d, 0x42);
// The number layer's font: 16 points bold at the layout's 96 pixels per inch.
constexpr int kNumberPixelSize = 21;
// Photos are decoded at twice the view's size and then scaled down smoothly,
// which looks far better than fitting them straight into the view.
constexpr int kDecodeFactor = 2;

}  // namespace

// ---- TStatScreen ----

TStatScreen::TStatScreen(QWidget* parent) : QWidget(parent) {
  setFixedSize(kStatViewSize, kStatViewSize);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FNumber = QImage(kStatNumberLayerSize, kStatNumberLayerSize, QImage::Format_ARGB32_Premultiplied);
  FNumber.fill(Qt::transparent);
}

bool TStatScreen::ShowPhoto(const std::string& file, int number) {
  const QImage decoded = DecodeThumbnail(file, QSize(kStatViewSize, kStatViewSize) * kDecodeFactor);
  if (decoded.isNull()) return false;
  const TStatRect place = LargeViewPhotoRect(decoded.width(), decoded.height(), width(), height());
  if (place.Empty()) return false;
  FPhotoRect = QRect(place.Left, place.Top, place.Width, place.Height);
  FPhoto = decoded.size() == FPhotoRect.size()
               ? decoded
               : decoded.scaled(FPhotoRect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  DrawNumber(number);
  update();
  return true;
}

void TStatScreen::Clear() {
  FPhoto = QImage();
  FPhotoRect = QRect();
  FNumber.fill(Qt::transparent);
  update();
}

void TStatScreen::DrawNumber(int number) {
  FNumber.fill(Qt::transparent);
  QPainter painter(&FNumber);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont font = ListFont(16);
  font.setPixelSize(kNumberPixelSize);
  font.setBold(true);
  painter.setFont(font);
  const QRect area(kStatNumberX, kStatNumberY, kStatNumberLayerSize, kStatNumberLayerSize);
  const QString text = QString::number(number);
  // A soft shadow keeps the white number readable on light photos.
  painter.setPen(QColor(0, 0, 0, 140));
  painter.drawText(area.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, text);
  painter.setPen(Qt::white);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, text);
}

void TStatScreen::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kScreenGround);
  if (!FPhoto.isNull()) painter.drawImage(FPhotoRect.topLeft(), FPhoto);
  painter.drawImage(0, 0, FNumber);
}

// ---- TStatOpenButton ----

TStatOpenButton::TStatOpenButton(QWidget* parent)
    : QWidget(parent),
      FOpenPicture(SkinImage(QStringLiteral("stat_open"))),
      FClosePicture(SkinImage(QStringLiteral("stat_close"))) {
  setCursor(Qt::PointingHandCursor);
}

void TStatOpenButton::SetClosingLook(bool closing) {
  if (FClosing == closing) return;
  FClosing = closing;
  update();
}

void TStatOpenButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage& picture = FClosing ? FClosePicture : FOpenPicture;
  if (picture.isNull())
    painter.fillRect(rect(), kTitleBottom);
  else
    painter.drawImage(rect(), picture);
  if (FHover)
    painter.fillRect(rect(),
                     QColor(skin::kCyan.red(), skin::kCyan.green(), skin::kCyan.blue(), FPressed ? 70 : 40));
}

void TStatOpenButton::enterEvent(QEnterEvent*) {
  FHover = true;
  update();
}

void TStatOpenButton::leaveEvent(QEvent*) {
  FHover = false;
  FPressed = false;
  update();
}

void TStatOpenButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FPressed = true;
  update();
}

void TStatOpenButton::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  FPressed = false;
  update();
  if (click && OnClick) OnClick();
}

// ---- TStatForm ----

TStatForm::TStatForm(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint) {
  setWindowTitle(QString::fromUtf8(kCaption));
  setWindowOpacity(kOpacity);
  setMinimumSize(kStatMinWidth, kTitleHeight + 16);
  resize(kStatNarrowWidth, kStatHeight);

  FList = new TMyListBox(this);
  FList->setGeometry(kListPanel);
  ConfigureList();
  FRows = std::make_unique<TMyListBoxRows>(*FList);
  FList->OnTextClick = [this](QWidget*, int row, int col, void*, const std::string&) { TextClick(row, col); };

  FOpenButton = new TStatOpenButton(this);
  FOpenButton->setGeometry(kOpenButton);
  FOpenButton->OnClick = [this] { ToggleLargeView(); };

  FScreen = new TStatScreen(this);
  FScreen->move(kScreenPanel.topLeft() + QPoint(1, 1));

  FCloseButton = new QPushButton(QStringLiteral("×"), this);
  FCloseButton->setFocusPolicy(Qt::NoFocus);
  FCloseButton->setCursor(Qt::PointingHandCursor);
  FCloseButton->setStyleSheet(
      QStringLiteral("QPushButton { color: #8d97a5; background: transparent; border: none; font: bold 15px; }"
                     "QPushButton:hover { color: #ffffff; background: #b3020f; }"
                     "QPushButton:pressed { color: #ffffff; background: #7d050e; }"));
  connect(FCloseButton, &QPushButton::clicked, this, &QWidget::close);
  resizeEvent(nullptr);
}

TStatForm::~TStatForm() = default;

void TStatForm::ConfigureList() {
  TMyListBox& list = *FList;
  list.Font = TFontSpec{ListFont(9), Qt::white};
  SetLinkFonts(list, QColor(0x00, 0xFF, 0x00), QColor(0xFF, 0x9C, 0x31), QColor(0x00, 0xFF, 0x00));
  list.TextMaxCharLen = 18;
  list.ImageColor = Qt::black;
  list.ThumbBackground = Qt::black;
  list.SelectedColor = skin::kCrimson;
  list.HighLightColor = skin::kCyan;
  list.SetColNum(5);
  const int lefts[] = {5, 23, 143, 161, 196};
  for (int col = 0; col < 5; ++col) list.SetColLeft(col, lefts[col]);
  for (int col : {kNameColumn, kPlaceColumn, kDeleteColumn}) list.SetColClickable(col, true);
  list.SetColSelectable(kNameColumn, true);
  list.ShowCheckBox = false;
  list.ShowThumbPic = false;
  list.ImageBorder = 10;
  list.TextBorder = 5;
  QPalette palette = list.palette();
  palette.setColor(QPalette::Window, Qt::black);
  list.setPalette(palette);
  list.widget()->setAutoFillBackground(true);
  list.widget()->setPalette(palette);
  list.setFrameShape(QFrame::NoFrame);
  list.setStyleSheet(
      QStringLiteral("QScrollBar:vertical { background: #111418; width: 10px; margin: 0; }"
                     "QScrollBar::handle:vertical { background: #3d4550; border-radius: 3px; min-height: "
                     "24px; margin: 2px; }"
                     "QScrollBar::handle:vertical:hover { background: #1aecec; }"
                     "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                     "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}

void TStatForm::TextClick(int row, int col) {
  if (col == kNameColumn) {
    if (PhotoFileOf) ShowLargeView(row, PhotoFileOf(row));
  } else if (col == kPlaceColumn) {
    emit PlaceClicked(row);
  } else if (col == kDeleteColumn) {
    emit DeleteClicked(row);
  }
}

bool TStatForm::ShowLargeView(int row, const std::string& file) {
  if (file.empty() || !FScreen->ShowPhoto(file, row + 1)) return false;
  const int widened = StatWidthForLargeView(width());
  if (widened != width()) SetWidth(widened, true);
  return true;
}

void TStatForm::ToggleLargeView() {
  bool open = false;
  const int toggled = StatToggleWidth(width(), open);
  SetWidth(toggled, open);
}

void TStatForm::SetWidth(int width, bool open) {
  resize(width, height());
  FOpenButton->SetClosingLook(open);
}

void TStatForm::ClearLargeView() { FScreen->Clear(); }

void TStatForm::PlaceBeside(const QRect& previewScreen, const QRect& desktop) {
  const TStatRect screenRect{previewScreen.x(), previewScreen.y(), previewScreen.width(),
                             previewScreen.height()};
  // The window shows the list alone once shown, whatever its width now.
  const TStatRect window{0, 0, kStatNarrowWidth, height()};
  const TStatRect desk{desktop.x(), desktop.y(), desktop.width(), desktop.height()};
  const TStatRect placed = PlaceStatWindow(screenRect, window, desk);
  move(placed.Left, placed.Top);
}

void TStatForm::ToggleShown(const QRect& previewScreen, const QRect& desktop) {
  if (isVisible()) {
    hide();
    return;
  }
  PlaceBeside(previewScreen, desktop);
  show();
}

void TStatForm::showEvent(QShowEvent* event) {
  // Only when the program shows it: the window system re-showing it (the
  // owner restored from its minimised state) keeps the user's width.
  if (!event->spontaneous()) SetWidth(kStatNarrowWidth, false);
  QWidget::showEvent(event);
}

void TStatForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted()) emit Closed();
}

void TStatForm::resizeEvent(QResizeEvent*) {
  const int side = kTitleHeight - 6;
  FCloseButton->setGeometry(width() - side - 4, 3, side, side);
}

void TStatForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), skin::kPanel);

  // Title bar: the banner's gradient, the caption and the two-colour rule.
  const QRect title(0, 0, width(), kTitleHeight);
  FillDown(painter, title, {{0, kTitleTop}, {1, kTitleBottom}});
  QLinearGradient rule(0, 0, width(), 0);
  rule.setColorAt(0, skin::kCyan);
  rule.setColorAt(1, skin::kCrimson);
  painter.fillRect(QRect(0, kTitleHeight - 1, width(), 1), rule);
  QFont font = ListFont(9);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(10, 0, width() - 40, kTitleHeight - 1), Qt::AlignVCenter | Qt::AlignLeft,
                   windowTitle());

  // The large view's lowered bevel.
  const QRect bevel = kScreenPanel.adjusted(0, 0, -1, -1);
  painter.setPen(kShade);
  painter.drawLine(bevel.topLeft(), bevel.topRight());
  painter.drawLine(bevel.topLeft(), bevel.bottomLeft());
  painter.setPen(QColor(0x4a, 0x52, 0x5e));
  painter.drawLine(bevel.bottomLeft(), bevel.bottomRight());
  painter.drawLine(bevel.topRight(), bevel.bottomRight());

  // The outer frame.
  painter.setPen(skin::kEdge);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TStatForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < kTitleHeight) {
    FDragging = true;
    FDragOffset = event->globalPosition().toPoint() - pos();
  }
}

void TStatForm::mouseMoveEvent(QMouseEvent* event) {
  if (FDragging) move(event->globalPosition().toPoint() - FDragOffset);
}

void TStatForm::mouseReleaseEvent(QMouseEvent*) { FDragging = false; }

}  // namespace tessaro
