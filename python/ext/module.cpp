// The extension module morvik._morvik: the C++ side of the morvik package.
// Every function here calls the library and its term-sheet layer; the Python
// package shapes the results (frames, plots) and raises its own errors.
#include "bindings.h"
#include "interface/morvik.h"

PYBIND11_MODULE(_morvik, m) {
  m.doc() = "morvik's term-sheet layer and full pricing call (internal; use the morvik package)";
  m.attr("__version__") = MORVIK_VERSION;
  morvik::python::BindMarket(m);
  morvik::python::BindNotes(m);
  morvik::python::BindReport(m);
  morvik::python::BindPricing(m);
  morvik::python::BindSplitPricing(m);
  morvik::python::BindFullCall(m);
  morvik::python::BindCommand(m);
  morvik::python::BindCalibration(m);
}
