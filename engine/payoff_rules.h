// The note's barrier modes and the single checks of its rules: the barrier
// tests of a day's closes, the strike-level test of an observation window,
// the payoff limits, the gain, the maturity payoff and the discount factor
// of a payment. engine/note_state.h sequences them into a day and an
// observation date for every caller.
//
// Every rule keeps one order of floating-point operations, so every caller
// gives the same bits on the same closes.
#pragma once

#include <cstddef>

#include "engine/core_args.h"
#include "numerics/conventions.h"
#include "numerics/curves.h"

namespace morvik {

// Per-stock thresholds: stock i's is at[i * stride], so a stride of 0 gives
// every stock the one barrier at[0].
struct Threshold {
  const double* at = nullptr;
  int stride = 0;
};

// Stock i's barrier, from one barrier for all, a per-stock array or a
// Threshold: the tests below take any of them.
inline double BarrierAt(double b, int) { return b; }
inline double BarrierAt(const double* b, int i) { return b[i]; }
inline double BarrierAt(const Threshold& t, int i) { return t.at[i * t.stride]; }

// Knock-out touch (KnockBarrierFlag[0]): 0, the worst performance reaches
// the barrier; any other value, every stock has reached it on some day of
// the period (stock by stock, with the memory flags).
enum class KnockOutTouch : unsigned char { Worst, StockByStock };

// Which memory flags count as set: the pricing-date test takes only a flag
// of 1, the test of a later day any flag but 0.
enum class MemoryFlagCounts : unsigned char { OnlyOne, NonZero };

// The stock-by-stock touch on one day's performances y: every stock at or
// above the barrier has its flag set to 1 (all of them, before the touch is
// decided), and the touch comes when every flag then counts as set. The one
// rule for the pricing date, each simulated day and each day of a history.
template <MemoryFlagCounts Counts, class Barrier>
inline bool RememberTouches(int* flags, const double* y, int S, const Barrier& barrier) {
  bool all = true;
  for (int i = 0; i < S; ++i) {
    if (y[i] >= BarrierAt(barrier, i)) flags[i] = 1;
    all = all && (Counts == MemoryFlagCounts::OnlyOne ? flags[i] == 1 : flags[i] != 0);
  }
  return all;
}

// Knock-in (KnockBarrierFlag[1]): 0, tested at maturity, and a knocked-in
// note still pays only the gain (no loss); 1, tested on the pricing date
// and every simulated day, with loss participation at maturity; 2 (and any
// other value), tested at maturity only, with loss participation.
enum class KnockIn : unsigned char { AtMaturityNoLoss, DailyWithLoss, AtMaturityWithLoss };

// Coupon barrier watch (CouponBarrierFlag): 1 every day, 2 only on the
// coupon observation date, any other value never.
enum class CouponWatch : unsigned char { Never, Daily, OnDate };

inline KnockOutTouch KnockOutTouchOf(int flag) {
  return flag == 0 ? KnockOutTouch::Worst : KnockOutTouch::StockByStock;
}

inline KnockIn KnockInOf(int flag) {
  if (flag == 0) return KnockIn::AtMaturityNoLoss;
  return flag == 1 ? KnockIn::DailyWithLoss : KnockIn::AtMaturityWithLoss;
}

inline CouponWatch CouponWatchOf(int flag) {
  if (flag == 1) return CouponWatch::Daily;
  return flag == 2 ? CouponWatch::OnDate : CouponWatch::Never;
}

// Number of strike levels per observation date, tested from the highest
// (X3, with PayOffSlope3 and PayOffAmount3) down to X0.
constexpr int kLevels = 4;

// A view's strike levels, highest first: the strike blocks X3..X0
// (NStrike x NStock, date-major) and their slopes and amounts (per date).
struct LevelBlocks {
  const double* strike[kLevels];
  const double* slope[kLevels];
  const double* amount[kLevels];
};

inline LevelBlocks LevelBlocksOf(const CoreArgs& a) {
  return LevelBlocks{{a.X3, a.X2, a.X1, a.X0},
                     {a.PayOffSlope3, a.PayOffSlope2, a.PayOffSlope1, a.PayOffSlope0},
                     {a.PayOffAmount3, a.PayOffAmount2, a.PayOffAmount1, a.PayOffAmount0}};
}

// Payoffs per unit of notional: `base` is 1 when they include the notional,
// and every payoff is floored at `lo`, then capped at `hi`.
struct PayoffLimits {
  double base = 0.0;
  double lo = 0.0;
  double hi = 0.0;
};

// From the notional flag (NAFlag) and the two limits (PayOffLimit).
inline PayoffLimits PayoffLimitsOf(int naFlag, double floorBelowBase, double capAboveBase) {
  PayoffLimits p;
  p.base = naFlag == 1 ? 1.0 : 0.0;
  p.lo = p.base - floorBelowBase;
  p.hi = p.base + capAboveBase;
  return p;
}

inline PayoffLimits PayoffLimitsOf(const CoreArgs& a) {
  return PayoffLimitsOf(a.NAFlag, a.PayOffLimit0, a.PayOffLimit1);
}

// The discount factor of a payment `payDays` calendar days after the
// pricing date, on the note's discount curve: the one rule for the path
// loop, the settlement of a pending date and the factors a valuation reports.
inline double PaymentDiscount(const CoreArgs& a, int payDays) {
  return DiscountFactor(a.TCurveInfo_Disc, a.CurveInfo_Disc, a.NT_Disc, payDays / kDaysPerYear);
}

// The floor first, then the cap: the cap wins when the floor lies above it.
inline double ClampPayoff(double v, const PayoffLimits& p) {
  const double floored = p.lo < v ? v : p.lo;
  return floored < p.hi ? floored : p.hi;
}

// max(worst - 1, 0); a NaN worst gains 0.
inline double Gain(double worst) {
  const double g = worst - 1.0;
  return g > 0.0 ? g : 0.0;
}

inline double WorstOf(const double* y, int S) {
  double w = y[0];
  for (int i = 1; i < S; ++i) w = y[i] < w ? y[i] : w;
  return w;
}

// A payoff of base plus amount plus slope times a move of the worst
// performance (its gain, or worst - 1 where losses count), limited.
inline double SlopePayoff(const PayoffLimits& p, double move, double slope, double amount) {
  return ClampPayoff(move * slope + p.base + amount, p);
}

// Redemption by touch: the highest level's amount, without slope.
inline double TouchPayoff(const PayoffLimits& p, double amount) {
  return ClampPayoff(p.base + amount, p);
}

// Does a strike level (strikes[0..S-1]) pass on an observation window of L
// rows of S performances, oldest first? Average test: each stock's closes,
// each divided by L before summing, reach its strike. Any-day test: on some
// row every stock is at or above its strike (an empty window passes).
inline bool LevelPasses(const double* strikes, int S, const double* win, int L, bool average) {
  if (average) {
    for (int i = 0; i < S; ++i) {
      double sum = 0.0;
      for (int m = 0; m < L; ++m) sum += win[static_cast<std::size_t>(m) * S + i] / L;
      if (!(sum >= strikes[i])) return false;
    }
    return true;
  }
  if (L <= 0) return true;
  for (int m = 0; m < L; ++m) {
    const double* row = win + static_cast<std::size_t>(m) * S;
    bool all = true;
    for (int i = 0; i < S; ++i) {
      if (!(row[i] >= strikes[i])) {
        all = false;
        break;
      }
    }
    if (all) return true;
  }
  return false;
}

// The first level, from the highest down, that passes on the window; -1
// when none does. strikes[b] is level b's row of S strikes.
inline int FirstPassingLevel(const double* const strikes[kLevels], int S, const double* win, int L,
                             bool average) {
  for (int b = 0; b < kLevels; ++b) {
    if (LevelPasses(strikes[b], S, win, L, average)) return b;
  }
  return -1;
}

// The maturity payoff's terms: PayOffSlope3 and PayOffAmount3 at the slot
// after the last date (not knocked in, index 0) and the one after it
// (knocked in, index 1), and how a knock-in counts.
struct MaturityTerms {
  double slope[2] = {0.0, 0.0};
  double amount[2] = {0.0, 0.0};
  KnockIn mode = KnockIn::AtMaturityNoLoss;
};

// Terms from the highest slope and amount blocks of a schedule whose last
// observation date is nStrike - 1, and the knock-in flag.
inline MaturityTerms MaturityTermsOf(const double* slope3, const double* amount3, int nStrike, int kiFlag) {
  MaturityTerms m;
  m.slope[0] = slope3[nStrike];
  m.slope[1] = slope3[nStrike + 1];
  m.amount[0] = amount3[nStrike];
  m.amount[1] = amount3[nStrike + 1];
  m.mode = KnockInOf(kiFlag);
  return m;
}

inline MaturityTerms MaturityTermsOf(const CoreArgs& a) {
  return MaturityTermsOf(a.PayOffSlope3, a.PayOffAmount3, a.NStrike, a.KnockBarrierFlag1);
}

// The first stock (in order) that closes strictly below its barrier; -1
// when none does.
template <class Barrier>
inline int FirstBelow(const double* y, const Barrier& barrier, int S) {
  for (int i = 0; i < S; ++i) {
    if (y[i] < BarrierAt(barrier, i)) return i;
  }
  return -1;
}

// Does some stock close strictly below its barrier?
template <class Barrier>
inline bool AnyBelow(const double* y, const Barrier& barrier, int S) {
  return FirstBelow(y, barrier, S) >= 0;
}

// Does some stock close at or below its barrier (a coupon breach; on the
// pricing date, also a knock-in)?
template <class Barrier>
inline bool AnyAtOrBelow(const double* y, const Barrier& barrier, int S) {
  for (int i = 0; i < S; ++i) {
    if (y[i] <= BarrierAt(barrier, i)) return true;
  }
  return false;
}

struct MaturityOutcome {
  bool knockedIn = false;
  double payoff = 0.0;
};

// Maturity on the final performances y: knocked in when already so or when
// a stock closes strictly below its knock-in barrier. A knocked-in note pays
// on worst - 1 unless its mode pays the gain only; otherwise the note pays on
// its gain, or on worst - 1 when the slope is negative.
template <class Barrier>
inline MaturityOutcome MaturityPayoff(const MaturityTerms& m, const PayoffLimits& p,
                                      const Barrier& kiBarrier, const double* y, int S,
                                      bool knockedIn) {
  MaturityOutcome o;
  o.knockedIn = knockedIn || AnyBelow(y, kiBarrier, S);
  const double worst = WorstOf(y, S);
  const int k = o.knockedIn ? 1 : 0;
  const bool loss = o.knockedIn ? m.mode != KnockIn::AtMaturityNoLoss : !(m.slope[0] >= 0.0);
  o.payoff = SlopePayoff(p, loss ? worst - 1.0 : Gain(worst), m.slope[k], m.amount[k]);
  return o;
}

// Performances of the first `rows` fixings of SC (rows of NStock closes):
// each close over its stock's base price.
inline void FixingPerformances(const CoreArgs& a, int rows, double* out) {
  const int S = a.NStock;
  for (int r = 0; r < rows; ++r) {
    for (int i = 0; i < S; ++i) out[r * S + i] = a.SC[r * S + i] / a.BasePrice[i];
  }
}

}  // namespace morvik
