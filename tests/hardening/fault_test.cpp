// Fault tests of the full pricing call: an unusable log directory, guarded
// input and output arrays, allocation failure at every allocation of a call
// with sensitivities and trace, and windows reaching back past the first
// accepted date.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dates/calendar.h"
#include "fuzz/call_builder.h"
#include "testing/test_notes.h"
#include "tests/hardening/alloc_hook.h"
#include "tests/support/temp_cwd.h"

namespace morvik::hardening {
namespace {

namespace fs = std::filesystem;

using testing::CallOutputs;
using testing::Collect;
using testing::FillOutputs;
using testing::kOutputSentinel;
using testing::PathNote;
using testing::PathNoteKind;
using testing::SameBits;

// Runs a test inside a fresh empty directory and removes it afterwards.
struct TempCwd : support::TempCwd {
  TempCwd() : support::TempCwd("morvik_hard") {}
};

std::size_t FilesBelow(const fs::path& p) {
  std::size_t n = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(p, ec); it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file()) ++n;
  return n;
}

CallOutputs Price(FullCall c) {
  const int rc = c.Call();
  return Collect(c, rc);
}

// The results with the trace off, in a clean directory.
CallOutputs Reference(PathNoteKind kind, int calc0) {
  return Price(PathNote(kind, 16.0, calc0, 0));
}

TEST(HardeningLogFaults, FileWhereTheLogDirectoryShouldBe) {
  const CallOutputs ref = Reference(PathNoteKind::kTwoStocks, 2);
  ASSERT_EQ(ref.status, 1);
  TempCwd cwd;
  ASSERT_TRUE(cwd.ok());
  { std::ofstream("ZUN_Module_Log") << "not a directory"; }
  EXPECT_EQ(Price(PathNote(PathNoteKind::kTwoStocks, 16.0, 2, 1)), ref);
  // A rejected call still returns its code and leaves the outputs alone.
  FullCall bad = PathNote(PathNoteKind::kTwoStocks, 16.0, 2, 1);
  bad.PriceDate = 19000100;
  const CallOutputs rejected = Price(bad);
  EXPECT_EQ(rejected.status, -100);
  EXPECT_TRUE(SameBits(rejected.price, std::vector<double>(9, kOutputSentinel)));
  EXPECT_TRUE(fs::is_regular_file("ZUN_Module_Log"));
}

TEST(HardeningLogFaults, FileWhereTheCallsSubdirectoryShouldBe) {
  const CallOutputs ref = Reference(PathNoteKind::kPendingDate, 1);
  ASSERT_EQ(ref.status, 1);
  TempCwd cwd;
  ASSERT_TRUE(cwd.ok());
  fs::create_directory("ZUN_Module_Log");
  { std::ofstream("ZUN_Module_Log/ZUNP_MorvikMC") << "x"; }
  EXPECT_EQ(Price(PathNote(PathNoteKind::kPendingDate, 16.0, 1, 1)), ref);
  EXPECT_EQ(FilesBelow("ZUN_Module_Log"), 1u);  // only the blocking file
}

TEST(HardeningLogFaults, ReadOnlyLogDirectory) {
  // Permission bits do not stop root, and CI runs as root.
  if (geteuid() == 0) GTEST_SKIP() << "running as root: read-only directories are writable";
  const CallOutputs ref = Reference(PathNoteKind::kThreeStocks, 1);
  ASSERT_EQ(ref.status, 1);
  TempCwd cwd;
  ASSERT_TRUE(cwd.ok());
  fs::create_directories("ZUN_Module_Log/ZUNP_MorvikMC");
  ASSERT_EQ(chmod("ZUN_Module_Log/ZUNP_MorvikMC", 0555), 0);
  EXPECT_EQ(Price(PathNote(PathNoteKind::kThreeStocks, 16.0, 1, 1)), ref);
  EXPECT_EQ(FilesBelow("ZUN_Module_Log"), 0u);
  ASSERT_EQ(chmod(".", 0555), 0);  // nothing can be created at all
  EXPECT_EQ(Price(PathNote(PathNoteKind::kThreeStocks, 16.0, 1, 1)), ref);
}

TEST(HardeningLogFaults, WorkingTraceDoesNotChangeTheResults) {
  const CallOutputs ref = Reference(PathNoteKind::kThreeStocks, 2);
  ASSERT_EQ(ref.status, 1);
  TempCwd cwd;
  ASSERT_TRUE(cwd.ok());
  EXPECT_EQ(Price(PathNote(PathNoteKind::kThreeStocks, 16.0, 2, 1)), ref);
  EXPECT_EQ(FilesBelow("ZUN_Module_Log/ZUNP_MorvikMC"), 1u);
}

// Every array lives inside a larger buffer with a guard pattern on both
// sides: the call must neither change the inputs nor touch anything outside
// the outputs' contract lengths.
template <class T>
struct Guarded {
  static constexpr std::size_t kGuard = 16;
  std::vector<T> buf;
  std::vector<T> copy;
  std::size_t n = 0;
  static T Pattern(std::size_t k) { return static_cast<T>(-9000 - static_cast<long>(k)); }
  explicit Guarded(const std::vector<T>& v) : n(v.size()) {
    buf.resize(n + 2 * kGuard);
    for (std::size_t k = 0; k < buf.size(); ++k) buf[k] = Pattern(k);
    std::copy(v.begin(), v.end(), buf.begin() + kGuard);
    copy = buf;
  }
  T* data() { return buf.data() + kGuard; }
  bool Unchanged() const { return std::memcmp(buf.data(), copy.data(), buf.size() * sizeof(T)) == 0; }
  bool GuardsIntact() const {
    for (std::size_t k = 0; k < kGuard; ++k)
      if (buf[k] != Pattern(k) || buf[kGuard + n + k] != Pattern(kGuard + n + k)) return false;
    return true;
  }
};

struct GuardedCall {
  FullCall src;
  Guarded<double> price, tCurve, curve, tVol, parity, surface, corr, div, fxT, fxVol, fxCorr, x, ko,
      ki, slope, amount, redem, cBarrier, coupon, limit, sc, csc, outProb, outCoupon, outPrice;
  Guarded<int> nt, nVol, nParity, tDiv, nDiv, divType, fxN, quanto, dates, knock, beKO, cDates,
      fixed, calc;

  explicit GuardedCall(const FullCall& c)
      : src(c), price(c.UnderlyingPrice), tCurve(c.TCurveInfo), curve(c.CurveInfo), tVol(c.TVol),
        parity(c.Parity), surface(c.LocalVolSurface), corr(c.UnderlyingCorr), div(c.Div),
        fxT(c.FX_TVol), fxVol(c.FX_Vol), fxCorr(c.FX_Corr), x(c.X), ko(c.KO_Barrier),
        ki(c.KI_Barrier), slope(c.PayOffSlope), amount(c.PayOffAmount), redem(c.RedemCoupon),
        cBarrier(c.CouponBarrier), coupon(c.Coupon), limit(c.PayOffLimit), sc(c.SC),
        csc(c.Coupon_SC), outProb(c.ELS_Prob_n_Cf), outCoupon(c.ELS_Coupon_Prob_n_Cf),
        outPrice(c.ResultPrice), nt(c.NT), nVol(c.NVol), nParity(c.NParity), tDiv(c.TDiv),
        nDiv(c.NDiv), divType(c.Div_TypeFlag), fxN(c.FX_NVol), quanto(c.QuantoFlag),
        dates(c.DatesInfo), knock(c.KnockBarrierFlag), beKO(c.BeKO_Hitted),
        cDates(c.CouponDatesInfo), fixed(c.FixedFlag), calc(c.CalcFlag) {}

  int Call() {
    ExtendedArgs a;
    a.PriceDate = src.PriceDate;
    a.NotionalAMT = src.NotionalAMT;
    a.NStock = src.NStock;
    a.NStrike = src.NStrike;
    a.BeKI_Hitted = src.BeKI_Hitted;
    a.NCoupon = src.NCoupon;
    a.CouponBarrierFlag = src.CouponBarrierFlag;
    a.BeCouponBarrierHitted = src.BeCouponBarrierHitted;
    a.NTrials = src.NTrials;
    a.NAFlag = src.NAFlag;
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
    a.X = x.data();
    a.KO_Barrier = ko.data();
    a.KI_Barrier = ki.data();
    a.PayOffSlope = slope.data();
    a.PayOffAmount = amount.data();
    a.DatesInfo = dates.data();
    a.RedemCoupon = redem.data();
    a.KnockBarrierFlag = knock.data();
    a.BeKO_Hitted = beKO.data();
    a.CouponBarrier = cBarrier.data();
    a.Coupon = coupon.data();
    a.CouponDatesInfo = cDates.data();
    a.PayOffLimit = limit.data();
    a.SC = sc.data();
    a.Coupon_SC = csc.data();
    a.FixedFlag = fixed.data();
    a.CalcFlag = calc.data();
    a.ELS_Prob_n_Cf = outProb.data();
    a.ELS_Coupon_Prob_n_Cf = outCoupon.data();
    a.ResultPrice = outPrice.data();
    return CallExport(a);
  }

  // Names of the input arrays that changed, or that had a guard touched.
  std::string ChangedInputs() const {
    std::string out;
    auto add = [&out](const char* name, bool ok) {
      if (!ok) out += std::string(name) + " ";
    };
    add("UnderlyingPrice", price.Unchanged());
    add("TCurveInfo", tCurve.Unchanged());
    add("CurveInfo", curve.Unchanged());
    add("NT", nt.Unchanged());
    add("TVol", tVol.Unchanged());
    add("Parity", parity.Unchanged());
    add("LocalVolSurface", surface.Unchanged());
    add("NVol", nVol.Unchanged());
    add("NParity", nParity.Unchanged());
    add("UnderlyingCorr", corr.Unchanged());
    add("TDiv", tDiv.Unchanged());
    add("Div", div.Unchanged());
    add("NDiv", nDiv.Unchanged());
    add("Div_TypeFlag", divType.Unchanged());
    add("FX_TVol", fxT.Unchanged());
    add("FX_Vol", fxVol.Unchanged());
    add("FX_NVol", fxN.Unchanged());
    add("FX_Corr", fxCorr.Unchanged());
    add("QuantoFlag", quanto.Unchanged());
    add("X", x.Unchanged());
    add("KO_Barrier", ko.Unchanged());
    add("KI_Barrier", ki.Unchanged());
    add("PayOffSlope", slope.Unchanged());
    add("PayOffAmount", amount.Unchanged());
    add("DatesInfo", dates.Unchanged());
    add("RedemCoupon", redem.Unchanged());
    add("KnockBarrierFlag", knock.Unchanged());
    add("BeKO_Hitted", beKO.Unchanged());
    add("CouponBarrier", cBarrier.Unchanged());
    add("Coupon", coupon.Unchanged());
    add("CouponDatesInfo", cDates.Unchanged());
    add("PayOffLimit", limit.Unchanged());
    add("SC", sc.Unchanged());
    add("Coupon_SC", csc.Unchanged());
    add("FixedFlag", fixed.Unchanged());
    add("CalcFlag", calc.Unchanged());
    return out;
  }
};

TEST(HardeningGuardedArrays, InputsUnchangedAndOutputsWrittenOnlyInside) {
  TempCwd cwd;
  ASSERT_TRUE(cwd.ok());
  struct Case {
    PathNoteKind kind;
    int calc0, calc1;
  };
  const Case cases[] = {{PathNoteKind::kTwoStocks, 2, 1}, {PathNoteKind::kPendingDate, 2, 0},
                        {PathNoteKind::kThreeStocks, 1, 1}, {PathNoteKind::kThreeStocks, 0, 0}};
  for (const Case& k : cases) {
    const FullCall note = PathNote(k.kind, 12.0, k.calc0, k.calc1);
    const CallOutputs plain = Price(note);
    ASSERT_EQ(plain.status, 1);
    GuardedCall g(note);
    const int rc = g.Call();
    const std::string what = "kind " + std::to_string(static_cast<int>(k.kind)) + " calc " +
                             std::to_string(k.calc0) + "," + std::to_string(k.calc1);
    EXPECT_EQ(rc, 1) << what;
    EXPECT_EQ(g.ChangedInputs(), "") << what;
    EXPECT_TRUE(g.outProb.GuardsIntact() && g.outCoupon.GuardsIntact() && g.outPrice.GuardsIntact())
        << what;
    // Same results as from exactly sized outputs.
    EXPECT_TRUE(std::memcmp(g.outPrice.data(), plain.price.data(), plain.price.size() * 8) == 0) << what;
    EXPECT_TRUE(std::memcmp(g.outProb.data(), plain.prob.data(), plain.prob.size() * 8) == 0) << what;
  }
  // A rejected call, trace on: inputs and outputs all as they were.
  FullCall bad = PathNote(PathNoteKind::kTwoStocks, 12.0, 2, 1);
  bad.KI_Barrier[1] = -0.5;
  GuardedCall g(bad);
  EXPECT_EQ(g.Call(), -2050);
  EXPECT_EQ(g.ChangedInputs(), "");
  EXPECT_TRUE(g.outProb.Unchanged() && g.outCoupon.Unchanged() && g.outPrice.Unchanged());
}

// Every allocation of a call with all sensitivities and the trace is made
// to fail in turn. The call then returns -1 with the outputs untouched, or
// (when the failure hit only a trace line, which is skipped) the usual
// results; in both cases every allocation it made has been released.
TEST(HardeningAllocationFailure, EveryAllocationOfAFullCallFailsCleanly) {
  TempCwd cwd;
  ASSERT_TRUE(cwd.ok());
  for (PathNoteKind kind : {PathNoteKind::kPendingDate, PathNoteKind::kThreeStocks}) {
    const CallOutputs ref = Price(PathNote(kind, 2.0, 2, 1));
    ASSERT_EQ(ref.status, 1);
    int failed = 0, traced = 0;
    bool reachedEnd = false;
    for (long k = 0; k < 100000 && !reachedEnd; ++k) {
      FullCall c = PathNote(kind, 2.0, 2, 1);
      const long liveBefore = LiveAllocations();
      ArmAllocationFailure(k);
      const int rc = c.Call();
      const bool fired = DisarmAllocationFailure();
      ASSERT_EQ(LiveAllocations(), liveBefore) << "leak after failing allocation " << k;
      reachedEnd = !fired;
      if (rc == -1) {
        ++failed;
        ASSERT_TRUE(fired);
        ASSERT_TRUE(SameBits(c.ResultPrice, std::vector<double>(c.ResultPrice.size(), kOutputSentinel)))
            << "allocation " << k;
        ASSERT_TRUE(SameBits(c.ELS_Prob_n_Cf, std::vector<double>(c.ELS_Prob_n_Cf.size(), kOutputSentinel)))
            << "allocation " << k;
        ASSERT_TRUE(SameBits(c.ELS_Coupon_Prob_n_Cf,
                                      std::vector<double>(c.ELS_Coupon_Prob_n_Cf.size(), kOutputSentinel)))
            << "allocation " << k;
      } else {
        ++traced;
        ASSERT_EQ(Collect(c, rc), ref) << "allocation " << k;
      }
    }
    EXPECT_TRUE(reachedEnd);
    // Sensitivities revalue many times: far more than a handful of the
    // allocations belong to the pricing itself.
    EXPECT_GT(failed, 50);
    EXPECT_GT(traced, 0);  // the trace lines allocate too
  }
}

// A window of win days ending on its observation date reaches back
// win - 1 days. One reaching before 1 January 1900 is rejected, even on a
// date that is long over (it would otherwise set the time-sensitivity step
// and the daily rows to billions of days); one that just fits is priced.
TEST(HardeningWindows, WindowReachingBefore1900IsRejected) {
  const int obs = 20240201;
  const int fits = CdrDDiff(19000101, obs) + 1;
  ASSERT_EQ(fits, 45322);  // 124 years with 30 leap days, 31 days of 2024, the day itself
  struct Case {
    int window;
    int status;
  };
  for (const Case k : {Case{2147483647, -2073}, Case{fits + 1, -2073}, Case{fits, 1}}) {
    FullCall c = PathNote(PathNoteKind::kTwoStocks, 4.0, 0, 0);
    c.PriceDate = 20240210;  // the first date is observed and paid
    c.DatesInfo[2 * 3] = k.window;
    FillOutputs(c);
    EXPECT_EQ(fuzzing::RunAndCheck(c), "") << k.window;
    EXPECT_EQ(c.Call(), k.status) << k.window;
  }
}

}  // namespace
}  // namespace morvik::hardening
