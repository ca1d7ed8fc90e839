// A task runner for tests of work split into tasks: every task on the
// calling thread, last first, so that an order the threads would rarely
// give (and an armed allocation failure in any task) is tried.
#pragma once

#include "sensitivities/task_runner.h"

namespace morvik::support {

inline void RunBackwards(int count, BatchTask task, void* ctx) {
  for (int k = count - 1; k >= 0; --k) task(ctx, k);
}

}  // namespace morvik::support
