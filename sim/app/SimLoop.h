// quadrelle-sim's loop, the program's system part: serve the machine on its slot, take control
// lines (standard input; on POSIX also the control socket), until told to quit or stopped.
// POSIX: one poll over every source (posix/SimLoop.cpp). Windows: standard input is read on a
// thread of its own and the slot is looked at between short waits (win/SimLoop.cpp).
#pragma once

#include <string>

#include "SimControl.h"
#include "SimOptions.h"
#include "SimServer.h"

namespace qsim {

// Returns the program's exit code (0, or 1 when a source cannot be set up).
int RunSimLoop(const SimArgs& args, SimState& state, SimServer& server,
               const std::string& slot_path, const LogSink& log);

}  // namespace qsim
