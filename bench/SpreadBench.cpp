// The large spread: 48 x 32 in at 300 ppi (14400 x 9600 pixels), ten
// 24-megapixel photos (6000 x 4000) in masked slots (rectangles, a rounded
// window, a feathered ellipse, one photo turned by 5 degrees), a frame
// overlay; composed through `tessaro-cli compose` as JPEG and as a layered
// document. Memory is what this measures: the JPEG page must stay within
// 1.5 GB (layers hold their painted area, the page is flattened and encoded
// in bands).
//
// The template is laid out on the authoring tool's 4200 x 3000 spread page;
// its result version is 13440 x 9600 at 300 ppi, so the automatic
// resolution of a 24 x 32 in page (a 48 x 32 in spread) is 300 ppi.
//
// Run: build/bench/bench_spread DIR [TESSARO-CLI]  (DIR keeps the photos
// between runs)
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000, kPhotos = 10;

// Ten slots on the authoring tool's 4200 x 3000 spread page.
bench::TemplateLayout Layout() {
  bench::TemplateLayout layout =
      bench::Layout(true, 4200, 3000, "#efe8dc",
                    {R"("rect": [120, 120, 1050, 960])",
                     R"("rect": [1130, 120, 2060, 960], "shape": "rounded", "radius": 40)",
                     R"("rect": [2140, 120, 3070, 960])", R"("rect": [3150, 120, 4080, 960])",
                     R"("rect": [120, 1080, 1050, 1920])",
                     R"("rect": [1130, 1080, 3070, 1920], "shape": "ellipse", "feather": 40)",
                     R"("rect": [3150, 1080, 4080, 1920])", R"("rect": [120, 2040, 1050, 2880])",
                     R"("rect": [1130, 2040, 2060, 2880])", R"("rect": [2140, 2040, 4080, 2880])"},
                    13440, 9600);
  layout.overlay = "frame.svg";
  return layout;
}

constexpr const char* kFrame = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4200" height="3000">
  <rect x="50" y="50" width="4100" height="2900" fill="none" stroke="#7a5c3a" stroke-width="14"/>
  <line x1="2100" y1="60" x2="2100" y2="2940" stroke="#d8cfc0" stroke-width="4"/>
</svg>
)";

Status Prepare(const fs::path& dir, const std::string& cli, std::string& setPath) {
  const fs::path package = dir / "library" / "spread";
  if (Status s = bench::PackTemplate(cli, dir / "source", package, Layout(), kFrame); !s.ok()) return s;
  TSetNode set;
  set.FileName = (dir / "spread.cys").string();
  if (Status s = bench::AddPhotos(set, dir, kPhotos, kPhotoWidth, kPhotoHeight, 0); !s.ok()) return s;
  if (Status s =
          bench::AddTemplate(set, package.string(), 24, 32, kUnitInch, 0, 6, kPhotoWidth, kPhotoHeight);
      !s.ok())
    return s;
  setPath = set.FileName;
  return bench::WriteSet(set, "spread set");
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<bench::FolderArgs> folder = bench::ParseFolderArgs(argc, argv);
  if (!folder) return 2;
  const auto& [dir, cli] = *folder;
  std::string setPath;
  if (Status s = Prepare(dir, cli, setPath); !s.ok()) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    return 1;
  }
  const fs::path out = dir / "out";
  bool good = true;
  std::printf("spread: %s (14400 x 9600, ten photos), load %.1f\n", setPath.c_str(), bench::LoadAverage());
  for (const bool psd : {false, true}) {
    fs::remove_all(out);
    // One template: with the default thread budget (every core) the job
    // uses them all, which is also when it needs the most memory.
    std::vector<std::string> args = {cli, "compose", setPath, "--out", out.string()};
    if (psd) args.push_back("--psd");
    const bench::ToolFigures f = bench::RunTool(args);
    uintmax_t bytes = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(out, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
      if (it->is_regular_file()) bytes += it->file_size();
    std::printf("%-5s wall %.2f s, cpu %.2f s, peak %.0f MB, output %.0f MB, exit %d\n", psd ? "PSD" : "JPEG",
                f.wall, f.cpu, f.peakKb / 1024.0, bytes / 1048576.0, f.code);
    good = good && f.code == 0;
  }
  fs::remove_all(out);
  std::printf("load %.1f at the end\n", bench::LoadAverage());
  return good ? 0 : 1;
}
