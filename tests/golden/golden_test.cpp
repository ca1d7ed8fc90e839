// Pinned results: every output of the exported full call on the bundled
// example notes and the benchmark notes, for price only, price with greeks
// and the full set, compared bit for bit with the committed expectations in
// expected.txt (doubles written as hex floats, so every bit is spelled out).
//
// The expectations are regenerated only on purpose, when a change is meant
// to move numbers:
//   MORVIK_GOLDEN_UPDATE=1 build/release/tests/morvik_tests --gtest_filter='Golden*'
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calls/full_call.h"
#include "termsheet/term_sheet.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

constexpr double kGoldenTrials = 400.0;

struct Outputs {
  int status = 0;
  std::vector<double> events, coupons, price;
};

// The three output arrays of one call as text, one line per array.
std::string Render(const std::string& name, int calc, const Outputs& o) {
  std::ostringstream s;
  s << "case " << name << " calc " << calc << "\n";
  s << "status " << o.status << "\n";
  const std::pair<const char*, const std::vector<double>*> arrays[] = {
      {"ELS_Prob_n_Cf", &o.events}, {"ELS_Coupon_Prob_n_Cf", &o.coupons}, {"ResultPrice", &o.price}};
  for (const auto& [label, values] : arrays) {
    s << label << " " << values->size();
    char buf[64];
    for (double v : *values) {
      std::snprintf(buf, sizeof buf, " %a", v);
      s << buf;
    }
    s << "\n";
  }
  char price[64];
  std::snprintf(price, sizeof price, "%.17g", o.price.empty() ? 0.0 : o.price[0]);
  s << "# price " << price << "\n";
  return s.str();
}

// The export on the call's arrays, its outputs as they are sized.
Outputs ExportOutputs(FullCall& call) {
  Outputs o;
  o.status = call.Call();
  o.events = call.ELS_Prob_n_Cf;
  o.coupons = call.ELS_Coupon_Prob_n_Cf;
  o.price = call.ResultPrice;
  return o;
}

// An example term sheet through the export, at the golden trial count.
Outputs PriceExample(const std::string& file, int calc) {
  std::ifstream in(std::string(MORVIK_EXAMPLES_DIR) + "/" + file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  NoteInputs note;
  TermSheetError error;
  EXPECT_TRUE(ParseTermSheet(text.str(), note, error)) << file << ": " << Describe(error);
  note.NTrials = kGoldenTrials;
  note.CalcFlag = {calc, 0};
  note.SizeOutputs();
  return ExportOutputs(note);
}

// Variant of the three-stock benchmark note that reaches the other step
// kinds and the searched lookup: cash dividends on the first stock, a quanto
// term on the second, and on the third a moneyness axis too uneven for
// the bucket tables (three nodes within 2e-10).
void MakeExotic(FullCall& n) {
  n.Div_TypeFlag[0] = 2;
  n.TDiv[0] = 200;
  n.Div[0] = 1.5;
  n.QuantoFlag[1] = 1;
  n.FX_Corr[1] = -0.3;
  const double axis[10] = {0.05, 0.55, 0.6, 0.95, 1.0, 1.0000000001, 1.0000000002, 1.3, 2.0, 5.0};
  std::copy(axis, axis + 10, n.Parity.begin() + 20);
}

Outputs PriceBenchNote(int stocks, bool exotic, int calc) {
  FullCall note = testing::RealisticNote(stocks);
  if (exotic) MakeExotic(note);
  note.NTrials = kGoldenTrials;
  note.CalcFlag[0] = calc;
  note.SizeOutputs();
  // Two coupon slots for a note without coupons: the call must leave both
  // untouched.
  note.ELS_Coupon_Prob_n_Cf.assign(2, 0.0);
  return ExportOutputs(note);
}

std::string AllOutputs() {
  const char* examples[] = {"two_stock_stepdown", "three_stock_monthly_coupons", "quanto_cash_dividends",
                            "mid_life_pending_coupon"};
  std::string text;
  for (int calc = 0; calc <= 2; ++calc) {
    for (const char* e : examples) text += Render(e, calc, PriceExample(std::string(e) + ".json", calc));
    for (int stocks = 1; stocks <= 3; ++stocks) {
      text += Render("bench_" + std::to_string(stocks) + "_stocks", calc, PriceBenchNote(stocks, false, calc));
    }
    text += Render("bench_3_stocks_exotic", calc, PriceBenchNote(3, true, calc));
  }
  return text;
}

// Splits into blocks that start with "case ", so that a failure names the
// note and mode whose outputs moved.
std::vector<std::string> Blocks(const std::string& text) {
  std::vector<std::string> blocks;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("case ", 0) == 0 || blocks.empty()) blocks.emplace_back();
    blocks.back() += line + "\n";
  }
  return blocks;
}

TEST(GoldenOutputs, EveryOutputOfTheExportIsBitForBitAsPinned) {
  const std::string path = std::string(MORVIK_GOLDEN_DIR) + "/expected.txt";
  const std::string actual = AllOutputs();
  if (std::getenv("MORVIK_GOLDEN_UPDATE") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    GTEST_SKIP() << "expectations rewritten: " << path;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  const std::vector<std::string> want = Blocks(expected.str());
  const std::vector<std::string> got = Blocks(actual);
  ASSERT_EQ(want.size(), got.size());
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_EQ(want[k], got[k]);
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
