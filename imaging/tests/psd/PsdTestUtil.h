// Helpers shared by the layered-document tests: corpus paths, running the
// independent readers (ImageMagick, ag-psd under Node) and comparing pixels.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "imaging/Image.h"

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

}  // namespace tessaro::psdtest
