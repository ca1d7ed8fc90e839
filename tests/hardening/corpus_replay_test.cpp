// The fuzzers' seed corpora, regression cases included, replayed through the
// same builders and checks as the fuzz targets, in every build of the suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/call_builder.h"
#include "fuzz/date_checks.h"
#ifdef MORVIK_HAVE_PRICE_TOOL
#include "fuzz/term_sheet_checks.h"
#endif

namespace morvik::fuzzing {
namespace {

namespace fs = std::filesystem;

// The test data directory is <root>/tests/data; the corpora are in <root>/fuzz.
const fs::path kCorpus = fs::path(MORVIK_TEST_DATA_DIR).parent_path().parent_path() / "fuzz" / "corpus";

std::vector<std::pair<std::string, std::string>> Inputs(const char* target) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : fs::directory_iterator(kCorpus / target)) {
    std::ifstream f(e.path(), std::ios::binary);
    out.emplace_back(e.path().filename().string(),
                     std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()));
  }
  return out;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(FuzzCorpusReplay, FullCallCorpus) {
  const auto inputs = Inputs("full_call");
  ASSERT_GE(inputs.size(), 10u);
  int accepted = 0;
  for (const auto& [name, bytes] : inputs) {
    FuzzCall c = BuildCall(Bytes(bytes), bytes.size());
    int status = 0;
    EXPECT_EQ(RunAndCheck(c, &status), "") << name;
    if (status == 1) ++accepted;
  }
  // The corpus reaches the valuation, not only the input checks.
  EXPECT_GE(accepted, 5);
}

TEST(FuzzCorpusReplay, DateCorpus) {
  const auto inputs = Inputs("dates");
  ASSERT_GE(inputs.size(), 3u);
  for (const auto& [name, bytes] : inputs) EXPECT_EQ(CheckDateBytes(Bytes(bytes), bytes.size()), "") << name;
}

#ifdef MORVIK_HAVE_PRICE_TOOL
TEST(FuzzCorpusReplay, TermSheetCorpus) {
  const auto inputs = Inputs("term_sheet");
  ASSERT_GE(inputs.size(), 10u);
  int read = 0;
  for (const auto& [name, text] : inputs) {
    EXPECT_EQ(CheckTermSheetText(text), "") << name;
    Note note;
    TermSheetError error;
    if (ReadTermSheet(text, name, note, error)) ++read;
  }
  // The corpus reaches the schedule rules, the past and the pricing, not
  // only the reader's refusals.
  EXPECT_GE(read, 7);
}
#endif

// The date checks themselves must catch a wrong answer: the reference day
// count agrees with known serials and differences.
TEST(FuzzCorpusReplay, DateReferenceAgreesWithKnownValues) {
  EXPECT_EQ(ExpectedSerial(19000101), 1);
  EXPECT_EQ(ExpectedSerial(19000228), 59);
  EXPECT_EQ(ExpectedSerial(19000301), 61);
  EXPECT_EQ(ExpectedSerial(20000101), 36526);
  EXPECT_EQ(ExpectedSerial(99991231), 2958465);
  EXPECT_EQ(DayNumber(20240301) - DayNumber(20240101), 60);
  EXPECT_FALSE(IsGregorianDate(19000229));
  EXPECT_TRUE(IsGregorianDate(20000229));
  EXPECT_EQ(CheckDayDifference(20240230, 20240315), "");
  EXPECT_EQ(CheckSerial(7195279), "");
}

// All-zero bytes give the smallest structurally consistent call.
TEST(FuzzCorpusReplay, BuilderSizesEveryArrayFromItsCounts) {
  std::vector<uint8_t> zeros(400, 0);
  const FuzzCall c = BuildCall(zeros.data(), zeros.size());
  // All-zero bytes: one stock, one date, no coupon, the first value of every range.
  EXPECT_EQ(c.NStock, 1);
  EXPECT_EQ(c.NStrike, 1);
  EXPECT_EQ(c.NCoupon, 0);
  EXPECT_EQ(c.NT.size(), 2u);
  EXPECT_EQ(c.X.size(), 4u);
  EXPECT_EQ(c.PayOffSlope.size(), 12u);
  EXPECT_EQ(c.DatesInfo.size(), 4u);
  EXPECT_EQ(c.RedemCoupon.size(), 0u);
  EXPECT_EQ(c.ELS_Prob_n_Cf.size(), 6u);
  EXPECT_EQ(c.ResultPrice.size(), 1u);
  EXPECT_EQ(c.CalcFlag[1], 0);
}

}  // namespace
}  // namespace morvik::fuzzing
