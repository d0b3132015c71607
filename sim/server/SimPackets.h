// The firmware's packet protocol, free of any transport: packet records from the program go
// in, the packets of the replies come out with the tick at which they are due. ALIVE is taken
// silently; a HEADER with its COMMAND is answered with a HEADER, the DATA packets and a
// STATUS, or with a STATUS alone when the reply has no text. Injected link faults bend the
// next replies; stray LOG and USERSTATUS packets are mixed in at the configured rate.
//
// The socket server (SimServer) and test transports both drive this.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "PacketFormat.h"
#include "SimControl.h"

namespace qsim {

using LogSink = std::function<void(const std::string&)>;

class PacketServer {
 public:
  struct Output {
    uint32_t due = 0;
    bool hang_up = false;  // the connection ends here (an unplugging fault); no record
    PacketRecord record;
  };

  // `log` receives one line (without newline) for every command, reply and fault.
  PacketServer(SimState& state, LogSink log);

  // One packet record from the program, arriving at `now`.
  void Receive(const PacketRecord& record, uint32_t now);
  // Removes and returns the outputs due by `now`, in order (a later one never overtakes an
  // earlier one, as on a wire).
  std::vector<Output> TakeDue(uint32_t now);
  // Removes and returns every queued output, for transports that schedule delivery themselves.
  std::vector<Output> TakeAll();
  bool HasOutput() const { return !outgoing_.empty(); }
  uint32_t NextDue() const { return outgoing_.empty() ? 0 : outgoing_.front().due; }
  // A new connection: a half-received command and unsent output are forgotten.
  void Reset();

  // Whether an unplugging fault keeps the machine away at `now`.
  bool HeldAway(uint32_t now) const;
  uint32_t ReplugAt() const { return replug_at_; }

  void Log(const std::string& line) const;

 private:
  void Answer(uint32_t transmission, const std::string& command, uint32_t now);
  std::vector<PacketRecord> BuildReply(uint32_t transmission, const Reply& reply,
                                       const LinkFault* fault) const;
  void AddStrays(std::vector<PacketRecord>& packets) const;

  SimState& state_;
  LogSink log_;
  std::deque<Output> outgoing_;
  // The HEADER that opened the command being received.
  bool header_seen_ = false;
  uint32_t transmission_ = 0;
  uint32_t commands_expected_ = 0;
  std::string command_;
  uint32_t replies_ = 0;
  bool held_away_ = false;
  uint32_t replug_at_ = 0;
};

}  // namespace qsim
