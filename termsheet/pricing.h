// Pricing a note through the library's full pricing call: the request on
// top of the term sheet's settings, the call itself, the spot ladder and the
// scenarios, and
// the result of a term sheet as a whole (PriceTermSheet).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "calls/conventions.h"
#include "calls/scenarios.h"
#include "calls/valuation.h"
#include "termsheet/term_sheet.h"

namespace morvik {

// What a caller asks for on top of the term sheet's settings. A front end
// parses its own form (options, keyword arguments) into this and leaves
// every range to RequestProblem.
struct PriceRequest {
  int compute = -1;                 // -1: the term sheet's; else 0 price, 1 greeks, 2 full
  std::optional<long long> trials;  // replaces the term sheet's (1 to kMaxTrials); none: the term sheet's
  bool log = false;                 // write the library's trace
  bool ladder = false;              // spot ladder of all underlyings together
  // Threads for one note: the revaluations of its greeks on the default
  // stream, its blocks of paths on the aligned stream.
  long long threads = 1;
  // How far the pricing of the note has got (optional): 0 before the note's
  // call, 1 when the note is done, after each point of a ladder, and in
  // between as the call's paths complete. Called from the thread that
  // prices the note, never from two threads at once for one note.
  ProgressCallback progress;
  // Asked every so many paths from the thread that prices the note (see
  // ValuationOptions::stop; optional); true stops the pricing of the note,
  // whose result then has status kValuationInterrupted and no figures.
  StopCallback stop;
  // The random numbers: the default stream (seeds 0 to kMaxDefaultSeed, none:
  // the fixed stream of the library's exports) or the path-addressed
  // ("aligned") stream (seeds 0 to kMaxAlignedSeed; none: 0).
  std::optional<long long> seed;
  bool aligned = false;
  // The quasi-random stream instead (scrambled Sobol points through a
  // Brownian bridge; seeds as the aligned stream's), its trials shared by
  // `scrambles` independent scramblings (2 to kMaxScrambles, dividing the
  // trials): every standard error is the spread of their means.
  bool sobol = false;
  long long scrambles = 16;
  // The conditional estimator (each date's redemption smoothed, unbiased;
  // ValuationOptions::estimator): on the aligned or sobol stream only.
  bool conditional = false;
  // Paths the plain estimator of the aligned stream runs side by side:
  // 0 (auto, see ValuationOptions::vectorWidth), 1, 2 or 4 (4 refused without
  // AVX2; ValuationOptions::vectorWidth). The figures do not depend on it.
  int vectorWidth = 0;
  // The mean of that many runs (2 to kMaxReplications) on consecutive seeds;
  // none: one run.
  std::optional<long long> replications;
  // Running price and error at 1000, 2000, 5000, ... paths: of one run, so
  // not with replications.
  bool convergence = false;
  // Scenarios of the note (calls/scenarios.h), each priced on the stream,
  // seed and replications of the note's own valuation.
  ScenarioSet scenarios;
  // One valuation split by ranges of blocks of paths (termsheet/split_pricing.h):
  // one run on the aligned or sobol stream, no ladder. None: the whole call.
  const BlockSplit* split = nullptr;
};

// Seeds of the default stream: 0 to kMaxDefaultSeed.
inline constexpr int kMaxDefaultSeed = kSeeds - 1;
// Largest seed of the aligned stream, most runs averaged (replications) and
// most threads for one note.
inline constexpr long long kMaxAlignedSeed = 999999999999999999LL;
inline constexpr int kMaxReplications = 64;
inline constexpr int kMaxThreads = 256;

// A whole-number field of the request and its range.
struct RequestField {
  const char* name;
  long long lo;
  long long hi;
};
inline constexpr RequestField kTrialsField{"trials", 1, kMaxTrials};
inline constexpr RequestField kThreadsField{"threads", 1, kMaxThreads};
inline constexpr RequestField kReplicationsField{"replications", 2, kMaxReplications};
inline constexpr RequestField kSeedField{"seed", 0, kMaxAlignedSeed};
inline constexpr long long kMaxScrambles = 1024;
inline constexpr RequestField kScramblesField{"scrambles", 2, kMaxScrambles};

// "<prefix><name> takes a whole number from <lo> to <hi>, not "<given>"":
// the sentence of RequestProblem for a value out of range, and of a front
// end for a value that is not a whole number at all.
std::string FieldProblem(const RequestField& field, const std::string& given, const std::string& prefix = "");

// The one check of a request: why its compute mode, trials, threads, seed
// and replications cannot be used, as one sentence without a final stop, or
// empty when they can (replications run on the seeds from the request's, 0
// when none, on; convergence is of one run and refused beside them), then
// its scenarios (ScenarioSetProblem). `prefix` goes before a field's name ("--" for options).
std::string RequestProblem(const PriceRequest& request, const std::string& prefix = "");

// Why a valid request cannot be split over a cluster (a split valuation is
// one run of the note alone on the aligned or sobol stream), or empty.
std::string SplitProblem(const PriceRequest& request, const std::string& prefix = "");

// Why the quasi-random stream cannot share `trials` trials among the
// request's scramblings (each needs the same whole number of them), or
// empty when it can or the request is on another stream.
std::string ScramblesProblem(const PriceRequest& request, double trials, const std::string& prefix = "");

// The spot moves of the ladder: -30 % to +30 % in steps of 10 %.
std::vector<double> LadderMoves();

// A scenario of the note: a copy of its inputs in which each stock of
// `stocks` (0-based; others are ignored) has its spot moved by the fraction
// `spotMove` (spot x (1 + move), as the ladder moves it: base prices and
// fixings stay) and every value of its local volatility block shifted by
// `volMove` (floored at kVolFloor). A move of 0 leaves its input as it is.
// Price only: CalcFlag is {0, 0}.
NoteInputs MovedInputs(const NoteInputs& n, double spotMove, double volMove, const std::vector<int>& stocks);

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
  // Standard errors, in the units of what they belong to (NaN: none).
  double priceSE = 0.0;
  std::vector<double> eventSE;      // per outcome slot, of its probability (NStrike+2)
  std::vector<double> couponSE;     // per coupon, of its probability
  std::vector<double> redeemedBySE; // sobol only: of the share redeemed on or before each date
  std::vector<double> resultSE;     // laid out as resultPrice: the price's, then each greek's
  // What the library reports of each slot: the discount factor of its
  // payment, and whether it was settled on the pricing date rather than
  // simulated (see ValuationResult).
  std::vector<double> eventDF;      // per outcome slot (NStrike+2)
  std::vector<double> couponDF;     // per coupon
  std::vector<bool> eventSettled;   // per outcome slot (NStrike+2)
  std::vector<bool> couponSettled;  // per coupon
  std::vector<ConvergenceRow> convergence;  // with PriceRequest::convergence
  // The request's scenarios, in the set's order; a rejected or refused one
  // has its reason in `error` (a rejection as DescribeRejection words it).
  std::vector<ScenarioRow> scenarios;
  int replications = 1;             // runs behind every figure
  bool aligned = false;             // the stream and seed asked for
  bool sobol = false;
  int scrambles = 0;                // scramblings of the quasi-random stream
  std::optional<std::uint64_t> seed;
  bool conditional = false;         // the conditional estimator
};

// "default", "aligned" or "sobol": the stream of a result.
const char* StreamName(const NoteResult& r);

// The standard error of the share `p` of `trials` trials taken over
// `runs` runs (a binomial proportion, as the library reports each one).
double ProportionSE(double p, double trials, int runs);

// Trial counts below this are legal but give outputs dominated by noise.
inline constexpr double kFewTrials = 1000.0;

// Applies the request to a copy of the note's inputs.
NoteInputs WithRequest(const NoteInputs& note, const PriceRequest& request);

// Prices the note and, when asked, its spot ladder and scenarios, with the
// request's ladder, scenarios, threads, progress hook, stream, seed, replications and
// convergence (the inputs already carry its compute mode, trials and
// trace), through the library's entry ValueNote: the figures come with
// their standard errors. The ladder's points are priced on the same stream
// and seed, as are the scenarios. A rejected note gets its code and a sentence naming the input;
// a note whose stop hook said stop gets kValuationInterrupted.
NoteResult PriceNote(const NoteInputs& n, const PriceRequest& request);

// "code -2025: <sentence> At ..." for a call rejected with `code`, naming
// the underlying, date or point where the library's failed check looked
// (`fault`, as the call reported it).
std::string DescribeRejection(const NoteInputs& n, int code, const ValidationFault& fault);

// One term sheet of a book: where it came from, whether it could be read,
// its inputs (with the request applied), its life cycle and its results.
struct NoteReport {
  std::string file;
  bool usable = false;      // the term sheet was read
  std::string inputError;   // why not, when !usable
  bool priced = false;      // the pricing call ran
  NoteInputs note;
  LifeCycle life;
  std::vector<std::string> warnings;
  NoteResult result;
};

// A note that is over (redeemed or matured and paid, or with every payment
// made) is not priced.
bool NothingToPrice(const LifeCycle& life);

// Prices a note read by ReadTermSheet with the request: the request's
// compute mode, trials and trace on top of the term sheet's, then the call
// (and ladder) unless nothing is left to price. Adds a warning for fewer
// than kFewTrials trials. Never throws.
NoteReport PriceTermSheet(const Note& note, const PriceRequest& request);

// A term sheet file that could not be read, as a report.
NoteReport UnusableReport(const std::string& file, const TermSheetError& error);

}  // namespace morvik
