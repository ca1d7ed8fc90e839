// Finite-difference sensitivities by bump and revalue around the core entry.
//
// Each routine takes the core inputs as the extended entry assembled them
// (Reserved and the result block of `args` are not read: the routine supplies
// its own scratch outputs) and returns an amount per 10000 of notional, or a
// failed first revaluation's negative code converted to double.
#pragma once

#include "interface/core_args.h"

namespace morvik {

// When `failed` is given, it is set to 1 if a bumped copy could not be
// allocated or any revaluation failed; it is left alone otherwise.
double CalcDelta(int k, const CoreArgs& args, int* failed = nullptr);  // k counts stocks from 1
double CalcGamma(int k, const CoreArgs& args, int* failed = nullptr);
double CalcVega(int k, const CoreArgs& args, int* failed = nullptr);
double CalcRho(const CoreArgs& args, int* failed = nullptr);
double CalcTheta(const CoreArgs& args, int* failed = nullptr);

}  // namespace morvik
