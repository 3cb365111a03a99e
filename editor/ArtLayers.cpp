// The editor's art layers: the layers of a document, and each layer's
// properties, copy, duplication, order, transforms and adjustments.
#include <cmath>

#include "editor/EditorImpl.h"
#include "editor/Raster.h"
#include "imaging/ops/Adjust.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

Status CopyToClipboard(AppState& app, const DocState& doc, const LayerData& layer, bool merged) {
  Status s = app.CheckCancel();
  if (!s.ok()) return s;
  IntRect area = doc.Canvas();
  const MaskPlane* selection = doc.selection ? &*doc.selection : nullptr;
  if (selection && selection->outside == 0) area = Intersect(area, selection->box);
  if (!merged) area = Intersect(area, layer.HasContent() ? layer.box : IntRect{});
  if (area.Empty()) return Status::Error("the selected area is empty");
  // A merged copy of a document whose only visible layer is laid on plainly
  // (normal, fully opaque, no mask or effect) is a copy of that layer.
  const LayerData* only = nullptr;
  if (merged) {
    int visible = 0;
    for (const auto& l : doc.layers)
      if (l->visible && l->HasContent()) {
        ++visible;
        only = l.get();
      }
    const bool plain = visible == 1 && only->mode == BlendMode::kNormal && only->OpacityByte() == 255 &&
                       only->fillOpacity == 255 && !(only->mask && !only->mask->disabled) &&
                       !(only->overlay && only->overlay->enabled);
    if (!plain) only = nullptr;
    if (only) area = Intersect(area, only->box);
    if (area.Empty()) return Status::Error("the selected area is empty");
  }
  Image copied;
  if (merged && !only) {
    s = FlattenArea(doc, area, copied, app.Cancel());
    if (!s.ok()) return s;
  } else {
    Result<Image> rows = (merged ? only : &layer)->CropTo(area);
    if (!rows.ok()) return rows.status();
    copied = std::move(rows.value());
  }
  if (selection && !(selection->IsUniform() && selection->outside == 255))
    ApplySelectionToAlpha(copied, area.left, area.top, *selection);
  const IntRect content = AlphaBox(copied);
  if (content.Empty()) return Status::Error("the selected area is empty");
  if (content != IntRect{0, 0, copied.width(), copied.height()}) {
    Result<Image> cropped = CropImage(copied, content);
    if (!cropped.ok()) return cropped.status();
    copied = std::move(cropped.value());
  }
  s = app.CheckCancel();
  if (!s.ok()) return s;
  app.clipboard = std::move(copied);
  return Status::Ok();
}

// The anchor point (1..9) of a box.
Result<PointF> AnchorPoint(const IntRect& b, int anchor) {
  if (anchor < 1 || anchor > 9)
    return Status::Error("anchor must lie in 1..9, not " + std::to_string(anchor));
  const int col = (anchor - 1) % 3, row = (anchor - 1) / 3;
  return PointF{b.left + b.Width() * col / 2.0, b.top + b.Height() * row / 2.0};
}

Result<unsigned> ActiveColorChannels(const DocState& doc) {
  unsigned bits = 0;
  for (const ChannelKey& k : doc.activeChannels) {
    if (k.component < 0) return Status::Error("adjustments apply to the colour channels only");
    bits |= 1u << k.component;
  }
  if (!bits) return Status::Error("no colour channel is active");
  return bits;
}

class ArtLayersImpl final : public automation::ArtLayers {
 public:
  ArtLayersImpl(std::shared_ptr<AppState> app, std::shared_ptr<DocState> doc)
      : FApp(std::move(app)), FDoc(std::move(doc)) {}
  Result<int> Count() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return int(FDoc->layers.size());
  }
  Result<ArtLayerRef> Item(int index) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    if (index < 1 || index > int(FDoc->layers.size()))
      return Status::Error("no layer " + std::to_string(index) + " (the document has " +
                           std::to_string(FDoc->layers.size()) + ")");
    return MakeLayer(FApp, FDoc, FDoc->layers[size_t(index - 1)]->id);
  }

 private:
  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
};

class LayerImpl final : public automation::ArtLayer {
 public:
  LayerImpl(std::shared_ptr<AppState> app, std::shared_ptr<DocState> doc, uint64_t id)
      : FApp(std::move(app)), FDoc(std::move(doc)), FId(id) {}

  AppState* App() const { return FApp.get(); }
  const std::shared_ptr<DocState>& Doc() const { return FDoc; }
  uint64_t Id() const { return FId; }

  Result<LayerBounds> Bounds() override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    const IntRect b = (*l)->TightBounds();
    return LayerBounds{double(b.left), double(b.top), double(b.right), double(b.bottom)};
  }
  Result<std::string> Name() override {
    return Read([](const LayerData& l) { return l.name; });
  }
  Status SetName(const std::string& name) override {
    return Change([&](LayerData& l) { l.name = name; });
  }
  Result<bool> Visible() override {
    return Read([](const LayerData& l) { return l.visible; });
  }
  Status SetVisible(bool visible) override {
    return Change([&](LayerData& l) { l.visible = visible; });
  }
  Result<double> Opacity() override {
    return Read([](const LayerData& l) { return l.opacity; });
  }
  Status SetOpacity(double percent) override {
    if (!(percent >= 0 && percent <= 100))
      return Status::Error("opacity must lie in 0..100, not " + std::to_string(percent));
    return Change([&](LayerData& l) { l.opacity = percent; });
  }
  Result<int> BlendMode() override {
    return Read([](const LayerData& l) { return BlendModeCode(l.mode); });
  }
  Status SetBlendMode(int mode) override {
    std::optional<tessaro::BlendMode> m = BlendModeFromCode(mode);
    if (!m) return Status::Error("unknown blend mode " + std::to_string(mode));
    if (*m == tessaro::BlendMode::kPassThrough) return Status::Error("pass through is a mode of groups only");
    return Change([&](LayerData& l) { l.mode = *m; });
  }

  Status Copy(bool merged) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    return CopyToClipboard(*FApp, *FDoc, **l, merged);
  }

  Result<ArtLayerRef> Duplicate(const DocumentRef& document, int placement) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = FindForWork();
    if (!l.ok()) return l.status();
    Result<std::shared_ptr<DocState>> target = DocOf(*FApp, document);
    if (!target.ok()) return target.status();
    if ((*target)->closed) return ClosedError();
    if (placement != kPlaceAtBeginning && placement != kPlaceAtEnd)
      return Status::Error("a layer is duplicated into a document at its beginning (1) or end (5), not " +
                           std::to_string(placement));
    Result<std::unique_ptr<LayerData>> copy = (*l)->Clone();
    if (!copy.ok()) return copy.status();
    DocState& doc = **target;
    Status s = AdoptLayer(*FApp, doc, std::move(copy.value()),
                          placement == kPlaceAtBeginning ? 0 : doc.layers.size());
    if (!s.ok()) return s;
    return MakeLayer(FApp, *target, doc.activeLayer);
  }

  Result<ArtLayerRef> Duplicate(const ArtLayerRef& layer, int placement) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = FindForWork();
    if (!l.ok()) return l.status();
    Result<LayerTarget> target = LayerOf(*FApp, layer);
    if (!target.ok()) return target.status();
    DocState& doc = *target->doc;
    if (doc.closed) return ClosedError();
    const int index = doc.IndexOfLayer(target->id);
    if (index < 0) return GoneLayerError();
    if (placement != kPlaceBefore && placement != kPlaceAfter)
      return Status::Error("a layer is duplicated before (3) or after (4) another layer, not " +
                           std::to_string(placement));
    Result<std::unique_ptr<LayerData>> copy = (*l)->Clone();
    if (!copy.ok()) return copy.status();
    Status s =
        AdoptLayer(*FApp, doc, std::move(copy.value()), size_t(index + (placement == kPlaceAfter ? 1 : 0)));
    if (!s.ok()) return s;
    return MakeLayer(FApp, target->doc, doc.activeLayer);
  }

  Status Move(const ArtLayerRef& layer, int placement) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Result<LayerTarget> target = LayerOf(*FApp, layer);
    if (!target.ok()) return target.status();
    if (target->doc != FDoc) return Status::Error("a layer moves only within its own document");
    if (placement != kPlaceBefore && placement != kPlaceAfter)
      return Status::Error("a layer moves before (3) or after (4) another layer, not " +
                           std::to_string(placement));
    if (target->id == FId) return Status::Ok();
    if (FDoc->IndexOfLayer(target->id) < 0) return GoneLayerError();
    auto& layers = FDoc->layers;
    const int from = FDoc->IndexOfLayer(FId);
    std::unique_ptr<LayerData> moving = std::move(layers[size_t(from)]);
    layers.erase(layers.begin() + from);
    const int to = FDoc->IndexOfLayer(target->id) + (placement == kPlaceAfter ? 1 : 0);
    layers.insert(layers.begin() + to, std::move(moving));
    return Status::Ok();
  }

  Status Resize(double horizontalPercent, double verticalPercent, int anchor) override {
    if (!std::isfinite(horizontalPercent) || !std::isfinite(verticalPercent) || horizontalPercent == 0 ||
        verticalPercent == 0)
      return Status::Error("resize percentages must be finite and not 0");
    const bool identity = horizontalPercent == 100 && verticalPercent == 100;
    return TransformAboutAnchor(anchor, identity, [&](PointF centre) {
      return ScalingAbout(horizontalPercent / 100, verticalPercent / 100, centre);
    });
  }

  Status Translate(double dx, double dy) override {
    if (!std::isfinite(dx) || !std::isfinite(dy) || std::fabs(dx) > 4.0 * kMaxImageSide ||
        std::fabs(dy) > 4.0 * kMaxImageSide)
      return Status::Error("translation distances must be finite and within the document's reach");
    Lock lock(FApp->mutex);
    Result<LayerData*> l = FindForWork();
    if (!l.ok()) return l.status();
    LayerData& layer = **l;
    const int ix = int(std::nearbyint(dx)), iy = int(std::nearbyint(dy));
    if (!layer.box.Empty())
      layer.box =
          IntRect{layer.box.left + ix, layer.box.top + iy, layer.box.right + ix, layer.box.bottom + iy};
    if (layer.mask && layer.mask->linked) layer.mask->plane.Translate(ix, iy);
    layer.Changed();
    return Status::Ok();
  }

  Status Rotate(double degrees, int anchor) override {
    if (!std::isfinite(degrees)) return Status::Error("the angle must be finite");
    // Positive automation angles turn clockwise; the imaging rotation turns
    // counter-clockwise for positive angles.
    return TransformAboutAnchor(anchor, std::fmod(degrees, 360.0) == 0,
                                [&](PointF centre) { return RotationAbout(-degrees, centre); });
  }

  Status ResizeAndRotate(double horizontalPercent, double verticalPercent, double degrees,
                         int anchor) override {
    if (!std::isfinite(horizontalPercent) || !std::isfinite(verticalPercent) || horizontalPercent == 0 ||
        verticalPercent == 0)
      return Status::Error("resize percentages must be finite and not 0");
    if (!std::isfinite(degrees)) return Status::Error("the angle must be finite");
    if (anchor != kAnchorMiddleCenter)
      return Status::Error("resize and rotate turn about the centre (anchor 5)");
    // Scaling about the centre keeps the centre, so the turn is about the
    // centre of the resized bounds as well.
    return TransformAboutAnchor(anchor, false, [&](PointF centre) {
      return ScalingAbout(horizontalPercent / 100, verticalPercent / 100, centre)
          .Then(RotationAbout(-degrees, centre));
    });
  }

  Status AdjustLevels(int inputStart, int inputEnd, double gamma, int outputStart, int outputEnd) override {
    LevelsParams p;
    p.inputBlack = inputStart;
    p.inputWhite = inputEnd;
    p.gamma = gamma;
    p.outputBlack = outputStart;
    p.outputWhite = outputEnd;
    return AdjustActiveChannels([&](Image& img, const IntRect& region, unsigned channels) {
      return tessaro::AdjustLevels(img, region, p, channels);
    });
  }

  Status AdjustBrightnessContrast(int brightness, int contrast) override {
    return AdjustActiveChannels([&](Image& img, const IntRect& region, unsigned) {
      return tessaro::AdjustBrightnessContrast(img, region, brightness, contrast,
                                               BrightnessContrastStyle::kLegacy);
    });
  }

  Status MixChannels(const std::vector<std::vector<double>>& outputChannels, bool monochrome) override {
    ChannelMixerParams p;
    p.monochrome = monochrome;
    const size_t rows = outputChannels.size();
    if (!(rows == 3 || (monochrome && rows == 1)))
      return Status::Error("the channel mixer takes three rows (one when monochrome), not " +
                           std::to_string(rows));
    for (size_t r = 0; r < rows; ++r) {
      if (outputChannels[r].size() != 4)
        return Status::Error("each channel mixer row holds red, green, blue and constant");
      for (int c = 0; c < 4; ++c) {
        const double v = outputChannels[r][size_t(c)];
        if (!std::isfinite(v) || v < -200 || v > 200)
          return Status::Error("channel mixer values must lie in -200..200");
        p.rows[r][c] = int(std::nearbyint(v));
      }
    }
    Lock lock(FApp->mutex);
    Result<LayerData*> l = FindForWork();
    if (!l.ok()) return l.status();
    return AdjustLayer(**l, Selection(), kAdjustRgb, [&](Image& img, const IntRect& region) {
      return tessaro::MixChannels(img, region, p);
    });
  }

 private:
  // The layer, for work that a cancel request stops before it starts; the
  // caller holds the application lock.
  Result<LayerData*> FindForWork() const {
    Result<LayerData*> l = Find();
    if (!l.ok()) return l;
    if (Status s = FApp->CheckCancel(); !s.ok()) return s;
    return l;
  }

  // Runs adjust(pixels, region, channels) on the layer under the selection,
  // on the document's active colour channels, with the application locked.
  template <typename Adjust>
  Status AdjustActiveChannels(Adjust adjust) {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = FindForWork();
    if (!l.ok()) return l.status();
    Result<unsigned> channels = ActiveColorChannels(*FDoc);
    if (!channels.ok()) return channels.status();
    const unsigned bits = *channels;
    return AdjustLayer(**l, Selection(), bits,
                       [&](Image& img, const IntRect& region) { return adjust(img, region, bits); });
  }

  Result<LayerData*> Find() const {
    if (FDoc->closed) return ClosedError();
    LayerData* l = FDoc->FindLayer(FId);
    if (!l) return GoneLayerError();
    return l;
  }
  // Resize, Rotate and their combination: under the application lock, the
  // affine transform `about(anchor point of the painted bounds)` applied to
  // the layer (and its linked mask) with bicubic sampling. An empty layer or
  // an `identity` transform changes nothing.
  template <class About>
  Status TransformAboutAnchor(int anchor, bool identity, About about) {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = FindForWork();
    if (!l.ok()) return l.status();
    LayerData& layer = **l;
    Result<PointF> centre = AnchorPoint(layer.TightBounds(), anchor);
    if (!centre.ok()) return centre.status();
    if (layer.TightBounds().Empty() || identity) return Status::Ok();
    const Affine2D m = about(*centre);
    Status s = TransformLayer(layer, m, Sampling::kBicubic, layer.mask && layer.mask->linked, FApp->Cancel());
    if (s.ok()) TrimFreeMemory();
    return s;
  }
  // A property of the live layer, read under the application lock.
  template <class Get>
  auto Read(Get get) -> Result<decltype(get(std::declval<const LayerData&>()))> {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    return get(**l);
  }
  // A property of the live layer, set under the application lock.
  template <class Set>
  Status Change(Set set) {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    set(**l);
    return Status::Ok();
  }
  const MaskPlane* Selection() const { return FDoc->selection ? &*FDoc->selection : nullptr; }

  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
  uint64_t FId;
};

}  // namespace

std::shared_ptr<automation::ArtLayers> MakeArtLayers(const std::shared_ptr<AppState>& app,
                                                     const std::shared_ptr<DocState>& doc) {
  return std::make_shared<ArtLayersImpl>(app, doc);
}

ArtLayerRef MakeLayer(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                      uint64_t id) {
  return std::make_shared<LayerImpl>(app, doc, id);
}

Result<LayerTarget> LayerOf(const AppState& app, const ArtLayerRef& ref) {
  const auto* impl = dynamic_cast<const LayerImpl*>(ref.get());
  if (!impl || impl->App() != &app) return Status::Error("the layer belongs to another application");
  if (impl->Doc()->closed) return ClosedError();
  return LayerTarget{impl->Doc(), impl->Id()};
}

}  // namespace editor

namespace {

Result<editor::LayerData*> InspectLayer(automation::ArtLayer& layer, editor::AppState*& app) {
  auto* impl = dynamic_cast<editor::LayerImpl*>(&layer);
  if (!impl) return Status::Error("not a layer of the editor");
  app = impl->App();
  if (impl->Doc()->closed) return editor::ClosedError();
  editor::LayerData* l = impl->Doc()->FindLayer(impl->Id());
  if (!l) return editor::GoneLayerError();
  return l;
}

// Runs read(layer) with the layer's application locked.
template <typename T, typename Read>
Result<T> ReadLayer(automation::ArtLayer& layer, Read read) {
  auto* impl = dynamic_cast<editor::LayerImpl*>(&layer);
  if (!impl) return Status::Error("not a layer of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  editor::AppState* app = nullptr;
  Result<editor::LayerData*> l = InspectLayer(layer, app);
  if (!l.ok()) return l.status();
  return read(**l);
}

}  // namespace

Result<PlacedImage> LayerPixels(automation::ArtLayer& layer) {
  return ReadLayer<PlacedImage>(layer, [](const editor::LayerData& l) -> Result<PlacedImage> {
    PlacedImage out;
    out.bounds = l.box;
    if (l.fill && !l.box.Empty()) {
      Result<Image> made = l.CropTo(l.box);
      if (!made.ok()) return made.status();
      out.image = std::move(made.value());
    } else if (!l.pixels.empty()) {
      out.image = l.pixels.Clone();
      if (out.image.empty()) return Status::Error("out of memory");
    }
    return out;
  });
}

Result<LayerMaskInfo> LayerMask(automation::ArtLayer& layer, const IntRect& area) {
  return ReadLayer<LayerMaskInfo>(layer, [&](const editor::LayerData& l) -> Result<LayerMaskInfo> {
    if (!l.mask) return Status::Error("the layer has no mask");
    Result<Plane> values = l.mask->plane.Materialize(area);
    if (!values.ok()) return values.status();
    return LayerMaskInfo{std::move(values.value()), l.mask->linked, l.mask->disabled};
  });
}

Result<std::optional<PsdColorOverlay>> LayerColorOverlay(automation::ArtLayer& layer) {
  return ReadLayer<std::optional<PsdColorOverlay>>(
      layer, [](const editor::LayerData& l) -> Result<std::optional<PsdColorOverlay>> { return l.overlay; });
}

}  // namespace tessaro
