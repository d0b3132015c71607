// Puts the packet protocol on one connected emulator slot (SlotChannel.h: one 65-byte packet
// record per message). Nothing here blocks: Pump() reads what has arrived, answers it and sends
// what is due, so the server runs inside a wait loop without threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "SimPackets.h"
#include "SlotChannel.h"

namespace qsim {

class SimServer {
 public:
  using LogSink = qsim::LogSink;

  SimServer(SimState& state, LogSink log);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Takes over a connected channel (closed by the server). Replaces any earlier connection.
  void Attach(std::unique_ptr<SlotChannel> channel);
  bool Connected() const { return channel_ != nullptr; }
  // The connection, for a caller's wait (shared: a Disconnect during the wait leaves it whole
  // until the caller lets it go); nullptr while not connected.
  std::shared_ptr<SlotChannel> channel() const { return channel_; }
  // Closes the connection, dropping whatever was still to be sent.
  void Disconnect(const std::string& why);
  // False while the machine is unplugged, by the operator or for a while after an unplugging
  // fault; a caller that makes connections waits for true.
  bool WantsConnection(uint32_t now) const;

  // Plugs into the slot at `path` when not connected and the machine wants to be;
  // true when a new connection was made. Says once in the log that it waits for the slot.
  bool PlugInto(const std::string& path, uint32_t now);

  // Reads every packet that has arrived, answers the commands, sends the packets that are due.
  void Pump(uint32_t now);
  // Milliseconds until the server has something to do without new input (a late reply, the end
  // of an unplugging fault); -1 when nothing is waiting.
  int NextWakeMs(uint32_t now) const;

 private:
  void Flush(uint32_t now);

  SimState& state_;
  PacketServer packets_;
  std::shared_ptr<SlotChannel> channel_;
  bool waiting_logged_ = false;
  // Output taken from the protocol that the socket would not take yet.
  std::vector<PacketServer::Output> unsent_;
};

}  // namespace qsim
