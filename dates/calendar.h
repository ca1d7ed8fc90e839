// Calendar dates (yyyymmdd), spreadsheet serial dates and day differences.
#pragma once

#include "interface/morvik.h"  // CdrD2ExcD, ExcD2CdrD

namespace morvik {

// Days from the first to the second calendar date (negative when the second
// is earlier); -1 or -2 when a date is out of range or malformed.
int CdrDDiff(int FirstDate, int SecondDate);

// True when yyyymmdd names a day of the Gregorian calendar in the accepted
// range 19000101..99991231 (so 19000229 is not a real date).
bool IsRealCalendarDate(int date);

}  // namespace morvik
