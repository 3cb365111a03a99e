// The editor's application: loading (with prefetching), the active
// document, dialogs, actions and cancellation.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <variant>

#include "base/FileIo.h"
#include "base/Parallel.h"
#include "editor/Actions.h"
#include "editor/DocumentFiles.h"
#include "editor/EditorImpl.h"
#include "editor/Raster.h"
#include "imaging/ops/Adjust.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

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

// Runs a parsed action on the active layer of the active document. Every
// alternative of EditorAction has its own overload here, so an action kind
// that is not handled does not compile.
struct ActionRunner {
  AppState& app;
  DocState& doc;
  LayerData& layer;

  Status operator()(const ColorOverlayAction& overlay) const {
    layer.overlay = overlay.overlay;
    layer.effectsScale = overlay.scalePercent;
    return Status::Ok();
  }
  Status operator()(const HueSaturationAction& hs) const {
    Status s = app.CheckCancel();
    if (!s.ok()) return s;
    return AdjustLayer(layer, doc.selection ? &*doc.selection : nullptr, kAdjustRgb,
                       [&](Image& img, const IntRect& region) {
                         return AdjustHueSaturation(img, region, hs.hue, hs.saturation, hs.lightness);
                       });
  }
  Status operator()(const MakeMaskAction& mk) const {
    if (layer.mask) return Status::Error("the layer already has a mask");
    LayerMaskData mask;
    switch (mk.source) {
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
        if (mk.source == MakeMaskAction::Using::kHideSelection) mask.plane.Invert();
        break;
    }
    layer.mask = std::move(mask);
    return Status::Ok();
  }
  Status operator()(const LinkMaskAction& link) const {
    if (!layer.mask) return Status::Error("the layer has no mask to link or unlink");
    layer.mask->linked = link.linked;
    return Status::Ok();
  }
};

Status RunAction(AppState& app, DocState& doc, LayerData& layer, const EditorAction& action) {
  return std::visit(ActionRunner{app, doc, layer}, action);
}

// ---------------------------------------------------------------------------

class AppImpl final : public automation::Application {
 public:
  explicit AppImpl(const EditorOptions& options) : FApp(std::make_shared<AppState>()) {
    FApp->options = options;
  }

  const std::shared_ptr<AppState>& State() const { return FApp; }

  Result<std::string> Version() override { return std::string(kEditorVersion); }
  Result<std::string> Name() override { return std::string(kEditorName); }

  Result<std::shared_ptr<automation::Documents>> Documents() override { return MakeDocuments(FApp); }

  Result<DocumentRef> Load(const std::string& path) override {
    Result<ScaledDocument> loaded = LoadScaled(path, DecodeHint{});
    if (!loaded.ok()) return loaded.status();
    return std::move(loaded->Document);
  }

  Result<ScaledDocument> LoadScaled(const std::string& path, const DecodeHint& asked) override {
    Lock lock(FApp->mutex);
    Status s = FApp->CheckCancel();
    if (!s.ok()) return s;
    const DecodeHint hint = Hint(asked);
    std::optional<Result<DocContent>> content = TakePrefetched(path, hint);
    if (!content) {
      content = ReadDocumentFile(path, hint);
      FApp->filesRead.fetch_add(1);
    }
    if (!content->ok()) return content->status();
    s = FApp->CheckCancel();
    if (!s.ok()) return s;
    DocContent& c = content->value();
    const bool reduced = c.fullWidth > 0 && c.fullHeight > 0;
    if (reduced) FApp->reducedLoads.fetch_add(1);
    ScaledDocument loaded;
    loaded.FullWidth = reduced ? c.fullWidth : c.width;
    loaded.FullHeight = reduced ? c.fullHeight : c.height;
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
    Result<DocumentRef> ref = MakeDocument(FApp, doc);
    if (!ref.ok()) return ref.status();
    loaded.Document = std::move(ref.value());
    return loaded;
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

  Result<std::shared_ptr<automation::Preferences>> Preferences() override { return MakePreferences(FApp); }

  Result<int> DisplayDialogs() override { return ReadSetting(*FApp, &AppState::displayDialogs); }
  Status SetDisplayDialogs(int mode) override {
    if (mode < kDialogsAll || mode > kDialogsNo)
      return Status::Error("dialog mode must lie in 1..3, not " + std::to_string(mode));
    return WriteSetting(*FApp, &AppState::displayDialogs, mode);
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

  void Prefetch(const std::string& path) override { PrefetchScaled(path, DecodeHint{}); }

  void PrefetchScaled(const std::string& path, const DecodeHint& asked) override {
    // A caller held to one thread reads the file when it loads it.
    if (ParallelThreads() < 2) return;
    Lock lock(FApp->mutex);
    FApp->ReapWorkers();
    const DecodeHint hint = Hint(asked);
    const std::string key = CanonicalPath(path);
    for (const PrefetchEntry& e : FApp->prefetches)
      if (e.key == key && e.hint == hint) return;
    std::optional<FileStamp> stamp = StampOf(key);
    if (!stamp) return;  // Load will report the problem
    std::promise<Result<DocContent>> promise;
    PrefetchEntry entry{key, *stamp, hint, promise.get_future()};
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::atomic<int64_t>* counter = &FApp->filesRead;
    std::thread thread([key, hint, promise = std::move(promise), done, counter]() mutable {
      Result<DocContent> content = ReadDocumentFile(key, hint);
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
  // The hint as the reads use it: no size below 0, the part within the
  // picture (an empty part is all of it), and the whole picture at full size
  // when reduced decoding is turned off.
  DecodeHint Hint(const DecodeHint& asked) const {
    if (!FApp->options.reducedDecoding) return DecodeHint{};
    constexpr int32_t kUnit = DecodeHint::kCropUnit;
    DecodeHint hint;
    hint.MinWidth = std::max(0, asked.MinWidth);
    hint.MinHeight = std::max(0, asked.MinHeight);
    const int32_t left = std::clamp(asked.CropLeft, 0, kUnit), right = std::clamp(asked.CropRight, 0, kUnit);
    const int32_t top = std::clamp(asked.CropTop, 0, kUnit), bottom = std::clamp(asked.CropBottom, 0, kUnit);
    if (left < right && top < bottom && (left > 0 || top > 0 || right < kUnit || bottom < kUnit)) {
      hint.CropLeft = left, hint.CropTop = top, hint.CropRight = right, hint.CropBottom = bottom;
      hint.CropMargin = std::clamp(asked.CropMargin, 0, kMaxImageSide);
    }
    return hint;
  }

  // The prefetched content of `path` read with the same hint, waiting for a
  // read in progress; nothing when there is none or the file changed since.
  std::optional<Result<DocContent>> TakePrefetched(const std::string& path, const DecodeHint& hint) {
    const std::string key = CanonicalPath(path);
    auto it = std::find_if(FApp->prefetches.begin(), FApp->prefetches.end(),
                           [&](const PrefetchEntry& e) { return e.key == key && e.hint == hint; });
    if (it == FApp->prefetches.end()) return std::nullopt;
    PrefetchEntry entry = std::move(*it);
    FApp->prefetches.erase(it);
    if (StampOf(key) != std::optional<FileStamp>(entry.stamp)) return std::nullopt;
    while (entry.result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
      if (FApp->cancel.load()) return Result<DocContent>(Status::Cancelled());
    Result<DocContent> r = entry.result.get();
    if (!r.ok()) return std::nullopt;  // read again and report the error of that read
    FApp->prefetchHits.fetch_add(1);
    return r;
  }

  std::shared_ptr<AppState> FApp;
};

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
  stats.reducedLoads = state.reducedLoads.load();
  stats.memoryReleases = state.memoryReleases.load();
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

}  // namespace tessaro
