// The library's sensitivity routines: the bump-and-revalue frame bound to the
// core pricing entry.
#include "sensitivities/sensitivities.h"

#include "engine/core_valuation.h"
#include "sensitivities/bump_revalue.h"

namespace morvik {

double CalcDelta(int k, const CoreArgs& args, int* failed) {
  return CalcDeltaWith<MorvikCore>(k, args, failed);
}

double CalcGamma(int k, const CoreArgs& args, int* failed) {
  return CalcGammaWith<MorvikCore>(k, args, failed);
}

double CalcVega(int k, const CoreArgs& args, int* failed) {
  return CalcVegaWith<MorvikCore>(k, args, failed);
}

double CalcRho(const CoreArgs& args, int* failed) { return CalcRhoWith<MorvikCore>(args, failed); }

double CalcTheta(const CoreArgs& args, int* failed) {
  return CalcThetaWith<MorvikCore>(args, failed);
}

}  // namespace morvik
