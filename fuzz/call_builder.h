// Turns arbitrary bytes into a structurally consistent full pricing call and
// checks what the call did. Shared by the full-call fuzz target and the
// corpus replay test.
//
// Every array is exactly as long as the counts drawn from the same bytes
// give it (a negative count sizes its arrays as empty), so a read or write
// past an array is a sanitizer report. Counts are capped (at most 3 stocks,
// 4 redemption dates, 3 coupons, about 21 trials, schedules within about 13
// months of the pricing date) so that one call takes a few milliseconds.
// Values are arbitrary: mostly plausible, sometimes NaN, infinities, huge,
// tiny or negative numbers, impossible or out-of-order dates and flags out
// of range. The trace is never switched on (CalcFlag[1] is never 1), so a
// fuzzed call writes no file.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "calls/extended_args.h"
#include "calls/full_call.h"
#include "calls/layout.h"
#include "calls/status_messages.h"
#include "interface/morvik.h"
#include "testing/test_notes.h"

namespace morvik::fuzzing {

// The value every output slot holds before the call.
using testing::kOutputSentinel;
using testing::SameBits;

// Reads the input front to back; past its end every byte reads as 0.
class ByteSource {
 public:
  ByteSource(const uint8_t* data, std::size_t size) : p_(data), n_(size) {}
  uint8_t U8() { return i_ < n_ ? p_[i_++] : 0; }
  uint32_t U16() { return U8() | (static_cast<uint32_t>(U8()) << 8); }
  // Uniform in lo..hi (inclusive).
  int Pick(int lo, int hi) { return lo + static_cast<int>(U16() % static_cast<uint32_t>(hi - lo + 1)); }
  // Mostly a plausible value in [lo, hi]; one draw in 16 is an odd value.
  double Real(double lo, double hi) {
    const uint8_t sel = U8();
    if (sel < 240) return lo + (hi - lo) * (U16() / 65535.0);
    static constexpr double kOdd[16] = {
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 0.0, -0.0, -1.0, 1.0e300, -1.0e300,
        4.9e-324, 1.0e-310, 2.0, 1.0, 0.5, 1.0e6, -1.0e-3, 1.5};
    return kOdd[sel - 240];
  }
  // Mostly lo..hi; one draw in 16 is outside it.
  int Flag(int lo, int hi) {
    const uint8_t sel = U8();
    if (sel < 240) return lo + sel % (hi - lo + 1);
    static constexpr int kOdd[8] = {-1, 3, 2, -2147483647 - 1, 2147483647, 100, -7, 1};
    return kOdd[sel % 8];
  }
  // Counts: mostly lo..hi, one draw in 16 is 0 or -1.
  int Count(int lo, int hi) {
    const uint8_t sel = U8();
    if (sel < 240) return lo + sel % (hi - lo + 1);
    return (sel & 1) ? 0 : -1;
  }

 private:
  const uint8_t* p_;
  std::size_t n_;
  std::size_t i_ = 0;
};

inline std::size_t Len(long long n) { return n > 0 ? static_cast<std::size_t>(n) : 0u; }

// The call in owning arrays; an empty array is passed as a null pointer.
using FuzzCall = FullCall;

namespace detail {

// A date `days` after `from` (a real date), through the serial system.
inline int DaysAfter(int from, int days) {
  const int s = CdrD2ExcD(from);
  return s > 0 ? ExcD2CdrD(s + days) : from;
}

// A schedule date near the anchor: mostly anchor + offset, sometimes an
// impossible or out-of-range date.
inline int ScheduleDate(ByteSource& b, int anchor, int offset) {
  const uint8_t sel = b.U8();
  if (sel < 236) return DaysAfter(anchor, offset);
  const int year = anchor / 10000;
  switch (sel % 10) {
    case 0: return year * 10000 + 1301;      // month 13
    case 1: return year * 10000 + 230;       // 30 February
    case 2: return year * 10000 + 431;       // 31 April
    case 3: return year * 10000 + 100;       // day 0
    case 4: return 19000100;                 // below the range
    case 5: return 99991232;                 // above the range
    case 6: return 0;
    case 7: return -20240101;
    case 8: return 19000229;                 // only the serial system has it
    default: return DaysAfter(anchor, -offset);  // out of order
  }
}

// An increasing axis of n points starting near `first`, steps in [lo, hi].
inline void Axis(ByteSource& b, std::vector<double>& out, std::size_t n, double first, double lo,
                 double hi) {
  double t = first;
  for (std::size_t k = 0; k < n; ++k) {
    const double v = b.Real(lo, hi);
    t = k == 0 ? first * v : t + v;
    out.push_back(t);
  }
}

// A symmetric 3 x 3 matrix with a unit diagonal whose three drawn pairs lie
// in [-1, 1]: the (1, 2) pair is read as the partial correlation of stocks 1
// and 2 given stock 0, which makes the matrix positive semi-definite for any
// draws (independent pairs often would not be, and the call would be
// rejected before it reaches the valuation). Odd draws stay as they are.
inline void AsPartialCorrelation(std::vector<double>& a) {
  const double r01 = a[1], r02 = a[2], p12 = a[5];
  for (double r : {r01, r02, p12}) {
    if (!(r >= -1.0 && r <= 1.0)) return;
  }
  double r12 = r01 * r02 + p12 * std::sqrt((1.0 - r01 * r01) * (1.0 - r02 * r02));
  r12 = std::min(1.0, std::max(-1.0, r12));
  a[5] = a[7] = r12;
}

inline std::vector<double> Reals(ByteSource& b, std::size_t n, double lo, double hi) {
  std::vector<double> v(n);
  for (double& x : v) x = b.Real(lo, hi);
  return v;
}

}  // namespace detail

inline FuzzCall BuildCall(const uint8_t* data, std::size_t size) {
  using detail::Axis;
  using detail::Reals;
  ByteSource b(data, size);
  FuzzCall c;

  static constexpr int kPriceDates[8] = {20240102, 20240229, 20231231, 20230615,
                                         19000301, 20991230, 20241399, 19000100};
  const uint8_t pd = b.U8();
  c.PriceDate = pd < 250 ? kPriceDates[pd % 6] : kPriceDates[6 + (pd & 1)];
  const int anchor = CdrD2ExcD(c.PriceDate) > 0 ? c.PriceDate : 20240102;
  c.NotionalAMT = b.Real(0.0, 1.0e7);

  const int S = c.NStock = b.Count(1, 3);
  const std::size_t s = Len(S);
  c.NStrike = b.Count(1, 4);
  const std::size_t n = Len(c.NStrike);
  c.NCoupon = b.Count(0, 3);
  const std::size_t q = Len(c.NCoupon);

  for (std::size_t i = 0; i < s; ++i) {
    c.UnderlyingPrice.push_back(b.Real(50.0, 150.0));
    c.UnderlyingPrice.push_back(b.Real(50.0, 150.0));
  }

  // Curves: the common one, then one per stock.
  c.NT.resize(layout::CurveCountsLength(S));
  for (int& k : c.NT) k = b.Count(1, 3);
  for (int k : c.NT) {
    Axis(b, c.TCurveInfo, Len(k), 0.25, 0.05, 1.5);
    for (std::size_t m = 0; m < Len(k); ++m) c.CurveInfo.push_back(b.Real(-0.02, 0.08));
  }

  // Local volatility axes and grids.
  c.NVol.resize(s);
  c.NParity.resize(s);
  for (std::size_t i = 0; i < s; ++i) {
    c.NVol[i] = b.Count(1, 3);
    c.NParity[i] = b.Count(1, 3);
    Axis(b, c.TVol, Len(c.NVol[i]), 0.25, 0.05, 1.0);
    Axis(b, c.Parity, Len(c.NParity[i]), 0.7, 0.05, 0.4);
    const std::vector<double> grid =
        Reals(b, Len(static_cast<long long>(c.NVol[i]) * c.NParity[i]), 0.05, 0.6);
    c.LocalVolSurface.insert(c.LocalVolSurface.end(), grid.begin(), grid.end());
  }

  // Correlation: usually a symmetric matrix with a unit diagonal, sometimes
  // arbitrary entries (mostly rejected).
  c.UnderlyingCorr.resize(s * s);
  const bool structured = b.U8() < 200;
  for (std::size_t i = 0; i < s; ++i) {
    for (std::size_t k = 0; k < s; ++k) {
      if (!structured) {
        c.UnderlyingCorr[i * s + k] = b.Real(-1.1, 1.1);
      } else if (i == k) {
        c.UnderlyingCorr[i * s + k] = 1.0;
      } else if (k < i) {
        c.UnderlyingCorr[i * s + k] = c.UnderlyingCorr[k * s + i];
      } else {
        c.UnderlyingCorr[i * s + k] = b.Real(-0.4, 0.8);
      }
    }
  }
  if (structured && s == 3) detail::AsPartialCorrelation(c.UnderlyingCorr);

  // Dividends.
  c.NDiv.resize(s);
  c.Div_TypeFlag.resize(s);
  for (std::size_t i = 0; i < s; ++i) {
    c.NDiv[i] = b.Count(0, 3);
    c.Div_TypeFlag[i] = b.Flag(0, 2);
    int t = b.Pick(-2, 30);
    for (std::size_t m = 0; m < Len(c.NDiv[i]); ++m) {
      c.TDiv.push_back(t);
      t += b.Pick(-1, 120);
      c.Div.push_back(c.Div_TypeFlag[i] == 2 ? b.Real(0.0, 4.0) : b.Real(-0.01, 0.06));
    }
  }

  // FX volatility and quanto.
  c.FX_NVol.resize(s);
  c.FX_Corr.resize(s);
  c.QuantoFlag.resize(s);
  for (std::size_t i = 0; i < s; ++i) {
    c.FX_NVol[i] = b.Count(1, 2);
    Axis(b, c.FX_TVol, Len(c.FX_NVol[i]), 0.5, 0.1, 1.0);
    for (std::size_t m = 0; m < Len(c.FX_NVol[i]); ++m) c.FX_Vol.push_back(b.Real(0.0, 0.3));
    c.FX_Corr[i] = b.Real(-1.0, 1.0);
    c.QuantoFlag[i] = b.Flag(0, 2);
  }

  // Redemption levels: four non-decreasing tiers per date and stock, below
  // the knock-out barrier of the date.
  c.X.resize(layout::StrikeLength(c.NStock, c.NStrike));
  for (std::size_t e = 0; e < s * n; ++e) {
    double x = b.Real(0.5, 0.9);
    for (std::size_t t = 0; t < 4; ++t) {
      c.X[t * s * n + e] = x;
      x += b.Real(0.0, 0.05);
    }
  }
  c.KO_Barrier = Reals(b, n, 1.0, 1.2);
  c.KI_Barrier = Reals(b, s, 0.0, 0.8);
  c.PayOffSlope = Reals(b, layout::PayoffLength(c.NStrike), -1.0, 2.0);
  c.PayOffAmount = Reals(b, layout::PayoffLength(c.NStrike), -0.5, 0.5);

  // Redemption schedule: observation dates moving forward from somewhat
  // before the pricing date, payments a few days after each.
  c.DatesInfo.resize(layout::DatesInfoLength(c.NStrike));
  int obsOffset = b.Pick(-40, 60);
  for (std::size_t d = 0; d < n; ++d) {
    c.DatesInfo[d] = detail::ScheduleDate(b, anchor, obsOffset);
    c.DatesInfo[n + d] = detail::ScheduleDate(b, anchor, obsOffset + b.Pick(-2, 15));
    c.DatesInfo[2 * n + d] = b.Flag(1, 6);
    c.DatesInfo[3 * n + d] = b.Flag(0, 1);
    obsOffset += b.Pick(0, 100);
  }
  c.RedemCoupon = Reals(b, layout::RedemCouponLength(c.NStrike), 0.0, 0.2);
  c.KnockBarrierFlag = {b.Flag(0, 1), b.Flag(0, 2)};
  c.BeKO_Hitted.resize(s);
  for (int& h : c.BeKO_Hitted) h = b.Flag(0, 1);
  c.BeKI_Hitted = b.Flag(0, 1);

  // Coupons, observed between the pricing date and the last redemption date.
  c.CouponBarrier = Reals(b, q, 0.0, 1.0);
  c.Coupon = Reals(b, q, 0.0, 0.1);
  c.CouponDatesInfo.resize(layout::CouponDatesLength(c.NCoupon));
  int cOffset = b.Pick(-20, 40);
  for (std::size_t j = 0; j < q; ++j) {
    c.CouponDatesInfo[j] = detail::ScheduleDate(b, anchor, cOffset);
    c.CouponDatesInfo[q + j] = detail::ScheduleDate(b, anchor, cOffset + b.Pick(-1, 10));
    cOffset += b.Pick(0, 90);
  }
  c.CouponBarrierFlag = b.Flag(0, 2);
  c.BeCouponBarrierHitted = b.Flag(0, 1);

  // Trials: at most 21, often fractional; sometimes invalid.
  const uint8_t nt = b.U8();
  if (nt < 240) {
    c.NTrials = nt % 2 ? 1.0 + (nt % 20) : 1.0 + 20.0 * (b.U16() / 65535.0);
  } else {
    static constexpr double kTrials[8] = {std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          0.0, 0.5, -1.0, 1.0, 0.999999};
    c.NTrials = kTrials[nt % 8];
  }

  const uint8_t cap = b.U8();
  c.PayOffLimit = {b.Real(-0.5, 1.2), cap < 32 ? std::numeric_limits<double>::infinity()
                                                : b.Real(0.0, 1.0)};
  c.NAFlag = b.Flag(0, 1);
  c.FixedFlag = {b.Count(0, 8), b.Count(0, 2)};
  c.SC = Reals(b, layout::FixingsLength(c.NStock, c.FixedFlag[0]), 50.0, 150.0);
  c.Coupon_SC = Reals(b, layout::FixingsLength(c.NStock, c.FixedFlag[1]), 50.0, 150.0);

  // Mostly the price alone; sensitivities cost 8 or 26 valuations. The
  // trace flag is 0 or an invalid value, never 1.
  const uint8_t mode = b.U8();
  c.CalcFlag = {mode < 128 ? 0 : mode < 208 ? 1 : mode < 250 ? 2 : mode < 253 ? 3 : -1,
                mode == 255 ? 2 : 0};

  testing::FillOutputs(c, kOutputSentinel);
  return c;
}

// Accepted inputs whose arithmetic may overflow; outside these every output
// of an accepted call must be finite:
// - a finite value of magnitude above 1e6 (1e9 for the notional; the cap may
//   also be +inf, which means no cap);
// - a current, base or fixed price below 1e-3 (performances above 1e9);
// - a local or FX volatility above 5 (daily Euler steps grow without bound);
// - tenors closer than 1e-6 (interpolation slopes).
// An accepted correlation matrix is reproduced by its Cholesky factor, so no
// factor entry exceeds 1 by more than rounding and the draws stay moderate.
inline bool MayOverflow(const FuzzCall& c) {
  auto big = [](const std::vector<double>& v, double lim) {
    for (double x : v) {
      if (std::isfinite(x) && std::fabs(x) > lim) return true;
    }
    return false;
  };
  auto small = [](const std::vector<double>& v, double lim) {
    for (double x : v) {
      if (x < lim) return true;
    }
    return false;
  };
  auto crowded = [](const std::vector<double>& t) {
    for (std::size_t k = 1; k < t.size(); ++k) {
      if (std::fabs(t[k] - t[k - 1]) < 1e-6) return true;
    }
    return false;
  };
  if (c.NotionalAMT > 1e9) return true;
  // Every real array of the argument list.
  bool anyBig = false;
  auto bigReals = [&big](const auto& v) {
    if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::vector<double>>) {
      return big(v, 1e6);
    } else {
      return false;
    }
  };
#define MORVIK_FUZZ_BIG(name, kind, rule) anyBig = anyBig || bigReals(c.name);
  MORVIK_FULL_CALL_INPUTS(MORVIK_FUZZ_BIG)
#undef MORVIK_FUZZ_BIG
  if (anyBig) return true;
  if (small(c.UnderlyingPrice, 1e-3) || small(c.SC, 1e-3) || small(c.Coupon_SC, 1e-3)) return true;
  if (big(c.LocalVolSurface, 5.0) || big(c.FX_Vol, 5.0)) return true;
  return crowded(c.TCurveInfo) || crowded(c.TVol) || crowded(c.Parity) || crowded(c.FX_TVol);
}

// One input of the call before and after it: reals bit for bit.
inline bool SameInput(const std::vector<double>& a, const std::vector<double>& b) { return SameBits(a, b); }
inline bool SameInput(double a, double b) { return SameBits({a}, {b}); }
inline bool SameInput(const std::vector<int>& a, const std::vector<int>& b) { return a == b; }
inline bool SameInput(int a, int b) { return a == b; }

inline std::string Fault(const char* what, int rc, double value = 0.0, std::size_t slot = 0) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s (status %d, slot %zu, value %.17g)", what, rc, slot, value);
  return buf;
}

// Prices the call through the exported entry and checks the outcome. Returns
// an empty string, or what went wrong. `status` receives the return value.
inline std::string RunAndCheck(FuzzCall& c, int* status = nullptr) {
  const FuzzCall before = c;
  const int rc = c.Call();
  if (status != nullptr) *status = rc;
  if (!IsKnownStatus(rc)) return Fault("unknown status", rc);

  // Inputs are compared bit for bit (NaNs included).
  bool inputsKept = true;
#define MORVIK_FUZZ_KEPT(name, kind, rule) inputsKept = inputsKept && SameInput(c.name, before.name);
  MORVIK_FULL_CALL_INPUTS(MORVIK_FUZZ_KEPT)
#undef MORVIK_FUZZ_KEPT
  if (!inputsKept) return Fault("an input array changed", rc);

  if (rc < 0) {
    if (!SameBits(c.ELS_Prob_n_Cf, before.ELS_Prob_n_Cf) ||
        !SameBits(c.ELS_Coupon_Prob_n_Cf, before.ELS_Coupon_Prob_n_Cf) ||
        !SameBits(c.ResultPrice, before.ResultPrice))
      return Fault("rejected call wrote an output", rc);
    return "";
  }

  const std::size_t Q = Len(c.NCoupon);
  const double top = std::ceil(c.NTrials) / c.NTrials;
  double sum = 0.0;
  for (int k = 0; k < layout::OutcomeSlots(c.NStrike); ++k) {
    const double p = c.ELS_Prob_n_Cf[layout::OutcomeProb(c.NStrike, k)];
    if (!(p >= 0.0 && p <= top)) return Fault("redemption probability out of range", rc, p, k);
    sum += p;
  }
  if (!(sum <= top * (1.0 + 1e-12))) return Fault("redemption probabilities exceed one", rc, sum);
  for (std::size_t j = 0; j < Q; ++j) {
    const double p = c.ELS_Coupon_Prob_n_Cf[layout::CouponProb(c.NCoupon, static_cast<int>(j))];
    if (!(p >= 0.0 && p <= top)) return Fault("coupon probability out of range", rc, p, j);
  }
  for (const std::vector<double>* v : {&c.ELS_Prob_n_Cf, &c.ELS_Coupon_Prob_n_Cf, &c.ResultPrice}) {
    for (std::size_t k = 0; k < v->size(); ++k) {
      if ((*v)[k] == kOutputSentinel) return Fault("an output slot was not written", rc, 0.0, k);
    }
  }
  if (c.CalcFlag[0] == 1 && (c.ResultPrice[layout::Theta(c.NStock)] != 0.0 || c.ResultPrice[layout::Rho(c.NStock)] != 0.0))
    return Fault("theta or rho filled without being asked for", rc);
  if (!MayOverflow(c)) {
    for (const std::vector<double>* v : {&c.ELS_Prob_n_Cf, &c.ELS_Coupon_Prob_n_Cf, &c.ResultPrice}) {
      for (std::size_t k = 0; k < v->size(); ++k) {
        if (!std::isfinite((*v)[k])) return Fault("non-finite output", rc, (*v)[k], k);
      }
    }
  }
  return "";
}

}  // namespace morvik::fuzzing
