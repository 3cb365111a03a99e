// Reading and writing a print-size template document: 2400 x 3600 pixels,
// ten alpha channels (one slot each, mostly empty), a background, three
// masked photo layers and an overlay layer. Prints the times of one run and
// their ratios; nothing here is a test.
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

#include "base/Parallel.h"
#include "imaging/psd/Psd.h"
#include "testing/PaintedDocument.h"

using namespace tessaro;

namespace {

double Seconds(const std::function<void()>& fn, int repeats = 3) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

PsdDocument MakeDocument() {
  const int w = 2400, h = 3600;
  std::mt19937 rng(1);
  PsdDocument d = test::PaintedDocument(w, h, 300, [&](int x, int y) {
    return Rgba8{uint8_t(x / 10 + (rng() & 7)), uint8_t(y / 15 + (rng() & 7)), uint8_t((x + y) / 24), 255};
  });
  PsdLayer bg;
  bg.name = "Background";
  bg.bounds = {0, 0, w, h};
  bg.pixels.Create(w, h, Rgba8{240, 235, 220, 255});
  d.layers.push_back(std::move(bg));
  for (int i = 0; i < 3; ++i) {
    PsdLayer photo;
    photo.name = "Photo " + std::to_string(i + 1);
    photo.bounds = {100 + 700 * i, 200 + 1000 * i, 1300 + 700 * i, 1800 + 1000 * i};
    photo.pixels.Create(1200, 1600);
    for (int y = 0; y < 1600; ++y)
      for (int x = 0; x < 1200; ++x)
        photo.pixels.At(x, y) =
            Rgba8{uint8_t(x * 3 + (rng() & 15)), uint8_t(y + (rng() & 15)), uint8_t(rng()), 255};
    PsdLayerMask mask;
    mask.bounds = photo.bounds;
    mask.pixels.Create(1200, 1600);
    for (int y = 100; y < 1500; ++y)
      for (int x = 100; x < 1100; ++x) mask.pixels.At(x, y) = 255;
    mask.linked = false;
    photo.mask = std::move(mask);
    d.layers.push_back(std::move(photo));
  }
  PsdLayer overlay;
  overlay.name = "brivanto";
  overlay.bounds = {0, 0, w, h};
  overlay.pixels.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (x < 150 || y < 150 || x >= w - 150 || y >= h - 150)
        overlay.pixels.At(x, y) = Rgba8{90, 60, 30, 200};
  d.layers.push_back(std::move(overlay));
  for (int i = 0; i < 10; ++i) {
    PsdAlphaChannel a;
    a.name = "slot" + std::to_string(i + 1);
    a.pixels.Create(w, h);
    const int x0 = 100 + (i % 2) * 1150, y0 = 100 + (i / 2) * 700;
    for (int y = y0; y < y0 + 600; ++y)
      for (int x = x0; x < x0 + 1000; ++x) a.pixels.At(x, y) = 255;
    d.alphaChannels.push_back(std::move(a));
  }
  return d;
}

}  // namespace

int main() {
  const PsdDocument doc = MakeDocument();
  std::vector<uint8_t> bytes;
  const double write = Seconds([&] { bytes = std::move(WritePsd(doc).value()); });
  double readAll = Seconds([&] { (void)ReadPsd(bytes).value(); });
  const double readComposite = Seconds([&] {
    (void)ReadPsd(bytes, PsdReadOptions{false, true, false}).value();
  });
  const double readAlpha = Seconds([&] { (void)ReadPsd(bytes, PsdReadOptions{false, false, true}).value(); });
  const double readLayers = Seconds([&] {
    (void)ReadPsd(bytes, PsdReadOptions{true, false, false}).value();
  });
  const double probe = Seconds([&] { (void)ProbePsd(bytes).value(); });
  std::printf("document 2400x3600, 5 layers (3 masked photos), 10 alpha channels; %d threads\n",
              ParallelThreads());
  std::printf("file size              %8.1f MB\n", bytes.size() / 1e6);
  std::printf("write                  %8.1f ms\n", write * 1e3);
  std::printf("read everything        %8.1f ms\n", readAll * 1e3);
  std::printf("read composite only    %8.1f ms  (%.2f of everything)\n", readComposite * 1e3,
              readComposite / readAll);
  std::printf("read alpha channels    %8.1f ms  (%.2f of everything)\n", readAlpha * 1e3,
              readAlpha / readAll);
  std::printf("read layers only       %8.1f ms  (%.2f of everything)\n", readLayers * 1e3,
              readLayers / readAll);
  std::printf("probe                  %8.3f ms  (%.4f of everything)\n", probe * 1e3, probe / readAll);
  std::printf("write / read           %8.2f\n", write / readAll);
  return 0;
}
