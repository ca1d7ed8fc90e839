// Engine set-up: pricing-date states, per-day market grids, strike tables,
// window buffers, discount factors and the correlation factor.
#include <algorithm>
#include <vector>

#include "engine/engine_grids.h"
#include "engine/note_state.h"
#include "engine/payoff_rules.h"
#include "engine/simulate.h"
#include "engine/vol_surface.h"
#include "numerics/cholesky.h"
#include "numerics/conventions.h"
#include "numerics/curves.h"
#include "numerics/forward_vol.h"
#include "numerics/term_axis.h"

namespace morvik {

void BuildFxVolRow(int quantoFlag, const double* T, const double* V, int n, double* out, int m) {
  if (m <= 0) return;
  if (quantoFlag == 0) {
    std::fill(out, out + m, 0.0);
    return;
  }
  if (quantoFlag == 1) {
    DailyForwardVol(T, V, n, out, m);
    return;
  }
  for (int k = 0; k < m; ++k) {
    const double t = k / kDaysPerYear;
    if (t <= T[0]) {
      out[k] = V[0];
    } else if (t >= T[n - 1]) {
      out[k] = V[n - 1];
    } else {
      const int c = FirstTenorAbove(T, n, t);
      out[k] = V[c - 1] + (t - T[c - 1]) * (V[c] - V[c - 1]) / (T[c] - T[c - 1]);
    }
  }
}

namespace {

// The knock-in, coupon-breach and knock-out touch states on the pricing date.
// In memory mode the pricing date's closes set the flags of the paths'
// starting copy (the caller's flags are never written).
void PricingDateStates(const CoreArgs& a, EngineGrids& g) {
  note::State s;
  s.memory = g.memoryInit.data();
  s.knockIn = a.BeKI_Hitted;
  s.breach = a.BeCouponBarrierHitted;
  // With no coupon left there is no barrier to read and the state is unused.
  const note::CouponTerms* coupon = g.NCoupon > 0 ? &g.couponTerms[0] : nullptr;
  note::OnPricingDate(s, g.rules, g.dateTerms[0].knockOut, coupon, g.p0.data());
  g.kiInit = s.knockIn;
  g.couponBreachInit = s.breach;
  g.touchInit = s.touch;
}

// Per-day rate, quanto and dividend entries, and the surfaces with their
// per-day time brackets and corner tables.
void DailyGrids(const CoreArgs& a, EngineGrids& g) {
  const int S = a.NStock;
  const int D = g.D;
  g.surface.resize(S);
  int offT = 0;
  int offP = 0;
  for (int i = 0; i < S; ++i) {
    BuildVolSurface(g.surface[i], a.Parity_Scaled + offP, a.NParity[i], a.TVol + offT, a.NVol[i],
                    a.LocalVolSurface + SurfaceBlockStart(a.NVol, a.NParity, i));
    offT += a.NVol[i];
    offP += a.NParity[i];
  }
  g.plainDrift.assign(S, 0);
  if (D <= 0) return;

  g.day.assign(static_cast<std::size_t>(D) * S, DayCoef{});
  std::vector<double> rate(D);
  std::vector<double> fx(D);
  std::vector<SurfaceDay> surfaceDays;
  int offCurve = 0;
  int offFx = 0;
  for (int i = 0; i < S; ++i) {
    DailyForwardRates(a.TCurveInfo_Stock + offCurve, a.CurveInfo_Stock + offCurve, a.NT_Stock[i],
                      D, rate.data());
    BuildFxVolRow(a.QuantoFlag[i], a.FX_TVol + offFx, a.FX_Vol + offFx, a.FX_NVol[i], fx.data(), D);
    offCurve += a.NT_Stock[i];
    offFx += a.FX_NVol[i];
    const double rho = a.FX_Corr[i];
    const double* div = a.DailyDiv[i];
    const bool cash = g.cash[i] != 0;
    BuildSurfaceDays(g.surface[i], D, surfaceDays);
    bool plain = HoldsModerateValues(g.surface[i]);
    for (int n = 1; n <= D; ++n) {
      DayCoef& c = g.day[static_cast<std::size_t>(n - 1) * S + i];
      c.vol = surfaceDays[n - 1];
      c.r = rate[n - 1];
      c.rv = rho * fx[n - 1];
      c.div = cash ? div[n] : div[n - 1];
      const double dt = 1.0 / kDaysPerYear;
      c.one = cash ? 1.0 + c.r * dt : 1.0 + (c.r - c.div) * dt;
      plain = plain && c.rv == 0.0;
    }
    g.plainDrift[i] = plain ? 1 : 0;
  }
}

// The remaining observation dates and coupons, the strike tables and the
// window buffer.
void ScheduleTables(const CoreArgs& a, int fixedCount, EngineGrids& g) {
  const int S = a.NStock;
  const int K = a.NStrike;
  const LevelBlocks lv = LevelBlocksOf(a);
  g.strike.resize(static_cast<std::size_t>(K) * kLevels * S);
  g.slope.resize(static_cast<std::size_t>(K) * kLevels);
  g.amount.resize(static_cast<std::size_t>(K) * kLevels);
  for (int d = 0; d < K; ++d) {
    for (int b = 0; b < kLevels; ++b) {
      for (int i = 0; i < S; ++i) {
        g.strike[(static_cast<std::size_t>(d) * kLevels + b) * S + i] = lv.strike[b][d * S + i];
      }
      g.slope[d * kLevels + b] = lv.slope[b][d];
      g.amount[d * kLevels + b] = lv.amount[b][d];
    }
  }

  // Every slot of a window starts at 0.0, so a slot that neither a known
  // fixing nor the simulation fills reads a defined value.
  g.date.resize(K);
  std::size_t total = 0;
  for (int d = 0; d < K; ++d) {
    ObservationDate& o = g.date[d];
    o.day = a.KO_ObsDays[d];
    o.windowLen = a.KO_WindowLen[d];
    o.average = a.KO_AvgFlag[d] != 0;
    o.barrier = a.KO_Barrier[d];
    o.df = PaymentDiscount(a, a.KO_PayDays[d]);
    o.redemCoupon = d < K - 1 ? a.RedemCoupon[d] : 0.0;
    o.windowAt = total;
    const int L = o.windowLen > 0 ? o.windowLen : 0;
    total += static_cast<std::size_t>(L) * S;
  }
  g.window.assign(total, 0.0);
  g.coupon.resize(g.NCoupon);
  for (int c = 0; c < g.NCoupon; ++c) {
    CouponDate& cp = g.coupon[c];
    cp.day = a.Coupon_ObsDays[c];
    cp.barrier = a.CouponBarrier[c];
    cp.amount = a.Coupon[c];
    cp.df = PaymentDiscount(a, a.Coupon_PayDays[c]);
  }

  // The events of each date and coupon, on the tables above.
  g.dateTerms.resize(K);
  for (int d = 0; d < K; ++d) {
    const ObservationDate& o = g.date[d];
    const double* strike = g.strike.data() + static_cast<std::size_t>(d) * kLevels * S;
    const double* const levels[kLevels] = {strike, strike + S, strike + 2 * S, strike + 3 * S};
    const std::size_t at = static_cast<std::size_t>(d) * kLevels;
    g.dateTerms[d] = note::DateTermsOf(&o.barrier, levels, g.slope.data() + at, g.amount.data() + at, o.windowLen,
                                       o.average, d == K - 1, o.redemCoupon);
  }
  g.couponTerms.resize(g.NCoupon);
  for (int c = 0; c < g.NCoupon; ++c) g.couponTerms[c] = note::CouponTermsOf(&g.coupon[c].barrier, g.coupon[c].amount);

  // Known fixings of the first window, oldest first, never more than the
  // window holds.
  const int L0 = a.KO_WindowLen[0] > 0 ? a.KO_WindowLen[0] : 0;
  FixingPerformances(a, std::min(fixedCount, L0), g.window.data());
}

}  // namespace

void BuildEngineGrids(const CoreArgs& a, int fixedCount, EngineGrids& g) {
  const int S = a.NStock;
  g.NStock = S;
  g.NStrike = a.NStrike;
  g.NCoupon = a.NCoupon > 0 ? a.NCoupon : 0;
  g.D = a.KO_ObsDays[a.NStrike - 1];
  g.trials = a.NTrials;

  g.p0.resize(S);
  g.cash.resize(S);
  for (int i = 0; i < S; ++i) {
    g.p0[i] = a.CurPrice[i] / a.BasePrice[i];
    g.cash[i] = a.Div_TypeFlag[i] == 2 ? 1 : 0;
  }
  g.kiBarrier.assign(a.KI_Barrier, a.KI_Barrier + S);
  g.memoryInit.assign(a.BeKO_Hitted, a.BeKO_Hitted + S);
  g.rules = note::RulesOf(a);
  g.rules.maturity = MaturityTermsOf(a);
  g.rules.knockInBarrier = note::KnockInEvent(g.kiBarrier.data());
  ScheduleTables(a, fixedCount, g);
  PricingDateStates(a, g);
  DailyGrids(a, g);

  g.chol.resize(static_cast<std::size_t>(S) * S);
  if (S > 0) {
    std::vector<double> corr(a.UnderlyingCorr, a.UnderlyingCorr + static_cast<std::size_t>(S) * S);
    CholeskyLower(corr.data(), g.chol.data(), S);
  }
}

}  // namespace morvik
