// The machine link: one UsbInterface per opened machine (HID, bulk or emulator), the device
// search that opens them, packet transport with time-outs, and the command exchange.
//
// Everything runs on the one thread that drives the link. Completion routines (RXDone,
// TXDone) run only inside the link's alertable sleeps on that thread.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "LinkFailure.h"
#include "PacketFormat.h"
#include "clock.h"
#include "log.h"
#include "platform/DeviceHandle.h"
#include "platform/ProcessMutex.h"
#include "rwbulk.h"

class UsbInterface {
 public:
  // Registers the machine (a copy of `record`, device = this) in the ConnectionList.
  explicit UsbInterface(const ConnectionRecord& record);
  ~UsbInterface();
  UsbInterface(const UsbInterface&) = delete;
  UsbInterface& operator=(const UsbInterface&) = delete;

  // Takes the handles over; a write handle makes this a bulk machine. Returns 1.
  int Init(std::unique_ptr<qplatform::DeviceHandle> read_handle,
           std::unique_ptr<qplatform::DeviceHandle> write_handle);
  // Arms the first read (HID and emulator machines). 1, or 0 when the read cannot start.
  int ClientInit();
  // Cancels and closes the handles, empties the queues, leaves the ConnectionList.
  void CloseDevice();

  // The ticket queue around every exchange: at most ten tickets are admitted at once.
  int HardwareLock();
  void ReleaseHardwareLock() { ::ReleaseHardwareLock(m_Connection.id); }

  // Transport. Time-outs in ms; -1 as global time-out means count x 3 + 1000 ms.
  int SendBuffer(const PacketRecord* packets, int count, int global_timeout, int packet_timeout);
  int Receive(PacketRecord* packets, int count, int global_timeout, int packet_timeout);
  // Drains input nobody asked for; returns the bytes drained.
  int FlushReceive();

  // One command line and its reply under the hardware lock. On 1 the reply buffer holds
  // *reply_length bytes of reply text (not terminated); on 0 nothing in it is valid.
  int SendCommand(const char* command, int timeout, char* reply, uint32_t reply_size,
                  uint32_t* reply_length);
  // Sends the ALIVE packet; 0 means the machine is gone.
  int CheckAlive();

  static void RXDone(uint32_t error, uint32_t bytes, qplatform::Overlapped* overlapped);
  static void TXDone(uint32_t error, uint32_t bytes, qplatform::Overlapped* overlapped);

  uint32_t Id() const { return m_Connection.id; }
  bool IsBulk() const { return m_Bulk; }
  bool IsClientInitialised() const { return m_ClientInitialised; }
  const char* Product() const { return m_Product; }
  void SetProduct(const char* product);
  uint32_t TransmissionNumber() const { return m_TransmissionNumber; }
  int IoErrorCount() const { return m_IoErrors; }
  size_t RxQueued() const { return m_RxQueue.size(); }
  bool ReadPending() const;

 private:
  int ExchangeCommand(const char* command, int timeout, char* reply, uint32_t reply_size,
                      uint32_t* reply_length);
  int SendBufferInterrupt(const PacketRecord* packets, int count, int global_timeout);
  int SendBufferBulk(const PacketRecord* packets, int count, int global_timeout,
                     int packet_timeout);
  int ReceiveInterrupt(PacketRecord* packets, int count, int global_timeout, int packet_timeout);
  int ReceiveBulk(PacketRecord* packets, int count, int global_timeout, int packet_timeout);
  int FlushReceiveQueue();
  int FlushReceivePipe();
  bool LockBuffer();
  void ReleaseBuffer();
  // Writes the oldest queued record through TXDone; false when the write was refused.
  bool StartNextWrite();

  ConnectionRecord m_Connection;
  bool m_Bulk = false;
  std::unique_ptr<qplatform::DeviceHandle> m_ReadHandle;   // HID / emulator handle, bulk "\PIPE00"
  std::unique_ptr<qplatform::DeviceHandle> m_WriteHandle;  // bulk "\PIPE01"
  bool m_ClientInitialised = false;
  char m_Product[80] = {};

  uint8_t m_RxBuffer[6500] = {};
  std::deque<PacketRecord> m_RxQueue;
  std::unique_ptr<qplatform::ProcessMutex> m_BufferMutex;
  bool m_ReadInProgress = false;
  qplatform::Overlapped m_ReadOverlapped;
  qplatform::Overlapped m_WriteOverlapped;
  std::deque<PacketRecord> m_TxQueue;
  PacketRecord m_TxStaging;
  bool m_TxDone = false;
  int m_IoErrors = 0;
  uint32_t m_TransmissionNumber = 0;
};

// Opens every attached machine not yet open, then hands out the first free one (id 0) or the
// one with that id. nullptr when there is none.
UsbInterface* FindDevice(uint32_t id);

// The "-emulator" switch: the device search also serves the emulator slots.
void EnableEmulatorLink(bool on);

// The user's login name as the command HEADER carries it.
const char* LoginName();

inline int UsbInterface::HardwareLock() {
  const uint32_t id = m_Connection.id;
  LockConnectionMutex();
  uint32_t highest = 0;
  for (const ConnectionRecord& record : ConnectionList()) {
    if (record.ticket > highest) highest = record.ticket;
  }
  for (ConnectionRecord& record : ConnectionList()) {
    if (record.id == id) {
      record.ticket = highest + 1;
      break;
    }
  }
  ReleaseConnectionMutex();

  const uint32_t start = qclock::GetTickCount();
  while (qclock::GetTickCount() - start < 120000) {
    bool granted = false;
    LockConnectionMutex();
    for (const ConnectionRecord& record : ConnectionList()) {
      if (record.id == id) {
        granted = record.ticket <= 10;
        break;
      }
    }
    ReleaseConnectionMutex();
    if (granted) return 1;
    qclock::Sleep(500);
  }
  TRACE_FAILURE('C', "HardwareLock timeout\n");
  return 0;
}
