// One note's valuation split by ranges of its blocks of paths, for a
// cluster: each range is valued on its own (a worker's part, a flat array
// of the blocks' sums), and the full set of parts combines into the note's
// report, bit for bit the report of the note priced whole with the same
// request. One run on the aligned or sobol stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "termsheet/pricing.h"

namespace morvik {

// A range of blocks valued.
struct BlockPart {
  int status = 0;               // the call's (1), a rejection's code, or kValuationInterrupted
  std::string error;            // why, when the note was not valued
  long long blocks = 0;         // the call's blocks: 0 when nothing is simulated
  std::vector<double> values;   // the part (sensitivities/block_parts.h)
};

// The key of the note's inputs with the request applied and of the
// request's stream, seed, scramblings and convergence: what every part
// carries and the combination requires.
std::uint64_t SplitKey(const Note& note, const PriceRequest& request);

// Blocks [first, last) of the note priced with `request` (its split unset;
// the range is clipped to the call's blocks). A note with nothing to price
// gives a part of 0 blocks. Never throws.
BlockPart PriceBlocks(const Note& note, const PriceRequest& request, long long first, long long last);

// The note's report from `parts` (any order): PriceTermSheet with the
// request, each block's sums read from the parts instead of simulated.
// Parts that do not make up the whole of this note's call give the status
// kBadBlockParts and a rejection saying why. Never throws.
NoteReport CombineBlocks(const Note& note, const PriceRequest& request,
                         const std::vector<std::vector<double>>& parts);

// The same with each part pulled in block order when its blocks are next
// (BlockSplit::next): next(ctx, part) fills `part` and returns true, or
// returns false when it has none. One part is held at a time.
NoteReport CombineBlocks(const Note& note, const PriceRequest& request,
                         bool (*next)(void* ctx, std::vector<double>& part), void* ctx);

}  // namespace morvik
