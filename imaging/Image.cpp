#include "imaging/Image.h"

#include <algorithm>
#include <string>

namespace tessaro {

bool ImageSizeAllowed(int64_t width, int64_t height, int bytesPerPixel) {
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
  if (width * height > kMaxImagePixels) return false;
  return uint64_t(width) * uint64_t(height) * uint64_t(bytesPerPixel) <= (uint64_t(1) << 34);
}

int64_t DecodePixelLimit(int64_t requested) {
  return requested > 0 ? std::min(requested, kMaxImagePixels) : kDefaultDecodePixelLimit;
}

Status CheckDecodePixels(int64_t width, int64_t height, int64_t limit) {
  if (width <= 0 || height <= 0) return Status::Error("image has no pixels (width or height is 0)");
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
      width * height > limit) {
    const std::string cap = limit % 1'000'000 == 0
                                ? "the " + std::to_string(limit / 1'000'000) + "-megapixel limit"
                                : "the limit of " + std::to_string(limit) + " pixels";
    return Status::Error("image too large: " + size + " is more than " + cap);
  }
  if (!ImageSizeAllowed(width, height, 4))
    return Status::Error("image too large: " + size + " is more than a picture may have (" +
                         std::to_string(kMaxImageSide) + " pixels a side)");
  return Status::Ok();
}

IntRect Intersect(const IntRect& a, const IntRect& b) {
  IntRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
  if (r.Empty()) return IntRect{};
  return r;
}

IntRect Union(const IntRect& a, const IntRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return IntRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
}

}  // namespace tessaro
