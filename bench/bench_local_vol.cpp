// Local volatility lookups along path-like sequences: performance moving
// slowly, time increasing one day per call, hints carried along the path
// and reset at its start.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "numerics/conventions.h"
#include "numerics/local_vol.h"
#include "numerics/random.h"

namespace {

constexpr int kNp = 10;
constexpr int kNt = 8;
constexpr int kDays = 1095;
constexpr int kPaths = 16;

struct Surface {
  double P[kNp] = {0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8};
  double T[kNt] = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
  double V[kNp * kNt];
  std::vector<double> x;  // kPaths paths of kDays performances

  Surface() : x(static_cast<std::size_t>(kPaths) * kDays) {
    for (int p = 0; p < kNp; ++p)
      for (int k = 0; k < kNt; ++k) V[p * kNt + k] = 0.35 - 0.12 * P[p] + 0.01 * k;
    morvik::RandState rs;
    morvik::RandNormal(rs, 0);
    for (int path = 0; path < kPaths; ++path) {
      double s = 1.0;
      for (int d = 0; d < kDays; ++d) {
        x[path * kDays + d] = s;
        s *= std::exp(0.25 * std::sqrt(1 / morvik::kDaysPerYear) * morvik::RandNormal(rs, 1));
      }
    }
  }
};

const Surface& TheSurface() {
  static const Surface s;
  return s;
}

}  // namespace

static void BM_LocalVolLookupPath(benchmark::State& state) {
  const Surface& s = TheSurface();
  for (auto _ : state) {
    for (int path = 0; path < kPaths; ++path) {
      int hp = 0, ht = 0;
      const double* xs = s.x.data() + path * kDays;
      for (int d = 0; d < kDays; ++d) {
        double v = morvik::LocalVolLookup(s.P, kNp, s.T, kNt, s.V, hp, ht, xs[d], d / morvik::kDaysPerYear);
        benchmark::DoNotOptimize(v);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kPaths * kDays);
}
BENCHMARK(BM_LocalVolLookupPath);

// Time brackets computed once per day up front, moneyness looked up per call.
static void BM_LocalVolAtPrecomputedTime(benchmark::State& state) {
  const Surface& s = TheSurface();
  std::vector<morvik::LocalVolTime> tb(kDays);
  int ht = 0;
  for (int d = 0; d < kDays; ++d) tb[d] = morvik::LocalVolTimeBracket(s.T, kNt, ht, d / morvik::kDaysPerYear);
  for (auto _ : state) {
    for (int path = 0; path < kPaths; ++path) {
      int hp = 0;
      const double* xs = s.x.data() + path * kDays;
      for (int d = 0; d < kDays; ++d) {
        double v = morvik::LocalVolAt(s.P, kNp, kNt, s.V, hp, xs[d], tb[d]);
        benchmark::DoNotOptimize(v);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kPaths * kDays);
}
BENCHMARK(BM_LocalVolAtPrecomputedTime);

BENCHMARK_MAIN();
