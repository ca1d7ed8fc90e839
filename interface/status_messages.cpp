// The code-to-sentence table sits next to the validation checks that return
// the codes; keep the two in step.
#include "interface/status_messages.h"

namespace morvik {
namespace {

struct CodeSentence {
  int code;
  const char* sentence;
};

constexpr CodeSentence kSentences[] = {
    {-1, "A working array could not be allocated; nothing was priced."},
    {-100, "The pricing date is not a real calendar date between 1900-01-01 and 9999-12-31."},
    {-200, "The number of trials is below 1 or not a finite number."},
    {-201, "The notional is negative or not a finite number."},
    {-205, "The discount curve has no points."},
    {-206, "A discount curve tenor is negative, not after the one before it, or not finite."},
    {-207, "A discount curve rate lies outside [-1, 1] or is not finite."},
    {-210, "An underlying's rate curve has no points."},
    {-211, "An underlying's rate curve tenor is negative, not after the one before it, or not finite."},
    {-212, "An underlying's rate curve rate lies outside [-1, 1] or is not finite."},
    {-300, "The log switch is not 0 or 1."},
    {-301, "What to compute is not 0 (price), 1 (greeks) or 2 (full)."},
    {-302, "Fixings are missing: too few fixings for an observation window that has begun, no fixing for a "
           "coupon observed but not yet paid, a second date pending payment, or a negative fixing count."},
    {-303, "The notional-included switch is not 0 or 1."},
    {-304, "A payoff slope, payoff amount, redemption coupon or coupon amount is not a finite number."},
    {-2004, "The note has no underlyings."},
    {-2006, "An underlying's spot price is not positive or not finite."},
    {-2007, "An underlying's base price is not positive or not finite."},
    {-2025, "A correlation lies outside [-1, 1] or is not finite."},
    {-2030, "A dividend day is negative or not after the one before it."},
    {-2031, "A dividend is out of bounds: a cash amount below 0 or above the base price, or a yield outside "
            "[-1, 1]."},
    {-2032, "An underlying's dividend count is negative."},
    {-2034, "An underlying's dividend type is not 0 (yield), 1 (yield curve) or 2 (cash)."},
    {-2040, "An FX volatility tenor is negative, not after the one before it, or not finite."},
    {-2041, "An FX volatility is below -1 or not finite."},
    {-2042, "An underlying's FX volatility curve has no points."},
    {-2043, "An FX correlation lies outside [-1, 1] or is not finite."},
    {-2044, "An underlying's quanto mode is not 0, 1 or 2."},
    {-2050, "A knock-in barrier is negative or not finite."},
    {-2051, "The knock-in mode is not 0, 1 or 2."},
    {-2052, "The knock-in-already-happened flag is not 0 or 1."},
    {-2053, "A strike tier lies above the knock-out barrier of its date."},
    {-2054, "The knock-out mode is not 0 (worst of) or 1 (stock by stock with memory)."},
    {-2055, "A knock-out memory flag is not 0 or 1."},
    {-2056, "A coupon barrier is negative or not finite."},
    {-2057, "The coupon barrier monitoring is not 0 (never), 1 (daily) or 2 (on the observation date)."},
    {-2058, "The coupon-barrier-already-hit flag is not 0 or 1."},
    {-2071, "An observation date is not a real date or not after the previous observation date."},
    {-2072, "An observation window rule is not 0 (each day) or 1 (average)."},
    {-2073, "An observation window is shorter than one day."},
    {-2075, "A redemption payment date is not a real date, before the previous payment date, or before its "
            "observation date."},
    {-2077, "A coupon observation date is not a real date, not after the previous one, or after the last "
            "redemption observation date."},
    {-2078, "A coupon payment date is not a real date, before the previous one, before its observation date, "
            "or after the last redemption payment date."},
    {-2085, "Strike tiers must be positive and must not decrease from the lowest tier to the highest."},
    {-2086, "The note has no redemption observation dates."},
    {-2090, "The number of coupons is negative."},
    {-2115, "The payoff floor is above 1 (the whole notional) or not finite."},
    {-2116, "The payoff cap is negative or not a number."},
    {-2201, "A fixing of the current observation window is negative or not finite."},
    {-2202, "A coupon fixing is negative or not finite."},
    {-2215, "A local volatility moneyness axis is negative, not increasing, or not finite."},
    {-2216, "A local volatility time axis is negative, not increasing, or not finite."},
    {-2217, "A local volatility is negative or not finite."},
    {-2218, "An underlying's local volatility surface has no moneyness points."},
    {-2219, "An underlying's local volatility surface has no time points."},
};

}  // namespace

const char* StatusMessage(int code) {
  if (code >= 0) return "Priced.";
  for (const CodeSentence& c : kSentences) {
    if (c.code == code) return c.sentence;
  }
  return "The pricing call failed with a status code this version does not know.";
}

}  // namespace morvik
