// The schedule moves of the time sensitivity: its step, its direction and
// the shifted day counts it revalues.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/core_args.h"

namespace morvik {

// Step of the time difference in days: the larger of 4 and the longest of
// the n observation windows.
int ThetaStep(const int* windowLen, int n);
inline int ThetaStep(const CoreArgs& a) { return ThetaStep(a.KO_WindowLen, a.NStrike); }

// True when the time difference must look backward: fixings of a running
// window are known, or moving the schedule h days nearer would bring a
// future observation to the pricing date or before it.
bool ThetaBackward(const CoreArgs& a, int h);

// Observation and payment day counts moved by `shift` days (> 0: further
// away). A date whose payment day is 0 or less is settled and keeps its
// day counts, so that a shift can never bring it back as pending. Moved
// further away, a date already observed whose payment is pending keeps its
// observation day and moves only its payment, so it is still settled on
// its fixings. The copies have room for `room` entries; entries from n on
// are 0.
void ShiftSchedule(const int* obs, const int* pay, int n, int shift, std::size_t room,
                   std::vector<int>& obsOut, std::vector<int>& payOut);

// The schedule moved ThetaStep days, further away when ThetaBackward says
// so and nearer otherwise: the shifted day counts of the redemption and
// coupon dates.
struct ScheduleShift {
  int h = 0;
  bool backward = false;
  std::vector<int> koObs, koPay, cpObs, cpPay;
};

void BuildScheduleShift(const CoreArgs& args, ScheduleShift& t);

}  // namespace morvik
