// Engine set-up: pricing-date states, per-day market grids, strike tables,
// window buffers, discount factors and the correlation factor.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/engine_grids.h"
#include "engine/simulate.h"
#include "engine/vol_lookup.h"
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

namespace {

// Buckets by the binary form without its `shift` lowest bits; false when a
// bucket would hold more than two interior nodes.
bool BuildBuckets(VolSurface& s, int shift) {
  std::int64_t first;
  std::int64_t last;
  std::memcpy(&first, &s.P[0], sizeof first);
  std::memcpy(&last, &s.P[s.np - 1], sizeof last);
  s.shift = shift;
  s.bucketAt = first >> shift;
  s.lastBucket = (last >> shift) - s.bucketAt;
  constexpr std::int64_t kMaxBuckets = 4096;
  if (s.lastBucket >= kMaxBuckets) return false;
  const int nb = static_cast<int>(s.lastBucket) + 1;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  s.bucket.assign(nb, MoneynessBucket{});
  for (MoneynessBucket& b : s.bucket) b.thrA = b.thrB = nan;
  // A performance at or above node m (m >= 1) is in a segment above m;
  // nodes are counted into the first segment of every later bucket and
  // compared explicitly in their own.
  std::vector<int> held(nb, 0);
  for (int m = 1; m < s.np; ++m) {
    const int k = MoneynessBucketOf(s, s.P[m]);
    MoneynessBucket& b = s.bucket[k];
    if (held[k] == 0) {
      b.thrA = s.P[m];
    } else if (held[k] == 1) {
      b.thrB = s.P[m];
    } else {
      return false;
    }
    ++held[k];
  }
  s.bucketBase.assign(nb, 0);
  int count = 0;
  for (int k = 0; k < nb; ++k) {
    s.bucketBase[k] = 1 + count;
    count += held[k];
  }
  return true;
}

// Segment 0 holds every x <= P[0] (from -inf up to just above P[0]),
// segment k+1 [P[k], P[k+1]), segment np [P[np-1], +inf); +inf itself and
// NaN are left to the bucket search.
void BuildSegments(VolSurface& s) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  s.segment.assign(static_cast<std::size_t>(s.np) + 1, MoneynessSegment{});
  s.segment[0] = MoneynessSegment{-inf, std::nextafter(s.P[0], inf), 0.0, nan};
  for (int k = 1; k < s.np; ++k) {
    // x > P[0] is x >= the next double above it: the first segment excludes P[0].
    const double from = k == 1 ? std::nextafter(s.P[0], inf) : s.P[k - 1];
    s.segment[k] = MoneynessSegment{from, s.P[k], s.P[k - 1], s.P[k] - s.P[k - 1]};
  }
  s.segment[s.np] = MoneynessSegment{s.np == 1 ? std::nextafter(s.P[0], inf) : s.P[s.np - 1], inf, 0.0, nan};
}

}  // namespace

void PrepareMoneynessAxis(VolSurface& s) {
  s.bucketed = 0;
  s.bucket.clear();
  s.bucketBase.clear();
  s.segment.clear();
  if (s.np < 1) return;
  // Positive nodes only: the binary form orders positive numbers.
  if (!(s.P[0] > 0.0) || !(s.P[s.np - 1] < std::numeric_limits<double>::infinity())) return;
  for (int m = 0; m + 1 < s.np; ++m) {
    if (!(s.P[m + 1] > s.P[m])) return;  // not strictly rising, or NaN
  }
  s.p0 = s.P[0];
  // The coarsest buckets that hold at most two nodes each: keep the sign,
  // the exponent and from none up to 12 bits of the fraction.
  for (int fraction = 0; fraction <= 12; ++fraction) {
    if (BuildBuckets(s, 52 - fraction)) {
      BuildSegments(s);
      s.bucketed = 1;
      return;
    }
  }
  s.bucket.clear();
  s.bucketBase.clear();
}

void AppendCorners(const VolSurface& s, const LocalVolTime& tb, std::vector<double>& out) {
  for (int seg = 0; seg <= s.np; ++seg) {
    const int lo = seg == 0 ? 0 : (seg == s.np ? s.np - 1 : seg - 1);
    const int hi = seg == 0 ? 0 : (seg == s.np ? s.np - 1 : seg);
    out.insert(out.end(), {s.V[lo * s.nt + tb.lo], s.V[lo * s.nt + tb.hi], s.V[hi * s.nt + tb.lo],
                           s.V[hi * s.nt + tb.hi]});
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
  g.plainDrift.assign(S, 0);
  if (D <= 0) return;

  g.day.assign(static_cast<std::size_t>(D) * S, DayCoef{});
  g.timeBr.assign(static_cast<std::size_t>(D) * S, LocalVolTime{});
  std::vector<double> rate(D);
  std::vector<double> fx(D);
  std::vector<std::size_t> cornerAt(static_cast<std::size_t>(D));
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
    // day from a reset hint, as every path would walk it. Each new bracket
    // gets its corner table: per segment the four values the lookup weighs.
    VolSurface& vs = g.surface[i];
    vs.corner.clear();
    bool plain = true;
    for (int m = 0; m < vs.np * vs.nt; ++m) plain = plain && std::fabs(vs.V[m]) < 1e300;
    const int segments = vs.np + 1;
    int hintT = 0;
    LocalVolTime last{-1, -1, 0.0};
    for (int n = 1; n <= D; ++n) {
      const std::size_t at = static_cast<std::size_t>(n - 1) * S + i;
      const LocalVolTime tb = LocalVolTimeBracket(vs.T, vs.nt, hintT, n / 365.0);
      g.timeBr[at] = tb;
      if (vs.bucketed != 0 && (tb.lo != last.lo || tb.hi != last.hi)) {
        AppendCorners(vs, tb, vs.corner);
      }
      last = tb;
      cornerAt[n - 1] = vs.corner.size() - (vs.bucketed != 0 ? 4 * static_cast<std::size_t>(segments) : 0);
      DayCoef& c = g.day[at];
      c.r = rate[n - 1];
      c.rv = rho * fx[n - 1];
      c.div = cash ? div[n] : div[n - 1];
      c.u = tb.u;
      c.um = 1.0 - tb.u;
      const double dt = 1.0 / 365.0;
      c.one = cash ? 1.0 + c.r * dt : 1.0 + (c.r - c.div) * dt;
      plain = plain && c.rv == 0.0;
    }
    g.plainDrift[i] = plain ? 1 : 0;
    // Pointers once the table has stopped growing.
    for (int n = 1; n <= D && vs.bucketed != 0; ++n) {
      g.day[static_cast<std::size_t>(n - 1) * S + i].corner = vs.corner.data() + cornerAt[n - 1];
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
