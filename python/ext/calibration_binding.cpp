// The calibrations of a note's implied-volatility quotes (underlyings given
// with "implied_vol"): fitted Black volatilities, local-volatility grid and
// fit report as plain Python values, for morvik.calibrate.
#include <pybind11/stl.h>

#include "bindings.h"
#include "termsheet/term_sheet.h"

namespace morvik::python {
namespace {

py::list Rows(const std::vector<double>& values, std::size_t width) {
  py::list rows;
  for (std::size_t start = 0; width > 0 && start + width <= values.size(); start += width) {
    rows.append(std::vector<double>(values.begin() + start, values.begin() + start + width));
  }
  return rows;
}

}  // namespace

void BindCalibration(py::module_& m) {
  m.def(
      "calibrations",
      [](const Note& note) {
        py::list out;
        for (const CalibratedUnderlying& c : note.inputs.calibrated) {
          py::dict d;
          d["underlying"] = note.inputs.underlyingNames.at(static_cast<std::size_t>(c.underlying));
          d["implied"] = py::dict(py::arg("times") = c.implied.times, py::arg("strikes") = c.implied.strikes,
                                  py::arg("vols") = Rows(c.implied.vols, c.implied.strikes.size()));
          d["local"] = py::dict(py::arg("times") = c.grid.times, py::arg("moneyness") = c.grid.moneyness,
                                py::arg("vols") = Rows(c.grid.vols, c.grid.times.size()));
          py::list violations;
          for (const calib::Violation& v : c.report.violations) {
            violations.append(py::dict(py::arg("kind") = v.kind == calib::Violation::kButterfly ? "butterfly" : "calendar",
                                       py::arg("expiry") = v.expiry, py::arg("strike") = v.strike,
                                       py::arg("message") = v.message));
          }
          d["report"] = py::dict(py::arg("quotes") = c.report.quotes, py::arg("left_out") = c.report.leftOut,
                                 py::arg("max_error") = c.report.maxError, py::arg("rms_error") = c.report.rmsError,
                                 py::arg("repaired") = c.repaired, py::arg("local_vols_repaired") = c.report.repairedLocalVols,
                                 py::arg("violations") = violations,
                                 py::arg("sentence") = FitSentence(c.report));
          out.append(d);
        }
        return out;
      },
      "The implied-volatility calibrations of a note's underlyings, one dict each");
}

}  // namespace morvik::python
