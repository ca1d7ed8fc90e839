// The core pricing entry on a CoreArgs view (the export MorvikMC forwards here).
#pragma once

#include "engine/shared_stream.h"
#include "interface/core_args.h"

namespace morvik {

// Clears the result block, settles a pending payment from known fixings and
// simulates everything still to come. Returns 1 after a valuation, -1 when a
// temporary cannot be allocated. Never throws.
int MorvikCore(const CoreArgs& args, const CoreResults& out);

// n valuations, each exactly as MorvikCore(*sets[r], outs[r]) would give it
// (status[r] its status), drawing their normals from one shared stream that
// is generated once and held within `limits`. Returns 0, or -1 when a
// temporary cannot be allocated (results then undefined). Never throws.
int MorvikCoreShared(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                     const StreamLimits& limits = StreamLimits{});

}  // namespace morvik
