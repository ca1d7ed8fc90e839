// The inputs of one full pricing call for a note read from a term sheet.
#pragma once

#include <string>
#include <vector>

#include "calls/full_call.h"
#include "termsheet/implied_vol.h"

namespace morvik {

// What a book holds of a note: a number of notes (`quantity`) or a notional
// of its own, and where it is booked. Figures of the position are the
// note's times Scale().
struct NotePosition {
  bool held = false;       // the term sheet carries a position
  bool byNotional = false; // given as a notional rather than a quantity
  double quantity = 0.0;   // notes held (negative: short)
  double notional = 0.0;   // the position's notional, in the note's currency
  std::string book;
  std::string tradeId;
  // The factor from one note's figures to the position's: the quantity, or
  // the position's notional over the note's.
  double Scale(double noteNotional) const { return byNotional ? notional / noteNotional : quantity; }
};

// Every input of ZUNP_CalcMorvikMC, owned, under the call's own names (the
// library's FullCall), plus the labels the report needs.
struct NoteInputs : FullCall {
  std::string name;
  std::string currency;
  std::vector<std::string> underlyingNames;
  std::vector<std::string> underlyingIds;  // the market's id of each underlying; empty when it has none
  NotePosition position;
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
