// The completion reactor: holds every pending transfer that finishes through a completion
// routine, and runs those routines on the calling thread inside alertable sleeps only, the way
// the link expects of overlapped I/O with completion routines. It is the process's
// qclock::AlertableWaiter: qclock::SleepEx(ms, true) waits here.
//
// Two kinds of transfer meet here. Polled devices (PolledDevice) are tried by the reactor when
// they start and in every alertable sleep. Devices the system itself finishes (Windows: the
// emulator's named pipes through ReadFileEx / WriteFileEx) report through Finished from the
// system's completion routine, which runs in the system's alertable wait; their routines then
// run like any other, in this reactor's next alertable sleep. The system's part (how the sleep
// waits for devices: poll on POSIX, alertable SleepEx on Windows) is in its folder.
//
// One thread only: the reactor, its handles and their routines belong to the thread that runs
// the link.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "DeviceHandle.h"
#include "clock.h"

namespace qplatform {

class Reactor : public qclock::AlertableWaiter {
 public:
  // The one reactor; installs itself as the alertable waiter.
  static Reactor& Instance();

  // PolledDevice::ReadEx and WriteEx land here; same results (DeviceHandle.h). They try the
  // device once (TryRead / TryWrite), so they block only as long as that may.
  bool StartRead(PolledDevice* handle, uint8_t* buffer, uint32_t size, Overlapped* overlapped,
                 CompletionRoutine routine, LinkError* error);
  bool StartWrite(PolledDevice* handle, const uint8_t* buffer, uint32_t size,
                  Overlapped* overlapped, CompletionRoutine routine, LinkError* error);
  // Completes the handle's pending transfers with LinkError::kOperationAborted; their routines run
  // at the next alertable sleep. Returns how many were cancelled. Never blocks.
  int Cancel(PolledDevice* handle);
  // True while a transfer of that direction is pending or finished with its routine not yet
  // run: a handle has at most one of each.
  bool HasPending(const CompletionDevice* handle, bool write) const;
  // Drops completions not yet run whose record is `overlapped` (its owner is going away), also
  // those the system has not reported yet.
  void Discard(const Overlapped* overlapped);
  // A transfer the system finished itself: its routine runs at the next alertable sleep.
  // `handle` only identifies the device (for HasPending); it may be gone already. Never blocks.
  void Finished(const CompletionDevice* handle, bool write, CompletionRoutine routine,
                LinkError error, uint32_t bytes, Overlapped* overlapped);

  // Waits up to `ms` on the pending transfers' devices; runs the completion routines that are
  // due and returns qclock::kWaitIoCompletion once any ran, else 0 when the time is up. Blocks
  // up to `ms` (plus what the routines themselves take).
  uint32_t WaitAlertable(uint32_t ms) override;

  // Installs this reactor as the alertable waiter again (after a test replaced it).
  void Install();

 private:
  Reactor();

  struct Pending {
    PolledDevice* handle;
    bool write;
    uint8_t* buffer;
    uint32_t size;
    Overlapped* overlapped;
    CompletionRoutine routine;
  };
  struct Done {
    const CompletionDevice* handle;
    bool write;
    CompletionRoutine routine;
    LinkError error;
    uint32_t bytes;
    Overlapped* overlapped;
  };

  bool Start(const Pending& op, LinkError* error);
  // Tries the device once; a transfer that finished goes to the done queue (true).
  bool TryFinish(const Pending& op);
  // Moves every pending transfer that can finish now to the done queue.
  void Sweep();
  // Runs the routines that were due when it was called; true when any ran.
  bool RunDone();
  // How long the polled devices let a wait last, at most `ms`: 0 when one is due, 1 ms for
  // a device that cannot tell. Devices `waited` says the system waits on itself do not count.
  uint32_t PolledTimeout(uint32_t now, uint32_t ms,
                         bool (*waited)(const PolledDevice*) = nullptr) const;
  // Waits at most `ms` for a device to become ready (the system's folder).
  void WaitForDevices(uint32_t ms);

  std::vector<Pending> pending_;
  std::deque<Done> done_;
};

}  // namespace qplatform
