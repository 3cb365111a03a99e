// A batch: thirty templates over three sets (ten each: a four-photo page and
// a two-photo page in turn, 12-megapixel photos) through
// `tessaro-cli compose` with --jobs 1 and --jobs 2, measured in one run:
//  - wall time, CPU time and peak memory of each run, and the ratio of the
//    two wall times;
//  - memory from job to job: the peak resident size between one finished
//    page and the next (sampled from /proc); the sets repeat the same ten
//    templates, so in a flat run the peak while the last set is composed
//    stays within 5 % of the peak while the first set is.
// Run: build/bench/bench_batch DIR [TESSARO-CLI]  (DIR keeps the photos
// between runs)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000, kPhotos = 6, kSets = 3, kTemplatesPerSet = 10;

// The two templates, on the authoring tool's 2100 x 3000 page: the
// reference page's four photos without its overlay, and two photos.
bench::TemplateLayout Two() {
  return bench::Layout(false, 2100, 3000, "#203040",
                       {R"("rect": [150, 150, 1950, 1450])",
                        R"("rect": [150, 1550, 1950, 2850], "shape": "rounded", "radius": 80)"},
                       2520, 3600);
}

Status Prepare(const fs::path& dir, const std::string& cli, std::vector<std::string>& setPaths) {
  const fs::path library = dir / "library";
  const std::pair<const char*, bench::TemplateLayout> packages[] = {{"four", bench::ReferencePageLayout()},
                                                                    {"two", Two()}};
  for (const auto& [name, layout] : packages)
    if (Status s = bench::PackTemplate(cli, dir / "source" / name, library / name, layout); !s.ok()) return s;
  for (int n = 0; n < kSets; ++n) {
    TSetNode set;
    set.FileName = (dir / ("set" + std::to_string(n + 1) + ".cys")).string();
    if (Status s = bench::AddPhotos(set, dir, kPhotos, kPhotoWidth, kPhotoHeight, 20); !s.ok()) return s;
    for (int t = 0; t < kTemplatesPerSet; ++t) {
      const std::string package = (library / (t % 2 == 0 ? "four" : "two")).string();
      if (Status s = bench::AddTemplate(set, package, 8, 12, kUnitInch, n + t, t % 3 == 0 ? 1 : -1,
                                        kPhotoWidth, kPhotoHeight);
          !s.ok())
        return s;
    }
    if (Status s = bench::WriteSet(set, "batch set"); !s.ok()) return s;
    setPaths.push_back(set.FileName);
  }
  return Status::Ok();
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<bench::FolderArgs> folder = bench::ParseFolderArgs(argc, argv);
  if (!folder) return 2;
  const auto& [dir, cli] = *folder;
  std::vector<std::string> setPaths;
  if (Status s = Prepare(dir, cli, setPaths); !s.ok()) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    return 1;
  }
  const fs::path out = dir / "out";
  std::printf("batch: %d sets x %d templates, load %.1f\n", kSets, kTemplatesPerSet, bench::LoadAverage());
  bench::ToolFigures runs[2];
  for (int jobs : {1, 2}) {
    fs::remove_all(out);
    std::vector<std::string> args = {cli, "compose"};
    args.insert(args.end(), setPaths.begin(), setPaths.end());
    args.insert(args.end(), {"--out", out.string(), "--jobs", std::to_string(jobs)});
    bench::ToolFigures& f = runs[jobs - 1] = bench::RunTool(args, "composed ");
    std::printf("compose --jobs %d: wall %.2f s, cpu %.2f s, peak %.0f MB, %zu pages, exit %d\n", jobs,
                f.wall, f.cpu, f.peakKb / 1024.0, f.peakKbPerLine.size(), f.code);
    // Pages of different templates need different memory; the sets repeat
    // the same templates, so a flat run needs as much for the last set as
    // for the first.
    const std::vector<long>& peaks = f.peakKbPerLine;
    if (peaks.size() == size_t(kSets * kTemplatesPerSet)) {
      const long first = *std::max_element(peaks.begin(), peaks.begin() + kTemplatesPerSet);
      const long last = *std::max_element(peaks.end() - kTemplatesPerSet, peaks.end());
      std::printf("  peak while composing the first set %.0f MB, the last set %.0f MB: %+.1f %%\n",
                  first / 1024.0, last / 1024.0, first > 0 ? 100.0 * (last - first) / first : 0.0);
      std::printf("  peak per page (MB):");
      for (long kb : peaks) std::printf(" %.0f", kb / 1024.0);
      std::printf("\n");
    }
  }
  fs::remove_all(out);
  std::printf("ratio jobs 2 / jobs 1 (wall): %.2f, (cpu): %.2f\n", runs[1].wall / runs[0].wall,
              runs[1].cpu / runs[0].cpu);
  std::printf("load %.1f at the end\n", bench::LoadAverage());
  return runs[0].code == 0 && runs[1].code == 0 ? 0 : 1;
}
