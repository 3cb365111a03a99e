#include "controls/MyListbox.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "base/Caption.h"

namespace tessaro {
namespace {

// Edge colours of the raised and sunken outlines (the 3-D light and shadow).
const QColor kEdgeLight(255, 255, 255);
const QColor kEdgeShadow(128, 128, 128);

QString LabelText(const std::string& caption) {
  QString text = QString::fromStdString(caption);
  text.replace(QChar(kCaptionLineBreak), QChar('\n'));
  return text;
}

// One-pixel outline of `r` (right and bottom exclusive): top and left in
// `topLeft`, bottom and right in `bottomRight`.
void DrawEdge(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  if (r.width() <= 0 || r.height() <= 0) return;
  painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
  painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
  painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

}  // namespace

// ---------------------------------------------------------------- children

TRowLabel::TRowLabel(TMyListBox* list, QWidget* parent, int tag, bool clickable)
    : QLabel(parent), Tag(tag), Clickable(clickable), FList(list) {
  setTextFormat(Qt::PlainText);
  setMouseTracking(true);
}

void TRowLabel::enterEvent(QEnterEvent*) { FList->LabelEnter(this); }
void TRowLabel::leaveEvent(QEvent*) { FList->LabelLeave(this); }

void TRowLabel::mousePressEvent(QMouseEvent* event) { FPressed = event->button() == Qt::LeftButton; }

void TRowLabel::mouseReleaseEvent(QMouseEvent* event) {
  bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  FPressed = false;
  if (click && Clickable) FList->LabelClick(this);
}

void TRowLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  FPressed = false;  // the release that ends a double-click is no click
  if (event->button() == Qt::LeftButton && Clickable) FList->LabelDblClick(this);
}

void TRowLabel::mouseMoveEvent(QMouseEvent* event) { FList->MouseMoved(this, event); }

TRowPicture::TRowPicture(TMyListBox* list, QWidget* parent, TRowNode* row, int tag)
    : QWidget(parent), Tag(tag), Row(row), FList(list) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage TRowPicture::Render() const {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  FList->PaintPicture(*this, painter);
  return image;
}

void TRowPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  FList->PaintPicture(*this, painter);
}

void TRowPicture::enterEvent(QEnterEvent*) { FList->PictureEnter(this); }
void TRowPicture::leaveEvent(QEvent*) { FList->PictureLeave(this); }
void TRowPicture::mousePressEvent(QMouseEvent* event) {
  FList->PictureMouseDown(this, event->position().toPoint());
}
void TRowPicture::mouseDoubleClickEvent(QMouseEvent*) { FList->PictureDblClick(this); }
void TRowPicture::mouseMoveEvent(QMouseEvent* event) { FList->MouseMoved(this, event); }

void TRowPicture::dragEnterEvent(QDragEnterEvent* event) {
  if (FList->PictureDragOver(this, event->position().toPoint(), TDragState::Enter, event->source())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TRowPicture::dragMoveEvent(QDragMoveEvent* event) {
  if (FList->PictureDragOver(this, event->position().toPoint(), TDragState::Move, event->source())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TRowPicture::dragLeaveEvent(QDragLeaveEvent*) {
  FList->PictureDragOver(this, QPoint(), TDragState::Leave, nullptr);
}

void TRowPicture::dropEvent(QDropEvent* event) {
  FList->PictureDrop(this, event->position().toPoint(), event->source());
  event->acceptProposedAction();
}

// -------------------------------------------------------------------- list

TMyListBox::TMyListBox(QWidget* parent) : QScrollArea(parent), FContent(new QWidget) {
  FContent->setMouseTracking(true);
  FContent->installEventFilter(this);
  viewport()->setMouseTracking(true);
  setWidget(FContent);
  setWidgetResizable(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  SetColNum(2);
  UpdateContentSize();
}

TMyListBox::~TMyListBox() = default;

void TMyListBox::SetColNum(int colNum) {
  FColNum = std::max(0, colNum);
  FColClickable.resize(FColNum, false);
  FColLeft.resize(FColNum, 0);
  FColSelectable.resize(FColNum, false);
}

void TMyListBox::SetColClickable(int col, bool value) {
  if (col >= 0 && col < FColNum) FColClickable[col] = value;
}
void TMyListBox::SetColLeft(int col, int value) {
  if (col >= 0 && col < FColNum) FColLeft[col] = value;
}
void TMyListBox::SetColSelectable(int col, bool value) {
  if (col >= 0 && col < FColNum) FColSelectable[col] = value;
}
bool TMyListBox::ColClickable(int col) const { return col >= 0 && col < FColNum && FColClickable[col]; }
int TMyListBox::ColLeft(int col) const { return col >= 0 && col < FColNum ? FColLeft[col] : 0; }
bool TMyListBox::ColSelectable(int col) const { return col >= 0 && col < FColNum && FColSelectable[col]; }

TRowNode* TMyListBox::Row(int row) const {
  return row >= 0 && row < int(FRows.size()) ? FRows[row].get() : nullptr;
}

const TRowNode* TMyListBox::GetRow(int row) const { return Row(row); }

void TMyListBox::ApplyFont(QLabel* label, const TFontSpec& font) {
  label->setFont(font.Font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, font.Color);
  label->setPalette(palette);
  label->adjustSize();
}

void TMyListBox::SetFrame(TRowNode& row, const QColor& color) {
  if (!ShowThumbPic || !row.Picture || row.FrameColor == color) return;
  row.FrameColor = color;
  row.Picture->update();
}

QRect TMyListBox::FrameOuterRect() const {
  int pen = TextBorder - 2;
  int half = pen / 2;
  int left = ThumbLeft - TextBorder + 2 - half;
  int top = ThumbTop - TextBorder + 2 - half;
  int right = ThumbLeft + ThumbWidth + TextBorder - 2 - 1 - half + pen;  // exclusive
  int bottom = ThumbTop + ThumbHeight + TextBorder - 2 - 1 - half + pen;
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void TMyListBox::UpdateContentSize() {
  // At least the viewport's height, so the content's background fills it.
  FContent->resize(std::max(1, viewport()->width()), std::max({FNextTop, viewport()->height(), 1}));
}

void TMyListBox::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  UpdateContentSize();
}

bool TMyListBox::AddRow(const std::vector<std::string>& texts, const std::string& thumbFile, void* p,
                        bool checked) {
  // The thumbnail is read first: a row whose thumbnail cannot be drawn is
  // never built, so the list stays exactly as it was.
  QPixmap thumb;
  if (ShowThumbPic) {
    // A thumbnail still being decoded is waited for with the events going
    // on (paints, timers; no input), so a large photo does not freeze the
    // window; the rows still come in the order they are added.
    QImage image = FThumbs.Take(thumbFile, ThumbBox(),
                                [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    if (image.isNull()) return false;
    thumb = QPixmap::fromImage(image);
  }

  auto row = std::make_unique<TRowNode>();
  int rowTop = FNextTop;
  if (ShowThumbPic) FNextTop += ThumbTop + ThumbHeight + TextBorder;

  row->Texts.resize(FColNum);
  row->Labels.resize(FColNum);
  int tallest = 0;
  for (int j = 0; j < FColNum; ++j) {
    const std::string text = j < int(texts.size()) ? texts[j] : std::string();
    int tag = ++FLastTag;
    auto* label = new TRowLabel(this, FContent, tag, FColClickable[j]);
    row->Texts[j] = text;
    std::string caption = ShowRow ? std::to_string(tag) + "_" + text : text;
    label->setText(LabelText(WrapCaption(caption, TextMaxCharLen)));
    ApplyFont(label, FColClickable[j] ? NormalFont : Font);
    label->move(FColLeft[j], FNextTop);
    label->show();
    tallest = std::max(tallest, label->height());
    row->Labels[j] = label;
  }

  int pictureHeight = 0;
  if (ShowThumbPic) {
    pictureHeight = ThumbHeight + tallest + 2 * ThumbTop + TextBorder;
    FNextTop = rowTop + pictureHeight + ImageBorder;
  } else {
    FNextTop += tallest + TextBorder;
  }

  if (ShowCheckBox || ShowThumbPic) {
    auto* picture = new TRowPicture(this, FContent, row.get(), ++FLastTag);
    if (ShowThumbPic) {
      picture->resize(ImageWidth, pictureHeight);
      row->Thumb = std::move(thumb);
      row->FrameColor = ImageColor;
    } else {
      picture->resize(CheckBmp.size());
    }
    picture->move(TextBorder, rowTop);
    picture->setAcceptDrops(ShowThumbPic);
    picture->lower();
    picture->show();
    row->Picture = picture;
  }

  row->Checked = checked;
  row->Selected = false;
  row->ThumbFile = thumbFile;
  row->P = p;
  FRows.push_back(std::move(row));
  UpdateContentSize();
  return true;
}

void TMyListBox::PrefetchThumbnails(const std::vector<std::string>& files) {
  if (ShowThumbPic) FThumbs.Prefetch(files, ThumbBox());
}

void TMyListBox::PaintPicture(const TRowPicture& picture, QPainter& painter) const {
  if (!picture.Row) return;  // deleted, waiting to be destroyed
  const TRowNode& row = *picture.Row;
  const QImage& check = row.Checked ? CheckBmp : UnCheckBmp;
  if (!ShowThumbPic) {
    painter.fillRect(picture.rect(), ImageColor);
    if (!check.isNull()) painter.drawImage(0, 0, check);
    return;
  }
  const QRect all = picture.rect();
  painter.fillRect(all, ImageColor);
  const QRect box(ThumbLeft, ThumbTop, ThumbWidth, ThumbHeight);
  if (ThumbBackground != ImageColor) painter.fillRect(box, ThumbBackground);
  if (!row.Thumb.isNull()) {
    int w = row.Thumb.width(), h = row.Thumb.height();
    painter.drawPixmap(box.left() + (box.width() - w) / 2, box.top() + (box.height() - h) / 2, row.Thumb);
  }
  DrawEdge(painter, box, kEdgeShadow, kEdgeLight);  // sunken
  if (ShowCheckBox && !check.isNull()) painter.drawImage(ThumbCheckPos(), check);
  DrawEdge(painter, all, kEdgeLight, kEdgeShadow);  // raised
  // The frame: a pen TextBorder - 2 wide centred on the rectangle's outline.
  int pen = TextBorder - 2;
  if (pen > 0) {
    QRect outer = FrameOuterRect();
    QColor color = row.FrameColor;
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), pen), color);
    painter.fillRect(QRect(outer.left(), outer.bottom() - pen + 1, outer.width(), pen), color);
    painter.fillRect(QRect(outer.left(), outer.top(), pen, outer.height()), color);
    painter.fillRect(QRect(outer.right() - pen + 1, outer.top(), pen, outer.height()), color);
  }
}

void TMyListBox::MarkSelected(TRowNode& row, bool selected) {
  row.Selected = selected;
  for (int j = 0; j < int(row.Labels.size()) && j < FColNum; ++j)
    if (FColSelectable[j]) ApplyFont(row.Labels[j], selected ? SelectedFont : NormalFont);
  SetFrame(row, selected ? SelectedColor : ImageColor);
}

void TMyListBox::SetSelected(int index, bool value) {
  if (index < 0) return;
  if (value) {
    if (index == FSelectedIndex) return;
    if (TRowNode* old = Row(FSelectedIndex)) MarkSelected(*old, false);
    if (TRowNode* now = Row(index)) MarkSelected(*now, true);
    int oldIndex = FSelectedIndex;
    if (OnRowChanged) OnRowChanged(oldIndex, index);
    FSelectedIndex = index;
    return;
  }
  if (index == FSelectedIndex) FSelectedIndex = -1;
  if (TRowNode* row = Row(index)) MarkSelected(*row, false);
}

bool TMyListBox::GetChecked(int row) const {
  const TRowNode* node = Row(row);
  return node && node->Checked;
}

void TMyListBox::SetChecked(int row, bool value) {
  TRowNode* node = Row(row);
  if (!node || node->Checked == value) return;
  node->Checked = value;
  if (node->Picture) node->Picture->update();
}

std::string TMyListBox::GetCellText(int row, int col) const {
  const TRowNode* node = Row(row);
  if (!node || col < 0 || col >= int(node->Texts.size())) return {};
  return node->Texts[col];
}

void TMyListBox::SetCellText(int row, int col, const std::string& text) {
  TRowNode* node = Row(row);
  if (!node || col < 0 || col >= FColNum || col >= int(node->Labels.size())) return;
  node->Texts[col] = text;
  node->Labels[col]->setText(LabelText(WrapCaption(text, TextMaxCharLen)));
  node->Labels[col]->adjustSize();
}

void TMyListBox::DeleteRow(int index) {
  TRowNode* node = Row(index);
  if (!node) return;
  if (node->Selected || index == FSelectedIndex) SetSelected(index, false);

  int height = 0;
  if (ShowThumbPic && node->Picture) {
    height = node->Picture->height() + ImageBorder;
  } else {
    int tallest = 0;
    for (QLabel* label : node->Labels) tallest = std::max(tallest, label->height());
    height = tallest + TextBorder;
  }
  // Children are destroyed later: the row may be deleted from one of its own
  // children's event handlers (the "删除" column).
  for (QLabel* label : node->Labels) {
    label->hide();
    label->deleteLater();
  }
  if (node->Picture) {
    node->Picture->hide();
    node->Picture->Row = nullptr;
    node->Picture->deleteLater();
  }
  int k = ChildrenPerRow();
  FNextTop -= height;
  FLastTag -= k;
  for (size_t i = size_t(index) + 1; i < FRows.size(); ++i) {
    TRowNode& later = *FRows[i];
    for (TRowLabel* label : later.Labels) {
      label->move(label->x(), label->y() - height);
      label->Tag -= k;
    }
    if (later.Picture) {
      later.Picture->move(later.Picture->x(), later.Picture->y() - height);
      later.Picture->Tag -= k;
    }
  }
  FRows.erase(FRows.begin() + index);
  if (index < FSelectedIndex) --FSelectedIndex;
  UpdateContentSize();
}

void TMyListBox::Clear() {
  while (!FRows.empty()) DeleteRow(0);
  FSelectedIndex = -1;
  FThumbs.Drop();
}

// ---------------------------------------------------------- mouse handling

void TMyListBox::MouseMoved(QWidget* sender, QMouseEvent* event) {
  if (FocusOnMouseMove && !hasFocus()) setFocus(Qt::MouseFocusReason);
  if (OnMyMouseMove) {
    QPoint pos = event->position().toPoint();
    OnMyMouseMove(sender, event->modifiers(), pos.x(), pos.y());
  }
}

bool TMyListBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FContent && event->type() == QEvent::MouseMove)
    MouseMoved(FContent, static_cast<QMouseEvent*>(event));
  return QScrollArea::eventFilter(watched, event);
}

void TMyListBox::wheelEvent(QWheelEvent* event) {
  int delta = event->angleDelta().y();
  if (delta == 0) delta = event->pixelDelta().y();
  if (delta == 0) {
    event->ignore();
    return;
  }
  verticalScrollBar()->triggerAction(delta < 0 ? QAbstractSlider::SliderSingleStepAdd
                                               : QAbstractSlider::SliderSingleStepSub);
  event->accept();
}

void TMyListBox::keyPressEvent(QKeyEvent* event) {
  // No keyboard handling of its own: keys go to the owner.
  QWidget::keyPressEvent(event);
}

void TMyListBox::LabelEnter(TRowLabel* label) {
  int rowIndex = RowOfTag(label->Tag);
  TRowNode* row = Row(rowIndex);
  if (!row) return;
  if (label->Clickable) ApplyFont(label, HighLightFont);
  if (ShowThumbPic && !row->Selected) SetFrame(*row, HighLightColor);
}

void TMyListBox::LabelLeave(TRowLabel* label) {
  int rowIndex = RowOfTag(label->Tag);
  TRowNode* row = Row(rowIndex);
  if (!row) return;
  if (label->Clickable) {
    int col = label->Tag % ChildrenPerRow();
    ApplyFont(label, ColSelectable(col) && row->Selected ? SelectedFont : NormalFont);
  }
  if (ShowThumbPic && !row->Selected) SetFrame(*row, ImageColor);
}

void TMyListBox::SelectAndReport(QWidget* sender, int rowIndex, int col, const TTextClickEvent& event) {
  SetSelected(rowIndex, true);
  const TRowNode* row = Row(rowIndex);
  if (event && row) event(sender, rowIndex, col, row->P, row->ThumbFile);
}

void TMyListBox::LabelClick(TRowLabel* label) {
  const int k = ChildrenPerRow();
  SelectAndReport(label, label->Tag / k, label->Tag % k, OnTextClick);
}

void TMyListBox::LabelDblClick(TRowLabel* label) {
  const int k = ChildrenPerRow();
  SelectAndReport(label, label->Tag / k, label->Tag % k, OnTextDblClick);
}

void TMyListBox::PictureEnter(TRowPicture* picture) {
  if (!ShowThumbPic || !picture->Row) return;
  if (!picture->Row->Selected) SetFrame(*picture->Row, HighLightColor);
}

void TMyListBox::PictureLeave(TRowPicture* picture) {
  if (!ShowThumbPic || !picture->Row) return;
  if (!picture->Row->Selected) SetFrame(*picture->Row, ImageColor);
}

void TMyListBox::PictureMouseDown(TRowPicture* picture, QPoint pos) {
  int rowIndex = RowOfTag(picture->Tag);
  TRowNode* row = Row(rowIndex);
  if (!row) return;
  if (!ShowThumbPic) {
    SetChecked(rowIndex, !row->Checked);
  } else if (ShowCheckBox) {
    int boxBottom = ThumbTop + ThumbHeight;
    bool hit =
        pos.x() <= CheckBmp.width() && pos.y() >= boxBottom && pos.y() <= boxBottom + CheckBmp.height() + 2;
    if (hit) {
      SetChecked(rowIndex, !row->Checked);
    } else if (OnTextClick) {
      OnTextClick(picture, rowIndex, FColNum, row->P, row->ThumbFile);
    }
  }
  SetSelected(rowIndex, true);
}

void TMyListBox::PictureDblClick(TRowPicture* picture) {
  SelectAndReport(picture, RowOfTag(picture->Tag), FColNum, OnTextDblClick);
}

bool TMyListBox::PictureDragOver(TRowPicture* picture, QPoint pos, TDragState state, QObject* source) {
  if (!ShowThumbPic || !picture->Row || !OnDragOver) return false;
  bool accept = false;
  OnDragOver(picture->Row->ThumbFile, picture, source, pos.x(), pos.y(), state, accept);
  return accept;
}

void TMyListBox::PictureDrop(TRowPicture* picture, QPoint pos, QObject* source) {
  if (!ShowThumbPic || !picture->Row || !OnDragDrop) return;
  OnDragDrop(picture->Row->ThumbFile, picture, source, pos.x(), pos.y());
}

}  // namespace tessaro
