// Scenarios of a note: on the random numbers of its price, per underlying
// and together, bucketed vegas against the parallel one, refused shifts and
// the tool's options and scenario CSV.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/text_lines.h"
#include "tools/morvik-price/app.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = MORVIK_EXAMPLES_DIR;
const std::string kStepDown = kExamples + "/two_stock_stepdown.json";
const std::string kPhoenix = kExamples + "/three_stock_monthly_coupons.json";

NoteReport Priced(const std::string& file, const PriceRequest& request) {
  Note note;
  TermSheetError error;
  if (!ReadTermSheetFile(file, note, error)) return UnusableReport(file, error);
  return PriceTermSheet(note, request);
}

NoteReport PricedText(const std::string& text, const PriceRequest& request) {
  const fs::path p = fs::temp_directory_path() / ("morvik_scen_" + std::to_string(::getpid()) + ".json");
  std::ofstream(p, std::ios::binary) << text;
  NoteReport r = Priced(p.string(), request);
  fs::remove(p);
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct ToolResult {
  int status = -1;
  std::string out, err;
};

ToolResult Tool(std::vector<std::string> args) {
  args.insert(args.begin(), "morvik-price");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  ToolResult r;
  r.status = RunMorvikPrice(static_cast<int>(argv.size()), argv.data(), out, err, false);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// The rows of one kind, keyed by underlying and shift.
std::map<std::pair<int, double>, ScenarioRow> RowsOf(const NoteReport& r, ScenarioKind kind) {
  std::map<std::pair<int, double>, ScenarioRow> rows;
  for (const ScenarioRow& row : r.result.scenarios)
    if (row.kind == kind) rows[{row.stock, row.shift}] = row;
  return rows;
}

TEST(Scenarios, ZeroShiftsGiveTheBasePriceBitForBitOnEveryStream) {
  for (const bool aligned : {false, true}) {
    PriceRequest request;
    request.trials = 600;
    request.aligned = aligned;
    request.seed = 7;
    request.compute = 1;
    request.scenarios.spotLadder = {0.0};
    request.scenarios.ladderEach = true;
    request.scenarios.gridSpots = {0.0};
    request.scenarios.gridVols = {0.0};
    request.scenarios.rateShifts = {0.0};
    request.scenarios.dividendShifts = {0.0};
    request.scenarios.correlationShifts = {0.0};
    const NoteReport r = Priced(kPhoenix, request);
    ASSERT_EQ(r.result.status, 1) << r.result.rejection;
    ASSERT_EQ(r.result.scenarios.size(), 8u);  // all, three alone, grid, rate, dividend, correlation
    for (const ScenarioRow& row : r.result.scenarios) {
      EXPECT_EQ(row.value, r.result.resultPrice[0]) << ScenarioKindName(row.kind) << " " << row.stock;
      EXPECT_EQ(row.change, 0.0);
      EXPECT_EQ(row.standardError, r.result.priceSE);
    }
  }
}

TEST(Scenarios, LadderTogetherAndPerUnderlyingMatchSeparateRuns) {
  PriceRequest request;
  request.trials = 800;
  request.ladder = true;
  request.scenarios.spotLadder = {-30, -20, -10, 0, 10, 20, 30};
  request.scenarios.ladderEach = true;
  request.scenarios.gridSpots = {-10};
  request.scenarios.gridVols = {0};
  const NoteReport r = Priced(kStepDown, request);
  ASSERT_EQ(r.result.status, 1) << r.result.rejection;
  const auto ladder = RowsOf(r, ScenarioKind::kSpotLadder);
  ASSERT_EQ(ladder.size(), 21u);
  // All together: the fixed ladder's points, bit for bit, rising with the spot.
  for (std::size_t k = 0; k < r.result.ladderMoves.size(); ++k) {
    const ScenarioRow& row = ladder.at({-1, 100.0 * r.result.ladderMoves[k]});
    EXPECT_EQ(row.value, r.result.ladderPrices[k]);
    EXPECT_EQ(row.change, row.value - r.result.resultPrice[0]);
    if (k > 0) {
      EXPECT_GT(row.value, ladder.at({-1, 100.0 * r.result.ladderMoves[k - 1]}).value);
    }
  }
  EXPECT_EQ(RowsOf(r, ScenarioKind::kSpotVolGrid).at({-1, -10.0}).value, ladder.at({-1, -10.0}).value);
  // One underlying alone: the note with that spot alone at 70 % (60800 x 0.7
  // rounds to 42560 exactly), priced on its own.
  std::string text = support::ReadFile(kStepDown);
  text.replace(text.find("\"spot\": 60800"), 13, "\"spot\": 42560");
  PriceRequest plain;
  plain.trials = 800;
  const NoteReport alone = PricedText(text, plain);
  ASSERT_EQ(alone.result.status, 1);
  EXPECT_EQ(ladder.at({0, -30.0}).value, alone.result.resultPrice[0]);
  EXPECT_NE(ladder.at({0, -30.0}).value, ladder.at({1, -30.0}).value);
  EXPECT_GT(ladder.at({0, -30.0}).value, ladder.at({-1, -30.0}).value);  // one falling costs less than both
}

// A point of the spot x vol grid is the note with every spot and every local
// volatility moved, priced on its own with the same random numbers.
TEST(Scenarios, GridPointMatchesTheNoteWithItsInputsMoved) {
  PriceRequest request;
  request.trials = 800;
  request.scenarios.gridSpots = {-10};
  request.scenarios.gridVols = {5};
  const NoteReport r = Priced(kStepDown, request);
  ASSERT_EQ(r.result.status, 1) << r.result.rejection;
  nlohmann::json sheet = nlohmann::json::parse(support::ReadFile(kStepDown));
  for (auto& u : sheet["underlyings"]) {
    u["spot"] = u["spot"].get<double>() * (1.0 + -10.0 / 100.0);
    for (auto& row : u["local_vol"]["vols"])
      for (auto& v : row) v = v.get<double>() + 5.0 / 100.0;
  }
  PriceRequest plain;
  plain.trials = 800;
  const NoteReport moved = PricedText(sheet.dump(), plain);
  ASSERT_EQ(moved.result.status, 1) << moved.result.rejection;
  const ScenarioRow& point = r.result.scenarios.at(0);
  EXPECT_EQ(point.kind, ScenarioKind::kSpotVolGrid);
  EXPECT_EQ(point.value, moved.result.resultPrice[0]);
  EXPECT_LT(point.value, r.result.resultPrice[0]);
}

TEST(Scenarios, BucketVegasAddUpToTheParallelVegaWhichIsTheGreeksVega) {
  PriceRequest request;
  request.trials = 1500;
  request.aligned = true;
  request.compute = 1;
  request.threads = 2;
  request.scenarios.vegaBuckets = true;
  const NoteReport r = Priced(kStepDown, request);
  ASSERT_EQ(r.result.status, 1) << r.result.rejection;
  const NoteGreeks greeks = GreeksOf(r);
  for (int i = 0; i < 2; ++i) {
    double parallel = std::nan(""), sum = 0.0;
    int buckets = 0;
    for (const ScenarioRow& row : r.result.scenarios) {
      if (row.stock != i) continue;
      if (row.kind == ScenarioKind::kVegaParallel) parallel = row.value;
      if (row.kind == ScenarioKind::kVegaBucket) {
        sum += row.value;
        ++buckets;
        EXPECT_GT(row.tenor, 0.0);
        EXPECT_TRUE(std::isnan(row.standardError));  // one run: no spread to measure
      }
    }
    EXPECT_EQ(buckets, r.note.NVol[static_cast<std::size_t>(i)]);
    // Same bumps on the same random numbers as the greeks' vega (which sums
    // its blocks of paths in another order).
    const double vega = greeks.stocks[static_cast<std::size_t>(i)].vega;
    EXPECT_NEAR(parallel, vega, 1e-9 * std::fabs(vega));
    EXPECT_NEAR(sum, parallel, 3.0 * greeks.stocks[static_cast<std::size_t>(i)].vegaSE) << i;
    EXPECT_NE(sum, parallel);  // buckets are bumped one by one, not as the whole grid
  }

  // Over replications every vega gets the spread of its runs.
  PriceRequest runs;
  runs.trials = 300;
  runs.replications = 3;
  runs.scenarios.vegaBuckets = true;
  for (const ScenarioRow& row : Priced(kStepDown, runs).result.scenarios) {
    EXPECT_TRUE(std::isfinite(row.standardError) && row.standardError > 0.0) << ScenarioKindName(row.kind);
  }
}

TEST(Scenarios, ShiftsThatCannotBeUsedAreRefusedWithAReason) {
  // A correlation shift that leaves a matrix no longer positive
  // semi-definite is refused for the note; its other scenarios are priced.
  PriceRequest request;
  request.trials = 300;
  request.scenarios.correlationShifts = {-1.5, 0.1};
  const NoteReport r = Priced(kPhoenix, request);
  ASSERT_EQ(r.result.scenarios.size(), 2u);
  EXPECT_NE(r.result.scenarios[0].error.find("not positive semi-definite"), std::string::npos);
  EXPECT_EQ(r.result.scenarios[0].error.find("row 0"), std::string::npos) << "rows count from 1";
  EXPECT_TRUE(std::isnan(r.result.scenarios[0].value));
  EXPECT_TRUE(r.result.scenarios[1].error.empty());
  EXPECT_TRUE(std::isfinite(r.result.scenarios[1].value));

  const auto problem = [](void (*set)(ScenarioSet&)) {
    PriceRequest q;
    set(q.scenarios);
    return RequestProblem(q, "--");
  };
  EXPECT_NE(problem([](ScenarioSet& s) { s.spotLadder = {-100}; }).find("--spot-ladder takes steps above -100"),
            std::string::npos);
  EXPECT_NE(problem([](ScenarioSet& s) { s.rateShifts = {NAN}; }).find("--rate-shift"), std::string::npos);
  EXPECT_NE(problem([](ScenarioSet& s) { s.gridSpots = {1}; }).find("SPOTS:VOLS"), std::string::npos);
  EXPECT_NE(problem([](ScenarioSet& s) { s.ladderEach = true; }).find("--ladder-each needs"), std::string::npos);
  EXPECT_NE(problem([](ScenarioSet& s) { s.correlationShifts = {2.5}; }).find("--correlation-shift"),
            std::string::npos);
  EXPECT_EQ(problem([](ScenarioSet& s) { s.dividendShifts = {-10000, 10000}; }), "");
}

TEST(Scenarios, ToolOptionsReportAndCsv) {
  const fs::path csv = fs::temp_directory_path() / ("morvik_scen_" + std::to_string(::getpid()) + ".csv");
  const ToolResult r = Tool({kPhoenix, "--trials", "300", "--spot-ladder=-10,0,10", "--vol-grid", "0:-1,1",
                      "--rate-shift", "25", "--dividend-shift", "-25", "--correlation-shift=-1.5",
                      "--vega-buckets", "--scenario-csv", csv.string()});
  // The refused correlation shift is a failure of the note's run.
  EXPECT_EQ(r.status, kExitRejected) << r.err;
  EXPECT_NE(r.err.find("scenario correlation_shift -1.5: the correlation shift"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Scenarios ("), std::string::npos);
  for (const std::string& line : Lines(r.out)) EXPECT_LE(DisplayWidth(line), kReportWidth) << line;
  const std::vector<std::string> lines = Lines(support::ReadFile(csv.string()));
  fs::remove(csv);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "note,scenario,underlying,shift,shift_unit,vol_shift,tenor,value,standard_error,change,error");
  // base, 3 ladder, 2 grid, rate, dividend, correlation, 3 x (parallel + buckets)
  std::size_t tenors = 0;
  for (const std::string& line : lines) tenors += line.find(",vega_bucket,") != std::string::npos;
  EXPECT_EQ(lines.size(), 1u + 1u + 3u + 2u + 3u + 3u + tenors);
  EXPECT_GT(tenors, 2u);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--spot-ladder", "1,,2"}, {"--vol-grid", "1,2"}, {"--ladder-each"},
        {"--scenario-csv", "x.csv"}, {"--rate-shift", "1e9"}}) {
    std::vector<std::string> args = {kStepDown, "--trials", "100"};
    args.insert(args.end(), bad.begin(), bad.end());
    const ToolResult b = Tool(args);
    EXPECT_EQ(b.status, kExitUnusable) << bad[0];
    EXPECT_NE(b.err.find(bad[0] == "--scenario-csv" ? "needs a scenario" : bad[0]), std::string::npos) << b.err;
  }
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
