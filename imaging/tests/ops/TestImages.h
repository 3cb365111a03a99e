// Deterministic test pictures shared by the pixel-operation tests;
// comparisons come from the test-support library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "imaging/Image.h"
#include "testing/ImageDiff.h"

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

}  // namespace tessaro::test_images
