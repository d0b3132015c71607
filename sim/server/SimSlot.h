// Where the program's emulator slots are and how the machine plugs into one: the program
// listens on Unix SOCK_SEQPACKET sockets tppipe00 .. tppipe09; the machine connects.
#pragma once

#include <string>

namespace qsim {

// $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else /tmp.
std::string EmulatorDirectory();
std::string SlotPath(const std::string& directory, int slot);

// Connects to a slot; returns the socket, or -1 with errno set (ENOENT or ECONNREFUSED while
// the program is not running).
int ConnectSlot(const std::string& path);

// A listening stream socket for control lines, private to the user. Returns -1 with errno set.
int ListenControl(const std::string& path);

}  // namespace qsim
