// The completion tune after a batch: a WAV file played over and over until
// stopped. A missing or unplayable file is skipped silently (the batch's
// message is shown all the same). Main thread only.
#pragma once

#include <QObject>
#include <memory>
#include <string>

class QSoundEffect;

namespace tessaro {

// File name of the tune in the program folder.
inline constexpr const char* kCompletionTuneFile = "beep.wav";

class TCompletionTune {
 public:
  TCompletionTune();
  ~TCompletionTune();

  // Starts playing `wavFile` in an endless loop (a tune already playing is
  // stopped first). Nothing happens when the file does not exist.
  void Play(const std::string& wavFile);
  void Stop();
  // True between Play of an existing file and Stop (whether or not the
  // sound device could play it).
  bool Active() const;

 private:
  std::unique_ptr<QSoundEffect> FEffect;
};

}  // namespace tessaro
