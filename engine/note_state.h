// The note's state and the sequence of its rules, written once: what a day
// does (coupon barrier watch and coupon payment, knock-out touch, daily
// knock-in), what an observation date does (touch redemption, the strike
// levels, the redemption coupon, and on the last date the maturity payoff),
// and the tests of the pricing date. The path loop, the engine's set-up, the
// settlement of a pending date and the walk over a history of closes all run
// these functions, on simulated or on known closes.
//
// Every test is an Event: per-stock thresholds and the consequence a hit
// has, so that an estimator that smooths the tests can read which threshold
// on which day moves which cash flow from the same description.
//
// The functions are inline templates (NS: the number of stocks when known
// at compile time, 0 otherwise); they allocate nothing and keep the order of
// floating-point operations of payoff_rules.h.
#pragma once

#include "engine/payoff_rules.h"

namespace morvik::note {

// What a hit of an event's thresholds does.
enum class Consequence : unsigned char {
  // Some close at or below its threshold: the current coupon is not paid.
  CouponLost,
  // Every close at or above (the worst; or, stock by stock, each stock on
  // some day of the period): the period's observation date redeems with the
  // touch amount.
  KnockOutTouch,
  // Some close strictly below (at or below on the pricing date): losses
  // count at maturity.
  KnockIn,
  // The window passes the level's strikes: the date redeems with the
  // level's slope and amount.
  Redeem,
};

struct Event {
  Threshold threshold;
  Consequence consequence = Consequence::Redeem;
};

// A note's rules that hold over its whole life. The knock-in event's
// thresholds are per stock (stride 1, see KnockInEvent).
struct Rules {
  int S = 0;  // stocks
  KnockOutTouch touchMode = KnockOutTouch::Worst;
  KnockIn knockIn = KnockIn::AtMaturityNoLoss;
  CouponWatch couponWatch = CouponWatch::Never;
  PayoffLimits limits;
  MaturityTerms maturity;
  Event knockInBarrier;  // per stock; tested daily only in its daily mode, always at maturity
};

inline Event KnockInEvent(const double* kiBarrier) {
  return Event{Threshold{kiBarrier, 1}, Consequence::KnockIn};
}

// One observation date: its knock-out period's barrier (one for all stocks,
// read by the days of the period), its strike levels highest first with
// their slopes and amounts (amount[0] is also the touch amount), its window
// and the redemption coupon paid when it does not redeem.
struct DateTerms {
  Event knockOut;
  Event level[kLevels];
  double slope[kLevels] = {0.0, 0.0, 0.0, 0.0};
  double amount[kLevels] = {0.0, 0.0, 0.0, 0.0};
  int windowLen = 0;
  bool average = false;
  bool last = false;         // the final observation date: no redemption leads to maturity
  double redemCoupon = 0.0;  // 0 on the last date
};

// `strike[b]` is level b's row of strikes (b = 0 the highest level).
inline DateTerms DateTermsOf(const double* koBarrier, const double* const strike[kLevels],
                             const double slope[kLevels], const double amount[kLevels], int windowLen,
                             bool average, bool last, double redemCoupon) {
  DateTerms t;
  t.knockOut = Event{Threshold{koBarrier, 0}, Consequence::KnockOutTouch};
  for (int b = 0; b < kLevels; ++b) {
    t.level[b] = Event{Threshold{strike[b], 1}, Consequence::Redeem};
    t.slope[b] = slope[b];
    t.amount[b] = amount[b];
  }
  t.windowLen = windowLen;
  t.average = average;
  t.last = last;
  t.redemCoupon = last ? 0.0 : redemCoupon;
  return t;
}

// The current coupon period: its barrier (one for all stocks) and amount.
struct CouponTerms {
  Event breach;
  double amount = 0.0;
};

inline CouponTerms CouponTermsOf(const double* barrier, double amount) {
  return CouponTerms{Event{Threshold{barrier, 0}, Consequence::CouponLost}, amount};
}

// The state a note carries from day to day (along one path, or along a
// history of closes). `memory` points to the caller's per-stock knock-out
// memory flags, which the rules set and clear.
struct State {
  int* memory = nullptr;
  int touch = 0;     // knock-out touch in the current period
  int knockIn = 0;   // knocked in
  int breach = 0;    // the current coupon period's barrier was breached
};

// Do the memory flags alone (every one of them 1) make a touch?
inline bool AllRemembered(const int* flags, int S) {
  for (int i = 0; i < S; ++i) {
    if (flags[i] != 1) return false;
  }
  return true;
}

// The pricing date's tests on its performances p0, where equality counts as
// a hit: the knock-in in its daily mode, the coupon breach when watched
// every day (`coupon` null when no coupon is left), and the knock-out touch
// against the first period's barrier (memory flags of 1 only).
inline void OnPricingDate(State& s, const Rules& r, const Event& knockOut, const CouponTerms* coupon,
                          const double* p0) {
  const int S = r.S;
  if (r.knockIn == KnockIn::DailyWithLoss && AnyAtOrBelow(p0, r.knockInBarrier.threshold.at, S)) s.knockIn = 1;
  if (r.couponWatch == CouponWatch::Daily && coupon != nullptr && AnyAtOrBelow(p0, coupon->breach.threshold, S)) {
    s.breach = 1;
  }
  if (AllRemembered(s.memory, S)) {
    s.touch = 1;
  } else if (r.touchMode == KnockOutTouch::Worst) {
    s.touch = WorstOf(p0, S) >= BarrierAt(knockOut.threshold, 0) ? 1 : 0;
  } else {
    s.touch = RememberTouches<MemoryFlagCounts::OnlyOne>(s.memory, p0, S, knockOut.threshold) ? 1 : 0;
  }
}

// A simulated (or past) day's tests on its performances y, in order: the
// coupon barrier watch and, on the coupon's observation day (`couponDate`),
// its settlement: couponDue(paid) is called, paid when the period was not
// breached, and the next period starts unbreached (`coupon` null when no
// coupon is left); the knock-out touch against the current period's barrier;
// the daily knock-in
// (strictly below). Returns the first stock below its knock-in barrier on
// the day the note knocks in, else -1.
template <int NS, class CouponDue>
inline int OnDay(State& s, const Rules& r, const CouponTerms* coupon, bool couponDate, const Event& knockOut,
                 const double* y, CouponDue&& couponDue) {
  const int S = NS > 0 ? NS : r.S;
  if (coupon != nullptr) {
    const CouponWatch watch = r.couponWatch;
    const bool watched = watch == CouponWatch::Daily || (watch == CouponWatch::OnDate && couponDate);
    if (watched && AnyAtOrBelow(y, coupon->breach.threshold, S)) s.breach = 1;
    if (couponDate) {
      couponDue(s.breach == 0);
      s.breach = 0;
    }
  }
  if (s.touch == 0) {
    if (r.touchMode == KnockOutTouch::Worst) {
      s.touch = WorstOf(y, S) >= BarrierAt(knockOut.threshold, 0) ? 1 : 0;
    } else {
      s.touch = RememberTouches<MemoryFlagCounts::NonZero>(s.memory, y, S, knockOut.threshold) ? 1 : 0;
    }
  }
  if (r.knockIn == KnockIn::DailyWithLoss && s.knockIn == 0) {
    const int i = FirstBelow(y, r.knockInBarrier.threshold.at, S);
    if (i >= 0) s.knockIn = 1;
    return i;
  }
  return -1;
}

// The maturity payoff on the final performances y, with the knock-in
// tested once more (strictly below); the outcome says whether the note is
// knocked in, the state is left as it is.
template <int NS>
inline MaturityOutcome AtMaturity(const State& s, const Rules& r, const double* y) {
  const int S = NS > 0 ? NS : r.S;
  return MaturityPayoff(r.maturity, r.limits, r.knockInBarrier.threshold.at, y, S, s.knockIn != 0);
}

enum class DateResult : unsigned char {
  Redeemed,   // by the touch (level -1) or at `level`
  Continues,  // not redeemed, a later date remains: the redemption coupon is paid
  Matured,    // the last date did not redeem: the maturity payoff
};

struct DateOutcome {
  DateResult result = DateResult::Continues;
  int level = -1;        // the passing level; -1 for a touch redemption
  double payoff = 0.0;   // redemption or maturity payoff, per unit of notional
  bool knockedIn = false;  // at maturity
};

// An observation date on its window `win` (windowLen rows of S
// performances, oldest first) and the date's performances y (the window's
// last row when it is known): a touch redeems with the touch amount; else
// the first level that passes redeems on the gain of the worst; else the
// memory flags and the touch are cleared, and the last date matures.
// y and win are not read for a touch redemption.
template <int NS>
inline DateOutcome OnObservation(State& s, const Rules& r, const DateTerms& t, const double* y,
                                 const double* win) {
  const int S = NS > 0 ? NS : r.S;
  DateOutcome o;
  if (s.touch == 1) {
    o.result = DateResult::Redeemed;
    o.payoff = TouchPayoff(r.limits, t.amount[0]);
    return o;
  }
  const double* const strikes[kLevels] = {t.level[0].threshold.at, t.level[1].threshold.at,
                                           t.level[2].threshold.at, t.level[3].threshold.at};
  const int b = FirstPassingLevel(strikes, S, win, t.windowLen, t.average);
  if (b >= 0) {
    o.result = DateResult::Redeemed;
    o.level = b;
    o.payoff = SlopePayoff(r.limits, Gain(WorstOf(y, S)), t.slope[b], t.amount[b]);
    return o;
  }
  for (int i = 0; i < S; ++i) s.memory[i] = 0;
  s.touch = 0;
  if (!t.last) return o;
  const MaturityOutcome m = AtMaturity<NS>(s, r, y);
  o.result = DateResult::Matured;
  o.payoff = m.payoff;
  o.knockedIn = m.knockedIn;
  return o;
}

// The rules of a core argument list (the shifted view of the engine or of
// the settlement of a pending date), but for the maturity terms: they sit
// after the last date's entries, which the view of a pending date that is
// not the last need not hold. Set them with MaturityTermsOf where the last
// date is reached.
inline Rules RulesOf(const CoreArgs& a) {
  Rules r;
  r.S = a.NStock;
  r.touchMode = KnockOutTouchOf(a.KnockBarrierFlag0);
  r.knockIn = KnockInOf(a.KnockBarrierFlag1);
  r.couponWatch = CouponWatchOf(a.CouponBarrierFlag);
  r.limits = PayoffLimitsOf(a);
  r.knockInBarrier = KnockInEvent(a.KI_Barrier);
  return r;
}

// Date d of a core argument list (its strike levels in the blocks X3..X0).
inline DateTerms DateTermsOf(const CoreArgs& a, int d) {
  const LevelBlocks lv = LevelBlocksOf(a);
  const int S = a.NStock;
  const double* strike[kLevels];
  double slope[kLevels];
  double amount[kLevels];
  for (int b = 0; b < kLevels; ++b) {
    strike[b] = lv.strike[b] + static_cast<std::size_t>(d) * S;
    slope[b] = lv.slope[b][d];
    amount[b] = lv.amount[b][d];
  }
  const bool last = d == a.NStrike - 1;
  return DateTermsOf(a.KO_Barrier + d, strike, slope, amount, a.KO_WindowLen[d], a.KO_AvgFlag[d] != 0, last,
                     last ? 0.0 : a.RedemCoupon[d]);
}

}  // namespace morvik::note
