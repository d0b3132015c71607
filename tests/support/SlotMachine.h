// A scripted machine on the far end of an emulator slot, for the tests that play the machine
// themselves: it connects through the simulator's SlotChannel (a seqpacket socket on POSIX, the
// slot's named pipe on Windows), so the same test runs on both systems. On a thread of its own
// it answers each COMMAND with what `replies` makes of it (given the last HEADER's transmission
// number) and counts ALIVE packets, until the program hangs up or the test does.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PacketFormat.h"

namespace qsim {
class SlotChannel;
}

class SlotMachine {
 public:
  using Replies =
      std::function<std::vector<PacketRecord>(uint32_t transmission, const std::string& command)>;

  // Connects to the slot at `path` on its thread, trying for up to `wait_ms` while the slot is
  // not there yet (0: once).
  SlotMachine(std::string path, Replies replies, int wait_ms = 0);
  // Hangs up (if the program has not) and joins the thread.
  ~SlotMachine();
  SlotMachine(const SlotMachine&) = delete;
  SlotMachine& operator=(const SlotMachine&) = delete;

  // Blocks until the machine is connected or gave up trying; true when connected.
  bool WaitConnected();
  // Blocks until the program hung up (or the machine never connected).
  void WaitFinished();
  // Pulls the cable: the machine answers nothing more, and the program sees the hang-up within
  // a few milliseconds (once the machine's thread lets the channel go; at once when the object
  // is destroyed).
  void HangUp();
  // Sends one message as it is (a malformed record, say).
  void SendRaw(const void* bytes, size_t size);
  int alive_count() const { return alive_; }

 private:
  void Run();
  bool Send(const void* bytes, size_t size);

  const std::string path_;
  const Replies replies_;
  const int wait_ms_;
  std::mutex mutex_;  // the channel, for sends from the test's thread
  std::shared_ptr<qsim::SlotChannel> channel_;
  std::atomic<int> state_{0};  // 0 connecting, 1 connected, 2 gave up, 3 finished
  std::atomic<bool> hang_up_{false};
  std::atomic<int> alive_{0};
  std::thread thread_;
};

// The replies of a machine that answers every command with "00 " and the command, after a LOG
// and a USERSTATUS packet that the link must drop.
std::vector<PacketRecord> EchoReplies(uint32_t transmission, const std::string& command);
