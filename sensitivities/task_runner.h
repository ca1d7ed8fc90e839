// How a caller lets the full call's valuations run side by side.
#pragma once

namespace morvik {

// A task of a batch: task(ctx, k) for k = 0..count-1.
using BatchTask = void (*)(void* ctx, int k);

// Supplied by a caller that wants work spread over threads of its own
// (the library starts none): run(count, task, ctx) calls task(ctx, k) once
// for every k in [0, count), in any order and on any threads, and returns
// only when every call has returned. It must not throw.
struct TaskRunner {
  int width = 1;  // tasks worth running at once
  void (*run)(int count, BatchTask task, void* ctx) = nullptr;
};

}  // namespace morvik
