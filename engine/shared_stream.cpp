// Chunked shared normal stream with regeneration from saved start states.
#include "engine/shared_stream.h"

#include "engine/correlate.h"

namespace morvik {

SharedStream::SharedStream(const StreamLimits& limits, int rowLen, const double* chol)
    : maxChunks_(limits.maxChunks > 0 ? limits.maxChunks : 1), rowLen_(rowLen > 0 ? rowLen : 1) {
  const std::size_t row = static_cast<std::size_t>(rowLen_);
  chunk_ = limits.chunkNormals / row * row;
  if (chunk_ == 0) chunk_ = row;
  if (chol != nullptr) chol_.assign(chol, chol + row * row);
  z_.assign(row, 0.0);
  starts_.push_back(SeededStreamStart(limits.seed));
}

const double* SharedStream::Acquire(std::int64_t k) {
  ++clock_;
  for (Slot& s : slots_) {
    if (s.index == k) {
      s.lastUse = clock_;
      return s.normals.data();
    }
  }
  Slot* slot = nullptr;
  for (Slot& s : slots_) {
    if (s.index < 0) {
      slot = &s;
      break;
    }
  }
  if (slot != nullptr) {
    // A released slot: reused before any new memory is taken.
  } else if (slots_.size() < maxChunks_) {
    slots_.emplace_back();
    slot = &slots_.back();
    slot->normals.resize(chunk_);
  } else {
    slot = &slots_[0];
    for (Slot& s : slots_) {
      if (s.lastUse < slot->lastUse) slot = &s;
    }
  }
  RandState state = starts_[static_cast<std::size_t>(k - firstStart_)];
  double* out = slot->normals.data();
  if (chol_.empty()) {
    for (std::size_t m = 0; m < chunk_; ++m) out[m] = RandNormal(state, 1);
  } else {
    for (std::size_t m = 0; m < chunk_; m += static_cast<std::size_t>(rowLen_))
      DrawCorrelatedRow<>(state, chol_.data(), rowLen_, z_.data(), out + m);
  }
  if (k + 1 == firstStart_ + static_cast<std::int64_t>(starts_.size())) starts_.push_back(state);
  slot->index = k;
  slot->lastUse = clock_;
  ++generated_;
  return out;
}

void SharedStream::Release(std::int64_t k) {
  for (Slot& s : slots_) {
    if (s.index >= 0 && s.index < k) {
      s.index = -1;
      s.lastUse = 0;
    }
  }
  while (firstStart_ < k && starts_.size() > 1) {
    starts_.pop_front();
    ++firstStart_;
  }
}

}  // namespace morvik
