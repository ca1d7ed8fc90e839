// Input validation of the full pricing call.
//
// Every check reads the inputs in a fixed order and the first failure returns
// its code at once, so an input with several faults always yields the same
// code. Counts are read (and checked) before the array segments they size,
// and no array is read past the length its counts give it. A NaN or an
// infinity fails the first check that reads it, with that check's code; the
// only non-finite value accepted is a cap of +inf (no cap).
#include "calls/validation.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "calls/layout.h"
#include "dates/calendar.h"
#include "interface/morvik.h"
#include "numerics/cholesky.h"

namespace morvik {
namespace {

constexpr int kValid = 1;
constexpr int kFirstCalendarDate = 19000101;

inline bool Finite(double v) { return std::isfinite(v); }

// Non-finite values and anything outside [-1, 1] fail.
inline bool OutsideUnit(double v) { return !Finite(v) || v < -1.0 || v > 1.0; }

// Records where a check failed and returns its code; `date` is a
// redemption date index.
int Fail(ValidationFault& f, int code, int underlying = -1, int date = -1,
         int64_t point = -1) {
  f.code = code;
  f.underlying = underlying;
  f.date = date;
  f.coupon = -1;
  f.point = static_cast<int>(point);
  return code;
}

// A failed check of coupon j.
int FailCoupon(ValidationFault& f, int code, int j) {
  Fail(f, code);
  f.coupon = j;
  return code;
}

// One point of a tenor axis: the point itself must be finite and >= 0, and
// every point after the first must exceed the one before it.
inline bool TenorPointBad(const double* t, int64_t k) {
  if (!Finite(t[k]) || t[k] < 0.0) return true;
  return k >= 1 && !(t[k] > t[k - 1]);
}

// First bad point of a tenor axis of n points, or -1.
int64_t FirstBadTenor(const double* t, int64_t n) {
  for (int64_t k = 0; k < n; ++k) {
    if (TenorPointBad(t, k)) return k;
  }
  return -1;
}

// Curve points, tenor before value, point by point.
int CheckCurve(const double* tenor, const double* value, int64_t n, int tenorCode,
               int valueCode, int underlying, ValidationFault& f) {
  for (int64_t k = 0; k < n; ++k) {
    if (TenorPointBad(tenor, k)) return Fail(f, tenorCode, underlying, -1, k);
    if (OutsideUnit(value[k])) return Fail(f, valueCode, underlying, -1, k);
  }
  return kValid;
}

int CheckCounts(const ExtendedArgs& a, ValidationFault& f) {
  if (a.NStock < 1) return Fail(f, MORVIK_NO_STOCKS);
  if (a.NT[0] < 1) return Fail(f, MORVIK_NO_DISCOUNT_POINTS);
  for (int i = 1; i <= a.NStock; ++i) {
    if (a.NT[i] < 1) return Fail(f, MORVIK_NO_RATE_POINTS, i - 1);
  }
  if (a.NStrike < 1) return Fail(f, MORVIK_NO_DATES);
  if (a.NCoupon < 0) return Fail(f, MORVIK_BAD_COUPON_COUNT);
  return kValid;
}

int CheckPrices(const ExtendedArgs& a, ValidationFault& f) {
  for (int i = 0; i < a.NStock; ++i) {
    const double cur = a.UnderlyingPrice[2 * static_cast<int64_t>(i)];
    if (!Finite(cur) || cur <= 0.0) return Fail(f, MORVIK_BAD_SPOT, i);
    const double base = a.UnderlyingPrice[2 * static_cast<int64_t>(i) + 1];
    if (!Finite(base) || base <= 0.0) return Fail(f, MORVIK_BAD_BASE_PRICE, i);
  }
  return kValid;
}

int CheckCurves(const ExtendedArgs& a, ValidationFault& f) {
  int r = CheckCurve(a.TCurveInfo, a.CurveInfo, a.NT[0], MORVIK_BAD_DISCOUNT_TENOR,
                     MORVIK_BAD_DISCOUNT_RATE, -1, f);
  if (r != kValid) return r;
  int64_t offset = a.NT[0];
  for (int i = 0; i < a.NStock; ++i) {
    const int64_t n = a.NT[1 + i];
    r = CheckCurve(a.TCurveInfo + offset, a.CurveInfo + offset, n, MORVIK_BAD_RATE_TENOR,
                   MORVIK_BAD_RATE, i, f);
    if (r != kValid) return r;
    offset += n;
  }
  return kValid;
}

int CheckVolAxes(const ExtendedArgs& a, ValidationFault& f) {
  int64_t tOffset = 0;
  int64_t pOffset = 0;
  for (int i = 0; i < a.NStock; ++i) {
    if (a.NVol[i] < 1) return Fail(f, MORVIK_NO_VOL_TIMES, i);
    int64_t k = FirstBadTenor(a.TVol + tOffset, a.NVol[i]);
    if (k >= 0) return Fail(f, MORVIK_BAD_VOL_TIMES, i, -1, k);
    if (a.NParity[i] < 1) return Fail(f, MORVIK_NO_MONEYNESS, i);
    k = FirstBadTenor(a.Parity + pOffset, a.NParity[i]);
    if (k >= 0) return Fail(f, MORVIK_BAD_MONEYNESS, i, -1, k);
    tOffset += a.NVol[i];
    pOffset += a.NParity[i];
  }
  return kValid;
}

int CheckLocalVol(const ExtendedArgs& a, ValidationFault& f) {
  const double* block = a.LocalVolSurface;
  for (int i = 0; i < a.NStock; ++i) {
    const int64_t n = layout::SurfaceBlockLength(a.NVol[i], a.NParity[i]);  // both >= 1 by now
    for (int64_t k = 0; k < n; ++k) {
      if (!Finite(block[k]) || block[k] < 0.0) return Fail(f, MORVIK_BAD_LOCAL_VOL, i, -1, k);
    }
    block += n;
  }
  return kValid;
}

// How far a correlation matrix may stray from symmetry, a unit diagonal and
// its own factor.
constexpr double kCorrelationTolerance = 1e-9;

inline bool Near(double a, double b) { return std::fabs(a - b) <= kCorrelationTolerance; }

// The matrix as a whole, once every entry lies in [-1, 1]: a unit diagonal,
// symmetric, and reproduced by the factor the engine correlates its draws
// with. That factor reads only the upper triangle and floors non-positive
// pivots, so a matrix that is not positive semi-definite would otherwise be
// priced as some other matrix. A singular matrix (two stocks correlated at
// exactly 1 or -1) is reproduced and passes. The element reported is on or
// below the diagonal: row `underlying`, column `point`.
int CheckCorrelationMatrix(const ExtendedArgs& a, ValidationFault& f) {
  const int n = a.NStock;
  const double* A = a.UnderlyingCorr;
  auto at = [n](int i, int k) { return static_cast<int64_t>(i) * n + k; };
  for (int i = 0; i < n; ++i) {
    if (!Near(A[at(i, i)], 1.0)) return Fail(f, MORVIK_BAD_CORRELATION_MATRIX, i, -1, i);
    for (int k = 0; k < i; ++k) {
      if (!Near(A[at(i, k)], A[at(k, i)])) return Fail(f, MORVIK_BAD_CORRELATION_MATRIX, i, -1, k);
    }
  }
  std::vector<double> L(layout::CorrelationLength(n));
  CholeskyLower(A, L.data(), n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      double s = 0.0;
      for (int k = 0; k <= j; ++k) s += L[at(i, k)] * L[at(j, k)];
      // Written so that a NaN or an overflow fails too.
      if (!Near(s, A[at(i, j)])) return Fail(f, MORVIK_BAD_CORRELATION_MATRIX, i, -1, j);
    }
  }
  return kValid;
}

int CheckCorrelation(const ExtendedArgs& a, ValidationFault& f) {
  for (int i = 0; i < a.NStock; ++i) {
    const double* row = a.UnderlyingCorr + static_cast<int64_t>(i) * a.NStock;
    for (int k = 0; k < a.NStock; ++k) {
      if (OutsideUnit(row[k])) return Fail(f, MORVIK_BAD_CORRELATION, i, -1, k);
    }
  }
  return CheckCorrelationMatrix(a, f);
}

int CheckDividends(const ExtendedArgs& a, ValidationFault& f) {
  int64_t offset = 0;
  for (int i = 0; i < a.NStock; ++i) {
    const int n = a.NDiv[i];
    if (n < 0) return Fail(f, MORVIK_BAD_DIV_COUNT, i);
    const int type = a.Div_TypeFlag[i];
    if (type < 0 || type > 2) return Fail(f, MORVIK_BAD_DIV_TYPE, i);
    const int* times = a.TDiv + offset;
    for (int k = 0; k < n; ++k) {
      if (times[k] < 0 || (k >= 1 && times[k] <= times[k - 1])) {
        return Fail(f, MORVIK_BAD_DIV_DAY, i, -1, k);
      }
    }
    // Cash amounts are bounded by the stock's base price, yields by [-1, 1].
    const double* values = a.Div + offset;
    const double base = a.UnderlyingPrice[2 * static_cast<int64_t>(i) + 1];
    for (int k = 0; k < n; ++k) {
      const double v = values[k];
      const bool bad = type == 2 ? (!Finite(v) || v < 0.0 || v > base) : OutsideUnit(v);
      if (bad) return Fail(f, MORVIK_BAD_DIV, i, -1, k);
    }
    offset += n;
  }
  return kValid;
}

int CheckFx(const ExtendedArgs& a, ValidationFault& f) {
  int64_t offset = 0;
  for (int i = 0; i < a.NStock; ++i) {
    const int n = a.FX_NVol[i];
    if (n < 1) return Fail(f, MORVIK_NO_FX_POINTS, i);
    const int q = a.QuantoFlag[i];
    if (q < 0 || q > 2) return Fail(f, MORVIK_BAD_QUANTO_FLAG, i);
    if (OutsideUnit(a.FX_Corr[i])) return Fail(f, MORVIK_BAD_FX_CORR, i);
    const double* tenor = a.FX_TVol + offset;
    const double* vol = a.FX_Vol + offset;
    for (int k = 0; k < n; ++k) {
      if (TenorPointBad(tenor, k)) return Fail(f, MORVIK_BAD_FX_TENOR, i, -1, k);
      // The first volatility has no lower bound, but must still be a number.
      if (!Finite(vol[k]) || (k >= 1 && vol[k] < -1.0)) return Fail(f, MORVIK_BAD_FX_VOL, i, -1, k);
    }
    offset += n;
  }
  return kValid;
}

// Redemption levels: positive, non-decreasing over the four tiers, never
// above the knock-out barrier of their date. Then the knock-in barriers.
int CheckLevels(const ExtendedArgs& a, ValidationFault& f) {
  const int64_t sn = static_cast<int64_t>(a.NStock) * a.NStrike;
  for (int64_t e = 0; e < sn; ++e) {
    const int date = static_cast<int>(e / a.NStock);
    const int stock = static_cast<int>(e % a.NStock);
    double x[4];
    for (int b = 0; b < 4; ++b) x[b] = a.X[b * sn + e];
    for (int b = 0; b < 4; ++b) {
      if (!Finite(x[b]) || x[b] <= 0.0) return Fail(f, MORVIK_BAD_STRIKES, stock, date, b);
    }
    for (int b = 1; b < 4; ++b) {
      if (x[b] < x[b - 1]) return Fail(f, MORVIK_BAD_STRIKES, stock, date, b);
    }
  }
  for (int s = 0; s < a.NStrike; ++s) {
    const double ko = a.KO_Barrier[s];
    if (!Finite(ko)) return Fail(f, MORVIK_STRIKE_ABOVE_KO, -1, s);
    for (int j = 0; j < a.NStock; ++j) {
      for (int b = 0; b < 4; ++b) {
        const int64_t idx = (static_cast<int64_t>(b) * a.NStrike + s) * a.NStock + j;
        if (a.X[idx] > ko) return Fail(f, MORVIK_STRIKE_ABOVE_KO, j, s, b);
      }
    }
  }
  for (int j = 0; j < a.NStock; ++j) {
    const double ki = a.KI_Barrier[j];
    if (!Finite(ki) || ki < 0.0) return Fail(f, MORVIK_BAD_KI_BARRIER, j);
  }
  return kValid;
}

int CheckRedemptionSchedule(const ExtendedArgs& a, ValidationFault& f) {
  const int n = a.NStrike;
  const int* obsDates = a.DatesInfo;
  const int* payDates = a.DatesInfo + n;
  const int* windows = a.DatesInfo + 2 * static_cast<int64_t>(n);
  const int* rules = a.DatesInfo + 3 * static_cast<int64_t>(n);
  bool fixingsSeen = false;
  for (int s = 0; s < n; ++s) {
    const int obs = obsDates[s];
    const int pay = payDates[s];
    const int win = windows[s];
    const int rule = rules[s];
    // Observation dates strictly increase: the engine tests one date per day.
    if (!IsRealCalendarDate(obs)) return Fail(f, MORVIK_BAD_OBS_DATE, -1, s);
    if (s >= 1 && obs <= obsDates[s - 1]) return Fail(f, MORVIK_BAD_OBS_DATE, -1, s);
    if (!IsRealCalendarDate(pay)) return Fail(f, MORVIK_BAD_PAY_DATE, -1, s);
    if (s >= 1 && pay < payDates[s - 1]) return Fail(f, MORVIK_BAD_PAY_DATE, -1, s);
    if (pay < obs) return Fail(f, MORVIK_BAD_PAY_DATE, -1, s);
    // A window of win days ends on its observation date, so it cannot reach
    // back before the first accepted date. This also bounds the time
    // sensitivity's step and the daily rows, which grow with the longest
    // window, even of a date that is long over.
    if (win < 1 || win - 1 > CdrDDiff(kFirstCalendarDate, obs)) {
      return Fail(f, MORVIK_BAD_WINDOW_LENGTH, -1, s);
    }
    if (rule != 0 && rule != 1) return Fail(f, MORVIK_BAD_WINDOW_RULE, -1, s);

    // A date whose window has begun (or whose payment is still pending)
    // needs the fixings already observed in that window. Days are counted
    // as the day offsets of the priced schedule are, so the count agrees
    // with the window the engine fills (the serial count would add a
    // 29 February 1900 that does not exist).
    const int need = FixingsNeeded(CdrDDiff(a.PriceDate, obs), win, pay > a.PriceDate);
    if (need > 0) {
      if (a.FixedFlag[0] < need) return Fail(f, MORVIK_MISSING_FIXINGS, -1, s);
      // SC holds the fixings of one window only: the pending date's, or else
      // the running window's. A second date that needs fixings (a second
      // observed-but-unpaid date, or a running window behind a pending date)
      // would be valued on the other date's closes.
      if (fixingsSeen) return Fail(f, MORVIK_MISSING_FIXINGS, -1, s);
      fixingsSeen = true;
    }
  }
  return kValid;
}

int CheckKnockStates(const ExtendedArgs& a, ValidationFault& f) {
  const int ko = a.KnockBarrierFlag[0];
  if (ko != 0 && ko != 1) return Fail(f, MORVIK_BAD_KO_MODE, -1, -1, 0);
  const int ki = a.KnockBarrierFlag[1];
  if (ki < 0 || ki > 2) return Fail(f, MORVIK_BAD_KI_MODE, -1, -1, 1);
  for (int j = 0; j < a.NStock; ++j) {
    const int h = a.BeKO_Hitted[j];
    if (h != 0 && h != 1) return Fail(f, MORVIK_BAD_KO_STATE, j);
  }
  if (a.BeKI_Hitted != 0 && a.BeKI_Hitted != 1) return Fail(f, MORVIK_BAD_KI_STATE);
  return kValid;
}

int CheckCoupons(const ExtendedArgs& a, ValidationFault& f) {
  const int q = a.NCoupon;
  if (q <= 0) return kValid;
  const int* obsDates = a.CouponDatesInfo;
  const int* payDates = a.CouponDatesInfo + q;
  bool pendingSeen = false;
  for (int j = 0; j < q; ++j) {
    const double barrier = a.CouponBarrier[j];
    if (!Finite(barrier) || barrier < 0.0) return FailCoupon(f, MORVIK_BAD_COUPON_BARRIER, j);
    const int cobs = obsDates[j];
    const int cpay = payDates[j];
    if (!IsRealCalendarDate(cobs)) return FailCoupon(f, MORVIK_BAD_COUPON_OBS_DATE, j);
    if (j >= 1 && cobs <= obsDates[j - 1]) return FailCoupon(f, MORVIK_BAD_COUPON_OBS_DATE, j);
    if (!IsRealCalendarDate(cpay)) return FailCoupon(f, MORVIK_BAD_COUPON_PAY_DATE, j);
    if (j >= 1 && cpay < payDates[j - 1]) return FailCoupon(f, MORVIK_BAD_COUPON_PAY_DATE, j);
    if (cobs > cpay) return FailCoupon(f, MORVIK_BAD_COUPON_PAY_DATE, j);
    // An observed coupon still to be paid needs its fixing, and only one
    // such coupon can be settled per call.
    if (CouponPending(cobs, cpay, a.PriceDate)) {
      if (a.FixedFlag[1] <= 0 || pendingSeen) return FailCoupon(f, MORVIK_MISSING_FIXINGS, j);
      pendingSeen = true;
    }
  }
  const int n = a.NStrike;
  if (obsDates[q - 1] > a.DatesInfo[n - 1]) return FailCoupon(f, MORVIK_BAD_COUPON_OBS_DATE, q - 1);
  if (payDates[q - 1] > a.DatesInfo[2 * static_cast<int64_t>(n) - 1]) {
    return FailCoupon(f, MORVIK_BAD_COUPON_PAY_DATE, q - 1);
  }
  if (a.BeCouponBarrierHitted != 0 && a.BeCouponBarrierHitted != 1) return Fail(f, MORVIK_BAD_COUPON_STATE);
  if (a.CouponBarrierFlag < 0 || a.CouponBarrierFlag > 2) return Fail(f, MORVIK_BAD_COUPON_BARRIER_MODE);
  return kValid;
}

// Fixed closes, fixing-major: element r * NStock + i is stock i's r-th close.
int CheckCloses(const double* closes, int64_t rows, int nstock, int code, ValidationFault& f) {
  for (int64_t r = 0; r < rows; ++r) {
    for (int i = 0; i < nstock; ++i) {
      const double v = closes[r * nstock + i];
      if (!Finite(v) || v < 0.0) return Fail(f, code, i, -1, r);
    }
  }
  return kValid;
}

int CheckRunSettings(const ExtendedArgs& a, ValidationFault& f) {
  if (!Finite(a.NTrials) || a.NTrials < 1.0) return Fail(f, MORVIK_BAD_TRIALS);
  const double floorLimit = a.PayOffLimit[0];
  if (!Finite(floorLimit) || floorLimit > 1.0) return Fail(f, MORVIK_BAD_FLOOR, -1, -1, 0);
  // A cap of +inf means the payoff is not capped.
  const double capLimit = a.PayOffLimit[1];
  if (std::isnan(capLimit) || capLimit < 0.0) return Fail(f, MORVIK_BAD_CAP, -1, -1, 1);
  if (a.NAFlag != 0 && a.NAFlag != 1) return Fail(f, MORVIK_BAD_NA_FLAG);
  if (a.FixedFlag[0] < 0) return Fail(f, MORVIK_MISSING_FIXINGS, -1, -1, 0);
  if (a.FixedFlag[1] < 0) return Fail(f, MORVIK_MISSING_FIXINGS, -1, -1, 1);
  int r = CheckCloses(a.SC, a.FixedFlag[0], a.NStock, MORVIK_BAD_FIXING, f);
  if (r != kValid) return r;
  r = CheckCloses(a.Coupon_SC, a.FixedFlag[1], a.NStock, MORVIK_BAD_COUPON_FIXING, f);
  if (r != kValid) return r;
  if (a.CalcFlag[0] < 0 || a.CalcFlag[0] > 2) return Fail(f, MORVIK_BAD_CALC_FLAG, -1, -1, 0);
  if (a.CalcFlag[1] != 0 && a.CalcFlag[1] != 1) return Fail(f, MORVIK_BAD_LOG_FLAG, -1, -1, 1);
  return kValid;
}

// First non-finite of n values, or -1.
int64_t FirstNonFinite(const double* v, int64_t n) {
  for (int64_t k = 0; k < n; ++k) {
    if (!Finite(v[k])) return k;
  }
  return -1;
}

// Payoff slopes and amounts, redemption coupons and periodic coupons: no
// range is imposed, but each must be a number.
int CheckPayoffValues(const ExtendedArgs& a, ValidationFault& f) {
  const int n = a.NStrike;
  int64_t k = FirstNonFinite(a.PayOffSlope, layout::PayoffLength(n));
  if (k < 0) k = FirstNonFinite(a.PayOffAmount, layout::PayoffLength(n));
  if (k < 0) k = FirstNonFinite(a.RedemCoupon, layout::RedemCouponLength(n));
  if (k < 0) k = FirstNonFinite(a.Coupon, a.NCoupon);
  return k >= 0 ? Fail(f, MORVIK_BAD_PAYOFF_VALUE, -1, -1, k) : kValid;
}

}  // namespace

int ValidateInputsAt(const ExtendedArgs& a, ValidationFault& fault) {
  fault = ValidationFault{};
  if (!IsRealCalendarDate(a.PriceDate)) return Fail(fault, MORVIK_BAD_PRICE_DATE);
  if (!Finite(a.NotionalAMT) || a.NotionalAMT < 0.0) return Fail(fault, MORVIK_BAD_NOTIONAL);

  int r = CheckCounts(a, fault);
  if (r == kValid) r = CheckPrices(a, fault);
  if (r == kValid) r = CheckCurves(a, fault);
  if (r == kValid) r = CheckVolAxes(a, fault);
  if (r == kValid) r = CheckLocalVol(a, fault);
  if (r == kValid) r = CheckCorrelation(a, fault);
  if (r == kValid) r = CheckDividends(a, fault);
  if (r == kValid) r = CheckFx(a, fault);
  if (r == kValid) r = CheckLevels(a, fault);
  if (r == kValid) r = CheckRedemptionSchedule(a, fault);
  if (r == kValid) r = CheckKnockStates(a, fault);
  if (r == kValid) r = CheckCoupons(a, fault);
  if (r == kValid) r = CheckRunSettings(a, fault);
  if (r == kValid) r = CheckPayoffValues(a, fault);
  return r;
}

int ValidateInputs(const ExtendedArgs& a) {
  ValidationFault fault;
  return ValidateInputsAt(a, fault);
}

bool CorrelationMatrixUsable(const double* corr, int n, ValidationFault& fault) {
  ExtendedArgs a{};
  a.NStock = n;
  a.UnderlyingCorr = corr;
  fault = ValidationFault{};
  return CheckCorrelationMatrix(a, fault) == kValid;
}

}  // namespace morvik
