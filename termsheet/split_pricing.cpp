// A note valued in ranges of blocks and combined: the term-sheet layer's
// pricing with a split request.
#include "termsheet/split_pricing.h"

#include <cstring>
#include <exception>

#include "calls/extended_entry.h"
#include "calls/status_messages.h"

namespace morvik {

namespace {

// FNV-1a, 64 bits, over the bytes of values.
struct KeyHash {
  std::uint64_t h = 14695981039346656037ULL;
  void Bytes(const void* p, std::size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (std::size_t k = 0; k < n; ++k) {
      h ^= b[k];
      h *= 1099511628211ULL;
    }
  }
  template <class T>
  void Add(const T& v) {
    Bytes(&v, sizeof v);
  }
  template <class T>
  void Add(const std::vector<T>& v) {
    Add(static_cast<std::uint64_t>(v.size()));
    if (!v.empty()) Bytes(v.data(), v.size() * sizeof(T));
  }
};

}  // namespace

std::uint64_t SplitKey(const Note& note, const PriceRequest& request) {
  const NoteInputs n = WithRequest(note.inputs, request);
  KeyHash key;
#define MORVIK_KEY_INPUT(name, kind, rule) key.Add(n.name);
  MORVIK_FULL_CALL_INPUTS(MORVIK_KEY_INPUT)
#undef MORVIK_KEY_INPUT
  key.Add(static_cast<int>(request.aligned));
  key.Add(static_cast<int>(request.sobol));
  key.Add(request.sobol ? request.scrambles : 0LL);
  key.Add(request.seed.value_or(0));
  key.Add(static_cast<int>(request.convergence));
  key.Add(static_cast<int>(request.conditional));
  return key.h;
}

BlockPart PriceBlocks(const Note& note, const PriceRequest& request, long long first, long long last) {
  BlockPart part;
  try {
    part.error = SplitProblem(request);
    if (!part.error.empty()) {
      part.status = kBadValuationOptions;
      return part;
    }
    BlockSplit split;
    split.role = BlockSplit::Role::kValue;
    split.first = first;
    split.last = last;
    split.out = &part.values;
    split.key = SplitKey(note, request);
    PriceRequest valued = request;
    valued.split = &split;
    const NoteReport report = PriceTermSheet(note, valued);
    if (!report.usable) {
      part.status = MORVIK_NO_MEMORY;
      part.error = report.inputError;
      part.values.clear();
      return part;
    }
    if (!report.priced) {
      // Nothing to price: no blocks.
      part.status = MORVIK_PRICED;
      part.values.clear();
      WritePartHead(PartHead{split.key, 0, 0, 0, 0}, part.values);
      return part;
    }
    part.status = report.result.status;
    if (part.status < 0) {
      part.error = report.result.rejection;
      part.values.clear();
      return part;
    }
    part.blocks = ReadPartHead(part.values).blocks;
  } catch (const std::exception& e) {
    part = BlockPart{};
    part.status = MORVIK_NO_MEMORY;
    part.error = std::string("cannot value the blocks: ") + e.what();
  }
  return part;
}

namespace {

NoteReport Combine(const Note& note, const PriceRequest& request, BlockSplit& split) {
  split.role = BlockSplit::Role::kCombine;
  PriceRequest combined = request;
  combined.split = &split;
  try {
    const std::string problem = SplitProblem(request);
    if (!problem.empty()) {
      // Refused as the pricing call refuses bad options: nothing valued.
      NoteReport r;
      r.file = note.label;
      r.note = WithRequest(note.inputs, request);
      r.life = note.life;
      r.warnings = note.warnings;
      r.usable = true;
      r.priced = true;
      r.result.status = kBadValuationOptions;
      r.result.rejection = problem;
      return r;
    }
    split.key = SplitKey(note, request);
  } catch (const std::exception& e) {
    NoteReport r;
    r.file = note.label;
    r.inputError = std::string("cannot price the note: ") + e.what();
    return r;
  }
  return PriceTermSheet(note, combined);
}

}  // namespace

NoteReport CombineBlocks(const Note& note, const PriceRequest& request,
                         const std::vector<std::vector<double>>& parts) {
  BlockSplit split;
  split.parts = &parts;
  return Combine(note, request, split);
}

NoteReport CombineBlocks(const Note& note, const PriceRequest& request,
                         bool (*next)(void* ctx, std::vector<double>& part), void* ctx) {
  BlockSplit split;
  split.next = next;
  split.nextCtx = ctx;
  return Combine(note, request, split);
}

}  // namespace morvik
