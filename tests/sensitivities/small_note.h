// A small note for revaluation tests, built on the engine tests' note: three
// monthly observation dates (paid five days later), two coupons, 200 paths,
// a skewed 5 x 3 local volatility surface and two-point rate curves per
// stock, correlation 0.5, constant dividend yields. `a` is the view of the
// current arrays; call Bind() after changing one.
#pragma once

#include <vector>

#include "engine/core_args.h"
#include "engine/core_valuation.h"
#include "tests/engine/note_fixture.h"

namespace morvik::testing_note {

struct SmallNote : morvik::testing::NoteFixture {
  CoreArgs a;

  explicit SmallNote(int stocks) : NoteFixture(stocks, {30, 60, 90}, {35, 65, 95}) {
    TVol.clear();
    Parity_Scaled.clear();
    LocalVolSurface.clear();
    TCurveInfo_Stock.clear();
    CurveInfo_Stock.clear();
    for (int i = 0; i < stocks; ++i) {
      TVol.insert(TVol.end(), {0.1, 0.5, 1.0});
      Parity_Scaled.insert(Parity_Scaled.end(), {0.6, 0.8, 1.0, 1.2, 1.4});
      for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 3; ++col)
          LocalVolSurface.push_back(0.3 - 0.02 * row + 0.005 * col + 0.03 * i);
      TCurveInfo_Stock.insert(TCurveInfo_Stock.end(), {0.25, 1.0});
      CurveInfo_Stock.insert(CurveInfo_Stock.end(), {0.03 + 0.002 * i, 0.032 + 0.002 * i});
      // Long enough for a schedule pushed ten days further away.
      DailyDivRows[i].assign(140, 0.01 + 0.005 * i);
      for (int k = 0; k < stocks; ++k) UnderlyingCorr[i * stocks + k] = i == k ? 1.0 : 0.5;
      KI_Barrier[i] = 0.7;
      FX_Vol[i] = 0.1;
    }
    if (stocks > 1) CurPrice[1] = 104.0;
    NVol.assign(stocks, 3);
    NParity.assign(stocks, 5);
    NT_Stock.assign(stocks, 2);
    TCurveInfo_Disc = {0.25, 1.0};
    CurveInfo_Disc = {0.035, 0.037};
    for (int d = 0; d < 3; ++d) SetStrike(3, d, 1.0);
    KO_Barrier.assign(3, 10.0);
    PayOffSlope3 = {0.0, 0.0, 0.0, 0.0, 1.0};
    PayOffAmount3 = {0.02, 0.04, 0.06, 0.0, 0.0};
    SetCoupons({45, 75}, {50, 80}, {0.01, 0.01}, 0.8, 2);
    NTrials = 200.0;
    Bind();
  }

  // Makes the price linear in the first stock's spot: flat volatility, no
  // redemption, no knock-in, no coupons, a maturity payoff 2 + b - worst with
  // wide limits and undiscounted payments.
  void MakeLinear(double b) {
    SetFlatVol(0.2);
    for (int d = 0; d < 3; ++d) SetStrike(3, d, kNever);
    KO_Barrier.assign(3, kNever);
    KI_Barrier.assign(NStock, 0.0);
    PayOffSlope3[3] = -1.0;
    PayOffAmount3[3] = b;
    CurveInfo_Disc.assign(2, 0.0);
    NCoupon = 0;
    PayOffLimit0 = PayOffLimit1 = 10.0;
    Bind();
  }

  void Bind() { a = View(); }
};

// Price of one core-entry call with its own result block; status in *rc.
inline double CorePrice(const CoreArgs& args, int* rc = nullptr) {
  std::vector<double> prob(args.NStrike + 2), cf(args.NStrike + 2);
  std::vector<double> cprob(args.NCoupon + 1), ccf(args.NCoupon + 1);
  double price = -1.0;
  CoreResults out;
  out.ELS_Prob = prob.data();
  out.ELS_Cf = cf.data();
  out.ELS_Coupon_Prob = cprob.data();
  out.ELS_Coupon_Cf = ccf.data();
  out.ResultPrice = &price;
  const int status = MorvikCore(args, out);
  if (rc) *rc = status;
  return price;
}

}  // namespace morvik::testing_note
