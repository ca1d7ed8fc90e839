// Reads the explicit form of a JSON term sheet into the flat arrays of the
// full pricing call.
#include "termsheet/sheet_reader.h"

#include <cmath>
#include <limits>
#include <utility>

#include "termsheet/implied_vol.h"
#include "termsheet/term_dates.h"

namespace morvik {
namespace {

using namespace sheet;

// A local volatility above this is legal but nearly always a typing slip
// (25 written for 0.25).
constexpr double kHighVol = 2.0;

void ReadCurve(const Json& v, const std::string& path, const char* valuesKey,
               std::vector<double>& tenors, std::vector<double>& values, int& count, bool ownObject = true) {
  Object(v, path);
  if (ownObject) CheckKeys(v, path, {"tenors", valuesKey});
  std::vector<double> t = Numbers(Require(v, path, "tenors"), Key(path, "tenors"));
  const Json& vals = Require(v, path, valuesKey);
  Array(vals, Key(path, valuesKey));
  CheckSize(vals, Key(path, valuesKey), t.size(), "one per tenor");
  std::vector<double> r = Numbers(vals, Key(path, valuesKey));
  tenors.insert(tenors.end(), t.begin(), t.end());
  values.insert(values.end(), r.begin(), r.end());
  count = static_cast<int>(t.size());
}

void ReadLocalVol(const Json& v, const std::string& path, NoteInputs& n, std::vector<FieldIssue>& warnings) {
  Object(v, path);
  CheckKeys(v, path, {"times", "moneyness", "vols"});
  const std::vector<double> times = Numbers(Require(v, path, "times"), Key(path, "times"));
  const std::vector<double> money = Numbers(Require(v, path, "moneyness"), Key(path, "moneyness"));
  const std::string vp = Key(path, "vols");
  const Json& rows = Array(Require(v, path, "vols"), vp);
  if (rows.size() != money.size()) {
    Fail(vp, "expected " + std::to_string(money.size()) + " rows, one per moneyness point, got " +
                 std::to_string(rows.size()));
  }
  for (std::size_t p = 0; p < rows.size(); ++p) {
    const std::string rp = At(vp, p);
    Array(rows[p], rp);
    CheckSize(rows[p], rp, times.size(), "one per time");
    const std::vector<double> row = Numbers(rows[p], rp);
    for (std::size_t t = 0; t < row.size(); ++t) {
      if (row[t] > kHighVol) {
        warnings.push_back({At(rp, t), ShortestDouble(100.0 * row[t]) + " % is a local volatility above 200 %"});
      }
    }
    n.LocalVolSurface.insert(n.LocalVolSurface.end(), row.begin(), row.end());
  }
  n.TVol.insert(n.TVol.end(), times.begin(), times.end());
  n.Parity.insert(n.Parity.end(), money.begin(), money.end());
  n.NVol.push_back(static_cast<int>(times.size()));
  n.NParity.push_back(static_cast<int>(money.size()));
}

// Implied-volatility quotes of underlying i, calibrated into its grid with
// the forward of its own rate curve (the last `count` entries of `tenors`,
// `rates`) and its dividend yield, which must be read already.
void ReadImpliedVol(const Json& v, const std::string& up, int i, const std::vector<double>& tenors,
                    const std::vector<double>& rates, int count, NoteInputs& n, std::vector<FieldIssue>& warnings) {
  const std::string path = Key(up, "implied_vol");
  const double spot = n.UnderlyingPrice[2 * static_cast<std::size_t>(i)];
  if (!std::isfinite(spot) || spot <= 0.0) Fail(Key(up, "spot"), "a positive spot is needed to calibrate implied_vol");
  bool repair = false;
  const calib::Quotes q = ReadImpliedQuotes(v, path, n.PriceDate, spot, repair);
  calib::Market m;
  m.spot = spot;
  m.rate.tenors.assign(tenors.end() - count, tenors.end());
  m.rate.values.assign(rates.end() - count, rates.end());
  const int type = n.Div_TypeFlag.back();
  const int nDiv = n.NDiv.back();
  if (type == 2 && nDiv > 0) {
    Fail(Key(up, "dividends"), "implied_vol needs the dividends as a yield or a yield curve, not cash amounts");
  }
  if (nDiv > 0) {
    const auto days = n.TDiv.end() - nDiv;
    const auto values = n.Div.end() - nDiv;
    for (int k = 0; k < nDiv; ++k) {
      m.dividend.tenors.push_back(type == 0 ? 0.0 : days[k] / 365.0);
      m.dividend.values.push_back(values[k]);
    }
  }
  CalibratedUnderlying c = CalibrateUnderlying(q, m, repair, path, up, n.PriceDate, warnings);
  c.underlying = i;
  n.LocalVolSurface.insert(n.LocalVolSurface.end(), c.grid.vols.begin(), c.grid.vols.end());
  n.TVol.insert(n.TVol.end(), c.grid.times.begin(), c.grid.times.end());
  n.Parity.insert(n.Parity.end(), c.grid.moneyness.begin(), c.grid.moneyness.end());
  n.NVol.push_back(static_cast<int>(c.grid.times.size()));
  n.NParity.push_back(static_cast<int>(c.grid.moneyness.size()));
  n.calibrated.push_back(std::move(c));
}

// A note observed after the last quoted expiry of a calibrated underlying
// runs on that expiry's local volatility, held flat: legal, but worth saying.
void WarnBeyondQuotes(const NoteInputs& n, std::vector<FieldIssue>& warnings) {
  const int last = n.DatesInfo[static_cast<std::size_t>(n.NStrike) - 1];
  for (const CalibratedUnderlying& c : n.calibrated) {
    const double lastExpiry = c.grid.times.back();
    if (DaysBetween(n.PriceDate, last) / 365.0 > lastExpiry) {
      warnings.push_back({Key(At("underlyings", static_cast<std::size_t>(c.underlying)), "implied_vol"),
                          "the last observation date (" + FormatIsoDate(last) +
                              ") lies after the last quoted expiry: the local volatility is held flat after it"});
    }
  }
}

// Terms that are legal but hardly meant: an amount (a tier's, the
// maturity's, a redemption coupon or a coupon) beyond kMostAmount of the
// notional either way; a basket of more than kLargeBasket underlyings,
// whose run takes long. Each kind of amount is named once, at its first
// case, with the count of the others.
constexpr double kMostAmount = 1.0;
constexpr int kLargeBasket = 10;

void WarnAbsurdTerms(const NoteInputs& n, std::vector<FieldIssue>& warnings) {
  if (n.NStock > kLargeBasket) {
    warnings.push_back({"underlyings", std::to_string(n.NStock) + " underlyings are more than " +
                                           std::to_string(kLargeBasket) +
                                           ": the run takes long (its time grows with the underlyings, the "
                                           "greeks' with their square)"});
  }
  const auto amounts = [&](const char* what, const std::vector<std::pair<std::string, double>>& found) {
    std::size_t beyond = 0;
    const std::pair<std::string, double>* first = nullptr;
    for (const auto& f : found) {
      if (!(std::fabs(f.second) > kMostAmount)) continue;
      if (beyond++ == 0) first = &f;
    }
    if (first == nullptr) return;
    std::string text = ShortestDouble(100.0 * first->second) + " % of the notional is " + what +
                       " beyond 100 % of the notional either way (amounts are fractions: 0.05 is 5 %)";
    if (beyond > 1) text += "; " + std::to_string(beyond - 1) + " more like it";
    warnings.push_back({first->first, text});
  };
  const int N = n.NStrike;
  std::vector<std::pair<std::string, double>> tiers, redemptionCoupons, maturity, coupons;
  for (int s = 0; s < N; ++s) {
    const std::string rp = At("redemption", static_cast<std::size_t>(s));
    double most = 0.0;
    for (int b = 0; b < 4; ++b) {
      const double a = n.PayOffAmount[static_cast<std::size_t>(b) * (N + 2) + s];
      if (std::fabs(a) > std::fabs(most)) most = a;
    }
    tiers.emplace_back(Key(rp, "tiers"), most);
    if (s < N - 1) redemptionCoupons.emplace_back(Key(rp, "redemption_coupon"), n.RedemCoupon[s]);
  }
  const std::size_t top = 3 * static_cast<std::size_t>(N + 2) + N;
  maturity.emplace_back("maturity.no_knock_in.amount", n.PayOffAmount[top]);
  maturity.emplace_back("maturity.knock_in.amount", n.PayOffAmount[top + 1]);
  for (int j = 0; j < n.NCoupon; ++j) {
    coupons.emplace_back(Key(At("coupons.schedule", static_cast<std::size_t>(j)), "amount"), n.Coupon[j]);
  }
  amounts("a redemption amount", tiers);
  amounts("a redemption coupon", redemptionCoupons);
  amounts("a maturity amount", maturity);
  amounts("a coupon", coupons);
}

// Dividend model of one underlying: none, a constant yield, a yield curve in
// days, or cash amounts on dates (or day offsets from the pricing date).
void ReadDividends(const Json* v, const std::string& path, NoteInputs& n) {
  if (v == nullptr) {
    n.Div_TypeFlag.push_back(0);
    n.NDiv.push_back(0);
    return;
  }
  Object(*v, path);
  const int type = Choice(Require(*v, path, "type"), Key(path, "type"),
                          {{"none", -1}, {"yield", 0}, {"yield_curve", 1}, {"cash", 2}});
  std::vector<int> days;
  std::vector<double> values;
  if (type == -1) {
    CheckKeys(*v, path, {"type"});
  } else if (type == 0) {
    CheckKeys(*v, path, {"type", "yield"});
    days.push_back(0);
    values.push_back(Number(Require(*v, path, "yield"), Key(path, "yield")));
  } else {
    const char* amountKey = type == 1 ? "yields" : "amounts";
    if (type == 1) {
      CheckKeys(*v, path, {"type", "days", "yields"});
      days = Integers(Require(*v, path, "days"), Key(path, "days"));
    } else {
      CheckKeys(*v, path, {"type", "dates", "days", "amounts"});
      const Json* dates = Find(*v, "dates");
      const Json* offsets = Find(*v, "days");
      if ((dates == nullptr) == (offsets == nullptr)) {
        Fail(Key(path, "dates"), "expected either \"dates\" or \"days\"");
      }
      if (dates != nullptr) {
        const std::string dp = Key(path, "dates");
        Array(*dates, dp);
        for (std::size_t k = 0; k < dates->size(); ++k) {
          days.push_back(DaysBetween(n.PriceDate, Date((*dates)[k], At(dp, k))));
        }
      } else {
        days = Integers(*offsets, Key(path, "days"));
      }
    }
    const Json& amounts = Require(*v, path, amountKey);
    Array(amounts, Key(path, amountKey));
    CheckSize(amounts, Key(path, amountKey), days.size(), type == 1 ? "one per day" : "one per date");
    values = Numbers(amounts, Key(path, amountKey));
  }
  n.Div_TypeFlag.push_back(type < 0 ? 0 : type);
  n.NDiv.push_back(static_cast<int>(days.size()));
  n.TDiv.insert(n.TDiv.end(), days.begin(), days.end());
  n.Div.insert(n.Div.end(), values.begin(), values.end());
}

void ReadFx(const Json* v, const std::string& path, NoteInputs& n) {
  if (v == nullptr) {
    n.QuantoFlag.push_back(0);
    n.FX_Corr.push_back(0.0);
    n.FX_TVol.push_back(0.0);
    n.FX_Vol.push_back(0.0);
    n.FX_NVol.push_back(1);
    return;
  }
  Object(*v, path);
  CheckKeys(*v, path, {"quanto", "correlation", "tenors", "vols"});
  n.QuantoFlag.push_back(Choice(Require(*v, path, "quanto"), Key(path, "quanto"),
                                {{"none", 0}, {"term", 1}, {"interpolated", 2}}));
  n.FX_Corr.push_back(Number(Require(*v, path, "correlation"), Key(path, "correlation")));
  int count = 0;
  ReadCurve(*v, path, "vols", n.FX_TVol, n.FX_Vol, count, false);
  n.FX_NVol.push_back(count);
}

void ReadUnderlyings(const Json& root, NoteInputs& n, std::vector<FieldIssue>& warnings) {
  const std::string path = "underlyings";
  const Json& list = Array(Require(root, "", "underlyings"), path);
  if (list.empty()) Fail(path, "expected at least one underlying");
  n.NStock = static_cast<int>(list.size());
  std::vector<double> ownTenors, ownValues;
  std::vector<int> ownCounts;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string up = At(path, i);
    const Json& u = Object(list[i], up);
    CheckKeys(u, up,
              {"id", "name", "spot", "base_price", "rate_curve", "local_vol", "implied_vol", "dividends", "fx"});
    const Json* id = Find(u, "id");
    n.underlyingIds.push_back(id ? Text(*id, Key(up, "id")) : std::string());
    const Json* name = Find(u, "name");
    n.underlyingNames.push_back(name ? Text(*name, Key(up, "name"))
                                     : !n.underlyingIds.back().empty() ? n.underlyingIds.back()
                                                                       : "underlying " + std::to_string(i + 1));
    n.UnderlyingPrice.push_back(Number(Require(u, up, "spot"), Key(up, "spot")));
    n.UnderlyingPrice.push_back(Number(Require(u, up, "base_price"), Key(up, "base_price")));
    int count = 0;
    ReadCurve(Require(u, up, "rate_curve"), Key(up, "rate_curve"), "rates", ownTenors, ownValues, count);
    ownCounts.push_back(count);
    ReadDividends(Find(u, "dividends"), Key(up, "dividends"), n);
    ReadFx(Find(u, "fx"), Key(up, "fx"), n);
    const Json* implied = Find(u, "implied_vol");
    if (implied != nullptr && Find(u, "local_vol") != nullptr) {
      Fail(Key(up, "implied_vol"), "give either \"local_vol\" or \"implied_vol\", not both");
    }
    if (implied != nullptr) {
      ReadImpliedVol(*implied, up, static_cast<int>(i), ownTenors, ownValues, count, n, warnings);
    } else {
      ReadLocalVol(Require(u, up, "local_vol"), Key(up, "local_vol"), n, warnings);
    }
  }
  // The discount curve comes first, then each underlying's own curve.
  n.TCurveInfo.insert(n.TCurveInfo.end(), ownTenors.begin(), ownTenors.end());
  n.CurveInfo.insert(n.CurveInfo.end(), ownValues.begin(), ownValues.end());
  n.NT.insert(n.NT.end(), ownCounts.begin(), ownCounts.end());
}

void ReadCorrelation(const Json& root, NoteInputs& n) {
  const std::string path = "correlation";
  const Json* v = Find(root, "correlation");
  const auto s = static_cast<std::size_t>(n.NStock);
  if (v == nullptr) {
    if (n.NStock > 1) Fail(path, "missing");
    n.UnderlyingCorr.push_back(1.0);
    return;
  }
  Array(*v, path);
  if (v->size() != s) {
    Fail(path, "expected " + std::to_string(s) + " rows, one per underlying, got " + std::to_string(v->size()));
  }
  for (std::size_t r = 0; r < s; ++r) {
    const std::string rp = At(path, r);
    Array((*v)[r], rp);
    CheckSize((*v)[r], rp, s, "one per underlying");
    const std::vector<double> row = Numbers((*v)[r], rp);
    n.UnderlyingCorr.insert(n.UnderlyingCorr.end(), row.begin(), row.end());
  }
}

// Strike tiers of one date, lowest first. With fewer than four, the highest
// given tier is the top block and the lowest one repeats in the blocks below,
// so the tiers tested first are the ones the term sheet lists last.
struct Tier {
  std::vector<double> strike;
  double slope = 0.0;
  double amount = 0.0;
};

std::vector<Tier> ReadTiers(const Json& v, const std::string& path, int nStock) {
  Array(v, path);
  if (v.empty() || v.size() > 4) Fail(path, "expected 1 to 4 tiers");
  std::vector<Tier> given;
  for (std::size_t t = 0; t < v.size(); ++t) {
    const std::string tp = At(path, t);
    Object(v[t], tp);
    CheckKeys(v[t], tp, {"strike", "slope", "amount"});
    Tier tier;
    tier.strike = PerUnderlying(Require(v[t], tp, "strike"), Key(tp, "strike"), nStock);
    const Json* slope = Find(v[t], "slope");
    tier.slope = slope ? Number(*slope, Key(tp, "slope")) : 0.0;
    tier.amount = Number(Require(v[t], tp, "amount"), Key(tp, "amount"));
    given.push_back(std::move(tier));
  }
  std::vector<Tier> blocks(4);
  const std::size_t m = given.size();
  for (std::size_t b = 0; b < 4; ++b) {
    const std::size_t src = b + m >= 4 ? b + m - 4 : 0;
    blocks[b] = given[src];
  }
  return blocks;
}

void ReadRedemption(const Json& root, NoteInputs& n) {
  const std::string path = "redemption";
  const Json& list = Require(root, "", "redemption");
  if (!list.is_array()) Fail(path, "expected a list of observation dates, or a schedule rule with \"dates\"");
  if (list.empty()) Fail(path, "expected at least one observation date");
  const int N = static_cast<int>(list.size());
  const int S = n.NStock;
  n.NStrike = N;
  n.X.assign(4 * static_cast<std::size_t>(S) * N, 0.0);
  n.PayOffSlope.assign(4 * static_cast<std::size_t>(N) + 8, 0.0);
  n.PayOffAmount.assign(4 * static_cast<std::size_t>(N) + 8, 0.0);
  n.DatesInfo.assign(4 * static_cast<std::size_t>(N), 0);
  n.KO_Barrier.assign(static_cast<std::size_t>(N), kNoTouchBarrier);
  n.RedemCoupon.assign(static_cast<std::size_t>(N - 1), 0.0);
  for (int s = 0; s < N; ++s) {
    const std::string rp = At(path, static_cast<std::size_t>(s));
    const Json& r = Object(list[static_cast<std::size_t>(s)], rp);
    CheckKeys(r, rp, {"observation", "payment", "window", "window_rule", "tiers", "knock_out_barrier",
                      "redemption_coupon"});
    n.DatesInfo[s] = Date(Require(r, rp, "observation"), Key(rp, "observation"));
    n.DatesInfo[N + s] = Date(Require(r, rp, "payment"), Key(rp, "payment"));
    const Json* win = Find(r, "window");
    n.DatesInfo[2 * N + s] = win ? Integer(*win, Key(rp, "window")) : 1;
    const Json* rule = Find(r, "window_rule");
    n.DatesInfo[3 * N + s] =
        rule ? Choice(*rule, Key(rp, "window_rule"), {{"each_day", 0}, {"average", 1}}) : 0;
    const std::vector<Tier> blocks = ReadTiers(Require(r, rp, "tiers"), Key(rp, "tiers"), S);
    for (int b = 0; b < 4; ++b) {
      for (int j = 0; j < S; ++j) {
        n.X[(static_cast<std::size_t>(b) * N + s) * S + j] = blocks[b].strike[j];
      }
      n.PayOffSlope[static_cast<std::size_t>(b) * (N + 2) + s] = blocks[b].slope;
      n.PayOffAmount[static_cast<std::size_t>(b) * (N + 2) + s] = blocks[b].amount;
    }
    if (const Json* ko = Find(r, "knock_out_barrier")) n.KO_Barrier[s] = Number(*ko, Key(rp, "knock_out_barrier"));
    if (const Json* rc = Find(r, "redemption_coupon")) {
      const double c = Number(*rc, Key(rp, "redemption_coupon"));
      if (s < N - 1) {
        n.RedemCoupon[s] = c;
      } else if (c != 0.0) {
        Fail(Key(rp, "redemption_coupon"), "not paid on the final observation date; leave it out");
      }
    }
  }
}

void ReadMaturity(const Json& root, NoteInputs& n) {
  const std::string path = "maturity";
  const Json& m = Object(Require(root, "", "maturity"), path);
  CheckKeys(m, path, {"no_knock_in", "knock_in"});
  const std::size_t top = 3 * static_cast<std::size_t>(n.NStrike + 2);
  const char* keys[2] = {"no_knock_in", "knock_in"};
  for (int k = 0; k < 2; ++k) {
    const std::string p = Key(path, keys[k]);
    const Json& o = Object(Require(m, path, keys[k]), p);
    CheckKeys(o, p, {"slope", "amount"});
    n.PayOffSlope[top + n.NStrike + k] = Number(Require(o, p, "slope"), Key(p, "slope"));
    n.PayOffAmount[top + n.NStrike + k] = Number(Require(o, p, "amount"), Key(p, "amount"));
  }
}

void ReadKnocks(const Json& root, NoteInputs& n, std::vector<FieldIssue>& warnings) {
  const Json& ki = Object(Require(root, "", "knock_in"), "knock_in");
  CheckKeys(ki, "knock_in", {"barrier", "mode"});
  n.KI_Barrier = PerUnderlying(Require(ki, "knock_in", "barrier"), "knock_in.barrier", n.NStock);
  for (std::size_t j = 0; j < n.KI_Barrier.size(); ++j) {
    if (n.KI_Barrier[j] > 1.0) {
      const std::string path = Require(ki, "knock_in", "barrier").is_array() ? At("knock_in.barrier", j)
                                                                               : std::string("knock_in.barrier");
      warnings.push_back({path, ShortestDouble(100.0 * n.KI_Barrier[j]) +
                                    " % is a knock-in barrier above 100 % of the base price"});
      break;
    }
  }
  n.KnockBarrierFlag[1] = Choice(Require(ki, "knock_in", "mode"), "knock_in.mode",
                                 {{"daily", 1}, {"maturity", 2}, {"maturity_no_loss", 0}});
  n.KnockBarrierFlag[0] = 0;
  if (const Json* ko = Find(root, "knock_out")) {
    Object(*ko, "knock_out");
    CheckKeys(*ko, "knock_out", {"mode"});
    n.KnockBarrierFlag[0] =
        Choice(Require(*ko, "knock_out", "mode"), "knock_out.mode", {{"worst_of", 0}, {"memory", 1}});
  }
}

void ReadCoupons(const Json& root, NoteInputs& n) {
  const Json* c = Find(root, "coupons");
  if (c == nullptr) return;
  const std::string path = "coupons";
  Object(*c, path);
  CheckKeys(*c, path, {"barrier_monitoring", "schedule"});
  const std::string sp = Key(path, "schedule");
  const Json& list = Require(*c, path, "schedule");
  if (!list.is_array()) Fail(sp, "expected a list of coupon dates");
  const int Q = static_cast<int>(list.size());
  n.NCoupon = Q;
  n.CouponDatesInfo.assign(2 * static_cast<std::size_t>(Q), 0);
  for (int j = 0; j < Q; ++j) {
    const std::string cp = At(sp, static_cast<std::size_t>(j));
    const Json& e = Object(list[static_cast<std::size_t>(j)], cp);
    CheckKeys(e, cp, {"observation", "payment", "barrier", "amount"});
    n.CouponDatesInfo[j] = Date(Require(e, cp, "observation"), Key(cp, "observation"));
    n.CouponDatesInfo[Q + j] = Date(Require(e, cp, "payment"), Key(cp, "payment"));
    n.CouponBarrier.push_back(Number(Require(e, cp, "barrier"), Key(cp, "barrier")));
    n.Coupon.push_back(Number(Require(e, cp, "amount"), Key(cp, "amount")));
  }
  n.CouponBarrierFlag = Choice(Require(*c, path, "barrier_monitoring"), Key(path, "barrier_monitoring"),
                               {{"daily", 1}, {"observation", 2}, {"none", 0}});
}

// Rows of closes: a list of prices (one per underlying), an object
// {"date": ..., "prices": [...]}, or a list that starts with the date
// ["2025-06-30", 218.4, 240.0].
std::vector<DatedRow> ReadRows(const Json& v, const std::string& path, int nStock, bool needDates) {
  Array(v, path);
  std::vector<DatedRow> rows;
  for (std::size_t r = 0; r < v.size(); ++r) {
    const std::string rp = At(path, r);
    const Json& row = v[r];
    DatedRow out;
    out.path = rp;
    std::string pp = rp;
    const Json* prices = &row;
    if (row.is_object()) {
      CheckKeys(row, rp, {"date", "prices"});
      if (const Json* d = Find(row, "date")) out.date = Date(*d, Key(rp, "date"));
      prices = &Require(row, rp, "prices");
      pp = Key(rp, "prices");
    } else if (row.is_array() && !row.empty() && row[0].is_string()) {
      out.date = Date(row[0], At(rp, 0));
      CheckSize(row, rp, static_cast<std::size_t>(nStock) + 1, "the date and one price per underlying");
      for (std::size_t i = 1; i < row.size(); ++i) out.prices.push_back(Number(row[i], At(rp, i)));
      rows.push_back(std::move(out));
      continue;
    } else if (!row.is_array()) {
      Fail(rp, "expected a list of prices or an object with \"date\" and \"prices\"");
    }
    if (needDates && out.date == 0) Fail(rp, "expected a date: each close of the history is dated");
    Array(*prices, pp);
    CheckSize(*prices, pp, static_cast<std::size_t>(nStock), "one per underlying");
    out.prices = Numbers(*prices, pp);
    rows.push_back(std::move(out));
  }
  return rows;
}

void ReadPast(const Json& root, const NoteInputs& n, PastInput& past) {
  past = PastInput{};
  const Json* p = Find(root, "past");
  if (p == nullptr) return;
  const std::string path = "past";
  Object(*p, path);
  CheckKeys(*p, path,
            {"knock_in_hit", "knock_out_hit", "coupon_barrier_hit", "fixings", "coupon_fixings", "history"});
  if (const Json* v = Find(*p, "knock_in_hit")) {
    past.hasKnockIn = true;
    past.knockIn = Flag(*v, "past.knock_in_hit");
  }
  if (const Json* v = Find(*p, "coupon_barrier_hit")) {
    past.hasCouponBreach = true;
    past.couponBreach = Flag(*v, "past.coupon_barrier_hit");
  }
  if (const Json* v = Find(*p, "knock_out_hit")) {
    Array(*v, "past.knock_out_hit");
    CheckSize(*v, "past.knock_out_hit", static_cast<std::size_t>(n.NStock), "one per underlying");
    past.hasKnockOut = true;
    for (int j = 0; j < n.NStock; ++j) past.knockOut.push_back(Flag((*v)[j], At("past.knock_out_hit", j)));
  }
  if (const Json* v = Find(*p, "fixings")) {
    past.hasFixings = true;
    past.fixings = ReadRows(*v, "past.fixings", n.NStock, false);
  }
  if (const Json* v = Find(*p, "coupon_fixings")) {
    past.hasCouponFixings = true;
    past.couponFixings = ReadRows(*v, "past.coupon_fixings", n.NStock, false);
  }
  if (const Json* v = Find(*p, "history")) {
    past.hasHistory = true;
    past.history = ReadRows(*v, "past.history", n.NStock, true);
    if (past.history.empty()) Fail("past.history", "expected at least one row: the closes of the note's start");
  }
}

// The position a book holds: a quantity of notes or a notional, and where
// it is booked.
void ReadPosition(const Json& root, NoteInputs& n) {
  const Json* v = Find(root, "position");
  if (v == nullptr) return;
  const std::string path = "position";
  Object(*v, path);
  CheckKeys(*v, path, {"quantity", "notional", "book", "trade_id"});
  const Json* quantity = Find(*v, "quantity");
  const Json* notional = Find(*v, "notional");
  if ((quantity == nullptr) == (notional == nullptr)) {
    Fail(path, "expected either \"quantity\" (notes held) or \"notional\" (of the position)");
  }
  NotePosition& p = n.position;
  p.held = true;
  p.byNotional = notional != nullptr;
  const std::string vp = Key(path, p.byNotional ? "notional" : "quantity");
  const double value = Number(p.byNotional ? *notional : *quantity, vp);
  if (!std::isfinite(value)) Fail(vp, "expected a finite number");
  (p.byNotional ? p.notional : p.quantity) = value;
  if (p.byNotional && !(n.NotionalAMT > 0.0)) Fail(vp, "a position by notional needs the note's notional positive");
  if (const Json* b = Find(*v, "book")) p.book = Text(*b, Key(path, "book"));
  if (const Json* t = Find(*v, "trade_id")) p.tradeId = Text(*t, Key(path, "trade_id"));
}

void ReadSettings(const Json& root, NoteInputs& n) {
  n.NTrials = kDefaultTrials;
  n.PayOffLimit = {1.0, std::numeric_limits<double>::infinity()};
  n.NAFlag = 1;
  n.CalcFlag = {0, 0};
  const Json* s = Find(root, "settings");
  if (s == nullptr) return;
  const std::string path = "settings";
  Object(*s, path);
  CheckKeys(*s, path, {"trials", "compute", "log", "floor", "cap", "include_notional"});
  if (const Json* v = Find(*s, "trials")) {
    n.NTrials = static_cast<double>(WholeNumber(*v, "settings.trials", 1, kMaxTrials));
  }
  if (const Json* v = Find(*s, "compute")) {
    n.CalcFlag[0] = Choice(*v, "settings.compute", {{"price", 0}, {"greeks", 1}, {"full", 2}});
  }
  if (const Json* v = Find(*s, "log")) n.CalcFlag[1] = Flag(*v, "settings.log");
  if (const Json* v = Find(*s, "floor")) n.PayOffLimit[0] = Number(*v, "settings.floor");
  if (const Json* v = Find(*s, "cap")) {
    if (v->is_string() && v->get<std::string>() == "none") {
      n.PayOffLimit[1] = std::numeric_limits<double>::infinity();
    } else if (v->is_number()) {
      n.PayOffLimit[1] = v->get<double>();
    } else {
      Fail("settings.cap", "expected a number or \"none\"");
    }
  }
  if (const Json* v = Find(*s, "include_notional")) n.NAFlag = Flag(*v, "settings.include_notional");
}

}  // namespace

void CheckRateCurve(const Json& v, const std::string& path) {
  std::vector<double> tenors, rates;
  int count = 0;
  ReadCurve(v, path, "rates", tenors, rates, count);
}

void CheckLocalVol(const Json& v, const std::string& path, std::vector<FieldIssue>& warnings) {
  NoteInputs scratch;
  ReadLocalVol(v, path, scratch, warnings);
}

void CheckDividends(const Json& v, const std::string& path, int priceDate) {
  NoteInputs scratch;
  scratch.PriceDate = priceDate;
  ReadDividends(&v, path, scratch);
}

void CheckFxCurve(const Json& v, const std::string& path) {
  std::vector<double> tenors, vols;
  int count = 0;
  ReadCurve(v, path, "vols", tenors, vols, count, false);
}

void ReadExplicitSheet(const Json& root, NoteInputs& n, PastInput& past, std::vector<FieldIssue>& warnings) {
  Object(root, "(top level)");
  CheckKeys(root, "", {"name", "description", "currency", "price_date", "notional", "discount_curve", "underlyings",
                       "correlation", "knock_out", "knock_in", "redemption", "maturity", "coupons", "past",
                       "settings", "position", "market_override"});
  if (const Json* v = Find(root, "name")) n.name = Text(*v, "name");
  if (const Json* v = Find(root, "description")) Text(*v, "description");
  if (const Json* v = Find(root, "currency")) n.currency = Text(*v, "currency");
  n.PriceDate = Date(Require(root, "", "price_date"), "price_date");
  n.NotionalAMT = Number(Require(root, "", "notional"), "notional");
  int nDisc = 0;
  ReadCurve(Require(root, "", "discount_curve"), "discount_curve", "rates", n.TCurveInfo, n.CurveInfo, nDisc);
  n.NT.push_back(nDisc);
  ReadUnderlyings(root, n, warnings);
  ReadCorrelation(root, n);
  ReadKnocks(root, n, warnings);
  ReadRedemption(root, n);
  WarnBeyondQuotes(n, warnings);
  ReadMaturity(root, n);
  ReadCoupons(root, n);
  WarnAbsurdTerms(n, warnings);
  ReadPast(root, n, past);
  ReadSettings(root, n);
  ReadPosition(root, n);
  n.BeKO_Hitted.assign(static_cast<std::size_t>(n.NStock), 0);
}

}  // namespace morvik
