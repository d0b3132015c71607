// Shared set-up for the link tests: a fake clock, fake HID and bulk backends, trace capture,
// and an empty connection list before and after every test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "MachineNotices.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"

class LinkTest : public ::testing::Test {
 protected:
  LinkTest()
      : clock_(1000),
        scoped_clock_(&clock_),
        backends_(qplatform::Backends{&hid_, &bulk_, nullptr}) {
    TraceSetStandardOutput(nullptr);
    // Critical lines (hardware lock time-outs) dump the history into the log file.
    TraceSetFileName("/tmp/quadrelle-unit-link-trace.txt");
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    CreateConnectionMutex();
    // Nothing is listed yet: no notice of an earlier test stands.
    machine_notices::Listed('H', {});
    machine_notices::Listed('B', {});
  }

  ~LinkTest() override {
    for (UsbInterface* device : owned_) delete device;
    ConnectionList().clear();
  }

  // A HID machine with a hexadecimal serial number.
  std::shared_ptr<qplatform::FakeDevice> AddHid(const std::string& path,
                                                const wchar_t* serial = L"0000ABCD") {
    auto device = hid_.AddDevice(path);
    device->serial = serial;
    return device;
  }

  // Finds, takes ownership of, and client-initialises the next machine.
  UsbInterface* Open(uint32_t id = 0) {
    UsbInterface* device = FindDevice(id);
    if (device != nullptr) {
      Own(device);
      device->ClientInit();
    }
    return device;
  }

  void Own(UsbInterface* device) {
    if (std::find(owned_.begin(), owned_.end(), device) == owned_.end()) owned_.push_back(device);
  }

  void Destroy(UsbInterface* device) {
    owned_.erase(std::remove(owned_.begin(), owned_.end(), device), owned_.end());
    delete device;
  }

  // How many captured lines of `level` have exactly `text`.
  int Count(char level, const std::string& text) const {
    const auto texts = trace_.Texts(level);
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
  }

  uint32_t Now() const { return qclock::GetTickCount(); }

  qclock::FakeClock clock_;
  qclock::ScopedClock scoped_clock_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  qplatform::ScopedBackends backends_;
  TraceCapture trace_;
  std::vector<UsbInterface*> owned_;
};
