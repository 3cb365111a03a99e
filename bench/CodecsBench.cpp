// Photo decoding benchmarks, reported as ratios measured in one run:
//  - a 24-megapixel camera-like JPEG decoded at full size against djpeg on
//    the same file, and at a quarter of the size against djpeg -scale 1/4;
//  - the thumbnail for a 140 x 120 box from the EXIF thumbnail against a full
//    decode (and from DCT scaling, for comparison);
//  - peak memory of decoding that photo, in a child process, against the
//    size of its pixels;
//  - four photos decoded one after another against decoded on every core.
// usage: bench_codecs [--keep FILE]   (FILE: where to leave the test photo)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "base/Parallel.h"
#include "imaging/codecs/Codecs.h"

extern char** environ;

namespace {

using tessaro::DecodeImageFile;
using tessaro::DecodeOptions;
using tessaro::Image;
using tessaro::Rgba8;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A picture with the statistics of a photo: smooth shading, some edges and
// fine sensor-like noise, so that it compresses like a camera file.
Rgba8 PhotoPixel(double u, double v, uint32_t noise) {
  double r = 120 + 90 * std::sin(u * 6.1 + v * 2.3) + 30 * std::cos(u * 41 + v * 13);
  double g = 110 + 80 * std::sin(u * 3.7 - v * 5.9) + 25 * std::sin(v * 57);
  double b = 100 + 70 * std::cos(u * 2.9 + v * 7.3) + 20 * std::sin(u * 73 - v * 31);
  if (std::fmod(u * 9 + v * 4, 1.0) < 0.03) r = g = b = 30;  // thin dark edges
  double n = double(noise % 23) - 11;
  auto clamp = [](double x) { return uint8_t(std::clamp(x, 0.0, 255.0)); };
  return Rgba8{clamp(r + n), clamp(g + n * 0.8), clamp(b + n * 1.2), 255};
}

Image MakePhoto(int w, int h) {
  Image image;
  image.Create(w, h);
  tessaro::ParallelFor(h, 16, [&](int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      uint32_t state = uint32_t(y) * 2654435761u + 12345;
      for (int x = 0; x < w; ++x) {
        state = state * 1664525u + 1013904223u;
        image.At(x, int(y)) = PhotoPixel(double(x) / w, double(y) / h, state >> 16);
      }
    }
  });
  return image;
}

int Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <typename F>
double Best(int runs, F f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    double t0 = Now();
    f();
    best = std::min(best, Now() - t0);
  }
  return best;
}

// This process's peak resident memory in kB (VmHWM).
long PeakRssKb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

// Peak resident memory (kB) of a fresh run of this program with `mode`.
long ChildPeakKb(const std::string& self, const std::string& mode, const std::string& path) {
  std::string command = "'" + self + "' " + mode + " '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  long kb = -1;
  if (std::fscanf(pipe, "%ld", &kb) != 1) kb = -1;
  pclose(pipe);
  return kb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 &&
      (std::strcmp(argv[1], "--child-decode") == 0 || std::strcmp(argv[1], "--child-idle") == 0)) {
    bool ok = std::strcmp(argv[1], "--child-idle") == 0 ? tessaro::ReadFileHead(argv[2], 16).ok()
                                                        : DecodeImageFile(argv[2]).ok();
    std::printf("%ld\n", PeakRssKb());
    return ok ? 0 : 1;
  }
  std::string path = "/tmp/tessaro-bench-24mp.jpg";
  if (argc == 3 && std::strcmp(argv[1], "--keep") == 0) path = argv[2];

  const int w = 6000, h = 4000;
  std::printf("making a %d x %d camera-like JPEG with a 240 x 160 EXIF thumbnail...\n", w, h);
  Image photo = MakePhoto(w, h);
  Image small = MakePhoto(240, 160);
  tessaro::JpegEncodeOptions thumbOptions;
  thumbOptions.quality = 80;
  auto thumb = tessaro::EncodeJpeg(small, thumbOptions);
  tessaro::JpegEncodeOptions options;
  options.quality = 92;
  options.exifThumbnail = *thumb;
  auto bytes = tessaro::EncodeJpeg(photo, options, 300);
  if (!bytes.ok() || !tessaro::WriteFileAtomic(path, *bytes).ok()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  photo.Reset();
  std::printf("file: %s, %.1f MB\n\n", path.c_str(), bytes->size() / 1e6);

  const int runs = 5;
  double cold = Best(1, [&] { DecodeImageFile(path); });  // first decode of this process
  bool haveDjpeg = Run({"djpeg", "-outfile", "/dev/null", path}) == 0;
  if (haveDjpeg) {
    double djpegFull = Best(runs, [&] { Run({"djpeg", "-outfile", "/dev/null", path}); });
    double ourFull = Best(runs, [&] { DecodeImageFile(path); });
    std::printf(
        "full size:      djpeg %.0f ms, DecodeImageFile %.0f ms, ratio %.3f (goal <= 1.05); "
        "first decode of the process %.0f ms\n",
        djpegFull * 1e3, ourFull * 1e3, ourFull / djpegFull, cold * 1e3);
    DecodeOptions quarter;
    quarter.minWidth = w / 4;
    quarter.minHeight = h / 4;
    double djpegQuarter = Best(runs, [&] { Run({"djpeg", "-scale", "1/4", "-outfile", "/dev/null", path}); });
    double ourQuarter = Best(runs, [&] { DecodeImageFile(path, quarter); });
    std::printf("quarter size:   djpeg %.0f ms, DecodeImageFile %.0f ms, ratio %.3f\n", djpegQuarter * 1e3,
                ourQuarter * 1e3, ourQuarter / djpegQuarter);
  } else {
    std::printf("djpeg not found: full-size comparison skipped\n");
  }

  double full = Best(runs, [&] { DecodeImageFile(path); });
  DecodeOptions box;  // a 3:2 photo fitted into 140 x 120 is 140 x 93
  box.minWidth = 140;
  box.minHeight = 93;
  box.allowExifThumbnail = true;
  auto check = DecodeImageFile(path, box);
  double viaThumb = Best(runs * 4, [&] { DecodeImageFile(path, box); });
  box.allowExifThumbnail = false;
  double viaDct = Best(runs, [&] { DecodeImageFile(path, box); });
  std::printf("140x120 box:    EXIF thumbnail %.2f ms (%s), 1/8 DCT %.1f ms, full %.0f ms\n", viaThumb * 1e3,
              check.ok() && check->fromThumbnail ? "used" : "NOT USED", viaDct * 1e3, full * 1e3);
  std::printf("                full / thumbnail %.0fx (goal >= 20x), full / DCT %.1fx\n", full / viaThumb,
              full / viaDct);

  std::string self = "/proc/self/exe";
  char resolved[4096] = {};
  ssize_t n = readlink(self.c_str(), resolved, sizeof resolved - 1);
  if (n > 0) self.assign(resolved, size_t(n));
  long idle = ChildPeakKb(self, "--child-idle", path);
  long decode = ChildPeakKb(self, "--child-decode", path);
  double pixelsMb = double(w) * h * 4 / (1 << 20);
  std::printf(
      "peak memory:    %.0f MB for one decode (process baseline %.0f MB); pixels alone %.0f MB, "
      "ratio %.2f\n",
      (decode - idle) / 1024.0, idle / 1024.0, pixelsMb, (decode - idle) / 1024.0 / pixelsMb);

  // Several photos: one after another, then spread over the cores.
  std::vector<std::string> paths(4, path);
  DecodeOptions preview;
  preview.minWidth = 1500;
  preview.minHeight = 1000;
  double serial = Best(2, [&] {
    for (auto& p : paths) DecodeImageFile(p, preview);
  });
  double parallel = Best(2, [&] {
    tessaro::ParallelFor(int64_t(paths.size()), 1, [&](int64_t a, int64_t b) {
      for (int64_t i = a; i < b; ++i) DecodeImageFile(paths[size_t(i)], preview);
    });
  });
  std::printf("4 photos 1/4:   serial %.0f ms, ParallelFor %.0f ms on %d threads, speed-up %.2fx\n",
              serial * 1e3, parallel * 1e3, tessaro::ParallelThreads(), serial / parallel);
  if (argc < 3) std::remove(path.c_str());
  return 0;
}
