// Blend modes and the one compositor that lays a layer onto an image.
//
// Blend functions work on normalised colour values in [0, 1]: cb is the
// backdrop (what is already there), cs the source (the layer being laid on).
// They follow the published formulas of the compositing and blending
// standards used by image editors:
//   multiply cb*cs; screen cb+cs-cb*cs; overlay = hard light with operands
//   swapped; hard light cs<=1/2 ? multiply(cb, 2cs) : screen(cb, 2cs-1);
//   colour dodge cb==0 ? 0 : cs==1 ? 1 : min(1, cb/(1-cs));
//   colour burn cb==1 ? 1 : cs==0 ? 0 : 1-min(1, (1-cb)/cs);
//   darken min; lighten max; difference |cb-cs|; exclusion cb+cs-2cb*cs;
//   linear burn max(0, cb+cs-1); linear dodge min(1, cb+cs);
//   linear light clamp(cb+2cs-1); vivid light cs<=1/2 ? burn(cb, 2cs) :
//   dodge(cb, 2cs-1); pin light cs<=1/2 ? min(cb, 2cs) : max(cb, 2cs-1);
//   hard mix cb+cs>=1 ? 1 : 0; subtract max(0, cb-cs);
//   divide cs==0 ? (cb==0 ? 0 : 1) : min(1, cb/cs).
// Soft light uses the photo editors' form (the square root over the whole
// upper half): cs<=1/2 ? cb-(1-2cs)*cb*(1-cb) : cb+(2cs-1)*(sqrt(cb)-cb).
// The non-separable hue, saturation, colour and luminosity modes use Lum
// (0.3 R + 0.59 G + 0.11 B), ClipColor, SetLum, Sat and SetSat of the same
// standard. Darker and lighter colour pick the whole colour (backdrop or
// source) whose luminosity Lum is lower (higher), as layered documents saved
// by image editors show; a tie keeps the backdrop.
// Dissolve shows each source pixel fully or not at all, with probability equal
// to its effective alpha, from a fixed hash of its destination position (so
// the pattern is the same on every run and for every split into threads).
// Pass through (a group mode) composites as normal.
//
// Everything here is pure; Composite writes only the destination rows of its
// region and may be called from several threads on distinct destinations.
#pragma once

#include <cstdint>

#include "imaging/BlendMode.h"
#include "imaging/Image.h"

namespace tessaro {

// A colour with channels normalised to [0, 1].
struct RgbF {
  float r = 0, g = 0, b = 0;
};

// True for modes computed channel by channel (all but hue, saturation,
// colour, luminosity, darker colour and lighter colour).
bool IsSeparable(BlendMode mode);

// B(cb, cs) of a separable mode for one channel; for a non-separable mode
// returns cs. Inputs outside [0, 1] are clamped.
float BlendChannel(BlendMode mode, float cb, float cs);

// B(cb, cs) of any mode for a whole colour. Dissolve and pass through blend
// as normal here (dissolve acts on alpha in the compositor).
RgbF BlendColor(BlendMode mode, RgbF cb, RgbF cs);

// The non-separable helpers of the standard.
float Lum(RgbF c);
RgbF ClipColor(RgbF c);
RgbF SetLum(RgbF c, float l);
float Sat(RgbF c);
RgbF SetSat(RgbF c, float s);

// One pixel of the compositor: source laid on backdrop with the mode, the
// source's alpha first multiplied by `sourceAlphaScale` (opacity x fill x
// mask, in [0, 1]). Uses the general formula for a backdrop that may be
// transparent:
//   as = source alpha * scale, ab = backdrop alpha,
//   Cs' = (1 - ab) * Cs + ab * B(Cb, Cs),
//   ao = as + ab * (1 - as),
//   Co = (as * Cs' + (1 - as) * ab * Cb) / ao.
// Dissolve is not applied here (it needs the pixel's position; see
// Composite). Results are rounded to the nearest level.
Rgba8 CompositePixel(Rgba8 backdrop, Rgba8 source, BlendMode mode, float sourceAlphaScale = 1.0f);

// A layer mask: `pixels` covers `bounds` (destination coordinates, the same
// size); outside the bounds the mask is `defaultColor`. 255 shows the layer,
// 0 hides it. The plane is borrowed for the duration of the call.
struct MaskRef {
  const Plane* pixels = nullptr;
  IntRect bounds;
  uint8_t defaultColor = 255;
};

struct CompositeOptions {
  BlendMode mode = BlendMode::kNormal;
  uint8_t opacity = 255;      // layer opacity, 255 = opaque
  uint8_t fillOpacity = 255;  // applied like opacity (a layer without effects)
  const MaskRef* mask = nullptr;
  bool parallel = true;  // false keeps all work on the calling thread
};

// Lays `source`, whose pixel (0, 0) sits at destination pixel (left, top),
// onto `dest`. Only destination pixels inside `region`, inside dest and under
// the source are touched; outside the source the layer is transparent and
// changes nothing. Rows are processed in parallel; the result does not depend
// on the split.
void Composite(Image& dest, const IntRect& region, const Image& source, int left, int top,
               const CompositeOptions& options = {});

// The deterministic dissolve threshold of destination pixel (x, y), in
// [0, 1): the pixel shows when its effective alpha is above it.
float DissolveThreshold(int x, int y);

}  // namespace tessaro
