// The machine's USB side: serves a simulated machine over one connected emulator socket
// (SOCK_SEQPACKET, one 65-byte packet record per message). ALIVE is taken silently; a HEADER
// with its COMMAND is answered with a HEADER, the DATA packets and a STATUS, or with a STATUS
// alone when the reply has no text. Injected link faults bend the next replies.
//
// Nothing here blocks: Pump() reads what has arrived, answers it and sends what is due, so the
// server can run inside a poll loop (the program) or inside a test's waits (no threads).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "PacketFormat.h"
#include "SimControl.h"

namespace qsim {

class SimServer {
 public:
  using LogSink = std::function<void(const std::string&)>;

  // `log` receives one line (without newline) for every command, reply and link event.
  SimServer(SimState& state, LogSink log);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Takes over a connected socket (closed by the server). Replaces any earlier connection.
  void Attach(int fd);
  bool Connected() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Closes the connection, dropping whatever was still to be sent.
  void Disconnect(const std::string& why);
  // False while the machine is unplugged, by the operator or for a while after an unplugging
  // fault; a caller that makes connections waits for true.
  bool WantsConnection(uint32_t now) const;

  // Reads every packet that has arrived, answers the commands, sends the packets that are due.
  void Pump(uint32_t now);
  // Milliseconds until the server has something to do without new input (a late reply, the end
  // of an unplugging fault); -1 when nothing is waiting.
  int NextWakeMs(uint32_t now) const;

 private:
  struct Outgoing {
    uint32_t due;
    PacketRecord record;
    bool close_after;  // an unplugging fault cuts the connection after this packet
  };

  void Receive(const PacketRecord& record, uint32_t now);
  void Answer(uint32_t transmission, const std::string& command, uint32_t now);
  std::vector<PacketRecord> BuildReply(uint32_t transmission, const Reply& reply,
                                       const LinkFault* fault);
  void AddStrays(std::vector<PacketRecord>& packets);
  void Flush(uint32_t now);
  void Log(const std::string& line) const;

  SimState& state_;
  LogSink log_;
  int fd_ = -1;
  std::deque<Outgoing> outgoing_;
  // The HEADER that opened the command being received.
  bool header_seen_ = false;
  uint32_t transmission_ = 0;
  uint32_t commands_expected_ = 0;
  std::string command_;
  uint32_t replies_ = 0;
  bool unplugged_by_fault_ = false;
  uint32_t replug_at_ = 0;
};

}  // namespace qsim
