#include "editor/EditorState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessaro::editor {

IntRect LayerData::TightBounds() const {
  if (FTight) return *FTight;
  IntRect r;
  if (fill) {
    if (fill->a != 0) r = box;
  } else if (!pixels.empty()) {
    const IntRect local = PaintedBox(pixels, [](Rgba8 p) { return p.a != 0; });
    if (!local.Empty())
      r = IntRect{box.left + local.left, box.top + local.top, box.left + local.right, box.top + local.bottom};
  }
  FTight = r;
  return r;
}

Status LayerData::Materialize() {
  if (!fill) return Status::Ok();
  if (box.Empty()) {
    fill.reset();
    return Status::Ok();
  }
  Image made;
  Status s = made.Create(box.Width(), box.Height(), *fill);
  if (!s.ok()) return s;
  pixels = std::move(made);
  fill.reset();
  return Status::Ok();
}

Result<Image> LayerData::CropTo(const IntRect& rect) const {
  if (rect.Empty() || Intersect(rect, box) != rect) return Status::Error("the area lies outside the layer");
  Image out;
  if (fill) {
    Status s = out.Create(rect.Width(), rect.Height(), *fill);
    if (!s.ok()) return s;
    return out;
  }
  if (pixels.empty()) return Status::Error("the layer has no pixels");
  Status s = out.CreateUninitialized(rect.Width(), rect.Height());
  if (!s.ok()) return s;
  for (int y = 0; y < rect.Height(); ++y)
    std::memcpy(out.Row(y), pixels.Row(rect.top - box.top + y) + (rect.left - box.left),
                size_t(rect.Width()) * sizeof(Rgba8));
  return out;
}

uint8_t LayerData::OpacityByte() const {
  return uint8_t(std::lround(std::clamp(opacity, 0.0, 100.0) * 255.0 / 100.0));
}

Result<std::unique_ptr<LayerData>> LayerData::Clone() const {
  auto copy = std::make_unique<LayerData>();
  copy->name = name;
  copy->box = box;
  if (!pixels.empty()) {
    copy->pixels = pixels.Clone();
    if (copy->pixels.empty()) return Status::Error("out of memory copying a layer");
  }
  copy->fill = fill;
  copy->opacity = opacity;
  copy->fillOpacity = fillOpacity;
  copy->mode = mode;
  copy->visible = visible;
  copy->clipping = clipping;
  if (mask) {
    LayerMaskData m;
    m.plane = mask->plane.Clone();
    if (m.plane.ByteSize() != mask->plane.ByteSize()) return Status::Error("out of memory copying a mask");
    m.linked = mask->linked;
    m.disabled = mask->disabled;
    copy->mask = std::move(m);
  }
  copy->overlay = overlay;
  copy->effectsScale = effectsScale;
  copy->FTight = FTight;
  return copy;
}

LayerData* DocState::FindLayer(uint64_t layerId) const {
  for (const auto& l : layers)
    if (l->id == layerId) return l.get();
  return nullptr;
}

int DocState::IndexOfLayer(uint64_t layerId) const {
  for (size_t i = 0; i < layers.size(); ++i)
    if (layers[i]->id == layerId) return int(i);
  return -1;
}

ChannelData* DocState::FindChannel(uint64_t channelId) const {
  for (const auto& c : channels)
    if (c->id == channelId) return c.get();
  return nullptr;
}

}  // namespace tessaro::editor
