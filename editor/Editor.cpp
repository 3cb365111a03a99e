// The editor's implementation of the automation interface: the application
// state, the handle classes and every call.
//
// Locking: one mutex per application guards its documents, clipboard and
// preferences; every call of every handle takes it for its whole duration.
// The cancellation flag is an atomic read by long operations while they hold
// the mutex and written by RequestCancel without it.
#include "editor/Editor.h"

#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "base/FileIo.h"
#include "editor/Actions.h"
#include "editor/DocumentFiles.h"
#include "editor/EditorState.h"
#include "editor/Raster.h"
#include "imaging/ops/Adjust.h"

namespace tessaro {

namespace {

struct BlendCode {
  int code;
  BlendMode mode;
};
constexpr BlendCode kBlendCodes[] = {
    {1, BlendMode::kPassThrough},   {2, BlendMode::kNormal},       {3, BlendMode::kDissolve},
    {4, BlendMode::kDarken},        {5, BlendMode::kMultiply},     {6, BlendMode::kColorBurn},
    {7, BlendMode::kLinearBurn},    {8, BlendMode::kLighten},      {9, BlendMode::kScreen},
    {10, BlendMode::kColorDodge},   {11, BlendMode::kLinearDodge}, {12, BlendMode::kOverlay},
    {13, BlendMode::kSoftLight},    {14, BlendMode::kHardLight},   {15, BlendMode::kVividLight},
    {16, BlendMode::kLinearLight},  {17, BlendMode::kPinLight},    {18, BlendMode::kDifference},
    {19, BlendMode::kExclusion},    {20, BlendMode::kHue},         {21, BlendMode::kSaturation},
    {22, BlendMode::kColor},        {23, BlendMode::kLuminosity},  {26, BlendMode::kHardMix},
    {27, BlendMode::kLighterColor}, {28, BlendMode::kDarkerColor}, {29, BlendMode::kSubtract},
    {30, BlendMode::kDivide},
};

}  // namespace

void TuneMemoryForLargeImages() {
  // Buffers of any size come from the heap, and freed memory is kept for
  // reuse rather than returned after every free.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

void ReleaseFreeMemory() { malloc_trim(0); }

std::optional<BlendMode> BlendModeFromCode(int code) {
  for (const BlendCode& b : kBlendCodes)
    if (b.code == code) return b.mode;
  return std::nullopt;
}

int BlendModeCode(BlendMode mode) {
  for (const BlendCode& b : kBlendCodes)
    if (b.mode == mode) return b.code;
  return 2;
}

namespace editor {
namespace {

using namespace automation;

// ---------------------------------------------------------------------------
// Application state

struct FileStamp {
  int64_t size = -1;
  int64_t mtimeNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string CanonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string s(resolved);
  std::free(resolved);
  return s;
}

struct PrefetchEntry {
  std::string key;  // canonical path
  FileStamp stamp;
  std::future<Result<DocContent>> result;
};

struct PrefetchWorker {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done;
};

struct AppState {
  std::mutex mutex;
  std::atomic<bool> cancel{false};
  EditorOptions options;
  std::vector<std::shared_ptr<DocState>> documents;  // opening order
  std::shared_ptr<DocState> active;
  int rulerUnits = kUnitPixels;
  int typeUnits = kTypeUnitPoints;
  int displayDialogs = kDialogsNo;
  Image clipboard;
  uint64_t nextId = 1;
  std::deque<PrefetchEntry> prefetches;
  std::vector<PrefetchWorker> workers;
  std::atomic<int64_t> filesRead{0};
  std::atomic<int64_t> prefetchHits{0};

  ~AppState() {
    for (PrefetchWorker& w : workers)
      if (w.thread.joinable()) w.thread.join();
  }
  CancelToken Cancel() const { return CancelToken(&cancel); }
  Status CheckCancel() const { return Cancel().Check(); }
  uint64_t NewId() { return nextId++; }
  void ReapWorkers() {
    for (auto it = workers.begin(); it != workers.end();) {
      if (it->done->load()) {
        it->thread.join();
        it = workers.erase(it);
      } else {
        ++it;
      }
    }
  }
};

using Lock = std::unique_lock<std::mutex>;

Status ClosedError() { return Status::Error("the document has been closed"); }
Status GoneLayerError() { return Status::Error("the layer no longer exists"); }

// ---------------------------------------------------------------------------
// Handle classes

class DocumentImpl;
class LayerImpl;
class ChannelImpl;

DocumentRef MakeDocument(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc);
ArtLayerRef MakeLayer(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                      uint64_t id);
ChannelRef MakeChannel(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                       ChannelKey key);

// The state behind a handle of this application, or an error for a handle of
// another application or implementation.
Result<std::shared_ptr<DocState>> DocOf(const AppState& app, const DocumentRef& ref);
struct LayerTarget {
  std::shared_ptr<DocState> doc;
  uint64_t id = 0;
};
Result<LayerTarget> LayerOf(const AppState& app, const ArtLayerRef& ref);
struct ChannelTarget {
  std::shared_ptr<DocState> doc;
  ChannelKey key;
};
Result<ChannelTarget> ChannelOf(const AppState& app, const ChannelRef& ref);

void SetActiveLayer(DocState& doc, uint64_t layerId) {
  doc.activeLayer = layerId;
  doc.ResetActiveChannels();
}

Status AdoptLayer(AppState& app, DocState& doc, std::unique_ptr<LayerData> layer, size_t index) {
  layer->id = app.NewId();
  const uint64_t id = layer->id;
  index = std::min(index, doc.layers.size());
  doc.layers.insert(doc.layers.begin() + ptrdiff_t(index), std::move(layer));
  SetActiveLayer(doc, id);
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// Pixel-level calls shared by several handles

Status CopyToClipboard(AppState& app, const DocState& doc, const LayerData& layer, bool merged) {
  Status s = app.CheckCancel();
  if (!s.ok()) return s;
  IntRect area = doc.Canvas();
  const MaskPlane* selection = doc.selection ? &*doc.selection : nullptr;
  if (selection && selection->outside == 0) area = Intersect(area, selection->box);
  if (!merged) area = Intersect(area, layer.pixels.empty() ? IntRect{} : layer.box);
  if (area.Empty()) return Status::Error("the selected area is empty");
  // A merged copy of a document whose only visible layer is laid on plainly
  // (normal, fully opaque, no mask or effect) is a copy of that layer.
  const LayerData* only = nullptr;
  if (merged) {
    int visible = 0;
    for (const auto& l : doc.layers)
      if (l->visible && !l->pixels.empty()) {
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
  } else if (merged) {
    Result<Image> rows =
        CropImage(only->pixels, IntRect{area.left - only->box.left, area.top - only->box.top,
                                        area.right - only->box.left, area.bottom - only->box.top});
    if (!rows.ok()) return rows.status();
    copied = std::move(rows.value());
  } else {
    Result<Image> rows =
        CropImage(layer.pixels, IntRect{area.left - layer.box.left, area.top - layer.box.top,
                                        area.right - layer.box.left, area.bottom - layer.box.top});
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

int FloorHalf(int v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

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

Status RunAction(AppState& app, DocState& doc, LayerData& layer, const EditorAction& action) {
  if (const auto* overlay = std::get_if<ColorOverlayAction>(&action)) {
    layer.overlay = overlay->overlay;
    layer.effectsScale = overlay->scalePercent;
    return Status::Ok();
  }
  if (const auto* hs = std::get_if<HueSaturationAction>(&action)) {
    Status s = app.CheckCancel();
    if (!s.ok()) return s;
    return AdjustLayer(layer, doc.selection ? &*doc.selection : nullptr, kAdjustRgb,
                       [&](Image& img, const IntRect& region) {
                         return AdjustHueSaturation(img, region, hs->hue, hs->saturation, hs->lightness);
                       });
  }
  if (const auto* mk = std::get_if<MakeMaskAction>(&action)) {
    if (layer.mask) return Status::Error("the layer already has a mask");
    LayerMaskData mask;
    switch (mk->source) {
      case MakeMaskAction::Using::kRevealAll:
        mask.plane = MaskPlane::Uniform(255);
        break;
      case MakeMaskAction::Using::kHideAll:
        mask.plane = MaskPlane::Uniform(0);
        break;
      case MakeMaskAction::Using::kRevealSelection:
      case MakeMaskAction::Using::kHideSelection:
        if (!doc.selection) return Status::Error("there is no selection to make a mask from");
        mask.plane = doc.selection->Clone();
        if (mask.plane.ByteSize() != doc.selection->ByteSize())
          return Status::Error("out of memory for a mask");
        if (mk->source == MakeMaskAction::Using::kHideSelection) mask.plane.Invert();
        break;
    }
    layer.mask = std::move(mask);
    return Status::Ok();
  }
  if (const auto* link = std::get_if<LinkMaskAction>(&action)) {
    if (!layer.mask) return Status::Error("the layer has no mask to link or unlink");
    layer.mask->linked = link->linked;
    return Status::Ok();
  }
  return Status::Error("unknown action");
}

// ---------------------------------------------------------------------------

class PreferencesImpl final : public automation::Preferences {
 public:
  explicit PreferencesImpl(std::shared_ptr<AppState> app) : FApp(std::move(app)) {}
  Result<int> RulerUnits() override {
    Lock lock(FApp->mutex);
    return FApp->rulerUnits;
  }
  Status SetRulerUnits(int units) override {
    if (units < kUnitPixels || units > kUnitPercent)
      return Status::Error("ruler units must lie in 1..7, not " + std::to_string(units));
    Lock lock(FApp->mutex);
    FApp->rulerUnits = units;
    return Status::Ok();
  }
  Result<int> TypeUnits() override {
    Lock lock(FApp->mutex);
    return FApp->typeUnits;
  }
  Status SetTypeUnits(int units) override {
    if (units != kTypeUnitPixels && units != kTypeUnitMm && units != kTypeUnitPoints)
      return Status::Error("type units must be 1, 2 or 5, not " + std::to_string(units));
    Lock lock(FApp->mutex);
    FApp->typeUnits = units;
    return Status::Ok();
  }

 private:
  std::shared_ptr<AppState> FApp;
};

class DocumentsImpl final : public automation::Documents {
 public:
  explicit DocumentsImpl(std::shared_ptr<AppState> app) : FApp(std::move(app)) {}
  Result<int> Count() override {
    Lock lock(FApp->mutex);
    return int(FApp->documents.size());
  }
  Result<DocumentRef> Item(int index) override {
    Lock lock(FApp->mutex);
    if (index < 1 || index > int(FApp->documents.size()))
      return Status::Error("no document " + std::to_string(index) + " (" +
                           std::to_string(FApp->documents.size()) + " open)");
    return MakeDocument(FApp, FApp->documents[size_t(index - 1)]);
  }

 private:
  std::shared_ptr<AppState> FApp;
};

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

const char* const kComponentNames[3] = {"Red", "Green", "Blue"};

class ChannelImpl final : public automation::Channel {
 public:
  ChannelImpl(std::shared_ptr<AppState> app, std::shared_ptr<DocState> doc, ChannelKey key)
      : FApp(std::move(app)), FDoc(std::move(doc)), FKey(key) {}
  Result<std::string> Name() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    if (FKey.component >= 0) return std::string(kComponentNames[FKey.component]);
    const ChannelData* c = FDoc->FindChannel(FKey.alphaId);
    if (!c) return Status::Error("the channel no longer exists");
    return c->name;
  }
  Result<bool> IsColorChannel() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return FKey.component >= 0;
  }
  AppState* App() const { return FApp.get(); }
  const std::shared_ptr<DocState>& Doc() const { return FDoc; }
  ChannelKey Key() const { return FKey; }

 private:
  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
  ChannelKey FKey;
};

class ChannelsImpl final : public automation::Channels {
 public:
  ChannelsImpl(std::shared_ptr<AppState> app, std::shared_ptr<DocState> doc)
      : FApp(std::move(app)), FDoc(std::move(doc)) {}
  Result<int> Count() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return 3 + int(FDoc->channels.size());
  }
  Result<ChannelRef> Item(int index) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    if (index >= 1 && index <= 3) return MakeChannel(FApp, FDoc, ChannelKey{index - 1, 0});
    if (index >= 4 && index < 4 + int(FDoc->channels.size()))
      return MakeChannel(FApp, FDoc, ChannelKey{-1, FDoc->channels[size_t(index - 4)]->id});
    return Status::Error("no channel " + std::to_string(index));
  }
  Result<ChannelRef> Item(std::string_view name) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    for (int c = 0; c < 3; ++c)
      if (name == kComponentNames[c]) return MakeChannel(FApp, FDoc, ChannelKey{c, 0});
    for (const auto& ch : FDoc->channels)
      if (ch->name == name) return MakeChannel(FApp, FDoc, ChannelKey{-1, ch->id});
    return Status::Error("no channel named \"" + std::string(name) + "\"");
  }

 private:
  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
};

class SelectionImpl final : public automation::Selection {
 public:
  SelectionImpl(std::shared_ptr<AppState> app, std::shared_ptr<DocState> doc)
      : FApp(std::move(app)), FDoc(std::move(doc)) {}
  Status SelectAll() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    FDoc->selection = MaskPlane::Uniform(255);  // everything: consumers clip to the canvas
    return Status::Ok();
  }
  Status Deselect() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    FDoc->selection.reset();
    return Status::Ok();
  }
  Status Load(const ChannelRef& channel, int combination, bool invert) override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    if (combination < kSelectionReplace || combination > kSelectionIntersect)
      return Status::Error("selection combination must lie in 1..4, not " + std::to_string(combination));
    Result<ChannelTarget> target = ChannelOf(*FApp, channel);
    if (!target.ok()) return target.status();
    if (target->doc != FDoc) return Status::Error("the channel belongs to another document");
    MaskPlane loaded;
    if (target->key.component >= 0) {
      Image flat;
      s = FlattenArea(*FDoc, FDoc->Canvas(), flat, FApp->Cancel());
      if (!s.ok()) return s;
      OverWhite(flat);
      Plane values;
      s = values.Create(flat.width(), flat.height());
      if (!s.ok()) return s;
      const int c = target->key.component;
      for (int y = 0; y < flat.height(); ++y)
        for (int x = 0; x < flat.width(); ++x) {
          const Rgba8 p = flat.At(x, y);
          values.At(x, y) = c == 0 ? p.r : c == 1 ? p.g : p.b;
        }
      Result<MaskPlane> plane = MaskPlane::FromPlane(values, 0, 0, 0);
      if (!plane.ok()) return plane.status();
      loaded = std::move(plane.value());
    } else {
      const ChannelData* data = FDoc->FindChannel(target->key.alphaId);
      if (!data) return Status::Error("the channel no longer exists");
      loaded = data->plane.Clone();
      if (loaded.ByteSize() != data->plane.ByteSize())
        return Status::Error("out of memory for the selection");
    }
    if (invert) loaded.Invert();
    if (combination == kSelectionReplace) {
      FDoc->selection = std::move(loaded);
      return Status::Ok();
    }
    const MaskCombine op = combination == kSelectionExtend     ? MaskCombine::kExtend
                           : combination == kSelectionDiminish ? MaskCombine::kDiminish
                                                               : MaskCombine::kIntersect;
    const MaskPlane nothing = MaskPlane::Uniform(0);
    Result<MaskPlane> combined = CombineMasks(FDoc->selection ? *FDoc->selection : nothing, loaded, op);
    if (!combined.ok()) return combined.status();
    FDoc->selection = std::move(combined.value());
    return Status::Ok();
  }

 private:
  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
};

// ---------------------------------------------------------------------------

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
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    Result<std::shared_ptr<DocState>> target = DocOf(*FApp, document);
    if (!target.ok()) return target.status();
    if ((*target)->closed) return ClosedError();
    if (placement != kPlaceAtBeginning && placement != kPlaceAtEnd)
      return Status::Error("a layer is duplicated into a document at its beginning (1) or end (5), not " +
                           std::to_string(placement));
    Result<std::unique_ptr<LayerData>> copy = (*l)->Clone();
    if (!copy.ok()) return copy.status();
    DocState& doc = **target;
    s = AdoptLayer(*FApp, doc, std::move(copy.value()),
                   placement == kPlaceAtBeginning ? 0 : doc.layers.size());
    if (!s.ok()) return s;
    return MakeLayer(FApp, *target, doc.activeLayer);
  }

  Result<ArtLayerRef> Duplicate(const ArtLayerRef& layer, int placement) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
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
    s = AdoptLayer(*FApp, doc, std::move(copy.value()), size_t(index + (placement == kPlaceAfter ? 1 : 0)));
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
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    LayerData& layer = **l;
    Result<PointF> centre = AnchorPoint(layer.TightBounds(), anchor);
    if (!centre.ok()) return centre.status();
    if (layer.TightBounds().Empty() || (horizontalPercent == 100 && verticalPercent == 100))
      return Status::Ok();
    const Affine2D m = ScalingAbout(horizontalPercent / 100, verticalPercent / 100, *centre);
    return TransformLayer(layer, m, Sampling::kBicubic, layer.mask && layer.mask->linked, FApp->Cancel());
  }

  Status Translate(double dx, double dy) override {
    if (!std::isfinite(dx) || !std::isfinite(dy) || std::fabs(dx) > 4.0 * kMaxImageSide ||
        std::fabs(dy) > 4.0 * kMaxImageSide)
      return Status::Error("translation distances must be finite and within the document's reach");
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
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
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    LayerData& layer = **l;
    Result<PointF> centre = AnchorPoint(layer.TightBounds(), anchor);
    if (!centre.ok()) return centre.status();
    if (layer.TightBounds().Empty() || std::fmod(degrees, 360.0) == 0) return Status::Ok();
    // Positive automation angles turn clockwise; the imaging rotation turns
    // counter-clockwise for positive angles.
    const Affine2D m = RotationAbout(-degrees, *centre);
    return TransformLayer(layer, m, Sampling::kBicubic, layer.mask && layer.mask->linked, FApp->Cancel());
  }

  Status AdjustLevels(int inputStart, int inputEnd, double gamma, int outputStart, int outputEnd) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    Result<unsigned> channels = ActiveColorChannels(*FDoc);
    if (!channels.ok()) return channels.status();
    LevelsParams p;
    p.inputBlack = inputStart;
    p.inputWhite = inputEnd;
    p.gamma = gamma;
    p.outputBlack = outputStart;
    p.outputWhite = outputEnd;
    const unsigned bits = *channels;
    return AdjustLayer(**l, Selection(), bits, [&](Image& img, const IntRect& region) {
      return tessaro::AdjustLevels(img, region, p, bits);
    });
  }

  Status AdjustBrightnessContrast(int brightness, int contrast) override {
    Lock lock(FApp->mutex);
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    Result<unsigned> channels = ActiveColorChannels(*FDoc);
    if (!channels.ok()) return channels.status();
    return AdjustLayer(**l, Selection(), *channels, [&](Image& img, const IntRect& region) {
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
    Result<LayerData*> l = Find();
    if (!l.ok()) return l.status();
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    return AdjustLayer(**l, Selection(), kAdjustRgb, [&](Image& img, const IntRect& region) {
      return tessaro::MixChannels(img, region, p);
    });
  }

 private:
  Result<LayerData*> Find() const {
    if (FDoc->closed) return ClosedError();
    LayerData* l = FDoc->FindLayer(FId);
    if (!l) return GoneLayerError();
    return l;
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

// ---------------------------------------------------------------------------

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

    // Everything is computed aside and committed only when all succeeded.
    struct NewLayer {
      PlacedImage pixels;
      std::optional<MaskPlane> mask;
    };
    std::vector<NewLayer> layers(doc.layers.size());
    for (size_t i = 0; i < doc.layers.size(); ++i) {
      const LayerData& l = *doc.layers[i];
      if (!l.pixels.empty()) {
        TransformOptions options;
        options.cancel = cancel.Flag();
        Result<PlacedImage> r =
            TransformImage(l.pixels, Affine2D::Translation(l.box.left, l.box.top).Then(m), sampling, options);
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
      l.pixels = std::move(layers[i].pixels.image);
      l.box = l.pixels.empty() ? IntRect{} : layers[i].pixels.bounds;
      if (layers[i].mask) l.mask->plane = std::move(*layers[i].mask);
      l.Changed();
      CompactLayer(l);
    }
    for (size_t i = 0; i < channels.size(); ++i) doc.channels[i]->plane = std::move(channels[i]);
    doc.selection = std::move(selection);
    doc.width = w;
    doc.height = h;
    doc.resolution = resolution;
    return Status::Ok();
  }

  Result<std::shared_ptr<automation::ArtLayers>> ArtLayers() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return std::shared_ptr<automation::ArtLayers>(std::make_shared<ArtLayersImpl>(FApp, FDoc));
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
    return std::shared_ptr<automation::Channels>(std::make_shared<ChannelsImpl>(FApp, FDoc));
  }

  Result<std::shared_ptr<automation::Selection>> Selection() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    return std::shared_ptr<automation::Selection>(std::make_shared<SelectionImpl>(FApp, FDoc));
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
    Image merged;
    s = FlattenArea(doc, doc.Canvas(), merged, FApp->Cancel());
    if (!s.ok()) return s;
    auto layer = std::make_unique<LayerData>();
    layer->name = doc.layers[size_t(lowest)]->name;
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
    if (docs.empty()) ReleaseFreeMemory();
    return Status::Ok();
  }

 private:
  std::shared_ptr<AppState> FApp;
  std::shared_ptr<DocState> FDoc;
};

// ---------------------------------------------------------------------------

class AppImpl final : public automation::Application {
 public:
  explicit AppImpl(const EditorOptions& options) : FApp(std::make_shared<AppState>()) {
    FApp->options = options;
  }

  const std::shared_ptr<AppState>& State() const { return FApp; }

  Result<std::string> Version() override { return std::string(kEditorVersion); }
  Result<std::string> Name() override { return std::string(kEditorName); }

  Result<std::shared_ptr<automation::Documents>> Documents() override {
    return std::shared_ptr<automation::Documents>(std::make_shared<DocumentsImpl>(FApp));
  }

  Result<DocumentRef> Load(const std::string& path) override {
    Lock lock(FApp->mutex);
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    std::optional<Result<DocContent>> content = TakePrefetched(path);
    if (!content) {
      content = ReadDocumentFile(path);
      FApp->filesRead.fetch_add(1);
    }
    if (!content->ok()) return content->status();
    s = FApp->CheckCancel();
    if (!s.ok()) return s;
    DocContent& c = content->value();
    auto doc = std::make_shared<DocState>();
    doc->id = FApp->NewId();
    doc->path = path;
    doc->name = FileNameOf(path);
    doc->width = c.width;
    doc->height = c.height;
    doc->resolution = c.resolution;
    doc->iccProfile = std::move(c.iccProfile);
    doc->layers = std::move(c.layers);
    doc->channels = std::move(c.channels);
    for (auto& l : doc->layers) l->id = FApp->NewId();
    for (auto& ch : doc->channels) ch->id = FApp->NewId();
    doc->activeLayer = doc->layers.empty() ? 0 : doc->layers.front()->id;
    FApp->documents.push_back(doc);
    FApp->active = doc;
    return MakeDocument(FApp, doc);
  }

  Result<DocumentRef> ActiveDocument() override {
    Lock lock(FApp->mutex);
    if (!FApp->active) return Status::Error("no document is open");
    return MakeDocument(FApp, FApp->active);
  }

  Status SetActiveDocument(const DocumentRef& document) override {
    Lock lock(FApp->mutex);
    Result<std::shared_ptr<DocState>> doc = DocOf(*FApp, document);
    if (!doc.ok()) return doc.status();
    if ((*doc)->closed) return ClosedError();
    FApp->active = *doc;
    return Status::Ok();
  }

  Result<std::shared_ptr<automation::Preferences>> Preferences() override {
    return std::shared_ptr<automation::Preferences>(std::make_shared<PreferencesImpl>(FApp));
  }

  Result<int> DisplayDialogs() override {
    Lock lock(FApp->mutex);
    return FApp->displayDialogs;
  }
  Status SetDisplayDialogs(int mode) override {
    if (mode < kDialogsAll || mode > kDialogsNo)
      return Status::Error("dialog mode must lie in 1..3, not " + std::to_string(mode));
    Lock lock(FApp->mutex);
    FApp->displayDialogs = mode;
    return Status::Ok();
  }

  Result<TypeId> CharIDToTypeID(std::string_view code) override { return CharIdToTypeId(code); }

  Status ExecuteAction(TypeId event, const ActionDescriptor& descriptor, int dialogMode) override {
    if (dialogMode < kDialogsAll || dialogMode > kDialogsNo)
      return Status::Error("dialog mode must lie in 1..3, not " + std::to_string(dialogMode));
    Result<EditorAction> action = ParseAction(event, descriptor);
    if (!action.ok()) return action.status();
    Lock lock(FApp->mutex);
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    if (!FApp->active) return Status::Error("no document is open");
    DocState& doc = *FApp->active;
    LayerData* layer = doc.FindLayer(doc.activeLayer);
    if (!layer) return Status::Error("the document has no active layer");
    return RunAction(*FApp, doc, *layer, *action);
  }

  Result<AutomationObject> CreateObject(std::string_view classId) override {
    return CreateAutomationObject(classId);
  }

  void Prefetch(const std::string& path) override {
    Lock lock(FApp->mutex);
    FApp->ReapWorkers();
    const std::string key = CanonicalPath(path);
    for (const PrefetchEntry& e : FApp->prefetches)
      if (e.key == key) return;
    std::optional<FileStamp> stamp = StampOf(key);
    if (!stamp) return;  // Load will report the problem
    std::promise<Result<DocContent>> promise;
    PrefetchEntry entry{key, *stamp, promise.get_future()};
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::atomic<int64_t>* counter = &FApp->filesRead;
    std::thread thread([key, promise = std::move(promise), done, counter]() mutable {
      Result<DocContent> content = ReadDocumentFile(key);
      counter->fetch_add(1);
      promise.set_value(std::move(content));
      done->store(true);
    });
    FApp->workers.push_back(PrefetchWorker{std::move(thread), std::move(done)});
    FApp->prefetches.push_back(std::move(entry));
    while (int(FApp->prefetches.size()) > std::max(0, FApp->options.prefetchLimit))
      FApp->prefetches.pop_front();
  }

  void RequestCancel() override { FApp->cancel.store(true); }
  void ClearCancel() override { FApp->cancel.store(false); }

 private:
  // The prefetched content of `path`, waiting for a read in progress; nothing
  // when there is none or the file changed since.
  std::optional<Result<DocContent>> TakePrefetched(const std::string& path) {
    const std::string key = CanonicalPath(path);
    auto it = std::find_if(FApp->prefetches.begin(), FApp->prefetches.end(),
                           [&](const PrefetchEntry& e) { return e.key == key; });
    if (it == FApp->prefetches.end()) return std::nullopt;
    PrefetchEntry entry = std::move(*it);
    FApp->prefetches.erase(it);
    if (StampOf(key) != std::optional<FileStamp>(entry.stamp)) return std::nullopt;
    while (entry.result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
      if (FApp->cancel.load()) return Result<DocContent>(Status::Error("cancelled"));
    Result<DocContent> r = entry.result.get();
    if (!r.ok()) return std::nullopt;  // read again and report the error of that read
    FApp->prefetchHits.fetch_add(1);
    return r;
  }

  std::shared_ptr<AppState> FApp;
};

// ---------------------------------------------------------------------------

DocumentRef MakeDocument(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc) {
  return std::make_shared<DocumentImpl>(app, doc);
}
ArtLayerRef MakeLayer(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                      uint64_t id) {
  return std::make_shared<LayerImpl>(app, doc, id);
}
ChannelRef MakeChannel(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                       ChannelKey key) {
  return std::make_shared<ChannelImpl>(app, doc, key);
}

Result<std::shared_ptr<DocState>> DocOf(const AppState& app, const DocumentRef& ref) {
  const auto* impl = dynamic_cast<const DocumentImpl*>(ref.get());
  if (!impl || impl->App() != &app) return Status::Error("the document belongs to another application");
  return impl->Doc();
}

Result<LayerTarget> LayerOf(const AppState& app, const ArtLayerRef& ref) {
  const auto* impl = dynamic_cast<const LayerImpl*>(ref.get());
  if (!impl || impl->App() != &app) return Status::Error("the layer belongs to another application");
  if (impl->Doc()->closed) return ClosedError();
  return LayerTarget{impl->Doc(), impl->Id()};
}

Result<ChannelTarget> ChannelOf(const AppState& app, const ChannelRef& ref) {
  const auto* impl = dynamic_cast<const ChannelImpl*>(ref.get());
  if (!impl || impl->App() != &app) return Status::Error("the channel belongs to another application");
  if (impl->Doc()->closed) return ClosedError();
  if (impl->Key().component < 0 && !impl->Doc()->FindChannel(impl->Key().alphaId))
    return Status::Error("the channel no longer exists");
  return ChannelTarget{impl->Doc(), impl->Key()};
}

}  // namespace
}  // namespace editor

std::shared_ptr<automation::Application> CreateEditorApplication(const EditorOptions& options) {
  return std::make_shared<editor::AppImpl>(options);
}

EditorStatistics GetEditorStatistics(automation::Application& app) {
  EditorStatistics stats;
  auto* impl = dynamic_cast<editor::AppImpl*>(&app);
  if (!impl) return stats;
  editor::AppState& state = *impl->State();
  stats.filesRead = state.filesRead.load();
  stats.prefetchHits = state.prefetchHits.load();
  std::lock_guard<std::mutex> lock(state.mutex);
  int64_t bytes = int64_t(state.clipboard.ByteSize());
  for (const auto& doc : state.documents) {
    for (const auto& l : doc->layers) bytes += int64_t(l->ByteSize());
    for (const auto& c : doc->channels) bytes += int64_t(c->plane.ByteSize());
    if (doc->selection) bytes += int64_t(doc->selection->ByteSize());
  }
  stats.layerBytes = bytes;
  return stats;
}

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

}  // namespace

Result<PlacedImage> LayerPixels(automation::ArtLayer& layer) {
  auto* impl = dynamic_cast<editor::LayerImpl*>(&layer);
  if (!impl) return Status::Error("not a layer of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  editor::AppState* app = nullptr;
  Result<editor::LayerData*> l = InspectLayer(layer, app);
  if (!l.ok()) return l.status();
  PlacedImage out;
  out.bounds = (*l)->box;
  if (!(*l)->pixels.empty()) {
    out.image = (*l)->pixels.Clone();
    if (out.image.empty()) return Status::Error("out of memory");
  }
  return out;
}

Result<LayerMaskInfo> LayerMask(automation::ArtLayer& layer, const IntRect& area) {
  auto* impl = dynamic_cast<editor::LayerImpl*>(&layer);
  if (!impl) return Status::Error("not a layer of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  editor::AppState* app = nullptr;
  Result<editor::LayerData*> l = InspectLayer(layer, app);
  if (!l.ok()) return l.status();
  if (!(*l)->mask) return Status::Error("the layer has no mask");
  Result<Plane> values = (*l)->mask->plane.Materialize(area);
  if (!values.ok()) return values.status();
  return LayerMaskInfo{std::move(values.value()), (*l)->mask->linked, (*l)->mask->disabled};
}

Result<std::optional<PsdColorOverlay>> LayerColorOverlay(automation::ArtLayer& layer) {
  auto* impl = dynamic_cast<editor::LayerImpl*>(&layer);
  if (!impl) return Status::Error("not a layer of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  editor::AppState* app = nullptr;
  Result<editor::LayerData*> l = InspectLayer(layer, app);
  if (!l.ok()) return l.status();
  return (*l)->overlay;
}

Result<Plane> ChannelValues(automation::Channel& channel) {
  auto* impl = dynamic_cast<editor::ChannelImpl*>(&channel);
  if (!impl) return Status::Error("not a channel of the editor");
  std::lock_guard<std::mutex> lock(impl->App()->mutex);
  const editor::DocState& doc = *impl->Doc();
  if (doc.closed) return editor::ClosedError();
  if (impl->Key().component >= 0) return Status::Error("a colour channel has no values of its own");
  const editor::ChannelData* c = doc.FindChannel(impl->Key().alphaId);
  if (!c) return Status::Error("the channel no longer exists");
  return c->plane.Materialize(doc.Canvas());
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
