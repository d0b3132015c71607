// The reactor's waits on POSIX: the devices' descriptors (the emulator's sockets) through poll,
// every other polled device on the clock seam.
#include "Reactor.h"

#include <poll.h>

#include <algorithm>

#include "PollSource.h"

namespace qplatform {
namespace {

int DescriptorOf(const PolledDevice* handle) {
  const auto* source = dynamic_cast<const PollSource*>(handle);
  return source != nullptr ? source->PollDescriptor() : -1;
}

bool HasDescriptor(const PolledDevice* handle) {
  return DescriptorOf(handle) >= 0;
}

}  // namespace

void Reactor::Discard(const Overlapped* overlapped) {
  std::erase_if(done_, [&](const Done& d) { return d.overlapped == overlapped; });
  std::erase_if(pending_, [&](const Pending& p) { return p.overlapped == overlapped; });
}

void Reactor::WaitForDevices(uint32_t ms) {
  const uint32_t now = qclock::GetTickCount();
  const uint32_t timeout = PolledTimeout(now, ms, HasDescriptor);
  std::vector<pollfd> fds;
  for (const Pending& op : pending_) {
    const int fd = DescriptorOf(op.handle);
    if (fd < 0) continue;
    const short events = op.write ? POLLOUT : POLLIN;
    auto same = std::find_if(fds.begin(), fds.end(), [&](const pollfd& p) { return p.fd == fd; });
    if (same != fds.end()) {
      same->events |= events;
    } else {
      fds.push_back({fd, events, 0});
    }
  }
  if (fds.empty()) {
    if (timeout > 0) qclock::Sleep(timeout);
    return;
  }
  const int ready = poll(fds.data(), fds.size(), static_cast<int>(timeout));
  if (ready == 0 && timeout > 0 && qclock::GetTickCount() == now) {
    // Real descriptors under a fake clock (tests): time only moves when someone moves it.
    qclock::Sleep(timeout);
  }
}

}  // namespace qplatform
