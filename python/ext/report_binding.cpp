// A priced note as Python sees it: the term-sheet layer's NoteReport bound
// as morvik._morvik.Report. Its per-slot figures are numpy arrays, its
// JSON is the tool's writer's, its CSV rows the tool's row writer's; the
// package builds its frames from these and parses no text the library wrote.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "termsheet/report.h"

namespace morvik::python {
namespace {

// Text the library wrote, as a Python str; bytes that are not UTF-8 become
// U+FFFD (as the JSON writer writes them) instead of raising.
py::str Text(const std::string& s) {
  PyObject* text = PyUnicode_DecodeUTF8(s.data(), static_cast<py::ssize_t>(s.size()), "replace");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

template <class T>
py::array_t<T> Array(const std::vector<T>& v) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

// Outcome slots or coupons as the columns of their frame, in its order:
// dates as datetime64[D] arrays, numbers as float64 arrays.
py::dict FlowColumns(const std::vector<SlotFlow>& flows) {
  const py::object array = py::module_::import("numpy").attr("array");
  py::list observation, payment;
  std::vector<double> probability, se, cashFlow, df, discounted;
  for (const SlotFlow& f : flows) {
    observation.append(Date(f.observation));
    payment.append(Date(f.payment));
    probability.push_back(f.probability);
    se.push_back(f.probabilitySE);
    cashFlow.push_back(f.cashFlow);
    df.push_back(f.discountFactor);
    discounted.push_back(f.discounted);
  }
  py::dict columns;
  columns["observation"] = array(observation, "datetime64[D]");
  columns["payment"] = array(payment, "datetime64[D]");
  columns["probability"] = Array(probability);
  columns["std_error"] = Array(se);
  columns["cash_flow"] = Array(cashFlow);
  columns["discount_factor"] = Array(df);
  columns["discounted_value"] = Array(discounted);
  return columns;
}

// The projected cash flows as the columns of their frame, in payment order.
py::dict CashFlowColumns(const std::vector<ProjectedFlow>& flows) {
  const py::object array = py::module_::import("numpy").attr("array");
  py::list payment, observation, kind, label, settled;
  std::vector<double> probability, probabilitySE, amount, amountSE, df, discounted, discountedSE;
  for (const ProjectedFlow& f : flows) {
    payment.append(Date(f.payment));
    observation.append(Date(f.observation));
    kind.append(f.kind);
    label.append(Text(f.label));
    settled.append(f.settled);
    probability.push_back(f.probability);
    probabilitySE.push_back(f.probabilitySE);
    amount.push_back(f.amount);
    amountSE.push_back(f.amountSE);
    df.push_back(f.discountFactor);
    discounted.push_back(f.discounted);
    discountedSE.push_back(f.discountedSE);
  }
  py::dict columns;
  columns["payment"] = array(payment, "datetime64[D]");
  columns["kind"] = kind;
  columns["observation"] = array(observation, "datetime64[D]");
  columns["label"] = label;
  columns["probability"] = Array(probability);
  columns["probability_std_error"] = Array(probabilitySE);
  columns["amount"] = Array(amount);
  columns["amount_std_error"] = Array(amountSE);
  columns["discount_factor"] = Array(df);
  columns["discounted_value"] = Array(discounted);
  columns["discounted_value_std_error"] = Array(discountedSE);
  columns["settled"] = array(settled, "bool");
  return columns;
}

bool HasFigures(const NoteReport& r) { return r.usable && r.priced && r.result.status >= 0; }

// The kind of outcome slot `slot` of a note of `N` observation dates, the
// key of the outcome frames beside the observation date: redemption on an
// observation date before the last ("early") or on the last ("final"), then
// the two maturity slots.
const char* OutcomeKind(int N, int slot) {
  if (slot < N) return slot == N - 1 ? "final" : "early";
  return slot == N ? "maturity no knock-in" : "maturity knock-in";
}

// A row of the long-form table as a tuple: empty text and no trials None,
// numbers float (NaN where the CSV has an empty field).
py::tuple RowTuple(const CsvRow& row, const std::optional<std::string>& error) {
  const auto text = [](const std::string& s) { return s.empty() ? py::object(py::none()) : py::object(Text(s)); };
  const auto number = [](double v) { return std::isfinite(v) ? v : std::nan(""); };
  return py::make_tuple(Text(row.note), text(row.pricingDate),
                        row.trials ? py::object(py::int_(*row.trials)) : py::object(py::none()), Text(row.quantity),
                        text(row.underlying), number(row.value), number(row.standardError),
                        error ? py::object(Text(*error)) : py::object(py::none()));
}

using TableRow = std::tuple<std::optional<std::string>, std::optional<std::string>, std::optional<long long>,
                            std::optional<std::string>, std::optional<std::string>, std::optional<double>,
                            std::optional<double>, std::optional<std::string>>;

}  // namespace

py::object ToPython(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return py::none();
    case Json::value_t::boolean: return py::bool_(v.get<bool>());
    case Json::value_t::number_integer: return py::int_(v.get<long long>());
    case Json::value_t::number_unsigned: return py::int_(v.get<unsigned long long>());
    case Json::value_t::number_float: {
      const double d = v.get<double>();
      return std::isfinite(d) ? py::object(py::float_(d)) : py::object(py::none());
    }
    case Json::value_t::string: return Text(v.get_ref<const std::string&>());
    case Json::value_t::array: {
      py::list list;
      for (const Json& e : v) list.append(ToPython(e));
      return list;
    }
    case Json::value_t::object: {
      py::dict dict;
      for (auto it = v.begin(); it != v.end(); ++it) dict[Text(it.key())] = ToPython(it.value());
      return dict;
    }
    default: break;  // binary and discarded values: the report writes none
  }
  return py::none();
}

py::object Date(int yyyymmdd) {
  return py::module_::import("datetime").attr("date")(yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100);
}

void BindReport(py::module_& m) {
  std::vector<std::string> columns(kCsvColumns.begin(), kCsvColumns.end());
  columns.emplace_back(kErrorColumn);
  m.attr("TABLE_COLUMNS") = py::tuple(py::cast(columns));

  py::class_<NoteReport>(m, "Report",
                         "One priced note as the library reports it (the figures of morvik-price's reports)")
      .def_property_readonly("file", [](const NoteReport& r) { return Text(r.file); })
      .def_property_readonly("usable", [](const NoteReport& r) { return r.usable; },
                             "False when the note could not be priced at all (memory ran out)")
      .def_property_readonly(
          "status",
          [](const NoteReport& r) { return r.priced ? std::optional<int>(r.result.status) : std::nullopt; },
          "The call's status; None when nothing was priced")
      .def_property_readonly(
          "error",
          [](const NoteReport& r) -> py::object {
            if (!r.usable) return Text(r.inputError);
            if (r.priced && r.result.status < 0) return Text(r.result.rejection);
            return py::none();
          },
          "Why the note has no figures (the library's sentence), or None")
      .def_property_readonly("state", [](const NoteReport& r) { return StateName(r.life.state); })
      .def_property_readonly("warnings",
                             [](const NoteReport& r) {
                               py::list list;
                               for (const std::string& w : r.warnings) list.append(Text(w));
                               return list;
                             })
      .def_property_readonly("trials", [](const NoteReport& r) { return static_cast<long long>(r.note.NTrials); })
      .def_property_readonly("life_cycle", [](const NoteReport& r) { return ToPython(LifeCycleJson(r)); })
      .def_property_readonly("has_figures", &HasFigures, "Whether the report holds a priced note's figures")
      .def_property_readonly("price",
                             [](const NoteReport& r) {
                               return HasFigures(r) ? std::optional<double>(r.result.resultPrice[0]) : std::nullopt;
                             })
      .def_property_readonly("price_percent",
                             [](const NoteReport& r) {
                               return HasFigures(r) ? PricePercent(r) : std::nullopt;
                             })
      .def_property_readonly("price_se",
                             [](const NoteReport& r) {
                               return HasFigures(r) && std::isfinite(r.result.priceSE)
                                          ? std::optional<double>(r.result.priceSE)
                                          : std::nullopt;
                             })
      .def_property_readonly("stream", [](const NoteReport& r) { return StreamName(r.result); })
      .def_property_readonly("seed",
                             [](const NoteReport& r) {
                               return HasFigures(r) ? r.result.seed : std::optional<std::uint64_t>();
                             })
      .def_property_readonly("breakdown",
                             [](const NoteReport& r) {
                               const Json j = NoteJson(r);
                               return j.contains("price_breakdown") ? ToPython(j["price_breakdown"]) : py::dict();
                             })
      .def("outcomes", [](const NoteReport& r) { return FlowColumns(OutcomeFlows(r)); },
           "The outcome slots as the columns of their frame (dates, probability, its error, cash flow, ...)")
      .def(
          "outcome_labels",
          [](const NoteReport& r) {
            py::list labels;
            const int slots = HasFigures(r) ? r.note.NStrike + 2 : 0;
            for (int s = 0; s < slots; ++s) labels.append(OutcomeLabel(r.note.NStrike, s));
            return labels;
          },
          "The outcome slots' names, in slot order")
      .def(
          "outcome_kinds",
          [](const NoteReport& r) {
            py::list kinds;
            const int slots = HasFigures(r) ? r.note.NStrike + 2 : 0;
            for (int s = 0; s < slots; ++s) kinds.append(OutcomeKind(r.note.NStrike, s));
            return kinds;
          },
          "The outcome slots' kinds, in slot order: early, final, maturity no knock-in, maturity knock-in")
      .def("coupons", [](const NoteReport& r) { return FlowColumns(CouponFlows(r)); },
           "The coupons as columns, as outcomes() has them")
      .def("cash_flows", [](const NoteReport& r) { return CashFlowColumns(CashFlowSchedule(r)); },
           "The projected payments still to come as columns, in payment order (the JSON's cash_flows)")
      .def(
          "greeks",
          [](const NoteReport& r) -> py::object {
            if (!HasFigures(r) || !HasGreeks(r)) return py::none();
            const NoteGreeks g = GreeksOf(r);
            py::list names;
            std::vector<double> delta, gamma, vega, deltaSE, gammaSE, vegaSE;
            for (const StockGreeks& s : g.stocks) {
              names.append(Text(s.underlying));
              delta.push_back(s.delta);
              gamma.push_back(s.gamma);
              vega.push_back(s.vega);
              deltaSE.push_back(s.deltaSE);
              gammaSE.push_back(s.gammaSE);
              vegaSE.push_back(s.vegaSE);
            }
            py::dict columns;
            columns["delta"] = Array(delta);
            columns["gamma"] = Array(gamma);
            columns["vega"] = Array(vega);
            columns["delta_se"] = Array(deltaSE);
            columns["gamma_se"] = Array(gammaSE);
            columns["vega_se"] = Array(vegaSE);
            return py::make_tuple(names, columns);
          },
          "(underlyings, columns): delta, gamma and vega by underlying, then their errors (NaN: none); None\n"
          "without greeks")
      .def_property_readonly("theta", [](const NoteReport& r) { return GreeksOf(r).theta; })
      .def_property_readonly("rho", [](const NoteReport& r) { return GreeksOf(r).rho; })
      .def_property_readonly(
          "theta_se",
          [](const NoteReport& r) {
            const NoteGreeks g = GreeksOf(r);
            return g.theta && std::isfinite(g.thetaSE) ? std::optional<double>(g.thetaSE) : std::nullopt;
          },
          "theta's standard error; None without theta or when the library reports none")
      .def_property_readonly(
          "rho_se",
          [](const NoteReport& r) {
            const NoteGreeks g = GreeksOf(r);
            return g.rho && std::isfinite(g.rhoSE) ? std::optional<double>(g.rhoSE) : std::nullopt;
          },
          "rho's standard error; None without rho or when the library reports none")
      .def(
          "convergence",
          [](const NoteReport& r) -> py::object {
            if (!HasFigures(r) || r.result.convergence.empty()) return py::none();
            std::vector<long long> paths;
            std::vector<double> price, se;
            for (const ConvergenceRow& c : r.result.convergence) {
              paths.push_back(c.paths);
              price.push_back(c.price);
              se.push_back(c.priceSE);
            }
            return py::make_tuple(Array(paths), Array(price), Array(se));
          },
          "(paths, price, standard error) of the running price, or None")
      .def(
          "ladder",
          [](const NoteReport& r) -> py::object {
            const NoteResult& res = r.result;
            if (!HasFigures(r) || res.ladderMoves.empty()) return py::none();
            std::vector<double> prices;
            for (std::size_t k = 0; k < res.ladderMoves.size(); ++k) {
              prices.push_back(res.ladderStatus[k] >= 0 ? res.ladderPrices[k] : std::nan(""));
            }
            return py::make_tuple(Array(res.ladderMoves), Array(prices), Array(res.ladderStatus));
          },
          "(moves, prices, statuses) of the spot ladder (a rejected point's price NaN), or None")
      .def(
          "scenario_rows",
          [](const NoteReport& r) {
            py::list rows;
            const auto number = [](double v) { return std::isnan(v) ? py::object(py::none()) : py::object(py::float_(v)); };
            for (const ScenarioRecord& s : ScenarioRecords(r)) {
              rows.append(py::make_tuple(Text(s.note), s.scenario, Text(s.underlying), s.shift,
                                         s.unit.empty() ? py::object(py::none()) : py::object(py::str(s.unit)),
                                         number(s.volShift), number(s.tenor), s.value, s.standardError, s.change,
                                         s.error.empty() ? py::object(py::none()) : py::object(Text(s.error))));
            }
            return rows;
          },
          "The note's scenarios as tuples in SCENARIO_COLUMNS order (the base first; none without scenarios)")
      .def("to_json", [](const NoteReport& r) { return Text(JsonReport({r})); },
           "The JSON document of morvik-price --json for this note")
      .def(
          "to_dict",
          [](const NoteReport& r) {
            py::dict document;
            py::list notes;
            notes.append(ToPython(NoteJson(r)));
            document["notes"] = notes;
            return document;
          },
          "to_json()'s document as Python values, built from the same objects (not read from the text)")
      .def(
          "table_rows",
          [](const NoteReport& r, const std::optional<std::string>& error) {
            py::list rows;
            for (const CsvRow& row : CsvRows(r)) rows.append(RowTuple(row, error));
            return rows;
          },
          py::arg("error") = py::none(),
          "The note's rows of morvik-price --csv as tuples in TABLE_COLUMNS order, `error` in the last column");

  py::list scenarioColumns;
  for (const char* c : kScenarioColumns) scenarioColumns.append(c);
  m.attr("SCENARIO_COLUMNS") = py::tuple(scenarioColumns);
  m.def(
      "failed_rows",
      [](const std::string& label, const std::string& error) {
        NoteReport r;
        r.file = label;
        r.inputError = error;
        py::list rows;
        for (const CsvRow& row : CsvRows(r)) rows.append(RowTuple(row, error));
        return rows;
      },
      py::arg("label"), py::arg("error"), "The table rows of a note that could not be valued: its status row");
  m.def(
      "table_csv",
      [](const std::vector<TableRow>& rows) {
        std::string text = CsvHeader(true) + "\n";
        for (const TableRow& t : rows) {
          CsvRow row;
          row.note = std::get<0>(t).value_or("");
          row.pricingDate = std::get<1>(t).value_or("");
          row.trials = std::get<2>(t);
          row.quantity = std::get<3>(t).value_or("");
          row.underlying = std::get<4>(t).value_or("");
          row.value = std::get<5>(t).value_or(std::nan(""));
          row.standardError = std::get<6>(t).value_or(std::nan(""));
          row.error = std::get<7>(t).value_or("");
          text += CsvLine(row, true) + "\n";
        }
        return text;
      },
      py::arg("rows"),
      "A book's table as CSV text: the header of TABLE_COLUMNS, then one line per row (a tuple in that order;\n"
      "None is an empty field)");
}

}  // namespace morvik::python
