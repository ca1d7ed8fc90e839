// Choice of the lane width and the two-lane loop (baseline SSE2); the
// four-lane loop is in lane_paths_avx2.cpp.
#include "engine/lane_paths.h"

#include "engine/lane_loop.h"

namespace morvik {

#if defined(MORVIK_AVX2_LANES)
// lane_paths_avx2.cpp: the four-lane loops, to be called only where the
// processor has AVX2.
void LanePathsBlock4(const EngineGrids& g, std::uint64_t seed, long long from, long long to, PathScratch& w,
                     RunTally& acc);
void LanePathsRows4(const EngineGrids& g, PathRowReader& rows, long long from, long long to, PathScratch& w,
                    RunTally& acc);
#endif

namespace {

bool HasAvx2() {
#if defined(MORVIK_AVX2_LANES)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

}  // namespace

bool LaneWidthAvailable(int width) {
  if (width == 1) return true;
#if defined(MORVIK_LANES)
  if (width == 2) return true;
#endif
  return width == 4 && HasAvx2();
}

int LaneWidthFor(int requested, bool sharedRows) {
  if (requested == 0 && !sharedRows) return 1;
  if (requested == 0 || requested == 4) {
    if (HasAvx2()) return 4;
    return LaneWidthAvailable(2) ? 2 : 1;
  }
  if (requested == 2) return LaneWidthAvailable(2) ? 2 : 1;
  return 1;
}

bool LanePathsBlock(const EngineGrids& g, int width, std::uint64_t seed, long long from, long long to,
                    PathScratch& w, RunTally& acc) {
  if (width < 2 || g.D < 1) return false;
#if defined(MORVIK_LANES)
#if defined(MORVIK_AVX2_LANES)
  if (width == 4 && HasAvx2()) {
    LanePathsBlock4(g, seed, from, to, w, acc);
    return true;
  }
#endif
  MakeLaneNormals<2> make{g, seed};
  RunLanesSized<2, false>(g, acc, w, make, from, to);
  return true;
#else
  (void)seed, (void)from, (void)to, (void)w, (void)acc;
  return false;
#endif
}

bool LanePathsRows(const EngineGrids& g, int width, PathRowReader& rows, long long from, long long to,
                   PathScratch& w, RunTally& acc) {
  if (width < 2 || g.D < 1) return false;
#if defined(MORVIK_LANES)
#if defined(MORVIK_AVX2_LANES)
  if (width == 4 && HasAvx2()) {
    LanePathsRows4(g, rows, from, to, w, acc);
    return true;
  }
#endif
  MakeLaneReaders<2> make{g, rows};
  RunLanesSized<2, true>(g, acc, w, make, from, to);
  return true;
#else
  (void)rows, (void)from, (void)to, (void)w, (void)acc;
  return false;
#endif
}

}  // namespace morvik
