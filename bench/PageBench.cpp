// The reference page: 2400 x 3600 pixels at 300 ppi (8 x 12 in), four
// 24-megapixel JPEG photos (6000 x 4000) in masked slots (a rectangle, a
// rounded window turned by 5 degrees, a feathered ellipse, a rectangle), a
// frame overlay, written as JPEG quality 12.
//
// The template is laid out on the authoring tool's 2100 x 3000 preview page;
// its result version is 2520 x 3600 at 300 ppi, so that the automatic
// resolution of an 8 x 12 in page is 300 ppi and the page 2400 x 3600.
//
// This program prepares the inputs in a folder: the template source
// (template.json and its overlay), the package made from it by
// `tessaro-cli pack`, the four photos and a set file placing them with the
// covering fit the preview makes. The figures then come from the compose
// benchmark run on that set (wall, CPU and peak memory of
// `tessaro-cli compose`, and the ratio to the single-threaded decode of the
// photos and the background and the encode of the page, in one run):
//   build/bench/bench_page DIR
//   build/bench/bench_compose DIR/page.cys
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/Package.h"
#include "model/Photos.h"
#include "model/SetFile.h"
#include "model/Sizes.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000;

constexpr const char* kDescription = R"({
  "spread": false,
  "header": 1,
  "slots": [{"type": "opaque"}, {"type": "opaque"}, {"type": "opaque"}, {"type": "opaque"}],
  "preview": {
    "width": 2100,
    "height": 3000,
    "resolution": 72,
    "background": {"color": "#efe8dc"},
    "overlays": [{"picture": "frame.svg"}],
    "placements": [
      {"slot": 1, "channel": "photo1", "rect": [120, 120, 1980, 1260]},
      {"slot": 2, "channel": "photo2", "rect": [150, 1380, 1000, 2460], "shape": "rounded", "radius": 50},
      {"slot": 3, "channel": "photo3", "rect": [1100, 1380, 1950, 2460], "shape": "ellipse", "feather": 36},
      {"slot": 4, "channel": "photo4", "rect": [400, 2560, 1700, 2880]}
    ]
  },
  "result": {"from": "preview", "width": 2520, "height": 3600, "resolution": 300}
}
)";

constexpr const char* kFrame = R"(<svg xmlns="http://www.w3.org/2000/svg" width="2100" height="3000">
  <rect x="50" y="50" width="2000" height="2900" fill="none" stroke="#7a5c3a" stroke-width="14"/>
  <rect x="112" y="112" width="1876" height="1156" fill="none" stroke="#ffffff" stroke-width="6"/>
</svg>
)";

// A photo-like picture: smooth colour fields with fine texture, so that it
// encodes to a realistic size. `seed` varies it.
Image MakePhoto(int seed) {
  Image image;
  if (!image.Create(kPhotoWidth, kPhotoHeight).ok()) return image;
  uint32_t state = 2463534242u + uint32_t(seed) * 7919u;
  for (int y = 0; y < kPhotoHeight; ++y) {
    Rgba8* row = image.Row(y);
    const double fy = double(y) / kPhotoHeight;
    for (int x = 0; x < kPhotoWidth; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      const double fx = double(x) / kPhotoWidth;
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

int Run(const std::vector<std::string>& argv) {
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

Status Prepare(const fs::path& dir) {
  const fs::path source = dir / "source", library = dir / "library", package = library / "page";
  fs::create_directories(source);
  fs::create_directories(library);
  if (Status s = WriteFileAtomic((source / "template.json").string(), std::string_view(kDescription));
      !s.ok())
    return s;
  if (Status s = WriteFileAtomic((source / "frame.svg").string(), std::string_view(kFrame)); !s.ok())
    return s;
  const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
  if (Run({cli, "pack", (source / "template.json").string(), package.string()}) != 0)
    return Status::Error("tessaro-cli pack failed");

  TSetNode set;
  set.FileName = (dir / "page.cys").string();
  for (int i = 0; i < 4; ++i) {
    const std::string path = (dir / ("photo" + std::to_string(i + 1) + ".jpg")).string();
    if (!FileExists(path)) {
      JpegEncodeOptions options;
      options.quality = 92;
      Result<std::vector<uint8_t>> bytes = EncodeJpeg(MakePhoto(i), options, 300);
      if (!bytes.ok()) return bytes.status();
      if (Status s = WriteFileAtomic(path, *bytes); !s.ok()) return s;
    }
    auto photo = std::make_unique<TPhotoInfoNode>();
    photo->FileName = path;
    set.Photos.push_back(std::move(photo));
  }

  auto preview = ReadDescriptor(JoinPath(package.string(), kPreviewDescriptorName), 0);
  auto result = ReadDescriptor(JoinPath(package.string(), kResultDescriptorName), 0);
  if (!preview || !result) return Status::Error(package.string() + ": not a template package");
  for (TTempNode* temp : {preview.get(), result.get()}) {
    temp->Width = 8;
    temp->Height = 12;
    temp->SizeUnit = kUnitInch;
    temp->SizeName = "8x12";
    temp->ImportStamp = "2026_12_09_12_00_00";
  }
  set.PreviewTemps.push_back(std::move(preview));
  set.ResultTemps.push_back(std::move(result));
  TTempNode& temp = *set.PreviewTemps.back();
  const TSlotWindowGeometry geometry;
  for (size_t s = 0; s < temp.Slots.size() && s < 4; ++s) {
    TSlotNode& slot = *temp.Slots[s];
    AssignPhotoToSlot(&set, &slot, int(s), {});
    slot.SetEmptyTransform();
    const TPlacement* placement = temp.FirstPlacementOf(static_cast<int>(s));
    if (!placement) continue;
    auto window =
        SlotWindowSize(placement->Rect, temp.Spread, temp.Width, temp.Height, temp.SizeUnit, geometry);
    if (!window) continue;
    // The covering fit the preview makes on first display.
    const int ws = window->first - 1, hs = window->second - 1;
    int w = ws, h = hs;
    if (double(kPhotoHeight) / hs > double(kPhotoWidth) / ws)
      h = int(int64_t(kPhotoHeight) * ws / kPhotoWidth);
    else
      w = int(int64_t(kPhotoWidth) * hs / kPhotoHeight);
    slot.ScaleX = float(w) / ws;
    slot.ScaleY = float(h) / hs;
    slot.OffsetX = slot.OffsetY = 0;
    slot.Angle = s == 1 ? 5 : 0;
  }
  if (std::string broken = CheckInvariants(set); !broken.empty()) return Status::Error("page set: " + broken);
  auto bytes = EncodeSetFile(set);
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(set.FileName, *bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const fs::path dir = fs::absolute(argv[1]);
  if (Status s = Prepare(dir); !s.ok()) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    return 1;
  }
  std::printf("%s\n", (dir / "page.cys").string().c_str());
  return 0;
}
