// Pixel differences between two pictures of the same size: the one
// comparison every golden-image test uses, with the tolerance kept in the
// test (largest difference, mean, PSNR, or the share over a threshold).
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>

#include "imaging/Image.h"

namespace tessaro::test {

struct DiffOptions {
  // Pixels fully transparent in both pictures are not compared at all: their
  // colour has no meaning.
  bool ignoreClear = true;
  // Colour (R, G, B) is compared only where both alphas reach this; below it
  // only alpha counts (colour recovered from a matted merged picture is noise
  // at low alpha). 0 compares colour everywhere.
  int colorMinAlpha = 0;
  // Alpha counts in the differences and the PSNR; without it the PSNR is
  // over R, G, B only.
  bool withAlpha = true;
  // countOver counts colour-compared pixels whose colour differs by more.
  int threshold = 0;
  // Only this part of the pictures, when given.
  std::optional<IntRect> area;
};

struct ImageDifference {
  bool sameSize = false;
  int maxDiff = 0;       // largest channel difference (colour and alpha); 256 when the sizes differ
  int maxColor = 0;      // largest R, G or B difference over colour-compared pixels
  int maxAlpha = 0;      // largest alpha difference
  double meanColor = 0;  // mean over colour-compared pixels of their largest R, G, B difference
  double psnr = 0;  // over R, G, B (and A) of every pixel (uncompared ones as equal); infinity when equal
  int worstX = -1, worstY = -1;  // where the largest difference is (the first such pixel)
  size_t colorCompared = 0;
  size_t countOver = 0;  // colour-compared pixels differing by more than the threshold
  double FractionOver() const { return colorCompared ? double(countOver) / double(colorCompared) : 0; }
};

ImageDifference Difference(const Image& a, const Image& b, const DiffOptions& options = {});

// Largest channel difference (256 when the sizes differ).
int MaxDifference(const Image& a, const Image& b, const DiffOptions& options = {});
int MaxDifference(const Plane& a, const Plane& b);
// PSNR in dB over R, G, B, A (infinity when equal, 0 when the sizes differ).
double Psnr(const Image& a, const Image& b, const DiffOptions& options = {});

// Largest channel difference of two pixels, alpha included.
int PixelDifference(Rgba8 a, Rgba8 b);
// Same size and every pixel equal, the colour of transparent ones included.
bool SamePixels(const Image& a, const Image& b);

std::ostream& operator<<(std::ostream& out, const ImageDifference& d);

}  // namespace tessaro::test
