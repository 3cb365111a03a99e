// The entry points of the codecs, walking the format registry; byte
// sources, orientation and file writing.
#include "imaging/codecs/Codecs.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

#include "base/FileIo.h"
#include "base/Parallel.h"
#include "base/Text.h"
#include "imaging/codecs/Registry.h"

namespace tessaro {
namespace codecs {

bool SpanSource::Read(uint64_t offset, size_t n, uint8_t* out) {
  if (offset > FBytes.size() || n > FBytes.size() - offset) return false;
  if (n) std::memcpy(out, FBytes.data() + offset, n);
  return true;
}

FileSource::~FileSource() {
  if (FFd >= 0) ::close(FFd);
}

Status FileSource::Open(const std::string& path) {
  FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (FFd < 0) return Status::Error(std::strerror(errno));
  struct stat st {};
  if (::fstat(FFd, &st) != 0) return Status::Error(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Status::Error("not a regular file");
  FSize = uint64_t(st.st_size);
  return Status::Ok();
}

bool FileSource::Read(uint64_t offset, size_t n, uint8_t* out) {
  if (FFd < 0 || offset > FSize || n > FSize - offset) return false;
  while (n > 0) {
    uint64_t blockStart = offset / kBlock * kBlock;
    if (blockStart != FBlockStart) {
      size_t want = size_t(std::min<uint64_t>(kBlock, FSize - blockStart));
      FBlockData.resize(want);
      size_t got = 0;
      while (got < want) {
        ssize_t r = ::pread(FFd, FBlockData.data() + got, want - got, off_t(blockStart + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
          FBlockStart = UINT64_MAX;
          return false;
        }
        got += size_t(r);
      }
      FBytesRead += want;
      FBlockStart = blockStart;
    }
    size_t inBlock = size_t(offset - blockStart);
    size_t take = std::min(n, FBlockData.size() - inBlock);
    std::memcpy(out, FBlockData.data() + inBlock, take);
    out += take;
    offset += take;
    n -= take;
  }
  return true;
}

constexpr size_t kPrefetchMinimum = 16 << 20;  // smaller buffers fault in quickly enough
constexpr uintptr_t kPrefetchChunk = 2 << 20;

struct PagePrefetcher::State {
  std::atomic<bool> stop{false};
  std::thread thread;
};

PagePrefetcher::PagePrefetcher(void* data, size_t size) {
  if (!data || size < kPrefetchMinimum || ParallelThreads() < 2) return;
  const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
  const uintptr_t end = (uintptr_t(data) + size) & ~(page - 1);
  if (end <= begin) return;
  auto state = std::make_unique<State>();
  try {
    State* s = state.get();
    // Large pages for the buffer's aligned interior: fewer faults and TLB
    // misses while the rows are written (a hint; ignored where unsupported).
    const uintptr_t hugeBegin = (begin + kPrefetchChunk - 1) & ~(kPrefetchChunk - 1);
    const uintptr_t hugeEnd = end & ~(kPrefetchChunk - 1);
    if (hugeEnd > hugeBegin)
      ::madvise(reinterpret_cast<void*>(hugeBegin), hugeEnd - hugeBegin, MADV_HUGEPAGE);
    state->thread = std::thread([s, begin, end] {
      for (uintptr_t p = begin; p < end && !s->stop.load(std::memory_order_relaxed); p += kPrefetchChunk) {
        if (::madvise(reinterpret_cast<void*>(p), std::min<uintptr_t>(kPrefetchChunk, end - p),
                      MADV_POPULATE_WRITE) != 0)
          break;  // not supported here, or no memory: the decoder faults pages in itself
      }
    });
  } catch (...) {
    return;  // no thread: decode without help
  }
  FState = std::move(state);
}

PagePrefetcher::~PagePrefetcher() {
  if (!FState) return;
  FState->stop.store(true, std::memory_order_relaxed);
  FState->thread.join();
}

int64_t PixelCap(const DecodeOptions& options) { return DecodePixelLimit(options.maxPixels); }

bool DecodeCropRequested(const DecodeOptions& options) {
  return options.cropLeft > 0 || options.cropTop > 0 || options.cropRight < kDecodeCropUnit ||
         options.cropBottom < kDecodeCropUnit;
}

IntRect StoredRegion(const IntRect& upright, int orientation, int storedWidth, int storedHeight) {
  const int w = storedWidth, h = storedHeight;
  const IntRect& u = upright;
  // Where ApplyOrientation takes each upright pixel from, for a whole rectangle.
  switch (orientation) {
    case 2:
      return IntRect{w - u.right, u.top, w - u.left, u.bottom};
    case 3:
      return IntRect{w - u.right, h - u.bottom, w - u.left, h - u.top};
    case 4:
      return IntRect{u.left, h - u.bottom, u.right, h - u.top};
    case 5:
      return IntRect{u.top, u.left, u.bottom, u.right};
    case 6:
      return IntRect{u.top, h - u.right, u.bottom, h - u.left};
    case 7:
      return IntRect{w - u.bottom, h - u.right, w - u.top, h - u.left};
    case 8:
      return IntRect{w - u.bottom, u.left, w - u.top, u.right};
    default:
      return u;
  }
}

Status CheckDecodeSize(int64_t width, int64_t height, const DecodeOptions& options) {
  return CheckDecodePixels(width, height, PixelCap(options));
}

double TidyPpi(double ppi) {
  if (!(ppi > 0) || !std::isfinite(ppi)) return 0;
  double whole = std::round(ppi);
  return std::fabs(ppi - whole) < 0.05 ? whole : ppi;
}

void OpaqueIfAlphaAllZero(Image& image) {
  size_t n = image.PixelCount();
  Rgba8* p = image.data();
  for (size_t i = 0; i < n; ++i)
    if (p[i].a != 0) return;
  for (size_t i = 0; i < n; ++i) p[i].a = 255;
}

void Unpremultiply(Image& image) {
  size_t n = image.PixelCount();
  Rgba8* p = image.data();
  for (size_t i = 0; i < n; ++i) {
    unsigned a = p[i].a;
    if (a == 255) continue;
    if (a == 0) {
      p[i] = Rgba8{0, 0, 0, 0};
      continue;
    }
    auto un = [a](unsigned c) { return uint8_t(std::min(255u, (c * 255 + a / 2) / a)); };
    p[i] = Rgba8{un(p[i].r), un(p[i].g), un(p[i].b), uint8_t(a)};
  }
}

bool AnyTransparent(const Image& image) {
  size_t n = image.PixelCount();
  const Rgba8* p = image.data();
  for (size_t i = 0; i < n; ++i)
    if (p[i].a != 255) return true;
  return false;
}

namespace {

constexpr FormatEntry kFormats[] = {
#define TESSARO_IMAGE_FORMAT(id, name, extensions, sniff, probe, decode, encode, writeFile, thumbnail) \
  {ImageFormat::id, {name, extensions, sniff, probe, decode, encode, writeFile, thumbnail}},
#include "imaging/codecs/Formats.inc"
#undef TESSARO_IMAGE_FORMAT
};

}  // namespace

std::span<const FormatEntry> Formats() { return kFormats; }

const ImageCodec* FindCodec(ImageFormat format) {
  for (const FormatEntry& entry : kFormats)
    if (entry.id == format) return &entry.codec;
  return nullptr;
}

bool HasExtension(const ImageCodec& codec, std::string_view extension) {
  if (extension.empty()) return false;
  std::string_view list = codec.extensions;
  while (!list.empty()) {
    size_t space = list.find(' ');
    if (list.substr(0, space) == extension) return true;
    if (space == std::string_view::npos) break;
    list.remove_prefix(space + 1);
  }
  return false;
}

}  // namespace codecs

namespace {

using namespace codecs;

constexpr size_t kTailSize = 18;
constexpr uint64_t kTailMinimumFile = 44;

std::string LowerExtension(std::string_view hint) {
  if (hint.empty()) return {};
  std::string ext;
  if (hint.find('/') == std::string_view::npos && hint.rfind('.') == 0)
    ext = std::string(hint);
  else if (hint.find('.') == std::string_view::npos && hint.find('/') == std::string_view::npos)
    ext = "." + std::string(hint);
  else
    ext = ExtensionOf(hint);
  return AsciiLower(ext);
}

// The first row whose sniff test accepts the file.
const FormatEntry* Sniff(std::span<const uint8_t> head, std::span<const uint8_t> tail,
                         std::string_view hint) {
  const std::string ext = LowerExtension(hint);
  for (const FormatEntry& entry : kFormats) {
    SniffInput input{head, tail, HasExtension(entry.codec, ext)};
    if (entry.codec.sniff(input)) return &entry;
  }
  return nullptr;
}

const FormatEntry* SniffWhole(std::span<const uint8_t> bytes, std::string_view hint) {
  std::span<const uint8_t> tail;
  if (bytes.size() >= kTailMinimumFile) tail = bytes.last(kTailSize);
  return Sniff(bytes.first(std::min<size_t>(bytes.size(), 32)), tail, hint);
}

Status NotRecognised() { return Status::Error("not a recognised image format"); }

// Copies a block of source pixels into the turned destination; (sx, sy) is
// the source pixel for destination (x, y).
template <typename Map>
void Remap(const Image& src, Image& dst, Map map) {
  constexpr int kTile = 64;
  const int tilesY = (dst.height() + kTile - 1) / kTile;
  ParallelFor(tilesY, 1, [&](int64_t t0, int64_t t1) {
    for (int64_t ty = t0; ty < t1; ++ty) {
      int y0 = int(ty) * kTile, y1 = std::min(dst.height(), y0 + kTile);
      for (int x0 = 0; x0 < dst.width(); x0 += kTile) {
        int x1 = std::min(dst.width(), x0 + kTile);
        for (int y = y0; y < y1; ++y) {
          Rgba8* out = dst.Row(y);
          for (int x = x0; x < x1; ++x) {
            int sx, sy;
            map(x, y, sx, sy);
            out[x] = src.At(sx, sy);
          }
        }
      }
    }
  });
}

// Turns the pixels upright, keeps only the part asked for when the decoder
// returned the whole picture, and settles the resolution.
Status Finish(DecodedImage& out, const DecodeOptions& options) {
  if (options.applyOrientation && out.info.orientation != 1) {
    if (Status s = ApplyOrientation(out.pixels, out.info.orientation); !s.ok()) return s;
  }
  if (out.wholeWidth <= 0 || out.wholeHeight <= 0) {
    const int w = out.pixels.width(), h = out.pixels.height();
    out.wholeWidth = w;
    out.wholeHeight = h;
    out.region = IntRect{0, 0, w, h};
    // Cut here (a picture with transparency stays whole: see DecodeOptions).
    const IntRect part =
        DecodeCropRequested(options) && !out.info.hasAlpha ? DecodeCropRegion(options, w, h) : out.region;
    if (part != out.region) {
      Image kept;
      if (Status s = kept.CreateUninitialized(part.Width(), part.Height()); !s.ok()) return s;
      for (int y = 0; y < part.Height(); ++y)
        std::memcpy(kept.Row(y), out.pixels.Row(part.top + y) + part.left,
                    size_t(part.Width()) * sizeof(Rgba8));
      out.pixels = std::move(kept);
      out.region = part;
    }
  }
  out.ppi = out.info.xPpi > 0 ? out.info.xPpi : 72;
  return Status::Ok();
}

// The writable format for a path, by its extension; null when none.
const FormatEntry* OutputEntry(std::string_view path) {
  const std::string ext = AsciiLower(ExtensionOf(path));
  for (const FormatEntry& entry : kFormats)
    if (entry.codec.encode && HasExtension(entry.codec, ext)) return &entry;
  return nullptr;
}

}  // namespace

IntRect DecodeCropRegion(const DecodeOptions& options, int wholeWidth, int wholeHeight) {
  const IntRect whole{0, 0, std::max(0, wholeWidth), std::max(0, wholeHeight)};
  if (whole.Empty()) return whole;
  auto unit = [](int32_t v) { return std::clamp<int64_t>(v, 0, kDecodeCropUnit); };
  const int64_t l = unit(options.cropLeft), t = unit(options.cropTop);
  const int64_t r = unit(options.cropRight), b = unit(options.cropBottom);
  if (r <= l || b <= t) return whole;
  const int64_t margin = std::clamp<int64_t>(options.cropMargin, 0, kMaxImageSide);
  // Outward: floor for the near edges, ceiling for the far ones, so that a
  // part centred on the picture stays centred on whole pixels.
  auto down = [](int64_t f, int64_t size) { return f * size / kDecodeCropUnit; };
  auto up = [](int64_t f, int64_t size) { return (f * size + kDecodeCropUnit - 1) / kDecodeCropUnit; };
  const int64_t w = whole.right, h = whole.bottom;
  return IntRect{int(std::max<int64_t>(0, down(l, w) - margin)),
                 int(std::max<int64_t>(0, down(t, h) - margin)), int(std::min<int64_t>(w, up(r, w) + margin)),
                 int(std::min<int64_t>(h, up(b, h) + margin))};
}

const char* ImageFormatName(ImageFormat format) {
  const ImageCodec* codec = FindCodec(format);
  return codec ? codec->name : "unknown";
}

ImageFormat SniffFormat(std::span<const uint8_t> head, std::string_view extensionHint) {
  const FormatEntry* entry = Sniff(head, {}, extensionHint);
  return entry ? entry->id : ImageFormat::kUnknown;
}

Result<ImageInfo> ProbeImage(std::span<const uint8_t> bytes, std::string_view extensionHint) {
  const FormatEntry* entry = SniffWhole(bytes, extensionHint);
  if (!entry) return NotRecognised();
  SpanSource source(bytes);
  return entry->codec.probe(source);
}

Result<ImageInfo> ProbeImageFile(const std::string& path) {
  FileSource source;
  if (Status s = source.Open(path); !s.ok()) return Status::Error(s.message());
  uint8_t head[32] = {};
  size_t headSize = size_t(std::min<uint64_t>(sizeof head, source.Size()));
  if (!source.Read(0, headSize, head)) return Status::Error("cannot read the file");
  uint8_t tail[kTailSize];
  size_t tailSize = 0;
  if (source.Size() >= kTailMinimumFile && source.Read(source.Size() - kTailSize, kTailSize, tail))
    tailSize = kTailSize;
  const FormatEntry* entry = Sniff(std::span<const uint8_t>(head, headSize), {tail, tailSize}, path);
  if (!entry) return NotRecognised();
  return entry->codec.probe(source);
}

Result<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, const DecodeOptions& options,
                                 std::string_view extensionHint) {
  const FormatEntry* entry = SniffWhole(bytes, extensionHint);
  if (!entry) return NotRecognised();
  Result<DecodedImage> decoded = entry->codec.decode(bytes, options);
  if (!decoded.ok()) return decoded;
  decoded->info.format = entry->id;
  if (Status s = Finish(*decoded, options); !s.ok()) return s;
  return decoded;
}

Result<DecodedImage> DecodeImageFile(const std::string& path, const DecodeOptions& options) {
  if (options.allowExifThumbnail && (options.minWidth > 0 || options.minHeight > 0)) {
    // A thumbnail needs only the head of the file.
    FileSource source;
    uint8_t head[32] = {};
    if (source.Open(path).ok()) {
      size_t headSize = size_t(std::min<uint64_t>(sizeof head, source.Size()));
      const FormatEntry* entry = source.Read(0, headSize, head)
                                     ? Sniff(std::span<const uint8_t>(head, headSize), {}, path)
                                     : nullptr;
      if (entry && entry->codec.thumbnail) {
        if (std::optional<DecodedImage> thumb = entry->codec.thumbnail(source, options)) {
          thumb->info.format = entry->id;
          if (Status s = Finish(*thumb, options); !s.ok()) return s;
          return std::move(*thumb);
        }
      }
    }
  }
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes.ok()) return bytes.status();
  return DecodeImage(*bytes, options, path);
}

Status ApplyOrientation(Image& image, int orientation) {
  if (image.empty() || orientation <= 1 || orientation > 8) return Status::Ok();
  const int w = image.width(), h = image.height();
  if (orientation == 2 || orientation == 3) {
    ParallelFor(h, 64, [&](int64_t y0, int64_t y1) {
      for (int64_t y = y0; y < y1; ++y) std::reverse(image.Row(int(y)), image.Row(int(y)) + w);
    });
  }
  if (orientation == 3 || orientation == 4) {
    for (int y = 0; y < h / 2; ++y) std::swap_ranges(image.Row(y), image.Row(y) + w, image.Row(h - 1 - y));
  }
  if (orientation <= 4) return Status::Ok();

  Image turned;
  if (Status s = turned.Create(h, w); !s.ok()) return s;
  switch (orientation) {
    case 5:  // transpose
      Remap(image, turned, [](int x, int y, int& sx, int& sy) { sx = y, sy = x; });
      break;
    case 6:  // turn clockwise
      Remap(image, turned, [h](int x, int y, int& sx, int& sy) { sx = y, sy = h - 1 - x; });
      break;
    case 7:  // transverse
      Remap(image, turned, [w, h](int x, int y, int& sx, int& sy) { sx = w - 1 - y, sy = h - 1 - x; });
      break;
    case 8:  // turn counter-clockwise
      Remap(image, turned, [w](int x, int y, int& sx, int& sy) { sx = w - 1 - y, sy = x; });
      break;
  }
  image = std::move(turned);
  return Status::Ok();
}

ImageFormat OutputFormatOf(std::string_view path) {
  const FormatEntry* entry = OutputEntry(path);
  return entry ? entry->id : ImageFormat::kUnknown;
}

std::string WritableExtensions() {
  std::vector<std::string_view> first;
  for (const FormatEntry& entry : kFormats)
    if (entry.codec.encode)
      first.push_back(entry.codec.extensions.substr(0, entry.codec.extensions.find(' ')));
  std::string text;
  for (size_t i = 0; i < first.size(); ++i) {
    if (i > 0) text += i + 1 == first.size() ? " or " : ", ";
    text += first[i];
  }
  return text;
}

Status WriteImageFile(const std::string& path, const Image& image, const WriteImageOptions& options) {
  if (image.empty()) return Status::Error("nothing to write (empty image)");
  const FormatEntry* entry = OutputEntry(path);
  if (!entry)
    return Status::Error("unknown output format '" + AsciiLower(ExtensionOf(path)) + "' (use " +
                         WritableExtensions() + ")");
  if (entry->codec.writeFile) return entry->codec.writeFile(path, image, options);
  Result<std::vector<uint8_t>> bytes = entry->codec.encode(image, options);
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(path, *bytes);
}

}  // namespace tessaro
