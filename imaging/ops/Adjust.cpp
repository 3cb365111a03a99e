#include "imaging/ops/Adjust.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/Parallel.h"
#include "imaging/PixelMath.h"
#include "imaging/ops/Blend.h"

namespace tessaro {

namespace {

using Lut = std::array<uint8_t, 256>;

// Calls fn(row, count) for each row's part of region inside the image, rows
// spread over the cores.
template <class Fn>
void ForEachRow(Image& image, const IntRect& region, Fn fn) {
  const IntRect area = Intersect(region, IntRect{0, 0, image.width(), image.height()});
  if (area.Empty()) return;
  ParallelFor(area.Height(), std::max(1, 65536 / area.Width()), [&](int64_t r0, int64_t r1) {
    for (int64_t r = r0; r < r1; ++r) fn(image.Row(area.top + int(r)) + area.left, area.Width());
  });
}

void ApplyLuts(Image& image, const IntRect& region, const Lut& r, const Lut& g, const Lut& b) {
  ForEachRow(image, region, [&](Rgba8* p, int n) {
    for (int i = 0; i < n; ++i) {
      p[i].r = r[p[i].r];
      p[i].g = g[p[i].g];
      p[i].b = b[p[i].b];
    }
  });
}

Lut Identity() {
  Lut l;
  for (int i = 0; i < 256; ++i) l[i] = uint8_t(i);
  return l;
}

template <class Fn>
Lut MakeLut(Fn curve) {
  Lut l;
  for (int i = 0; i < 256; ++i) l[i] = pixel::ClampByte(float(curve(i / 255.0) * 255.0));
  return l;
}

// Turns the HSL hue of c (channels in [0, 1]) by `shift` degrees keeping its
// HSL saturation and lightness, which means keeping the largest and smallest
// channel values: only which channel holds them and the middle value change.
void RotateHue(float c[3], float shift) {
  const float mx = std::max({c[0], c[1], c[2]}), mn = std::min({c[0], c[1], c[2]});
  const float d = mx - mn;
  if (d <= 0) return;  // grey: no hue
  float h;             // in sextants, [0, 6)
  if (mx == c[0])
    h = (c[1] - c[2]) / d + (c[1] < c[2] ? 6.0f : 0.0f);
  else if (mx == c[1])
    h = (c[2] - c[0]) / d + 2;
  else
    h = (c[0] - c[1]) / d + 4;
  h += shift / 60.0f;
  h = std::fmod(h, 6.0f);
  if (h < 0) h += 6;
  int k = int(h);
  if (k > 5) k = 5;
  const float t = h - float(k);
  const float rising = mn + d * t, falling = mn + d * (1 - t);
  switch (k) {
    case 0:
      c[0] = mx, c[1] = rising, c[2] = mn;
      break;
    case 1:
      c[0] = falling, c[1] = mx, c[2] = mn;
      break;
    case 2:
      c[0] = mn, c[1] = mx, c[2] = rising;
      break;
    case 3:
      c[0] = mn, c[1] = falling, c[2] = mx;
      break;
    case 4:
      c[0] = rising, c[1] = mn, c[2] = mx;
      break;
    default:
      c[0] = mx, c[1] = mn, c[2] = falling;
      break;
  }
}

}  // namespace

Status AdjustLevels(Image& image, const IntRect& region, const LevelsParams& p, unsigned channels) {
  if (p.inputBlack < 0 || p.inputWhite > 255 || p.inputBlack >= p.inputWhite)
    return Status::Error("levels: input range must satisfy 0 <= black < white <= 255");
  if (p.outputBlack < 0 || p.outputBlack > 255 || p.outputWhite < 0 || p.outputWhite > 255)
    return Status::Error("levels: output range must lie in 0..255");
  if (!(p.gamma >= 0.1 && p.gamma <= 9.99)) return Status::Error("levels: gamma must lie in 0.1..9.99");
  const double inB = p.inputBlack, inW = p.inputWhite, outB = p.outputBlack, outW = p.outputWhite;
  Lut curve;
  for (int i = 0; i < 256; ++i) {
    const double t = std::clamp((i - inB) / (inW - inB), 0.0, 1.0);
    curve[i] = pixel::ClampByte(float(outB + (outW - outB) * std::pow(t, 1.0 / p.gamma)));
  }
  const Lut id = Identity();
  ApplyLuts(image, region, channels & kAdjustRed ? curve : id, channels & kAdjustGreen ? curve : id,
            channels & kAdjustBlue ? curve : id);
  return Status::Ok();
}

Status AdjustBrightnessContrast(Image& image, const IntRect& region, int brightness, int contrast,
                                BrightnessContrastStyle style) {
  Lut curve;
  if (style == BrightnessContrastStyle::kModern) {
    if (brightness < -150 || brightness > 150) return Status::Error("brightness must lie in -150..150");
    if (contrast < -50 || contrast > 100) return Status::Error("contrast must lie in -50..100");
    const double gamma = std::exp2(-brightness / 100.0);
    const double slope = 1 + contrast / 100.0;
    curve = MakeLut([&](double v) {
      v = std::pow(v, gamma);
      return v < 0.5 ? std::pow(2 * v, slope) / 2 : 1 - std::pow(2 - 2 * v, slope) / 2;
    });
  } else {
    if (brightness < -100 || brightness > 100) return Status::Error("brightness must lie in -100..100");
    if (contrast < -100 || contrast > 100) return Status::Error("contrast must lie in -100..100");
    const double b = brightness / 255.0;
    if (contrast >= 100) {
      curve = MakeLut([&](double v) { return v + b >= 0.5 ? 1.0 : 0.0; });
    } else {
      const double k = contrast <= 0 ? 1 + contrast / 100.0 : 1 / (1 - contrast / 100.0);
      curve = MakeLut([&](double v) { return (v + b - 0.5) * k + 0.5; });
    }
  }
  ApplyLuts(image, region, curve, curve, curve);
  return Status::Ok();
}

Status MixChannels(Image& image, const IntRect& region, const ChannelMixerParams& mixer) {
  for (const auto& row : mixer.rows)
    for (int v : row)
      if (v < -200 || v > 200) return Status::Error("channel mixer values must lie in -200..200");
  // Sums in hundredths of a level.
  auto mix = [](const int* row, int r, int g, int b) -> uint8_t {
    const int v = row[0] * r + row[1] * g + row[2] * b + row[3] * 255;
    return v <= 0 ? 0 : uint8_t(std::min(255, (v + 50) / 100));
  };
  const auto& m = mixer.rows;
  ForEachRow(image, region, [&](Rgba8* p, int n) {
    for (int i = 0; i < n; ++i) {
      const int r = p[i].r, g = p[i].g, b = p[i].b;
      if (mixer.monochrome) {
        p[i].r = p[i].g = p[i].b = mix(m[0], r, g, b);
      } else {
        p[i].r = mix(m[0], r, g, b);
        p[i].g = mix(m[1], r, g, b);
        p[i].b = mix(m[2], r, g, b);
      }
    }
  });
  return Status::Ok();
}

Status AdjustHueSaturation(Image& image, const IntRect& region, int hue, int saturation, int lightness) {
  if (hue < -180 || hue > 180) return Status::Error("hue must lie in -180..180");
  if (saturation < -100 || saturation > 100) return Status::Error("saturation must lie in -100..100");
  if (lightness < -100 || lightness > 100) return Status::Error("lightness must lie in -100..100");
  const float factor = 1 + saturation / 100.0f;
  const float light = lightness / 100.0f;
  ForEachRow(image, region, [&](Rgba8* p, int n) {
    for (int i = 0; i < n; ++i) {
      float c[3] = {p[i].r * pixel::kInv255, p[i].g * pixel::kInv255, p[i].b * pixel::kInv255};
      if (hue != 0) RotateHue(c, float(hue));
      if (saturation != 0) {
        const float l = (std::max({c[0], c[1], c[2]}) + std::min({c[0], c[1], c[2]})) / 2;
        float k = factor;
        if (k > 1) {
          // Stop where the first channel reaches 0 or 1.
          for (float v : c) {
            if (v > l) k = std::min(k, (1 - l) / (v - l));
            if (v < l) k = std::min(k, l / (l - v));
          }
        }
        for (float& v : c) v = l + (v - l) * k;
      }
      if (light > 0)
        for (float& v : c) v += (1 - v) * light;
      else if (light < 0)
        for (float& v : c) v *= 1 + light;
      p[i].r = pixel::ClampByte(c[0] * 255);
      p[i].g = pixel::ClampByte(c[1] * 255);
      p[i].b = pixel::ClampByte(c[2] * 255);
    }
  });
  return Status::Ok();
}

Status ApplyColorOverlay(Image& image, const IntRect& region, Rgba8 fill, BlendMode mode, uint8_t opacity) {
  if (opacity == 0) return Status::Ok();
  const RgbF cs{fill.r * pixel::kInv255, fill.g * pixel::kInv255, fill.b * pixel::kInv255};
  const float k = opacity * pixel::kInv255;
  if (IsSeparable(mode)) {
    // Separable modes depend on each channel alone: one table per channel.
    Lut lut[3];
    const float fills[3] = {cs.r, cs.g, cs.b};
    for (int c = 0; c < 3; ++c)
      for (int v = 0; v < 256; ++v) {
        const float cb = v * pixel::kInv255;
        lut[c][v] = pixel::ClampByte(((1 - k) * cb + k * BlendChannel(mode, cb, fills[c])) * 255.0f);
      }
    ApplyLuts(image, region, lut[0], lut[1], lut[2]);
    return Status::Ok();
  }
  ForEachRow(image, region, [&](Rgba8* p, int n) {
    for (int i = 0; i < n; ++i) {
      const RgbF cb{p[i].r * pixel::kInv255, p[i].g * pixel::kInv255, p[i].b * pixel::kInv255};
      const RgbF b = BlendColor(mode, cb, cs);
      p[i].r = pixel::ClampByte(((1 - k) * cb.r + k * b.r) * 255.0f);
      p[i].g = pixel::ClampByte(((1 - k) * cb.g + k * b.g) * 255.0f);
      p[i].b = pixel::ClampByte(((1 - k) * cb.b + k * b.b) * 255.0f);
    }
  });
  return Status::Ok();
}

}  // namespace tessaro
