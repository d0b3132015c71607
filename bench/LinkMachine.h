// The system's part of bench_link: a folder for the emulator's slots, and the machine on the far
// end, one thread that answers every COMMAND with the STAT reply (a HEADER, one DATA packet
// "01 busy" and a STATUS) on two channels: the program's emulator slot and the floor's bare
// channel. POSIX (posix/LinkMachine.cpp): the floor is a SOCK_SEQPACKET socket pair. Windows
// (win/LinkMachine.cpp): a message-mode, duplex, overlapped named pipe of its own, made like a
// slot's instance. The floor's host end moves the same records as the link's exchange with the
// system's plainest calls, so the exchange is measured against the channel alone.
#pragma once

#include <memory>
#include <string>

#include "PacketFormat.h"

namespace linkbench {

// A folder for the slots that no other program uses (POSIX: a new temporary directory; Windows:
// a folder of its own under \\.\pipe). Aborts when none can be had.
std::string MakeSlotFolder();
// Removes what MakeSlotFolder made, once the slots are closed.
void RemoveSlotFolder(const std::string& folder);

// The floor benchmark's name, after its channel.
const char* FloorName();

class Machine {
 public:
  // Connects to the listening slot at `slot_path`, makes the floor channel and starts the
  // machine's thread. Aborts when any of it fails: a benchmark has nothing to fall back on.
  explicit Machine(const std::string& slot_path);
  // Stops the thread and closes both channels.
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // One exchange on the floor from the host's end: the two records out as two messages, then
  // three messages back. Blocks until they are there; false when the channel failed or a
  // message was not one record.
  bool FloorExchange(const PacketRecord (&out)[2], PacketRecord (&in)[3]);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace linkbench
