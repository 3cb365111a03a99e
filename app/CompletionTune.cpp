#include "app/CompletionTune.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace tessaro {

TCompletionTune::TCompletionTune() = default;
TCompletionTune::~TCompletionTune() { Stop(); }

void TCompletionTune::Play(const std::string& wavFile) {
  Stop();
  const QString path = QString::fromStdString(wavFile);
  if (!QFileInfo(path).isFile()) return;
  // A fresh player per tune: a file the device cannot play leaves it in its
  // error state, which must not carry over to the next batch.
  FEffect = std::make_unique<QSoundEffect>();
  FEffect->setSource(QUrl::fromLocalFile(path));
  FEffect->setLoopCount(QSoundEffect::Infinite);
  FEffect->play();
}

void TCompletionTune::Stop() {
  if (!FEffect) return;
  FEffect->stop();
  FEffect.reset();
}

bool TCompletionTune::Active() const { return FEffect != nullptr; }

}  // namespace tessaro
