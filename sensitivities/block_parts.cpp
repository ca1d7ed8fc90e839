// The flat form of a range of blocks' sums, and the checks that a set of
// such parts is the whole of one call.
#include "sensitivities/block_parts.h"

#include <algorithm>
#include <cmath>

namespace morvik {

namespace {

// A part starts with this mark and format number.
constexpr double kPartMark = 1297500240.0;  // "MVKP"
constexpr double kPartFormat = 1.0;

// Counts travel as doubles: whole numbers up to 2^53 are exact.
constexpr double kMaxCount = 9007199254740992.0;

void Need(bool ok, const char* what) {
  if (!ok) throw BadBlockParts(what);
}

long long Whole(double v, const char* what) {
  Need(v >= 0.0 && v <= kMaxCount && v == std::floor(v), what);
  return static_cast<long long>(v);
}

double Take(const std::vector<double>& part, std::size_t& at) {
  Need(at < part.size(), "a part ends early: it is damaged");
  return part[at++];
}

void WriteValues(const std::vector<double>& v, std::vector<double>& out) {
  out.push_back(static_cast<double>(v.size()));
  out.insert(out.end(), v.begin(), v.end());
}

void ReadValues(const std::vector<double>& part, std::size_t& at, std::vector<double>& v) {
  const long long n = Whole(Take(part, at), "a part's count is damaged");
  Need(n == static_cast<long long>(v.size()), "a part's sums are sized for another note");
  Need(part.size() - at >= v.size(), "a part ends early: it is damaged");
  std::copy(part.begin() + static_cast<std::ptrdiff_t>(at),
            part.begin() + static_cast<std::ptrdiff_t>(at + v.size()), v.begin());
  at += v.size();
}

void WriteTally(const Tally& t, std::vector<double>& out) {
  WriteValues(t.prob, out);
  WriteValues(t.cf, out);
  WriteValues(t.couponProb, out);
  WriteValues(t.couponCf, out);
  WriteValues(t.probSq, out);
  WriteValues(t.couponProbSq, out);
  out.push_back(t.price);
  out.push_back(t.pvSum);
  out.push_back(t.pvSq);
  out.push_back(static_cast<double>(t.paths));
}

void ReadTally(const std::vector<double>& part, std::size_t& at, Tally& t) {
  ReadValues(part, at, t.prob);
  ReadValues(part, at, t.cf);
  ReadValues(part, at, t.couponProb);
  ReadValues(part, at, t.couponCf);
  ReadValues(part, at, t.probSq);
  ReadValues(part, at, t.couponProbSq);
  t.price = Take(part, at);
  t.pvSum = Take(part, at);
  t.pvSq = Take(part, at);
  t.paths = Whole(Take(part, at), "a part's path count is damaged");
}

}  // namespace

void WritePartHead(const PartHead& head, std::vector<double>& out) {
  out.push_back(kPartMark);
  out.push_back(kPartFormat);
  out.push_back(static_cast<double>(head.key >> 32));
  out.push_back(static_cast<double>(head.key & 0xffffffffu));
  out.push_back(static_cast<double>(head.blocks));
  out.push_back(static_cast<double>(head.first));
  out.push_back(static_cast<double>(head.last));
  out.push_back(static_cast<double>(head.valuations));
}

PartHead ReadPartHead(const std::vector<double>& part) {
  Need(part.size() >= kPartHeadSize && part[0] == kPartMark, "not a part of a split valuation");
  Need(part[1] == kPartFormat, "a part of another format");
  PartHead h;
  const long long high = Whole(part[2], "a part's key is damaged");
  const long long low = Whole(part[3], "a part's key is damaged");
  Need(high <= 0xffffffffLL && low <= 0xffffffffLL, "a part's key is damaged");
  h.key = (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint64_t>(low);
  h.blocks = Whole(part[4], "a part's block count is damaged");
  h.first = Whole(part[5], "a part's blocks are damaged");
  h.last = Whole(part[6], "a part's blocks are damaged");
  h.valuations = Whole(part[7], "a part's valuation count is damaged");
  Need(h.first <= h.last && h.last <= h.blocks, "a part's blocks are damaged");
  return h;
}

void WriteRunTally(const RunTally& acc, std::vector<double>& out) {
  WriteTally(acc.t, out);
  out.push_back(static_cast<double>(acc.ck.size()));
  for (const CheckpointTally& c : acc.ck) {
    out.push_back(static_cast<double>(c.paths));
    out.push_back(c.price);
    WriteTally(c.at, out);
  }
}

void ReadRunTally(const std::vector<double>& part, std::size_t& at, RunTally& acc) {
  ReadTally(part, at, acc.t);
  const long long n = Whole(Take(part, at), "a part's checkpoints are damaged");
  Need(n == static_cast<long long>(acc.ck.size()), "a part's checkpoints are another run's");
  for (CheckpointTally& c : acc.ck) {
    Need(Take(part, at) == static_cast<double>(c.paths), "a part's checkpoints are another run's");
    c.price = Take(part, at);
    ReadTally(part, at, c.at);
  }
}

void CheckPartHead(const PartHead& h, std::uint64_t key, long long blocks, long long valuations) {
  Need(h.key == key, "a part of another note, seed or request");
  Need(h.blocks == blocks && h.valuations == valuations, "a part of another note, seed or request");
}

std::vector<const std::vector<double>*> OrderedParts(const std::vector<std::vector<double>>& parts,
                                                      std::uint64_t key, long long blocks, long long valuations) {
  std::vector<std::pair<long long, const std::vector<double>*>> ranges;
  for (const std::vector<double>& part : parts) {
    const PartHead h = ReadPartHead(part);
    CheckPartHead(h, key, blocks, valuations);
    if (h.first == h.last) continue;  // no blocks
    ranges.emplace_back(h.first, &part);
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<const std::vector<double>*> ordered;
  long long next = 0;
  for (const auto& r : ranges) {
    const PartHead h = ReadPartHead(*r.second);
    Need(h.first >= next, "two parts hold the same block");
    Need(h.first == next, "the parts miss a block");
    next = h.last;
    ordered.push_back(r.second);
  }
  Need(next == blocks, "the parts miss a block");
  return ordered;
}

}  // namespace morvik
