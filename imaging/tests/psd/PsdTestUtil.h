// Helpers shared by the layered-document tests: corpus paths, running the
// independent readers (ImageMagick, ag-psd under Node) and comparing pixels.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "imaging/Image.h"
#include "imaging/psd/Psd.h"

namespace tessaro::psdtest {

inline std::string CorpusPath(const std::string& relative) {
  return std::string(TESSARO_CORPUS_DIR) + "/psd/" + relative;
}

// A private scratch folder for one test binary, below the build tree.
inline std::string ScratchDir() {
  static const std::string dir = [] {
    std::string d = std::string(TESSARO_BINARY_DIR) + "/psd_test_scratch";
    MakeDirectories(d);
    return d;
  }();
  return dir;
}

inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs a shell command, returning its exit code and standard output.
inline int RunCommand(const std::string& command, std::string* output = nullptr) {
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int rc = pclose(p);
  if (output) *output = std::move(out);
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

inline bool HaveImageMagick() { return FileExists("/usr/bin/convert") && FileExists("/usr/bin/identify"); }

// ImageMagick's decode of the merged image as 8-bit RGBA, or an empty image
// when it cannot read the file. `extra` goes before the output (e.g. a
// colour profile conversion).
inline Image ImageMagickComposite(const std::string& path, int width, int height,
                                  const std::string& extra = "") {
  Image img;
  const std::string out = ScratchDir() + "/im_composite.rgba";
  RemoveFile(out);
  const std::string cmd = "/usr/bin/convert " + ShellQuote(path + "[0]") + " " + extra +
                          " -colorspace sRGB -depth 8 rgba:" + ShellQuote(out);
  if (RunCommand(cmd) != 0) return img;
  auto bytes = ReadWholeFile(out);
  if (!bytes.ok() || bytes->size() != size_t(width) * size_t(height) * 4) return img;
  if (!img.Create(width, height).ok()) return img;
  std::copy(bytes->begin(), bytes->end(), reinterpret_cast<uint8_t*>(img.data()));
  return img;
}

// ag-psd runs under Node; it is installed at test time into a folder
// outside the source tree (TESSARO_TEST_TOOLS, else /tmp/tessaro-test-tools)
// when npm can reach its registry. The test is skipped when it cannot.
inline std::string AgPsdModule() {
  if (RunCommand("node --version") != 0) return "";
  const char* env = std::getenv("TESSARO_TEST_TOOLS");
  const std::string dir = env && *env ? env : "/tmp/tessaro-test-tools";
  const std::string module = dir + "/node_modules/ag-psd";
  if (!FileExists(module + "/package.json")) {
    MakeDirectories(dir);
    RunCommand("timeout 300 npm install --prefix " + ShellQuote(dir) +
               " ag-psd@31 --no-audit --no-fund --silent");
  }
  return FileExists(module + "/package.json") ? module : "";
}

struct PixelDiff {
  int maxColor = 0;         // over pixels where both alphas are at least 16
  double meanColor = 0;     // likewise
  double fractionOver = 0;  // of compared pixels whose colour differs by more than `slack`
  int maxAlpha = 0;
};

// Colour is compared where both pictures are visibly opaque (alpha >= 16):
// below that, colour recovered from a white-matted merged image is noise.
inline PixelDiff Compare(const Image& a, const Image& b, int slack = 2) {
  PixelDiff d;
  size_t compared = 0, over = 0;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const Rgba8 p = a.At(x, y), q = b.At(x, y);
      d.maxAlpha = std::max(d.maxAlpha, std::abs(p.a - q.a));
      if (p.a < 16 || q.a < 16) continue;
      const int c = std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
      d.maxColor = std::max(d.maxColor, c);
      sum += c;
      ++compared;
      if (c > slack) ++over;
    }
  if (compared) {
    d.meanColor = sum / double(compared);
    d.fractionOver = double(over) / double(compared);
  }
  return d;
}

// A document with every feature the writer supports: a background, a
// photo layer with an unlinked soft mask, a colour overlay and a Unicode
// name, a group holding a hidden "brivanto" overlay layer and a clipped
// layer with fill opacity, a layer reaching outside the canvas, two alpha
// channels and a composite with transparency. Pixel values follow simple
// formulas so that a test can recompute them.
inline PsdDocument SampleDocument(int width = 64, int height = 48) {
  PsdDocument d;
  d.width = width;
  d.height = height;
  d.resolution = 254;
  d.composite.Create(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      d.composite.At(x, y) =
          Rgba8{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x ^ y), uint8_t(x < 8 ? x * 32 : 255)};
  auto layer = [](const char* name, IntRect bounds, Rgba8 base) {
    PsdLayer l;
    l.name = name;
    l.bounds = bounds;
    if (!bounds.Empty()) {
      l.pixels.Create(bounds.Width(), bounds.Height());
      for (int y = 0; y < bounds.Height(); ++y)
        for (int x = 0; x < bounds.Width(); ++x)
          l.pixels.At(x, y) =
              Rgba8{uint8_t(base.r + x), uint8_t(base.g + y), base.b, uint8_t(base.a - (x + y) % 7)};
    }
    return l;
  };
  d.layers.push_back(layer("Background", {0, 0, width, height}, {200, 100, 50, 255}));
  PsdLayer photo = layer("照片 1 😀 slot photo", {-5, 4, 30, 40}, {10, 20, 30, 250});
  photo.opacity = 200;
  photo.blendMode = BlendMode::kMultiply;
  PsdLayerMask mask;
  mask.bounds = {2, 6, 20, 30};
  mask.pixels.Create(18, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 18; ++x) mask.pixels.At(x, y) = uint8_t(x * 14);
  mask.linked = false;
  mask.defaultColor = 0;
  photo.mask = std::move(mask);
  photo.colorOverlay = PsdColorOverlay{true, BlendMode::kOverlay, 48, 10, 200, 30};
  d.layers.push_back(std::move(photo));
  PsdLayer divider;
  divider.name = "</Layer group>";
  divider.section = PsdSection::kDivider;
  d.layers.push_back(std::move(divider));
  PsdLayer overlay = layer("brivanto", {10, 10, 20, 20}, {0, 0, 255, 128});
  overlay.visible = false;
  d.layers.push_back(std::move(overlay));
  PsdLayer clipped = layer("clipped", {12, 12, 40, 30}, {90, 90, 90, 255});
  clipped.clipping = true;
  clipped.fillOpacity = 128;
  clipped.blendMode = BlendMode::kScreen;
  PsdLayerMask hidden;  // a "hide all" mask: no pixels, default black, disabled
  hidden.defaultColor = 0;
  hidden.disabled = true;
  clipped.mask = std::move(hidden);
  d.layers.push_back(std::move(clipped));
  PsdLayer group;
  group.name = "Group 1";
  group.section = PsdSection::kClosedFolder;
  group.blendMode = BlendMode::kPassThrough;
  group.opacity = 180;
  d.layers.push_back(std::move(group));
  d.layers.push_back(layer("Wide", {-20, -10, width + 20, 12}, {1, 2, 3, 255}));
  PsdAlphaChannel slot;
  slot.name = "槽 1";
  slot.pixels.Create(width, height);
  for (int y = height / 4; y < height / 2; ++y)
    for (int x = width / 8; x < width / 2; ++x) slot.pixels.At(x, y) = 255;
  d.alphaChannels.push_back(std::move(slot));
  PsdAlphaChannel grey;
  grey.name = "Alpha 2";
  grey.pixels.Create(width, height, 77);
  d.alphaChannels.push_back(std::move(grey));
  return d;
}

}  // namespace tessaro::psdtest
