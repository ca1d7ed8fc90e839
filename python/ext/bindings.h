// The parts of the extension morvik._morvik, one routine family per file;
// module.cpp puts them together.
#pragma once

#include <pybind11/pybind11.h>

#include "termsheet/json_text.h"

namespace morvik::python {

namespace py = pybind11;

// The flat-array call ZUNP_CalcMorvikMC on a dict of arrays (pricing_binding.cpp).
void BindFullCall(py::module_& m);
// Term sheets read into notes, their arrays in and out (note_binding.cpp).
void BindNotes(py::module_& m);
// A note priced through the term-sheet layer, as a Report (pricing_binding.cpp).
void BindPricing(py::module_& m);
// A valuation split by ranges of blocks: parts valued and combined (pricing_binding.cpp).
void BindSplitPricing(py::module_& m);
// The report of a priced note: figures as numpy arrays, the tool's JSON and
// CSV rows (report_binding.cpp).
void BindReport(py::module_& m);

// A JSON value of the library as the Python value its text reads back as
// (report_binding.cpp): a number that JSON cannot hold (NaN, infinity) is
// None, as the writer writes it null.
py::object ToPython(const Json& v);

// A date of the term-sheet layer (yyyymmdd) as a datetime.date (report_binding.cpp).
py::object Date(int yyyymmdd);
// The morvik-price command line (command_binding.cpp).
void BindCommand(py::module_& m);
// Market files and the sums of a book's positions (market_binding.cpp).
void BindMarket(py::module_& m);
// Implied-volatility calibrations of a note (calibration_binding.cpp).
void BindCalibration(py::module_& m);

}  // namespace morvik::python
