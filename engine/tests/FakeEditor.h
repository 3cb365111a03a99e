// A recording fake of the automation interface for the engine's tests. It
// keeps just enough state to answer the procedure's queries (document sizes,
// layer bounds and names, channels) and logs every call that changes
// something as one line, e.g. "Translate 12.5 -3" or "ExecuteAction Mk  ".
// Bounds follow Paste (centred on the canvas), Resize (about the centre),
// Translate (exact, unrounded), ResizeImage (scaled with the canvas),
// MergeVisibleLayers, Duplicate and Move.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "editor/Automation.h"
#include "engine/Try.h"

namespace tessaro::enginetest {

namespace au = automation;

struct FakeLayerState {
  std::string name;
  bool visible = true;
  au::LayerBounds bounds;
  double opacity = 100;
  int blend = au::kBlendNormal;
};

// What Load gives for a path.
struct FakeFileSpec {
  double width = 100, height = 100, resolution = 72;
  std::vector<FakeLayerState> layers;  // top first; default: one canvas-sized layer
  std::vector<std::string> channels;   // alpha channel names
};

struct FakeState;

struct FakeDocState {
  std::string path;
  double width = 0, height = 0, resolution = 72;
  std::vector<std::shared_ptr<FakeLayerState>> layers;  // top first
  std::shared_ptr<FakeLayerState> active;
  std::vector<std::string> channels;
  bool closed = false;
};

struct FakeState {
  std::vector<std::string> log;
  std::map<std::string, FakeFileSpec> files;
  FakeFileSpec fallback;  // for existing files not in `files` (the working file)
  std::vector<std::shared_ptr<FakeDocState>> docs;
  std::shared_ptr<FakeDocState> activeDoc;
  double clipW = 0, clipH = 0;
  int ruler = au::kUnitInches, type = au::kTypeUnitPoints;
  int pasteCount = 0;
  std::vector<std::pair<au::TypeId, au::ActionDescriptor>> actions;
  std::vector<std::pair<std::string, au::SaveOptions>> saves;
  std::string failOn;       // a call name that fails (e.g. "MixChannels")
  std::string throwOn;      // a call name that throws std::bad_alloc ...
  int throwAfter = 0;       // ... once this many calls of it have passed
  bool writeSaves = false;  // SaveAs writes a small file at the path

  void Log(const std::string& line) { log.push_back(line); }
  Status Maybe(const std::string& call) {
    if (call == throwOn && throwAfter-- <= 0) {
      throwOn.clear();
      throw std::bad_alloc();
    }
    return call == failOn ? Status::Error(call + " failed on purpose") : Status::Ok();
  }
};

inline std::string Num(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

class FakeLayer;
class FakeDocument;

inline Status Closed() { return Status::Error("closed"); }

// What every object of one fake document holds: the recording and the
// document's state.
struct FakeDocPart {
  FakeDocPart(std::shared_ptr<FakeState> s, std::shared_ptr<FakeDocState> d)
      : S(std::move(s)), D(std::move(d)) {}
  std::shared_ptr<FakeState> S;
  std::shared_ptr<FakeDocState> D;
};

class FakeLayer final : public au::ArtLayer, public FakeDocPart {
 public:
  FakeLayer(std::shared_ptr<FakeState> s, std::shared_ptr<FakeDocState> d, std::shared_ptr<FakeLayerState> l)
      : FakeDocPart(std::move(s), std::move(d)), L(std::move(l)) {}
  std::shared_ptr<FakeLayerState> L;

  Result<au::LayerBounds> Bounds() override { return L->bounds; }
  Result<std::string> Name() override { return L->name; }
  Status SetName(const std::string& n) override {
    L->name = n;
    return Status::Ok();
  }
  Result<bool> Visible() override { return L->visible; }
  Status SetVisible(bool v) override {
    L->visible = v;
    return Status::Ok();
  }
  Result<double> Opacity() override { return L->opacity; }
  Status SetOpacity(double p) override {
    S->Log("SetOpacity " + Num(p));
    L->opacity = p;
    return S->Maybe("SetOpacity");
  }
  Result<int> BlendMode() override { return L->blend; }
  Status SetBlendMode(int m) override {
    S->Log("SetBlendMode " + std::to_string(m));
    L->blend = m;
    return Status::Ok();
  }
  Status Copy(bool merged) override {
    S->Log(std::string("Copy ") + (merged ? "merged" : "plain"));
    Status st = S->Maybe(merged ? "CopyMerged" : "Copy");
    if (!st.ok()) return st;
    const au::LayerBounds& b = L->bounds;
    S->clipW = std::min(b.right, D->width) - std::max(b.left, 0.0);
    S->clipH = std::min(b.bottom, D->height) - std::max(b.top, 0.0);
    return Status::Ok();
  }
  Result<au::ArtLayerRef> Duplicate(const au::DocumentRef& document, int placement) override;
  Result<au::ArtLayerRef> Duplicate(const au::ArtLayerRef&, int) override { return Status::Error("unused"); }
  Status Move(const au::ArtLayerRef& other, int placement) override {
    auto* o = dynamic_cast<FakeLayer*>(other.get());
    S->Log("Move " + L->name + " before " + o->L->name + " " + std::to_string(placement));
    auto& v = D->layers;
    v.erase(std::find(v.begin(), v.end(), L));
    v.insert(std::find(v.begin(), v.end(), o->L), L);
    return Status::Ok();
  }
  Status Resize(double h, double v, int anchor) override {
    S->Log("Resize " + Num(h) + " " + Num(v) + " " + std::to_string(anchor));
    au::LayerBounds& b = L->bounds;
    const double cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    const double w = (b.right - b.left) * std::fabs(h) / 100, hh = (b.bottom - b.top) * std::fabs(v) / 100;
    b = {cx - w / 2, cy - hh / 2, cx + w / 2, cy + hh / 2};
    return Status::Ok();
  }
  Status Translate(double dx, double dy) override {
    S->Log("Translate " + Num(dx) + " " + Num(dy));
    au::LayerBounds& b = L->bounds;
    b = {b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
    return Status::Ok();
  }
  Status Rotate(double degrees, int anchor) override {
    S->Log("Rotate " + Num(degrees) + " " + std::to_string(anchor));
    return Status::Ok();
  }
  Status AdjustLevels(int a, int b, double g, int c, int d) override {
    S->Log("AdjustLevels " + std::to_string(a) + " " + std::to_string(b) + " " + Num(g) + " " +
           std::to_string(c) + " " + std::to_string(d));
    return S->Maybe("AdjustLevels");
  }
  Status AdjustBrightnessContrast(int b, int c) override {
    S->Log("AdjustBrightnessContrast " + std::to_string(b) + " " + std::to_string(c));
    return S->Maybe("AdjustBrightnessContrast");
  }
  Status MixChannels(const std::vector<std::vector<double>>& rows, bool mono) override {
    std::string line = "MixChannels";
    for (const auto& r : rows)
      for (double v : r) line += " " + Num(v);
    S->Log(line + (mono ? " mono" : " colour"));
    return S->Maybe("MixChannels");
  }
};

class FakeChannel final : public au::Channel {
 public:
  explicit FakeChannel(std::string n) : N(std::move(n)) {}
  std::string N;
  Result<std::string> Name() override { return N; }
  Result<bool> IsColorChannel() override { return N == "Red" || N == "Green" || N == "Blue"; }
};

class FakeChannels final : public au::Channels {
 public:
  explicit FakeChannels(std::shared_ptr<FakeDocState> d) : D(std::move(d)) {}
  std::shared_ptr<FakeDocState> D;
  std::vector<std::string> All() const {
    std::vector<std::string> v = {"Red", "Green", "Blue"};
    v.insert(v.end(), D->channels.begin(), D->channels.end());
    return v;
  }
  Result<int> Count() override { return int(All().size()); }
  Result<au::ChannelRef> Item(int i) override {
    const auto v = All();
    if (i < 1 || i > int(v.size())) return Status::Error("no channel " + std::to_string(i));
    return au::ChannelRef(std::make_shared<FakeChannel>(v[i - 1]));
  }
  Result<au::ChannelRef> Item(std::string_view name) override {
    for (const std::string& n : All())
      if (n == name) return au::ChannelRef(std::make_shared<FakeChannel>(n));
    return Status::Error("no channel named " + std::string(name));
  }
};

class FakeSelection final : public au::Selection {
 public:
  explicit FakeSelection(std::shared_ptr<FakeState> s) : S(std::move(s)) {}
  std::shared_ptr<FakeState> S;
  Status SelectAll() override {
    S->Log("SelectAll");
    return Status::Ok();
  }
  Status Deselect() override {
    S->Log("Deselect");
    return Status::Ok();
  }
  Status Load(const au::ChannelRef& c, int combination, bool invert) override {
    S->Log("Selection.Load " + *c->Name() + " " + std::to_string(combination) + (invert ? " inverted" : ""));
    return Status::Ok();
  }
};

class FakeArtLayers final : public au::ArtLayers, public FakeDocPart {
 public:
  using FakeDocPart::FakeDocPart;
  Result<int> Count() override { return int(D->layers.size()); }
  Result<au::ArtLayerRef> Item(int i) override {
    if (i < 1 || i > int(D->layers.size())) return Status::Error("no layer " + std::to_string(i));
    return au::ArtLayerRef(std::make_shared<FakeLayer>(S, D, D->layers[i - 1]));
  }
};

class FakeDocument final : public au::Document, public FakeDocPart {
 public:
  using FakeDocPart::FakeDocPart;

  Result<std::string> Name() override { return FileNameOf(D->path); }
  Result<double> Width() override { return D->width; }
  Result<double> Height() override { return D->height; }
  Result<double> Resolution() override { return D->resolution; }
  Status ResizeImage(double w, double h, double r, int method) override {
    S->Log("ResizeImage " + FileNameOf(D->path) + " " + Num(w) + " " + Num(h) + " " + Num(r) + " " +
           std::to_string(method));
    const double fx = w / D->width, fy = h / D->height;
    for (auto& l : D->layers)
      l->bounds = {l->bounds.left * fx, l->bounds.top * fy, l->bounds.right * fx, l->bounds.bottom * fy};
    D->width = w, D->height = h, D->resolution = r;
    return Status::Ok();
  }
  Result<std::shared_ptr<au::ArtLayers>> ArtLayers() override {
    return std::shared_ptr<au::ArtLayers>(std::make_shared<FakeArtLayers>(S, D));
  }
  Result<au::ArtLayerRef> ActiveLayer() override {
    if (!D->active) return Status::Error("no layer");
    return au::ArtLayerRef(std::make_shared<FakeLayer>(S, D, D->active));
  }
  Status SetActiveLayer(const au::ArtLayerRef& layer) override {
    D->active = dynamic_cast<FakeLayer*>(layer.get())->L;
    return Status::Ok();
  }
  Result<std::vector<au::ChannelRef>> ActiveChannels() override { return std::vector<au::ChannelRef>{}; }
  Status SetActiveChannels(const std::vector<au::ChannelRef>& channels) override {
    std::string line = "SetActiveChannels";
    for (const auto& c : channels) line += " " + *c->Name();
    S->Log(line);
    return Status::Ok();
  }
  Result<std::shared_ptr<au::Channels>> Channels() override {
    return std::shared_ptr<au::Channels>(std::make_shared<FakeChannels>(D));
  }
  Result<std::shared_ptr<au::Selection>> Selection() override {
    return std::shared_ptr<au::Selection>(std::make_shared<FakeSelection>(S));
  }
  Result<au::ArtLayerRef> Paste(bool into) override {
    S->Log("Paste " + FileNameOf(D->path));
    if (Status st = S->Maybe("Paste"); !st.ok()) return st;
    if (into) return Status::Error("refused");
    auto l = std::make_shared<FakeLayerState>();
    l->name = "Layer " + std::to_string(++S->pasteCount);
    const double left = std::floor((D->width - S->clipW) / 2), top = std::floor((D->height - S->clipH) / 2);
    l->bounds = {left, top, left + S->clipW, top + S->clipH};
    auto& v = D->layers;
    auto at = D->active ? std::find(v.begin(), v.end(), D->active) : v.begin();
    v.insert(at, l);
    D->active = l;
    return au::ArtLayerRef(std::make_shared<FakeLayer>(S, D, l));
  }
  Result<au::ArtLayerRef> MergeVisibleLayers() override {
    S->Log("MergeVisibleLayers");
    au::LayerBounds u{1e9, 1e9, -1e9, -1e9};
    for (auto& l : D->layers)
      if (l->visible)
        u = {std::min(u.left, l->bounds.left), std::min(u.top, l->bounds.top),
             std::max(u.right, l->bounds.right), std::max(u.bottom, l->bounds.bottom)};
    auto merged = std::make_shared<FakeLayerState>();
    merged->name = "merged";
    merged->bounds = u;
    std::erase_if(D->layers, [](auto& l) { return l->visible; });
    D->layers.push_back(merged);
    D->active = merged;
    return au::ArtLayerRef(std::make_shared<FakeLayer>(S, D, merged));
  }
  Status SaveAs(const std::string& path, const au::SaveOptions& o, bool asCopy, int ext) override {
    const auto* jpeg = std::get_if<au::JPEGSaveOptions>(&o);
    S->Log("SaveAs " + path + (jpeg ? " jpeg " + std::to_string(jpeg->Quality) : " psd") +
           (asCopy ? " copy " : " ") + std::to_string(ext) + " " + Num(D->width) + "x" + Num(D->height));
    S->saves.push_back({path, o});
    TRY(S->Maybe("SaveAs"));
    return S->writeSaves ? WriteFileAtomic(path, std::string("saved")) : Status::Ok();
  }
  Status Close(int o) override {
    S->Log("Close " + FileNameOf(D->path) + " " + std::to_string(o));
    D->closed = true;
    std::erase(S->docs, D);
    if (S->activeDoc == D) S->activeDoc = S->docs.empty() ? nullptr : S->docs.back();
    return Status::Ok();
  }
};

inline Result<au::ArtLayerRef> FakeLayer::Duplicate(const au::DocumentRef& document, int placement) {
  auto* target = dynamic_cast<FakeDocument*>(document.get());
  S->Log("Duplicate " + L->name + " into " + FileNameOf(target->D->path) + " " + std::to_string(placement));
  auto copy = std::make_shared<FakeLayerState>(*L);
  target->D->layers.insert(target->D->layers.begin(), copy);
  target->D->active = copy;
  return au::ArtLayerRef(std::make_shared<FakeLayer>(S, target->D, copy));
}

class FakePreferences final : public au::Preferences {
 public:
  explicit FakePreferences(std::shared_ptr<FakeState> s) : S(std::move(s)) {}
  std::shared_ptr<FakeState> S;
  Result<int> RulerUnits() override { return S->ruler; }
  Status SetRulerUnits(int u) override {
    S->Log("SetRulerUnits " + std::to_string(u));
    S->ruler = u;
    return Status::Ok();
  }
  Result<int> TypeUnits() override { return S->type; }
  Status SetTypeUnits(int u) override {
    S->Log("SetTypeUnits " + std::to_string(u));
    S->type = u;
    return Status::Ok();
  }
};

class FakeDocuments final : public au::Documents {
 public:
  FakeDocuments(std::shared_ptr<FakeState> s) : S(std::move(s)) {}
  std::shared_ptr<FakeState> S;
  Result<int> Count() override { return int(S->docs.size()); }
  Result<au::DocumentRef> Item(int i) override {
    if (i < 1 || i > int(S->docs.size())) return Status::Error("no document");
    return au::DocumentRef(std::make_shared<FakeDocument>(S, S->docs[i - 1]));
  }
};

class FakeApplication final : public au::Application {
 public:
  std::shared_ptr<FakeState> S = std::make_shared<FakeState>();
  std::string version = std::string(au::kEditorVersion);

  Result<std::string> Version() override { return version; }
  Result<std::string> Name() override { return std::string("Fake"); }
  Result<std::shared_ptr<au::Documents>> Documents() override {
    return std::shared_ptr<au::Documents>(std::make_shared<FakeDocuments>(S));
  }
  Result<au::DocumentRef> Load(const std::string& path) override {
    S->Log("Load " + FileNameOf(path));
    auto it = S->files.find(path);
    FakeFileSpec spec;
    if (it != S->files.end()) {
      spec = it->second;
    } else if (FileExists(path)) {
      spec = S->fallback;
    } else {
      return Status::Error(path + ": no such file");
    }
    auto d = std::make_shared<FakeDocState>();
    d->path = path;
    d->width = spec.width, d->height = spec.height, d->resolution = spec.resolution;
    if (spec.layers.empty()) spec.layers.push_back({"Background", true, {0, 0, spec.width, spec.height}});
    for (const FakeLayerState& l : spec.layers) d->layers.push_back(std::make_shared<FakeLayerState>(l));
    d->active = d->layers.front();
    d->channels = spec.channels;
    S->docs.push_back(d);
    S->activeDoc = d;
    return au::DocumentRef(std::make_shared<FakeDocument>(S, d));
  }
  Result<au::DocumentRef> ActiveDocument() override {
    if (!S->activeDoc) return Status::Error("no document");
    return au::DocumentRef(std::make_shared<FakeDocument>(S, S->activeDoc));
  }
  Status SetActiveDocument(const au::DocumentRef& d) override {
    S->activeDoc = dynamic_cast<FakeDocument*>(d.get())->D;
    S->Log("SetActiveDocument " + FileNameOf(S->activeDoc->path));
    return Status::Ok();
  }
  Result<std::shared_ptr<au::Preferences>> Preferences() override {
    return std::shared_ptr<au::Preferences>(std::make_shared<FakePreferences>(S));
  }
  Result<int> DisplayDialogs() override { return 3; }
  Status SetDisplayDialogs(int) override { return Status::Ok(); }
  Result<au::TypeId> CharIDToTypeID(std::string_view code) override { return au::CharIdToTypeId(code); }
  Status ExecuteAction(au::TypeId event, const au::ActionDescriptor& d, int mode) override {
    S->Log("ExecuteAction " + au::TypeIdToCharId(event) + " " + std::to_string(mode));
    S->actions.push_back({event, d});
    return S->Maybe("ExecuteAction " + au::TypeIdToCharId(event));
  }
  Result<au::AutomationObject> CreateObject(std::string_view classId) override {
    return au::CreateAutomationObject(classId);
  }
  void Prefetch(const std::string&) override {}
  void RequestCancel() override { S->Log("RequestCancel"); }
  void ClearCancel() override {}
};

// The calls of a log whose line starts with one of the prefixes.
inline std::vector<std::string> Calls(const std::vector<std::string>& log,
                                      std::initializer_list<std::string> prefixes) {
  std::vector<std::string> out;
  for (const std::string& line : log)
    for (const std::string& p : prefixes)
      if (line.rfind(p, 0) == 0) {
        out.push_back(line);
        break;
      }
  return out;
}

}  // namespace tessaro::enginetest
