// Valuation of a pending payment from fixings already known: a coupon whose
// observation is over, or a redemption observation date whose closes are all
// fixed but whose payment is still to come.
#include "engine/fixed_outcome.h"

#include "numerics/curves.h"

namespace morvik {

namespace {

// Payoff limits: the floor is applied first, then the cap, so the cap wins
// when the floor lies above it.
double ClampPayoff(double v, double lo, double hi) {
  const double floored = (lo < v) ? v : lo;
  return (floored < hi) ? floored : hi;
}

// Adds one settled redemption outcome with payoff P to slot s.
void RecordOutcome(const CoreResults& out, int s, double DFko, double P) {
  out.ResultPrice[0] += 10000.0 * DFko * P;
  out.ELS_Prob[s] = 1.0;
  out.ELS_Cf[s] += 10000.0 * P;
}

// Performance of stock i on window row r.
double WindowPerf(const CoreArgs& v, int r, int i) {
  return v.SC[r * v.NStock + i] / v.BasePrice[i];
}

// Does the strike level (strikes X[0..NStock-1]) pass on the Lw known rows?
bool LevelPasses(const CoreArgs& v, const double* X, int Lw, int avg_flag) {
  const int n = v.NStock;
  if (avg_flag == 0) {
    // Any-day test: the first row on which every stock is at or above its
    // strike decides.
    for (int r = 0; r < Lw; ++r) {
      bool all = true;
      for (int i = 0; i < n; ++i) {
        if (!(WindowPerf(v, r, i) >= X[i])) {
          all = false;
          break;
        }
      }
      if (all) return true;
    }
    return false;
  }
  // Average test: each close is divided by the window length before summing.
  const double L = static_cast<double>(Lw);
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int r = 0; r < Lw; ++r) sum += WindowPerf(v, r, i) / L;
    if (!(sum >= X[i])) return false;
  }
  return true;
}

}  // namespace

int SettleFixedOutcome(const CoreArgs& view, int* BeKO_Copy, const CoreResults& out, int status,
                       CoreRecord& record) {
  const int NStock = view.NStock;
  const int remaining_dates = view.NStrike;
  const int remaining_coupons = view.NCoupon;

  int settled = 0;
  int breach = view.BeCouponBarrierHitted;
  int knock_in = view.BeKI_Hitted;
  const double base = (view.NAFlag == 1) ? 1.0 : 0.0;
  const double lo = base - view.PayOffLimit0;
  const double hi = base + view.PayOffLimit1;

  // Discount factors of the pending payment dates. With no date (coupon)
  // left there is no payment day to read.
  double DFko = 1.0;
  if (remaining_dates > 0)
    DFko = DiscountFactor(view.TCurveInfo_Disc, view.CurveInfo_Disc, view.NT_Disc,
                          view.KO_PayDays[0] / 365.0);
  double DFcp = 1.0;
  if (remaining_coupons > 0)
    DFcp = DiscountFactor(view.TCurveInfo_Disc, view.CurveInfo_Disc, view.NT_Disc,
                          view.Coupon_PayDays[0] / 365.0);

  // Pending coupon: paid unless its period was breached; the next period
  // starts unbreached either way.
  if ((status == 2 || status == 3) && remaining_coupons > 0) {
    if (view.BeCouponBarrierHitted == 0) {
      out.ResultPrice[0] += 10000.0 * DFcp * view.Coupon[0];
      out.ELS_Coupon_Prob[0] = 1.0;
      out.ELS_Coupon_Cf[0] = 10000.0 * view.Coupon[0];
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
      RecordOutcome(out, 0, DFko, ClampPayoff(base + view.PayOffAmount3[0], lo, hi));
      settled = 1;
    } else if (Lw >= 1 && view.SC != nullptr && NStock >= 1) {
      // Worst performance on the observation date itself (the last row).
      double worst = WindowPerf(view, Lw - 1, 0);
      for (int i = 1; i < NStock; ++i) {
        const double f = WindowPerf(view, Lw - 1, i);
        if (f < worst) worst = f;
      }

      // Strike levels from the highest block down.
      const double* const X[4] = {view.X3, view.X2, view.X1, view.X0};
      const double* const A[4] = {view.PayOffSlope3, view.PayOffSlope2, view.PayOffSlope1,
                                  view.PayOffSlope0};
      const double* const B[4] = {view.PayOffAmount3, view.PayOffAmount2, view.PayOffAmount1,
                                  view.PayOffAmount0};
      for (int level = 0; level < 4 && settled == 0; ++level) {
        if (LevelPasses(view, X[level], Lw, view.KO_AvgFlag[0])) {
          const double gain = (worst - 1.0 > 0.0) ? worst - 1.0 : 0.0;
          const double P = ClampPayoff(gain * A[level][0] + base + B[level][0], lo, hi);
          RecordOutcome(out, 0, DFko, P);
          settled = 1;
        }
      }

      if (settled == 0 && remaining_dates == 1) {
        // Final observation without redemption: maturity payoff.
        if (knock_in == 0) {
          for (int i = 0; i < NStock; ++i) {
            if (WindowPerf(view, Lw - 1, i) < view.KI_Barrier[i]) {
              knock_in = 1;
              break;
            }
          }
        }
        const double gain = (worst - 1.0 > 0.0) ? worst - 1.0 : 0.0;
        if (knock_in != 0) {
          const double a = view.PayOffSlope3[2];
          const double b = view.PayOffAmount3[2];
          const double P = (view.KnockBarrierFlag1 == 0)
                               ? ClampPayoff(gain * a + base + b, lo, hi)
                               : ClampPayoff((worst - 1.0) * a + base + b, lo, hi);
          RecordOutcome(out, 2, DFko, P);
        } else {
          const double a = view.PayOffSlope3[1];
          const double b = view.PayOffAmount3[1];
          const double P = (a >= 0.0) ? ClampPayoff(gain * a + base + b, lo, hi)
                                      : ClampPayoff((worst - 1.0) * a + base + b, lo, hi);
          RecordOutcome(out, 1, DFko, P);
        }
        settled = 1;
      } else if (settled == 0) {
        // A date that does not redeem pays its redemption coupon and starts
        // a fresh knock-out period.
        out.ResultPrice[0] += 10000.0 * DFko * view.RedemCoupon[0];
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
