// What the editor's implementation files share: the blend-mode numbers, the
// allocator tuning, the errors of closed documents and gone layers, and the
// adoption of a new layer by a document. The objects of the automation
// interface each have their own file (see editor/EditorImpl.h).
#include "editor/Editor.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "editor/EditorImpl.h"

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
  // Buffers up to 256 MB (a page's layers and photos) come from the heap,
  // and freed memory is kept for reuse rather than returned after every
  // free. Larger ones (the layers of a large spread) are mapped and given
  // back as soon as they are freed: held in the heap, a freed spread layer
  // stayed resident beside the next one (a 48 x 32 in spread peaked at
  // 1.45 GB instead of 1.25 GB).
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // One heap for every thread. The heaps glibc gives other threads are
  // built of 64 MB pieces: a picture larger than a piece is mapped fresh and
  // unmapped again when freed, and a piece is unmapped as soon as it empties,
  // so pages were faulted in and zeroed again for every page of a batch, and
  // a picture freed in one heap could not serve another. With one heap a
  // batch of ten pages faults in a third as many pages and peaks about 30 %
  // lower. The threads allocate a few large buffers, so sharing the heap's
  // lock costs them nothing measurable.
  mallopt(M_ARENA_MAX, 1);
}

void ReleaseFreeMemory() { malloc_trim(0); }

namespace {
// Idle heap kept by TrimFreeMemory: 128 MB for each page composed at once.
constexpr size_t kIdlePerJob = size_t(128) << 20;
std::atomic<size_t> gIdleLimit{kIdlePerJob};
}  // namespace

void KeepIdleMemoryForJobs(int jobs) { gIdleLimit.store(kIdlePerJob * size_t(std::max(1, jobs))); }

namespace editor {

void TrimFreeMemory() {
  // The heap keeps what large buffers leave behind (see
  // TuneMemoryForLargeImages); past this much idle memory it is given back,
  // so that the memory of a large document follows what it holds. Small
  // documents never get there and keep their heap warm.
  if (mallinfo2().fordblks > gIdleLimit.load(std::memory_order_relaxed)) malloc_trim(0);
}

}  // namespace editor

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

Status ClosedError() { return Status::Error("the document has been closed"); }
Status GoneLayerError() { return Status::Error("the layer no longer exists"); }

void AwaitPrefetches(AppState& app) {
  for (PrefetchEntry& e : app.prefetches) {
    if (!e.result.valid()) continue;
    while (e.result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
      if (app.cancel.load()) return;
  }
}

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

}  // namespace editor
}  // namespace tessaro
