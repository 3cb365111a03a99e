// What the composition benchmarks share: photo-like test pictures, running
// a tool in a child process with its figures (wall, CPU, peak memory, and
// the peak between the lines it prints), and a set file that places photos
// in a package's slots with the covering fit the preview makes.
//
// Header-only; every benchmark is one program.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/Package.h"
#include "model/Photos.h"
#include "model/Records.h"
#include "model/Sizes.h"

namespace tessaro::bench {

// A photo-like picture: smooth colour fields with fine texture, so that it
// encodes to a realistic size. `seed` varies it.
inline Image MakePhoto(int width, int height, int seed) {
  Image image;
  if (!image.Create(width, height).ok()) return image;
  uint32_t state = 2463534242u + uint32_t(seed) * 7919u;
  for (int y = 0; y < height; ++y) {
    Rgba8* row = image.Row(y);
    const double fy = double(y) / height;
    for (int x = 0; x < width; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      const double fx = double(x) / width;
      const int grain = int(state % 17) - 8;
      const double wave = std::sin(fx * (9 + seed) + fy * 5) * std::cos(fy * (7 + seed) - fx * 3);
      auto clamp = [](double v) { return uint8_t(std::lround(std::min(255.0, std::max(0.0, v)))); };
      row[x] = Rgba8{clamp(120 + 90 * wave * fx + 40 * fy + grain),
                     clamp(110 + 70 * std::sin(fy * 11 + seed) + grain),
                     clamp(90 + 100 * fx * fy + 30 * wave + grain), 255};
    }
  }
  return image;
}

// Writes MakePhoto(width, height, seed) as a quality-92 JPEG unless `path`
// exists already (the pictures are kept between runs).
inline Status WritePhotoOnce(const std::string& path, int width, int height, int seed) {
  if (FileExists(path)) return Status::Ok();
  JpegEncodeOptions options;
  options.quality = 92;
  Result<std::vector<uint8_t>> bytes = EncodeJpeg(MakePhoto(width, height, seed), options, 300);
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(path, *bytes);
}

// Runs a program and waits for it; its exit code, or -1.
inline int RunProgram(const std::vector<std::string>& argv) {
  std::fflush(nullptr);  // the child must not write this program's buffered output again
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ToolFigures {
  double wall = 0, cpu = 0;
  long peakKb = 0;  // the kernel's peak resident size of the child
  int code = -1;
  // Peak resident size (sampled every few milliseconds) between one line of
  // the child's messages that starts with `lineMark` and the next: one entry
  // per such line.
  std::vector<long> peakKbPerLine;
};

inline long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Runs `argv` (argv[0] the program) with its messages (standard error, where
// the tool reports each page) read here, its output dropped, and its figures
// taken from wait4 and /proc.
inline ToolFigures RunTool(const std::vector<std::string>& argv, const std::string& lineMark = "") {
  ToolFigures f;
  int out[2];
  if (pipe(out) != 0) return f;
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    dup2(out[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  std::string pending;
  long windowPeak = 0;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const int ready = poll(&p, 1, 5);
    windowPeak = std::max(windowPeak, ResidentKb(pid));
    if (ready > 0) {
      char buffer[4096];
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      pending.append(buffer, size_t(n));
      size_t eol;
      while ((eol = pending.find('\n')) != std::string::npos) {
        if (!lineMark.empty() && pending.rfind(lineMark, 0) == 0) {
          f.peakKbPerLine.push_back(windowPeak);
          windowPeak = ResidentKb(pid);
        }
        pending.erase(0, eol + 1);
      }
    }
  }
  close(out[0]);
  int status = 0;
  struct rusage usage = {};
  wait4(pid, &status, 0, &usage);
  f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
          usage.ru_stime.tv_usec / 1e6;
  f.peakKb = usage.ru_maxrss;
  f.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return f;
}

// The machine's load average over the last minute.
inline double LoadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// Adds the package's template to `set` (preview and result versions, page
// `width` x `height` in `unit`) with photos firstPhoto, firstPhoto + 1, ...
// of the set in its slots (wrapping round the set's photos), each placed
// with the covering fit the preview makes on first display; slot
// `turnedSlot` (0-based, -1 none) is turned by 5 degrees.
inline Status AddTemplate(TSetNode& set, const std::string& package, float width, float height, int32_t unit,
                          int firstPhoto, int turnedSlot, int photoWidth, int photoHeight) {
  auto preview = ReadDescriptor(JoinPath(package, kPreviewDescriptorName), 0);
  auto result = ReadDescriptor(JoinPath(package, kResultDescriptorName), 0);
  if (!preview || !result) return Status::Error(package + ": not a template package");
  for (TTempNode* temp : {preview.get(), result.get()}) {
    temp->Width = width;
    temp->Height = height;
    temp->SizeUnit = unit;
    temp->SizeName = "bench";
    temp->ImportStamp = "2026_12_09_12_00_00";
  }
  set.PreviewTemps.push_back(std::move(preview));
  set.ResultTemps.push_back(std::move(result));
  TTempNode& temp = *set.PreviewTemps.back();
  const TSlotWindowGeometry geometry;
  const int photos = int(set.Photos.size());
  if (photos == 0) return Status::Error("the set has no photos");
  for (size_t s = 0; s < temp.Slots.size(); ++s) {
    TSlotNode& slot = *temp.Slots[s];
    slot.TempIndex = static_cast<int32_t>(set.PreviewTemps.size() - 1);
    AssignPhotoToSlot(&set, &slot, (firstPhoto + int(s)) % photos, {});
    slot.SetEmptyTransform();
    const TPlacement* placement = temp.FirstPlacementOf(static_cast<int>(s));
    if (!placement) continue;
    auto window =
        SlotWindowSize(placement->Rect, temp.Spread, temp.Width, temp.Height, temp.SizeUnit, geometry);
    if (!window) continue;
    const int ws = window->first - 1, hs = window->second - 1;
    int w = ws, h = hs;
    if (double(photoHeight) / hs > double(photoWidth) / ws)
      h = int(int64_t(photoHeight) * ws / photoWidth);
    else
      w = int(int64_t(photoWidth) * hs / photoHeight);
    slot.ScaleX = float(w) / ws;
    slot.ScaleY = float(h) / hs;
    slot.OffsetX = slot.OffsetY = 0;
    slot.Angle = int(s) == turnedSlot ? 5 : 0;
  }
  return Status::Ok();
}

}  // namespace tessaro::bench
