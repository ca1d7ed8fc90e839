// The core valuation of one note on its core arguments (the export MorvikMC
// forwards here).
#pragma once

#include "engine/core_args.h"

namespace morvik {

// Clears the result block, settles a pending payment from known fixings and
// simulates everything still to come. Returns 1; may throw std::bad_alloc
// (caught once, by the exports and the full call's entry).
int MorvikCore(const CoreArgs& args, const CoreResults& out);

}  // namespace morvik
