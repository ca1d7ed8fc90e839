// The full pricing call: log name, input dump, validation, assembly, one
// core valuation, the requested sensitivities, scaling to the notional and
// the result lines.
//
// Every result is first computed into arrays owned by the call; the caller's
// three output arrays are written only at the very end, by plain stores that
// cannot fail. So a rejected call, and a call that runs out of memory at any
// point, leave the outputs exactly as the caller passed them.
#include "calls/extended_entry.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "calls/assembly.h"
#include "calls/input_dump.h"
#include "calls/layout.h"
#include "calls/validation.h"
#include "interface/morvik.h"
#include "logging/log_writer.h"
#include "numerics/conventions.h"
#include "sensitivities/sensitivities.h"

namespace morvik {

namespace {

constexpr const char* kLogName = "ZUNP_MorvikMC";

// Validation, assembly, the valuations and the outputs in `o`. Returns the
// core's status or a negative validation code (`priced` false); an
// allocation that fails throws, before any output is written.
int Price(const ExtendedArgs& in, const PrecisionRequest& request, PrecisionReport& report, CallOutputs& o,
          bool& priced) {
  priced = false;
  const int valid = ValidateInputsAt(in, o.fault);
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
  // requested sensitivities. A valuation that cannot allocate throws;
  // RunFullCall turns that into -1.
  double price = 0.0;
  core.results.ResultPrice = &price;
  Greeks greeks;
  const int r = ValueWithPrecision(core.args, core.results, mode, request, greeks, report);

  price = (notional / kNotionalScale) * price;
  for (int s = 0; s < layout::OutcomeSlots(N); ++s) {
    prob[layout::OutcomeProb(N, s)] = core.ELS_Prob[s];
    prob[layout::OutcomeCf(N, s)] = core.ELS_Cf[s] / kNotionalScale * notional;
  }
  for (int j = 0; j < Q; ++j) {
    coupon[layout::CouponProb(Q, j)] = core.ELS_Coupon_Prob[j];
    coupon[layout::CouponCf(Q, j)] = core.ELS_Coupon_Cf[j] / kNotionalScale * notional;
  }
  PlaceGreeks(greeks, S, mode, notional, sens);
  sens[layout::kPrice] = price;

  o.prob = std::move(prob);
  o.coupon = std::move(coupon);
  o.sens = std::move(sens);
  priced = true;
  return r;
}

}  // namespace

void PlaceGreeks(const Greeks& greeks, int S, int mode, double notional, std::vector<double>& sens) {
  // Theta and rho stay as they are unless computed.
  const auto scaled = [notional](double v) { return v / kNotionalScale * notional; };
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
}

int RunFullCall(const ExtendedArgs& args, LogClock clock, const PrecisionRequest& request, PrecisionReport& report,
                CallOutputs& outputs, bool toCaller) noexcept {
  // The name is made on every call, before anything is checked; CalcFlag is
  // read here unvalidated, and only the value 1 switches the trace on. The
  // trace's writers drop a line they cannot write and never throw.
  char logFile[kLogFileNameSize];
  MakeLogFileName(logFile, kLogName, clock);
  const bool logOn = args.CalcFlag != nullptr && args.CalcFlag[1] == 1;
  if (logOn) LogInputs(kLogName, logFile, args);

  int rc;
  bool priced = false;
  try {
    rc = Price(args, request, report, outputs, priced);
  } catch (const ValuationStopped&) {
    // Stopped at the caller's request, before the outputs are written.
    rc = kValuationInterrupted;
  } catch (const BadBlockParts& e) {
    // Refused before the outputs are written.
    rc = kBadBlockParts;
    try {
      report.partsProblem = e.what();
    } catch (...) {
      rc = MORVIK_NO_MEMORY;
    }
  } catch (...) {
    // Only an allocation can throw, and before the outputs are written.
    rc = MORVIK_NO_MEMORY;
  }
  if (priced) {
    // The outputs, written in one go.
    const CallOutputs& o = outputs;
    if (toCaller) {
      for (std::size_t s = 0; s < o.prob.size(); ++s) args.ELS_Prob_n_Cf[s] = o.prob[s];
      for (std::size_t j = 0; j < o.coupon.size(); ++j) args.ELS_Coupon_Prob_n_Cf[j] = o.coupon[j];
      for (std::size_t m = 0; m < o.sens.size(); ++m) args.ResultPrice[m] = o.sens[m];
    }
    if (logOn) {
      LogDoubleArray(kLogName, logFile, "ELS_Prob_n_Cf", o.prob.data(), static_cast<int>(o.prob.size()));
      LogDoubleArray(kLogName, logFile, "ELS_Coupon_Prob_n_Cf", o.coupon.data(), static_cast<int>(o.coupon.size()));
      LogDoubleArray(kLogName, logFile, "ResultPrice", o.sens.data(), static_cast<int>(o.sens.size()));
    }
  }
  if (rc < 0 && logOn) LogIntValue(kLogName, logFile, "Return", rc);
  return rc;
}

int CalcMorvikMC(const ExtendedArgs& args, LogClock clock, const TaskRunner* runner) noexcept {
  PrecisionRequest request;
  request.runner = runner;
  PrecisionReport report;
  CallOutputs outputs;
  return RunFullCall(args, clock, request, report, outputs, true);
}

}  // namespace morvik
