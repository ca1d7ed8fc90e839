// The task runner of the term-sheet layer (PriceRequest::threads): a batch
// of tasks on threads of its own.
#pragma once

#include <system_error>
#include <thread>
#include <vector>

#include "calls/task_runner.h"

namespace morvik {

// Runs task 0 on the calling thread and every other task on a thread of its
// own; a task whose thread cannot be started runs on the calling thread.
// Returns when all have run (every started thread is joined, on every path).
inline void RunTasksOnThreads(int count, BatchTask task, void* ctx) {
  std::vector<int> here;  // tasks left to the calling thread
  std::vector<std::jthread> started;
  try {
    here.reserve(static_cast<std::size_t>(count));
    started.reserve(static_cast<std::size_t>(count));
  } catch (...) {  // no room to keep track of threads: everything here
    for (int k = 0; k < count; ++k) task(ctx, k);
    return;
  }
  if (count > 0) here.push_back(0);
  for (int k = 1; k < count; ++k) {
    try {
      started.emplace_back(task, ctx, k);
    } catch (const std::system_error&) {
      here.push_back(k);
    }
  }
  for (int k : here) task(ctx, k);
}

// A runner of `threads` tasks at once on RunTasksOnThreads.
inline TaskRunner ThreadRunner(int threads) { return TaskRunner{threads, &RunTasksOnThreads}; }

}  // namespace morvik
