// The table of bumps behind every sensitivity: which input each greek moves,
// by how much, and how the two revaluations (and the unchanged price) give
// the greek. The full call's greeks and any one-by-one revaluation are both
// built from it.
#pragma once

#include <vector>

#include "engine/core_args.h"
#include "numerics/conventions.h"
#include "sensitivities/time_shift.h"

namespace morvik {

enum class Greek { kDelta, kGamma, kVega, kTheta, kRho };

// The input a bump moves.
enum class BumpKind {
  kSpot,  // one stock's current price, scaled
  kVol,   // every value of one stock's local volatility block, shifted
  kRate,  // every stock's rate curve and the discount curve, shifted in parallel
  kTime,  // the schedule's day counts (see time_shift.h)
};

// How the prices of the first set P1, the second set P2 and the unchanged
// inputs P0 give the greek.
enum class Combine {
  kHalfDifference,    // (P1 - P2) * 0.5
  kSecondDifference,  // (P1 + P2 - 2 P0) / 100: a 10 % step expressed for 1 %
  kTimeDifference,    // per day over the step h; P1 is P0, P2 the shifted schedule:
                      // backward (P1 - P2) / h, forward (P2 - P1) / h
};

// One revaluation pair. Spot: the first set's price is CurPrice * up, the
// second's CurPrice * down. Vol and rate: the first set adds `up`, the
// second subtracts `down` (a volatility floored at kVolFloor). Time: unused,
// the step and direction follow from the note.
struct BumpRow {
  Greek greek;
  BumpKind kind;
  double up;
  double down;
  Combine combine;
};

// The rules by which a bump or a scenario moves one value of its input: a
// spot scaled by a factor, a local volatility shifted and floored at
// kVolFloor (a lowered grid never reaches zero), a rate or a yield shifted.
inline double ScaledSpot(double spot, double factor) { return spot * factor; }
inline double FlooredVol(double vol) { return vol < kVolFloor ? kVolFloor : vol; }
inline double ShiftedRate(double rate, double shift) { return rate + shift; }

// Rows valued for every stock, and rows valued once for the note.
inline constexpr BumpRow kStockRows[] = {
    {Greek::kDelta, BumpKind::kSpot, 1.01, 0.99, Combine::kHalfDifference},
    {Greek::kGamma, BumpKind::kSpot, 1.1, 0.9, Combine::kSecondDifference},
    {Greek::kVega, BumpKind::kVol, 0.01, 0.01, Combine::kHalfDifference},
};
inline constexpr BumpRow kNoteRows[] = {
    {Greek::kRho, BumpKind::kRate, 0.01, 0.01, Combine::kHalfDifference},
    {Greek::kTheta, BumpKind::kTime, 0.0, 0.0, Combine::kTimeDifference},
};

// A row applied to a note: spot and vol rows to `stock` (counted from 1; a
// stock outside 1..NStock moves nothing), note rows with stock 0.
struct Bump {
  BumpRow row;
  int stock = 0;
};

// The bumps of a full call: with mode >= 1 the stock rows for stocks 1 to
// nStock (stock by stock), with mode >= 2 then the note rows.
std::vector<Bump> SensitivityBumps(int nStock, int mode);

// True when the first set of a bump is the unchanged inputs (the time
// bump revalues only its shifted schedule against them).
inline bool FirstIsUnchanged(const Bump& b) { return b.row.kind == BumpKind::kTime; }

// The two input sets of a bump and the arrays they point to. Built in place
// and never moved, so that the sets' pointers stay valid.
struct BumpedSets {
  std::vector<double> firstValues, secondValues, firstDisc, secondDisc;
  ScheduleShift shift;
  CoreArgs first, second;
  BumpedSets() = default;
  BumpedSets(const BumpedSets&) = delete;
  BumpedSets& operator=(const BumpedSets&) = delete;
};

// Fills `s` for bump `b` of the inputs `args` (which are not written).
// May throw std::bad_alloc.
void BuildBumpedSets(const Bump& b, const CoreArgs& args, BumpedSets& s);

// The greek from the prices of the first and second sets of `s` and of the
// unchanged inputs.
double CombinePrices(const Bump& b, const BumpedSets& s, double first, double second,
                     double unchanged);

}  // namespace morvik
