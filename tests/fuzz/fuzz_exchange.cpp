// The command exchange against a hostile machine. The fuzzer's bytes are what the machine sends:
// byte 0 picks a HID or a bulk machine, then records of [length][delay in ms][length bytes],
// each one read completion (HID) or a piece of the byte stream (bulk) that arrives `delay` ms
// after the one before; a length of 0 is a read that fails (HID). Everything arrives through the
// fake backend on the fake clock, from the host's first write on. The host sends two commands
// and an alive check, as the pages do, with the pages' 280-byte reply buffer.
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "USBinterface.h"
#include "clock.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"
#include "rwbulk.h"

namespace {

using qplatform::FakeDevice;

constexpr uint32_t kReplyBuffer = 280;
constexpr LinkError kReadErrors[] = {LinkError::kOperationAborted, LinkError::kDeviceNotConnected,
                                     LinkError::kGenFailure, LinkError::kSemTimeout};

struct Arrival {
  uint32_t delay;
  std::vector<uint8_t> bytes;
  LinkError error;
};

std::vector<Arrival> Script(const uint8_t* data, size_t size) {
  std::vector<Arrival> script;
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t length = data[at];
    const uint32_t delay = data[at + 1];
    at += 2;
    if (length == 0) {
      script.push_back({delay, {}, kReadErrors[delay % 4]});
      continue;
    }
    const size_t take = std::min(length, size - at);
    script.push_back(
        {delay, std::vector<uint8_t>(data + at, data + at + take), LinkError::kSuccess});
    at += take;
  }
  return script;
}

// Sends the command as the pages' command call does and checks what the link promises.
void Exchange(UsbInterface* device, const char* command) {
  const auto reply = std::make_unique<char[]>(kReplyBuffer);
  uint32_t length = 0xDEADBEEF;
  if (device->SendCommand(command, 1000, reply.get(), kReplyBuffer, &length) == 1) {
    if (length > kReplyBuffer) fuzz::Fail("reply length beyond the caller's buffer");
  } else if (length != 0 && length != 0xDEADBEEF) {
    fuzz::Fail("a failed exchange reported a reply length");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::QuietTrace();
  static const bool once = [] {
    CreateConnectionMutex();
    return true;
  }();
  (void)once;

  qclock::FakeClock clock(1000);
  qclock::ScopedClock scoped_clock(&clock);
  qplatform::FakeHidBackend hid;
  qplatform::FakeBulkBackend bulk;
  qplatform::ScopedBackends backends(qplatform::Backends{&hid, &bulk, nullptr});
  qplatform::Reactor::Instance().Install();
  ConnectionList().clear();

  const bool is_bulk = (data[0] & 1) != 0;
  std::shared_ptr<FakeDevice> machine =
      is_bulk ? bulk.AddDevice("\\\\?\\usb#vid_1781&pid_0c9f#0001#{101f9e3f}")
              : hid.AddDevice("/dev/hidraw0");
  machine->serial = L"0000ABCD";
  bool sent = false;
  std::vector<Arrival> script = Script(data + 1, size - 1);
  machine->on_write = [&sent, &script, is_bulk](FakeDevice& d, const uint8_t*, uint32_t) {
    if (sent) return;
    sent = true;
    uint32_t tick = qclock::GetTickCount();
    for (Arrival& a : script) {
      tick += a.delay;
      if (a.error != LinkError::kSuccess && !is_bulk) {
        d.FailReadAt(tick, a.error);
      } else if (!a.bytes.empty()) {
        d.SendAt(tick, std::move(a.bytes));
      }
    }
  };

  UsbInterface* device = FindDevice(0);
  if (device == nullptr) fuzz::Fail("the fake machine was not found");
  device->ClientInit();
  Exchange(device, "STAT");
  Exchange(device, "SERVICEINFO");
  device->CheckAlive();
  delete device;
  ConnectionList().clear();
  return 0;
}
