// The full pricing call end to end on a note whose value is known in closed
// form: a zero floor and cap with NAFlag = 1 clamp every payoff to 1.0, the
// first observation always redeems (strikes far below the spot) and the one
// coupon is always paid (barrier 0). Every path is then worth
// DF(pay0) + 0.03 * DF(coupon pay), whatever the stocks do, so spot and
// volatility sensitivities are exactly 0 and rho and theta follow from the
// discount factors alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "calls/assembly.h"
#include "calls/extended_entry.h"
#include "engine/core_valuation.h"
#include "interface/morvik.h"
#include "logging/log_writer.h"
#include "testing/test_notes.h"
#include "tests/hardening/alloc_hook.h"
#include "tests/support/temp_cwd.h"
#include "tests/support/text_lines.h"

namespace morvik {
namespace {

constexpr double kSentinel = -777.25;
// The rate and notional of testing::ClosedFormNote.
constexpr double kRate = 0.02;
constexpr double kNotional = 1234567.0;
// Pricing date 2024-01-02; first payment 2024-02-05 (34 days), coupon paid
// 2024-01-20 (18 days).
constexpr int kPay0Days = 34;
constexpr int kCouponPayDays = 18;

// The note above, with outputs longer than needed so that writes past the
// contract show.
struct Note : FullCall {
  Note() : FullCall(testing::ClosedFormNote()) {
    ELS_Prob_n_Cf.assign(8 + 2, kSentinel);
    ELS_Coupon_Prob_n_Cf.assign(2 + 2, kSentinel);
    ResultPrice.assign(9 + 2, kSentinel);
  }
};

// All three outputs still hold the sentinel they were handed in with.
void ExpectOutputsUntouched(const Note& n, const std::string& where) {
  EXPECT_EQ(n.ELS_Prob_n_Cf, std::vector<double>(10, kSentinel)) << where;
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf, std::vector<double>(4, kSentinel)) << where;
  EXPECT_EQ(n.ResultPrice, std::vector<double>(11, kSentinel)) << where;
}

// Two calls wrote the same three outputs.
void ExpectSameOutputs(const Note& got, const Note& want, const std::string& where) {
  EXPECT_EQ(got.ELS_Prob_n_Cf, want.ELS_Prob_n_Cf) << where;
  EXPECT_EQ(got.ELS_Coupon_Prob_n_Cf, want.ELS_Coupon_Prob_n_Cf) << where;
  EXPECT_EQ(got.ResultPrice, want.ResultPrice) << where;
}

// Per 10000 of notional, when every discount factor reads the flat rate r
// and the schedule is `shift` days nearer.
double ClosedFormPrice(double r, int shift = 0) {
  const double dfPay = std::exp(-r * ((kPay0Days - shift) / 365.0));
  const double dfCoupon = std::exp(-r * ((kCouponPayDays - shift) / 365.0));
  return 10000.0 * (dfPay + 0.03 * dfCoupon);
}

// The core's own results for the same note, from a separate core call.
struct DirectCore {
  double price = 0.0;
  std::vector<double> prob, cf, couponProb, couponCf;
  int status = 0;
};

DirectCore PriceThroughCore(Note& n) {
  const ExtendedArgs e = n.View();
  AssembledCore core;
  DirectCore d;
  AssembleCore(e, core);
  core.results.ResultPrice = &d.price;
  d.status = MorvikCore(core.args, core.results);
  d.prob = core.ELS_Prob;
  d.cf = core.ELS_Cf;
  d.couponProb = core.ELS_Coupon_Prob;
  d.couponCf = core.ELS_Coupon_Cf;
  return d;
}

LogTime FixedClock() {
  LogTime t;
  t.seconds = 1704443085;  // early January 2024
  t.millis = 7;
  return t;
}

using support::TempCwd;

// The lines of this call's trace (named from the fixed clock), split at CR LF;
// `crlfOnly` is false when a bare LF or CR appears.
std::vector<std::string> TraceLines(bool* crlfOnly) {
  char name[kLogFileNameSize];
  MakeLogFileName(name, "ZUNP_MorvikMC", &FixedClock);
  return support::SplitCrLf(
      support::ReadFile(std::filesystem::path("ZUN_Module_Log") / "ZUNP_MorvikMC" / name), crlfOnly);
}

std::string Fixed6(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%f", v);
  return buf;
}

// A notional for which the two orders of the scaling give different last
// bits on both the price and the coupon cash flow, so that the test can tell
// them apart.
double DiscriminatingNotional(double price, double cf) {
  const double candidates[] = {1234567.0, 987654.321, 3333333.3, 1.0e6 / 3.0, 7777777.77,
                               2718281.8, 1414213.56, 5.5e5 + 0.1, 31415926.5};
  for (double n : candidates) {
    const bool priceDiffers = (n / 10000.0) * price != price / 10000.0 * n;
    const bool cfDiffers = cf / 10000.0 * n != (n / 10000.0) * cf;
    if (priceDiffers && cfDiffers) return n;
  }
  return 0.0;
}

TEST(ExtendedEntryTest, ScalesEveryAmountToTheNotionalInTheDocumentedOrder) {
  Note n;
  const DirectCore d = PriceThroughCore(n);
  ASSERT_EQ(d.status, 1);
  const double notional = DiscriminatingNotional(d.price, d.couponCf[0]);
  ASSERT_GT(notional, 0.0);
  n.NotionalAMT = notional;
  const std::vector<double> inputPrices = n.UnderlyingPrice, inputSurface = n.LocalVolSurface;
  const std::vector<int> inputDates = n.DatesInfo;

  EXPECT_EQ(CalcMorvikMC(n.View(), &FixedClock), 1);

  // The price: (Notional / 10000) * price, and the closed form.
  EXPECT_EQ(n.ResultPrice[0], (notional / 10000.0) * d.price);
  EXPECT_NEAR(n.ResultPrice[0], notional / 10000.0 * ClosedFormPrice(kRate), 1e-5);
  EXPECT_EQ(n.ResultPrice[1], kSentinel);
  // Every path redeems on the first date with payoff 1.0: probability 1 and
  // a cash flow of the whole notional; the other slots are empty.
  const std::vector<double> expectProb{1.0, 0.0, 0.0, 0.0, notional, 0.0, 0.0, 0.0,
                                       kSentinel, kSentinel};
  EXPECT_EQ(n.ELS_Prob_n_Cf, expectProb);
  // The coupon is always paid: (cf / 10000) * Notional, about 3 % of it.
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf[0], 1.0);
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf[1], d.couponCf[0] / 10000.0 * notional);
  EXPECT_NEAR(n.ELS_Coupon_Prob_n_Cf[1], 0.03 * notional, 1e-5);
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf[2], kSentinel);
  // Inputs are read only.
  EXPECT_EQ(n.UnderlyingPrice, inputPrices);
  EXPECT_EQ(n.LocalVolSurface, inputSurface);
  EXPECT_EQ(n.DatesInfo, inputDates);
}

TEST(ExtendedEntryTest, ExportedEntryGivesTheSameResults) {
  Note viaEntry, viaExport;
  viaEntry.CalcFlag = viaExport.CalcFlag = {2, 0};
  ASSERT_EQ(CalcMorvikMC(viaEntry.View(), nullptr), 1);
  const int rc = viaExport.Call();
  EXPECT_EQ(rc, 1);
  ExpectSameOutputs(viaExport, viaEntry, "export");
}

TEST(ExtendedEntryTest, ResultPriceLengthFollowsTheSensitivityRequest) {
  const double perUnit = kNotional / 10000.0;
  {
    Note n;
    n.CalcFlag = {1, 0};
    ASSERT_EQ(CalcMorvikMC(n.View(), nullptr), 1);
    // Delta, gamma and vega of both stocks are 0: no path's value depends on
    // the stocks. The two whole-note slots are cleared, not computed.
    for (int m = 1; m <= 8; ++m) EXPECT_EQ(n.ResultPrice[m], 0.0) << "slot " << m;
    EXPECT_EQ(n.ResultPrice[9], kSentinel);
  }
  {
    Note n;
    n.CalcFlag = {2, 0};
    ASSERT_EQ(CalcMorvikMC(n.View(), nullptr), 1);
    for (int m = 1; m <= 6; ++m) EXPECT_EQ(n.ResultPrice[m], 0.0) << "slot " << m;
    // Theta: every observation lies more than 4 days ahead, so the schedule
    // moves 4 days nearer and the difference is divided by 4.
    const double theta = (ClosedFormPrice(kRate, 4) - ClosedFormPrice(kRate)) / 4.0;
    EXPECT_NEAR(n.ResultPrice[7], theta / 10000.0 * kNotional, 1e-6);
    EXPECT_GT(n.ResultPrice[7], 0.0);
    // Rho: all curves one point up and down, half the difference.
    const double rho = (ClosedFormPrice(kRate + 0.01) - ClosedFormPrice(kRate - 0.01)) * 0.5;
    EXPECT_NEAR(n.ResultPrice[8], rho / 10000.0 * kNotional, 1e-6);
    EXPECT_LT(n.ResultPrice[8], 0.0);
    EXPECT_NEAR(n.ResultPrice[0], perUnit * ClosedFormPrice(kRate), 1e-6);
    EXPECT_EQ(n.ResultPrice[9], kSentinel);
  }
}

TEST(ExtendedEntryTest, ZeroNotionalZeroesMoneyButKeepsProbabilities) {
  Note n;
  n.NotionalAMT = 0.0;
  ASSERT_EQ(CalcMorvikMC(n.View(), nullptr), 1);
  EXPECT_EQ(n.ResultPrice[0], 0.0);
  EXPECT_EQ(n.ELS_Prob_n_Cf[0], 1.0);
  for (int s = 4; s < 8; ++s) EXPECT_EQ(n.ELS_Prob_n_Cf[s], 0.0);
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf[0], 1.0);
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf[1], 0.0);
}

TEST(ExtendedEntryTest, NoCouponsLeavesTheCouponOutputAlone) {
  Note n;
  testing::DropCoupons(n);
  ASSERT_EQ(CalcMorvikMC(n.View(), nullptr), 1);
  EXPECT_EQ(n.ELS_Coupon_Prob_n_Cf, std::vector<double>(4, kSentinel));
  EXPECT_NEAR(n.ResultPrice[0], kNotional * std::exp(-kRate * (kPay0Days / 365.0)), 1e-6);
}

TEST(ExtendedEntryTest, RejectedCallReturnsTheCodeAndTouchesNoOutput) {
  struct Case {
    const char* what;
    void (*spoil)(Note&);
    int code;
  };
  const Case cases[] = {
      {"pricing date out of range", [](Note& n) { n.PriceDate = 19000100; }, -100},
      {"no stock", [](Note& n) { n.NStock = 0; }, -2004},
      {"negative notional", [](Note& n) { n.NotionalAMT = -1.0; }, -201},
      {"sensitivity flag 3", [](Note& n) { n.CalcFlag = {3, 0}; }, -301},
  };
  for (const Case& c : cases) {
    Note n;
    c.spoil(n);
    EXPECT_EQ(CalcMorvikMC(n.View(), nullptr), c.code) << c.what;
    ExpectOutputsUntouched(n, c.what);
  }
}

TEST(ExtendedEntryTest, NoTraceMeansNoDirectoryAndNoFile) {
  TempCwd tmp("morvik_ext");
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.CalcFlag = {1, 0};
  ASSERT_EQ(CalcMorvikMC(n.View(), &FixedClock), 1);
  Note bad;
  bad.PriceDate = 19000100;
  ASSERT_EQ(CalcMorvikMC(bad.View(), &FixedClock), -100);
  EXPECT_TRUE(tmp.empty());
}

TEST(ExtendedEntryTest, RejectedCallLogsTheFullDumpThenReturn) {
  TempCwd tmp("morvik_ext");
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.PriceDate = 19000100;
  n.CalcFlag = {0, 1};
  ASSERT_EQ(CalcMorvikMC(n.View(), &FixedClock), -100);
  bool crlf = false;
  const std::vector<std::string> lines = TraceLines(&crlf);
  ASSERT_EQ(lines.size(), 47u);
  EXPECT_TRUE(crlf);
  EXPECT_EQ(lines[0], "PriceDate : 19000100");
  EXPECT_EQ(lines[45], "CalcFlag : 0, 1");
  EXPECT_EQ(lines[46], "Return : -100");
  EXPECT_EQ(n.ResultPrice, std::vector<double>(11, kSentinel));
}

TEST(ExtendedEntryTest, LoggedCallEndsWithTheThreeResultLines) {
  TempCwd tmp("morvik_ext");
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.CalcFlag = {1, 1};
  ASSERT_EQ(CalcMorvikMC(n.View(), &FixedClock), 1);
  bool crlf = false;
  const std::vector<std::string> lines = TraceLines(&crlf);
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_TRUE(crlf);
  EXPECT_EQ(lines[45], "CalcFlag : 1, 1");
  EXPECT_EQ(lines[46],
            "ELS_Prob_n_Cf : 1.000000, 0.000000, 0.000000, 0.000000, 1234567.000000, 0.000000, "
            "0.000000, 0.000000");
  EXPECT_EQ(lines[47], "ELS_Coupon_Prob_n_Cf : 1.000000, " + Fixed6(n.ELS_Coupon_Prob_n_Cf[1]));
  std::string price = "ResultPrice : " + Fixed6(n.ResultPrice[0]);
  for (int m = 1; m <= 8; ++m) price += ", 0.000000";
  EXPECT_EQ(lines[48], price);
}

TEST(ExtendedEntryTest, LoggedCallWithoutCouponsOrSensitivities) {
  TempCwd tmp("morvik_ext");
  ASSERT_TRUE(tmp.ok());
  Note n;
  testing::DropCoupons(n);
  n.CalcFlag = {0, 1};
  ASSERT_EQ(CalcMorvikMC(n.View(), &FixedClock), 1);
  bool crlf = false;
  const std::vector<std::string> lines = TraceLines(&crlf);
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_EQ(lines[47], "ELS_Coupon_Prob_n_Cf : ");
  EXPECT_EQ(lines[48], "ResultPrice : " + Fixed6(n.ResultPrice[0]));
}

// Every allocation of the call, one at a time, is made to fail: the call
// then returns -1 with all three outputs as the caller passed them, or (when
// the failure hit only the trace, which is skipped) prices as usual.
TEST(ExtendedEntryTest, AllocationFailureAnywhereReturnsMinusOneAndWritesNothing) {
  for (int trace : {0, 1}) {
    TempCwd tmp("morvik_ext");
    ASSERT_TRUE(tmp.ok());
    Note ref;
    ref.CalcFlag = {0, trace};
    ASSERT_EQ(CalcMorvikMC(ref.View(), &FixedClock), 1);
    bool reachedEnd = false;
    int failedCalls = 0;
    for (long k = 0; k < 20000 && !reachedEnd; ++k) {
      Note n;
      n.CalcFlag = {0, trace};
      const ExtendedArgs a = n.View();
      ArmAllocationFailure(k);
      const int rc = CalcMorvikMC(a, &FixedClock);
      const bool fired = DisarmAllocationFailure();
      if (!fired) reachedEnd = true;
      if (rc == -1) {
        ++failedCalls;
        EXPECT_TRUE(fired) << "allocation " << k;
        ExpectOutputsUntouched(n, "allocation " + std::to_string(k));
        // The trace says how the call ended.
        if (trace == 1) {
          bool crlf = false;
          EXPECT_EQ(TraceLines(&crlf).back(), "Return : -1") << "allocation " << k;
        }
      } else {
        ASSERT_EQ(rc, 1) << "allocation " << k;
        ExpectSameOutputs(n, ref, "allocation " + std::to_string(k));
      }
    }
    EXPECT_TRUE(reachedEnd) << "trace " << trace;
    EXPECT_GT(failedCalls, 5) << "trace " << trace;
  }
}

// With sensitivities on, an allocation that fails inside any bumped
// revaluation fails the whole call as well: a routine's -1 must never be
// stored as if it were a sensitivity.
TEST(ExtendedEntryTest, AllocationFailureInsideSensitivitiesReturnsMinusOne) {
  Note ref;
  ref.CalcFlag = {2, 0};
  ASSERT_EQ(CalcMorvikMC(ref.View(), &FixedClock), 1);
  bool reachedEnd = false;
  int failedCalls = 0;
  for (long k = 0; k < 200000 && !reachedEnd; ++k) {
    Note n;
    n.CalcFlag = {2, 0};
    const ExtendedArgs a = n.View();
    ArmAllocationFailure(k);
    const int rc = CalcMorvikMC(a, &FixedClock);
    const bool fired = DisarmAllocationFailure();
    if (!fired) reachedEnd = true;
    if (rc == -1) {
      ++failedCalls;
      EXPECT_EQ(n.ELS_Prob_n_Cf, std::vector<double>(10, kSentinel)) << "allocation " << k;
      EXPECT_EQ(n.ResultPrice, std::vector<double>(11, kSentinel)) << "allocation " << k;
    } else {
      ASSERT_EQ(rc, 1) << "allocation " << k;
      ASSERT_FALSE(fired) << "allocation " << k << " failed but the call succeeded";
      EXPECT_EQ(n.ResultPrice, ref.ResultPrice);
    }
  }
  EXPECT_TRUE(reachedEnd);
  EXPECT_GT(failedCalls, 50);
}

}  // namespace
}  // namespace morvik
