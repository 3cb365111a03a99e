#include "app/CompletionTune.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "base/FileIo.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

// The tune the build puts into the program folder.
std::string BuiltTune() { return std::string(TESSARO_BINARY_DIR) + "/app/" + kCompletionTuneFile; }

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

// The file is a plain PCM WAV any player takes, short and small, and it is
// an audible tune: not silent, not clipped, and it starts and ends quietly so
// the loop does not click.
TEST(CompletionTuneFile, IsAShortAudibleMonoWav) {
  auto bytes = ReadWholeFile(BuiltTune());
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  const std::vector<uint8_t>& b = *bytes;
  ASSERT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le(b, 4, 4), b.size() - 8);
  EXPECT_EQ(Le(b, 20, 2), 1u) << "PCM";
  EXPECT_EQ(Le(b, 22, 2), 1u) << "mono";
  const uint32_t rate = Le(b, 24, 4);
  EXPECT_EQ(Le(b, 34, 2), 16u) << "bits per sample";
  ASSERT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  const uint32_t dataBytes = Le(b, 40, 4);
  ASSERT_EQ(dataBytes + 44, b.size());
  const double seconds = double(dataBytes) / 2 / rate;
  EXPECT_GE(seconds, 1.5);
  EXPECT_LE(seconds, 3.5);
  EXPECT_LE(b.size(), 200u * 1024) << "kept small";

  const size_t count = dataBytes / 2;
  int peak = 0;
  double energy = 0;
  for (size_t i = 0; i < count; ++i) {
    const int s = static_cast<int16_t>(Le(b, 44 + 2 * i, 2));
    peak = std::max(peak, std::abs(s));
    energy += double(s) * s;
  }
  EXPECT_GT(peak, 8000) << "audible";
  EXPECT_LT(peak, 32767) << "not clipped";
  EXPECT_GT(std::sqrt(energy / count), 1000.0) << "more than a click";
  for (size_t i : {size_t(0), count - 1})
    EXPECT_LT(std::abs(static_cast<int16_t>(Le(b, 44 + 2 * i, 2))), 200) << i;
}

TEST(TCompletionTune, PlaysUntilStoppedAndSkipsMissingFiles) {
  test::TempFolder dir;
  TCompletionTune tune;
  tune.Play(dir / "missing.wav");
  EXPECT_FALSE(tune.Active());
  tune.Play(BuiltTune());
  EXPECT_TRUE(tune.Active());
  tune.Play(dir.Write("broken.wav", "RIFF but nothing more"));  // replaces the first, fails quietly
  EXPECT_TRUE(tune.Active());
  tune.Stop();
  EXPECT_FALSE(tune.Active());
  tune.Stop();  // twice is harmless
  EXPECT_FALSE(tune.Active());
}

}  // namespace
}  // namespace tessaro
