// What quadrelle-cmd --list shows: every machine on this computer, whoever holds it, without
// taking any. Machines another program holds are listed too, as held.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct MachineListing {
  uint32_t id = 0;        // as the search reads it (emulator: slot + 42); 0 when it cannot be read
  const char* kind = "";  // "HID", "bulk" or "emulator"
  std::string path;       // device path, bulk device path, or the slot's socket file
  std::string serial;     // HID serial number or bulk instance; empty when there is none
  bool held = false;      // another program has it open (or serves the slot)
};

// Says whether another program has the device node `path` open. The default looks through the
// open files of the user's other processes (/proc/<pid>/fd); a HID node can be opened twice, so
// a successful open of our own says nothing.
using HeldByOther = std::function<bool(const std::string& path)>;
bool PathOpenElsewhere(const std::string& path);
// Says whether a program listens on the socket file `path`, without connecting to it (a probe
// connection would look like a machine to the program that listens): /proc/net/unix.
bool SocketListened(const std::string& path);

// Bulk, then HID, then (when the emulator link is on) the emulator slots. A machine that
// cannot be opened because it is held elsewhere is listed as held. Emulator slots nobody
// serves are listened on for `wait_ms` to let simulated machines connect, and are given up
// again before returning; slots another program serves are listed as held without a look.
// Machines this process holds are not listed. Blocks for the listings plus `wait_ms` when the
// emulator link is on. Writes no failure lines.
std::vector<MachineListing> ListMachines(uint32_t wait_ms,
                                         const HeldByOther& held_by_other = PathOpenElsewhere,
                                         const HeldByOther& slot_served = SocketListened);

// One line for quadrelle-cmd: id, kind, path, serial ("-" when none), "held" or "free",
// separated by tabs, no line end.
std::string ListingLine(const MachineListing& machine);
