// A simulated machine served on an emulator slot from a thread of its own, as quadrelle-sim's
// loop serves it: plug into the slot while the machine wants to be, serve what has arrived and
// what is due, wait up to 2 ms for input. For a program or test that needs the machine beside it
// in one process; it runs on the real clock (Now()).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "SimControl.h"
#include "SimServer.h"

namespace qsim {

class SlotThread {
 public:
  // Starts serving a machine with `options` on the slot at `path`. The server's log lines
  // go to `log` (none when empty), on the thread and never during a WithState.
  SlotThread(MachineOptions options, std::string path, LogSink log = {});
  // Stops and joins the thread; the connection closes with its server.
  ~SlotThread();
  SlotThread(const SlotThread&) = delete;
  SlotThread& operator=(const SlotThread&) = delete;

  // Runs `work` on the machine between two turns of the thread, never during one.
  void WithState(const std::function<void(SimState&)>& work);
  // Pulls the cable (the connection closes at once and stays away) or plugs it in again.
  void SetPlugged(bool plugged);

  // The thread's clock in ms (steady, any epoch): the time to give the machine's own calls.
  static uint32_t Now();

 private:
  void Run();

  SimState state_;
  const std::string path_;
  const LogSink log_;
  std::mutex mutex_;             // held for each turn and for WithState / SetPlugged
  SimServer* server_ = nullptr;  // the thread's server while it runs
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts when everything above is ready
};

}  // namespace qsim
