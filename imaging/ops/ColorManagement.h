// Conversion of decoded pixels to sRGB: by an embedded ICC profile (lcms2),
// by the gamma and chromaticities a PNG states, and the plain CMYK-to-RGB
// formula used when a CMYK picture has no profile.
//
// Pixels are converted in place inside an Image whose four bytes per pixel
// hold the layout named by PixelLayout; the work is split over the cores.
// Thread-safety: reentrant.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/Status.h"
#include "imaging/Image.h"

namespace tessaro {

enum class PixelLayout {
  kRgba,          // R, G, B, alpha (alpha is kept)
  kGrayInRgba,    // the grey value in the first byte (the others are ignored); alpha kept
  kCmyk,          // C, M, Y, K with 0 = no ink; alpha becomes 255
  kCmykInverted,  // C, M, Y, K with 255 = no ink (Adobe JPEG, PSD); alpha becomes 255
};

// Where the colours of a picture are defined.
struct ColorSource {
  std::span<const uint8_t> icc;  // an ICC profile, or empty
  double gamma = 0;              // PNG gAMA: encoded = linear ^ gamma; 0 when absent
  bool hasChromaticities = false;
  // PNG cHRM: white, red, green, blue as CIE x, y pairs.
  double white[2] = {0, 0}, red[2] = {0, 0}, green[2] = {0, 0}, blue[2] = {0, 0};
};

// Converts `image` from the colours of `source` to sRGB RGBA. Returns false
// (leaving the pixels untouched) when the source says nothing usable: no
// profile, a profile of the wrong colour space, a broken profile, a profile
// that is sRGB already, or a PNG gamma of about 1/2.2 without chromaticities.
// CMYK layouts are always turned into RGBA (by the formula when no profile
// applies).
bool ConvertToSrgb(Image& image, const ColorSource& source, PixelLayout layout);

// The plain formula: R = (255 - C) * (255 - K) / 255, and alike for G and B.
void CmykToRgb(Image& image, bool inverted);

// Description text of an ICC profile ("sRGB IEC61966-2.1", "Adobe RGB (1998)"),
// empty when it cannot be read.
std::string IccDescription(std::span<const uint8_t> icc);

}  // namespace tessaro
