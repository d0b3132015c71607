// The HID machine on an emulated hidraw node: the sysfs and udev entries hidapi reads (USB
// device, interface, HID device with its report descriptor, hidraw node), and the node's
// ioctl, read and write calls answered as hidraw answers them, with the firmware behind.
#pragma once

#include <cstdint>
#include <string>

#include "EmulatedMachine.h"

namespace usbemu {

class HidMachine : public EmulatedMachine {
 public:
  // The machine's hidraw node is /dev/hidraw<index>.
  HidMachine(Testbed& bed, Identity identity, int index,
             qsim::MachineOptions options = FastMachine());
  // Gives the writes still held back as the kernel would at its time-out.
  ~HidMachine() override;

  std::string Node() const override;
  std::vector<std::string> SysfsPaths() const override;

  // Faults of the device (set from the test's thread).
  // Writes are not taken: each one is held until the kernel gives up after `kernel_ms` and
  // fails with ETIMEDOUT, as usbhid's interrupt writes do.
  void RefuseWrites(bool refuse, uint32_t kernel_ms = 5000);
  // The STATUS packet that closes a reply comes as a report of only its first 8 bytes.
  void ShortStatus(bool on);
  // Each packet of a reply leaves this long after the one before.
  void Spread(uint32_t ms);

  // Writes the device holds right now.
  int HeldWrites();

 protected:
  std::string Record() const override;

 private:
  static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
  static gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
  static gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
  void ReleaseHeld(UMockdevIoctlClient* client);
  // The interface's and the HID device's sysfs paths.
  std::string InterfacePath() const;
  std::string HidPath() const;

  const int index_;
  bool refuse_writes_ = false;
  uint32_t kernel_ms_ = 5000;
  bool short_status_ = false;
  std::vector<UMockdevIoctlClient*> held_;  // writes held back, each with a reference
};

// A HID device of another maker (a keyboard) on /dev/hidraw<index>: opening it is counted.
class ForeignHid : public HidMachine {
 public:
  ForeignHid(Testbed& bed, int index, int port);
};

}  // namespace usbemu
