// Colour adjustments applied in place to the pixels of an Image inside a
// region: levels, brightness/contrast, channel mixer, hue/saturation and a
// colour overlay. They are point operations: each output pixel depends only
// on the same input pixel, alpha is never changed, and the colour of every
// pixel in the region is adjusted whatever its alpha (straight alpha keeps
// colour and coverage apart). Values are 8-bit levels unless stated.
//
// Each function checks its parameters against the ranges the editor accepts
// and returns an error, leaving the image untouched, when one is outside.
// Large regions are processed on all cores; the result does not depend on
// the split. Not safe to call concurrently on overlapping regions.
#pragma once

#include <cstdint>

#include "base/Status.h"
#include "imaging/BlendMode.h"
#include "imaging/Image.h"

namespace tessaro {

// Colour channels an adjustment may be limited to.
enum AdjustChannel : unsigned {
  kAdjustRed = 1,
  kAdjustGreen = 2,
  kAdjustBlue = 4,
  kAdjustRgb = 7,
};

// Levels: out = outputBlack + (outputWhite - outputBlack) * t^(1 / gamma),
// t = clamp((in - inputBlack) / (inputWhite - inputBlack), 0, 1).
// Ranges: 0 <= inputBlack < inputWhite <= 255; gamma 0.1 to 9.99 (above 1
// brightens the mid-tones); outputs 0..255, in either order (a reversed pair
// inverts).
struct LevelsParams {
  int inputBlack = 0;
  int inputWhite = 255;
  double gamma = 1.0;
  int outputBlack = 0;
  int outputWhite = 255;
};
Status AdjustLevels(Image& image, const IntRect& region, const LevelsParams& levels,
                    unsigned channels = kAdjustRgb);

// Brightness/contrast, the same curve on red, green and blue (v in [0, 1]).
// Two styles; the caller chooses (there is no default).
// kLegacy is the classic linear form, clipping at both ends:
//   brightness b in -100..100 adds b levels; contrast c in -100..100 scales
//   about mid-grey by k = 1 + c / 100 for c <= 0, 1 / (1 - c / 100) above
//   (c = 100 thresholds at mid-grey).
// kModern never clips: black and white stay where they are.
//   brightness b in -150..150 bends the mid-tones: v' = v^(2^(-b / 100))
//   (b = 100 lifts mid-grey 0.5 to 0.707);
//   contrast c in -50..100 is an S-curve about mid-grey with slope
//   p = 1 + c / 100 at the middle: v < 1/2 ? (2v)^p / 2 : 1 - (2 - 2v)^p / 2.
// Brightness is applied first in both.
enum class BrightnessContrastStyle { kLegacy, kModern };
Status AdjustBrightnessContrast(Image& image, const IntRect& region, int brightness, int contrast,
                                BrightnessContrastStyle style);

// Channel mixer: rows[o] = {red %, green %, blue %, constant %} for output
// channel o (red, green, blue):
//   out_o = round(rows[o][0] * R / 100 + rows[o][1] * G / 100
//                 + rows[o][2] * B / 100 + rows[o][3] * 255 / 100), clamped.
// Monochrome computes the first row only and writes it to all three channels.
// Every value lies in -200..200.
struct ChannelMixerParams {
  int rows[3][4] = {{100, 0, 0, 0}, {0, 100, 0, 0}, {0, 0, 100, 0}};
  bool monochrome = false;
};
Status MixChannels(Image& image, const IntRect& region, const ChannelMixerParams& mixer);

// Hue/saturation in the HSL model (L = (max + min) / 2), applied in this
// order, with v the channel in [0, 1]:
//   hue in -180..180 degrees rotates H keeping S and L (0 = no change);
//   saturation s in -100..100 scales the distance of each channel from L:
//     v' = L + (v - L) * (1 + s / 100), for s > 0 limited to the factor at
//     which the first channel reaches 0 or 1 (full HSL saturation);
//   lightness l in -100..100 mixes towards white or black:
//     l > 0: v' = v + (1 - v) * l / 100;   l < 0: v' = v * (1 + l / 100).
Status AdjustHueSaturation(Image& image, const IntRect& region, int hue, int saturation, int lightness);

// Colour overlay (a fill laid over the layer's own pixels, clipped to them):
// each colour becomes (1 - k) * C + k * B(C, fill) with k = opacity / 255 and
// B the blend function of `mode` (imaging/ops/Blend.h; dissolve and pass through
// act as normal); alpha is kept. `fill`'s alpha is ignored.
Status ApplyColorOverlay(Image& image, const IntRect& region, Rgba8 fill, BlendMode mode, uint8_t opacity);

}  // namespace tessaro
