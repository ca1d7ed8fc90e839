// Reads a JSON term sheet into the flat arrays of the full pricing call.
//
// The reader is strict: every field is checked for presence and type, and an
// unknown field is an error (it is nearly always a typo). Keys that begin
// with "_" are comments and are skipped. Values are not range-checked here:
// the library's own validation does that and names the input it rejects.
#include "termsheet/term_sheet.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <new>
#include <utility>

#include <nlohmann/json.hpp>

namespace morvik {
namespace {

using nlohmann::json;

// Raised inside the reader only; ParseTermSheet turns it into an error value.
struct FieldError {
  std::string path;
  std::string message;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
  throw FieldError{path, message};
}

std::string Key(const std::string& path, const char* key) {
  return path.empty() ? std::string(key) : path + "." + key;
}

std::string At(const std::string& path, std::size_t i) {
  return path + "[" + std::to_string(i) + "]";
}

// Rejects fields the format does not know; "_..." keys are comments.
void CheckKeys(const json& obj, const std::string& path, std::initializer_list<const char*> known) {
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    const std::string& k = it.key();
    if (!k.empty() && k[0] == '_') continue;
    bool ok = false;
    for (const char* name : known) {
      if (k == name) { ok = true; break; }
    }
    if (!ok) Fail(path.empty() ? k : path + "." + k, "unknown field");
  }
}

const json& Object(const json& v, const std::string& path) {
  if (!v.is_object()) Fail(path, "expected an object");
  return v;
}

const json& Array(const json& v, const std::string& path) {
  if (!v.is_array()) Fail(path, "expected an array");
  return v;
}

// A present, non-null member, or nullptr.
const json* Find(const json& obj, const char* key) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return nullptr;
  return &*it;
}

const json& Require(const json& obj, const std::string& path, const char* key) {
  const json* v = Find(obj, key);
  if (v == nullptr) Fail(Key(path, key), "missing");
  return *v;
}

double Number(const json& v, const std::string& path) {
  if (!v.is_number()) Fail(path, "expected a number");
  return v.get<double>();
}

int Integer(const json& v, const std::string& path) {
  if (v.is_number_integer()) {
    const auto wide = v.get<long long>();
    if (wide >= std::numeric_limits<int>::min() && wide <= std::numeric_limits<int>::max()) {
      return static_cast<int>(wide);
    }
  }
  Fail(path, "expected a whole number");
}

int Date(const json& v, const std::string& path) {
  int d = 0;
  if (!v.is_string() || !ParseIsoDate(v.get<std::string>(), d)) Fail(path, "expected a date");
  return d;
}

// true/false, or 0/1 as written in booking systems.
int Flag(const json& v, const std::string& path) {
  if (v.is_boolean()) return v.get<bool>() ? 1 : 0;
  if (v.is_number_integer()) {
    const auto n = v.get<long long>();
    if (n == 0 || n == 1) return static_cast<int>(n);
  }
  Fail(path, "expected true or false");
}

std::string Text(const json& v, const std::string& path) {
  if (!v.is_string()) Fail(path, "expected a string");
  return v.get<std::string>();
}

// One of a fixed set of words, each standing for a flag value.
int Choice(const json& v, const std::string& path,
           std::initializer_list<std::pair<const char*, int>> options) {
  std::string expected = "expected one of";
  const char* sep = " ";
  for (const auto& o : options) {
    expected += sep;
    expected += "\"";
    expected += o.first;
    expected += "\"";
    sep = ", ";
  }
  if (!v.is_string()) Fail(path, expected);
  const std::string s = v.get<std::string>();
  for (const auto& o : options) {
    if (s == o.first) return o.second;
  }
  Fail(path, expected);
}

std::vector<double> Numbers(const json& v, const std::string& path) {
  Array(v, path);
  std::vector<double> out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out.push_back(Number(v[i], At(path, i)));
  return out;
}

std::vector<int> Integers(const json& v, const std::string& path) {
  Array(v, path);
  std::vector<int> out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out.push_back(Integer(v[i], At(path, i)));
  return out;
}

void CheckSize(const json& v, const std::string& path, std::size_t n, const char* what) {
  if (v.size() != n) {
    Fail(path, "expected " + std::to_string(n) + " " + (n == 1 ? "value" : "values") + ", " + what +
                   ", got " + std::to_string(v.size()));
  }
}

// One value for every underlying: a single number for all, or a list.
std::vector<double> PerUnderlying(const json& v, const std::string& path, int nStock) {
  if (v.is_number()) return std::vector<double>(static_cast<std::size_t>(nStock), v.get<double>());
  if (!v.is_array()) Fail(path, "expected a number or one number per underlying");
  CheckSize(v, path, static_cast<std::size_t>(nStock), "one per underlying");
  return Numbers(v, path);
}

// A curve: tenors in years and one value per tenor. When the curve's fields
// sit inside a larger object, that object checks its own keys.
void ReadCurve(const json& v, const std::string& path, const char* valuesKey,
               std::vector<double>& tenors, std::vector<double>& values, int& count, bool ownObject = true) {
  Object(v, path);
  if (ownObject) CheckKeys(v, path, {"tenors", valuesKey});
  std::vector<double> t = Numbers(Require(v, path, "tenors"), Key(path, "tenors"));
  const json& vals = Require(v, path, valuesKey);
  Array(vals, Key(path, valuesKey));
  CheckSize(vals, Key(path, valuesKey), t.size(), "one per tenor");
  std::vector<double> r = Numbers(vals, Key(path, valuesKey));
  tenors.insert(tenors.end(), t.begin(), t.end());
  values.insert(values.end(), r.begin(), r.end());
  count = static_cast<int>(t.size());
}

void ReadLocalVol(const json& v, const std::string& path, NoteInputs& n) {
  Object(v, path);
  CheckKeys(v, path, {"times", "moneyness", "vols"});
  const std::vector<double> times = Numbers(Require(v, path, "times"), Key(path, "times"));
  const std::vector<double> money = Numbers(Require(v, path, "moneyness"), Key(path, "moneyness"));
  const std::string vp = Key(path, "vols");
  const json& rows = Array(Require(v, path, "vols"), vp);
  if (rows.size() != money.size()) {
    Fail(vp, "expected " + std::to_string(money.size()) + " rows, one per moneyness point, got " +
                 std::to_string(rows.size()));
  }
  for (std::size_t p = 0; p < rows.size(); ++p) {
    const std::string rp = At(vp, p);
    Array(rows[p], rp);
    CheckSize(rows[p], rp, times.size(), "one per time");
    const std::vector<double> row = Numbers(rows[p], rp);
    n.LocalVolSurface.insert(n.LocalVolSurface.end(), row.begin(), row.end());
  }
  n.TVol.insert(n.TVol.end(), times.begin(), times.end());
  n.Parity.insert(n.Parity.end(), money.begin(), money.end());
  n.NVol.push_back(static_cast<int>(times.size()));
  n.NParity.push_back(static_cast<int>(money.size()));
}

// Dividend model of one underlying: none, a constant yield, a yield curve in
// days, or cash amounts on dates (or day offsets from the pricing date).
void ReadDividends(const json* v, const std::string& path, NoteInputs& n) {
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
      const json* dates = Find(*v, "dates");
      const json* offsets = Find(*v, "days");
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
    const json& amounts = Require(*v, path, amountKey);
    Array(amounts, Key(path, amountKey));
    CheckSize(amounts, Key(path, amountKey), days.size(), type == 1 ? "one per day" : "one per date");
    values = Numbers(amounts, Key(path, amountKey));
  }
  n.Div_TypeFlag.push_back(type < 0 ? 0 : type);
  n.NDiv.push_back(static_cast<int>(days.size()));
  n.TDiv.insert(n.TDiv.end(), days.begin(), days.end());
  n.Div.insert(n.Div.end(), values.begin(), values.end());
}

void ReadFx(const json* v, const std::string& path, NoteInputs& n) {
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

void ReadUnderlyings(const json& root, NoteInputs& n) {
  const std::string path = "underlyings";
  const json& list = Array(Require(root, "", "underlyings"), path);
  if (list.empty()) Fail(path, "expected at least one underlying");
  n.NStock = static_cast<int>(list.size());
  std::vector<double> ownTenors, ownValues;
  std::vector<int> ownCounts;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string up = At(path, i);
    const json& u = Object(list[i], up);
    CheckKeys(u, up, {"name", "spot", "base_price", "rate_curve", "local_vol", "dividends", "fx"});
    const json* name = Find(u, "name");
    n.underlyingNames.push_back(name ? Text(*name, Key(up, "name")) : "underlying " + std::to_string(i + 1));
    n.UnderlyingPrice.push_back(Number(Require(u, up, "spot"), Key(up, "spot")));
    n.UnderlyingPrice.push_back(Number(Require(u, up, "base_price"), Key(up, "base_price")));
    int count = 0;
    ReadCurve(Require(u, up, "rate_curve"), Key(up, "rate_curve"), "rates", ownTenors, ownValues, count);
    ownCounts.push_back(count);
    ReadLocalVol(Require(u, up, "local_vol"), Key(up, "local_vol"), n);
    ReadDividends(Find(u, "dividends"), Key(up, "dividends"), n);
    ReadFx(Find(u, "fx"), Key(up, "fx"), n);
  }
  // The discount curve comes first, then each underlying's own curve.
  n.TCurveInfo.insert(n.TCurveInfo.end(), ownTenors.begin(), ownTenors.end());
  n.CurveInfo.insert(n.CurveInfo.end(), ownValues.begin(), ownValues.end());
  n.NT.insert(n.NT.end(), ownCounts.begin(), ownCounts.end());
}

void ReadCorrelation(const json& root, NoteInputs& n) {
  const std::string path = "correlation";
  const json* v = Find(root, "correlation");
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

std::vector<Tier> ReadTiers(const json& v, const std::string& path, int nStock) {
  Array(v, path);
  if (v.empty() || v.size() > 4) Fail(path, "expected 1 to 4 tiers");
  std::vector<Tier> given;
  for (std::size_t t = 0; t < v.size(); ++t) {
    const std::string tp = At(path, t);
    Object(v[t], tp);
    CheckKeys(v[t], tp, {"strike", "slope", "amount"});
    Tier tier;
    tier.strike = PerUnderlying(Require(v[t], tp, "strike"), Key(tp, "strike"), nStock);
    const json* slope = Find(v[t], "slope");
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

void ReadRedemption(const json& root, NoteInputs& n) {
  const std::string path = "redemption";
  const json& list = Array(Require(root, "", "redemption"), path);
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
    const json& r = Object(list[static_cast<std::size_t>(s)], rp);
    CheckKeys(r, rp, {"observation", "payment", "window", "window_rule", "tiers", "knock_out_barrier",
                      "redemption_coupon"});
    n.DatesInfo[s] = Date(Require(r, rp, "observation"), Key(rp, "observation"));
    n.DatesInfo[N + s] = Date(Require(r, rp, "payment"), Key(rp, "payment"));
    const json* win = Find(r, "window");
    n.DatesInfo[2 * N + s] = win ? Integer(*win, Key(rp, "window")) : 1;
    const json* rule = Find(r, "window_rule");
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
    if (const json* ko = Find(r, "knock_out_barrier")) n.KO_Barrier[s] = Number(*ko, Key(rp, "knock_out_barrier"));
    if (const json* rc = Find(r, "redemption_coupon")) {
      const double c = Number(*rc, Key(rp, "redemption_coupon"));
      if (s < N - 1) {
        n.RedemCoupon[s] = c;
      } else if (c != 0.0) {
        Fail(Key(rp, "redemption_coupon"), "not paid on the final observation date; leave it out");
      }
    }
  }
}

void ReadMaturity(const json& root, NoteInputs& n) {
  const std::string path = "maturity";
  const json& m = Object(Require(root, "", "maturity"), path);
  CheckKeys(m, path, {"no_knock_in", "knock_in"});
  const std::size_t top = 3 * static_cast<std::size_t>(n.NStrike + 2);
  const char* keys[2] = {"no_knock_in", "knock_in"};
  for (int k = 0; k < 2; ++k) {
    const std::string p = Key(path, keys[k]);
    const json& o = Object(Require(m, path, keys[k]), p);
    CheckKeys(o, p, {"slope", "amount"});
    n.PayOffSlope[top + n.NStrike + k] = Number(Require(o, p, "slope"), Key(p, "slope"));
    n.PayOffAmount[top + n.NStrike + k] = Number(Require(o, p, "amount"), Key(p, "amount"));
  }
}

void ReadKnocks(const json& root, NoteInputs& n) {
  const json& ki = Object(Require(root, "", "knock_in"), "knock_in");
  CheckKeys(ki, "knock_in", {"barrier", "mode"});
  n.KI_Barrier = PerUnderlying(Require(ki, "knock_in", "barrier"), "knock_in.barrier", n.NStock);
  n.KnockBarrierFlag[1] = Choice(Require(ki, "knock_in", "mode"), "knock_in.mode",
                                 {{"daily", 1}, {"maturity", 2}, {"maturity_no_loss", 0}});
  n.KnockBarrierFlag[0] = 0;
  if (const json* ko = Find(root, "knock_out")) {
    Object(*ko, "knock_out");
    CheckKeys(*ko, "knock_out", {"mode"});
    n.KnockBarrierFlag[0] =
        Choice(Require(*ko, "knock_out", "mode"), "knock_out.mode", {{"worst_of", 0}, {"memory", 1}});
  }
}

void ReadCoupons(const json& root, NoteInputs& n) {
  const json* c = Find(root, "coupons");
  if (c == nullptr) return;
  const std::string path = "coupons";
  Object(*c, path);
  CheckKeys(*c, path, {"barrier_monitoring", "schedule"});
  const std::string sp = Key(path, "schedule");
  const json& list = Array(Require(*c, path, "schedule"), sp);
  const int Q = static_cast<int>(list.size());
  n.NCoupon = Q;
  n.CouponDatesInfo.assign(2 * static_cast<std::size_t>(Q), 0);
  for (int j = 0; j < Q; ++j) {
    const std::string cp = At(sp, static_cast<std::size_t>(j));
    const json& e = Object(list[static_cast<std::size_t>(j)], cp);
    CheckKeys(e, cp, {"observation", "payment", "barrier", "amount"});
    n.CouponDatesInfo[j] = Date(Require(e, cp, "observation"), Key(cp, "observation"));
    n.CouponDatesInfo[Q + j] = Date(Require(e, cp, "payment"), Key(cp, "payment"));
    n.CouponBarrier.push_back(Number(Require(e, cp, "barrier"), Key(cp, "barrier")));
    n.Coupon.push_back(Number(Require(e, cp, "amount"), Key(cp, "amount")));
  }
  n.CouponBarrierFlag = Choice(Require(*c, path, "barrier_monitoring"), Key(path, "barrier_monitoring"),
                               {{"daily", 1}, {"observation", 2}, {"none", 0}});
}

// Fixing rows, oldest first: a list of prices (one per underlying) or an
// object {"date": ..., "prices": [...]} whose date is for the reader.
int ReadFixings(const json* v, const std::string& path, int nStock, std::vector<double>& out) {
  if (v == nullptr) return 0;
  Array(*v, path);
  for (std::size_t r = 0; r < v->size(); ++r) {
    std::string rp = At(path, r);
    const json* row = &(*v)[r];
    if (row->is_object()) {
      CheckKeys(*row, rp, {"date", "prices"});
      if (const json* d = Find(*row, "date")) Date(*d, Key(rp, "date"));
      row = &Require(*row, rp, "prices");
      rp = Key(rp, "prices");
    } else if (!row->is_array()) {
      Fail(rp, "expected a list of prices or an object with \"prices\"");
    }
    CheckSize(*row, rp, static_cast<std::size_t>(nStock), "one per underlying");
    const std::vector<double> prices = Numbers(*row, rp);
    out.insert(out.end(), prices.begin(), prices.end());
  }
  return static_cast<int>(v->size());
}

void ReadPast(const json& root, NoteInputs& n) {
  n.BeKO_Hitted.assign(static_cast<std::size_t>(n.NStock), 0);
  const json* p = Find(root, "past");
  if (p == nullptr) return;
  const std::string path = "past";
  Object(*p, path);
  CheckKeys(*p, path, {"knock_in_hit", "knock_out_hit", "coupon_barrier_hit", "fixings", "coupon_fixings"});
  if (const json* v = Find(*p, "knock_in_hit")) n.BeKI_Hitted = Flag(*v, "past.knock_in_hit");
  if (const json* v = Find(*p, "coupon_barrier_hit")) n.BeCouponBarrierHitted = Flag(*v, "past.coupon_barrier_hit");
  if (const json* v = Find(*p, "knock_out_hit")) {
    Array(*v, "past.knock_out_hit");
    CheckSize(*v, "past.knock_out_hit", static_cast<std::size_t>(n.NStock), "one per underlying");
    for (int j = 0; j < n.NStock; ++j) n.BeKO_Hitted[j] = Flag((*v)[j], At("past.knock_out_hit", j));
  }
  n.FixedFlag[0] = ReadFixings(Find(*p, "fixings"), "past.fixings", n.NStock, n.SC);
  n.FixedFlag[1] = ReadFixings(Find(*p, "coupon_fixings"), "past.coupon_fixings", n.NStock, n.Coupon_SC);
}

void ReadSettings(const json& root, NoteInputs& n) {
  n.NTrials = kDefaultTrials;
  n.PayOffLimit = {1.0, std::numeric_limits<double>::infinity()};
  n.NAFlag = 1;
  n.CalcFlag = {0, 0};
  const json* s = Find(root, "settings");
  if (s == nullptr) return;
  const std::string path = "settings";
  Object(*s, path);
  CheckKeys(*s, path, {"trials", "compute", "log", "floor", "cap", "include_notional"});
  if (const json* v = Find(*s, "trials")) n.NTrials = Number(*v, "settings.trials");
  if (const json* v = Find(*s, "compute")) {
    n.CalcFlag[0] = Choice(*v, "settings.compute", {{"price", 0}, {"greeks", 1}, {"full", 2}});
  }
  if (const json* v = Find(*s, "log")) n.CalcFlag[1] = Flag(*v, "settings.log");
  if (const json* v = Find(*s, "floor")) n.PayOffLimit[0] = Number(*v, "settings.floor");
  if (const json* v = Find(*s, "cap")) {
    if (v->is_string() && v->get<std::string>() == "none") {
      n.PayOffLimit[1] = std::numeric_limits<double>::infinity();
    } else if (v->is_number()) {
      n.PayOffLimit[1] = v->get<double>();
    } else {
      Fail("settings.cap", "expected a number or \"none\"");
    }
  }
  if (const json* v = Find(*s, "include_notional")) n.NAFlag = Flag(*v, "settings.include_notional");
}

void ReadNote(const json& root, NoteInputs& n) {
  Object(root, "(top level)");
  CheckKeys(root, "", {"name", "description", "currency", "price_date", "notional", "discount_curve", "underlyings",
                       "correlation", "knock_out", "knock_in", "redemption", "maturity", "coupons", "past",
                       "settings"});
  if (const json* v = Find(root, "name")) n.name = Text(*v, "name");
  if (const json* v = Find(root, "description")) Text(*v, "description");
  if (const json* v = Find(root, "currency")) n.currency = Text(*v, "currency");
  n.PriceDate = Date(Require(root, "", "price_date"), "price_date");
  n.NotionalAMT = Number(Require(root, "", "notional"), "notional");
  int nDisc = 0;
  ReadCurve(Require(root, "", "discount_curve"), "discount_curve", "rates", n.TCurveInfo, n.CurveInfo, nDisc);
  n.NT.push_back(nDisc);
  ReadUnderlyings(root, n);
  ReadCorrelation(root, n);
  ReadKnocks(root, n);
  ReadRedemption(root, n);
  ReadMaturity(root, n);
  ReadCoupons(root, n);
  ReadPast(root, n);
  ReadSettings(root, n);
}

// The explanation part of a JSON library message, without its own prefix
// and position (the position is reported as line and column instead).
std::string ParseExplanation(const std::string& what) {
  const std::size_t pos = what.find(": ");
  if (pos == std::string::npos) return what;
  return what.substr(pos + 2);
}

}  // namespace

void LineAndColumn(const std::string& text, std::size_t offset, int& line, int& column) {
  line = 1;
  column = 1;
  const std::size_t end = offset < text.size() ? offset : text.size();
  for (std::size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

std::string Describe(const TermSheetError& e) {
  if (e.notJson) {
    return "line " + std::to_string(e.line) + ", column " + std::to_string(e.column) + ": not valid JSON: " +
           e.message;
  }
  if (e.path.empty()) return e.message;
  return e.path + ": " + e.message;
}

bool ParseTermSheet(const std::string& text, NoteInputs& note, TermSheetError& error) {
  note = NoteInputs{};
  error = TermSheetError{};
  try {
    const json root = json::parse(text);
    ReadNote(root, note);
    return true;
  } catch (const json::parse_error& e) {
    // e.byte is the 1-based position of the byte where reading stopped.
    error.notJson = true;
    LineAndColumn(text, e.byte > 0 ? e.byte - 1 : 0, error.line, error.column);
    error.message = ParseExplanation(e.what());
  } catch (const FieldError& e) {
    error.path = e.path;
    error.message = e.message;
  } catch (const std::bad_alloc&) {
    error.message = "out of memory while reading the term sheet";
  } catch (const std::exception& e) {
    error.message = e.what();
  }
  return false;
}

bool ParseIsoDate(const std::string& text, int& yyyymmdd) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 4 || i == 7) continue;
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const int y = std::stoi(text.substr(0, 4));
  const int m = std::stoi(text.substr(5, 2));
  const int d = std::stoi(text.substr(8, 2));
  const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(m)},
                                        std::chrono::day{static_cast<unsigned>(d)}};
  if (!ymd.ok() || y < 1900) return false;
  yyyymmdd = y * 10000 + m * 100 + d;
  return true;
}

std::string FormatIsoDate(int yyyymmdd) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", yyyymmdd / 10000, (yyyymmdd / 100) % 100, yyyymmdd % 100);
  return buf;
}

int DaysBetween(int fromDate, int toDate) {
  auto days = [](int d) {
    const std::chrono::year_month_day ymd{std::chrono::year{d / 10000},
                                          std::chrono::month{static_cast<unsigned>((d / 100) % 100)},
                                          std::chrono::day{static_cast<unsigned>(d % 100)}};
    return std::chrono::sys_days{ymd}.time_since_epoch().count();
  };
  return static_cast<int>(days(toDate) - days(fromDate));
}

}  // namespace morvik
