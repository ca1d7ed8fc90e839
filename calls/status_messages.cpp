// The code-to-sentence table sits next to the validation checks that return
// the codes (named in interface/morvik.h); keep the three in step (the fuzz check
// takes IsKnownStatus as the list of codes the call may return).
#include "calls/status_messages.h"

#include "calls/extended_entry.h"
#include "interface/morvik.h"

namespace morvik {
namespace {

struct CodeSentence {
  int code;
  const char* sentence;
};

constexpr CodeSentence kSentences[] = {
    {MORVIK_NO_MEMORY, "A working array could not be allocated; nothing was priced."},
    {MORVIK_BAD_PRICE_DATE,
     "The pricing date is not a real calendar date between 1900-01-01 and 9999-12-31."},
    {MORVIK_BAD_TRIALS, "The number of trials is below 1 or not a finite number."},
    {MORVIK_BAD_NOTIONAL, "The notional is negative or not a finite number."},
    {MORVIK_NO_DISCOUNT_POINTS, "The discount curve has no points."},
    {MORVIK_BAD_DISCOUNT_TENOR,
     "A discount curve tenor is negative, not after the one before it, or not finite."},
    {MORVIK_BAD_DISCOUNT_RATE, "A discount curve rate lies outside [-1, 1] or is not finite."},
    {MORVIK_NO_RATE_POINTS, "An underlying's rate curve has no points."},
    {MORVIK_BAD_RATE_TENOR,
     "An underlying's rate curve tenor is negative, not after the one before it, or not finite."},
    {MORVIK_BAD_RATE, "An underlying's rate curve rate lies outside [-1, 1] or is not finite."},
    {MORVIK_BAD_LOG_FLAG, "The log switch is not 0 or 1."},
    {MORVIK_BAD_CALC_FLAG, "What to compute is not 0 (price), 1 (greeks) or 2 (full)."},
    {MORVIK_MISSING_FIXINGS,
     "Fixings are missing: too few fixings for an observation window that has begun, no fixing for a "
     "coupon observed but not yet paid, a second date pending payment, or a negative fixing count."},
    {MORVIK_BAD_NA_FLAG, "The notional-included switch is not 0 or 1."},
    {MORVIK_BAD_PAYOFF_VALUE,
     "A payoff slope, payoff amount, redemption coupon or coupon amount is not a finite number."},
    {MORVIK_NO_STOCKS, "The note has no underlyings."},
    {MORVIK_BAD_SPOT, "An underlying's spot price is not positive or not finite."},
    {MORVIK_BAD_BASE_PRICE, "An underlying's base price is not positive or not finite."},
    {MORVIK_BAD_CORRELATION, "A correlation lies outside [-1, 1] or is not finite."},
    {MORVIK_BAD_CORRELATION_MATRIX,
     "The correlation matrix is not symmetric with a unit diagonal, or not positive semi-definite."},
    {MORVIK_BAD_DIV_DAY, "A dividend day is negative or not after the one before it."},
    {MORVIK_BAD_DIV,
     "A dividend is out of bounds: a cash amount below 0 or above the base price, or a yield outside "
     "[-1, 1]."},
    {MORVIK_BAD_DIV_COUNT, "An underlying's dividend count is negative."},
    {MORVIK_BAD_DIV_TYPE, "An underlying's dividend type is not 0 (yield), 1 (yield curve) or 2 (cash)."},
    {MORVIK_BAD_FX_TENOR, "An FX volatility tenor is negative, not after the one before it, or not finite."},
    {MORVIK_BAD_FX_VOL, "An FX volatility is below -1 or not finite."},
    {MORVIK_NO_FX_POINTS, "An underlying's FX volatility curve has no points."},
    {MORVIK_BAD_FX_CORR, "An FX correlation lies outside [-1, 1] or is not finite."},
    {MORVIK_BAD_QUANTO_FLAG, "An underlying's quanto mode is not 0, 1 or 2."},
    {MORVIK_BAD_KI_BARRIER, "A knock-in barrier is negative or not finite."},
    {MORVIK_BAD_KI_MODE, "The knock-in mode is not 0, 1 or 2."},
    {MORVIK_BAD_KI_STATE, "The knock-in-already-happened flag is not 0 or 1."},
    {MORVIK_STRIKE_ABOVE_KO, "A strike tier lies above the knock-out barrier of its date."},
    {MORVIK_BAD_KO_MODE, "The knock-out mode is not 0 (worst of) or 1 (stock by stock with memory)."},
    {MORVIK_BAD_KO_STATE, "A knock-out memory flag is not 0 or 1."},
    {MORVIK_BAD_COUPON_BARRIER, "A coupon barrier is negative or not finite."},
    {MORVIK_BAD_COUPON_BARRIER_MODE,
     "The coupon barrier monitoring is not 0 (never), 1 (daily) or 2 (on the observation date)."},
    {MORVIK_BAD_COUPON_STATE, "The coupon-barrier-already-hit flag is not 0 or 1."},
    {MORVIK_BAD_OBS_DATE,
     "An observation date is not a real date or not after the previous observation date."},
    {MORVIK_BAD_WINDOW_RULE, "An observation window rule is not 0 (each day) or 1 (average)."},
    {MORVIK_BAD_WINDOW_LENGTH, "An observation window is shorter than one day."},
    {MORVIK_BAD_PAY_DATE,
     "A redemption payment date is not a real date, before the previous payment date, or before its "
     "observation date."},
    {MORVIK_BAD_COUPON_OBS_DATE,
     "A coupon observation date is not a real date, not after the previous one, or after the last "
     "redemption observation date."},
    {MORVIK_BAD_COUPON_PAY_DATE,
     "A coupon payment date is not a real date, before the previous one, before its observation date, "
     "or after the last redemption payment date."},
    {MORVIK_BAD_STRIKES,
     "Strike tiers must be positive and must not decrease from the lowest tier to the highest."},
    {MORVIK_NO_DATES, "The note has no redemption observation dates."},
    {MORVIK_BAD_COUPON_COUNT, "The number of coupons is negative."},
    {MORVIK_BAD_FLOOR, "The payoff floor is above 1 (the whole notional) or not finite."},
    {MORVIK_BAD_CAP, "The payoff cap is negative or not a number."},
    {MORVIK_BAD_FIXING, "A fixing of the current observation window is negative or not finite."},
    {MORVIK_BAD_COUPON_FIXING, "A coupon fixing is negative or not finite."},
    {MORVIK_BAD_MONEYNESS, "A local volatility moneyness axis is negative, not increasing, or not finite."},
    {MORVIK_BAD_VOL_TIMES, "A local volatility time axis is negative, not increasing, or not finite."},
    {MORVIK_BAD_LOCAL_VOL, "A local volatility is negative or not finite."},
    {MORVIK_NO_MONEYNESS, "An underlying's local volatility surface has no moneyness points."},
    {MORVIK_NO_VOL_TIMES, "An underlying's local volatility surface has no time points."},
};

}  // namespace

const char* StatusMessage(int code) {
  if (code >= 0) return "Priced.";
  // The library's own entries return these two; the exports never do.
  if (code == kValuationInterrupted) return "The valuation was stopped before it finished; nothing was written.";
  if (code == kBadBlockParts)
    return "The split valuation's parts do not fit the call that combines them; nothing was written.";
  for (const CodeSentence& c : kSentences) {
    if (c.code == code) return c.sentence;
  }
  return "The pricing call failed with a status code this version does not know.";
}

bool IsKnownStatus(int code) {
  if (code == MORVIK_PRICED) return true;
  for (const CodeSentence& c : kSentences) {
    if (c.code == code) return true;
  }
  return false;
}

}  // namespace morvik
