// Thumbnail decoding for the thumbnail lists. Each file is decoded once, at
// the size its box needs (JPEG DCT scaling or the EXIF thumbnail when they are
// big enough), fitted into the box by FitInBox and scaled without smoothing
// (rows are dropped, not blended). Transparent pixels are flattened over
// white, as a 24-bit bitmap shows them.
//
// Threads: DecodeThumbnail is reentrant and runs on any thread. A
// TThumbnailCache is used from one thread (the GUI thread); its decodes run on
// its own pool and it waits for them when destroyed.
#pragma once

#include <QImage>
#include <QSize>
#include <QThreadPool>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {

// Size of a w x h picture fitted into a box (FitInBox: shrink keeping the
// aspect ratio, never enlarge). Empty for a degenerate picture or box.
QSize FitThumbnail(QSize picture, QSize box);

// The picture of `file` fitted into `box`, as a 24-bit (RGB32) image; a null
// image when the file is missing or cannot be read, or the box is empty.
QImage DecodeThumbnail(const std::string& file, QSize box);

// Decodes batches of thumbnails in the background, in parallel, and hands
// them out in the order the caller asks for them.
class TThumbnailCache {
 public:
  using TDecoder = std::function<QImage(const std::string& file, QSize box)>;
  // `threads` <= 0: one per core. `decode` (tests) replaces DecodeThumbnail
  // for queued decodes.
  explicit TThumbnailCache(int threads = 0, TDecoder decode = {});
  ~TThumbnailCache();
  TThumbnailCache(const TThumbnailCache&) = delete;
  TThumbnailCache& operator=(const TThumbnailCache&) = delete;

  // Starts decoding every file for `box`; files already queued for that box
  // are not queued twice.
  void Prefetch(const std::vector<std::string>& files, QSize box);
  // The thumbnail of `file` for `box`: waits for a queued decode or, when
  // there is none, decodes on the calling thread. The cache forgets it.
  // While a queued decode is waited for, `whileWaiting` (when given) runs
  // every few milliseconds on the calling thread (the GUI thread keeps
  // painting).
  QImage Take(const std::string& file, QSize box, const std::function<void()>& whileWaiting = {});
  // Number of decodes queued and not yet taken.
  size_t Pending() const;
  // Forgets every queued decode (running ones finish and are dropped).
  void Drop();

 private:
  using TKey = std::pair<std::string, std::pair<int, int>>;
  QThreadPool FPool;
  TDecoder FDecode;
  mutable std::mutex FMutex;
  std::map<TKey, std::shared_future<QImage>> FQueued;
};

}  // namespace tessaro
