// Valuation of a pending payment from fixings already known: a coupon whose
// observation is over, or a redemption observation date whose closes are all
// fixed but whose payment is still to come.
#include "engine/fixed_outcome.h"

#include <cstddef>
#include <vector>

#include "engine/note_state.h"
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
    // The pending date's state: a touch when every stock already touched the
    // knock-out barrier (the memory flags alone; the barrier is not tested
    // here), and the knock-in carried in.
    note::State state;
    state.memory = BeKO_Copy;
    state.touch = note::AllRemembered(BeKO_Copy, NStock) ? 1 : 0;
    state.knockIn = view.BeKI_Hitted;
    const int Lw = view.KO_WindowLen[0];
    // Without any known close (window length below 1) only a touch can be
    // valued from fixings: otherwise nothing is recorded for the date and
    // the note is not settled here.
    const bool closes = Lw >= 1 && view.SC != nullptr && NStock >= 1;
    if (state.touch == 1 || closes) {
      // The window's closes as performances; the observation date itself is
      // the last row.
      std::vector<double> win(closes ? static_cast<std::size_t>(Lw) * NStock : 0);
      if (closes) FixingPerformances(view, Lw, win.data());
      const double* last = closes ? win.data() + static_cast<std::size_t>(Lw - 1) * NStock : nullptr;
      note::Rules rules = note::RulesOf(view);
      if (remaining_dates == 1) rules.maturity = MaturityTermsOf(view);
      const note::DateOutcome o = note::OnObservation<0>(state, rules, note::DateTermsOf(view, 0), last, win.data());
      if (o.result == note::DateResult::Redeemed) {
        RecordOutcome(out, 0, DFko, o.payoff);
        settled = 1;
      } else if (o.result == note::DateResult::Matured) {
        RecordOutcome(out, o.knockedIn ? 2 : 1, DFko, o.payoff);
        settled = 1;
      } else {
        // A date that does not redeem pays its redemption coupon; its
        // knock-out period's flags are cleared.
        out.ResultPrice[0] += kNotionalScale * DFko * view.RedemCoupon[0];
      }
    }
  }

  record.settled = settled;
  record.coupon_breach = breach;
  return 1;
}

}  // namespace morvik
