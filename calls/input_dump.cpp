// The dump of every input of the full pricing call, one line per input.
//
// One line per entry of the argument list (calls/full_call_inputs.h),
// each array as long as its length rule gives. The dump runs before
// validation and trusts the caller's counts; the rules guard their own
// arithmetic (64-bit lengths, saturated here to int), read a negative count
// as no values and a missing count array as zeros.
#include "calls/input_dump.h"

#include <climits>
#include <cstdio>
#include <string>

#include "calls/layout.h"
#include "logging/log_writer.h"

namespace morvik {

namespace {

int Saturate(long long n) {
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

// "label : value", formatted here and appended as one line.
template <typename T>
void AppendScalarLine(const char* subdir, const char* file, const char* label, const char* fmt,
                      T value) {
  std::string line(label);
  line += " : ";
  char small[128];
  const int n = std::snprintf(small, sizeof small, fmt, value);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof small) {
    line.append(small, static_cast<std::size_t>(n));
  } else {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), fmt, value);
    line.append(big.data(), static_cast<std::size_t>(n));
  }
  AppendLogLine(subdir, file, line.c_str());
}

// One input's line: a scalar as it is, an array with as many values as its
// length rule gives for the caller's counts.
template <class Rule>
void DumpInput(const char* subdir, const char* file, const char* label, int value, const ExtendedArgs&) {
  AppendScalarLine(subdir, file, label, "%d", value);
}
template <class Rule>
void DumpInput(const char* subdir, const char* file, const char* label, double value, const ExtendedArgs&) {
  AppendScalarLine(subdir, file, label, "%f", value);
}
template <class Rule>
void DumpInput(const char* subdir, const char* file, const char* label, const int* values, const ExtendedArgs& a) {
  LogIntArray(subdir, file, label, values, Saturate(Rule::Of(a)));
}
template <class Rule>
void DumpInput(const char* subdir, const char* file, const char* label, const double* values,
               const ExtendedArgs& a) {
  LogDoubleArray(subdir, file, label, values, Saturate(Rule::Of(a)));
}

void DumpInputs(const char* subdir, const char* file, const ExtendedArgs& a) {
#define MORVIK_DUMP_INPUT(name, kind, rule) DumpInput<rules::rule>(subdir, file, #name, a.name, a);
  MORVIK_FULL_CALL_INPUTS(MORVIK_DUMP_INPUT)
#undef MORVIK_DUMP_INPUT
}

}  // namespace

void LogInputs(const char* subdir, const char* file, const ExtendedArgs& args) {
  try {
    DumpInputs(subdir, file, args);
  } catch (...) {
    // The dump is a diagnostic: a line that cannot be built is dropped.
  }
}

}  // namespace morvik
