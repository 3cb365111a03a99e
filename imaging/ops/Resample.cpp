#include "imaging/ops/Resample.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
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
  // A clear pixel adds nothing to a premultiplied sum.
  static bool Blank(Rgba8 p) { return p.a == 0; }
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
  static bool Blank(uint8_t p) { return p == 0; }
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
// horizontally into `out` (table.count elements). Where `clear` (when given)
// marks a window without a painted pixel, the result is 0 without summing.
template <class T>
void FilterRow(const typename T::Elem* in, const AxisTable& table, typename T::Elem* out,
               const uint8_t* clear = nullptr) {
  using Elem = typename T::Elem;
  const int base = table.sourceBegin;
  for (int x = 0; x < table.count; ++x) {
    if (clear && clear[x]) {
      out[x] = T::Zero();
      continue;
    }
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

#if defined(__SSE2__)

// Fixed-point path for opaque pictures. An opaque picture needs no
// premultiplication, and its colour fits 16-bit integer arithmetic with room
// to spare: weights are scaled to kWeightOne (and sum to it exactly, so that
// a flat area keeps its value), the horizontal pass keeps its rows as
// 16-bit values with kRowFraction fractional bits, the vertical pass sums in
// 32 bits and rounds once. The result stays within one level of the
// floating-point path. SSE2's multiply-add of 16-bit pairs does two taps of
// four channels in one instruction.
constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
constexpr int kRowFraction = 6;  // 255 << 6 leaves headroom for the filter's overshoot

// One axis's weights as 16-bit integers, each window padded to an even
// number of taps (the padding weighs 0) so that taps go in pairs.
struct FixedAxis {
  int stride = 0;  // int16 weights per window
  std::vector<int16_t> weights;
  const int16_t* Weights(int i) const { return weights.data() + size_t(i) * size_t(stride); }
};

FixedAxis ToFixed(const AxisTable& t) {
  FixedAxis f;
  f.stride = (t.maxTaps + 1) & ~1;
  f.weights.assign(size_t(t.count) * size_t(f.stride), 0);
  for (int i = 0; i < t.count; ++i) {
    const float* w = t.Weights(i);
    int16_t* q = f.weights.data() + size_t(i) * size_t(f.stride);
    int sum = 0, largest = 0;
    for (int k = 0; k < t.taps[i]; ++k) {
      q[k] = int16_t(std::lround(double(w[k]) * kWeightOne));
      sum += q[k];
      if (q[k] > q[largest]) largest = k;
    }
    // Rounding each weight may leave the sum a few units off; the largest
    // weight takes the difference, so that a flat area stays flat.
    if (t.taps[i] > 0) q[largest] = int16_t(q[largest] + (kWeightOne - sum));
  }
  return f;
}

// A weight pair (w0, w1) repeated for the four channels of a pixel pair.
inline __m128i WeightPair(const int16_t* w) {
  uint32_t pair;
  std::memcpy(&pair, w, 4);
  return _mm_set1_epi32(int(pair));
}

// One source row (pixels, not offset) filtered horizontally: four 16-bit
// channel values per destination pixel, scaled by 1 << kRowFraction.
void FixedFilterRow(const Rgba8* row, const AxisTable& t, const FixedAxis& f, int16_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(1 << (kWeightBits - kRowFraction - 1));
  for (int x = 0; x < t.count; ++x) {
    const Rgba8* p = row + t.start[x];
    const int16_t* w = f.Weights(x);
    const int n = t.taps[x];
    __m128i acc = half;
    int k = 0;
    for (; k + 2 <= n; k += 2) {
      // r0 g0 b0 a0 r1 g1 b1 a1 -> r0 r1 g0 g1 b0 b1 a0 a1 as 16-bit lanes.
      const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k));
      const __m128i paired = _mm_unpacklo_epi8(_mm_unpacklo_epi8(two, _mm_srli_si128(two, 4)), zero);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(paired, WeightPair(w + k)));
    }
    if (k < n) {
      uint32_t one;
      std::memcpy(&one, p + k, 4);
      const __m128i single = _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(one)), zero), zero);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(single, _mm_set1_epi32(uint16_t(w[k]))));
    }
    acc = _mm_srai_epi32(acc, kWeightBits - kRowFraction);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + size_t(x) * 4), _mm_packs_epi32(acc, acc));
  }
}

// Destination row from n filtered rows (16-bit, four per pixel) and their
// weights (padded to an even count; rows[n] may be read when n is odd and
// must then be a valid row, its weight being 0).
void FixedVerticalRow(const int16_t* const* rows, const int16_t* w, int n, int width, Rgba8* out) {
  constexpr int kShift = kWeightBits + kRowFraction;
  const __m128i half = _mm_set1_epi32(1 << (kShift - 1));
  int x = 0;
  for (; x + 2 <= width; x += 2) {
    __m128i lo = half, hi = half;
    const size_t at = size_t(x) * 4;
    for (int k = 0; k < n; k += 2) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + at));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + at));
      const __m128i wp = WeightPair(w + k);
      lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), wp));
      hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), wp));
    }
    lo = _mm_srai_epi32(lo, kShift);
    hi = _mm_srai_epi32(hi, kShift);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(lo, hi), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), bytes);
  }
  if (x < width) {
    __m128i acc = half;
    const size_t at = size_t(x) * 4;
    for (int k = 0; k < n; k += 2) {
      const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[k] + at));
      const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[k + 1] + at));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), WeightPair(w + k)));
    }
    acc = _mm_srai_epi32(acc, kShift);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(acc, acc), acc);
    out[x] = std::bit_cast<Rgba8>(uint32_t(_mm_cvtsi128_si32(bytes)));
  }
}

// True when every pixel of columns [x0, x1) of rows [y0, y1) is opaque.
bool OpaqueArea(const Image& image, int x0, int x1, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    const Rgba8* row = image.Row(y);
    uint32_t all = 0xFFFFFFFFu;
    for (int x = x0; x < x1; ++x) {
      uint32_t v;
      std::memcpy(&v, row + x, 4);
      all &= v;
    }
    if ((all >> 24) != 0xFFu) return false;
  }
  return true;
}

// The horizontal-first resampling of an opaque picture in fixed point; the
// caller has checked that every window has taps and full weight.
void ResampleOpaqueFixed(const Image& src, Image& dst, const IntRect& written, const AxisTable& tx,
                         const AxisTable& ty, bool mirroredV, bool parallel) {
  const FixedAxis fx = ToFixed(tx), fy = ToFixed(ty);
  const int W = written.Width(), H = written.Height();
  auto chunk = [&](int64_t r0, int64_t r1) {
    // A ring of filtered rows as tall as the widest window, plus one row of
    // zeros that pads an odd window.
    const int R = std::max(1, ty.maxTaps);
    const size_t rowValues = size_t(W) * 4;
    std::vector<int16_t> ring((size_t(R) + 1) * rowValues, 0);
    const int16_t* zeros = ring.data() + size_t(R) * rowValues;
    std::vector<int> ringRow(R, -1);
    std::vector<const int16_t*> rows(size_t(fy.stride) + 1);
    for (int64_t i = 0; i < r1 - r0; ++i) {
      const int r = int(mirroredV ? r1 - 1 - i : r0 + i);
      const int s0 = ty.start[r], n = ty.taps[r];
      for (int k = 0; k < n; ++k) {
        const int sy = s0 + k, slot = sy % R;
        int16_t* line = ring.data() + size_t(slot) * rowValues;
        if (ringRow[slot] != sy) {
          FixedFilterRow(src.Row(sy), tx, fx, line);
          ringRow[slot] = sy;
        }
        rows[size_t(k)] = line;
      }
      rows[size_t(n)] = zeros;
      FixedVerticalRow(rows.data(), fy.Weights(r), n, W, dst.Row(written.top + r) + written.left);
    }
  };
  const double perRow = std::max(1.0, double(W) * (tx.AverageTaps() + ty.AverageTaps()));
  const int64_t minRows = std::max<int64_t>(1, int64_t(262144.0 / perRow));
  if (parallel)
    ParallelFor(H, minRows, chunk);
  else
    chunk(0, H);
}

#endif  // __SSE2__

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
#if defined(__SSE2__)
  if constexpr (std::is_same_v<Pixel, Rgba8>) {
    // Opaque pictures whose edges repeat (every window full) take the
    // fixed-point path, unless the vertical pass was asked to run first.
    const auto hasTaps = [](const AxisTable& t) {
      return std::all_of(t.taps.begin(), t.taps.end(), [](int n) { return n > 0; });
    };
    if (o.edge == ResampleEdge::kClamp && o.order != ResampleOrder::kVerticalFirst && hasTaps(tx) &&
        hasTaps(ty) && OpaqueArea(src, tx.sourceBegin, tx.sourceEnd, ty.sourceBegin, ty.sourceEnd)) {
      ResampleOpaqueFixed(src, dst, written, tx, ty, mirroredV, o.parallel);
      return Status::Ok();
    }
  }
#endif

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

  // Clear pixels (an overlay is mostly clear: a frame round its holes) add
  // nothing to the premultiplied sums, so that work is skipped: a source row
  // without a painted pixel is not filtered, a destination pixel whose
  // window holds none is not summed, and where every row of a vertical
  // window is clear there the result is clear. Sums skip only exact zeros,
  // so the result is the same as summing them.
  // The destination columns [reachFirst[c], reachEnd[c]) have source column
  // sourceBegin + c in their window (a range that covers them all).
  std::vector<int> reachFirst(size_t(std::max(1, cols)), W), reachEnd(size_t(std::max(1, cols)), 0);
  for (int x = 0; x < W; ++x)
    for (int c = tx.start[x] - tx.sourceBegin, e = c + tx.taps[x]; c < e; ++c) {
      reachFirst[size_t(c)] = std::min(reachFirst[size_t(c)], x);
      reachEnd[size_t(c)] = std::max(reachEnd[size_t(c)], x + 1);
    }
  auto horizontalFirstChunk = [&](int64_t r0, int64_t r1) {
    const int R = std::max(1, ty.maxTaps);
    std::vector<Elem> ring(size_t(R) * W);
    std::vector<int> ringRow(R, -1);
    std::vector<uint8_t> ringClear(size_t(R) * W);  // 1: the filtered value is 0 (clear window)
    std::vector<uint8_t> ringEmpty(R);              // 1: the whole filtered row is 0
    std::vector<uint8_t> clear(W);
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
        ringRow[slot] = sy;
        const Pixel* in = src.Row(sy) + tx.sourceBegin;
        // Every window holding a painted pixel is marked; overlapping
        // ranges of consecutive painted pixels are merged first.
        uint8_t* slotClear = ringClear.data() + size_t(slot) * W;
        std::fill(slotClear, slotClear + W, uint8_t(1));
        bool painted = false;
        int lo = 0, hi = 0;
        for (int c = 0; c < cols; ++c) {
          if (T::Blank(in[c])) continue;
          const int a = reachFirst[size_t(c)], b = reachEnd[size_t(c)];
          if (a >= b) continue;  // in no window
          if (painted && a <= hi && b >= lo) {
            lo = std::min(lo, a);
            hi = std::max(hi, b);
            continue;
          }
          if (painted) std::fill(slotClear + lo, slotClear + hi, uint8_t(0));
          painted = true;
          lo = a;
          hi = b;
        }
        if (painted) std::fill(slotClear + lo, slotClear + hi, uint8_t(0));
        ringEmpty[slot] = !painted;
        if (!painted) continue;
        T::LoadRow(in, cols, srcRow.data());
        FilterRow<T>(srcRow.data(), tx, ring.data() + size_t(slot) * W, slotClear);
      }
      // Columns where every row of the window is clear.
      std::fill(clear.begin(), clear.end(), uint8_t(1));
      bool anyRow = false;
      for (int k = 0; k < n; ++k) {
        const int slot = (s0 + k) % R;
        if (ringEmpty[slot]) continue;
        anyRow = true;
        const uint8_t* c = ringClear.data() + size_t(slot) * W;
        for (int x = 0; x < W; ++x) clear[x] &= c[x];
      }
      Pixel* out = dst.Row(written.top + r) + written.left;
      if (!anyRow) {
        std::fill(out, out + W, Pixel{});
        continue;
      }
      // Runs of clear and painted columns.
      const float* w = ty.Weights(r);
      for (int a = 0; a < W;) {
        int b = a + 1;
        while (b < W && clear[size_t(b)] == clear[size_t(a)]) ++b;
        if (clear[size_t(a)]) {
          std::fill(out + a, out + b, Pixel{});
          a = b;
          continue;
        }
        bool first = true;
        for (int k = 0; k < n; ++k) {
          const int slot = (s0 + k) % R;
          if (ringEmpty[slot]) continue;
          const Elem* row = ring.data() + size_t(slot) * W;
          const float wk = w[k];
          if (first) {
            for (int x = a; x < b; ++x) acc[x] = row[x] * wk;
            first = false;
          } else {
            for (int x = a; x < b; ++x) acc[x] += row[x] * wk;
          }
        }
        for (int x = a; x < b; ++x) out[x] = T::Store(acc[x]);
        a = b;
      }
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
