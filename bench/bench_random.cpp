// Normals per second from one stream, drawn the way the engine's path loop
// draws them (mode 1 after one reset).
#include <benchmark/benchmark.h>

#include "numerics/random.h"

static void BM_RandNormal(benchmark::State& state) {
  morvik::RandState rs;
  benchmark::DoNotOptimize(morvik::RandNormal(rs, 0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(morvik::RandNormal(rs, 1));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandNormal);

// Batches of one normal per stock per day, as a three-stock path draws them.
static void BM_RandNormalThreeStockDay(benchmark::State& state) {
  morvik::RandState rs;
  morvik::RandNormal(rs, 0);
  double z[3];
  for (auto _ : state) {
    for (double& v : z) v = morvik::RandNormal(rs, 1);
    benchmark::DoNotOptimize(z);
  }
  state.SetItemsProcessed(3 * state.iterations());
}
BENCHMARK(BM_RandNormalThreeStockDay);

static void BM_RandUniform(benchmark::State& state) {
  morvik::RandState rs;
  for (auto _ : state) {
    benchmark::DoNotOptimize(morvik::RandUniform(rs));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandUniform);

BENCHMARK_MAIN();
