// Dates of term sheets: ISO text (YYYY-MM-DD) to yyyymmdd and back, with a
// reason when the text is not a date, and date arithmetic. Day counts are
// the library's own (dates/calendar.h: calendar days, CdrDDiff).
#pragma once

#include <string>

namespace morvik {

// "2025-06-30" -> 20250630; false for anything but a real Gregorian date
// from 1900-01-01 to 9999-12-31 written as YYYY-MM-DD.
bool ParseIsoDate(const std::string& text, int& yyyymmdd);

// As ParseIsoDate; when false, `why` says what is wrong: not the form
// YYYY-MM-DD, no such month, no such day in that month, or out of range.
bool ReadIsoDate(const std::string& text, int& yyyymmdd, std::string& why);

// 20250630 -> "2025-06-30".
std::string FormatIsoDate(int yyyymmdd);

// Calendar days from the first to the second yyyymmdd date (both real
// dates), counted as the library counts them (CdrDDiff).
int DaysBetween(int fromDate, int toDate);

// The date `days` calendar days after `date` (before it when negative), so
// that DaysBetween(date, AddDays(date, days)) == days; 0 when the result
// would leave 1900-01-01..9999-12-31.
int AddDays(int date, int days);

// The date `months` calendar months after `date`, on the same day of the
// month or the month's last day when it is shorter; 0 out of range.
int AddMonths(int date, int months);

// Day of the week: 0 Monday .. 6 Sunday.
int Weekday(int date);

}  // namespace morvik
