// What a priced note looks like to people and programs: the text report,
// the JSON document and the CSV rows of a book of notes.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "termsheet/pricing.h"

namespace morvik {

// Lines of the text report are at most this many columns wide.
inline constexpr int kReportWidth = 100;

// `v` with `decimals` digits after the point ("%.*f").
std::string FixedDecimals(double v, int decimals);

// Money with thousands separators and two decimals: 1234567.891 -> "1,234,567.89".
std::string FormatMoney(double amount);

// A probability bar of `width` characters, '#' for the filled part.
std::string ProbabilityBar(double probability, int width);

// Columns `text` takes on a terminal (wide East Asian characters take two).
int DisplayWidth(const std::string& text);

// `text` cut to `width` columns, ending in "..." when cut.
std::string FitWidth(const std::string& text, int width);

// How the price splits: discounted outcomes, discounted coupons, redemption
// coupons of dates that do not redeem (from the probability of reaching
// them), and what is left (the order of the additions).
struct PriceBreakdown {
  double outcomes = 0.0;
  double coupons = 0.0;
  double redemptionCoupons = 0.0;
  double rest = 0.0;
};
PriceBreakdown BreakDownPrice(const NoteReport& r);

// The price in per cent of the notional; none without a positive notional.
std::optional<double> PricePercent(const NoteReport& r);

// Whether the note's result carries its greeks: asked for, and written by
// the call.
bool HasGreeks(const NoteReport& r);

// Entry k of a row of per-slot figures (NoteResult's eventDF, couponDF);
// NaN, none, past its end.
double SlotFigure(const std::vector<double>& row, std::size_t k);

// Entry k of a row of standard errors (NoteResult's eventSE, couponSE,
// resultSE); NaN, no error, past its end.
double ErrorAt(const std::vector<double>& errors, std::size_t k);

// Whether slot k of a row of settled flags (NoteResult's eventSettled,
// couponSettled) was settled on the pricing date; false past its end.
bool SettledAt(const std::vector<bool>& settled, std::size_t k);

// A figure whose standard error exceeds a third of its size: mostly noise.
bool MostlyNoise(double value, double se);

// The 95 % interval of the price: price -/+ 1.96 standard errors.
inline constexpr double kInterval95 = 1.959963984540054;

// One outcome slot or coupon of a priced note: its observation and payment
// dates (yyyymmdd), probability and its standard error (NaN: none), mean
// cash flow over all trials (undiscounted), discount factor of the payment
// and discounted cash flow.
struct SlotFlow {
  int observation = 0;
  int payment = 0;
  double probability = 0.0;
  double probabilitySE = 0.0;
  double cashFlow = 0.0;
  double discountFactor = 0.0;
  double discounted = 0.0;
};

// The outcome slots of a priced note in slot order: redemption on each
// observation date, then maturity without and with knock-in (both on the
// last date). Empty for a note that was not priced or was rejected.
std::vector<SlotFlow> OutcomeFlows(const NoteReport& r);

// The coupons of a priced note in schedule order (empty as OutcomeFlows).
std::vector<SlotFlow> CouponFlows(const NoteReport& r);

// One projected payment of a priced note, its payment still to come: a
// redemption outcome, a coupon, or a redemption coupon (paid on the paths
// that reach its date and do not redeem there). `amount` is its mean over
// all trials, undiscounted; its standard error is the payment times the
// probability's when the payment is one amount on every path that gets it,
// NaN (not known) when it depends on the path (a slope, tiers of different
// amounts). Slots settled on the pricing date have errors of 0.
struct ProjectedFlow {
  int payment = 0;
  int observation = 0;
  // "redemption", "maturity_no_knock_in", "maturity_knock_in", "coupon",
  // "redemption_coupon": with the payment date, a unique key
  const char* kind = "";
  std::string label;      // OutcomeLabel, "coupon 3", "redemption coupon, date 2"
  double probability = 0.0;
  double probabilitySE = 0.0;
  double amount = 0.0;
  double amountSE = 0.0;
  double discountFactor = 0.0;
  double discounted = 0.0;
  double discountedSE = 0.0;
  bool settled = false;
};

// The projected cash flows of a priced note in payment-date order (slot
// order within a date); their discounted values add up to the price but
// for rounding. Empty for a note without figures.
std::vector<ProjectedFlow> CashFlowSchedule(const NoteReport& r);

// How the reports name outcome slot `slot` of a note of `N` observation
// dates: "early, date 3", "final, date 8", "maturity, no knock-in",
// "maturity, knock-in".
std::string OutcomeLabel(int N, int slot);

// The greeks of one underlying and their standard errors (NaN: none).
struct StockGreeks {
  std::string underlying;
  double delta = 0.0, gamma = 0.0, vega = 0.0;
  double deltaSE = 0.0, gammaSE = 0.0, vegaSE = 0.0;
};

// The greeks of a priced note: one row per underlying when it carries its
// greeks (HasGreeks), and theta and rho with their errors when it was asked
// for them as well.
struct NoteGreeks {
  std::vector<StockGreeks> stocks;
  std::optional<double> theta, rho;
  double thetaSE = 0.0, rhoSE = 0.0;
};
NoteGreeks GreeksOf(const NoteReport& r);

// "alive", "redeemed", "matured" or "over", as the reports write the state.
const char* StateName(NoteState s);

// The life cycle of a note as the JSON report writes it (state, summary,
// settlement, past events).
Json LifeCycleJson(const NoteReport& r);

// One note as the JSON report writes it: an element of JsonReport's "notes".
Json NoteJson(const NoteReport& r);

// The human report of a note: price, outcomes, coupons, greeks, ladder;
// for a note that is over, how it ended; for a rejected note the reason,
// and for a file that could not be read the error. Lines fit kReportWidth
// columns.
void WriteTextReport(std::ostream& out, const NoteReport& r);

// All notes as one JSON document {"notes": [...]}, every double written in
// the shortest form that reads back to the library's value.
std::string JsonReport(const std::vector<NoteReport>& notes);

// The columns of the long-form CSV, in order; the tool's CSV and a book's
// table (the Python package's) have these and then kErrorColumn: why a note
// has no figures.
inline constexpr std::array<const char*, 7> kCsvColumns = {
    "note", "pricing_date", "trials", "quantity", "underlying", "value", "standard_error"};
inline constexpr const char* kErrorColumn = "error";

// One row of the long-form CSV. Empty text, no trials and NaN are empty
// fields (a non-finite number is written as an empty field as well).
struct CsvRow {
  std::string note;
  std::string pricingDate;
  std::optional<long long> trials;
  std::string quantity;
  std::string underlying;
  double value = 0.0;
  double standardError = 0.0;
  std::string error;  // why the note has no figures; empty for a priced note
};

// The rows of one note, one per quantity: its status (the call's code, or
// empty when it was not priced), then for a note that is over the amount it
// settled, for a priced note the price, the price in per cent of the
// notional, the probabilities of early redemption, of maturity and of knock
// in, and the greeks asked for (delta, gamma, vega by underlying, then theta
// and rho). A note that could not be read or was rejected has its reason in
// `error`: the line the tool writes for it on standard error ("FILE:
// rejected, code -2025: ..."), as a book's error is the message of its
// exception.
std::vector<CsvRow> CsvRows(const NoteReport& r);

// The header line and one row as a line of the CSV, without the line break:
// the tool's columns, and with `errorColumn` a book's error column after them.
std::string CsvHeader(bool errorColumn);
std::string CsvLine(const CsvRow& row, bool errorColumn);

// Long-form CSV: CsvHeader with the error column, then the CsvRows of every
// note, a line each.
void WriteCsv(std::ostream& out, const std::vector<NoteReport>& notes);

// One CSV field: `s` as it is, or in double quotes (inner quotes doubled)
// when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& s);

// The scenario rows of the reports: the base valuation (scenario "base",
// the note's price) and then the note's scenarios in the request's order.
// `underlying` is the name of the one moved, or "all"; `shift` is in
// `unit` ("percent" of the spot, "vol_points", "bp", "correlation");
// `volShift` (vol points) belongs to the spot x vol grid and `tenor` (years)
// to a vega bucket, NaN elsewhere. A vega's `change` is NaN (it is itself a
// difference); a scenario without figures has NaN figures and its reason.
struct ScenarioRecord {
  std::string note;
  std::string scenario;
  std::string underlying;
  double shift = 0.0;
  std::string unit;
  double volShift = 0.0;
  double tenor = 0.0;
  double value = 0.0, standardError = 0.0, change = 0.0;
  std::string error;
};
std::vector<ScenarioRecord> ScenarioRecords(const NoteReport& r);

// The columns of the scenario CSV, in order.
inline constexpr std::array<const char*, 11> kScenarioColumns = {
    "note", "scenario", "underlying", "shift", "shift_unit", "vol_shift", "tenor",
    "value", "standard_error", "change", "error"};
// How a scenario CSV begins (an existing one may be replaced).
inline constexpr const char* kScenarioCsvStart = "note,scenario,";

// The scenario CSV: its header, then the ScenarioRecords of every priced
// note that has scenarios, a line each (numbers as the tool's CSV writes
// them, NaN as an empty field).
void WriteScenarioCsv(std::ostream& out, const std::vector<NoteReport>& notes);

// The note's scenarios as the JSON report writes them (its "scenarios"),
// or null when it has none.
Json ScenariosJson(const NoteReport& r);

// The scenarios' section of the text report (nothing when none were asked).
void WriteScenarioText(std::ostream& out, const NoteReport& r);

}  // namespace morvik
