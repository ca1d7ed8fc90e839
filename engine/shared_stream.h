// One stream of standard normals shared by every valuation of a call.
//
// Every valuation restarts the same stream from its fixed seed and draws from
// it in order, each at its own pace (paths that redeem early draw fewer
// normals). The stream is generated once, in chunks; a chunk stays in memory
// while there is room, and the generator's state at the start of each chunk is
// kept so that a chunk that had to be dropped can be generated again,
// identically, when a valuation behind the others still needs it. Given the
// valuations' common lower correlation factor, the stream holds each day's
// row of correlated normals instead of the raw ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "numerics/random.h"

namespace morvik {

// Chunk size in normals and the number of chunks kept at most (the defaults
// keep 64 MiB of normals), and the stream's seed (SeededStreamStart; 0 is
// the fixed stream of StreamStart).
struct StreamLimits {
  std::size_t chunkNormals = std::size_t{1} << 17;
  std::size_t maxChunks = 64;
  int seed = 0;
};

class SharedStream {
 public:
  // Rows of `rowLen` normals (a chunk holds whole rows), correlated through
  // the rowLen x rowLen lower factor `chol` when it is given (copied).
  explicit SharedStream(const StreamLimits& limits, int rowLen = 1, const double* chol = nullptr);

  std::size_t ChunkNormals() const { return chunk_; }

  // The normals of chunk k, generated (again) if needed. Chunk k must be at
  // least the lowest chunk still kept (see Release) and at most one past the
  // highest chunk generated so far. The pointer stays valid until the next
  // Acquire or Release.
  const double* Acquire(std::int64_t k);

  // No reader will ask for chunks below k again: their memory and start
  // states are freed.
  void Release(std::int64_t k);

  // Chunks generated so far, counting regenerations (for tests).
  std::int64_t Generated() const { return generated_; }

 private:
  struct Slot {
    std::int64_t index = -1;
    std::uint64_t lastUse = 0;
    std::vector<double> normals;
  };
  std::size_t chunk_;
  std::size_t maxChunks_;
  int rowLen_;
  std::vector<double> chol_;  // empty: raw normals
  std::vector<double> z_;
  std::vector<Slot> slots_;
  std::deque<RandState> starts_;  // state at the start of chunk firstStart_ + m
  std::int64_t firstStart_ = 0;
  std::uint64_t clock_ = 0;
  std::int64_t generated_ = 0;
};

// A valuation's cursor into the shared stream. Between two batches of paths
// the cursor keeps only its position: Attach() before reading again, since
// another reader may have dropped the chunk it was in.
struct SharedReader {
  SharedStream* stream = nullptr;
  std::int64_t chunk = -1;  // -1: nothing read yet
  std::size_t offset = 0;   // normals already read from `chunk`
  const double* p = nullptr;
  const double* end = nullptr;

  void Attach() {
    if (chunk < 0) return;
    const double* base = stream->Acquire(chunk);
    p = base + offset;
    end = base + stream->ChunkNormals();
  }
  void Detach() {
    if (chunk >= 0) offset = stream->ChunkNormals() - static_cast<std::size_t>(end - p);
    p = end = nullptr;
  }
  // Normals read so far (valid while detached).
  std::int64_t Position() const {
    return chunk < 0 ? 0 : chunk * static_cast<std::int64_t>(stream->ChunkNormals()) +
                               static_cast<std::int64_t>(offset);
  }
  double Next() {
    if (p == end) [[unlikely]] NextChunk();
    return *p++;
  }
  // Paths follow each other in the stream: nothing to do at a path's start.
  void StartPath(long long /*path*/) {}
  // Nothing to draw: the rows are already in the stream.
  template <int NS>
  void Produce() {}
  // The next row of S values; S is the stream's row length.
  const double* Row(int S) {
    if (p == end) [[unlikely]] NextChunk();
    const double* r = p;
    p += S;
    return r;
  }
  void NextChunk() {
    ++chunk;
    p = stream->Acquire(chunk);
    end = p + stream->ChunkNormals();
  }
};

}  // namespace morvik
