#include "engine/tests/ReferencePage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>

#include "base/FileIo.h"
#include "base/Text.h"
#include "imaging/psd/Psd.h"
#include "model/Package.h"
#include "testing/Reference.h"

namespace tessaro::enginetest {
namespace {

// Premultiplied RGBA in 0..255 floats.
struct FPixel {
  float r = 0, g = 0, b = 0, a = 0;
};

struct FImage {
  int w = 0, h = 0;
  std::vector<FPixel> px;
  FImage() = default;
  FImage(int width, int height) : w(width), h(height), px(size_t(width) * height) {}
  FPixel& At(int x, int y) { return px[size_t(y) * w + x]; }
  const FPixel& At(int x, int y) const { return px[size_t(y) * w + x]; }
};

FImage FromImage(const Image& image) {
  FImage f(image.width(), image.height());
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const Rgba8 p = image.At(x, y);
      const float k = p.a / 255.0f;
      f.At(x, y) = {p.r * k, p.g * k, p.b * k, float(p.a)};
    }
  return f;
}

FImage FromPlane(const Plane& plane) {
  FImage f(plane.width(), plane.height());
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const float v = plane.At(x, y);
      f.At(x, y) = {v, v, v, v};
    }
  return f;
}

uint8_t Byte(float v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

Rgba8 Straight(const FPixel& p) {
  if (p.a <= 0) return {0, 0, 0, 0};
  const float k = 255.0f / p.a;
  return {Byte(p.r * k), Byte(p.g * k), Byte(p.b * k), Byte(p.a)};
}

// Box average over f x f blocks (the last blocks average what there is).
FImage Shrink(const FImage& s, int f) {
  if (f <= 1) return s;
  FImage d((s.w + f - 1) / f, (s.h + f - 1) / f);
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x) {
      FPixel sum;
      int n = 0;
      for (int yy = y * f; yy < std::min(s.h, y * f + f); ++yy)
        for (int xx = x * f; xx < std::min(s.w, x * f + f); ++xx) {
          const FPixel& p = s.At(xx, yy);
          sum.r += p.r, sum.g += p.g, sum.b += p.b, sum.a += p.a, ++n;
        }
      d.At(x, y) = {sum.r / n, sum.g / n, sum.b / n, sum.a / n};
    }
  return d;
}

// Bilinear sample at continuous coordinates (pixel i covers [i, i + 1)).
// Outside the picture: the nearest edge pixel when clamping, else clear.
FPixel Sample(const FImage& s, double x, double y, bool clamp) {
  const double fx = x - 0.5, fy = y - 0.5;
  const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
  const float tx = float(fx - x0), ty = float(fy - y0);
  auto get = [&](int xx, int yy) -> FPixel {
    if (clamp) {
      xx = std::clamp(xx, 0, s.w - 1);
      yy = std::clamp(yy, 0, s.h - 1);
    } else if (xx < 0 || yy < 0 || xx >= s.w || yy >= s.h) {
      return {};
    }
    return s.At(xx, yy);
  };
  const FPixel a = get(x0, y0), b = get(x0 + 1, y0), c = get(x0, y0 + 1), d = get(x0 + 1, y0 + 1);
  auto mix = [&](float p, float q, float r, float t) {
    return (p * (1 - tx) + q * tx) * (1 - ty) + (r * (1 - tx) + t * tx) * ty;
  };
  return {mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b), mix(a.a, b.a, c.a, d.a)};
}

// A source picture sampled at a footprint of `footprint` source pixels per
// page pixel: shrunk by the whole part of it first.
struct FSource {
  FImage shrunk;
  int factor = 1;
  FSource(const FImage& s, double footprint) : factor(std::max(1, int(std::floor(footprint)))) {
    shrunk = Shrink(s, factor);
  }
  FPixel At(double x, double y, bool clamp) const { return Sample(shrunk, x / factor, y / factor, clamp); }
};

// The whole picture stretched to width x height.
FImage Stretch(const FImage& s, int width, int height, bool clamp) {
  const double kx = double(s.w) / width, ky = double(s.h) / height;
  const FSource src(s, std::min(kx, ky));
  FImage d(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) d.At(x, y) = src.At((x + 0.5) * kx, (y + 0.5) * ky, clamp);
  return d;
}

// dst = src * k + dst * (1 - src.a / 255 * k).
void Over(FPixel& dst, const FPixel& src, float k) {
  const float keep = 1 - src.a / 255.0f * k;
  dst = {src.r * k + dst.r * keep, src.g * k + dst.g * keep, src.b * k + dst.b * keep,
         src.a * k + dst.a * keep};
}

int Round(double v) { return int(std::nearbyint(v)); }  // halves to even (default rounding mode)

Result<FImage> DecodeWithImageMagick(const std::string& path) {
  std::optional<Image> image = test::ReferenceDecode(path);
  if (!image) return Status::Error("ImageMagick cannot read " + path);
  return FromImage(*image);
}

// Photo pixels whose alpha is not zero: the bounds of the photo's layer.
struct FBox {
  int left = 0, top = 0, right = 0, bottom = 0;
};
FBox OpaqueBox(const FImage& s) {
  FBox b{s.w, s.h, 0, 0};
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      if (s.At(x, y).a > 0) {
        b.left = std::min(b.left, x), b.top = std::min(b.top, y);
        b.right = std::max(b.right, x + 1), b.bottom = std::max(b.bottom, y + 1);
      }
  return b;
}

}  // namespace

void ExpectedMarkCorner(int orient, int width, int height, int bw, int bh, int marginH, int marginV, int& x,
                        int& y) {
  const int column = orient > 8 ? 2 : orient % 3;
  const int row = orient > 8 ? 2 : orient / 3;
  const int xs[3] = {marginH, (width - bw) / 2, width - marginH - bw};
  const int ys[3] = {marginV, (height - bh) / 2, height - marginV - bh};
  x = xs[column];
  y = ys[row];
}

Result<Image> ReferencePage(const TReferenceRequest& q) {
  const TTempNode& a = *q.Set->PreviewTemps[q.TemplateIndex];
  const TTempNode& b = *q.Set->ResultTemps[q.TemplateIndex];
  const std::string name = q.Preview ? "brivanto_a" : "brivanto_b";
  const int O = q.Width, P = q.Height;

  // The background picture over the whole page.
  const std::string plain = q.ScratchFolder + "/reference_background.jpg";
  if (Status s = DecipherTemplateImage(a.Folder + name + ".jpg", plain); !s.ok()) return s;
  Result<FImage> background = DecodeWithImageMagick(plain);
  std::filesystem::remove(plain);
  if (!background.ok()) return background.status();
  FImage page = Stretch(*background, O, P, true);

  // The template document: its size, channels and overlay layers.
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(a.Folder + name + ".psd");
  if (!bytes.ok()) return bytes.status();
  PsdReadOptions options;
  options.composite = false;
  Result<PsdDocument> doc = ReadPsd(*bytes, options);
  if (!doc.ok()) return doc.status();
  const int W0 = doc->width, H0 = doc->height;

  // The photos, in placement order.
  const auto& placements = q.Preview ? a.Placements : b.Placements;
  std::map<std::string, FImage> photos;
  for (size_t i = 0; i < b.Placements.size() && i < placements.size(); ++i) {
    const TPlacement& pl = *placements[i];
    const TSlotNode& slot = *a.Slots.at(pl.SlotNumber - 1);
    if (slot.PhotoIndex == -1) continue;
    const std::string& file = q.Set->Photos.at(slot.PhotoIndex)->FileName;
    if (!photos.count(file)) {
      Result<FImage> decoded = DecodeWithImageMagick(file);
      if (!decoded.ok()) return decoded.status();
      photos[file] = std::move(decoded).value();
    }
    const FImage& photo = photos[file];
    const int pw = photo.w, ph = photo.h;
    const FBox l = OpaqueBox(photo);

    // The slot in page pixels.
    const int rl = Round(pl.Rect.Left), rt = Round(pl.Rect.Top), rr = Round(pl.Rect.Right),
              rb = Round(pl.Rect.Bottom);
    const int left = Round(double(O) * rl / W0), right = Round(double(O) * rr / W0);
    const int top = Round(double(P) * rt / H0), bottom = Round(double(P) * rb / H0);
    const int sw = right - left, sh = bottom - top;

    // Scale, the picture's centre against its layer's, the slot centre.
    const float zx = float(sw) * slot.ScaleX / float(pw), zy = float(sh) * slot.ScaleY / float(ph);
    const double cx = (pw - (l.left + l.right)) / 2.0 * zx, cy = (ph - (l.top + l.bottom)) / 2.0 * zy;
    const double sx = (left + right) / 2.0 + (right - left) * double(slot.OffsetX);
    const double sy = (top + bottom) / 2.0 + (bottom - top) * double(slot.OffsetY);
    // The layer's centre lands on (sx - cx, sy - cy); the layer is scaled
    // (mirrored) about it and turned by -Angle (clockwise positive).
    const double layerX = sx - cx, layerY = sy - cy;
    const double lcx = (l.left + l.right) / 2.0, lcy = (l.top + l.bottom) / 2.0;
    const double kx = (slot.FlipH ? -1 : 1) * double(zx), ky = (slot.FlipV ? -1 : 1) * double(zy);
    const double t = double(slot.Angle) * M_PI / 180;
    const double cosT = std::cos(t), sinT = std::sin(t);

    const FSource source(photo, 1 / std::min(std::fabs(kx), std::fabs(ky)));
    auto channel =
        std::find_if(doc->alphaChannels.begin(), doc->alphaChannels.end(),
                     [&](const PsdAlphaChannel& c) { return c.name == DecodeLegacyText(pl.ChannelName); });
    if (channel == doc->alphaChannels.end()) return Status::Error("no channel " + pl.ChannelName);
    const FImage mask = Stretch(FromPlane(channel->pixels), O, P, false);
    const auto look = q.Looks.find(pl.SlotNumber);
    const float opacity = look == q.Looks.end() ? 1.0f : float(look->second.Opacity / 100);
    for (int y = 0; y < P; ++y)
      for (int x = 0; x < O; ++x) {
        const float m = mask.At(x, y).a / 255.0f;
        if (m <= 0) continue;
        // Page to photo: undo the turn, then the scale.
        const double dx = x + 0.5 - layerX, dy = y + 0.5 - layerY;
        const double ux = dx * cosT - dy * sinT, uy = dx * sinT + dy * cosT;
        FPixel p = source.At(lcx + ux / kx, lcy + uy / ky, false);
        if (p.a <= 0) continue;
        if (look != q.Looks.end() && look->second.Filter) {
          const Rgba8 c = look->second.Filter(Straight(p));
          const float k = p.a / 255.0f;
          p = {c.r * k, c.g * k, c.b * k, p.a};
        }
        Over(page.At(x, y), p, m * opacity);
      }
  }

  // The watermark: pasted centred above the active layer (the last photo,
  // so under the overlays), scaled about its centre, moved to its corner by
  // whole pixels.
  const TAppSettings* s = q.Settings;
  if (s && s->ShowWaterMark && std::filesystem::exists(s->WaterMarkFile)) {
    Result<FImage> mark = DecodeWithImageMagick(s->WaterMarkFile);
    if (!mark.ok()) return mark.status();
    const double k = s->WaterMarkScale / 100.0;
    const double pastedLeft = std::floor((O - mark->w) / 2.0), pastedTop = std::floor((P - mark->h) / 2.0);
    const double bl = pastedLeft + mark->w * (1 - k) / 2, bt = pastedTop + mark->h * (1 - k) / 2;
    const int bw = Round(mark->w * k), bh = Round(mark->h * k);
    int x = 0, y = 0;
    ExpectedMarkCorner(s->Orient, O, P, bw, bh, s->MarginH, s->MarginV, x, y);
    const double markLeft = bl + Round(x - bl), markTop = bt + Round(y - bt);
    const FSource source(*mark, 1 / k);
    const float opacity = float(100 - s->WaterMarkTrans) / 100;
    for (int yy = std::max(0, int(markTop) - 1); yy < std::min(P, int(markTop) + bh + 1); ++yy)
      for (int xx = std::max(0, int(markLeft) - 1); xx < std::min(O, int(markLeft) + bw + 1); ++xx)
        Over(page.At(xx, yy), source.At((xx + 0.5 - markLeft) / k, (yy + 0.5 - markTop) / k, false), opacity);
  }

  // Overlay layers, in their order from the bottom, over everything else.
  for (const PsdLayer& layer : doc->layers) {
    std::string trimmed = layer.name;
    trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
    std::transform(trimmed.begin(), trimmed.end(), trimmed.begin(),
                   [](char c) { return char(std::tolower(c)); });
    if (trimmed != "brivanto" || !layer.visible || layer.pixels.empty()) continue;
    FImage full(W0, H0);
    const FImage pixels = FromImage(layer.pixels);
    for (int y = 0; y < pixels.h; ++y)
      for (int x = 0; x < pixels.w; ++x) {
        const int X = x + layer.bounds.left, Y = y + layer.bounds.top;
        if (X >= 0 && Y >= 0 && X < W0 && Y < H0) full.At(X, Y) = pixels.At(x, y);
      }
    const FImage over = Stretch(full, O, P, false);
    for (int y = 0; y < P; ++y)
      for (int x = 0; x < O; ++x) Over(page.At(x, y), over.At(x, y), layer.opacity / 255.0f);
  }

  Image out;
  if (Status st = out.Create(O, P); !st.ok()) return st;
  for (int y = 0; y < P; ++y)
    for (int x = 0; x < O; ++x) {
      Rgba8 p = Straight(page.At(x, y));
      p.a = 255;
      out.At(x, y) = p;
    }
  return out;
}

}  // namespace tessaro::enginetest
