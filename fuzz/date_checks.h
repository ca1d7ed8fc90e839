// Properties of the calendar routines, checked on arbitrary integers: the
// serial conversions are inverse to each other over their common range, the
// day difference is antisymmetric, additive and equal to an independent
// Gregorian day count. Shared by the date fuzz target and the corpus replay
// test; each check returns an empty string or a description of the failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "dates/calendar.h"
#include "interface/morvik.h"

namespace morvik::fuzzing {

inline constexpr int kFirstDate = 19000101;
inline constexpr int kLastDate = 99991231;
inline constexpr int kLastSerial = 2958465;        // 31 December 9999
inline constexpr int kLastExtendedSerial = 7195278;  // 31 December 21599

inline bool InDateRange(int d) { return d >= kFirstDate && d <= kLastDate; }

// Days since 1 January 1970 of a proleptic Gregorian date (civil-from-days
// inverse, computed on 64-bit integers with floor divisions).
inline int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// True when yyyymmdd is a day of the Gregorian calendar (any year >= 1).
inline bool IsGregorianDate(int date) {
  if (date < 10101) return false;
  const int y = date / 10000, m = (date / 100) % 100, d = date % 100;
  if (m < 1 || m > 12 || d < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + ((m == 2 && leap) ? 1 : 0);
}

inline int64_t DayNumber(int date) {
  return DaysFromCivil(date / 10000, (date / 100) % 100, date % 100);
}

// Serial of a real Gregorian date in the 1900 spreadsheet system: days since
// 30 December 1899, less the phantom 29 February 1900 before March 1900.
inline int64_t ExpectedSerial(int date) {
  const int64_t n = DayNumber(date) - DaysFromCivil(1899, 12, 30);
  return date < 19000301 ? n - 1 : n;
}

inline std::string Describe(const char* what, int64_t a, int64_t b, int64_t got, int64_t want) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s(%lld, %lld) = %lld, expected %lld", what,
                static_cast<long long>(a), static_cast<long long>(b),
                static_cast<long long>(got), static_cast<long long>(want));
  return buf;
}

// Calendar date to serial and back.
inline std::string CheckCalendarDate(int d) {
  const int s = CdrD2ExcD(d);
  if (!InDateRange(d)) return s == -1 ? "" : Describe("CdrD2ExcD out of range", d, 0, s, -1);
  const bool real = IsGregorianDate(d) || d == 19000229;
  if (!real) {
    if (s != -2 && s != -3) return Describe("CdrD2ExcD bad date", d, 0, s, -2);
    const int m = (d / 100) % 100;
    const int want = (m < 1 || m > 12) ? -2 : -3;
    return s == want ? "" : Describe("CdrD2ExcD bad date code", d, 0, s, want);
  }
  const int64_t want = d == 19000229 ? 60 : ExpectedSerial(d);
  if (s != want) return Describe("CdrD2ExcD", d, 0, s, want);
  const int back = ExcD2CdrD(s);
  if (back != d) return Describe("ExcD2CdrD(CdrD2ExcD)", d, s, back, d);
  return "";
}

// Serial to calendar date and back; above 9999 the result only has to be a
// real date that follows the previous serial's date by one day.
inline std::string CheckSerial(int s) {
  const int c = ExcD2CdrD(s);
  if (s < 1 || s > kLastExtendedSerial) return c == -1 ? "" : Describe("ExcD2CdrD out of range", s, 0, c, -1);
  if (s <= kLastSerial) {
    const int back = CdrD2ExcD(c);
    if (back != s) return Describe("CdrD2ExcD(ExcD2CdrD)", s, c, back, s);
    return "";
  }
  if (!IsGregorianDate(c) || c <= kLastDate) return Describe("ExcD2CdrD beyond 9999", s, 0, c, 0);
  const int prev = ExcD2CdrD(s - 1);
  if (DayNumber(c) - DayNumber(prev) != 1) return Describe("ExcD2CdrD step", s - 1, s, c, prev);
  return "";
}

// The day difference on two integers.
inline std::string CheckDayDifference(int a, int b) {
  const int ab = CdrDDiff(a, b);
  const int ba = CdrDDiff(b, a);
  if (!InDateRange(a) || !InDateRange(b)) {
    if (ab != -1 || ba != -1) return Describe("CdrDDiff out of range", a, b, ab, -1);
    return "";
  }
  if (ab != -ba) return Describe("CdrDDiff antisymmetry", a, b, ab, -ba);
  if (IsGregorianDate(a) && IsGregorianDate(b)) {
    const int64_t want = DayNumber(b) - DayNumber(a);
    if (ab != want) return Describe("CdrDDiff", a, b, ab, want);
    if (a >= 19000301 && b >= 19000301 && ab != CdrD2ExcD(b) - CdrD2ExcD(a))
      return Describe("CdrDDiff vs serials", a, b, ab, CdrD2ExcD(b) - CdrD2ExcD(a));
  } else if (a != b) {
    // A malformed operand gives the code of the ascending call: -1 when the
    // earlier integer is malformed, otherwise -2.
    const int lo = a < b ? a : b;
    const int want = (IsGregorianDate(lo) ? -2 : -1) * (a < b ? 1 : -1);
    if (ab != want) return Describe("CdrDDiff bad date code", a, b, ab, want);
  } else if (ab != 0) {
    return Describe("CdrDDiff equal integers", a, b, ab, 0);
  }
  return "";
}

// Additivity over three real dates.
inline std::string CheckDayChain(int a, int b, int c) {
  if (!InDateRange(a) || !InDateRange(b) || !InDateRange(c)) return "";
  if (!IsGregorianDate(a) || !IsGregorianDate(b) || !IsGregorianDate(c)) return "";
  const int ab = CdrDDiff(a, b), bc = CdrDDiff(b, c), ac = CdrDDiff(a, c);
  if (ab + bc != ac) return Describe("CdrDDiff chain", a, c, ab + bc, ac);
  return "";
}

// Turns an arbitrary integer into a plausible date near it so that the
// fuzzer reaches valid dates often: the low bits choose the year, month and
// day fields separately (month 0..15, day 0..34).
inline int NearDate(uint32_t bits) {
  const int year = 1899 + static_cast<int>(bits % 8103u);  // 1899..10001
  const int month = static_cast<int>((bits >> 13) % 16u);
  const int day = static_cast<int>((bits >> 17) % 35u);
  return year * 10000 + month * 100 + day;
}

// All properties on one record of four 32-bit words.
inline std::string CheckDateRecord(const uint32_t w[4]) {
  const int raw = static_cast<int>(w[0]);
  const int d1 = NearDate(w[1]);
  const int d2 = NearDate(w[2]);
  const int serial = static_cast<int>(w[3] % 7195400u) - 60;
  std::string e;
  if (!(e = CheckCalendarDate(raw)).empty()) return e;
  if (!(e = CheckCalendarDate(d1)).empty()) return e;
  if (!(e = CheckSerial(serial)).empty()) return e;
  if (!(e = CheckSerial(static_cast<int>(w[3]))).empty()) return e;
  if (!(e = CheckDayDifference(d1, d2)).empty()) return e;
  if (!(e = CheckDayDifference(raw, d2)).empty()) return e;
  // A third date a few days away keeps the chain inside one or two months.
  const int d3 = ExcD2CdrD(CdrD2ExcD(d2) + static_cast<int>(w[0] % 97u));
  if (d3 > 0 && !(e = CheckDayChain(d1, d2, d3)).empty()) return e;
  return "";
}

// Runs every record of the input (16 bytes each; a short tail is padded).
inline std::string CheckDateBytes(const uint8_t* data, std::size_t size) {
  for (std::size_t off = 0; off < size || off == 0; off += 16) {
    uint32_t w[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < 16 && off + k < size; ++k)
      w[k / 4] |= static_cast<uint32_t>(data[off + k]) << (8 * (k % 4));
    std::string e = CheckDateRecord(w);
    if (!e.empty()) return e;
    if (size == 0) break;
  }
  return "";
}

}  // namespace morvik::fuzzing
