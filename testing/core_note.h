// Notes for the tests and benchmarks at the core call's level (the argument
// list of engine/core_args.h), held in owning vectors:
// - CoreNote: a simple note built from its stock count and schedule, with
//   modifiers for the fields tests change most (volatility, rates,
//   performance, strikes, coupons); View() and Results() give the core
//   call's argument list and result block.
// - SmallNote: a three-date, two-coupon note with a skewed surface and
//   curves, for revaluation tests.
// - RealisticCoreNote(): three stocks, three years of daily steps, six
//   semiannual dates, for the engine benchmark.
// - CorePrice(): the price of one core call with its own result block.
#pragma once

#include <vector>

#include "engine/core_args.h"

namespace morvik::testing {

// Defaults: every stock priced at its base price (100), flat zero stock and
// discount curves, a zero local volatility surface, identity correlation, no
// dividends, no quanto, strike levels and knock-out barriers that are never
// reached, one-day any-day windows, knock-in barrier 0.6 monitored daily,
// base 1.0 with payoff limits (1.0, 10.0), no coupons, one trial. Tests
// change the fields they need, then call View() and Results().
struct CoreNote {
  int NStock = 1;
  int NStrike = 1;
  int NCoupon = 0;

  std::vector<double> CurPrice, BasePrice;
  std::vector<double> TCurveInfo_Stock, CurveInfo_Stock;
  std::vector<int> NT_Stock;
  std::vector<double> TCurveInfo_Disc{1.0}, CurveInfo_Disc{0.0};
  std::vector<double> TVol, Parity_Scaled, LocalVolSurface;
  std::vector<int> NVol, NParity;
  std::vector<double> UnderlyingCorr;
  std::vector<std::vector<double>> DailyDivRows;
  std::vector<int> Div_TypeFlag;
  std::vector<double> FX_TVol, FX_Vol;
  std::vector<int> FX_NVol;
  std::vector<double> FX_Corr;
  std::vector<int> QuantoFlag;

  std::vector<double> X0, X1, X2, X3;
  std::vector<double> KO_Barrier, KI_Barrier;
  std::vector<double> PayOffSlope0, PayOffSlope1, PayOffSlope2, PayOffSlope3;
  std::vector<double> PayOffAmount0, PayOffAmount1, PayOffAmount2, PayOffAmount3;
  std::vector<int> KO_ObsDays, KO_PayDays, KO_WindowLen, KO_AvgFlag;
  std::vector<double> RedemCoupon;
  int KnockBarrierFlag0 = 0;
  int KnockBarrierFlag1 = 1;
  std::vector<int> BeKO_Hitted;
  int BeKI_Hitted = 0;
  std::vector<double> CouponBarrier, Coupon;
  std::vector<int> Coupon_ObsDays, Coupon_PayDays;
  int CouponBarrierFlag = 0;
  int BeCouponBarrierHitted = 0;
  double NTrials = 1.0;
  double PayOffLimit0 = 1.0;
  double PayOffLimit1 = 10.0;
  int NAFlag = 1;
  std::vector<double> SC, Coupon_SC;
  std::vector<int> FixedFlag{0, 0};
  int Reserved = 0;

  std::vector<double> ELS_Prob, ELS_Cf, ELS_Coupon_Prob, ELS_Coupon_Cf, ResultPrice{0.0};

  // Row pointers of DailyDivRows, rebuilt by View().
  std::vector<const double*> DailyDivPtr;

  static constexpr double kNever = 1e9;

  // `nStock` stocks, one redemption date per entry of obsDays (day offsets
  // from the pricing date) paid on the matching entry of payDays.
  CoreNote(int nStock, std::vector<int> obsDays, std::vector<int> payDays);

  // Constant local volatility for every stock.
  void SetFlatVol(double sigma);
  // Flat rate on every stock's own curve.
  void SetStockRate(double r);
  // Flat one-point discount curve.
  void SetDiscRate(double r);
  // Pricing-date performance of stock i.
  void SetPerformance(int i, double p);
  // Strike of `level` (0..3 for X0..X3) on date d, the same for every stock.
  void SetStrike(int level, int d, double s);
  // Coupons observed on `obs`, paid on `pay`, one barrier for all; the
  // dividend rows are lengthened to reach the last payment.
  void SetCoupons(std::vector<int> obs, std::vector<int> pay, std::vector<double> amount, double barrier,
                  int flag);

  // The core call's view of the arrays.
  CoreArgs View();

  // Sizes the result arrays (NStrike+2 and NCoupon, filled with `fill`) and
  // returns their view.
  CoreResults Results(double fill = 0.0);
};

// Three monthly observation dates (paid five days later), two coupons, 200
// paths, a skewed 5 x 3 local volatility surface and two-point rate curves
// per stock, correlation 0.5, constant dividend yields. `a` is the view of
// the current arrays; call Bind() after changing one.
struct SmallNote : CoreNote {
  CoreArgs a;

  explicit SmallNote(int stocks);

  // Makes the price linear in the first stock's spot: flat volatility, no
  // redemption, no knock-in, no coupons, a maturity payoff 2 + b - worst with
  // wide limits and undiscounted payments.
  void MakeLinear(double b);

  void Bind() { a = View(); }
};

// Three stocks, six semiannual dates over three years with step-down
// strikes, a 10 x 8 local volatility grid per stock, three-point curves, a
// 1.5 % dividend yield, knock-in at 50 % watched daily, 10000 trials.
CoreNote RealisticCoreNote();

// Price of one core call with its own result block; status in *rc.
double CorePrice(const CoreArgs& args, int* rc = nullptr);

}  // namespace morvik::testing
