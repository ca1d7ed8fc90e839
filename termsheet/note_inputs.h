// The inputs of one full pricing call for a note read from a term sheet.
#pragma once

#include <string>
#include <vector>

#include "calls/full_call.h"
#include "termsheet/implied_vol.h"

namespace morvik {

// Every input of ZUNP_CalcMorvikMC, owned, under the call's own names (the
// library's FullCall), plus the labels the report needs.
struct NoteInputs : FullCall {
  std::string name;
  std::string currency;
  std::vector<std::string> underlyingNames;
  std::vector<CalibratedUnderlying> calibrated;  // underlyings whose grid comes from implied_vol quotes
};

// The knock-out level the reader passes when a date has no touch barrier: no
// performance ever reaches it.
inline constexpr double kNoTouchBarrier = 1.0e6;

// Default number of trials when the term sheet does not say.
inline constexpr double kDefaultTrials = 10000.0;

// Most trials a term sheet or the command line may ask for (a three-stock
// note with greeks at this count takes days).
inline constexpr long long kMaxTrials = 1000000000;

}  // namespace morvik
