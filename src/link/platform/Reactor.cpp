// The completion reactor's bookkeeping, the same on every system: starting, cancelling and
// sweeping polled transfers, and running the routines that are due. How a sleep waits for the
// devices is the system's (posix/Reactor.cpp, win/Reactor.cpp).
#include "Reactor.h"

#include <algorithm>

namespace qplatform {
namespace {

bool TickReached(uint32_t now, uint32_t tick) {
  return static_cast<int32_t>(now - tick) >= 0;
}

}  // namespace

Reactor& Reactor::Instance() {
  static Reactor reactor;
  return reactor;
}

Reactor::Reactor() {
  Install();
}

void Reactor::Install() {
  qclock::SetAlertableWaiter(this);
}

bool Reactor::StartRead(PolledDevice* handle, uint8_t* buffer, uint32_t size,
                        Overlapped* overlapped, CompletionRoutine routine, LinkError* error) {
  return Start({handle, false, buffer, size, overlapped, routine}, error);
}

bool Reactor::StartWrite(PolledDevice* handle, const uint8_t* buffer, uint32_t size,
                         Overlapped* overlapped, CompletionRoutine routine, LinkError* error) {
  // The buffer is only read; the pending record keeps one pointer type for both directions.
  return Start({handle, true, const_cast<uint8_t*>(buffer), size, overlapped, routine}, error);
}

bool Reactor::Start(const Pending& op, LinkError* error) {
  LinkError scratch = LinkError::kSuccess;
  if (error == nullptr) error = &scratch;
  if (op.handle == nullptr) {
    *error = LinkError::kInvalidHandle;
    return false;
  }
  if (op.routine == nullptr || op.buffer == nullptr || op.size == 0) {
    *error = LinkError::kInvalidParameter;
    return false;
  }
  if (HasPending(op.handle, op.write)) {
    *error = LinkError::kBusy;
    return false;
  }
  if (!op.handle->AcceptTransfer(op.write, error)) return false;
  // A transfer the device can finish at once still reports through its routine, and only in
  // an alertable sleep; trying now just gets the bytes moving without a wait.
  if (!TryFinish(op)) pending_.push_back(op);
  Install();
  *error = LinkError::kSuccess;
  return true;
}

int Reactor::Cancel(PolledDevice* handle) {
  int cancelled = 0;
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->handle == handle) {
      done_.push_back(
          {it->handle, it->write, it->routine, LinkError::kOperationAborted, 0, it->overlapped});
      it = pending_.erase(it);
      ++cancelled;
    } else {
      ++it;
    }
  }
  return cancelled;
}

bool Reactor::HasPending(const CompletionDevice* handle, bool write) const {
  return std::any_of(pending_.begin(), pending_.end(),
                     [&](const Pending& p) { return p.handle == handle && p.write == write; }) ||
         std::any_of(done_.begin(), done_.end(),
                     [&](const Done& d) { return d.handle == handle && d.write == write; });
}

void Reactor::Finished(const CompletionDevice* handle, bool write, CompletionRoutine routine,
                       LinkError error, uint32_t bytes, Overlapped* overlapped) {
  done_.push_back({handle, write, routine, error, bytes, overlapped});
}

bool Reactor::TryFinish(const Pending& op) {
  LinkError error = LinkError::kSuccess;
  uint32_t bytes = 0;
  const bool finished = op.write ? op.handle->TryWrite(op.buffer, op.size, &error, &bytes)
                                 : op.handle->TryRead(op.buffer, op.size, &error, &bytes);
  if (finished) done_.push_back({op.handle, op.write, op.routine, error, bytes, op.overlapped});
  return finished;
}

void Reactor::Sweep() {
  for (size_t i = 0; i < pending_.size();) {
    if (TryFinish(pending_[i])) {
      pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

bool Reactor::RunDone() {
  // Routines queued by routines (the next read a completion starts) wait for the next sleep,
  // so one wait never loops on a device that keeps delivering.
  size_t due = done_.size();
  bool ran = false;
  while (due-- > 0 && !done_.empty()) {
    const Done d = done_.front();
    done_.pop_front();
    d.routine(d.error, d.bytes, d.overlapped);
    ran = true;
  }
  return ran;
}

uint32_t Reactor::PolledTimeout(uint32_t now, uint32_t ms,
                                bool (*waited)(const PolledDevice*)) const {
  uint32_t timeout = ms;
  for (const Pending& op : pending_) {
    if (waited != nullptr && waited(op.handle)) continue;
    uint32_t tick = 0;
    if (op.handle->NextEventTick(op.write, &tick)) {
      timeout = std::min(timeout, TickReached(now, tick) ? 0u : tick - now);
    } else {
      timeout = std::min(timeout, 1u);  // a device that cannot tell: look again soon
    }
  }
  return timeout;
}

uint32_t Reactor::WaitAlertable(uint32_t ms) {
  const uint32_t deadline = qclock::GetTickCount() + ms;
  for (;;) {
    Sweep();
    if (RunDone()) return qclock::kWaitIoCompletion;
    const uint32_t now = qclock::GetTickCount();
    if (TickReached(now, deadline)) return 0;
    WaitForDevices(deadline - now);
  }
}

}  // namespace qplatform
