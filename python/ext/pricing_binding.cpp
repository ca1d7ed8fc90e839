// Pricing from Python: a note priced through the term-sheet layer exactly as
// morvik-price prices it (PriceTermSheet), its report bound as a Report
// (report_binding.cpp), the reports' text of a number, and the full call of
// ZUNP_CalcMorvikMC on arrays. The GIL is released while the library works,
// so Python threads price side by side; on the main thread Ctrl-C stops the
// call (interrupt.h).
#include <cstdint>
#include <optional>
#include <string>
#include <stdexcept>
#include <utility>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "full_call_arrays.h"
#include "calls/extended_entry.h"
#include "calls/valuation.h"
#include "interrupt.h"
#include "termsheet/json_text.h"
#include "termsheet/pricing.h"
#include "calls/scenarios.h"

namespace morvik::python {
namespace {

// A scenario set from the package's dict (keys as morvik.Scenarios' fields;
// a missing key asks for nothing). Ranges are the set's own check.
ScenarioSet ScenariosOf(const py::dict& d) {
  const auto list = [&](const char* key) {
    return d.contains(key) ? d[key].cast<std::vector<double>>() : std::vector<double>();
  };
  const auto flag = [&](const char* key) { return d.contains(key) && d[key].cast<bool>(); };
  ScenarioSet set;
  set.spotLadder = list("spot_ladder");
  set.ladderEach = flag("ladder_each");
  set.gridSpots = list("grid_spots");
  set.gridVols = list("grid_vols");
  set.rateShifts = list("rate_shift");
  set.dividendShifts = list("dividend_shift");
  set.correlationShifts = list("correlation_shift");
  set.vegaBuckets = flag("vega_buckets");
  return set;
}

// What the package asks for on top of the term sheet, as the command line's
// options set it (--greeks/--full, --trials, --ladder, --log, --threads,
// --seed, --stream, --replications, --convergence), checked by the same rule.
PriceRequest Request(int compute, std::optional<long long> trials, long long threads, bool ladder, bool log,
                     std::optional<long long> seed, bool aligned, std::optional<long long> replications,
                     bool convergence, bool sobol = false, long long scrambles = 16, bool conditional = false,
                     const std::optional<py::dict>& scenarios = std::nullopt) {
  PriceRequest request;
  if (scenarios) request.scenarios = ScenariosOf(*scenarios);
  request.compute = compute;
  request.trials = trials;
  request.threads = threads;
  request.ladder = ladder;
  request.log = log;
  request.seed = seed;
  request.aligned = aligned;
  request.replications = replications;
  request.convergence = convergence;
  request.sobol = sobol;
  request.scrambles = scrambles;
  request.conditional = conditional;
  const std::string problem = RequestProblem(request);
  if (!problem.empty()) throw py::value_error(problem);
  return request;
}

py::array_t<double> Array(const std::vector<double>& v) {
  return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
}

// The note priced with `request` as the tool prices it. Ctrl-C stops it:
// the signal handler's exception (KeyboardInterrupt) is raised.
NoteReport PriceInterruptibly(const Note& note, PriceRequest request) {
  Interrupt interrupt;
  request.stop = StopCallback{&Interrupt::Ask, &interrupt};
  NoteReport report;
  {
    py::gil_scoped_release unlocked;
    report = PriceTermSheet(note, request);
  }
  interrupt.RaiseIfStopped(report.priced && report.result.status == kValuationInterrupted);
  return report;
}

}  // namespace

void BindPricing(py::module_& m) {
  m.attr("MAX_TRIALS") = kMaxTrials;
  m.attr("MAX_ALIGNED_SEED") = kMaxAlignedSeed;
  m.def("ladder_moves", &LadderMoves, "The spot moves of morvik-price --ladder, as fractions of the spot");
  m.def("shortest_double", &ShortestDouble, py::arg("v"),
        "A double as the tool's reports write it: the shortest text that reads back to it");
  m.def(
      "check_request",
      [](int compute, std::optional<long long> trials, long long threads, std::optional<long long> seed, bool aligned,
         std::optional<long long> replications, bool sobol, long long scrambles, bool conditional,
         const std::optional<py::dict>& scenarios) {
        Request(compute, trials, threads, false, false, seed, aligned, replications, false, sobol, scrambles,
                conditional, scenarios);
      },
      py::arg("compute") = -1, py::arg("trials") = py::none(), py::arg("threads") = 1, py::arg("seed") = py::none(),
      py::arg("aligned") = false, py::arg("replications") = py::none(), py::arg("sobol") = false,
      py::arg("scrambles") = 16, py::arg("conditional") = false, py::arg("scenarios") = py::none(),
      "Raises ValueError with the library's sentence when the request cannot be used (the check of price)");
  m.def(
      "price",
      [](const Note& note, int compute, std::optional<long long> trials, long long threads, bool ladder, bool log,
         std::optional<long long> seed, bool aligned, std::optional<long long> replications, bool convergence,
         bool sobol, long long scrambles, bool conditional, const std::optional<py::dict>& scenarios) {
        return PriceInterruptibly(note, Request(compute, trials, threads, ladder, log, seed, aligned, replications,
                                                convergence, sobol, scrambles, conditional, scenarios));
      },
      py::arg("note"), py::arg("compute"), py::arg("trials") = py::none(), py::arg("threads") = 1, py::arg("ladder") = false,
      py::arg("log") = false, py::arg("seed") = py::none(), py::arg("aligned") = false,
      py::arg("replications") = py::none(), py::arg("convergence") = false, py::arg("sobol") = false,
      py::arg("scrambles") = 16, py::arg("conditional") = false, py::arg("scenarios") = py::none(),
      "The note priced as morvik-price prices it, as a Report.\n"
      "compute: -1 the term sheet's, 1 greeks, 2 full; trials: None the term sheet's; seed: None for the\n"
      "stream's own; aligned: the path-addressed stream; sobol: scrambled Sobol points through a Brownian\n"
      "bridge in `scrambles` scramblings sharing the trials; replications: 2 to 64 runs on consecutive seeds\n"
      "(None: one run); convergence: the running price at 1000, 2000, 5000, ... paths (one run only);\n"
      "conditional: the conditional estimator (aligned or sobol stream only); "
      "scenarios: a dict of morvik.Scenarios' fields, each scenario priced on the note's stream and seed.");
}

void BindFullCall(py::module_& m) {
  m.def(
      "calc_morvik_mc",
      [](const py::dict& inputs, bool strict) {
        std::vector<std::string> missing;
        for (const std::string& name : InputNames()) {
          if (!inputs.contains(name)) missing.push_back(name);
        }
        if (!missing.empty()) {
          std::string names;
          for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
          throw py::type_error("calc_morvik_mc() misses inputs: " + names);
        }
        FullCall call;
        SetInputs(inputs, call);
        CheckLengths(call, strict ? LongArrays::kReject : LongArrays::kWarn);
        if (call.NTrials > static_cast<double>(kMaxTrials)) {
          throw py::value_error("NTrials takes at most " + std::to_string(kMaxTrials) + " trials, got " +
                                std::string(py::repr(py::float_(call.NTrials))));
        }
        call.SizeOutputs();
        // The export's own call (ValueNote with default options gives its
        // outputs bit for bit), with a stop hook for Ctrl-C.
        Interrupt interrupt;
        ValuationOptions options;
        options.stop = StopCallback{&Interrupt::Ask, &interrupt};
        ValuationResult v;
        {
          py::gil_scoped_release unlocked;
          v = ValueNote(call.Inputs(), options);
        }
        interrupt.RaiseIfStopped(v.status == kValuationInterrupted);
        if (!v.ResultPrice.empty()) {  // priced: the outputs; else they stay 0
          call.ELS_Prob_n_Cf = std::move(v.ELS_Prob_n_Cf);
          call.ELS_Coupon_Prob_n_Cf = std::move(v.ELS_Coupon_Prob_n_Cf);
          call.ResultPrice = std::move(v.ResultPrice);
        }
        return py::make_tuple(v.status, Array(call.ELS_Prob_n_Cf), Array(call.ELS_Coupon_Prob_n_Cf),
                              Array(call.ResultPrice));
      },
      py::arg("inputs"), py::arg("strict") = false,
      "ZUNP_CalcMorvikMC on copies of the inputs (a dict under the export's names); "
      "(status, ELS_Prob_n_Cf, ELS_Coupon_Prob_n_Cf, ResultPrice). strict: an array longer than its\n"
      "counts need raises ValueError instead of a warning.");
}

}  // namespace morvik::python
