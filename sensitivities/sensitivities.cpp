// The library's sensitivity routines: the bump-and-revalue frame bound to the
// core pricing entry.
#include "sensitivities/sensitivities.h"

#include "interface/core_entry.h"
#include "sensitivities/bump_revalue.h"

namespace morvik {

double CalcDelta(int k, const CoreArgs& args) { return CalcDeltaWith<MorvikCore>(k, args); }

double CalcGamma(int k, const CoreArgs& args) { return CalcGammaWith<MorvikCore>(k, args); }

double CalcVega(int k, const CoreArgs& args) { return CalcVegaWith<MorvikCore>(k, args); }

double CalcRho(const CoreArgs& args) { return CalcRhoWith<MorvikCore>(args); }

double CalcTheta(const CoreArgs& args) { return CalcThetaWith<MorvikCore>(args); }

}  // namespace morvik
