// The machine: connection, transport over completion routines, and the command exchange. The
// bulk machine's transfers and enumeration are in RwBulk.cpp, the device search in
// DeviceSearch.cpp.
#include "USBinterface.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "System.h"
#include "platform/Reactor.h"

using qplatform::DeviceHandle;
using qplatform::Overlapped;

namespace {

constexpr uint32_t kRxReadBytes = 6500;  // 100 records a completion
constexpr uint32_t kInvalidHandleValue = 0xFFFFFFFF;

bool Passed(uint32_t deadline) {
  return static_cast<int32_t>(qclock::GetTickCount() - deadline) >= 0;
}

// count x 3 + 1000 ms for -1; computed wide so that no count can wrap it.
uint32_t GlobalTimeout(int count, int global_timeout) {
  if (global_timeout != -1) return static_cast<uint32_t>(global_timeout);
  const int64_t ms = static_cast<int64_t>(count) * 3 + 1000;
  return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX));
}

}  // namespace

const char* LoginName() {
  // Looked up once: it does not change while the program runs, and every exchange needs it.
  static const std::string name = qsys::LoginName().substr(0, 79);
  return name.c_str();
}

// --- Construction, Init, ClientInit, CloseDevice -----------------------------------------------

UsbInterface::UsbInterface(const ConnectionRecord& record) : m_Connection(record) {
  m_Connection.device = this;
  m_ReadOverlapped.context = this;
  m_WriteOverlapped.context = this;
  LockConnectionMutex();
  ConnectionList().push_back(m_Connection);
  ReleaseConnectionMutex();
}

UsbInterface::~UsbInterface() {
  TRACE('T', "UsbInterface::~destructor \n");
  CloseDevice();
  // Routines that still name this object must never run after it is gone.
  qplatform::Reactor::Instance().Discard(&m_ReadOverlapped);
  qplatform::Reactor::Instance().Discard(&m_WriteOverlapped);
  m_RxQueue.clear();
  m_TxQueue.clear();
}

void UsbInterface::SetProduct(const char* product) {
  std::snprintf(m_Product, sizeof m_Product, "%s", product ? product : "");
}

bool UsbInterface::ReadPending() const {
  return m_ReadHandle && qplatform::Reactor::Instance().HasPending(m_ReadHandle.get(), false);
}

int UsbInterface::Init(std::unique_ptr<DeviceHandle> read_handle,
                       std::unique_ptr<DeviceHandle> write_handle) {
  LinkCall call;
  m_Bulk = write_handle != nullptr;
  TRACE('T', "Init on a %s\n", m_Bulk ? "Bulkdevice" : "Interrupt device");
  m_ReadHandle = std::move(read_handle);
  m_WriteHandle = std::move(write_handle);
  m_ReadInProgress = false;
  m_ReadOverlapped = Overlapped{this};
  m_WriteOverlapped = Overlapped{this};
  m_BufferMutex = std::make_unique<qplatform::ProcessMutex>();
  m_RxQueue.clear();
  if (m_Bulk) {
    // Bulk machines need no ClientInit; whatever they sent before we came is stale.
    m_ClientInitialised = true;
    while (FlushReceive() != 0) {
    }
  }
  return 1;
}

int UsbInterface::ClientInit() {
  LinkCall call;
  if (m_ClientInitialised) return 1;
  TRACE('I', "ClientInit\n");
  LinkError error = LinkError::kSuccess;
  if (!m_ReadHandle ||
      !m_ReadHandle->ReadEx(m_RxBuffer, kPacketRecordSize, &m_ReadOverlapped, RXDone, &error)) {
    TRACE_FAILURE('W', m_ReadHandle ? error : LinkError::kInvalidHandle,
                  "Receive buffer error getting result\n");
    return 0;
  }
  m_ClientInitialised = true;
  return 1;
}

void UsbInterface::CloseDevice() {
  TRACE('T', "UsbInterface::CloseDevice \n");
  for (std::unique_ptr<DeviceHandle>* handle : {&m_ReadHandle, &m_WriteHandle}) {
    if (*handle) {
      (*handle)->CancelIo(nullptr);
      handle->reset();
    }
  }
  // Let the cancelled routines run now; they see the closed handle and return.
  qclock::SleepEx(10, true);
  m_RxQueue.clear();
  m_TxQueue.clear();
  m_BufferMutex.reset();
  LockConnectionMutex();
  // Only this machine's record: another machine may carry the same id.
  ConnectionList().remove_if([this](const ConnectionRecord& r) { return r.device == this; });
  ReleaseConnectionMutex();
}

// --- Transport: the interrupt device (and the emulator) -----------------------------------------

bool UsbInterface::LockBuffer() {
  if (!m_BufferMutex) return false;
  const uint32_t start = qclock::GetTickCount();
  for (;;) {
    if (m_BufferMutex->TryAcquire()) return true;
    if (qclock::GetTickCount() - start >= 100) return false;
    qclock::Sleep(1);
  }
}

void UsbInterface::ReleaseBuffer() {
  if (m_BufferMutex) m_BufferMutex->Release();
}

bool UsbInterface::StartNextWrite(LinkError* error) {
  m_TxDone = false;
  *error = LinkError::kSuccess;
  // A write an earlier send gave up on is still reading the staging record; its TXDone goes on
  // with the queue once the device takes it.
  if (m_ReadHandle && qplatform::Reactor::Instance().HasPending(m_ReadHandle.get(), true)) {
    return true;
  }
  m_WriteOverlapped = Overlapped{this};
  m_TxStaging = m_TxQueue.front();
  m_TxQueue.pop_front();
  if (!m_ReadHandle) {
    *error = LinkError::kInvalidHandle;
    return false;
  }
  return m_ReadHandle->WriteEx(m_TxStaging.bytes, kPacketRecordSize, &m_WriteOverlapped, TXDone,
                               error);
}

int UsbInterface::SendBuffer(const PacketRecord* packets, int count, int global_timeout,
                             int packet_timeout) {
  LinkCall call;
  if (m_Bulk) return SendBufferBulk(packets, count, global_timeout, packet_timeout);
  return SendBufferInterrupt(packets, count, global_timeout);
}

int UsbInterface::SendBufferInterrupt(const PacketRecord* packets, int count, int global_timeout) {
  TRACE('T', "SendBuffer with %i packets and %i timeout\n", count, global_timeout);
  m_IoErrors = 0;
  const uint32_t deadline = qclock::GetTickCount() + GlobalTimeout(count, global_timeout);
  if (!m_ReadHandle) {
    TRACE_FAILURE('W', LinkError::kInvalidHandle, "Handle is rotten %u\n", kInvalidHandleValue);
    return 0;
  }
  if (!m_TxQueue.empty()) TRACE_FAILURE('W', LinkError::kBusy, "Send buffer is not empty\n");
  for (int i = 0; i < count; ++i) m_TxQueue.push_back(packets[i]);
  if (m_TxQueue.empty()) {
    m_TxDone = true;
    TRACE_FAILURE('C', LinkError::kInvalidParameter, "Empty\n");
  } else if (LinkError error; !StartNextWrite(&error)) {
    TRACE_FAILURE('W', error, "WriteFileEx call failed\n");
    return 0;
  }
  while (!Passed(deadline)) {
    qclock::SleepEx(1, true);
    if (m_TxDone) return 1;
    if (m_IoErrors != 0) {
      TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "IO error\n");
      return 0;
    }
  }
  TRACE_FAILURE('W', LinkError::kSemTimeout, "Timeout in Sendbuffer\n");
  return 0;
}

void UsbInterface::TXDone(LinkError error, uint32_t bytes, Overlapped* overlapped) {
  auto* self = static_cast<UsbInterface*>(overlapped->context);
  bool failed = false;
  if (!self->m_ReadHandle) {
    TRACE_FAILURE('W', LinkError::kInvalidHandle, "Invalid handle\n");
    ++self->m_IoErrors;
    failed = true;
  }
  if (error != LinkError::kSuccess) {
    TRACE_FAILURE('W', error, "Error in TXDone: %u\n", LinkErrorNumber(error));
    ++self->m_IoErrors;
    failed = true;
  }
  if (bytes != kPacketRecordSize) {
    TRACE_FAILURE('W', LinkError::kGenFailure, "TXDONE BytesTransfered was %i\n",
                  static_cast<int>(bytes));
    ++self->m_IoErrors;
    failed = true;
  }
  if (failed) return;
  if (self->m_TxQueue.empty()) {
    TRACE('T', "TX Buffer empty - done\n");
    self->m_TxDone = true;
  } else if (LinkError write_error; !self->StartNextWrite(&write_error)) {
    TRACE_FAILURE('W', write_error, "WriteFileEx fail \n");
    ++self->m_IoErrors;
  }
}

void UsbInterface::ReadChainStopped() {
  ++m_IoErrors;
  m_ReadStopped = true;
}

void UsbInterface::RXDone(LinkError error, uint32_t bytes, Overlapped* overlapped) {
  auto* self = static_cast<UsbInterface*>(overlapped->context);
  if (error != LinkError::kSuccess) {
    if (!self->m_ReadHandle) return;  // closing: the cancelled read ends here
    TRACE_FAILURE('W', error, "Error in RXDone: %u\n", LinkErrorNumber(error));
    if (error != LinkError::kMessageNotFound) self->ReadChainStopped();
    return;
  }
  if (self->m_ReadInProgress) {
    TRACE_FAILURE('W', LinkError::kBusy, "RXDone inservice\n");
    return;
  }
  self->m_ReadInProgress = true;
  if (!self->m_ReadHandle) {
    TRACE_FAILURE('W', LinkError::kInvalidHandle, "Invalid handle\n");
    self->ReadChainStopped();
    self->m_ReadInProgress = false;
    return;
  }
  if (bytes % kPacketRecordSize != 0) {
    TRACE_FAILURE('W', LinkError::kInvalidData, "RXDONE BytesTransfered was %u expected %u\n",
                  bytes, static_cast<unsigned>(kPacketRecordSize));
    self->ReadChainStopped();
    self->m_ReadInProgress = false;
    return;
  }
  if (!self->LockBuffer()) {
    TRACE_FAILURE('W', LinkError::kSemTimeout, "Buffer mutex timeout\n");
    self->ReadChainStopped();
    self->m_ReadInProgress = false;
    return;
  }
  const uint32_t records = std::min<uint32_t>(bytes, sizeof self->m_RxBuffer) / kPacketRecordSize;
  for (uint32_t i = 0; i < records; ++i) {
    PacketRecord record;
    std::memcpy(record.bytes, self->m_RxBuffer + i * kPacketRecordSize, kPacketRecordSize);
    const uint16_t type = PacketTypeOf(record);
    if (type == PACKET_LOG) continue;
    if (type == PACKET_USERSTATUS) {
      TRACE('T', "Got userstatus\n");
      continue;
    }
    self->m_RxQueue.push_back(record);
  }
  self->ReleaseBuffer();
  LinkError read_error = LinkError::kSuccess;
  if (!self->m_ReadHandle->ReadEx(self->m_RxBuffer, kRxReadBytes, &self->m_ReadOverlapped, RXDone,
                                  &read_error)) {
    TRACE_FAILURE('W', read_error, "RxDone error\n");
    self->ReadChainStopped();
  }
  self->m_ReadInProgress = false;
}

int UsbInterface::Receive(PacketRecord* packets, int count, int global_timeout,
                          int packet_timeout) {
  LinkCall call;
  if (m_Bulk) return ReceiveBulk(packets, count, global_timeout, packet_timeout);
  return ReceiveInterrupt(packets, count, global_timeout, packet_timeout);
}

int UsbInterface::ReceiveInterrupt(PacketRecord* packets, int count, int global_timeout,
                                   int packet_timeout) {
  TRACE('T', "Receiving %i packets %i %i\n", count, global_timeout, packet_timeout);
  if (!m_ReadHandle) {
    TRACE('T', "Handle is rotten \n");
    TRACE('I', "Handle is rotten \n");
    return 0;
  }
  // Nothing to store: the caller's array has no room for a single packet.
  if (count <= 0) return count == 0 ? 1 : 0;
  const uint32_t deadline = qclock::GetTickCount() + GlobalTimeout(count, global_timeout);
  uint32_t packet_deadline = deadline + 10;
  // A read that failed before this call (while the command was still being sent) started no
  // next read: nothing can arrive any more, so that failure is kept rather than waited out.
  m_IoErrors = m_ReadStopped ? 1 : 0;
  int received = 0;
  while (!Passed(deadline)) {
    if (m_IoErrors != 0) {
      TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "IO err\n");
      return 0;
    }
    if (!LockBuffer()) {
      TRACE_FAILURE('W', LinkError::kSemTimeout, "Buffer lock err\n");
      return 0;
    }
    const uint32_t copy_start = qclock::GetTickCount();
    int taken = 0;
    while (!m_RxQueue.empty() && qclock::GetTickCount() - copy_start < 25) {
      packets[received++] = m_RxQueue.front();
      m_RxQueue.pop_front();
      ++taken;
      if (received == count) {
        TRACE('T', "Got all packets\n");
        ReleaseBuffer();
        return 1;
      }
    }
    ReleaseBuffer();
    if (taken > 0 && packet_timeout != -1) {
      packet_deadline = qclock::GetTickCount() + static_cast<uint32_t>(packet_timeout);
    }
    if (Passed(packet_deadline)) {
      TRACE('T', "Packet timeout at %i of %i packets\n", received, count);
      TRACE('I', "Packet timeout at %i of %i packets\n", received, count);
      break;
    }
    qclock::SleepEx(10, true);
  }
  TRACE('T', "Timeout got %u of %u packets\n", received, count);
  TRACE_FAILURE('W', LinkError::kSemTimeout, "Timeout got %u of %u packets\n", received, count);
  qclock::SleepEx(1, true);
  if (!m_RxQueue.empty()) {
    TRACE('T', "Another packet has arrived\n");
    TRACE('I', "Another packet has arrived\n");
    while (!m_RxQueue.empty()) {
      TRACE('I', "Another packet has arrived %s\n", PacketTypeName(m_RxQueue.front()).c_str());
      m_RxQueue.pop_front();
    }
  }
  return 0;
}

int UsbInterface::FlushReceive() {
  LinkCall call;
  if (m_Bulk) return FlushReceivePipe();
  return FlushReceiveQueue();
}

// On a device driven through completion routines every arriving packet lands in the RX queue
// (the pending read owns the handle), so the stale input to drain is there.
int UsbInterface::FlushReceiveQueue() {
  TRACE('T', "Flushing receive buffer\n");
  const uint32_t deadline = qclock::GetTickCount() + 20;
  int flushed = 0;
  std::string summary;
  for (;;) {
    if (LockBuffer()) {
      while (!m_RxQueue.empty()) {
        flushed += static_cast<int>(kPacketSize);
        if (summary.size() < 505) summary += PacketTypeName(m_RxQueue.front());
        m_RxQueue.pop_front();
      }
      ReleaseBuffer();
    }
    if (Passed(deadline)) break;
    qclock::SleepEx(10, true);
  }
  if (flushed != 0) {
    TRACE('I', "Flushed %i bytes\n", flushed);
    TRACE('I', "Flushed %s \n", summary.c_str());
  }
  return flushed;
}

// --- Command exchange
// -----------------------------------------------------------------------------

int UsbInterface::ExchangeCommand(const char* command, int timeout, char* reply,
                                  uint32_t reply_size, uint32_t* reply_length) {
  if (reply_length != nullptr) *reply_length = 0;
  ++m_TransmissionNumber;
  TRACE('T', "Sendcommand %s with to = %i, #%u\n", command, timeout, m_TransmissionNumber);

  const PacketRecord out[2] = {MakeHostHeader(LoginName(), m_TransmissionNumber),
                               MakeCommand(command)};
  if (!SendBuffer(out, 2, -1, -1)) {
    TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "Error sending command %s\n", command);
    return 0;
  }

  PacketRecord first;
  if (!Receive(&first, 1, timeout, -1)) {
    TRACE_FAILURE('W', CauseOr(LinkError::kSemTimeout), "Error getting reply \n");
    return 0;
  }
  switch (PacketTypeOf(first)) {
    case PACKET_STATUS:
      if (StatusCode(first) != 0) {
        TRACE_FAILURE('W', LinkError::kMachineRefused, "Command response was (%i) \"%s\" \n",
                      StatusCode(first), StatusText(first).c_str());
      }
      return StatusCode(first) == 0 ? 1 : 0;
    case PACKET_DATA:
      TRACE_FAILURE('W', LinkError::kInvalidData, "Unexpected DATA packet #%i\n",
                    DataSequence(first));
      FlushReceive();
      return 0;
    case PACKET_HEADER:
      break;
    default:
      TRACE_FAILURE('W', LinkError::kInvalidData, "Unexpected packet type : %s\n",
                    PacketTypeName(first).c_str());
      return 0;
  }

  if (HeaderTransmission(first) != m_TransmissionNumber) {
    TRACE_FAILURE('W', LinkError::kInvalidData,
                  "Wrong transmission number was %lX should have been %lX\n",
                  static_cast<unsigned long>(HeaderTransmission(first)),
                  static_cast<unsigned long>(m_TransmissionNumber));
    return 0;
  }
  // The count and the length come from the device: work in 64 bits so that no value wraps a
  // check, and refuse what cannot fit before allocating anything.
  const uint64_t n = HeaderPacketCount(first);
  const uint64_t length = HeaderReplyLength(first);
  const uint64_t needed = n * kDataBytesPerPacket;
  TRACE('T', "Expecting %i packets %i bytes\n", static_cast<int>(static_cast<uint32_t>(n + 1)),
        static_cast<int>(length));
  if (static_cast<uint64_t>(reply_size) < needed) {
    TRACE_FAILURE('W', LinkError::kInsufficientBuffer, "Call buffer too small %u %u\n", reply_size,
                  static_cast<unsigned>(std::min<uint64_t>(needed, UINT32_MAX)));
    return 0;
  }
  if (n != DataPacketsFor(length)) {
    TRACE_FAILURE('W', LinkError::kInvalidData, "Size was %u packets %u\n",
                  static_cast<unsigned>(length), static_cast<unsigned>(n));
    return 0;
  }
  PacketRecord* packets = nullptr;
  if (n + 1 <= static_cast<uint64_t>(INT32_MAX)) {
    packets = new (std::nothrow) PacketRecord[n + 1];
  }
  if (packets == nullptr) {
    TRACE_FAILURE('W', LinkError::kNotEnoughMemory, "Error allocating temp storage\n");
    return 0;
  }
  std::unique_ptr<PacketRecord[]> owner(packets);
  const int total = static_cast<int>(n + 1);
  if (!Receive(packets, total, -1, -1)) {
    TRACE('I', "Error receiving\n");
    return 0;
  }
  for (uint64_t i = 0; i < n; ++i) {
    bool fault = false;
    if (DataSequence(packets[i]) != static_cast<uint16_t>(i)) {
      TRACE('I', "Sequence error\n");
      fault = true;
    }
    if (PacketTypeOf(packets[i]) != PACKET_DATA) {
      TRACE_FAILURE('W', LinkError::kInvalidData, "Expected a DATA packet got a %s\n",
                    PacketTypeName(packets[i]).c_str());
      fault = true;
    }
    if (fault) {
      for (uint64_t j = 0; j < n; ++j) {
        TRACE('I', "%s %u\n", PacketTypeName(packets[j]).c_str(), DataSequence(packets[j]));
      }
      return 0;
    }
  }
  if (PacketTypeOf(packets[n]) != PACKET_STATUS) {
    TRACE('I', "Expected a STATUS packet got a %s\n", PacketTypeName(packets[n]).c_str());
    return 0;
  }
  if (reply != nullptr) {
    TRACE('T', "ALL OK now extracting %i packets\n", static_cast<int>(n));
    for (uint64_t i = 0; i < n; ++i) {
      std::memcpy(reply + i * kDataBytesPerPacket, DataText(packets[i]), kDataBytesPerPacket);
    }
    TRACE('T', "Packets extracted\n");
  } else {
    TRACE('T', "No replybuffer\n");
  }
  if (reply_length != nullptr) *reply_length = static_cast<uint32_t>(length);
  return 1;
}

int UsbInterface::SendCommand(const char* command, int timeout, char* reply, uint32_t reply_size,
                              uint32_t* reply_length) {
  LinkCall call;
  if (!HardwareLock()) {
    TRACE_FAILURE('W', CauseOr(LinkError::kSemTimeout), "Hardware TO\n");
    ReleaseHardwareLock();
    return 0;
  }
  const int result = ExchangeCommand(command, timeout, reply, reply_size, reply_length);
  ReleaseHardwareLock();
  return result;
}

int UsbInterface::CheckAlive() {
  LinkCall call;
  if (!HardwareLock()) {
    TRACE_FAILURE('W', CauseOr(LinkError::kSemTimeout), "Hardware TO\n");
    ReleaseHardwareLock();
    return 0;
  }
  const PacketRecord alive = MakeAlive(LoginName());
  if (!SendBuffer(&alive, 1, -1, -1)) {
    TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "Error sending command\n");
    ReleaseHardwareLock();
    return 0;
  }
  if (m_Bulk) FlushReceive();
  ReleaseHardwareLock();
  return 1;
}
