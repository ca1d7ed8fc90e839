// Pricing a parsed note through the library's full pricing call.
#pragma once

#include <string>
#include <vector>

#include "termsheet/term_sheet.h"

namespace morvik {

// What the command line asks for on top of the term sheet's settings.
struct PriceRequest {
  int compute = -1;       // -1: the term sheet's; else 0 price, 1 greeks, 2 full
  double trials = 0.0;    // > 0 replaces the term sheet's trials
  bool log = false;       // write the library's trace
  bool ladder = false;    // spot ladder of all underlyings together
  int threads = 1;        // threads for the revaluations of one note
};

// The spot moves of the ladder: -30 % to +30 % in steps of 10 %.
std::vector<double> LadderMoves();

// The outputs of one full pricing call, as the library wrote them.
struct NoteResult {
  int status = 0;
  std::vector<double> events;       // ELS_Prob_n_Cf, 2*(NStrike+2)
  std::vector<double> coupons;      // ELS_Coupon_Prob_n_Cf, 2*NCoupon
  std::vector<double> resultPrice;  // 1, or 3*NStock+3 with greeks
  // Ladder: one price per move (status of that call in ladderStatus).
  std::vector<double> ladderMoves;
  std::vector<double> ladderPrices;
  std::vector<int> ladderStatus;
  std::string rejection;            // filled when status < 0
};

// Applies the request to a copy of the note's inputs.
NoteInputs WithRequest(const NoteInputs& note, const PriceRequest& request);

// One full pricing call on the note's arrays, exactly as they are: the
// export ZUNP_CalcMorvikMC, or with threads > 1 the same call valuing the
// revaluations of the sensitivities on that many threads (same outputs).
// The output vectors are sized here; the call's status is returned.
int CallFullEntry(const NoteInputs& n, std::vector<double>& events, std::vector<double>& coupons,
                  std::vector<double>& resultPrice, int threads = 1);

// Prices the note (inputs already carry the request) and, when asked, its
// spot ladder, `threads` threads for the note's own call. A rejected note
// gets its code and a sentence naming the input.
NoteResult PriceNote(const NoteInputs& n, bool ladder, int threads = 1);

// "code -2025: <sentence> (at ...)" for a rejected call, naming the
// underlying, date or point the failed check looked at.
std::string DescribeRejection(const NoteInputs& n, int code);

}  // namespace morvik
