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

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000;

constexpr const char* kFrame = R"(<svg xmlns="http://www.w3.org/2000/svg" width="2100" height="3000">
  <rect x="50" y="50" width="2000" height="2900" fill="none" stroke="#7a5c3a" stroke-width="14"/>
  <rect x="112" y="112" width="1876" height="1156" fill="none" stroke="#ffffff" stroke-width="6"/>
</svg>
)";

Status Prepare(const fs::path& dir) {
  bench::TemplateLayout layout = bench::ReferencePageLayout();
  layout.overlay = "frame.svg";
  const fs::path package = dir / "library" / "page";
  const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
  if (Status s = bench::PackTemplate(cli, dir / "source", package, layout, kFrame); !s.ok()) return s;
  TSetNode set;
  set.FileName = (dir / "page.cys").string();
  if (Status s = bench::AddPhotos(set, dir, 4, kPhotoWidth, kPhotoHeight, 0); !s.ok()) return s;
  // Photo i in slot i, the second slot turned by 5 degrees.
  if (Status s = bench::AddTemplate(set, package.string(), 8, 12, kUnitInch, 0, 1, kPhotoWidth, kPhotoHeight);
      !s.ok())
    return s;
  return bench::WriteSet(set, "page set");
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
