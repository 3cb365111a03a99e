// tessaro-tune: writes the completion tune, a short bell-like melody, as a
// 16-bit mono WAV file.
//   tessaro-tune FILE
// The notes are synthesised here (a sine with a soft octave overtone and a
// quick attack, decaying like a struck bell), so the tune needs no sound
// file in the sources and is the same on every build.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/FileIo.h"

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

struct TNote {
  double Start;     // seconds
  double Length;    // seconds until the note has faded
  double Semitone;  // from A4 (440 Hz)
  double Loudness;  // 0..1
};

// A rising figure that comes to rest on the tonic an octave up, then a
// quiet echo: C5 E5 G5 C6 . G5 C6, with a held chord underneath at the end.
constexpr TNote kNotes[] = {
    {0.00, 0.70, 3, 0.55},  {0.18, 0.70, 7, 0.55},  {0.36, 0.70, 10, 0.55}, {0.54, 1.20, 15, 0.65},
    {1.02, 0.60, 10, 0.35}, {1.20, 1.05, 15, 0.45}, {1.20, 1.05, 3, 0.25},  {1.20, 1.05, 7, 0.20},
};
// The loop repeats the whole file; the rest at the end keeps the repeats apart.
constexpr double kLength = 2.60;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> Render() {
  const size_t count = static_cast<size_t>(kLength * kRate);
  std::vector<double> mix(count, 0.0);
  for (const TNote& n : kNotes) {
    const double frequency = 440.0 * std::pow(2.0, n.Semitone / 12.0);
    const size_t first = static_cast<size_t>(n.Start * kRate);
    const size_t last = std::min(count, static_cast<size_t>((n.Start + n.Length) * kRate));
    for (size_t i = first; i < last; ++i) {
      const double t = double(i - first) / kRate;
      const double attack = std::min(1.0, t / 0.008);
      const double decay = std::exp(-t * 4.5 / n.Length);
      const double release = std::min(1.0, (n.Length - t) / 0.05);  // no click at the cut
      const double tone = std::sin(2 * kPi * frequency * t) + 0.30 * std::sin(4 * kPi * frequency * t) +
                          0.08 * std::sin(6 * kPi * frequency * t);
      mix[i] += n.Loudness * attack * decay * release * tone;
    }
  }
  double peak = 1e-9;
  for (double v : mix) peak = std::max(peak, std::abs(v));
  const double gain = 0.7 / peak;  // headroom below full scale

  std::vector<uint8_t> wav;
  const uint32_t dataBytes = static_cast<uint32_t>(count * 2);
  wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
  PutLe(wav, 36 + dataBytes, 4);
  wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(wav, 16, 4);         // fmt chunk size
  PutLe(wav, 1, 2);          // PCM
  PutLe(wav, 1, 2);          // mono
  PutLe(wav, kRate, 4);      // samples per second
  PutLe(wav, kRate * 2, 4);  // bytes per second
  PutLe(wav, 2, 2);          // block align
  PutLe(wav, 16, 2);         // bits per sample
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  PutLe(wav, dataBytes, 4);
  for (double v : mix) {
    const long s = std::lround(std::clamp(v * gain, -1.0, 1.0) * 32767.0);
    PutLe(wav, static_cast<uint32_t>(static_cast<int16_t>(s)) & 0xffffu, 2);
  }
  return wav;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tessaro-tune FILE\n", stderr);
    return 2;
  }
  if (tessaro::Status s = tessaro::WriteFileAtomic(argv[1], Render()); !s.ok()) {
    std::fprintf(stderr, "tessaro-tune: %s\n", s.message().c_str());
    return 1;
  }
  return 0;
}
