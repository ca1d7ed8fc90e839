// Reads a market file and fills its data into the term sheets that name
// their underlyings by id.
#include "termsheet/market_file.h"

#include <cmath>
#include <new>
#include <set>

#include "termsheet/implied_vol.h"
#include "termsheet/sheet_reader.h"
#include "termsheet/term_dates.h"

namespace morvik {
namespace {

using namespace sheet;

// Most underlyings (or rate curves, FX pairs) a market file holds: wide
// objects cost time quadratic in their size. This many underlyings with
// 7 x 5 local-volatility grids take about 6 MB and read in under 2 s.
constexpr std::size_t kMaxMarketMembers = 4096;

// A flat volatility above this is legal but nearly always a typing slip.
constexpr double kHighFlatVol = 2.0;

// The fields of an underlying by id that come from the market.
constexpr const char* kMarketFields[] = {"spot", "rate_curve", "local_vol", "implied_vol", "dividends", "fx"};

// "EUR/USD": the FX rate of an underlying's currency in the note's.
std::string FxPair(const std::string& from, const std::string& to) { return from + "/" + to; }

std::pair<std::string, std::string> PairKey(const std::string& a, const std::string& b) {
  return a < b ? std::make_pair(a, b) : std::make_pair(b, a);
}

// A finite number in [lo, hi].
double Bounded(const Json& v, const std::string& path, double lo, double hi, const char* what) {
  const double x = Number(v, path);
  if (!(x >= lo && x <= hi)) Fail(path, std::string("expected ") + what + ", got " + ShortestDouble(x));
  return x;
}

void ReadMarketUnderlying(const std::string& id, const Json& u, const std::string& up, Market& m,
                          std::vector<FieldIssue>& warnings) {
  if (id.empty()) Fail(up, "an underlying's id is not empty");
  Object(u, up);
  CheckKeys(u, up, {"currency", "spot", "local_vol", "implied_vol", "flat_vol", "dividends", "rate_curve",
                    "fx_correlations"});
  const std::string currency = Text(Require(u, up, "currency"), Key(up, "currency"));
  if (currency.empty()) Fail(Key(up, "currency"), "expected a currency code");
  const double spot = Number(Require(u, up, "spot"), Key(up, "spot"));
  if (!std::isfinite(spot) || spot <= 0.0) Fail(Key(up, "spot"), "expected a positive spot");
  const int vols = (Find(u, "local_vol") != nullptr) + (Find(u, "implied_vol") != nullptr) +
                   (Find(u, "flat_vol") != nullptr);
  if (vols != 1) Fail(up, "expected one of \"local_vol\", \"implied_vol\" or \"flat_vol\"");
  if (const Json* v = Find(u, "local_vol")) CheckLocalVol(*v, Key(up, "local_vol"), warnings);
  if (const Json* v = Find(u, "implied_vol")) {
    bool repair = false;
    ReadImpliedQuotes(*v, Key(up, "implied_vol"), m.pricingDate, spot, repair);
  }
  if (const Json* v = Find(u, "flat_vol")) {
    const double vol = Number(*v, Key(up, "flat_vol"));
    if (!std::isfinite(vol) || vol <= 0.0) Fail(Key(up, "flat_vol"), "expected a positive volatility");
    if (vol > kHighFlatVol) {
      warnings.push_back({Key(up, "flat_vol"), ShortestDouble(100.0 * vol) + " % is a volatility above 200 %"});
    }
  }
  if (const Json* v = Find(u, "dividends")) CheckDividends(*v, Key(up, "dividends"), m.pricingDate);
  if (const Json* v = Find(u, "rate_curve")) {
    CheckRateCurve(*v, Key(up, "rate_curve"));
  } else if (!m.rateCurves.contains(currency)) {
    Fail(Key(up, "currency"), currency + " has no curve in rate_curves (and the underlying no rate_curve of its own)");
  }
  if (const Json* v = Find(u, "fx_correlations")) {
    const std::string fp = Key(up, "fx_correlations");
    Object(*v, fp);
    for (auto it = v->begin(); it != v->end(); ++it) {
      if (!it.key().empty() && it.key()[0] == '_') continue;
      const std::string kp = fp + "." + it.key();
      if (it.key().rfind(currency + "/", 0) != 0) {
        Fail(kp, "expected the FX rate of the underlying's currency, \"" + currency + "/...\"");
      }
      Bounded(it.value(), kp, -1.0, 1.0, "a correlation from -1 to 1");
    }
  }
}

void ReadMarketRoot(const Json& root, Market& m, std::vector<FieldIssue>& warnings) {
  Object(root, "(top level)");
  CheckKeys(root, "", {"pricing_date", "description", "rate_curves", "underlyings", "correlations", "fx_vols"});
  if (const Json* v = Find(root, "description")) Text(*v, "description");
  m.pricingDate = Date(Require(root, "", "pricing_date"), "pricing_date");
  m.rateCurves = Object(Require(root, "", "rate_curves"), "rate_curves");
  for (auto it = m.rateCurves.begin(); it != m.rateCurves.end(); ++it) {
    if (it.key().empty()) Fail("rate_curves", "a currency code is not empty");
    if (it.key()[0] != '_') CheckRateCurve(it.value(), "rate_curves." + it.key());
  }
  m.fxVols = Json::object();
  if (const Json* fx = Find(root, "fx_vols")) {
    Object(*fx, "fx_vols");
    for (auto it = fx->begin(); it != fx->end(); ++it) {
      if (!it.key().empty() && it.key()[0] == '_') continue;
      const std::string fp = "fx_vols." + it.key();
      const std::size_t slash = it.key().find('/');
      if (slash == 0 || slash == std::string::npos || slash + 1 == it.key().size()) {
        Fail(fp, "expected a pair of currencies \"EUR/USD\": the underlying's currency, then the note's");
      }
      Object(it.value(), fp);
      CheckKeys(it.value(), fp, {"quanto", "tenors", "vols"});
      if (const Json* q = Find(it.value(), "quanto")) {
        Choice(*q, Key(fp, "quanto"), {{"term", 1}, {"interpolated", 2}});
      }
      CheckFxCurve(it.value(), fp);
      m.fxVols[it.key()] = it.value();
    }
  }
  const Json& list = Object(Require(root, "", "underlyings"), "underlyings");
  m.underlyings = Json::object();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (!it.key().empty() && it.key()[0] == '_') continue;
    ReadMarketUnderlying(it.key(), it.value(), "underlyings." + it.key(), m, warnings);
    m.underlyings[it.key()] = it.value();
  }
  if (m.underlyings.empty()) Fail("underlyings", "expected at least one underlying");
  if (const Json* c = Find(root, "correlations")) {
    Array(*c, "correlations");
    for (std::size_t k = 0; k < c->size(); ++k) {
      const std::string cp = At("correlations", k);
      const Json& e = Array((*c)[k], cp);
      CheckSize(e, cp, 3, "two ids and the correlation: [\"SAMSUNG\", \"HYUNDAI\", 0.42]");
      const std::string a = Text(e[0], At(cp, 0));
      const std::string b = Text(e[1], At(cp, 1));
      for (std::size_t i = 0; i < 2; ++i) {
        const std::string& id = i == 0 ? a : b;
        if (!m.underlyings.contains(id)) Fail(At(cp, i), "\"" + id + "\" is not one of the market's underlyings");
      }
      if (a == b) Fail(At(cp, 1), "a correlation of an underlying with itself is 1; leave it out");
      const double rho = Bounded(e[2], At(cp, 2), -1.0, 1.0, "a correlation from -1 to 1");
      if (!m.correlations.emplace(PairKey(a, b), rho).second) {
        Fail(cp, "the correlation of " + a + " and " + b + " is given twice");
      }
    }
  }
}

// A volatility flat in time and moneyness as the local volatility grid of
// one point, which the lookup holds flat on every side.
Json FlatGrid(double vol) {
  return Json{{"times", Json::array({1.0})}, {"moneyness", Json::array({1.0})}, {"vols", Json::array({Json::array({vol})})}};
}

// The fields of an underlying the note names by `id` that it leaves to the
// market, filled in; `up` is its path in the note.
void FillUnderlying(Json& u, const std::string& up, const std::string& id, const std::string& noteCurrency,
                    bool override, const Market& m, std::vector<MarketSource>& sources) {
  const std::string mp = "underlyings." + id;
  const Json& e = m.underlyings[id];
  for (const char* field : kMarketFields) {
    if (u.contains(field) && !override) {
      Fail(Key(up, field), id + "'s " + field + " comes from the market file " + m.label +
                               "; leave it out, or set \"market_override\": true to use the note's");
    }
  }
  const auto fill = [&](const char* field, Json value, const std::string& from) {
    if (u.contains(field)) return;
    u[field] = std::move(value);
    sources.push_back({Key(up, field), from});
  };
  if (!u.contains("name")) u["name"] = id;
  fill("spot", e["spot"], Key(mp, "spot"));
  if (!u.contains("local_vol") && !u.contains("implied_vol")) {
    if (e.contains("local_vol")) fill("local_vol", e["local_vol"], Key(mp, "local_vol"));
    if (e.contains("implied_vol")) fill("implied_vol", e["implied_vol"], Key(mp, "implied_vol"));
    if (e.contains("flat_vol")) fill("local_vol", FlatGrid(e["flat_vol"].get<double>()), Key(mp, "flat_vol"));
  }
  const std::string currency = e["currency"].get<std::string>();
  if (e.contains("rate_curve")) {
    fill("rate_curve", e["rate_curve"], Key(mp, "rate_curve"));
  } else {
    fill("rate_curve", m.rateCurves[currency], "rate_curves." + currency);
  }
  if (e.contains("dividends")) fill("dividends", e["dividends"], Key(mp, "dividends"));
  if (currency == noteCurrency || u.contains("fx")) return;
  // A quanto underlying: the drift takes the FX rate's volatility and its
  // correlation with the stock.
  const std::string pair = FxPair(currency, noteCurrency);
  if (!m.fxVols.contains(pair)) {
    Fail(Key(up, "id"), id + " is in " + currency + " and the note in " + noteCurrency + ": the market file " +
                            m.label + " has no fx_vols \"" + pair + "\"");
  }
  const Json* corr = e.contains("fx_correlations") ? Find(e["fx_correlations"], pair.c_str()) : nullptr;
  if (corr == nullptr) {
    Fail(Key(up, "id"), id + " is in " + currency + " and the note in " + noteCurrency + ": the market file " +
                            m.label + " has no " + mp + ".fx_correlations \"" + pair + "\"");
  }
  const Json& fx = m.fxVols[pair];
  Json block = Json::object();
  block["quanto"] = fx.contains("quanto") ? fx["quanto"] : Json("term");
  block["correlation"] = *corr;
  block["tenors"] = fx["tenors"];
  block["vols"] = fx["vols"];
  fill("fx", std::move(block), "fx_vols." + pair);
}

}  // namespace

bool ReadMarket(std::string_view text, const std::string& label, Market& market, TermSheetError& error) {
  market = Market{};
  error = TermSheetError{};
  market.label = label;
  if (text.size() > kMaxTermSheetBytes) {
    error.kind = TermSheetError::kFile;
    error.message = "is " + std::to_string(text.size()) + " bytes; a market file is at most " +
                    std::to_string(kMaxTermSheetBytes >> 20) + " MiB";
    return false;
  }
  Json root;
  JsonPositions positions;
  JsonTextError textError;
  if (!ReadJsonText(text, root, positions, textError, kMaxMarketMembers)) {
    error = TextError(text, textError);
    return false;
  }
  try {
    std::vector<FieldIssue> issues;
    ReadMarketRoot(root, market, issues);
    market.text = std::string(text);
    const LineIndex lines(text);
    for (const FieldIssue& w : issues) {
      int line = 0, column = 0;
      lines.Find(positions.Find(w.path), line, column);
      market.warnings.push_back(Position(line, column) + ": " + w.path + ": " + w.message);
    }
    return true;
  } catch (const FieldError& e) {
    error.kind = TermSheetError::kField;
    error.path = e.path;
    error.message = e.message;
    LineAndColumn(text, positions.Find(e.path), error.line, error.column);
  } catch (const std::exception& e) {
    error.kind = TermSheetError::kFile;
    error.message = std::string("cannot read the market file: ") + e.what();
  }
  market = Market{};
  market.label = label;
  return false;
}

bool ReadMarketFile(const std::string& path, Market& market, TermSheetError& error) {
  market = Market{};
  market.label = path;
  std::string text;
  if (!ReadSheetText(path, text, error)) return false;
  return ReadMarket(text, path, market, error);
}

std::vector<MarketSource> ApplyMarket(Json& root, const Market* market, std::vector<FieldIssue>& warnings) {
  std::vector<MarketSource> sources;
  if (!root.is_object()) return sources;  // the reader names what is wrong
  bool override = false;
  if (const Json* v = Find(root, "market_override")) override = Flag(*v, "market_override") != 0;
  Json* list = root.contains("underlyings") && root["underlyings"].is_array() ? &root["underlyings"] : nullptr;
  std::vector<std::string> ids;
  std::set<std::string> seen;
  bool allIds = list != nullptr && !list->empty();
  if (list != nullptr) {
    for (std::size_t i = 0; i < list->size(); ++i) {
      const Json& u = (*list)[i];
      const Json* id = u.is_object() ? Find(u, "id") : nullptr;
      if (id == nullptr) {
        ids.emplace_back();
        allIds = false;
        continue;
      }
      const std::string ip = Key(At("underlyings", i), "id");
      ids.push_back(Text(*id, ip));
      if (ids.back().empty()) Fail(ip, "expected the underlying's id in the market file");
      if (!seen.insert(ids.back()).second) Fail(ip, "\"" + ids.back() + "\" is named twice");
    }
  }
  if (seen.empty()) {
    // A note on its own data: the market does not apply, but a note of
    // another day is worth a word.
    const Json* date = Find(root, "price_date");
    int own = 0;
    if (market != nullptr && date != nullptr && date->is_string() && ParseIsoDate(date->get<std::string>(), own) &&
        own != market->pricingDate) {
      warnings.push_back({"price_date", "the note has its own market data of " + FormatIsoDate(own) +
                                            ", not the market file's of " + FormatIsoDate(market->pricingDate)});
    }
    return sources;
  }
  if (market == nullptr) {
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (!ids[i].empty() && !(*list)[i].contains("spot")) {
        Fail(Key(At("underlyings", i), "id"),
             ids[i] + "'s market data come from a market file: price with one (--market), or give them here");
      }
    }
    return sources;
  }
  const Market& m = *market;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (!ids[i].empty() && !m.underlyings.contains(ids[i])) {
      Fail(Key(At("underlyings", i), "id"), "\"" + ids[i] + "\" is not in the market file " + m.label);
    }
  }
  if (const Json* date = Find(root, "price_date")) {
    const int own = Date(*date, "price_date");
    if (own != m.pricingDate) {
      Fail("price_date", FormatIsoDate(own) + " is not the pricing date of the market file " + m.label + " (" +
                             FormatIsoDate(m.pricingDate) + ")");
    }
  } else {
    root["price_date"] = FormatIsoDate(m.pricingDate);
    sources.push_back({"price_date", "pricing_date"});
  }
  const Json* cur = Find(root, "currency");
  if (cur == nullptr) Fail("currency", "missing: a note on the market file takes its curves by its currency");
  const std::string currency = Text(*cur, "currency");
  if (root.contains("discount_curve")) {
    if (!override) {
      Fail("discount_curve", "the discount curve comes from the market file " + m.label + " (rate_curves." +
                                 currency + "); leave it out, or set \"market_override\": true to use the note's");
    }
  } else {
    if (!m.rateCurves.contains(currency)) {
      Fail("currency", currency + " has no curve in rate_curves of the market file " + m.label);
    }
    root["discount_curve"] = m.rateCurves[currency];
    sources.push_back({"discount_curve", "rate_curves." + currency});
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (ids[i].empty()) continue;
    FillUnderlying((*list)[i], At("underlyings", i), ids[i], currency, override, m, sources);
  }
  if (root.contains("correlation")) {
    if (!override) {
      Fail("correlation", "the correlations come from the market file " + m.label +
                              "; leave them out, or set \"market_override\": true to use the note's");
    }
  } else if (ids.size() > 1) {
    if (!allIds) {
      Fail("correlation", "missing: an underlying without an id has no correlations in the market file");
    }
    Json rows = Json::array();
    for (std::size_t r = 0; r < ids.size(); ++r) {
      Json row = Json::array();
      for (std::size_t c = 0; c < ids.size(); ++c) {
        if (r == c) {
          row.push_back(1.0);
          continue;
        }
        const auto it = m.correlations.find(PairKey(ids[r], ids[c]));
        if (it == m.correlations.end()) {
          Fail("underlyings", "the market file " + m.label + " has no correlation of " + ids[r] + " and " + ids[c]);
        }
        row.push_back(it->second);
      }
      rows.push_back(std::move(row));
    }
    root["correlation"] = std::move(rows);
    sources.push_back({"correlation", "correlations"});
  }
  // The explicit form carries the market's data and reads back the same,
  // with or without the market file.
  root["market_override"] = true;
  return sources;
}

}  // namespace morvik
