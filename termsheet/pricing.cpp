// Pricing a parsed note through ZUNP_CalcMorvikMC (or its internal entry for
// several threads), its spot ladder, and the wording of a rejection.
#include "termsheet/pricing.h"

#include <algorithm>

#include "interface/extended_entry.h"
#include "interface/full_call.h"
#include "interface/layout.h"
#include "interface/status_messages.h"
#include "interface/validation.h"
#include "termsheet/task_threads.h"

namespace morvik {
namespace {

std::string Idx(const char* path, int i) { return std::string(path) + "[" + std::to_string(i) + "]"; }

std::string UnderlyingAt(const NoteInputs& n, int i) {
  std::string s = Idx("underlyings", i);
  if (i >= 0 && i < static_cast<int>(n.underlyingNames.size())) s += " (" + n.underlyingNames[i] + ")";
  return s;
}

bool IsCouponCode(int code) { return code == -2056 || code == -2077 || code == -2078; }

// Code -302 comes from the redemption schedule or the coupon schedule; tell
// them apart the way the checks see them.
bool FixingFaultIsCoupon(const NoteInputs& n, int d) {
  const int N = n.NStrike;
  if (d < 0 || d >= N) return true;
  const int obs = n.DatesInfo[d];
  const int pay = n.DatesInfo[N + d];
  const int win = n.DatesInfo[2 * N + d];
  const int diff = DaysBetween(n.PriceDate, obs);
  if (!(diff < win && pay > n.PriceDate)) return true;
  const int need = win - std::max(diff, 0);
  if (n.FixedFlag[0] < need) return false;
  for (int s = 0; s < d; ++s) {
    if (n.DatesInfo[s] <= n.PriceDate && n.DatesInfo[N + s] > n.PriceDate) return false;
  }
  return true;
}

// The field of the term sheet a point index refers to, where the code says.
std::string PointField(const NoteInputs& n, int code, int i, int k) {
  const std::string u = Idx("underlyings", i);
  switch (code) {
    case -206: return Idx("discount_curve.tenors", k);
    case -207: return Idx("discount_curve.rates", k);
    case -211: return u + Idx(".rate_curve.tenors", k);
    case -212: return u + Idx(".rate_curve.rates", k);
    case -2216: return u + Idx(".local_vol.times", k);
    case -2215: return u + Idx(".local_vol.moneyness", k);
    case -2217: {
      const int nv = (i >= 0 && i < static_cast<int>(n.NVol.size()) && n.NVol[i] > 0) ? n.NVol[i] : 1;
      return u + Idx(".local_vol.vols", k / nv) + "[" + std::to_string(k % nv) + "]";
    }
    case -2025: return Idx("correlation", i) + "[" + std::to_string(k) + "]";
    case -2030:
    case -2031: return u + ".dividends entry " + std::to_string(k);
    case -2040: return u + Idx(".fx.tenors", k);
    case -2041: return u + Idx(".fx.vols", k);
    case -2201: return Idx("past.fixings", k);
    case -2202: return Idx("past.coupon_fixings", k);
    default: return std::string();
  }
}

}  // namespace

std::vector<double> LadderMoves() {
  std::vector<double> moves;
  for (int k = -3; k <= 3; ++k) moves.push_back(k / 10.0);
  return moves;
}

NoteInputs WithRequest(const NoteInputs& note, const PriceRequest& request) {
  NoteInputs n = note;
  if (request.compute >= 0) n.CalcFlag[0] = std::max(n.CalcFlag[0], request.compute);
  if (request.trials > 0) n.NTrials = static_cast<double>(request.trials);
  if (request.log) n.CalcFlag[1] = 1;
  return n;
}

int CallFullEntry(const NoteInputs& n, std::vector<double>& events, std::vector<double>& coupons,
                  std::vector<double>& resultPrice, int threads) {
  events.assign(layout::ProbAndCfLength(n.NStrike), 0.0);
  coupons.assign(layout::CouponProbAndCfLength(n.NCoupon), 0.0);
  resultPrice.assign(layout::ResultPriceLength(n.NStock, n.CalcFlag[0]), 0.0);
  ExtendedArgs a = n.Inputs();
  a.ELS_Prob_n_Cf = events.data();
  a.ELS_Coupon_Prob_n_Cf = coupons.empty() ? nullptr : coupons.data();
  a.ResultPrice = resultPrice.data();
  if (threads <= 1) return CallExport(a);
  // The export's own call (system clock), its revaluations on threads.
  const TaskRunner runner = ThreadRunner(threads);
  return CalcMorvikMC(a, nullptr, &runner);
}

NoteResult PriceNote(const NoteInputs& n, bool ladder, int threads) {
  PriceRequest request;
  request.ladder = ladder;
  request.threads = threads;
  return PriceNote(n, request);
}

NoteResult PriceNote(const NoteInputs& n, const PriceRequest& request) {
  const bool ladder = request.ladder;
  const auto report = [&](double fraction) {
    if (request.progress) request.progress(fraction);
  };
  // The note's own call is one step of the hook; a per-path report of the
  // library's internal entry would call it in between.
  report(0.0);
  NoteResult r;
  r.status = CallFullEntry(n, r.events, r.coupons, r.resultPrice, request.threads);
  if (r.status < 0) {
    r.rejection = DescribeRejection(n, r.status);
    return r;
  }
  if (!ladder) {
    report(1.0);
    return r;
  }
  // Every underlying's spot moves by the same fraction; base prices, past
  // fixings and everything else stay. Price only, no trace.
  NoteInputs moved = n;
  moved.CalcFlag = {0, 0};
  std::vector<double> events, coupons, price;
  const std::vector<double> moves = LadderMoves();
  for (std::size_t k = 0; k < moves.size(); ++k) {
    const double m = moves[k];
    r.ladderMoves.push_back(m);
    if (m == 0.0) {
      r.ladderPrices.push_back(r.resultPrice[0]);
      r.ladderStatus.push_back(r.status);
      continue;
    }
    for (int i = 0; i < n.NStock; ++i) {
      moved.UnderlyingPrice[2 * i] = n.UnderlyingPrice[2 * i] * (1.0 + m);
    }
    const int st = CallFullEntry(moved, events, coupons, price);
    r.ladderStatus.push_back(st);
    r.ladderPrices.push_back(st >= 0 ? price[0] : 0.0);
    report(static_cast<double>(k + 1) / static_cast<double>(moves.size()));
  }
  report(1.0);
  return r;
}

std::string DescribeRejection(const NoteInputs& n, int code) {
  std::string text = "code " + std::to_string(code) + ": " + StatusMessage(code);
  if (code == -1) return text;
  ValidationFault fault;
  const int again = ValidateInputsAt(n.Inputs(), fault);
  if (again != code || fault.code != code) return text;
  std::vector<std::string> where;
  const int N = n.NStrike;
  if (fault.date >= 0) {
    const bool coupon = IsCouponCode(code) || (code == -302 && FixingFaultIsCoupon(n, fault.date));
    if (coupon && fault.date < n.NCoupon) {
      where.push_back(Idx("coupons.schedule", fault.date) + " (observation " +
                      FormatIsoDate(n.CouponDatesInfo[fault.date]) + ")");
    } else if (!coupon && fault.date < N) {
      where.push_back(Idx("redemption", fault.date) + " (observation " + FormatIsoDate(n.DatesInfo[fault.date]) +
                      ")");
    }
  }
  if (fault.underlying >= 0) where.push_back(UnderlyingAt(n, fault.underlying));
  if (fault.point >= 0) {
    const std::string field = PointField(n, code, fault.underlying, fault.point);
    if (!field.empty()) where.push_back(field);
  }
  if (!where.empty()) {
    text += " At ";
    for (std::size_t k = 0; k < where.size(); ++k) {
      if (k) text += ", ";
      text += where[k];
    }
    text += ".";
  }
  return text;
}

}  // namespace morvik
