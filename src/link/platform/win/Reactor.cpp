// The reactor's waits on Windows: the system's own alertable sleep. SleepEx(ms, TRUE) runs the
// completion routines of the native transfers (NativeIo.h), which hand their outcomes to the
// reactor; polled devices (hidapi's, whose handle is hidden; the fakes) are swept between short
// alertable steps, as often as they ask.
#include "Reactor.h"

#include <windows.h>

#include <algorithm>

#include "NativeIo.h"

namespace qplatform {

void Reactor::Discard(const Overlapped* overlapped) {
  std::erase_if(done_, [&](const Done& d) { return d.overlapped == overlapped; });
  std::erase_if(pending_, [&](const Pending& p) { return p.overlapped == overlapped; });
  DiscardNativeTransfers(overlapped);
}

void Reactor::WaitForDevices(uint32_t ms) {
  const uint32_t now = qclock::GetTickCount();
  const uint32_t timeout = PolledTimeout(now, ms);
  if (!NativeTransfersInFlight()) {
    // Nothing the system will finish: only completions already due are delivered, and the
    // rest of the wait is the clock's (the fake clock's in tests).
    if (::SleepEx(0, TRUE) == WAIT_IO_COMPLETION) return;
    if (timeout > 0) qclock::Sleep(timeout);
    return;
  }
  const DWORD woke = ::SleepEx(timeout, TRUE);
  if (woke != WAIT_IO_COMPLETION && timeout > 0 && qclock::GetTickCount() == now) {
    // Real transfers under a fake clock (tests): time only moves when someone moves it.
    qclock::Sleep(timeout);
  }
}

}  // namespace qplatform
