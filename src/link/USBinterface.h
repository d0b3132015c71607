// The machine link: one UsbInterface per opened machine (HID, bulk or emulator), the device
// search that opens them, packet transport with time-outs, and the command exchange.
//
// Everything runs on the one thread that drives the link. The transports' completion routines
// run only inside the link's alertable sleeps on that thread.
//
// Results, as every call below states them: 1 for success and 0 for failure (a count where a
// call says so). A failure always writes a trace line; the last level W or C line of the
// outermost call is its LastFailure() (LinkFailure.h). Times are on the link's clock
// (qclock), so tests run them on a fake clock.
#pragma once

#include <cstdint>
#include <memory>

#include "LinkFailure.h"
#include "MachineFilter.h"
#include "PacketFormat.h"
#include "clock.h"
#include "log.h"
#include "platform/DeviceHandle.h"
#include "rwbulk.h"

class PacketTransport;

class UsbInterface {
 public:
  // Registers the machine (a copy of `record`, device = this) in the ConnectionList. Blocks
  // only for the connection mutex (at most 100 ms). Every handle starts closed.
  explicit UsbInterface(const ConnectionRecord& record);
  // CloseDevice, then drops completions still queued for this object. Blocks as CloseDevice.
  ~UsbInterface();
  UsbInterface(const UsbInterface&) = delete;
  UsbInterface& operator=(const UsbInterface&) = delete;

  // Takes ownership of a HID machine's or an emulator client's device, driven through
  // completion routines; ClientInit arms its first read. Never blocks. Returns 1 (it cannot
  // fail).
  int InitInterrupt(std::unique_ptr<qplatform::CompletionDevice> device);
  // Takes ownership of a bulk machine's "\PIPE00" (read) and "\PIPE01" (write) pipes. A bulk
  // machine needs no ClientInit and has whatever it sent before flushed here. Blocks 20 ms per
  // FlushReceive, repeated while stale input keeps coming. Returns 1 (it cannot fail).
  int InitBulk(std::unique_ptr<qplatform::PipeDevice> read,
               std::unique_ptr<qplatform::PipeDevice> write);
  // Arms the first read of a HID or emulator machine (from then on one read is always
  // pending). Never blocks.
  // Returns 1 when reading is armed (now, before, or a bulk machine); 0 when the read cannot
  // start ("Receive buffer error getting result").
  int ClientInit();
  // Cancels pending transfers and closes the handles, sleeps 10 ms alertably so that the
  // cancelled routines run, empties the queues and leaves the ConnectionList. Safe to call
  // twice. Blocks at least those 10 ms; a bulk transfer in flight adds up to 1,000 ms per pipe.
  // Opens no LinkCall: LastFailure() still tells why the machine was dropped.
  void CloseDevice();

  // This machine's place in the hardware lock (ConnectionList.h AcquireHardwareLock): blocks
  // up to 120,000 ms; 1 when admitted, 0 on time-out. Either way the ticket is held.
  int HardwareLock() { return AcquireHardwareLock(m_Connection.id); }
  // Gives this machine's ticket back. Blocks only for the connection mutex (at most 100 ms).
  void ReleaseHardwareLock() { ::ReleaseHardwareLock(m_Connection.id); }

  // --- Transport. Time-outs in ms; -1 as global time-out means count x 3 + 1000 ms. ----------
  // Writes `count` packet records. The packet time-out counts only on a bulk machine: the wait
  // for each chunk of up to 16 packets ends at the earlier of the two deadlines.
  // Blocks: HID and emulator, up to the global time-out (1 ms alertable sleeps, so completion
  // routines run); bulk, up to a deadline plus a grace of 50,000 ms that the driver's own
  // time-outs normally cut short.
  // Returns 1 when every packet was written; 0 on failure: no handle ("Handle is rotten %u"),
  // the write refused, an I/O error in a completion, a short write, or the time-out.
  int SendBuffer(const PacketRecord* packets, int count, int global_timeout, int packet_timeout);
  // Reads `count` packet records into `packets` (the caller's array of at least `count`). LOG
  // and USERSTATUS packets are dropped and do not count. A packet time-out other than -1 gives
  // up when no packet came for that long.
  // Blocks: HID and emulator, up to the global time-out plus 1 ms; bulk, up to a deadline plus
  // the 50,000 ms grace, as SendBuffer.
  // Returns 1 when all `count` arrived; 0 on failure (no handle, an I/O error, the buffer lock,
  // a short or failed read, the time-out: "Timeout got %u of %u packets"). On 0 the records
  // already stored carry no meaning. HID and emulator: once a read completion failed and
  // started no next read, every later receive on this handle fails at once ("IO err").
  int Receive(PacketRecord* packets, int count, int global_timeout, int packet_timeout);
  // Drains input nobody asked for: HID and emulator, whatever reaches the RX queue within
  // 20 ms; bulk, 64-byte units read from the pipe until 20 ms have passed or a read fails.
  // Blocks about 20 ms (up to 30 ms; bulk: plus up to 1,000 ms cancelling the last read).
  // Returns the bytes drained (64 per packet), 0 when there was nothing; never fails.
  int FlushReceive();

  // One command line and its reply under the hardware lock (SendBuffer of HEADER and COMMAND,
  // then the reply's HEADER, DATA and STATUS packets). `reply` may be nullptr (the reply is
  // read and dropped); `reply_size` must hold 60 bytes per DATA packet of the reply.
  // Blocks: the hardware lock (up to 120,000 ms, only behind other exchanges), the send (up to
  // 1,006 ms), the first reply packet (`timeout` ms) and the rest ((n + 1) x 3 + 1,000 ms for n
  // DATA packets).
  // Returns 1 with *reply_length bytes of reply text in `reply` (not terminated; 0 bytes for a
  // lone STATUS with status 0); 0 on failure, *reply_length 0 and nothing in `reply` valid:
  // the lock, the send, no or a malformed reply, the machine's non-zero status ("Command
  // response was (%i) \"%s\" "). The transmission number is not rolled back.
  int SendCommand(const char* command, int timeout, char* reply, uint32_t reply_size,
                  uint32_t* reply_length);
  // Sends the ALIVE packet under the hardware lock; nothing is read back (a bulk machine's
  // input is flushed). Blocks: the lock, up to 1,003 ms for the send, and on bulk the flush.
  // Returns 1 when the packet was written; 0 when the lock or the write failed: the machine is
  // gone.
  int CheckAlive();

  // --- State. None of these blocks. ------------------------------------------------------------
  uint32_t Id() const { return m_Connection.id; }
  // Whether InitBulk made it a bulk machine.
  bool IsBulk() const { return m_Bulk; }
  bool IsClientInitialised() const { return m_ClientInitialised; }
  const char* Product() const { return m_Product; }
  void SetProduct(const char* product);
  uint32_t TransmissionNumber() const { return m_TransmissionNumber; }
  // Records waiting in the receive queue (a bulk machine has none).
  size_t RxQueued() const;
  bool ReadPending() const;

 private:
  int ExchangeCommand(const char* command, int timeout, char* reply, uint32_t reply_size,
                      uint32_t* reply_length);

  ConnectionRecord m_Connection;
  std::unique_ptr<PacketTransport> m_Transport;  // never null; bulk once InitBulk ran
  bool m_Bulk = false;
  bool m_ClientInitialised = false;
  char m_Product[80] = {};
  uint32_t m_TransmissionNumber = 0;
};

// Opens every attached machine not yet open (bulk, then HID, then the emulator slots; each
// registers itself in the ConnectionList, free), then hands out the first free one (id 0) or
// the one with that id.
// Blocks: each bulk pass as the bulk listing (up to 2 s per unanswering candidate), each HID
// pass 1 ms (an alertable sleep) plus the opens; the emulator pass never.
// Returns the machine, which the caller now owns (CloseDevice and delete it; it leaves the
// list then); nullptr when there is none free or with that id. Machines opened but not handed
// out stay open in the list, owned by it, until a later search hands them out.
UsbInterface* FindDevice(uint32_t id);
// The same search for a copy bound to one machine: only machines `which` takes are opened (a
// HID machine is opened to read its serial number and closed again when it is not the one),
// and only they are handed out. Blocks as FindDevice.
UsbInterface* FindDevice(uint32_t id, const MachineFilter& which);

// The "-emulator" switch: the device search also serves the emulator slots. Never blocks.
void EnableEmulatorLink(bool on);

// The user's login name as the command HEADER carries it (at most 79 characters; empty when it
// cannot be found). Looked up on the first call; valid for the life of the program.
const char* LoginName();
