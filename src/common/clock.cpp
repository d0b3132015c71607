#include "clock.h"

#include <chrono>
#include <thread>

namespace qclock {
namespace {

class SystemClock : public Clock {
 public:
  uint32_t TickCount() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

SystemClock g_system_clock;
Clock* g_clock = &g_system_clock;
AlertableWaiter* g_waiter = nullptr;

}  // namespace

Clock* SetClock(Clock* clock) {
  Clock* previous = g_clock;
  g_clock = clock ? clock : &g_system_clock;
  return previous;
}

Clock& CurrentClock() {
  return *g_clock;
}

AlertableWaiter* SetAlertableWaiter(AlertableWaiter* waiter) {
  AlertableWaiter* previous = g_waiter;
  g_waiter = waiter;
  return previous;
}

uint32_t GetTickCount() {
  return g_clock->TickCount();
}

void Sleep(uint32_t ms) {
  g_clock->Sleep(ms);
}

uint32_t SleepEx(uint32_t ms, bool alertable) {
  if (alertable && g_waiter != nullptr) {
    return g_waiter->WaitAlertable(ms);
  }
  g_clock->Sleep(ms);
  return 0;
}

}  // namespace qclock
