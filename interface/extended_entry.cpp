// The full pricing call: log name, input dump, validation, assembly, one
// core valuation, the requested sensitivities, scaling to the notional and
// the result lines.
//
// Every result is first computed into arrays owned by the call; the caller's
// three output arrays are written only at the very end, by plain stores that
// cannot fail. So a rejected call, and a call that runs out of memory at any
// point, leave the outputs exactly as the caller passed them.
#include "interface/extended_entry.h"

#include <cstddef>
#include <vector>

#include "engine/shared_valuation.h"
#include "interface/assembly.h"
#include "interface/input_dump.h"
#include "interface/layout.h"
#include "interface/morvik.h"
#include "interface/validation.h"
#include "logging/log_writer.h"
#include "sensitivities/sensitivities.h"

namespace morvik {

namespace {

constexpr const char* kLogName = "ZUNP_MorvikMC";

// Validation, assembly, the valuations and the outputs. Returns the core's
// status or a negative validation code; an allocation that fails throws,
// before any output is written.
int Price(const ExtendedArgs& in, bool logOn, const char* logFile, const TaskRunner* runner) {
  const int valid = ValidateInputs(in);
  if (valid < 0) return valid;

  const int S = in.NStock;
  const int N = in.NStrike;
  const int Q = in.NCoupon;
  const double notional = in.NotionalAMT;
  const int mode = in.CalcFlag[0];
  const std::size_t priceLen = layout::ResultPriceLength(S, mode);

  // Everything the call needs is allocated here, before any valuation.
  AssembledCore core;
  AssembleCore(in, core);
  std::vector<double> prob(layout::ProbAndCfLength(N), 0.0);
  std::vector<double> coupon(layout::CouponProbAndCfLength(Q), 0.0);
  std::vector<double> sens(priceLen, 0.0);

  // One valuation through the core, its price in a slot of our own, and the
  // requested sensitivities, the valuations reading shared streams of
  // normals (as the runner's tasks when there is one). A valuation that
  // cannot allocate throws; CalcMorvikMC turns that into -1.
  double price = 0.0;
  core.results.ResultPrice = &price;
  Greeks greeks;
  const int r = ValueWithSensitivities(core.args, core.results, mode, greeks, StreamLimits{}, runner);

  price = (notional / 10000.0) * price;
  for (int s = 0; s < layout::OutcomeSlots(N); ++s) {
    prob[layout::OutcomeProb(N, s)] = core.ELS_Prob[s];
    prob[layout::OutcomeCf(N, s)] = core.ELS_Cf[s] / 10000.0 * notional;
  }
  for (int j = 0; j < Q; ++j) {
    coupon[layout::CouponProb(Q, j)] = core.ELS_Coupon_Prob[j];
    coupon[layout::CouponCf(Q, j)] = core.ELS_Coupon_Cf[j] / 10000.0 * notional;
  }

  // The greeks in their output slots, scaled to the notional; theta and rho
  // stay 0 unless computed.
  const auto scaled = [notional](double v) { return v / 10000.0 * notional; };
  if (mode >= 1) {
    for (int i = 0; i < S; ++i) {
      sens[layout::Delta(S, i)] = scaled(greeks.delta[i]);
      sens[layout::Gamma(S, i)] = scaled(greeks.gamma[i]);
      sens[layout::Vega(S, i)] = scaled(greeks.vega[i]);
    }
  }
  if (mode >= 2) {
    sens[layout::Theta(S)] = scaled(greeks.theta);
    sens[layout::Rho(S)] = scaled(greeks.rho);
  }

  // The outputs, written in one go.
  for (std::size_t s = 0; s < prob.size(); ++s) in.ELS_Prob_n_Cf[s] = prob[s];
  for (std::size_t j = 0; j < coupon.size(); ++j) in.ELS_Coupon_Prob_n_Cf[j] = coupon[j];
  in.ResultPrice[0] = price;
  for (std::size_t m = 1; m < priceLen; ++m) in.ResultPrice[m] = sens[m];

  if (logOn) {
    LogDoubleArray(kLogName, logFile, "ELS_Prob_n_Cf", in.ELS_Prob_n_Cf, static_cast<int>(prob.size()));
    LogDoubleArray(kLogName, logFile, "ELS_Coupon_Prob_n_Cf", in.ELS_Coupon_Prob_n_Cf,
                   static_cast<int>(coupon.size()));
    LogDoubleArray(kLogName, logFile, "ResultPrice", in.ResultPrice, static_cast<int>(priceLen));
  }
  return r;
}

}  // namespace

int CalcMorvikMC(const ExtendedArgs& args, LogClock clock, const TaskRunner* runner) noexcept {
  // The name is made on every call, before anything is checked; CalcFlag is
  // read here unvalidated, and only the value 1 switches the trace on. The
  // trace's writers drop a line they cannot write and never throw.
  char logFile[kLogFileNameSize];
  MakeLogFileName(logFile, kLogName, clock);
  const bool logOn = args.CalcFlag != nullptr && args.CalcFlag[1] == 1;
  if (logOn) LogInputs(kLogName, logFile, args);

  int rc;
  try {
    rc = Price(args, logOn, logFile, runner);
  } catch (...) {
    // Only an allocation can throw, and before the outputs are written.
    rc = MORVIK_NO_MEMORY;
  }
  if (rc < 0 && logOn) LogIntValue(kLogName, logFile, "Return", rc);
  return rc;
}

}  // namespace morvik
