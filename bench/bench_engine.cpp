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
#include "tests/engine/note_fixture.h"

namespace {

double g_nsPerNormal = 0.0;

// CPU time of this (single-threaded) process: the machine is shared, wall
// time is not.
double CpuNs() { return static_cast<double>(std::clock()) * (1e9 / CLOCKS_PER_SEC); }

morvik::testing::NoteFixture RealisticNote() {
  morvik::testing::NoteFixture f(3, {183, 365, 548, 730, 913, 1095},
                                 {190, 372, 555, 737, 920, 1102});
  const double P[10] = {0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8};
  const double T[8] = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
  f.TVol.clear();
  f.Parity_Scaled.clear();
  f.LocalVolSurface.clear();
  for (int i = 0; i < 3; ++i) {
    f.TVol.insert(f.TVol.end(), T, T + 8);
    f.Parity_Scaled.insert(f.Parity_Scaled.end(), P, P + 10);
    for (int p = 0; p < 10; ++p) {
      for (int k = 0; k < 8; ++k) f.LocalVolSurface.push_back(0.38 - 0.12 * P[p] + 0.01 * k + 0.02 * i);
    }
  }
  f.NVol = {8, 8, 8};
  f.NParity = {10, 10, 10};
  f.UnderlyingCorr = {1.0, 0.55, 0.45, 0.55, 1.0, 0.5, 0.45, 0.5, 1.0};
  f.TCurveInfo_Stock = {0.5, 1.0, 3.0, 0.5, 1.0, 3.0, 0.5, 1.0, 3.0};
  f.CurveInfo_Stock = {0.030, 0.032, 0.035, 0.031, 0.033, 0.036, 0.029, 0.031, 0.034};
  f.NT_Stock = {3, 3, 3};
  f.TCurveInfo_Disc = {0.5, 1.0, 3.0};
  f.CurveInfo_Disc = {0.031, 0.033, 0.036};
  for (auto& row : f.DailyDivRows) {
    for (double& q : row) q = 0.015;
  }
  const double steps[6] = {0.90, 0.90, 0.85, 0.85, 0.80, 0.75};
  for (int d = 0; d < 6; ++d) {
    f.SetStrike(3, d, steps[d]);
    f.PayOffAmount3[d] = 0.045 * (d + 1);
  }
  f.PayOffAmount3[6] = 0.27;  // maturity without knock-in
  f.PayOffSlope3[7] = 1.0;    // maturity with knock-in: loss participation
  f.KI_Barrier = {0.5, 0.5, 0.5};
  f.KnockBarrierFlag1 = 1;
  f.NTrials = 10000;
  return f;
}

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
  morvik::testing::NoteFixture f = RealisticNote();
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
