// The editor's selection of a document: select all, deselect, load a channel.
#include "editor/EditorImpl.h"
#include "editor/Raster.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

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

}  // namespace

std::shared_ptr<automation::Selection> MakeSelection(const std::shared_ptr<AppState>& app,
                                                     const std::shared_ptr<DocState>& doc) {
  return std::make_shared<SelectionImpl>(app, doc);
}

}  // namespace editor

}  // namespace tessaro
