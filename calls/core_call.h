// The core pricing call, offered to the core export (interface/ sees the
// layers below through calls/ only): MorvikCore on a CoreArgs and a
// CoreResults (engine/core_valuation.h), whose fields come from the argument
// lists MORVIK_CORE_INPUTS and MORVIK_CORE_RESULTS (engine/core_args.h).
#pragma once

#include "engine/core_valuation.h"
