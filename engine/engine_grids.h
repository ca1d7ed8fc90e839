// Everything the path loop reads, built once per engine call.
#pragma once

#include <cstddef>
#include <vector>

#include "interface/core_args.h"
#include "numerics/local_vol.h"

namespace morvik {

// One stock's local volatility surface: moneyness axis P (np), time axis T
// (nt) and values row by row, element p*nt + k for moneyness p and time k.
struct VolSurface {
  const double* P = nullptr;
  int np = 0;
  const double* T = nullptr;
  int nt = 0;
  const double* V = nullptr;
  // 1 when P rises strictly (no NaN): the bracket of x is then the same from
  // any starting hint, and the loop finds it without branching.
  int ordered = 0;
  std::vector<double> width;  // P[m+1] - P[m], m = 0..np-2 (one 1.0 when np == 1)
  // Buckets of equal width over [P[0], P[np-1]]: bucket b starts at the
  // bracket of its lower edge, so that one comparison usually finishes the
  // search (a check catches the rest). Empty when the axis needs too many.
  double bucketScale = 0.0;
  std::vector<int> bucket;
};

// Fills `ordered`, `width` and the buckets of a surface from its axis.
void PrepareMoneynessAxis(VolSurface& s);

// Rate, quanto drift factor (FX correlation times FX volatility) and dividend
// entry of one stock's step that ends on a given day. The dividend entry is
// the yield of the step, or the cash amount of its last day for stocks with
// discrete dividends.
struct StepCoef {
  double r = 0.0;
  double rv = 0.0;
  double div = 0.0;
};

// Number of strike levels per observation date, tested from X3 down to X0.
constexpr int kLevels = 4;

struct EngineGrids {
  int NStock = 0;
  int NStrike = 0;
  int NCoupon = 0;
  int D = 0;  // last observation day; days 1..D are simulated

  double base = 0.0;    // 1.0 when payoffs include the notional
  double payLo = 0.0;   // floor of every payoff
  double payHi = 0.0;   // cap of every payoff

  std::vector<double> p0;            // pricing-date performances
  std::vector<unsigned char> cash;   // per stock: 1 = discrete dividend amounts
  int kiInit = 0;                    // knock-in state on the pricing date
  int couponBreachInit = 0;          // coupon-breach state on the pricing date
  int touchInit = 0;                 // knock-out touch state on the pricing date

  std::vector<StepCoef> step;        // (n-1)*NStock + i, n = 1..D
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
