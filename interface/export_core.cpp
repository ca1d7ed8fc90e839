// The exported core pricing call: packs its 66 arguments into the core
// argument list and result block and prices. Nothing is thrown across it.
//
// The parameter list is expanded from the argument lists in
// engine/core_args.h and compiled against the prototype in morvik.h, so the
// lists cannot drift from the header in type or order.
#include "calls/core_call.h"
#include "interface/morvik.h"

#define MORVIK_CORE_PARAMETER(name, type) type name,
extern "C" MORVIK_API int MORVIK_CALL MorvikMC(MORVIK_CORE_INPUTS(MORVIK_CORE_PARAMETER) double* ELS_Prob, double* ELS_Cf,
                                               double* ELS_Coupon_Prob, double* ELS_Coupon_Cf, double* ResultPrice) {
#undef MORVIK_CORE_PARAMETER
  try {
    morvik::CoreArgs a;
#define MORVIK_CORE_TAKE(name, type) a.name = name;
    MORVIK_CORE_INPUTS(MORVIK_CORE_TAKE)
    morvik::CoreResults r;
#define MORVIK_CORE_RESULT(name, type) r.name = name;
    MORVIK_CORE_RESULTS(MORVIK_CORE_RESULT)
#undef MORVIK_CORE_RESULT
#undef MORVIK_CORE_TAKE
    return morvik::MorvikCore(a, r);
  } catch (...) {
    return -1;
  }
}
