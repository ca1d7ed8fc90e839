// One full pricing call held in owning arrays, named as the parameters of
// ZUNP_CalcMorvikMC, with its three outputs. The command-line tool, the
// Python package, the benchmarks, the fuzz targets and the tests fill one
// and call the export through it. Its members are expanded from the
// argument list (calls/full_call_inputs.h).
#pragma once

#include <vector>

#include "calls/extended_args.h"

namespace morvik {

namespace inputs {

// An owned argument's initial value: zero, or the zeros of a fixed-length
// array (the pair flags).
template <class Owned, class Rule>
Owned Initial() {
  if constexpr (Rule::kFixed > 1) {
    return Owned(static_cast<typename Owned::size_type>(Rule::kFixed));
  } else {
    return Owned{};
  }
}

}  // namespace inputs

struct FullCall {
#define MORVIK_OWNED_FIELD(name, kind, rule) \
  inputs::kind::Owned name = inputs::Initial<inputs::kind::Owned, rules::rule>();
  MORVIK_FULL_CALL_INPUTS(MORVIK_OWNED_FIELD)
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_OWNED_FIELD)
#undef MORVIK_OWNED_FIELD

  // Sizes the three outputs for the counts and CalcFlag[0] (see
  // calls/layout.h), every slot 0.0.
  void SizeOutputs();

  // The call's view of the input arrays, outputs null. An empty array is
  // passed as a null pointer: the library reads no element of an array
  // whose count is 0.
  ExtendedArgs Inputs() const;

  // Inputs() with the three outputs of this call.
  ExtendedArgs View();

  // ZUNP_CalcMorvikMC on View(); returns its status.
  int Call();
};

// ZUNP_CalcMorvikMC with every argument taken from `args`.
int CallExport(const ExtendedArgs& args);

}  // namespace morvik
