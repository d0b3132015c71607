// The program's main dialog with a simulated machine plugged in: the simulator's firmware
// answers every packet the machine link writes, through the link's fake HID device, and time
// is the fake clock's, so a whole tournament is dealt in milliseconds.
#pragma once

#include <gtest/gtest.h>

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
  SimWire(qplatform::FakeDevice& device, qsim::PacketServer& server);

 private:
  qplatform::FakeDevice& device_;
  qsim::PacketServer& server_;
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

  qclock::FakeClock clock_{5000};
  qclock::ScopedClock scoped_clock_;
  qplatform::FakeBackend hid_;
  qplatform::FakeBackend bulk_;
  qplatform::ScopedBackends backends_;
  std::vector<std::string> sim_log_;
  std::unique_ptr<qsim::SimState> sim_;
  std::unique_ptr<qsim::PacketServer> server_;
  std::shared_ptr<qplatform::FakeDevice> device_;
  std::unique_ptr<SimWire> wire_;
  MessageBoxCapture boxes_;
  std::unique_ptr<CMainDlg> dialog_;
};
