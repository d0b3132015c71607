// The control channel: one line at a time from an operator (standard input) or a test (the
// control socket) acts on the machine as a person at the machine would, or injects a fault.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "SimFaults.h"
#include "SimMachine.h"

namespace qsim {

// Everything a simulated machine is: the firmware model and its USB side's faults.
struct SimState {
  explicit SimState(MachineOptions options = {}) : machine(std::move(options)) {}
  Machine machine;
  LinkFaults link;
};

struct ControlResult {
  bool ok = true;     // false: the line was not understood; `text` says why
  bool quit = false;  // the operator asked the simulator to end
  std::string text;   // what to show the operator; may span several lines, each ending in \n
};

ControlResult RunControlLine(SimState& state, std::string_view line, uint32_t now);

// The four pockets as hands, one line each: "pocket 1: AKQ.JT9.8765.432 (13 cards)".
std::string PocketsText(const Machine& machine);

// Every control line with a short explanation, for "help" and --help.
const char* ControlHelp();

}  // namespace qsim
