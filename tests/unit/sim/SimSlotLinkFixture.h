// A program's emulator link in a temporary directory and the simulator's socket server on a
// thread, plugged into one of its slots.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ScratchFolder.h"
#include "SlotThread.h"
#include "USBinterface.h"
#include "log.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"
#include "platform/Reactor.h"
#include "regexpclass.h"

namespace qsim {

class SlotLinkTest : public ::testing::Test {
 protected:
  static constexpr int kSlot = 5;

  SlotLinkTest() {
    root_ = scratch_.path();
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    CreateConnectionMutex();
    StartProgram();
    MachineOptions options;
    options.card_ms = 1;
    machine_ = std::make_unique<SlotThread>(options, emulator_->SlotPath(kSlot),
                                            [this](const std::string& line) {
                                              std::lock_guard<std::mutex> lock(log_mutex_);
                                              log_.push_back(line);
                                            });
  }

  ~SlotLinkTest() override {
    machine_.reset();
    StopProgram();
  }

  // The program's side: the emulator link listens on its slots (the first search makes them).
  void StartProgram() {
    emulator_ = std::make_unique<qplatform::EmulatorLink>(root_);
    backends_ = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid_, &bulk_, emulator_.get()});
    EXPECT_EQ(FindDevice(0), nullptr);
  }
  void StopProgram() {
    if (link_ != nullptr) {
      DropMachine();
    }
    backends_.reset();
    emulator_.reset();
    ConnectionList().clear();
  }
  void RestartProgram() {
    StopProgram();
    StartProgram();
  }

  void DropMachine() {
    link_->CloseDevice();
    delete link_;
    link_ = nullptr;
  }

  // The main dialog's poll, until the machine has plugged in (a few milliseconds).
  bool WaitForMachine() {
    for (int i = 0; i < 1000 && link_ == nullptr; ++i) {
      link_ = FindDevice(0);
      if (link_ != nullptr) {
        link_->ClientInit();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    return link_ != nullptr;
  }

  // The command call's parse of a reply, reduced to the status code.
  int Call(const std::string& command) {
    char buffer[280];
    uint32_t length = 0;
    if (link_->SendCommand(command.c_str(), 1000, buffer, sizeof buffer, &length) == 0 ||
        length >= sizeof buffer) {
      return 90;
    }
    buffer[length] = '\0';
    RegexpClass reply("^([0-9][0-9])[ \t]+(.*)");
    if (!reply.Match(buffer)) {
      return 90;
    }
    return (buffer[0] - '0') * 10 + (buffer[1] - '0');
  }

  std::string Control(const std::string& line) {
    std::string text;
    machine_->WithState(
        [&](SimState& state) { text = RunControlLine(state, line, SlotThread::Now()).text; });
    return text;
  }

  bool LogHas(const std::string& line) {
    std::lock_guard<std::mutex> lock(log_mutex_);
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }

  ScratchFolder scratch_{"qsim-slots"};
  std::string root_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  std::unique_ptr<qplatform::EmulatorLink> emulator_;
  std::unique_ptr<qplatform::ScopedBackends> backends_;
  UsbInterface* link_ = nullptr;

  std::mutex log_mutex_;  // guards the simulator's log between the two threads
  std::vector<std::string> log_;
  std::unique_ptr<SlotThread> machine_;
};

}  // namespace qsim
