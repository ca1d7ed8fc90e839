// Assembly of the core argument list from the named inputs of the full
// pricing call: price pairs split, moneyness axis in performance units, dates
// as day offsets from the pricing date, dividends as one value per day.
#pragma once

#include <vector>

#include "calls/extended_args.h"
#include "engine/core_args.h"

namespace morvik {

// Owns every array built for the core and holds the CoreArgs view onto them
// (and onto the caller's arrays passed on unchanged). The views point into
// this object's own vectors, so it can be neither copied nor moved.
struct AssembledCore {
  std::vector<double> CurPrice;         // NStock
  std::vector<double> BasePrice;        // NStock
  std::vector<double> Parity_Scaled;    // sum of NParity
  std::vector<int> KO_ObsDays;          // NStrike
  std::vector<int> KO_PayDays;          // NStrike
  std::vector<int> Coupon_ObsDays;      // NCoupon+1, first NCoupon used
  std::vector<int> Coupon_PayDays;      // NCoupon+1, first NCoupon used
  std::vector<std::vector<double>> DailyDivRows;  // NStock rows of DailyDivLen
  std::vector<const double*> DailyDiv;  // row pointers handed to the core
  int DailyDivLen = 0;                  // entries per row (0 when none)

  // The core's result arrays; ResultPrice is left to the caller.
  std::vector<double> ELS_Prob;         // NStrike+2
  std::vector<double> ELS_Cf;           // NStrike+2
  std::vector<double> ELS_Coupon_Prob;  // NCoupon+1
  std::vector<double> ELS_Coupon_Cf;    // NCoupon+1

  CoreArgs args;
  CoreResults results;

  AssembledCore() = default;
  AssembledCore(const AssembledCore&) = delete;
  AssembledCore& operator=(const AssembledCore&) = delete;
};

// Entries per daily dividend row: the last observation day plus the larger
// of 5 and h+1, where h (ThetaStep: the larger of 4 and the longest
// observation window) is the time-sensitivity step, so a schedule shifted h days later still
// finds a dividend entry for every day it simulates. 0 when that is not
// positive.
int DailyDividendLength(int lastObsDay, const int* windowLen, int nStrike);

// Fills `out` from validated inputs. May throw std::bad_alloc (then `out`
// holds no usable view).
void AssembleCore(const ExtendedArgs& in, AssembledCore& out);

}  // namespace morvik
