#include "controls/Thumbnails.h"

#include <chrono>
#include <filesystem>
#include <memory>

// The imaging and model includes of the controls live here only.
#include "imaging/codecs/Codecs.h"
#include "model/func.h"

namespace tessaro {
namespace {

// Nearest-neighbour copy of `src` (straight RGBA) into a w x h RGB32 image,
// flattened over white. Source rows and columns are picked, never blended.
QImage ScaleNearestOverWhite(const Image& src, int w, int h) {
  QImage out(w, h, QImage::Format_RGB32);
  if (out.isNull()) return out;
  std::vector<int> columns(w);
  for (int x = 0; x < w; ++x) columns[x] = int(int64_t(x) * src.width() / w);
  for (int y = 0; y < h; ++y) {
    const Rgba8* row = src.Row(int(int64_t(y) * src.height() / h));
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      Rgba8 p = row[columns[x]];
      // Over white: c * a + 255 * (255 - a), divided by 255 and rounded.
      auto over = [&](uint8_t c) { return (c * p.a + 255 * (255 - p.a) + 127) / 255; };
      dst[x] = qRgb(over(p.r), over(p.g), over(p.b));
    }
  }
  return out;
}

}  // namespace

QSize FitThumbnail(QSize picture, QSize box) {
  int32_t bw = box.width(), bh = box.height();
  FitInBox(picture.width(), picture.height(), bw, bh);
  return QSize(bw, bh);
}

QImage DecodeThumbnail(const std::string& file, QSize box) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(file, ec) || box.isEmpty()) return {};
  Result<ImageInfo> info = ProbeImageFile(file);
  if (!info.ok()) return {};
  QSize fitted = FitThumbnail(QSize(info.value().DisplayWidth(), info.value().DisplayHeight()), box);
  if (fitted.isEmpty()) return {};
  DecodeOptions options;
  options.minWidth = fitted.width();
  options.minHeight = fitted.height();
  options.allowExifThumbnail = true;
  Result<DecodedImage> decoded = DecodeImageFile(file, options);
  if (!decoded.ok() || decoded.value().pixels.empty()) return {};
  return ScaleNearestOverWhite(decoded.value().pixels, fitted.width(), fitted.height());
}

TThumbnailCache::TThumbnailCache(int threads, TDecoder decode)
    : FDecode(decode ? std::move(decode) : TDecoder(DecodeThumbnail)) {
  FPool.setMaxThreadCount(threads > 0 ? threads : QThread::idealThreadCount());
}

TThumbnailCache::~TThumbnailCache() {
  Drop();
  FPool.waitForDone();
}

void TThumbnailCache::Prefetch(const std::vector<std::string>& files, QSize box) {
  std::lock_guard lock(FMutex);
  for (const std::string& file : files) {
    TKey key{file, {box.width(), box.height()}};
    if (FQueued.count(key)) continue;
    auto promise = std::make_shared<std::promise<QImage>>();
    FQueued.emplace(key, promise->get_future().share());
    FPool.start([promise, file, box, decode = FDecode] { promise->set_value(decode(file, box)); });
  }
}

QImage TThumbnailCache::Take(const std::string& file, QSize box, const std::function<void()>& whileWaiting) {
  std::shared_future<QImage> queued;
  {
    std::lock_guard lock(FMutex);
    auto it = FQueued.find(TKey{file, {box.width(), box.height()}});
    if (it != FQueued.end()) {
      queued = it->second;
      FQueued.erase(it);
    }
  }
  if (queued.valid()) {
    if (whileWaiting) {
      while (queued.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) whileWaiting();
    }
    return queued.get();
  }
  return DecodeThumbnail(file, box);
}

size_t TThumbnailCache::Pending() const {
  std::lock_guard lock(FMutex);
  return FQueued.size();
}

void TThumbnailCache::Drop() {
  FPool.clear();  // queued tasks that have not started are discarded with their promises
  std::lock_guard lock(FMutex);
  FQueued.clear();
}

}  // namespace tessaro
