// Results of numbered blocks of work (0, 1, 2, ...) that finish in any
// order, on any thread, handed on in block order: sums added block after
// block give the same bits whoever finished first. Only blocks that finish
// ahead of an unfinished one are held.
#pragma once

#include <atomic>
#include <map>
#include <utility>

namespace morvik {

// A lock held for a few microseconds once per block of paths. Not std::mutex:
// the Windows toolchain's thread model (MinGW, win32 threads) has none, and
// waiting this briefly needs no sleep.
class BlockLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

// Holds `lock` for the scope.
class BlockLockHeld {
 public:
  explicit BlockLockHeld(BlockLock& lock) : lock_(lock) { lock_.lock(); }
  ~BlockLockHeld() { lock_.unlock(); }
  BlockLockHeld(const BlockLockHeld&) = delete;
  BlockLockHeld& operator=(const BlockLockHeld&) = delete;

 private:
  BlockLock& lock_;
};

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
    BlockLockHeld held(lock_);
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

  // Hands on blocks from `first` (before any Put): those before it are
  // another caller's.
  void StartAt(long long first) {
    BlockLockHeld held(lock_);
    next_ = first;
  }

  // The next block to hand on: the blocks handed on so far, from 0.
  long long Done() const {
    BlockLockHeld held(lock_);
    return next_;
  }

 private:
  mutable BlockLock lock_;
  long long next_ = 0;
  std::map<long long, Item> held_;
};

}  // namespace morvik
