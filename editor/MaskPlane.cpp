#include "editor/MaskPlane.h"

#include <algorithm>
#include <cstring>

namespace tessaro::editor {

namespace {

// The box of values in `plane` that differ from `outside`, in plane pixels.
IntRect ValueBox(const Plane& plane, uint8_t outside) {
  return PaintedBox(plane, [outside](uint8_t v) { return v != outside; });
}

Status CopyArea(const Plane& src, const IntRect& srcRect, Plane& dst, int dx, int dy) {
  for (int y = 0; y < srcRect.Height(); ++y)
    std::memcpy(dst.Row(dy + y) + dx, src.Row(srcRect.top + y) + srcRect.left, size_t(srcRect.Width()));
  return Status::Ok();
}

}  // namespace

Result<MaskPlane> MaskPlane::FromPlane(const Plane& full, int originX, int originY, uint8_t outside) {
  MaskPlane m;
  m.outside = outside;
  if (full.empty()) return m;
  const IntRect content = ValueBox(full, outside);
  if (content.Empty()) return m;
  Status s = m.pixels.Create(content.Width(), content.Height());
  if (!s.ok()) return s;
  CopyArea(full, content, m.pixels, 0, 0);
  m.box = IntRect{content.left + originX, content.top + originY, content.right + originX,
                  content.bottom + originY};
  return m;
}

MaskPlane MaskPlane::Clone() const {
  MaskPlane c;
  c.box = box;
  c.pixels = pixels.Clone();
  c.outside = outside;
  if (!box.Empty() && c.pixels.empty()) c.box = IntRect{};  // allocation failed: callers check ByteSize
  return c;
}

Result<Plane> MaskPlane::Materialize(const IntRect& area) const {
  Plane out;
  Status s = out.Create(area.Width(), area.Height(), outside);
  if (!s.ok()) return s;
  const IntRect common = Intersect(area, box);
  if (!common.Empty())
    CopyArea(pixels,
             IntRect{common.left - box.left, common.top - box.top, common.right - box.left,
                     common.bottom - box.top},
             out, common.left - area.left, common.top - area.top);
  return out;
}

IntRect MaskPlane::ContentBox() const {
  if (box.Empty()) return IntRect{};
  const IntRect r = ValueBox(pixels, outside);
  if (r.Empty()) return r;
  return IntRect{r.left + box.left, r.top + box.top, r.right + box.left, r.bottom + box.top};
}

Status MaskPlane::Trim() {
  const IntRect content = ContentBox();
  if (content == box) return Status::Ok();
  if (content.Empty()) {
    box = IntRect{};
    pixels.Reset();
    return Status::Ok();
  }
  Result<Plane> cropped = Materialize(content);
  if (!cropped.ok()) return cropped.status();
  pixels = std::move(cropped.value());
  box = content;
  return Status::Ok();
}

void MaskPlane::Invert() {
  outside = uint8_t(255 - outside);
  uint8_t* p = pixels.data();
  for (size_t i = 0, n = pixels.PixelCount(); i < n; ++i) p[i] = uint8_t(255 - p[i]);
}

namespace {

uint8_t CombineValue(uint8_t a, uint8_t b, MaskCombine op) {
  switch (op) {
    case MaskCombine::kReplace:
      return b;
    case MaskCombine::kExtend:
      return std::max(a, b);
    case MaskCombine::kDiminish:
      return uint8_t((a * (255 - b) + 127) / 255);
    case MaskCombine::kIntersect:
      return uint8_t((a * b + 127) / 255);
  }
  return b;
}

}  // namespace

Result<MaskPlane> CombineMasks(const MaskPlane& a, const MaskPlane& b, MaskCombine op) {
  if (op == MaskCombine::kReplace) return b.Clone();
  MaskPlane out;
  out.outside = CombineValue(a.outside, b.outside, op);
  // Outside both boxes the result is uniform; inside their union it is
  // computed value by value, then trimmed.
  const IntRect area = Union(a.box, b.box);
  if (area.Empty()) return out;
  Status s = out.pixels.Create(area.Width(), area.Height());
  if (!s.ok()) return s;
  out.box = area;
  for (int y = area.top; y < area.bottom; ++y) {
    uint8_t* row = out.pixels.Row(y - area.top);
    for (int x = area.left; x < area.right; ++x)
      row[x - area.left] = CombineValue(a.At(x, y), b.At(x, y), op);
  }
  s = out.Trim();
  if (!s.ok()) return s;
  return out;
}

}  // namespace tessaro::editor
