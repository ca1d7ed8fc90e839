// The bumped input sets of the table's rows and the differences that turn
// their prices into greeks.
#include "sensitivities/bump_table.h"

#include <cstddef>

#include "numerics/conventions.h"

namespace morvik {

namespace {

std::size_t Count(int n) { return n > 0 ? static_cast<std::size_t>(n) : 0u; }

std::vector<double> CopyOf(const double* src, std::size_t n) {
  return n > 0 ? std::vector<double>(src, src + n) : std::vector<double>();
}

// CurPrice with element k-1 multiplied by factor (no change for k outside
// 1..NStock).
std::vector<double> ScaledPrice(const CoreArgs& a, int k, double factor) {
  std::vector<double> p = CopyOf(a.CurPrice, Count(a.NStock));
  if (k >= 1 && k <= a.NStock) p[k - 1] = ScaledSpot(p[k - 1], factor);
  return p;
}

void SpotSets(const Bump& b, const CoreArgs& args, BumpedSets& s) {
  s.firstValues = ScaledPrice(args, b.stock, b.row.up);
  s.secondValues = ScaledPrice(args, b.stock, b.row.down);
  s.first.CurPrice = s.firstValues.data();
  s.second.CurPrice = s.secondValues.data();
}

// Stock k's local volatility block moved up and down (the down value
// floored at kVolFloor); the other blocks are copied unchanged.
void VolSets(const Bump& b, const CoreArgs& args, BumpedSets& s) {
  const std::size_t total = static_cast<std::size_t>(SurfaceBlockStart(args.NVol, args.NParity, args.NStock));
  std::size_t begin = 0, len = 0;
  if (b.stock >= 1 && b.stock <= args.NStock) {
    begin = static_cast<std::size_t>(SurfaceBlockStart(args.NVol, args.NParity, b.stock - 1));
    len = static_cast<std::size_t>(SurfaceBlockLength(args.NVol[b.stock - 1], args.NParity[b.stock - 1]));
  }
  s.firstValues = CopyOf(args.LocalVolSurface, total);
  s.secondValues = s.firstValues;
  for (std::size_t m = begin; m < begin + len; ++m) {
    s.firstValues[m] = s.firstValues[m] + b.row.up;
    s.secondValues[m] = FlooredVol(s.secondValues[m] - b.row.down);
  }
  s.first.LocalVolSurface = s.firstValues.data();
  s.second.LocalVolSurface = s.secondValues.data();
}

// Every stock's rate curve and the discount curve moved in parallel; the
// tenors stay.
void RateSets(const Bump& b, const CoreArgs& args, BumpedSets& s) {
  std::size_t nStock = 0;
  for (int i = 0; i < args.NStock; ++i) nStock += Count(args.NT_Stock[i]);
  const std::size_t nDisc = Count(args.NT_Disc);
  s.firstValues = CopyOf(args.CurveInfo_Stock, nStock);
  s.secondValues = s.firstValues;
  s.firstDisc = CopyOf(args.CurveInfo_Disc, nDisc);
  s.secondDisc = s.firstDisc;
  for (std::size_t m = 0; m < nStock; ++m) {
    s.firstValues[m] = ShiftedRate(s.firstValues[m], b.row.up);
    s.secondValues[m] = ShiftedRate(s.secondValues[m], -b.row.down);
  }
  for (std::size_t m = 0; m < nDisc; ++m) {
    s.firstDisc[m] = ShiftedRate(s.firstDisc[m], b.row.up);
    s.secondDisc[m] = ShiftedRate(s.secondDisc[m], -b.row.down);
  }
  s.first.CurveInfo_Stock = s.firstValues.data();
  s.first.CurveInfo_Disc = s.firstDisc.data();
  s.second.CurveInfo_Stock = s.secondValues.data();
  s.second.CurveInfo_Disc = s.secondDisc.data();
}

// The first set is the unchanged inputs, the second the shifted schedule.
void TimeSets(const CoreArgs& args, BumpedSets& s) {
  BuildScheduleShift(args, s.shift);
  s.second.KO_ObsDays = s.shift.koObs.data();
  s.second.KO_PayDays = s.shift.koPay.data();
  s.second.Coupon_ObsDays = s.shift.cpObs.data();
  s.second.Coupon_PayDays = s.shift.cpPay.data();
}

}  // namespace

std::vector<Bump> SensitivityBumps(int nStock, int mode) {
  std::vector<Bump> bumps;
  if (mode < 1) return bumps;
  for (int k = 1; k <= nStock; ++k)
    for (const BumpRow& r : kStockRows) bumps.push_back(Bump{r, k});
  if (mode >= 2)
    for (const BumpRow& r : kNoteRows) bumps.push_back(Bump{r, 0});
  return bumps;
}

void BuildBumpedSets(const Bump& b, const CoreArgs& args, BumpedSets& s) {
  s.first = args;
  s.second = args;
  switch (b.row.kind) {
    case BumpKind::kSpot:
      SpotSets(b, args, s);
      break;
    case BumpKind::kVol:
      VolSets(b, args, s);
      break;
    case BumpKind::kRate:
      RateSets(b, args, s);
      break;
    case BumpKind::kTime:
      TimeSets(args, s);
      break;
  }
}

double CombinePrices(const Bump& b, const BumpedSets& s, double first, double second,
                     double unchanged) {
  switch (b.row.combine) {
    case Combine::kHalfDifference:
      return (first - second) * 0.5;
    case Combine::kSecondDifference:
      return (first + second - 2.0 * unchanged) / 100.0;
    case Combine::kTimeDifference: {
      const double hd = static_cast<double>(s.shift.h);
      return s.shift.backward ? (first - second) / hd : (second - first) / hd;
    }
  }
  return 0.0;
}

}  // namespace morvik
