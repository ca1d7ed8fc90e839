// Notes for the tests, benchmarks and hardening runs at the full call's
// level (calls/full_call.h), with the modifiers tests apply to them and
// helpers for comparing a call's outputs bit for bit.
//
// Named notes (each a valid call unless it says otherwise):
// - PathNote: two or three stocks with strikes near the spot, so every
//   price depends on the simulated paths; three kinds.
// - RealisticNote: one to three stocks, three years, six semiannual dates;
//   the benchmarks' note. AssembledNote: the same assembled for the core.
// - StepDownExampleNote: the two-stock step-down example term sheet's
//   arrays, written out by hand.
// - ClosedFormNote: a note whose value is known in closed form.
// - MixedCountsNote: two stocks with unequal curve, surface, dividend and FX
//   counts, a quanto, cash dividends and two coupons.
// - DistinctValuesNote: two stocks whose values all differ, so that where a
//   value went can be told.
#pragma once

#include <vector>

#include "calls/assembly.h"
#include "calls/full_call.h"
#include "engine/core_valuation.h"
#include "sensitivities/aligned_valuation.h"

namespace morvik::testing {

// The value every output slot holds before a hardening call.
inline constexpr double kOutputSentinel = -7.0e77;

// ---- modifiers ----

// Sizes the three outputs to their contract lengths (the counts and
// CalcFlag[0]), every slot `value`.
void FillOutputs(FullCall& c, double value = kOutputSentinel);

// Each of `stocks` stocks priced in its own currency: one FX point (time 1,
// volatility 10 %), no FX correlation, no quanto.
void NoQuanto(FullCall& c, int stocks);

// FixedFlag = {redemption, coupon} with that many closes per stock, each
// `close`.
void SetFixings(FullCall& c, int redemption, int coupon, double close = 95.0);

// Replaces the redemption observation and payment dates in place (window
// lengths and rules stay).
void SetRedemptionDates(FullCall& c, const std::vector<int>& obs, const std::vector<int>& pay);

// No coupons: count 0, coupon arrays empty.
void DropCoupons(FullCall& c);

// Four tiers per (date, stock) for `dates` dates and `stocks` stocks: tier b
// is first + step * b.
std::vector<double> Tiers(int dates, int stocks, double first, double step);

// ---- named notes ----

enum class PathNoteKind {
  kTwoStocks,    // valued at the start of the first observation period
  kPendingDate,  // first date observed yesterday, payment still to come
  kThreeStocks,  // a basket of three, window averages, daily coupon barrier
};

// Three dates and two coupons, a cash dividend and a quanto stock; `trials`
// paths, CalcFlag {calc0, calc1}, outputs filled with kOutputSentinel.
FullCall PathNote(PathNoteKind kind, double trials, int calc0, int calc1);

// `stocks` (1..3) stocks at their base price, three-point curves, a 10 x 8
// local volatility grid per stock, six semiannual dates with step-down
// strikes from 2025-01-02, a daily-watched knock-in at 50 %, 10000 trials,
// notional 10000, price only (set CalcFlag[0] and call SizeOutputs() for
// the greeks).
FullCall RealisticNote(int stocks);

// The realistic note assembled for the core valuation, with a slot for its
// price: one valuation at a time, on either stream. The core views the
// note's arrays, so it can be neither copied nor moved.
struct AssembledNote {
  explicit AssembledNote(int stocks);
  AssembledNote(const AssembledNote&) = delete;
  AssembledNote& operator=(const AssembledNote&) = delete;

  // One core valuation: the path-addressed stream through ValueAligned (its
  // blocks on `runner`; none: all on the calling thread), or the default
  // stream through MorvikCore.
  // `vectorWidth`: the aligned loop's lanes (ValueAligned; 0 auto).
  void Value(bool aligned, const TaskRunner* runner = nullptr, int vectorWidth = 0);

  FullCall note;
  AssembledCore core;
  double price = 0.0;
};

// The two-stock step-down example (examples/two_stock_stepdown.json) priced
// on 2025-06-30: six semiannual dates, knock-in at 50 %, 500 trials,
// greeks on; outputs sized.
FullCall StepDownExampleNote();

// Priced 2024-01-02, flat rate 2 %: a zero floor and cap with NAFlag = 1
// clamp every payoff to 1.0, the first observation always redeems (strikes
// far below the spot, paid 2024-02-05) and the one coupon (0.03, paid
// 2024-01-20) is always paid. Eight trials; outputs left empty.
FullCall ClosedFormNote();

// Priced 2024-01-15: three dates (July 2024 to July 2025) with tiers
// 0.7 + 0.05 b and knock-out 1.2, two coupons at 0.6, 10000 trials, no
// fixings; outputs left empty.
FullCall MixedCountsNote();

// Priced 2024-01-15, stock 0 at 100 over a base of 80, stock 1 at its base
// 50; knock-in and coupon flags set, 1234 trials, payoff limits (0.75,
// 0.25), one date (observed 2024-02-15, paid 2024-02-20), no coupons;
// outputs left empty.
FullCall DistinctValuesNote();

// DistinctValuesNote's schedule: observation dates `obs`, payment dates
// `pay`, windows `win`, window rules alternating 0, 1; strikes
// 0.5 + 0.001 m, payoff slopes m (m the index in the array), payoff amounts
// 0, knock-out 1.0 and redemption coupons 0.01 sized to it.
void SetRampSchedule(FullCall& c, const std::vector<int>& obs, const std::vector<int>& pay,
                     const std::vector<int>& win);

// Coupons observed on `obs` and paid on `pay`, barrier `barrier`, amount
// `amount` each.
void SetCoupons(FullCall& c, const std::vector<int>& obs, const std::vector<int>& pay, double barrier,
                double amount);

// ---- outputs ----

bool SameBits(const std::vector<double>& a, const std::vector<double>& b);

// The three outputs of a call and its status, for bit comparisons.
struct CallOutputs {
  int status = 0;
  std::vector<double> prob, coupon, price;
  bool operator==(const CallOutputs& o) const;
};

CallOutputs Collect(const FullCall& c, int status);

}  // namespace morvik::testing
