#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "dates/calendar.h"
#include "interface/morvik.h"

using morvik::CdrDDiff;
using morvik::IsRealCalendarDate;

namespace {

namespace chr = std::chrono;

// Independent reference: the standard library's proleptic Gregorian calendar.
// From 1 March 1900 on a spreadsheet serial is the day count since
// 30 December 1899.
int DaysSinceEpoch1899(int yyyymmdd) {
  const chr::year_month_day ymd{chr::year{yyyymmdd / 10000},
                                chr::month{static_cast<unsigned>(yyyymmdd / 100 % 100)},
                                chr::day{static_cast<unsigned>(yyyymmdd % 100)}};
  const chr::sys_days epoch = chr::year{1899} / chr::December / 30;
  return static_cast<int>((chr::sys_days{ymd} - epoch).count());
}

int DateFromDaysSince1899(int days) {
  const chr::sys_days epoch = chr::year{1899} / chr::December / 30;
  const chr::year_month_day ymd{epoch + chr::days{days}};
  return static_cast<int>(ymd.year()) * 10000 + static_cast<int>(static_cast<unsigned>(ymd.month())) * 100 +
         static_cast<int>(static_cast<unsigned>(ymd.day()));
}

int TrueDayDifference(int from, int to) { return DaysSinceEpoch1899(to) - DaysSinceEpoch1899(from); }

// Small deterministic generator for sampled date pairs.
struct Lcg {
  std::uint64_t s;
  int Below(int n) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((s >> 33) % static_cast<std::uint64_t>(n));
  }
};

}  // namespace

TEST(CdrD2ExcD, ListedSerials) {
  EXPECT_EQ(CdrD2ExcD(19000101), 1);
  EXPECT_EQ(CdrD2ExcD(19000228), 59);
  EXPECT_EQ(CdrD2ExcD(19000229), 60);
  EXPECT_EQ(CdrD2ExcD(19000301), 61);
  EXPECT_EQ(CdrD2ExcD(19001231), 366);
  EXPECT_EQ(CdrD2ExcD(19010101), 367);
  EXPECT_EQ(CdrD2ExcD(20000101), 36526);
  EXPECT_EQ(CdrD2ExcD(20240229), 45351);
  EXPECT_EQ(CdrD2ExcD(99991231), 2958465);
}

TEST(CdrD2ExcD, ErrorCodes) {
  // Whole-integer range first.
  EXPECT_EQ(CdrD2ExcD(19000100), -1);
  EXPECT_EQ(CdrD2ExcD(99991232), -1);
  EXPECT_EQ(CdrD2ExcD(0), -1);
  EXPECT_EQ(CdrD2ExcD(-20240101), -1);
  EXPECT_EQ(CdrD2ExcD(INT32_MAX), -1);
  EXPECT_EQ(CdrD2ExcD(INT32_MIN), -1);
  // Month.
  EXPECT_EQ(CdrD2ExcD(20241301), -2);
  EXPECT_EQ(CdrD2ExcD(20240001), -2);
  EXPECT_EQ(CdrD2ExcD(20249901), -2);
  // Day.
  EXPECT_EQ(CdrD2ExcD(20230229), -3);
  EXPECT_EQ(CdrD2ExcD(20240230), -3);
  EXPECT_EQ(CdrD2ExcD(20240431), -3);
  EXPECT_EQ(CdrD2ExcD(20240100), -3);
  EXPECT_EQ(CdrD2ExcD(21000229), -3);  // century, not a leap year
  EXPECT_EQ(CdrD2ExcD(20000229), 36585);  // divisible by 400: leap
}

TEST(ExcD2CdrD, ListedDates) {
  EXPECT_EQ(ExcD2CdrD(0), -1);
  EXPECT_EQ(ExcD2CdrD(-1), -1);
  EXPECT_EQ(ExcD2CdrD(INT32_MIN), -1);
  EXPECT_EQ(ExcD2CdrD(1), 19000101);
  EXPECT_EQ(ExcD2CdrD(59), 19000228);
  EXPECT_EQ(ExcD2CdrD(60), 19000229);
  EXPECT_EQ(ExcD2CdrD(61), 19000301);
  EXPECT_EQ(ExcD2CdrD(366), 19001231);
  EXPECT_EQ(ExcD2CdrD(367), 19010101);
  EXPECT_EQ(ExcD2CdrD(36526), 20000101);
  EXPECT_EQ(ExcD2CdrD(2958465), 99991231);
  EXPECT_EQ(ExcD2CdrD(7195278), 215991231);
  EXPECT_EQ(ExcD2CdrD(7195279), -1);
  EXPECT_EQ(ExcD2CdrD(INT32_MAX), -1);
}

// Walks every accepted date in calendar order: serials must be consecutive,
// match the reference day count from 1 March 1900 on, and convert back.
TEST(SerialDates, EveryDateRoundTrips) {
  static const int kLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int epochMarch1900 = DaysSinceEpoch1899(19000301);
  ASSERT_EQ(epochMarch1900, 61);
  int expected = 1;
  int mismatches = 0;
  for (int y = 1900; y <= 9999; ++y) {
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0 || y == 1900;
    for (int m = 1; m <= 12; ++m) {
      const int len = (m == 2 && leap) ? 29 : kLen[m - 1];
      for (int d = 1; d <= len; ++d) {
        const int date = y * 10000 + m * 100 + d;
        const int serial = CdrD2ExcD(date);
        const bool ok = serial == expected && ExcD2CdrD(serial) == date &&
                        (expected < 61 || serial == DaysSinceEpoch1899(date));
        if (!ok && ++mismatches <= 5) {
          ADD_FAILURE() << "date " << date << " serial " << serial << " expected " << expected
                        << " back " << ExcD2CdrD(serial);
        }
        ++expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(expected - 1, 2958465);
}

// Every serial the conversion accepts, including those past the year 9999,
// names the reference calendar's date for that day count.
TEST(SerialDates, EverySerialMatchesReferenceCalendar) {
  int mismatches = 0;
  for (int serial = 61; serial <= 7195278; ++serial) {
    const int got = ExcD2CdrD(serial);
    const int want = DateFromDaysSince1899(serial);
    if (got != want && ++mismatches <= 5) {
      ADD_FAILURE() << "serial " << serial << " gave " << got << " expected " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Century boundaries past 9999 follow the Gregorian rule.
  EXPECT_EQ(ExcD2CdrD(DaysSinceEpoch1899(101000228) + 1), 101000301);  // 10100 is common
  EXPECT_EQ(ExcD2CdrD(DaysSinceEpoch1899(104000228) + 1), 104000229);  // 10400 is leap
}

TEST(CdrDDiff, ListedDifferences) {
  EXPECT_EQ(CdrDDiff(19000101, 19000301), 59);
  EXPECT_EQ(CdrD2ExcD(19000301) - CdrD2ExcD(19000101), 60);
  EXPECT_EQ(CdrDDiff(20240101, 20240201), 31);
  EXPECT_EQ(CdrDDiff(20240201, 20240101), -31);
  EXPECT_EQ(CdrDDiff(20240210, 20240229), 19);
  EXPECT_EQ(CdrDDiff(20240101, 20240301), 60);
  EXPECT_EQ(CdrDDiff(20231231, 20240101), 1);
  EXPECT_EQ(CdrDDiff(20231231, 20240201), 32);
  // Hand-counted spans across several years and centuries.
  EXPECT_EQ(CdrDDiff(20000101, 20010101), 366);
  EXPECT_EQ(CdrDDiff(21000101, 21010101), 365);
  EXPECT_EQ(CdrDDiff(20000101, 21000101), 36525);
  EXPECT_EQ(CdrDDiff(21000101, 22000101), 36524);
  EXPECT_EQ(CdrDDiff(20000101, 24000101), 146097);
  EXPECT_EQ(CdrDDiff(19000101, 99991231), 2958463);
  EXPECT_EQ(CdrDDiff(99991231, 19000101), -2958463);
  EXPECT_EQ(CdrDDiff(19000228, 19000301), 1);  // 1900 is a common year here
}

TEST(CdrDDiff, ErrorCodesFollowAscendingOrder) {
  // Equal integers are not checked.
  EXPECT_EQ(CdrDDiff(20240230, 20240230), 0);
  // Bad earlier date: -1; bad later date: -2; negated when given in reverse.
  EXPECT_EQ(CdrDDiff(20240230, 20240315), -1);
  EXPECT_EQ(CdrDDiff(20240315, 20240230), 1);
  EXPECT_EQ(CdrDDiff(20240101, 20240230), -2);
  EXPECT_EQ(CdrDDiff(20240230, 20240101), 2);
  EXPECT_EQ(CdrDDiff(20241301, 20250101), -1);
  EXPECT_EQ(CdrDDiff(20240101, 20241301), -2);
  // 19000229 is not a real day for the difference.
  EXPECT_EQ(CdrDDiff(19000229, 19000301), -1);
  EXPECT_EQ(CdrDDiff(19000101, 19000229), -2);
  // Range is checked before ordering, so the code is never negated.
  EXPECT_EQ(CdrDDiff(19000100, 20240101), -1);
  EXPECT_EQ(CdrDDiff(20240101, 19000100), -1);
  EXPECT_EQ(CdrDDiff(99991232, 20240101), -1);
  EXPECT_EQ(CdrDDiff(20240101, 99991232), -1);
  EXPECT_EQ(CdrDDiff(INT32_MIN, INT32_MAX), -1);
}

// From 1 March 1900 on the day difference equals the serial difference; over
// the whole range it is the true Gregorian difference and antisymmetric.
TEST(CdrDDiff, AgreesWithSerialsAndReferenceAndIsAntisymmetric) {
  std::vector<int> dates;
  dates.reserve(2958464);
  for (int serial = 1; serial <= 2958465; ++serial) {
    const int date = ExcD2CdrD(serial);
    if (date != 19000229) dates.push_back(date);
  }
  ASSERT_EQ(dates.size(), 2958464u);

  int mismatches = 0;
  auto check = [&](int a, int b) {
    const int ab = CdrDDiff(a, b);
    const int ba = CdrDDiff(b, a);
    bool ok = ab == -ba && ab == TrueDayDifference(a, b);
    if (a >= 19000301 && b >= 19000301) ok = ok && ab == CdrD2ExcD(b) - CdrD2ExcD(a);
    if (!ok && ++mismatches <= 5) {
      ADD_FAILURE() << "CdrDDiff(" << a << ", " << b << ") = " << ab << ", reverse " << ba
                    << ", reference " << TrueDayDifference(a, b);
    }
  };

  // Every date against fixed anchors (year starts, leap days, range ends).
  const int anchors[] = {19000301, 20240229};
  for (int a : anchors) {
    for (int b : dates) check(a, b);
  }
  // Sampled pairs, plus pairs close together where month and year edges meet.
  Lcg rng{12345};
  const int n = static_cast<int>(dates.size());
  for (int k = 0; k < 200000; ++k) {
    const int i = rng.Below(n);
    check(dates[i], dates[rng.Below(n)]);
    const int j = i + rng.Below(800);
    if (j < n) check(dates[i], dates[j]);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(IsRealCalendarDate, AcceptsOnlyGregorianDaysInRange) {
  EXPECT_TRUE(IsRealCalendarDate(19000101));
  EXPECT_TRUE(IsRealCalendarDate(19000228));
  EXPECT_TRUE(IsRealCalendarDate(19000301));
  EXPECT_TRUE(IsRealCalendarDate(20000229));
  EXPECT_TRUE(IsRealCalendarDate(20240229));
  EXPECT_TRUE(IsRealCalendarDate(20241231));
  EXPECT_TRUE(IsRealCalendarDate(99991231));

  EXPECT_FALSE(IsRealCalendarDate(19000229));  // only the serial system counts it
  EXPECT_FALSE(IsRealCalendarDate(21000229));
  EXPECT_FALSE(IsRealCalendarDate(20230229));
  EXPECT_FALSE(IsRealCalendarDate(20240230));
  EXPECT_FALSE(IsRealCalendarDate(20240431));
  EXPECT_FALSE(IsRealCalendarDate(20240100));
  EXPECT_FALSE(IsRealCalendarDate(20240001));
  EXPECT_FALSE(IsRealCalendarDate(20241301));
  EXPECT_FALSE(IsRealCalendarDate(19000100));
  EXPECT_FALSE(IsRealCalendarDate(99991232));
  EXPECT_FALSE(IsRealCalendarDate(0));
  EXPECT_FALSE(IsRealCalendarDate(-20240101));
}

// A real date is exactly one the serial conversion accepts, apart from the
// serial system's 29 February 1900.
TEST(IsRealCalendarDate, MatchesSerialConversionOverEveryYearMonthDay) {
  int mismatches = 0;
  for (int y = 1900; y <= 9999; ++y) {
    for (int m = 0; m <= 13; ++m) {
      for (int d = 0; d <= 32; ++d) {
        const int date = y * 10000 + m * 100 + d;
        const bool want = CdrD2ExcD(date) > 0 && date != 19000229;
        if (IsRealCalendarDate(date) != want && ++mismatches <= 5) {
          ADD_FAILURE() << "date " << date;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}
