// Reading a descriptor body whose placements come in falling slot order, so
// that every placement must move: the reader's cost per placement count.
// Real templates are capped far lower; the limits are raised here to show
// the growth (n log n) at the sizes a hostile file could reach.
#include <benchmark/benchmark.h>

#include "base/ByteReader.h"
#include "model/Package.h"

namespace {

std::vector<uint8_t> Body(int placements) {
  tessaro::ByteWriter out;
  const int slots = 200;
  out.I32LE(0);
  out.I32LE(0);
  out.I32LE(slots);
  for (int i = 0; i < slots; ++i) {
    out.I32LE(1);
    out.I32LE(0);
  }
  for (int i = 0; i < placements; ++i) {
    out.U8(tessaro::kPlacementTag);
    out.I32LE(slots - i % slots);
    out.I32LE(0);
    for (int k = 0; k < 4; ++k) out.F32LE(float(k));
  }
  out.Zeros(8);
  return out.Take();
}

void BM_ParseDescriptorPlacements(benchmark::State& state) {
  const std::vector<uint8_t> body = Body(int(state.range(0)));
  tessaro::TDescriptorLimits limits;
  limits.MaxPlacements = INT32_MAX;
  for (auto _ : state) {
    auto temp = tessaro::ParseDescriptorBody(body, 0, limits);
    if (!temp.ok()) state.SkipWithError(temp.message().c_str());
    benchmark::DoNotOptimize(temp);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseDescriptorPlacements)
    ->RangeMultiplier(4)
    ->Range(10000, 160000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

BENCHMARK_MAIN();
