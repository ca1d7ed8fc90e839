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
#include "termsheet/split_pricing.h"

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
// --seed, --stream, --replications, --convergence), checked by the same rule;
// `split`: also by the rule of a valuation split over a cluster.
PriceRequest Request(int compute, std::optional<long long> trials, long long threads, bool ladder, bool log,
                     std::optional<long long> seed, bool aligned, std::optional<long long> replications,
                     bool convergence, bool sobol = false, long long scrambles = 16, bool conditional = false,
                     const std::optional<py::dict>& scenarios = std::nullopt, bool split = false,
                     int vectorWidth = 0) {
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
  request.vectorWidth = vectorWidth;
  std::string problem = RequestProblem(request);
  if (problem.empty() && split) problem = SplitProblem(request);
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

// The parts of a split valuation pulled from a Python iterator, one at a
// time, as the library asks for them (with the GIL released around it). A
// Python exception (the iterator's, or a part that is no 1-d array of
// floats) ends the pulling; it is raised once the library has returned.
struct PartPuller {
  py::iterator it;
  bool started = false;  // a part was taken: the iterator moves on first
  std::optional<py::error_already_set> error;

  static bool Next(void* ctx, std::vector<double>& part) {
    PartPuller& p = *static_cast<PartPuller*>(ctx);
    py::gil_scoped_acquire locked;
    try {
      if (p.started) ++p.it;
      p.started = true;
      if (p.it == py::iterator::sentinel()) return false;
      const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(*p.it);
      if (!a || a.ndim() != 1) throw py::value_error("a part is a one-dimensional array of floats");
      part.assign(a.data(), a.data() + a.size());
      return true;
    } catch (py::error_already_set& e) {
      p.error = std::move(e);
    } catch (const std::exception& e) {
      try {
        throw py::value_error(e.what());
      } catch (py::error_already_set& raised) {
        p.error = std::move(raised);
      }
    }
    return false;
  }
};

}  // namespace

void BindSplitPricing(py::module_& m) {
  m.def(
      "check_split",
      [](int compute, std::optional<long long> trials, long long threads, std::optional<long long> seed, bool aligned,
         std::optional<long long> replications, bool convergence, bool sobol, long long scrambles, bool ladder,
         bool conditional) {
        Request(compute, trials, threads, ladder, false, seed, aligned, replications, convergence, sobol, scrambles,
                conditional, std::nullopt, true);
      },
      py::arg("compute") = -1, py::arg("trials") = py::none(), py::arg("threads") = 1, py::arg("seed") = py::none(),
      py::arg("aligned") = false, py::arg("replications") = py::none(), py::arg("convergence") = false,
      py::arg("sobol") = false, py::arg("scrambles") = 16, py::arg("ladder") = false, py::arg("conditional") = false,
      "Raises ValueError with the library's sentence when the request cannot be split over a cluster");
  m.def(
      "price_blocks",
      [](const Note& note, long long first, long long last, int compute, std::optional<long long> trials,
         long long threads, std::optional<long long> seed, bool aligned, bool convergence, bool sobol,
         long long scrambles, bool conditional) {
        const PriceRequest request = Request(compute, trials, threads, false, false, seed, aligned, std::nullopt,
                                             convergence, sobol, scrambles, conditional, std::nullopt, true);
        BlockPart part;
        {
          py::gil_scoped_release unlocked;
          part = PriceBlocks(note, request, first, last);
        }
        py::object error = part.error.empty() ? py::object(py::none()) : py::object(py::str(part.error));
        return py::make_tuple(part.status, error, part.blocks, Array(part.values));
      },
      py::arg("note"), py::arg("first"), py::arg("last"), py::arg("compute"), py::arg("trials") = py::none(),
      py::arg("threads") = 1, py::arg("seed") = py::none(), py::arg("aligned") = false,
      py::arg("convergence") = false, py::arg("sobol") = false, py::arg("scrambles") = 16,
      py::arg("conditional") = false,
      "Blocks [first, last) of the note's call on the aligned or sobol stream (clipped to its blocks):\n"
      "(status, error or None, the call's block count, the part as a float64 array). (0, 0) values\n"
      "nothing and gives the block count.");
  m.def(
      "combine_blocks",
      [](const Note& note, const std::vector<py::array_t<double, py::array::c_style | py::array::forcecast>>& arrays,
         int compute, std::optional<long long> trials, std::optional<long long> seed, bool aligned, bool convergence,
         bool sobol, long long scrambles, bool conditional) {
        const PriceRequest request = Request(compute, trials, 1, false, false, seed, aligned, std::nullopt,
                                             convergence, sobol, scrambles, conditional, std::nullopt, true);
        std::vector<std::vector<double>> parts;
        for (const auto& a : arrays) {
          if (a.ndim() != 1) throw py::value_error("a part is a one-dimensional array");
          parts.emplace_back(a.data(), a.data() + a.size());
        }
        NoteReport report;
        {
          py::gil_scoped_release unlocked;
          report = CombineBlocks(note, request, parts);
        }
        return report;
      },
      py::arg("note"), py::arg("parts"), py::arg("compute"), py::arg("trials") = py::none(),
      py::arg("seed") = py::none(), py::arg("aligned") = false, py::arg("convergence") = false,
      py::arg("sobol") = false, py::arg("scrambles") = 16, py::arg("conditional") = false,
      "The note's Report from the parts of price_blocks (any order), bit for bit the report of price\n"
      "with the same request; parts that do not make up the call give a report whose error says why.");
  m.def(
      "combine_blocks_in_order",
      [](const Note& note, const py::iterable& parts, int compute, std::optional<long long> trials,
         std::optional<long long> seed, bool aligned, bool convergence, bool sobol, long long scrambles,
         bool conditional) {
        const PriceRequest request = Request(compute, trials, 1, false, false, seed, aligned, std::nullopt,
                                             convergence, sobol, scrambles, conditional, std::nullopt, true);
        PartPuller puller{py::iter(parts), false, std::nullopt};
        NoteReport report;
        {
          py::gil_scoped_release unlocked;
          report = CombineBlocks(note, request, &PartPuller::Next, &puller);
        }
        if (puller.error) throw std::move(*puller.error);
        return report;
      },
      py::arg("note"), py::arg("parts"), py::arg("compute"), py::arg("trials") = py::none(),
      py::arg("seed") = py::none(), py::arg("aligned") = false, py::arg("convergence") = false,
      py::arg("sobol") = false, py::arg("scrambles") = 16, py::arg("conditional") = false,
      "combine_blocks with the parts taken from an iterable in block order, each when its blocks are\n"
      "next: one part is held at a time. An exception of the iterable is raised.");
}

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
         bool sobol, long long scrambles, bool conditional, const std::optional<py::dict>& scenarios,
         int vectorWidth) {
        return PriceInterruptibly(note, Request(compute, trials, threads, ladder, log, seed, aligned, replications,
                                                convergence, sobol, scrambles, conditional, scenarios, false,
                                                vectorWidth));
      },
      py::arg("note"), py::arg("compute"), py::arg("trials") = py::none(), py::arg("threads") = 1, py::arg("ladder") = false,
      py::arg("log") = false, py::arg("seed") = py::none(), py::arg("aligned") = false,
      py::arg("replications") = py::none(), py::arg("convergence") = false, py::arg("sobol") = false,
      py::arg("scrambles") = 16, py::arg("conditional") = false, py::arg("scenarios") = py::none(),
      py::arg("vector_width") = 0,
      "The note priced as morvik-price prices it, as a Report.\n"
      "compute: -1 the term sheet's, 1 greeks, 2 full; trials: None the term sheet's; seed: None for the\n"
      "stream's own; aligned: the path-addressed stream; sobol: scrambled Sobol points through a Brownian\n"
      "bridge in `scrambles` scramblings sharing the trials; replications: 2 to 64 runs on consecutive seeds\n"
      "(None: one run); convergence: the running price at 1000, 2000, 5000, ... paths (one run only);\n"
      "conditional: the conditional estimator (aligned or sobol stream only); "
      "scenarios: a dict of morvik.Scenarios' fields, each scenario priced on the note's stream and seed;\n"
      "vector_width: paths the aligned stream's plain estimator runs side by side (0 auto, 1, 2, 4).");
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
