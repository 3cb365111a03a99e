#include "imaging/Affine.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Parallel.h"
#include "imaging/PixelMath.h"
#include "imaging/Resample.h"

namespace tessaro {

using pixel::V4;

namespace {

struct RgbaTraits {
  using Pixel = Rgba8;
  using Elem = V4;
  static Elem Load(Rgba8 p) { return pixel::LoadPremultiplied(p); }
  static void Put(Rgba8& d, Elem s, float k, DrawMode mode) {
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
  static void Put(uint8_t& d, Elem s, float k, DrawMode mode) {
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

template <class T>
struct Sampler {
  using Elem = typename T::Elem;
  const PixelBuffer<typename T::Pixel>& src;
  int w, h;

  Elem At(int x, int y) const { return T::Load(src.At(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1))); }

  Elem Nearest(double u, double v) const { return At(int(std::floor(u)), int(std::floor(v))); }

  Elem Bilinear(double u, double v) const {
    const double px = u - 0.5, py = v - 0.5;
    const double fx0 = std::floor(px), fy0 = std::floor(py);
    const int x0 = int(fx0), y0 = int(fy0);
    const float fx = float(px - fx0), fy = float(py - fy0);
    Elem top, bottom;
    if (x0 >= 0 && y0 >= 0 && x0 + 1 < w && y0 + 1 < h) {
      const auto* r0 = src.Row(y0) + x0;
      const auto* r1 = src.Row(y0 + 1) + x0;
      top = T::Load(r0[0]) * (1 - fx) + T::Load(r0[1]) * fx;
      bottom = T::Load(r1[0]) * (1 - fx) + T::Load(r1[1]) * fx;
    } else {
      top = At(x0, y0) * (1 - fx) + At(x0 + 1, y0) * fx;
      bottom = At(x0, y0 + 1) * (1 - fx) + At(x0 + 1, y0 + 1) * fx;
    }
    return top * (1 - fy) + bottom * fy;
  }

  Elem Bicubic(double u, double v) const {
    const double px = u - 0.5, py = v - 0.5;
    const double fx0 = std::floor(px), fy0 = std::floor(py);
    const int x0 = int(fx0), y0 = int(fy0);
    float wx[4], wy[4];
    CubicWeights(float(px - fx0), wx);
    CubicWeights(float(py - fy0), wy);
    Elem acc{};
    const bool inside = x0 >= 1 && y0 >= 1 && x0 + 2 < w && y0 + 2 < h;
    for (int j = 0; j < 4; ++j) {
      Elem row{};
      if (inside) {
        const auto* r = src.Row(y0 - 1 + j) + (x0 - 1);
        row = T::Load(r[0]) * wx[0] + T::Load(r[1]) * wx[1] + T::Load(r[2]) * wx[2] + T::Load(r[3]) * wx[3];
      } else {
        for (int i = 0; i < 4; ++i) row += At(x0 - 1 + i, y0 - 1 + j) * wx[i];
      }
      acc += row * wy[j];
    }
    return acc;
  }
};

// Fraction of a destination pixel inside the source along one source axis:
// t is the pixel centre's source coordinate on that axis, size the source's
// extent, g the length of the coordinate's gradient in destination pixels
// (so t / g is the distance to the edge t = 0 in destination pixels).
inline float EdgeCoverage(double t, double size, double g, bool antialias) {
  if (!antialias) return (t >= 0 && t < size) ? 1.0f : 0.0f;
  const double c1 = std::clamp(0.5 + t / g, 0.0, 1.0);
  const double c2 = std::clamp(0.5 + (size - t) / g, 0.0, 1.0);
  return float(std::max(0.0, c1 + c2 - 1.0));
}

// Narrows [x0, x1) to the x whose pixel centre gives lo < a + b * (x + 0.5) < hi
// (conservatively: one pixel of slack on each side).
void NarrowSpan(double a, double b, double lo, double hi, int& x0, int& x1) {
  if (std::fabs(b) < 1e-12) {
    if (!(a > lo - 1e-9 && a < hi + 1e-9)) x1 = x0;
    return;
  }
  double ea = (lo - a) / b - 0.5, eb = (hi - a) / b - 0.5;
  if (ea > eb) std::swap(ea, eb);
  const double kLimit = 1e9;
  ea = std::clamp(ea, -kLimit, kLimit);
  eb = std::clamp(eb, -kLimit, kLimit);
  x0 = std::max(x0, int(std::floor(ea)) - 1);
  x1 = std::min(x1, int(std::ceil(eb)) + 2);
  if (x1 < x0) x1 = x0;
}

template <class T>
Status DrawImpl(PixelBuffer<typename T::Pixel>& dest, const IntRect& region,
                const PixelBuffer<typename T::Pixel>& src, const Affine2D& m, const DrawOptions& o) {
  using Elem = typename T::Elem;
  if (src.empty()) return Status::Error("draw: empty source");
  if (dest.empty()) return Status::Error("draw: empty destination");
  const std::optional<Affine2D> invOpt = m.Inverted();
  if (!invOpt) return Status::Error("draw: the matrix cannot be inverted");
  const Affine2D inv = *invOpt;
  const double W = src.width(), H = src.height();
  RectF bounds = TransformedBounds(m, RectF{0, 0, W, H});
  bounds = RectF{bounds.left - 1, bounds.top - 1, bounds.right + 1, bounds.bottom + 1};
  const IntRect area =
      Intersect(Intersect(region, IntRect{0, 0, dest.width(), dest.height()}), CoveredPixels(bounds));
  if (area.Empty() || o.opacity == 0) return Status::Ok();

  const double gu = std::hypot(inv.xx, inv.xy), gv = std::hypot(inv.yx, inv.yy);
  // Outside these source ranges a pixel has no coverage.
  const double mu = o.antialias ? 0.5 * gu : 0.0, mv = o.antialias ? 0.5 * gv : 0.0;
  const float opacity = o.opacity * pixel::kInv255;
  const Sampler<T> sampler{src, src.width(), src.height()};

  auto rows = [&](int64_t r0, int64_t r1) {
    for (int64_t r = r0; r < r1; ++r) {
      const int y = area.top + int(r);
      const double yc = y + 0.5;
      // u = uRow + inv.xx * (x + 0.5), v likewise.
      const double uRow = inv.xy * yc + inv.tx, vRow = inv.yy * yc + inv.ty;
      int x0 = area.left, x1 = area.right;
      NarrowSpan(uRow, inv.xx, -mu, W + mu, x0, x1);
      NarrowSpan(vRow, inv.yx, -mv, H + mv, x0, x1);
      x0 = std::max(x0, area.left);
      x1 = std::min(x1, area.right);
      typename T::Pixel* out = dest.Row(y);
      for (int x = x0; x < x1; ++x) {
        const double xc = x + 0.5;
        const double u = uRow + inv.xx * xc, v = vRow + inv.yx * xc;
        const float cov = EdgeCoverage(u, W, gu, o.antialias) * EdgeCoverage(v, H, gv, o.antialias);
        if (cov <= 0) continue;
        Elem s;
        switch (o.sampling) {
          case Sampling::kNearest:
            s = sampler.Nearest(u, v);
            break;
          case Sampling::kBilinear:
            s = sampler.Bilinear(u, v);
            break;
          default:
            s = sampler.Bicubic(u, v);
            break;
        }
        T::Put(out[x], s, cov * opacity, o.mode);
      }
    }
  };
  if (o.parallel)
    ParallelFor(area.Height(), std::max(1, 16384 / area.Width()), rows);
  else
    rows(0, area.Height());
  return Status::Ok();
}

ResampleFilter FilterFor(Sampling s) {
  return s == Sampling::kBilinear ? ResampleFilter::kBilinear : ResampleFilter::kBicubic;
}

// Overlap of pixel [i, i + 1) with [lo, hi].
inline float Overlap(int i, double lo, double hi) {
  return float(std::clamp(std::min(hi, i + 1.0) - std::max(lo, double(i)), 0.0, 1.0));
}

// Common part of TransformImage and TransformPlane. `fade(pixel, coverage)`
// scales an edge pixel of the axis-aligned path by its coverage.
template <class Pixel, class Fade>
Status TransformInto(const PixelBuffer<Pixel>& source, const Affine2D& m, Sampling sampling,
                     PixelBuffer<Pixel>& out, IntRect& cover, DrawMode drawMode, Pixel fill, Fade fade) {
  using Buffer = PixelBuffer<Pixel>;
  if (source.empty()) return Status::Error("transform: empty source");
  if (!m.Inverted()) return Status::Error("transform: the matrix cannot be inverted");
  const double W = source.width(), H = source.height();
  const RectF bounds = TransformedBounds(m, RectF{0, 0, W, H});
  cover = CoveredPixels(bounds);
  if (cover.Empty() || !ImageSizeAllowed(cover.Width(), cover.Height(), 4))
    return Status::Error("transform: result too large");
  Status s = out.Create(cover.Width(), cover.Height());
  if (!s.ok()) return s;
  const Affine2D toOut = m.Then(Affine2D::Translation(-cover.left, -cover.top));
  const IntRect all{0, 0, cover.Width(), cover.Height()};

  if (sampling != Sampling::kNearest && m.IsAxisAligned()) {
    // Separable path: resample the source rectangle that maps onto the
    // covered pixels, then fade the partly covered border pixels.
    const Affine2D inv = *toOut.Inverted();
    const PointF a = inv.Apply({0, 0}), c = inv.Apply({double(all.right), double(all.bottom)});
    ResampleOptions ro;
    ro.filter = FilterFor(sampling);
    s = ResampleRegion(source, RectF{a.x, a.y, c.x, c.y}, out, all, ro);
    if (!s.ok()) return s;
    const double bl = bounds.left - cover.left, br = bounds.right - cover.left;
    const double bt = bounds.top - cover.top, bb = bounds.bottom - cover.top;
    std::vector<float> cx(all.right), cy(all.bottom);
    for (int i = 0; i < all.right; ++i) cx[i] = Overlap(i, bl, br);
    for (int j = 0; j < all.bottom; ++j) cy[j] = Overlap(j, bt, bb);
    for (int j = 0; j < all.bottom; ++j) {
      const bool edgeRow = cy[j] < 1.0f;
      for (int i = 0; i < all.right; ++i)
        if (edgeRow || cx[i] < 1.0f) fade(out.At(i, j), cx[i] * cy[j]);
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
      s = reduced.Create(w2, h2);
      if (!s.ok()) return s;
      s = ResampleInto(source, reduced);
      if (!s.ok()) return s;
      src = &reduced;
      drawMatrix = Affine2D::Scaling(W / w2, H / h2).Then(toOut);
    }
  }
  out.Fill(fill);
  DrawOptions d;
  d.sampling = sampling;
  d.mode = drawMode;
  return DrawTransformed(out, all, *src, drawMatrix, d);
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

Result<PlacedImage> TransformImage(const Image& source, const Affine2D& sourceToDest, Sampling sampling) {
  PlacedImage placed;
  Status s = TransformInto(source, sourceToDest, sampling, placed.image, placed.bounds, DrawMode::kCopy,
                           Rgba8{}, [](Rgba8& p, float c) { p.a = pixel::RoundByte(p.a * c); });
  if (!s.ok()) return s;
  return placed;
}

Result<PlacedPlane> TransformPlane(const Plane& source, const Affine2D& sourceToDest, Sampling sampling,
                                   uint8_t outside) {
  PlacedPlane placed;
  const float o = outside;
  // The general path mixes from `outside` towards the sample by coverage;
  // the separable path fades the border the same way.
  Status s =
      TransformInto(source, sourceToDest, sampling, placed.plane, placed.bounds, DrawMode::kBlend, outside,
                    [o](uint8_t& p, float c) { p = pixel::ClampByte(o + (float(p) - o) * c); });
  if (!s.ok()) return s;
  return placed;
}

void FlipHorizontal(Image& image) { FlipRows(image); }
void FlipVertical(Image& image) { FlipColumns(image); }
void FlipHorizontal(Plane& plane) { FlipRows(plane); }
void FlipVertical(Plane& plane) { FlipColumns(plane); }

}  // namespace tessaro
