#include "tools/pack/Scenes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "base/Parallel.h"

namespace tessaro::authoring {

namespace {

// ---- Small maths ----------------------------------------------------------

struct Col {
  float r = 0, g = 0, b = 0;
};
Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Col operator*(Col a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Col Mix(Col a, Col b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Col Hex(uint32_t rgb) {
  return {float((rgb >> 16) & 255) / 255.f, float((rgb >> 8) & 255) / 255.f, float(rgb & 255) / 255.f};
}
float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
float Smooth(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}
uint32_t Hash(int x, int y, uint32_t seed) {
  return Hash(uint32_t(x) * 0x9E3779B1U ^ Hash(uint32_t(y) * 0x85EBCA77U ^ seed));
}
float Rand01(uint32_t h) { return float(h >> 8) / 16777216.0f; }

float Noise2(float x, float y, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const float a = Rand01(Hash(ix, iy, seed)), b = Rand01(Hash(ix + 1, iy, seed));
  const float c = Rand01(Hash(ix, iy + 1, seed)), d = Rand01(Hash(ix + 1, iy + 1, seed));
  return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}
float Fbm(float x, float y, uint32_t seed, int octaves) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * Noise2(x, y, seed + uint32_t(o) * 101U);
    norm += amp;
    x *= 2.03f;
    y *= 2.03f;
    amp *= 0.5f;
  }
  return sum / norm;
}
float Fbm1(float x, uint32_t seed, int octaves) { return Fbm(x, 0.5f, seed, octaves); }

// A small deterministic generator for layout choices.
class Rng {
 public:
  explicit Rng(uint32_t seed) : FState(seed * 2654435761U + 12345U) {}
  float Next() {
    FState = Hash(FState + 0x9E3779B9U);
    return Rand01(FState);
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }

 private:
  uint32_t FState;
};

// ---- Signed distances (pixels, negative inside) --------------------------

float Segment(float px, float py, float ax, float ay, float bx, float by, float ra, float rb) {
  const float vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
  const float len2 = vx * vx + vy * vy;
  const float t = len2 > 0 ? Clamp01((wx * vx + wy * vy) / len2) : 0;
  const float dx = wx - vx * t, dy = wy - vy * t;
  return std::sqrt(dx * dx + dy * dy) - (ra + (rb - ra) * t);
}
float Circle(float px, float py, float cx, float cy, float r) {
  return std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy)) - r;
}

// One part of a figure: a capsule (a circle when both ends coincide).
struct Part {
  float ax, ay, bx, by, ra, rb;
  Col color;
};

// Draws parts over the image with coverage anti-aliasing; `alphaOut`
// also raises the alpha of the picture (cut-outs).
void DrawParts(Image& img, const std::vector<Part>& parts, bool alphaOut, float shade = 0.25f) {
  if (parts.empty()) return;
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const Part& p : parts) {
    const float r = std::max(p.ra, p.rb) + 2;
    x0 = std::min({x0, p.ax - r, p.bx - r});
    x1 = std::max({x1, p.ax + r, p.bx + r});
    y0 = std::min({y0, p.ay - r, p.by - r});
    y1 = std::max({y1, p.ay + r, p.by + r});
  }
  const int ix0 = std::max(0, int(x0)), ix1 = std::min(img.width(), int(x1) + 1);
  const int iy0 = std::max(0, int(y0)), iy1 = std::min(img.height(), int(y1) + 1);
  if (ix0 >= ix1 || iy0 >= iy1) return;
  ParallelFor(iy1 - iy0, 32, [&](int64_t a, int64_t b) {
    for (int y = iy0 + int(a); y < iy0 + int(b); ++y) {
      Rgba8* row = img.Row(y);
      for (int x = ix0; x < ix1; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        float best = 1e9f;
        const Part* which = nullptr;
        for (const Part& p : parts) {
          const float d = Segment(px, py, p.ax, p.ay, p.bx, p.by, p.ra, p.rb);
          if (d < best) {
            best = d;
            which = &p;
          }
        }
        const float cover = Clamp01(0.5f - best);
        if (cover <= 0) continue;
        // A little roundness: darker towards the part's edge.
        const float depth = Clamp01(-best / std::max(2.0f, std::max(which->ra, which->rb)));
        const Col c = which->color * (1 - shade + shade * std::sqrt(depth));
        Rgba8& o = row[x];
        const float a0 = alphaOut ? o.a / 255.f : 1.f;
        const float a = cover + a0 * (1 - cover);
        auto blend = [&](uint8_t dst, float src) {
          const float v = (Clamp01(src) * cover + dst / 255.f * a0 * (1 - cover)) / std::max(a, 1e-6f);
          return uint8_t(std::lround(Clamp01(v) * 255));
        };
        o.r = blend(o.r, c.r);
        o.g = blend(o.g, c.g);
        o.b = blend(o.b, c.b);
        if (alphaOut) o.a = uint8_t(std::lround(a * 255));
      }
    }
  });
}

// A standing person, feet at (cx, base), `h` pixels tall.
std::vector<Part> Person(float cx, float base, float h, Col body, Col skin, Col legs, bool dress,
                         float lean = 0) {
  const float top = base - h;
  auto X = [&](float dx, float y) { return cx + dx * h + lean * (base - y); };
  std::vector<Part> p;
  const float neckY = top + 0.17f * h, hipY = top + 0.55f * h;
  // legs
  p.push_back(
      {X(-0.045f, hipY), hipY, X(-0.06f, base - 0.02f * h), base - 0.02f * h, 0.045f * h, 0.035f * h, legs});
  p.push_back(
      {X(0.045f, hipY), hipY, X(0.06f, base - 0.02f * h), base - 0.02f * h, 0.045f * h, 0.035f * h, legs});
  // arms
  p.push_back({X(-0.1f, neckY + 0.05f * h), neckY + 0.05f * h, X(-0.16f, hipY + 0.02f * h), hipY + 0.02f * h,
               0.035f * h, 0.03f * h, body});
  p.push_back({X(0.1f, neckY + 0.05f * h), neckY + 0.05f * h, X(0.16f, hipY + 0.02f * h), hipY + 0.02f * h,
               0.035f * h, 0.03f * h, body});
  // torso (a dress widens to the knees)
  if (dress)
    p.push_back({X(0, neckY + 0.06f * h), neckY + 0.06f * h, X(0, top + 0.74f * h), top + 0.74f * h,
                 0.085f * h, 0.17f * h, body});
  else
    p.push_back({X(0, neckY + 0.07f * h), neckY + 0.07f * h, X(0, hipY), hipY, 0.1f * h, 0.085f * h, body});
  // neck and head
  p.push_back({X(0, neckY - 0.03f * h), neckY - 0.03f * h, X(0, neckY + 0.03f * h), neckY + 0.03f * h,
               0.03f * h, 0.03f * h, skin});
  const float headY = top + 0.085f * h;
  p.push_back({X(0, headY), headY, X(0, headY), headY, 0.075f * h, 0.075f * h, skin});
  return p;
}

// ---- Landscapes -------------------------------------------------------------

struct Ridge {
  float base;       // height of the ridge line, fraction of the picture height
  float amplitude;  // fraction of the height
  float frequency;  // bumps across the width
  int octaves;
  Col color;
  float sharp = 0;  // 1: mountain peaks (|noise|), 0: rolling hills
  bool front = false;
  float texture = 0.06f;
};

struct Landscape {
  std::vector<std::pair<float, Col>> sky;  // gradient stops from the top (v, colour)
  float horizon = 0.6f;                    // water line / lowest sky, fraction of height
  bool water = false;
  Col waterTint = Hex(0x204060);
  float sunU = 0.5f, sunV = 0.5f, sunR = 0.04f;  // fraction of the shorter side for the radius
  Col sun = Hex(0xfff2c0);
  float glow = 0.6f;
  float clouds = 0.3f;
  Col cloudColor = Hex(0xffffff);
  bool stars = false, aurora = false;
  std::vector<Ridge> ridges;  // back to front
  Col haze = Hex(0xd0d8e0);
  bool city = false;
};

Col Gradient(const std::vector<std::pair<float, Col>>& stops, float v) {
  if (v <= stops.front().first) return stops.front().second;
  for (size_t i = 1; i < stops.size(); ++i)
    if (v <= stops[i].first) {
      const float t = (v - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
      return Mix(stops[i - 1].second, stops[i].second, Smooth(0, 1, t));
    }
  return stops.back().second;
}

struct Painter {
  const Landscape& L;
  int W, H;
  uint32_t seed;
  float S;                                 // shorter side
  std::vector<std::vector<float>> ridgeY;  // per ridge, per column: pixel row of the ridge line
  std::vector<float> cityTop;              // per column: top row of the skyline (H when none)
  std::vector<uint32_t> cityId;

  Painter(const Landscape& l, int w, int h, uint32_t s)
      : L(l), W(w), H(h), seed(s), S(float(std::min(w, h))) {
    const float aspect = float(W) / float(H);
    for (size_t i = 0; i < L.ridges.size(); ++i) {
      const Ridge& r = L.ridges[i];
      std::vector<float> ys(W);
      for (int x = 0; x < W; ++x) {
        const float u = (x + 0.5f) / W * aspect / 1.5f;
        float n = Fbm1(u * r.frequency, seed + 17U * uint32_t(i + 1), r.octaves);
        if (r.sharp > 0) n = (1 - r.sharp) * n + r.sharp * (1 - std::fabs(2 * n - 1));
        ys[x] = (r.base - r.amplitude * (n - 0.5f) * 2) * H;
      }
      ridgeY.push_back(std::move(ys));
    }
    if (L.city) {
      cityTop.assign(W, float(H));
      cityId.assign(W, 0);
      Rng rng(seed ^ 0xC17);
      int x = 0;
      uint32_t id = 1;
      while (x < W) {
        const int bw = int(rng.Range(0.03f, 0.09f) * W) + 2;
        const float top = (L.horizon - rng.Range(0.05f, 0.32f) * (rng.Next() < 0.15f ? 1.5f : 1.0f)) * H;
        for (int k = x; k < std::min(W, x + bw); ++k) {
          cityTop[k] = top;
          cityId[k] = id;
        }
        x += bw + (rng.Next() < 0.3f ? int(0.005f * W) : 0);
        ++id;
      }
    }
  }

  Col Sky(float x, float y) const {
    const float v = y / H;
    Col c = Gradient(L.sky, v / std::max(0.05f, L.horizon));
    const float dx = (x - L.sunU * W) / S, dy = (y - L.sunV * H) / S;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (L.glow > 0)
      c = c + L.sun * (L.glow * 0.55f * std::exp(-d * d / 0.045f) + L.glow * 0.25f * std::exp(-d / 0.25f));
    if (L.clouds > 0) {
      const float n = Fbm(x / S * 3.0f, y / S * 9.0f, seed + 5, 5);
      const float amount =
          Smooth(0.62f - 0.25f * L.clouds, 0.85f, n) * (1 - Smooth(0.7f, 1.0f, v / L.horizon));
      const Col lit = Mix(L.cloudColor, L.sun, 0.35f * Clamp01(1 - d * 2));
      c = Mix(c, lit, amount * 0.85f);
    }
    if (L.stars) {
      const int cell = std::max(2, int(S / 260));
      const int cx = int(x) / cell, cy = int(y) / cell;
      const uint32_t h = Hash(cx, cy, seed + 99);
      if ((h & 63) == 0) {
        const float sx = (cx + Rand01(Hash(h))) * cell, sy = (cy + Rand01(Hash(h + 1))) * cell;
        const float r = Circle(x, y, sx, sy, 0.6f + 1.2f * Rand01(Hash(h + 2)) * S / 1500);
        c = c + Col{0.9f, 0.92f, 1.0f} * (Clamp01(0.5f - r) * (0.4f + 0.6f * Rand01(Hash(h + 3))));
      }
    }
    if (L.aurora) {
      const float u = x / S;
      const float centre = 0.28f + 0.12f * (Fbm1(u * 1.5f, seed + 7, 3) - 0.5f) * 2;
      const float band = std::exp(-std::pow((v - centre) / 0.09f, 2.0f));
      const float curtains = 0.5f + 0.5f * Fbm(u * 30.0f, v * 2.0f, seed + 8, 3);
      const float upper = Smooth(centre + 0.05f, centre - 0.2f, v);
      c = c + Hex(0x3cff9a) * (band * curtains * 0.8f) +
          Hex(0xb040ff) * (upper * curtains * 0.25f * band * 2);
    }
    if (!cityTop.empty() && y >= cityTop[int(std::clamp(x, 0.f, W - 1.f))] && v <= L.horizon) {
      const int col = int(std::clamp(x, 0.f, W - 1.f));
      const uint32_t id = cityId[col];
      Col wall = Mix(Hex(0x1b1e33), Hex(0x2a2440), Rand01(Hash(id)));
      const int cw = std::max(3, int(S / 90)), ch = std::max(4, int(S / 60));
      const int wx = int(x) / cw, wy = int(y - cityTop[col]) / ch;
      const float fx = std::fmod(x, float(cw)) / cw, fy = std::fmod(y - cityTop[col], float(ch)) / ch;
      if (fx > 0.25f && fx < 0.75f && fy > 0.3f && fy < 0.75f && wy > 0 && (Hash(wx, wy, id) % 100) < 45)
        wall = Mix(Hex(0xffd37a), Hex(0xfff0c8), Rand01(Hash(wx, wy, id + 1)));
      return wall;
    }
    return c;
  }

  // Sky and the ridges that stand behind the water line.
  Col Above(float x, float y, bool frontToo) const {
    Col c = Sky(x, y);
    const int col = int(std::clamp(x, 0.f, W - 1.f));
    for (size_t i = 0; i < L.ridges.size(); ++i) {
      const Ridge& r = L.ridges[i];
      if (r.front && !frontToo) continue;
      const float edge = ridgeY[i][col];
      const float cover = Clamp01(y + 0.5f - edge);
      if (cover <= 0) continue;
      const float depth = (y - edge) / H;
      const float tex = Fbm(x / S * 40.0f, y / S * 40.0f, seed + 31U * uint32_t(i), 3) - 0.5f;
      Col rc = r.color * (1.0f + r.texture * tex * 2 - 0.25f * Clamp01(depth * 3));
      if (r.sharp > 0.5f) {  // snow caps on the highest parts of mountains
        const float snowLine = (r.base - r.amplitude * 0.35f) * H;
        const float wobble = (Fbm(x / S * 12.0f, y / S * 12.0f, seed + 61, 3) - 0.5f) * 0.08f * H;
        const float snow = Smooth(snowLine + 0.03f * H, snowLine - 0.03f * H, y + wobble);
        rc = Mix(rc, Hex(0xf4f6fa) * (0.9f + 0.1f * tex), snow * 0.85f);
      }
      c = Mix(c, rc, cover);
    }
    return c;
  }

  Col Pixel(float x, float y) const {
    const float v = y / H;
    Col c;
    if (L.water && v > L.horizon) {
      const float depth = (v - L.horizon) / (1 - L.horizon);
      const float ripple =
          (Fbm(x / S * 2.0f, y / S * 40.0f, seed + 77, 3) - 0.5f) * S * 0.02f * (0.3f + depth);
      const float my = 2 * L.horizon * H - y;
      c = Mix(Above(x + ripple, std::max(0.f, my), false), L.waterTint, 0.3f + 0.35f * depth);
      // sun glitter below the sun
      const float dx = std::fabs(x - L.sunU * W) / S;
      const float glitter = Smooth(0.55f, 0.9f, Fbm(x / S * 60.0f, y / S * 200.0f, seed + 3, 2));
      c = c + L.sun * (glitter * L.glow * Smooth(0.12f + depth * 0.1f, 0.0f, dx) * 0.8f);
      // front ridges over the water (shores)
      const int col = int(std::clamp(x, 0.f, W - 1.f));
      for (size_t i = 0; i < L.ridges.size(); ++i) {
        if (!L.ridges[i].front) continue;
        const float cover = Clamp01(y + 0.5f - ridgeY[i][col]);
        if (cover > 0) {
          const float tex = Fbm(x / S * 40.0f, y / S * 40.0f, seed + 31U * uint32_t(i), 3) - 0.5f;
          c = Mix(c, L.ridges[i].color * (1 + L.ridges[i].texture * tex * 2), cover);
        }
      }
    } else {
      c = Above(x, y, true);
    }
    return c;
  }
};

void Finish(Image& img, uint32_t seed, float vignette) {
  const int W = img.width(), H = img.height();
  ParallelFor(H, 32, [&](int64_t a, int64_t b) {
    for (int y = int(a); y < int(b); ++y) {
      Rgba8* row = img.Row(y);
      for (int x = 0; x < W; ++x) {
        const float dx = (x + 0.5f) / W - 0.5f, dy = (y + 0.5f) / H - 0.5f;
        const float k = 1 - vignette * (dx * dx + dy * dy) * 1.6f;
        const float grain = (Rand01(Hash(x, y, seed + 4242)) - 0.5f) * 6;
        auto f = [&](uint8_t v) { return uint8_t(std::clamp(std::lround(v * k + grain), 0L, 255L)); };
        row[x].r = f(row[x].r);
        row[x].g = f(row[x].g);
        row[x].b = f(row[x].b);
      }
    }
  });
}

uint8_t To8(float v) { return uint8_t(std::lround(Clamp01(v) * 255)); }

Image PaintLandscape(const Landscape& l, int W, int H, uint32_t seed) {
  Image img;
  if (!img.Create(W, H).ok()) return img;
  Painter painter(l, W, H, seed);
  ParallelFor(H, 8, [&](int64_t a, int64_t b) {
    for (int y = int(a); y < int(b); ++y) {
      Rgba8* row = img.Row(y);
      for (int x = 0; x < W; ++x) {
        const Col c = painter.Pixel(x + 0.5f, y + 0.5f);
        row[x] = Rgba8{To8(c.r), To8(c.g), To8(c.b), 255};
      }
    }
  });
  return img;
}

void Flowers(Image& img, float top, float bottom, uint32_t seed, std::vector<Col> colors) {
  const int W = img.width(), H = img.height();
  const float S = float(std::min(W, H));
  Rng rng(seed);
  const int rows = 28;
  for (int r = 0; r < rows; ++r) {
    const float t = float(r) / rows;  // far to near
    const float y = (top + (bottom - top) * t * t) * H;
    const float size = S * (0.004f + 0.02f * t * t);
    const int count = int(W / (size * 2.2f)) + 1;
    for (int i = 0; i < count; ++i) {
      const float x = (i + rng.Range(-0.4f, 0.4f)) * size * 2.2f;
      const float yy = y + rng.Range(-1.f, 1.f) * size * 1.5f;
      const Col c = colors[size_t(rng.Next() * colors.size()) % colors.size()] * rng.Range(0.85f, 1.1f);
      std::vector<Part> parts;
      parts.push_back({x, yy, x + rng.Range(-0.3f, 0.3f) * size, yy + size * 3, size * 0.08f, size * 0.08f,
                       Hex(0x3f6b2a)});
      for (int p = 0; p < 5; ++p) {
        const float a = p * 1.2566f + rng.Range(0, 0.5f);
        parts.push_back({x, yy, x + std::cos(a) * size * 0.55f, yy + std::sin(a) * size * 0.45f, size * 0.22f,
                         size * 0.32f, c});
      }
      parts.push_back({x, yy, x, yy, size * 0.18f, size * 0.18f, Hex(0xf2c23a)});
      DrawParts(img, parts, false, 0.35f);
    }
  }
}

void PineTrees(Image& img, float baseV, float heightV, int count, uint32_t seed, Col color, bool snow) {
  const int W = img.width(), H = img.height();
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const float x = rng.Range(0, 1) * W;
    const float h = heightV * H * rng.Range(0.6f, 1.3f);
    const float base = (baseV + rng.Range(-0.04f, 0.06f)) * H;
    std::vector<Part> parts;
    parts.push_back({x, base, x, base - h * 0.15f, h * 0.02f, h * 0.02f, Hex(0x3a2a1e)});
    for (int k = 0; k < 5; ++k) {
      const float yk = base - h * (0.15f + 0.17f * k);
      const float wk = h * (0.26f - 0.045f * k);
      const Col c = snow && k % 2 == 1 ? Hex(0xe8eef5) : color;
      parts.push_back({x - wk, yk, x + wk, yk, h * 0.025f, h * 0.025f, c});
      parts.push_back({x, yk - h * 0.2f, x, yk - h * 0.02f, h * 0.01f, wk * 0.9f, c});
    }
    DrawParts(img, parts, false, 0.3f);
  }
}

void RoundTrees(Image& img, float baseV, float heightV, int count, uint32_t seed) {
  const int W = img.width(), H = img.height();
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const float x = rng.Range(0, 1) * W, h = heightV * H * rng.Range(0.7f, 1.3f);
    const float base = (baseV + rng.Range(-0.02f, 0.03f)) * H;
    const Col green = Mix(Hex(0x2f5d2a), Hex(0x5c8a35), rng.Next());
    std::vector<Part> parts{{x, base, x, base - h * 0.5f, h * 0.04f, h * 0.03f, Hex(0x4a3526)}};
    for (int k = 0; k < 5; ++k)
      parts.push_back({x + rng.Range(-0.2f, 0.2f) * h, base - h * rng.Range(0.55f, 0.85f), x, base - h * 0.7f,
                       h * rng.Range(0.14f, 0.22f), h * 0.2f, green});
    DrawParts(img, parts, false, 0.45f);
  }
}

void Bokeh(Image& img, uint32_t seed, int count) {
  const int W = img.width(), H = img.height();
  const float S = float(std::min(W, H));
  Rng rng(seed);
  const Col palette[] = {Hex(0xffcf7a), Hex(0xffa25c), Hex(0xfff1c9), Hex(0xff7f9a), Hex(0x9fd0ff)};
  for (int i = 0; i < count; ++i) {
    const float cx = rng.Range(-0.05f, 1.05f) * W, cy = rng.Range(0.0f, 0.8f) * H;
    const float r = S * rng.Range(0.02f, 0.07f);
    const Col c = palette[int(rng.Next() * 5) % 5];
    const float strength = rng.Range(0.15f, 0.45f);
    const int x0 = std::max(0, int(cx - r - 2)), x1 = std::min(W, int(cx + r + 2));
    const int y0 = std::max(0, int(cy - r - 2)), y1 = std::min(H, int(cy + r + 2));
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const float d = Circle(x + 0.5f, y + 0.5f, cx, cy, r);
        const float k = Clamp01(0.5f - d / 1.5f) * strength * (0.8f + 0.2f * Smooth(-r, 0, d));
        if (k <= 0) continue;
        Rgba8& o = img.At(x, y);
        o.r = To8(o.r / 255.f + c.r * k);
        o.g = To8(o.g / 255.f + c.g * k);
        o.b = To8(o.b / 255.f + c.b * k);
      }
  }
}

}  // namespace

Image PaintScene(TSceneKind kind, int W, int H, uint32_t seed) {
  Landscape l;
  Rng rng(seed);
  const Col silhouette = Hex(0x1d1418);
  Image img;
  switch (kind) {
    case TSceneKind::kSunsetHills: {
      l.sky = {{0, Hex(0x3b3a78)}, {0.45f, Hex(0xc8667a)}, {0.8f, Hex(0xf59a5b)}, {1, Hex(0xffd08a)}};
      l.horizon = 0.66f;
      l.sunU = rng.Range(0.35f, 0.65f);
      l.sunV = 0.6f;
      l.sun = Hex(0xffe2a0);
      l.glow = 0.9f;
      l.clouds = 0.5f;
      l.cloudColor = Hex(0xf7b3a0);
      l.ridges = {{0.6f, 0.05f, 3, 4, Hex(0x8a5a7a), 0, false, 0.03f},
                  {0.68f, 0.05f, 2, 4, Hex(0x5a3a5a), 0, false, 0.04f},
                  {0.8f, 0.06f, 1.5f, 3, Hex(0x2e2233), 0, false, 0.05f}};
      img = PaintLandscape(l, W, H, seed);
      const float base = 0.8f * H + 0.01f * H;
      DrawParts(img, Person(0.44f * W, base, 0.2f * H, silhouette, silhouette, silhouette, true), false,
                0.1f);
      DrawParts(img,
                Person(0.51f * W, base + 0.005f * H, 0.22f * H, silhouette, silhouette, silhouette, false),
                false, 0.1f);
      break;
    }
    case TSceneKind::kMountainLake:
      l.sky = {{0, Hex(0x4f86c6)}, {0.7f, Hex(0xa9cbe8)}, {1, Hex(0xf1e6d2)}};
      l.horizon = 0.58f;
      l.water = true;
      l.waterTint = Hex(0x2a5a70);
      l.sunU = rng.Range(0.2f, 0.8f);
      l.sunV = 0.25f;
      l.glow = 0.35f;
      l.clouds = 0.35f;
      l.ridges = {{0.34f, 0.16f, 2.5f, 6, Hex(0x7c8fa8), 1.0f, false, 0.08f},
                  {0.46f, 0.1f, 3.5f, 5, Hex(0x4d6378), 0.8f, false, 0.08f},
                  {0.56f, 0.03f, 6, 4, Hex(0x2f4a3a), 0, false, 0.1f},
                  {0.9f, 0.06f, 1.2f, 3, Hex(0x3d4a2c), 0, true, 0.12f}};
      img = PaintLandscape(l, W, H, seed);
      PineTrees(img, 0.57f, 0.05f, 40, seed + 1, Hex(0x1f3a2a), false);
      break;
    case TSceneKind::kBeach:
      l.sky = {{0, Hex(0x3d7fc4)}, {0.8f, Hex(0x9cd0ee)}, {1, Hex(0xf3e9d8)}};
      l.horizon = 0.52f;
      l.water = true;
      l.waterTint = Hex(0x1f8aa0);
      l.sunU = rng.Range(0.6f, 0.85f);
      l.sunV = 0.2f;
      l.glow = 0.45f;
      l.clouds = 0.45f;
      l.ridges = {{0.78f, 0.025f, 1.2f, 3, Hex(0xe8d2a8), 0, true, 0.05f}};
      img = PaintLandscape(l, W, H, seed);
      {
        const float base = 0.86f * H;
        DrawParts(img, Person(0.3f * W, base, 0.2f * H, Hex(0xe0574a), Hex(0xe6b89a), Hex(0x2f4d7a), false),
                  false, 0.3f);
        DrawParts(
            img,
            Person(0.38f * W, base + 0.01f * H, 0.13f * H, Hex(0xf2c94c), Hex(0xe6b89a), Hex(0xf2c94c), true),
            false, 0.3f);
      }
      break;
    case TSceneKind::kMeadowFlowers:
      l.sky = {{0, Hex(0x6aa6df)}, {0.8f, Hex(0xc7e1f3)}, {1, Hex(0xf4f0dc)}};
      l.horizon = 0.5f;
      l.sunU = 0.2f;
      l.sunV = 0.15f;
      l.glow = 0.5f;
      l.clouds = 0.55f;
      l.ridges = {{0.45f, 0.05f, 2, 4, Hex(0x7a9fb0), 0, false, 0.03f},
                  {0.52f, 0.04f, 3, 4, Hex(0x6f9a50), 0, false, 0.05f},
                  {0.6f, 0.03f, 1.5f, 3, Hex(0x5d8d3a), 0, false, 0.08f}};
      img = PaintLandscape(l, W, H, seed);
      RoundTrees(img, 0.53f, 0.07f, 6, seed + 2);
      Flowers(img, 0.6f, 1.02f, seed + 3,
              {Hex(0xe84d6a), Hex(0xf5f0f0), Hex(0xf2c12e), Hex(0xb066d8), Hex(0xff8a4c)});
      break;
    case TSceneKind::kBokehPortrait: {
      l.sky = {{0, Hex(0x2a1f33)}, {0.6f, Hex(0x5a3a48)}, {1, Hex(0x8a5a4a)}};
      l.horizon = 1.0f;
      l.sunU = 0.7f;
      l.sunV = 0.35f;
      l.sun = Hex(0xffb070);
      l.glow = 0.5f;
      l.clouds = 0;
      img = PaintLandscape(l, W, H, seed);
      Bokeh(img, seed + 4, 70);
      const float h = 1.0f * H, cx = 0.5f * W;
      // Hair and shoulders behind, then neck and face in front of them.
      const std::vector<Part> back = {
          {cx - 0.24f * h, 0.95f * H, cx + 0.24f * h, 0.95f * H, 0.22f * h, 0.22f * h, Hex(0xe6d6c4)},
          {cx, 0.4f * H, cx, 0.56f * H, 0.19f * h, 0.15f * h, Hex(0x4a2e22)},
      };
      DrawParts(img, back, false, 0.45f);
      const std::vector<Part> front = {
          {cx, 0.76f * H, cx, 0.6f * H, 0.055f * h, 0.05f * h, Hex(0xc99a84)},
          {cx, 0.45f * H, cx, 0.52f * H, 0.14f * h, 0.12f * h, Hex(0xd9a88e)},
      };
      DrawParts(img, front, false, 0.4f);
      break;
    }
    case TSceneKind::kCityDusk:
      l.sky = {{0, Hex(0x1c2a5a)}, {0.6f, Hex(0x6a4a8a)}, {1, Hex(0xf08a5a)}};
      l.horizon = 0.68f;
      l.water = true;
      l.waterTint = Hex(0x1a2240);
      l.sunU = 0.3f;
      l.sunV = 0.66f;
      l.glow = 0.5f;
      l.clouds = 0.25f;
      l.cloudColor = Hex(0xd08aa0);
      l.city = true;
      img = PaintLandscape(l, W, H, seed);
      break;
    case TSceneKind::kSnowForest:
      l.sky = {{0, Hex(0x7aa0c8)}, {0.8f, Hex(0xd4e2ee)}, {1, Hex(0xf6f1ea)}};
      l.horizon = 0.55f;
      l.sunU = 0.75f;
      l.sunV = 0.3f;
      l.glow = 0.4f;
      l.clouds = 0.2f;
      l.ridges = {{0.42f, 0.12f, 2, 5, Hex(0xb8c8d8), 0.9f, false, 0.05f},
                  {0.56f, 0.04f, 2, 4, Hex(0xe9eef4), 0, false, 0.04f},
                  {0.75f, 0.06f, 1, 3, Hex(0xf7f9fc), 0, false, 0.05f}};
      img = PaintLandscape(l, W, H, seed);
      PineTrees(img, 0.6f, 0.12f, 14, seed + 5, Hex(0x24402f), true);
      PineTrees(img, 0.85f, 0.25f, 5, seed + 6, Hex(0x1b3326), true);
      break;
    case TSceneKind::kDesertDunes:
      l.sky = {{0, Hex(0x3f6fb0)}, {0.8f, Hex(0xa8c4dc)}, {1, Hex(0xf2dcc0)}};
      l.horizon = 0.5f;
      l.sunU = 0.8f;
      l.sunV = 0.3f;
      l.glow = 0.5f;
      l.clouds = 0.1f;
      l.ridges = {{0.5f, 0.04f, 2, 3, Hex(0xd9a066), 0.6f, false, 0.05f},
                  {0.6f, 0.06f, 1.6f, 3, Hex(0xc98a50), 0.7f, false, 0.06f},
                  {0.76f, 0.08f, 1.1f, 3, Hex(0xb8733c), 0.7f, false, 0.08f}};
      img = PaintLandscape(l, W, H, seed);
      break;
    case TSceneKind::kAurora:
      l.sky = {{0, Hex(0x050a1e)}, {0.7f, Hex(0x0d2040)}, {1, Hex(0x1c3a50)}};
      l.horizon = 0.62f;
      l.water = true;
      l.waterTint = Hex(0x061020);
      l.glow = 0;
      l.clouds = 0;
      l.stars = true;
      l.aurora = true;
      l.ridges = {{0.58f, 0.06f, 3, 5, Hex(0x0b1420), 0.5f, false, 0.05f},
                  {0.95f, 0.04f, 1, 3, Hex(0x070d14), 0, true, 0.05f}};
      img = PaintLandscape(l, W, H, seed);
      PineTrees(img, 0.6f, 0.06f, 30, seed + 7, Hex(0x050a10), false);
      break;
    case TSceneKind::kForestPath:
    default:
      l.sky = {{0, Hex(0x8fb8d8)}, {0.8f, Hex(0xdfe8e0)}, {1, Hex(0xf4ecd0)}};
      l.horizon = 0.45f;
      l.sunU = 0.6f;
      l.sunV = 0.2f;
      l.glow = 0.7f;
      l.clouds = 0.2f;
      l.ridges = {{0.42f, 0.05f, 2.5f, 4, Hex(0x8aa6a0), 0, false, 0.03f},
                  {0.5f, 0.05f, 2, 4, Hex(0x5f8a4e), 0, false, 0.06f},
                  {0.66f, 0.05f, 1.2f, 3, Hex(0x4f7d34), 0, false, 0.1f}};
      img = PaintLandscape(l, W, H, seed);
      RoundTrees(img, 0.52f, 0.12f, 12, seed + 8);
      {
        // a path of light earth narrowing towards the hills
        std::vector<Part> path;
        for (int k = 0; k < 12; ++k) {
          const float t = k / 11.0f;
          const float y = (0.66f + 0.36f * t) * H;
          const float x = (0.5f + 0.08f * std::sin(t * 3.0f + seed % 7)) * W;
          path.push_back({x, y, x, y + 0.04f * H, (0.01f + 0.12f * t * t) * W, (0.012f + 0.13f * t * t) * W,
                          Hex(0xc8aa78)});
        }
        DrawParts(img, path, false, 0.15f);
        RoundTrees(img, 0.9f, 0.5f, 2, seed + 9);
      }
      break;
  }
  if (!img.empty()) Finish(img, seed, 0.35f);
  return img;
}

Image PaintCutout(TCutoutKind kind, int W, int H, uint32_t seed) {
  Image img;
  if (!img.Create(W, H).ok()) return img;  // transparent
  Rng rng(seed);
  const Col skin = Hex(0xe8b896);
  auto balloon = [&](float cx, float cy, float r, Col c, float handX, float handY) {
    std::vector<Part> string{{cx, cy + r * 1.1f, handX, handY, std::max(1.0f, r * 0.02f),
                              std::max(1.0f, r * 0.02f), Hex(0x6a6a6a)}};
    DrawParts(img, string, true, 0);
    std::vector<Part> body{{cx, cy - r * 0.15f, cx, cy + r * 0.15f, r * 0.95f, r * 0.85f, c},
                           {cx, cy + r * 1.0f, cx, cy + r * 1.08f, r * 0.06f, r * 0.1f, c * 0.85f}};
    DrawParts(img, body, true, 0.5f);
    std::vector<Part> shine{{cx - r * 0.35f, cy - r * 0.4f, cx - r * 0.25f, cy - r * 0.2f, r * 0.1f,
                             r * 0.06f, Mix(c, Hex(0xffffff), 0.7f)}};
    DrawParts(img, shine, true, 0);
  };
  switch (kind) {
    case TCutoutKind::kChild: {
      const float h = 0.62f * H;
      const float cx = 0.42f * W, base = 0.98f * H;
      const Col balloonColor = Hex(0xe8434f);
      balloon(0.7f * W, 0.14f * H, 0.11f * std::min(W, H) * 1.2f, balloonColor, cx + 0.16f * h,
              base - h * 0.47f);
      DrawParts(img, Person(cx, base, h, Hex(0x3fa7d6), skin, Hex(0x2f3e6b), true), true, 0.3f);
      // hair
      std::vector<Part> hair{{cx - 0.02f * h, base - h + 0.06f * h, cx + 0.02f * h, base - h + 0.06f * h,
                              0.08f * h, 0.08f * h, Hex(0x6b3e22)}};
      DrawParts(img, hair, true, 0.3f);
      DrawParts(img, {{cx, base - h + 0.095f * h, cx, base - h + 0.095f * h, 0.066f * h, 0.066f * h, skin}},
                true, 0.2f);
      break;
    }
    case TCutoutKind::kCouple: {
      const float h = 0.9f * H, base = 0.99f * H;
      DrawParts(img, Person(0.38f * W, base, h * 0.93f, Hex(0xf4f1ec), skin, Hex(0xf4f1ec), true, 0.03f),
                true, 0.25f);
      DrawParts(img, Person(0.62f * W, base, h, Hex(0x2c3446), skin, Hex(0x232a38), false, -0.03f), true,
                0.25f);
      DrawParts(img,
                {{0.38f * W + 0.03f * h * 0.93f * 0.9f, base - h * 0.93f + 0.07f * h, 0.37f * W,
                  base - h * 0.93f + 0.2f * h, 0.07f * h, 0.06f * h, Hex(0x5a3420)}},
                true, 0.3f);
      break;
    }
    case TCutoutKind::kBalloons: {
      const Col colors[] = {Hex(0xe8434f), Hex(0xf2b632), Hex(0x3fa7d6), Hex(0x6cc070),
                            Hex(0xb466d8), Hex(0xff8a4c), Hex(0xf06aa0)};
      const float handX = 0.5f * W, handY = 0.97f * H;
      const float r = 0.14f * std::min(W, H);
      for (int i = 0; i < 7; ++i) {
        const float a = -2.6f + 2.2f * i / 6.0f + rng.Range(-0.1f, 0.1f);
        const float dist = (0.32f + rng.Range(-0.05f, 0.06f)) * std::min(W, H) * 1.1f;
        balloon(0.5f * W + std::cos(a) * dist,
                0.38f * H + std::sin(a) * dist * 0.8f + rng.Range(-0.02f, 0.02f) * H,
                r * rng.Range(0.85f, 1.1f), colors[i], handX, handY);
      }
      break;
    }
  }
  return img;
}

}  // namespace tessaro::authoring
