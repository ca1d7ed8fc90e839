// How a batch of tasks is run (sensitivities/task_runner.h: TaskRunner,
// BatchTask), offered to the layers above the call layer (they see no lower
// folder) for handing the full call a runner of their own
// (ValuationOptions::runner).
#pragma once

#include "sensitivities/task_runner.h"
