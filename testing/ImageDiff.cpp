#include "testing/ImageDiff.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tessaro::test {

ImageDifference Difference(const Image& a, const Image& b, const DiffOptions& options) {
  ImageDifference d;
  d.sameSize = a.width() == b.width() && a.height() == b.height() && !a.empty();
  if (!d.sameSize) {
    d.maxDiff = 256;
    return d;
  }
  IntRect area{0, 0, a.width(), a.height()};
  if (options.area) {
    area.left = std::max(area.left, options.area->left);
    area.top = std::max(area.top, options.area->top);
    area.right = std::min(area.right, options.area->right);
    area.bottom = std::min(area.bottom, options.area->bottom);
  }
  double squares = 0, colorSum = 0;
  size_t pixels = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      ++pixels;
      const Rgba8 p = a.At(x, y), q = b.At(x, y);
      if (options.ignoreClear && p.a == 0 && q.a == 0) continue;
      if (options.withAlpha) {
        const int alpha = std::abs(p.a - q.a);
        d.maxAlpha = std::max(d.maxAlpha, alpha);
        if (alpha > d.maxDiff) {
          d.maxDiff = alpha;
          d.worstX = x;
          d.worstY = y;
        }
        squares += double(alpha) * alpha;
      }
      if (p.a < options.colorMinAlpha || q.a < options.colorMinAlpha) continue;
      const int dr = std::abs(p.r - q.r), dg = std::abs(p.g - q.g), db = std::abs(p.b - q.b);
      const int color = std::max({dr, dg, db});
      d.maxColor = std::max(d.maxColor, color);
      if (color > d.maxDiff) {
        d.maxDiff = color;
        d.worstX = x;
        d.worstY = y;
      }
      squares += double(dr) * dr + double(dg) * dg + double(db) * db;
      colorSum += color;
      ++d.colorCompared;
      if (color > options.threshold) ++d.countOver;
    }
  if (d.colorCompared) d.meanColor = colorSum / double(d.colorCompared);
  const double mse = pixels ? squares / (double(pixels) * (options.withAlpha ? 4 : 3)) : 0;
  d.psnr = mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);
  return d;
}

int MaxDifference(const Image& a, const Image& b, const DiffOptions& options) {
  return Difference(a, b, options).maxDiff;
}

int MaxDifference(const Plane& a, const Plane& b) {
  if (a.width() != b.width() || a.height() != b.height()) return 256;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) worst = std::max(worst, std::abs(a.At(x, y) - b.At(x, y)));
  return worst;
}

double Psnr(const Image& a, const Image& b, const DiffOptions& options) {
  const ImageDifference d = Difference(a, b, options);
  return d.sameSize ? d.psnr : 0;
}

int PixelDifference(Rgba8 a, Rgba8 b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
}

bool SamePixels(const Image& a, const Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (!(a.At(x, y) == b.At(x, y))) return false;
  return true;
}

std::ostream& operator<<(std::ostream& out, const ImageDifference& d) {
  if (!d.sameSize) return out << "(sizes differ)";
  return out << "(max " << d.maxDiff << " at " << d.worstX << "," << d.worstY << ", colour max " << d.maxColor
             << " mean " << d.meanColor << ", alpha max " << d.maxAlpha << ", psnr " << d.psnr << " dB, "
             << d.countOver << " of " << d.colorCompared << " over the threshold)";
}

}  // namespace tessaro::test
