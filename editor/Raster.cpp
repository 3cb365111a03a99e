#include "editor/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/Parallel.h"
#include "imaging/Adjust.h"
#include "imaging/Blend.h"
#include "imaging/Resample.h"

namespace tessaro::editor {

int BandRows(int width) { return std::max(8, int((int64_t(1) << 20) / std::max(1, width))); }

namespace {

ResampleFilter FilterFor(Sampling s) {
  return s == Sampling::kBilinear ? ResampleFilter::kBilinear : ResampleFilter::kBicubic;
}

template <class Pixel>
constexpr Pixel kZero{};

inline uint8_t RoundByte(float v) { return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f)); }

// Overlap of pixel [i, i + 1) with [lo, hi].
inline float Overlap(int i, double lo, double hi) {
  return float(std::clamp(std::min(hi, i + 1.0) - std::max(lo, double(i)), 0.0, 1.0));
}

// Resamples `sourceRect` of `source` onto the whole of `dest`, one band of
// destination rows at a time. Every band maps its own slice of the source
// rectangle, so the filter sees the same positions as in one call.
template <class Buffer>
Status ResampleBanded(const Buffer& source, const RectF& sourceRect, Buffer& dest, ResampleFilter filter,
                      const CancelToken& cancel, int bandRows) {
  ResampleOptions ro;
  ro.filter = filter;
  ro.order = ResampleOrder::kHorizontalFirst;  // the same order in every band
  const int h = dest.height();
  const int band = bandRows > 0 ? bandRows : BandRows(dest.width());
  for (int y0 = 0; y0 < h; y0 += band) {
    Status s = cancel.Check();
    if (!s.ok()) return s;
    const int y1 = std::min(h, y0 + band);
    const double sy0 = sourceRect.top + sourceRect.Height() * y0 / h;
    const double sy1 = sourceRect.top + sourceRect.Height() * y1 / h;
    s = ResampleRegion(source, RectF{sourceRect.left, sy0, sourceRect.right, sy1}, dest,
                       IntRect{0, y0, dest.width(), y1}, ro);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

template <class Buffer, class Pixel, class Fade>
Status TransformBanded(const Buffer& source, const Affine2D& m, Sampling sampling, Buffer& out,
                       IntRect& cover, DrawMode drawMode, Pixel fill, Fade fade, const CancelToken& cancel,
                       int bandRows) {
  if (source.empty()) return Status::Error("transform: empty source");
  if (!m.IsFinite() || !m.Inverted()) return Status::Error("transform: the matrix cannot be inverted");
  Status s = cancel.Check();
  if (!s.ok()) return s;
  const double W = source.width(), H = source.height();
  const RectF bounds = TransformedBounds(m, RectF{0, 0, W, H});
  cover = CoveredPixels(bounds);
  if (cover.Empty() || !ImageSizeAllowed(cover.Width(), cover.Height(), 4))
    return Status::Error("transform: result too large");
  s = out.Create(cover.Width(), cover.Height());
  if (!s.ok()) return s;
  const Affine2D toOut = m.Then(Affine2D::Translation(-cover.left, -cover.top));
  const int outW = cover.Width(), outH = cover.Height();

  if (sampling != Sampling::kNearest && m.IsAxisAligned()) {
    // Separable: resample the source rectangle that maps onto the covered
    // pixels, then fade the partly covered border pixels by coverage.
    const Affine2D inv = *toOut.Inverted();
    const PointF a = inv.Apply({0, 0}), c = inv.Apply({double(outW), double(outH)});
    s = ResampleBanded(source, RectF{a.x, a.y, c.x, c.y}, out, FilterFor(sampling), cancel, bandRows);
    if (!s.ok()) return s;
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
      s = reduced.Create(w2, h2);
      if (!s.ok()) return s;
      s = ResampleBanded(source, RectF{0, 0, W, H}, reduced, ResampleFilter::kBicubic, cancel, bandRows);
      if (!s.ok()) return s;
      src = &reduced;
      drawMatrix = Affine2D::Scaling(W / w2, H / h2).Then(toOut);
    }
  }
  DrawOptions d;
  d.sampling = sampling;
  d.mode = drawMode;
  // The buffer starts zeroed; another fill is laid band by band.
  const bool zeroFill = std::memcmp(&fill, &kZero<Pixel>, sizeof(Pixel)) == 0;
  const int band = bandRows > 0 ? bandRows : BandRows(outW);
  for (int y0 = 0; y0 < outH; y0 += band) {
    s = cancel.Check();
    if (!s.ok()) return s;
    const int y1 = std::min(outH, y0 + band);
    if (!zeroFill)
      for (int y = y0; y < y1; ++y) std::fill(out.Row(y), out.Row(y) + outW, fill);
    s = DrawTransformed(out, IntRect{0, y0, outW, y1}, *src, drawMatrix, d);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

}  // namespace

Result<PlacedImage> TransformImageBanded(const Image& source, const Affine2D& sourceToDest, Sampling sampling,
                                         const CancelToken& cancel, int bandRows) {
  PlacedImage placed;
  Status s = TransformBanded(
      source, sourceToDest, sampling, placed.image, placed.bounds, DrawMode::kCopy, Rgba8{},
      [](Rgba8& p, float c) { p.a = RoundByte(p.a * c); }, cancel, bandRows);
  if (!s.ok()) return s;
  return placed;
}

Result<PlacedPlane> TransformPlaneBanded(const Plane& source, const Affine2D& sourceToDest, Sampling sampling,
                                         uint8_t outside, const CancelToken& cancel, int bandRows) {
  PlacedPlane placed;
  const float o = outside;
  Status s = TransformBanded(
      source, sourceToDest, sampling, placed.plane, placed.bounds, DrawMode::kBlend, outside,
      [o](uint8_t& p, float c) { p = RoundByte(o + (float(p) - o) * c); }, cancel, bandRows);
  if (!s.ok()) return s;
  return placed;
}

Result<MaskPlane> TransformMaskPlane(const MaskPlane& plane, const Affine2D& docToDoc, Sampling sampling,
                                     const CancelToken& cancel) {
  MaskPlane out;
  out.outside = plane.outside;
  if (plane.IsUniform()) return out;
  const Affine2D m = Affine2D::Translation(plane.box.left, plane.box.top).Then(docToDoc);
  Result<PlacedPlane> placed = TransformPlaneBanded(plane.pixels, m, sampling, plane.outside, cancel);
  if (!placed.ok()) return placed.status();
  out.pixels = std::move(placed->plane);
  out.box = placed->bounds;
  Status s = out.Trim();
  if (!s.ok()) return s;
  return out;
}

Status TransformLayer(LayerData& layer, const Affine2D& docToDoc, Sampling sampling, bool withMask,
                      const CancelToken& cancel) {
  PlacedImage placed;
  if (!layer.pixels.empty()) {
    const Affine2D m = Affine2D::Translation(layer.box.left, layer.box.top).Then(docToDoc);
    Result<PlacedImage> r = TransformImageBanded(layer.pixels, m, sampling, cancel);
    if (!r.ok()) return r.status();
    placed = std::move(r.value());
  }
  std::optional<MaskPlane> mask;
  if (withMask && layer.mask) {
    Result<MaskPlane> r = TransformMaskPlane(layer.mask->plane, docToDoc, sampling, cancel);
    if (!r.ok()) return r.status();
    mask = std::move(r.value());
  }
  layer.pixels = std::move(placed.image);
  layer.box = layer.pixels.empty() ? IntRect{} : placed.bounds;
  if (mask) layer.mask->plane = std::move(*mask);
  layer.Changed();
  return CompactLayer(layer);
}

IntRect AlphaBox(const Image& image) {
  return PaintedBox(image, [](Rgba8 p) { return p.a != 0; });
}

Result<Image> CropImage(const Image& image, const IntRect& rect) {
  Image out;
  Status s = out.Create(rect.Width(), rect.Height());
  if (!s.ok()) return s;
  for (int y = 0; y < rect.Height(); ++y)
    std::memcpy(out.Row(y), image.Row(rect.top + y) + rect.left, size_t(rect.Width()) * sizeof(Rgba8));
  return out;
}

Status CompactLayer(LayerData& layer) {
  if (layer.pixels.empty()) return Status::Ok();
  const IntRect tight = layer.TightBounds();
  if (tight.Empty()) {
    layer.pixels.Reset();
    layer.box = IntRect{};
    layer.Changed();
    return Status::Ok();
  }
  const int64_t stored = int64_t(layer.box.Width()) * layer.box.Height();
  const int64_t needed = int64_t(tight.Width()) * tight.Height();
  if (needed * 4 > stored * 3) return Status::Ok();
  Result<Image> cropped =
      CropImage(layer.pixels, IntRect{tight.left - layer.box.left, tight.top - layer.box.top,
                                      tight.right - layer.box.left, tight.bottom - layer.box.top});
  if (!cropped.ok()) return Status::Ok();  // keeping the larger buffer is still correct
  layer.pixels = std::move(cropped.value());
  layer.box = tight;
  layer.Changed();
  return Status::Ok();
}

Status FlattenArea(const DocState& doc, const IntRect& area, Image& out, const CancelToken& cancel,
                   int bandRows) {
  Status s = out.Create(area.Width(), area.Height());
  if (!s.ok()) return s;
  const int band = bandRows > 0 ? bandRows : BandRows(area.Width());
  Image effect;  // the colour overlay of a layer's rows
  for (int y0 = area.top; y0 < area.bottom; y0 += band) {
    s = cancel.Check();
    if (!s.ok()) return s;
    const IntRect bandRect{area.left, y0, area.right, std::min(area.bottom, y0 + band)};
    const IntRect region{0, bandRect.top - area.top, area.Width(), bandRect.bottom - area.top};
    for (auto it = doc.layers.rbegin(); it != doc.layers.rend(); ++it) {
      const LayerData& layer = **it;
      if (!layer.visible || layer.pixels.empty()) continue;
      const IntRect lr = Intersect(layer.box, bandRect);
      if (lr.Empty()) continue;
      CompositeOptions co;
      co.mode = layer.mode;
      co.opacity = layer.OpacityByte();
      co.fillOpacity = layer.fillOpacity;
      MaskRef maskRef;
      if (layer.mask && !layer.mask->disabled) {
        const MaskPlane& mp = layer.mask->plane;
        maskRef.pixels = mp.IsUniform() ? nullptr : &mp.pixels;
        maskRef.bounds = IntRect{mp.box.left - area.left, mp.box.top - area.top, mp.box.right - area.left,
                                 mp.box.bottom - area.top};
        maskRef.defaultColor = mp.outside;
        co.mask = &maskRef;
      }
      Composite(out, region, layer.pixels, layer.box.left - area.left, layer.box.top - area.top, co);
      if (layer.overlay && layer.overlay->enabled) {
        // The colour overlay is laid over the composed layer as a second
        // pass shaped by the layer's alpha: in its own blend mode, or in the
        // layer's when its own is normal, at the layer's opacity times its
        // own. (Layered documents saved by image editors compose this way.)
        const PsdColorOverlay& o = *layer.overlay;
        s = effect.Create(lr.Width(), lr.Height());
        if (!s.ok()) return s;
        for (int y = lr.top; y < lr.bottom; ++y) {
          const Rgba8* src = layer.pixels.Row(y - layer.box.top) + (lr.left - layer.box.left);
          Rgba8* dst = effect.Row(y - lr.top);
          for (int x = 0; x < lr.Width(); ++x) dst[x] = Rgba8{o.red, o.green, o.blue, src[x].a};
        }
        CompositeOptions eo = co;
        eo.mode = o.blendMode == BlendMode::kNormal ? layer.mode : o.blendMode;
        eo.fillOpacity = 255;
        eo.opacity = uint8_t(std::lround(co.opacity * std::clamp(o.opacityPercent, 0.0, 100.0) / 100.0));
        Composite(out, region, effect, lr.left - area.left, lr.top - area.top, eo);
      }
    }
  }
  return Status::Ok();
}

void OverWhite(Image& image) {
  ParallelFor(image.height(), 64, [&](int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      Rgba8* row = image.Row(int(y));
      for (int x = 0; x < image.width(); ++x) {
        Rgba8& p = row[x];
        if (p.a == 255) continue;
        const int a = p.a, w = 255 * (255 - a);
        p.r = uint8_t((p.r * a + w + 127) / 255);
        p.g = uint8_t((p.g * a + w + 127) / 255);
        p.b = uint8_t((p.b * a + w + 127) / 255);
        p.a = 255;
      }
    }
  });
}

void ApplySelectionToAlpha(Image& image, int originX, int originY, const MaskPlane& selection) {
  ParallelFor(image.height(), 64, [&](int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      Rgba8* row = image.Row(int(y));
      const int dy = originY + int(y);
      for (int x = 0; x < image.width(); ++x) {
        const unsigned s = selection.At(originX + x, dy);
        if (s == 255) continue;
        row[x].a = uint8_t((row[x].a * s + 127) / 255);
      }
    }
  });
}

Status AdjustLayer(LayerData& layer, const MaskPlane* selection, unsigned channels,
                   const PixelAdjust& adjust) {
  if (layer.pixels.empty()) return Status::Ok();
  const IntRect local{0, 0, layer.pixels.width(), layer.pixels.height()};
  if (!selection && (channels & kAdjustRgb) == kAdjustRgb) return adjust(layer.pixels, local);

  IntRect area = layer.box;
  if (selection && selection->outside == 0) area = Intersect(area, selection->box);
  if (area.Empty()) return Status::Ok();
  const IntRect rect{area.left - layer.box.left, area.top - layer.box.top, area.right - layer.box.left,
                     area.bottom - layer.box.top};
  Result<Image> work = CropImage(layer.pixels, rect);
  if (!work.ok()) return work.status();
  Status s = adjust(*work, IntRect{0, 0, work->width(), work->height()});
  if (!s.ok()) return s;
  const bool useR = channels & kAdjustRed, useG = channels & kAdjustGreen, useB = channels & kAdjustBlue;
  ParallelFor(rect.Height(), 32, [&](int64_t y0, int64_t y1) {
    for (int64_t j = y0; j < y1; ++j) {
      Rgba8* dst = layer.pixels.Row(rect.top + int(j)) + rect.left;
      const Rgba8* adj = work->Row(int(j));
      for (int i = 0; i < rect.Width(); ++i) {
        const int k = selection ? selection->At(area.left + i, area.top + int(j)) : 255;
        if (k == 0) continue;
        auto mix = [k](uint8_t o, uint8_t a) {
          return uint8_t(o + ((int(a) - int(o)) * k + (a >= o ? 127 : -127)) / 255);
        };
        if (useR) dst[i].r = mix(dst[i].r, adj[i].r);
        if (useG) dst[i].g = mix(dst[i].g, adj[i].g);
        if (useB) dst[i].b = mix(dst[i].b, adj[i].b);
      }
    }
  });
  return Status::Ok();
}

}  // namespace tessaro::editor
