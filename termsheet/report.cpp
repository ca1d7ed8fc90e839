// The JSON and CSV renderings of priced notes, and the pieces the text
// report shares with them: money, widths, the price's breakdown.
#include "termsheet/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "calls/layout.h"
#include "termsheet/json_text.h"

namespace morvik {
namespace {

// A number, or null where there is none (JSON has no NaN).
Json NumberOrNull(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// Code points of UTF-8 text, read leniently (a stray byte is one column).
template <class Visit>
void ForEachCodePoint(const std::string& s, Visit visit) {
  for (std::size_t k = 0; k < s.size();) {
    const auto c = static_cast<unsigned char>(s[k]);
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (k + len > s.size()) len = 1;
    unsigned cp = len == 1 ? c : c & (0x3Fu >> len);
    for (std::size_t e = 1; e < len; ++e) cp = (cp << 6) | (static_cast<unsigned char>(s[k + e]) & 0x3Fu);
    visit(k, len, cp);
    k += len;
  }
}

int CodePointWidth(unsigned cp) {
  const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                    (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                    (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                    (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
  return wide ? 2 : 1;
}

// One outcome or coupon as the JSON report writes it.
Json FlowJson(const SlotFlow& f) {
  Json j = {{"observation", FormatIsoDate(f.observation)},
            {"payment", FormatIsoDate(f.payment)},
            {"probability", f.probability},
            {"cash_flow", f.cashFlow},
            {"discount_factor", f.discountFactor},
            {"discounted_cash_flow", f.discounted}};
  j["probability_se"] = NumberOrNull(f.probabilitySE);
  return j;
}

SlotFlow Flow(int observation, int payment, double probability, double cashFlow, double df, double probabilitySE) {
  return SlotFlow{observation, payment, probability, probabilitySE, cashFlow, df, df * cashFlow};
}

// Whether the report holds a priced note's figures.
bool HasFigures(const NoteReport& r) { return r.usable && r.priced && r.result.status >= 0; }

}  // namespace

const char* StateName(NoteState s) {
  switch (s) {
    case NoteState::kRedeemed: return "redeemed";
    case NoteState::kMatured: return "matured";
    case NoteState::kOver: return "over";
    case NoteState::kAlive: break;
  }
  return "alive";
}

Json LifeCycleJson(const NoteReport& r) {
  const LifeCycle& life = r.life;
  Json j = Json::object();
  j["state"] = StateName(life.state);
  j["summary"] = StateSentence(life, r.note);
  j["from_history"] = life.fromHistory;
  if (life.slot >= 0) {
    j["settlement"] = {{"observation", FormatIsoDate(life.observation)},
                       {"payment", FormatIsoDate(life.payment)},
                       {"paid", life.paid},
                       {"payoff", life.payoff},
                       {"amount", life.payoff * r.note.NotionalAMT}};
  }
  Json events = Json::array();
  for (const PastEvent& e : life.events) {
    events.push_back({{"date", FormatIsoDate(e.date)}, {"event", e.what}, {"amount", e.amount * r.note.NotionalAMT}});
  }
  j["events"] = events;
  return j;
}

std::string OutcomeLabel(int N, int slot) {
  if (slot < N) return (slot == N - 1 ? "final, date " : "early, date ") + std::to_string(slot + 1);
  return slot == N ? "maturity, no knock-in" : "maturity, knock-in";
}

std::vector<SlotFlow> OutcomeFlows(const NoteReport& r) {
  std::vector<SlotFlow> flows;
  if (!HasFigures(r)) return flows;
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int N = n.NStrike;
  for (int s = 0; s < N + 2; ++s) {
    // The two maturity slots are observed and paid on the last date.
    const int d = s < N ? s : N - 1;
    flows.push_back(Flow(n.DatesInfo[d], n.DatesInfo[N + d], res.events[layout::OutcomeProb(N, s)],
                         res.events[layout::OutcomeCf(N, s)], SlotFigure(res.eventDF, s), ErrorAt(res.eventSE, s)));
  }
  return flows;
}

std::vector<SlotFlow> CouponFlows(const NoteReport& r) {
  std::vector<SlotFlow> flows;
  if (!HasFigures(r)) return flows;
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int Q = n.NCoupon;
  for (int c = 0; c < Q; ++c) {
    flows.push_back(Flow(n.CouponDatesInfo[c], n.CouponDatesInfo[Q + c], res.coupons[layout::CouponProb(Q, c)],
                         res.coupons[layout::CouponCf(Q, c)], SlotFigure(res.couponDF, c), ErrorAt(res.couponSE, c)));
  }
  return flows;
}

namespace {

// Whether outcome slot `slot` pays one amount on every path that ends in
// it: no slope, and on an observation date the same amount at every tier
// (the touch pays the highest tier's).
bool FixedPayment(const NoteInputs& n, int slot) {
  const int N = n.NStrike;
  const auto at = [&](int block) { return static_cast<std::size_t>(block) * layout::OutcomeSlots(N) + slot; };
  if (slot >= N) return n.PayOffSlope[at(layout::kTiers - 1)] == 0.0;
  for (int b = 0; b < layout::kTiers; ++b) {
    if (n.PayOffSlope[at(b)] != 0.0 || n.PayOffAmount[at(b)] != n.PayOffAmount[at(0)]) return false;
  }
  return true;
}

ProjectedFlow Projected(const SlotFlow& f, const char* kind, std::string label, bool settled, double perPath) {
  ProjectedFlow p;
  p.payment = f.payment;
  p.observation = f.observation;
  p.kind = kind;
  p.label = std::move(label);
  p.probability = f.probability;
  p.probabilitySE = settled ? 0.0 : f.probabilitySE;
  p.amount = f.cashFlow;
  p.amountSE = settled ? 0.0 : perPath * p.probabilitySE;
  p.discountFactor = f.discountFactor;
  p.discounted = f.discounted;
  p.discountedSE = f.discountFactor * p.amountSE;
  p.settled = settled;
  return p;
}

// The error of the share of paths redeemed on or before date d (0-based),
// and so of its complement, the share that reaches the next date: the
// library's spread of the scramblings on the quasi-random stream, binomial
// in `share` (either of the two) on the others.
double RedeemedBySE(const NoteReport& r, int d, double share) {
  const NoteResult& res = r.result;
  if (res.sobol) return ErrorAt(res.redeemedBySE, static_cast<std::size_t>(d));
  return ProportionSE(share, r.note.NTrials, res.replications);
}

}  // namespace

std::vector<ProjectedFlow> CashFlowSchedule(const NoteReport& r) {
  std::vector<ProjectedFlow> flows;
  if (!HasFigures(r)) return flows;
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int N = n.NStrike;
  const std::vector<SlotFlow> outcomes = OutcomeFlows(r);
  for (int s = 0; s < N + 2; ++s) {
    const SlotFlow& f = outcomes[static_cast<std::size_t>(s)];
    if (f.payment <= n.PriceDate) continue;
    // The payment of a fixed slot: its mean over the paths that end there.
    const double perPath = !FixedPayment(n, s) ? std::nan("") : f.probability > 0.0 ? f.cashFlow / f.probability : 0.0;
    const char* kind = s < N ? "redemption" : s == N ? "maturity_no_knock_in" : "maturity_knock_in";
    flows.push_back(Projected(f, kind, OutcomeLabel(N, s), SettledAt(res.eventSettled, s), perPath));
  }
  const std::vector<SlotFlow> coupons = CouponFlows(r);
  for (std::size_t c = 0; c < coupons.size(); ++c) {
    const SlotFlow& f = coupons[c];
    if (f.payment <= n.PriceDate) continue;
    flows.push_back(Projected(f, "coupon", "coupon " + std::to_string(c + 1), SettledAt(res.couponSettled, c),
                              n.Coupon[c] * n.NotionalAMT));
  }
  // A date's redemption coupon: on the paths that reach it and do not
  // redeem there (BreakDownPrice's rule).
  double redeemedBy = 0.0;
  for (int d = 0; d + 1 < N; ++d) {
    const SlotFlow& f = outcomes[static_cast<std::size_t>(d)];
    redeemedBy += f.probability;
    if (f.payment <= n.PriceDate || n.RedemCoupon[d] == 0.0) continue;
    const bool settled = SettledAt(res.eventSettled, static_cast<std::size_t>(d));
    const double reach = 1.0 - redeemedBy;
    const double paid = n.RedemCoupon[d] * n.NotionalAMT;
    SlotFlow rc = f;
    rc.probability = reach;
    rc.probabilitySE = RedeemedBySE(r, d, reach);
    rc.cashFlow = paid * reach;
    rc.discounted = f.discountFactor * paid * reach;
    flows.push_back(Projected(rc, "redemption_coupon", "redemption coupon, date " + std::to_string(d + 1), settled, paid));
  }
  std::stable_sort(flows.begin(), flows.end(),
                   [](const ProjectedFlow& a, const ProjectedFlow& b) { return a.payment < b.payment; });
  return flows;
}

NoteGreeks GreeksOf(const NoteReport& r) {
  NoteGreeks g;
  if (!HasFigures(r) || !HasGreeks(r)) return g;
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int S = n.NStock;
  for (int i = 0; i < S; ++i) {
    const auto d = static_cast<std::size_t>(layout::Delta(S, i));
    const auto ga = static_cast<std::size_t>(layout::Gamma(S, i));
    const auto v = static_cast<std::size_t>(layout::Vega(S, i));
    g.stocks.push_back({n.underlyingNames[static_cast<std::size_t>(i)], res.resultPrice[d], res.resultPrice[ga],
                        res.resultPrice[v], ErrorAt(res.resultSE, d), ErrorAt(res.resultSE, ga),
                        ErrorAt(res.resultSE, v)});
  }
  if (n.CalcFlag[0] >= 2) {
    const auto t = static_cast<std::size_t>(layout::Theta(S));
    const auto rho = static_cast<std::size_t>(layout::Rho(S));
    g.theta = res.resultPrice[t];
    g.rho = res.resultPrice[rho];
    g.thetaSE = ErrorAt(res.resultSE, t);
    g.rhoSE = ErrorAt(res.resultSE, rho);
  }
  return g;
}

Json NoteJson(const NoteReport& r) {
  Json j = Json::object();
  j["file"] = r.file;
  if (!r.usable) {
    j["status"] = nullptr;
    j["error"] = r.inputError;
    return j;
  }
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  j["name"] = n.name;
  j["status"] = r.priced ? Json(res.status) : Json(nullptr);
  j["state"] = StateName(r.life.state);
  j["warnings"] = r.warnings;
  if (r.priced && res.status < 0) {
    j["error"] = res.rejection;
    return j;
  }
  j["currency"] = n.currency;
  j["price_date"] = FormatIsoDate(n.PriceDate);
  j["notional"] = n.NotionalAMT;
  j["trials"] = static_cast<long long>(n.NTrials);
  if (n.position.held) {
    Json p = Json::object();
    if (n.position.byNotional) {
      p["notional"] = n.position.notional;
    } else {
      p["quantity"] = n.position.quantity;
    }
    p["scale"] = n.position.Scale(n.NotionalAMT);
    p["book"] = n.position.book;
    p["trade_id"] = n.position.tradeId;
    j["position"] = std::move(p);
  }
  j["life_cycle"] = LifeCycleJson(r);
  if (!n.calibrated.empty()) {
    Json fits = Json::array();
    for (const CalibratedUnderlying& c : n.calibrated) {
      fits.push_back({{"underlying", n.underlyingNames[static_cast<std::size_t>(c.underlying)]},
                      {"quotes", c.report.quotes},
                      {"quotes_left_out", c.report.leftOut},
                      {"fit_error_max_vol_points", c.report.maxError},
                      {"fit_error_rms_vol_points", c.report.rmsError},
                      {"local_vols_repaired", c.report.repairedLocalVols},
                      {"arbitrage_repaired", c.repaired}});
    }
    j["calibration"] = std::move(fits);
  }
  if (!r.priced) return j;
  const int N = n.NStrike;
  j["price"] = res.resultPrice[0];
  if (const std::optional<double> percent = PricePercent(r)) j["price_percent"] = *percent;
  j["price_se"] = NumberOrNull(res.priceSE);
  if (std::isfinite(res.priceSE)) {
    j["price_interval_95"] = {res.resultPrice[0] - kInterval95 * res.priceSE,
                              res.resultPrice[0] + kInterval95 * res.priceSE};
  }
  j["stream"] = StreamName(res);
  j["estimator"] = res.conditional ? "conditional" : "plain";
  if (res.sobol) j["scrambles"] = res.scrambles;
  j["seed"] = res.seed ? Json(*res.seed) : Json(nullptr);
  j["replications"] = res.replications;
  const PriceBreakdown b = BreakDownPrice(r);
  j["price_breakdown"] = {{"discounted_outcomes", b.outcomes},
                          {"discounted_coupons", b.coupons},
                          {"redemption_coupons", b.redemptionCoupons},
                          {"rest", b.rest}};
  const std::vector<SlotFlow> outcomes = OutcomeFlows(r);
  Json red = Json::array();
  for (int s = 0; s < N; ++s) red.push_back(FlowJson(outcomes[static_cast<std::size_t>(s)]));
  j["redemption"] = red;
  j["maturity"] = {{"no_knock_in", FlowJson(outcomes[static_cast<std::size_t>(N)])},
                   {"knock_in", FlowJson(outcomes[static_cast<std::size_t>(N) + 1])}};
  Json cps = Json::array();
  for (const SlotFlow& f : CouponFlows(r)) cps.push_back(FlowJson(f));
  j["coupons"] = cps;
  Json schedule = Json::array();
  for (const ProjectedFlow& f : CashFlowSchedule(r)) {
    Json row = {{"payment", FormatIsoDate(f.payment)},
                {"observation", FormatIsoDate(f.observation)},
                {"kind", f.kind},
                {"label", f.label},
                {"probability", f.probability},
                {"amount", f.amount},
                {"discount_factor", f.discountFactor},
                {"discounted", f.discounted},
                {"settled", f.settled}};
    row["probability_se"] = NumberOrNull(f.probabilitySE);
    row["amount_se"] = NumberOrNull(f.amountSE);
    row["discounted_se"] = NumberOrNull(f.discountedSE);
    schedule.push_back(std::move(row));
  }
  j["cash_flows"] = std::move(schedule);
  if (HasGreeks(r)) {
    const NoteGreeks greeks = GreeksOf(r);
    Json g = Json::array();
    for (const StockGreeks& one : greeks.stocks) {
      Json row = {{"underlying", one.underlying}, {"delta", one.delta}, {"gamma", one.gamma}, {"vega", one.vega}};
      row["delta_se"] = NumberOrNull(one.deltaSE);
      row["gamma_se"] = NumberOrNull(one.gammaSE);
      row["vega_se"] = NumberOrNull(one.vegaSE);
      g.push_back(row);
    }
    j["greeks"] = g;
    if (greeks.theta) {
      j["theta"] = *greeks.theta;
      j["rho"] = *greeks.rho;
      j["theta_se"] = NumberOrNull(greeks.thetaSE);
      j["rho_se"] = NumberOrNull(greeks.rhoSE);
    }
  }
  if (!res.convergence.empty()) {
    Json conv = Json::array();
    for (const ConvergenceRow& c : res.convergence) {
      Json point = {{"paths", c.paths}, {"price", c.price}};
      point["price_se"] = NumberOrNull(c.priceSE);
      conv.push_back(point);
    }
    j["convergence"] = conv;
  }
  if (!res.ladderMoves.empty()) {
    Json lad = Json::array();
    for (std::size_t k = 0; k < res.ladderMoves.size(); ++k) {
      Json row = {{"move", res.ladderMoves[k]}, {"status", res.ladderStatus[k]}};
      if (res.ladderStatus[k] >= 0) row["price"] = res.ladderPrices[k];
      lad.push_back(row);
    }
    j["ladder"] = lad;
  }
  if (!res.scenarios.empty()) j["scenarios"] = ScenariosJson(r);
  return j;
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::optional<double> PricePercent(const NoteReport& r) {
  if (!(r.note.NotionalAMT > 0.0) || r.result.resultPrice.empty()) return std::nullopt;
  return 100.0 * r.result.resultPrice[0] / r.note.NotionalAMT;
}

bool HasGreeks(const NoteReport& r) {
  return r.note.CalcFlag[0] >= 1 &&
         r.result.resultPrice.size() >= static_cast<std::size_t>(layout::ResultPriceLength(r.note.NStock, 1));
}

double SlotFigure(const std::vector<double>& row, std::size_t k) { return k < row.size() ? row[k] : std::nan(""); }

double ErrorAt(const std::vector<double>& errors, std::size_t k) { return SlotFigure(errors, k); }

bool SettledAt(const std::vector<bool>& settled, std::size_t k) { return k < settled.size() && settled[k]; }

bool MostlyNoise(double value, double se) { return std::isfinite(se) && se > std::fabs(value) / 3.0; }

std::string FixedDecimals(double v, int decimals) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string FormatMoney(double amount) {
  if (!std::isfinite(amount)) return ShortestDouble(amount);
  const std::string digits = FixedDecimals(std::fabs(amount), 2);
  const std::size_t dot = digits.find('.');
  const std::string whole = digits.substr(0, dot);
  std::string grouped;
  const std::size_t len = whole.size();
  for (std::size_t i = 0; i < len; ++i) {
    grouped += whole[i];
    const std::size_t left = len - 1 - i;
    if (left > 0 && left % 3 == 0) grouped += ',';
  }
  const bool negative = amount < 0.0 && digits != "0.00";
  return (negative ? "-" : "") + grouped + digits.substr(dot);
}

std::string ProbabilityBar(double probability, int width) {
  double p = probability;
  if (!(p > 0.0)) p = 0.0;
  if (p > 1.0) p = 1.0;
  const int filled = static_cast<int>(std::lround(p * width));
  return std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(width - filled), ' ');
}

int DisplayWidth(const std::string& text) {
  int w = 0;
  ForEachCodePoint(text, [&](std::size_t, std::size_t, unsigned cp) { w += CodePointWidth(cp); });
  return w;
}

std::string FitWidth(const std::string& text, int width) {
  if (DisplayWidth(text) <= width) return text;
  const int keep = width > 3 ? width - 3 : 0;
  int w = 0;
  std::size_t end = 0;
  bool full = false;
  ForEachCodePoint(text, [&](std::size_t at, std::size_t len, unsigned cp) {
    if (full) return;
    const int cw = CodePointWidth(cp);
    if (w + cw > keep) {
      full = true;
      return;
    }
    w += cw;
    end = at + len;
  });
  return text.substr(0, end) + std::string(width > 3 ? 3 : static_cast<std::size_t>(width), '.');
}

PriceBreakdown BreakDownPrice(const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int N = n.NStrike;
  const int Q = n.NCoupon;
  PriceBreakdown b;
  for (int s = 0; s < N + 2; ++s) b.outcomes += SlotFigure(res.eventDF, s) * res.events[layout::OutcomeCf(N, s)];
  for (int c = 0; c < Q; ++c) b.coupons += SlotFigure(res.couponDF, c) * res.coupons[layout::CouponCf(Q, c)];
  // A date's redemption coupon is paid on the paths that reach it and do not
  // redeem there, when its payment is still to come.
  double redeemedBy = 0.0;
  for (int d = 0; d + 1 < N; ++d) {
    redeemedBy += res.events[layout::OutcomeProb(N, d)];
    const int pay = n.DatesInfo[N + d];
    if (pay <= n.PriceDate || n.RedemCoupon[d] == 0.0) continue;
    b.redemptionCoupons += SlotFigure(res.eventDF, d) * n.RedemCoupon[d] * n.NotionalAMT * (1.0 - redeemedBy);
  }
  b.rest = res.resultPrice[0] - b.outcomes - b.coupons - b.redemptionCoupons;
  return b;
}

std::string JsonReport(const std::vector<NoteReport>& notes) {
  Json all = Json::object();
  all["notes"] = Json::array();
  for (const NoteReport& r : notes) all["notes"].push_back(NoteJson(r));
  return WriteJsonText(all);
}

std::string CsvHeader(bool errorColumn) {
  std::string line;
  for (const char* column : kCsvColumns) {
    if (!line.empty()) line += ',';
    line += column;
  }
  if (errorColumn) {
    line += ',';
    line += kErrorColumn;
  }
  return line;
}

std::string CsvLine(const CsvRow& row, bool errorColumn) {
  const auto num = [](double v) { return std::isfinite(v) ? ShortestDouble(v) : std::string(); };
  std::string line = CsvField(row.note) + ',' + CsvField(row.pricingDate) + ',' +
                     (row.trials ? std::to_string(*row.trials) : std::string()) + ',' + CsvField(row.quantity) + ',' +
                     CsvField(row.underlying) + ',' + num(row.value) + ',' + num(row.standardError);
  if (errorColumn) line += ',' + CsvField(row.error);
  return line;
}

std::vector<CsvRow> CsvRows(const NoteReport& r) {
  std::vector<CsvRow> rows;
  const NoteInputs& n = r.note;
  CsvRow base;
  base.note = r.file;
  if (r.usable) {
    base.pricingDate = FormatIsoDate(n.PriceDate);
    base.trials = static_cast<long long>(n.NTrials);
  }
  const auto row = [&](const char* quantity, const std::string& underlying, double value, double se = std::nan("")) {
    CsvRow one = base;
    one.quantity = quantity;
    one.underlying = underlying;
    one.value = value;
    one.standardError = se;
    rows.push_back(std::move(one));
  };
  row("status", "", r.priced ? static_cast<double>(r.result.status) : std::nan(""));
  // A failed note's reason: the line standard error gives for it.
  if (!r.usable) {
    rows.back().error = r.file + ": " + r.inputError;
    return rows;
  }
  if (r.priced && r.result.status < 0) rows.back().error = r.file + ": rejected, " + r.result.rejection;
  if (!r.priced) {
    if (r.life.slot >= 0) row("settled_amount", "", r.life.payoff * n.NotionalAMT);
    return rows;
  }
  const NoteResult& res = r.result;
  if (res.status < 0) return rows;
  const int N = n.NStrike;
  row("price", "", res.resultPrice[0], res.priceSE);
  if (const std::optional<double> percent = PricePercent(r)) {
    row("price_percent", "", *percent, 100.0 * res.priceSE / n.NotionalAMT);
  }
  double early = 0.0;
  for (int s = 0; s < N; ++s) early += res.events[layout::OutcomeProb(N, s)];
  // The early dates together: a share of the paths, settled dates aside.
  double settled = 0.0;
  for (int s = 0; s < N; ++s)
    if (SettledAt(res.eventSettled, s)) settled += res.events[layout::OutcomeProb(N, s)];
  const double earlySE = settled == early ? 0.0 : RedeemedBySE(r, N - 1, early);
  row("early_redemption_probability", "", early, earlySE);
  row("maturity_probability", "", res.events[layout::OutcomeProb(N, N)], ErrorAt(res.eventSE, N));
  row("knock_in_probability", "", res.events[layout::OutcomeProb(N, N + 1)], ErrorAt(res.eventSE, N + 1));
  if (HasGreeks(r)) {
    const NoteGreeks g = GreeksOf(r);
    for (const StockGreeks& s : g.stocks) row("delta", s.underlying, s.delta, s.deltaSE);
    for (const StockGreeks& s : g.stocks) row("gamma", s.underlying, s.gamma, s.gammaSE);
    for (const StockGreeks& s : g.stocks) row("vega", s.underlying, s.vega, s.vegaSE);
    if (g.theta) {
      row("theta", "", *g.theta, g.thetaSE);
      row("rho", "", *g.rho, g.rhoSE);
    }
  }
  return rows;
}

void WriteCsv(std::ostream& out, const std::vector<NoteReport>& notes) {
  out << CsvHeader(true) << "\n";
  for (const NoteReport& r : notes) {
    for (const CsvRow& row : CsvRows(r)) out << CsvLine(row, true) << "\n";
  }
}

}  // namespace morvik
