/* morvik: Monte Carlo pricing of autocallable step-down equity-linked notes
 * on a basket of stocks, valued on the worst performer.
 *
 * Public C interface: the four exported entry points. Every array is flat and
 * owned by the caller; dates are yyyymmdd integers. */
#ifndef MORVIK_H
#define MORVIK_H

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

/* Full pricing call: validates, assembles, prices, computes sensitivities on
 * request (CalcFlag[0]) and writes a trace on request (CalcFlag[1]).
 * Returns the core's status (>= 1) or a negative validation code. */
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

/* Core pricing call on assembled arguments (dates as day offsets from the
 * pricing date, performances in units of BasePrice). No validation, no log.
 * Returns 1. */
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

/* yyyymmdd calendar date to spreadsheet serial date (1900 system);
 * -1 out of range, -2 bad month, -3 bad day. */
MORVIK_API int MORVIK_CALL CdrD2ExcD(int CalendarDate);

/* Spreadsheet serial date to yyyymmdd calendar date; -1 out of range. */
MORVIK_API int MORVIK_CALL ExcD2CdrD(int SerialDate);

#ifdef __cplusplus
}
#endif

#endif /* MORVIK_H */
