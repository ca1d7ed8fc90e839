// Several core valuations at once, drawing from one shared stream of normals.
#pragma once

#include "engine/core_args.h"
#include "engine/shared_stream.h"

namespace morvik {

// n valuations, each exactly as MorvikCore(*sets[r], outs[r]) would give it
// (status[r] its status), drawing their normals from one shared stream that
// is generated once and held within `limits`. Returns 0, or -1 when a
// temporary cannot be allocated (results then undefined). Never throws.
int MorvikCoreShared(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                     const StreamLimits& limits = StreamLimits{});

}  // namespace morvik
