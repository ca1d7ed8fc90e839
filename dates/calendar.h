// Calendar dates (yyyymmdd), spreadsheet serial dates and day differences.
#pragma once

namespace morvik {

// Days from the first to the second calendar date (negative when the second
// is earlier); -1 or -2 when a date is out of range or malformed.
int CdrDDiff(int FirstDate, int SecondDate);

// True when yyyymmdd names a day of the Gregorian calendar in the accepted
// range 19000101..99991231 (so 19000229 is not a real date).
bool IsRealCalendarDate(int date);

// yyyymmdd calendar date to spreadsheet serial date (1900 system, with its
// 29 February 1900 at serial 60); -1 out of 19000101..99991231, -2 bad
// month, -3 bad day (the export CdrD2ExcD).
int CalendarToSerial(int CalendarDate);

// Spreadsheet serial date to yyyymmdd calendar date; -1 outside
// 1..7195278 (the export ExcD2CdrD).
int SerialToCalendar(int SerialDate);

}  // namespace morvik
