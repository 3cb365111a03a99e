#include "imaging/ops/Affine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "base/Parallel.h"
#include "imaging/PixelMath.h"
#include "imaging/ops/Resample.h"

namespace tessaro {

using pixel::V4;

namespace {

struct RgbaTraits {
  using Pixel = Rgba8;
  using Elem = V4;
  static Elem Load(Rgba8 p) { return pixel::LoadPremultiplied(p); }
  __attribute__((always_inline)) static void Put(Rgba8& d, Elem s, float k, DrawMode mode) {
    const V4 sp = s * k;
    if (mode == DrawMode::kCopy) {
      d = pixel::StorePremultiplied(sp);
      return;
    }
    const float sa = std::clamp(sp[3], 0.0f, 255.0f);
    if (sa <= 0) return;
    d = pixel::StorePremultiplied(sp + pixel::LoadPremultiplied(d) * (1.0f - sa * pixel::kInv255));
  }
};

struct PlaneTraits {
  using Pixel = uint8_t;
  using Elem = float;
  static Elem Load(uint8_t p) { return float(p); }
  __attribute__((always_inline)) static void Put(uint8_t& d, Elem s, float k, DrawMode mode) {
    if (mode == DrawMode::kCopy)
      d = pixel::ClampByte(s * k);
    else
      d = pixel::ClampByte(float(d) + (s - float(d)) * k);
  }
};

// Keys cubic (a = -0.5) weights for the four pixels around a sample whose
// fractional offset from the second one is t in [0, 1).
inline void CubicWeights(float t, float w[4]) {
  const float t2 = t * t, t3 = t2 * t;
  w[0] = -0.5f * t3 + t2 - 0.5f * t;
  w[1] = 1.5f * t3 - 2.5f * t2 + 1.0f;
  w[2] = -1.5f * t3 + 2.0f * t2 + 0.5f * t;
  w[3] = 0.5f * t3 - 0.5f * t2;
}

// Reads source pixels for sampling. `Opaque` (an Image whose alpha is 255
// everywhere) skips the premultiplication, which is then the identity.
template <class T, bool Opaque>
struct Sampler {
  using Elem = typename T::Elem;
  using Pixel = typename T::Pixel;
  const PixelBuffer<Pixel>& src;
  int w, h;

  static Elem L(const Pixel& p) {
    if constexpr (Opaque && std::is_same_v<Pixel, Rgba8>)
      return pixel::LoadStraight(p);
    else
      return T::Load(p);
  }
  Elem At(int x, int y) const { return L(src.At(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1))); }

  // Clamped = false promises that the whole footprint lies inside the source.
  template <Sampling S, bool Clamped>
  Elem Sample(double u, double v) const {
    if constexpr (S == Sampling::kNearest) {
      if constexpr (Clamped) return At(int(std::floor(u)), int(std::floor(v)));
      return L(src.At(int(u), int(v)));
    } else if constexpr (S == Sampling::kBilinear) {
      const double px = u - 0.5, py = v - 0.5;
      const double fx0 = std::floor(px), fy0 = std::floor(py);
      const int x0 = int(fx0), y0 = int(fy0);
      const float fx = float(px - fx0), fy = float(py - fy0);
      Elem p00, p10, p01, p11;
      if constexpr (Clamped) {
        p00 = At(x0, y0), p10 = At(x0 + 1, y0), p01 = At(x0, y0 + 1), p11 = At(x0 + 1, y0 + 1);
      } else {
        const Pixel* r0 = src.Row(y0) + x0;
        const Pixel* r1 = src.Row(y0 + 1) + x0;
        p00 = L(r0[0]), p10 = L(r0[1]), p01 = L(r1[0]), p11 = L(r1[1]);
      }
      const Elem top = p00 + (p10 - p00) * fx;
      const Elem bottom = p01 + (p11 - p01) * fx;
      return top + (bottom - top) * fy;
    } else {
      const double px = u - 0.5, py = v - 0.5;
      const double fx0 = std::floor(px), fy0 = std::floor(py);
      const int x0 = int(fx0), y0 = int(fy0);
      float wx[4], wy[4];
      CubicWeights(float(px - fx0), wx);
      CubicWeights(float(py - fy0), wy);
      // Sums are paired so that the additions do not wait on each other.
      Elem rows[4];
      for (int j = 0; j < 4; ++j) {
        if constexpr (Clamped) {
          const int y = y0 - 1 + j;
          rows[j] =
              (At(x0 - 1, y) * wx[0] + At(x0, y) * wx[1]) + (At(x0 + 1, y) * wx[2] + At(x0 + 2, y) * wx[3]);
        } else {
          const Pixel* r = src.Row(y0 - 1 + j) + (x0 - 1);
          Elem p[4];
          if constexpr (std::is_same_v<Pixel, Rgba8>) {
            pixel::Load4<!Opaque>(r, p);
          } else {
            for (int i = 0; i < 4; ++i) p[i] = L(r[i]);
          }
          rows[j] = (p[0] * wx[0] + p[1] * wx[1]) + (p[2] * wx[2] + p[3] * wx[3]);
        }
      }
      return (rows[0] * wy[0] + rows[1] * wy[1]) + (rows[2] * wy[2] + rows[3] * wy[3]);
    }
  }
};

// Fraction of a destination pixel inside the source along one source axis:
// t is the pixel centre's source coordinate on that axis, size the source's
// extent, invG the reciprocal of the coordinate's gradient length (so t * invG
// is the distance to the edge t = 0 in destination pixels).
inline float EdgeCoverage(double t, double size, double invG, bool antialias) {
  if (!antialias) return (t >= 0 && t < size) ? 1.0f : 0.0f;
  const double c1 = std::clamp(0.5 + t * invG, 0.0, 1.0);
  const double c2 = std::clamp(0.5 + (size - t) * invG, 0.0, 1.0);
  return float(std::max(0.0, c1 + c2 - 1.0));
}

// Narrows [x0, x1) to the x whose pixel centre gives lo < a + b * (x + 0.5) < hi,
// outward (keeping one pixel of slack on each side) or inward (keeping only
// pixels that certainly satisfy it, with the same slack).
void NarrowSpan(double a, double b, double lo, double hi, bool inward, int& x0, int& x1) {
  if (std::fabs(b) < 1e-12) {
    const double e = inward ? -1e-9 : 1e-9;
    if (!(a > lo - e && a < hi + e)) x1 = x0;
    return;
  }
  double ea = (lo - a) / b - 0.5, eb = (hi - a) / b - 0.5;
  if (ea > eb) std::swap(ea, eb);
  const double kLimit = 1e9;
  ea = std::clamp(ea, -kLimit, kLimit);
  eb = std::clamp(eb, -kLimit, kLimit);
  if (inward) {
    x0 = std::max(x0, int(std::ceil(ea)) + 1);
    x1 = std::min(x1, int(std::floor(eb)) - 1);
  } else {
    x0 = std::max(x0, int(std::floor(ea)) - 1);
    x1 = std::min(x1, int(std::ceil(eb)) + 2);
  }
  if (x1 < x0) x1 = x0;
}

// How far a sampler reads around its point, in source pixels.
double SamplerReach(Sampling s) {
  switch (s) {
    case Sampling::kNearest:
      return 0.0;
    case Sampling::kBilinear:
      return 0.5;
    default:
      return 1.5;
  }
}

struct DrawGeometry {
  Affine2D inv;  // destination -> source
  double W, H;   // source size
  double invGu, invGv;
  double mu, mv;  // half a destination pixel in source units along u and v (0 without anti-aliasing)
  double reach;
  bool antialias;
  float opacity;
  DrawMode mode;
  // Interior pixels are sampled in fixed point (bicubic from an opaque
  // source at full opacity; see FixedBicubicSpan).
  bool fixedInterior = false;
};

#if defined(__SSE2__)

// Bicubic sampling of an opaque picture in fixed point. Sample positions are
// carried in 32.32 fixed point and rounded to 1/kPhases of a pixel (a shift of
// at most 1/2048 pixel, a small fraction of a level even across a hard edge);
// the weights of each phase come from a table, scaled to 1 << 14 and summing
// to it exactly. A row of four pixels is filtered with two multiply-adds of
// 16-bit pairs, the four row sums are kept as 16-bit values with six
// fractional bits and combined the same way. The result stays within one
// level of the floating-point sampler.
constexpr int kPhaseBits = 10;
constexpr int kPhases = 1 << kPhaseBits;

struct CubicTable {
  alignas(16) int16_t w[kPhases][4];
  CubicTable() {
    for (int i = 0; i < kPhases; ++i) {
      float f[4];
      CubicWeights(float(i) / kPhases, f);
      int sum = 0, largest = 0;
      for (int k = 0; k < 4; ++k) {
        w[i][k] = int16_t(std::lround(f[k] * 16384.0f));
        sum += w[i][k];
        if (w[i][k] > w[i][largest]) largest = k;
      }
      w[i][largest] = int16_t(w[i][largest] + (16384 - sum));
    }
  }
};

const CubicTable& Cubic() {
  static const CubicTable table;
  return table;
}

// Four source pixels from `p` weighed by the 16-bit weights in `w` (lanes
// 0..3): four 32-bit channel sums scaled by 1 << 14.
inline __m128i FilterFour(const Rgba8* p, __m128i w01, __m128i w23) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i next = _mm_srli_si128(x, 4);
  // Channel pairs of pixels (0, 1) and (2, 3): r0 r1 g0 g1 b0 b1 a0 a1 | r2 r3 ...
  const __m128i pairs = _mm_unpacklo_epi64(_mm_unpacklo_epi8(x, next), _mm_unpackhi_epi8(x, next));
  return _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), w01),
                       _mm_madd_epi16(_mm_unpackhi_epi8(pairs, zero), w23));
}

// Destination pixels [x0, x1) of one row whose pixel centres map to
// u = uRow + du * (x + 0.5), v = vRow + dv * (x + 0.5); the caller has made
// sure that every 4 x 4 footprint lies inside the source.
void FixedBicubicSpan(const Image& src, double uRow, double vRow, double du, double dv, int x0, int x1,
                      Rgba8* out) {
  if (x1 <= x0) return;
  const CubicTable& table = Cubic();
  constexpr double kOne = 4294967296.0;  // 1 << 32
  // The sampled grid is offset by half a pixel; the rounding to a phase is
  // folded into the start.
  const int64_t half = int64_t(1) << (31 - kPhaseBits);
  int64_t U = std::llround((uRow + du * (x0 + 0.5) - 0.5) * kOne) + half;
  int64_t V = std::llround((vRow + dv * (x0 + 0.5) - 0.5) * kOne) + half;
  const int64_t dU = std::llround(du * kOne), dV = std::llround(dv * kOne);
  const __m128i rowHalf = _mm_set1_epi32(1 << 7);
  const __m128i outHalf = _mm_set1_epi32(1 << 19);
  for (int x = x0; x < x1; ++x, U += dU, V += dV) {
    const int ix = int(U >> 32), iy = int(V >> 32);
    const int phaseX = int(U >> (32 - kPhaseBits)) & (kPhases - 1);
    const int phaseY = int(V >> (32 - kPhaseBits)) & (kPhases - 1);
    const __m128i wx = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(table.w[phaseX]));
    const __m128i wy = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(table.w[phaseY]));
    const __m128i wx01 = _mm_shuffle_epi32(wx, 0x00), wx23 = _mm_shuffle_epi32(wx, 0x55);
    const Rgba8* p = src.Row(iy - 1) + (ix - 1);
    const size_t stride = src.StrideBytes() / sizeof(Rgba8);
    __m128i r[4];
    for (int j = 0; j < 4; ++j)
      r[j] = _mm_srai_epi32(_mm_add_epi32(FilterFour(p + j * stride, wx01, wx23), rowHalf), 8);
    // Rows (0, 1) and (2, 3) as channel pairs, then weighed vertically.
    const __m128i even = _mm_packs_epi32(r[0], r[2]), odd = _mm_packs_epi32(r[1], r[3]);
    __m128i acc = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(even, odd), _mm_shuffle_epi32(wy, 0x00)),
                                _mm_madd_epi16(_mm_unpackhi_epi16(even, odd), _mm_shuffle_epi32(wy, 0x55)));
    acc = _mm_srai_epi32(_mm_add_epi32(acc, outHalf), 20);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(acc, acc), acc);
    out[x] = std::bit_cast<Rgba8>(uint32_t(_mm_cvtsi128_si32(bytes)));
  }
}

#endif  // __SSE2__

template <class T, Sampling S, bool Opaque>
void DrawRow(const Sampler<T, Opaque>& sampler, const DrawGeometry& g, typename T::Pixel* out, int y,
             int left, int right) {
  const Affine2D& inv = g.inv;
  const double yc = y + 0.5;
  // u = uRow + inv.xx * (x + 0.5), v likewise.
  const double uRow = inv.xy * yc + inv.tx, vRow = inv.yy * yc + inv.ty;
  int x0 = left, x1 = right;
  NarrowSpan(uRow, inv.xx, -g.mu, g.W + g.mu, false, x0, x1);
  NarrowSpan(vRow, inv.yx, -g.mv, g.H + g.mv, false, x0, x1);
  // Inside [i0, i1) every pixel is fully covered and its whole sampling
  // footprint lies in the source.
  int i0 = x0, i1 = x1;
  // (The extra millionth of a pixel absorbs rounding in u and v.)
  const double ru = std::max(g.mu, g.reach) + 1e-6, rv = std::max(g.mv, g.reach) + 1e-6;
  NarrowSpan(uRow, inv.xx, ru, g.W - ru, true, i0, i1);
  NarrowSpan(vRow, inv.yx, rv, g.H - rv, true, i0, i1);
  if (i1 <= i0) i0 = i1 = x1;

  auto edgePixel = [&](int x) {
    const double xc = x + 0.5;
    const double u = uRow + inv.xx * xc, v = vRow + inv.yx * xc;
    const float cov = EdgeCoverage(u, g.W, g.invGu, g.antialias) * EdgeCoverage(v, g.H, g.invGv, g.antialias);
    if (cov <= 0) return;
    T::Put(out[x], sampler.template Sample<S, true>(u, v), cov * g.opacity, g.mode);
  };
  for (int x = x0; x < i0; ++x) edgePixel(x);
#if defined(__SSE2__)
  if constexpr (std::is_same_v<typename T::Pixel, Rgba8> && S == Sampling::kBicubic && Opaque) {
    if (g.fixedInterior) {
      // An opaque sample at full opacity replaces the pixel in either mode.
      // Rounding positions to a phase may move them by up to half a phase,
      // so the fixed-point span keeps that much more from the edges.
      int f0 = i0, f1 = i1;
      constexpr double kPhaseMargin = 1.0 / kPhases;
      NarrowSpan(uRow, inv.xx, ru + kPhaseMargin, g.W - ru - kPhaseMargin, true, f0, f1);
      NarrowSpan(vRow, inv.yx, rv + kPhaseMargin, g.H - rv - kPhaseMargin, true, f0, f1);
      if (f1 <= f0) f0 = f1 = i1;
      auto interior = [&](int x) {
        const double xc = x + 0.5;
        const double u = uRow + inv.xx * xc, v = vRow + inv.yx * xc;
        T::Put(out[x], sampler.template Sample<S, false>(u, v), g.opacity, g.mode);
      };
      for (int x = i0; x < f0; ++x) interior(x);
      FixedBicubicSpan(sampler.src, uRow, vRow, inv.xx, inv.yx, f0, f1, out);
      for (int x = std::max(f1, i0); x < i1; ++x) interior(x);
      for (int x = std::max(i1, x0); x < x1; ++x) edgePixel(x);
      return;
    }
  }
#endif
  for (int x = i0; x < i1; ++x) {
    const double xc = x + 0.5;
    const double u = uRow + inv.xx * xc, v = vRow + inv.yx * xc;
    T::Put(out[x], sampler.template Sample<S, false>(u, v), g.opacity, g.mode);
  }
  for (int x = std::max(i1, x0); x < x1; ++x) edgePixel(x);
}

bool IsOpaque(const Image& image) {
  for (int y = 0; y < image.height(); ++y) {
    const Rgba8* row = image.Row(y);
    unsigned all = 255;
    for (int x = 0; x < image.width(); ++x) all &= row[x].a;
    if (all != 255) return false;
  }
  return true;
}
bool IsOpaque(const Plane&) { return false; }

template <class Pixel>
struct TraitsOf;
template <>
struct TraitsOf<Rgba8> {
  using Type = RgbaTraits;
};
template <>
struct TraitsOf<uint8_t> {
  using Type = PlaneTraits;
};

// `opaqueHint` spares the scan of the source when the caller knows whether
// it is opaque (a transform draws the same source band after band).
template <class T>
Status DrawImpl(PixelBuffer<typename T::Pixel>& dest, const IntRect& region,
                const PixelBuffer<typename T::Pixel>& src, const Affine2D& m, const DrawOptions& o,
                std::optional<bool> opaqueHint = std::nullopt) {
  if (src.empty()) return Status::Error("draw: empty source");
  if (dest.empty()) return Status::Error("draw: empty destination");
  const std::optional<Affine2D> invOpt = m.Inverted();
  if (!invOpt) return Status::Error("draw: the matrix cannot be inverted");
  DrawGeometry g;
  g.inv = *invOpt;
  g.W = src.width();
  g.H = src.height();
  RectF bounds = TransformedBounds(m, RectF{0, 0, g.W, g.H});
  bounds = RectF{bounds.left - 1, bounds.top - 1, bounds.right + 1, bounds.bottom + 1};
  const IntRect area =
      Intersect(Intersect(region, IntRect{0, 0, dest.width(), dest.height()}), CoveredPixels(bounds));
  if (area.Empty() || o.opacity == 0) return Status::Ok();

  const double gu = std::hypot(g.inv.xx, g.inv.xy), gv = std::hypot(g.inv.yx, g.inv.yy);
  g.invGu = 1.0 / gu;
  g.invGv = 1.0 / gv;
  g.antialias = o.antialias;
  g.mu = o.antialias ? 0.5 * gu : 0.0;
  g.mv = o.antialias ? 0.5 * gv : 0.0;
  g.reach = SamplerReach(o.sampling);
  g.opacity = o.opacity * pixel::kInv255;
  g.mode = o.mode;
  const bool opaque = opaqueHint ? *opaqueHint : IsOpaque(src);
  g.fixedInterior = opaque && o.opacity == 255 && o.sampling == Sampling::kBicubic;

  auto rows = [&](int64_t r0, int64_t r1) {
    auto run = [&]<Sampling S, bool Opaque>() {
      const Sampler<T, Opaque> sampler{src, src.width(), src.height()};
      // Tiles of kTile x kTile destination pixels read a compact patch of
      // the source whatever the angle, which keeps it in the cache.
      constexpr int kTile = 64;
      for (int64_t b0 = r0; b0 < r1; b0 += kTile) {
        const int64_t b1 = std::min<int64_t>(r1, b0 + kTile);
        for (int tx = area.left; tx < area.right; tx += kTile) {
          const int tr = std::min(area.right, tx + kTile);
          for (int64_t r = b0; r < b1; ++r) {
            const int y = area.top + int(r);
            DrawRow<T, S, Opaque>(sampler, g, dest.Row(y), y, tx, tr);
          }
        }
      }
    };
    auto withOpacity = [&]<Sampling S>() {
      if (opaque)
        run.template operator()<S, true>();
      else
        run.template operator()<S, false>();
    };
    switch (o.sampling) {
      case Sampling::kNearest:
        withOpacity.template operator()<Sampling::kNearest>();
        break;
      case Sampling::kBilinear:
        withOpacity.template operator()<Sampling::kBilinear>();
        break;
      default:
        withOpacity.template operator()<Sampling::kBicubic>();
        break;
    }
  };
  if (o.parallel)
    ParallelFor(area.Height(), std::max(1, 16384 / area.Width()), rows);
  else
    rows(0, area.Height());
  return Status::Ok();
}

template <class T>
Status DrawReference(PixelBuffer<typename T::Pixel>& dest, const IntRect& region,
                     const PixelBuffer<typename T::Pixel>& src, const Affine2D& m, const DrawOptions& o) {
  if (src.empty()) return Status::Error("draw: empty source");
  if (dest.empty()) return Status::Error("draw: empty destination");
  const std::optional<Affine2D> inv = m.Inverted();
  if (!inv) return Status::Error("draw: the matrix cannot be inverted");
  const IntRect area = Intersect(region, IntRect{0, 0, dest.width(), dest.height()});
  if (o.opacity == 0) return Status::Ok();
  const double W = src.width(), H = src.height();
  const double invGu = 1.0 / std::hypot(inv->xx, inv->xy), invGv = 1.0 / std::hypot(inv->yx, inv->yy);
  const float opacity = o.opacity * pixel::kInv255;
  const Sampler<T, false> sampler{src, src.width(), src.height()};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      // The same expressions as the fast path, so that results match exactly.
      const double yc = y + 0.5, xc = x + 0.5;
      const double u = (inv->xy * yc + inv->tx) + inv->xx * xc, v = (inv->yy * yc + inv->ty) + inv->yx * xc;
      const float cov = EdgeCoverage(u, W, invGu, o.antialias) * EdgeCoverage(v, H, invGv, o.antialias);
      if (cov <= 0) continue;
      typename T::Elem s;
      switch (o.sampling) {
        case Sampling::kNearest:
          s = sampler.template Sample<Sampling::kNearest, true>(u, v);
          break;
        case Sampling::kBilinear:
          s = sampler.template Sample<Sampling::kBilinear, true>(u, v);
          break;
        default:
          s = sampler.template Sample<Sampling::kBicubic, true>(u, v);
          break;
      }
      T::Put(dest.At(x, y), s, cov * opacity, o.mode);
    }
  return Status::Ok();
}

ResampleFilter FilterFor(Sampling s) {
  return s == Sampling::kBilinear ? ResampleFilter::kBilinear : ResampleFilter::kBicubic;
}

// Overlap of pixel [i, i + 1) with [lo, hi].
template <class Pixel>
constexpr Pixel kZeroPixel{};

inline float Overlap(int i, double lo, double hi) {
  return float(std::clamp(std::min(hi, i + 1.0) - std::max(lo, double(i)), 0.0, 1.0));
}

// Resamples `sourceRect` of `source` onto the whole of `dest`, one band of
// destination rows at a time. Every band maps its own slice of the source
// rectangle, so the filter sees the same positions as in one call; the pass
// order is fixed so that every band takes the same one.
template <class Buffer>
Status ResampleBanded(const Buffer& source, const RectF& sourceRect, Buffer& dest, ResampleFilter filter,
                      const TransformOptions& options) {
  ResampleOptions ro;
  ro.filter = filter;
  ro.order = ResampleOrder::kHorizontalFirst;
  const int h = dest.height();
  const int band = options.bandRows > 0 ? options.bandRows : TransformBandRows(dest.width());
  for (int y0 = 0; y0 < h; y0 += band) {
    if (options.cancel.Requested()) return Status::Cancelled();
    const int y1 = std::min(h, y0 + band);
    const double sy0 = sourceRect.top + sourceRect.Height() * y0 / h;
    const double sy1 = sourceRect.top + sourceRect.Height() * y1 / h;
    Status s = ResampleRegion(source, RectF{sourceRect.left, sy0, sourceRect.right, sy1}, dest,
                              IntRect{0, y0, dest.width(), y1}, ro);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

// The value of every pixel when all are the same and opaque (alpha 255 for
// a picture; any value for a plane), else nothing. Stops at the first pixel
// that differs, so a photo costs a row or two.
std::optional<Rgba8> OpaqueUniformValue(const Image& image) {
  if (image.empty()) return std::nullopt;
  const Rgba8 first = image.Row(0)[0];
  if (first.a != 255) return std::nullopt;
  for (int y = 0; y < image.height(); ++y) {
    const Rgba8* row = image.Row(y);
    for (int x = 0; x < image.width(); ++x)
      if (std::memcmp(&row[x], &first, sizeof(Rgba8)) != 0) return std::nullopt;
  }
  return first;
}
std::optional<uint8_t> OpaqueUniformValue(const Plane& plane) {
  if (plane.empty()) return std::nullopt;
  const uint8_t first = plane.Row(0)[0];
  for (int y = 0; y < plane.height(); ++y) {
    const uint8_t* row = plane.Row(y);
    for (int x = 0; x < plane.width(); ++x)
      if (row[x] != first) return std::nullopt;
  }
  return first;
}

// Common part of TransformImage and TransformPlane. `fade(pixel, coverage)`
// scales an edge pixel of the axis-aligned path by its coverage.
template <class Pixel, class Fade>
Status TransformInto(const PixelBuffer<Pixel>& source, const Affine2D& m, Sampling sampling,
                     PixelBuffer<Pixel>& out, IntRect& cover, DrawMode drawMode, Pixel fill, Fade fade,
                     const TransformOptions& options) {
  using Buffer = PixelBuffer<Pixel>;
  if (source.empty()) return Status::Error("transform: empty source");
  if (!m.IsFinite() || !m.Inverted()) return Status::Error("transform: the matrix cannot be inverted");
  if (options.cancel.Requested()) return Status::Cancelled();
  const double W = source.width(), H = source.height();
  const RectF bounds = TransformedBounds(m, RectF{0, 0, W, H});
  cover = CoveredPixels(bounds);
  if (cover.Empty() || !ImageSizeAllowed(cover.Width(), cover.Height(), 4))
    return Status::Error("transform: result too large");
  const bool separable = sampling != Sampling::kNearest && m.IsAxisAligned();
  // The separable path writes every pixel; the drawing relies on zeros.
  Status s = separable ? out.CreateUninitialized(cover.Width(), cover.Height())
                       : out.Create(cover.Width(), cover.Height());
  if (!s.ok()) return s;
  const Affine2D toOut = m.Then(Affine2D::Translation(-cover.left, -cover.top));
  const int outW = cover.Width(), outH = cover.Height();

  if (separable) {
    // Separable path: resample the source rectangle that maps onto the
    // covered pixels, then fade the partly covered border pixels. Edges
    // repeat, so a picture of one opaque colour (a template's plain
    // background) resamples to that colour: it is filled, not filtered.
    if (std::optional<Pixel> only = OpaqueUniformValue(source)) {
      ParallelFor(outH, 64, [&](int64_t y0, int64_t y1) {
        for (int64_t y = y0; y < y1; ++y) std::fill(out.Row(int(y)), out.Row(int(y)) + outW, *only);
      });
    } else {
      const Affine2D inv = *toOut.Inverted();
      const PointF a = inv.Apply({0, 0}), c = inv.Apply({double(outW), double(outH)});
      s = ResampleBanded(source, RectF{a.x, a.y, c.x, c.y}, out, FilterFor(sampling), options);
      if (!s.ok()) return s;
    }
    const double bl = bounds.left - cover.left, br = bounds.right - cover.left;
    const double bt = bounds.top - cover.top, bb = bounds.bottom - cover.top;
    std::vector<float> cx(outW), cy(outH);
    for (int i = 0; i < outW; ++i) cx[i] = Overlap(i, bl, br);
    for (int j = 0; j < outH; ++j) cy[j] = Overlap(j, bt, bb);
    // Only the first and last row and column can be partly covered.
    for (int j = 0; j < outH; ++j) {
      if (cy[j] < 1.0f) {
        for (int i = 0; i < outW; ++i) fade(out.At(i, j), cx[i] * cy[j]);
        continue;
      }
      if (cx[0] < 1.0f) fade(out.At(0, j), cx[0]);
      if (outW > 1 && cx[outW - 1] < 1.0f) fade(out.At(outW - 1, j), cx[outW - 1]);
    }
    return Status::Ok();
  }

  const Buffer* src = &source;
  Buffer reduced;
  Affine2D drawMatrix = toOut;
  if (sampling != Sampling::kNearest) {
    // Reduce first to the target scale so that the drawing only turns.
    const double su = std::hypot(m.xx, m.yx), sv = std::hypot(m.xy, m.yy);
    const int w2 = std::max(1, int(std::lround(W * std::min(1.0, su))));
    const int h2 = std::max(1, int(std::lround(H * std::min(1.0, sv))));
    if (w2 < source.width() || h2 < source.height()) {
      s = reduced.CreateUninitialized(w2, h2);
      if (!s.ok()) return s;
      s = ResampleBanded(source, RectF{0, 0, W, H}, reduced, ResampleFilter::kBicubic, options);
      if (!s.ok()) return s;
      src = &reduced;
      drawMatrix = Affine2D::Scaling(W / w2, H / h2).Then(toOut);
    }
  }
  DrawOptions d;
  d.sampling = sampling;
  d.mode = drawMode;
  // The buffer starts zeroed; another fill is laid band by band.
  const bool zeroFill = std::memcmp(&fill, &kZeroPixel<Pixel>, sizeof(Pixel)) == 0;
  const int band = options.bandRows > 0 ? options.bandRows : TransformBandRows(outW);
  const bool sourceOpaque = IsOpaque(*src);
  for (int y0 = 0; y0 < outH; y0 += band) {
    if (options.cancel.Requested()) return Status::Cancelled();
    const int y1 = std::min(outH, y0 + band);
    if (!zeroFill)
      for (int y = y0; y < y1; ++y) std::fill(out.Row(y), out.Row(y) + outW, fill);
    s = DrawImpl<typename TraitsOf<Pixel>::Type>(out, IntRect{0, y0, outW, y1}, *src, drawMatrix, d,
                                                 sourceOpaque);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

template <class Pixel>
void FlipRows(PixelBuffer<Pixel>& b) {
  for (int y = 0; y < b.height(); ++y) std::reverse(b.Row(y), b.Row(y) + b.width());
}

template <class Pixel>
void FlipColumns(PixelBuffer<Pixel>& b) {
  for (int y = 0, z = b.height() - 1; y < z; ++y, --z)
    std::swap_ranges(b.Row(y), b.Row(y) + b.width(), b.Row(z));
}

}  // namespace

Status DrawTransformed(Image& dest, const IntRect& destRegion, const Image& source,
                       const Affine2D& sourceToDest, const DrawOptions& options) {
  return DrawImpl<RgbaTraits>(dest, destRegion, source, sourceToDest, options);
}

Status DrawTransformed(Plane& dest, const IntRect& destRegion, const Plane& source,
                       const Affine2D& sourceToDest, const DrawOptions& options) {
  return DrawImpl<PlaneTraits>(dest, destRegion, source, sourceToDest, options);
}

Status DrawTransformedReference(Image& dest, const IntRect& destRegion, const Image& source,
                                const Affine2D& sourceToDest, const DrawOptions& options) {
  return DrawReference<RgbaTraits>(dest, destRegion, source, sourceToDest, options);
}

Status DrawTransformedReference(Plane& dest, const IntRect& destRegion, const Plane& source,
                                const Affine2D& sourceToDest, const DrawOptions& options) {
  return DrawReference<PlaneTraits>(dest, destRegion, source, sourceToDest, options);
}

int TransformBandRows(int width) { return std::max(8, int((int64_t(1) << 20) / std::max(1, width))); }

Result<PlacedImage> TransformImage(const Image& source, const Affine2D& sourceToDest, Sampling sampling,
                                   const TransformOptions& options) {
  PlacedImage placed;
  Status s = TransformInto(
      source, sourceToDest, sampling, placed.image, placed.bounds, DrawMode::kCopy, Rgba8{},
      [](Rgba8& p, float c) { p.a = pixel::RoundByte(p.a * c); }, options);
  if (!s.ok()) return s;
  return placed;
}

Result<PlacedPlane> TransformPlane(const Plane& source, const Affine2D& sourceToDest, Sampling sampling,
                                   uint8_t outside, const TransformOptions& options) {
  PlacedPlane placed;
  const float o = outside;
  // The general path mixes from `outside` towards the sample by coverage;
  // the separable path fades the border the same way.
  Status s = TransformInto(
      source, sourceToDest, sampling, placed.plane, placed.bounds, DrawMode::kBlend, outside,
      [o](uint8_t& p, float c) { p = pixel::ClampByte(o + (float(p) - o) * c); }, options);
  if (!s.ok()) return s;
  return placed;
}

void FlipHorizontal(Image& image) { FlipRows(image); }
void FlipVertical(Image& image) { FlipColumns(image); }
void FlipHorizontal(Plane& plane) { FlipRows(plane); }
void FlipVertical(Plane& plane) { FlipColumns(plane); }

}  // namespace tessaro
