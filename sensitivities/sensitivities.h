// Finite-difference sensitivities by bump and revalue around the core entry.
//
// Each routine takes the core inputs as the extended entry assembled them
// (Reserved and the result block of `args` are not read: the routine supplies
// its own scratch outputs) and returns an amount per 10000 of notional, or a
// failed first revaluation's negative code converted to double.
#pragma once

#include "interface/core_args.h"

namespace morvik {

double CalcDelta(int k, const CoreArgs& args);  // k counts stocks from 1
double CalcGamma(int k, const CoreArgs& args);
double CalcVega(int k, const CoreArgs& args);
double CalcRho(const CoreArgs& args);
double CalcTheta(const CoreArgs& args);

}  // namespace morvik
