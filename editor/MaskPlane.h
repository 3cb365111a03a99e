// A document-sized grey plane stored cropped: the selection, alpha channels
// and layer masks of the editor. Pixels are kept only inside `box` (document
// coordinates); everywhere else the plane holds `outside`. So an alpha
// channel that shapes one slot costs the slot's area, not the canvas.
//
// Plain value, movable, copied only by Clone(). Not thread-safe for writing.
#pragma once

#include <cstdint>
#include <mutex>

#include "base/Parallel.h"
#include "base/Status.h"
#include "imaging/Image.h"

namespace tessaro::editor {

// The box (buffer pixels) of the pixels for which `painted(pixel)` holds;
// empty when there is none. Rows are looked at in parallel.
template <class Pixel, class Painted>
IntRect PaintedBox(const PixelBuffer<Pixel>& buffer, Painted painted) {
  IntRect box;
  std::mutex mutex;
  const int w = buffer.width();
  ParallelFor(buffer.height(), 256, [&](int64_t y0, int64_t y1) {
    IntRect local;
    for (int64_t y = y0; y < y1; ++y) {
      const Pixel* row = buffer.Row(int(y));
      int first = 0;
      while (first < w && !painted(row[first])) ++first;
      if (first == w) continue;
      int last = w - 1;
      while (last > first && !painted(row[last])) --last;
      local = Union(local, IntRect{first, int(y), last + 1, int(y) + 1});
    }
    std::lock_guard<std::mutex> lock(mutex);
    box = Union(box, local);
  });
  return box;
}

struct MaskPlane {
  IntRect box;          // document pixels backed by `pixels`; empty for a uniform plane
  Plane pixels;         // box.Width() x box.Height(); empty iff box is empty
  uint8_t outside = 0;  // the value everywhere outside `box`

  static MaskPlane Uniform(uint8_t value) {
    MaskPlane p;
    p.outside = value;
    return p;
  }
  // `full` covers `origin`; the result keeps only the box of values that
  // differ from `outside`.
  static Result<MaskPlane> FromPlane(const Plane& full, int originX, int originY, uint8_t outside = 0);

  bool IsUniform() const { return box.Empty(); }
  uint8_t At(int x, int y) const {
    if (x < box.left || y < box.top || x >= box.right || y >= box.bottom) return outside;
    return pixels.At(x - box.left, y - box.top);
  }
  MaskPlane Clone() const;
  size_t ByteSize() const { return pixels.ByteSize(); }

  // The values of `area` (document pixels) as an area-sized plane.
  Result<Plane> Materialize(const IntRect& area) const;
  // The box of values that differ from `outside` (empty when none).
  IntRect ContentBox() const;
  // Shrinks `box` to ContentBox() (copying only when it shrinks).
  Status Trim();
  void Translate(int dx, int dy) {
    if (box.Empty()) return;
    box = IntRect{box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
  }
  // Every value v becomes 255 - v.
  void Invert();
};

enum class MaskCombine { kReplace, kExtend, kDiminish, kIntersect };

// a combined with b value by value (replace: b; extend: max; diminish:
// a x (255 - b) / 255; intersect: a x b / 255, rounded).
Result<MaskPlane> CombineMasks(const MaskPlane& a, const MaskPlane& b, MaskCombine op);

}  // namespace tessaro::editor
