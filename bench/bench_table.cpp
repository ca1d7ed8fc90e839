// The benchmark table: the random stream's cost per normal, one core
// valuation per simulated stock-day, and the full pricing call without and
// with sensitivities, on the realistic notes of one, two and three stocks;
// then the path-addressed stream: its cost per normal, one valuation on it
// per stock-day, and one three-stock valuation's wall time on one and two
// threads. Each measurement runs in a child process so that its peak
// resident memory is its own; times are CPU times of the child, but for the
// threaded wall times.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "calls/extended_entry.h"
#include "calls/valuation.h"
#include "sensitivities/aligned_valuation.h"
#include "numerics/addressed_normal.h"
#include "numerics/random.h"
#include "termsheet/task_threads.h"
#include "testing/test_notes.h"

namespace {

using morvik::testing::AssembledNote;
using morvik::testing::RealisticNote;

double CpuNs() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e9 + ts.tv_nsec;
}

volatile double g_sink = 0.0;

// ns per normal of the stream restarted from its seed, over n normals.
double StreamNs(long n) {
  morvik::RandState rs;
  morvik::RandNormal(rs, 0);
  double sum = 0.0;
  const double t0 = CpuNs();
  for (long k = 0; k < n; ++k) sum += morvik::RandNormal(rs, 1);
  const double ns = (CpuNs() - t0) / n;
  g_sink = sum;
  return ns;
}

// ns per normal of the path-addressed stream over n normals, drawn as a
// three-stock path draws them (one Philox block a day, three of its words).
double AddressedNs(long n) {
  double sum = 0.0;
  double z[4];
  const long days = n / 3;
  const double t0 = CpuNs();
  for (long k = 0; k < days; ++k) {
    morvik::AddressedNormals(7, static_cast<std::uint64_t>(k / 1000), static_cast<std::uint32_t>(k % 1000), 0, z);
    sum += z[0] + z[1] + z[2];
  }
  const double ns = (CpuNs() - t0) / (3 * days);
  g_sink = sum;
  return ns;
}

double WallNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e9 + ts.tv_nsec;
}

// Child bodies: each returns up to three figures.
void StreamCost(double out[3]) {
  out[0] = StreamNs(20000000);
  out[1] = AddressedNs(20000000);
}

// Best of five core valuations: ns per simulated stock-day, stock-days, and
// the ratio to the best of five stream timings taken in turn with them (the
// machine's load changes between processes; taken in turn, both see it).
void CoreValuation(int stocks, bool aligned, double out[3]) {
  AssembledNote assembled(stocks);
  const morvik::AssembledCore& core = assembled.core;
  double best = 1e300;
  double stream = 1e300;
  for (int rep = 0; rep < 5; ++rep) {
    const double s = StreamNs(5000000);
    stream = s < stream ? s : stream;
    const double t0 = CpuNs();
    assembled.Value(aligned);
    const double t = CpuNs() - t0;
    best = t < best ? t : best;
  }
  // A path redeemed on date d ran KO_ObsDays[d] days, one to maturity all.
  const int K = core.args.NStrike;
  const double n = core.args.NTrials;
  double days = 0.0;
  for (int d = 0; d < K; ++d) days += core.ELS_Prob[d] * n * core.args.KO_ObsDays[d];
  days += (core.ELS_Prob[K] + core.ELS_Prob[K + 1]) * n * core.args.KO_ObsDays[K - 1];
  const double stockDays = days * stocks;
  out[0] = best / stockDays;
  out[1] = stockDays;
  out[2] = out[0] / stream;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The aligned plain valuation on each vector width (1, 2 and 4 lanes; 4
// only with AVX2), runs interleaved width after width, `reps` rounds:
// median ns per simulated stock-day of each (stock-days as CoreValuation
// counts them). With `greeks`, the valuation and its delta, gamma and vega
// (ValueAligned, mode 1): median ms of CPU per width instead.
void LaneWidths(int stocks, bool greeks, double out[3]) {
  AssembledNote assembled(stocks);
  const morvik::AssembledCore& core = assembled.core;
  const int widths[3] = {1, 2, 4};
  std::vector<double> times[3];
  const int reps = greeks ? 3 : 7;
  for (int rep = 0; rep < reps; ++rep) {
    for (int k = 0; k < 3; ++k) {
      if (morvik::VectorWidthProblem(widths[k]) != nullptr) continue;
      const double t0 = CpuNs();
      if (greeks) {
        morvik::Greeks g, se;
        morvik::ValueAligned(core.args, core.results, 1, 0, nullptr, g, se, nullptr, nullptr, 0, nullptr,
                             widths[k]);
      } else {
        assembled.Value(true, nullptr, widths[k]);
      }
      times[k].push_back(CpuNs() - t0);
    }
  }
  const int K = core.args.NStrike;
  const double n = core.args.NTrials;
  double days = 0.0;
  for (int d = 0; d < K; ++d) days += core.ELS_Prob[d] * n * core.args.KO_ObsDays[d];
  days += (core.ELS_Prob[K] + core.ELS_Prob[K + 1]) * n * core.args.KO_ObsDays[K - 1];
  const double scale = greeks ? 1e6 : days * stocks;
  for (int k = 0; k < 3; ++k) out[k] = times[k].empty() ? 0.0 : Median(times[k]) / scale;
}

// Wall time of one aligned three-stock valuation on `width` lanes (0: the
// default choice), best of three on one thread and best of three on two,
// taken in turn (ms).
void AlignedThreadsAt(int width, double out[3]) {
  AssembledNote assembled(3);
  double best[2] = {1e300, 1e300};
  for (int rep = 0; rep < 3; ++rep) {
    for (int threads = 1; threads <= 2; ++threads) {
      const morvik::TaskRunner runner = morvik::ThreadRunner(threads);
      const double t0 = WallNs();
      assembled.Value(true, &runner, width);
      const double t = WallNs() - t0;
      best[threads - 1] = t < best[threads - 1] ? t : best[threads - 1];
    }
  }
  out[0] = best[0] / 1e6;
  out[1] = best[1] / 1e6;
}

// One full call (best of `reps`), in ms; second figure is its status.
void FullCall(int stocks, int calcFlag, double out[3]) {
  morvik::FullCall note = RealisticNote(stocks);
  note.CalcFlag[0] = calcFlag;
  note.SizeOutputs();
  const morvik::ExtendedArgs e = note.View();
  const int reps = calcFlag == 0 ? 3 : 1;
  double best = 1e300;
  int rc = 0;
  for (int rep = 0; rep < reps; ++rep) {
    const double t0 = CpuNs();
    rc = morvik::CalcMorvikMC(e);
    const double t = CpuNs() - t0;
    best = t < best ? t : best;
  }
  out[0] = best / 1e6;
  out[1] = rc;
}

struct Measured {
  double v[3] = {0.0, 0.0, 0.0};
  double maxrssMiB = 0.0;
};

// Runs body(out) in a child; returns its figures and peak memory.
template <class F>
Measured InChild(F body) {
  Measured m;
  int fd[2];
  if (pipe(fd) != 0) return m;
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    double out[3] = {0.0, 0.0, 0.0};
    body(out);
    if (write(fd[1], out, sizeof out) != static_cast<ssize_t>(sizeof out)) _exit(1);
    _exit(0);
  }
  close(fd[1]);
  if (read(fd[0], m.v, sizeof m.v) != static_cast<ssize_t>(sizeof m.v)) m.v[0] = m.v[1] = m.v[2] = -1.0;
  close(fd[0]);
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  m.maxrssMiB = ru.ru_maxrss / 1024.0;
  return m;
}

}  // namespace

// The table of the lane widths alone (`bench_table lanes`) or everything.
void LaneTable();

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "lanes") {
    LaneTable();
    return 0;
  }
  const Measured stream = InChild([](double* o) { StreamCost(o); });
  std::printf("stream: %.2f ns per normal (peak %.1f MiB); path-addressed: %.2f ns per normal\n\n",
              stream.v[0], stream.maxrssMiB, stream.v[1]);
  std::printf("%-7s | %10s %8s | %9s %9s %9s | %7s %7s | %8s %8s %8s\n", "stocks", "ns/stkday",
              "x stream", "{0,0} ms", "{1,0} ms", "{2,0} ms", "{1}/{0}", "{2}/{0}", "MiB{0}",
              "MiB{1}", "MiB{2}");
  for (int S = 1; S <= 3; ++S) {
    const Measured core = InChild([S](double* o) { CoreValuation(S, false, o); });
    Measured full[3];
    for (int c = 0; c < 3; ++c) full[c] = InChild([S, c](double* o) { FullCall(S, c, o); });
    for (int c = 0; c < 3; ++c) {
      if (full[c].v[1] < 0) std::printf("call {%d,0} on %d stocks returned %g\n", c, S, full[c].v[1]);
    }
    std::printf("%-7d | %10.2f %8.2f | %9.1f %9.1f %9.1f | %7.2f %7.2f | %8.1f %8.1f %8.1f\n", S,
                core.v[0], core.v[2], full[0].v[0], full[1].v[0], full[2].v[0],
                full[1].v[0] / full[0].v[0], full[2].v[0] / full[0].v[0], full[0].maxrssMiB,
                full[1].maxrssMiB, full[2].maxrssMiB);
  }
  std::printf("\npath-addressed stream, one valuation\n%-7s | %10s %10s\n", "stocks", "ns/stkday",
              "x default");
  // The default stream is timed again, in a child of its own just before
  // the aligned one's, rather than reusing the table's figure above: the
  // machine's load changes between processes (see CoreValuation), so the
  // ratio is taken between neighbours.
  for (int S = 1; S <= 3; ++S) {
    const Measured def = InChild([S](double* o) { CoreValuation(S, false, o); });
    const Measured al = InChild([S](double* o) { CoreValuation(S, true, o); });
    std::printf("%-7d | %10.2f %10.2f\n", S, al.v[0], al.v[0] / def.v[0]);
  }
  const Measured wall = InChild([](double* o) { AlignedThreadsAt(0, o); });
  std::printf("three stocks, wall time: %.1f ms on 1 thread, %.1f ms on 2 (speed-up %.2f)\n", wall.v[0],
              wall.v[1], wall.v[0] / wall.v[1]);
  LaneTable();
  return 0;
}

void LaneTable() {
  // Paths side by side (engine/lane_paths.h): the same valuation on each
  // vector width, interleaved in one process, medians; ratios to width 1.
  std::printf("\naligned plain valuation by vector width (medians of interleaved runs; 0 = not on this CPU)\n");
  std::printf("%-7s | %9s %9s %9s | %6s %6s | %9s %9s %9s | %6s %6s\n", "stocks", "1 ns/sd", "2 ns/sd",
              "4 ns/sd", "x2", "x4", "1 grk ms", "2 grk ms", "4 grk ms", "x2", "x4");
  for (int S = 1; S <= 3; ++S) {
    const Measured v = InChild([S](double* o) { LaneWidths(S, false, o); });
    const Measured g = InChild([S](double* o) { LaneWidths(S, true, o); });
    const auto ratio = [](const double* m, int k) { return m[k] > 0.0 ? m[0] / m[k] : 0.0; };
    std::printf("%-7d | %9.2f %9.2f %9.2f | %6.2f %6.2f | %9.1f %9.1f %9.1f | %6.2f %6.2f\n", S, v.v[0], v.v[1],
                v.v[2], ratio(v.v, 1), ratio(v.v, 2), g.v[0], g.v[1], g.v[2], ratio(g.v, 1), ratio(g.v, 2));
  }
  for (const int width : {1, 2, 4}) {
    if (morvik::VectorWidthProblem(width) != nullptr) continue;
    const Measured w = InChild([width](double* o) { AlignedThreadsAt(width, o); });
    std::printf("three stocks, width %d, wall time: %.1f ms on 1 thread, %.1f ms on 2 (speed-up %.2f)\n", width,
                w.v[0], w.v[1], w.v[0] / w.v[1]);
  }
}
