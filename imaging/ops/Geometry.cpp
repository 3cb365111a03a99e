#include "imaging/ops/Geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tessaro {

namespace {

constexpr double kSnap = 1e-9;
constexpr double kCoordLimit = double(kMaxImageSide) * 4;

double ClampCoord(double v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }

int FloorSnapped(double v) {
  double r = std::round(v);
  if (std::fabs(v - r) < kSnap) return int(r);
  return int(std::floor(v));
}

int CeilSnapped(double v) {
  double r = std::round(v);
  if (std::fabs(v - r) < kSnap) return int(r);
  return int(std::ceil(v));
}

}  // namespace

IntRect CoveredPixels(const RectF& r) {
  if (r.Empty() || !std::isfinite(r.left) || !std::isfinite(r.top) || !std::isfinite(r.right) ||
      !std::isfinite(r.bottom))
    return IntRect{};
  IntRect out{FloorSnapped(ClampCoord(r.left)), FloorSnapped(ClampCoord(r.top)),
              CeilSnapped(ClampCoord(r.right)), CeilSnapped(ClampCoord(r.bottom))};
  if (out.Empty()) return IntRect{};
  return out;
}

Affine2D Affine2D::Rotation(double degrees) {
  double c, s;
  double quarter = degrees / 90.0;
  if (std::isfinite(quarter) && quarter == std::round(quarter)) {
    // Exact entries for multiples of 90 degrees.
    long q = long(std::fmod(quarter, 4.0));
    if (q < 0) q += 4;
    static constexpr double kCos[4] = {1, 0, -1, 0};
    static constexpr double kSin[4] = {0, 1, 0, -1};
    c = kCos[q];
    s = kSin[q];
  } else {
    double a = degrees * (std::numbers::pi / 180.0);
    c = std::cos(a);
    s = std::sin(a);
  }
  return Affine2D{c, s, 0, -s, c, 0};
}

Affine2D Affine2D::Then(const Affine2D& n) const {
  return Affine2D{n.xx * xx + n.xy * yx, n.xx * xy + n.xy * yy, n.xx * tx + n.xy * ty + n.tx,
                  n.yx * xx + n.yy * yx, n.yx * xy + n.yy * yy, n.yx * tx + n.yy * ty + n.ty};
}

bool Affine2D::IsFinite() const {
  return std::isfinite(xx) && std::isfinite(xy) && std::isfinite(tx) && std::isfinite(yx) &&
         std::isfinite(yy) && std::isfinite(ty);
}

std::optional<Affine2D> Affine2D::Inverted() const {
  double det = Determinant();
  if (!IsFinite() || !std::isfinite(det) || std::fabs(det) < 1e-12) return std::nullopt;
  double inv = 1.0 / det;
  Affine2D r;
  r.xx = yy * inv;
  r.xy = -xy * inv;
  r.yx = -yx * inv;
  r.yy = xx * inv;
  r.tx = -(r.xx * tx + r.xy * ty);
  r.ty = -(r.yx * tx + r.yy * ty);
  return r;
}

Affine2D RotationAbout(double degrees, PointF centre) {
  return Affine2D::Translation(-centre.x, -centre.y)
      .Then(Affine2D::Rotation(degrees))
      .Then(Affine2D::Translation(centre.x, centre.y));
}

Affine2D ScalingAbout(double sx, double sy, PointF centre) {
  return Affine2D::Translation(-centre.x, -centre.y)
      .Then(Affine2D::Scaling(sx, sy))
      .Then(Affine2D::Translation(centre.x, centre.y));
}

Affine2D MirrorAbout(bool horizontal, bool vertical, PointF centre) {
  return ScalingAbout(horizontal ? -1 : 1, vertical ? -1 : 1, centre);
}

RectF TransformedBounds(const Affine2D& m, const RectF& r) {
  PointF corners[4] = {m.Apply({r.left, r.top}), m.Apply({r.right, r.top}), m.Apply({r.right, r.bottom}),
                       m.Apply({r.left, r.bottom})};
  RectF out{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (const PointF& p : corners) {
    out.left = std::min(out.left, p.x);
    out.top = std::min(out.top, p.y);
    out.right = std::max(out.right, p.x);
    out.bottom = std::max(out.bottom, p.y);
  }
  return out;
}

}  // namespace tessaro
