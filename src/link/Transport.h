// How a machine moves packet records: one transport per device kind, below the command
// exchange. The interrupt kind (HID machines and emulator slots) reads through completion
// routines into a receive queue; the bulk kind waits on each transfer of its two pipes. The
// exchange, the hardware lock and the header checks are written once above them, in
// UsbInterface; what each call returns, and how long it may block, is stated on the
// UsbInterface call it serves (USBinterface.h).
//
// Everything runs on the one thread that drives the link.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "PacketFormat.h"
#include "clock.h"
#include "platform/DeviceHandle.h"

class PacketTransport {
 public:
  virtual ~PacketTransport() = default;

  // False once closed (or before a machine was opened): UsbInterface refuses every transfer.
  virtual bool IsOpen() const = 0;
  // UsbInterface::ClientInit's part: arms the first read (interrupt); bulk has nothing to arm.
  virtual int Arm() = 0;
  // UsbInterface::SendBuffer, Receive and FlushReceive, after their first line and, for the
  // first two, the check that the transport is open.
  virtual int Send(const PacketRecord* packets, int count, int global_timeout,
                   int packet_timeout) = 0;
  virtual int Receive(PacketRecord* packets, int count, int global_timeout, int packet_timeout) = 0;
  virtual int Flush() = 0;
  // UsbInterface::CheckAlive's last step, once the alive packet was written: a bulk machine
  // answers it with input nobody reads, which is flushed here (as FlushReceive does); the
  // interrupt kind's receive queue takes whatever comes, so it does nothing. Blocks as Flush
  // on bulk, never otherwise.
  virtual void AfterAlive() = 0;
  // UsbInterface::CloseDevice's two halves: cancel and close the handles; then, once the
  // cancelled routines have run in an alertable sleep, drop what is queued.
  virtual void Close() = 0;
  virtual void Clear() = 0;
  // For the state calls of UsbInterface: records waiting in the receive queue (bulk has none),
  // and whether a read is in flight.
  virtual size_t Queued() const = 0;
  virtual bool ReadPending() const = 0;
};

// A device driven through completion routines (HID, emulator); nullptr: a machine not yet
// opened, whose every transfer fails as on a closed handle.
std::unique_ptr<PacketTransport> MakeInterruptTransport(
    std::unique_ptr<qplatform::CompletionDevice> device);
// A bulk machine's "\PIPE00" (read) and "\PIPE01" (write) pipes.
std::unique_ptr<PacketTransport> MakeBulkTransport(std::unique_ptr<qplatform::PipeDevice> read,
                                                   std::unique_ptr<qplatform::PipeDevice> write);

namespace transport_time {

inline bool Passed(uint32_t deadline) {
  return static_cast<int32_t>(qclock::GetTickCount() - deadline) >= 0;
}

// The global time-out of a transfer of `count` packets: -1 means count x 3 + 1000 ms, computed
// wide so that no count can wrap it.
inline uint32_t GlobalTimeout(int count, int global_timeout) {
  if (global_timeout != -1) return static_cast<uint32_t>(global_timeout);
  const int64_t ms = static_cast<int64_t>(count) * 3 + 1000;
  return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX));
}

}  // namespace transport_time
