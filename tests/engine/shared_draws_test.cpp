// Valuations that read one shared stream of normals give bit for bit what
// each gives on its own stream, however far apart they drift in the stream
// and however small the memory kept for it; and the stream's chunks,
// dropped and generated again, are the generator's own normals.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/shared_stream.h"
#include "engine/core_valuation.h"
#include "engine/shared_valuation.h"
#include "numerics/random.h"
#include "sensitivities/bump_table.h"
#include "sensitivities/sensitivities.h"
#include "testing/core_note.h"
#include "tests/sensitivities/one_by_one.h"
#include "tests/support/run_backwards.h"
#include "termsheet/task_threads.h"

namespace morvik {
namespace {

using testing::SmallNote;

// The normals of the stream restarted from its seed, one by one.
std::vector<double> PlainStream(std::size_t n) {
  RandState rs;
  (void)RandNormal(rs, 0);
  std::vector<double> z(n);
  for (double& v : z) v = RandNormal(rs, 1);
  return z;
}

TEST(SharedStream, ChunksDroppedAndGeneratedAgainAreTheSameNormals) {
  const std::vector<double> plain = PlainStream(35);
  SharedStream s(StreamLimits{7, 2});  // odd size: a chunk may end inside a normal pair
  std::vector<double> first(7);
  for (std::int64_t k = 0; k < 5; ++k) {
    const double* c = s.Acquire(k);
    for (int m = 0; m < 7; ++m) EXPECT_EQ(c[m], plain[k * 7 + m]) << k << " " << m;
    if (k == 0) first.assign(c, c + 7);
  }
  EXPECT_EQ(s.Generated(), 5);
  // Chunk 0 was dropped to make room; asked again it is regenerated.
  const double* again = s.Acquire(0);
  for (int m = 0; m < 7; ++m) EXPECT_EQ(again[m], first[m]);
  EXPECT_EQ(s.Generated(), 6);
  // Chunk 4 is still held: no generation.
  s.Acquire(4);
  EXPECT_EQ(s.Generated(), 6);
}

TEST(SharedStream, ReaderCrossesChunksInStreamOrder) {
  const std::vector<double> plain = PlainStream(40);
  SharedStream s(StreamLimits{3, 1});
  SharedReader r;
  r.stream = &s;
  for (int m = 0; m < 20; ++m) EXPECT_EQ(r.Next(), plain[m]);
  r.Detach();
  EXPECT_EQ(r.Position(), 20);
  // Another reader takes the only slot; the first resumes where it was.
  SharedReader other;
  other.stream = &s;
  EXPECT_EQ(other.Next(), plain[0]);
  other.Detach();
  r.Attach();
  for (int m = 20; m < 40; ++m) EXPECT_EQ(r.Next(), plain[m]);
}

TEST(SharedStream, CorrelatedRowsAreTheFactorTimesTheStreamAndNeverStraddleChunks) {
  const std::vector<double> plain = PlainStream(60);
  const double L[9] = {1.0, 0.0, 0.0, 0.5, 0.8660254037844386, 0.0, 0.25, 0.3, 0.92};
  SharedStream s(StreamLimits{10, 1}, 3, L);  // 10 normals hold three whole rows
  EXPECT_EQ(s.ChunkNormals(), 9u);
  SharedReader r;
  r.stream = &s;
  for (int day = 0; day < 20; ++day) {
    const double* row = r.Row(3);
    const double* z = plain.data() + 3 * day;
    // Each correlated normal is summed from the first stock up, from 0.0.
    EXPECT_EQ(row[0], 0.0 + L[0] * z[0]) << day;
    EXPECT_EQ(row[1], 0.0 + L[3] * z[0] + L[4] * z[1]) << day;
    EXPECT_EQ(row[2], 0.0 + L[6] * z[0] + L[7] * z[1] + L[8] * z[2]) << day;
  }
}

// Core results of one valuation, with its own result block.
struct Outcome {
  std::vector<double> prob, cf, cprob, ccf;
  double price = -1.0;
  int status = 0;
  CoreResults out;
  explicit Outcome(const CoreArgs& a)
      : prob(a.NStrike + 2, -5.0), cf(a.NStrike + 2, -5.0), cprob(a.NCoupon + 1, -5.0),
        ccf(a.NCoupon + 1, -5.0) {
    out.ELS_Prob = prob.data();
    out.ELS_Cf = cf.data();
    out.ELS_Coupon_Prob = cprob.data();
    out.ELS_Coupon_Cf = ccf.data();
    out.ResultPrice = &price;
  }
};

void ExpectSame(const Outcome& a, const Outcome& b, int r) {
  EXPECT_EQ(a.status, b.status) << r;
  EXPECT_EQ(a.price, b.price) << r;
  EXPECT_EQ(a.prob, b.prob) << r;
  EXPECT_EQ(a.cf, b.cf) << r;
  EXPECT_EQ(a.cprob, b.cprob) << r;
  EXPECT_EQ(a.ccf, b.ccf) << r;
}

// A note that redeems on its first date on most paths, and far less often
// when the first stock falls: bumped valuations then end their paths on
// different days and read the shared stream at different places.
struct DriftingNote : SmallNote {
  DriftingNote() : SmallNote(3) {
    for (int d = 0; d < 3; ++d) SetStrike(3, d, 0.97);
    NTrials = 300.0;
    Bind();
  }
};

void ExpectSharedMatchesPlain(const StreamLimits& limits) {
  DriftingNote n;
  BumpedSets spot, vol, theta;
  BuildBumpedSets(Bump{one_by_one::RowOf(Greek::kGamma), 1}, n.a, spot);
  BuildBumpedSets(Bump{one_by_one::RowOf(Greek::kVega), 2}, n.a, vol);
  BuildBumpedSets(Bump{one_by_one::RowOf(Greek::kTheta), 0}, n.a, theta);
  // The last note is already over: it values without simulating.
  SmallNote over(3);
  over.KO_ObsDays = {-60, -30, -1};
  over.KO_PayDays = {-55, -25, -1};
  over.SetCoupons({-50, -20}, {-45, -15}, {0.01, 0.01}, 0.8, 2);
  over.Bind();
  const CoreArgs* sets[6] = {&spot.first, &spot.second, &n.a, &vol.first, &theta.second, &over.a};

  std::vector<std::unique_ptr<Outcome>> plain, shared;
  std::vector<CoreResults> outs;
  for (const CoreArgs* a : sets) {
    plain.push_back(std::make_unique<Outcome>(*a));
    plain.back()->status = MorvikCore(*a, plain.back()->out);
    shared.push_back(std::make_unique<Outcome>(*a));
    outs.push_back(shared.back()->out);
  }
  std::vector<int> status(6, 0);
  ASSERT_EQ(MorvikCoreShared(sets, outs.data(), 6, status.data(), limits), 0);
  for (int r = 0; r < 6; ++r) {
    shared[r]->status = status[r];
    ExpectSame(*plain[r], *shared[r], r);
  }
  // The bump moves the first-date redemption rate: the valuations drift.
  EXPECT_GT(plain[0]->prob[0], plain[1]->prob[0] + 0.1);
}

TEST(SharedDraws, ValuationsDriftingApartMatchTheirOwnStreams) {
  ExpectSharedMatchesPlain(StreamLimits{});
}

TEST(SharedDraws, TinyMemoryForcesChunksToBeGeneratedAgain) {
  // Two chunks of 11 normals: the valuations are always further apart than
  // that, so chunks are dropped and regenerated all along.
  ExpectSharedMatchesPlain(StreamLimits{11, 2});
}

TEST(SharedDraws, BasketsOfDifferentSizesAndCorrelationsEachGetTheirOwnStream) {
  // Sizes 1 to 5 (5 takes the loop without a fixed basket size), one note
  // with another correlation, one with a quanto drift and cash dividends
  // (the full step rather than the plain one).
  std::vector<std::unique_ptr<SmallNote>> notes;
  for (int S : {3, 1, 2, 5, 3, 3}) notes.push_back(std::make_unique<SmallNote>(S));
  SmallNote& other = *notes[4];
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) other.UnderlyingCorr[i * 3 + k] = i == k ? 1.0 : 0.2;
  SmallNote& quanto = *notes[5];
  quanto.FX_Corr = {-0.4, 0.3, 0.0};
  quanto.QuantoFlag = {1, 1, 1};
  quanto.Div_TypeFlag = {2, 0, 0};
  for (double& q : quanto.DailyDivRows[0]) q = 0.0;
  quanto.DailyDivRows[0][40] = 1.5;
  std::vector<const CoreArgs*> sets;
  std::vector<std::unique_ptr<Outcome>> plain, shared;
  std::vector<CoreResults> outs;
  for (auto& n : notes) {
    n->Bind();
    sets.push_back(&n->a);
    plain.push_back(std::make_unique<Outcome>(n->a));
    plain.back()->status = MorvikCore(n->a, plain.back()->out);
    shared.push_back(std::make_unique<Outcome>(n->a));
    outs.push_back(shared.back()->out);
  }
  const int count = static_cast<int>(sets.size());
  std::vector<int> status(count, 0);
  ASSERT_EQ(MorvikCoreShared(sets.data(), outs.data(), count, status.data(), StreamLimits{13, 4}), 0);
  for (int r = 0; r < count; ++r) {
    shared[r]->status = status[r];
    ExpectSame(*plain[r], *shared[r], r);
  }
  EXPECT_NE(plain[0]->price, plain[4]->price);
  EXPECT_NE(plain[0]->price, plain[5]->price);
}

// The full set of sensitivities through the shared streams, the valuations
// run as the runner's tasks when one is given; returns them for a bitwise
// comparison.
std::vector<double> ExpectSensitivitiesMatch(const StreamLimits& limits, const TaskRunner* runner = nullptr) {
  SCOPED_TRACE(::testing::Message() << "width " << (runner ? runner->width : 0) << ", chunks "
                                    << limits.maxChunks);
  DriftingNote n;
  const int S = n.NStock;
  Greeks greeks;
  Outcome shared(n.a);
  shared.status = ValueWithSensitivities(n.a, shared.out, 2, greeks, limits, runner);
  Outcome plain(n.a);
  plain.status = MorvikCore(n.a, plain.out);
  ExpectSame(plain, shared, 0);
  std::vector<double> sens;
  for (int i = 0; i < S; ++i) {
    EXPECT_EQ(greeks.delta[i], one_by_one::CalcDelta(i + 1, n.a)) << i;
    EXPECT_EQ(greeks.gamma[i], one_by_one::CalcGamma(i + 1, n.a)) << i;
    EXPECT_EQ(greeks.vega[i], one_by_one::CalcVega(i + 1, n.a)) << i;
    sens.insert(sens.end(), {greeks.delta[i], greeks.gamma[i], greeks.vega[i]});
  }
  EXPECT_EQ(greeks.theta, one_by_one::CalcTheta(n.a));
  EXPECT_EQ(greeks.rho, one_by_one::CalcRho(n.a));
  EXPECT_NE(greeks.delta[0], 0.0);  // a real difference, not two equal prices
  sens.insert(sens.end(), {greeks.theta, greeks.rho});
  return sens;
}

TEST(SharedDraws, SensitivitiesMatchTheOneByOneRoutines) {
  ExpectSensitivitiesMatch(StreamLimits{});
  ExpectSensitivitiesMatch(StreamLimits{5, 3});
}

TEST(SharedDraws, ValuationsSplitIntoTasksGiveTheOnePassFiguresBitForBit) {
  // 2 and 3 groups, and more tasks than valuations (one each), on threads
  // and run backwards on this thread; with the default memory and with a
  // cap so small that every group, sharing it out, keeps a chunk or two.
  for (const StreamLimits& limits : {StreamLimits{}, StreamLimits{5, 3}}) {
    const std::vector<double> one = ExpectSensitivitiesMatch(limits);
    for (int width : {2, 3, 64}) {
      const TaskRunner threaded = ThreadRunner(width);
      const TaskRunner backwards{width, &support::RunBackwards};
      for (const TaskRunner* runner : {&threaded, &backwards}) {
        const std::vector<double> many = ExpectSensitivitiesMatch(limits, runner);
        ASSERT_EQ(many.size(), one.size());
        EXPECT_EQ(std::memcmp(many.data(), one.data(), one.size() * sizeof(double)), 0) << width;
      }
    }
  }
}

}  // namespace
}  // namespace morvik
