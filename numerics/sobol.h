// Sobol points in Gray-code order on a table of direction numbers given as
// plain data, and their nested uniform (Owen) scrambling by a hash: point k
// of any scrambling is computed on its own, so blocks of points can be
// drawn on any thread, in any order.
#pragma once

#include <cstdint>
#include <vector>

namespace morvik {

// Direction numbers of the first `dims` dimensions, 32 per dimension:
// v[k * dims + d] is dimension d's number XORed in for bit k of a point's
// Gray code (bit 31 of the number is the coordinate's first binary digit).
// Bit by bit, so that the step from one point to the next reads one
// contiguous row. Dimension 0 is the van der Corput sequence
// (v = 2^(31-k)).
struct SobolDirections {
  int dims = 0;
  std::vector<std::uint32_t> v;

  // True when `v` holds 32 numbers for each of `dims` >= 1 dimensions.
  bool Valid() const { return dims >= 1 && v.size() == 32u * static_cast<std::size_t>(dims); }
};

// The direction numbers of one dimension from its primitive polynomial and
// initial values (Bratley and Fox): `poly` holds the polynomial's
// coefficients, bit j that of x^j, with the leading and the constant term
// set (degree s = the highest bit set, s >= 1); m[0..s-1] are the odd
// initial values (m[j] < 2^(j+1)). Writes v[0..31], bit k's number in
// v[k]. For dimension 0 use
// poly = 1 (degree 0): every m is 1.
void SobolDimension(std::uint32_t poly, const std::uint32_t* m, std::uint32_t v[32]);

// Coordinates [first, first + n) of point `index` (Gray-code order: the
// point whose Gray code is index ^ (index >> 1)) of the unscrambled
// sequence, as 32-bit fractions.
void SobolPointAt(const SobolDirections& dirs, std::uint32_t index, int first, int n, std::uint32_t* x);

// The nested uniform scrambling of a 32-bit fraction under `seed`: bits in
// reverse order through a hash in which every output bit is its input bit
// flipped by a function of the lower bits only (Burley 2020, "Practical
// hash-based Owen scrambling", with Vegdahl's stronger hash), then back.
// Each digit of the result depends only on the digits above it, so the
// points of an elementary interval stay in one.
inline std::uint32_t ReverseBits(std::uint32_t x) {
  x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
  x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
  x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
  return (x >> 16) | (x << 16);
}
inline std::uint32_t OwenScramble(std::uint32_t x, std::uint32_t seed) {
  x = ReverseBits(x);
  x ^= x * 0x3d20adeau;
  x += seed;
  x *= (seed >> 16) | 1u;
  x ^= x * 0x05526c56u;
  x ^= x * 0x53a22864u;
  return ReverseBits(x);
}

// The scrambling seed of dimension `dim` in scrambling `scramble` under the
// caller's `seed`: a Philox-4x32-10 word, independent across all three.
std::uint32_t ScrambleSeed(std::uint64_t seed, std::uint32_t scramble, std::uint32_t dim);

// Point after point of one scrambling of the first `n` dimensions: Next
// moves from point k to k + 1 with one XOR per dimension, Seek computes any
// point directly.
class SobolWalk {
 public:
  SobolWalk(const SobolDirections& dirs, int n) : dirs_(dirs), n_(n), x_(static_cast<std::size_t>(n), 0u) {}
  // Point `index` of the unscrambled sequence (Gray-code order), from the
  // current one: an XOR per dimension for each bit where their Gray codes
  // differ.
  void Seek(std::uint32_t index);
  // Seek(index + 1) from point `index`, cheaper.
  void Next();
  std::uint32_t Index() const { return index_; }
  const std::uint32_t* Coordinates() const { return x_.data(); }

 private:
  const SobolDirections& dirs_;
  int n_;
  std::uint32_t index_ = 0;
  std::vector<std::uint32_t> x_;
};

}  // namespace morvik
