// The dump of every input of the full pricing call, one line per input.
#pragma once

#include "calls/extended_args.h"

namespace morvik {

// Writes the 46 input lines of one call to ZUN_Module_Log/<subdir>/<file>.
void LogInputs(const char* subdir, const char* file, const ExtendedArgs& args);

}  // namespace morvik
