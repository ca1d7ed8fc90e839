// Properties of the term-sheet layer, checked on arbitrary text: a term
// sheet either reads or gets an error with a message (and a line and column
// within the text when it has a place); one that reads has an explicit form
// that reads back to the same explicit form and the same call; a short note
// is priced on a few trials and its report, JSON and CSV are rendered.
// Shared by the term-sheet fuzz target and the corpus replay test; the check
// returns an empty string or a description of the failure.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>

#include "termsheet/book_risk.h"
#include "termsheet/pricing.h"
#include "termsheet/report.h"
#include "termsheet/term_sheet.h"

namespace morvik::fuzzing {

// Trials of a fuzzed note: enough to reach every outcome's code, few enough
// that an input runs in milliseconds.
inline constexpr long long kTermSheetTrials = 64;

// Notes simulated over more underlying-days than this are read and expanded
// but not priced: the valuation has its own target, and a long schedule is
// slow for the schedule's sake, not the text's.
inline constexpr long long kMaxPricedStockDays = 8000;

// Calendar days from the pricing date to the note's last date.
inline long long SimulatedDays(const NoteInputs& n) {
  int last = n.PriceDate;
  // DatesInfo: observation and payment dates, then window lengths and rules.
  const std::size_t dates = std::min(n.DatesInfo.size(), 2 * static_cast<std::size_t>(std::max(n.NStrike, 0)));
  for (std::size_t k = 0; k < dates; ++k) last = std::max(last, n.DatesInfo[k]);
  for (int d : n.CouponDatesInfo) last = std::max(last, d);
  return DaysBetween(n.PriceDate, last);
}

// Every input array and count of two calls alike.
inline bool SameCall(const NoteInputs& a, const NoteInputs& b) {
  return a.PriceDate == b.PriceDate && a.NotionalAMT == b.NotionalAMT && a.UnderlyingPrice == b.UnderlyingPrice &&
         a.TCurveInfo == b.TCurveInfo && a.CurveInfo == b.CurveInfo && a.NT == b.NT && a.TVol == b.TVol &&
         a.Parity == b.Parity && a.LocalVolSurface == b.LocalVolSurface && a.NVol == b.NVol &&
         a.NParity == b.NParity && a.UnderlyingCorr == b.UnderlyingCorr && a.TDiv == b.TDiv && a.Div == b.Div &&
         a.NDiv == b.NDiv && a.Div_TypeFlag == b.Div_TypeFlag && a.FX_TVol == b.FX_TVol && a.FX_Vol == b.FX_Vol &&
         a.FX_NVol == b.FX_NVol && a.FX_Corr == b.FX_Corr && a.QuantoFlag == b.QuantoFlag && a.NStock == b.NStock &&
         a.NStrike == b.NStrike && a.X == b.X && a.KO_Barrier == b.KO_Barrier && a.KI_Barrier == b.KI_Barrier &&
         a.PayOffSlope == b.PayOffSlope && a.PayOffAmount == b.PayOffAmount && a.DatesInfo == b.DatesInfo &&
         a.RedemCoupon == b.RedemCoupon && a.KnockBarrierFlag == b.KnockBarrierFlag &&
         a.BeKO_Hitted == b.BeKO_Hitted && a.BeKI_Hitted == b.BeKI_Hitted && a.NCoupon == b.NCoupon &&
         a.CouponBarrier == b.CouponBarrier && a.Coupon == b.Coupon && a.CouponDatesInfo == b.CouponDatesInfo &&
         a.CouponBarrierFlag == b.CouponBarrierFlag && a.BeCouponBarrierHitted == b.BeCouponBarrierHitted &&
         a.NTrials == b.NTrials && a.PayOffLimit == b.PayOffLimit && a.NAFlag == b.NAFlag && a.SC == b.SC &&
         a.Coupon_SC == b.Coupon_SC && a.FixedFlag == b.FixedFlag && a.CalcFlag == b.CalcFlag;
}

inline std::string CheckTermSheetText(std::string_view text) {
  Note note;
  TermSheetError error;
  if (!ReadTermSheet(text, "fuzz.json", note, error)) {
    if (error.message.empty()) return "an error without a message";
    if (error.kind == TermSheetError::kText || error.kind == TermSheetError::kField) {
      const long lines = 1 + std::count(text.begin(), text.end(), '\n');
      if (error.line < 1 || error.line > lines || error.column < 1) return "an error outside the text: " + Describe(error);
    }
    return "";
  }
  // The explicit form reads back as itself and as the same call.
  const std::string expanded = ExpandedText(note);
  if (expanded.empty()) return "no explicit form";
  Note again;
  if (!ReadTermSheet(expanded, "fuzz.json", again, error)) return "the explicit form does not read: " + Describe(error);
  if (ExpandedText(again) != expanded) return "the explicit form does not expand to itself";
  if (!SameCall(again.inputs, note.inputs)) return "the explicit form reads as another call";

  if (NothingToPrice(note.life)) return "";
  if (SimulatedDays(note.inputs) * note.inputs.NStock > kMaxPricedStockDays) return "";
  PriceRequest request;
  request.compute = 0;
  request.trials = kTermSheetTrials;
  const NoteReport report = PriceTermSheet(note, request);
  if (!report.usable) return "a note read could not be priced: " + report.inputError;
  if (report.priced) {
    if (report.result.status < 0 && report.result.rejection.empty()) return "a rejection without a sentence";
    if (report.result.status >= 0 && report.result.resultPrice.empty()) return "priced without a price";
  }
  std::ostringstream out;
  WriteTextReport(out, report);
  WriteCsv(out, {report});
  WriteCashFlowCsv(out, {report});
  if (HasPositions({report})) WriteBookRiskText(out, AggregateBook({report}));
  if (!Json::accept(JsonReport({report}))) return "the JSON report is not JSON";
  if (!Json::accept(JsonReportWithBook({report}))) return "the JSON report with the book's sums is not JSON";
  return "";
}

}  // namespace morvik::fuzzing
