#include "dialogs/DialogLook.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>

#include "controls/Skin.h"
#include "model/Views.h"

namespace tessaro {

namespace {

const QColor kClientBackground(0xF0, 0xF0, 0xF0);
const QColor kAccent(0x11, 0xA9, 0xAD);
const QColor kAccentLight(0x1A, 0xEC, 0xEC);
const QColor kFrame(0x9A, 0xA3, 0xAD);

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
  painter.setPen(isEnabled() ? QColor(Qt::white) : QColor(0x8D, 0x97, 0xA5));
  const QRect textRect = rect().translated(isDown() ? 1 : 0, isDown() ? 1 : 0);
  painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
  if (hasFocus()) {
    QPen pen(kAccentLight, 1, Qt::DotLine);
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
  QLinearGradient sheen(0, 0, w, 0);
  sheen.setColorAt(0, QColor(0x1A, 0xEC, 0xEC, 0));
  sheen.setColorAt(0.3, QColor(0x1A, 0xEC, 0xEC, 140));
  sheen.setColorAt(0.7, QColor(0xB3, 0x02, 0x0F, 140));
  sheen.setColorAt(1, QColor(0xB3, 0x02, 0x0F, 0));
  painter.fillRect(QRect(0, h - 2, w, 2), sheen);
  // The album mark: two pages opening like a spread.
  painter.save();
  painter.translate(10, 6);
  painter.scale(0.47, 0.47);
  QPainterPath right;
  right.addPolygon(QPolygonF({QPointF(20, 4), QPointF(38, 0), QPointF(38, 36), QPointF(20, 40)}));
  QPainterPath left;
  left.addPolygon(QPolygonF({QPointF(20, 4), QPointF(2, 0), QPointF(2, 36), QPointF(20, 40)}));
  painter.fillPath(right, QColor(0xC0, 0x20, 0x2C));
  painter.fillPath(left, kAccent);
  painter.restore();
  QFont font = DialogFont();
  font.setBold(true);
  font.setPixelSize(13);
  painter.setFont(font);
  painter.setPen(QColor(0xF2, 0xF4, 0xF7));
  painter.drawText(QRect(36, 0, w - 40, h - 2), Qt::AlignVCenter | Qt::AlignLeft, FCaption);
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

void ShowInfoBox(QWidget* owner, const std::string& text) {
  QMessageBox box(QMessageBox::Information, QString::fromUtf8(kInfoCaption), QString::fromStdString(text),
                  QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace tessaro
