// A task runner on threads of the benchmark's own (the library starts none).
#pragma once

#include <thread>
#include <vector>

#include "sensitivities/task_runner.h"

namespace morvik::bench {

// Task 0 on the calling thread, every other task on a thread of its own.
inline void RunOnThreads(int count, BatchTask task, void* ctx) {
  std::vector<std::thread> threads;
  for (int k = 1; k < count; ++k) threads.emplace_back(task, ctx, k);
  if (count > 0) task(ctx, 0);
  for (std::thread& t : threads) t.join();
}

}  // namespace morvik::bench
