// The shared test notes: every named full call is as long as its counts say
// (the sanitizer runs rely on exact lengths) and is valid where it claims to
// be, and the modifiers keep the lengths consistent.
#include "testing/test_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "calls/validation.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

// Appends `name` to `wrong` when array `v` is not as long as `Rule` says.
template <class Rule, class Owned>
void CheckLength(const char* name, const Owned& v, const ExtendedArgs& counts, std::string& wrong) {
  if constexpr (!std::is_arithmetic_v<Owned>) {
    if (static_cast<long long>(v.size()) != static_cast<long long>(Rule::Of(counts))) wrong += std::string(name) + " ";
  }
}

// Names of the input arrays whose length differs from what the counts give.
std::string WrongLengths(const FullCall& c) {
  const ExtendedArgs counts = c.Inputs();
  std::string wrong;
#define MORVIK_CHECK_LENGTH(name, kind, rule) CheckLength<rules::rule>(#name, c.name, counts, wrong);
  MORVIK_FULL_CALL_INPUTS(MORVIK_CHECK_LENGTH)
#undef MORVIK_CHECK_LENGTH
  return wrong;
}

TEST(SharedNotes, FullCallNotesHaveExactLengthsAndAreValid) {
  std::vector<std::pair<std::string, FullCall>> notes;
  for (auto kind : {testing::PathNoteKind::kTwoStocks, testing::PathNoteKind::kPendingDate,
                    testing::PathNoteKind::kThreeStocks}) {
    for (int calc = 0; calc <= 2; ++calc) {
      notes.emplace_back("path " + std::to_string(static_cast<int>(kind)) + " calc " + std::to_string(calc),
                         testing::PathNote(kind, 10.0, calc, 0));
    }
  }
  for (int stocks = 1; stocks <= 3; ++stocks)
    notes.emplace_back("realistic " + std::to_string(stocks), testing::RealisticNote(stocks));
  notes.emplace_back("step-down example", testing::StepDownExampleNote());
  notes.emplace_back("closed form", testing::ClosedFormNote());
  notes.emplace_back("mixed counts", testing::MixedCountsNote());
  notes.emplace_back("distinct values", testing::DistinctValuesNote());
  FullCall fixings = testing::MixedCountsNote();
  testing::SetFixings(fixings, 2, 1);
  notes.emplace_back("mixed counts with fixings", fixings);
  FullCall dropped = testing::ClosedFormNote();
  testing::DropCoupons(dropped);
  notes.emplace_back("closed form without coupons", dropped);
  for (auto& [name, c] : notes) {
    SCOPED_TRACE(name);
    EXPECT_EQ(WrongLengths(c), "");
    EXPECT_EQ(ValidateInputs(c.Inputs()), 1);
  }
}

TEST(SharedNotes, DistinctValuesScheduleAndCouponsKeepLengths) {
  FullCall c = testing::DistinctValuesNote();
  testing::SetRampSchedule(c, {20240215, 20240315, 20240415}, {20240220, 20240320, 20240420}, {1, 3, 2});
  testing::SetCoupons(c, {20240201, 20240301}, {20240205, 20240305}, 0.5, 0.02);
  EXPECT_EQ(c.NStrike, 3);
  EXPECT_EQ(c.NCoupon, 2);
  EXPECT_EQ(WrongLengths(c), "");
}

TEST(SharedNotes, FillOutputsGivesContractLengths) {
  FullCall c = testing::PathNote(testing::PathNoteKind::kThreeStocks, 10.0, 2, 0);
  EXPECT_EQ(c.ELS_Prob_n_Cf, std::vector<double>(2 * (3 + 2), testing::kOutputSentinel));
  EXPECT_EQ(c.ELS_Coupon_Prob_n_Cf, std::vector<double>(2 * 2, testing::kOutputSentinel));
  EXPECT_EQ(c.ResultPrice, std::vector<double>(3 * 3 + 3, testing::kOutputSentinel));
  c.CalcFlag[0] = 0;
  testing::FillOutputs(c, 1.5);
  EXPECT_EQ(c.ResultPrice, std::vector<double>(1, 1.5));
}

TEST(SharedNotes, CoreNoteCouponsLengthenTheDividendRows) {
  testing::CoreNote f(2, {10, 20}, {12, 22});
  f.SetCoupons({15, 40}, {17, 45}, {0.01, 0.01}, 0.8, 1);
  for (const std::vector<double>& row : f.DailyDivRows) EXPECT_EQ(row.size(), 47u);
  const CoreArgs a = f.View();
  EXPECT_EQ(a.DailyDiv[1], f.DailyDivRows[1].data());
  EXPECT_EQ(a.NCoupon, 2);
}

}  // namespace
}  // namespace morvik
