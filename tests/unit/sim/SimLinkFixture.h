// The program's machine link against the simulated firmware, in one thread on the fake clock:
// the link's own fake HID device carries the packets, and the simulator's packet protocol
// answers every write the link makes. Nothing waits for real time.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SimControl.h"
#include "SimPackets.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"
#include "regexpclass.h"

namespace qsim {

// The fake device's side of the wire: what the link writes goes into the protocol, and what
// the protocol sends is handed to the device with the delay it asks for.
class FakeWire {
 public:
  FakeWire(qplatform::FakeDevice& device, PacketServer& server) : device_(device), server_(server) {
    device_.on_write = [this](qplatform::FakeDevice&, const uint8_t* bytes, uint32_t size) {
      for (uint32_t offset = 0; offset + kPacketRecordSize <= size; offset += kPacketRecordSize) {
        PacketRecord record;
        std::memcpy(record.bytes, bytes + offset, kPacketRecordSize);
        server_.Receive(record, qclock::GetTickCount());
      }
      Deliver();
    };
  }

  // True once an unplugging fault cut the wire.
  bool HungUp() const { return hung_up_; }

  // The cable goes back in: the device is listed again and talks from a clean start.
  void Replug() {
    device_.unplugged = false;
    device_.incoming.clear();
    server_.Reset();
    hung_up_ = false;
  }

 private:
  void Deliver() {
    const uint32_t now = qclock::GetTickCount();
    for (const PacketServer::Output& output : server_.TakeAll()) {
      const uint32_t delay = static_cast<int32_t>(output.due - now) > 0 ? output.due - now : 0;
      if (output.hang_up) {
        // The read in progress fails as it does when the cable is pulled; the device goes.
        device_.FailReadAt(now + delay, LinkError::kDeviceNotConnected);
        hung_up_ = true;
      } else {
        device_.SendPacket(output.record, delay);
      }
    }
  }

  qplatform::FakeDevice& device_;
  PacketServer& server_;
  bool hung_up_ = false;
};

class SimLinkTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kCardMs = 100;

  SimLinkTest() : scoped_clock_(&clock_), backends_(qplatform::Backends{&hid_, &bulk_, nullptr}) {
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    CreateConnectionMutex();
    MachineOptions options;
    options.card_ms = kCardMs;
    options.deck.shuffled = true;
    options.seed = 11;
    state_ = std::make_unique<SimState>(options);
    server_ = std::make_unique<PacketServer>(
        *state_, [this](const std::string& line) { log_.push_back(line); });
    machine_ = hid_.AddDevice("/dev/hidraw0");
    wire_ = std::make_unique<FakeWire>(*machine_, *server_);
    link_ = Open();
  }

  ~SimLinkTest() override {
    if (link_ != nullptr) {
      link_->CloseDevice();
      delete link_;
    }
    ConnectionList().clear();
  }

  UsbInterface* Open() {
    UsbInterface* link = FindDevice(0);
    if (link != nullptr) {
      link->ClientInit();
    }
    return link;
  }

  // What the main dialog does when its alive check fails: close and forget the machine.
  void DropMachine() {
    link_->CloseDevice();
    delete link_;
    link_ = nullptr;
  }

  // The program's command call: one command line, the reply's status code back (90 for a
  // failed exchange, a reply too long, or a reply that does not start with a code), the text
  // after the code in *text.
  int Call(const std::string& command, std::string* text = nullptr) {
    char buffer[280];
    std::snprintf(buffer, sizeof buffer, "Test return");
    uint32_t length = 0;
    if (link_ == nullptr) {
      return 91;
    }
    if (link_->SendCommand(command.c_str(), 1000, buffer, sizeof buffer, &length) == 0 ||
        length >= sizeof buffer) {
      return 90;
    }
    buffer[length] = '\0';
    RegexpClass reply("^([0-9][0-9])[ \t]+(.*)");
    if (!reply.Match(buffer)) {
      return 90;
    }
    char code[8];
    char words[280];
    reply.regsub("\\1", code, sizeof code);
    reply.regsub("\\2", words, sizeof words);
    if (text != nullptr) {
      *text = words;
    }
    return std::atoi(code);
  }

  // Polls STAT every 100 ms, as the deal menu does, until the machine is no longer busy.
  int PollUntilDone(std::string* text, int limit = 2000) {
    int code = 1;
    for (int i = 0; i < limit && code == 1; ++i) {
      clock_.Advance(100);
      code = Call("STAT", text);
    }
    return code;
  }

  bool TraceHas(char level, const std::string& prefix) const {
    for (const TraceLine& line : trace_.lines) {
      if (line.level == level && line.text.compare(0, prefix.size(), prefix) == 0) {
        return true;
      }
    }
    return false;
  }

  qclock::FakeClock clock_{1000};
  qclock::ScopedClock scoped_clock_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  qplatform::ScopedBackends backends_;
  TraceCapture trace_;
  std::vector<std::string> log_;
  std::unique_ptr<SimState> state_;
  std::unique_ptr<PacketServer> server_;
  std::shared_ptr<qplatform::FakeDevice> machine_;
  std::unique_ptr<FakeWire> wire_;
  UsbInterface* link_ = nullptr;
};

}  // namespace qsim
