// The conditional estimator of the path loop: each observation date's
// redemption is smoothed by conditioning on the endpoint of a window of days
// before it, so that a path adds the redemption's probability times its
// value instead of a 0/1 outcome, and the result moves smoothly with the
// inputs.
//
// For the m days before a date (at most SimJob::conditionalDays, never
// before the previous date), the window's m x S independent normals are
// split into their projection v on one unit direction and the rest, which
// is independent of v (v is standard normal). The direction is the common
// one: each independent row moves along L^-1 1, so every stock's
// correlated normal of every day of the window moves by the same amount and
// every close rises with v (checked on each path at the searched points).
// Given the state m days before the date and the rest, the date redeems (a
// strike level passes or the knock-out touch comes) exactly when v reaches
// a threshold s, bracketed on the engine's own steps (Newton steps on a
// smooth margin of the window's closes with a secant slope, bisection where
// that cannot lead) to lo < s <= h, h - lo <= 2^-10; the bumped valuations
// of a greeks run start from the threshold and slope the unbumped one found
// on the same path (PathScratch::condMemo), any start giving a bracket of
// that width. The path then adds w * P(v >= h) times
// the value of a draw of v above h (the window run again on it: its
// coupons, its redemption) and goes on with weight w * P(v < h) from a draw
// below h; a draw below h that still redeems redeems as drawn, so the split
// is exact whatever h. When P(v < h) is below 0.05 the path goes on by
// Russian roulette: with probability P(v < h) / 0.05 at weight w * 0.05, so
// that few paths run on with tiny weights. Everything else (daily knock-in,
// coupon barriers and coupons, later dates) keeps its indicator on the path
// as drawn, so the estimate stays unbiased. A window whose search finds no
// threshold within |v| <= 6, whose closes are not ordered in v across the
// searched points, or that starts touched, keeps the plain draw; so does one
// whose draw above h fails to redeem (closes not increasing in v there,
// which the order check did not catch: the one case where the choice of
// draw depends on the draw).
//
// The truncated draws read uniforms addressed by (seed, path, date), and
// every valuation of a call reads the same rows: the bumped valuations see
// the same shapes and uniforms, and their thresholds move with the bump.
#pragma once

#include <cstdint>

#include "engine/simulate.h"

namespace morvik {

class PathRowReader;
struct SobolPlan;

// Days of the conditioning window unless the caller chooses: on the
// examples, 2 to 5 days gave the most precision per CPU-second (longer
// windows smooth more but cost more in threshold searches).
inline constexpr int kConditionalDays = 5;

// The conditional counterparts of SimulateAlignedRows, SimulateAlignedBlock
// and SimulateSobolBlock (the same rows of normals, the same sums; each
// path's outcome and coupon weights also summed in squares).
void ConditionalAlignedRows(const SimJob& job, PathRowReader& rows, long long from, long long to, PathScratch& w,
                            RunTally& acc);
void ConditionalAlignedBlock(const SimJob& job, std::uint64_t seed, long long from, long long to, PathScratch& w,
                             RunTally& acc);
void ConditionalSobolBlock(const SimJob& job, const SobolPlan& plan, long long from, long long to, PathScratch& w,
                           RunTally& acc);

}  // namespace morvik
