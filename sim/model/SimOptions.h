// The simulator's command line. Most options set the start-up state through the same control
// lines an operator could type later, so both stay one vocabulary.
#pragma once

#include <string>
#include <vector>

#include "SimMachine.h"

namespace qsim {

struct SimArgs {
  MachineOptions machine;
  std::vector<std::string> control_lines;  // run in order before the first connection
  int slot = 0;                            // emulator slot 0..9 (socket tppipe00..tppipe09)
  std::string directory;                   // where the slots are; empty: the usual places
  std::string control_socket;              // path of the control socket; empty: none
  bool read_stdin = true;
  bool quiet = false;  // no command log on standard error
  bool help = false;
  std::string error;  // set when the command line could not be read
};

SimArgs ParseSimArgs(const std::vector<std::string>& args);

const char* SimUsage();

}  // namespace qsim
