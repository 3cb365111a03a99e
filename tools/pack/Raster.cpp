#include "tools/pack/Raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Parallel.h"
#include "imaging/ops/Resample.h"

namespace tessaro::authoring {

namespace {

double Clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// Signed distance (pixels, negative inside) of point (x, y) to a rectangle
// with rounded corners centred at (cx, cy) with half sizes hx, hy.
double RoundedBoxDistance(double x, double y, double cx, double cy, double hx, double hy, double r) {
  const double qx = std::fabs(x - cx) - (hx - r), qy = std::fabs(y - cy) - (hy - r);
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

// Approximate signed distance to an ellipse with semi-axes a, b (first-order
// correction of the implicit function, good to a small fraction of a pixel
// near the outline, which is all the coverage needs).
double EllipseDistance(double x, double y, double cx, double cy, double a, double b) {
  const double u = (x - cx) / a, v = (y - cy) / b;
  const double k0 = std::sqrt(u * u + v * v);
  const double gu = (x - cx) / (a * a), gv = (y - cy) / (b * b);
  const double k1 = std::sqrt(gu * gu + gv * gv);
  if (k1 < 1e-12) return -std::min(a, b);
  return k0 * (k0 - 1.0) / k1;
}

uint8_t ToLevel(double coverage) { return static_cast<uint8_t>(std::lround(Clamp01(coverage) * 255.0)); }

}  // namespace

void DrawShape(Plane& plane, const RectF& rect, TShapeKind shape, double radius) {
  const IntRect pixels = Intersect(CoveredPixels(rect), IntRect{0, 0, plane.width(), plane.height()});
  if (pixels.Empty()) return;
  const double cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
  const double hx = rect.Width() / 2, hy = rect.Height() / 2;
  const double r = std::clamp(radius, 0.0, std::min(hx, hy));
  ParallelFor(pixels.Height(), 64, [&](int64_t y0, int64_t y1) {
    for (int y = pixels.top + int(y0); y < pixels.top + int(y1); ++y) {
      uint8_t* row = plane.Row(y);
      const double py = y + 0.5;
      const double coverY = Clamp01(std::min(py + 0.5, rect.bottom) - std::max(py - 0.5, rect.top));
      for (int x = pixels.left; x < pixels.right; ++x) {
        const double px = x + 0.5;
        double coverage;
        switch (shape) {
          case TShapeKind::kEllipse:
            coverage = 0.5 - EllipseDistance(px, py, cx, cy, hx, hy);
            break;
          case TShapeKind::kRounded:
            if (r > 0.5) {
              coverage = 0.5 - RoundedBoxDistance(px, py, cx, cy, hx, hy, r);
              break;
            }
            [[fallthrough]];
          default:
            coverage = coverY * Clamp01(std::min(px + 0.5, rect.right) - std::max(px - 0.5, rect.left));
            break;
        }
        row[x] = ToLevel(coverage);
      }
    }
  });
}

Plane GreyOf(const Image& picture) {
  Plane grey;
  if (picture.empty() || !grey.Create(picture.width(), picture.height()).ok()) return grey;
  for (int y = 0; y < picture.height(); ++y) {
    const Rgba8* in = picture.Row(y);
    uint8_t* out = grey.Row(y);
    for (int x = 0; x < picture.width(); ++x) {
      const double lum = 0.299 * in[x].r + 0.587 * in[x].g + 0.114 * in[x].b;
      out[x] = static_cast<uint8_t>(std::lround(lum * in[x].a / 255.0));
    }
  }
  return grey;
}

Status DrawMask(Plane& plane, const RectF& rect, const Image& maskPicture) {
  const IntRect target{int(std::lround(rect.left)), int(std::lround(rect.top)), int(std::lround(rect.right)),
                       int(std::lround(rect.bottom))};
  if (target.Empty()) return Status::Error("the mask window is empty");
  Plane grey = GreyOf(maskPicture);
  if (grey.empty()) return Status::Error("the mask picture is empty");
  if (grey.width() != target.Width() || grey.height() != target.Height()) {
    ResampleOptions options;
    options.filter = ResampleFilter::kBicubic;
    auto scaled = ResizePlane(grey, target.Width(), target.Height(), options);
    if (!scaled.ok()) return scaled.status();
    grey = std::move(*scaled);
  }
  const IntRect clip = Intersect(target, IntRect{0, 0, plane.width(), plane.height()});
  for (int y = clip.top; y < clip.bottom; ++y)
    for (int x = clip.left; x < clip.right; ++x) plane.At(x, y) = grey.At(x - target.left, y - target.top);
  return Status::Ok();
}

void BoxLine(const float* in, float* out, int count, double width) {
  if (count <= 0) return;
  if (width <= 1.0) {
    std::copy(in, in + count, out);
    return;
  }
  const double half = (width - 1.0) / 2.0;
  const int k = static_cast<int>(std::floor(half));
  const double f = half - k;
  // Prefix sums over the line with k + 1 repeated edge pixels on both sides.
  const int pad = k + 1;
  std::vector<double> prefix(size_t(count + 2 * pad) + 1, 0.0);
  auto at = [&](int i) { return double(in[std::clamp(i, 0, count - 1)]); };
  for (int i = 0; i < count + 2 * pad; ++i) prefix[i + 1] = prefix[i] + at(i - pad);
  const double scale = 1.0 / width;
  for (int x = 0; x < count; ++x) {
    const int lo = x - k + pad, hi = x + k + pad;  // inclusive, in padded indices
    double sum = prefix[hi + 1] - prefix[lo];
    if (f > 0) sum += f * (at(x - k - 1) + at(x + k + 1));
    out[x] = static_cast<float>(sum * scale);
  }
}

void Feather(Plane& plane, const IntRect& region, double width) {
  if (width < 1.0 || plane.empty()) return;
  const int reach = static_cast<int>(std::ceil(width)) + 2;
  const IntRect area =
      Intersect(IntRect{region.left - reach, region.top - reach, region.right + reach, region.bottom + reach},
                IntRect{0, 0, plane.width(), plane.height()});
  if (area.Empty()) return;
  const int w = area.Width(), h = area.Height();
  std::vector<float> buffer(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) buffer[size_t(y) * w + x] = plane.At(area.left + x, area.top + y);
  const double pass = std::max(1.0, width / 3.0);
  ParallelFor(h, 16, [&](int64_t y0, int64_t y1) {
    std::vector<float> tmp(w);
    for (int64_t y = y0; y < y1; ++y) {
      float* row = &buffer[size_t(y) * w];
      for (int p = 0; p < 3; ++p) {
        BoxLine(row, tmp.data(), w, pass);
        std::copy(tmp.begin(), tmp.end(), row);
      }
    }
  });
  ParallelFor(w, 16, [&](int64_t x0, int64_t x1) {
    std::vector<float> column(h), tmp(h);
    for (int64_t x = x0; x < x1; ++x) {
      for (int y = 0; y < h; ++y) column[y] = buffer[size_t(y) * w + x];
      for (int p = 0; p < 3; ++p) {
        BoxLine(column.data(), tmp.data(), h, pass);
        std::swap(column, tmp);
      }
      for (int y = 0; y < h; ++y) buffer[size_t(y) * w + x] = column[y];
    }
  });
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      plane.At(area.left + x, area.top + y) =
          static_cast<uint8_t>(std::clamp(std::lround(buffer[size_t(y) * w + x]), 0L, 255L));
}

IntRect OpaqueBounds(const Image& image) {
  IntRect r{image.width(), image.height(), 0, 0};
  for (int y = 0; y < image.height(); ++y) {
    const Rgba8* row = image.Row(y);
    for (int x = 0; x < image.width(); ++x) {
      if (row[x].a == 0) continue;
      r.left = std::min(r.left, x);
      r.right = std::max(r.right, x + 1);
      r.top = std::min(r.top, y);
      r.bottom = std::max(r.bottom, y + 1);
    }
  }
  return r.Empty() ? IntRect{} : r;
}

Image Crop(const Image& image, const IntRect& r) {
  Image out;
  if (r.Empty() || !out.Create(r.Width(), r.Height()).ok()) return out;
  for (int y = 0; y < r.Height(); ++y)
    std::copy(image.Row(r.top + y) + r.left, image.Row(r.top + y) + r.right, out.Row(y));
  return out;
}

Result<Image> CoverCrop(const Image& picture, int width, int height) {
  if (picture.empty()) return Status::Error("empty picture");
  const double scale = std::max(double(width) / picture.width(), double(height) / picture.height());
  // The part of the picture that shows, in picture pixels, centred.
  const double sw = width / scale, sh = height / scale;
  const double sx = (picture.width() - sw) / 2, sy = (picture.height() - sh) / 2;
  Image out;
  if (Status s = out.Create(width, height); !s.ok()) return s;
  ResampleOptions options;
  options.filter = ResampleFilter::kBicubic;
  if (Status s = ResampleRegion(picture, RectF{sx, sy, sx + sw, sy + sh}, out, IntRect{0, 0, width, height},
                                options);
      !s.ok())
    return s;
  return out;
}

}  // namespace tessaro::authoring
