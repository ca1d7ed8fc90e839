// One core valuation of the benchmark note, for profiles and wall times:
//   one_valuation STOCKS [default|aligned] [THREADS] [REPS]
// prints the price and the best wall time of REPS valuations (default 1).
// The default stream runs through MorvikCore; the aligned one through
// ValueAligned with a runner of THREADS threads.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "termsheet/task_threads.h"
#include "testing/test_notes.h"

int main(int argc, char** argv) {
  const int stocks = argc > 1 ? std::atoi(argv[1]) : 3;
  const bool aligned = argc > 2 && std::strcmp(argv[2], "aligned") == 0;
  const int threads = argc > 3 ? std::atoi(argv[3]) : 1;
  const int reps = argc > 4 ? std::atoi(argv[4]) : 1;
  morvik::testing::AssembledNote note(stocks);
  const morvik::TaskRunner runner = morvik::ThreadRunner(threads);
  double best = 1e300;
  for (int r = 0; r < reps; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    note.Value(aligned, &runner);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    best = ms < best ? ms : best;
  }
  std::printf("price %.10f  best of %d: %.1f ms\n", note.price, reps, best);
  return 0;
}
