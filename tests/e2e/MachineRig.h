// The program's main dialog with a simulated machine plugged in: the simulator's firmware
// answers every packet the machine link writes, through the link's fake HID device, and time
// is the fake clock's, so a whole tournament is dealt in milliseconds.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MessageBox.h"
#include "SimControl.h"
#include "SimPackets.h"
#include "clock.h"
#include "log.h"
#include "maindlg.h"
#include "platform/Backends.h"
#include "platform/FakeBackend.h"

// The fake device's side of the wire: what the link writes goes into the firmware's packet
// protocol, and its replies come back with the delay it asks for.
class SimWire {
 public:
  using CommandHook = std::function<void(const std::string& command)>;
  // `before_command` sees the start of each command line before the firmware answers it (a
  // test arms its fault there); `hang_up` is called where the firmware pulls the plug.
  SimWire(qplatform::FakeDevice& device, qsim::PacketServer& server,
          CommandHook before_command = {}, std::function<void()> hang_up = {});

 private:
  qplatform::FakeDevice& device_;
  qsim::PacketServer& server_;
  CommandHook before_command_;
  std::function<void()> hang_up_;
};

class MachineRig : public ::testing::Test {
 protected:
  static constexpr uint32_t kTickMs = 20;

  MachineRig();
  ~MachineRig() override;

  // Shows the dialog and lets its poll find the machine.
  void Connect();
  // One timer tick of a page, 20 ms after the last.
  template <class Page>
  void Tick(Page* page) {
    clock_.Advance(kTickMs);
    page->OnTimer();
  }
  uint32_t Now() { return clock_.TickCount(); }
  // Every command line the firmware was sent, in order.
  std::vector<std::string> CommandsSent() const;

  // The machine's cable: pulled out (transfers fail, the device is no longer listed) and put
  // back (a new device node on the same path; the firmware keeps its state, as a machine whose
  // power stayed on). A firmware unplugging fault pulls it and plugs in again at its replug time.
  void Unplug();
  void Plug();
  // Pulled out now and put back `ms` later (by ReplugWhenDue).
  void PullFor(uint32_t ms);
  // `count` LOG packets the program never asked for, on the wire now.
  void FloodLog(int count);
  bool Plugged() const { return !device_->unplugged; }
  // Plugs in again once an unplugging fault's time is over (call once per tick).
  void ReplugWhenDue();
  // Called with the start of every command line before the firmware answers it.
  std::function<void(const std::string&)> before_command_;

  qclock::FakeClock clock_{5000};
  qclock::ScopedClock scoped_clock_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  qplatform::ScopedBackends backends_;
  std::vector<std::string> sim_log_;
  std::unique_ptr<qsim::SimState> sim_;
  std::unique_ptr<qsim::PacketServer> server_;
  std::shared_ptr<qplatform::FakeDevice> device_;
  std::unique_ptr<SimWire> wire_;
  bool replug_pending_ = false;
  uint32_t replug_at_ = 0;
  MessageBoxCapture boxes_;
  std::unique_ptr<CMainDlg> dialog_;
};
