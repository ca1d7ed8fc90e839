// The full call's inputs in and out of Python: one table, expanded from the
// argument list (calls/full_call_inputs.h), names every input, its
// member of FullCall and the length its counts give.
#include "full_call_arrays.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <variant>

#include <pybind11/numpy.h>

#include "calls/layout.h"

namespace morvik::python {
namespace {

using IntVec = std::vector<int>;
using DoubleVec = std::vector<double>;
using Member = std::variant<int FullCall::*, double FullCall::*, IntVec FullCall::*, DoubleVec FullCall::*>;
using Length = layout::Length;

using LengthRule = Length (*)(const ExtendedArgs&);

// A rule's length function; null for a scalar.
template <class Rule>
constexpr LengthRule LengthOf() {
  if constexpr (std::is_same_v<Rule, rules::Scalar>) {
    return nullptr;
  } else {
    return &Rule::Of;
  }
}

struct Field {
  const char* name;
  Member member;
  LengthRule length;  // on the call's view; null for a scalar
  bool derived;       // sized by count arrays, checked after them
};

// The argument list, in the order of ZUNP_CalcMorvikMC's parameters.
const Field kFields[] = {
#define MORVIK_PY_FIELD(name, kind, rule) \
  {#name, &FullCall::name, LengthOf<rules::rule>(), rules::rule::kDerived},
    MORVIK_FULL_CALL_INPUTS(MORVIK_PY_FIELD)
#undef MORVIK_PY_FIELD
};

// One element of an object array (a list holding a huge int, say) as a
// double: anything Python reads as a real number, never None or text.
double ObjectNumber(const char* name, py::ssize_t k, bool scalar, const py::handle& item) {
  const std::string at = scalar ? std::string(name) : std::string(name) + "[" + std::to_string(k) + "]";
  if (item.is_none()) throw py::type_error(at + " is None; it takes numbers");
  if (py::isinstance<py::str>(item) || py::isinstance<py::bytes>(item)) {
    throw py::type_error(at + " is text (" + std::string(py::repr(item)) + "); it takes numbers");
  }
  const double v = PyFloat_AsDouble(item.ptr());
  if (v == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    throw py::type_error(at + " takes numbers, not " + std::string(py::str(item.get_type())));
  }
  return v;
}

// The values of `value` as doubles, in C order: booleans, integers and
// floats, as arrays of their own or as sequences of Python numbers. None,
// text (str, bytes, numpy string arrays, which numpy would parse) and
// anything else raise TypeError naming the input.
DoubleVec Numbers(const char* name, const py::handle& value) {
  if (value.is_none()) throw py::type_error(std::string(name) + " is None; it takes numbers");
  if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value)) {
    throw py::type_error(std::string(name) + " takes numbers, not text");
  }
  const py::array a = py::array::ensure(value);
  if (!a) throw py::type_error(std::string(name) + " takes numbers, not " + std::string(py::str(value.get_type())));
  const char kind = a.dtype().kind();
  if (kind == 'b' || kind == 'i' || kind == 'u' || kind == 'f') {
    using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const Doubles d = Doubles::ensure(a);
    if (!d) throw py::error_already_set();
    return DoubleVec(d.data(), d.data() + d.size());
  }
  if (kind == 'U' || kind == 'S') {
    throw py::type_error(std::string(name) + " takes numbers, not text (an array of " +
                         std::string(py::str(a.dtype())) + ")");
  }
  if (kind != 'O') {
    throw py::type_error(std::string(name) + " takes real numbers, not an array of " +
                         std::string(py::str(a.dtype())));
  }
  // Read in C order, one element at a time.
  const py::list items = a.attr("ravel")().attr("tolist")();
  DoubleVec out;
  out.reserve(items.size());
  const bool scalar = a.ndim() == 0;
  for (py::ssize_t k = 0; k < static_cast<py::ssize_t>(items.size()); ++k) {
    out.push_back(ObjectNumber(name, k, scalar, items[static_cast<std::size_t>(k)]));
  }
  return out;
}

int WholeNumber(const char* name, std::size_t k, bool scalar, double v) {
  if (!(std::isfinite(v) && v == std::floor(v) && v >= INT_MIN && v <= INT_MAX)) {
    const std::string at = scalar ? std::string(name) : std::string(name) + "[" + std::to_string(k) + "]";
    throw py::value_error(at + " must be a whole number in the int range, got " + std::string(py::repr(py::float_(v))));
  }
  return static_cast<int>(v);
}

double OneNumber(const char* name, const py::handle& value) {
  const DoubleVec v = Numbers(name, value);
  if (v.size() != 1) throw py::value_error(std::string(name) + " takes one number, got " + std::to_string(v.size()));
  return v[0];
}

struct Setter {
  const char* name;
  const py::handle& value;
  FullCall& call;
  void operator()(int FullCall::*m) const { call.*m = WholeNumber(name, 0, true, OneNumber(name, value)); }
  void operator()(double FullCall::*m) const { call.*m = OneNumber(name, value); }
  void operator()(IntVec FullCall::*m) const {
    const DoubleVec v = Numbers(name, value);
    IntVec out(v.size());
    for (std::size_t k = 0; k < v.size(); ++k) out[k] = WholeNumber(name, k, false, v[k]);
    call.*m = std::move(out);
  }
  void operator()(DoubleVec FullCall::*m) const { call.*m = Numbers(name, value); }
};

struct Getter {
  const FullCall& call;
  py::object operator()(int FullCall::*m) const { return py::int_(call.*m); }
  py::object operator()(double FullCall::*m) const { return py::float_(call.*m); }
  py::object operator()(IntVec FullCall::*m) const {
    const IntVec& v = call.*m;
    return py::array_t<int>(static_cast<py::ssize_t>(v.size()), v.data());
  }
  py::object operator()(DoubleVec FullCall::*m) const {
    const DoubleVec& v = call.*m;
    return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
  }
};

Length Size(const FullCall& call, const Member& member) {
  if (const auto* m = std::get_if<IntVec FullCall::*>(&member)) return static_cast<Length>((call.**m).size());
  if (const auto* m = std::get_if<DoubleVec FullCall::*>(&member)) return static_cast<Length>((call.**m).size());
  return 1;
}

}  // namespace

std::vector<std::string> InputNames() {
  std::vector<std::string> names;
  for (const Field& f : kFields) names.emplace_back(f.name);
  return names;
}

void SetInputs(const py::dict& values, FullCall& call) {
  for (const auto& item : values) {
    const std::string key = py::str(item.first);
    const Field* field = nullptr;
    for (const Field& f : kFields) {
      if (key == f.name) field = &f;
    }
    if (field == nullptr) throw py::type_error("\"" + key + "\" is not an input of ZUNP_CalcMorvikMC");
    std::visit(Setter{field->name, item.second, call}, field->member);
  }
}

void CheckLengths(const FullCall& call, LongArrays longer) {
  const ExtendedArgs counts = call.Inputs();
  for (const bool derived : {false, true}) {
    for (const Field& f : kFields) {
      if (f.length == nullptr || f.derived != derived) continue;
      const Length need = f.length(counts);
      const Length have = Size(call, f.member);
      if (have < need) {
        throw py::value_error(std::string(f.name) + " holds " + std::to_string(have) + " values; its counts need " +
                              std::to_string(need));
      }
    }
  }
  if (longer == LongArrays::kAllow) return;
  for (const Field& f : kFields) {
    if (f.length == nullptr) continue;
    const Length need = f.length(counts);
    const Length have = Size(call, f.member);
    if (have == need) continue;
    const std::string text = std::string(f.name) + " holds " + std::to_string(have) + " values; its counts need " +
                             std::to_string(need);
    if (longer == LongArrays::kReject) throw py::value_error(text + " exactly (strict)");
    // Raises instead when warnings are errors.
    const std::string warning = text + ": the call reads the first " + std::to_string(need);
    if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 2) != 0) throw py::error_already_set();
  }
}

py::dict GetInputs(const FullCall& call) {
  py::dict d;
  for (const Field& f : kFields) d[f.name] = std::visit(Getter{call}, f.member);
  return d;
}

}  // namespace morvik::python
