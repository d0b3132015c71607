// The interrupt transport: HID machines and emulator slots, whose one pending read and one
// pending write finish through completion routines (RXDone, TXDone) in the link's alertable
// sleeps. Every arriving record lands in the receive queue, where Receive takes it.
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "LinkFailure.h"
#include "Transport.h"
#include "platform/ProcessMutex.h"
#include "platform/Reactor.h"

using qplatform::CompletionDevice;
using qplatform::Overlapped;

namespace {

constexpr uint32_t kRxReadBytes = 6500;  // 100 records a completion

class InterruptTransport : public PacketTransport {
 public:
  explicit InterruptTransport(std::unique_ptr<CompletionDevice> handle)
      : m_ReadHandle(std::move(handle)),
        m_BufferMutex(std::make_unique<qplatform::ProcessMutex>()) {
    m_ReadOverlapped.context = this;
    m_WriteOverlapped.context = this;
  }
  ~InterruptTransport() override {
    Close();
    // Routines that still name this object must never run after it is gone.
    qplatform::Reactor::Instance().Discard(&m_ReadOverlapped);
    qplatform::Reactor::Instance().Discard(&m_WriteOverlapped);
  }

  bool IsOpen() const override { return m_ReadHandle != nullptr; }
  int Arm() override;
  int Send(const PacketRecord* packets, int count, int global_timeout, int packet_timeout) override;
  int Receive(PacketRecord* packets, int count, int global_timeout, int packet_timeout) override;
  int Flush() override;
  void AfterAlive() override {}
  void Close() override {
    if (m_ReadHandle) {
      m_ReadHandle->CancelIo(nullptr);
      m_ReadHandle.reset();
    }
  }
  void Clear() override {
    m_RxQueue.clear();
    m_TxQueue.clear();
    m_BufferMutex.reset();
  }
  size_t Queued() const override { return m_RxQueue.size(); }
  bool ReadPending() const override { return m_ReadHandle && m_ReadHandle->Pending(false); }

  static void RXDone(LinkError error, uint32_t bytes, Overlapped* overlapped);
  static void TXDone(LinkError error, uint32_t bytes, Overlapped* overlapped);

 private:
  bool LockBuffer();
  void ReleaseBuffer();
  // Writes the oldest queued record through TXDone; false with *error when the write was
  // refused.
  bool StartNextWrite(LinkError* error);
  // Counts an I/O error of the read chain: the failed completion started no next read.
  void ReadChainStopped();

  std::unique_ptr<CompletionDevice> m_ReadHandle;
  uint8_t m_RxBuffer[6500] = {};
  std::deque<PacketRecord> m_RxQueue;
  std::unique_ptr<qplatform::ProcessMutex> m_BufferMutex;
  bool m_ReadInProgress = false;
  Overlapped m_ReadOverlapped;
  Overlapped m_WriteOverlapped;
  std::deque<PacketRecord> m_TxQueue;
  PacketRecord m_TxStaging;
  bool m_TxDone = false;
  int m_IoErrors = 0;
  bool m_ReadStopped = false;  // a read failed and started no next one
};

int InterruptTransport::Arm() {
  LinkError error = LinkError::kSuccess;
  if (!m_ReadHandle ||
      !m_ReadHandle->ReadEx(m_RxBuffer, kPacketRecordSize, &m_ReadOverlapped, RXDone, &error)) {
    TRACE_FAILURE('W', m_ReadHandle ? error : LinkError::kInvalidHandle,
                  "Receive buffer error getting result\n");
    return 0;
  }
  return 1;
}

bool InterruptTransport::LockBuffer() {
  if (!m_BufferMutex) return false;
  const uint32_t start = qclock::GetTickCount();
  for (;;) {
    if (m_BufferMutex->TryAcquire()) return true;
    if (qclock::GetTickCount() - start >= 100) return false;
    qclock::Sleep(1);
  }
}

void InterruptTransport::ReleaseBuffer() {
  if (m_BufferMutex) m_BufferMutex->Release();
}

bool InterruptTransport::StartNextWrite(LinkError* error) {
  m_TxDone = false;
  *error = LinkError::kSuccess;
  // A write an earlier send gave up on is still reading the staging record; its TXDone goes on
  // with the queue once the device takes it.
  if (m_ReadHandle && m_ReadHandle->Pending(true)) {
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

int InterruptTransport::Send(const PacketRecord* packets, int count, int global_timeout,
                             int /*packet_timeout*/) {
  m_IoErrors = 0;
  const uint32_t deadline =
      qclock::GetTickCount() + transport_time::GlobalTimeout(count, global_timeout);
  if (!m_TxQueue.empty()) TRACE_FAILURE('W', LinkError::kBusy, "Send buffer is not empty\n");
  for (int i = 0; i < count; ++i) m_TxQueue.push_back(packets[i]);
  if (m_TxQueue.empty()) {
    m_TxDone = true;
    TRACE_FAILURE('C', LinkError::kInvalidParameter, "Empty\n");
  } else if (LinkError error; !StartNextWrite(&error)) {
    TRACE_FAILURE('W', error, "WriteFileEx call failed\n");
    return 0;
  }
  while (!transport_time::Passed(deadline)) {
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

void InterruptTransport::TXDone(LinkError error, uint32_t bytes, Overlapped* overlapped) {
  auto* self = static_cast<InterruptTransport*>(overlapped->context);
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

void InterruptTransport::ReadChainStopped() {
  ++m_IoErrors;
  m_ReadStopped = true;
}

void InterruptTransport::RXDone(LinkError error, uint32_t bytes, Overlapped* overlapped) {
  auto* self = static_cast<InterruptTransport*>(overlapped->context);
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

int InterruptTransport::Receive(PacketRecord* packets, int count, int global_timeout,
                                int packet_timeout) {
  // Nothing to store: the caller's array has no room for a single packet.
  if (count <= 0) return count == 0 ? 1 : 0;
  const uint32_t deadline =
      qclock::GetTickCount() + transport_time::GlobalTimeout(count, global_timeout);
  uint32_t packet_deadline = deadline + 10;
  // A read that failed before this call (while the command was still being sent) started no
  // next read: nothing can arrive any more, so that failure is kept rather than waited out.
  m_IoErrors = m_ReadStopped ? 1 : 0;
  int received = 0;
  while (!transport_time::Passed(deadline)) {
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
    if (transport_time::Passed(packet_deadline)) {
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

// On a device driven through completion routines every arriving packet lands in the RX queue
// (the pending read owns the handle), so the stale input to drain is there.
int InterruptTransport::Flush() {
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
    if (transport_time::Passed(deadline)) break;
    qclock::SleepEx(10, true);
  }
  if (flushed != 0) {
    TRACE('I', "Flushed %i bytes\n", flushed);
    TRACE('I', "Flushed %s \n", summary.c_str());
  }
  return flushed;
}

}  // namespace

std::unique_ptr<PacketTransport> MakeInterruptTransport(std::unique_ptr<CompletionDevice> handle) {
  return std::make_unique<InterruptTransport>(std::move(handle));
}
