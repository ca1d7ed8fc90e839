// libFuzzer target: random quote matrices (sizes, expiries, strikes, missing
// and broken quotes, rates and yields) through the calibration. It must
// either name what is wrong (CalibrationError) or give a grid of finite,
// non-negative local volatilities on strictly increasing axes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "calibration/implied_surface.h"

namespace {

// Reads the input a byte or a double at a time; zeros once it runs out.
struct Bytes {
  const uint8_t* data;
  size_t size;
  int Byte() { return size > 0 ? (--size, *data++) : 0; }
  double Raw() {
    double v = 0.0;
    if (size >= sizeof v) {
      std::memcpy(&v, data, sizeof v);
      data += sizeof v;
      size -= sizeof v;
    }
    return v;
  }
};

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "calibration fault: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvik::calib;
  Bytes in{data, size};
  const int flags = in.Byte();
  Market m;
  m.spot = 50.0 + in.Byte();
  m.rate = {{1.0}, {(in.Byte() - 64) / 1000.0}};
  if (flags & 1) m.dividend = {{0.0}, {in.Byte() / 2000.0}};
  Quotes q;
  const int nE = 1 + in.Byte() % 6, nS = 1 + in.Byte() % 8;
  int day = 0;
  for (int e = 0; e < nE; ++e) {
    day += (flags & 2) ? in.Byte() - 8 : 1 + in.Byte() * 3;  // sometimes unsorted or repeated
    q.expiryDays.push_back(day);
  }
  double strike = 0.0;
  for (int s = 0; s < nS; ++s) {
    strike += (flags & 4) ? in.Byte() - 4 : 1 + in.Byte() / 2.0;
    q.strikes.push_back(strike);
  }
  for (int e = 0; e < nE; ++e) {
    std::vector<double> row;
    for (int s = 0; s < nS; ++s) {
      const int b = in.Byte();
      if (b < 16) {
        row.push_back(std::nan(""));  // missing
      } else if (b < 20) {
        row.push_back(in.Raw());      // anything: negative, huge, infinite, NaN
      } else {
        row.push_back(0.02 + (b - 20) / 200.0);
      }
    }
    q.vols.push_back(row);
  }
  try {
    const Calibration c = Calibrate(q, m, (flags & 8) ? ArbitragePolicy::kRepair : ArbitragePolicy::kReject);
    const LocalVolGrid& g = c.grid;
    if (g.times.empty() || g.moneyness.empty() || g.vols.size() != g.times.size() * g.moneyness.size()) {
      Fault("grid of the wrong size");
    }
    for (double v : g.vols) {
      if (!std::isfinite(v) || v < 0.0) Fault("local volatility not finite and non-negative");
    }
    for (std::size_t k = 1; k < g.times.size(); ++k) {
      if (!(g.times[k] > g.times[k - 1])) Fault("time axis not increasing");
    }
    for (std::size_t p = 1; p < g.moneyness.size(); ++p) {
      if (!(g.moneyness[p] > g.moneyness[p - 1])) Fault("moneyness axis not increasing");
    }
    if (!std::isfinite(c.report.maxError) || !std::isfinite(c.report.rmsError)) Fault("fit error not finite");
  } catch (const CalibrationError& e) {
    if (std::strlen(e.what()) == 0) Fault("calibration error without a message");
  }
  return 0;
}
