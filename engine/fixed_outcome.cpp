// Valuation of a pending payment from fixings already known: a coupon whose
// observation is over, or a redemption observation date whose closes are all
// fixed but whose payment is still to come.
#include "engine/fixed_outcome.h"

#include <cstddef>
#include <vector>

#include "engine/payoff_rules.h"
#include "numerics/conventions.h"

namespace morvik {

namespace {

// Adds one settled redemption outcome with payoff P to slot s.
void RecordOutcome(const CoreResults& out, int s, double DFko, double P) {
  out.ResultPrice[0] += kNotionalScale * DFko * P;
  out.ELS_Prob[s] = 1.0;
  out.ELS_Cf[s] += kNotionalScale * P;
}

}  // namespace

int SettleFixedOutcome(const CoreArgs& view, int* BeKO_Copy, const CoreResults& out, int status,
                       CoreRecord& record) {
  const int NStock = view.NStock;
  const int remaining_dates = view.NStrike;
  const int remaining_coupons = view.NCoupon;

  int settled = 0;
  int breach = view.BeCouponBarrierHitted;
  const PayoffLimits limits = PayoffLimitsOf(view);

  // Discount factors of the pending payment dates. With no date (coupon)
  // left there is no payment day to read.
  double DFko = 1.0;
  if (remaining_dates > 0) DFko = PaymentDiscount(view, view.KO_PayDays[0]);
  double DFcp = 1.0;
  if (remaining_coupons > 0) DFcp = PaymentDiscount(view, view.Coupon_PayDays[0]);

  // Pending coupon: paid unless its period was breached; the next period
  // starts unbreached either way.
  if ((status == 2 || status == 3) && remaining_coupons > 0) {
    if (view.BeCouponBarrierHitted == 0) {
      out.ResultPrice[0] += kNotionalScale * DFcp * view.Coupon[0];
      out.ELS_Coupon_Prob[0] = 1.0;
      out.ELS_Coupon_Cf[0] = kNotionalScale * view.Coupon[0];
    }
    breach = 0;
  }

  if ((status == 1 || status == 3) && remaining_dates > 0) {
    // Touch redemption: every stock already touched the knock-out barrier.
    bool all_touched = true;
    for (int i = 0; i < NStock; ++i) {
      if (BeKO_Copy[i] != 1) {
        all_touched = false;
        break;
      }
    }
    const int Lw = view.KO_WindowLen[0];
    if (all_touched) {
      RecordOutcome(out, 0, DFko, TouchPayoff(limits, view.PayOffAmount3[0]));
      settled = 1;
    } else if (Lw >= 1 && view.SC != nullptr && NStock >= 1) {
      // The window's closes as performances; the observation date itself is
      // the last row.
      std::vector<double> win(static_cast<std::size_t>(Lw) * NStock);
      FixingPerformances(view, Lw, win.data());
      const double* last = win.data() + static_cast<std::size_t>(Lw - 1) * NStock;

      // Strike levels from the highest block down.
      const LevelBlocks lv = LevelBlocksOf(view);
      const int b = FirstPassingLevel(lv.strike, NStock, win.data(), Lw, view.KO_AvgFlag[0] != 0);
      if (b >= 0) {
        const double worst = WorstOf(last, NStock);
        RecordOutcome(out, 0, DFko, SlopePayoff(limits, Gain(worst), lv.slope[b][0], lv.amount[b][0]));
        settled = 1;
      } else if (remaining_dates == 1) {
        // Final observation without redemption: maturity payoff.
        const MaturityOutcome m = MaturityPayoff(MaturityTermsOf(view), limits, view.KI_Barrier,
                                                 last, NStock, view.BeKI_Hitted != 0);
        RecordOutcome(out, m.knockedIn ? 2 : 1, DFko, m.payoff);
        settled = 1;
      } else {
        // A date that does not redeem pays its redemption coupon and starts
        // a fresh knock-out period.
        out.ResultPrice[0] += kNotionalScale * DFko * view.RedemCoupon[0];
        for (int i = 0; i < NStock; ++i) BeKO_Copy[i] = 0;
      }
    }
    // Without any known close (window length below 1) the date cannot be
    // valued from fixings: nothing is recorded for it and the note is not
    // settled here.
  }

  record.settled = settled;
  record.coupon_breach = breach;
  return 1;
}

}  // namespace morvik
