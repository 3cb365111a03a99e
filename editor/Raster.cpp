#include "editor/Raster.h"

#include <algorithm>
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
  if (!layer.pixels.empty()) {
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
  layer.Changed();
  return CompactLayer(layer);
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

void CompositeLayer(Image& out, const IntRect& area, const IntRect& region, const LayerData& layer) {
  if (layer.pixels.empty()) return;
  MaskRef maskRef;
  const CompositeOptions co = LayerCompositeOptions(layer, area, maskRef);
  Composite(out, region, layer.pixels, layer.box.left - area.left, layer.box.top - area.top, co);
}

bool IsPlainLayer(const LayerData& layer) {
  return layer.visible && layer.mode == BlendMode::kNormal && layer.OpacityByte() == 255 &&
         layer.fillOpacity == 255 && !(layer.mask && !layer.mask->disabled) &&
         !(layer.overlay && layer.overlay->enabled);
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
      CompositeLayer(out, area, region, layer);
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
        MaskRef maskRef;
        CompositeOptions eo = LayerCompositeOptions(layer, area, maskRef);
        eo.mode = o.blendMode == BlendMode::kNormal ? layer.mode : o.blendMode;
        eo.fillOpacity = 255;
        eo.opacity = uint8_t(std::lround(eo.opacity * std::clamp(o.opacityPercent, 0.0, 100.0) / 100.0));
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
