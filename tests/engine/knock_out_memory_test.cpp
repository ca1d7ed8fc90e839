// The stock-by-stock knock-out memory on deterministic paths: zero
// volatility and zero rates keep every stock at its level, and one-day
// yields of -36.5 and +36.5 lift a stock by 10 % for one day (to 1.1, then
// 0.99), so each stock touches the barrier 1.05 exactly on the days chosen.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/core_valuation.h"
#include "engine/engine_grids.h"
#include "engine/simulate.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

using testing::CoreNote;

double Df(double rate, int days) { return std::exp(-rate * (days / 365.0)); }

// Stock i closes at 1.1 times its level on `day` and at 0.99 the day after.
void Spike(CoreNote& f, int i, int day) {
  f.DailyDivRows[i][day - 1] = -36.5;
  f.DailyDivRows[i][day] = 36.5;
}

// Stocks at 1.0; dates on days 30 and 60 (paid on 35 and 65), barrier 1.05
// in both periods, strikes out of reach: only a touch redeems, paying 1.02
// on date 0 and 1.04 on date 1; otherwise maturity pays 1.0 (slot 2).
CoreNote MemoryNote(int stocks) {
  CoreNote f(stocks, {30, 60}, {35, 65});
  f.KnockBarrierFlag0 = 1;
  f.KO_Barrier = {1.05, 1.05};
  f.PayOffAmount3[0] = 0.02;
  f.PayOffAmount3[1] = 0.04;
  f.SetDiscRate(0.03);
  return f;
}

// The outcome slot of a deterministic note: every path ends in it.
int Slot(CoreNote& f, int mode) {
  f.KnockBarrierFlag0 = mode;
  const CoreArgs a = f.View();
  SimulateELS(a, f.FixedFlag[0], f.Results());
  int slot = -1;
  for (int s = 0; s < f.NStrike + 2; ++s) {
    if (f.ELS_Prob[s] == 1.0) {
      EXPECT_EQ(slot, -1) << "two slots";
      slot = s;
    } else {
      EXPECT_EQ(f.ELS_Prob[s], 0.0) << s;
    }
  }
  return slot;
}

constexpr int kMemory = 1;
constexpr int kWorst = 0;

TEST(KnockOutMemory, TouchesOnDifferentDaysOfAPeriodRedeem) {
  // Two stocks on days 5 and 10: one touch each, never together.
  CoreNote two = MemoryNote(2);
  Spike(two, 0, 5);
  Spike(two, 1, 10);
  EXPECT_EQ(Slot(two, kMemory), 0);
  EXPECT_NEAR(two.ELS_Cf[0], 10200, 1e-9);
  EXPECT_NEAR(two.ResultPrice[0], 10000 * Df(0.03, 35) * 1.02, 1e-9);
  EXPECT_EQ(Slot(two, kWorst), 2);

  // Three stocks, the last on the observation day itself.
  CoreNote three = MemoryNote(3);
  Spike(three, 0, 5);
  Spike(three, 1, 12);
  Spike(three, 2, 30);
  EXPECT_EQ(Slot(three, kMemory), 0);
  EXPECT_EQ(Slot(three, kWorst), 2);

  // Two of three touching is no touch.
  CoreNote partial = MemoryNote(3);
  Spike(partial, 0, 5);
  Spike(partial, 2, 20);
  EXPECT_EQ(Slot(partial, kMemory), 2);
}

TEST(KnockOutMemory, CarriedFlagsAddToTheTouchesOfThePeriod) {
  CoreNote f = MemoryNote(3);
  f.BeKO_Hitted = {1, 0, 0};
  Spike(f, 1, 5);
  Spike(f, 2, 10);
  EXPECT_EQ(Slot(f, kMemory), 0);
  EXPECT_EQ(f.BeKO_Hitted, (std::vector<int>{1, 0, 0}));  // the caller's flags
  f.BeKO_Hitted = {0, 0, 0};
  EXPECT_EQ(Slot(f, kMemory), 2);

  // A flag other than 0 counts on a simulated day.
  f.BeKO_Hitted = {2, 0, 0};
  EXPECT_EQ(Slot(f, kMemory), 0);
}

TEST(KnockOutMemory, ANonRedeemingDateClearsThePeriodsTouches) {
  // Stock 0 touches in the first period, stock 1 in the second.
  CoreNote f = MemoryNote(2);
  Spike(f, 0, 5);
  Spike(f, 1, 40);
  EXPECT_EQ(Slot(f, kMemory), 2);
  // A carried flag is cleared by the first date as well.
  CoreNote carried = MemoryNote(2);
  carried.BeKO_Hitted = {1, 0};
  Spike(carried, 1, 40);
  EXPECT_EQ(Slot(carried, kMemory), 2);

  // Stock 0 touching again in the second period redeems on date 1.
  Spike(f, 0, 45);
  EXPECT_EQ(Slot(f, kMemory), 1);
  EXPECT_NEAR(f.ELS_Cf[1], 10400, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * Df(0.03, 65) * 1.04, 1e-9);
}

TEST(KnockOutMemory, ThePricingDateTouchIsRemembered) {
  // Stock 0 starts at 1.1 and falls to 0.99 on day 1; stock 1 touches on
  // day 10.
  CoreNote f = MemoryNote(2);
  f.SetPerformance(0, 1.1);
  f.DailyDivRows[0][0] = 36.5;
  Spike(f, 1, 10);
  EXPECT_EQ(Slot(f, kMemory), 0);
  EXPECT_EQ(Slot(f, kWorst), 2);
  f.SetPerformance(0, 1.04);
  EXPECT_EQ(Slot(f, kMemory), 2);

  // Window fixings above the barrier are no touch: date 0 on day 2 with a
  // four-day window, stock 1 at 1.1 on both fixings, stock 0 touching on day 1.
  CoreNote w(2, {2, 30}, {5, 35});
  w.KnockBarrierFlag0 = 1;
  w.KO_Barrier = {1.05, 1.05};
  w.KO_WindowLen = {4, 1};
  w.FixedFlag = {2, 0};
  w.SC = {100, 110, 100, 110};
  Spike(w, 0, 1);
  EXPECT_EQ(Slot(w, kMemory), 2);
}

TEST(KnockOutMemory, PricingDateFlagsOfThePathsStartingCopy) {
  struct Case {
    int mode;
    std::vector<int> given;
    std::vector<double> perf;
    std::vector<int> flags;
    int touch;
  };
  // Barrier 1.05. The pricing-date test counts a flag of 1 only.
  const Case cases[] = {
      {kMemory, {0, 0}, {1.1, 1.0}, {1, 0}, 0},
      {kMemory, {0, 1}, {1.1, 1.0}, {1, 1}, 1},
      {kMemory, {0, 0}, {1.05, 1.06}, {1, 1}, 1},
      {kMemory, {2, 0}, {1.0, 1.1}, {2, 1}, 0},
      {kMemory, {2, 0}, {1.1, 1.1}, {1, 1}, 1},
      {kWorst, {0, 0}, {1.1, 1.0}, {0, 0}, 0},
      {kWorst, {0, 0}, {1.1, 1.06}, {0, 0}, 1},
      {kWorst, {1, 1}, {0.5, 0.5}, {1, 1}, 1},
  };
  for (const Case& c : cases) {
    CoreNote f = MemoryNote(2);
    f.KnockBarrierFlag0 = c.mode;
    f.BeKO_Hitted = c.given;
    for (int i = 0; i < 2; ++i) f.SetPerformance(i, c.perf[i]);
    EngineGrids g;
    BuildEngineGrids(f.View(), 0, g);
    EXPECT_EQ(g.memoryInit, c.flags) << c.perf[0] << " " << c.perf[1];
    EXPECT_EQ(g.touchInit, c.touch) << c.perf[0] << " " << c.perf[1];
    EXPECT_EQ(f.BeKO_Hitted, c.given);
  }
}

TEST(KnockOutMemory, EveryEntryAndStreamRemembers) {
  CoreNote f = MemoryNote(3);
  f.BeKO_Hitted = {1, 0, 0};
  Spike(f, 1, 5);
  Spike(f, 2, 10);
  f.NTrials = 3;

  // The core entry, on its fixed stream and on a seeded one.
  for (int seed : {0, 7}) {
    const CoreArgs a = f.View();
    ASSERT_EQ(MorvikCore(a, f.Results(), seed, nullptr), 1);
    EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0) << seed;
    EXPECT_EQ(f.BeKO_Hitted, (std::vector<int>{1, 0, 0})) << seed;
  }

  // The path-addressed stream of the aligned valuations.
  SimJob job;
  StartSimulation(f.View(), 0, f.Results(), job);
  PathScratch w = job.w;
  RunTally acc;
  StartTally(job, 0, acc);
  SimulateAlignedBlock(job, 11, 0, 3, w, acc);
  EXPECT_EQ(acc.t.prob[0], 3.0);
  EXPECT_EQ(acc.t.paths, 3);
}

}  // namespace
}  // namespace morvik
