// The rows of the bump table, revalued one by one against a stand-in core
// that records every revaluation it is asked for: which inputs were bumped,
// by how much, in which order, and what happens when a revaluation reports
// failure.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "tests/sensitivities/one_by_one.h"

namespace morvik {
namespace {

using namespace one_by_one;

// What the stand-in core saw in one call.
struct Seen {
  std::vector<double> curPrice, surface, curveStock, curveDisc;
  const double* basePrice = nullptr;
  const double* parity = nullptr;
  const double* tCurveStock = nullptr;
  const double* tCurveDisc = nullptr;
  std::vector<int> koObs, koPay, cpObs, cpPay;
  const int* cpObsPtr = nullptr;
  int reserved = -99;
  double* pricePtr = nullptr;
};

// Test-only recorder. Sizes of the arrays to copy are set by each test.
struct Recorder {
  int surfaceSize = 0, curveStockSize = 0;
  std::vector<int> status;      // return value per call (1 when absent)
  std::vector<double> price;    // scripted price per call (input-derived when absent)
  std::vector<Seen> calls;
};
Recorder g_rec;

// Price that depends on every bumpable input, so an unchanged input set
// prices the same.
double DerivedPrice(const CoreArgs& a) {
  double p = 0.0;
  for (int i = 0; i < a.NStock; ++i) p += a.CurPrice[i] * (i + 1);
  for (int m = 0; m < g_rec.surfaceSize; ++m) p += a.LocalVolSurface[m];
  for (int m = 0; m < g_rec.curveStockSize; ++m) p += a.CurveInfo_Stock[m];
  for (int m = 0; m < a.NT_Disc; ++m) p += a.CurveInfo_Disc[m];
  for (int i = 0; i < a.NStrike; ++i) p += a.KO_ObsDays[i] + a.KO_PayDays[i];
  for (int j = 0; j < a.NCoupon; ++j) p += a.Coupon_ObsDays[j] + a.Coupon_PayDays[j];
  return p;
}

int FakeCore(const CoreArgs& a, const CoreResults& out) {
  const std::size_t n = g_rec.calls.size();
  Seen s;
  s.curPrice.assign(a.CurPrice, a.CurPrice + a.NStock);
  s.surface.assign(a.LocalVolSurface, a.LocalVolSurface + g_rec.surfaceSize);
  s.curveStock.assign(a.CurveInfo_Stock, a.CurveInfo_Stock + g_rec.curveStockSize);
  if (a.NT_Disc > 0) s.curveDisc.assign(a.CurveInfo_Disc, a.CurveInfo_Disc + a.NT_Disc);
  s.basePrice = a.BasePrice;
  s.parity = a.Parity_Scaled;
  s.tCurveStock = a.TCurveInfo_Stock;
  s.tCurveDisc = a.TCurveInfo_Disc;
  s.koObs.assign(a.KO_ObsDays, a.KO_ObsDays + a.NStrike);
  s.koPay.assign(a.KO_PayDays, a.KO_PayDays + a.NStrike);
  s.cpObs.assign(a.Coupon_ObsDays, a.Coupon_ObsDays + a.NCoupon);
  s.cpPay.assign(a.Coupon_PayDays, a.Coupon_PayDays + a.NCoupon);
  s.cpObsPtr = a.Coupon_ObsDays;
  s.reserved = a.Reserved;
  s.pricePtr = out.ResultPrice;
  g_rec.calls.push_back(s);
  // Touch the whole result block, as the core entry does when it clears it.
  for (int d = 0; d < a.NStrike + 2; ++d) out.ELS_Prob[d] = out.ELS_Cf[d] = 0.5;
  for (int c = 0; c < a.NCoupon; ++c) out.ELS_Coupon_Prob[c] = out.ELS_Coupon_Cf[c] = 0.5;
  out.ResultPrice[0] = n < g_rec.price.size() ? g_rec.price[n] : DerivedPrice(a);
  return n < g_rec.status.size() ? g_rec.status[n] : 1;
}

// A small two-stock note: NVol {3, 4}, NParity {5, 6}, three observation
// dates far ahead, two coupons, curves of 2 + 3 points and a 2-point
// discount curve.
struct Note {
  std::vector<double> cur{100.0, 50.0}, base{100.0, 40.0};
  std::vector<double> tCurveStock{0.5, 1.0, 0.5, 1.0, 2.0};
  std::vector<double> curveStock{0.03, 0.031, 0.02, 0.021, 0.022};
  std::vector<int> ntStock{2, 3};
  std::vector<double> tDisc{0.5, 2.0}, disc{0.035, 0.036};
  std::vector<double> tVol{0.5, 1.0, 2.0, 0.25, 0.5, 1.0, 2.0};
  std::vector<double> parity{0.8, 0.9, 1.0, 1.1, 1.2, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2};
  std::vector<double> surface;
  std::vector<int> nVol{3, 4}, nParity{5, 6};
  std::vector<int> koObs{30, 180, 360}, koPay{35, 185, 365}, window{1, 1, 1};
  std::vector<int> cpObs{90, 270}, cpPay{95, 275};
  std::vector<int> fixed{0, 0};
  CoreArgs a;

  Note() {
    for (int m = 0; m < 39; ++m) surface.push_back(0.2 + 0.001 * m);
    a.Reserved = 5;  // must reach the core as 0
    Bind();
  }

  // Points the view at the arrays (again, after a test replaced one).
  void Bind() {
    a.CurPrice = cur.data();
    a.BasePrice = base.data();
    a.TCurveInfo_Stock = tCurveStock.data();
    a.CurveInfo_Stock = curveStock.data();
    a.NT_Stock = ntStock.data();
    a.TCurveInfo_Disc = tDisc.data();
    a.CurveInfo_Disc = disc.data();
    a.NT_Disc = 2;
    a.TVol = tVol.data();
    a.Parity_Scaled = parity.data();
    a.LocalVolSurface = surface.data();
    a.NVol = nVol.data();
    a.NParity = nParity.data();
    a.NStock = 2;
    a.NStrike = 3;
    a.KO_ObsDays = koObs.data();
    a.KO_PayDays = koPay.data();
    a.KO_WindowLen = window.data();
    a.NCoupon = 2;
    a.Coupon_ObsDays = cpObs.data();
    a.Coupon_PayDays = cpPay.data();
    a.FixedFlag = fixed.data();
  }
};

class BumpFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    g_rec = Recorder();
    g_rec.surfaceSize = 39;
    g_rec.curveStockSize = 5;
  }
  Note note;
};

TEST_F(BumpFrame, DeltaBumpsOneSpotUpThenDownAndHalvesTheDifference) {
  g_rec.price = {10250.0, 10100.5};
  const double d = CalcDeltaWith<FakeCore>(2, note.a);
  EXPECT_EQ(d, 74.75);
  ASSERT_EQ(g_rec.calls.size(), 2u);
  EXPECT_EQ(g_rec.calls[0].curPrice, (std::vector<double>{100.0, 50.0 * 1.01}));
  EXPECT_EQ(g_rec.calls[1].curPrice, (std::vector<double>{100.0, 50.0 * 0.99}));
  for (const Seen& s : g_rec.calls) {
    EXPECT_EQ(s.basePrice, note.base.data());
    EXPECT_EQ(s.parity, note.parity.data());
    EXPECT_EQ(s.surface, note.surface);
    EXPECT_EQ(s.reserved, 0);
  }
  EXPECT_NE(g_rec.calls[0].pricePtr, g_rec.calls[1].pricePtr);
  // The caller's prices are left as they were.
  EXPECT_EQ(note.cur, (std::vector<double>{100.0, 50.0}));
}

TEST_F(BumpFrame, GammaRevaluesUpDownThenUnchanged) {
  g_rec.price = {10100.0, 9900.5, 10000.0};
  const double g = CalcGammaWith<FakeCore>(1, note.a);
  EXPECT_DOUBLE_EQ(g, 0.005);
  ASSERT_EQ(g_rec.calls.size(), 3u);
  EXPECT_EQ(g_rec.calls[0].curPrice, (std::vector<double>{100.0 * 1.1, 50.0}));
  EXPECT_EQ(g_rec.calls[1].curPrice, (std::vector<double>{100.0 * 0.9, 50.0}));
  EXPECT_EQ(g_rec.calls[2].curPrice, note.cur);
  EXPECT_NE(g_rec.calls[0].pricePtr, g_rec.calls[2].pricePtr);
  EXPECT_NE(g_rec.calls[1].pricePtr, g_rec.calls[2].pricePtr);
}

TEST_F(BumpFrame, VegaOfTheSecondStockMovesExactlyItsBlock) {
  note.surface[15] = 0.005;  // floored
  note.surface[16] = 0.01;   // floored: 0.01 - 0.01 = 0
  note.surface[17] = 0.2;
  note.surface[14] = 0.005;  // stock 1's block: untouched
  g_rec.price = {10300.0, 10200.0};
  EXPECT_EQ(CalcVegaWith<FakeCore>(2, note.a), 50.0);
  ASSERT_EQ(g_rec.calls.size(), 2u);
  const std::vector<double>& up = g_rec.calls[0].surface;
  const std::vector<double>& down = g_rec.calls[1].surface;
  for (int m = 0; m < 15; ++m) {
    EXPECT_EQ(up[m], note.surface[m]) << m;
    EXPECT_EQ(down[m], note.surface[m]) << m;
  }
  for (int m = 15; m < 39; ++m) {
    EXPECT_EQ(up[m], note.surface[m] + 0.01) << m;
    if (m > 16) {
      EXPECT_EQ(down[m], note.surface[m] - 0.01) << m;
    }
  }
  EXPECT_EQ(down[15], 1e-12);
  EXPECT_EQ(down[16], 1e-12);
  EXPECT_DOUBLE_EQ(up[17], 0.21);
  EXPECT_DOUBLE_EQ(down[17], 0.19);
  for (const Seen& s : g_rec.calls) EXPECT_EQ(s.curPrice, note.cur);
}

TEST_F(BumpFrame, RhoMovesEveryCurveValueInParallel) {
  g_rec.price = {9990.0, 10010.0};
  EXPECT_EQ(CalcRhoWith<FakeCore>(note.a), -10.0);
  ASSERT_EQ(g_rec.calls.size(), 2u);
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(g_rec.calls[0].curveStock[m], note.curveStock[m] + 0.01);
    EXPECT_EQ(g_rec.calls[1].curveStock[m], note.curveStock[m] - 0.01);
  }
  for (int m = 0; m < 2; ++m) {
    EXPECT_EQ(g_rec.calls[0].curveDisc[m], note.disc[m] + 0.01);
    EXPECT_EQ(g_rec.calls[1].curveDisc[m], note.disc[m] - 0.01);
  }
  for (const Seen& s : g_rec.calls) {
    EXPECT_EQ(s.tCurveStock, note.tCurveStock.data());
    EXPECT_EQ(s.tCurveDisc, note.tDisc.data());
  }
  EXPECT_EQ(note.disc, (std::vector<double>{0.035, 0.036}));
}

TEST_F(BumpFrame, RhoWithoutDiscountPointsStillShiftsStockCurves) {
  note.a.NT_Disc = 0;
  CalcRhoWith<FakeCore>(note.a);
  ASSERT_EQ(g_rec.calls.size(), 2u);
  EXPECT_TRUE(g_rec.calls[0].curveDisc.empty());
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(g_rec.calls[0].curveStock[m], note.curveStock[m] + 0.01);
    EXPECT_EQ(g_rec.calls[1].curveStock[m], note.curveStock[m] - 0.01);
  }
}

TEST_F(BumpFrame, FailedRevaluationThrowsAndStopsTheRoutine) {
  struct Case {
    const char* name;
    double (*run)(const CoreArgs&);
  };
  const Case cases[] = {
      {"delta", [](const CoreArgs& a) { return CalcDeltaWith<FakeCore>(1, a); }},
      {"gamma", [](const CoreArgs& a) { return CalcGammaWith<FakeCore>(1, a); }},
      {"vega", [](const CoreArgs& a) { return CalcVegaWith<FakeCore>(1, a); }},
      {"rho", [](const CoreArgs& a) { return CalcRhoWith<FakeCore>(a); }},
      {"theta", [](const CoreArgs& a) { return CalcThetaWith<FakeCore>(a); }},
  };
  for (const Case& c : cases) {
    g_rec.calls.clear();
    g_rec.status = {-7, 1, 1};
    EXPECT_THROW(c.run(note.a), std::bad_alloc) << c.name;
    EXPECT_EQ(g_rec.calls.size(), 1u) << c.name;
  }
}

TEST_F(BumpFrame, AFailedLaterRevaluationFailsTooAndZeroIsSuccess) {
  g_rec.status = {1, 1, -1};
  g_rec.price = {10100.0, 9900.5, 10000.0};
  EXPECT_THROW(CalcGammaWith<FakeCore>(1, note.a), std::bad_alloc);
  EXPECT_EQ(g_rec.calls.size(), 3u);
  g_rec.calls.clear();
  g_rec.status = {0, 0};
  g_rec.price = {10.0, 4.0};
  EXPECT_EQ(CalcRhoWith<FakeCore>(note.a), 3.0);
  EXPECT_EQ(g_rec.calls.size(), 2u);
}

// ---- time sensitivity ----

TEST(ThetaRules, StepIsTheLongerOfFourAndTheLongestWindow) {
  std::vector<int> w1{1, 1, 1}, w2{1, 10, 3}, w3{4, 2};
  CoreArgs a;
  a.NStrike = 3;
  a.KO_WindowLen = w1.data();
  EXPECT_EQ(ThetaStep(a), 4);
  a.KO_WindowLen = w2.data();
  EXPECT_EQ(ThetaStep(a), 10);
  a.NStrike = 2;
  a.KO_WindowLen = w3.data();
  EXPECT_EQ(ThetaStep(a), 4);
  a.NStrike = 0;
  EXPECT_EQ(ThetaStep(a), 4);
}

TEST(ThetaRules, DirectionFollowsNearObservationsAndFixings) {
  std::vector<int> obs{3, 200}, cobs{100, 300}, fixed{0, 0};
  CoreArgs a;
  a.NStrike = 2;
  a.KO_ObsDays = obs.data();
  a.NCoupon = 2;
  a.Coupon_ObsDays = cobs.data();
  a.FixedFlag = fixed.data();
  EXPECT_TRUE(ThetaBackward(a, 4));  // 3 days ahead
  obs[0] = 5;
  EXPECT_FALSE(ThetaBackward(a, 4));  // 5 days ahead
  obs[0] = 4;
  EXPECT_TRUE(ThetaBackward(a, 4));  // exactly h days ahead
  obs[0] = 10;
  EXPECT_TRUE(ThetaBackward(a, 10));
  EXPECT_FALSE(ThetaBackward(a, 9));
  obs[0] = 0;
  EXPECT_FALSE(ThetaBackward(a, 4));  // today: already observed
  obs[0] = -20;
  EXPECT_FALSE(ThetaBackward(a, 4));
  cobs[0] = 2;
  EXPECT_TRUE(ThetaBackward(a, 4));  // a coupon observation 2 days ahead
  cobs[0] = 0;
  EXPECT_FALSE(ThetaBackward(a, 4));
  fixed = {0, 2};
  EXPECT_TRUE(ThetaBackward(a, 4));
  fixed = {3, 0};
  EXPECT_TRUE(ThetaBackward(a, 4));
  // Counts bound the scans: entries past NStrike and NCoupon are not read.
  fixed = {0, 0};
  obs = {50, 2};
  a.NStrike = 1;
  EXPECT_FALSE(ThetaBackward(a, 4));
}

TEST_F(BumpFrame, ThetaKeepsSettledDatesWhereTheyAre) {
  // First redemption observed and paid, second observed with payment pending
  // (fixings known, so backward); first coupon observed and paid.
  note.koObs = {-30, 0, 180};
  note.koPay = {-5, 3, 185};
  note.cpObs = {-60, 90};
  note.cpPay = {0, 95};
  note.fixed = {1, 0};
  note.Bind();
  CalcThetaWith<FakeCore>(note.a);
  ASSERT_EQ(g_rec.calls.size(), 2u);
  const Seen& moved = g_rec.calls[1];
  EXPECT_EQ(moved.koObs, (std::vector<int>{-30, 0, 184}));  // the pending date stays observed
  EXPECT_EQ(moved.koPay, (std::vector<int>{-5, 7, 189}));
  EXPECT_EQ(moved.cpObs, (std::vector<int>{-60, 94}));
  EXPECT_EQ(moved.cpPay, (std::vector<int>{0, 99}));
}

TEST(ThetaRules, ShiftedCopiesLeaveSettledDatesPendingObservationsAndTheSpareEntry) {
  const int obs[3] = {-10, -2, 40}, pay[3] = {-1, 6, 45};
  std::vector<int> o, p;
  ShiftSchedule(obs, pay, 3, -5, 4, o, p);
  EXPECT_EQ(o, (std::vector<int>{-10, -7, 35, 0}));
  EXPECT_EQ(p, (std::vector<int>{-1, 1, 40, 0}));
  // Pushed away, the observed date with its payment pending moves only its
  // payment.
  ShiftSchedule(obs, pay, 3, 5, 3, o, p);
  EXPECT_EQ(o, (std::vector<int>{-10, -2, 45}));
  EXPECT_EQ(p, (std::vector<int>{-1, 11, 50}));
  ShiftSchedule(obs, pay, 0, 5, 1, o, p);
  EXPECT_EQ(o, (std::vector<int>{0}));
}

TEST_F(BumpFrame, ThetaWithoutCouponsPassesAnEmptyCouponSchedule) {
  note.a.NCoupon = 0;
  g_rec.price = {100.0, 108.0};
  EXPECT_EQ(CalcThetaWith<FakeCore>(note.a), 2.0);
  ASSERT_EQ(g_rec.calls.size(), 2u);
  EXPECT_NE(g_rec.calls[1].cpObsPtr, nullptr);  // room for one entry
}

}  // namespace
}  // namespace morvik
