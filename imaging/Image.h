// Pixel buffers. An Image holds 8-bit RGBA colour with straight (not
// premultiplied) alpha in sRGB; a Plane holds one 8-bit channel and serves for
// masks, selections and alpha channels alike. Buffers are empty by default,
// are created with Create() which fails cleanly (dimension cap, overflow-
// checked size, allocation failure), move cheaply and copy only through
// Clone(). Rows are stored top to bottom, StrideBytes() apart.
// Not thread-safe for writing; distinct rows may be written by distinct
// threads.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/Status.h"

namespace tessaro {

struct Rgba8 {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  friend bool operator==(const Rgba8&, const Rgba8&) = default;
};
static_assert(sizeof(Rgba8) == 4);

// Largest side and largest pixel count any buffer may have. A 48 x 32 inch
// spread at 300 ppi is 14400 x 9600; PSB documents allow 300000 per side.
inline constexpr int kMaxImageSide = 300000;
inline constexpr int64_t kMaxImagePixels = int64_t(1) << 31;

// True when a w x h buffer of `bytesPerPixel` bytes is within the caps.
bool ImageSizeAllowed(int64_t width, int64_t height, int bytesPerPixel);

// Decoders refuse pictures of more pixels than this unless their caller asks
// for more: far above any camera (the largest sensors give about 150
// megapixels, a 48 x 32 inch spread at 300 ppi is 138), yet a small crafted
// file claiming a bigger size cannot make a decoder take gigabytes.
inline constexpr int64_t kDefaultDecodePixelLimit = 250'000'000;
// The limit for a caller's request: `requested` when positive (at most
// kMaxImagePixels), else kDefaultDecodePixelLimit.
int64_t DecodePixelLimit(int64_t requested);
// Ok when a width x height picture is within `limit` pixels and the buffer
// caps; else "image too large: 30000 x 30000 pixels is more than the
// 250-megapixel limit" (sizes from a file header, before any allocation).
Status CheckDecodePixels(int64_t width, int64_t height, int64_t limit);

template <typename Pixel>
class PixelBuffer {
 public:
  PixelBuffer() = default;
  PixelBuffer(PixelBuffer&& other) noexcept { *this = std::move(other); }
  PixelBuffer& operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
      FData = std::move(other.FData);
      FWidth = other.FWidth;
      FHeight = other.FHeight;
      other.FWidth = other.FHeight = 0;
    }
    return *this;
  }
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  // Allocates a width x height buffer filled with zero bytes (transparent
  // black, or an empty mask). Large zeroed buffers cost no memory until
  // written. On failure the buffer is left empty.
  Status Create(int width, int height) {
    Reset();
    if (width <= 0 || height <= 0) return Status::Error("image size must be positive");
    if (!ImageSizeAllowed(width, height, sizeof(Pixel))) return Status::Error("image too large");
    void* p = std::calloc(size_t(width) * size_t(height), sizeof(Pixel));
    if (!p) return Status::Error("out of memory for image");
    FData.reset(static_cast<Pixel*>(p));
    FWidth = width;
    FHeight = height;
    return Status::Ok();
  }
  // Like Create, but the pixels are left as the allocator gives them: for a
  // buffer every pixel of which is written next (a copy, a decode, a
  // resampling). It spares clearing memory that may be reused heap.
  Status CreateUninitialized(int width, int height) {
    Reset();
    if (width <= 0 || height <= 0) return Status::Error("image size must be positive");
    if (!ImageSizeAllowed(width, height, sizeof(Pixel))) return Status::Error("image too large");
    void* p = std::malloc(size_t(width) * size_t(height) * sizeof(Pixel));
    if (!p) return Status::Error("out of memory for image");
    FData.reset(static_cast<Pixel*>(p));
    FWidth = width;
    FHeight = height;
    return Status::Ok();
  }
  Status Create(int width, int height, Pixel fill) {
    Status s = CreateUninitialized(width, height);
    if (s.ok()) Fill(fill);
    return s;
  }

  PixelBuffer Clone() const {
    PixelBuffer copy;
    if (!empty() && copy.CreateUninitialized(FWidth, FHeight).ok())
      std::copy(FData.get(), FData.get() + PixelCount(), copy.FData.get());
    return copy;
  }

  void Reset() {
    FData.reset();
    FWidth = FHeight = 0;
  }

  bool empty() const { return !FData; }
  int width() const { return FWidth; }
  int height() const { return FHeight; }
  size_t PixelCount() const { return size_t(FWidth) * size_t(FHeight); }
  size_t StrideBytes() const { return size_t(FWidth) * sizeof(Pixel); }
  size_t ByteSize() const { return PixelCount() * sizeof(Pixel); }

  Pixel* data() { return FData.get(); }
  const Pixel* data() const { return FData.get(); }
  Pixel* Row(int y) { return FData.get() + size_t(y) * size_t(FWidth); }
  const Pixel* Row(int y) const { return FData.get() + size_t(y) * size_t(FWidth); }
  Pixel& At(int x, int y) { return Row(y)[x]; }
  const Pixel& At(int x, int y) const { return Row(y)[x]; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < FWidth && y < FHeight; }

  // Hands the memory of rows [begin, end) back to the system (the whole
  // pages among them); those rows then read as unspecified values. For a
  // buffer that is about to be dropped and whose rows are consumed one band
  // after another.
  void DiscardRows(int begin, int end) {
    if (empty() || begin >= end) return;
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t from = (uintptr_t(Row(begin)) + page - 1) / page * page;
    const uintptr_t to = uintptr_t(Row(0)) + size_t(end) * StrideBytes();
    const uintptr_t last = to / page * page;
    if (last > from) madvise(reinterpret_cast<void*>(from), last - from, MADV_DONTNEED);
  }

  void Fill(Pixel value) {
    Pixel* p = FData.get();
    for (size_t i = 0, n = PixelCount(); i < n; ++i) p[i] = value;
  }

 private:
  struct FreeDeleter {
    void operator()(Pixel* p) const { std::free(p); }
  };
  std::unique_ptr<Pixel, FreeDeleter> FData;
  int FWidth = 0;
  int FHeight = 0;
};

using Image = PixelBuffer<Rgba8>;
using Plane = PixelBuffer<uint8_t>;

// 16-bit to 8-bit with correct rounding: round(v * 255 / 65535).
inline uint8_t Narrow16To8(uint16_t v) {
  return static_cast<uint8_t>((uint32_t(v) * 255u + 32767u) / 65535u);
}

// Integer rectangle, right and bottom exclusive.
struct IntRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const IntRect&, const IntRect&) = default;
};

IntRect Intersect(const IntRect& a, const IntRect& b);
IntRect Union(const IntRect& a, const IntRect& b);  // an empty operand is ignored

}  // namespace tessaro
