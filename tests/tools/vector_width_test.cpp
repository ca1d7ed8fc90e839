// Paths side by side (engine/lane_paths.h): every figure of every example
// note (price, outcome and coupon probabilities and amounts, standard errors,
// convergence points, greeks and their errors) is the same bits on one, two
// and four lanes and on one, two and three threads; widths that cannot run
// are refused by name.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "calls/valuation.h"
#include "termsheet/pricing.h"
#include "termsheet/report.h"
#include "termsheet/term_sheet.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

const std::string kExamples = MORVIK_EXAMPLES_DIR;

std::vector<std::string> ExampleFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples))
    if (entry.path().extension() == ".json") files.push_back(entry.path().string());
  return files;
}

std::string Priced(const Note& note, PriceRequest request, int width, int threads) {
  request.vectorWidth = width;
  request.threads = threads;
  const NoteReport r = PriceTermSheet(note, request);
  EXPECT_TRUE(r.priced);
  EXPECT_EQ(r.result.status, 1) << r.result.rejection;
  return JsonReport({r});
}

struct WidthRun {
  int width;
  int threads;
};

TEST(VectorWidth, EveryExampleGivesTheSameBitsOnEveryWidthAndThreadCount) {
  // Against one lane on one thread: every width and every thread count.
  std::vector<WidthRun> runs = {{2, 1}, {2, 3}, {4, 2}};
  if (VectorWidthProblem(4) != nullptr) runs.back().width = 1;
  const std::vector<std::string> files = ExampleFiles();
  ASSERT_GE(files.size(), 8u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    Note note;
    TermSheetError error;
    ASSERT_TRUE(ReadTermSheetFile(file, note, error));
    PriceRequest request;
    request.aligned = true;
    request.seed = 5;
    // The price alone (a single valuation draws its own normals), with
    // convergence points inside blocks; then the greeks (every valuation
    // reads the shared rows), with their batch-means errors.
    request.compute = 0;
    request.trials = 1000;
    request.convergence = true;
    const std::string price = Priced(note, request, 1, 1);
    request.compute = 2;
    request.trials = 256;
    request.convergence = false;
    const std::string greeks = Priced(note, request, 1, 1);
    for (const WidthRun& run : runs) {
      SCOPED_TRACE("width " + std::to_string(run.width) + ", threads " + std::to_string(run.threads));
      request.compute = 0;
      request.trials = 1000;
      request.convergence = true;
      EXPECT_EQ(Priced(note, request, run.width, run.threads), price);
      request.compute = 2;
      request.trials = 256;
      request.convergence = false;
      EXPECT_EQ(Priced(note, request, run.width, run.threads), greeks);
    }
  }
}

TEST(VectorWidth, WidthsThatCannotRunAreRefusedByName) {
  EXPECT_EQ(VectorWidthProblem(0), nullptr);
  EXPECT_EQ(VectorWidthProblem(1), nullptr);
  for (const int width : {-1, 3, 8}) {
    PriceRequest request;
    request.vectorWidth = width;
    EXPECT_NE(RequestProblem(request, "--").find("vector-width"), std::string::npos) << width;
  }
  // The library refuses what the request's rule would: no figures.
  ValuationOptions options;
  options.stream = StreamKind::kAligned;
  options.vectorWidth = 3;
  const ValuationResult r = ValueNote(testing::RealisticNote(2).Inputs(), options);
  EXPECT_EQ(r.status, kBadValuationOptions);
  EXPECT_TRUE(r.ResultPrice.empty());
}

// The three-year daily notes of one to three stocks, the price alone: every
// output the same bits on each width.
TEST(VectorWidth, LongDailyNotesOfOneToThreeStocks) {
  for (int stocks = 1; stocks <= 3; ++stocks) {
    SCOPED_TRACE(stocks);
    FullCall note = testing::RealisticNote(stocks);
    note.NTrials = 400;
    ValuationOptions options;
    options.stream = StreamKind::kAligned;
    options.seed = 3;
    options.vectorWidth = 1;
    const ValuationResult one = ValueNote(note.Inputs(), options);
    ASSERT_EQ(one.status, 1);
    for (const int width : {2, 4}) {
      if (VectorWidthProblem(width) != nullptr) continue;
      options.vectorWidth = width;
      const ValuationResult r = ValueNote(note.Inputs(), options);
      EXPECT_EQ(r.ResultPrice, one.ResultPrice) << width;
      EXPECT_EQ(r.ELS_Prob_n_Cf, one.ELS_Prob_n_Cf) << width;
      EXPECT_EQ(r.ELS_Coupon_Prob_n_Cf, one.ELS_Coupon_Prob_n_Cf) << width;
      EXPECT_EQ(r.priceSE, one.priceSE) << width;
      EXPECT_EQ(r.outcomeProbSE, one.outcomeProbSE) << width;
    }
  }
}

}  // namespace
}  // namespace morvik

#endif
