// The emulator link's tests end to end: the real slots of the system (sockets on POSIX, named
// pipes on Windows), the real clock, a scripted machine on a thread (SlotMachine.h). The cases
// every system shares are in Emulator_test.cpp; what only one system has (file modes and lock
// files; the pipes' security) in posix/ and win/.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "LinkFixture.h"
#include "ScratchFolder.h"
#include "SlotMachine.h"
#include "SysError.h"
#include "TraceGuard.h"

// How a slot that another running program serves refuses a Listen: the system's number (POSIX:
// EADDRINUSE; Windows: the pipe's first instance is taken, ERROR_ACCESS_DENIED).
qsys::SysError HeldSlotError();

class EmulatorLinkTest : public ::testing::Test {
 protected:
  EmulatorLinkTest() : scratch_("quadrelle-emu"), root_(scratch_.path()) {
    dir_ = root_ + "/slots";
    emulator_ = std::make_unique<qplatform::EmulatorLink>(dir_);
    backends_ = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid_, &bulk_, emulator_.get()});
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    CreateConnectionMutex();
  }
  ~EmulatorLinkTest() override {
    for (UsbInterface* device : owned_) delete device;
    ConnectionList().clear();
    backends_.reset();
    emulator_.reset();
  }

  UsbInterface* Find() {
    UsbInterface* device = FindDevice(0);
    if (device != nullptr) {
      owned_.push_back(device);
      device->ClientInit();
    }
    return device;
  }
  // A machine that answers on `slot`, connected before the call returns.
  std::unique_ptr<SlotMachine> Plug(int slot) {
    auto machine = std::make_unique<SlotMachine>(emulator_->SlotPath(slot), EchoReplies);
    EXPECT_TRUE(machine->WaitConnected()) << emulator_->SlotPath(slot);
    return machine;
  }
  int Count(const std::string& text) const {
    const auto texts = trace_.Texts('T');
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
  }
  void Destroy(UsbInterface* device) {
    owned_.erase(std::remove(owned_.begin(), owned_.end(), device), owned_.end());
    device->CloseDevice();
    delete device;
  }

  ScratchFolder scratch_;
  std::string root_;
  std::string dir_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  std::unique_ptr<qplatform::EmulatorLink> emulator_;
  std::unique_ptr<qplatform::ScopedBackends> backends_;
  TraceCapture trace_;
  std::vector<UsbInterface*> owned_;
};
