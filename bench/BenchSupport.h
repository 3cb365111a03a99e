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
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/Package.h"
#include "model/Photos.h"
#include "model/Records.h"
#include "model/SetFile.h"
#include "model/Sizes.h"
#include "model/SlotEdit.h"

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

// In a forked child: replaces it with argv[0] run on `argv`, or ends it
// with 127.
[[noreturn]] inline void ExecInChild(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

// User plus system CPU seconds of a resource-usage record.
inline double CpuSeconds(const struct rusage& usage) {
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

// Runs a program and waits for it; its exit code, or -1.
inline int RunProgram(const std::vector<std::string>& argv) {
  std::fflush(nullptr);  // the child must not write this program's buffered output again
  const pid_t pid = fork();
  if (pid == 0) ExecInChild(argv);
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
    dup2(out[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    ExecInChild(argv);
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
  f.cpu = CpuSeconds(usage);
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
    const std::optional<TSlotWindow> window = SlotWindowFor(temp, static_cast<int>(s), geometry);
    if (!window) continue;
    std::tie(slot.ScaleX, slot.ScaleY) = CoveringScale(photoWidth, photoHeight, *window);
    slot.OffsetX = slot.OffsetY = 0;
    slot.Angle = int(s) == turnedSlot ? 5 : 0;
  }
  return Status::Ok();
}

// A template's authoring description: opaque slots, one per placement,
// photo i in slot i, laid out on the preview page, and its result version
// made from the preview at the result size and 300 ppi.
struct TemplateLayout {
  bool spread = false;
  int previewWidth = 0, previewHeight = 0;
  std::string background;  // "#rrggbb"
  std::string overlay;     // a picture beside the description, or none
  // Per placement, what follows its slot and channel: "rect" and any shape.
  std::vector<std::string> placements;
  int resultWidth = 0, resultHeight = 0;
};

inline TemplateLayout Layout(bool spread, int previewWidth, int previewHeight, std::string background,
                             std::vector<std::string> placements, int resultWidth, int resultHeight) {
  return TemplateLayout{spread, previewWidth,          previewHeight, std::move(background),
                        "",     std::move(placements), resultWidth,   resultHeight};
}

inline std::string TemplateDescription(const TemplateLayout& t) {
  std::string slots, placements;
  for (size_t i = 0; i < t.placements.size(); ++i) {
    const std::string n = std::to_string(i + 1), comma = i + 1 < t.placements.size() ? ",\n" : "\n";
    slots += std::string(i ? ", " : "") + R"({"type": "opaque"})";
    placements +=
        R"(      {"slot": )" + n + R"(, "channel": "photo)" + n + R"(", )" + t.placements[i] + "}" + comma;
  }
  std::string json = std::string("{\n  \"spread\": ") + (t.spread ? "true" : "false") + ",\n";
  json += "  \"header\": 1,\n  \"slots\": [" + slots + "],\n";
  json += "  \"preview\": {\n    \"width\": " + std::to_string(t.previewWidth) + ",\n";
  json += "    \"height\": " + std::to_string(t.previewHeight) + ",\n    \"resolution\": 72,\n";
  json += "    \"background\": {\"color\": \"" + t.background + "\"},\n";
  if (!t.overlay.empty()) json += "    \"overlays\": [{\"picture\": \"" + t.overlay + "\"}],\n";
  json += "    \"placements\": [\n" + placements + "    ]\n  },\n";
  json += "  \"result\": {\"from\": \"preview\", \"width\": " + std::to_string(t.resultWidth) +
          ", \"height\": " + std::to_string(t.resultHeight) + ", \"resolution\": 300}\n}\n";
  return json;
}

// The reference page's four slots on the authoring tool's 2100 x 3000 page
// (a rectangle, a rounded window, a feathered ellipse, a rectangle), its
// result version 2520 x 3600; no overlay.
inline TemplateLayout ReferencePageLayout() {
  return Layout(false, 2100, 3000, "#efe8dc",
                {R"("rect": [120, 120, 1980, 1260])",
                 R"("rect": [150, 1380, 1000, 2460], "shape": "rounded", "radius": 50)",
                 R"("rect": [1100, 1380, 1950, 2460], "shape": "ellipse", "feather": 36)",
                 R"("rect": [400, 2560, 1700, 2880])"},
                2520, 3600);
}

// Writes `layout`'s description (and the overlay picture's `overlayText`)
// into the folder `source` and packs it into `package` with the tool `cli`.
inline Status PackTemplate(const std::string& cli, const std::filesystem::path& source,
                           const std::filesystem::path& package, const TemplateLayout& layout,
                           std::string_view overlayText = {}) {
  std::filesystem::create_directories(source);
  std::filesystem::create_directories(package.parent_path());
  const std::string json = (source / "template.json").string();
  if (Status s = WriteFileAtomic(json, std::string_view(TemplateDescription(layout))); !s.ok()) return s;
  if (!layout.overlay.empty())
    if (Status s = WriteFileAtomic((source / layout.overlay).string(), overlayText); !s.ok()) return s;
  if (RunProgram({cli, "pack", json, package.string()}) != 0)
    return Status::Error("tessaro-cli pack failed for " + package.string());
  return Status::Ok();
}

// Adds photo1.jpg ... photo<count>.jpg of `dir` to the set, writing each
// (seeds firstSeed, firstSeed + 1, ...) unless it is there already.
inline Status AddPhotos(TSetNode& set, const std::filesystem::path& dir, int count, int width, int height,
                        int firstSeed) {
  for (int i = 0; i < count; ++i) {
    const std::string path = (dir / ("photo" + std::to_string(i + 1) + ".jpg")).string();
    if (Status s = WritePhotoOnce(path, width, height, firstSeed + i); !s.ok()) return s;
    auto photo = std::make_unique<TPhotoInfoNode>();
    photo->FileName = path;
    set.Photos.push_back(std::move(photo));
  }
  return Status::Ok();
}

// Checks the set's invariants and writes it to its FileName; `what` names
// it in the error.
inline Status WriteSet(const TSetNode& set, const std::string& what) {
  if (std::string broken = CheckInvariants(set); !broken.empty()) return Status::Error(what + ": " + broken);
  auto bytes = EncodeSetFile(set);
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(set.FileName, *bytes);
}

// The command line of a benchmark that prepares its inputs in a folder:
// DIR [TESSARO-CLI], the tool defaulting to this build's.
struct FolderArgs {
  std::filesystem::path dir;
  std::string cli;
};

inline std::optional<FolderArgs> ParseFolderArgs(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [TESSARO-CLI]\n", argv[0]);
    return std::nullopt;
  }
  return FolderArgs{std::filesystem::absolute(argv[1]),
                    argc > 2 ? argv[2] : std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli"};
}

}  // namespace tessaro::bench
