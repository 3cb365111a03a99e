// Internals shared by the format readers behind imaging/codecs/Codecs.h: a
// random-access byte source for header probes (so that a file probe reads
// only the bytes the header needs), small helpers, and the probes and
// decoders of the first formats, which the tests and fuzz targets call
// directly. A new format needs nothing here: the registry
// (imaging/codecs/Registry.h) reaches it through its codec.
//
// Per-format decoders return pixels as stored (not yet turned upright); the
// dispatcher in Codecs.cpp applies the orientation and the resolution default.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Status.h"
#include "imaging/codecs/Codecs.h"

namespace tessaro::codecs {

// Bytes at offsets, read on demand. Not thread-safe; one per probe.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies n bytes from `offset` into `out`; false when they are not all there.
  virtual bool Read(uint64_t offset, size_t n, uint8_t* out) = 0;
  bool Read(uint64_t offset, size_t n, std::vector<uint8_t>& out) {
    out.resize(n);
    return Read(offset, n, out.data());
  }
  // All the bytes when they are in memory already; empty otherwise.
  virtual std::span<const uint8_t> InMemory() const { return {}; }
};

class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const uint8_t> bytes) : FBytes(bytes) {}
  uint64_t Size() const override { return FBytes.size(); }
  bool Read(uint64_t offset, size_t n, uint8_t* out) override;
  std::span<const uint8_t> Bytes() const { return FBytes; }
  std::span<const uint8_t> InMemory() const override { return FBytes; }

 private:
  std::span<const uint8_t> FBytes;
};

// Reads a file through a small block cache; counts the bytes it read.
class FileSource final : public ByteSource {
 public:
  ~FileSource() override;
  Status Open(const std::string& path);
  uint64_t Size() const override { return FSize; }
  bool Read(uint64_t offset, size_t n, uint8_t* out) override;
  uint64_t BytesRead() const { return FBytesRead; }

 private:
  int FFd = -1;
  uint64_t FSize = 0;
  uint64_t FBytesRead = 0;
  static constexpr size_t kBlock = 64 * 1024;
  uint64_t FBlockStart = UINT64_MAX;
  std::vector<uint8_t> FBlockData;
};

Result<ImageInfo> ProbeJpeg(ByteSource& source);
Result<ImageInfo> ProbePng(ByteSource& source);
Result<ImageInfo> ProbeTiff(ByteSource& source);
Result<ImageInfo> ProbeGif(ByteSource& source);
Result<ImageInfo> ProbeBmp(ByteSource& source);
Result<ImageInfo> ProbeTga(ByteSource& source);

Result<DecodedImage> DecodeJpeg(std::span<const uint8_t> bytes, const DecodeOptions& options);
// The EXIF thumbnail alone, read from the source without the rest of the file,
// when the options allow it and it is big enough; nullopt otherwise.
std::optional<DecodedImage> DecodeJpegThumbnail(ByteSource& source, const DecodeOptions& options);
Result<DecodedImage> DecodePng(std::span<const uint8_t> bytes, const DecodeOptions& options);
Result<DecodedImage> DecodeTiff(std::span<const uint8_t> bytes, const DecodeOptions& options);
Result<DecodedImage> DecodeGif(std::span<const uint8_t> bytes, const DecodeOptions& options);
Result<DecodedImage> DecodeBmp(std::span<const uint8_t> bytes, const DecodeOptions& options);
Result<DecodedImage> DecodeTga(std::span<const uint8_t> bytes, const DecodeOptions& options);

// Maps the pages of a freshly allocated pixel buffer on a second thread while
// the decoder fills it from the top, so that the decoding thread does not
// stop at every new page; the buffer is also advised to use large pages.
// Only content-neutral kernel calls touch the buffer (MADV_HUGEPAGE,
// MADV_POPULATE_WRITE); where they are not available, or the buffer is
// small, or the caller may use one thread only (ParallelThreads() is 1: one
// core, or a caller held to one), nothing happens. Stops and joins when
// destroyed.
class PagePrefetcher {
 public:
  PagePrefetcher(void* data, size_t size);
  ~PagePrefetcher();
  PagePrefetcher(const PagePrefetcher&) = delete;
  PagePrefetcher& operator=(const PagePrefetcher&) = delete;

 private:
  struct State;
  std::unique_ptr<State> FState;
};

// The largest pixel count the options allow.
int64_t PixelCap(const DecodeOptions& options);
// The options ask for less than the whole picture.
bool DecodeCropRequested(const DecodeOptions& options);
// The rectangle of the stored pixels (storedWidth x storedHeight) that
// ApplyOrientation turns into the rectangle `upright`.
IntRect StoredRegion(const IntRect& upright, int orientation, int storedWidth, int storedHeight);
// Refuses sizes that are not positive, exceed the caps or the options' limit.
Status CheckDecodeSize(int64_t width, int64_t height, const DecodeOptions& options);
// A resolution converted from another unit, snapped to a whole number when
// it is within 0.05 of one (2835 pixels per metre is 72 ppi, not 72.009).
double TidyPpi(double ppi);
// Sets alpha to 255 everywhere when no pixel has alpha other than 0 (files
// that declare an alpha channel but leave it empty mean "opaque").
void OpaqueIfAlphaAllZero(Image& image);
// Turns premultiplied colour into straight colour.
void Unpremultiply(Image& image);
// True when some pixel is not fully opaque.
bool AnyTransparent(const Image& image);

}  // namespace tessaro::codecs
