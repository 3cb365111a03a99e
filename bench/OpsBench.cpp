// Timing of the pixel operations on photo-sized buffers. Prints, for each
// operation, the best of a few runs, the figure per megapixel, and ratios
// measured in the same run (all cores against one core; against a plain
// copy of the same bytes), so the numbers compare across machines.
//
//   bench_ops            all timings
//   bench_ops peak       peak memory of reducing one 24-megapixel photo
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "base/Parallel.h"
#include "imaging/ops/Adjust.h"
#include "imaging/ops/Affine.h"
#include "imaging/ops/Blend.h"
#include "imaging/ops/Resample.h"

using namespace tessaro;

namespace {

// Other work on the machine slows every figure; the load average is printed
// with them so that a run can be judged.
std::string LoadAverage() {
  std::FILE* f = std::fopen("/proc/loadavg", "r");
  if (!f) return "unknown";
  char buf[64] = {};
  const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  std::string s(buf, n);
  return s.substr(0, s.find(' '));
}

double BestMs(int runs, const std::function<void()>& fn) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

// A photo-like picture: smooth gradients with fine texture, opaque.
Image Photo(int w, int h) {
  Image img;
  if (!img.Create(w, h).ok()) return img;
  ParallelFor(h, 64, [&](int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      Rgba8* row = img.Row(int(y));
      for (int x = 0; x < w; ++x)
        row[x] = Rgba8{uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t((x * 7 + y * 13) & 0xFF), 255};
    }
  });
  return img;
}

long MaxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void Report(const char* what, double ms, double megapixels, const char* perWhat) {
  std::printf("%-52s %8.1f ms  %6.2f ms/MP (%s)\n", what, ms, ms / megapixels, perWhat);
}

int Peak() {
  const long before = MaxRssKb();
  Image photo = Photo(6000, 4000);
  const long withSource = MaxRssKb();
  auto small = ResizeImage(photo, 1000, 1500);
  const long after = MaxRssKb();
  if (!small.ok()) return 1;
  std::printf("peak RSS: start %ld KiB, with the 24 MP source %ld KiB, after reducing %ld KiB\n", before,
              withSource, after);
  std::printf("reducing 6000x4000 -> 1000x1500 added %.1f MiB above the source and result buffers\n",
              (after - withSource) / 1024.0 - 1000.0 * 1500 * 4 / (1 << 20));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "peak") return Peak();
  std::printf("threads: %d, load average at start: %s\n", ParallelThreads(), LoadAverage().c_str());
  const int runs = 5;

  Image photo = Photo(6000, 4000);
  const double sourceMp = 24.0;
  Image copy;
  (void)copy.Create(6000, 4000);
  const double copyMs = BestMs(runs, [&] { std::memcpy(copy.data(), photo.data(), photo.ByteSize()); });
  Report("copy 6000x4000 (baseline)", copyMs, sourceMp, "source MP");

  ResampleOptions one;
  one.parallel = false;
  Image small;
  (void)small.Create(1000, 1500);
  const double reduce = BestMs(runs, [&] { (void)ResampleInto(photo, small); });
  const double reduce1 = BestMs(runs, [&] { (void)ResampleInto(photo, small, one); });
  Report("reduce 6000x4000 -> 1000x1500 bicubic", reduce, sourceMp, "source MP");
  Report("  same on one core", reduce1, sourceMp, "source MP");
  std::printf("  all cores / one core %.2f; reduce / copy %.1f\n", reduce / reduce1, reduce / copyMs);
  ResampleOptions box;
  box.filter = ResampleFilter::kBox;
  Report("reduce 6000x4000 -> 1000x1500 box", BestMs(runs, [&] { (void)ResampleInto(photo, small, box); }),
         sourceMp, "source MP");

  Image medium = Photo(1000, 1500);
  Image big;
  (void)big.Create(3000, 4500);
  Report("enlarge 1000x1500 -> 3000x4500 bicubic", BestMs(runs, [&] { (void)ResampleInto(medium, big); }),
         13.5, "dest MP");

  const Affine2D turn = RotationAbout(7, {3000, 2000});
  Report("rotate 6000x4000 by 7 deg (TransformImage, bicubic)",
         BestMs(3, [&] { (void)TransformImage(photo, turn, Sampling::kBicubic); }), sourceMp, "source MP");
  Report("rotate 6000x4000 by 7 deg (TransformImage, bilinear)",
         BestMs(3, [&] { (void)TransformImage(photo, turn, Sampling::kBilinear); }), sourceMp, "source MP");
  // The reference page's placements: a photo decoded at 2250 x 1500 made
  // 0.945 times as large, and one turned by 5 degrees at 0.86 times.
  Image placed = Photo(2250, 1500);
  const double placedMp = 2250 * 1500 / 1e6;
  const Affine2D shrink = Affine2D::Scaling(0.945, 0.945);
  const Affine2D turnSmall = Affine2D::Scaling(0.86, 0.86).Then(RotationAbout(-5, {967, 645}));
  Report("place 2250x1500 at 0.945 (TransformImage, bicubic)",
         BestMs(runs, [&] { (void)TransformImage(placed, shrink, Sampling::kBicubic); }), placedMp,
         "source MP");
  Report("place 2250x1500 at 0.86 turned 5 deg (TransformImage)",
         BestMs(runs, [&] { (void)TransformImage(placed, turnSmall, Sampling::kBicubic); }), placedMp,
         "source MP");
  {
    Image placedOut;
    (void)placedOut.Create(2126, 1418);
    Report("  same size on one core (ResampleInto 2126x1418)",
           BestMs(runs, [&] { (void)ResampleInto(placed, placedOut, one); }), placedMp, "source MP");
  }

  Image window;
  (void)window.Create(646, 430);
  Image screenPhoto = Photo(1200, 800);
  const Affine2D preview = Affine2D::Scaling(646.0 / 1200, 430.0 / 800).Then(RotationAbout(15, {323, 215}));
  Report("preview: 1200x800 drawn turned into 646x430 (bilinear)",
         BestMs(runs,
                [&] {
                  (void)DrawTransformed(window, IntRect{0, 0, 646, 430}, screenPhoto, preview);
                }),
         646 * 430 / 1e6, "dest MP");

  Image page = Photo(2400, 3600);
  Image layer = Photo(2400, 3600);
  Plane maskPixels;
  (void)maskPixels.Create(2400, 3600);
  for (int y = 0; y < 3600; ++y)
    for (int x = 0; x < 2400; ++x) maskPixels.At(x, y) = uint8_t((x / 8 + y / 8) & 1 ? 255 : (x ^ y) & 0xFF);
  MaskRef mask{&maskPixels, IntRect{0, 0, 2400, 3600}, 0};
  const double layerMp = 2400 * 3600 / 1e6;
  for (BlendMode mode : {BlendMode::kNormal, BlendMode::kSoftLight, BlendMode::kColor}) {
    CompositeOptions o;
    o.mode = mode;
    o.opacity = 230;
    o.mask = &mask;
    Image target = page.Clone();
    std::string what = "composite 2400x3600 layer with mask, " + std::string(BlendModeName(mode));
    const double ms = BestMs(3, [&] { Composite(target, IntRect{0, 0, 2400, 3600}, layer, 0, 0, o); });
    Report(what.c_str(), ms, layerMp, "layer MP");
    if (mode == BlendMode::kNormal) {
      o.parallel = false;
      const double ms1 = BestMs(3, [&] { Composite(target, IntRect{0, 0, 2400, 3600}, layer, 0, 0, o); });
      std::printf("  all cores / one core %.2f\n", ms / ms1);
    }
  }

  {
    // A placed photo at full opacity under its slot's mask: shown whole
    // inside the slot, hidden around it, a soft border between.
    Plane slot;
    (void)slot.Create(1600, 2400);
    for (int y = 0; y < 2400; ++y)
      for (int x = 0; x < 1600; ++x) {
        const int d = std::min({x, y, 1599 - x, 2399 - y});
        slot.At(x, y) = uint8_t(d >= 8 ? 255 : d * 32);
      }
    MaskRef slotMask{&slot, IntRect{400, 600, 2000, 3000}, 0};
    CompositeOptions o;
    o.mask = &slotMask;
    Image target = page.Clone();
    Report("composite 2400x3600 photo under a 1600x2400 slot mask",
           BestMs(runs,
                  [&] {
                    Composite(target, IntRect{0, 0, 2400, 3600}, layer, 0, 0, o);
                  }),
           layerMp, "layer MP");
  }

  Image adjust = page.Clone();
  const IntRect all{0, 0, 2400, 3600};
  Report("levels 2400x3600",
         BestMs(runs,
                [&] {
                  (void)AdjustLevels(adjust, all, LevelsParams{10, 240, 1.2, 0, 255});
                }),
         layerMp, "MP");
  Report("hue/saturation 2400x3600 (30, -18, 16)",
         BestMs(3, [&] { (void)AdjustHueSaturation(adjust, all, 30, -18, 16); }), layerMp, "MP");
  ChannelMixerParams mix;
  mix.monochrome = true;
  Report("channel mixer 2400x3600", BestMs(runs, [&] { (void)MixChannels(adjust, all, mix); }), layerMp,
         "MP");
  Report("colour overlay 2400x3600 (overlay)",
         BestMs(runs,
                [&] {
                  (void)ApplyColorOverlay(adjust, all, Rgba8{200, 120, 40, 255}, BlendMode::kOverlay, 122);
                }),
         layerMp, "MP");
  return 0;
}
