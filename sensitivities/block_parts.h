// One valuation on the path-addressed (or quasi-random) stream split by
// ranges of its blocks of paths: a part holds the blocks' raw sums, every
// valuation of the call per block, as a flat array of doubles that can
// travel between processes; the full, ordered set of parts combines into
// the figures one process gives, bit for bit.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/simulate.h"

namespace morvik {

struct BlockSplit {
  enum class Role {
    kValue,    // value blocks [first, last) only, their sums into `out`; nothing is combined
    kCombine,  // value nothing: every block's sums read from `parts`, then combined
  };
  Role role = Role::kValue;
  long long first = 0, last = 0;  // kValue; clipped to the call's blocks
  std::vector<double>* out = nullptr;
  // kCombine: every part at once, in any order; or, without them, each part
  // pulled in block order when its blocks are next: next(nextCtx, part)
  // fills `part` and returns true, or returns false when it has none (the
  // combination is then refused). The caller then holds one part at a time.
  const std::vector<std::vector<double>>* parts = nullptr;
  bool (*next)(void* ctx, std::vector<double>& part) = nullptr;
  void* nextCtx = nullptr;
  // The caller's key of the inputs and request: written into each part and
  // required of every part combined, so that parts of another note, seed or
  // request are refused.
  std::uint64_t key = 0;
};

// Parts that do not fit the call that combines them (another key, another
// shape, a block missing or twice, a damaged array); what() says which.
class BadBlockParts : public std::runtime_error {
 public:
  explicit BadBlockParts(const std::string& what) : std::runtime_error(what) {}
};

// The head of a part: its mark and format, the key, the call's block count,
// the blocks it holds and the valuations per block.
struct PartHead {
  std::uint64_t key = 0;
  long long blocks = 0, first = 0, last = 0;
  long long valuations = 0;
};
inline constexpr std::size_t kPartHeadSize = 8;

// Appends a part's head to `out`.
void WritePartHead(const PartHead& head, std::vector<double>& out);

// The head of `part`; throws BadBlockParts when it is no part of this format.
PartHead ReadPartHead(const std::vector<double>& part);

// Appends one valuation's sums of a block to `out`.
void WriteRunTally(const RunTally& acc, std::vector<double>& out);

// Reads what WriteRunTally wrote at `at` (moved past it) into `acc`, which
// holds the sums as StartTally shaped them for that block: the sizes and the
// checkpoints read must be those. Throws BadBlockParts otherwise.
void ReadRunTally(const std::vector<double>& part, std::size_t& at, RunTally& acc);

// Throws BadBlockParts unless `head` is that of a part of the call of
// `blocks` blocks under `key` with `valuations` valuations per block.
void CheckPartHead(const PartHead& head, std::uint64_t key, long long blocks, long long valuations);

// The parts of a call of `blocks` blocks in block order, checked: each a
// part of this format under `key` with `valuations` valuations per block,
// their ranges covering 0 .. blocks once. Throws BadBlockParts.
std::vector<const std::vector<double>*> OrderedParts(const std::vector<std::vector<double>>& parts,
                                                      std::uint64_t key, long long blocks, long long valuations);

}  // namespace morvik
