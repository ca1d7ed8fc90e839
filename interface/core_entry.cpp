// The core pricing entry: clears the result block, scans the schedules for
// dates that are over or pending, settles a pending payment from its known
// fixings and hands everything still to come to the Monte Carlo engine.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "engine/fixed_outcome.h"
#include "engine/shared_stream.h"
#include "engine/simulate.h"
#include "interface/core_entry.h"

namespace morvik {

namespace {

// A null array stays null whatever the shift (it is never read then).
template <class T>
T* Advance(T* p, int n) {
  return p != nullptr ? p + n : p;
}

// Per-date arrays advanced by j dates (strike blocks by j*NStock), coupon
// arrays by k coupons, counts reduced to match.
CoreArgs ShiftedView(const CoreArgs& a, int j, int k) {
  CoreArgs v = a;
  const int js = j * a.NStock;
  v.NStrike = a.NStrike - j;
  v.X0 = Advance(a.X0, js);
  v.X1 = Advance(a.X1, js);
  v.X2 = Advance(a.X2, js);
  v.X3 = Advance(a.X3, js);
  v.KO_Barrier = Advance(a.KO_Barrier, j);
  v.PayOffSlope0 = Advance(a.PayOffSlope0, j);
  v.PayOffSlope1 = Advance(a.PayOffSlope1, j);
  v.PayOffSlope2 = Advance(a.PayOffSlope2, j);
  v.PayOffSlope3 = Advance(a.PayOffSlope3, j);
  v.PayOffAmount0 = Advance(a.PayOffAmount0, j);
  v.PayOffAmount1 = Advance(a.PayOffAmount1, j);
  v.PayOffAmount2 = Advance(a.PayOffAmount2, j);
  v.PayOffAmount3 = Advance(a.PayOffAmount3, j);
  v.KO_ObsDays = Advance(a.KO_ObsDays, j);
  v.KO_PayDays = Advance(a.KO_PayDays, j);
  v.KO_WindowLen = Advance(a.KO_WindowLen, j);
  v.KO_AvgFlag = Advance(a.KO_AvgFlag, j);
  v.RedemCoupon = Advance(a.RedemCoupon, j);
  v.NCoupon = a.NCoupon - k;
  v.CouponBarrier = Advance(a.CouponBarrier, k);
  v.Coupon = Advance(a.Coupon, k);
  v.Coupon_ObsDays = Advance(a.Coupon_ObsDays, k);
  v.Coupon_PayDays = Advance(a.Coupon_PayDays, k);
  return v;
}

CoreResults ShiftedResults(const CoreResults& r, int j, int k) {
  CoreResults v = r;
  v.ELS_Prob = Advance(r.ELS_Prob, j);
  v.ELS_Cf = Advance(r.ELS_Cf, j);
  v.ELS_Coupon_Prob = Advance(r.ELS_Coupon_Prob, k);
  v.ELS_Coupon_Cf = Advance(r.ELS_Coupon_Cf, k);
  return v;
}

// What is left of a valuation once the schedules are scanned and a pending
// payment is settled: the engine call on the shifted view, if any.
struct Pending {
  std::vector<int> memory;  // private copy of the memory flags, read by the view
  bool simulate = false;
  CoreArgs view;
  int fixedCount = 0;
  CoreResults out;
};

// Everything of a valuation up to the engine call. Returns the status the
// valuation ends with when no simulation follows (p.simulate false).
int Prepare(const CoreArgs& a, const CoreResults& out, Pending& p) {
  // Private copy of the memory flags: the fixed-outcome valuation may clear
  // them, the caller's array is never written.
  std::vector<int>& memory = p.memory;
  if (a.NStock > 0) memory.assign(a.BeKO_Hitted, a.BeKO_Hitted + a.NStock);
  CoreRecord record;
  record.settled = 0;
  record.coupon_breach = a.BeCouponBarrierHitted;

  out.ResultPrice[0] = 0.0;
  for (int s = 0; s < a.NStrike + 2; ++s) {
    out.ELS_Prob[s] = 0.0;
    out.ELS_Cf[s] = 0.0;
  }
  for (int c = 0; c < a.NCoupon; ++c) {
    out.ELS_Coupon_Prob[c] = 0.0;
    out.ELS_Coupon_Cf[c] = 0.0;
  }

  // Redemption scan: first date still to be observed, or first observed date
  // whose payment is pending.
  int status = 0;
  int j = 0;
  bool stopped = false;
  for (int d = 0; d < a.NStrike; ++d) {
    if (a.KO_ObsDays[d] > 0) {
      j = d;
      stopped = true;
      break;
    }
    if (a.KO_PayDays[d] > 0) {
      j = d + 1;
      status = 1;
      stopped = true;
      break;
    }
  }
  // Every date observed and paid: the note is over and pays nothing more.
  if (!stopped) return 1;

  int k = 0;
  for (int c = 0; c < a.NCoupon; ++c) {
    if (a.Coupon_ObsDays[c] > 0) {
      k = c;
      break;
    }
    if (a.Coupon_PayDays[c] > 0) {
      k = c + 1;
      status = status == 1 ? 3 : 2;
      break;
    }
  }

  if ((j > 0 || k > 0) && status > 0) {
    const int jf = (status == 1 || status == 3) ? j - 1 : j;
    const int kf = (status == 2 || status == 3) ? k - 1 : k;
    CoreArgs view = ShiftedView(a, jf, kf);
    view.BeKO_Hitted = memory.data();
    view.BeCouponBarrierHitted = record.coupon_breach;
    const int rc = SettleFixedOutcome(view, memory.data(), ShiftedResults(out, jf, kf), status, record);
    if (record.settled != 0) return rc;
  }

  // Nothing left to simulate (a final pending date that did not settle).
  if (a.NStrike - j < 1) return 1;

  p.view = ShiftedView(a, j, k);
  p.view.BeKO_Hitted = memory.data();
  p.view.BeCouponBarrierHitted = record.coupon_breach;
  p.fixedCount = a.FixedFlag != nullptr ? a.FixedFlag[0] : 0;
  p.out = ShiftedResults(out, j, k);
  p.simulate = true;
  return 1;
}

int Value(const CoreArgs& a, const CoreResults& out) {
  Pending p;
  const int rc = Prepare(a, out, p);
  if (!p.simulate) return rc;
  return SimulateELS(p.view, p.fixedCount, p.out);
}

// Paths a valuation runs before the one furthest behind in the stream gets
// its turn: small enough that the valuations read the same stretch of the
// stream while it is in cache.
constexpr long long kBatchPaths = 32;

int ValueShared(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                const StreamLimits& limits) {
  struct Job {
    Pending p;
    SimJob sim;
    SharedReader reader;
    bool active = false;
  };
  std::vector<std::unique_ptr<Job>> jobs;
  jobs.reserve(static_cast<std::size_t>(n));
  for (int r = 0; r < n; ++r) {
    jobs.push_back(std::make_unique<Job>());
    Job& job = *jobs.back();
    status[r] = Prepare(*sets[r], outs[r], job.p);
    if (!job.p.simulate) continue;
    status[r] = 1;
    StartSimulation(job.p.view, job.p.fixedCount, job.p.out, job.sim);
    job.active = !job.sim.done;
    if (!job.active) FinishSimulation(job.sim);
  }
  // One stream of correlated rows per basket size and correlation factor
  // (one for the revaluations of a note, whose bumps leave both alone),
  // sharing the memory cap.
  std::vector<const Job*> keys;  // first job of each basket
  std::vector<std::size_t> keyOf(jobs.size(), 0);
  for (std::size_t r = 0; r < jobs.size(); ++r) {
    const Job& job = *jobs[r];
    if (!job.active) continue;
    std::size_t m = 0;
    while (m < keys.size() && !(keys[m]->sim.g.NStock == job.sim.g.NStock &&
                                keys[m]->sim.g.chol == job.sim.g.chol))
      ++m;
    if (m == keys.size()) keys.push_back(&job);
    keyOf[r] = m;
  }
  StreamLimits each = limits;
  if (!keys.empty()) each.maxChunks = std::max<std::size_t>(1, limits.maxChunks / keys.size());
  std::vector<std::unique_ptr<SharedStream>> streams;
  for (const Job* k : keys) {
    streams.push_back(std::make_unique<SharedStream>(each, k->sim.g.NStock, k->sim.g.chol.data()));
  }
  for (std::size_t r = 0; r < jobs.size(); ++r) {
    if (jobs[r]->active) jobs[r]->reader.stream = streams[keyOf[r]].get();
  }
  // The valuation furthest behind in its stream runs next, so that all of
  // them move through it together.
  for (;;) {
    Job* next = nullptr;
    for (auto& job : jobs) {
      if (job->active && (next == nullptr || job->reader.Position() < next->reader.Position()))
        next = job.get();
    }
    if (next == nullptr) break;
    // Chunks below the slowest reader of this stream are not needed again.
    std::int64_t lowest = next->reader.chunk;
    for (auto& job : jobs) {
      if (job->active && job->reader.stream == next->reader.stream && job->reader.chunk < lowest)
        lowest = job->reader.chunk;
    }
    next->reader.stream->Release(lowest);
    next->reader.Attach();
    const bool done = SimulateBatch(next->sim, next->reader, kBatchPaths);
    next->reader.Detach();
    if (done) {
      next->active = false;
      FinishSimulation(next->sim);
    }
  }
  return 0;
}

}  // namespace

int MorvikCoreShared(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                     const StreamLimits& limits) {
  try {
    return ValueShared(sets, outs, n, status, limits);
  } catch (...) {
    return -1;
  }
}

int MorvikCore(const CoreArgs& args, const CoreResults& out) {
  try {
    return Value(args, out);
  } catch (const std::bad_alloc&) {
    return -1;
  } catch (...) {
    return -1;
  }
}

}  // namespace morvik
