// Where the program's emulator slots are: the program serves tppipe00 .. tppipe09 (POSIX: Unix
// SOCK_SEQPACKET sockets in a directory; Windows: named pipes), the machine connects to one
// through SlotChannel.h.
#pragma once

#include <string>

namespace qsim {

// POSIX: $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else /tmp. Windows: \\.\pipe, or the
// subfolder of it that $QUADRELLE_EMULATOR_DIR names.
std::string EmulatorDirectory();
std::string SlotPath(const std::string& directory, int slot);

}  // namespace qsim
