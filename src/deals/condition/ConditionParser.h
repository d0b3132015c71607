// Reads a condition script in the core of the input language of the public-domain deal
// generator "dealer": generate, produce, dealer, vulnerable, predeal, condition (or a bare
// expression), NAME = EXPR and action (printall, printoneline, printpbn, average, frequency);
// C-like expressions with and/or/not; hcp, suit lengths, shape, hascard, controls, losers and the
// alternative counts (tens .. c13, pt0 .. pt9). Anything else the language has is refused with
// its name and place rather than ignored, so a script never means less than it says.
#pragma once

#include <string>

#include "ConditionScript.h"
#include "ScriptError.h"

// False with `error` set at the first fault; names are checked too (each used name defined, no
// name defined in terms of itself).
bool ParseConditionScript(const std::string& text, ConditionScript& script, ScriptError& error);
