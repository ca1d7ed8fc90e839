// The owning full call: its view, and the export called with the
// arguments in the order of the argument list.
#include "calls/full_call.h"

#include "calls/layout.h"
#include "interface/morvik.h"

namespace morvik {

namespace {

// A scalar as it is; an array as its data, or null when empty.
int Pass(int v) { return v; }
double Pass(double v) { return v; }
template <class T>
T* Pass(std::vector<T>& v) {
  return v.empty() ? nullptr : v.data();
}
template <class T>
const T* Pass(const std::vector<T>& v) {
  return v.empty() ? nullptr : v.data();
}

}  // namespace

void FullCall::SizeOutputs() {
  const ExtendedArgs counts = Inputs();
#define MORVIK_SIZE_OUTPUT(name, kind, rule) name.assign(static_cast<std::size_t>(rules::rule::Of(counts)), 0.0);
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_SIZE_OUTPUT)
#undef MORVIK_SIZE_OUTPUT
}

ExtendedArgs FullCall::Inputs() const {
  ExtendedArgs a;
#define MORVIK_PASS_INPUT(name, kind, rule) a.name = Pass(name);
  MORVIK_FULL_CALL_INPUTS(MORVIK_PASS_INPUT)
#undef MORVIK_PASS_INPUT
  return a;
}

ExtendedArgs FullCall::View() {
  ExtendedArgs a = Inputs();
#define MORVIK_PASS_OUTPUT(name, kind, rule) a.name = Pass(name);
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_PASS_OUTPUT)
#undef MORVIK_PASS_OUTPUT
  return a;
}

int FullCall::Call() { return CallExport(View()); }

int CallExport(const ExtendedArgs& a) {
#define MORVIK_ARGUMENT(name, kind, rule) a.name,
  return ZUNP_CalcMorvikMC(MORVIK_FULL_CALL_INPUTS(MORVIK_ARGUMENT) a.ELS_Prob_n_Cf, a.ELS_Coupon_Prob_n_Cf,
                           a.ResultPrice);
#undef MORVIK_ARGUMENT
}

}  // namespace morvik
