// The editor's implementation classes share this (not part of the automation
// interface): the state of an application and the calls that one handle
// class makes on the objects of another. Each object of the automation
// interface has its own implementation file (Application.cpp, Preferences.cpp,
// Documents.cpp, Document.cpp, ArtLayers.cpp, Channels.cpp, Selection.cpp);
// editor/Editor.cpp holds what they share.
//
// Locking: one mutex per application guards its documents, clipboard and
// preferences; every call of every handle takes it for its whole duration.
// The cancellation flag is an atomic read by long operations while they hold
// the mutex and written by RequestCancel without it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Status.h"
#include "editor/Automation.h"
#include "editor/Editor.h"
#include "editor/EditorState.h"

namespace tessaro::editor {

// ---------------------------------------------------------------------------
// Application state

struct FileStamp {
  int64_t size = -1;
  int64_t mtimeNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct PrefetchEntry {
  std::string key;  // canonical path
  FileStamp stamp;
  automation::DecodeHint hint;  // the hint the file is read with
  std::future<Result<DocContent>> result;
};

struct PrefetchWorker {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done;
};

// One application: its documents, clipboard, preferences and prefetches.
struct AppState {
  std::mutex mutex;
  std::atomic<bool> cancel{false};
  EditorOptions options;
  std::vector<std::shared_ptr<DocState>> documents;  // opening order
  std::shared_ptr<DocState> active;
  int rulerUnits = automation::kUnitPixels;
  int typeUnits = automation::kTypeUnitPoints;
  int displayDialogs = automation::kDialogsNo;
  Image clipboard;
  uint64_t nextId = 1;
  std::deque<PrefetchEntry> prefetches;
  std::vector<PrefetchWorker> workers;
  std::atomic<int64_t> filesRead{0};
  std::atomic<int64_t> prefetchHits{0};
  std::atomic<int64_t> reducedLoads{0};
  std::atomic<int64_t> memoryReleases{0};

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

// An application-wide setting (rulerUnits, displayDialogs, …) read or
// replaced under the application lock; the caller checks the new value.
inline int ReadSetting(AppState& app, int AppState::*setting) {
  Lock lock(app.mutex);
  return app.*setting;
}
inline Status WriteSetting(AppState& app, int AppState::*setting, int value) {
  Lock lock(app.mutex);
  app.*setting = value;
  return Status::Ok();
}

Status ClosedError();
Status GoneLayerError();

// ---------------------------------------------------------------------------
// Handles: each is made by the file of its class.

automation::DocumentRef MakeDocument(const std::shared_ptr<AppState>& app,
                                     const std::shared_ptr<DocState>& doc);
automation::ArtLayerRef MakeLayer(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                                  uint64_t id);
automation::ChannelRef MakeChannel(const std::shared_ptr<AppState>& app, const std::shared_ptr<DocState>& doc,
                                   ChannelKey key);
std::shared_ptr<automation::Preferences> MakePreferences(const std::shared_ptr<AppState>& app);
std::shared_ptr<automation::Documents> MakeDocuments(const std::shared_ptr<AppState>& app);
std::shared_ptr<automation::ArtLayers> MakeArtLayers(const std::shared_ptr<AppState>& app,
                                                     const std::shared_ptr<DocState>& doc);
std::shared_ptr<automation::Channels> MakeChannels(const std::shared_ptr<AppState>& app,
                                                   const std::shared_ptr<DocState>& doc);
std::shared_ptr<automation::Selection> MakeSelection(const std::shared_ptr<AppState>& app,
                                                     const std::shared_ptr<DocState>& doc);

// The state behind a handle of this application, or an error for a handle of
// another application or implementation.
Result<std::shared_ptr<DocState>> DocOf(const AppState& app, const automation::DocumentRef& ref);
struct LayerTarget {
  std::shared_ptr<DocState> doc;
  uint64_t id = 0;
};
Result<LayerTarget> LayerOf(const AppState& app, const automation::ArtLayerRef& ref);
struct ChannelTarget {
  std::shared_ptr<DocState> doc;
  ChannelKey key;
};
Result<ChannelTarget> ChannelOf(const AppState& app, const automation::ChannelRef& ref);

// Gives the heap's idle memory back to the system once there is much of it;
// called after work that frees large buffers (closing a document, resizing
// a document or a layer, merging).
void TrimFreeMemory();

// Waits until the application's reads ahead are done (or a cancel is
// requested), so that work about to take much memory does not add its peak
// to theirs. The caller holds the application lock (the reads do not take
// it).
void AwaitPrefetches(AppState& app);

// Makes `layerId` the document's active layer, with all three colour
// channels active.
void SetActiveLayer(DocState& doc, uint64_t layerId);
// Gives `layer` an id, inserts it at `index` (0 = top; clamped) and makes it
// the active layer.
Status AdoptLayer(AppState& app, DocState& doc, std::unique_ptr<LayerData> layer, size_t index);

}  // namespace tessaro::editor
