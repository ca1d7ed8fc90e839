// Results of numbered blocks of work (0, 1, 2, ...) that finish in any
// order, on any thread, handed on in block order: sums added block after
// block give the same bits whoever finished first. Only blocks that finish
// ahead of an unfinished one are held.
#pragma once

#include <map>
#include <mutex>
#include <utility>

namespace morvik {

template <class Item>
class InBlockOrder {
 public:
  // Block b's item: when every block before b has been handed on,
  // take(b, item) runs for it and then for each held item that follows it,
  // in order, with that item's block number;
  // otherwise the item is held (moved out of `item`, which is left as a
  // fresh Item). Runs under a lock: `take` is never called from two threads
  // at once.
  template <class Take>
  void Put(long long b, Item& item, Take take) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (b != next_) {
      held_.emplace(b, std::move(item));
      item = Item{};
      return;
    }
    take(next_, item);
    ++next_;
    for (auto it = held_.begin(); it != held_.end() && it->first == next_; it = held_.erase(it)) {
      take(it->first, it->second);
      ++next_;
    }
  }

  // Blocks handed on so far.
  long long Done() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_;
  }

 private:
  mutable std::mutex mutex_;
  long long next_ = 0;
  std::map<long long, Item> held_;
};

}  // namespace morvik
