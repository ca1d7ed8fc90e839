// Market files, notes that name their underlyings by id, positions and the
// book's sums, and the cash-flow CSV.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "termsheet/book_risk.h"
#include "termsheet/market_file.h"
#include "tests/support/text_lines.h"
#include "tools/morvik-price/app.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kExamples = MORVIK_EXAMPLES_DIR;
const std::string kMarket = kExamples + "/book/market.json";
const std::string kKrwById = kExamples + "/book/notes/krw_samsung_hyundai.json";
const std::string kUsdById = kExamples + "/book/notes/usd_asml_totalenergies.json";
const std::string kKrwInline = kExamples + "/two_stock_stepdown.json";
const std::string kUsdInline = kExamples + "/quanto_cash_dividends.json";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Market ReadExampleMarket() {
  Market m;
  TermSheetError error;
  EXPECT_TRUE(ReadMarketFile(kMarket, m, error)) << Describe(error);
  return m;
}

// `s` with one piece replaced (the piece must occur).
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  const std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

std::string With(const std::string& file, const std::string& from, const std::string& to) {
  return Replace(support::ReadFile(file), from, to);
}

// The error reading `text` on `market`, as the tool prints it.
std::string NoteError(const std::string& text, const Market* market) {
  Note note;
  TermSheetError error;
  if (ReadTermSheet(text, "note.json", note, error, market)) return "";
  return Describe(error);
}

std::string MarketError(const std::string& text) {
  Market m;
  TermSheetError error;
  if (ReadMarket(text, "market.json", m, error)) return "";
  return Describe(error);
}

NoteReport Priced(const std::string& file, const Market* market, const PriceRequest& request) {
  Note note;
  TermSheetError error;
  EXPECT_TRUE(ReadTermSheetFile(file, note, error, market)) << Describe(error);
  return PriceTermSheet(note, request);
}

TEST(MarketFile, ReadsTheExampleAndNamesEveryBadFieldByItsPath) {
  const Market m = ReadExampleMarket();
  EXPECT_EQ(m.pricingDate, 20250630);
  EXPECT_EQ(m.underlyings.size(), 4u);
  EXPECT_EQ(m.correlations.at({"HYUNDAI", "SAMSUNG"}), 0.42);
  EXPECT_TRUE(m.warnings.empty());

  const std::string good = support::ReadFile(kMarket);
  const auto bad = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return MarketError(s.replace(at, from.size(), to));
  };
  EXPECT_NE(bad("\"spot\": 60800", "\"spot\": -1").find("underlyings.SAMSUNG.spot: expected a positive spot"),
            std::string::npos);
  EXPECT_NE(bad("\"currency\": \"KRW\"", "\"currency\": \"KRW\", \"spto\": 1").find("underlyings.SAMSUNG.spto"),
            std::string::npos);
  EXPECT_NE(bad("\"currency\": \"EUR\"", "\"currency\": \"JPY\"").find("ASML.currency: JPY has no curve"),
            std::string::npos);
  EXPECT_NE(bad("\"yield\": 0.024", "\"yield\": \"2.4%\"").find("underlyings.SAMSUNG.dividends.yield"),
            std::string::npos);
  EXPECT_NE(bad("\"HYUNDAI\",\n      0.42", "\"KIA\",\n      0.42").find("correlations[0][1]: \"KIA\" is not"),
            std::string::npos);
  EXPECT_NE(bad("0.42\n    ]", "1.5\n    ]").find("correlations[0][2]: expected a correlation from -1 to 1"),
            std::string::npos);
  EXPECT_NE(bad("\"pricing_date\": \"2025-06-30\"", "\"pricing_date\": \"2025-02-30\"").find("pricing_date"),
            std::string::npos);
  // Positions of the fault: line and column in the market file.
  EXPECT_EQ(bad("\"spot\": 60800", "\"spot\": -1").rfind("line ", 0), 0u);
}

TEST(MarketFile, NotesByIdPriceTheBitsOfTheSameNotesWithTheDataWritten) {
  const Market m = ReadExampleMarket();
  PriceRequest request;
  request.trials = 1000;
  request.compute = 2;
  request.aligned = true;
  for (const auto& [byId, inline_] : {std::pair{kKrwById, kKrwInline}, std::pair{kUsdById, kUsdInline}}) {
    const NoteReport a = Priced(byId, &m, request);
    const NoteReport b = Priced(inline_, nullptr, request);
    ASSERT_TRUE(a.priced && b.priced) << a.inputError << b.inputError;
    ASSERT_GE(a.result.status, 0) << a.result.rejection;
    EXPECT_EQ(a.result.status, b.result.status);
    EXPECT_EQ(a.result.resultPrice, b.result.resultPrice) << byId;  // bit for bit, greeks included
    EXPECT_EQ(a.result.events, b.result.events);
    EXPECT_EQ(a.note.CurveInfo, b.note.CurveInfo);
    EXPECT_EQ(a.note.UnderlyingCorr, b.note.UnderlyingCorr);
  }
  // The explicit form carries the market's data: it reads back, with or
  // without the market file, into the same arrays.
  Note note, again, withMarket;
  TermSheetError error;
  ASSERT_TRUE(ReadTermSheetFile(kUsdById, note, error, &m));
  const std::string text = ExpandedText(note);
  ASSERT_TRUE(ReadTermSheet(text, "expanded", again, error)) << Describe(error);
  ASSERT_TRUE(ReadTermSheet(text, "expanded", withMarket, error, &m)) << Describe(error);
  EXPECT_EQ(again.inputs.FX_Vol, note.inputs.FX_Vol);
  EXPECT_EQ(again.inputs.FX_Corr, note.inputs.FX_Corr);
  EXPECT_EQ(again.inputs.Div, note.inputs.Div);
  EXPECT_EQ(withMarket.inputs.LocalVolSurface, note.inputs.LocalVolSurface);
  EXPECT_EQ(again.inputs.underlyingIds, (std::vector<std::string>{"ASML", "TTE"}));
}

TEST(MarketFile, MissingUnderlyingsConflictsAndTheOverrideRule) {
  const Market m = ReadExampleMarket();
  // An id the market lacks: the note's field, the id and the market file.
  EXPECT_NE(NoteError(With(kKrwById, "\"HYUNDAI\"", "\"KIA\""), &m)
                .find("underlyings[1].id: \"KIA\" is not in the market file " + kMarket),
            std::string::npos);
  // Ids without a market file.
  EXPECT_NE(NoteError(support::ReadFile(kKrwById), nullptr).find("underlyings[0].id: SAMSUNG's market data come"),
            std::string::npos);
  // The note's own spot beside the market's: refused, never ignored ...
  const std::string ownSpot = With(kKrwById, "\"base_price\": 60800", "\"base_price\": 60800, \"spot\": 61000");
  EXPECT_NE(NoteError(ownSpot, &m).find("underlyings[0].spot: SAMSUNG's spot comes from the market file"),
            std::string::npos);
  EXPECT_NE(NoteError(With(kKrwById, "\"currency\": \"KRW\",", "\"currency\": \"KRW\", \"correlation\": [[1, 0], "
                                                               "[0, 1]],"),
                      &m)
                .find("correlation: the correlations come from the market file"),
            std::string::npos);
  // ... unless the note says so: then the note's wins and the market fills the rest.
  const std::string overridden = Replace(ownSpot, "\"currency\": \"KRW\",", "\"currency\": \"KRW\", \"market_override\": true,");
  Note note;
  TermSheetError error;
  ASSERT_TRUE(ReadTermSheet(overridden, "o.json", note, error, &m)) << Describe(error);
  EXPECT_EQ(note.inputs.UnderlyingPrice[0], 61000.0);
  EXPECT_EQ(note.inputs.UnderlyingPrice[2], 203500.0);
  // Another day than the market's, override or not.
  EXPECT_NE(NoteError(Replace(overridden, "\"currency\": \"KRW\",", "\"currency\": \"KRW\", \"price_date\": "
                                                                 "\"2025-07-01\","),
                      &m)
                .find("price_date: 2025-07-01 is not the pricing date of the market file"),
            std::string::npos);
  // A quanto underlying needs its FX pair.
  Market noFx = m;
  noFx.fxVols = Json::object();
  EXPECT_NE(NoteError(support::ReadFile(kUsdById), &noFx).find("has no fx_vols \"EUR/USD\""), std::string::npos);
  // A warning on a field the market gave names the market file's path.
  Market highVol = m;
  highVol.underlyings["SAMSUNG"]["local_vol"]["vols"][0][0] = 25.0;
  ASSERT_TRUE(ReadTermSheetFile(kKrwById, note, error, &highVol)) << Describe(error);
  ASSERT_EQ(note.warnings.size(), 1u);
  EXPECT_EQ(note.warnings[0].rfind(kMarket + ": underlyings.SAMSUNG.local_vol.vols[0][0]: 2500 %", 0), 0u)
      << note.warnings[0];
  // A position is a quantity or a notional, not both.
  EXPECT_NE(NoteError(With(kKrwById, "\"quantity\": 3", "\"quantity\": 3, \"notional\": 1"), &m)
                .find("position: expected either"),
            std::string::npos);
}

struct Scratch {
  fs::path path = fs::temp_directory_path() / ("morvik_market_" + std::to_string(::getpid()));
  Scratch() { fs::create_directories(path); }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
    return (path / name).string();
  }
};

std::string RunTool(std::vector<std::string> args, std::string* err = nullptr, int* status = nullptr) {
  args.insert(args.begin(), "morvik-price");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, e;
  const int s = RunMorvikPrice(static_cast<int>(argv.size()), argv.data(), out, e, false);
  if (err) *err = e.str();
  if (status) *status = s;
  return out.str();
}

TEST(BookRisk, SumsOfATwoNoteBookAreTheScaledFiguresWithErrorsInQuadrature) {
  Scratch dir;
  // The KRW note held twice: 3 notes, and a short notional of 2 notes.
  const std::string shortCopy = dir.Write(
      "short.json", With(kKrwById, "\"quantity\": 3", "\"notional\": -2000000000"));
  const std::string riskCsv = (dir.path / "risk.csv").string();
  const std::string flowsCsv = (dir.path / "flows.csv").string();
  int status = -1;
  std::string err;
  const json doc = json::parse(RunTool({"--market", kMarket, kKrwById, shortCopy, kUsdById, "--full", "--stream",
                                    "aligned", "--trials", "1000", "--json", "--risk", riskCsv, "--cash-flows",
                                    flowsCsv},
                                   &err, &status));
  ASSERT_EQ(status, kExitPriced) << err;
  const json& notes = doc["notes"];
  const json& krw = doc["book"]["by_currency"][0];
  ASSERT_EQ(krw["currency"], "KRW");
  EXPECT_EQ(krw["positions"], 2);
  const double p = notes[0]["price"], se = notes[0]["price_se"];
  EXPECT_EQ(notes[1]["price"].get<double>(), p);  // the same note, the same bits
  EXPECT_EQ(krw["value"]["value"].get<double>(), 3.0 * p + -2.0 * p);
  EXPECT_EQ(krw["value"]["standard_error"].get<double>(), std::sqrt((3.0 * se) * (3.0 * se) + (2.0 * se) * (2.0 * se)));
  const double theta = notes[0]["theta"];
  EXPECT_EQ(krw["theta"]["value"].get<double>(), 3.0 * theta + -2.0 * theta);
  // By underlying: SAMSUNG's delta, and the currency's delta over both stocks.
  const json& samsung = doc["book"]["by_underlying"][0];
  ASSERT_EQ(samsung["underlying"], "SAMSUNG");
  const double d0 = notes[0]["greeks"][0]["delta"], d1 = notes[0]["greeks"][1]["delta"];
  EXPECT_EQ(samsung["delta"]["value"].get<double>(), 3.0 * d0 + -2.0 * d0);
  EXPECT_EQ(krw["delta"]["value"].get<double>(), ((3.0 * d0 + 3.0 * d1) + -2.0 * d0) + -2.0 * d1);
  // The quanto note in its own currency, scaled by its notional.
  const json& usd = doc["book"]["by_currency"][1];
  EXPECT_EQ(usd["currency"], "USD");
  EXPECT_EQ(usd["value"]["value"].get<double>(), 2.5 * notes[2]["price"].get<double>());

  // The CSV holds the same figures under one row each.
  const std::vector<std::string> risk = Lines(support::ReadFile(riskCsv));
  ASSERT_GE(risk.size(), 1u + 6 * 2 + 3 * 4);
  EXPECT_EQ(risk[0], "group,key,currency,quantity,value,standard_error,positions,notes_left_out");
  EXPECT_EQ(risk[1].rfind("currency,KRW,KRW,value," + ShortestDouble(3.0 * p + -2.0 * p) + ",", 0), 0u) << risk[1];
  // One cash-flow row per projected payment of each priced note.
  const std::vector<std::string> flows = Lines(support::ReadFile(flowsCsv));
  std::size_t payments = 0;
  for (const json& n : notes) payments += n["cash_flows"].size();
  EXPECT_EQ(flows.size(), 1 + payments);
  // The text report ends with the book's section, within the report's width.
  const std::string text = RunTool({"--market", kMarket, kKrwById, kUsdById, "--trials", "500"});
  const std::size_t at = text.find("Book: 2 positions");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NE(text.find("value", at), std::string::npos);
  EXPECT_NE(text.find("n/a", at), std::string::npos);  // greeks not asked for
  for (const std::string& line : Lines(text.substr(at))) EXPECT_LE(DisplayWidth(line), kReportWidth) << line;
  // Options that cannot go together: nothing is priced.
  RunTool({"--market", "-", "-"}, &err, &status);
  EXPECT_EQ(status, kExitUnusable);
  EXPECT_NE(err.find("standard input"), std::string::npos);
  RunTool({"--market", kMarket, kKrwById, "--csv", riskCsv, "--risk", riskCsv}, &err, &status);
  EXPECT_EQ(status, kExitUnusable);
  EXPECT_NE(err.find("--csv and --risk name the same file"), std::string::npos);
}

TEST(BookRisk, TwentyNotesOnOneMarketPriceAsWithTheirDataWrittenAndAddUp) {
  Scratch dir;
  std::vector<std::string> byId = {"--market", kMarket, "--trials", "300", "--json"};
  std::vector<std::string> written = {"--trials", "300", "--json"};
  for (int k = 0; k < 20; ++k) {
    const bool krw = k % 2 == 0;
    const std::string base = krw ? "\"base_price\": 60800" : "\"base_price\": 678.9";
    const std::string moved = "\"base_price\": " + std::to_string(krw ? 58000 + 400 * k : 650 + 5 * k);
    const std::string held = "\"quantity\": " + std::to_string(k + 1);
    std::string a = Replace(support::ReadFile(krw ? kKrwById : kUsdById), base, moved);
    a = Replace(a, krw ? "\"quantity\": 3" : "\"notional\": 5000000", held);
    const std::string notional = krw ? "\"notional\": 1000000000," : "\"notional\": 2000000,";
    std::string b = Replace(support::ReadFile(krw ? kKrwInline : kUsdInline), base, moved);
    b = Replace(b, notional, notional + " \"position\": {" + held + "},");
    byId.push_back(dir.Write("id_" + std::to_string(k) + ".json", a));
    written.push_back(dir.Write("written_" + std::to_string(k) + ".json", b));
  }
  const json x = json::parse(RunTool(byId)), y = json::parse(RunTool(written));
  double krwSum = 0.0, usdSum = 0.0;
  for (int k = 0; k < 20; ++k) {
    const double p = x["notes"][k]["price"];
    EXPECT_EQ(p, y["notes"][k]["price"].get<double>()) << k;
    (k % 2 == 0 ? krwSum : usdSum) += (k + 1) * p;
  }
  EXPECT_EQ(x["book"], y["book"]);
  EXPECT_EQ(x["book"]["by_currency"][0]["value"]["value"].get<double>(), krwSum);
  EXPECT_EQ(x["book"]["by_currency"][1]["value"]["value"].get<double>(), usdSum);
}

TEST(BookRisk, AGreekSomeNoteLacksIsUnknownAndFailedPositionsAreCounted) {
  std::vector<PositionedNote> notes = {{"a", "KRW", 2.0, false, false},
                                       {"b", "KRW", 1.0, false, false},
                                       {"c", "KRW", 1.0, false, true},
                                       {"d", "USD", 1.0, true, false}};
  const std::vector<NoteFigure> figures = {{0, "price", "", 10.0, 1.0}, {0, "delta", "X", 4.0, 0.5},
                                           {1, "price", "", 5.0, 2.0}};
  const BookRisk risk = SumPositions(notes, figures);
  ASSERT_EQ(risk.currencies.size(), 2u);
  EXPECT_EQ(risk.currencies[0].value.value, 25.0);
  EXPECT_EQ(risk.currencies[0].value.StandardError(), std::sqrt(4.0 + 4.0));
  EXPECT_TRUE(std::isnan(risk.currencies[0].delta.value));  // b has no delta
  EXPECT_TRUE(std::isnan(risk.underlyings[0].delta.value));
  EXPECT_EQ(risk.leftOut, std::vector<std::string>{"c"});
  EXPECT_EQ(risk.currencies[1].value.value, 0.0);  // over: nothing left to pay
  EXPECT_EQ(risk.currencies[1].delta.value, 0.0);
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
