// The one seam for time: every read of the millisecond tick count and every sleep in the
// program goes through here, so that tests can run minutes of machine time in microseconds.
#pragma once

#include <cstdint>

namespace qclock {

// What SleepEx returns when it came back early because completion routines ran.
constexpr uint32_t kWaitIoCompletion = 0xC0;

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed point; wraps like the platform's 32-bit tick count.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// Runs the completion routines that become due within `ms` on the calling thread and returns
// kWaitIoCompletion as soon as one ran, or 0 when the time passed without one. The machine
// link installs one; it advances time through the installed clock.
class AlertableWaiter {
 public:
  virtual ~AlertableWaiter() = default;
  virtual uint32_t WaitAlertable(uint32_t ms) = 0;
};

// A clock for tests: time only moves when a test (or a sleep) moves it.
class FakeClock : public Clock {
 public:
  explicit FakeClock(uint32_t start = 1000) : now_(start) {}
  uint32_t TickCount() override { return now_; }
  void Sleep(uint32_t ms) override { now_ += ms; }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t now) { now_ = now; }

 private:
  uint32_t now_;
};

// Installs a clock; nullptr restores the system clock. Returns the one that was installed.
Clock* SetClock(Clock* clock);
Clock& CurrentClock();

// Installs the waiter that alertable sleeps use; nullptr removes it. Returns the previous one.
AlertableWaiter* SetAlertableWaiter(AlertableWaiter* waiter);

uint32_t GetTickCount();
void Sleep(uint32_t ms);
// Alertable: hands the wait to the installed waiter (when there is one). Not alertable, or no
// waiter: an ordinary sleep, returning 0.
uint32_t SleepEx(uint32_t ms, bool alertable);

// Installs a clock for the lifetime of a scope (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock* clock) : previous_(SetClock(clock)) {}
  ~ScopedClock() { SetClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace qclock
