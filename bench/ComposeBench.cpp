// Composition through `tessaro-cli compose` on a set file (default: the demo
// set the build makes), measured in one run:
//  - wall time, CPU time and peak memory of the tool as it runs by default
//    (--jobs: the number of cores, so a lone page uses them all) and with
//    --jobs 1 (one thread); each run in its own process, figures from wait4;
//  - the baseline, on one thread (this process is held to one, so the
//    decoder starts no helper and the encoder makes no band beside it): the
//    time to decode every photo each template uses and its background
//    picture, and to encode pages of the written sizes at the result quality;
//  - the ratios: the default run / baseline (the page ratio) and jobs 1 /
//    baseline, in wall and in CPU time (the wall times follow the load of a
//    shared machine).
// Run: build/bench/bench_compose [SET.cys [TESSARO-CLI]] (another build's tool
// may be given, to compare builds)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/Parallel.h"
#include "bench/BenchSupport.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

// CPU seconds of this process so far (every thread).
double ProcessCpuSeconds() {
  struct rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return bench::CpuSeconds(usage);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string binary = TESSARO_BINARY_DIR;
  const std::string setPath = argc > 1 ? argv[1] : binary + "/resources/demo/demo.cys";
  const std::string cli = argc > 2 ? argv[2] : binary + "/tools/tessaro-cli";
  const fs::path out = fs::temp_directory_path() / ("bench_compose_" + std::to_string(getpid()));

  Result<std::unique_ptr<TSetNode>> set = ReadSetFile(setPath, TDiskSetFileSource());
  if (!set.ok()) {
    std::fprintf(stderr, "%s\n", set.message().c_str());
    return 1;
  }
  const int templates = int((*set)->PreviewTemps.size());

  // The default run first, then --jobs 1; the pages of the last run stay
  // for the baseline's encoding.
  const char* const names[2] = {"default", "--jobs 1"};
  bench::ToolFigures runs[2];
  for (int r = 0; r < 2; ++r) {
    fs::remove_all(out);
    std::vector<std::string> args = {cli, "compose", setPath, "--out", out.string()};
    if (r == 1) args.insert(args.end(), {"--jobs", "1"});
    runs[r] = bench::RunTool(args);
  }

  // Baseline, single-threaded: decode what each template uses, encode pages
  // of the sizes written.
  const ScopedThreadLimit oneThread(1);
  const double cpuStart = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (const auto& temp : (*set)->PreviewTemps) {
    for (const auto& slot : temp->Slots)
      if (slot->PhotoIndex >= 0) (void)DecodeImageFile((*set)->Photos[slot->PhotoIndex]->FileName);
    const std::string background = (out / "background.jpg").string();
    if (DecipherTemplateImage(temp->Folder + "brivanto_b.jpg", background).ok())
      (void)DecodeImageFile(background);
  }
  double decodeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double baselineCpu = ProcessCpuSeconds() - cpuStart;
  double encodeSeconds = 0;
  for (const auto& e : fs::recursive_directory_iterator(out)) {
    if (!e.is_regular_file() || e.path().filename() == "background.jpg") continue;
    Result<DecodedImage> page = DecodeImageFile(e.path().string());
    if (!page.ok()) continue;
    JpegEncodeOptions options;
    options.quality = 98;
    options.subsampleChroma = false;
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = ProcessCpuSeconds();
    (void)EncodeJpeg(page->pixels, options);
    baselineCpu += ProcessCpuSeconds() - cpu0;
    encodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  fs::remove_all(out);

  std::printf("set: %s (%d templates), %d hardware threads, load %.1f\n", setPath.c_str(), templates,
              int(std::thread::hardware_concurrency()), bench::LoadAverage());
  for (int r = 0; r < 2; ++r)
    std::printf("compose %s: wall %.2f s, cpu %.2f s, peak %.0f MB, exit %d\n", names[r], runs[r].wall,
                runs[r].cpu, runs[r].peakKb / 1024.0, runs[r].code);
  const double baseline = decodeSeconds + encodeSeconds;
  std::printf("baseline (decode %.2f s + encode %.2f s, one thread): %.2f s wall, %.2f s cpu\n",
              decodeSeconds, encodeSeconds, baseline, baselineCpu);
  std::printf("page ratio, default / baseline (wall): %.2f\n", runs[0].wall / baseline);
  std::printf("ratio jobs 1 / baseline (wall): %.2f\n", runs[1].wall / baseline);
  // On a machine shared with other work the wall times follow its load; the
  // CPU ratios do not.
  std::printf("ratio default / baseline (cpu): %.2f, jobs 1 / baseline (cpu): %.2f\n",
              runs[0].cpu / baselineCpu, runs[1].cpu / baselineCpu);
  std::printf("ratio default / jobs 1 (wall): %.2f\n", runs[0].wall / runs[1].wall);
  return runs[0].code == 0 && runs[1].code == 0 ? 0 : 1;
}
