// Format dispatch, byte sources, orientation and file writing.
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
#include "imaging/codecs/CodecsInternal.h"
#include "imaging/ops/ColorManagement.h"
#include "imaging/psd/Psd.h"

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

int64_t PixelCap(const DecodeOptions& options) {
  return options.maxPixels > 0 ? std::min(options.maxPixels, kMaxImagePixels) : kMaxImagePixels;
}

Status CheckDecodeSize(int64_t width, int64_t height, const DecodeOptions& options) {
  if (width <= 0 || height <= 0) return Status::Error("image has no pixels (width or height is 0)");
  if (!ImageSizeAllowed(width, height, 4) || width * height > PixelCap(options))
    return Status::Error("image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
  return Status::Ok();
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

}  // namespace codecs

namespace {

using namespace codecs;

constexpr char kTgaFooter[] = "TRUEVISION-XFILE.";  // followed by a 0 byte

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

bool TgaHeaderPlausible(std::span<const uint8_t> head) {
  if (head.size() < 18) return false;
  uint8_t mapType = head[1], type = head[2], depth = head[16];
  if (mapType > 1) return false;
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  int width = head[12] | head[13] << 8, height = head[14] | head[15] << 8;
  return width > 0 && height > 0;
}

bool HasTgaFooter(std::span<const uint8_t> bytes) {
  if (bytes.size() < 18 + 26) return false;
  return std::memcmp(bytes.data() + bytes.size() - 18, kTgaFooter, 18) == 0;
}

std::string PsdModeName(PsdColorMode mode) {
  switch (mode) {
    case PsdColorMode::kBitmap:
      return "Bitmap";
    case PsdColorMode::kGrayscale:
      return "Grayscale";
    case PsdColorMode::kIndexed:
      return "Indexed";
    case PsdColorMode::kRgb:
      return "RGB";
    case PsdColorMode::kCmyk:
      return "CMYK";
    case PsdColorMode::kMultichannel:
      return "Multichannel";
    case PsdColorMode::kDuotone:
      return "Duotone";
    case PsdColorMode::kLab:
      return "Lab";
  }
  return "unknown";
}

int PsdColorChannels(PsdColorMode mode) {
  switch (mode) {
    case PsdColorMode::kRgb:
    case PsdColorMode::kLab:
      return 3;
    case PsdColorMode::kCmyk:
      return 4;
    case PsdColorMode::kMultichannel:
      return 0;
    default:
      return 1;
  }
}

ImageInfo InfoFromPsd(const PsdInfo& psd) {
  ImageInfo info;
  info.format = ImageFormat::kPsd;
  info.width = psd.width;
  info.height = psd.height;
  info.xPpi = info.yPpi = psd.resolution;
  info.bitsPerChannel = psd.depth;
  info.channels = psd.channels;
  info.colorMode = PsdModeName(psd.colorMode);
  // Saved selections are not transparency; only the merged-transparency
  // plane makes the decoded picture non-opaque.
  info.hasAlpha = psd.hasMergedTransparency;
  return info;
}

Result<DecodedImage> DecodePsdComposite(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  PsdReadOptions read;
  read.layers = false;
  read.alphaChannels = false;
  read.composite = true;
  Result<PsdDocument> doc = ReadPsd(bytes, read);
  if (!doc.ok()) return doc.status();
  DecodedImage out;
  ImageInfo& info = out.info;
  info.format = ImageFormat::kPsd;
  info.width = doc->width;
  info.height = doc->height;
  info.xPpi = info.yPpi = doc->resolution;
  info.bitsPerChannel = doc->depth;
  info.colorMode = PsdModeName(doc->colorMode);
  info.channels = PsdColorChannels(doc->colorMode) + (doc->hasMergedTransparency ? 1 : 0);
  info.hasAlpha = doc->hasMergedTransparency;
  info.hasIcc = !doc->iccProfile.empty();
  out.pixels = std::move(doc->composite);
  if (out.pixels.empty()) return Status::Error("layered document has no merged image");
  if (int64_t(out.pixels.width()) * out.pixels.height() > PixelCap(options))
    return Status::Error("image too large");
  if (options.convertToSrgb && info.hasIcc &&
      (doc->colorMode == PsdColorMode::kRgb || doc->colorMode == PsdColorMode::kGrayscale)) {
    ColorSource source;
    source.icc = doc->iccProfile;
    ConvertToSrgb(out.pixels, source,
                  doc->colorMode == PsdColorMode::kRgb ? PixelLayout::kRgba : PixelLayout::kGrayInRgba);
  }
  return out;
}

ImageFormat SniffWhole(std::span<const uint8_t> bytes, std::string_view hint) {
  ImageFormat f = SniffFormat(bytes.first(std::min<size_t>(bytes.size(), 32)), hint);
  if (f == ImageFormat::kUnknown && HasTgaFooter(bytes) && TgaHeaderPlausible(bytes)) f = ImageFormat::kTga;
  return f;
}

Result<ImageInfo> ProbeSource(ByteSource& source, ImageFormat format) {
  switch (format) {
    case ImageFormat::kJpeg:
      return ProbeJpeg(source);
    case ImageFormat::kPng:
      return ProbePng(source);
    case ImageFormat::kTiff:
      return ProbeTiff(source);
    case ImageFormat::kGif:
      return ProbeGif(source);
    case ImageFormat::kBmp:
      return ProbeBmp(source);
    case ImageFormat::kTga:
      return ProbeTga(source);
    default:
      return Status::Error("not a recognised image format");
  }
}

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

// Turns the pixels upright and settles the resolution.
Status Finish(DecodedImage& out, const DecodeOptions& options) {
  if (options.applyOrientation && out.info.orientation != 1) {
    if (Status s = ApplyOrientation(out.pixels, out.info.orientation); !s.ok()) return s;
  }
  out.ppi = out.info.xPpi > 0 ? out.info.xPpi : 72;
  return Status::Ok();
}

}  // namespace

const char* ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kJpeg:
      return "JPEG";
    case ImageFormat::kPng:
      return "PNG";
    case ImageFormat::kTiff:
      return "TIFF";
    case ImageFormat::kGif:
      return "GIF";
    case ImageFormat::kBmp:
      return "BMP";
    case ImageFormat::kTga:
      return "TGA";
    case ImageFormat::kPsd:
      return "PSD";
    case ImageFormat::kUnknown:
      break;
  }
  return "unknown";
}

ImageFormat SniffFormat(std::span<const uint8_t> head, std::string_view extensionHint) {
  auto starts = [&](std::initializer_list<uint8_t> magic) {
    if (head.size() < magic.size()) return false;
    return std::equal(magic.begin(), magic.end(), head.begin());
  };
  if (starts({0xFF, 0xD8, 0xFF})) return ImageFormat::kJpeg;
  if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ImageFormat::kPng;
  if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42}) || starts({'I', 'I', 43, 0}) ||
      starts({'M', 'M', 0, 43}))
    return ImageFormat::kTiff;
  if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'}))
    return ImageFormat::kGif;
  if (starts({'8', 'B', 'P', 'S'})) return ImageFormat::kPsd;
  if (starts({'B', 'M'}) && head.size() >= 18) {
    uint32_t headerSize = head[14] | head[15] << 8 | head[16] << 16 | uint32_t(head[17]) << 24;
    if (headerSize >= 12 && headerSize <= 256) return ImageFormat::kBmp;
  }
  std::string ext = LowerExtension(extensionHint);
  if ((ext == ".tga" || ext == ".tpic" || ext == ".vda" || ext == ".icb" || ext == ".vst") &&
      TgaHeaderPlausible(head))
    return ImageFormat::kTga;
  return ImageFormat::kUnknown;
}

Result<ImageInfo> ProbeImage(std::span<const uint8_t> bytes, std::string_view extensionHint) {
  ImageFormat format = SniffWhole(bytes, extensionHint);
  if (format == ImageFormat::kPsd) {
    Result<PsdInfo> psd = ProbePsd(bytes);
    if (!psd.ok()) return psd.status();
    return InfoFromPsd(*psd);
  }
  SpanSource source(bytes);
  return ProbeSource(source, format);
}

Result<ImageInfo> ProbeImageFile(const std::string& path) {
  FileSource source;
  if (Status s = source.Open(path); !s.ok()) return Status::Error(s.message());
  uint8_t head[32] = {};
  size_t headSize = size_t(std::min<uint64_t>(sizeof head, source.Size()));
  if (!source.Read(0, headSize, head)) return Status::Error("cannot read the file");
  ImageFormat format = SniffFormat(std::span<const uint8_t>(head, headSize), path);
  if (format == ImageFormat::kUnknown && source.Size() >= 44) {
    uint8_t footer[18];
    if (source.Read(source.Size() - 18, 18, footer) && std::memcmp(footer, kTgaFooter, 18) == 0 &&
        TgaHeaderPlausible(std::span<const uint8_t>(head, headSize)))
      format = ImageFormat::kTga;
  }
  if (format == ImageFormat::kPsd) {
    // Layer records sit near the start; read a generous head first and the
    // whole file only when the head does not hold them.
    constexpr size_t kPsdHead = 4 << 20;
    Result<std::vector<uint8_t>> bytes = ReadFileHead(path, kPsdHead);
    if (!bytes.ok()) return bytes.status();
    Result<PsdInfo> psd = ProbePsd(*bytes);
    if (!psd.ok() && source.Size() > kPsdHead) {
      bytes = ReadWholeFile(path);
      if (!bytes.ok()) return bytes.status();
      psd = ProbePsd(*bytes);
    }
    if (!psd.ok()) return psd.status();
    return InfoFromPsd(*psd);
  }
  return ProbeSource(source, format);
}

Result<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, const DecodeOptions& options,
                                 std::string_view extensionHint) {
  ImageFormat format = SniffWhole(bytes, extensionHint);
  Result<DecodedImage> decoded = Status::Error("not a recognised image format");
  switch (format) {
    case ImageFormat::kJpeg:
      decoded = DecodeJpeg(bytes, options);
      break;
    case ImageFormat::kPng:
      decoded = DecodePng(bytes, options);
      break;
    case ImageFormat::kTiff:
      decoded = DecodeTiff(bytes, options);
      break;
    case ImageFormat::kGif:
      decoded = DecodeGif(bytes, options);
      break;
    case ImageFormat::kBmp:
      decoded = DecodeBmp(bytes, options);
      break;
    case ImageFormat::kTga:
      decoded = DecodeTga(bytes, options);
      break;
    case ImageFormat::kPsd:
      decoded = DecodePsdComposite(bytes, options);
      break;
    case ImageFormat::kUnknown:
      break;
  }
  if (!decoded.ok()) return decoded;
  decoded->info.format = format;
  if (Status s = Finish(*decoded, options); !s.ok()) return s;
  return decoded;
}

Result<DecodedImage> DecodeImageFile(const std::string& path, const DecodeOptions& options) {
  if (options.allowExifThumbnail && (options.minWidth > 0 || options.minHeight > 0)) {
    // A thumbnail needs only the head of the file.
    FileSource source;
    uint8_t head[3];
    if (source.Open(path).ok() && source.Read(0, 3, head) && head[0] == 0xFF && head[1] == 0xD8 &&
        head[2] == 0xFF) {
      if (std::optional<DecodedImage> thumb = DecodeJpegThumbnail(source, options)) {
        thumb->info.format = ImageFormat::kJpeg;
        if (Status s = Finish(*thumb, options); !s.ok()) return s;
        return std::move(*thumb);
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

Status WriteImageFile(const std::string& path, const Image& image, const WriteImageOptions& options) {
  if (image.empty()) return Status::Error("nothing to write (empty image)");
  std::string ext = AsciiLower(ExtensionOf(path));
  Result<std::vector<uint8_t>> bytes =
      Status::Error("unknown output format '" + ext + "' (use .png, .jpg or .psd)");
  if (ext == ".png") {
    bytes = EncodePng(image, options.jpeg.ppi);
  } else if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") {
    bytes = EncodeJpeg(image, options.jpeg);
  } else if (ext == ".psd") {
    PsdDocument doc;
    doc.width = image.width();
    doc.height = image.height();
    doc.resolution = options.jpeg.ppi > 0 ? options.jpeg.ppi : 72;
    PsdLayer layer;
    layer.name = options.layerName.empty() ? "Layer 1" : options.layerName;
    layer.bounds = IntRect{0, 0, image.width(), image.height()};
    layer.pixels = image.Clone();
    if (layer.pixels.empty()) return Status::Error("out of memory");
    doc.layers.push_back(std::move(layer));
    doc.composite = image.Clone();
    if (doc.composite.empty()) return Status::Error("out of memory");
    doc.hasMergedTransparency = AnyTransparent(image);
    bytes = WritePsd(doc);
  }
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(path, *bytes);
}

}  // namespace tessaro
