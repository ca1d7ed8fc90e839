// Finite-difference sensitivities by bump and revalue around the core entry.
//
// Each routine takes the core inputs as the extended entry assembled them
// (Reserved and the result block of `args` are not read: the routine supplies
// its own scratch outputs) and returns an amount per 10000 of notional, or a
// failed first revaluation's negative code converted to double.
#pragma once

#include "engine/core_args.h"

namespace morvik {

// When `failed` is given, it is set to 1 if a bumped copy could not be
// allocated or any revaluation failed; it is left alone otherwise.
double CalcDelta(int k, const CoreArgs& args, int* failed = nullptr);  // k counts stocks from 1
double CalcGamma(int k, const CoreArgs& args, int* failed = nullptr);
double CalcVega(int k, const CoreArgs& args, int* failed = nullptr);
double CalcRho(const CoreArgs& args, int* failed = nullptr);
double CalcTheta(const CoreArgs& args, int* failed = nullptr);

}  // namespace morvik

#include "engine/shared_stream.h"
#include "engine/core_args.h"
#include "sensitivities/task_runner.h"

namespace morvik {

// The core valuation of `args` into `out` and, for mode >= 1, the
// sensitivities of the full call, all valuations drawing from one shared
// stream of normals (see MorvikCoreShared). Every figure is exactly what
// MorvikCore and the routines above give one by one. sens has 3*NStock+3
// entries: [1+i] delta, [1+S+i] gamma, [1+2S+i] vega of stock i, then with
// mode >= 2 [3S+1] theta and [3S+2] rho; per 10000 of notional. Returns the
// core valuation's status (-1 when anything cannot be allocated); `failed`
// is set to 1 when a revaluation failed.
//
// With a runner of width > 1 the valuations are split into at most `width`
// groups, each valued on its own stream as one of the runner's tasks;
// `limits` then bounds the memory of all groups together. Every figure is
// bit-identical to no runner. The exported functions pass none: the library
// itself starts no thread.
int ValueWithSensitivities(const CoreArgs& args, const CoreResults& out, int mode, double* sens,
                           int* failed, const StreamLimits& limits = StreamLimits{},
                           const TaskRunner* runner = nullptr);

}  // namespace morvik
