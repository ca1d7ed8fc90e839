// Calibrations on several threads at once (the tool's --jobs reads term
// sheets in parallel, and the Python reader releases the interpreter lock):
// every thread's grid and report equal the single-threaded ones bit for bit.
// Also built under ThreadSanitizer (scripts/tsan.sh). The calibration itself
// is sequential.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "calibration/implied_surface.h"
#include "calibration/reference_surfaces.h"

namespace morvik::calib {
namespace {

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(CalibrationThreads, ConcurrentCalibrationsMatchTheSingleThreadedOnes) {
  // Two surfaces: Heston quotes (generated here, on one thread: the generator
  // sets QuantLib's evaluation date) and quotes whose far wings the fit
  // repairs.
  Market heston;
  heston.spot = 100.0;
  heston.rate = {{1.0}, {0.03}};
  heston.dividend = {{0.0}, {0.01}};
  const std::vector<Quotes> quotes = {
      HestonQuotes(heston, kGatheralSpx2005, {30, 91, 365}, {80.0, 90.0, 100.0, 110.0, 120.0}),
      Quotes{{1, 2}, {99.0, 100.0, 101.0}, {{0.05, 0.05, 0.05}, {0.05, 0.05, 0.05}}}};
  Market flat;
  flat.spot = 100.0;
  const Market markets[2] = {heston, flat};
  std::vector<Calibration> ref;
  for (int s = 0; s < 2; ++s) ref.push_back(Calibrate(quotes[s], markets[s], ArbitragePolicy::kReject));
  ASSERT_GT(ref[1].report.repairedLocalVols, 0);

  constexpr int kThreads = 4;
  std::vector<std::string> faults(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 2; ++round) {
        const int s = (t + round) % 2;
        const Calibration c = Calibrate(quotes[s], markets[s], ArbitragePolicy::kReject);
        if (!SameBits(c.grid.vols, ref[s].grid.vols) || !SameBits(c.grid.times, ref[s].grid.times) ||
            !SameBits(c.grid.moneyness, ref[s].grid.moneyness) || !SameBits(c.implied.vols, ref[s].implied.vols) ||
            c.report.maxError != ref[s].report.maxError ||
            c.report.repairedLocalVols != ref[s].report.repairedLocalVols) {
          faults[t] += "surface " + std::to_string(s) + " round " + std::to_string(round) + "; ";
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(faults[t].empty()) << "thread " << t << ": " << faults[t];
}

}  // namespace
}  // namespace morvik::calib

#endif
