// What a caller may ask of a valuation beyond its result block: standard
// errors, running results at checkpoints, progress reports and a way to
// stop it part-way.
#pragma once

#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

namespace morvik {

// Called with the fraction of the work done (0 <= fraction <= 1): the one
// progress hook of the library and of the layers above it.
struct ProgressCallback {
  void (*fn)(void* ctx, double fraction) = nullptr;
  void* ctx = nullptr;
};

// Asked whether to stop (true: stop): the one stop hook of the library and
// of the layers above it. Must not throw.
struct StopCallback {
  bool (*fn)(void* ctx) = nullptr;
  void* ctx = nullptr;
};

// Reports whole percents only: at most 101 calls however often Report runs.
struct ProgressMeter {
  ProgressCallback hook;
  int reported = -1;  // the last percent reported
  void Report(double fraction) {
    if (hook.fn == nullptr) return;
    const int percent = static_cast<int>(fraction * 100.0);
    if (percent <= reported) return;
    reported = percent;
    hook.fn(hook.ctx, fraction);
  }
};

// Thrown by a loop over paths once the stop of its valuation was asked for
// (StopSignal). The full call's entry catches it and reports the call as
// stopped; everything the valuations held is freed as it unwinds.
struct ValuationStopped {};

// Paths run between two questions to a stop hook, at most: a fraction of a
// second on any note, and a question costs nothing next to them.
inline constexpr long long kStopPollPaths = 1024;

// A caller's way to stop the valuations of one call part-way. One thread
// (the one progress is reported from) polls: it asks the hook once every
// kStopPollPaths paths it has run. Once the hook has said stop, every
// thread working on the call sees it at its next check and throws
// ValuationStopped. The hook must not throw.
class StopSignal {
 public:
  StopSignal() = default;
  explicit StopSignal(StopCallback hook) : hook_(hook) {}
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // The polling thread, after running `paths` more paths.
  void Poll(long long paths) {
    sinceAsked_ += paths;
    if (sinceAsked_ >= kStopPollPaths) {
      sinceAsked_ = 0;
      if (hook_.fn != nullptr && hook_.fn(hook_.ctx)) stopped_.store(true, std::memory_order_relaxed);
    }
    Check();
  }
  // After `paths` more paths: polls on the polling thread, checks elsewhere.
  void After(long long paths, bool polling) {
    if (polling) {
      Poll(paths);
    } else {
      Check();
    }
  }
  // Any thread: throws ValuationStopped once a stop was asked for.
  void Check() const {
    if (stopped_.load(std::memory_order_relaxed)) throw ValuationStopped{};
  }

 private:
  StopCallback hook_;
  long long sinceAsked_ = 0;  // the polling thread's only
  std::atomic<bool> stopped_{false};
};

// The price after the first `paths` paths, exactly what a valuation of
// `paths` trials gives, with its standard error (per 10000 of notional).
struct ConvergencePoint {
  long long paths = 0;
  double price = 0.0;
  double priceSE = 0.0;
};

// What the valuation knew of each slot of the whole note, whatever the
// stream: the discount factor it applied to the slot's payment (the
// maturity slots: the last date's payment) and whether the slot was settled
// on the pricing date rather than simulated. A slot is settled when its
// date or coupon is over (observed and paid), when it is the pending
// payment valued from its known fixings, or, when nothing is simulated (the
// note settled or over on the pricing date), for every slot.
struct SlotFacts {
  std::vector<double> outcomeDF;      // NStrike + 2
  std::vector<double> couponDF;       // NCoupon
  std::vector<bool> outcomeSettled;   // NStrike + 2
  std::vector<bool> couponSettled;    // NCoupon
};

// In: checkpoints, the progress hook and the stop signal (shared by every
// valuation of the call, polled from the thread progress is reported from).
// Out, in the layout of the whole note (slots of dates and coupons settled
// before the simulation keep 0): the binomial standard error of every
// outcome and coupon probability, the price's standard error per 10000 of
// notional (0 for a valuation settled without simulation, NaN below two
// paths), one convergence point per checkpoint below the path count, then
// the final count, and the slots' facts. On the quasi-random stream also
// the error of the share of paths redeemed on or before each date (from the
// scramblings' spread; empty on the other streams, whose binomial error of
// that share follows from the share itself).
struct ValuationExtras {
  std::vector<long long> checkpoints;  // rising path counts
  ProgressCallback progress;
  StopSignal* stop = nullptr;

  std::vector<double> probSE;        // NStrike + 2
  std::vector<double> couponProbSE;  // NCoupon
  std::vector<double> redeemedBySE;  // NStrike, or empty
  double priceSE = 0.0;
  std::vector<ConvergencePoint> convergence;
  SlotFacts slots;

  // Sizes the errors for the note's counts, every error 0, no facts.
  void Clear(int nStrike, int nCoupon) {
    probSE.assign(nStrike + 2 > 0 ? static_cast<std::size_t>(nStrike + 2) : 0u, 0.0);
    couponProbSE.assign(nCoupon > 0 ? static_cast<std::size_t>(nCoupon) : 0u, 0.0);
    redeemedBySE.clear();
    priceSE = 0.0;
    convergence.clear();
    slots = SlotFacts{};
  }
};

// The standard error of sum(x) / trials over n paths whose values x sum to
// `sum` with squares summing to `sumSq`: sqrt(n) * s / trials, s the sample
// standard deviation. NaN below two paths.
inline double StandardError(double sum, double sumSq, long long n, double trials) {
  if (n < 2) return std::numeric_limits<double>::quiet_NaN();
  const double m = static_cast<double>(n);
  double var = (sumSq - sum * sum / m) / (m - 1.0);
  if (var < 0.0) var = 0.0;  // rounding on paths of (nearly) equal value
  return std::sqrt(m) * std::sqrt(var) / trials;
}

}  // namespace morvik
