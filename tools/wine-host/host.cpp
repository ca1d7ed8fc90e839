// Loads the morvik library at run time, finds every export by name (and on
// Windows by ordinal too), calls the date functions and prices one example
// note through both pricing entries. Prints one "label index value" line per
// result so that the outputs of two platforms can be compared number by
// number. Exit status 0 when every export was found and every call succeeded.
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core_args.h"
#include "calls/full_call_inputs.h"

#if defined(_WIN32)
#include <windows.h>
#define HOST_CALL __stdcall
#else
#include <dlfcn.h>
#define HOST_CALL
#endif

namespace {

// The parameter types of the two pricing calls, from the library's argument
// lists (headers of macros and type names only; the host links nothing).
#define HOST_PARAMETER(name, kind, rule) morvik::inputs::kind::Arg,
using ExtendedFn = int(HOST_CALL*)(MORVIK_FULL_CALL_INPUTS(HOST_PARAMETER) double*, double*, double*);
#undef HOST_PARAMETER

#define HOST_CORE_PARAMETER(name, type) type,
using CoreFn = int(HOST_CALL*)(MORVIK_CORE_INPUTS(HOST_CORE_PARAMETER) double*, double*, double*, double*, double*);
#undef HOST_CORE_PARAMETER

using DateFn = int(HOST_CALL*)(int);

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

void Print(const char* label, const double* v, int n) {
  for (int i = 0; i < n; ++i) std::printf("%s %d %.17g\n", label, i, v[i]);
}

#if defined(_WIN32)
using Library = HMODULE;
Library Open(const char* path) { return LoadLibraryA(path); }
void* Find(Library lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(lib, name));
}
void* FindOrdinal(Library lib, int ordinal) {
  return reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(ordinal)));
}
#else
using Library = void*;
Library Open(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void* Find(Library lib, const char* name) { return dlsym(lib, name); }
#endif

template <typename Fn>
Fn As(void* p) {
  Fn f;
  std::memcpy(&f, &p, sizeof f);
  return f;
}

// The example note: two stocks, six semiannual observation dates, four
// coupons, a discrete-dividend stock with a quanto drift, priced with greeks.
struct Note {
  int PriceDate = 20240105;
  double NotionalAMT = 1000000.0;
  std::vector<double> UnderlyingPrice{100.0, 100.0, 52.0, 50.0};
  std::vector<int> NT{2, 2, 2};
  std::vector<double> TCurveInfo{0.5, 3.0, 0.5, 3.0, 0.5, 3.0};
  std::vector<double> CurveInfo{0.030, 0.035, 0.031, 0.036, 0.028, 0.033};
  std::vector<int> NVol{3, 3};
  std::vector<int> NParity{5, 5};
  std::vector<double> TVol{0.25, 1.0, 3.0, 0.25, 1.0, 3.0};
  std::vector<double> Parity{0.6, 0.8, 1.0, 1.2, 1.4, 0.6, 0.8, 1.0, 1.2, 1.4};
  std::vector<double> LocalVolSurface{
      0.34, 0.33, 0.32, 0.30, 0.29, 0.28, 0.26, 0.25, 0.25, 0.23, 0.22, 0.22, 0.21, 0.21, 0.21,
      0.40, 0.38, 0.37, 0.35, 0.34, 0.33, 0.31, 0.30, 0.30, 0.28, 0.27, 0.27, 0.26, 0.26, 0.26};
  std::vector<double> UnderlyingCorr{1.0, 0.55, 0.55, 1.0};
  std::vector<int> NDiv{1, 2};
  std::vector<int> TDiv{0, 100, 465};
  std::vector<double> Div{0.015, 1.2, 1.3};
  std::vector<int> Div_TypeFlag{0, 2};
  std::vector<int> FX_NVol{1, 2};
  std::vector<double> FX_TVol{1.0, 0.5, 3.0};
  std::vector<double> FX_Vol{0.0, 0.09, 0.11};
  std::vector<double> FX_Corr{0.0, -0.3};
  std::vector<int> QuantoFlag{0, 1};
  int NStock = 2;
  int NStrike = 6;
  std::vector<int> ObsDates{20240705, 20250106, 20250707, 20260105, 20260706, 20270105};
  std::vector<int> PayDates{20240710, 20250109, 20250710, 20260108, 20260709, 20270108};
  std::vector<double> Levels{0.90, 0.90, 0.85, 0.85, 0.80, 0.75};
  std::vector<double> KO_Barrier{1.05, 1.05, 1.05, 1.05, 1.05, 1.05};
  std::vector<double> KI_Barrier{0.55, 0.55};
  std::vector<double> RedemCoupon{0.0, 0.0, 0.0, 0.0, 0.0};
  std::vector<int> KnockBarrierFlag{0, 1};
  std::vector<int> BeKO_Hitted{0, 0};
  int BeKI_Hitted = 0;
  int NCoupon = 4;
  std::vector<double> CouponBarrier{0.7, 0.7, 0.7, 0.7};
  std::vector<double> Coupon{0.01, 0.01, 0.01, 0.01};
  std::vector<int> CouponObs{20240405, 20241007, 20250407, 20251006};
  std::vector<int> CouponPay{20240410, 20241010, 20250410, 20251009};
  int CouponBarrierFlag = 2;
  int BeCouponBarrierHitted = 0;
  double NTrials = 1000.0;
  std::vector<double> PayOffLimit{1.0, 0.5};
  int NAFlag = 1;
  std::vector<int> FixedFlag{0, 0};
  std::vector<int> CalcFlag{2, 0};

  // Four-block arrays of the full call.
  std::vector<double> X() const {
    std::vector<double> x;
    for (int b = 0; b < 4; ++b)
      for (int s = 0; s < NStrike; ++s)
        for (int j = 0; j < NStock; ++j) x.push_back(Levels[s]);
    return x;
  }
  // Every tier pays the notional (the base) and a growing coupon on each early date; the
  // maturity slot without knock-in pays the last coupon, the knock-in slot
  // participates one for one in the worst performance.
  std::vector<double> Amount() const {
    std::vector<double> a(4 * (NStrike + 2), 0.0);
    for (int b = 0; b < 4; ++b) {
      for (int s = 0; s < NStrike; ++s) a[b * (NStrike + 2) + s] = 0.04 * (s + 1);
      a[b * (NStrike + 2) + NStrike] = 0.04 * NStrike;
    }
    return a;
  }
  std::vector<double> Slope() const {
    std::vector<double> a(4 * (NStrike + 2), 0.0);
    for (int b = 0; b < 4; ++b) a[b * (NStrike + 2) + NStrike + 1] = 1.0;
    return a;
  }
  std::vector<int> DatesInfo() const {
    std::vector<int> d;
    d.insert(d.end(), ObsDates.begin(), ObsDates.end());
    d.insert(d.end(), PayDates.begin(), PayDates.end());
    for (int s = 0; s < NStrike; ++s) d.push_back(s == NStrike - 1 ? 3 : 1);
    for (int s = 0; s < NStrike; ++s) d.push_back(s == NStrike - 1 ? 1 : 0);
    return d;
  }
  std::vector<int> CouponDatesInfo() const {
    std::vector<int> d(CouponObs);
    d.insert(d.end(), CouponPay.begin(), CouponPay.end());
    return d;
  }
};

int PriceExtended(ExtendedFn fn, const Note& n) {
  const std::vector<double> x = n.X(), slope = n.Slope(), amount = n.Amount();
  const std::vector<int> dates = n.DatesInfo(), cdates = n.CouponDatesInfo();
  std::vector<double> prob(2 * (n.NStrike + 2), -1.0), cprob(2 * n.NCoupon, -1.0),
      price(3 * n.NStock + 3, -1.0);
  const int rc = fn(n.PriceDate, n.NotionalAMT, n.UnderlyingPrice.data(), n.TCurveInfo.data(),
                    n.CurveInfo.data(), n.NT.data(), n.TVol.data(), n.Parity.data(),
                    n.LocalVolSurface.data(), n.NVol.data(), n.NParity.data(),
                    n.UnderlyingCorr.data(), n.TDiv.data(), n.Div.data(), n.NDiv.data(),
                    n.Div_TypeFlag.data(), n.FX_TVol.data(), n.FX_Vol.data(), n.FX_NVol.data(),
                    n.FX_Corr.data(), n.QuantoFlag.data(), n.NStock, n.NStrike, x.data(),
                    n.KO_Barrier.data(), n.KI_Barrier.data(), slope.data(), amount.data(),
                    dates.data(), n.RedemCoupon.data(), n.KnockBarrierFlag.data(),
                    n.BeKO_Hitted.data(), n.BeKI_Hitted, n.NCoupon, n.CouponBarrier.data(),
                    n.Coupon.data(), cdates.data(), n.CouponBarrierFlag, n.BeCouponBarrierHitted,
                    n.NTrials, n.PayOffLimit.data(), n.NAFlag, nullptr, nullptr,
                    n.FixedFlag.data(), n.CalcFlag.data(), prob.data(), cprob.data(),
                    price.data());
  std::printf("extended.return 0 %d\n", rc);
  Print("extended.ELS_Prob_n_Cf", prob.data(), static_cast<int>(prob.size()));
  Print("extended.ELS_Coupon_Prob_n_Cf", cprob.data(), static_cast<int>(cprob.size()));
  Print("extended.ResultPrice", price.data(), static_cast<int>(price.size()));
  return rc;
}

// The same note handed to the core entry directly: one stock, constant
// yield, no quanto, dates as day offsets computed with the library's own
// serial dates.
int PriceCore(CoreFn fn, DateFn toSerial, const Note& n) {
  const int today = toSerial(n.PriceDate);
  const int N = n.NStrike;
  std::vector<int> obs(N), pay(N), win(N, 1), avg(N, 0);
  for (int s = 0; s < N; ++s) {
    obs[s] = toSerial(n.ObsDates[s]) - today;
    pay[s] = toSerial(n.PayDates[s]) - today;
  }
  const double cur[] = {100.0}, base[] = {100.0};
  const double tStock[] = {0.5, 3.0}, rStock[] = {0.031, 0.036};
  const int ntStock[] = {2};
  const double tDisc[] = {0.5, 3.0}, rDisc[] = {0.030, 0.035};
  const int nVol[] = {3}, nPar[] = {5};
  const double corr[] = {1.0};
  std::vector<double> divRow(pay[N - 1] + 10, 0.015);
  const double* divRows[] = {divRow.data()};
  const int divType[] = {0};
  const double fxT[] = {1.0}, fxV[] = {0.0}, fxCorr[] = {0.0};
  const int fxN[] = {1}, quanto[] = {0};
  std::vector<double> xs(N);
  for (int s = 0; s < N; ++s) xs[s] = n.Levels[s];
  const double ki[] = {0.55};
  const std::vector<double> slope = n.Slope(), amount = n.Amount();
  const int beKO[] = {0};
  const int fixed[] = {0, 0};
  std::vector<double> prob(N + 2), cf(N + 2), cprob(1), ccf(1), price(1);
  const int rc = fn(cur, base, tStock, rStock, ntStock, tDisc, rDisc, 2, n.TVol.data(),
                    n.Parity.data(), n.LocalVolSurface.data(), nVol, nPar, corr, divRows, divType,
                    fxT, fxV, fxN, fxCorr, quanto, 1, N, xs.data(), xs.data(), xs.data(),
                    xs.data(), n.KO_Barrier.data(), ki, slope.data(), slope.data() + (N + 2),
                    slope.data() + 2 * (N + 2), slope.data() + 3 * (N + 2), amount.data(),
                    amount.data() + (N + 2), amount.data() + 2 * (N + 2),
                    amount.data() + 3 * (N + 2), obs.data(), pay.data(), win.data(), avg.data(),
                    n.RedemCoupon.data(), 0, 1, beKO, 0, 0, nullptr, nullptr, nullptr, nullptr,
                    0, 0, 2000.0, 1.0, 0.5, 1, nullptr, nullptr, fixed, 0, prob.data(),
                    cf.data(), cprob.data(), ccf.data(), price.data());
  std::printf("core.return 0 %d\n", rc);
  Print("core.ELS_Prob", prob.data(), N + 2);
  Print("core.ELS_Cf", cf.data(), N + 2);
  Print("core.ResultPrice", price.data(), 1);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
    return 2;
  }
  Library lib = Open(argv[1]);
  if (!lib) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 2;
  }
  void* extended = Find(lib, "ZUNP_CalcMorvikMC");
#if defined(_WIN32)
  void* core = Find(lib, "_MorvikMC@276");
#else
  void* core = Find(lib, "MorvikMC");
#endif
  void* toSerial = Find(lib, "CdrD2ExcD");
  void* toCalendar = Find(lib, "ExcD2CdrD");
  Check(extended && core && toSerial && toCalendar, "every export found by name");
#if defined(_WIN32)
  Check(FindOrdinal(lib, 1) == extended, "ordinal 1 is ZUNP_CalcMorvikMC");
  Check(FindOrdinal(lib, 2) == core, "ordinal 2 is _MorvikMC@276");
  Check(FindOrdinal(lib, 10) == toSerial, "ordinal 10 is CdrD2ExcD");
  Check(FindOrdinal(lib, 11) == toCalendar, "ordinal 11 is ExcD2CdrD");
  for (int ord = 3; ord <= 9; ++ord) Check(FindOrdinal(lib, ord) == nullptr, "ordinals 3-9 unassigned");
  Check(Find(lib, "MorvikMC") == nullptr, "no undecorated MorvikMC");
#endif
  if (failures) return 1;

  const DateFn c2e = As<DateFn>(toSerial), e2c = As<DateFn>(toCalendar);
  const int dates[] = {19000101, 19000228, 19000301, 20240229, 99991231, 19000100, 20231301};
  for (int d : dates) std::printf("date.CdrD2ExcD %d %d\n", d, c2e(d));
  const int serials[] = {1, 59, 60, 61, 45000, 2958465, 7195278, 0};
  for (int s : serials) std::printf("date.ExcD2CdrD %d %d\n", s, e2c(s));
  Check(e2c(c2e(20240229)) == 20240229, "date round trip");

  const Note note;
  Check(PriceExtended(As<ExtendedFn>(extended), note) >= 1, "full pricing call succeeds");
  Check(PriceCore(As<CoreFn>(core), c2e, note) == 1, "core pricing call succeeds");
  return failures ? 1 : 0;
}
