// Answers the next modal window a test opens: waits on the event loop until
// a modal widget is active, then runs `act` on it (click a button, press a
// key, accept). Tests use it around calls that show a box and wait.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace tessaro::test {

inline void AnswerNextModal(std::function<void(QWidget*)> act, int triesLeft = 200) {
  QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
      act(modal);
      return;
    }
    if (triesLeft > 0) AnswerNextModal(std::move(act), triesLeft - 1);
  });
}

}  // namespace tessaro::test
