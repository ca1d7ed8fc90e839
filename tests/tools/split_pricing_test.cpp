// A note's valuation split by ranges of blocks and combined: the report of
// the combined parts is the whole call's, byte for byte, whatever the ranges
// and the order the parts arrive in; parts that do not make up the call are
// refused by name, never priced.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "calls/extended_entry.h"
#include "termsheet/report.h"
#include "termsheet/split_pricing.h"
#include "termsheet/term_sheet.h"

namespace morvik {
namespace {

const std::string kExamples = MORVIK_EXAMPLES_DIR;

Note Read(const std::string& name) {
  Note note;
  TermSheetError error;
  EXPECT_TRUE(ReadTermSheetFile(kExamples + "/" + name, note, error)) << name;
  return note;
}

std::string Json(const NoteReport& r) { return JsonReport({r}); }

// The parts of `ranges` consecutive ranges of the call's blocks (the last
// range takes what is left), each valued with `threads` threads.
std::vector<std::vector<double>> Parts(const Note& note, PriceRequest request, long long blocks, int ranges,
                                       int threads) {
  request.threads = threads;
  std::vector<std::vector<double>> parts;
  const long long size = (blocks + ranges - 1) / ranges;
  for (int k = 0; k < ranges; ++k) {
    BlockPart part = PriceBlocks(note, request, k * size, k + 1 == ranges ? blocks : (k + 1) * size);
    EXPECT_EQ(part.status, 1) << part.error;
    parts.push_back(std::move(part.values));
  }
  return parts;
}

struct Case {
  const char* file;
  bool sobol;
  int compute;
  long long trials;
  bool convergence;
  bool conditional = false;
};

TEST(SplitPricing, CombinedPartsGiveTheWholeCallBitForBitInAnyOrder) {
  const Case cases[] = {
      {"two_index_semiannual.json", false, 2, 1100, true},     // convergence: a checkpoint inside a block
      {"two_index_semiannual.json", false, 0, 700, false},     // the price alone: one valuation, no row cache
      {"two_index_semiannual.json", true, 2, 800, false},      // sobol: blocks inside scramblings
      {"two_stock_stepdown.json", false, 2, 400, false},       // a partial last block
      {"three_stock_monthly_coupons.json", false, 1, 300, false},
      {"mid_life_pending_coupon.json", false, 2, 300, false},  // pending payment settled
      {"two_index_semiannual.json", false, 2, 600, false, true},  // conditional: weighted probabilities
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Note note = Read(c.file);
    PriceRequest request;
    request.compute = c.compute;
    request.trials = c.trials;
    request.seed = 11;
    request.aligned = !c.sobol;
    request.sobol = c.sobol;
    request.scrambles = 4;
    request.convergence = c.convergence;
    request.conditional = c.conditional;
    const NoteReport whole = PriceTermSheet(note, request);
    ASSERT_TRUE(whole.priced);
    ASSERT_EQ(whole.result.status, 1) << whole.result.rejection;
    const std::string expected = Json(whole);
    const BlockPart none = PriceBlocks(note, request, 0, 0);  // no blocks: the call's count
    ASSERT_EQ(none.status, 1) << none.error;
    ASSERT_GE(none.blocks, 3);
    // One range; two (valued on two threads) arriving last first; three
    // arriving second, third, first, and a part of no blocks.
    std::vector<std::vector<double>> parts = Parts(note, request, none.blocks, 1, 1);
    EXPECT_EQ(Json(CombineBlocks(note, request, parts)), expected) << "one range";
    parts = Parts(note, request, none.blocks, 2, 2);
    std::reverse(parts.begin(), parts.end());
    EXPECT_EQ(Json(CombineBlocks(note, request, parts)), expected) << "two ranges";
    parts = Parts(note, request, none.blocks, 3, 1);
    std::rotate(parts.begin(), parts.begin() + 1, parts.end());
    parts.push_back(none.values);
    EXPECT_EQ(Json(CombineBlocks(note, request, parts)), expected) << "three ranges";
  }
}

// Parts handed out one at a time, in the order given.
struct Puller {
  std::vector<std::vector<double>> parts;
  std::size_t next = 0;
  static bool Next(void* ctx, std::vector<double>& part) {
    Puller& p = *static_cast<Puller*>(ctx);
    if (p.next == p.parts.size()) return false;
    part = p.parts[p.next++];
    return true;
  }
};

NoteReport Pulled(const Note& note, const PriceRequest& request, const std::vector<std::vector<double>>& parts) {
  Puller puller{parts};
  return CombineBlocks(note, request, &Puller::Next, &puller);
}

// The status and sentence of combining `parts`.
void ExpectRefused(const Note& note, const PriceRequest& request, const std::vector<std::vector<double>>& parts,
                   const std::string& words) {
  const NoteReport r = CombineBlocks(note, request, parts);
  ASSERT_TRUE(r.priced);
  EXPECT_EQ(r.result.status, kBadBlockParts);
  EXPECT_TRUE(r.result.resultPrice.empty());
  EXPECT_NE(r.result.rejection.find(words), std::string::npos) << r.result.rejection;
}

TEST(SplitPricing, PartsThatDoNotMakeUpTheCallAreRefused) {
  const Note note = Read("two_stock_stepdown.json");
  PriceRequest request;
  request.compute = 1;
  request.trials = 1000;
  request.aligned = true;
  std::vector<std::vector<double>> parts = Parts(note, request, 8, 3, 1);

  ExpectRefused(note, request, {parts[0], parts[2]}, "miss a block");
  ExpectRefused(note, request, {parts[0], parts[1], parts[1], parts[2]}, "the same block");
  PriceRequest other = request;
  other.seed = 1;
  ExpectRefused(note, other, parts, "another note, seed or request");
  other = request;
  other.trials = 1001;
  ExpectRefused(note, other, parts, "another note, seed or request");

  std::vector<std::vector<double>> damaged = parts;
  damaged[1].pop_back();
  ExpectRefused(note, request, damaged, "damaged");
  damaged = parts;
  damaged[1].push_back(0.0);
  ExpectRefused(note, request, damaged, "damaged");
  damaged = parts;
  damaged[2][8] = -1.0;  // the first size of the range's first block
  ExpectRefused(note, request, damaged, "damaged");
  damaged = parts;
  damaged[0][0] = 3.0;
  ExpectRefused(note, request, damaged, "not a part");
  ExpectRefused(note, request, {}, "miss a block");

  // Pulled in block order, one at a time: the same report; out of order,
  // short or repeated, refused.
  EXPECT_EQ(Json(Pulled(note, request, parts)), Json(CombineBlocks(note, request, parts)));
  for (const auto& [order, words] : std::vector<std::pair<std::vector<int>, std::string>>{
           {{1, 0, 2}, "miss a block"}, {{0, 1}, "miss a block"}, {{0, 0, 1, 2}, "the same block"}}) {
    std::vector<std::vector<double>> given;
    for (const int k : order) given.push_back(parts[static_cast<std::size_t>(k)]);
    const NoteReport r = Pulled(note, request, given);
    EXPECT_EQ(r.result.status, kBadBlockParts);
    EXPECT_NE(r.result.rejection.find(words), std::string::npos) << r.result.rejection;
  }
}

TEST(SplitPricing, OnlyOneRunOnThePathAddressedStreamsIsSplit) {
  const Note note = Read("two_stock_stepdown.json");
  PriceRequest request;
  request.trials = 1000;
  EXPECT_EQ(PriceBlocks(note, request, 0, 4).status, kBadValuationOptions);
  request.aligned = true;
  request.replications = 2;
  const BlockPart part = PriceBlocks(note, request, 0, 4);
  EXPECT_EQ(part.status, kBadValuationOptions);
  EXPECT_NE(part.error.find("replications"), std::string::npos) << part.error;
  const NoteReport r = CombineBlocks(note, request, {});
  EXPECT_EQ(r.result.status, kBadValuationOptions);
  EXPECT_TRUE(r.result.resultPrice.empty());

  // A rejected note names its input, and its part holds nothing.
  Note bad = note;
  bad.inputs.NTrials = 0.0;
  PriceRequest aligned;
  aligned.aligned = true;
  const BlockPart rejected = PriceBlocks(bad, aligned, 0, 4);
  EXPECT_LT(rejected.status, 0);
  EXPECT_FALSE(rejected.error.empty());
  EXPECT_TRUE(rejected.values.empty());
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
