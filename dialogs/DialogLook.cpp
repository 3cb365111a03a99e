#include "dialogs/DialogLook.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>

#include "controls/Look.h"
#include "controls/Skin.h"
#include "model/Views.h"

namespace tessaro {

namespace {

const QColor kClientBackground(0xF0, 0xF0, 0xF0);
const QColor kAccent(0x11, 0xA9, 0xAD);

QFont DialogFont() {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("Tahoma"), QStringLiteral("WenQuanYi Micro Hei"),
                               QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(12);
  return font;
}

}  // namespace

TSkinButton::TSkinButton(const QString& text, QWidget* parent) : QPushButton(parent) {
  setText(text);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  resize(sizeHint());
}

void TSkinButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const char* picture = "button_normal";
  if (!isEnabled())
    picture = "button_disabled";
  else if (isDown())
    picture = "button_pressed";
  else if (FHover)
    picture = "button_hover";
  painter.drawImage(0, 0, SkinImage(picture, size()));
  QFont font = DialogFont();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(isEnabled() ? QColor(Qt::white) : skin::kMuted);
  const QRect textRect = rect().translated(isDown() ? 1 : 0, isDown() ? 1 : 0);
  painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
  if (hasFocus()) {
    QPen pen(skin::kCyan, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(3, 3, -4, -4));
  }
}

void TSkinButton::enterEvent(QEnterEvent* event) {
  FHover = true;
  update();
  QPushButton::enterEvent(event);
}

void TSkinButton::leaveEvent(QEvent* event) {
  FHover = false;
  update();
  QPushButton::leaveEvent(event);
}

TCaptionStrip::TCaptionStrip(const QString& caption, QWidget* parent) : QWidget(parent), FCaption(caption) {}

void TCaptionStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int w = width(), h = height();
  QLinearGradient bg(0, 0, 0, h);
  bg.setColorAt(0, QColor(0x2C, 0x32, 0x3C));
  bg.setColorAt(0.55, QColor(0x1E, 0x23, 0x2A));
  bg.setColorAt(1, QColor(0x16, 0x19, 0x1E));
  painter.fillRect(rect(), bg);
  painter.fillRect(QRect(0, h - 2, w, 2), AccentSheen(QPointF(0, 0), QPointF(w, 0)));
  painter.save();
  painter.translate(10, 6);
  painter.scale(0.47, 0.47);
  DrawAlbumMark(painter);
  painter.restore();
  QFont font = DialogFont();
  font.setBold(true);
  font.setPixelSize(13);
  painter.setFont(font);
  painter.setPen(skin::kText);
  painter.drawText(QRect(36, 0, w - 40, h - 2), Qt::AlignVCenter | Qt::AlignLeft, FCaption);
}

void DrawAlbumMark(QPainter& painter) {
  QPainterPath right;
  right.addPolygon(QPolygonF({QPointF(20, 4), QPointF(38, 0), QPointF(38, 36), QPointF(20, 40)}));
  QPainterPath left;
  left.addPolygon(QPolygonF({QPointF(20, 4), QPointF(2, 0), QPointF(2, 36), QPointF(20, 40)}));
  painter.fillPath(right, QColor(0xC0, 0x20, 0x2C));
  painter.fillPath(left, kAccent);
}

void ApplyDialogLook(QDialog& dialog, const QString& caption, int clientWidth, int clientHeight) {
  dialog.setWindowTitle(caption);
  dialog.setFixedSize(clientWidth, clientHeight);
  dialog.setFont(DialogFont());
  QPalette palette = dialog.palette();
  palette.setColor(QPalette::Window, kClientBackground);
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::Highlight, kAccent);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  dialog.setPalette(palette);
  dialog.setAutoFillBackground(true);
  dialog.setStyleSheet(
      QStringLiteral("QGroupBox { border: 1px solid #9aa3ad; border-radius: 3px; margin-top: 8px; }"
                     "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px;"
                     " color: #1e232a; font-weight: bold; }"
                     "QLineEdit { border: 1px solid #9aa3ad; background: white; padding: 1px 2px; }"
                     "QLineEdit:focus { border: 1px solid #11a9ad; }"
                     "QLineEdit:disabled { background: #e4e7ec; color: #8d97a5; }"
                     "QLineEdit:read-only { background: #e4e7ec; }"));
  auto* strip = new TCaptionStrip(caption, &dialog);
  strip->setGeometry(0, 0, clientWidth, kCaptionStripHeight);
  strip->lower();
}

QGroupBox* MakeGroup(QWidget* parent, const QString& title, int x, int y, int w, int h) {
  auto* group = new QGroupBox(title, parent);
  group->setGeometry(x, y, w, h);
  return group;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->move(x, y);
  label->adjustSize();
  return label;
}

TSkinButton* MakeButton(QWidget* parent, const QString& text, int x, int y, int w, int h) {
  auto* button = new TSkinButton(text, parent);
  button->setGeometry(x, y, w, h);
  return button;
}

void ShowInfoBox(QWidget* owner, const std::string& text) {
  QMessageBox box(QMessageBox::Information, QString::fromUtf8(kInfoCaption), QString::fromStdString(text),
                  QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace tessaro
