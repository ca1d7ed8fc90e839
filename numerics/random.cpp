// Minimal-standard congruential generator behind a 32-entry shuffle table,
// and polar Box-Muller normals drawn from it.
#include "numerics/random.h"

#include <cmath>

namespace morvik {

namespace {

constexpr std::int32_t kA = 16807;
constexpr std::int32_t kM = 2147483647;
constexpr std::int32_t kQ = 127773;  // kM / kA
constexpr std::int32_t kR = 2836;    // kM % kA
constexpr int kTableSize = 32;
constexpr std::int32_t kTableDiv = 67108864;  // 1 + (kM - 1) / kTableSize
constexpr double kScale = 1.0 / 2147483647.0;
constexpr double kCap = 0.99999988;

// seed = kA * seed mod kM by Schrage's decomposition, no 32-bit overflow.
inline std::int32_t CongruentialStep(std::int32_t seed) {
  const std::int32_t k = seed / kQ;
  seed = kA * (seed - k * kQ) - kR * k;
  if (seed < 0) seed += kM;
  return seed;
}

void FillTable(RandState& state) {
  // A negative seed s starts from |s|; 0 and positive seeds start from 1.
  // Seeds that are multiples of the modulus would lock the generator at 0
  // (and -INT32_MIN does not fit), so the start is reduced modulo kM first.
  std::int64_t start = -static_cast<std::int64_t>(state.seed);
  if (start >= kM) start %= kM;
  if (start < 1) start = 1;
  std::int32_t seed = static_cast<std::int32_t>(start);
  for (int j = kTableSize + 7; j >= 0; --j) {
    seed = CongruentialStep(seed);
    if (j < kTableSize) state.table[j] = seed;
  }
  state.seed = seed;
  state.last = state.table[0];
}

// One uniform; inlined into the normal generator's loop.
inline double DrawUniform(RandState& state) {
  // A non-positive last word can only come from an empty (or foreign) record;
  // refilling keeps the table index below in range.
  if (state.seed <= 0 || state.last <= 0) [[unlikely]] FillTable(state);
  const std::int32_t seed = CongruentialStep(state.seed);
  const int j = state.last / kTableDiv;
  const std::int32_t last = state.table[j];
  state.table[j] = seed;
  state.seed = seed;
  state.last = last;
  const double u = last * kScale;
  return u > kCap ? kCap : u;
}

}  // namespace

double RandUniform(RandState& state) { return DrawUniform(state); }

double RandNormal(RandState& state, int mode) {
  if (mode == 0) {
    state.spare = 0.0;
    state.seed = -1;
    state.spare_flag = 0;
  } else if (state.spare_flag == 1) {
    state.spare_flag = 0;
    return state.spare;
  }
  double x1, x2, s;
  do {
    const double u1 = DrawUniform(state);
    const double u2 = DrawUniform(state);
    x1 = 2.0 * u1 - 1.0;
    x2 = 2.0 * u2 - 1.0;
    s = x1 * x1 + x2 * x2;
  } while (s >= 1.0 || s == 0.0);
  const double f = std::sqrt(-2.0 * std::log(s) / s);
  state.spare = x1 * f;
  state.spare_flag = 1;
  return x2 * f;
}

RandState StreamStart() {
  RandState state;
  (void)RandNormal(state, 0);
  return state;
}

std::int32_t CongruentialJump(std::int32_t x, std::int64_t steps) {
  const std::uint64_t m = static_cast<std::uint64_t>(kM);
  std::uint64_t e = static_cast<std::uint64_t>(steps) % (m - 1);  // the cycle's length
  std::uint64_t base = static_cast<std::uint64_t>(kA);
  std::uint64_t r = static_cast<std::uint64_t>(x) % m;
  while (e != 0) {
    if ((e & 1u) != 0) r = r * base % m;
    base = base * base % m;
    e >>= 1;
  }
  return static_cast<std::int32_t>(r);
}

RandState SeededStreamStart(int k) {
  const int seed = ((k % kSeeds) + kSeeds) % kSeeds;
  RandState state;
  // A negative seed word -s restarts the table from s (FillTable); s = 1 is
  // the reset of StreamStart.
  state.seed = -CongruentialJump(1, seed * kSeedStride);
  (void)RandNormal(state, 1);
  return state;
}

}  // namespace morvik
