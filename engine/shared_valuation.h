// Several core valuations at once, drawing from one shared stream of normals.
#pragma once

#include "engine/core_args.h"
#include "engine/shared_stream.h"
#include "engine/valuation_extras.h"

namespace morvik {

// n valuations, each exactly as MorvikCore(*sets[r], outs[r]) would give it
// (status[r] its status), drawing their normals from one shared stream that
// is generated once and held within `limits`. Returns 0; may throw
// std::bad_alloc (caught by the full call's entry; the results are then
// undefined).
// `extras`, when given, holds n pointers (each may be null): valuation r
// fills *extras[r] as MorvikCore does; progress is reported from the
// calling thread. `stop`, when given, is checked between batches of paths
// and, when `pollStop` is set, polled (StopSignal::Poll) from the calling
// thread; a stop throws ValuationStopped.
int MorvikCoreShared(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                     const StreamLimits& limits = StreamLimits{}, ValuationExtras* const* extras = nullptr,
                     StopSignal* stop = nullptr, bool pollStop = false);

}  // namespace morvik
