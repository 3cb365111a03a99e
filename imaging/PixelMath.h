// Small helpers shared by the pixel-operation sources (resampling, affine
// drawing, compositing). Not part of the public interface of the imaging
// module; include it only from imaging/*.cpp and the ops tests.
//
// V4 is four floats processed as one SIMD value (GCC/Clang vector extension);
// a premultiplied pixel holds (r * a / 255, g * a / 255, b * a / 255, a), all
// in 0..255.
#pragma once

#include <algorithm>
#include <cstdint>

#include "imaging/Image.h"

namespace tessaro::pixel {

typedef float V4 __attribute__((vector_size(16)));

inline constexpr float kInv255 = 1.0f / 255.0f;

inline V4 Splat(float v) { return V4{v, v, v, v}; }

inline V4 LoadStraight(Rgba8 p) { return V4{float(p.r), float(p.g), float(p.b), float(p.a)}; }

inline V4 LoadPremultiplied(Rgba8 p) {
  float f = float(p.a) * kInv255;
  return V4{float(p.r) * f, float(p.g) * f, float(p.b) * f, float(p.a)};
}

// Rounds a value already known to be in [0, 255].
inline uint8_t RoundByte(float v) { return static_cast<uint8_t>(int(v + 0.5f)); }

inline uint8_t ClampByte(float v) { return RoundByte(std::clamp(v, 0.0f, 255.0f)); }

// Premultiplied (possibly out of range after a filter with negative lobes)
// back to straight 8-bit RGBA: alpha is clamped to 0..255 and each colour to
// 0..alpha before dividing. A pixel whose alpha rounds to 0 is transparent
// black.
inline Rgba8 StorePremultiplied(V4 v) {
  float a = std::clamp(v[3], 0.0f, 255.0f);
  uint8_t a8 = RoundByte(a);
  if (a8 == 0) return Rgba8{0, 0, 0, 0};
  float k = 255.0f / a;
  return Rgba8{RoundByte(std::clamp(v[0], 0.0f, a) * k), RoundByte(std::clamp(v[1], 0.0f, a) * k),
               RoundByte(std::clamp(v[2], 0.0f, a) * k), a8};
}

inline Rgba8 StoreStraight(V4 v) {
  return Rgba8{ClampByte(v[0]), ClampByte(v[1]), ClampByte(v[2]), ClampByte(v[3])};
}

// Exact round(a * b / 255) for bytes.
inline uint8_t MulDiv255(unsigned a, unsigned b) {
  unsigned t = a * b + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

}  // namespace tessaro::pixel
