// Small helpers shared by the pixel-operation sources (resampling, affine
// drawing, compositing). Not part of the public interface of the imaging
// module; include it only from imaging/*.cpp and the ops tests.
//
// V4 is four floats processed as one SIMD value (GCC/Clang vector extension);
// a premultiplied pixel holds (r * a / 255, g * a / 255, b * a / 255, a), all
// in 0..255.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/Image.h"

namespace tessaro::pixel {

typedef float V4 __attribute__((vector_size(16)));

inline constexpr float kInv255 = 1.0f / 255.0f;

inline V4 Splat(float v) { return V4{v, v, v, v}; }

inline V4 LoadStraight(Rgba8 p) {
#if defined(__SSE2__)
  uint32_t u;
  std::memcpy(&u, &p, 4);
  const __m128i zero = _mm_setzero_si128();
  __m128i v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(u)), zero), zero);
  return V4(_mm_cvtepi32_ps(v));
#else
  return V4{float(p.r), float(p.g), float(p.b), float(p.a)};
#endif
}

// (a / 255, a / 255, a / 255, 1) for a straight pixel v: multiplying by it
// premultiplies.
inline V4 PremultiplyFactors(V4 v) {
  const V4 alpha = V4{v[3], v[3], v[3], v[3]};
  return alpha * V4{kInv255, kInv255, kInv255, 0.0f} + V4{0.0f, 0.0f, 0.0f, 1.0f};
}

inline V4 LoadPremultiplied(Rgba8 p) {
  V4 v = LoadStraight(p);
  return v * PremultiplyFactors(v);
}

// Four adjacent pixels as four lanes each, straight or premultiplied.
template <bool Premultiply>
inline void Load4(const Rgba8* in, V4 out[4]) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
  out[0] = V4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)));
  out[1] = V4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)));
  out[2] = V4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)));
  out[3] = V4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)));
#else
  for (int i = 0; i < 4; ++i) out[i] = LoadStraight(in[i]);
#endif
  if constexpr (Premultiply)
    for (int i = 0; i < 4; ++i) out[i] *= PremultiplyFactors(out[i]);
}

// Converts n straight pixels to premultiplied form. Runs of opaque pixels
// (the common case for photos) skip the multiplication.
inline void LoadPremultipliedRow(const Rgba8* in, int n, V4* out) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaMask = _mm_set1_epi32(int(0xFF000000u));
  for (; i + 4 <= n; i += 4) {
    __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
    V4 v0 = V4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)));
    V4 v1 = V4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)));
    V4 v2 = V4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)));
    V4 v3 = V4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)));
    bool opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(px, alphaMask), alphaMask)) == 0xFFFF;
    if (!opaque) {
      v0 *= PremultiplyFactors(v0);
      v1 *= PremultiplyFactors(v1);
      v2 *= PremultiplyFactors(v2);
      v3 *= PremultiplyFactors(v3);
    }
    out[i] = v0;
    out[i + 1] = v1;
    out[i + 2] = v2;
    out[i + 3] = v3;
  }
#endif
  for (; i < n; ++i) out[i] = LoadPremultiplied(in[i]);
}

// Rounds a value already known to be in [0, 255].
inline uint8_t RoundByte(float v) { return static_cast<uint8_t>(int(v + 0.5f)); }

inline uint8_t ClampByte(float v) { return RoundByte(std::clamp(v, 0.0f, 255.0f)); }

// Rounds four lanes (each already in 0..255) to bytes.
inline Rgba8 PackRounded(V4 v) {
#if defined(__SSE2__)
  __m128i i = _mm_cvttps_epi32(__m128(v + Splat(0.5f)));
  i = _mm_packs_epi32(i, i);
  i = _mm_packus_epi16(i, i);
  return std::bit_cast<Rgba8>(uint32_t(_mm_cvtsi128_si32(i)));
#else
  return Rgba8{RoundByte(v[0]), RoundByte(v[1]), RoundByte(v[2]), RoundByte(v[3])};
#endif
}

inline V4 Min4(V4 a, V4 b) { return a < b ? a : b; }
inline V4 Max4(V4 a, V4 b) { return a > b ? a : b; }

// Premultiplied (possibly out of range after a filter with negative lobes)
// back to straight 8-bit RGBA: alpha is clamped to 0..255 and each colour to
// 0..alpha before dividing. A pixel whose alpha rounds to 0 is transparent
// black.
inline Rgba8 StorePremultiplied(V4 v) {
  const float a = std::clamp(v[3], 0.0f, 255.0f);
  if (a < 0.5f) return Rgba8{0, 0, 0, 0};
  V4 c = Min4(Max4(v, Splat(0.0f)), Splat(a)) * (255.0f / a);
  c[3] = a;
  return PackRounded(c);
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
