// The bulk machine on an emulated usbfs device: the sysfs entries libusb reads (with the
// "descriptors" attribute), and the node's ioctls answered as usbfs answers them (capabilities,
// claiming, URBs submitted, reaped and discarded), with the firmware behind the bulk pair.
//
// What goes to the host travels in USB packets: at full speed one 64-byte packet of the machine
// per USB packet; at high speed (512-byte packets) as many of the machine's packets as are
// ready, up to eight. An IN URB ends when it is full or a short packet arrives; a USB packet
// larger than the room left in the URB overflows it (-EOVERFLOW), as a real host controller
// reports babble.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "EmulatedMachine.h"

namespace usbemu {

// What the device's descriptors say it is.
enum class BulkShape {
  kMachine,       // one vendor-specific interface with one bulk IN and one bulk OUT endpoint
  kMassStorage,   // the same endpoints on a mass-storage interface (class 8)
  kNoBulkPair,    // a vendor-specific interface with interrupt endpoints only
  kTwoBulkPairs,  // a vendor-specific interface with two bulk IN and two bulk OUT endpoints
};

class BulkMachine : public EmulatedMachine {
 public:
  BulkMachine(Testbed& bed, Identity identity, bool high_speed,
              BulkShape shape = BulkShape::kMachine, qsim::MachineOptions options = FastMachine());
  ~BulkMachine() override;

  std::string Node() const override;
  std::vector<std::string> SysfsPaths() const override;
  uint16_t MaxPacket() const { return high_speed_ ? 512 : 64; }

  // Faults of the device (set from the test's thread).
  // OUT URBs are not taken: they stay pending until discarded.
  void RefuseWrites(bool refuse);
  // The device ends every IN transfer with a zero-length packet after each machine packet,
  // so each URB completes short with one packet.
  void ShortTransfers(bool on);
  // Each packet of a reply leaves this long after the one before.
  void Spread(uint32_t ms);
  // A discarded IN URB that holds data completes with it (status 0) instead of being
  // cancelled: the data arrived as the host cancelled.
  void CompleteOnDiscard(bool on);
  // The firmware sends the closing STATUS of the next reply only when told (ReleaseStatus).
  void HoldStatus(bool on);

  // What the device saw (read on the test's thread).
  int InUrbsInFlight();
  int OutUrbsInFlight();
  int Discards();
  int InCompletions();  // IN URBs given back with data or status

 protected:
  std::string Record() const override;
  void Deliver() override;

 private:
  // URBs belong to the open file that submitted them, as usbfs keeps them: only that file
  // reaps or discards them.
  struct Urb {
    UMockdevIoctlClient* client;
    UMockdevIoctlData* data;  // the URB as the client sees it; its buffer is resolved
    int filled = 0;
  };
  static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
  static void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
  void Submit(UMockdevIoctlClient* client);
  void Reap(UMockdevIoctlClient* client);
  void Discard(UMockdevIoctlClient* client);
  bool Control(Urb& urb);
  void Finish(Urb urb, int status);
  // The next USB packet the device would send now (empty: nothing ready; a zero-length packet
  // is one entry of size 0).
  bool NextUsbPacket(std::vector<uint8_t>* packet);

  const bool high_speed_;
  const BulkShape shape_;
  std::deque<Urb> in_;    // IN URBs waiting for data, oldest first
  std::deque<Urb> out_;   // OUT URBs the device does not take
  std::deque<Urb> done_;  // completed URBs for the host to reap
  bool refuse_writes_ = false;
  bool short_transfers_ = false;
  bool complete_on_discard_ = false;
  bool hold_status_ = false;
  bool zero_length_due_ = false;
  int discards_ = 0;
  int in_completions_ = 0;
};

}  // namespace usbemu
