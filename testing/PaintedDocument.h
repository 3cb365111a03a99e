// Layered documents made up for tests and benchmarks: a document whose
// composite is painted from a pixel formula. Header-only, so that the
// benchmarks use it without the test-support library.
#pragma once

#include "imaging/Image.h"
#include "imaging/psd/Psd.h"

namespace tessaro::test {

// A width x height document at `resolution` pixels per inch, no layers or
// channels yet, its composite pixel (x, y) = pixel(x, y), painted row by
// row from the top left (so a formula that draws random numbers draws them
// in that order).
template <class PixelFn>
PsdDocument PaintedDocument(int width, int height, int resolution, PixelFn pixel) {
  PsdDocument d;
  d.width = width;
  d.height = height;
  d.resolution = resolution;
  if (!d.composite.Create(width, height).ok()) return d;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) d.composite.At(x, y) = pixel(x, y);
  return d;
}

}  // namespace tessaro::test
