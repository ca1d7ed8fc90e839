// Bump-and-revalue routines, written against a core pricing function chosen
// at compile time. The library instantiates them with MorvikCore
// (sensitivities.cpp); tests may instantiate them with a stand-in core to
// watch the bumped inputs and the order of the revaluations.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/core_args.h"

namespace morvik {

using CorePricer = int (*)(const CoreArgs&, const CoreResults&);

namespace sens_detail {

inline std::size_t Count(int n) { return n > 0 ? static_cast<std::size_t>(n) : 0u; }

// Sum of n per-stock counts (each negative count read as 0).
inline std::size_t SumCounts(const int* counts, int n) {
  std::size_t total = 0;
  for (int i = 0; i < n; ++i) total += Count(counts[i]);
  return total;
}

inline std::vector<double> CopyOf(const double* src, std::size_t n) {
  return n > 0 ? std::vector<double>(src, src + n) : std::vector<double>();
}

// The four event outputs shared by every revaluation of one routine call;
// their contents are discarded.
struct Scratch {
  std::vector<double> prob, cf, couponProb, couponCf;
  explicit Scratch(const CoreArgs& a)
      : prob(Count(a.NStrike + 2)), cf(Count(a.NStrike + 2)),
        couponProb(Count(a.NCoupon + 1)), couponCf(Count(a.NCoupon + 1)) {}
};

// One revaluation: the inputs with Reserved = 0, the scratch outputs and the
// caller's price slot.
template <CorePricer Core>
int Revalue(const CoreArgs& inputs, Scratch& s, double* price) {
  CoreArgs a = inputs;
  a.Reserved = 0;
  CoreResults out;
  out.ELS_Prob = s.prob.data();
  out.ELS_Cf = s.cf.data();
  out.ELS_Coupon_Prob = s.couponProb.data();
  out.ELS_Coupon_Cf = s.couponCf.data();
  out.ResultPrice = price;
  *price = 0.0;
  return Core(a, out);
}

// Values sets[0..n-1] in order into prices[0..n-1]. Returns the first
// revaluation's status; when it is negative nothing further runs. Later
// statuses are not examined.
// When `failed` is given, it is set to 1 if any revaluation returned a
// negative status (the core fails only when it cannot allocate), so that the
// caller can tell a failed routine from a price difference.
template <CorePricer Core>
int RevalueInOrder(const CoreArgs* const* sets, int n, double* prices, int* failed) {
  Scratch s(*sets[0]);
  const int first = Revalue<Core>(*sets[0], s, &prices[0]);
  if (first < 0) {
    if (failed) *failed = 1;
    return first;
  }
  for (int r = 1; r < n; ++r)
    if (Revalue<Core>(*sets[r], s, &prices[r]) < 0 && failed) *failed = 1;
  return first;
}

// CurPrice with element k-1 multiplied by factor (no change for k outside
// 1..NStock).
inline std::vector<double> ScaledPrice(const CoreArgs& a, int k, double factor) {
  std::vector<double> p = CopyOf(a.CurPrice, Count(a.NStock));
  if (k >= 1 && k <= a.NStock) p[k - 1] = p[k - 1] * factor;
  return p;
}

// Two bumped copies of the inputs and the arrays they point to. Built in
// place and never moved, so that the copies' pointers stay valid.
struct BumpedPair {
  std::vector<double> upValues, downValues, upValues2, downValues2;
  CoreArgs up, down;
  BumpedPair() = default;
  BumpedPair(const BumpedPair&) = delete;
  BumpedPair& operator=(const BumpedPair&) = delete;
};

// Stock k's current price scaled by upFactor and by downFactor.
inline void SpotPair(int k, const CoreArgs& args, double upFactor, double downFactor,
                     BumpedPair& b) {
  b.upValues = ScaledPrice(args, k, upFactor);
  b.downValues = ScaledPrice(args, k, downFactor);
  b.up = args;
  b.down = args;
  b.up.CurPrice = b.upValues.data();
  b.down.CurPrice = b.downValues.data();
}

// Stock k's local volatility block moved one point up and down (the down
// value floored at 1e-12).
inline void VegaPair(int k, const CoreArgs& args, BumpedPair& b) {
  std::size_t total = 0, begin = 0, len = 0;
  for (int i = 0; i < args.NStock; ++i) {
    const std::size_t block = Count(args.NVol[i]) * Count(args.NParity[i]);
    if (i == k - 1) {
      begin = total;
      len = block;
    }
    total += block;
  }
  b.upValues = CopyOf(args.LocalVolSurface, total);
  b.downValues = b.upValues;
  for (std::size_t m = begin; m < begin + len; ++m) {
    b.upValues[m] = b.upValues[m] + 0.01;
    const double d = b.downValues[m] - 0.01;
    b.downValues[m] = d < 1e-12 ? 1e-12 : d;
  }
  b.up = args;
  b.down = args;
  b.up.LocalVolSurface = b.upValues.data();
  b.down.LocalVolSurface = b.downValues.data();
}

// Every stock's rate curve and the discount curve moved in parallel by one
// percentage point up and down.
inline void RhoPair(const CoreArgs& args, BumpedPair& b) {
  const std::size_t nStock = SumCounts(args.NT_Stock, args.NStock);
  const std::size_t nDisc = Count(args.NT_Disc);
  b.upValues = CopyOf(args.CurveInfo_Stock, nStock);
  b.downValues = b.upValues;
  b.upValues2 = CopyOf(args.CurveInfo_Disc, nDisc);
  b.downValues2 = b.upValues2;
  for (std::size_t m = 0; m < nStock; ++m) {
    b.upValues[m] = b.upValues[m] + 0.01;
    b.downValues[m] = b.downValues[m] - 0.01;
  }
  for (std::size_t m = 0; m < nDisc; ++m) {
    b.upValues2[m] = b.upValues2[m] + 0.01;
    b.downValues2[m] = b.downValues2[m] - 0.01;
  }
  b.up = args;
  b.down = args;
  b.up.CurveInfo_Stock = b.upValues.data();
  b.up.CurveInfo_Disc = b.upValues2.data();
  b.down.CurveInfo_Stock = b.downValues.data();
  b.down.CurveInfo_Disc = b.downValues2.data();
}

template <CorePricer Core>
double SpotBumped(int k, const CoreArgs& args, double upFactor, double downFactor,
                  bool withBase, double* prices, int* failed) {
  BumpedPair b;
  SpotPair(k, args, upFactor, downFactor, b);
  const CoreArgs* sets[3] = {&b.up, &b.down, &args};
  return RevalueInOrder<Core>(sets, withBase ? 3 : 2, prices, failed);
}

}  // namespace sens_detail

namespace sens_detail {

// Values the up set, then the down set, of a bumped pair and returns
// (P+ - P-) * 0.5, or the up set's failure code as a double.
template <CorePricer Core>
double HalfDifference(const BumpedPair& b, int* failed) {
  const CoreArgs* sets[2] = {&b.up, &b.down};
  double p[2] = {0.0, 0.0};
  const int rc = RevalueInOrder<Core>(sets, 2, p, failed);
  if (rc < 0) return static_cast<double>(rc);
  return (p[0] - p[1]) * 0.5;
}

}  // namespace sens_detail

// Delta of stock k (from 1): half the price change between a 1 % rise and a
// 1 % fall of its current price. A failed first revaluation's code, or -1
// when a bumped copy cannot be allocated, is returned as a double.
template <CorePricer Core>
double CalcDeltaWith(int k, const CoreArgs& args, int* failed = nullptr) {
  try {
    double p[3] = {0.0, 0.0, 0.0};
    const int rc = sens_detail::SpotBumped<Core>(k, args, 1.01, 0.99, false, p, failed);
    if (rc < 0) return static_cast<double>(rc);
    return (p[0] - p[1]) * 0.5;
  } catch (...) {
    if (failed) *failed = 1;
    return -1.0;
  }
}

// Gamma of stock k: the second difference for 10 % steps, divided by 100 to
// express it for a 1 % step. Revaluation order: up, down, unchanged.
template <CorePricer Core>
double CalcGammaWith(int k, const CoreArgs& args, int* failed = nullptr) {
  try {
    double p[3] = {0.0, 0.0, 0.0};
    const int rc = sens_detail::SpotBumped<Core>(k, args, 1.1, 0.9, true, p, failed);
    if (rc < 0) return static_cast<double>(rc);
    return (p[0] + p[1] - 2.0 * p[2]) / 100.0;
  } catch (...) {
    if (failed) *failed = 1;
    return -1.0;
  }
}

// Vega of stock k: every value of its local volatility block moved by one
// volatility point up and down (the down value floored at 1e-12).
template <CorePricer Core>
double CalcVegaWith(int k, const CoreArgs& args, int* failed = nullptr) {
  try {
    sens_detail::BumpedPair b;
    sens_detail::VegaPair(k, args, b);
    return sens_detail::HalfDifference<Core>(b, failed);
  } catch (...) {
    if (failed) *failed = 1;
    return -1.0;
  }
}

// Rho of the note: every stock's rate curve and the discount curve moved in
// parallel by one percentage point up and down.
template <CorePricer Core>
double CalcRhoWith(const CoreArgs& args, int* failed = nullptr) {
  try {
    sens_detail::BumpedPair b;
    sens_detail::RhoPair(args, b);
    return sens_detail::HalfDifference<Core>(b, failed);
  } catch (...) {
    if (failed) *failed = 1;
    return -1.0;
  }
}

// Step of the time difference in days: the larger of 4 and the longest
// observation window.
inline int ThetaStep(const CoreArgs& a) {
  int h = 4;
  for (int i = 0; i < a.NStrike; ++i)
    if (a.KO_WindowLen[i] > h) h = a.KO_WindowLen[i];
  return h;
}

// True when the time difference must look backward: fixings of a running
// window are known, or moving the schedule h days nearer would bring a
// future observation to the pricing date or before it.
inline bool ThetaBackward(const CoreArgs& a, int h) {
  if (a.FixedFlag[0] != 0 || a.FixedFlag[1] != 0) return true;
  for (int i = 0; i < a.NStrike; ++i)
    if (a.KO_ObsDays[i] > 0 && a.KO_ObsDays[i] <= h) return true;
  for (int j = 0; j < a.NCoupon; ++j)
    if (a.Coupon_ObsDays[j] > 0 && a.Coupon_ObsDays[j] <= h) return true;
  return false;
}

// Observation and payment day counts moved by shift days. A date whose
// payment day is 0 or less is settled and keeps its day counts, so that a
// shift can never bring it back as pending. The copies have room for
// `room` entries; entries from n on are 0.
inline void ShiftSchedule(const int* obs, const int* pay, int n, int shift, std::size_t room,
                          std::vector<int>& obsOut, std::vector<int>& payOut) {
  obsOut.assign(room, 0);
  payOut.assign(room, 0);
  for (int i = 0; i < n; ++i) {
    const bool settled = pay[i] <= 0;
    obsOut[i] = settled ? obs[i] : obs[i] + shift;
    payOut[i] = settled ? pay[i] : pay[i] + shift;
  }
}

// The schedule moved ThetaStep days, nearer or further away as ThetaBackward
// says, and the arrays the shifted copy points to.
struct ThetaShift {
  int h = 0;
  bool backward = false;
  std::vector<int> koObs, koPay, cpObs, cpPay;
  CoreArgs shifted;
  ThetaShift() = default;
  ThetaShift(const ThetaShift&) = delete;
  ThetaShift& operator=(const ThetaShift&) = delete;
};

inline void BuildThetaShift(const CoreArgs& args, ThetaShift& t) {
  using sens_detail::Count;
  t.h = ThetaStep(args);
  t.backward = ThetaBackward(args, t.h);
  const int shift = t.backward ? t.h : -t.h;
  ShiftSchedule(args.KO_ObsDays, args.KO_PayDays, args.NStrike, shift, Count(args.NStrike),
                t.koObs, t.koPay);
  ShiftSchedule(args.Coupon_ObsDays, args.Coupon_PayDays, args.NCoupon, shift,
                Count(args.NCoupon + 1), t.cpObs, t.cpPay);
  t.shifted = args;
  t.shifted.KO_ObsDays = t.koObs.data();
  t.shifted.KO_PayDays = t.koPay.data();
  t.shifted.Coupon_ObsDays = t.cpObs.data();
  t.shifted.Coupon_PayDays = t.cpPay.data();
}

// Theta of the note per day: the schedule moved h days nearer (forward) or
// further away (backward) and revalued against the unchanged inputs.
template <CorePricer Core>
double CalcThetaWith(const CoreArgs& args, int* failed = nullptr) {
  try {
    ThetaShift t;
    BuildThetaShift(args, t);
    const double hd = static_cast<double>(t.h);
    const bool backward = t.backward;
    const CoreArgs& shifted = t.shifted;
    const CoreArgs* sets[2] = {&args, &shifted};
    double p[2] = {0.0, 0.0};
    const int rc = sens_detail::RevalueInOrder<Core>(sets, 2, p, failed);
    if (rc < 0) return static_cast<double>(rc);
    return backward ? (p[0] - p[1]) / hd : (p[1] - p[0]) / hd;
  } catch (...) {
    if (failed) *failed = 1;
    return -1.0;
  }
}

}  // namespace morvik
