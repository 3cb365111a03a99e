#include "imaging/ops/Blend.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/Parallel.h"
#include "imaging/PixelMath.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace tessaro {

namespace {

inline float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

constexpr bool IsSeparableMode(BlendMode m) {
  return m != BlendMode::kHue && m != BlendMode::kSaturation && m != BlendMode::kColor &&
         m != BlendMode::kLuminosity && m != BlendMode::kDarkerColor && m != BlendMode::kLighterColor;
}

inline float Multiply(float cb, float cs) { return cb * cs; }
inline float Screen(float cb, float cs) { return cb + cs - cb * cs; }
inline float HardLight(float cb, float cs) {
  return cs <= 0.5f ? Multiply(cb, 2 * cs) : Screen(cb, 2 * cs - 1);
}
inline float ColorDodge(float cb, float cs) {
  if (cb <= 0) return 0;
  if (cs >= 1) return 1;
  return std::min(1.0f, cb / (1 - cs));
}
inline float ColorBurn(float cb, float cs) {
  if (cb >= 1) return 1;
  if (cs <= 0) return 0;
  return 1 - std::min(1.0f, (1 - cb) / cs);
}
inline float SoftLight(float cb, float cs) {
  if (cs <= 0.5f) return cb - (1 - 2 * cs) * cb * (1 - cb);
  return cb + (2 * cs - 1) * (std::sqrt(cb) - cb);
}

template <BlendMode M>
inline float Channel(float cb, float cs) {
  if constexpr (M == BlendMode::kMultiply) return Multiply(cb, cs);
  if constexpr (M == BlendMode::kScreen) return Screen(cb, cs);
  if constexpr (M == BlendMode::kOverlay) return HardLight(cs, cb);
  if constexpr (M == BlendMode::kHardLight) return HardLight(cb, cs);
  if constexpr (M == BlendMode::kSoftLight) return SoftLight(cb, cs);
  if constexpr (M == BlendMode::kDarken) return std::min(cb, cs);
  if constexpr (M == BlendMode::kLighten) return std::max(cb, cs);
  if constexpr (M == BlendMode::kColorDodge) return ColorDodge(cb, cs);
  if constexpr (M == BlendMode::kColorBurn) return ColorBurn(cb, cs);
  if constexpr (M == BlendMode::kLinearBurn) return std::max(0.0f, cb + cs - 1);
  if constexpr (M == BlendMode::kLinearDodge) return std::min(1.0f, cb + cs);
  if constexpr (M == BlendMode::kLinearLight) return Clamp01(cb + 2 * cs - 1);
  if constexpr (M == BlendMode::kVividLight)
    return cs <= 0.5f ? ColorBurn(cb, 2 * cs) : ColorDodge(cb, 2 * cs - 1);
  if constexpr (M == BlendMode::kPinLight)
    return cs <= 0.5f ? std::min(cb, 2 * cs) : std::max(cb, 2 * cs - 1);
  if constexpr (M == BlendMode::kHardMix) return cb + cs >= 1 ? 1.0f : 0.0f;
  if constexpr (M == BlendMode::kDifference) return std::fabs(cb - cs);
  if constexpr (M == BlendMode::kExclusion) return cb + cs - 2 * cb * cs;
  if constexpr (M == BlendMode::kSubtract) return std::max(0.0f, cb - cs);
  if constexpr (M == BlendMode::kDivide) {
    if (cs <= 0) return cb <= 0 ? 0.0f : 1.0f;
    return std::min(1.0f, cb / cs);
  }
  return cs;  // normal, dissolve, pass through
}

template <BlendMode M>
inline RgbF Color(RgbF cb, RgbF cs) {
  if constexpr (M == BlendMode::kHue) return SetLum(SetSat(cs, Sat(cb)), Lum(cb));
  if constexpr (M == BlendMode::kSaturation) return SetLum(SetSat(cb, Sat(cs)), Lum(cb));
  if constexpr (M == BlendMode::kColor) return SetLum(cs, Lum(cb));
  if constexpr (M == BlendMode::kLuminosity) return SetLum(cb, Lum(cs));
  if constexpr (M == BlendMode::kDarkerColor) return Lum(cs) < Lum(cb) ? cs : cb;
  if constexpr (M == BlendMode::kLighterColor) return Lum(cs) > Lum(cb) ? cs : cb;
  return RgbF{Channel<M>(cb.r, cs.r), Channel<M>(cb.g, cs.g), Channel<M>(cb.b, cs.b)};
}

// The same functions on four lanes at once (red, green, blue and an unused
// alpha lane), for the compositor's rows. Every branch is computed and the
// right one selected; infinities or NaNs of unselected branches are dropped.
using pixel::V4;
typedef int V4i __attribute__((vector_size(16)));

inline V4 Sel(V4i mask, V4 a, V4 b) { return mask ? a : b; }
inline V4 VMin(V4 a, V4 b) { return a < b ? a : b; }
inline V4 VMax(V4 a, V4 b) { return a > b ? a : b; }
inline V4 VSqrt(V4 v) {
#if defined(__SSE2__)
  return V4(_mm_sqrt_ps(__m128(v)));
#else
  return V4{std::sqrt(v[0]), std::sqrt(v[1]), std::sqrt(v[2]), std::sqrt(v[3])};
#endif
}

const V4 kZero = pixel::Splat(0.0f), kOne = pixel::Splat(1.0f), kHalf = pixel::Splat(0.5f),
         kTwo = pixel::Splat(2.0f);

inline V4 VClamp01(V4 v) { return VMin(VMax(v, kZero), kOne); }
inline V4 VScreen(V4 cb, V4 cs) { return cb + cs - cb * cs; }
inline V4 VHardLight(V4 cb, V4 cs) {
  return Sel(cs <= kHalf, cb * (kTwo * cs), VScreen(cb, kTwo * cs - kOne));
}
inline V4 VColorDodge(V4 cb, V4 cs) {
  V4 r = VMin(kOne, cb / (kOne - cs));
  r = Sel(cs >= kOne, kOne, r);
  return Sel(cb <= kZero, kZero, r);
}
inline V4 VColorBurn(V4 cb, V4 cs) {
  V4 r = kOne - VMin(kOne, (kOne - cb) / cs);
  r = Sel(cs <= kZero, kZero, r);
  return Sel(cb >= kOne, kOne, r);
}

template <BlendMode M>
inline V4 ChannelV(V4 cb, V4 cs) {
  if constexpr (M == BlendMode::kMultiply) return cb * cs;
  if constexpr (M == BlendMode::kScreen) return VScreen(cb, cs);
  if constexpr (M == BlendMode::kOverlay) return VHardLight(cs, cb);
  if constexpr (M == BlendMode::kHardLight) return VHardLight(cb, cs);
  if constexpr (M == BlendMode::kSoftLight)
    return Sel(cs <= kHalf, cb - (kOne - kTwo * cs) * cb * (kOne - cb),
               cb + (kTwo * cs - kOne) * (VSqrt(cb) - cb));
  if constexpr (M == BlendMode::kDarken) return VMin(cb, cs);
  if constexpr (M == BlendMode::kLighten) return VMax(cb, cs);
  if constexpr (M == BlendMode::kColorDodge) return VColorDodge(cb, cs);
  if constexpr (M == BlendMode::kColorBurn) return VColorBurn(cb, cs);
  if constexpr (M == BlendMode::kLinearBurn) return VMax(kZero, cb + cs - kOne);
  if constexpr (M == BlendMode::kLinearDodge) return VMin(kOne, cb + cs);
  if constexpr (M == BlendMode::kLinearLight) return VClamp01(cb + kTwo * cs - kOne);
  if constexpr (M == BlendMode::kVividLight)
    return Sel(cs <= kHalf, VColorBurn(cb, kTwo * cs), VColorDodge(cb, kTwo * cs - kOne));
  if constexpr (M == BlendMode::kPinLight)
    return Sel(cs <= kHalf, VMin(cb, kTwo * cs), VMax(cb, kTwo * cs - kOne));
  if constexpr (M == BlendMode::kHardMix) return Sel(cb + cs >= kOne, kOne, kZero);
  if constexpr (M == BlendMode::kDifference) return Sel(cb > cs, cb - cs, cs - cb);
  if constexpr (M == BlendMode::kExclusion) return cb + cs - kTwo * cb * cs;
  if constexpr (M == BlendMode::kSubtract) return VMax(kZero, cb - cs);
  if constexpr (M == BlendMode::kDivide)
    return Sel(cs <= kZero, Sel(cb <= kZero, kZero, kOne), VMin(kOne, cb / cs));
  return cs;  // normal, dissolve, pass through
}

template <BlendMode M>
inline V4 ColorV(V4 cb, V4 cs) {
  if constexpr (IsSeparableMode(M)) {
    return ChannelV<M>(cb, cs);
  } else {
    RgbF r = Color<M>(RgbF{cb[0], cb[1], cb[2]}, RgbF{cs[0], cs[1], cs[2]});
    return V4{r.r, r.g, r.b, 0.0f};
  }
}

// Calls fn.template operator()<M>() with the mode as a compile-time value.
template <class Fn>
decltype(auto) WithMode(BlendMode mode, Fn&& fn) {
  switch (mode) {
#define TESSARO_MODE(m) \
  case BlendMode::m:    \
    return fn.template operator()<BlendMode::m>();
    TESSARO_MODE(kPassThrough)
    TESSARO_MODE(kNormal)
    TESSARO_MODE(kDissolve)
    TESSARO_MODE(kDarken)
    TESSARO_MODE(kMultiply)
    TESSARO_MODE(kColorBurn)
    TESSARO_MODE(kLinearBurn)
    TESSARO_MODE(kDarkerColor)
    TESSARO_MODE(kLighten)
    TESSARO_MODE(kScreen)
    TESSARO_MODE(kColorDodge)
    TESSARO_MODE(kLinearDodge)
    TESSARO_MODE(kLighterColor)
    TESSARO_MODE(kOverlay)
    TESSARO_MODE(kSoftLight)
    TESSARO_MODE(kHardLight)
    TESSARO_MODE(kVividLight)
    TESSARO_MODE(kLinearLight)
    TESSARO_MODE(kPinLight)
    TESSARO_MODE(kHardMix)
    TESSARO_MODE(kDifference)
    TESSARO_MODE(kExclusion)
    TESSARO_MODE(kSubtract)
    TESSARO_MODE(kDivide)
    TESSARO_MODE(kHue)
    TESSARO_MODE(kSaturation)
    TESSARO_MODE(kColor)
    TESSARO_MODE(kLuminosity)
#undef TESSARO_MODE
  }
  return fn.template operator()<BlendMode::kNormal>();
}

// The compositing formula for one pixel; `blend` computes B(cb, cs).
template <class BlendFn>
inline Rgba8 CompositeCore(Rgba8 d, Rgba8 s, float as, BlendFn blend) {
  if (as <= 0) return d;
  const float ab = d.a * pixel::kInv255;
  const RgbF cs{s.r * pixel::kInv255, s.g * pixel::kInv255, s.b * pixel::kInv255};
  const float ao = as + ab * (1 - as);
  const uint8_t ao8 = pixel::RoundByte(std::min(255.0f, ao * 255.0f));
  if (ao8 == 0) return Rgba8{0, 0, 0, 0};
  if (ab <= 0) return Rgba8{s.r, s.g, s.b, ao8};
  const RgbF cb{d.r * pixel::kInv255, d.g * pixel::kInv255, d.b * pixel::kInv255};
  const RgbF b = blend(cb, cs);
  // Source colour mixed with the blend result where the backdrop is visible.
  const float k = (1 - as) * ab;
  const float inv = 255.0f / ao;
  auto channel = [&](float csc, float bc, float cbc) {
    float mixed = (1 - ab) * csc + ab * Clamp01(bc);
    return pixel::ClampByte((as * mixed + k * cbc) * inv);
  };
  return Rgba8{channel(cs.r, b.r, cb.r), channel(cs.g, b.g, cb.g), channel(cs.b, b.b, cb.b), ao8};
}

// CompositeCore on four lanes; same formula, used for whole rows.
template <class BlendFn>
inline Rgba8 CompositeCoreV(Rgba8 d, Rgba8 s, float as, BlendFn blend) {
  if (as <= 0) return d;
  const float ab = d.a * pixel::kInv255;
  const float ao = as + ab * (1 - as);
  const uint8_t ao8 = pixel::RoundByte(std::min(255.0f, ao * 255.0f));
  if (ao8 == 0) return Rgba8{0, 0, 0, 0};
  if (ab <= 0) return Rgba8{s.r, s.g, s.b, ao8};
  const V4 cs = pixel::LoadStraight(s) * pixel::kInv255, cb = pixel::LoadStraight(d) * pixel::kInv255;
  const V4 b = VClamp01(blend(cb, cs));
  const V4 mixed = cs * (1 - ab) + b * ab;
  V4 out = VMin(VMax((mixed * as + cb * ((1 - as) * ab)) * (255.0f / ao), kZero), pixel::Splat(255.0f));
  out[3] = float(ao8);
  return pixel::PackRounded(out);
}

// Pixels [i0, i1) of a row, one at a time.
template <BlendMode M>
void CompositePixels(Rgba8* d, const Rgba8* s, const uint8_t* mask, int i0, int i1, float scale,
                     bool fullScale, int x0, int y) {
  constexpr bool kNormalLike =
      M == BlendMode::kNormal || M == BlendMode::kPassThrough || M == BlendMode::kDissolve;
  for (int i = i0; i < i1; ++i) {
    const Rgba8 sp = s[i];
    const unsigned m = mask[i];
    if (sp.a == 0 || m == 0) continue;
    if (kNormalLike && fullScale && (sp.a & m) == 255) {
      // An opaque pixel laid on normally replaces what was there.
      d[i] = Rgba8{sp.r, sp.g, sp.b, 255};
      continue;
    }
    float as = sp.a * pixel::kInv255 * scale * (m * pixel::kInv255);
    if constexpr (M == BlendMode::kDissolve) {
      if (!(as > DissolveThreshold(x0 + i, y))) continue;
      as = 1.0f;
    }
    d[i] = CompositeCoreV(d[i], sp, as, [](V4 cb, V4 cs) { return ColorV<M>(cb, cs); });
  }
}

template <BlendMode M>
void CompositeRow(Rgba8* d, const Rgba8* s, const uint8_t* mask, int n, float scale, bool fullScale, int x0,
                  int y) {
  if constexpr (M == BlendMode::kNormal || M == BlendMode::kPassThrough) {
    if (fullScale) {
      // Four pixels at a time: a placed photo under its slot's mask is
      // mostly hidden (mask or alpha 0) or shown whole (both 255), which
      // needs no arithmetic; blocks that mix go pixel by pixel.
      const uint32_t alphaBits = std::bit_cast<uint32_t>(Rgba8{0, 0, 0, 255});
      int i = 0;
      for (; i + 4 <= n; i += 4) {
        uint32_t m4, p[4];
        std::memcpy(&m4, mask + i, 4);
        std::memcpy(p, s + i, 16);
        const uint32_t all = p[0] & p[1] & p[2] & p[3], any = p[0] | p[1] | p[2] | p[3];
        if (m4 == 0 || (any & alphaBits) == 0) continue;
        if (m4 == 0xFFFFFFFFu && (all & alphaBits) == alphaBits) {
          std::memcpy(d + i, s + i, 16);
          continue;
        }
        CompositePixels<M>(d, s, mask, i, i + 4, scale, fullScale, x0, y);
      }
      CompositePixels<M>(d, s, mask, i, n, scale, fullScale, x0, y);
      return;
    }
  }
  CompositePixels<M>(d, s, mask, 0, n, scale, fullScale, x0, y);
}

}  // namespace

bool IsSeparable(BlendMode mode) { return IsSeparableMode(mode); }

float BlendChannel(BlendMode mode, float cb, float cs) {
  cb = Clamp01(cb);
  cs = Clamp01(cs);
  if (!IsSeparable(mode)) return cs;
  return WithMode(mode, [&]<BlendMode M>() { return Channel<M>(cb, cs); });
}

RgbF BlendColor(BlendMode mode, RgbF cb, RgbF cs) {
  cb = RgbF{Clamp01(cb.r), Clamp01(cb.g), Clamp01(cb.b)};
  cs = RgbF{Clamp01(cs.r), Clamp01(cs.g), Clamp01(cs.b)};
  return WithMode(mode, [&]<BlendMode M>() { return Color<M>(cb, cs); });
}

float Lum(RgbF c) { return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b; }

RgbF ClipColor(RgbF c) {
  const float l = Lum(c);
  const float n = std::min({c.r, c.g, c.b});
  const float x = std::max({c.r, c.g, c.b});
  if (n < 0 && l - n > 1e-9f) {
    const float k = l / (l - n);
    c = RgbF{l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
  }
  if (x > 1 && x - l > 1e-9f) {
    const float k = (1 - l) / (x - l);
    c = RgbF{l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
  }
  return c;
}

RgbF SetLum(RgbF c, float l) {
  const float d = l - Lum(c);
  return ClipColor(RgbF{c.r + d, c.g + d, c.b + d});
}

float Sat(RgbF c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

RgbF SetSat(RgbF c, float s) {
  float* ch[3] = {&c.r, &c.g, &c.b};
  // Order the three channels: min, mid, max.
  if (*ch[0] > *ch[1]) std::swap(ch[0], ch[1]);
  if (*ch[1] > *ch[2]) std::swap(ch[1], ch[2]);
  if (*ch[0] > *ch[1]) std::swap(ch[0], ch[1]);
  float& cmin = *ch[0];
  float& cmid = *ch[1];
  float& cmax = *ch[2];
  if (cmax > cmin) {
    cmid = (cmid - cmin) * s / (cmax - cmin);
    cmax = s;
  } else {
    cmid = cmax = 0;
  }
  cmin = 0;
  return c;
}

float DissolveThreshold(int x, int y) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ (uint32_t(y) + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return float(h >> 8) * (1.0f / 16777216.0f);
}

Rgba8 CompositePixel(Rgba8 backdrop, Rgba8 source, BlendMode mode, float sourceAlphaScale) {
  const float as = source.a * pixel::kInv255 * Clamp01(sourceAlphaScale);
  return CompositeCore(backdrop, source, as, [mode](RgbF cb, RgbF cs) { return BlendColor(mode, cb, cs); });
}

void Composite(Image& dest, const IntRect& region, const Image& source, int left, int top,
               const CompositeOptions& options) {
  if (dest.empty() || source.empty()) return;
  const IntRect area = Intersect(
      Intersect(region, IntRect{0, 0, dest.width(), dest.height()}),
      IntRect{left, top, int(std::min<int64_t>(int64_t(left) + source.width(), kMaxImageSide * 4LL)),
              int(std::min<int64_t>(int64_t(top) + source.height(), kMaxImageSide * 4LL))});
  if (area.Empty() || options.opacity == 0 || options.fillOpacity == 0) return;
  const float scale = options.opacity * pixel::kInv255 * (options.fillOpacity * pixel::kInv255);
  const bool fullScale = options.opacity == 255 && options.fillOpacity == 255;

  // The part of the mask backed by pixels (bounds clipped to the plane).
  const MaskRef* mask = options.mask;
  IntRect maskPixels;
  if (mask && mask->pixels && !mask->pixels->empty())
    maskPixels = Intersect(
        mask->bounds,
        IntRect{mask->bounds.left, mask->bounds.top,
                int(std::min<int64_t>(int64_t(mask->bounds.left) + mask->pixels->width(), INT32_MAX)),
                int(std::min<int64_t>(int64_t(mask->bounds.top) + mask->pixels->height(), INT32_MAX))});
  const uint8_t maskDefault = mask ? mask->defaultColor : 255;
  if (mask && maskDefault == 0 && Intersect(maskPixels, area).Empty()) return;

  auto rows = [&](int64_t r0, int64_t r1) {
    std::vector<uint8_t> maskRow(area.Width());
    WithMode(options.mode, [&]<BlendMode M>() {
      for (int64_t r = r0; r < r1; ++r) {
        const int y = area.top + int(r);
        const bool maskedRow = !maskPixels.Empty() && y >= maskPixels.top && y < maskPixels.bottom;
        const int xa = std::max(area.left, maskPixels.left), xb = std::min(area.right, maskPixels.right);
        // Where the mask is 0 outside its pixels, only the columns under
        // them can change.
        int from = area.left, to = area.right;
        if (mask && maskDefault == 0) {
          if (!maskedRow) continue;
          from = xa;
          to = xb;
        }
        if (to <= from) continue;
        uint8_t* row = maskRow.data() + (from - area.left);
        std::fill(row, row + (to - from), maskDefault);
        if (maskedRow) {
          const uint8_t* m = mask->pixels->Row(y - mask->bounds.top);
          for (int x = xa; x < xb; ++x) maskRow[x - area.left] = m[x - mask->bounds.left];
        }
        CompositeRow<M>(dest.Row(y) + from, source.Row(y - top) + (from - left), row, to - from, scale,
                        fullScale, from, y);
      }
    });
  };
  if (options.parallel)
    ParallelFor(area.Height(), std::max(1, 32768 / area.Width()), rows);
  else
    rows(0, area.Height());
}

}  // namespace tessaro
