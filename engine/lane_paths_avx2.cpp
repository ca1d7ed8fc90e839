// The four-lane path loops, compiled for AVX2 (no FMA: the same IEEE
// operations as the one-path loop) and called only where the processor has
// it (engine/lane_paths.cpp). Every header of the library is included
// before the target pragma, so its inline functions keep their baseline
// copies; the lane code after it has internal linkage. The build compiles
// this file with -Wno-psabi (cmake/morvik_layers.cmake).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/daily_step.h"
#include "engine/engine_grids.h"
#include "engine/lane_paths.h"
#include "engine/note_state.h"
#include "engine/path_rows.h"
#include "engine/simulate.h"
#include "engine/vol_surface.h"
#include "numerics/conventions.h"
#include "numerics/inverse_normal.h"
#include "numerics/lane_support.h"
#include "numerics/philox.h"

#if defined(MORVIK_AVX2_LANES)
#pragma GCC push_options
#pragma GCC target("avx2")
#define MORVIK_AVX2_REGION 1
#include "engine/lane_loop.h"

namespace morvik {

void LanePathsBlock4(const EngineGrids& g, std::uint64_t seed, long long from, long long to, PathScratch& w,
                     RunTally& acc) {
  MakeLaneNormals<4> make{g, seed};
  RunLanesSized<4, false>(g, acc, w, make, from, to);
}

void LanePathsRows4(const EngineGrids& g, PathRowReader& rows, long long from, long long to, PathScratch& w,
                    RunTally& acc) {
  MakeLaneReaders<4> make{g, rows};
  RunLanesSized<4, true>(g, acc, w, make, from, to);
}

}  // namespace morvik

#pragma GCC pop_options
#endif
