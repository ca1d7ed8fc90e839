// The schedule scan: the first date still to be observed or pending
// payment, the settlement of a pending payment from its fixings, and the
// shifted view the engine values.
#include "engine/schedule_scan.h"

#include "engine/fixed_outcome.h"
#include "engine/payoff_rules.h"

namespace morvik {

namespace {

// A null array stays null whatever the shift (it is never read then).
template <class T>
T* Advance(T* p, int n) {
  return p != nullptr ? p + n : p;
}

// Per-date arrays advanced by j dates (strike blocks by j*NStock), coupon
// arrays by k coupons, counts reduced to match.
CoreArgs ShiftedView(const CoreArgs& a, int j, int k) {
  CoreArgs v = a;
  const int js = j * a.NStock;
  v.NStrike = a.NStrike - j;
  v.X0 = Advance(a.X0, js);
  v.X1 = Advance(a.X1, js);
  v.X2 = Advance(a.X2, js);
  v.X3 = Advance(a.X3, js);
  v.KO_Barrier = Advance(a.KO_Barrier, j);
  v.PayOffSlope0 = Advance(a.PayOffSlope0, j);
  v.PayOffSlope1 = Advance(a.PayOffSlope1, j);
  v.PayOffSlope2 = Advance(a.PayOffSlope2, j);
  v.PayOffSlope3 = Advance(a.PayOffSlope3, j);
  v.PayOffAmount0 = Advance(a.PayOffAmount0, j);
  v.PayOffAmount1 = Advance(a.PayOffAmount1, j);
  v.PayOffAmount2 = Advance(a.PayOffAmount2, j);
  v.PayOffAmount3 = Advance(a.PayOffAmount3, j);
  v.KO_ObsDays = Advance(a.KO_ObsDays, j);
  v.KO_PayDays = Advance(a.KO_PayDays, j);
  v.KO_WindowLen = Advance(a.KO_WindowLen, j);
  v.KO_AvgFlag = Advance(a.KO_AvgFlag, j);
  v.RedemCoupon = Advance(a.RedemCoupon, j);
  v.NCoupon = a.NCoupon - k;
  v.CouponBarrier = Advance(a.CouponBarrier, k);
  v.Coupon = Advance(a.Coupon, k);
  v.Coupon_ObsDays = Advance(a.Coupon_ObsDays, k);
  v.Coupon_PayDays = Advance(a.Coupon_PayDays, k);
  return v;
}

CoreResults ShiftedResults(const CoreResults& r, int j, int k) {
  CoreResults v = r;
  v.ELS_Prob = Advance(r.ELS_Prob, j);
  v.ELS_Cf = Advance(r.ELS_Cf, j);
  v.ELS_Coupon_Prob = Advance(r.ELS_Coupon_Prob, k);
  v.ELS_Coupon_Cf = Advance(r.ELS_Coupon_Cf, k);
  return v;
}


}  // namespace

int PrepareValuation(const CoreArgs& a, const CoreResults& out, RemainingValuation& p) {
  // Private copy of the memory flags: the fixed-outcome valuation may clear
  // them, the caller's array is never written.
  std::vector<int>& memory = p.memory;
  if (a.NStock > 0) memory.assign(a.BeKO_Hitted, a.BeKO_Hitted + a.NStock);
  CoreRecord record;
  record.settled = 0;
  record.coupon_breach = a.BeCouponBarrierHitted;

  out.ResultPrice[0] = 0.0;
  for (int s = 0; s < a.NStrike + 2; ++s) {
    out.ELS_Prob[s] = 0.0;
    out.ELS_Cf[s] = 0.0;
  }
  for (int c = 0; c < a.NCoupon; ++c) {
    out.ELS_Coupon_Prob[c] = 0.0;
    out.ELS_Coupon_Cf[c] = 0.0;
  }

  // Redemption scan: first date still to be observed, or first observed date
  // whose payment is pending.
  int status = 0;
  int j = 0;
  bool stopped = false;
  for (int d = 0; d < a.NStrike; ++d) {
    if (a.KO_ObsDays[d] > 0) {
      j = d;
      stopped = true;
      break;
    }
    if (a.KO_PayDays[d] > 0) {
      j = d + 1;
      status = 1;
      stopped = true;
      break;
    }
  }
  // Every date observed and paid: the note is over and pays nothing more.
  if (!stopped) return 1;

  int k = 0;
  for (int c = 0; c < a.NCoupon; ++c) {
    if (a.Coupon_ObsDays[c] > 0) {
      k = c;
      break;
    }
    if (a.Coupon_PayDays[c] > 0) {
      k = c + 1;
      status = status == 1 ? 3 : 2;
      break;
    }
  }

  if ((j > 0 || k > 0) && status > 0) {
    const int jf = (status == 1 || status == 3) ? j - 1 : j;
    const int kf = (status == 2 || status == 3) ? k - 1 : k;
    CoreArgs view = ShiftedView(a, jf, kf);
    view.BeKO_Hitted = memory.data();
    view.BeCouponBarrierHitted = record.coupon_breach;
    const int rc = SettleFixedOutcome(view, memory.data(), ShiftedResults(out, jf, kf), status, record);
    if (record.settled != 0) return rc;
  }

  // Nothing left to simulate (a final pending date that did not settle).
  if (a.NStrike - j < 1) return 1;

  p.view = ShiftedView(a, j, k);
  p.view.BeKO_Hitted = memory.data();
  p.view.BeCouponBarrierHitted = record.coupon_breach;
  p.fixedCount = a.FixedFlag != nullptr ? a.FixedFlag[0] : 0;
  p.out = ShiftedResults(out, j, k);
  p.dateShift = j;
  p.couponShift = k;
  p.simulate = true;
  return 1;
}

void RecordSlotFacts(const CoreArgs& a, const RemainingValuation& rest, SlotFacts& facts) {
  const int K = a.NStrike > 0 ? a.NStrike : 0;
  const int Q = a.NCoupon > 0 ? a.NCoupon : 0;
  facts.outcomeDF.assign(static_cast<std::size_t>(K) + 2, 0.0);
  facts.outcomeSettled.assign(static_cast<std::size_t>(K) + 2, !rest.simulate);
  for (int s = 0; s < K + 2; ++s) {
    // The two maturity slots are paid on the last date's payment day.
    if (K > 0) facts.outcomeDF[s] = PaymentDiscount(a, a.KO_PayDays[s < K ? s : K - 1]);
    if (s < rest.dateShift) facts.outcomeSettled[s] = true;
  }
  facts.couponDF.assign(static_cast<std::size_t>(Q), 0.0);
  facts.couponSettled.assign(static_cast<std::size_t>(Q), !rest.simulate);
  for (int c = 0; c < Q; ++c) {
    facts.couponDF[c] = PaymentDiscount(a, a.Coupon_PayDays[c]);
    if (c < rest.couponShift) facts.couponSettled[c] = true;
  }
}

}  // namespace morvik
