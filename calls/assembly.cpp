// Assembly of the core argument list from the named inputs of the full
// pricing call. Inputs are taken as validated; nothing here reports an input
// error. Counts below zero are read as zero so that no array is ever indexed
// with a negative length.
#include "calls/assembly.h"

#include <cstddef>

#include "calls/layout.h"
#include "dates/calendar.h"
#include "numerics/conventions.h"
#include "numerics/curves.h"
#include "sensitivities/time_shift.h"

namespace morvik {

namespace {

// One underlying's daily dividend row: `div` and `tdiv` are its segments of
// n entries, `row` holds the row's entries.
void FillDividendRow(int type, const int* tdiv, const double* div, int n, double basePrice,
                     std::vector<double>& row) {
  const std::size_t len = row.size();
  if (len == 0) return;
  if (type == 2) {
    // Cash amounts on their days, as fractions of the base price; a
    // dividend on a day past the row is dropped.
    int k = 0;
    for (std::size_t d = 0; d < len; ++d) {
      if (k < n && tdiv[k] >= 0 && static_cast<std::size_t>(tdiv[k]) == d) {
        row[d] = div[k] / basePrice;
        ++k;
      } else {
        row[d] = 0.0;
      }
    }
    return;
  }
  if (n <= 0) {
    // No entry at all: no dividend.
    for (std::size_t d = 0; d < len; ++d) row[d] = 0.0;
    return;
  }
  if (type == 0) {
    // Constant yield: the first value of the segment on every day.
    const double y = div[0];
    for (std::size_t d = 0; d < len; ++d) row[d] = y;
    return;
  }
  // Yield term curve on times in years, spread into daily rates.
  std::vector<double> t(layout::Count(n));
  for (int k = 0; k < n; ++k) t[static_cast<std::size_t>(k)] = tdiv[k] / kDaysPerYear;
  DailyForwardRates(t.data(), div, n, static_cast<int>(len), row.data());
}

}  // namespace

void AssembleCore(const ExtendedArgs& in, AssembledCore& out) {
  const int nStock = in.NStock;
  const int nStrike = in.NStrike;
  const int nCoupon = in.NCoupon;
  using layout::Count;
  using layout::DatesBlock;
  const std::size_t S = Count(nStock);
  const std::size_t N = Count(nStrike);
  const std::size_t Q = Count(nCoupon);

  // Prices: current and base price of each pair.
  out.CurPrice.assign(S, 0.0);
  out.BasePrice.assign(S, 0.0);
  for (std::size_t i = 0; i < S; ++i) {
    out.CurPrice[i] = in.UnderlyingPrice[2 * i];
    out.BasePrice[i] = in.UnderlyingPrice[2 * i + 1];
  }

  // Moneyness relative to today's price becomes price over base price.
  out.Parity_Scaled.assign(layout::SumCounts(in.NParity, nStock), 0.0);
  std::size_t parOff = 0;
  for (std::size_t i = 0; i < S; ++i) {
    const std::size_t n = Count(in.NParity[i]);
    for (std::size_t k = 0; k < n; ++k) {
      out.Parity_Scaled[parOff + k] = in.Parity[parOff + k] * out.CurPrice[i] / out.BasePrice[i];
    }
    parOff += n;
  }

  // Redemption schedule as day offsets from the pricing date.
  out.KO_ObsDays.assign(N, 0);
  out.KO_PayDays.assign(N, 0);
  for (std::size_t s = 0; s < N; ++s) {
    out.KO_ObsDays[s] = CdrDDiff(in.PriceDate, in.DatesInfo[DatesBlock(nStrike, layout::kObservationDates) + s]);
    out.KO_PayDays[s] = CdrDDiff(in.PriceDate, in.DatesInfo[DatesBlock(nStrike, layout::kPaymentDates) + s]);
  }

  // Coupon schedule; one spare element so that the arrays exist for Q = 0.
  out.Coupon_ObsDays.assign(Q + 1, 0);
  out.Coupon_PayDays.assign(Q + 1, 0);
  for (std::size_t j = 0; j < Q; ++j) {
    out.Coupon_ObsDays[j] =
        CdrDDiff(in.PriceDate, in.CouponDatesInfo[DatesBlock(nCoupon, layout::kObservationDates) + j]);
    out.Coupon_PayDays[j] = CdrDDiff(in.PriceDate, in.CouponDatesInfo[DatesBlock(nCoupon, layout::kPaymentDates) + j]);
  }

  // Daily dividend rows.
  const int* windowLen = in.DatesInfo + DatesBlock(nStrike, layout::kWindowLengths);
  const int lastObsDay = N > 0 ? out.KO_ObsDays[N - 1] : 0;
  out.DailyDivLen = DailyDividendLength(lastObsDay, windowLen, nStrike);
  const std::size_t L = Count(out.DailyDivLen);
  out.DailyDivRows.assign(S, std::vector<double>());
  out.DailyDiv.assign(S, nullptr);
  std::size_t divOff = 0;
  for (std::size_t i = 0; i < S; ++i) {
    const int n = in.NDiv[i] > 0 ? in.NDiv[i] : 0;
    std::vector<double>& row = out.DailyDivRows[i];
    row.assign(L, 0.0);
    FillDividendRow(in.Div_TypeFlag[i], in.TDiv + divOff, in.Div + divOff, n, out.BasePrice[i],
                    row);
    out.DailyDiv[i] = row.data();
    divOff += Count(n);
  }

  // Result arrays of the core (the core clears them).
  out.ELS_Prob.assign(layout::OutcomeSlots(nStrike), 0.0);
  out.ELS_Cf.assign(layout::OutcomeSlots(nStrike), 0.0);
  out.ELS_Coupon_Prob.assign(Q + 1, 0.0);
  out.ELS_Coupon_Cf.assign(Q + 1, 0.0);

  // The argument list: built arrays, caller arrays passed on, pointers into
  // the caller's arrays and single values read once.
  const std::size_t nt0 = Count(in.NT[0]);
  CoreArgs& a = out.args;
  a = CoreArgs{};
  a.CurPrice = out.CurPrice.data();
  a.BasePrice = out.BasePrice.data();
  a.TCurveInfo_Stock = in.TCurveInfo + nt0;
  a.CurveInfo_Stock = in.CurveInfo + nt0;
  a.NT_Stock = in.NT + 1;
  a.TCurveInfo_Disc = in.TCurveInfo;
  a.CurveInfo_Disc = in.CurveInfo;
  a.NT_Disc = in.NT[0];
  a.TVol = in.TVol;
  a.Parity_Scaled = out.Parity_Scaled.data();
  a.LocalVolSurface = in.LocalVolSurface;
  a.NVol = in.NVol;
  a.NParity = in.NParity;
  a.UnderlyingCorr = in.UnderlyingCorr;
  a.DailyDiv = out.DailyDiv.data();
  a.Div_TypeFlag = in.Div_TypeFlag;
  a.FX_TVol = in.FX_TVol;
  a.FX_Vol = in.FX_Vol;
  a.FX_NVol = in.FX_NVol;
  a.FX_Corr = in.FX_Corr;
  a.QuantoFlag = in.QuantoFlag;
  a.NStock = nStock;
  a.NStrike = nStrike;
  const std::size_t block = layout::StrikeBlockLength(nStock, nStrike);
  a.X0 = in.X;
  a.X1 = in.X + block;
  a.X2 = in.X + 2 * block;
  a.X3 = in.X + 3 * block;
  a.KO_Barrier = in.KO_Barrier;
  a.KI_Barrier = in.KI_Barrier;
  const std::size_t tier = layout::OutcomeSlots(nStrike);
  a.PayOffSlope0 = in.PayOffSlope;
  a.PayOffSlope1 = in.PayOffSlope + tier;
  a.PayOffSlope2 = in.PayOffSlope + 2 * tier;
  a.PayOffSlope3 = in.PayOffSlope + 3 * tier;
  a.PayOffAmount0 = in.PayOffAmount;
  a.PayOffAmount1 = in.PayOffAmount + tier;
  a.PayOffAmount2 = in.PayOffAmount + 2 * tier;
  a.PayOffAmount3 = in.PayOffAmount + 3 * tier;
  a.KO_ObsDays = out.KO_ObsDays.data();
  a.KO_PayDays = out.KO_PayDays.data();
  a.KO_WindowLen = in.DatesInfo + DatesBlock(nStrike, layout::kWindowLengths);
  a.KO_AvgFlag = in.DatesInfo + DatesBlock(nStrike, layout::kWindowRules);
  a.RedemCoupon = in.RedemCoupon;
  a.KnockBarrierFlag0 = in.KnockBarrierFlag[0];
  a.KnockBarrierFlag1 = in.KnockBarrierFlag[1];
  a.BeKO_Hitted = in.BeKO_Hitted;
  a.BeKI_Hitted = in.BeKI_Hitted;
  a.NCoupon = nCoupon;
  a.CouponBarrier = in.CouponBarrier;
  a.Coupon = in.Coupon;
  a.Coupon_ObsDays = out.Coupon_ObsDays.data();
  a.Coupon_PayDays = out.Coupon_PayDays.data();
  a.CouponBarrierFlag = in.CouponBarrierFlag;
  a.BeCouponBarrierHitted = in.BeCouponBarrierHitted;
  a.NTrials = in.NTrials;
  a.PayOffLimit0 = in.PayOffLimit[0];
  a.PayOffLimit1 = in.PayOffLimit[1];
  a.NAFlag = in.NAFlag;
  a.SC = in.SC;
  a.Coupon_SC = in.Coupon_SC;
  a.FixedFlag = in.FixedFlag;
  a.Reserved = 0;

  CoreResults& r = out.results;
  r = CoreResults{};
  r.ELS_Prob = out.ELS_Prob.data();
  r.ELS_Cf = out.ELS_Cf.data();
  r.ELS_Coupon_Prob = out.ELS_Coupon_Prob.data();
  r.ELS_Coupon_Cf = out.ELS_Coupon_Cf.data();
}

int DailyDividendLength(int lastObsDay, const int* windowLen, int nStrike) {
  const long long h = ThetaStep(windowLen, nStrike);
  const long long tail = h + 1 > 5 ? h + 1 : 5;
  const long long len = static_cast<long long>(lastObsDay) + tail;
  // Validated windows keep this far below the int range; saturate anyway.
  if (len > 2147483647LL) return 2147483647;
  return len > 0 ? static_cast<int>(len) : 0;
}

}  // namespace morvik
