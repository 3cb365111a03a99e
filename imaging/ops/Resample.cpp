#include "imaging/ops/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Parallel.h"
#include "imaging/PixelMath.h"

namespace tessaro {

using pixel::V4;

double ResampleKernelRadius(ResampleFilter filter) {
  switch (filter) {
    case ResampleFilter::kBox:
      return 0.5;
    case ResampleFilter::kBilinear:
      return 1.0;
    case ResampleFilter::kBicubic:
      return 2.0;
  }
  return 2.0;
}

double ResampleKernel(ResampleFilter filter, double t) {
  t = std::fabs(t);
  switch (filter) {
    case ResampleFilter::kBox:
      return t < 0.5 ? 1.0 : 0.0;
    case ResampleFilter::kBilinear:
      return t < 1.0 ? 1.0 - t : 0.0;
    case ResampleFilter::kBicubic: {
      constexpr double a = -0.5;
      if (t < 1.0) return ((a + 2) * t - (a + 3)) * t * t + 1;
      if (t < 2.0) return ((a * t - 5 * a) * t + 8 * a) * t - 4 * a;
      return 0.0;
    }
  }
  return 0.0;
}

namespace {

// Where along one axis the source rectangle lies, and how the filter scales.
struct AxisMapping {
  int sourceSize = 0;
  double begin = 0;        // source coordinate of the destination rectangle's start
  double step = 0;         // source units per destination pixel (negative when mirrored)
  double filterScale = 1;  // max(1, |step|): filter widening when reducing
};

AxisMapping MapAxis(int sourceSize, double srcBegin, double srcEnd, int destSize) {
  AxisMapping m;
  m.sourceSize = sourceSize;
  m.begin = srcBegin;
  m.step = (srcEnd - srcBegin) / destSize;
  m.filterScale = std::max(1.0, std::fabs(m.step));
  return m;
}

// The weight of source pixel j for a destination pixel whose centre maps to
// source coordinate u.
double TapWeight(ResampleFilter filter, const AxisMapping& m, double u, int j) {
  if (filter == ResampleFilter::kBox) {
    // Exact overlap of [j, j + 1) with the footprint [u - h, u + h].
    double h = 0.5 * m.filterScale;
    double lo = std::max(double(j), u - h), hi = std::min(double(j) + 1, u + h);
    return hi > lo ? hi - lo : 0.0;
  }
  return ResampleKernel(filter, (j + 0.5 - u) / m.filterScale);
}

// Weights of one axis for destination pixels [first, first + count) of the
// destination rectangle: for pixel i, taps[i] weights starting at source
// index start[i], stored at weights[i * maxTaps].
struct AxisTable {
  int count = 0;
  int maxTaps = 0;
  int sourceBegin = 0, sourceEnd = 0;  // union of all windows
  std::vector<int> start, taps;
  std::vector<float> weights;
  const float* Weights(int i) const { return weights.data() + size_t(i) * size_t(maxTaps); }
  double AverageTaps() const {
    double s = 0;
    for (int t : taps) s += t;
    return count ? s / count : 0;
  }
};

AxisTable BuildAxis(const AxisMapping& m, int first, int count, const ResampleOptions& o) {
  AxisTable t;
  t.count = count;
  const double support = ResampleKernelRadius(o.filter) * m.filterScale;
  const int last = m.sourceSize - 1;
  // floor(u - support) .. ceil(u + support) spans at most 2 * support + 3 pixels.
  t.maxTaps = int(std::ceil(2 * support)) + 3;
  t.start.assign(count, 0);
  t.taps.assign(count, 0);
  t.weights.assign(size_t(count) * size_t(t.maxTaps), 0.0f);
  std::vector<double> raw(t.maxTaps);
  t.sourceBegin = m.sourceSize;
  t.sourceEnd = 0;
  int usedMax = 1;
  for (int i = 0; i < count; ++i) {
    double u = m.begin + (first + i + 0.5) * m.step;
    int j0 = int(std::floor(u - support));
    int j1 = int(std::ceil(u + support));  // inclusive
    // Keep the raw window inside the table's width.
    if (j1 - j0 + 1 > int(raw.size())) j1 = j0 + int(raw.size()) - 1;
    double total = 0;
    int n = j1 - j0 + 1;
    for (int k = 0; k < n; ++k) {
      raw[k] = TapWeight(o.filter, m, u, j0 + k);
      total += raw[k];
    }
    if (!(total > 1e-12)) total = 1;  // cannot happen for these kernels; avoids a division by zero
    // Fold the window into the source: clamp merges outside taps into the
    // edge pixels, transparent drops them.
    int lo = std::clamp(j0, 0, last), hi = std::clamp(j1, 0, last);
    if (o.edge == ResampleEdge::kTransparent) {
      lo = std::max(j0, 0);
      hi = std::min(j1, last);
    }
    float* w = t.weights.data() + size_t(i) * size_t(t.maxTaps);
    if (hi < lo) {
      t.start[i] = std::clamp(j0, 0, last);
      t.taps[i] = 0;
      continue;
    }
    for (int k = 0; k < n; ++k) {
      int j = j0 + k;
      if (o.edge == ResampleEdge::kTransparent && (j < 0 || j > last)) continue;
      j = std::clamp(j, 0, last);
      w[j - lo] += float(raw[k] / total);
    }
    // Trim zero weights at both ends so windows stay tight.
    int n2 = hi - lo + 1;
    int b = 0, e = n2;
    while (b < e && w[b] == 0.0f) ++b;
    while (e > b && w[e - 1] == 0.0f) --e;
    if (b == e) {
      t.start[i] = lo;
      t.taps[i] = 0;
      std::fill(w, w + n2, 0.0f);
      continue;
    }
    if (b > 0) {
      std::copy(w + b, w + e, w);
      std::fill(w + (e - b), w + n2, 0.0f);
    }
    t.start[i] = lo + b;
    t.taps[i] = e - b;
    usedMax = std::max(usedMax, e - b);
    t.sourceBegin = std::min(t.sourceBegin, lo + b);
    t.sourceEnd = std::max(t.sourceEnd, lo + e);
  }
  if (t.sourceEnd <= t.sourceBegin) t.sourceBegin = t.sourceEnd = 0;
  // Shrink the stride to the taps actually used.
  if (usedMax < t.maxTaps) {
    std::vector<float> packed(size_t(count) * size_t(usedMax));
    for (int i = 0; i < count; ++i)
      std::copy(t.Weights(i), t.Weights(i) + usedMax, packed.data() + size_t(i) * size_t(usedMax));
    t.weights.swap(packed);
    t.maxTaps = usedMax;
  }
  // Windows that are empty point inside the used range so that callers can
  // index safely.
  for (int i = 0; i < count; ++i)
    if (t.taps[i] == 0) t.start[i] = t.sourceBegin;
  return t;
}

struct RgbaTraits {
  using Pixel = Rgba8;
  using Elem = V4;
  static Elem Zero() { return pixel::Splat(0.0f); }
  static Elem Load(Rgba8 p) { return pixel::LoadPremultiplied(p); }
  static void LoadRow(const Rgba8* in, int n, Elem* out) { pixel::LoadPremultipliedRow(in, n, out); }
  static Rgba8 Store(Elem v) { return pixel::StorePremultiplied(v); }
};

struct PlaneTraits {
  using Pixel = uint8_t;
  using Elem = float;
  static Elem Zero() { return 0.0f; }
  static Elem Load(uint8_t p) { return float(p); }
  static void LoadRow(const uint8_t* in, int n, Elem* out) {
    for (int i = 0; i < n; ++i) out[i] = float(in[i]);
  }
  static uint8_t Store(Elem v) { return pixel::ClampByte(v); }
};

Status CheckArguments(bool sourceEmpty, bool destEmpty, const RectF& sr, const IntRect& dr) {
  if (sourceEmpty) return Status::Error("resample: empty source");
  if (destEmpty) return Status::Error("resample: empty destination");
  if (dr.Empty()) return Status::Error("resample: empty destination rectangle");
  if (int64_t(dr.right) - dr.left > kMaxImageSide * 4LL || int64_t(dr.bottom) - dr.top > kMaxImageSide * 4LL)
    return Status::Error("resample: destination rectangle too large");
  if (!std::isfinite(sr.left) || !std::isfinite(sr.top) || !std::isfinite(sr.right) ||
      !std::isfinite(sr.bottom))
    return Status::Error("resample: source rectangle is not finite");
  if (sr.right == sr.left || sr.bottom == sr.top)
    return Status::Error("resample: source rectangle has no extent");
  constexpr double kLimit = double(kMaxImageSide) * 4;
  if (std::fabs(sr.left) > kLimit || std::fabs(sr.right) > kLimit || std::fabs(sr.top) > kLimit ||
      std::fabs(sr.bottom) > kLimit)
    return Status::Error("resample: source rectangle out of range");
  return Status::Ok();
}

// One source row of columns [table.sourceBegin, table.sourceEnd) filtered
// horizontally into `out` (table.count elements).
template <class T>
void FilterRow(const typename T::Elem* in, const AxisTable& table, typename T::Elem* out) {
  using Elem = typename T::Elem;
  const int base = table.sourceBegin;
  for (int x = 0; x < table.count; ++x) {
    const float* w = table.Weights(x);
    const Elem* p = in + (table.start[x] - base);
    const int n = table.taps[x];
    // Four independent sums keep the adds from waiting on each other.
    Elem a0 = T::Zero(), a1 = T::Zero(), a2 = T::Zero(), a3 = T::Zero();
    int k = 0;
    for (; k + 4 <= n; k += 4) {
      a0 += p[k] * w[k];
      a1 += p[k + 1] * w[k + 1];
      a2 += p[k + 2] * w[k + 2];
      a3 += p[k + 3] * w[k + 3];
    }
    for (; k < n; ++k) a0 += p[k] * w[k];
    out[x] = (a0 + a1) + (a2 + a3);
  }
}

template <class T>
Status ResampleFast(const PixelBuffer<typename T::Pixel>& src, const RectF& sr,
                    PixelBuffer<typename T::Pixel>& dst, const IntRect& dr, const ResampleOptions& o) {
  using Elem = typename T::Elem;
  using Pixel = typename T::Pixel;
  Status s = CheckArguments(src.empty(), dst.empty(), sr, dr);
  if (!s.ok()) return s;
  const IntRect written = Intersect(dr, IntRect{0, 0, dst.width(), dst.height()});
  if (written.Empty()) return Status::Ok();

  const AxisTable tx = BuildAxis(MapAxis(src.width(), sr.left, sr.right, dr.Width()), written.left - dr.left,
                                 written.Width(), o);
  const AxisTable ty = BuildAxis(MapAxis(src.height(), sr.top, sr.bottom, dr.Height()), written.top - dr.top,
                                 written.Height(), o);
  const int W = written.Width();
  const int H = written.Height();
  const int cols = tx.sourceEnd - tx.sourceBegin;
  const bool mirroredV = sr.bottom < sr.top;

  // Choose the pass order: horizontal first filters each needed source row
  // once and keeps a ring of filtered rows as tall as the widest vertical
  // window; vertical first needs no ring but filters full-width source rows.
  const double rowsNeeded = ty.sourceEnd - ty.sourceBegin;
  const double costH = rowsNeeded * (cols + double(W) * tx.AverageTaps()) + double(H) * W * ty.AverageTaps();
  const double costV = double(H) * cols * ty.AverageTaps() * 1.5 + double(H) * W * tx.AverageTaps();
  const double ringBytes = double(ty.maxTaps) * W * sizeof(Elem) * std::max(1, ParallelThreads());
  bool horizontalFirst = costH <= costV && ringBytes < double(256 << 20);
  if (o.order == ResampleOrder::kHorizontalFirst) horizontalFirst = true;
  if (o.order == ResampleOrder::kVerticalFirst) horizontalFirst = false;

  auto storeRow = [&](int r, const Elem* acc) {
    Pixel* out = dst.Row(written.top + r) + written.left;
    for (int x = 0; x < W; ++x) out[x] = T::Store(acc[x]);
  };

  auto horizontalFirstChunk = [&](int64_t r0, int64_t r1) {
    const int R = std::max(1, ty.maxTaps);
    std::vector<Elem> ring(size_t(R) * W);
    std::vector<int> ringRow(R, -1);
    std::vector<Elem> srcRow(std::max(1, cols));
    std::vector<Elem> acc(W);
    for (int64_t i = 0; i < r1 - r0; ++i) {
      // Mirrored rows are visited bottom up so that source windows only move
      // forward through the ring.
      const int r = int(mirroredV ? r1 - 1 - i : r0 + i);
      const int s0 = ty.start[r], n = ty.taps[r];
      for (int sy = s0; sy < s0 + n; ++sy) {
        const int slot = sy % R;
        if (ringRow[slot] == sy) continue;
        T::LoadRow(src.Row(sy) + tx.sourceBegin, cols, srcRow.data());
        FilterRow<T>(srcRow.data(), tx, ring.data() + size_t(slot) * W);
        ringRow[slot] = sy;
      }
      if (n == 0) {
        std::fill(acc.begin(), acc.end(), T::Zero());
      } else {
        const float* w = ty.Weights(r);
        const Elem* row = ring.data() + size_t(s0 % R) * W;
        const float w0 = w[0];
        for (int x = 0; x < W; ++x) acc[x] = row[x] * w0;
        for (int k = 1; k < n; ++k) {
          row = ring.data() + size_t((s0 + k) % R) * W;
          const float wk = w[k];
          for (int x = 0; x < W; ++x) acc[x] += row[x] * wk;
        }
      }
      storeRow(r, acc.data());
    }
  };

  auto verticalFirstChunk = [&](int64_t r0, int64_t r1) {
    std::vector<Elem> column(std::max(1, cols)), line(std::max(1, cols));
    std::vector<Elem> acc(W);
    for (int64_t r = r0; r < r1; ++r) {
      const int s0 = ty.start[r], n = ty.taps[r];
      const float* w = ty.Weights(int(r));
      std::fill(column.begin(), column.end(), T::Zero());
      for (int k = 0; k < n; ++k) {
        T::LoadRow(src.Row(s0 + k) + tx.sourceBegin, cols, line.data());
        const float wk = w[k];
        for (int c = 0; c < cols; ++c) column[c] += line[c] * wk;
      }
      FilterRow<T>(column.data(), tx, acc.data());
      storeRow(int(r), acc.data());
    }
  };

  // About 64k destination pixels (or an equivalent amount of filtering) per
  // task keeps the per-task set-up small against the work.
  const double perRow = std::max(1.0, (horizontalFirst ? costH : costV) / std::max(1, H));
  const int64_t minRows = std::max<int64_t>(1, int64_t(262144.0 / perRow));
  auto run = [&](int64_t b, int64_t e) {
    if (horizontalFirst)
      horizontalFirstChunk(b, e);
    else
      verticalFirstChunk(b, e);
  };
  if (o.parallel)
    ParallelFor(H, minRows, run);
  else
    run(0, H);
  return Status::Ok();
}

// The reference's own kernels and axis mapping, written apart from
// ResampleKernel, TapWeight and MapAxis so that a fault in those shows as a
// difference between the two paths: Catmull-Rom in its textbook piecewise
// form, the tent, and for the box the overlap of each source pixel with the
// destination pixel's footprint.
double ReferenceKernel(ResampleFilter filter, double t) {
  const double x = t < 0 ? -t : t;
  if (filter == ResampleFilter::kBilinear) return x < 1 ? 1 - x : 0;
  if (x < 1) return 1.5 * x * x * x - 2.5 * x * x + 1;
  if (x < 2) return -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
  return 0;
}

// One axis: destination pixels [0, destSize) cover source [srcBegin, srcEnd)
// (reversed when srcEnd < srcBegin).
struct ReferenceAxis {
  int sourceSize;
  double srcBegin, srcEnd;
  int destSize;
};

// Weights of destination pixel i on one axis, computed directly over a
// generous window; (source index, weight) pairs, merged by clamping or
// dropped for a transparent edge.
std::vector<std::pair<int, double>> ReferenceWeights(const ReferenceAxis& a, int i,
                                                     const ResampleOptions& o) {
  const double perPixel = (a.srcEnd - a.srcBegin) / a.destSize;
  const double centre = a.srcBegin + perPixel * (i + 0.5);
  // Reducing widens the footprint to the whole area a destination pixel covers.
  const double width = std::max(1.0, std::fabs(perPixel));
  const int reach = int(std::ceil(2 * width)) + 3;
  std::vector<std::pair<int, double>> raw;
  double total = 0;
  for (int j = int(std::floor(centre)) - reach; j <= int(std::floor(centre)) + reach; ++j) {
    double w;
    if (o.filter == ResampleFilter::kBox) {
      const double from = std::max<double>(j, centre - width / 2),
                   to = std::min<double>(j + 1, centre + width / 2);
      w = to > from ? to - from : 0;
    } else {
      w = ReferenceKernel(o.filter, (j + 0.5 - centre) / width);
    }
    if (w == 0) continue;
    total += w;
    raw.emplace_back(j, w);
  }
  std::vector<std::pair<int, double>> out;
  for (auto [j, w] : raw) {
    if (j < 0 || j >= a.sourceSize) {
      if (o.edge == ResampleEdge::kTransparent) continue;
      j = std::clamp(j, 0, a.sourceSize - 1);
    }
    out.emplace_back(j, w / total);
  }
  return out;
}

template <class T>
Status ResampleReference(const PixelBuffer<typename T::Pixel>& src, const RectF& sr,
                         PixelBuffer<typename T::Pixel>& dst, const IntRect& dr, const ResampleOptions& o) {
  Status s = CheckArguments(src.empty(), dst.empty(), sr, dr);
  if (!s.ok()) return s;
  const IntRect written = Intersect(dr, IntRect{0, 0, dst.width(), dst.height()});
  const ReferenceAxis mx{src.width(), sr.left, sr.right, dr.Width()};
  const ReferenceAxis my{src.height(), sr.top, sr.bottom, dr.Height()};
  for (int y = written.top; y < written.bottom; ++y) {
    auto wy = ReferenceWeights(my, y - dr.top, o);
    for (int x = written.left; x < written.right; ++x) {
      auto wx = ReferenceWeights(mx, x - dr.left, o);
      double acc[4] = {0, 0, 0, 0};
      for (auto [iy, vy] : wy) {
        for (auto [ix, vx] : wx) {
          const double w = vx * vy;
          if constexpr (std::is_same_v<typename T::Pixel, Rgba8>) {
            Rgba8 p = src.At(ix, iy);
            double a = p.a / 255.0;
            acc[0] += w * p.r * a;
            acc[1] += w * p.g * a;
            acc[2] += w * p.b * a;
            acc[3] += w * p.a;
          } else {
            acc[0] += w * src.At(ix, iy);
          }
        }
      }
      if constexpr (std::is_same_v<typename T::Pixel, Rgba8>) {
        dst.At(x, y) =
            pixel::StorePremultiplied(V4{float(acc[0]), float(acc[1]), float(acc[2]), float(acc[3])});
      } else {
        dst.At(x, y) = pixel::ClampByte(float(acc[0]));
      }
    }
  }
  return Status::Ok();
}

template <class Buffer>
RectF WholeRect(const Buffer& b) {
  return RectF{0, 0, double(b.width()), double(b.height())};
}

}  // namespace

Status ResampleRegion(const Image& source, const RectF& sourceRect, Image& dest, const IntRect& destRect,
                      const ResampleOptions& options) {
  return ResampleFast<RgbaTraits>(source, sourceRect, dest, destRect, options);
}

Status ResampleRegion(const Plane& source, const RectF& sourceRect, Plane& dest, const IntRect& destRect,
                      const ResampleOptions& options) {
  return ResampleFast<PlaneTraits>(source, sourceRect, dest, destRect, options);
}

Status ResampleRegionReference(const Image& source, const RectF& sourceRect, Image& dest,
                               const IntRect& destRect, const ResampleOptions& options) {
  return ResampleReference<RgbaTraits>(source, sourceRect, dest, destRect, options);
}

Status ResampleRegionReference(const Plane& source, const RectF& sourceRect, Plane& dest,
                               const IntRect& destRect, const ResampleOptions& options) {
  return ResampleReference<PlaneTraits>(source, sourceRect, dest, destRect, options);
}

Status ResampleInto(const Image& source, Image& dest, const ResampleOptions& options) {
  return ResampleRegion(source, WholeRect(source), dest, IntRect{0, 0, dest.width(), dest.height()}, options);
}

Status ResampleInto(const Plane& source, Plane& dest, const ResampleOptions& options) {
  return ResampleRegion(source, WholeRect(source), dest, IntRect{0, 0, dest.width(), dest.height()}, options);
}

namespace {

// A new width x height picture (Image or Plane) resampled from all of `source`.
template <typename Picture>
Result<Picture> Resized(const Picture& source, int width, int height, const ResampleOptions& options) {
  if (source.empty()) return Status::Error("resample: empty source");
  Picture out;
  Status s = out.Create(width, height);
  if (!s.ok()) return s;
  s = ResampleInto(source, out, options);
  if (!s.ok()) return s;
  return out;
}

}  // namespace

Result<Image> ResizeImage(const Image& source, int width, int height, const ResampleOptions& options) {
  return Resized(source, width, height, options);
}

Result<Plane> ResizePlane(const Plane& source, int width, int height, const ResampleOptions& options) {
  return Resized(source, width, height, options);
}

}  // namespace tessaro
