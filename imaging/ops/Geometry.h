// Continuous geometry for pixel operations: points, rectangles and 2 x 3
// affine matrices in double precision.
//
// Pixel coordinate convention used by every pixel operation: pixel (i, j) is
// the unit square [i, i + 1) x [j, j + 1); its centre is (i + 0.5, j + 0.5).
// An image of w x h pixels covers the rectangle (0, 0, w, h). The y axis
// points down, so a positive angle turns the picture counter-clockwise on
// screen (as the preview canvas and the composition angles expect).
//
// All types here are plain values; every function is pure and thread-safe.
#pragma once

#include <optional>

#include "imaging/Image.h"

namespace tessaro {

struct PointF {
  double x = 0, y = 0;
  friend bool operator==(const PointF&, const PointF&) = default;
};

// Float rectangle, left/top inclusive, right/bottom exclusive in the same
// sense as IntRect. A rectangle with right < left (or bottom < top) is legal
// where a function says so (a mirrored source rectangle); elsewhere it is
// empty.
struct RectF {
  double left = 0, top = 0, right = 0, bottom = 0;
  double Width() const { return right - left; }
  double Height() const { return bottom - top; }
  bool Empty() const { return !(right > left) || !(bottom > top); }
  friend bool operator==(const RectF&, const RectF&) = default;
};

inline RectF ToRectF(const IntRect& r) {
  return RectF{double(r.left), double(r.top), double(r.right), double(r.bottom)};
}

// The smallest integer rectangle containing `r` (floor of left/top, ceiling of
// right/bottom). Values within 1e-9 of an integer are taken as that integer,
// so that a rectangle computed through a rotation by a multiple of 90 degrees
// does not grow by a stray pixel. Empty for an empty rectangle; coordinates
// are clamped to +-kMaxImageSide * 4.
IntRect CoveredPixels(const RectF& r);

// A 2 x 3 affine matrix mapping a point p to
//   x' = xx * p.x + xy * p.y + tx
//   y' = yx * p.x + yy * p.y + ty.
// Where a pixel operation takes a matrix, it documents which way it maps; the
// drawing functions take the source -> destination direction.
struct Affine2D {
  double xx = 1, xy = 0, tx = 0;
  double yx = 0, yy = 1, ty = 0;

  static Affine2D Identity() { return Affine2D{}; }
  static Affine2D Translation(double dx, double dy) { return Affine2D{1, 0, dx, 0, 1, dy}; }
  static Affine2D Scaling(double sx, double sy) { return Affine2D{sx, 0, 0, 0, sy, 0}; }
  // Rotation about the origin by `degrees`, positive counter-clockwise on
  // screen (y down): x' = cos a * x + sin a * y, y' = -sin a * x + cos a * y.
  // Multiples of 90 degrees give exact 0 and +-1 entries.
  static Affine2D Rotation(double degrees);

  // The matrix that applies `*this` first and then `next`.
  Affine2D Then(const Affine2D& next) const;
  // The inverse, or nothing when the matrix is singular (|determinant| below
  // 1e-12) or not finite.
  std::optional<Affine2D> Inverted() const;
  double Determinant() const { return xx * yy - xy * yx; }
  PointF Apply(PointF p) const { return PointF{xx * p.x + xy * p.y + tx, yx * p.x + yy * p.y + ty}; }
  // True when the matrix keeps axis-parallel lines axis-parallel without
  // swapping the axes (scales, mirrors and translations only).
  bool IsAxisAligned() const { return xy == 0 && yx == 0; }
  bool IsFinite() const;
};

// Rotation by `degrees` (positive counter-clockwise on screen) about `centre`.
Affine2D RotationAbout(double degrees, PointF centre);
// Scaling by (sx, sy) about `centre`; a negative factor mirrors.
Affine2D ScalingAbout(double sx, double sy, PointF centre);
// Mirroring left-right and/or top-bottom about `centre`.
Affine2D MirrorAbout(bool horizontal, bool vertical, PointF centre);

// The axis-parallel bounding box of `r` mapped through `m` (the four corners'
// extremes). `r` must not be mirrored.
RectF TransformedBounds(const Affine2D& m, const RectF& r);

}  // namespace tessaro
