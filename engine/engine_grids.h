// Everything the path loop reads, built once per engine call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core_args.h"
#include "numerics/local_vol.h"

namespace morvik {

// Where a performance falls on a strictly rising moneyness axis of np nodes:
// segment 0 below or at the first node (and NaN), segment k+1 inside
// [P[k], P[k+1]) for k = 0..np-2, segment np at or above the last node.
// Buckets split the axis by the leading bits of the performance's binary
// form (monotone for positive numbers) and each holds at most two interior
// nodes, so the segment is the bucket's first segment plus two comparisons.
struct alignas(16) MoneynessBucket {
  double thrA = 0.0;  // nodes inside the bucket, rising; NaN (never passed) when unused
  double thrB = 0.0;
};

// A segment of a bucketed axis, for the check that a performance stayed in
// the segment of the day before: it is inside when from <= x < to (NaN never
// is). The weight of the upper row is (x - lo) / width; width is NaN on the
// flat ends, segments 0 and np, whose weight is 1.
struct alignas(32) MoneynessSegment {
  double from = 0.0;
  double to = 0.0;
  double lo = 0.0;
  double width = 0.0;
};

// One stock's local volatility surface: moneyness axis P (np), time axis T
// (nt) and values row by row, element p*nt + k for moneyness p and time k.
struct VolSurface {
  const double* P = nullptr;
  int np = 0;
  const double* T = nullptr;
  int nt = 0;
  const double* V = nullptr;
  // 1 when the bucket tables below are built (a strictly rising axis of
  // positive nodes that buckets evenly enough); otherwise the path loop
  // uses the hinted search.
  int bucketed = 0;
  double p0 = 0.0;            // P[0]
  int shift = 0;              // bits dropped from the binary form
  std::int64_t bucketAt = 0;  // leading bits of P[0]
  std::int64_t lastBucket = 0;
  std::vector<MoneynessBucket> bucket;
  std::vector<int> bucketBase;  // per bucket: segment of its lowest performances
  std::vector<MoneynessSegment> segment;  // np + 1 segments
  // Per time bracket met on the simulated days, per segment, the four
  // surface values the bilinear weights multiply: lower row at the lower and
  // upper time, upper row at the lower and upper time.
  std::vector<double> corner;
};

// Builds the bucket and segment tables of a surface from its axis (leaves
// `bucketed` 0 when the axis does not rise strictly or buckets too unevenly).
void PrepareMoneynessAxis(VolSurface& s);

// Appends the corner table of time bracket `tb` (np + 1 segments of four
// values) to `out`.
void AppendCorners(const VolSurface& s, const LocalVolTime& tb, std::vector<double>& out);

// Everything one stock's step that ends on a given day reads: the rate, the
// quanto drift factor (FX correlation times FX volatility), the dividend
// entry (the yield of the step, or the cash amount of its last day for stocks
// with discrete dividends), the day's time weight u and 1 - u of the
// volatility lookup, and the surface corners of the day's time bracket.
struct DayCoef {
  double r = 0.0;
  double rv = 0.0;
  double div = 0.0;
  double u = 1.0;
  double um = 0.0;
  const double* corner = nullptr;
  // For a stock whose quanto term vanishes (see EngineGrids::plainDrift): the
  // step's 1 + drift * dt, which then no longer depends on the volatility.
  double one = 1.0;
};

// Number of strike levels per observation date, tested from X3 down to X0.
constexpr int kLevels = 4;

struct EngineGrids {
  // The day rows point into the surfaces' corner tables: moved, never copied.
  EngineGrids() = default;
  EngineGrids(const EngineGrids&) = delete;
  EngineGrids& operator=(const EngineGrids&) = delete;
  EngineGrids(EngineGrids&&) = default;
  EngineGrids& operator=(EngineGrids&&) = default;

  int NStock = 0;
  int NStrike = 0;
  int NCoupon = 0;
  int D = 0;  // last observation day; days 1..D are simulated

  double base = 0.0;    // 1.0 when payoffs include the notional
  double payLo = 0.0;   // floor of every payoff
  double payHi = 0.0;   // cap of every payoff

  std::vector<double> p0;            // pricing-date performances
  std::vector<unsigned char> cash;   // per stock: 1 = discrete dividend amounts
  // Per stock: 1 when the quanto factor is zero on every day and the surface
  // holds only moderate numbers, so that the volatility is finite and its
  // quanto product a zero, which leaves 1 + drift * dt unchanged whatever its
  // sign: the step may take DayCoef::one.
  std::vector<unsigned char> plainDrift;
  int kiInit = 0;                    // knock-in state on the pricing date
  int couponBreachInit = 0;          // coupon-breach state on the pricing date
  int touchInit = 0;                 // knock-out touch state on the pricing date

  std::vector<DayCoef> day;          // (n-1)*NStock + i, n = 1..D
  std::vector<VolSurface> surface;   // per stock
  std::vector<LocalVolTime> timeBr;  // (n-1)*NStock + i: time bracket of day n
  std::vector<double> chol;          // NStock*NStock, lower factor, row-major

  std::vector<double> dfKO;          // per remaining observation date, at its payment day
  std::vector<double> dfCp;          // per remaining coupon, at its payment day

  std::vector<double> strike;        // (d*kLevels + level)*NStock + i
  std::vector<double> slope;         // d*kLevels + level
  std::vector<double> amount;        // d*kLevels + level

  std::vector<double> window;        // per date: window length x NStock, slot-major
  std::vector<std::size_t> windowOff;  // start of each date's window in `window`
};

// Builds the grids for a shifted view (see SimulateELS). Requires NStrike >= 1.
void BuildEngineGrids(const CoreArgs& a, int fixedCount, EngineGrids& g);

}  // namespace morvik
