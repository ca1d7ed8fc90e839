// The exported full pricing call: packs its 49 parameters into one view and
// prices with the system clock. CalcMorvikMC catches every failure, so no
// C++ exception leaves this function.
//
// The parameter list is expanded from the argument list
// (calls/full_call_inputs.h) and compiled against the prototype in
// morvik.h: a list that differs from the header in a type or the order is a
// conflicting declaration of a C function, which does not compile.
#include "calls/extended_args.h"
#include "calls/extended_entry.h"
#include "interface/morvik.h"

#define MORVIK_PARAMETER(name, kind, rule) morvik::inputs::kind::Arg name,
extern "C" MORVIK_API int MORVIK_CALL ZUNP_CalcMorvikMC(MORVIK_FULL_CALL_INPUTS(MORVIK_PARAMETER) double* ELS_Prob_n_Cf,
                                                        double* ELS_Coupon_Prob_n_Cf, double* ResultPrice) {
#undef MORVIK_PARAMETER
  morvik::ExtendedArgs a;
#define MORVIK_TAKE(name, kind, rule) a.name = name;
  MORVIK_FULL_CALL_INPUTS(MORVIK_TAKE)
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_TAKE)
#undef MORVIK_TAKE
  return morvik::CalcMorvikMC(a, nullptr);
}
