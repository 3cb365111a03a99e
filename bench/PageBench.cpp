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
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"
#include "model/SetFile.h"

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
  if (bench::RunProgram({cli, "pack", (source / "template.json").string(), package.string()}) != 0)
    return Status::Error("tessaro-cli pack failed");

  TSetNode set;
  set.FileName = (dir / "page.cys").string();
  for (int i = 0; i < 4; ++i) {
    const std::string path = (dir / ("photo" + std::to_string(i + 1) + ".jpg")).string();
    if (Status s = bench::WritePhotoOnce(path, kPhotoWidth, kPhotoHeight, i); !s.ok()) return s;
    auto photo = std::make_unique<TPhotoInfoNode>();
    photo->FileName = path;
    set.Photos.push_back(std::move(photo));
  }
  // Photo i in slot i, the second slot turned by 5 degrees.
  if (Status s = bench::AddTemplate(set, package.string(), 8, 12, kUnitInch, 0, 1, kPhotoWidth, kPhotoHeight);
      !s.ok())
    return s;
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
