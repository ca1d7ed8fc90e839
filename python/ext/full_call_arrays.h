// The inputs of the full pricing call as Python values under the export's
// parameter names (PriceDate, NotionalAMT, UnderlyingPrice, ..., CalcFlag),
// and back. Values are always copied, so a caller's array is never written,
// and every array is checked against the length its counts give
// (calls/layout.h) before any call can read it.
#pragma once

#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "calls/full_call.h"

namespace morvik::python {

namespace py = pybind11;

// The names of the call's inputs, in the export's order.
std::vector<std::string> InputNames();

// Sets the inputs of `call` named in `values`: numbers for the scalars, any
// array-like of real numbers (read in C order, so a matrix may stay
// two-dimensional) for the arrays. Raises TypeError for a name that is not
// an input, or a value that is not numeric: None (also inside a sequence),
// text (also a numpy string array), complex numbers, other objects;
// ValueError for an int input that is not a whole number in the int range,
// or a scalar given several values. Lengths are not checked.
void SetInputs(const py::dict& values, FullCall& call);

// What CheckLengths does with an array longer than its counts need (the
// call reads only what the counts say): nothing, a UserWarning naming it,
// its length and the length needed, or a ValueError.
enum class LongArrays { kAllow, kWarn, kReject };

// Raises ValueError naming the first array that holds fewer values than the
// counts need (count arrays first, then the arrays their counts size); then
// treats longer arrays as `longer` says.
void CheckLengths(const FullCall& call, LongArrays longer = LongArrays::kAllow);

// Every input: int32 and float64 numpy arrays, Python ints and floats.
py::dict GetInputs(const FullCall& call);

}  // namespace morvik::python
