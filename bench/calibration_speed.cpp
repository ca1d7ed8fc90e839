// Calibration speed: a 12 x 15 quote matrix (Heston quotes, 2 weeks to 5
// years, 60-140 % of spot) checked for arbitrage, fitted by the
// Andreasen-Huge interpolation and sampled onto the local-volatility grid.
// Target: under one second per surface.
#include <benchmark/benchmark.h>

#include <vector>

#include "calibration/implied_surface.h"
#include "calibration/reference_surfaces.h"

namespace {

using namespace morvik::calib;

struct Surface {
  Market m;
  Quotes q;
  Surface() {
    m.spot = 100.0;
    m.rate = {{0.5, 1.0, 2.0, 5.0}, {0.04, 0.038, 0.036, 0.035}};
    m.dividend = {{0.0}, {0.015}};
    const std::vector<int> days = {14, 31, 61, 91, 182, 273, 365, 547, 730, 1095, 1461, 1826};
    std::vector<double> strikes;
    for (int k = 0; k < 15; ++k) strikes.push_back(60.0 + 80.0 * k / 14.0);
    q = HestonQuotes(m, kGatheralSpx2005, days, strikes);
  }
};

void BM_Calibrate12x15(benchmark::State& state) {
  static const Surface s;
  for (auto _ : state) {
    const Calibration c = Calibrate(s.q, s.m, ArbitragePolicy::kReject);
    benchmark::DoNotOptimize(c.grid.vols.data());
    state.counters["fit_max_vol_points"] = c.report.maxError;
    state.counters["quotes"] = c.report.quotes;
    state.counters["grid_values"] = static_cast<double>(c.grid.vols.size());
  }
}
BENCHMARK(BM_Calibrate12x15)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
