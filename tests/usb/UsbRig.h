// The machine link's real HID and bulk backends (hidapi, libusb) against emulated machines in a
// umockdev test bed, on the real clock, with the simulator's firmware answering. The clock can
// be moved ahead by a test (JumpClock) where the link would otherwise wait its full time-out.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "BulkMachine.h"
#include "HidMachine.h"
#include "Testbed.h"
#include "USBinterface.h"
#include "clock.h"
#include "log.h"
#include "platform/Backends.h"

namespace usbemu {

// The system's millisecond count plus an offset that another thread may raise.
class JumpClock : public qclock::Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
  void Jump(uint32_t ms) { offset_ += ms; }

 private:
  std::atomic<uint32_t> offset_{0};
};

// A bulk machine's identity: vendor 0x1781, product 0x0c9f, serial "00AB12".
Identity BulkIdentity(int port = 3, std::string serial = "00AB12");
// The path the link gives a bulk machine with that instance.
std::string BulkPath(const std::string& instance, uint16_t product = 0x0c9f);

// The three ways a machine is attached.
enum class Path { kHid, kBulkFullSpeed, kBulkHighSpeed };
const char* PathName(Path path);

// What quadrelle-cmd printed (standard output and error) and its exit status.
struct CmdResult {
  std::string output;
  int status = -1;
};

class UsbRig : public ::testing::Test {
 protected:
  UsbRig();
  ~UsbRig() override;
  void SetUp() override;

  HidMachine& AddHid(Identity identity, int index);
  BulkMachine& AddBulk(Identity identity, bool high_speed, BulkShape shape = BulkShape::kMachine);
  // The usual machine for a path: HID 0x3150 serial 0000002A on /dev/hidraw0, or the bulk
  // machine of BulkIdentity() at full or high speed.
  EmulatedMachine& AddMachine(Path path);

  // Finds the next machine (FindDevice(0)), owns it and runs ClientInit.
  UsbInterface* Open();
  void Destroy(UsbInterface* device);
  // One command with the program's 1,000 ms first-reply time-out; the reply text, or "" with
  // *ok false when the exchange failed.
  std::string Command(UsbInterface* device, const char* command, bool* ok = nullptr);
  // Runs quadrelle-cmd with `arguments` as another program in the same test bed. `other_user`:
  // as a user who is not the owner of the device nodes (nobody, when the test runs as root).
  CmdResult RunCmd(const std::vector<std::string>& arguments, bool other_user = false);
  // Moves the link's clock `ms` ahead when the machine next holds back what the link waits
  // for, so that a time-out of the link passes at once.
  void JumpWhenStalled(EmulatedMachine& machine, uint32_t ms);

  Testbed bed_;
  JumpClock clock_;
  qclock::ScopedClock scoped_clock_{&clock_};
  std::vector<std::unique_ptr<EmulatedMachine>> machines_;
  std::unique_ptr<qplatform::HidBackend> hid_;
  std::unique_ptr<qplatform::BulkBackend> bulk_;
  std::unique_ptr<qplatform::ScopedBackends> backends_;
  std::vector<UsbInterface*> owned_;
};

// One machine of the path the test is given, found and opened before the test runs.
class OneMachineRig : public UsbRig, public ::testing::WithParamInterface<Path> {
 protected:
  void SetUp() override {
    UsbRig::SetUp();
    machine_ = &AddMachine(GetParam());
    device_ = Open();
    ASSERT_NE(device_, nullptr);
  }

  EmulatedMachine* machine_ = nullptr;
  UsbInterface* device_ = nullptr;
};

}  // namespace usbemu
