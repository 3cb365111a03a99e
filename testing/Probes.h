// Checks of single pixels of a plane (a channel or a mask): a table of
// positions with the value each must have.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "imaging/Image.h"

namespace tessaro::test {

struct PixelProbe {
  int x, y;
  int value;
  const char* why = "";  // printed when the probe fails
};

// Expects every probe's pixel of `plane` to have its value.
inline void ExpectPixels(const Plane& plane, std::initializer_list<PixelProbe> probes) {
  for (const PixelProbe& p : probes)
    EXPECT_EQ(plane.At(p.x, p.y), p.value) << "at (" << p.x << ", " << p.y << ") " << p.why;
}

}  // namespace tessaro::test
