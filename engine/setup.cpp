// Engine set-up: pricing-date states, per-day market grids, strike tables,
// window buffers, discount factors and the correlation factor.
#include <algorithm>
#include <vector>

#include "engine/engine_grids.h"
#include "engine/simulate.h"
#include "numerics/cholesky.h"
#include "numerics/curves.h"
#include "numerics/forward_vol.h"

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
    const double t = k / 365.0;
    if (t <= T[0]) {
      out[k] = V[0];
    } else if (t >= T[n - 1]) {
      out[k] = V[n - 1];
    } else {
      int c = 1;
      while (!(T[c] > t)) ++c;
      out[k] = V[c - 1] + (t - T[c - 1]) * (V[c] - V[c - 1]) / (T[c] - T[c - 1]);
    }
  }
}

void PrepareMoneynessAxis(VolSurface& s) {
  s.ordered = 1;
  for (int m = 0; m + 1 < s.np; ++m) s.ordered = s.ordered && s.P[m + 1] > s.P[m] ? 1 : 0;
  s.width.assign(s.np > 1 ? s.np - 1 : 1, 1.0);
  for (int m = 0; m + 1 < s.np; ++m) s.width[m] = s.P[m + 1] - s.P[m];
  s.bucket.clear();
  s.bucketScale = 0.0;
  if (!s.ordered || s.np < 3) return;
  double narrowest = s.width[0];
  for (double w : s.width) narrowest = w < narrowest ? w : narrowest;
  const double range = s.P[s.np - 1] - s.P[0];
  const double want = 2.0 * range / narrowest + 1.0;
  if (!(want < 4096.0)) return;  // an axis this uneven keeps the counting search
  const int nb = static_cast<int>(want);
  s.bucketScale = nb / range;
  s.bucket.resize(nb);
  int k = 0;
  for (int b = 0; b < nb; ++b) {
    const double edge = s.P[0] + b * (range / nb);
    while (k < s.np - 2 && s.P[k + 1] <= edge) ++k;
    s.bucket[b] = k;
  }
}

namespace {

void PricingDateStates(const CoreArgs& a, EngineGrids& g) {
  const int S = a.NStock;
  g.kiInit = a.BeKI_Hitted;
  if (a.KnockBarrierFlag1 == 1) {
    for (int i = 0; i < S; ++i) {
      if (g.p0[i] <= a.KI_Barrier[i]) {
        g.kiInit = 1;
        break;
      }
    }
  }

  // With no coupon left there is no barrier to read and the state is unused.
  g.couponBreachInit = a.BeCouponBarrierHitted;
  if (a.CouponBarrierFlag == 1 && a.NCoupon > 0) {
    for (int i = 0; i < S; ++i) {
      if (g.p0[i] <= a.CouponBarrier[0]) {
        g.couponBreachInit = 1;
        break;
      }
    }
  }

  bool allMemory = true;
  for (int i = 0; i < S; ++i) allMemory = allMemory && a.BeKO_Hitted[i] == 1;
  const double barrier = a.KO_Barrier[0];
  if (allMemory) {
    g.touchInit = 1;
  } else if (a.KnockBarrierFlag0 == 0) {
    double worst = g.p0[0];
    for (int i = 1; i < S; ++i) worst = g.p0[i] < worst ? g.p0[i] : worst;
    g.touchInit = worst >= barrier ? 1 : 0;
  } else {
    bool all = true;
    for (int i = 0; i < S; ++i) all = all && (a.BeKO_Hitted[i] == 1 || g.p0[i] >= barrier);
    g.touchInit = all ? 1 : 0;
  }
}

// Per-day rate, quanto and dividend entries, and per-day time brackets of the
// local volatility surfaces.
void DailyGrids(const CoreArgs& a, EngineGrids& g) {
  const int S = a.NStock;
  const int D = g.D;
  g.surface.resize(S);
  int offT = 0;
  int offP = 0;
  int offV = 0;
  for (int i = 0; i < S; ++i) {
    VolSurface& s = g.surface[i];
    s.T = a.TVol + offT;
    s.nt = a.NVol[i];
    s.P = a.Parity_Scaled + offP;
    s.np = a.NParity[i];
    s.V = a.LocalVolSurface + offV;
    PrepareMoneynessAxis(s);
    offT += a.NVol[i];
    offP += a.NParity[i];
    offV += a.NParity[i] * a.NVol[i];
  }
  if (D <= 0) return;

  g.step.assign(static_cast<std::size_t>(D) * S, StepCoef{});
  g.timeBr.assign(static_cast<std::size_t>(D) * S, LocalVolTime{});
  std::vector<double> rate(D);
  std::vector<double> fx(D);
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
    // The time bracket depends only on the day: walked once here, day after
    // day from a reset hint, as every path would walk it.
    const VolSurface& vs = g.surface[i];
    int hintT = 0;
    for (int n = 1; n <= D; ++n) {
      StepCoef& c = g.step[static_cast<std::size_t>(n - 1) * S + i];
      c.r = rate[n - 1];
      c.rv = rho * fx[n - 1];
      c.div = cash ? div[n] : div[n - 1];
      g.timeBr[static_cast<std::size_t>(n - 1) * S + i] = LocalVolTimeBracket(vs.T, vs.nt, hintT, n / 365.0);
    }
  }
}

void ScheduleTables(const CoreArgs& a, int fixedCount, EngineGrids& g) {
  const int S = a.NStock;
  const int K = a.NStrike;
  const double* X[kLevels] = {a.X3, a.X2, a.X1, a.X0};
  const double* slope[kLevels] = {a.PayOffSlope3, a.PayOffSlope2, a.PayOffSlope1, a.PayOffSlope0};
  const double* amount[kLevels] = {a.PayOffAmount3, a.PayOffAmount2, a.PayOffAmount1,
                                   a.PayOffAmount0};
  g.strike.resize(static_cast<std::size_t>(K) * kLevels * S);
  g.slope.resize(static_cast<std::size_t>(K) * kLevels);
  g.amount.resize(static_cast<std::size_t>(K) * kLevels);
  for (int d = 0; d < K; ++d) {
    for (int b = 0; b < kLevels; ++b) {
      for (int i = 0; i < S; ++i) {
        g.strike[(static_cast<std::size_t>(d) * kLevels + b) * S + i] = X[b][d * S + i];
      }
      g.slope[d * kLevels + b] = slope[b][d];
      g.amount[d * kLevels + b] = amount[b][d];
    }
  }

  g.dfKO.resize(K);
  for (int d = 0; d < K; ++d) {
    g.dfKO[d] = DiscountFactor(a.TCurveInfo_Disc, a.CurveInfo_Disc, a.NT_Disc, a.KO_PayDays[d] / 365.0);
  }
  g.dfCp.resize(a.NCoupon > 0 ? a.NCoupon : 0);
  for (int c = 0; c < a.NCoupon; ++c) {
    g.dfCp[c] =
        DiscountFactor(a.TCurveInfo_Disc, a.CurveInfo_Disc, a.NT_Disc, a.Coupon_PayDays[c] / 365.0);
  }

  // Every slot starts at 0.0, so a slot that neither a known fixing nor the
  // simulation fills reads a defined value.
  g.windowOff.resize(K + 1);
  std::size_t total = 0;
  for (int d = 0; d < K; ++d) {
    g.windowOff[d] = total;
    const int L = a.KO_WindowLen[d] > 0 ? a.KO_WindowLen[d] : 0;
    total += static_cast<std::size_t>(L) * S;
  }
  g.windowOff[K] = total;
  g.window.assign(total, 0.0);

  // Known fixings of the first window, oldest first, never more than the
  // window holds.
  const int L0 = a.KO_WindowLen[0] > 0 ? a.KO_WindowLen[0] : 0;
  const int F = std::min(fixedCount, L0);
  for (int f = 0; f < F; ++f) {
    for (int i = 0; i < S; ++i) {
      g.window[static_cast<std::size_t>(f) * S + i] = a.SC[f * S + i] / a.BasePrice[i];
    }
  }
}

}  // namespace

void BuildEngineGrids(const CoreArgs& a, int fixedCount, EngineGrids& g) {
  const int S = a.NStock;
  g.NStock = S;
  g.NStrike = a.NStrike;
  g.NCoupon = a.NCoupon > 0 ? a.NCoupon : 0;
  g.D = a.KO_ObsDays[a.NStrike - 1];
  g.base = a.NAFlag == 1 ? 1.0 : 0.0;
  g.payLo = g.base - a.PayOffLimit0;
  g.payHi = g.base + a.PayOffLimit1;

  g.p0.resize(S);
  g.cash.resize(S);
  for (int i = 0; i < S; ++i) {
    g.p0[i] = a.CurPrice[i] / a.BasePrice[i];
    g.cash[i] = a.Div_TypeFlag[i] == 2 ? 1 : 0;
  }
  PricingDateStates(a, g);
  DailyGrids(a, g);
  ScheduleTables(a, fixedCount, g);

  g.chol.resize(static_cast<std::size_t>(S) * S);
  if (S > 0) {
    std::vector<double> corr(a.UnderlyingCorr, a.UnderlyingCorr + static_cast<std::size_t>(S) * S);
    CholeskyLower(corr.data(), g.chol.data(), S);
  }
}

}  // namespace morvik
