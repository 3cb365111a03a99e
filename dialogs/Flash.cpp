#include "dialogs/Flash.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "controls/Look.h"
#include "controls/Skin.h"

namespace tessaro {

namespace {

// The step line until start-up reports its first step.
const char* const kStartingText = "正在启动，请稍候…";
// The splash picture's darkest face, behind the column it leaves free.
const QColor kBackground(0x12, 0x14, 0x19);

}  // namespace

TFlashForm::TFlashForm()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FPicture(SkinImage(QStringLiteral("flash"), QSize(kPictureWidth, kHeight))),
      FStep(QString::fromUtf8(kStartingText)) {
  setWindowTitle(QStringLiteral("Flash"));
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Centre();
}

void TFlashForm::Present() {
  Centre();
  show();
  raise();
  repaint();
  // Let the window system map the window and take the first paint.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFlashForm::ShowStep(const QString& text) {
  FStep = text;
  if (isVisible()) repaint();
}

void TFlashForm::Centre() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TFlashForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  if (!FPicture.isNull()) painter.drawImage(0, 0, FPicture);
  if (FStep.isEmpty()) return;
  QFont font = ListFont(9);
  painter.setFont(font);
  painter.setPen(QColor(0xa9, 0xb3, 0xbf));
  const QFontMetrics metrics(font);
  // Long steps are cut with an ellipsis before the version text on the right.
  const int room = kPictureWidth / 2 - kStepX;
  painter.drawText(kStepX, kStepBaseline, metrics.elidedText(FStep, Qt::ElideRight, room));
}

}  // namespace tessaro
