// The editor's document: size and resolution, resampling, the active layer
// and channels, paste, merge, save and close.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <variant>

#include "base/FileIo.h"
#include "editor/DocumentFiles.h"
#include "editor/EditorImpl.h"
#include "editor/Raster.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

// New layer pixels above this make a document resize wait for reads ahead.
constexpr double kLargeResizeBytes = 256.0 * 1024 * 1024;

int FloorHalf(int v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

std::string WithExtensionCase(const std::string& path, bool jpeg, int extensionCase) {
  if (extensionCase == kExtensionAsGiven) return path;
  std::string ext = ExtensionOf(path);
  std::string lower = ext;
  for (char& c : lower) c = char(std::tolower(uint8_t(c)));
  const bool known = jpeg ? (lower == ".jpg" || lower == ".jpeg" || lower == ".jpe")
                          : (lower == ".psd" || lower == ".pdd" || lower == ".psb");
  std::string base = known ? path.substr(0, path.size() - ext.size()) : path;
  std::string newExt = known ? lower : (jpeg ? ".jpg" : ".psd");
  if (extensionCase == kExtensionUpperCase)
    for (char& c : newExt) c = char(std::toupper(uint8_t(c)));
  return base + newExt;
}

class DocumentImpl final : public automation::Document {
 public:
  DocumentImpl(std::shared_ptr<AppState> app, std::shared_ptr<DocState> doc)
      : FApp(std::move(app)), FDoc(std::move(doc)) {}

  AppState* App() const { return FApp.get(); }
  const std::shared_ptr<DocState>& Doc() const { return FDoc; }

  Result<std::string> Name() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return FDoc->name;
  }
  Result<double> Width() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return double(FDoc->width);
  }
  Result<double> Height() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return double(FDoc->height);
  }
  Result<double> Resolution() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return FDoc->resolution;
  }

  Status ResizeImage(double width, double height, double resolution, int method) override {
    if (!std::isfinite(width) || !std::isfinite(height) || std::nearbyint(width) < 1 ||
        std::nearbyint(height) < 1 || width > kMaxImageSide || height > kMaxImageSide)
      return Status::Error("document size must lie in 1.." + std::to_string(kMaxImageSide) + " pixels");
    if (!(resolution > 0) || !std::isfinite(resolution)) return Status::Error("resolution must be above 0");
    if (method < kResampleNone || method > kResampleBicubicSmoother)
      return Status::Error("unknown resample method " + std::to_string(method));
    const int w = int(std::nearbyint(width)), h = int(std::nearbyint(height));
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    if (!ImageSizeAllowed(w, h, 1)) return Status::Error("document too large");
    DocState& doc = *FDoc;
    if (w == doc.width && h == doc.height) {
      doc.resolution = resolution;
      return Status::Ok();
    }
    if (method == kResampleNone)
      return Status::Error("resample method 1 (none) cannot change the pixel size");
    const Sampling sampling = method == kResampleNearest    ? Sampling::kNearest
                              : method == kResampleBilinear ? Sampling::kBilinear
                                                            : Sampling::kBicubic;
    const Affine2D m = Affine2D::Scaling(double(w) / doc.width, double(h) / doc.height);
    const CancelToken cancel = FApp->Cancel();
    // A resize that makes large new layers (a print spread) first lets the
    // reads ahead finish: their decoded pictures and the old and new layers
    // would otherwise all be held at once.
    {
      const double scale = double(w) / doc.width * double(h) / doc.height;
      double newBytes = 0;
      for (const auto& l : doc.layers) newBytes += double(l->pixels.ByteSize()) * scale;
      if (newBytes > kLargeResizeBytes) AwaitPrefetches(*FApp);
      s = FApp->CheckCancel();
      if (!s.ok()) return s;
    }

    // Everything is computed aside and committed only when all succeeded.
    struct NewLayer {
      PlacedImage pixels;
      std::optional<IntRect> fillBox;  // a fill that stays one
      std::optional<MaskPlane> mask;
    };
    std::vector<NewLayer> layers(doc.layers.size());
    for (size_t i = 0; i < doc.layers.size(); ++i) {
      const LayerData& l = *doc.layers[i];
      if (l.fill && !l.box.Empty()) layers[i].fillBox = FillBoxAfter(l.box, m);
      if (l.HasContent() && !layers[i].fillBox) {
        TransformOptions options;
        options.cancel = cancel;
        const Affine2D toDoc = Affine2D::Translation(l.box.left, l.box.top).Then(m);
        Result<PlacedImage> r = Status::Ok();
        if (l.fill) {
          Result<Image> made = l.CropTo(l.box);
          if (!made.ok()) return made.status();
          r = TransformImage(*made, toDoc, sampling, options);
        } else {
          r = TransformImage(l.pixels, toDoc, sampling, options);
        }
        if (!r.ok()) return r.status();
        layers[i].pixels = std::move(r.value());
      }
      if (l.mask) {
        Result<MaskPlane> r = TransformMaskPlane(l.mask->plane, m, sampling, cancel);
        if (!r.ok()) return r.status();
        layers[i].mask = std::move(r.value());
      }
    }
    std::vector<MaskPlane> channels;
    for (const auto& c : doc.channels) {
      Result<MaskPlane> r = TransformMaskPlane(c->plane, m, sampling, cancel);
      if (!r.ok()) return r.status();
      channels.push_back(std::move(r.value()));
    }
    std::optional<MaskPlane> selection;
    if (doc.selection) {
      Result<MaskPlane> r = TransformMaskPlane(*doc.selection, m, sampling, cancel);
      if (!r.ok()) return r.status();
      selection = std::move(r.value());
    }
    for (size_t i = 0; i < doc.layers.size(); ++i) {
      LayerData& l = *doc.layers[i];
      if (layers[i].fillBox) {
        l.box = *layers[i].fillBox;
      } else {
        l.fill.reset();
        l.pixels = std::move(layers[i].pixels.image);
        l.box = l.pixels.empty() ? IntRect{} : layers[i].pixels.bounds;
      }
      if (layers[i].mask) l.mask->plane = std::move(*layers[i].mask);
      l.Changed();
      CompactLayer(l);
    }
    for (size_t i = 0; i < channels.size(); ++i) doc.channels[i]->plane = std::move(channels[i]);
    doc.selection = std::move(selection);
    doc.width = w;
    doc.height = h;
    doc.resolution = resolution;
    TrimFreeMemory();
    return Status::Ok();
  }

  Result<std::shared_ptr<automation::ArtLayers>> ArtLayers() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return MakeArtLayers(FApp, FDoc);
  }

  Result<ArtLayerRef> ActiveLayer() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    if (!FDoc->FindLayer(FDoc->activeLayer)) return Status::Error("the document has no active layer");
    return MakeLayer(FApp, FDoc, FDoc->activeLayer);
  }

  Status SetActiveLayer(const ArtLayerRef& layer) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Result<LayerTarget> target = LayerOf(*FApp, layer);
    if (!target.ok()) return target.status();
    if (target->doc != FDoc) return Status::Error("the layer belongs to another document");
    if (!FDoc->FindLayer(target->id)) return GoneLayerError();
    editor::SetActiveLayer(*FDoc, target->id);
    return Status::Ok();
  }

  Result<std::vector<ChannelRef>> ActiveChannels() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    std::vector<ChannelRef> out;
    for (const ChannelKey& k : FDoc->activeChannels) out.push_back(MakeChannel(FApp, FDoc, k));
    return out;
  }

  Status SetActiveChannels(const std::vector<ChannelRef>& channels) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    if (channels.empty()) return Status::Error("at least one channel must be active");
    std::vector<ChannelKey> keys;
    for (const ChannelRef& c : channels) {
      Result<ChannelTarget> target = ChannelOf(*FApp, c);
      if (!target.ok()) return target.status();
      if (target->doc != FDoc) return Status::Error("the channel belongs to another document");
      if (std::find(keys.begin(), keys.end(), target->key) == keys.end()) keys.push_back(target->key);
    }
    FDoc->activeChannels = std::move(keys);
    return Status::Ok();
  }

  Result<std::shared_ptr<automation::Channels>> Channels() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return MakeChannels(FApp, FDoc);
  }

  Result<std::shared_ptr<automation::Selection>> Selection() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return MakeSelection(FApp, FDoc);
  }

  Result<ArtLayerRef> Paste(bool intoSelection) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    if (intoSelection) return Status::Error("pasting into the selection is not supported");
    if (FApp->clipboard.empty()) return Status::Error("the clipboard is empty");
    auto layer = std::make_unique<LayerData>();
    layer->pixels = FApp->clipboard.Clone();
    if (layer->pixels.empty()) return Status::Error("out of memory pasting");
    const int w = layer->pixels.width(), h = layer->pixels.height();
    const int left = FloorHalf(FDoc->width - w), top = FloorHalf(FDoc->height - h);
    layer->box = IntRect{left, top, left + w, top + h};
    layer->name = "Layer " + std::to_string(++FDoc->pastedLayers);
    const int active = FDoc->IndexOfLayer(FDoc->activeLayer);
    s = AdoptLayer(*FApp, *FDoc, std::move(layer), active < 0 ? 0 : size_t(active));
    if (!s.ok()) return s;
    return MakeLayer(FApp, FDoc, FDoc->activeLayer);
  }

  Result<ArtLayerRef> MergeVisibleLayers() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    DocState& doc = *FDoc;
    int lowest = -1;
    for (size_t i = 0; i < doc.layers.size(); ++i)
      if (doc.layers[i]->visible) lowest = int(i);
    if (lowest < 0) return Status::Error("there is no visible layer to merge");
    LayerData& bottom = *doc.layers[size_t(lowest)];
    // When a visible layer's stored pixels cover exactly the canvas (the
    // host), the merge is written into them band by band: each band of the
    // composite is made aside from every layer's rows and then copied over
    // the host's rows, which no later band reads. No second canvas is
    // needed. Nothing in the band loop can fail (no allocation, no cancel
    // point), so the document is never left half merged; a cancel request
    // is noticed before the merge starts.
    const IntRect canvas = doc.Canvas();
    LayerData* host = nullptr;
    for (int i = lowest; i >= 0 && !host; --i) {
      LayerData& l = *doc.layers[size_t(i)];
      if (l.visible && !l.fill && !l.pixels.empty() && l.box == canvas) host = &l;
    }
    Image merged, rows, scratch;
    const int band = std::min(canvas.Height(), BandRows(canvas.Width()));
    s = scratch.CreateUninitialized(canvas.Width(), band);
    if (s.ok())
      s = host ? rows.CreateUninitialized(canvas.Width(), band)
               : merged.CreateUninitialized(canvas.Width(), canvas.Height());
    if (!s.ok()) return s;
    // Without a host the merged canvas is new; the rows every layer has
    // given up are handed back to the system band by band (the layers are
    // dropped after the merge), so that memory does not grow by a canvas.
    std::vector<int> released(doc.layers.size(), 0);  // rows of each layer given back
    for (int y0 = 0; y0 < canvas.Height(); y0 += band) {
      const IntRect bandRect{0, y0, canvas.Width(), std::min(canvas.Height(), y0 + band)};
      if (host) {
        for (int y = 0; y < bandRect.Height(); ++y) std::fill_n(rows.Row(y), canvas.Width(), Rgba8{});
        ComposeBand(doc, bandRect, rows, bandRect, scratch);
        for (int y = 0; y < bandRect.Height(); ++y)
          std::copy_n(rows.Row(y), canvas.Width(), host->pixels.Row(y0 + y));
        continue;
      }
      for (int y = bandRect.top; y < bandRect.bottom; ++y)
        std::fill_n(merged.Row(y), canvas.Width(), Rgba8{});
      ComposeBand(doc, canvas, merged, bandRect, scratch);
      for (size_t i = 0; i < doc.layers.size(); ++i) {
        LayerData& l = *doc.layers[i];
        if (!l.visible || l.pixels.empty()) continue;
        const int done = std::clamp(bandRect.bottom - l.box.top, 0, l.pixels.height());
        if (done > released[i]) {
          l.pixels.DiscardRows(released[i], done);
          released[i] = done;
        }
      }
    }
    if (host) merged = std::move(host->pixels);
    auto layer = std::make_unique<LayerData>();
    layer->name = bottom.name;
    layer->box = doc.Canvas();
    layer->pixels = std::move(merged);
    CompactLayer(*layer);
    // The merged layer takes the place of the lowest visible layer; hidden
    // layers above it stay above it.
    size_t hiddenAbove = 0;
    for (int i = 0; i < lowest; ++i)
      if (!doc.layers[size_t(i)]->visible) ++hiddenAbove;
    std::erase_if(doc.layers, [](const std::unique_ptr<LayerData>& l) { return l->visible; });
    s = AdoptLayer(*FApp, doc, std::move(layer), hiddenAbove);
    if (!s.ok()) return s;
    TrimFreeMemory();
    return MakeLayer(FApp, FDoc, doc.activeLayer);
  }

  Status SaveAs(const std::string& path, const SaveOptions& options, bool asCopy,
                int extensionCase) override {
    if (extensionCase < kExtensionAsGiven || extensionCase > kExtensionUpperCase)
      return Status::Error("extension case must lie in 1..3, not " + std::to_string(extensionCase));
    if (path.empty()) return Status::Error("no file name to save to");
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    const bool jpeg = std::holds_alternative<JPEGSaveOptions>(options);
    const std::string target = WithExtensionCase(path, jpeg, extensionCase);
    if (jpeg) {
      s = SaveDocumentJpeg(*FDoc, target, std::get<JPEGSaveOptions>(options).Quality, FApp->Cancel());
    } else {
      const PhotoshopSaveOptions& o = std::get<PhotoshopSaveOptions>(options);
      s = SaveDocumentPsd(*FDoc, target, o.Layers, o.AlphaChannels, FApp->Cancel());
    }
    if (!s.ok()) return s;
    if (!asCopy) {
      FDoc->path = target;
      FDoc->name = FileNameOf(target);
    }
    return Status::Ok();
  }

  Status Close(int saveOptions) override {
    if (saveOptions == kSaveChanges)
      return Status::Error("closing with saving is not supported; use SaveAs first");
    if (saveOptions != kDoNotSaveChanges && saveOptions != kPromptToSaveChanges)
      return Status::Error("close option must be 2 (discard changes), not " + std::to_string(saveOptions));
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    auto& docs = FApp->documents;
    std::erase(docs, FDoc);
    FDoc->closed = true;
    FDoc->layers.clear();
    FDoc->channels.clear();
    FDoc->selection.reset();
    if (FApp->active == FDoc) FApp->active = docs.empty() ? nullptr : docs.back();
    if (docs.empty()) {
      // A batch that keeps its heap for the next page says so in the options.
      if (FApp->options.releaseMemoryWhenEmpty) {
        ReleaseFreeMemory();
        FApp->memoryReleases.fetch_add(1);
      }
    } else {
      TrimFreeMemory();
    }
    return Status::Ok();
  }

 private:
  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
};

}  // namespace

DocumentRef MakeDocument(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc) {
  return std::make_shared<DocumentImpl>(app, doc);
}

Result<std::shared_ptr<DocState>> DocOf(const AppState& app, const DocumentRef& ref) {
  const auto* impl = dynamic_cast<const DocumentImpl*>(ref.get());
  if (!impl || impl->App() != &app) return Status::Error("the document belongs to another application");
  return impl->Doc();
}

}  // namespace editor

Result<Image> FlattenDocument(automation::Document& document) {
  auto* impl = dynamic_cast<editor::DocumentImpl*>(&document);
  if (!impl) return Status::Error("not a document of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  const editor::DocState& doc = *impl->Doc();
  if (doc.closed) return editor::ClosedError();
  Image out;
  Status s = editor::FlattenArea(doc, doc.Canvas(), out, editor::CancelToken());
  if (!s.ok()) return s;
  return out;
}

Result<std::optional<Plane>> SelectionValues(automation::Document& document) {
  auto* impl = dynamic_cast<editor::DocumentImpl*>(&document);
  if (!impl) return Status::Error("not a document of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  const editor::DocState& doc = *impl->Doc();
  if (doc.closed) return editor::ClosedError();
  if (!doc.selection) return std::optional<Plane>();
  Result<Plane> values = doc.selection->Materialize(doc.Canvas());
  if (!values.ok()) return values.status();
  return std::optional<Plane>(std::move(values.value()));
}

}  // namespace tessaro
