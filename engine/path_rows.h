// The rows of correlated normals of a run of consecutive paths, drawn once
// from a path-addressed source and read by every valuation that runs those
// paths (the base and the bumped valuations of one call). A path's rows are
// drawn a few days at a time, when the first valuation reaches them, so that
// a path that every valuation ends early costs no more draws than it uses.
// A row is a fixed function of its (path, day) address: whoever draws it,
// every reader sees the same bits as a source of its own would give.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <vector>

namespace morvik {

// A path-addressed generator behind the rows, one generator state per slot
// of the run. Any class with PathNormals' shape (StartPath(p); Row(S) the
// current day's row; Produce<NS>() moves to the next day) plugs in through
// PathRowsFrom below.
class PathRowSource {
 public:
  virtual ~PathRowSource() = default;
  // Slot `slot` now holds path `path`; its next row is day 0.
  virtual void Start(int slot, long long path) = 0;
  // Days [from, to) of the slot's path into `out`, row after row; `from` is
  // the first day of the slot not drawn yet.
  virtual void Draw(int slot, int from, int to, double* out) = 0;
};

// PathRowSource over copies of one generator, one per slot.
template <class Source>
class PathRowsFrom final : public PathRowSource {
 public:
  PathRowsFrom(const Source& prototype, int slots, int stocks)
      : src_(static_cast<std::size_t>(slots), prototype), S_(stocks) {}

  void Start(int slot, long long path) override { src_[static_cast<std::size_t>(slot)].StartPath(path); }

  void Draw(int slot, int from, int to, double* out) override {
    Source& s = src_[static_cast<std::size_t>(slot)];
    switch (S_) {
      case 1:
        DrawRows<1>(s, from, to, out);
        break;
      case 2:
        DrawRows<2>(s, from, to, out);
        break;
      case 3:
        DrawRows<3>(s, from, to, out);
        break;
      case 4:
        DrawRows<4>(s, from, to, out);
        break;
      default:
        DrawRows<0>(s, from, to, out);
        break;
    }
  }

 private:
  template <int NS>
  void DrawRows(Source& s, int from, int to, double* out) {
    const int S = NS > 0 ? NS : S_;
    for (int d = from; d < to; ++d) {
      if (d > 0) s.template Produce<NS>();
      const double* row = s.Row(S);
      for (int i = 0; i < S; ++i) out[i] = row[i];
      out += S;
    }
  }

  std::vector<Source> src_;
  int S_;
};

// The rows of up to `slots` consecutive paths of `days` days each (every
// day a path of any reader may step through), `stocks` normals a day:
// slots x days x stocks doubles, allocated once.
class PathRowCache {
 public:
  // Days drawn at a time beyond the one asked for (bounded by `days`).
  static constexpr int kDrawAhead = 8;

  PathRowCache(PathRowSource& source, int slots, int days, int stocks)
      : source_(&source),
        slots_(slots),
        days_(days),
        S_(stocks),
        rows_(static_cast<std::size_t>(slots) * static_cast<std::size_t>(days) * static_cast<std::size_t>(stocks)),
        drawn_(static_cast<std::size_t>(slots), 0) {}

  int Slots() const { return slots_; }

  // Paths first .. first + count - 1 (count <= Slots()) take the slots;
  // nothing of them is drawn yet.
  void Start(long long first, int count) {
    if (count > slots_) throw std::logic_error("path row cache: more paths than slots");
    first_ = first;
    for (int s = 0; s < count; ++s) {
      drawn_[static_cast<std::size_t>(s)] = 0;
      source_->Start(s, first + s);
    }
  }

  long long First() const { return first_; }
  int Stocks() const { return S_; }

  // The rows of slot `slot`, day after day, and how many of them are drawn.
  const double* RowsOf(int slot) const {
    return rows_.data() + static_cast<std::size_t>(slot) * static_cast<std::size_t>(days_) *
                              static_cast<std::size_t>(S_);
  }
  const int* DrawnOf(int slot) const { return drawn_.data() + slot; }

  // Draws the slot's rows up to day `day` (and a few beyond), when no
  // reader has reached it yet.
  void DrawUpTo(int slot, int day) {
    // The cache is sized for the longest reader: a day past it is a fault
    // of the caller, never read out of bounds.
    if (day >= days_) throw std::logic_error("path row cache: day beyond the rows it holds");
    int& drawn = drawn_[static_cast<std::size_t>(slot)];
    if (day < drawn) return;
    int to = drawn + kDrawAhead > day + 1 ? drawn + kDrawAhead : day + 1;
    if (to > days_) to = days_;
    double* out = rows_.data() + (static_cast<std::size_t>(slot) * static_cast<std::size_t>(days_) +
                                  static_cast<std::size_t>(drawn)) * static_cast<std::size_t>(S_);
    source_->Draw(slot, drawn, to, out);
    drawn = to;
  }

 private:
  PathRowSource* source_;
  int slots_;
  int days_;
  int S_;
  long long first_ = 0;
  std::vector<double> rows_;
  std::vector<int> drawn_;  // per slot: days drawn so far
};

// One valuation's view of the cache, with the path loop's source shape:
// StartPath(p) for a path of the cache's run, then Row() day after day (each
// call hands out the next day's row, as SharedReader does; Produce() has
// nothing to do). It keeps only pointers, which the path loop's stores of
// ints and doubles cannot alias, so that they stay in registers.
class PathRowReader {
 public:
  explicit PathRowReader(PathRowCache& cache) : cache_(&cache) {}

  void StartPath(long long p) {
    slot_ = static_cast<int>(p - cache_->First());
    base_ = cache_->RowsOf(slot_);
    next_ = base_;
    drawnEnd_ = base_ + static_cast<std::size_t>(*cache_->DrawnOf(slot_)) * static_cast<std::size_t>(cache_->Stocks());
  }
  const double* Row(int stocks) {
    if (next_ == drawnEnd_) [[unlikely]] DrawMore();
    const double* row = next_;
    next_ += stocks;
    return row;
  }
  template <int NS>
  void Produce() {}

 private:
  void DrawMore() {
    const std::size_t S = static_cast<std::size_t>(cache_->Stocks());
    cache_->DrawUpTo(slot_, static_cast<int>(static_cast<std::size_t>(next_ - base_) / S));
    drawnEnd_ = base_ + static_cast<std::size_t>(*cache_->DrawnOf(slot_)) * S;
  }

  PathRowCache* cache_;
  const double* base_ = nullptr;      // the path's day 0
  const double* next_ = nullptr;      // the row Row() hands out next
  const double* drawnEnd_ = nullptr;  // past the last row drawn
  int slot_ = 0;
};

}  // namespace morvik
