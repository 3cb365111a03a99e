#include "dialogs/ProcessBar.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cstdint>

#include "controls/Look.h"

namespace tessaro {

namespace {

// The window's faces and the bar's track (the rest of the palette is the
// skin's).
const QColor kFace(0x22, 0x27, 0x2e);
const QColor kFaceLight(0x2e, 0x34, 0x3d);
const QColor kTrack(0x12, 0x15, 0x1a);

}  // namespace

TStepBar::TStepBar(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(true);
  setRange(0, 0);
  setValue(0);
}

QString TStepBar::Caption() const {
  const int range = maximum() - minimum();
  if (range <= 0) return {};
  const int64_t done = int64_t(value() - minimum()) * 100 / range;
  return QStringLiteral("%1%").arg(done);
}

void TStepBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  painter.setPen(QColor(0x0b, 0x0d, 0x10));
  painter.setBrush(kTrack);
  painter.drawRoundedRect(outer, 3, 3);

  const int range = maximum() - minimum();
  if (range > 0 && value() > minimum()) {
    const QRectF inner = outer.adjusted(1.5, 1.5, -1.5, -1.5);
    const double share = std::min(1.0, double(value() - minimum()) / range);
    QRectF filled = inner;
    filled.setWidth(inner.width() * share);
    QLinearGradient across(inner.topLeft(), inner.topRight());
    across.setColorAt(0, skin::kCyan.darker(130));
    across.setColorAt(0.6, skin::kCyan);
    across.setColorAt(1, skin::kCrimson);
    painter.setPen(Qt::NoPen);
    painter.setBrush(across);
    painter.drawRoundedRect(filled, 2, 2);
    // The gloss on the upper half, as the skin's buttons have it.
    QRectF gloss = filled;
    gloss.setHeight(filled.height() / 2);
    painter.setBrush(QColor(255, 255, 255, 46));
    painter.drawRoundedRect(gloss, 2, 2);
  }

  const QString caption = Caption();
  if (!caption.isEmpty()) {
    QFont font = ListFont(9);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 0, 150));
    painter.drawText(rect().translated(1, 1), Qt::AlignCenter, caption);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, caption);
  }
}

TProcessForm::TProcessForm(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_ShowWithoutActivating);
  FInfo = new QLabel(this);
  FInfo->setFont(ListFont(9));
  FInfo->setStyleSheet(QStringLiteral("color: #ffffff; background: transparent;"));
  FInfo->setGeometry(kInfoPos.x(), kInfoPos.y(), kBarRect.width(), kBarRect.y() - kInfoPos.y() - 1);
  FBar = new TStepBar(this);
  FBar->setGeometry(kBarRect);
}

void TProcessForm::Show(int itemCount) {
  ItemCount = std::max(0, itemCount);
  FBar->setRange(0, ItemCount);
  FBar->setValue(0);
  CentreOverOwner();
  show();
  raise();
  repaint();
}

void TProcessForm::SetInfo(const std::string& text) {
  FInfo->setText(QString::fromStdString(text));
  if (FInfo->isVisible()) FInfo->repaint();
}

void TProcessForm::Step() {
  if (FBar->value() < FBar->maximum()) FBar->setValue(FBar->value() + 1);
  if (FBar->isVisible()) FBar->repaint();
}

void TProcessForm::Close() { hide(); }

void TProcessForm::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TProcessForm::CentreOverOwner() {
  QRect area;
  if (QWidget* owner = parentWidget(); owner && owner->isVisible()) {
    area = owner->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TProcessForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient down(0, 0, 0, height());
  down.setColorAt(0, kFaceLight);
  down.setColorAt(1, kFace);
  painter.fillRect(rect(), down);
  painter.setPen(skin::kEdge);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(QColor(255, 255, 255, 20));
  painter.drawLine(1, 1, width() - 2, 1);
}

}  // namespace tessaro
