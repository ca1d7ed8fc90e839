// The note's rules, offered to the layers above the call layer (they see no
// lower folder), for a walk over a history of closes that must run what the
// engine runs: the rules of a day, an observation date and maturity
// (engine/note_state.h: State, Rules, DateTerms, CouponTerms, ...) and the
// payoff rules they are made of (engine/payoff_rules.h: Threshold, kLevels,
// PayoffLimits, MaturityTerms, ...).
#pragma once

#include "engine/note_state.h"
#include "engine/payoff_rules.h"
