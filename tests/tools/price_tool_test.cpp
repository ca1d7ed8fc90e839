// morvik-price: examples, agreement with a direct pricing call, error
// classes and exit statuses, the book with threads, ladder, CSV and the
// binary itself.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "calls/full_call.h"
#include "calls/status_messages.h"
#include "interface/morvik.h"
#include "testing/test_notes.h"
#include "tests/support/text_lines.h"
#include "tools/morvik-price/app.h"
#include "tools/morvik-price/progress.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kExamples = MORVIK_EXAMPLES_DIR;
const std::string kStepDown = kExamples + "/two_stock_stepdown.json";
const std::string kPhoenix = kExamples + "/three_stock_monthly_coupons.json";
const std::string kQuanto = kExamples + "/quanto_cash_dividends.json";
const std::string kMidLife = kExamples + "/mid_life_pending_coupon.json";

std::string ReadAll(const std::string& file) { return support::ReadFile(file); }

// A term sheet file read and priced with the request, as the command does.
NoteReport ReadAndPrice(const std::string& file, const PriceRequest& request) {
  Note note;
  TermSheetError error;
  if (!ReadTermSheetFile(file, note, error)) return UnusableReport(file, error);
  return PriceTermSheet(note, request);
}

// A scratch directory, removed with everything in it.
struct ScratchDir {
  fs::path path;
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path = fs::temp_directory_path() / (std::string("morvik_price_") + info->name() + "_" +
                                        std::to_string(static_cast<long>(::getpid())));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string Write(const std::string& name, const std::string& text) const {
    const fs::path p = path / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
};

// An example's text with one piece replaced (the piece must occur).
std::string ExampleWith(const std::string& file, const std::string& from, const std::string& to) {
  std::string s = ReadAll(file);
  const std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

ToolRun Tool(std::vector<std::string> args) {
  args.insert(args.begin(), "morvik-price");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  ToolRun r;
  r.status = RunMorvikPrice(static_cast<int>(argv.size()), argv.data(), out, err, false);
  r.out = out.str();
  r.err = err.str();
  return r;
}

bool Contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(StatusMessages, EveryValidationCodeHasItsOwnSentence) {
  const int codes[] = {-1,    -100,  -200,  -201,  -205,  -206,  -207,  -210,  -211,  -212,  -300,  -301,
                       -302,  -303,  -304,  -2004, -2006, -2007, -2025, -2026, -2030, -2031, -2032, -2034,
                       -2040, -2041, -2042, -2043, -2044, -2050, -2051, -2052, -2053, -2054, -2055, -2056,
                       -2057, -2058, -2071, -2072, -2073, -2075, -2077, -2078, -2085, -2086, -2090, -2115,
                       -2116, -2201, -2202, -2215, -2216, -2217, -2218, -2219, -10,   -11};
  const std::string unknown = StatusMessage(-99999);
  std::set<std::string> seen;
  for (int c : codes) {
    const std::string s = StatusMessage(c);
    EXPECT_NE(s, unknown) << c;
    EXPECT_TRUE(seen.insert(s).second) << "sentence shared by code " << c;
  }
  EXPECT_TRUE(Contains(StatusMessage(-302), "second date pending"));
  EXPECT_TRUE(Contains(StatusMessage(-2025), "correlation"));
  EXPECT_EQ(std::string(StatusMessage(1)), "Priced.");
  // The library's own statuses are not ones the exports may return.
  EXPECT_FALSE(IsKnownStatus(-10));
  EXPECT_FALSE(IsKnownStatus(-11));
}

TEST(ReportFormat, MoneyAndBars) {
  EXPECT_EQ(FormatMoney(1234567.891), "1,234,567.89");
  EXPECT_EQ(FormatMoney(999.995), "1,000.00");  // 999.995 is stored just above: rounds up
  EXPECT_EQ(FormatMoney(-12345.5), "-12,345.50");
  EXPECT_EQ(FormatMoney(-0.004), "0.00");
  EXPECT_EQ(FormatMoney(0.0), "0.00");
  EXPECT_EQ(FormatMoney(100.0), "100.00");
  EXPECT_EQ(ProbabilityBar(0.5, 10), "#####     ");
  EXPECT_EQ(ProbabilityBar(1.0, 4), "####");
  EXPECT_EQ(ProbabilityBar(0.0, 3), "   ");
  EXPECT_EQ(ProbabilityBar(1.5, 3), "###");
}

TEST(PriceRequestOptions, OptionsRaiseTheTermSheetSettings) {
  NoteInputs n;
  n.CalcFlag = {2, 0};
  n.NTrials = 10000;
  PriceRequest r;
  r.compute = 1;
  r.trials = 250;
  r.log = true;
  const NoteInputs m = WithRequest(n, r);
  EXPECT_EQ(m.CalcFlag, (std::vector<int>{2, 1}));  // --greeks never lowers "full"
  EXPECT_EQ(m.NTrials, 250.0);
  const NoteInputs same = WithRequest(n, PriceRequest{});
  EXPECT_EQ(same.CalcFlag, (std::vector<int>{2, 0}));
  EXPECT_EQ(same.NTrials, 10000.0);
  EXPECT_EQ(LadderMoves(), (std::vector<double>{-0.3, -0.2, -0.1, 0.0, 0.1, 0.2, 0.3}));
}

// The one check of a request: the fields no option of the tool can reach
// (Python passes them as given), each named with the value at fault.
TEST(PriceRequestOptions, TheRequestsCheckNamesEachFieldOutOfRange) {
  const auto problem = [](auto change) {
    PriceRequest r;
    change(r);
    return RequestProblem(r);
  };
  EXPECT_EQ(problem([](PriceRequest&) {}), "");
  EXPECT_EQ(problem([](PriceRequest& r) { r.trials = 0; }), "trials takes a whole number from 1 to 1000000000, not \"0\"");
  EXPECT_NE(problem([](PriceRequest& r) { r.trials = kMaxTrials + 1; }), "");
  EXPECT_NE(problem([](PriceRequest& r) { r.compute = 3; }), "");
  EXPECT_NE(problem([](PriceRequest& r) { r.seed = -1; r.aligned = true; }), "");
  EXPECT_EQ(problem([](PriceRequest& r) { r.seed = kMaxAlignedSeed; r.aligned = true; r.replications = 64; }), "");
  EXPECT_NE(problem([](PriceRequest& r) { r.seed = 64; }), "");
  EXPECT_NE(problem([](PriceRequest& r) { r.replications = 1LL << 40; }), "");
  // Replications are 2 to 64 runs, or none (one run); convergence follows one run.
  EXPECT_EQ(problem([](PriceRequest& r) { r.replications = 1; }),
            "replications takes a whole number from 2 to 64, not \"1\"");
  EXPECT_EQ(problem([](PriceRequest& r) { r.replications = 2; }), "");
  EXPECT_EQ(problem([](PriceRequest& r) { r.convergence = true; }), "");
  PriceRequest both;
  both.replications = 3;
  both.convergence = true;
  EXPECT_EQ(RequestProblem(both, "--"), "--convergence follows one run: it cannot be combined with --replications");
}

TEST(PriceExamples, EveryExampleParsesAndPrices) {
  PriceRequest req;
  req.trials = 500;
  for (const std::string& file : {kStepDown, kPhoenix, kQuanto, kMidLife}) {
    SCOPED_TRACE(file);
    const NoteReport rep = ReadAndPrice(file, req);
    ASSERT_TRUE(rep.usable) << rep.inputError;
    const NoteResult& r = rep.result;
    ASSERT_GE(r.status, 1) << r.rejection;
    const int N = rep.note.NStrike;
    double total = 0.0;
    for (int s = 0; s < N + 2; ++s) {
      EXPECT_GE(r.events[s], 0.0);
      EXPECT_GE(r.events[N + 2 + s], 0.0);
      total += r.events[s];
    }
    EXPECT_NEAR(total, 1.0, 1e-9);  // every path ends in exactly one outcome
    EXPECT_TRUE(std::isfinite(r.resultPrice[0]));
    EXPECT_GT(r.resultPrice[0], 0.0);
    EXPECT_LT(r.resultPrice[0], 1.5 * rep.note.NotionalAMT);
  }
}

TEST(PriceExamples, MidLifeNoteSettlesItsPendingCouponAndSkipsPaidDates) {
  PriceRequest req;
  req.trials = 500;
  const NoteReport rep = ReadAndPrice(kMidLife, req);
  ASSERT_TRUE(rep.usable) << rep.inputError;
  const NoteResult& r = rep.result;
  ASSERT_GE(r.status, 1) << r.rejection;
  const int N = rep.note.NStrike;
  const int Q = rep.note.NCoupon;
  // The first two observations and coupons are paid: no outcome lands there.
  for (int s = 0; s < 2; ++s) {
    EXPECT_EQ(r.events[s], 0.0);
    EXPECT_EQ(r.events[N + 2 + s], 0.0);
    EXPECT_EQ(r.coupons[s], 0.0);
    EXPECT_EQ(r.coupons[Q + s], 0.0);
  }
  // The 2025-06-27 coupon is observed, unbreached and pending: paid for sure,
  // 2 % of a 3,000,000 notional.
  EXPECT_EQ(r.coupons[2], 1.0);
  EXPECT_NEAR(r.coupons[Q + 2], 0.02 * 3000000.0, 1e-6);
  EXPECT_LT(r.coupons[3], 1.0);
  // The library says which slots it settled: the paid ones and the pending
  // coupon, not the third date, whose window has begun but is not over.
  std::vector<bool> dates(N + 2, false), coupons(Q, false);
  dates[0] = dates[1] = true;
  coupons[0] = coupons[1] = coupons[2] = true;
  EXPECT_EQ(r.eventSettled, dates);
  EXPECT_EQ(r.couponSettled, coupons);
}

TEST(PriceJson, OutputEqualsADirectCallOnTheSameArrays) {
  // The step-down example's arrays, written out by hand from the term sheet.
  FullCall c = testing::StepDownExampleNote();
  const int status = c.Call();
  const std::vector<double>& events = c.ELS_Prob_n_Cf;
  const std::vector<double>& price = c.ResultPrice;
  ASSERT_GE(status, 1);

  const ToolRun run = Tool({kStepDown, "--json", "--greeks", "--trials", "500"});
  ASSERT_EQ(run.status, kExitPriced) << run.err;
  const json doc = json::parse(run.out);
  ASSERT_EQ(doc["notes"].size(), 1u);
  const json& note = doc["notes"][0];
  EXPECT_EQ(note["status"].get<int>(), status);
  EXPECT_EQ(note["price"].get<double>(), price[0]);
  EXPECT_EQ(note["price_percent"].get<double>(), 100.0 * price[0] / 1.0e9);
  ASSERT_EQ(note["redemption"].size(), 6u);
  for (int s = 0; s < 6; ++s) {
    EXPECT_EQ(note["redemption"][s]["probability"].get<double>(), events[s]) << s;
    EXPECT_EQ(note["redemption"][s]["cash_flow"].get<double>(), events[8 + s]) << s;
  }
  EXPECT_EQ(note["redemption"][2]["observation"], "2026-12-28");
  EXPECT_EQ(note["redemption"][2]["payment"], "2026-12-31");
  EXPECT_EQ(note["maturity"]["no_knock_in"]["probability"].get<double>(), events[6]);
  EXPECT_EQ(note["maturity"]["knock_in"]["probability"].get<double>(), events[7]);
  EXPECT_EQ(note["maturity"]["no_knock_in"]["cash_flow"].get<double>(), events[14]);
  EXPECT_EQ(note["maturity"]["knock_in"]["cash_flow"].get<double>(), events[15]);
  EXPECT_TRUE(note["coupons"].empty());
  ASSERT_EQ(note["greeks"].size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(note["greeks"][i]["delta"].get<double>(), price[1 + i]);
    EXPECT_EQ(note["greeks"][i]["gamma"].get<double>(), price[3 + i]);
    EXPECT_EQ(note["greeks"][i]["vega"].get<double>(), price[5 + i]);
  }
  EXPECT_EQ(note["greeks"][1]["underlying"], "Hyundai Motor");
  EXPECT_FALSE(note.contains("theta"));  // only with --full
}

TEST(PriceErrors, TextThatIsNotJsonNamesLineAndColumn) {
  ScratchDir dir;
  // A missing comma after the currency on line 4: reading stops at the end
  // of the next token, "price_date", which ends in column 14 of line 5.
  const std::string file = dir.Write("broken.json", ExampleWith(kStepDown, "\"KRW\",", "\"KRW\""));
  const ToolRun r = Tool({file});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.err, file + ": line 5, column 14: not valid JSON: ")) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST(PriceErrors, MissingOrMistypedFieldNamesItsPath) {
  ScratchDir dir;
  const std::string bad = dir.Write("bad_date.json", ExampleWith(kStepDown, "\"2026-12-31\"", "\"2026-12-32\""));
  ToolRun r = Tool({bad});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.err, bad + ": line 96, column 7: redemption[2].payment: \"2026-12-32\" is not a date: "
                              "December 2026 has 31 days")) << r.err;
  const std::string missing = dir.Write("no_notional.json", ExampleWith(kStepDown, "\"notional\"", "\"notionnal\""));
  r = Tool({missing});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.err, "notionnal: unknown field")) << r.err;
  r = Tool({dir.path.string() + "/nowhere.json"});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.err, "nowhere.json: no such file")) << r.err;
}

TEST(PriceErrors, RejectedNoteGivesCodeSentenceAndIndex) {
  ScratchDir dir;
  const std::string corr = dir.Write("corr.json", ExampleWith(kStepDown, "[1.0, 0.42]", "[1.0, 1.42]"));
  ToolRun r = Tool({corr, "--trials", "500"});
  EXPECT_EQ(r.status, kExitRejected);
  EXPECT_TRUE(Contains(r.err, corr + ": rejected, code -2025: " + StatusMessage(-2025))) << r.err;
  EXPECT_TRUE(Contains(r.err, "correlation[0][1]")) << r.err;
  EXPECT_TRUE(r.out.empty());
  // Its CSV row gives the reason in the last column.
  const std::vector<CsvRow> rows = CsvRows(ReadAndPrice(corr, PriceRequest{}));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].error.rfind(corr + ": rejected, code -2025: ", 0), 0u) << rows[0].error;
  EXPECT_TRUE(Contains(r.err, rows[0].error + "\n")) << rows[0].error;
  // The report of a rejected note, or of a file that did not read, gives the
  // reason and no figures.
  PriceRequest few;
  few.trials = 500;
  for (const std::string& file : {corr, (dir.path / "missing.json").string()}) {
    std::ostringstream text;
    WriteTextReport(text, ReadAndPrice(file, few));
    EXPECT_TRUE(Contains(text.str(), file == corr ? "Rejected, code -2025" : "missing.json: no such file")) << text.str();
    EXPECT_FALSE(Contains(text.str(), "Price:")) << text.str();
  }

  // Rows that disagree: the pair is named at its element below the diagonal.
  const std::string pair = dir.Write("pair.json", ExampleWith(kStepDown, "[1.0, 0.42]", "[1.0, 0.24]"));
  r = Tool({pair, "--trials", "500"});
  EXPECT_EQ(r.status, kExitRejected);
  EXPECT_TRUE(Contains(r.err, "code -2026: " + std::string(StatusMessage(-2026)))) << r.err;
  EXPECT_TRUE(Contains(r.err, "correlation[1][0]")) << r.err;

  // A knock-out barrier below the 90 % strike of the second date.
  const std::string ko = dir.Write(
      "ko.json", ExampleWith(kStepDown, "\"payment\": \"2026-07-01\",", "\"payment\": \"2026-07-01\", \"knock_out_barrier\": 0.8,"));
  r = Tool({ko, "--trials", "500"});
  EXPECT_EQ(r.status, kExitRejected);
  EXPECT_TRUE(Contains(r.err, "code -2053")) << r.err;
  EXPECT_TRUE(Contains(r.err, "redemption[1] (observation 2026-06-26)")) << r.err;
  EXPECT_TRUE(Contains(r.err, "underlyings[0] (Samsung Electronics)")) << r.err;

  // A negative base price of the second underlying.
  const std::string base = dir.Write("base.json", ExampleWith(kStepDown, "\"base_price\": 203500", "\"base_price\": -1"));
  r = Tool({base, "--json"});
  EXPECT_EQ(r.status, kExitRejected);
  const json doc = json::parse(r.out);
  EXPECT_EQ(doc["notes"][0]["status"].get<int>(), -2007);
  EXPECT_TRUE(Contains(doc["notes"][0]["error"].get<std::string>(), "underlyings[1] (Hyundai Motor)"));
}

TEST(PriceErrors, MissingFixingsNameTheWindowOrTheCouponDate) {
  ScratchDir dir;
  // Rows moved under a comment key are not read. The window of the third
  // date has begun: its closes up to the pricing date are needed.
  const std::string noWindow =
      dir.Write("no_window.json", ExampleWith(kMidLife, "\"fixings\": [", "\"fixings\": [], \"_dropped\": ["));
  ToolRun r = Tool({noWindow});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.err, "past.fixings: no close for 2025-06-28: the window of redemption[2] (2025-06-28 to "
                              "2025-07-02) up to the pricing date needs one row per day")) << r.err;
  // The third coupon is observed and not yet paid: its close is needed.
  const std::string noCoupon = dir.Write(
      "no_coupon.json", ExampleWith(kMidLife, "\"coupon_fixings\": [", "\"coupon_fixings\": [], \"_dropped\": ["));
  r = Tool({noCoupon});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.err, "past.coupon_fixings: no close for 2025-06-27: the coupon of coupons.schedule[2]")) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST(PriceErrors, OptionsAndExitStatusOfABook) {
  EXPECT_EQ(Tool({}).status, kExitUnusable);  // no note
  EXPECT_EQ(Tool({kStepDown, "--jobs", "0"}).status, kExitUnusable);
  EXPECT_EQ(Tool({kStepDown, "--threads", "0"}).status, kExitUnusable);
  EXPECT_EQ(Tool({kStepDown, "--trials", "many"}).status, kExitUnusable);
  EXPECT_EQ(Tool({kStepDown, "--frobnicate"}).status, kExitUnusable);
  const ToolRun help = Tool({"--help"});
  EXPECT_EQ(help.status, kExitPriced);
  EXPECT_TRUE(Contains(help.out, "--ladder"));

  ScratchDir dir;
  const std::string rejected = dir.Write("r.json", ExampleWith(kStepDown, "\"spot\": 60800", "\"spot\": 0"));
  const std::string unusable = dir.Write("u.json", "{");
  ToolRun r = Tool({kStepDown, rejected, "--trials", "300"});
  EXPECT_EQ(r.status, kExitRejected);
  EXPECT_TRUE(Contains(r.out, "Price: "));  // the good note is still reported
  EXPECT_TRUE(Contains(r.err, "code -2006"));
  r = Tool({rejected, unusable, kStepDown, "--trials", "300"});
  EXPECT_EQ(r.status, kExitUnusable);
  EXPECT_TRUE(Contains(r.out, "Price: "));
}

TEST(PriceBookRun, ResultsDoNotDependOnJobsOrThreads) {
  const std::vector<std::string> base = {kStepDown, kPhoenix, kQuanto, kMidLife, "--json", "--full", "--trials", "300"};
  std::vector<std::string> one = base, two = base, threaded = base;
  one.insert(one.end(), {"--jobs", "1"});
  two.insert(two.end(), {"--jobs", "2"});
  threaded.insert(threaded.end(), {"--jobs", "2", "--threads", "3"});
  const ToolRun a = Tool(one);
  const ToolRun b = Tool(two);
  const ToolRun c = Tool(threaded);
  ASSERT_EQ(a.status, kExitPriced) << a.err;
  ASSERT_EQ(b.status, kExitPriced) << b.err;
  ASSERT_EQ(c.status, kExitPriced) << c.err;
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(a.out, c.out);  // every greek printed in full: bit for bit
  const json doc = json::parse(a.out);
  ASSERT_EQ(doc["notes"].size(), 4u);
  EXPECT_EQ(doc["notes"][1]["file"], kPhoenix);  // file order, not finishing order
  EXPECT_EQ(doc["notes"][1]["coupons"].size(), 24u);
}

TEST(PriceBookRun, LadderMovesEveryUnderlyingTogether) {
  const ToolRun r = Tool({kStepDown, "--ladder", "--json", "--trials", "300"});
  ASSERT_EQ(r.status, kExitPriced) << r.err;
  const json note = json::parse(r.out)["notes"][0];
  ASSERT_EQ(note["ladder"].size(), 7u);
  EXPECT_EQ(note["ladder"][3]["move"].get<double>(), 0.0);
  EXPECT_EQ(note["ladder"][3]["price"].get<double>(), note["price"].get<double>());
  // A lower basket can only knock in more and redeem less.
  EXPECT_LT(note["ladder"][0]["price"].get<double>(), note["ladder"][6]["price"].get<double>());

  // The -30 % point equals a plain price of the note with both spots at 70 %.
  ScratchDir dir;
  std::string moved = ExampleWith(kStepDown, "\"spot\": 60800", "\"spot\": 42560");
  const std::size_t at = moved.find("\"spot\": 203500");
  ASSERT_NE(at, std::string::npos);
  moved.replace(at, 14, "\"spot\": 142450");
  const ToolRun down = Tool({dir.Write("down.json", moved), "--json", "--trials", "300"});
  ASSERT_EQ(down.status, kExitPriced) << down.err;
  EXPECT_EQ(json::parse(down.out)["notes"][0]["price"].get<double>(), note["ladder"][0]["price"].get<double>());
  const ToolRun text = Tool({kStepDown, "--ladder", "--trials", "300"});
  EXPECT_TRUE(Contains(text.out, "Spot ladder"));
  EXPECT_TRUE(Contains(text.out, "-30 %"));
}

// Cells of a CSV line; a quoted cell has its quotes removed and inner
// quotes undoubled.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
      cells.back() += '"';
      ++k;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

TEST(PriceBookRun, CsvHasOneValuePerCellInLongForm) {
  ScratchDir dir;
  const std::string csv = (dir.path / "book.csv").string();
  const std::string broken = dir.Write("broken.json", "{\"price_date\": }");
  const ToolRun r = Tool({kStepDown, broken, kQuanto, "--csv", csv, "--json", "--full", "--trials", "300"});
  EXPECT_EQ(r.status, kExitUnusable);
  const json doc = json::parse(r.out);
  std::ifstream in(csv);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "note,pricing_date,trials,quantity,underlying,value,standard_error,error");
  // Per priced note: status, price, price_percent, three probabilities, a
  // delta, gamma and vega per underlying, theta and rho; the broken note
  // has its status row only.
  ASSERT_EQ(lines.size(), 1u + 14u + 1u + 14u);
  std::map<std::string, double> step;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::vector<std::string> c = Cells(lines[k]);
    ASSERT_EQ(c.size(), 8u) << lines[k];
    // Errors for the price and the probabilities; none for the status, nor
    // for the greeks on the default stream.
    const bool hasError = c[3] == "price" || c[3] == "price_percent" || c[3].find("probability") != std::string::npos;
    EXPECT_EQ(c[6].empty(), !hasError) << lines[k];
    if (c[0] == broken) {
      EXPECT_EQ(c[3], "status");
      EXPECT_TRUE(c[5].empty());
      // Its reason, as standard error gives it.
      EXPECT_EQ(c[7].rfind(broken + ": line 1, column 16: not valid JSON", 0), 0u) << lines[k];
      EXPECT_TRUE(Contains(r.err, c[7] + "\n")) << c[7];
      continue;
    }
    EXPECT_TRUE(c[7].empty()) << lines[k];
    EXPECT_EQ(c[1], "2025-06-30");
    EXPECT_EQ(c[2], "300");
    char* end = nullptr;
    const double v = std::strtod(c[5].c_str(), &end);
    EXPECT_TRUE(!c[5].empty() && *end == '\0') << lines[k];  // one number, nothing else
    if (c[0] == kStepDown) step[c[3] + "/" + c[4]] = v;
  }
  // Values read back as the JSON's doubles, bit for bit.
  const json& note = doc["notes"][0];
  EXPECT_EQ(step["status/"], 1.0);
  EXPECT_EQ(step["price/"], note["price"].get<double>());
  EXPECT_EQ(step["theta/"], note["theta"].get<double>());
  EXPECT_EQ(step["rho/"], note["rho"].get<double>());
  EXPECT_EQ(step["delta/Hyundai Motor"], note["greeks"][1]["delta"].get<double>());
  EXPECT_EQ(step["vega/Samsung Electronics"], note["greeks"][0]["vega"].get<double>());
  EXPECT_EQ(step["knock_in_probability/"], note["maturity"]["knock_in"]["probability"].get<double>());
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::vector<std::string> c = Cells(lines[k]);
    if (c[0] != kStepDown) continue;
    if (c[3] == "price") {
      EXPECT_EQ(std::strtod(c[6].c_str(), nullptr), note["price_se"].get<double>());
    }
    if (c[3] == "knock_in_probability") {
      EXPECT_EQ(std::strtod(c[6].c_str(), nullptr), note["maturity"]["knock_in"]["probability_se"].get<double>());
    }
  }
  EXPECT_EQ(Tool({kStepDown, "--csv", (dir.path / "no" / "such" / "dir.csv").string()}).status, kExitUnusable);
}

// The precision options: the aligned stream the same on any number of
// threads with an error for every greek, the convergence table whose rows
// are runs of that many trials, seeds, replications and their limits.
TEST(PricePrecision, StreamsSeedsConvergenceAndReplications) {
  const std::vector<std::string> aligned = {kStepDown, "--json", "--full", "--trials", "200", "--stream", "aligned",
                                            "--seed", "5"};
  std::vector<std::string> threaded = aligned;
  threaded.insert(threaded.end(), {"--threads", "2"});
  const ToolRun a = Tool(aligned);
  const ToolRun b = Tool(threaded);
  ASSERT_EQ(a.status, kExitPriced) << a.err;
  EXPECT_EQ(a.out, b.out);
  const json note = json::parse(a.out)["notes"][0];
  EXPECT_EQ(note["stream"], "aligned");
  EXPECT_EQ(note["seed"].get<int>(), 5);
  for (const char* g : {"delta_se", "gamma_se", "vega_se"}) EXPECT_GT(note["greeks"][1][g].get<double>(), 0.0) << g;
  EXPECT_GT(note["rho_se"].get<double>(), 0.0);
  const double se = note["price_se"].get<double>();
  EXPECT_NEAR(note["price_interval_95"][1].get<double>() - note["price"].get<double>(), 1.96 * se, 1e-3 * se);

  const ToolRun conv = Tool({kStepDown, "--json", "--trials", "1200", "--convergence", "--seed", "7"});
  ASSERT_EQ(conv.status, kExitPriced) << conv.err;
  const json rows = json::parse(conv.out)["notes"][0]["convergence"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1]["paths"].get<int>(), 1200);
  const ToolRun thousand = Tool({kStepDown, "--json", "--trials", "1000", "--seed", "7"});
  const json t = json::parse(thousand.out)["notes"][0];
  EXPECT_EQ(rows[0]["price"].get<double>(), t["price"].get<double>());
  EXPECT_EQ(rows[0]["price_se"].get<double>(), t["price_se"].get<double>());
  EXPECT_NE(t["price"].get<double>(), json::parse(Tool({kStepDown, "--json", "--trials", "1000"}).out)["notes"][0]["price"]);

  const ToolRun reps = Tool({kStepDown, "--greeks", "--trials", "200", "--replications", "3", "--seed", "10"});
  ASSERT_EQ(reps.status, kExitPriced) << reps.err;
  EXPECT_TRUE(Contains(reps.out, "mean of 3 runs on seeds 10 to 12")) << reps.out;
  EXPECT_TRUE(Contains(reps.out, "each with its standard error below it"));
  EXPECT_TRUE(Contains(reps.out, "95 % interval: "));
  EXPECT_TRUE(Contains(reps.out, " ± "));

  EXPECT_EQ(Tool({kStepDown, "--seed", "64"}).status, kExitUnusable);
  EXPECT_EQ(Tool({kStepDown, "--seed", "62", "--replications", "3"}).status, kExitUnusable);
  EXPECT_EQ(Tool({kStepDown, "--stream", "halton"}).status, kExitUnusable);
  EXPECT_EQ(Tool({kStepDown, "--replications", "0"}).status, kExitUnusable);
  // One run is no replication, as --help says; convergence is of one run.
  const ToolRun one = Tool({kStepDown, "--replications", "1"});
  EXPECT_EQ(one.status, kExitUnusable);
  EXPECT_EQ(one.err, "morvik-price: --replications takes a whole number from 2 to 64, not \"1\".\n");
  const ToolRun mixed = Tool({kStepDown, "--convergence", "--replications", "3"});
  EXPECT_EQ(mixed.status, kExitUnusable);
  EXPECT_EQ(mixed.err, "morvik-price: --convergence follows one run: it cannot be combined with --replications.\n");
  EXPECT_EQ(Tool({kStepDown, "--stream", "aligned", "--seed", "64", "--trials", "100"}).status, kExitPriced);
}

// The quasi-random stream: the same on any number of threads, errors for
// every greek, and the combinations it refuses, each with its reason.
TEST(PricePrecision, SobolStreamAndItsScramblings) {
  const std::vector<std::string> sobol = {kStepDown, "--json", "--greeks", "--trials", "256", "--stream", "sobol",
                                          "--scrambles", "8", "--seed", "3"};
  std::vector<std::string> threaded = sobol;
  threaded.insert(threaded.end(), {"--threads", "3"});
  const ToolRun a = Tool(sobol);
  ASSERT_EQ(a.status, kExitPriced) << a.err;
  EXPECT_EQ(a.out, Tool(threaded).out);
  const json note = json::parse(a.out)["notes"][0];
  EXPECT_EQ(note["stream"], "sobol");
  EXPECT_EQ(note["scrambles"].get<int>(), 8);
  for (const char* g : {"delta_se", "gamma_se", "vega_se"}) EXPECT_GT(note["greeks"][0][g].get<double>(), 0.0) << g;
  EXPECT_TRUE(Contains(Tool({kStepDown, "--trials", "256", "--stream", "sobol"}).out, "16 scramblings"));
  // The early-redemption share's error is the scramblings' spread, as the
  // maturity share's is: with a knock-in no path reaches, the two shares
  // sum to 1 in every scrambling.
  ScratchDir dir;
  json edited = json::parse(ReadAll(kStepDown));
  edited["knock_in"]["barrier"] = 0.01;
  const std::string noKnockIn = dir.Write("no_knock_in.json", edited.dump());
  const std::string csv = (dir.path / "sobol.csv").string();
  ASSERT_EQ(Tool({noKnockIn, "--trials", "256", "--stream", "sobol", "--csv", csv}).status, kExitPriced);
  std::ifstream in(csv);
  std::map<std::string, double> se;
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> c = Cells(line);
    if (c.size() == 8u && c[3].find("probability") != std::string::npos) se[c[3]] = std::stod(c[6]);
  }
  ASSERT_EQ(se.count("early_redemption_probability"), 1u);
  EXPECT_GT(se["maturity_probability"], 0.0);
  EXPECT_NEAR(se["early_redemption_probability"], se["maturity_probability"], 1e-9 * se["maturity_probability"]);

  const auto refused = [](std::vector<std::string> args, const std::string& reason) {
    const ToolRun r = Tool(args);
    EXPECT_EQ(r.status, kExitUnusable) << r.out;
    EXPECT_TRUE(Contains(r.err, reason)) << r.err;
  };
  refused({kStepDown, "--stream", "sobol", "--trials", "1000"}, "not a whole multiple of 16");
  refused({kStepDown, "--stream", "sobol", "--scrambles", "1"}, "--scrambles takes a whole number from 2 to 1024");
  refused({kStepDown, "--scrambles", "8"}, "--scrambles belongs to --stream sobol");
  refused({kStepDown, "--stream", "sobol", "--convergence"}, "convergence is not kept on the sobol stream");
  refused({kStepDown, "--estimator", "conditional", "--stream", "default"}, "not on the default stream");
  refused({kStepDown, "--estimator", "smooth"}, "--estimator takes plain or conditional");
  // The conditional estimator implies the aligned stream and says so.
  const ToolRun smooth = Tool({kStepDown, "--estimator", "conditional", "--trials", "200", "--json"});
  EXPECT_EQ(smooth.status, kExitPriced) << smooth.err;
  EXPECT_TRUE(Contains(smooth.out, "\"stream\": \"aligned\"") && Contains(smooth.out, "\"estimator\": \"conditional\""))
      << smooth.out;
  // The term sheet's own 10000 trials among 3 scramblings: that note is rejected.
  const ToolRun sheet = Tool({kStepDown, "--stream", "sobol", "--scrambles", "3"});
  EXPECT_EQ(sheet.status, kExitRejected);
  EXPECT_TRUE(Contains(sheet.err, "10000 trials is not a whole multiple of 3")) << sheet.err;
}

// A book shows its progress on standard error only when that is a
// terminal; each note reports through the hook of its request.
TEST(PriceBookRun, ProgressLineOnlyOnATerminal) {
  std::ostringstream drawn;
  ProgressLine line(drawn, 2, true);
  const ProgressCallback first = line.ForNote(0);
  ASSERT_NE(first.fn, nullptr);
  first.fn(first.ctx, 0.25);
  EXPECT_EQ(drawn.str(), "\rpriced 0 of 2 notes; running: 25 %");
  line.NoteDone(0);
  line.Finish();
  EXPECT_EQ(drawn.str().substr(drawn.str().rfind('\r')), "\rpriced 1 of 2 notes" + std::string(15, ' ') + "\n");  // the longer line blanked
  std::ostringstream quiet;
  ProgressLine off(quiet, 2, false);
  EXPECT_EQ(off.ForNote(0).fn, nullptr);
  off.NoteDone(0);
  off.Print("c.json: warning: w\n");
  off.Finish();
  EXPECT_EQ(quiet.str(), "c.json: warning: w\n");

  const std::vector<std::string> book = {"morvik-price", kStepDown, kQuanto, "--trials", "300", "--json"};
  std::vector<const char*> argv;
  for (const std::string& a : book) argv.push_back(a.c_str());
  for (bool terminal : {true, false}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunMorvikPrice(static_cast<int>(argv.size()), argv.data(), out, err, terminal), kExitPriced);
    EXPECT_EQ(Contains(err.str(), "\rpriced 2 of 2 notes"), terminal) << err.str();
  }
}

// Messages go between redraws of the line; a note's run is estimated from
// its first paths.
TEST(PriceBookRun, MessagesAndEstimatesKeepTheProgressLine) {
  std::ostringstream drawn;
  ProgressLine line(drawn, 2, true);
  const ProgressCallback first = line.ForNote(0);
  first.fn(first.ctx, 0.25);
  // A message while the line is drawn: the line blanked, the message, the line again.
  line.Print("a.json: warning: w\n");
  EXPECT_EQ(drawn.str(), "\rpriced 0 of 2 notes; running: 25 %\r" + std::string(34, ' ') +
                             "\ra.json: warning: w\n\rpriced 0 of 2 notes; running: 25 %");
  drawn.str("");
  {
    // A note's estimate comes from its first 1 % of paths, once; its
    // progress goes on to the line. 0.7 s for 1 % is a run of over a minute.
    RunEstimate clock(line, 1, "b.json", 5000);
    const ProgressCallback hook = clock.Hook();
    hook.fn(hook.ctx, 0.001);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    hook.fn(hook.ctx, 0.01);
    hook.fn(hook.ctx, 0.02);
    const std::string said = drawn.str();
    EXPECT_TRUE(Contains(said, "running: 25 %, 1 %")) << said;
    EXPECT_TRUE(Contains(said, "\rb.json: about 1 min ")) << said;
    EXPECT_TRUE(Contains(said, " for 5000 trials (from its first 1 % of paths)\n")) << said;
    EXPECT_EQ(said.find("about"), said.rfind("about")) << said;
  }
}

// Each input the tool cannot use gets one clear message and status 2, and no
// price is printed.
TEST(PriceErrors, BadInputsGiveAClearMessageAndExit2) {
  ScratchDir dir;
  const std::string dup = dir.Write("dup.json", ExampleWith(kStepDown, "\"notional\": 1000000000,",
                                                            "\"notional\": 1000000000, \"notional\": 10000000,"));
  const std::string big = dir.Write("big.json", ExampleWith(kStepDown, "\"yield\": 0.024", "\"yield\": 1e400"));
  const std::string binary = dir.Write("photo.json", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  const std::string early = dir.Write(
      "early.json", ExampleWith(kStepDown, "\"price_date\": \"2025-06-30\",",
                                "\"price_date\": \"2025-12-26\", \"past\": {\"fixings\": [{\"date\": \"2025-12-25\", "
                                "\"prices\": [1, 1]}, {\"date\": \"2025-12-26\", \"prices\": [1, 1]}]},"));
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{dup}, dup + ": line 6, column 27: key \"notional\" given twice in one object (first at line 6, column 3)"},
      {{big}, big + ": line 35, column 18: number 1e400 is beyond the range of a double"},
      {{binary}, binary + ": line 1, column 1: not a text file: byte 0x89 is not UTF-8 text"},
      {{dir.path.string()}, dir.path.string() + ": is a directory, not a term sheet"},
      {{early}, early + ": line 5, column 52: past.fixings[0]: 2025-12-25 is not a day of the window of redemption[0]"},
      {{kStepDown, "--trials", "100.5"}, "morvik-price: --trials takes a whole number from 1 to 1000000000, not \"100.5\"."},
      {{kStepDown, "--trials", "1e12"}, "not \"1e12\""},
      {{kStepDown, "--trials", "0"}, "not \"0\""},
      {{kStepDown, "--threads", "-2"}, "morvik-price: --threads takes a whole number from 1 to 256, not \"-2\"."},
      {{kStepDown, "--threads", "9999999999"}, "--threads takes a whole number from 1 to 256, not \"9999999999\"."},
      {{kStepDown, "--seed", "-1"}, "--seed takes a whole number from 0 to 999999999999999999, not \"-1\"."},
      {{kStepDown, "--seed", "62", "--replications", "3"}, "seed 62 with 3 replications needs seeds up to 64"},
      {{kStepDown, "--trials"}, "morvik-price: --trials needs a value (see morvik-price --help)."},
      {{kStepDown, kQuanto, "--expand"}, "morvik-price: --expand takes one term sheet"},
  };
  for (const auto& c : cases) {
    const ToolRun r = Tool(c.args);
    EXPECT_EQ(r.status, kExitUnusable) << c.message;
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    EXPECT_FALSE(Contains(r.out, "Price")) << r.out;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;  // one line
  }
}

// The guarded run, as main and python -m morvik price run the command: an
// exception (here: standard output fails on the first write) becomes one
// line on standard error and exit status 2.
TEST(PriceErrors, AnExceptionOfTheGuardedRunIsOneLineAndExit2) {
  struct FailingBuf : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
  } failing;
  std::ostream out(&failing);
  out.exceptions(std::ios::badbit);
  std::ostringstream err;
  const char* argv[] = {"morvik-price", kStepDown.c_str(), "--trials", "1000"};
  EXPECT_EQ(RunMorvikPriceGuarded(4, argv, out, err, false), kExitUnusable);
  const std::string text = err.str();
  EXPECT_EQ(text.rfind("morvik-price: ", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
}

// Legal but suspicious values warn, with their place, and the note is priced.
TEST(PriceErrors, SuspiciousValuesWarnAndThePriceFollows) {
  ScratchDir dir;
  std::string text = ReadAll(kStepDown);
  text.replace(text.find("[0.4375, 0.435"), 7, "[43.75");
  text.replace(text.find("\"barrier\": 0.5"), 14, "\"barrier\": 1.2");
  const std::string file = dir.Write("odd.json", text);
  const ToolRun r = Tool({file, "--trials", "300"});
  EXPECT_EQ(r.status, kExitPriced) << r.err;
  EXPECT_TRUE(Contains(r.out, "Price: "));
  EXPECT_TRUE(Contains(r.err, file + ": warning: line 24, column 12: underlyings[0].local_vol.vols[0][0]: 4375 % is a "
                                     "local volatility above 200 %")) << r.err;
  EXPECT_TRUE(Contains(r.err, file + ": warning: line 70, column 5: knock_in.barrier: 120 % is a knock-in barrier "
                                     "above 100 % of the base price")) << r.err;
  EXPECT_TRUE(Contains(r.err, file + ": warning: trials: 300 trials are fewer than 1000")) << r.err;
  EXPECT_FALSE(Contains(Tool({kStepDown, "--trials", "1000"}).err, "warning")) ;
  // A coupon of 72 million % of the notional (amounts are fractions).
  const std::string absurd = dir.Write("absurd.json", ExampleWith(kStepDown, "\"amount\": 0.055", "\"amount\": 720000"));
  const ToolRun big = Tool({absurd, "--trials", "1000"});
  EXPECT_EQ(big.status, kExitPriced) << big.err;
  EXPECT_TRUE(Contains(big.err, absurd + ": warning: line ")) << big.err;
  EXPECT_TRUE(Contains(big.err, "redemption[1].tiers: 72000000 % of the notional is a redemption amount beyond 100 %"))
      << big.err;
}

// Lines fit 100 columns whatever the names; beside each mean cash flow its
// discounted value, and the discounted parts add up to the price.
TEST(PriceReport, TextFitsItsWidthAndDiscountsEveryOutcome) {
  ScratchDir dir;
  std::string text = ReadAll(kMidLife);
  const auto replace = [&text](const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("\"name\": \"Siemens\"", "\"name\": \"Siemens Aktiengesellschaft, registered shares, Xetra close (EUR)\"");
  std::string name;  // 60000 columns in 10000 words: cut to one line, as names are cut
  for (int k = 0; k < 10000; ++k) name += "Nnnnn ";
  replace("\"EUR 2y memory autocall on Siemens and SAP, in mid-life\"", "\"" + name + "\"");
  std::string korean;  // five times Samsung Electronics in Hangul: 44 columns
  for (int k = 0; k < 5; ++k) korean += std::string(k ? " " : "") + "\xEC\x82\xBC\xEC\x84\xB1\xEC\xA0\x84\xEC\x9E\x90";
  replace("\"name\": \"SAP\"", "\"name\": \"" + korean + "\"");
  const std::string file = dir.Write("long.json", text);
  const ToolRun r = Tool({file, "--full", "--ladder", "--trials", "300"});
  ASSERT_EQ(r.status, kExitPriced) << r.err;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(DisplayWidth(line), kReportWidth) << line;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + file.size() + 4), FitWidth(name, kReportWidth) + "\n(" + file + ")\n");
  EXPECT_TRUE(Contains(r.out, "discounted"));
  EXPECT_TRUE(Contains(r.out, "Siemens Aktiengesellschaft, r..."));

  const json doc = json::parse(Tool({kMidLife, "--json", "--trials", "300"}).out)["notes"][0];
  double sum = 0.0;
  for (const json& d : doc["redemption"]) {
    EXPECT_EQ(d["discounted_cash_flow"].get<double>(), d["discount_factor"].get<double>() * d["cash_flow"].get<double>());
    sum += d["discounted_cash_flow"].get<double>();
  }
  for (const char* k : {"no_knock_in", "knock_in"}) sum += doc["maturity"][k]["discounted_cash_flow"].get<double>();
  const json& b = doc["price_breakdown"];
  EXPECT_NEAR(b["discounted_outcomes"].get<double>(), sum, 1e-6);
  const double price = doc["price"].get<double>();
  EXPECT_LT(std::fabs(b["rest"].get<double>()), 1e-9 * price);  // rounding only
  EXPECT_GT(b["discounted_coupons"].get<double>(), 0.0);
}

// The projected cash flows: payments still to come in date order, whose
// discounted values make the price; a fixed payment's error is its amount
// times the probability's, a payment with a slope has none.
TEST(PriceReport, CashFlowScheduleMakesThePrice) {
  PriceRequest few;
  few.trials = 2000;
  for (const std::string& file : {kMidLife, kPhoenix, kStepDown}) {
    const NoteReport r = ReadAndPrice(file, few);
    ASSERT_TRUE(r.priced && r.result.status >= 0) << file;
    const std::vector<ProjectedFlow> flows = CashFlowSchedule(r);
    ASSERT_FALSE(flows.empty());
    double sum = 0.0;
    for (std::size_t k = 0; k < flows.size(); ++k) {
      const ProjectedFlow& f = flows[k];
      EXPECT_GT(f.payment, r.note.PriceDate) << f.label;
      if (k > 0) {
        EXPECT_LE(flows[k - 1].payment, f.payment) << f.label;
      }
      EXPECT_EQ(f.discounted, f.discountFactor * f.amount) << f.label;
      sum += f.discounted;
      const std::string kind = f.kind;
      if (kind == "coupon" && !f.settled) {
        const int c = std::stoi(f.label.substr(7)) - 1;
        EXPECT_EQ(f.amountSE, r.note.Coupon[c] * r.note.NotionalAMT * f.probabilitySE) << f.label;
        EXPECT_GT(f.amountSE, 0.0) << f.label;
      }
      if (f.label == "maturity, knock-in") {
        EXPECT_TRUE(std::isnan(f.amountSE));  // the worst performance: a slope
      }
      if (f.label == "maturity, no knock-in" && f.probability > 0.0) {
        EXPECT_NEAR(f.amountSE / f.probabilitySE, f.amount / f.probability, 1e-6 * r.note.NotionalAMT);
      }
    }
    EXPECT_NEAR(sum, r.result.resultPrice[0], 1e-9 * r.note.NotionalAMT) << file;
    const json doc = json::parse(JsonReport({r}))["notes"][0]["cash_flows"];
    ASSERT_EQ(doc.size(), flows.size());
    EXPECT_EQ(doc[0]["discounted"].get<double>(), flows[0].discounted);
  }
  // The mid-life note's coupon observed before the pricing date, paid first,
  // is settled: no error.
  const std::vector<ProjectedFlow> mid = CashFlowSchedule(ReadAndPrice(kMidLife, few));
  EXPECT_TRUE(mid[0].settled && mid[0].probabilitySE == 0.0 && mid[0].amountSE == 0.0) << mid[0].label;
}

// --expand prints a term sheet in the explicit form that prices exactly as
// the one it came from; the README note written with a rule prices as the
// README note.
TEST(PriceExpand, ExpandedSheetsPriceAsTheirOriginals) {
  ScratchDir dir;
  const auto priced = [](const std::string& file) {
    const ToolRun r = Tool({file, "--json", "--greeks", "--trials", "300"});
    EXPECT_EQ(r.status, kExitPriced) << r.err;
    json note = json::parse(r.out)["notes"][0];
    note.erase("file");
    return note;
  };
  for (const char* example : {"two_stock_stepdown_schedule.json", "two_index_semiannual.json",
                              "two_index_calendars.json"}) {
    const std::string file = kExamples + "/" + example;
    const ToolRun e = Tool({file, "--expand"});
    ASSERT_EQ(e.status, kExitPriced) << e.err;
    const json expanded = json::parse(e.out);
    EXPECT_TRUE(expanded["redemption"].is_array());
    const std::string again = dir.Write(std::string("expanded_") + example, e.out);
    EXPECT_EQ(priced(again), priced(file)) << example;
    EXPECT_EQ(Tool({again, "--expand"}).out, e.out);  // the explicit form expands to itself
  }
  EXPECT_EQ(priced(kExamples + "/two_stock_stepdown_schedule.json"), priced(kStepDown));
}

// The installed binary: report on standard output and the three statuses.
ToolRun Binary(const std::string& args) {
  ToolRun r;
  const std::string cmd = std::string(MORVIK_PRICE_EXE) + " " + args + " 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(PriceBinary, VersionHelpAndStandardInput) {
  const ToolRun version = Binary("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("morvik-price " MORVIK_VERSION " ", 0), 0u) << version.out;
  const ToolRun help = Binary("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* piece : {"Exit status", "(P(spot +10 %) + P(spot -10 %) - 2 P) / 100", "1e-12", "h = max(4",
                            "1 to 1000000000", "standard input"}) {
    EXPECT_TRUE(Contains(help.out, piece)) << piece;
  }
  const ToolRun piped = Binary("- --trials 300 < " + kStepDown);
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(Contains(piped.out, "Price: ")) << piped.out;
}

TEST(PriceBinary, ReportAndExitStatuses) {
  const ToolRun ok = Binary(kStepDown + " --trials 300");
  EXPECT_EQ(ok.status, 0);
  EXPECT_TRUE(Contains(ok.out, "Price: "));
  EXPECT_TRUE(Contains(ok.out, "Redemption outcomes"));
  EXPECT_TRUE(Contains(ok.out, "maturity, knock-in"));
  ScratchDir dir;
  EXPECT_EQ(Binary(dir.Write("bad.json", "not json")).status, 2);
  EXPECT_EQ(Binary(dir.Write("rej.json", ExampleWith(kStepDown, "\"spot\": 60800", "\"spot\": -5")) + " --trials 300").status, 1);
  EXPECT_EQ(Binary("--jobs x " + kStepDown).status, 2);
}

TEST(PriceBinary, LogWritesTheLibraryTraceBelowTheWorkingDirectory) {
  ScratchDir dir;
  const std::string cmd = "cd '" + dir.path.string() + "' && " + MORVIK_PRICE_EXE + " --log --trials 200 " +
                          kStepDown + " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  const fs::path logs = dir.path / "ZUN_Module_Log" / "ZUNP_MorvikMC";
  ASSERT_TRUE(fs::is_directory(logs));
  int files = 0;
  for (const auto& e : fs::directory_iterator(logs)) {
    ++files;
    const std::string trace = ReadAll(e.path().string());
    EXPECT_TRUE(Contains(trace, "PriceDate : 20250630")) << trace.substr(0, 200);
    EXPECT_TRUE(Contains(trace, "ResultPrice : "));
  }
  EXPECT_EQ(files, 1);
}

// Temporary files of the tool's outputs left in a folder.
int Temporaries(const fs::path& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir)) n += e.path().extension() == ".tmp" ? 1 : 0;
  return n;
}

// The CSV never replaces an input: the same name, a link or a second name
// of it, standard input, nor an existing file that is not the tool's CSV,
// as when the shell expands `--csv *.json` and the first note becomes the
// CSV's name. Nothing is priced, and every file stays as it was.
TEST(PriceOutputFile, InputsAndForeignFilesAreNeverReplaced) {
  ScratchDir dir;
  const std::string a = dir.Write("a.json", ReadAll(kStepDown));
  const std::string b = dir.Write("b.json", ReadAll(kQuanto));
  const std::string link = (dir.path / "link.csv").string(), hard = (dir.path / "hard.csv").string();
  fs::create_symlink("a.json", link);
  fs::create_hard_link(a, hard);
  const std::string input = ": it is the term sheet " + a + ", an input of this run; nothing written.";
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{a, "--csv", a}, "morvik-price: cannot write " + a + input},
      {{a, "--csv", (dir.path / "." / "a.json").string()}, input},
      {{a, "--csv", link}, "morvik-price: cannot write " + link + input},
      {{a, "--csv", hard}, "morvik-price: cannot write " + hard + input},
      {{"--csv", a, b}, "morvik-price: cannot write " + a +
                            ": it exists and is not a CSV written by morvik-price (a term sheet?); it is left as it is."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--trials", "200"});
    const ToolRun r = Tool(args);
    EXPECT_EQ(r.status, kExitUnusable) << c.message;
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;  // no note priced, none warned about
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  // Standard input redirected from the file named as the CSV.
  EXPECT_EQ(Binary("- --trials 200 --csv " + a + " < " + a).status, kExitUnusable);
  EXPECT_EQ(ReadAll(a), ReadAll(kStepDown));
  EXPECT_EQ(ReadAll(b), ReadAll(kQuanto));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Temporaries(dir.path), 0);
}

// A path whose folder cannot take the file stops the run before anything is
// priced, with one line naming what is wrong; a write that fails at the end
// is an error too.
TEST(PriceOutputFile, AnUnusablePathStopsTheRunBeforePricing) {
  ScratchDir dir;
  const std::string plain = dir.Write("plain.txt", "x");
  fs::create_symlink("nothing", dir.path / "dangling.csv");
  const std::string missing = (dir.path / "no" / "such").string();
  const struct {
    std::string csv;
    std::string message;
  } cases[] = {
      {missing + "/book.csv", "cannot write " + missing + "/book.csv: its folder " + missing + " does not exist."},
      {plain + "/book.csv", "cannot write " + plain + "/book.csv: " + plain + " is not a folder."},
      {dir.path.string(), "cannot write " + dir.path.string() + ": it is a folder."},
      {(dir.path / "dangling.csv").string(), "dangling.csv: it is a link to a file that does not exist."},
  };
  for (const auto& c : cases) {
    const ToolRun r = Tool({kStepDown, "--trials", "200", "--csv", c.csv});
    EXPECT_EQ(r.status, kExitUnusable) << c.csv;
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  if (::geteuid() != 0) {  // root writes into any folder
    const fs::path locked = dir.path / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const ToolRun r = Tool({kStepDown, "--trials", "200", "--csv", (locked / "book.csv").string()});
    EXPECT_EQ(r.status, kExitUnusable);
    EXPECT_TRUE(Contains(r.err, "cannot create a file in " + locked.string())) << r.err;
    EXPECT_TRUE(r.out.empty());
    fs::permissions(locked, fs::perms::owner_all);
  }
  // A device is written as a stream: a full one fails at the end.
  if (fs::exists("/dev/full")) {
    const ToolRun r = Tool({kStepDown, "--trials", "200", "--csv", "/dev/full"});
    EXPECT_EQ(r.status, kExitUnusable);
    EXPECT_TRUE(Contains(r.err, "morvik-price: cannot write /dev/full: No space left on device.")) << r.err;
  }
  EXPECT_EQ(Temporaries(dir.path), 0);
}

// The CSV is replaced whole when the run completes (keeping the file's
// permissions), and a run ended by SIGINT or SIGTERM leaves the previous
// file as it was and no temporary file.
TEST(PriceOutputFile, ThePreviousCsvSurvivesAnInterruptedRun) {
  ScratchDir dir;
  const std::string previous = "note,pricing_date,trials,quantity,underlying,value,standard_error\nold,,,status,,1,\n";
  const std::string csv = dir.Write("book.csv", previous);
  fs::permissions(csv, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const ToolRun done = Tool({kStepDown, "--trials", "200", "--csv", csv});
  EXPECT_EQ(done.status, kExitPriced) << done.err;
  EXPECT_TRUE(Contains(ReadAll(csv), kStepDown + ",2025-06-30,200,price,,")) << ReadAll(csv);
  EXPECT_EQ(fs::status(csv).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  for (const int sig : {SIGINT, SIGTERM}) {
    dir.Write("book.csv", previous);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::signal(SIGINT, SIG_DFL);
      std::signal(SIGTERM, SIG_DFL);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
      ::execl(MORVIK_PRICE_EXE, "morvik-price", kStepDown.c_str(), "--trials", "1000000000", "--csv", csv.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // The run has started once its temporary file exists; it then prices
    // for hours.
    for (int k = 0; k < 6000 && Temporaries(dir.path) == 0; ++k) ::usleep(10000);
    const bool started = Temporaries(dir.path) == 1;
    ::kill(pid, started ? sig : SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(started) << "no temporary file beside " << csv;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(ReadAll(csv), previous);
    EXPECT_EQ(Temporaries(dir.path), 0);
  }
}

// Standard input is read up to the size limit and no further.
TEST(PriceBinary, OversizeStandardInputIsRefused) {
  ScratchDir dir;
  const std::string over = dir.Write("over.json", std::string(kMaxTermSheetBytes + 1, ' '));
  EXPECT_EQ(Binary("- < " + over).status, kExitUnusable);
  EXPECT_EQ(Binary(over).status, kExitUnusable);
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
