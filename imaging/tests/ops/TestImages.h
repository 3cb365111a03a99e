// Helpers shared by the pixel-operation tests: deterministic test pictures
// and comparisons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "imaging/Image.h"

namespace tessaro::test_images {

inline Image RandomImage(int w, int h, uint32_t seed, bool randomAlpha = true) {
  Image img;
  EXPECT_TRUE(img.Create(w, h).ok());
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t v = rng();
      img.At(x, y) =
          Rgba8{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), randomAlpha ? uint8_t(v >> 24) : uint8_t(255)};
    }
  return img;
}

inline Plane RandomPlane(int w, int h, uint32_t seed) {
  Plane p;
  EXPECT_TRUE(p.Create(w, h).ok());
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.At(x, y) = uint8_t(rng());
  return p;
}

// Smooth picture with some structure (gradients, a disc, partial alpha).
inline Image SmoothImage(int w, int h) {
  Image img;
  EXPECT_TRUE(img.Create(w, h).ok());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double dx = x - w / 2.0, dy = y - h / 3.0;
      bool inDisc = dx * dx + dy * dy < (w * w) / 16.0;
      img.At(x, y) = Rgba8{uint8_t(x * 255 / std::max(1, w - 1)), uint8_t(y * 255 / std::max(1, h - 1)),
                           uint8_t(inDisc ? 240 : 30), uint8_t(inDisc ? 255 : 128 + (x + y) % 128)};
    }
  return img;
}

inline int ChannelDiff(Rgba8 a, Rgba8 b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
}

// Largest channel difference; colour differences of pixels that both have
// alpha 0 do not count.
inline int MaxDiff(const Image& a, const Image& b) {
  EXPECT_EQ(a.width(), b.width());
  EXPECT_EQ(a.height(), b.height());
  int m = 0;
  for (int y = 0; y < std::min(a.height(), b.height()); ++y)
    for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
      Rgba8 p = a.At(x, y), q = b.At(x, y);
      if (p.a == 0 && q.a == 0) continue;
      m = std::max(m, ChannelDiff(p, q));
    }
  return m;
}

inline int MaxDiff(const Plane& a, const Plane& b) {
  EXPECT_EQ(a.width(), b.width());
  EXPECT_EQ(a.height(), b.height());
  int m = 0;
  for (int y = 0; y < std::min(a.height(), b.height()); ++y)
    for (int x = 0; x < std::min(a.width(), b.width()); ++x)
      m = std::max(m, std::abs(a.At(x, y) - b.At(x, y)));
  return m;
}

inline bool SameBytes(const Image& a, const Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (!(a.At(x, y) == b.At(x, y))) return false;
  return true;
}

}  // namespace tessaro::test_images
