#include "editor/Raster.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/Parallel.h"
#include "imaging/ops/Adjust.h"
#include "imaging/ops/Blend.h"
#include "imaging/ops/Resample.h"

namespace tessaro::editor {

int BandRows(int width) { return TransformBandRows(width); }

namespace {

TransformOptions BandOptions(const CancelToken& cancel, int bandRows = 0) {
  TransformOptions options;
  options.cancel = cancel;
  options.bandRows = bandRows;
  return options;
}

}  // namespace

std::optional<IntRect> FillBoxAfter(const IntRect& box, const Affine2D& docToDoc) {
  // Only scales and moves (mirrors included) keep a box a box.
  if (docToDoc.xy != 0 || docToDoc.yx != 0) return std::nullopt;
  const double x0 = docToDoc.xx * box.left + docToDoc.tx, x1 = docToDoc.xx * box.right + docToDoc.tx;
  const double y0 = docToDoc.yy * box.top + docToDoc.ty, y1 = docToDoc.yy * box.bottom + docToDoc.ty;
  const double edges[4] = {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
  int whole[4];
  for (int i = 0; i < 4; ++i) {
    const double r = std::nearbyint(edges[i]);
    if (!(std::fabs(edges[i] - r) <= 1e-6) || std::fabs(r) > 4.0 * kMaxImageSide) return std::nullopt;
    whole[i] = int(r);
  }
  const IntRect out{whole[0], whole[1], whole[2], whole[3]};
  if (out.Empty()) return std::nullopt;
  return out;
}

Result<MaskPlane> TransformMaskPlane(const MaskPlane& plane, const Affine2D& docToDoc, Sampling sampling,
                                     const CancelToken& cancel) {
  MaskPlane out;
  out.outside = plane.outside;
  if (plane.IsUniform()) return out;
  const Affine2D m = Affine2D::Translation(plane.box.left, plane.box.top).Then(docToDoc);
  Result<PlacedPlane> placed = TransformPlane(plane.pixels, m, sampling, plane.outside, BandOptions(cancel));
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
  std::optional<IntRect> filledBox;
  if (layer.fill && !layer.box.Empty()) {
    filledBox = FillBoxAfter(layer.box, docToDoc);
    if (!filledBox) {
      // Turned, or edges between pixels: the edges need real resampling.
      Result<Image> made = layer.CropTo(layer.box);
      if (!made.ok()) return made.status();
      const Affine2D m = Affine2D::Translation(layer.box.left, layer.box.top).Then(docToDoc);
      Result<PlacedImage> r = TransformImage(*made, m, sampling, BandOptions(cancel));
      if (!r.ok()) return r.status();
      placed = std::move(r.value());
    }
  } else if (!layer.pixels.empty()) {
    const Affine2D m = Affine2D::Translation(layer.box.left, layer.box.top).Then(docToDoc);
    Result<PlacedImage> r = TransformImage(layer.pixels, m, sampling, BandOptions(cancel));
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
  if (filledBox) {
    layer.box = *filledBox;
  } else {
    layer.fill.reset();
  }
  layer.Changed();
  return CompactLayer(layer);
}

std::optional<Rgba8> UniformColor(const Image& image) {
  if (image.empty()) return std::nullopt;
  const Rgba8 first = image.At(0, 0);
  const Rgba8* row0 = image.Row(0);
  for (int x = 1; x < image.width(); ++x)
    if (row0[x] != first) return std::nullopt;
  for (int y = 1; y < image.height(); ++y)
    if (std::memcmp(image.Row(y), row0, image.StrideBytes()) != 0) return std::nullopt;
  return first;
}

IntRect AlphaBox(const Image& image) {
  return PaintedBox(image, [](Rgba8 p) { return p.a != 0; });
}

Result<Image> CropImage(const Image& image, const IntRect& rect) {
  Image out;
  Status s = out.CreateUninitialized(rect.Width(), rect.Height());
  if (!s.ok()) return s;
  for (int y = 0; y < rect.Height(); ++y)
    std::memcpy(out.Row(y), image.Row(rect.top + y) + rect.left, size_t(rect.Width()) * sizeof(Rgba8));
  return out;
}

Status CompactLayer(LayerData& layer) {
  if (layer.fill && layer.box.Empty()) layer.fill.reset();
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

namespace {

// How a layer is laid on a picture whose pixel (0, 0) is document pixel
// (area.left, area.top); `maskRef` receives the layer's enabled mask.
CompositeOptions LayerCompositeOptions(const LayerData& layer, const IntRect& area, MaskRef& maskRef) {
  CompositeOptions co;
  co.mode = layer.mode;
  co.opacity = layer.OpacityByte();
  co.fillOpacity = layer.fillOpacity;
  if (layer.mask && !layer.mask->disabled) {
    const MaskPlane& mp = layer.mask->plane;
    maskRef.pixels = mp.IsUniform() ? nullptr : &mp.pixels;
    maskRef.bounds = IntRect{mp.box.left - area.left, mp.box.top - area.top, mp.box.right - area.left,
                             mp.box.bottom - area.top};
    maskRef.defaultColor = mp.outside;
    co.mask = &maskRef;
  }
  return co;
}

}  // namespace

void CompositeLayer(Image& out, const IntRect& area, const IntRect& region, const LayerData& layer,
                    Image& scratch) {
  if (!layer.HasContent()) return;
  MaskRef maskRef;
  const CompositeOptions co = LayerCompositeOptions(layer, area, maskRef);
  if (!layer.fill) {
    Composite(out, region, layer.pixels, layer.box.left - area.left, layer.box.top - area.top, co);
    return;
  }
  // A fill is laid on a strip of its colour at a time.
  const IntRect box{layer.box.left - area.left, layer.box.top - area.top, layer.box.right - area.left,
                    layer.box.bottom - area.top};
  const IntRect target = Intersect(Intersect(box, region), IntRect{0, 0, out.width(), out.height()});
  if (target.Empty()) return;
  assert(scratch.width() >= target.Width() && scratch.height() > 0);
  for (int y = 0; y < scratch.height(); ++y) std::fill_n(scratch.Row(y), target.Width(), *layer.fill);
  for (int y = target.top; y < target.bottom; y += scratch.height()) {
    const IntRect part{target.left, y, target.right, std::min(target.bottom, y + scratch.height())};
    Composite(out, part, scratch, part.left, part.top, co);
  }
}

bool IsPlainLayer(const LayerData& layer) {
  return layer.visible && layer.mode == BlendMode::kNormal && layer.OpacityByte() == 255 &&
         layer.fillOpacity == 255 && !(layer.mask && !layer.mask->disabled) &&
         !(layer.overlay && layer.overlay->enabled);
}

void ComposeBand(const DocState& doc, const IntRect& area, Image& out, const IntRect& bandRect,
                 Image& scratch) {
  const IntRect region{bandRect.left - area.left, bandRect.top - area.top, bandRect.right - area.left,
                       bandRect.bottom - area.top};
  for (auto it = doc.layers.rbegin(); it != doc.layers.rend(); ++it) {
    const LayerData& layer = **it;
    if (!layer.visible || !layer.HasContent()) continue;
    const IntRect lr = Intersect(layer.box, bandRect);
    if (lr.Empty()) continue;
    CompositeLayer(out, area, region, layer, scratch);
    if (layer.overlay && layer.overlay->enabled) {
      // The colour overlay is laid over the composed layer as a second
      // pass shaped by the layer's alpha: in its own blend mode, or in the
      // layer's when its own is normal, at the layer's opacity times its
      // own. (Layered documents saved by image editors compose this way.)
      // The scratch buffer holds it at the layer's part of the band.
      const PsdColorOverlay& o = *layer.overlay;
      assert(scratch.width() >= lr.Width() && scratch.height() >= lr.Height());
      for (int y = lr.top; y < lr.bottom; ++y) {
        Rgba8* dst = scratch.Row(y - lr.top);
        if (layer.fill) {
          std::fill_n(dst, lr.Width(), Rgba8{o.red, o.green, o.blue, layer.fill->a});
          continue;
        }
        const Rgba8* src = layer.pixels.Row(y - layer.box.top) + (lr.left - layer.box.left);
        for (int x = 0; x < lr.Width(); ++x) dst[x] = Rgba8{o.red, o.green, o.blue, src[x].a};
      }
      MaskRef maskRef;
      CompositeOptions eo = LayerCompositeOptions(layer, area, maskRef);
      eo.mode = o.blendMode == BlendMode::kNormal ? layer.mode : o.blendMode;
      eo.fillOpacity = 255;
      eo.opacity = uint8_t(std::lround(eo.opacity * std::clamp(o.opacityPercent, 0.0, 100.0) / 100.0));
      const IntRect lrOut{lr.left - area.left, lr.top - area.top, lr.right - area.left, lr.bottom - area.top};
      Composite(out, lrOut, scratch, lrOut.left, lrOut.top, eo);
    }
  }
}

Status FlattenArea(const DocState& doc, const IntRect& area, Image& out, const CancelToken& cancel,
                   int bandRows) {
  Status s = out.Create(area.Width(), area.Height());
  if (!s.ok()) return s;
  const int band = std::min(area.Height(), bandRows > 0 ? bandRows : BandRows(area.Width()));
  Image scratch;  // fill strips and colour overlays of one band
  s = scratch.CreateUninitialized(area.Width(), band);
  if (!s.ok()) return s;
  for (int y0 = area.top; y0 < area.bottom; y0 += band) {
    s = cancel.Check();
    if (!s.ok()) return s;
    ComposeBand(doc, area, out, IntRect{area.left, y0, area.right, std::min(area.bottom, y0 + band)},
                scratch);
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
  if (!layer.HasContent()) return Status::Ok();
  if (layer.fill && !selection && (channels & kAdjustRgb) == kAdjustRgb) {
    // Every pixel of a fill changes alike: one pixel stands for all.
    Image one;
    Status s = one.Create(1, 1, *layer.fill);
    if (!s.ok()) return s;
    s = adjust(one, IntRect{0, 0, 1, 1});
    if (!s.ok()) return s;
    layer.fill = one.At(0, 0);
    layer.Changed();
    return Status::Ok();
  }
  if (Status s = layer.Materialize(); !s.ok()) return s;
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
