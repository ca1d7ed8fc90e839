// The full pricing call end to end on a note whose value is known in closed
// form: a zero floor and cap with NAFlag = 1 clamp every payoff to 1.0, the
// first observation always redeems (strikes far below the spot) and the one
// coupon is always paid (barrier 0). Every path is then worth
// DF(pay0) + 0.03 * DF(coupon pay), whatever the stocks do, so spot and
// volatility sensitivities are exactly 0 and rho and theta follow from the
// discount factors alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "interface/assembly.h"
#include "interface/core_entry.h"
#include "interface/extended_entry.h"
#include "interface/morvik.h"
#include "logging/log_writer.h"
#include "tests/hardening/alloc_hook.h"

namespace morvik {
namespace {

constexpr double kSentinel = -777.25;
constexpr double kRate = 0.02;
constexpr double kNotional = 1234567.0;
// Pricing date 2024-01-02; first payment 2024-02-05 (34 days), coupon paid
// 2024-01-20 (18 days).
constexpr int kPay0Days = 34;
constexpr int kCouponPayDays = 18;

struct Note {
  std::vector<double> price{100.0, 100.0, 90.0, 100.0};
  std::vector<double> tCurve{1.0, 1.0, 1.0};
  std::vector<double> curve{kRate, kRate, kRate};
  std::vector<int> nt{1, 1, 1};
  std::vector<double> tVol{1.0, 1.0};
  std::vector<double> parity{1.0, 1.0};
  std::vector<double> surface{0.2, 0.25};
  std::vector<int> nVol{1, 1};
  std::vector<int> nParity{1, 1};
  std::vector<double> corr{1.0, 0.3, 0.3, 1.0};
  std::vector<int> tDiv{0, 0};
  std::vector<double> div{0.01, 0.0};
  std::vector<int> nDiv{1, 1};
  std::vector<int> divType{0, 0};
  std::vector<double> fxT{1.0, 1.0};
  std::vector<double> fxVol{0.1, 0.1};
  std::vector<int> fxN{1, 1};
  std::vector<double> fxCorr{0.0, 0.0};
  std::vector<int> quanto{0, 0};
  std::vector<double> x = std::vector<double>(16, 0.01);
  std::vector<double> ko{1.0, 1.0};
  std::vector<double> ki{0.5, 0.5};
  std::vector<double> slope = std::vector<double>(16, 0.0);
  std::vector<double> amount = std::vector<double>(16, 0.1);
  std::vector<int> dates{20240201, 20240301, 20240205, 20240305, 1, 1, 0, 0};
  std::vector<double> redem{0.05};
  std::vector<int> knock{0, 0};
  std::vector<int> beKO{0, 0};
  std::vector<double> cBarrier{0.0};
  std::vector<double> coupon{0.03};
  std::vector<int> cDates{20240115, 20240120};
  std::vector<double> limit{0.0, 0.0};
  std::vector<int> fixed{0, 0};
  std::vector<int> calc{0, 0};
  int priceDate = 20240102;
  int nStock = 2;
  int nCoupon = 1;
  double notional = kNotional;

  // Outputs, longer than needed so that writes past the contract show.
  std::vector<double> outProb = std::vector<double>(8 + 2, kSentinel);
  std::vector<double> outCoupon = std::vector<double>(2 + 2, kSentinel);
  std::vector<double> outPrice = std::vector<double>(9 + 2, kSentinel);

  ExtendedArgs Args() {
    ExtendedArgs a;
    a.PriceDate = priceDate;
    a.NotionalAMT = notional;
    a.UnderlyingPrice = price.data();
    a.TCurveInfo = tCurve.data();
    a.CurveInfo = curve.data();
    a.NT = nt.data();
    a.TVol = tVol.data();
    a.Parity = parity.data();
    a.LocalVolSurface = surface.data();
    a.NVol = nVol.data();
    a.NParity = nParity.data();
    a.UnderlyingCorr = corr.data();
    a.TDiv = tDiv.data();
    a.Div = div.data();
    a.NDiv = nDiv.data();
    a.Div_TypeFlag = divType.data();
    a.FX_TVol = fxT.data();
    a.FX_Vol = fxVol.data();
    a.FX_NVol = fxN.data();
    a.FX_Corr = fxCorr.data();
    a.QuantoFlag = quanto.data();
    a.NStock = nStock;
    a.NStrike = 2;
    a.X = x.data();
    a.KO_Barrier = ko.data();
    a.KI_Barrier = ki.data();
    a.PayOffSlope = slope.data();
    a.PayOffAmount = amount.data();
    a.DatesInfo = dates.data();
    a.RedemCoupon = redem.data();
    a.KnockBarrierFlag = knock.data();
    a.BeKO_Hitted = beKO.data();
    a.BeKI_Hitted = 0;
    a.NCoupon = nCoupon;
    a.CouponBarrier = cBarrier.data();
    a.Coupon = coupon.data();
    a.CouponDatesInfo = cDates.data();
    a.CouponBarrierFlag = 2;
    a.BeCouponBarrierHitted = 0;
    a.NTrials = 8.0;
    a.PayOffLimit = limit.data();
    a.NAFlag = 1;
    a.SC = nullptr;
    a.Coupon_SC = nullptr;
    a.FixedFlag = fixed.data();
    a.CalcFlag = calc.data();
    a.ELS_Prob_n_Cf = outProb.data();
    a.ELS_Coupon_Prob_n_Cf = outCoupon.data();
    a.ResultPrice = outPrice.data();
    return a;
  }

  void DropCoupons() {
    nCoupon = 0;
    cBarrier.clear();
    coupon.clear();
    cDates.clear();
  }
};

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
  const ExtendedArgs e = n.Args();
  AssembledCore core;
  DirectCore d;
  if (AssembleCore(e, core) != 1) return d;
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

// Runs the test inside a fresh empty directory and removes it afterwards.
class InTempDir {
 public:
  InTempDir() {
    old_ = std::filesystem::current_path();
    std::string tmpl = (std::filesystem::temp_directory_path() / "morvik_ext_XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr) dir_ = buf.data();
    if (!dir_.empty()) std::filesystem::current_path(dir_);
  }
  ~InTempDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  bool ok() const { return !dir_.empty(); }
  bool empty() const { return std::filesystem::is_empty(dir_); }

 private:
  std::filesystem::path old_, dir_;
};

// The lines of this call's trace (named from the fixed clock), split at CR LF;
// `crlfOnly` is false when a bare LF or CR appears.
std::vector<std::string> TraceLines(bool* crlfOnly) {
  char name[kLogFileNameSize];
  MakeLogFileName(name, "ZUNP_MorvikMC", &FixedClock);
  std::ifstream f(std::filesystem::path("ZUN_Module_Log") / "ZUNP_MorvikMC" / name,
                  std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  *crlfOnly = true;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      *crlfOnly = false;
      lines.push_back(text.substr(start));
      break;
    }
    const std::string line = text.substr(start, end - start);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
      *crlfOnly = false;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
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
  n.notional = notional;
  const std::vector<double> inputPrices = n.price, inputSurface = n.surface;
  const std::vector<int> inputDates = n.dates;

  EXPECT_EQ(CalcMorvikMC(n.Args(), &FixedClock), 1);

  // The price: (Notional / 10000) * price, and the closed form.
  EXPECT_EQ(n.outPrice[0], (notional / 10000.0) * d.price);
  EXPECT_NEAR(n.outPrice[0], notional / 10000.0 * ClosedFormPrice(kRate), 1e-5);
  EXPECT_EQ(n.outPrice[1], kSentinel);
  // Every path redeems on the first date with payoff 1.0: probability 1 and
  // a cash flow of the whole notional; the other slots are empty.
  const std::vector<double> expectProb{1.0, 0.0, 0.0, 0.0, notional, 0.0, 0.0, 0.0,
                                       kSentinel, kSentinel};
  EXPECT_EQ(n.outProb, expectProb);
  // The coupon is always paid: (cf / 10000) * Notional, about 3 % of it.
  EXPECT_EQ(n.outCoupon[0], 1.0);
  EXPECT_EQ(n.outCoupon[1], d.couponCf[0] / 10000.0 * notional);
  EXPECT_NEAR(n.outCoupon[1], 0.03 * notional, 1e-5);
  EXPECT_EQ(n.outCoupon[2], kSentinel);
  // Inputs are read only.
  EXPECT_EQ(n.price, inputPrices);
  EXPECT_EQ(n.surface, inputSurface);
  EXPECT_EQ(n.dates, inputDates);
}

TEST(ExtendedEntryTest, ExportedEntryGivesTheSameResults) {
  Note viaEntry, viaExport;
  viaEntry.calc = viaExport.calc = {2, 0};
  ASSERT_EQ(CalcMorvikMC(viaEntry.Args(), nullptr), 1);
  Note& e = viaExport;
  const int rc = ZUNP_CalcMorvikMC(
      e.priceDate, e.notional, e.price.data(), e.tCurve.data(), e.curve.data(), e.nt.data(),
      e.tVol.data(), e.parity.data(), e.surface.data(), e.nVol.data(), e.nParity.data(),
      e.corr.data(), e.tDiv.data(), e.div.data(), e.nDiv.data(), e.divType.data(), e.fxT.data(),
      e.fxVol.data(), e.fxN.data(), e.fxCorr.data(), e.quanto.data(), e.nStock, 2, e.x.data(),
      e.ko.data(), e.ki.data(), e.slope.data(), e.amount.data(), e.dates.data(), e.redem.data(),
      e.knock.data(), e.beKO.data(), 0, e.nCoupon, e.cBarrier.data(), e.coupon.data(),
      e.cDates.data(), 2, 0, 8.0, e.limit.data(), 1, nullptr, nullptr, e.fixed.data(),
      e.calc.data(), e.outProb.data(), e.outCoupon.data(), e.outPrice.data());
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(viaExport.outProb, viaEntry.outProb);
  EXPECT_EQ(viaExport.outCoupon, viaEntry.outCoupon);
  EXPECT_EQ(viaExport.outPrice, viaEntry.outPrice);
}

TEST(ExtendedEntryTest, ResultPriceLengthFollowsTheSensitivityRequest) {
  const double perUnit = kNotional / 10000.0;
  {
    Note n;
    n.calc = {1, 0};
    ASSERT_EQ(CalcMorvikMC(n.Args(), nullptr), 1);
    // Delta, gamma and vega of both stocks are 0: no path's value depends on
    // the stocks. The two whole-note slots are cleared, not computed.
    for (int m = 1; m <= 8; ++m) EXPECT_EQ(n.outPrice[m], 0.0) << "slot " << m;
    EXPECT_EQ(n.outPrice[9], kSentinel);
  }
  {
    Note n;
    n.calc = {2, 0};
    ASSERT_EQ(CalcMorvikMC(n.Args(), nullptr), 1);
    for (int m = 1; m <= 6; ++m) EXPECT_EQ(n.outPrice[m], 0.0) << "slot " << m;
    // Theta: every observation lies more than 4 days ahead, so the schedule
    // moves 4 days nearer and the difference is divided by 4.
    const double theta = (ClosedFormPrice(kRate, 4) - ClosedFormPrice(kRate)) / 4.0;
    EXPECT_NEAR(n.outPrice[7], theta / 10000.0 * kNotional, 1e-6);
    EXPECT_GT(n.outPrice[7], 0.0);
    // Rho: all curves one point up and down, half the difference.
    const double rho = (ClosedFormPrice(kRate + 0.01) - ClosedFormPrice(kRate - 0.01)) * 0.5;
    EXPECT_NEAR(n.outPrice[8], rho / 10000.0 * kNotional, 1e-6);
    EXPECT_LT(n.outPrice[8], 0.0);
    EXPECT_NEAR(n.outPrice[0], perUnit * ClosedFormPrice(kRate), 1e-6);
    EXPECT_EQ(n.outPrice[9], kSentinel);
  }
}

TEST(ExtendedEntryTest, ZeroNotionalZeroesMoneyButKeepsProbabilities) {
  Note n;
  n.notional = 0.0;
  ASSERT_EQ(CalcMorvikMC(n.Args(), nullptr), 1);
  EXPECT_EQ(n.outPrice[0], 0.0);
  EXPECT_EQ(n.outProb[0], 1.0);
  for (int s = 4; s < 8; ++s) EXPECT_EQ(n.outProb[s], 0.0);
  EXPECT_EQ(n.outCoupon[0], 1.0);
  EXPECT_EQ(n.outCoupon[1], 0.0);
}

TEST(ExtendedEntryTest, NoCouponsLeavesTheCouponOutputAlone) {
  Note n;
  n.DropCoupons();
  ASSERT_EQ(CalcMorvikMC(n.Args(), nullptr), 1);
  EXPECT_EQ(n.outCoupon, std::vector<double>(4, kSentinel));
  EXPECT_NEAR(n.outPrice[0], kNotional * std::exp(-kRate * (kPay0Days / 365.0)), 1e-6);
}

TEST(ExtendedEntryTest, RejectedCallReturnsTheCodeAndTouchesNoOutput) {
  struct Case {
    const char* what;
    void (*spoil)(Note&);
    int code;
  };
  const Case cases[] = {
      {"pricing date out of range", [](Note& n) { n.priceDate = 19000100; }, -100},
      {"no stock", [](Note& n) { n.nStock = 0; }, -2004},
      {"negative notional", [](Note& n) { n.notional = -1.0; }, -201},
      {"sensitivity flag 3", [](Note& n) { n.calc = {3, 0}; }, -301},
  };
  for (const Case& c : cases) {
    Note n;
    c.spoil(n);
    EXPECT_EQ(CalcMorvikMC(n.Args(), nullptr), c.code) << c.what;
    EXPECT_EQ(n.outProb, std::vector<double>(10, kSentinel)) << c.what;
    EXPECT_EQ(n.outCoupon, std::vector<double>(4, kSentinel)) << c.what;
    EXPECT_EQ(n.outPrice, std::vector<double>(11, kSentinel)) << c.what;
  }
}

TEST(ExtendedEntryTest, NoTraceMeansNoDirectoryAndNoFile) {
  InTempDir tmp;
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.calc = {1, 0};
  ASSERT_EQ(CalcMorvikMC(n.Args(), &FixedClock), 1);
  Note bad;
  bad.priceDate = 19000100;
  ASSERT_EQ(CalcMorvikMC(bad.Args(), &FixedClock), -100);
  EXPECT_TRUE(tmp.empty());
}

TEST(ExtendedEntryTest, RejectedCallLogsTheFullDumpThenReturn) {
  InTempDir tmp;
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.priceDate = 19000100;
  n.calc = {0, 1};
  ASSERT_EQ(CalcMorvikMC(n.Args(), &FixedClock), -100);
  bool crlf = false;
  const std::vector<std::string> lines = TraceLines(&crlf);
  ASSERT_EQ(lines.size(), 47u);
  EXPECT_TRUE(crlf);
  EXPECT_EQ(lines[0], "PriceDate : 19000100");
  EXPECT_EQ(lines[45], "CalcFlag : 0, 1");
  EXPECT_EQ(lines[46], "Return : -100");
  EXPECT_EQ(n.outPrice, std::vector<double>(11, kSentinel));
}

TEST(ExtendedEntryTest, LoggedCallEndsWithTheThreeResultLines) {
  InTempDir tmp;
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.calc = {1, 1};
  ASSERT_EQ(CalcMorvikMC(n.Args(), &FixedClock), 1);
  bool crlf = false;
  const std::vector<std::string> lines = TraceLines(&crlf);
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_TRUE(crlf);
  EXPECT_EQ(lines[45], "CalcFlag : 1, 1");
  EXPECT_EQ(lines[46],
            "ELS_Prob_n_Cf : 1.000000, 0.000000, 0.000000, 0.000000, 1234567.000000, 0.000000, "
            "0.000000, 0.000000");
  EXPECT_EQ(lines[47], "ELS_Coupon_Prob_n_Cf : 1.000000, " + Fixed6(n.outCoupon[1]));
  std::string price = "ResultPrice : " + Fixed6(n.outPrice[0]);
  for (int m = 1; m <= 8; ++m) price += ", 0.000000";
  EXPECT_EQ(lines[48], price);
}

TEST(ExtendedEntryTest, LoggedCallWithoutCouponsOrSensitivities) {
  InTempDir tmp;
  ASSERT_TRUE(tmp.ok());
  Note n;
  n.DropCoupons();
  n.calc = {0, 1};
  ASSERT_EQ(CalcMorvikMC(n.Args(), &FixedClock), 1);
  bool crlf = false;
  const std::vector<std::string> lines = TraceLines(&crlf);
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_EQ(lines[47], "ELS_Coupon_Prob_n_Cf : ");
  EXPECT_EQ(lines[48], "ResultPrice : " + Fixed6(n.outPrice[0]));
}

// Every allocation of the call, one at a time, is made to fail: the call
// then returns -1 with all three outputs as the caller passed them, or (when
// the failure hit only the trace, which is skipped) prices as usual.
TEST(ExtendedEntryTest, AllocationFailureAnywhereReturnsMinusOneAndWritesNothing) {
  for (int trace : {0, 1}) {
    InTempDir tmp;
    ASSERT_TRUE(tmp.ok());
    Note ref;
    ref.calc = {0, trace};
    ASSERT_EQ(CalcMorvikMC(ref.Args(), &FixedClock), 1);
    bool reachedEnd = false;
    int failedCalls = 0;
    for (long k = 0; k < 20000 && !reachedEnd; ++k) {
      Note n;
      n.calc = {0, trace};
      const ExtendedArgs a = n.Args();
      ArmAllocationFailure(k);
      const int rc = CalcMorvikMC(a, &FixedClock);
      const bool fired = DisarmAllocationFailure();
      if (!fired) reachedEnd = true;
      if (rc == -1) {
        ++failedCalls;
        EXPECT_TRUE(fired) << "allocation " << k;
        EXPECT_EQ(n.outProb, std::vector<double>(10, kSentinel)) << "allocation " << k;
        EXPECT_EQ(n.outCoupon, std::vector<double>(4, kSentinel)) << "allocation " << k;
        EXPECT_EQ(n.outPrice, std::vector<double>(11, kSentinel)) << "allocation " << k;
      } else {
        ASSERT_EQ(rc, 1) << "allocation " << k;
        EXPECT_EQ(n.outProb, ref.outProb) << "allocation " << k;
        EXPECT_EQ(n.outCoupon, ref.outCoupon) << "allocation " << k;
        EXPECT_EQ(n.outPrice, ref.outPrice) << "allocation " << k;
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
  ref.calc = {2, 0};
  ASSERT_EQ(CalcMorvikMC(ref.Args(), &FixedClock), 1);
  bool reachedEnd = false;
  int failedCalls = 0;
  for (long k = 0; k < 200000 && !reachedEnd; ++k) {
    Note n;
    n.calc = {2, 0};
    const ExtendedArgs a = n.Args();
    ArmAllocationFailure(k);
    const int rc = CalcMorvikMC(a, &FixedClock);
    const bool fired = DisarmAllocationFailure();
    if (!fired) reachedEnd = true;
    if (rc == -1) {
      ++failedCalls;
      EXPECT_EQ(n.outProb, std::vector<double>(10, kSentinel)) << "allocation " << k;
      EXPECT_EQ(n.outPrice, std::vector<double>(11, kSentinel)) << "allocation " << k;
    } else {
      ASSERT_EQ(rc, 1) << "allocation " << k;
      ASSERT_FALSE(fired) << "allocation " << k << " failed but the call succeeded";
      EXPECT_EQ(n.outPrice, ref.outPrice);
    }
  }
  EXPECT_TRUE(reachedEnd);
  EXPECT_GT(failedCalls, 50);
}

}  // namespace
}  // namespace morvik
