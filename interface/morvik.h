/* morvik.h -- interface of the morvik pricing library
 *
 * morvik values autocallable step-down equity-linked notes on a basket of
 * stocks, valued on the worst performer, by Monte Carlo simulation: stocks
 * move one calendar day at a time under local volatility, with drift from
 * per-stock rate curves, dividends and a quanto correction, correlated
 * through a Cholesky factor of their correlation matrix.
 *
 * This header is the library's manual. It declares the four exported
 * functions and documents, under each prototype, every parameter, every
 * output slot and every status the function returns. The library has no
 * other configuration: no environment variable, no file is read, no state
 * is kept between calls.
 *
 *   ZUNP_CalcMorvikMC  full pricing call: validation, price, sensitivities,
 *                      optional trace (ordinal 1)
 *   MorvikMC           core pricing call on assembled arguments, no
 *                      validation (_MorvikMC@276, ordinal 2)
 *   CdrD2ExcD          yyyymmdd date to spreadsheet serial date (ordinal 10)
 *   ExcD2CdrD          spreadsheet serial date to yyyymmdd date (ordinal 11)
 *
 * On 32-bit Windows the DLL exports them by name with these ordinals and
 * all four use __stdcall (MORVIK_CALL), the callee removing its arguments.
 *
 *
 * CONVENTIONS
 *
 * Arrays.  Every array is flat, owned by the caller and must hold at least
 * the number of elements given for it below, as a formula of the counts
 * (NStock, NStrike, NCoupon, NT, NVol, NParity, NDiv, FX_NVol, FixedFlag).
 * No element beyond that length is read or written, and no element of an
 * array whose length is 0 is read: such an array may be NULL. The library
 * never writes into an input array; it writes only the output arrays named
 * as such.
 *
 * Per-stock concatenated arrays.  TCurveInfo, TVol, Parity, LocalVolSurface,
 * TDiv, Div, FX_TVol and FX_Vol hold one segment per stock, stock 0 first,
 * without gaps; segment i is as long as stock i's count and starts at the
 * sum of the counts of the stocks before it.
 *
 * Four-block arrays.  X, PayOffSlope and PayOffAmount hold four equal
 * blocks, one per strike tier b = 0..3, lowest tier first; DatesInfo holds
 * four equal blocks of different content (observation dates, payment dates,
 * window lengths, window rules). The core call MorvikMC receives each block
 * as a separate array.
 *
 * Dates.  Dates are int yyyymmdd calendar dates (20250630 = 30 June 2025).
 * The full call accepts only real Gregorian dates from 19000101 to 99991231.
 * The core call takes day offsets instead: the signed number of calendar
 * days from the pricing date (day 0) to the date, negative for past dates.
 * A day is 1/365 of a year; times in years are days / 365.
 *
 * Performances.  A stock's performance is its price divided by its base
 * price. Strike levels, barriers and the core call's moneyness axis are
 * performances: 0.85 = 85 % of the base price.
 *
 * Money.  Payoff amounts and slopes, redemption coupons, coupons and payoff
 * limits are fractions of the notional (1.0 = the whole notional). The full
 * call reports money in the notional's currency (NotionalAMT = 1 gives
 * fractions of the notional); the core call reports it per 10000 of
 * notional (a payoff of 1.0 is reported as 10000).
 *
 * Rates, yields, volatilities, correlations.  Plain decimals: 0.03 = 3 %.
 * Rates and dividend yields are continuously compounded zero rates on a
 * 365-day year; curves are read by linear interpolation in time, flat
 * beyond both ends. Volatilities are annualised.
 *
 * Outcome slots.  Every simulated path ends in exactly one outcome slot:
 * slot s < NStrike is redemption on observation date s (the final date
 * included), slot NStrike is maturity without knock-in and slot NStrike+1
 * maturity with knock-in.
 *
 * Payoffs.  base = 1.0 when NAFlag = 1, else 0.0; every payoff is clamped
 * to [base - PayOffLimit[0], base + PayOffLimit[1]] (the cap wins when the
 * floor lies above it); worst = the lowest performance of the basket on the
 * observation date; PayOffSlope_b[s] is PayOffSlope[b*(NStrike+2) + s] (the
 * core call's PayOffSlope<b>[s]), and likewise for PayOffAmount.
 *   - Redemption on date s by tier b (the highest tier that passes, tested
 *     from b = 3 down to b = 0):
 *       base + PayOffAmount_b[s] + PayOffSlope_b[s] * max(worst - 1, 0).
 *   - Redemption on date s forced by a knock-out touch in its period:
 *       base + PayOffAmount_3[s].
 *   - Maturity without knock-in, a = PayOffSlope_3[NStrike],
 *     c = PayOffAmount_3[NStrike]: base + c + a * max(worst - 1, 0) when
 *     a >= 0, base + c + a * (worst - 1) when a < 0.
 *   - Maturity with knock-in, a = PayOffSlope_3[NStrike+1],
 *     c = PayOffAmount_3[NStrike+1]: base + c + a * max(worst - 1, 0) when
 *     KnockBarrierFlag[1] = 0, base + c + a * (worst - 1) otherwise.
 *   A redemption is paid on its date's payment date and the maturity payoff
 *   on the last payment date; every amount is discounted on the discount
 *   curve from its payment date.
 *
 *
 * DETERMINISM
 *
 * Equal inputs give bit-identical outputs, on every call and every thread:
 * every valuation (the price and each revaluation of a sensitivity)
 * restarts the same fixed-seed random stream, so bumped revaluations share
 * their random numbers with the price.
 *
 * THREADS
 *
 * The library starts no thread, takes no lock and has no global or static
 * mutable state: each call runs entirely on the caller's thread. Concurrent
 * calls on distinct arrays are independent (input arrays may be shared,
 * since they are only read). The one shared resource is the trace: logged
 * calls that start in the same millisecond append to the same log file.
 * Loading and unloading the library do nothing beyond the runtime's start-up.
 *
 * VERSIONS
 *
 * MORVIK_VERSION_MAJOR, _MINOR and _PATCH below number this library, and
 * MORVIK_VERSION spells them "major.minor.patch"; the tool morvik-price and
 * the Python package morvik carry the same number. What each part promises:
 *   - patch: the exports' prototypes, statuses and outputs are unchanged,
 *     bit for bit, for every input that was priced before; a patch release
 *     only turns a crash or a silent failure into a status;
 *   - minor: prototypes and statuses are unchanged, but outputs may move: a
 *     rule of the note mended (the release notes list it) or a new opt-in
 *     feature; the default stream's bits are kept for every note the
 *     mended rule does not touch;
 *   - major: a prototype, a status code or an output slot changes.
 * So equal inputs give bit-identical outputs under the same MORVIK_VERSION,
 * and a change of the bits always changes the version.
 */
#ifndef MORVIK_H
#define MORVIK_H

#define MORVIK_VERSION_MAJOR 1
#define MORVIK_VERSION_MINOR 2
#define MORVIK_VERSION_PATCH 0
#define MORVIK_VERSION "1.2.0"

#if defined(_WIN32)
   /* The DLL's export table (names and ordinals) comes from its module
      definition file, so the definitions carry no export attribute. */
#  if defined(MORVIK_BUILDING)
#    define MORVIK_API
#  else
#    define MORVIK_API __declspec(dllimport)
#  endif
#  if defined(_M_IX86) || defined(__i386__)
#    define MORVIK_CALL __stdcall
#  else
#    define MORVIK_CALL
#  endif
#else
#  define MORVIK_API __attribute__((visibility("default")))
#  define MORVIK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* STATUS CODES
 *
 * Return values of ZUNP_CalcMorvikMC. A status >= 0 means the note was
 * priced; a negative status means nothing was written to the outputs.
 *
 * The input checks run in the order of this list and the first failure is
 * returned, so an input with several faults always gives the same code.
 * Within a loop over stocks, dates or points, all checks of one element run
 * before the next element's (a bad TVol of stock 0 wins over a bad NVol of
 * stock 1). Where a check names an array segment, it is the segment of the
 * stock being checked. A NaN or an infinity fails the first check that
 * reads it, with that check's code (the one exception: PayOffLimit[1] =
 * +inf, which means no cap).
 */
#define MORVIK_PRICED                      1     /* the note was valued */
#define MORVIK_NO_MEMORY                 (-1)    /* a temporary could not be allocated */

#define MORVIK_BAD_PRICE_DATE            (-100)  /* PriceDate not a real date in 19000101..99991231 */
#define MORVIK_BAD_NOTIONAL              (-201)  /* NotionalAMT < 0 or not finite */
#define MORVIK_NO_STOCKS                 (-2004) /* NStock < 1 */
#define MORVIK_NO_DISCOUNT_POINTS        (-205)  /* NT[0] < 1 */
#define MORVIK_NO_RATE_POINTS            (-210)  /* NT[1+i] < 1 */
#define MORVIK_NO_DATES                  (-2086) /* NStrike < 1 */
#define MORVIK_BAD_COUPON_COUNT          (-2090) /* NCoupon < 0 */
#define MORVIK_BAD_SPOT                  (-2006) /* current price <= 0 or not finite */
#define MORVIK_BAD_BASE_PRICE            (-2007) /* base price <= 0 or not finite (tested right
                                                    after the same stock's current price) */
#define MORVIK_BAD_DISCOUNT_TENOR        (-206)  /* discount curve tenor < 0, not above the one
                                                    before it, or not finite */
#define MORVIK_BAD_DISCOUNT_RATE         (-207)  /* discount curve rate outside [-1, 1] or not
                                                    finite (tested for each point after its
                                                    tenor) */
#define MORVIK_BAD_RATE_TENOR            (-211)  /* a stock's rate curve tenor, as -206 */
#define MORVIK_BAD_RATE                  (-212)  /* a stock's rate curve rate, as -207 */
#define MORVIK_NO_VOL_TIMES              (-2219) /* NVol[i] < 1 */
#define MORVIK_BAD_VOL_TIMES             (-2216) /* TVol segment: a time < 0, not above the one
                                                    before it, or not finite */
#define MORVIK_NO_MONEYNESS              (-2218) /* NParity[i] < 1 */
#define MORVIK_BAD_MONEYNESS             (-2215) /* Parity segment, as -2216 */
#define MORVIK_BAD_LOCAL_VOL             (-2217) /* a local volatility < 0 or not finite */
#define MORVIK_BAD_CORRELATION           (-2025) /* a correlation outside [-1, 1] or not finite */
#define MORVIK_BAD_CORRELATION_MATRIX    (-2026) /* UnderlyingCorr is not a correlation matrix:
                                                    a diagonal element further than 1e-9 from 1,
                                                    a pair A[i][k], A[k][i] further than 1e-9
                                                    apart, or not positive semi-definite (see
                                                    UnderlyingCorr); tested once -2025 has
                                                    passed for every entry */
#define MORVIK_BAD_DIV_COUNT             (-2032) /* NDiv[i] < 0 */
#define MORVIK_BAD_DIV_TYPE              (-2034) /* Div_TypeFlag[i] not 0, 1 or 2 */
#define MORVIK_BAD_DIV_DAY               (-2030) /* TDiv segment: a day < 0 or not above the
                                                    one before it */
#define MORVIK_BAD_DIV                   (-2031) /* a Div value out of bounds: cash (type 2)
                                                    < 0 or above the stock's base price; yield
                                                    (types 0, 1) outside [-1, 1] */
#define MORVIK_NO_FX_POINTS              (-2042) /* FX_NVol[i] < 1 */
#define MORVIK_BAD_QUANTO_FLAG           (-2044) /* QuantoFlag[i] not 0, 1 or 2 */
#define MORVIK_BAD_FX_CORR               (-2043) /* FX_Corr[i] outside [-1, 1] or not finite */
#define MORVIK_BAD_FX_TENOR              (-2040) /* FX_TVol segment, as -2216 */
#define MORVIK_BAD_FX_VOL                (-2041) /* an FX_Vol not finite, or < -1 after the
                                                    segment's first point (tested for each
                                                    point after its tenor) */
#define MORVIK_BAD_STRIKES               (-2085) /* the four tiers of a (date, stock) not all
                                                    > 0 and finite, or decreasing from tier 0 to
                                                    tier 3 (sign tests before order tests) */
#define MORVIK_STRIKE_ABOVE_KO           (-2053) /* KO_Barrier[s] not finite, or a tier of date
                                                    s above KO_Barrier[s] */
#define MORVIK_BAD_KI_BARRIER            (-2050) /* KI_Barrier[j] < 0 or not finite */
#define MORVIK_BAD_OBS_DATE              (-2071) /* redemption observation date not a real
                                                    date, or not after the previous one */
#define MORVIK_BAD_PAY_DATE              (-2075) /* redemption payment date not a real date,
                                                    before the previous payment date, or before
                                                    its observation date */
#define MORVIK_BAD_WINDOW_LENGTH         (-2073) /* window < 1 day, or reaching back before
                                                    1 January 1900 */
#define MORVIK_BAD_WINDOW_RULE           (-2072) /* window rule not 0 or 1 */
#define MORVIK_MISSING_FIXINGS           (-302)  /* fixings missing or ambiguous: see FixedFlag;
                                                    tested for each redemption date after its
                                                    window rule, for each coupon after its
                                                    dates, and FixedFlag[0], FixedFlag[1] < 0
                                                    after NAFlag */
#define MORVIK_BAD_KO_MODE               (-2054) /* KnockBarrierFlag[0] not 0 or 1 */
#define MORVIK_BAD_KI_MODE               (-2051) /* KnockBarrierFlag[1] not 0, 1 or 2 */
#define MORVIK_BAD_KO_STATE              (-2055) /* BeKO_Hitted[j] not 0 or 1 */
#define MORVIK_BAD_KI_STATE              (-2052) /* BeKI_Hitted not 0 or 1 */
#define MORVIK_BAD_COUPON_BARRIER        (-2056) /* CouponBarrier[j] < 0 or not finite */
#define MORVIK_BAD_COUPON_OBS_DATE       (-2077) /* coupon observation date not a real date,
                                                    not after the previous one, or (last coupon)
                                                    after the last redemption observation date */
#define MORVIK_BAD_COUPON_PAY_DATE       (-2078) /* coupon payment date not a real date, before
                                                    the previous one, before its observation
                                                    date, or (last coupon) after the last
                                                    redemption payment date */
#define MORVIK_BAD_COUPON_STATE          (-2058) /* BeCouponBarrierHitted not 0 or 1 */
#define MORVIK_BAD_COUPON_BARRIER_MODE   (-2057) /* CouponBarrierFlag not 0, 1 or 2 */
#define MORVIK_BAD_TRIALS                (-200)  /* NTrials < 1 or not finite */
#define MORVIK_BAD_FLOOR                 (-2115) /* PayOffLimit[0] > 1 or not finite */
#define MORVIK_BAD_CAP                   (-2116) /* PayOffLimit[1] < 0 or NaN (+inf: no cap) */
#define MORVIK_BAD_NA_FLAG               (-303)  /* NAFlag not 0 or 1 */
#define MORVIK_BAD_FIXING                (-2201) /* an SC fixing < 0 or not finite */
#define MORVIK_BAD_COUPON_FIXING         (-2202) /* a Coupon_SC fixing < 0 or not finite */
#define MORVIK_BAD_CALC_FLAG             (-301)  /* CalcFlag[0] not 0, 1 or 2 */
#define MORVIK_BAD_LOG_FLAG              (-300)  /* CalcFlag[1] not 0 or 1 */
#define MORVIK_BAD_PAYOFF_VALUE          (-304)  /* a PayOffSlope, PayOffAmount, RedemCoupon or
                                                    Coupon value not finite (tested last) */

/* Where the full call is stricter than a plain reading of its inputs, to
 * keep it from pricing nonsense and reporting success, or from reading
 * memory it was not given:
 *
 *  1. Non-finite inputs fail the first check that reads them (see above).
 *  2. Dates are real Gregorian dates: 19000229 and 20230229 are rejected.
 *  3. Observation dates strictly increase, on both schedules: only one date
 *     can be tested per simulated day. Payment dates may repeat.
 *  4. Dividend types 0 and 1 with no entries give no dividend.
 *  5. Allocation failure returns MORVIK_NO_MEMORY and writes nothing; no C++
 *     exception ever leaves an exported function.
 *  6. A trace that cannot be written is skipped; the result is unaffected.
 *  7. One pending date at a time: a second observation (or coupon
 *     observation) on or before PriceDate whose payment is still to come,
 *     while an earlier one is in the same state, gives MORVIK_MISSING_FIXINGS.
 *  8. Theta never revives a settled date: dates whose payment lies on or
 *     before PriceDate keep their day counts when the schedule is moved.
 *  9. Daily dividend rows are long enough for the theta step (see DailyDiv
 *     under MorvikMC).
 * 10. One window of fixings: SC holds the closes of one observation window,
 *     so a second date that needs fixings at the same time (a date whose
 *     window has begun behind a pending date, or two running windows) gives
 *     MORVIK_MISSING_FIXINGS.
 * 11. Window days are real days: fixings are counted in calendar days, as
 *     the engine counts them (the serial count would add 29 February 1900).
 * 12. Windows stay inside the calendar: a window may not reach back before
 *     1 January 1900 (MORVIK_BAD_WINDOW_LENGTH); this also bounds the theta
 *     step and the daily rows.
 * 13. A sensitivity that cannot allocate fails the whole call with
 *     MORVIK_NO_MEMORY, like the price, instead of being stored as a value.
 * 14. The correlation matrix must be a correlation matrix
 *     (MORVIK_BAD_CORRELATION_MATRIX): an indefinite matrix would otherwise
 *     be priced with a different one.
 */


/* Full pricing call. */
MORVIK_API int MORVIK_CALL ZUNP_CalcMorvikMC(
  int PriceDate, double NotionalAMT, const double* UnderlyingPrice,
  const double* TCurveInfo, const double* CurveInfo, const int* NT,
  const double* TVol, const double* Parity, const double* LocalVolSurface,
  const int* NVol, const int* NParity, const double* UnderlyingCorr,
  const int* TDiv, const double* Div, const int* NDiv, const int* Div_TypeFlag,
  const double* FX_TVol, const double* FX_Vol, const int* FX_NVol, const double* FX_Corr,
  const int* QuantoFlag, int NStock, int NStrike,
  const double* X, const double* KO_Barrier, const double* KI_Barrier,
  const double* PayOffSlope, const double* PayOffAmount, const int* DatesInfo,
  const double* RedemCoupon, const int* KnockBarrierFlag, const int* BeKO_Hitted, int BeKI_Hitted,
  int NCoupon, const double* CouponBarrier, const double* Coupon, const int* CouponDatesInfo,
  int CouponBarrierFlag, int BeCouponBarrierHitted, double NTrials, const double* PayOffLimit,
  int NAFlag, const double* SC, const double* Coupon_SC, const int* FixedFlag, const int* CalcFlag,
  double* ELS_Prob_n_Cf, double* ELS_Coupon_Prob_n_Cf, double* ResultPrice);
/*
 * Values one note on PriceDate: writes the trace's input lines when asked,
 * validates every input (in the order of the status list above), prices
 * the note, computes the requested sensitivities and fills the three output
 * arrays. S = NStock, N = NStrike, Q = NCoupon below.
 *
 * Returns MORVIK_PRICED (1) after a valuation, MORVIK_NO_MEMORY (-1) when a
 * temporary cannot be allocated, or the negative code of the first input
 * check that fails. On any negative status nothing is written to the
 * outputs: they keep exactly what the caller passed.
 *
 * Market inputs
 *
 *   PriceDate        valuation date, yyyymmdd. Dates on or before it are
 *                    observed; their fixings come from SC and Coupon_SC.
 *   NotionalAMT      notional in the note's currency, >= 0 (0 gives zero
 *                    money outputs and the usual probabilities).
 *   UnderlyingPrice  2*S: [2i] current (spot) price of stock i on
 *                    PriceDate, [2i+1] its base (reference) price, both
 *                    > 0 in the stock's own price units.
 *   NT               S+1: [0] points of the discount curve, [1+i] points of
 *                    stock i's rate curve; each >= 1.
 *   TCurveInfo       NT[0] + NT[1] + ... + NT[S]: tenors in years of the
 *   CurveInfo        discount curve, then of each stock's rate curve, and
 *                    their continuously compounded zero rates in [-1, 1].
 *                    Tenors are >= 0 and strictly increase within a curve.
 *                    The discount curve discounts every payment; stock i's
 *                    curve gives its drift.
 *   NVol, NParity    S each: time points and moneyness points of stock i's
 *                    local volatility grid; each >= 1.
 *   TVol             sum of NVol: time axis in years, per stock; >= 0,
 *                    strictly increasing.
 *   Parity           sum of NParity: moneyness axis relative to the stock's
 *                    current price (1.0 = today's spot), per stock; >= 0,
 *                    strictly increasing. The grid is fixed in performance
 *                    units: point p sits at Parity[p] * spot / base.
 *   LocalVolSurface  sum of NVol[i]*NParity[i]: per stock a block of
 *                    NParity[i] rows (one per moneyness point) of NVol[i]
 *                    values (one per time point): the volatility at
 *                    moneyness p and time k is element p*NVol[i] + k of
 *                    the block. Annualised, >= 0. Read by bilinear
 *                    interpolation in performance and time, flat outside.
 *   UnderlyingCorr   S*S, row-major: element i*S + k is the correlation of
 *                    stocks i and k. Each entry in [-1, 1]; the matrix must
 *                    be a correlation matrix: diagonal within 1e-9 of 1,
 *                    symmetric within 1e-9, and positive semi-definite in
 *                    the sense the engine needs: its lower Cholesky factor
 *                    L, computed row by row with every pivot <= 0 replaced
 *                    by 1e-10, must give |sum_k L[i][k]*L[j][k] - A[i][j]|
 *                    <= 1e-9 for every i >= j. A correlation of exactly 1
 *                    or -1 between two stocks passes (MORVIK_BAD_CORRELATION,
 *                    MORVIK_BAD_CORRELATION_MATRIX).
 *   NDiv             S: dividend entries of stock i, >= 0.
 *   Div_TypeFlag     S: dividend model of stock i:
 *                      0 constant continuous yield: the segment's first Div
 *                        value on every day (no entry: no dividend);
 *                      1 yield curve: continuous yields Div at times
 *                        TDiv / 365 years (no entry: no dividend);
 *                      2 cash dividends: amount Div on day offset TDiv from
 *                        PriceDate, in the stock's price units; the price
 *                        drops by the amount scaled by the path's growth.
 *   TDiv             sum of NDiv, int days per stock, >= 0 and strictly
 *                    increasing (checked for every type; type 0 reads none).
 *   Div              sum of NDiv: yields in [-1, 1] (types 0, 1), cash
 *                    amounts in [0, base price] (type 2).
 *   FX_NVol          S: points of stock i's FX volatility curve, >= 1.
 *   FX_TVol, FX_Vol  sum of FX_NVol: tenors in years (>= 0, strictly
 *                    increasing) and annualised volatilities of the
 *                    exchange rate of stock i's currency (finite; >= -1
 *                    after the first point). Read only when QuantoFlag[i]
 *                    is not 0.
 *   FX_Corr          S: correlation of stock i with its exchange rate, in
 *                    [-1, 1]; the quanto drift is -FX_Corr * fx vol * local
 *                    vol.
 *   QuantoFlag       S: 0 no quanto drift; 1 FX_Vol holds term volatilities
 *                    (from today to each tenor), turned into daily forward
 *                    volatilities; 2 FX_Vol is read off the curve day by day
 *                    by linear interpolation, flat outside.
 *
 * Contract inputs
 *
 *   NStock           number of stocks S, >= 1.
 *   NStrike          number of redemption observation dates N, >= 1; the
 *                    last is the final observation.
 *   X                4*S*N, four blocks of N*S: strike level of tier b, date
 *                    s, stock j at index (b*N + s)*S + j, as a performance.
 *                    For each (s, j) the four tiers are > 0 and do not
 *                    decrease from b = 0 to b = 3, and none exceeds
 *                    KO_Barrier[s]. On date s tier b passes when, for every
 *                    stock, the window test of DatesInfo holds at or above
 *                    its strike; tiers are tried from b = 3 down to b = 0
 *                    and the first that passes redeems (see Payoffs), so
 *                    among equal tiers the highest block pays.
 *   KO_Barrier       N: knock-out touch barrier (a performance) of the period
 *                    that ends on observation date s. A touch in the period
 *                    redeems on date s with base + PayOffAmount_3[s]. Pass a
 *                    huge value (1e6) for no touch barrier.
 *   KI_Barrier       S: knock-in barrier of stock j (a performance), >= 0.
 *                    Knock-in happens when a stock is below its barrier on a
 *                    watched day or at the final observation (at or below it
 *                    on PriceDate); see KnockBarrierFlag[1].
 *   PayOffSlope      4*N + 8, four blocks of N+2 (block b = tier b): entry
 *   PayOffAmount     s < N is tier b's slope and amount on date s; entries N
 *                    and N+1 of block 3 are the maturity payoffs without and
 *                    with knock-in (the same entries of blocks 0 to 2 are
 *                    not read). Fractions of the notional, finite.
 *   DatesInfo        4*N, four blocks of N:
 *                      [s]     observation date s: real, strictly increasing;
 *                      [N+s]   its payment date: real, not before the
 *                              previous payment date nor its observation;
 *                      [2N+s]  window length in days, >= 1: the window is
 *                              the days ending on the observation date;
 *                              windows may not reach back before 19000101;
 *                      [3N+s]  window rule: 0 a tier passes when on some day
 *                              of the window every stock closes at or above
 *                              its strike; 1 when every stock's window
 *                              average is at or above it.
 *   RedemCoupon      N-1: paid on the payment date of each observation date
 *                    but the last when the note does not redeem there;
 *                    fractions of the notional, finite. It enters the price
 *                    only, not the outcome outputs.
 *   KnockBarrierFlag 2: [0] knock-out touch mode: 0 touch on a day (PriceDate
 *                    included) when the worst performance is at or above
 *                    KO_Barrier; 1 stock by stock with memory: each stock
 *                    at or above the period's KO_Barrier on a day (PriceDate
 *                    included) is remembered for the period, and the touch
 *                    comes on the day every stock is remembered. The memory
 *                    starts from BeKO_Hitted and is cleared after an
 *                    observation date that does not redeem; window fixings
 *                    (SC) set none. [1] knock-in mode: 0 tested at maturity only,
 *                    losses do not count; 1 watched on PriceDate and every
 *                    simulated day, losses count at maturity; 2 tested at
 *                    maturity only, losses count.
 *   BeKO_Hitted      S: 1 when stock j already touched the knock-out
 *                    barrier in the current period before PriceDate (memory
 *                    mode), else 0. When all are 1 the next observation date
 *                    redeems. Read only: the touches of PriceDate and of the
 *                    simulated days are remembered in a private copy.
 *   BeKI_Hitted      1 when the knock-in has already happened, else 0.
 *   NCoupon          number of periodic coupons Q, >= 0 (0: none; the
 *                    coupon inputs are then not read).
 *   CouponBarrier    Q: coupon j is lost when any stock is at or below
 *                    CouponBarrier[j] (a performance, >= 0) on a watched day
 *                    of its period (after the previous coupon observation,
 *                    up to its own).
 *   Coupon           Q: coupon amounts, fractions of the notional, finite.
 *   CouponDatesInfo  2*Q, two blocks of Q: [j] observation dates (real,
 *                    strictly increasing, the last not after the last
 *                    redemption observation date), [Q+j] payment dates
 *                    (real, not before the previous one nor the own
 *                    observation, the last not after the last redemption
 *                    payment date).
 *   CouponBarrierFlag  0 never watched (every coupon is paid); 1 watched on
 *                    PriceDate and every simulated day; 2 watched on the
 *                    coupon observation date only.
 *   BeCouponBarrierHitted  1 when the current coupon period's barrier was
 *                    already breached, else 0. It also decides a coupon
 *                    observed but not yet paid.
 *
 * Run settings and past fixings
 *
 *   NTrials          number of paths, a double >= 1: ceil(NTrials) paths
 *                    run and every sum is divided by NTrials.
 *   PayOffLimit      2: [0] floor distance below base, <= 1; [1] cap
 *                    distance above base, >= 0 (+inf: no cap).
 *   NAFlag           1 payoffs include the notional (base 1.0); 0 they do
 *                    not (base 0.0).
 *   FixedFlag        2: [0] closes per stock in SC, [1] in Coupon_SC; >= 0.
 *                    A redemption date whose window has begun on or before
 *                    PriceDate while its payment is after PriceDate needs
 *                    FixedFlag[0] >= the window days up to and including
 *                    PriceDate (counted in calendar days); a coupon observed
 *                    on or before PriceDate and paid after it needs
 *                    FixedFlag[1] >= 1. Only one redemption date and one
 *                    coupon may be in that state at a time
 *                    (MORVIK_MISSING_FIXINGS).
 *   SC               S*FixedFlag[0]: the closes (prices, not performances)
 *                    already fixed in that redemption window, oldest first,
 *                    fixing-major: close f of stock i at f*S + i; >= 0.
 *   Coupon_SC        S*FixedFlag[1]: closes fixed for the pending coupon,
 *                    same layout, >= 0. Checked only: the pending coupon is
 *                    decided by BeCouponBarrierHitted.
 *   CalcFlag         2: [0] what to compute: 0 the price, 1 also delta,
 *                    gamma and vega of every stock, 2 also theta and rho.
 *                    [1] 1 writes the trace (below), 0 does not.
 *
 * Outputs (written only when the call returns >= 0, all in one go at the
 * end of the call)
 *
 *   ELS_Prob_n_Cf    2*(N+2): [s] probability of outcome slot s (a fraction
 *                    of the trials), [N+2+s] its mean undiscounted cash
 *                    flow over all trials (not given the outcome), in the
 *                    notional's currency. Slots of dates already over hold
 *                    0; a pending date that redeems on its known fixings
 *                    holds probability 1. With a whole NTrials the
 *                    probabilities sum to 1, otherwise to
 *                    ceil(NTrials)/NTrials.
 *   ELS_Coupon_Prob_n_Cf  2*Q: [j] probability that coupon j is paid, [Q+j]
 *                    its mean undiscounted amount over all trials, in the
 *                    notional's currency. Not written when Q = 0.
 *   ResultPrice      1 when CalcFlag[0] = 0, else 3*S+3:
 *                      [0]        price: present value of every payment
 *                                 still to come, in the notional's currency;
 *                      [1+i]      delta of stock i: half the price change
 *                                 between a 1 % rise and a 1 % fall of its
 *                                 current price;
 *                      [1+S+i]    gamma of stock i: price(+10 %) +
 *                                 price(-10 %) - 2 price, divided by 100
 *                                 (the second difference for a 1 % step);
 *                      [1+2S+i]   vega of stock i: half the price change
 *                                 between its whole local volatility grid
 *                                 moved up and down by one vol point (0.01),
 *                                 the down values floored at 1e-12;
 *                      [3S+1]     theta per day (0.0 when CalcFlag[0] = 1):
 *                                 with h = max(4, the longest window of
 *                                 DatesInfo) days, (price with the schedule
 *                                 h days nearer - price) / h; backward,
 *                                 (price - price with the schedule h days
 *                                 further) / h, when fixings are given
 *                                 (FixedFlag not {0, 0}) or an observation
 *                                 date or coupon observation lies 1 to h days
 *                                 ahead. Dates whose payment is on or before
 *                                 PriceDate do not move;
 *                      [3S+2]     rho (0.0 when CalcFlag[0] = 1): half the
 *                                 price change between every stock's rate
 *                                 curve and the discount curve moved in
 *                                 parallel up and down by one point (0.01).
 *                    Spot moves change the current price only: base prices,
 *                    the local volatility grid (in performance units) and
 *                    past fixings stay. Every sensitivity is in the
 *                    notional's currency and shares the price's random
 *                    numbers.
 *
 * Cost: one valuation of ceil(NTrials) paths for the price, 7 more per
 * stock with CalcFlag[0] >= 1 (2 delta, 3 gamma, 2 vega) and 4 more with
 * CalcFlag[0] = 2; the work of a valuation grows with the paths, the days
 * to the last observation date and the stocks.
 *
 * Trace.  With CalcFlag[1] = 1 the call appends plain-text lines to
 *   ZUN_Module_Log/ZUNP_MorvikMC/ZUNP_MorvikMC_<yyyymmdd>__<HH>_<MM>_<SS>_<ms>.txt
 * below the process's current working directory (backslashes on Windows),
 * named from the local time of the call (milliseconds without leading
 * zeros) and creating the directories as needed. Each line is
 * "label : values" ending in CR LF: first every input under its parameter
 * name (written before validation, so it shows what a rejected call was
 * given), then either "Return : <status>" for a negative status or the
 * three lines ELS_Prob_n_Cf, ELS_Coupon_Prob_n_Cf and ResultPrice. Any
 * value of CalcFlag[1] other than 1 writes nothing.
 */


/* Core pricing call on assembled arguments. */
MORVIK_API int MORVIK_CALL MorvikMC(
  const double* CurPrice, const double* BasePrice,
  const double* TCurveInfo_Stock, const double* CurveInfo_Stock, const int* NT_Stock,
  const double* TCurveInfo_Disc, const double* CurveInfo_Disc, int NT_Disc,
  const double* TVol, const double* Parity_Scaled, const double* LocalVolSurface,
  const int* NVol, const int* NParity, const double* UnderlyingCorr,
  const double* const* DailyDiv, const int* Div_TypeFlag,
  const double* FX_TVol, const double* FX_Vol, const int* FX_NVol, const double* FX_Corr,
  const int* QuantoFlag, int NStock, int NStrike,
  const double* X0, const double* X1, const double* X2, const double* X3,
  const double* KO_Barrier, const double* KI_Barrier,
  const double* PayOffSlope0, const double* PayOffSlope1, const double* PayOffSlope2, const double* PayOffSlope3,
  const double* PayOffAmount0, const double* PayOffAmount1, const double* PayOffAmount2, const double* PayOffAmount3,
  const int* KO_ObsDays, const int* KO_PayDays, const int* KO_WindowLen, const int* KO_AvgFlag,
  const double* RedemCoupon, int KnockBarrierFlag0, int KnockBarrierFlag1,
  const int* BeKO_Hitted, int BeKI_Hitted, int NCoupon,
  const double* CouponBarrier, const double* Coupon,
  const int* Coupon_ObsDays, const int* Coupon_PayDays,
  int CouponBarrierFlag, int BeCouponBarrierHitted,
  double NTrials, double PayOffLimit0, double PayOffLimit1,
  int NAFlag, const double* SC, const double* Coupon_SC, const int* FixedFlag, int Reserved,
  double* ELS_Prob, double* ELS_Cf, double* ELS_Coupon_Prob, double* ELS_Coupon_Cf, double* ResultPrice);
/*
 * Values one note whose inputs are already assembled, as ZUNP_CalcMorvikMC
 * assembles them: it clears the outputs, skips the dates that are over,
 * settles a date observed but not yet paid from its fixings, and simulates
 * the rest. It validates nothing, writes no trace and computes no
 * sensitivity. S = NStock, N = NStrike, Q = NCoupon below.
 *
 * Returns MORVIK_PRICED (1) after a valuation, or MORVIK_NO_MEMORY (-1)
 * when a temporary cannot be allocated; the outputs then hold no valuation
 * (they may be cleared or partly summed). Inputs outside the limits below
 * give undefined results.
 *
 * Inputs differ from the full call's in four ways: prices come as two
 * arrays, the moneyness axis is in performance units, dates are day offsets
 * from the pricing date, and dividends are one value per day.
 *
 *   CurPrice, BasePrice   S each: current and base price of each stock, > 0.
 *   TCurveInfo_Stock, CurveInfo_Stock  sum of NT_Stock: each stock's rate
 *                    curve (tenors in years, continuously compounded zero
 *                    rates), stock by stock.
 *   NT_Stock         S: points of each stock's rate curve, >= 1.
 *   TCurveInfo_Disc, CurveInfo_Disc  NT_Disc: the discount curve.
 *   NT_Disc          points of the discount curve, >= 1.
 *   TVol, LocalVolSurface, NVol, NParity  as in the full call.
 *   Parity_Scaled    sum of NParity: moneyness axis in performance units
 *                    (the full call passes Parity * spot / base, multiplied
 *                    first), strictly increasing per stock.
 *   UnderlyingCorr   S*S, row-major. Not checked: only the diagonal and the
 *                    upper triangle are read, and a pivot <= 0 of its
 *                    Cholesky factor is replaced by 1e-10.
 *   DailyDiv         S row pointers; row i holds one value per day, day 0 =
 *                    the pricing date, at least (last observation day + 1)
 *                    entries (the full call passes last observation day +
 *                    max(5, h + 1), h the theta step). Type 2 rows: entry n
 *                    is the cash amount of day n as a fraction of the base
 *                    price. Other rows: entry n-1 is the continuous yield of
 *                    the step from day n-1 to day n.
 *   Div_TypeFlag     S: 2 DailyDiv holds cash amounts, other values yields.
 *   FX_TVol, FX_Vol, FX_NVol, FX_Corr  as in the full call.
 *   QuantoFlag       S: 0 no quanto drift, 1 term FX volatilities, any other
 *                    value the FX curve read day by day.
 *   NStock, NStrike  counts, >= 1.
 *   X0, X1, X2, X3   N*S each: strike tiers 0 to 3, date-major: date s, stock
 *                    i at s*S + i (blocks 0 to 3 of the full call's X).
 *   KO_Barrier       N;  KI_Barrier  S: as in the full call.
 *   PayOffSlope0..3, PayOffAmount0..3  N+2 each: blocks 0 to 3 of the full
 *                    call's PayOffSlope and PayOffAmount.
 *   KO_ObsDays       N: day offsets of the observation dates, strictly
 *                    increasing; an offset <= 0 is observed.
 *   KO_PayDays       N: day offsets of the payment dates; the last is >= the
 *                    last observation day. A date with both offsets <= 0 is
 *                    over.
 *   KO_WindowLen     N: window lengths in days; a window must not reach
 *                    back past the previous observation date.
 *   KO_AvgFlag       N: nonzero the window average is tested, 0 each day.
 *   RedemCoupon      N-1: as in the full call.
 *   KnockBarrierFlag0  0 worst-of touch, nonzero stock by stock with memory
 *                    (each stock's touches on PriceDate and every simulated
 *                    day remembered until the period's observation date).
 *   KnockBarrierFlag1  knock-in mode 0, 1 or 2, as in the full call.
 *   BeKO_Hitted      S (read only; a private copy gains the touches of
 *                    PriceDate and the simulated days and is cleared as
 *                    dates pass; a flag other than 0 or 1 counts on
 *                    simulated days only);
 *   BeKI_Hitted      as in the full call.
 *   NCoupon          Q >= 0.
 *   CouponBarrier, Coupon  Q: as in the full call; CouponBarrier is read
 *                    only while a coupon remains.
 *   Coupon_ObsDays, Coupon_PayDays  Q: day offsets of the coupon dates,
 *                    observation days strictly increasing.
 *   CouponBarrierFlag  1 watched daily, 2 on the observation date only,
 *                    other values never.
 *   BeCouponBarrierHitted  as in the full call.
 *   NTrials          number of paths, >= 1 (ceil(NTrials) paths run).
 *   PayOffLimit0, PayOffLimit1  floor and cap distances, as PayOffLimit.
 *   NAFlag           1 base 1.0, other values base 0.0.
 *   SC               FixedFlag[0]*S: the first remaining date's window
 *                    closes up to the pricing date, oldest first,
 *                    fixing-major (at most KO_WindowLen[0] rows are used).
 *   Coupon_SC        not read.
 *   FixedFlag        2: [0] rows of SC; [1] not read.
 *   Reserved         pass 0; not read.
 *
 * Outputs, all cleared first; slots keep their absolute positions:
 *
 *   ELS_Prob, ELS_Cf   N+2 each: probability and mean undiscounted cash flow
 *                    per 10000 of notional of each outcome slot.
 *   ELS_Coupon_Prob, ELS_Coupon_Cf  Q each: the same per coupon.
 *   ResultPrice      1: the price per 10000 of notional.
 *
 * A note that is over (every observation observed and every payment made)
 * is valued at 0 without simulating.
 */


/* yyyymmdd calendar date to spreadsheet serial date. */
MORVIK_API int MORVIK_CALL CdrD2ExcD(int CalendarDate);
/*
 * Returns the serial date of the spreadsheet 1900 date system: serial 1 is
 * 19000101 and the system counts a 29 February 1900 (serial 60), so 19000229
 * is accepted here (though the pricing calls reject it); 20000101 is 36526,
 * 99991231 is 2958465. Returns MORVIK_DATE_OUT_OF_RANGE (-1) below 19000101
 * or above 99991231, MORVIK_DATE_BAD_MONTH (-2) for a month outside 1..12
 * and MORVIK_DATE_BAD_DAY (-3) for a day the month does not have.
 */

/* Spreadsheet serial date to yyyymmdd calendar date. */
MORVIK_API int MORVIK_CALL ExcD2CdrD(int SerialDate);
/*
 * The inverse of CdrD2ExcD for serials 1..2958465 (19000101..99991231,
 * 19000229 included); above that it continues the Gregorian calendar up to
 * serial 7195278 (215991231). Returns MORVIK_DATE_OUT_OF_RANGE (-1) for a
 * serial below 1 or above 7195278.
 *
 * Both date functions are pure: no state, any thread at any time.
 */

/* Status codes of the date functions. */
#define MORVIK_DATE_OUT_OF_RANGE         (-1)
#define MORVIK_DATE_BAD_MONTH            (-2)
#define MORVIK_DATE_BAD_DAY              (-3)

#ifdef __cplusplus
}
#endif

#endif /* MORVIK_H */
