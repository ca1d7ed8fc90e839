// The time sensitivity's step, direction and shifted schedules.
#include "sensitivities/time_shift.h"

namespace morvik {

int ThetaStep(const int* windowLen, int n) {
  int h = 4;
  for (int i = 0; i < n; ++i)
    if (windowLen[i] > h) h = windowLen[i];
  return h;
}

bool ThetaBackward(const CoreArgs& a, int h) {
  if (a.FixedFlag[0] != 0 || a.FixedFlag[1] != 0) return true;
  for (int i = 0; i < a.NStrike; ++i)
    if (a.KO_ObsDays[i] > 0 && a.KO_ObsDays[i] <= h) return true;
  for (int j = 0; j < a.NCoupon; ++j)
    if (a.Coupon_ObsDays[j] > 0 && a.Coupon_ObsDays[j] <= h) return true;
  return false;
}

void ShiftSchedule(const int* obs, const int* pay, int n, int shift, std::size_t room,
                   std::vector<int>& obsOut, std::vector<int>& payOut) {
  obsOut.assign(room, 0);
  payOut.assign(room, 0);
  for (int i = 0; i < n; ++i) {
    const bool settled = pay[i] <= 0;
    // Pushed further away, an observed date whose payment is pending would
    // come back as a future observation and be simulated instead of
    // settled on its fixings: only its payment moves.
    const bool keepObservation = settled || (shift > 0 && obs[i] <= 0);
    obsOut[i] = keepObservation ? obs[i] : obs[i] + shift;
    payOut[i] = settled ? pay[i] : pay[i] + shift;
  }
}

void BuildScheduleShift(const CoreArgs& args, ScheduleShift& t) {
  const std::size_t nStrike = args.NStrike > 0 ? static_cast<std::size_t>(args.NStrike) : 0u;
  const std::size_t coupons = args.NCoupon + 1 > 0 ? static_cast<std::size_t>(args.NCoupon + 1) : 0u;
  t.h = ThetaStep(args);
  t.backward = ThetaBackward(args, t.h);
  const int shift = t.backward ? t.h : -t.h;
  ShiftSchedule(args.KO_ObsDays, args.KO_PayDays, args.NStrike, shift, nStrike, t.koObs, t.koPay);
  ShiftSchedule(args.Coupon_ObsDays, args.Coupon_PayDays, args.NCoupon, shift, coupons, t.cpObs,
                t.cpPay);
}

}  // namespace morvik
