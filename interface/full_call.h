// One full pricing call held in owning arrays, named as the parameters of
// ZUNP_CalcMorvikMC, with its three outputs. The command-line tool, the
// Python package, the benchmarks, the fuzz targets and the tests fill one
// and call the export through it, so the 49 arguments are spelled out in
// one place only (CallExport).
#pragma once

#include <vector>

#include "interface/extended_args.h"

namespace morvik {

struct FullCall {
  int PriceDate = 0;
  double NotionalAMT = 0.0;
  std::vector<double> UnderlyingPrice, TCurveInfo, CurveInfo;
  std::vector<int> NT;
  std::vector<double> TVol, Parity, LocalVolSurface;
  std::vector<int> NVol, NParity;
  std::vector<double> UnderlyingCorr;
  std::vector<int> TDiv;
  std::vector<double> Div;
  std::vector<int> NDiv, Div_TypeFlag;
  std::vector<double> FX_TVol, FX_Vol;
  std::vector<int> FX_NVol;
  std::vector<double> FX_Corr;
  std::vector<int> QuantoFlag;
  int NStock = 0, NStrike = 0;
  std::vector<double> X, KO_Barrier, KI_Barrier, PayOffSlope, PayOffAmount;
  std::vector<int> DatesInfo;
  std::vector<double> RedemCoupon;
  std::vector<int> KnockBarrierFlag{0, 0}, BeKO_Hitted;
  int BeKI_Hitted = 0, NCoupon = 0;
  std::vector<double> CouponBarrier, Coupon;
  std::vector<int> CouponDatesInfo;
  int CouponBarrierFlag = 0, BeCouponBarrierHitted = 0;
  double NTrials = 0.0;
  std::vector<double> PayOffLimit{0.0, 0.0};
  int NAFlag = 0;
  std::vector<double> SC, Coupon_SC;
  std::vector<int> FixedFlag{0, 0}, CalcFlag{0, 0};
  std::vector<double> ELS_Prob_n_Cf, ELS_Coupon_Prob_n_Cf, ResultPrice;

  // Sizes the three outputs for the counts and CalcFlag[0] (see
  // interface/layout.h), every slot 0.0.
  void SizeOutputs();

  // The call's view of the input arrays, outputs null. An empty array is
  // passed as a null pointer: the library reads no element of an array
  // whose count is 0.
  ExtendedArgs Inputs() const;

  // Inputs() with the three outputs of this call.
  ExtendedArgs View();

  // ZUNP_CalcMorvikMC on View(); returns its status.
  int Call();
};

// ZUNP_CalcMorvikMC with every argument taken from `args`.
int CallExport(const ExtendedArgs& args);

}  // namespace morvik
