// The scenarios a desk runs on a note: the set asked for (ScenarioSet, in
// the desk's units), what one scenario moves (ScenarioShift) and the rule
// that moves a copy of the full call's inputs by it (ApplyShift, each value
// moved by the sensitivities' own rules), and the valuation of a whole set
// on the note's stream and seed (ValueScenarios): every scenario shares the
// random numbers of the base valuation, so differences between scenarios
// are steady.
#pragma once

#include <string>
#include <vector>

#include "calls/full_call.h"
#include "calls/valuation.h"

namespace morvik {

enum class ScenarioKind {
  kSpotLadder,        // spots moved, of one underlying or of all together
  kSpotVolGrid,       // spots and whole local volatility grids moved together
  kRateShift,         // every rate curve and the discount curve in parallel
  kDividendShift,     // every dividend yield (cash amounts: see ScenarioShift)
  kCorrelationShift,  // every off-diagonal correlation
  kVegaParallel,      // one underlying's vega: its whole grid +/- one point
  kVegaBucket,        // the same for one time point (tenor) of its grid
};

// "spot_ladder", "spot_vol_grid", "rate_shift", "dividend_shift",
// "correlation_shift", "vega_parallel", "vega_bucket".
const char* ScenarioKindName(ScenarioKind kind);

// The unit a kind's shift is given in: "percent", "vol_points", "bp",
// "correlation".
const char* ScenarioShiftUnit(ScenarioKind kind);

// The scenarios asked for, in the desk's units. Empty lists ask for nothing.
struct ScenarioSet {
  std::vector<double> spotLadder;  // spot steps, per cent of the spot, all underlyings together
  bool ladderEach = false;         // the ladder of each underlying alone as well
  std::vector<double> gridSpots;   // spot x vol grid: spot steps (per cent) by
  std::vector<double> gridVols;    // local volatility shifts (vol points), all underlyings
  std::vector<double> rateShifts;      // basis points
  std::vector<double> dividendShifts;  // basis points
  std::vector<double> correlationShifts;  // absolute, added to every off-diagonal entry
  bool vegaBuckets = false;  // per underlying: one vega per tenor of its grid, and the parallel vega
  bool Empty() const;
};

// Most steps one list of a set may hold.
inline constexpr std::size_t kMaxScenarioSteps = 101;

// Why the set cannot be used, as one sentence without a final stop, or
// empty: every step finite, spot steps above -100 %, vol shifts within
// +/- 100 points, rate and dividend shifts within +/- 10000 bp,
// correlation shifts within [-2, 2], at most kMaxScenarioSteps steps a
// list, a grid with both its lists. `prefix` goes before an option's name
// ("--" for options), the names being those of the tool's options.
std::string ScenarioSetProblem(const ScenarioSet& set, const std::string& prefix = "");

// What one scenario moves, as fractions and absolute shifts. A shift of 0
// leaves its input exactly as it is.
struct ScenarioShift {
  int stock = -1;          // the underlying whose spot and grid move (0-based); -1 every one
  double spotMove = 0.0;   // spot x (1 + move); base prices and past fixings stay
  double volMove = 0.0;    // added to the local volatility, floored at kVolFloor
  int volTenor = -1;       // only this time point (column) of the grid; -1 the whole grid
  double rateMove = 0.0;   // added to every rate of every curve, the discount curve too
  // Added to every dividend yield (clipped to [-1, 1]); a cash dividend
  // moves by this fraction of the underlying's base price (clipped to
  // [0, base price]).
  double dividendMove = 0.0;
  // Added to every off-diagonal correlation, clipped to [-1, 1]; a matrix
  // that is then no longer positive semi-definite is refused.
  double correlationMove = 0.0;
};

// Moves `call` (a copy of a note's inputs) by `s`. Returns empty, or why the
// shift cannot be used (the correlation matrix it leaves), in which case
// `call` is partly moved and must not be priced. May throw std::bad_alloc.
std::string ApplyShift(const ScenarioShift& s, FullCall& call);

// The figures of one scenario. Ladders, grids and shifts: the price, its
// standard error and the change from the base price. Vegas: half the price
// change between +1 and -1 vol point (as the greeks' vega), with the spread
// of that difference over the runs when there are several (NaN with one),
// and no change.
struct ScenarioRow {
  ScenarioKind kind = ScenarioKind::kSpotLadder;
  int stock = -1;              // the underlying moved; -1 all of them
  double shift = 0.0;          // in the kind's unit (ScenarioShiftUnit); a vega's is 1
  double volShift = 0.0;       // the grid's vol points (0 for other kinds)
  double tenor = -1.0;         // a vega bucket's time point, in years (-1 for other kinds)
  int status = 1;              // the call's; negative: rejected, no figures
  ValidationFault fault;       // where a rejected call's check looked
  std::string error;           // why the row has no figures, when it has none
  double value = 0.0, standardError = 0.0, change = 0.0;
};

// Result of ValueScenarios: the rows in the set's order, or `interrupted`
// when the options' stop hook stopped a valuation (rows then incomplete).
struct ScenarioValues {
  std::vector<ScenarioRow> rows;
  bool interrupted = false;
};

// Values every scenario of `set` on the note `base` (price only) with
// `options` (the base valuation's stream, seed and replications), each
// scenario's change against `basePrice`. `progress(done, total)`, when
// given, follows each valuation. Never throws but std::bad_alloc.
ScenarioValues ValueScenarios(const FullCall& base, double basePrice, const ScenarioSet& set,
                              const ValuationOptions& options, void (*progress)(void*, int, int) = nullptr,
                              void* progressContext = nullptr);

// How many valuations ValueScenarios makes for `set` on a note of `nStock`
// underlyings with `tenors` time points in all their grids, with `runs`
// replications.
long long ScenarioValuations(const ScenarioSet& set, int nStock, long long tenors, int runs);

}  // namespace morvik
