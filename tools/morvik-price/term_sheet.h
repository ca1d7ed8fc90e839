// JSON term sheets: a note and its market in the domain's words, turned into
// the flat arrays of the full pricing call.
#pragma once

#include <string>
#include <vector>

namespace morvik {

// Every input of ZUNP_CalcMorvikMC, owned, under the call's own names, plus
// the labels the report needs. Arrays follow the call's layouts exactly.
struct NoteInputs {
  std::string name;
  std::string currency;
  std::vector<std::string> underlyingNames;

  int PriceDate = 0;
  double NotionalAMT = 0.0;
  std::vector<double> UnderlyingPrice;
  std::vector<double> TCurveInfo;
  std::vector<double> CurveInfo;
  std::vector<int> NT;
  std::vector<double> TVol;
  std::vector<double> Parity;
  std::vector<double> LocalVolSurface;
  std::vector<int> NVol;
  std::vector<int> NParity;
  std::vector<double> UnderlyingCorr;
  std::vector<int> TDiv;
  std::vector<double> Div;
  std::vector<int> NDiv;
  std::vector<int> Div_TypeFlag;
  std::vector<double> FX_TVol;
  std::vector<double> FX_Vol;
  std::vector<int> FX_NVol;
  std::vector<double> FX_Corr;
  std::vector<int> QuantoFlag;
  int NStock = 0;
  int NStrike = 0;
  std::vector<double> X;
  std::vector<double> KO_Barrier;
  std::vector<double> KI_Barrier;
  std::vector<double> PayOffSlope;
  std::vector<double> PayOffAmount;
  std::vector<int> DatesInfo;
  std::vector<double> RedemCoupon;
  std::vector<int> KnockBarrierFlag{0, 0};
  std::vector<int> BeKO_Hitted;
  int BeKI_Hitted = 0;
  int NCoupon = 0;
  std::vector<double> CouponBarrier;
  std::vector<double> Coupon;
  std::vector<int> CouponDatesInfo;
  int CouponBarrierFlag = 0;
  int BeCouponBarrierHitted = 0;
  double NTrials = 0.0;
  std::vector<double> PayOffLimit{0.0, 0.0};
  int NAFlag = 1;
  std::vector<double> SC;
  std::vector<double> Coupon_SC;
  std::vector<int> FixedFlag{0, 0};
  std::vector<int> CalcFlag{0, 0};
};

// The knock-out level the tool passes when a date has no touch barrier: no
// performance ever reaches it.
inline constexpr double kNoTouchBarrier = 1.0e6;

// Default number of trials when the term sheet does not say.
inline constexpr double kDefaultTrials = 10000.0;

// A term sheet that could not be read: "line:column: ..." for text that is
// not JSON, "path: ..." for a missing or mistyped field.
struct TermSheetError {
  bool notJson = false;
  int line = 0;
  int column = 0;
  std::string path;
  std::string message;
};

// Formats the error for the user, without the file name.
std::string Describe(const TermSheetError& error);

// Parses a term sheet. Returns true and fills note, or false and fills error.
// Never throws.
bool ParseTermSheet(const std::string& text, NoteInputs& note, TermSheetError& error);

// 1-based line and column of a 0-based byte offset in text.
void LineAndColumn(const std::string& text, std::size_t offset, int& line, int& column);

// "2025-06-30" -> 20250630; false for anything but a real Gregorian date
// written as YYYY-MM-DD.
bool ParseIsoDate(const std::string& text, int& yyyymmdd);

// 20250630 -> "2025-06-30".
std::string FormatIsoDate(int yyyymmdd);

// Calendar days from the first to the second yyyymmdd date (both real dates).
int DaysBetween(int fromDate, int toDate);

}  // namespace morvik
