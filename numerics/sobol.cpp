// Sobol direction numbers, points and scrambling seeds.
#include "numerics/sobol.h"

#include <bit>

#include "numerics/philox.h"

namespace morvik {

void SobolDimension(std::uint32_t poly, const std::uint32_t* m, std::uint32_t v[32]) {
  const int s = poly > 1u ? static_cast<int>(std::bit_width(poly)) - 1 : 0;
  std::uint32_t mm[32];
  for (int j = 0; j < 32; ++j) {
    if (s == 0) {
      mm[j] = 1u;
    } else if (j < s) {
      mm[j] = m[j];
    } else {
      // m_j = 2 a_1 m_{j-1} ^ 4 a_2 m_{j-2} ^ ... ^ 2^s m_{j-s} ^ m_{j-s},
      // a_i the coefficient of x^(s-i).
      std::uint32_t next = mm[j - s] ^ (mm[j - s] << s);
      for (int i = 1; i < s; ++i)
        if ((poly >> (s - i)) & 1u) next ^= mm[j - i] << i;
      mm[j] = next;
    }
  }
  for (int j = 0; j < 32; ++j) v[j] = mm[j] << (31 - j);
}

void SobolPointAt(const SobolDirections& dirs, std::uint32_t index, int first, int n, std::uint32_t* x) {
  const std::uint32_t gray = index ^ (index >> 1);
  const std::size_t dims = static_cast<std::size_t>(dirs.dims);
  for (int d = 0; d < n; ++d) {
    const std::uint32_t* v = dirs.v.data() + static_cast<std::size_t>(first + d);
    std::uint32_t c = 0;
    for (std::uint32_t g = gray; g != 0; g &= g - 1) c ^= v[static_cast<std::size_t>(std::countr_zero(g)) * dims];
    x[d] = c;
  }
}

std::uint32_t ScrambleSeed(std::uint64_t seed, std::uint32_t scramble, std::uint32_t dim) {
  // The third counter word is one no path-addressed normal uses (it would
  // be a day step of 2^32 - 1).
  const std::uint32_t c[4] = {dim, scramble, 0xFFFFFFFFu, 0x50B01u};
  const std::uint32_t k[2] = {static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)};
  return Philox4x32(c, k).w[0];
}

void SobolWalk::Seek(std::uint32_t index) {
  // From the current point (point 0 at first, all zero): XOR in the rows of
  // the bits where the two Gray codes differ, row by row.
  std::uint32_t diff = (index ^ (index >> 1)) ^ (index_ ^ (index_ >> 1));
  index_ = index;
  std::uint32_t* x = x_.data();
  for (; diff != 0; diff &= diff - 1) {
    const std::uint32_t* v = dirs_.v.data() + static_cast<std::size_t>(std::countr_zero(diff)) *
                                                  static_cast<std::size_t>(dirs_.dims);
    for (int d = 0; d < n_; ++d) x[d] ^= v[d];
  }
}

void SobolWalk::Next() {
  ++index_;
  const std::uint32_t* v =
      dirs_.v.data() + static_cast<std::size_t>(std::countr_zero(index_)) * static_cast<std::size_t>(dirs_.dims);
  std::uint32_t* x = x_.data();
  for (int d = 0; d < n_; ++d) x[d] ^= v[d];
}

}  // namespace morvik
