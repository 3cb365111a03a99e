#include "imaging/Image.h"

#include <algorithm>

namespace tessaro {

bool ImageSizeAllowed(int64_t width, int64_t height, int bytesPerPixel) {
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
  if (width * height > kMaxImagePixels) return false;
  return uint64_t(width) * uint64_t(height) * uint64_t(bytesPerPixel) <= (uint64_t(1) << 34);
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
