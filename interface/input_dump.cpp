// The dump of every input of the full pricing call, one line per input.
//
// The dump runs before validation and trusts the caller's counts; it only
// guards its own arithmetic (counts are taken in 64 bits and saturated),
// products of negative counts (no values, not a positive length) and missing
// count arrays, which count as zero.
#include "interface/input_dump.h"

#include <climits>
#include <cstdio>
#include <string>

#include "interface/layout.h"
#include "logging/log_writer.h"

namespace morvik {

namespace {

int Saturate(long long n) {
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

// a + b kept within the int range; b may be any product of two ints.
long long AddClamped(long long a, long long b) { return Saturate(a + b); }

int CountAt(const int* counts, int i) { return counts != nullptr ? counts[i] : 0; }

// "label : value", formatted here and appended as one line.
template <typename T>
void AppendScalarLine(const char* subdir, const char* file, const char* label, const char* fmt,
                      T value) {
  std::string line(label);
  line += " : ";
  char small[128];
  const int n = std::snprintf(small, sizeof small, fmt, value);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof small) {
    line.append(small, static_cast<std::size_t>(n));
  } else {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), fmt, value);
    line.append(big.data(), static_cast<std::size_t>(n));
  }
  AppendLogLine(subdir, file, line.c_str());
}

void DumpInputs(const char* subdir, const char* file, const ExtendedArgs& a) {
  const long long S = a.NStock;
  const long long N = a.NStrike;
  const long long Q = a.NCoupon;

  // Derived counts, in one pass over the underlyings.
  long long sumVol = 0, sumParity = 0, sumSurface = 0, sumDiv = 0, sumFxVol = 0, sumStockCurves = 0;
  for (int i = 0; i < a.NStock; ++i) {
    const int nv = CountAt(a.NVol, i);
    const int np = CountAt(a.NParity, i);
    sumVol = AddClamped(sumVol, nv);
    sumParity = AddClamped(sumParity, np);
    sumSurface = AddClamped(sumSurface, layout::SurfaceBlockLength(nv, np));  // negative counts: no values
    sumDiv = AddClamped(sumDiv, CountAt(a.NDiv, i));
    sumFxVol = AddClamped(sumFxVol, CountAt(a.FX_NVol, i));
    sumStockCurves = AddClamped(sumStockCurves, a.NT != nullptr ? a.NT[1 + i] : 0);
  }
  const long long nCurve = (a.NT != nullptr && S + 1 > 0 ? a.NT[0] : 0) + sumStockCurves;
  const int fixed0 = CountAt(a.FixedFlag, 0);
  const int fixed1 = CountAt(a.FixedFlag, 1);

  AppendScalarLine(subdir, file, "PriceDate", "%d", a.PriceDate);
  AppendScalarLine(subdir, file, "NotionalAMT", "%f", a.NotionalAMT);
  LogDoubleArray(subdir, file, "UnderlyingPrice", a.UnderlyingPrice, Saturate(layout::UnderlyingPriceLength(a.NStock)));
  LogDoubleArray(subdir, file, "TCurveInfo", a.TCurveInfo, Saturate(nCurve));
  LogDoubleArray(subdir, file, "CurveInfo", a.CurveInfo, Saturate(nCurve));
  LogIntArray(subdir, file, "NT", a.NT, Saturate(layout::CurveCountsLength(a.NStock)));
  LogDoubleArray(subdir, file, "TVol", a.TVol, Saturate(sumVol));
  LogDoubleArray(subdir, file, "Parity", a.Parity, Saturate(sumParity));
  LogDoubleArray(subdir, file, "LocalVolSurface", a.LocalVolSurface, Saturate(sumSurface));
  LogIntArray(subdir, file, "NVol", a.NVol, Saturate(S));
  LogIntArray(subdir, file, "NParity", a.NParity, Saturate(S));
  LogDoubleArray(subdir, file, "UnderlyingCorr", a.UnderlyingCorr, Saturate(layout::CorrelationLength(a.NStock)));
  LogIntArray(subdir, file, "TDiv", a.TDiv, Saturate(sumDiv));
  LogDoubleArray(subdir, file, "Div", a.Div, Saturate(sumDiv));
  LogIntArray(subdir, file, "NDiv", a.NDiv, Saturate(S));
  LogIntArray(subdir, file, "Div_TypeFlag", a.Div_TypeFlag, Saturate(S));
  LogDoubleArray(subdir, file, "FX_TVol", a.FX_TVol, Saturate(sumFxVol));
  LogDoubleArray(subdir, file, "FX_Vol", a.FX_Vol, Saturate(sumFxVol));
  LogIntArray(subdir, file, "FX_NVol", a.FX_NVol, Saturate(S));
  LogDoubleArray(subdir, file, "FX_Corr", a.FX_Corr, Saturate(S));
  LogIntArray(subdir, file, "QuantoFlag", a.QuantoFlag, Saturate(S));
  AppendScalarLine(subdir, file, "NStock", "%d", a.NStock);
  AppendScalarLine(subdir, file, "NStrike", "%d", a.NStrike);
  LogDoubleArray(subdir, file, "X", a.X, Saturate(layout::StrikeLength(a.NStock, a.NStrike)));
  LogDoubleArray(subdir, file, "KO_Barrier", a.KO_Barrier, Saturate(N));
  LogDoubleArray(subdir, file, "KI_Barrier", a.KI_Barrier, Saturate(S));
  LogDoubleArray(subdir, file, "PayOffSlope", a.PayOffSlope, Saturate(layout::PayoffLength(a.NStrike)));
  LogDoubleArray(subdir, file, "PayOffAmount", a.PayOffAmount, Saturate(layout::PayoffLength(a.NStrike)));
  LogIntArray(subdir, file, "DatesInfo", a.DatesInfo, Saturate(layout::DatesInfoLength(a.NStrike)));
  LogDoubleArray(subdir, file, "RedemCoupon", a.RedemCoupon, Saturate(layout::RedemCouponLength(a.NStrike)));
  LogIntArray(subdir, file, "KnockBarrierFlag", a.KnockBarrierFlag, 2);
  LogIntArray(subdir, file, "BeKO_Hitted", a.BeKO_Hitted, Saturate(S));
  AppendScalarLine(subdir, file, "BeKI_Hitted", "%d", a.BeKI_Hitted);
  AppendScalarLine(subdir, file, "NCoupon", "%d", a.NCoupon);
  LogDoubleArray(subdir, file, "CouponBarrier", a.CouponBarrier, Saturate(Q));
  LogDoubleArray(subdir, file, "Coupon", a.Coupon, Saturate(Q));
  LogIntArray(subdir, file, "CouponDatesInfo", a.CouponDatesInfo, Saturate(layout::CouponDatesLength(a.NCoupon)));
  AppendScalarLine(subdir, file, "CouponBarrierFlag", "%d", a.CouponBarrierFlag);
  AppendScalarLine(subdir, file, "BeCouponBarrierHitted", "%d", a.BeCouponBarrierHitted);
  AppendScalarLine(subdir, file, "NTrials", "%f", a.NTrials);
  LogDoubleArray(subdir, file, "PayOffLimit", a.PayOffLimit, 2);
  AppendScalarLine(subdir, file, "NAFlag", "%d", a.NAFlag);
  LogDoubleArray(subdir, file, "SC", a.SC, Saturate(layout::FixingsLength(a.NStock, fixed0)));
  LogDoubleArray(subdir, file, "Coupon_SC", a.Coupon_SC, Saturate(layout::FixingsLength(a.NStock, fixed1)));
  LogIntArray(subdir, file, "FixedFlag", a.FixedFlag, 2);
  LogIntArray(subdir, file, "CalcFlag", a.CalcFlag, 2);
}

}  // namespace

void LogInputs(const char* subdir, const char* file, const ExtendedArgs& args) {
  try {
    DumpInputs(subdir, file, args);
  } catch (...) {
    // The dump is a diagnostic: a line that cannot be built is dropped.
  }
}

}  // namespace morvik
