// The editor's channels: the three colour channels and the alpha channels of
// a document.
#include "editor/EditorImpl.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

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
  Result<LayerBounds> ContentBounds() override {
    Lock lock(FApp->mutex);
    if (FDoc->closed) return ClosedError();
    if (FKey.component >= 0) return Status::Error("a colour channel has no bounds of its own");
    const ChannelData* c = FDoc->FindChannel(FKey.alphaId);
    if (!c) return Status::Error("the channel no longer exists");
    const IntRect canvas = FDoc->Canvas();
    const IntRect b = c->plane.outside != 0 ? canvas : Intersect(c->plane.ContentBox(), canvas);
    if (b.Empty()) return LayerBounds{};
    return LayerBounds{double(b.left), double(b.top), double(b.right), double(b.bottom)};
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

}  // namespace

std::shared_ptr<automation::Channels> MakeChannels(const std::shared_ptr<AppState>& app,
                                                   const std::shared_ptr<DocState>& doc) {
  return std::make_shared<ChannelsImpl>(app, doc);
}

ChannelRef MakeChannel(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                       ChannelKey key) {
  return std::make_shared<ChannelImpl>(app, doc, key);
}

Result<ChannelTarget> ChannelOf(const AppState& app, const ChannelRef& ref) {
  const auto* impl = dynamic_cast<const ChannelImpl*>(ref.get());
  if (!impl || impl->App() != &app) return Status::Error("the channel belongs to another application");
  if (impl->Doc()->closed) return ClosedError();
  if (impl->Key().component < 0 && !impl->Doc()->FindChannel(impl->Key().alphaId))
    return Status::Error("the channel no longer exists");
  return ChannelTarget{impl->Doc(), impl->Key()};
}

}  // namespace editor

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

}  // namespace tessaro
