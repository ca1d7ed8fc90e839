// Input validation of the full pricing call.
//
// Every check reads the inputs in a fixed order and the first failure returns
// its code at once, so an input with several faults always yields the same
// code. Counts are read (and checked) before the array segments they size,
// and no array is read past the length its counts give it. A NaN or an
// infinity fails the first check that reads it, with that check's code; the
// only non-finite value accepted is a cap of +inf (no cap).
#include "interface/validation.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "dates/calendar.h"

namespace morvik {
namespace {

constexpr int kValid = 1;

inline bool Finite(double v) { return std::isfinite(v); }

// Non-finite values, negative numbers and anything outside [-1, 1] fail.
inline bool OutsideUnit(double v) { return !Finite(v) || v < -1.0 || v > 1.0; }

// One point of a tenor axis: the point itself must be finite and >= 0, and
// every point after the first must exceed the one before it.
inline bool TenorPointBad(const double* t, int64_t k) {
  if (!Finite(t[k]) || t[k] < 0.0) return true;
  return k >= 1 && !(t[k] > t[k - 1]);
}

// A whole tenor axis of n points.
bool TenorAxisBad(const double* t, int64_t n) {
  for (int64_t k = 0; k < n; ++k) {
    if (TenorPointBad(t, k)) return true;
  }
  return false;
}

// Curve points, tenor before value, point by point.
int CheckCurve(const double* tenor, const double* value, int64_t n, int tenorCode,
               int valueCode) {
  for (int64_t k = 0; k < n; ++k) {
    if (TenorPointBad(tenor, k)) return tenorCode;
    if (OutsideUnit(value[k])) return valueCode;
  }
  return kValid;
}

int CheckCounts(const ExtendedArgs& a) {
  if (a.NStock < 1) return -2004;
  if (a.NT[0] < 1) return -205;
  for (int i = 1; i <= a.NStock; ++i) {
    if (a.NT[i] < 1) return -210;
  }
  if (a.NStrike < 1) return -2086;
  if (a.NCoupon < 0) return -2090;
  return kValid;
}

int CheckPrices(const ExtendedArgs& a) {
  for (int i = 0; i < a.NStock; ++i) {
    const double cur = a.UnderlyingPrice[2 * static_cast<int64_t>(i)];
    if (!Finite(cur) || cur <= 0.0) return -2006;
    const double base = a.UnderlyingPrice[2 * static_cast<int64_t>(i) + 1];
    if (!Finite(base) || base <= 0.0) return -2007;
  }
  return kValid;
}

int CheckCurves(const ExtendedArgs& a) {
  int r = CheckCurve(a.TCurveInfo, a.CurveInfo, a.NT[0], -206, -207);
  if (r != kValid) return r;
  int64_t offset = a.NT[0];
  for (int i = 0; i < a.NStock; ++i) {
    const int64_t n = a.NT[1 + i];
    r = CheckCurve(a.TCurveInfo + offset, a.CurveInfo + offset, n, -211, -212);
    if (r != kValid) return r;
    offset += n;
  }
  return kValid;
}

int CheckVolAxes(const ExtendedArgs& a) {
  int64_t tOffset = 0;
  int64_t pOffset = 0;
  for (int i = 0; i < a.NStock; ++i) {
    if (a.NVol[i] < 1) return -2219;
    if (TenorAxisBad(a.TVol + tOffset, a.NVol[i])) return -2216;
    if (a.NParity[i] < 1) return -2218;
    if (TenorAxisBad(a.Parity + pOffset, a.NParity[i])) return -2215;
    tOffset += a.NVol[i];
    pOffset += a.NParity[i];
  }
  return kValid;
}

int CheckLocalVol(const ExtendedArgs& a) {
  int64_t total = 0;
  for (int i = 0; i < a.NStock; ++i) {
    total += static_cast<int64_t>(a.NVol[i]) * a.NParity[i];
  }
  for (int64_t k = 0; k < total; ++k) {
    const double v = a.LocalVolSurface[k];
    if (!Finite(v) || v < 0.0) return -2217;
  }
  return kValid;
}

int CheckCorrelation(const ExtendedArgs& a) {
  const int64_t n = static_cast<int64_t>(a.NStock) * a.NStock;
  for (int64_t k = 0; k < n; ++k) {
    if (OutsideUnit(a.UnderlyingCorr[k])) return -2025;
  }
  return kValid;
}

int CheckDividends(const ExtendedArgs& a) {
  int64_t offset = 0;
  for (int i = 0; i < a.NStock; ++i) {
    const int n = a.NDiv[i];
    if (n < 0) return -2032;
    const int type = a.Div_TypeFlag[i];
    if (type < 0 || type > 2) return -2034;
    const int* times = a.TDiv + offset;
    for (int k = 0; k < n; ++k) {
      if (times[k] < 0) return -2030;
      if (k >= 1 && times[k] <= times[k - 1]) return -2030;
    }
    const double* values = a.Div + offset;
    const double base = a.UnderlyingPrice[2 * static_cast<int64_t>(i) + 1];
    for (int k = 0; k < n; ++k) {
      const double v = values[k];
      if (type == 2) {
        if (!Finite(v) || v < 0.0 || v > base) return -2031;
      } else if (OutsideUnit(v)) {
        return -2031;
      }
    }
    offset += n;
  }
  return kValid;
}

int CheckFx(const ExtendedArgs& a) {
  int64_t offset = 0;
  for (int i = 0; i < a.NStock; ++i) {
    const int n = a.FX_NVol[i];
    if (n < 1) return -2042;
    const int q = a.QuantoFlag[i];
    if (q < 0 || q > 2) return -2044;
    if (OutsideUnit(a.FX_Corr[i])) return -2043;
    const double* tenor = a.FX_TVol + offset;
    const double* vol = a.FX_Vol + offset;
    for (int k = 0; k < n; ++k) {
      if (TenorPointBad(tenor, k)) return -2040;
      // The first volatility has no lower bound, but must still be a number.
      if (!Finite(vol[k])) return -2041;
      if (k >= 1 && vol[k] < -1.0) return -2041;
    }
    offset += n;
  }
  return kValid;
}

int CheckLevels(const ExtendedArgs& a) {
  const int64_t sn = static_cast<int64_t>(a.NStock) * a.NStrike;
  for (int64_t e = 0; e < sn; ++e) {
    double x[4];
    for (int b = 0; b < 4; ++b) x[b] = a.X[b * sn + e];
    for (int b = 0; b < 4; ++b) {
      if (!Finite(x[b]) || x[b] <= 0.0) return -2085;
    }
    if (x[1] < x[0] || x[2] < x[1] || x[3] < x[2]) return -2085;
  }
  for (int s = 0; s < a.NStrike; ++s) {
    const double ko = a.KO_Barrier[s];
    if (!Finite(ko)) return -2053;
    for (int j = 0; j < a.NStock; ++j) {
      for (int b = 0; b < 4; ++b) {
        const int64_t idx =
            (static_cast<int64_t>(b) * a.NStrike + s) * a.NStock + j;
        if (a.X[idx] > ko) return -2053;
      }
    }
  }
  for (int j = 0; j < a.NStock; ++j) {
    const double ki = a.KI_Barrier[j];
    if (!Finite(ki) || ki < 0.0) return -2050;
  }
  return kValid;
}

int CheckRedemptionSchedule(const ExtendedArgs& a) {
  const int n = a.NStrike;
  const int* obsDates = a.DatesInfo;
  const int* payDates = a.DatesInfo + n;
  const int* windows = a.DatesInfo + 2 * static_cast<int64_t>(n);
  const int* rules = a.DatesInfo + 3 * static_cast<int64_t>(n);
  bool pendingSeen = false;
  for (int s = 0; s < n; ++s) {
    const int obs = obsDates[s];
    const int pay = payDates[s];
    const int win = windows[s];
    const int rule = rules[s];
    // Observation dates strictly increase: the engine tests one date per day.
    if (!IsRealCalendarDate(obs)) return -2071;
    if (s >= 1 && obs <= obsDates[s - 1]) return -2071;
    if (!IsRealCalendarDate(pay)) return -2075;
    if (s >= 1 && pay < payDates[s - 1]) return -2075;
    if (pay < obs) return -2075;
    if (win < 1) return -2073;
    if (rule != 0 && rule != 1) return -2072;

    // A date whose window has begun (or whose payment is still pending)
    // needs the fixings already observed in that window. Days are counted
    // as the day offsets of the priced schedule are, so the count agrees
    // with the window the engine fills (the serial count would add a
    // 29 February 1900 that does not exist).
    const int diff = CdrDDiff(a.PriceDate, obs);
    if (diff < win && pay > a.PriceDate) {
      const int need = win - (diff > 0 ? diff : 0);
      if (a.FixedFlag[0] < need) return -302;
    }
    // Only one observed-but-unpaid date can be settled per call.
    if (obs <= a.PriceDate && pay > a.PriceDate) {
      if (pendingSeen) return -302;
      pendingSeen = true;
    }
  }
  return kValid;
}

int CheckKnockStates(const ExtendedArgs& a) {
  const int ko = a.KnockBarrierFlag[0];
  if (ko != 0 && ko != 1) return -2054;
  const int ki = a.KnockBarrierFlag[1];
  if (ki < 0 || ki > 2) return -2051;
  for (int j = 0; j < a.NStock; ++j) {
    const int h = a.BeKO_Hitted[j];
    if (h != 0 && h != 1) return -2055;
  }
  if (a.BeKI_Hitted != 0 && a.BeKI_Hitted != 1) return -2052;
  return kValid;
}

int CheckCoupons(const ExtendedArgs& a) {
  const int q = a.NCoupon;
  if (q <= 0) return kValid;
  const int* obsDates = a.CouponDatesInfo;
  const int* payDates = a.CouponDatesInfo + q;
  bool pendingSeen = false;
  for (int j = 0; j < q; ++j) {
    const double barrier = a.CouponBarrier[j];
    if (!Finite(barrier) || barrier < 0.0) return -2056;
    const int cobs = obsDates[j];
    const int cpay = payDates[j];
    if (!IsRealCalendarDate(cobs)) return -2077;
    if (j >= 1 && cobs <= obsDates[j - 1]) return -2077;
    if (!IsRealCalendarDate(cpay)) return -2078;
    if (j >= 1 && cpay < payDates[j - 1]) return -2078;
    if (cobs > cpay) return -2078;
    // An observed coupon still to be paid needs its fixing, and only one
    // such coupon can be settled per call.
    if (cobs <= a.PriceDate && a.PriceDate < cpay) {
      if (a.FixedFlag[1] <= 0) return -302;
      if (pendingSeen) return -302;
      pendingSeen = true;
    }
  }
  const int n = a.NStrike;
  if (obsDates[q - 1] > a.DatesInfo[n - 1]) return -2077;
  if (payDates[q - 1] > a.DatesInfo[2 * static_cast<int64_t>(n) - 1]) return -2078;
  if (a.BeCouponBarrierHitted != 0 && a.BeCouponBarrierHitted != 1) return -2058;
  if (a.CouponBarrierFlag < 0 || a.CouponBarrierFlag > 2) return -2057;
  return kValid;
}

int CheckRunSettings(const ExtendedArgs& a) {
  if (!Finite(a.NTrials) || a.NTrials < 1.0) return -200;
  const double floorLimit = a.PayOffLimit[0];
  if (!Finite(floorLimit) || floorLimit > 1.0) return -2115;
  // A cap of +inf means the payoff is not capped.
  const double capLimit = a.PayOffLimit[1];
  if (std::isnan(capLimit) || capLimit < 0.0) return -2116;
  if (a.NAFlag != 0 && a.NAFlag != 1) return -303;
  if (a.FixedFlag[0] < 0 || a.FixedFlag[1] < 0) return -302;
  const int64_t nsc = static_cast<int64_t>(a.NStock) * a.FixedFlag[0];
  for (int64_t k = 0; k < nsc; ++k) {
    if (!Finite(a.SC[k]) || a.SC[k] < 0.0) return -2201;
  }
  const int64_t ncsc = static_cast<int64_t>(a.NStock) * a.FixedFlag[1];
  for (int64_t k = 0; k < ncsc; ++k) {
    if (!Finite(a.Coupon_SC[k]) || a.Coupon_SC[k] < 0.0) return -2202;
  }
  if (a.CalcFlag[0] < 0 || a.CalcFlag[0] > 2) return -301;
  if (a.CalcFlag[1] != 0 && a.CalcFlag[1] != 1) return -300;
  return kValid;
}

bool AnyNonFinite(const double* v, int64_t n) {
  for (int64_t k = 0; k < n; ++k) {
    if (!Finite(v[k])) return true;
  }
  return false;
}

// Payoff slopes and amounts, redemption coupons and periodic coupons: no
// range is imposed, but each must be a number.
int CheckPayoffValues(const ExtendedArgs& a) {
  const int64_t n = a.NStrike;
  if (AnyNonFinite(a.PayOffSlope, 4 * n + 8)) return -304;
  if (AnyNonFinite(a.PayOffAmount, 4 * n + 8)) return -304;
  if (AnyNonFinite(a.RedemCoupon, n - 1)) return -304;
  if (AnyNonFinite(a.Coupon, a.NCoupon)) return -304;
  return kValid;
}

}  // namespace

int ValidateInputs(const ExtendedArgs& a) {
  if (!IsRealCalendarDate(a.PriceDate)) return -100;
  if (!Finite(a.NotionalAMT) || a.NotionalAMT < 0.0) return -201;

  int r = CheckCounts(a);
  if (r == kValid) r = CheckPrices(a);
  if (r == kValid) r = CheckCurves(a);
  if (r == kValid) r = CheckVolAxes(a);
  if (r == kValid) r = CheckLocalVol(a);
  if (r == kValid) r = CheckCorrelation(a);
  if (r == kValid) r = CheckDividends(a);
  if (r == kValid) r = CheckFx(a);
  if (r == kValid) r = CheckLevels(a);
  if (r == kValid) r = CheckRedemptionSchedule(a);
  if (r == kValid) r = CheckKnockStates(a);
  if (r == kValid) r = CheckCoupons(a);
  if (r == kValid) r = CheckRunSettings(a);
  if (r == kValid) r = CheckPayoffValues(a);
  return r;
}

}  // namespace morvik
