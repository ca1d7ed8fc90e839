// One core valuation of a realistic note: three stocks, three years of daily
// steps, six semiannual observation dates, a 10 x 8 local volatility grid per
// stock, 10000 trials. Reports nanoseconds per simulated stock-day (paths that
// redeem early count only the days they ran) and its ratio to the cost of one
// normal from the random stream, measured in the same run (both on CPU
// time).
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>

#include "engine/core_valuation.h"
#include "numerics/random.h"
#include "testing/core_note.h"

namespace {

double g_nsPerNormal = 0.0;

// CPU time of this (single-threaded) process: the machine is shared, wall
// time is not.
double CpuNs() { return static_cast<double>(std::clock()) * (1e9 / CLOCKS_PER_SEC); }

}  // namespace

static void BM_RandNormal(benchmark::State& state) {
  morvik::RandState rs;
  benchmark::DoNotOptimize(morvik::RandNormal(rs, 0));
  long long n = 0;
  const double start = CpuNs();
  for (auto _ : state) {
    benchmark::DoNotOptimize(morvik::RandNormal(rs, 1));
    ++n;
  }
  const double ns = CpuNs() - start;
  g_nsPerNormal = ns / static_cast<double>(n);
  state.counters["ns_per_normal"] = g_nsPerNormal;
}
BENCHMARK(BM_RandNormal)->MinTime(1.0);

static void BM_CoreValuation(benchmark::State& state) {
  morvik::testing::CoreNote f = morvik::testing::RealisticCoreNote();
  const morvik::CoreArgs a = f.View();
  const morvik::CoreResults r = f.Results();
  double stockDays = 0.0;
  long long valuations = 0;
  const double start = CpuNs();
  for (auto _ : state) {
    benchmark::DoNotOptimize(morvik::MorvikCore(a, r));
    ++valuations;
  }
  const double ns = CpuNs() - start;
  // Simulated days per valuation from the outcome counts: a path that
  // redeems on date d ran KO_ObsDays[d] days, a path to maturity all of them.
  const int K = f.NStrike;
  double days = 0.0;
  for (int d = 0; d < K; ++d) days += f.ELS_Prob[d] * f.NTrials * f.KO_ObsDays[d];
  days += (f.ELS_Prob[K] + f.ELS_Prob[K + 1]) * f.NTrials * f.KO_ObsDays[K - 1];
  stockDays = days * f.NStock;
  const double nsPerStockDay = ns / (static_cast<double>(valuations) * stockDays);
  state.counters["stock_days"] = stockDays;
  state.counters["ns_per_stock_day"] = nsPerStockDay;
  state.counters["first_date_share"] = f.ELS_Prob[0];
  state.counters["price"] = f.ResultPrice[0];
  if (g_nsPerNormal > 0.0) state.counters["ratio_to_normal"] = nsPerStockDay / g_nsPerNormal;
}
BENCHMARK(BM_CoreValuation)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
