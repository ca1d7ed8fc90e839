// The inputs of the full pricing call as Python values under the export's
// parameter names (PriceDate, NotionalAMT, UnderlyingPrice, ..., CalcFlag),
// and back. Values are always copied, so a caller's array is never written,
// and every array is checked against the length its counts give
// (interface/layout.h) before any call can read it.
#pragma once

#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "interface/full_call.h"

namespace morvik::python {

namespace py = pybind11;

// The names of the call's inputs, in the export's order.
std::vector<std::string> InputNames();

// Sets the inputs of `call` named in `values`: numbers for the scalars, any
// array-like (read in C order, so a matrix may stay two-dimensional) for the
// arrays. Raises TypeError for a name that is not an input, or a value that
// is not numeric; ValueError for an int input that is not a whole number in
// the int range, or a scalar given several values. Lengths are not checked.
void SetInputs(const py::dict& values, FullCall& call);

// Raises ValueError naming the first array that holds fewer values than the
// counts need (count arrays first, then the arrays their counts size).
// Longer arrays are allowed: the call reads only what the counts say.
void CheckLengths(const FullCall& call);

// Every input: int32 and float64 numpy arrays, Python ints and floats.
py::dict GetInputs(const FullCall& call);

}  // namespace morvik::python
