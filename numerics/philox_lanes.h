// The path-addressed normals of several paths at once: Philox-4x32-10 on W
// counters side by side in the vector registers (W = 2 on baseline SSE2, 4
// with AVX2), and the inverse normal's centre W-wide. Every lane gets the
// bits AddressedNormals gives for its own address.
//
// Everything here has internal linkage: a file that compiles the four-lane
// code under `#pragma GCC target("avx2")` includes this header after that
// pragma (with MORVIK_AVX2_REGION defined), and its AVX2 copies never
// replace the baseline copies of another file.
#pragma once

#include <cstdint>
#include <cstring>

#include "numerics/inverse_normal.h"
#include "numerics/philox.h"

#include "numerics/lane_support.h"

#if defined(MORVIK_LANES)
#include <immintrin.h>
#endif

namespace morvik {
namespace {

#if defined(MORVIK_LANES)

template <int W>
struct Lanes;
template <>
struct Lanes<2> {
  typedef double D __attribute__((vector_size(16)));
  typedef std::uint64_t U __attribute__((vector_size(16)));
  typedef std::int64_t M __attribute__((vector_size(16)));
};
template <>
struct Lanes<4> {
  typedef double D __attribute__((vector_size(32)));
  typedef std::uint64_t U __attribute__((vector_size(32)));
  typedef std::int64_t M __attribute__((vector_size(32)));
};

// Low 32 bits of a times low 32 bits of b, lane by lane, as 64-bit products.
[[gnu::always_inline]] inline void MulWide(const Lanes<2>::U& a, const Lanes<2>::U& b, Lanes<2>::U& out) {
  out = reinterpret_cast<Lanes<2>::U>(_mm_mul_epu32(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
}
#if defined(MORVIK_AVX2_REGION)
[[gnu::always_inline]] inline void MulWide(const Lanes<4>::U& a, const Lanes<4>::U& b,
                                                                           Lanes<4>::U& out) {
  out = reinterpret_cast<Lanes<4>::U>(
      _mm256_mul_epu32(reinterpret_cast<__m256i>(a), reinterpret_cast<__m256i>(b)));
}
#endif

// Philox4x32 (numerics/philox.h) on W counters at once: x[j] holds word j
// of every lane's counter in the low 32 bits of its 64-bit lane, and on
// return word j of every lane's block. The key is the same for all lanes.
template <int W>
[[gnu::always_inline]] inline void Philox4x32Lanes(typename Lanes<W>::U x[4], std::uint32_t key0,
                                                   std::uint32_t key1) {
  typedef typename Lanes<W>::U U;
  const U m0 = U{} + 0xD2511F53u;
  const U m1 = U{} + 0xCD9E8D57u;
  const U low = U{} + 0xFFFFFFFFu;
  // The keys in every lane, bumped by the Weyl constants modulo 2^32.
  U k0 = U{} + key0, k1 = U{} + key1;
  const U weyl0 = U{} + 0x9E3779B9u, weyl1 = U{} + 0xBB67AE85u;
  for (int round = 0; round < 10; ++round) {
    U p0, p1;
    MulWide(x[0], m0, p0);
    MulWide(x[2], m1, p1);
    const U y0 = (p1 >> 32) ^ x[1] ^ k0;
    const U y1 = p1 & low;
    const U y2 = (p0 >> 32) ^ x[3] ^ k1;
    const U y3 = p0 & low;
    x[0] = y0;
    x[1] = y1;
    x[2] = y2;
    x[3] = y3;
    k0 = (k0 + weyl0) & low;
    k1 = (k1 + weyl1) & low;
  }
}

// OpenUniform of each lane's word (below 2^32): the word is formed exactly
// as 2^52 + w from its bits and 2^52 taken off, which is its conversion to
// a double; then the same + 0.5 and * 2^-32.
template <int W>
[[gnu::always_inline]] inline typename Lanes<W>::D OpenUniformLanes(const typename Lanes<W>::U& w) {
  typedef typename Lanes<W>::D D;
  const typename Lanes<W>::U bits = w | (typename Lanes<W>::U{} + 0x4330000000000000ull);
  D v;
  std::memcpy(&v, &bits, sizeof v);
  v = v - 0x1.0p52;
  return (v + 0.5) * 0x1.0p-32;
}

// The normals of stocks 4g .. 4g+used-1 (used <= 4) of W paths on their own
// days: out[j][l] is word j's normal of lane l, the bits of
// AddressedNormals(seed, path[l], day[l], g)[j].
template <int W>
[[gnu::always_inline]] inline void AddressedNormalLanes(std::uint64_t seed, const std::uint64_t path[W],
                                                        const std::uint32_t day[W], std::uint32_t g,
                                                        typename Lanes<W>::D out[4], int used = 4) {
  typedef typename Lanes<W>::U U;
  typedef typename Lanes<W>::D D;
  typedef typename Lanes<W>::M M;
  std::uint64_t words[4][W];
  for (int l = 0; l < W; ++l) {
    words[0][l] = static_cast<std::uint32_t>(path[l]);
    words[1][l] = static_cast<std::uint32_t>(path[l] >> 32);
    words[2][l] = day[l];
    words[3][l] = g;
  }
  U x[4];
  for (int j = 0; j < 4; ++j) std::memcpy(&x[j], words[j], sizeof(U));
  Philox4x32Lanes<W>(x, static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32));
  for (int j = 0; j < used; ++j) {
    const D q = OpenUniformLanes<W>(x[j]) - 0.5;
    out[j] = InverseNormalCentreOf(q);
    const M inside = (q <= kInverseNormalCentre) & (q >= -kInverseNormalCentre);
    bool all = true;
    for (int l = 0; l < W; ++l) all = all && inside[l] != 0;
    if (all) continue;
    // The tails, one lane at a time: InverseNormal's bits.
    for (int l = 0; l < W; ++l)
      if (inside[l] == 0) out[j][l] = InverseNormal(OpenUniform(static_cast<std::uint32_t>(x[j][l])));
  }
}

#endif  // MORVIK_LANES

}  // namespace
}  // namespace morvik
