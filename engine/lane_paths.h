// The plain path loop on the path-addressed stream, W paths of a block side
// by side: each lane does exactly the operations, in the same order, that
// the one-path loop (engine/simulate.cpp) does for its path, and the paths'
// outcomes enter the sums in path order, so the sums are bit for bit those
// of the one-path loop. W = 4 needs AVX2 (chosen at run time), W = 2 runs on
// baseline SSE2.
#pragma once

#include <cstdint>

#include "engine/engine_grids.h"
#include "engine/simulate.h"

namespace morvik {

class PathRowReader;

// The vector width a request of `requested` lanes runs on. 0 (auto): where
// the lanes were measured faster than one path at a time, on the greeks'
// shared rows (`sharedRows`), 4 where the processor has AVX2 and the build
// the four-lane code, else 2 where the build has lanes, else 1; a single
// valuation that draws its own normals runs 1 (its lanes measured slower:
// docs/performance.md). 1 and 2 stay as asked (2 falls to 1 on a build
// without lanes); 4 falls to 2 where the processor or the build lacks it
// (callers that must refuse it ask LaneWidthAvailable first). Any other
// value runs 1.
int LaneWidthFor(int requested, bool sharedRows);

// Whether `width` lanes (1, 2 or 4) can run on this processor and build.
bool LaneWidthAvailable(int width);

// Paths [from, to) (and below NTrials) of the grids on the path-addressed
// stream of `seed` (engine/path_normals.h), `width` (2 or 4, from
// LaneWidthFor) at a time, into `acc`; `w` is a copy of the job's scratch
// rows. False (and nothing done) when the lanes do not apply: a width
// below 2, or a note with no day to simulate.
bool LanePathsBlock(const EngineGrids& g, int width, std::uint64_t seed, long long from, long long to,
                    PathScratch& w, RunTally& acc);

// The same with the rows read through `rows` (engine/path_rows.h): each lane
// reads its path's rows through its own copy of the reader.
bool LanePathsRows(const EngineGrids& g, int width, PathRowReader& rows, long long from, long long to,
                   PathScratch& w, RunTally& acc);

}  // namespace morvik
