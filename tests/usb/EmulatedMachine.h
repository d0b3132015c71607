// A dealing machine behind an emulated USB device: the simulator's firmware model answers what
// the link writes, and its replies wait in the device until the host reads them. The public
// calls may be made from the test's thread.
#pragma once

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PacketFormat.h"
#include "SimControl.h"
#include "SimPackets.h"
#include "Testbed.h"

namespace usbemu {

// Where the device sits and what it says it is.
struct Identity {
  uint16_t vendor = 0x1781;
  uint16_t product = 0x3150;
  std::string serial = "0000002A";
  std::string manufacturer = "Maker";
  std::string name = "Dealer";
  int port = 1;  // on bus 1: sysfs name 1-<port>, device number <port> + 1
};

// A machine quick enough for tests: one card a millisecond.
qsim::MachineOptions FastMachine();

class EmulatedMachine {
 public:
  EmulatedMachine(Testbed& bed, Identity identity, qsim::MachineOptions options);
  virtual ~EmulatedMachine();
  EmulatedMachine(const EmulatedMachine&) = delete;
  EmulatedMachine& operator=(const EmulatedMachine&) = delete;

  const Identity& identity() const { return identity_; }
  // The sysfs path of the USB device (the record's first "P:" line).
  std::string UsbSysfsPath() const;
  // Every sysfs path of the record, children first.
  virtual std::vector<std::string> SysfsPaths() const = 0;

  // Adds the device's sysfs and udev entries and its node; the firmware keeps its state.
  void Plug();
  // The cable is pulled: every transfer fails from now on and the device leaves sysfs.
  void Unplug();
  // Runs `work` with the firmware's state, under the machine's lock.
  void WithFirmware(const std::function<void(qsim::SimState&)>& work);
  // Every command line the firmware answered, in order.
  std::vector<std::string> Commands();
  // How often a program opened the device node.
  int Opens();
  // Waits (up to a second) until the device has left sysfs after the firmware pulled the plug;
  // false when it is still there.
  bool WaitUntilUnplugged();
  // Called once (under the machine's lock) the next time the device starts holding back what
  // the host waits for (a write it does not take, a reply packet it keeps): a test moves the
  // link's clock past its deadline there instead of waiting for it.
  void OnStall(std::function<void()> hook);

 protected:
  struct ToHost {
    uint32_t due = 0;
    std::vector<uint8_t> bytes;  // one packet's wire bytes (64), or fewer for a faulty device
    bool hang_up = false;        // the firmware pulls the plug here
  };

  // The umockdev record of the device (all its sysfs entries) and the node to attach to.
  virtual std::string Record() const = 0;
  virtual std::string Node() const = 0;
  // After new output was queued or time passed.
  virtual void Deliver() {}

  // umockdev answers the node's calls on a thread of its own, the pump runs on the test bed's
  // thread and the test calls in from its own: everything of the machine is read and changed
  // under this lock. Handlers take it first thing.
  template <class Work>
  void Locked(Work work) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    work();
  }
  std::recursive_mutex mutex_;

  // The rest runs under the lock. One packet record from the host.
  void FromHost(const PacketRecord& record);
  // Moves the firmware's due replies into `to_host_`, with a mark where it pulls the plug.
  void Pump();
  // The first queued packet if it is due.
  bool HasDue() const;
  // The firmware pulled the plug: transfers fail at once, and the pump takes the device out of
  // sysfs (not from inside a handler).
  void HangUp();
  // The device holds back what the host waits for (runs the stall hook once).
  void Stalled();
  std::weak_ptr<bool> Alive() const { return alive_; }
  static uint32_t Now();

  Testbed& bed_;
  const Identity identity_;
  UMockdevIoctlBase* handler_ = nullptr;
  std::deque<ToHost> to_host_;
  bool gone_ = false;
  // Each packet of a reply leaves this long after the one before (0: all at once).
  uint32_t spread_ms_ = 0;

 private:
  std::unique_ptr<qsim::SimState> state_;
  std::unique_ptr<qsim::PacketServer> server_;
  std::vector<std::string> commands_;
  int opens_ = 0;
  bool pull_plug_ = false;
  bool in_sysfs_ = false;
  bool attached_ = false;
  uint32_t last_due_ = 0;
  std::shared_ptr<bool> alive_;
  std::function<void()> stall_hook_;
};

// The bytes of a USB string descriptor for `text` (ASCII).
std::vector<uint8_t> StringDescriptor(const std::string& text);
// Hexadecimal text of `bytes`, as a record's "H:" line wants it.
std::string Hex(const std::vector<uint8_t>& bytes);

}  // namespace usbemu
