// The scenario set's check, the shift of a note's inputs, and the
// valuation of every scenario on the base valuation's random numbers.
#include "calls/scenarios.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "calls/extended_entry.h"
#include "calls/layout.h"
#include "calls/validation.h"
#include "sensitivities/bump_table.h"

namespace morvik {
namespace {

// The greeks' vega row: +up and -down vol points, half the difference.
const BumpRow& VegaRow() {
  for (const BumpRow& r : kStockRows)
    if (r.greek == Greek::kVega) return r;
  return kStockRows[0];  // not reached: the table has its vega row
}

// Numbers in messages go through a stream: std::to_string would leave a
// symbol of the standard library among the shared library's exports.
std::string Number(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string Count(long long n) {
  std::ostringstream s;
  s << n;
  return s.str();
}

double Clip(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

std::string ListProblem(const std::vector<double>& steps, const std::string& name, double lo, double hi,
                        bool openLow, const char* unit) {
  if (steps.size() > kMaxScenarioSteps) {
    return name + " takes at most " + Count(static_cast<long long>(kMaxScenarioSteps)) + " steps, not " +
           Count(static_cast<long long>(steps.size()));
  }
  for (const double s : steps) {
    const bool below = openLow ? !(s > lo) : !(s >= lo);
    if (!std::isfinite(s) || below || s > hi) {
      return name + " takes steps " + (openLow ? "above " : "from ") + Number(lo) + " to " + Number(hi) + unit +
             ", not " + Number(s);
    }
  }
  return std::string();
}

void MoveVols(const ScenarioShift& s, int i, FullCall& c) {
  if (s.volMove == 0.0) return;
  const auto surface = static_cast<std::int64_t>(c.LocalVolSurface.size());
  const int nt = c.NVol[static_cast<std::size_t>(i)];
  const int np = c.NParity[static_cast<std::size_t>(i)];
  const std::int64_t begin = SurfaceBlockStart(c.NVol.data(), c.NParity.data(), i);
  const std::int64_t len = layout::SurfaceBlockLength(nt, np);
  for (std::int64_t m = begin; m < begin + len && m < surface; ++m) {
    if (s.volTenor >= 0 && (m - begin) % nt != s.volTenor) continue;
    double& v = c.LocalVolSurface[static_cast<std::size_t>(m)];
    v = FlooredVol(v + s.volMove);
  }
}

void MoveDividends(double move, FullCall& c) {
  std::size_t at = 0;
  for (int i = 0; i < c.NStock && static_cast<std::size_t>(i) < c.NDiv.size(); ++i) {
    const bool cash = c.Div_TypeFlag[static_cast<std::size_t>(i)] == 2;
    const double base = c.UnderlyingPrice[2 * static_cast<std::size_t>(i) + 1];
    for (int k = 0; k < c.NDiv[static_cast<std::size_t>(i)] && at < c.Div.size(); ++k, ++at) {
      double& d = c.Div[at];
      d = cash ? Clip(d + move * base, 0.0, base) : Clip(ShiftedRate(d, move), -1.0, 1.0);
    }
  }
}

std::string MoveCorrelations(double move, FullCall& c) {
  const int n = c.NStock;
  if (static_cast<std::int64_t>(c.UnderlyingCorr.size()) < static_cast<std::int64_t>(n) * n) return std::string();
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < n; ++k) {
      if (i == k) continue;
      double& r = c.UnderlyingCorr[static_cast<std::size_t>(i) * n + k];
      r = Clip(r + move, -1.0, 1.0);
    }
  ValidationFault fault;
  if (CorrelationMatrixUsable(c.UnderlyingCorr.data(), n, fault)) return std::string();
  return "the correlation shift " + Number(move) +
         " leaves a correlation matrix that is not positive semi-definite (its factor fails at row " +
         Count(fault.underlying + 1) + ", column " + Count(fault.point + 1) + ", counting underlyings from 1)";
}

// One price-only valuation of moved inputs.
struct Priced {
  bool stopped = false;
  int status = 1;
  ValidationFault fault;
  double price = 0.0, se = 0.0;
};

Priced Price(const FullCall& c, const ValuationOptions& o) {
  const ValuationResult v = ValueNote(c.Inputs(), o);
  Priced p;
  p.stopped = v.status == kValuationInterrupted;
  p.status = v.status;
  p.fault = v.fault;
  if (v.status >= 0 && !v.ResultPrice.empty()) {
    p.price = v.ResultPrice[0];
    p.se = v.priceSE;
  }
  return p;
}

// A scenario as planned: its row, its shift, and whether it is a vega (the
// shift's +/- pair).
struct Planned {
  ScenarioRow row;
  ScenarioShift shift;
  bool vega = false;
};

ScenarioRow Row(ScenarioKind kind, int stock, double shift) {
  ScenarioRow r;
  r.kind = kind;
  r.stock = stock;
  r.shift = shift;
  return r;
}

std::vector<Planned> Plan(const ScenarioSet& set, const FullCall& base) {
  std::vector<Planned> plan;
  const auto add = [&](ScenarioRow row, ScenarioShift shift, bool vega = false) {
    plan.push_back(Planned{std::move(row), shift, vega});
  };
  for (const double s : set.spotLadder) add(Row(ScenarioKind::kSpotLadder, -1, s), ScenarioShift{-1, s / 100.0});
  if (set.ladderEach)
    for (int i = 0; i < base.NStock; ++i)
      for (const double s : set.spotLadder) add(Row(ScenarioKind::kSpotLadder, i, s), ScenarioShift{i, s / 100.0});
  for (const double s : set.gridSpots)
    for (const double v : set.gridVols) {
      ScenarioRow row = Row(ScenarioKind::kSpotVolGrid, -1, s);
      row.volShift = v;
      ScenarioShift shift{-1, s / 100.0};
      shift.volMove = v / 100.0;
      add(row, shift);
    }
  for (const double b : set.rateShifts) {
    ScenarioShift shift;
    shift.rateMove = b / 10000.0;
    add(Row(ScenarioKind::kRateShift, -1, b), shift);
  }
  for (const double b : set.dividendShifts) {
    ScenarioShift shift;
    shift.dividendMove = b / 10000.0;
    add(Row(ScenarioKind::kDividendShift, -1, b), shift);
  }
  for (const double x : set.correlationShifts) {
    ScenarioShift shift;
    shift.correlationMove = x;
    add(Row(ScenarioKind::kCorrelationShift, -1, x), shift);
  }
  if (set.vegaBuckets) {
    std::size_t tenorAt = 0;
    for (int i = 0; i < base.NStock && static_cast<std::size_t>(i) < base.NVol.size(); ++i) {
      const int nt = base.NVol[static_cast<std::size_t>(i)];
      ScenarioShift whole{i};
      add(Row(ScenarioKind::kVegaParallel, i, 1.0), whole, true);
      for (int k = 0; k < nt; ++k) {
        ScenarioRow row = Row(ScenarioKind::kVegaBucket, i, 1.0);
        row.tenor = tenorAt + static_cast<std::size_t>(k) < base.TVol.size() ? base.TVol[tenorAt + k] : -1.0;
        ScenarioShift one{i};
        one.volTenor = k;
        add(row, one, true);
      }
      tenorAt += static_cast<std::size_t>(nt > 0 ? nt : 0);
    }
  }
  return plan;
}

// Fills a rejected or stopped row; true when the row was priced.
bool Take(const Priced& p, ScenarioRow& row) {
  row.status = p.status;
  if (p.status >= 0) return true;
  row.fault = p.fault;
  return false;
}

}  // namespace

const char* ScenarioKindName(ScenarioKind kind) {
  switch (kind) {
    case ScenarioKind::kSpotLadder: return "spot_ladder";
    case ScenarioKind::kSpotVolGrid: return "spot_vol_grid";
    case ScenarioKind::kRateShift: return "rate_shift";
    case ScenarioKind::kDividendShift: return "dividend_shift";
    case ScenarioKind::kCorrelationShift: return "correlation_shift";
    case ScenarioKind::kVegaParallel: return "vega_parallel";
    case ScenarioKind::kVegaBucket: return "vega_bucket";
  }
  return "";
}

const char* ScenarioShiftUnit(ScenarioKind kind) {
  switch (kind) {
    case ScenarioKind::kSpotLadder:
    case ScenarioKind::kSpotVolGrid: return "percent";
    case ScenarioKind::kRateShift:
    case ScenarioKind::kDividendShift: return "bp";
    case ScenarioKind::kCorrelationShift: return "correlation";
    case ScenarioKind::kVegaParallel:
    case ScenarioKind::kVegaBucket: return "vol_points";
  }
  return "";
}

bool ScenarioSet::Empty() const {
  return spotLadder.empty() && gridSpots.empty() && gridVols.empty() && rateShifts.empty() &&
         dividendShifts.empty() && correlationShifts.empty() && !vegaBuckets;
}

std::string ScenarioSetProblem(const ScenarioSet& set, const std::string& given) {
  // Options are named with hyphens, keywords (no prefix) with underscores.
  struct Prefix {
    std::string text;
    std::string operator+(const char* name) const {
      std::string s = text + name;
      if (text.empty())
        for (char& c : s) c = c == '-' ? '_' : c;
      return s;
    }
  } prefix{given};
  std::string p;
  if (set.ladderEach && set.spotLadder.empty()) return prefix + "ladder-each" + " needs " + (prefix + "spot-ladder");
  if (set.gridSpots.empty() != set.gridVols.empty()) {
    return prefix + "vol-grid needs both its spot steps and its vol shifts" + (given.empty() ? "" : " (SPOTS:VOLS)");
  }
  if (p.empty()) p = ListProblem(set.spotLadder, prefix + "spot-ladder", -100.0, 1000.0, true, " %");
  if (p.empty()) p = ListProblem(set.gridSpots, prefix + "vol-grid", -100.0, 1000.0, true, " % (spot)");
  if (p.empty()) p = ListProblem(set.gridVols, prefix + "vol-grid", -100.0, 100.0, false, " vol points");
  if (p.empty()) p = ListProblem(set.rateShifts, prefix + "rate-shift", -10000.0, 10000.0, false, " bp");
  if (p.empty()) p = ListProblem(set.dividendShifts, prefix + "dividend-shift", -10000.0, 10000.0, false, " bp");
  if (p.empty()) p = ListProblem(set.correlationShifts, prefix + "correlation-shift", -2.0, 2.0, false, "");
  if (p.empty() && set.gridSpots.size() * set.gridVols.size() > kMaxScenarioSteps * kMaxScenarioSteps / 4) {
    p = prefix + "vol-grid takes at most " + Count(static_cast<long long>(kMaxScenarioSteps * kMaxScenarioSteps / 4)) + " points";
  }
  return p;
}

std::string ApplyShift(const ScenarioShift& s, FullCall& call) {
  for (int i = 0; i < call.NStock; ++i) {
    if ((s.stock >= 0 && i != s.stock) || 2 * static_cast<std::size_t>(i) >= call.UnderlyingPrice.size() ||
        static_cast<std::size_t>(i) >= call.NVol.size() || static_cast<std::size_t>(i) >= call.NParity.size()) {
      continue;
    }
    if (s.spotMove != 0.0) {
      double& spot = call.UnderlyingPrice[2 * static_cast<std::size_t>(i)];
      spot = ScaledSpot(spot, 1.0 + s.spotMove);
    }
    MoveVols(s, i, call);
  }
  if (s.rateMove != 0.0)
    for (double& r : call.CurveInfo) r = ShiftedRate(r, s.rateMove);
  if (s.dividendMove != 0.0) MoveDividends(s.dividendMove, call);
  if (s.correlationMove != 0.0) return MoveCorrelations(s.correlationMove, call);
  return std::string();
}

long long ScenarioValuations(const ScenarioSet& set, int nStock, long long tenors, int runs) {
  const long long n = static_cast<long long>(nStock);
  const long long prices =
      static_cast<long long>(set.spotLadder.size()) * (1 + (set.ladderEach ? n : 0)) +
      static_cast<long long>(set.gridSpots.size() * set.gridVols.size()) +
      static_cast<long long>(set.rateShifts.size() + set.dividendShifts.size() + set.correlationShifts.size());
  const long long vegas = set.vegaBuckets ? 2 * (n + tenors) : 0;
  return (prices + vegas) * (runs > 1 ? runs : 1);
}

ScenarioValues ValueScenarios(const FullCall& base, double basePrice, const ScenarioSet& set,
                              const ValuationOptions& options, void (*progress)(void*, int, int),
                              void* progressContext) {
  ScenarioValues out;
  FullCall plain = base;
  plain.CalcFlag = {0, 0};
  const std::vector<Planned> plan = Plan(set, plain);
  const BumpRow& vega = VegaRow();
  const int runs = options.replications > 1 ? options.replications : 1;
  // A vega's runs, one seed each, as the replications would take them.
  std::vector<ValuationOptions> runOptions(static_cast<std::size_t>(runs), options);
  for (int k = 0; k < runs && runs > 1; ++k) {
    runOptions[static_cast<std::size_t>(k)].replications = 1;
    runOptions[static_cast<std::size_t>(k)].seed = options.seed.value_or(0) + static_cast<std::uint64_t>(k);
  }
  int done = 0;
  for (const Planned& p : plan) {
    ScenarioRow row = p.row;
    if (!p.vega) {
      FullCall moved = plain;
      row.error = ApplyShift(p.shift, moved);
      if (row.error.empty()) {
        const Priced v = Price(moved, options);
        if (v.stopped) {
          out.interrupted = true;
          return out;
        }
        if (Take(v, row)) {
          row.value = v.price;
          row.standardError = v.se;
          row.change = v.price - basePrice;
        }
      }
    } else {
      ScenarioShift up = p.shift, down = p.shift;
      up.volMove = vega.up;
      down.volMove = -vega.down;
      FullCall upCall = plain, downCall = plain;
      ApplyShift(up, upCall);
      ApplyShift(down, downCall);
      const Bump bump{vega, p.shift.stock + 1};
      const BumpedSets unused;
      std::vector<double> g;
      for (const ValuationOptions& o : runOptions) {
        const Priced a = Price(upCall, o), b = Price(downCall, o);
        if (a.stopped || b.stopped) {
          out.interrupted = true;
          return out;
        }
        if (!Take(a, row) || !Take(b, row)) break;
        g.push_back(CombinePrices(bump, unused, a.price, b.price, 0.0));
      }
      if (row.status >= 0) {
        // The mean over the runs and the standard error of that mean.
        const double k = static_cast<double>(runs);
        double sum = 0.0, sq = 0.0;
        for (const double x : g) sum += x;
        row.value = sum / k;
        for (const double x : g) sq += (x - row.value) * (x - row.value);
        row.standardError = runs > 1 ? std::sqrt(sq / (k - 1.0) / k) : std::nan("");
        row.change = std::nan("");
      }
    }
    if (!row.error.empty() || row.status < 0) {
      row.value = row.standardError = row.change = std::nan("");
    }
    out.rows.push_back(std::move(row));
    ++done;
    if (progress != nullptr) progress(progressContext, done, static_cast<int>(plan.size()));
  }
  return out;
}

}  // namespace morvik
