// Everything the path loop reads, built once per engine call from the core
// arguments: the path loop itself reads no CoreArgs field.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/core_args.h"
#include "engine/note_state.h"
#include "engine/payoff_rules.h"
#include "engine/vol_surface.h"

namespace morvik {

// Everything one stock's step that ends on a given day reads: the rate, the
// quanto drift factor (FX correlation times FX volatility), the dividend
// entry (the yield of the step, or the cash amount of its last day for stocks
// with discrete dividends), and the day's place on the surface's time axis.
struct DayCoef {
  double r = 0.0;
  double rv = 0.0;
  double div = 0.0;
  SurfaceDay vol;
  // For a stock whose quanto term vanishes (see EngineGrids::plainDrift): the
  // step's 1 + drift * dt, which then no longer depends on the volatility.
  double one = 1.0;
};

// A remaining observation date.
struct ObservationDate {
  int day = 0;               // simulated day of the observation
  int windowLen = 0;         // closes its strike test reads, the last on `day`
  bool average = false;      // the window's average is tested, not each day
  double barrier = 0.0;      // knock-out barrier of the period ending here
  double df = 0.0;           // discount factor at its payment day
  double redemCoupon = 0.0;  // paid when it does not redeem (0 on the last date)
  std::size_t windowAt = 0;  // start of its window in the window buffer
};

// A remaining coupon.
struct CouponDate {
  int day = 0;           // simulated day of its observation
  double barrier = 0.0;
  double amount = 0.0;
  double df = 0.0;       // discount factor at its payment day
};

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
  int D = 0;            // last observation day; days 1..D are simulated
  double trials = 0.0;  // NTrials: paths run while the path index is below it

  std::vector<double> p0;            // pricing-date performances
  std::vector<double> kiBarrier;     // per stock
  // Per stock: knock-out memory flag as each path starts, the caller's flag
  // or, in memory mode, set by a pricing-date close at or above the barrier.
  std::vector<int> memoryInit;
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
  std::vector<double> chol;          // NStock*NStock, lower factor, row-major

  std::vector<ObservationDate> date;  // per remaining observation date
  std::vector<CouponDate> coupon;     // per remaining coupon

  std::vector<double> strike;        // (d*kLevels + level)*NStock + i
  std::vector<double> slope;         // d*kLevels + level
  std::vector<double> amount;        // d*kLevels + level

  // Every date's window (window length x NStock, slot-major) as each path
  // starts it: the known fixings of the first, 0.0 everywhere else.
  std::vector<double> window;

  // The note's rules and events as the path loop runs them: they point into
  // the tables above (kiBarrier, date, strike, coupon), which a move keeps.
  note::Rules rules;
  std::vector<note::DateTerms> dateTerms;      // per remaining observation date
  std::vector<note::CouponTerms> couponTerms;  // per remaining coupon
};

// Builds the grids for a shifted view (see SimulateELS). Requires NStrike >= 1.
void BuildEngineGrids(const CoreArgs& a, int fixedCount, EngineGrids& g);

}  // namespace morvik
