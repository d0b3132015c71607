// The machine's end of an emulator slot, the one part of the simulator that speaks to the
// system: one connection to a running program's slot, one packet record per message in both
// directions. POSIX: a Unix-domain SOCK_SEQPACKET socket (posix/SlotChannel.cpp). Windows: the
// slot's named pipe, opened as its client in message read mode (win/SlotChannel.cpp). Nothing
// here waits unless asked to (Wait).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace qsim {

class SlotChannel {
 public:
  enum class Io {
    kDone,    // a message moved
    kAgain,   // nothing to read, or the other end takes nothing now: try again later
    kClosed,  // the other end hung up
    kFailed,  // the system failed; *why says how
  };

  virtual ~SlotChannel() = default;

  // Connects to the slot at `path` (EmulatorLink::SlotPath). nullptr with *why (the system's
  // words) while no program serves the slot, or when it cannot be connected to.
  static std::unique_ptr<SlotChannel> Connect(const std::string& path, std::string* why);
  // Two connected ends of the slots' kind of channel, the first one the program's (tests).
  // Both nullptr when the system cannot make them.
  static std::pair<std::unique_ptr<SlotChannel>, std::unique_ptr<SlotChannel>> Pair();

  // Takes the next message without waiting: kDone with *size its length; a message longer than
  // `capacity` fills the buffer, *size says its whole length and the rest is dropped.
  virtual Io Receive(uint8_t* buffer, size_t capacity, size_t* size, std::string* why) = 0;
  // Sends one message without waiting (kAgain: the other end is not reading).
  virtual Io Send(const uint8_t* data, size_t size, std::string* why) = 0;
  // Waits up to `ms` for a message (or the hang-up); returns early once one is there.
  virtual void Wait(int ms) = 0;
  // The descriptor whose readiness tells that a message is there, for a caller that polls it
  // with others (POSIX); -1 where the system has none.
  virtual int Descriptor() const { return -1; }
};

}  // namespace qsim
