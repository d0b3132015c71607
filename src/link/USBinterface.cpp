// The machine: its place in the connection list, its transport (InterruptTransport.cpp,
// RwBulk.cpp) and the command exchange written once above it. The device search is in
// DeviceSearch.cpp.
#include "USBinterface.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "System.h"
#include "Transport.h"

namespace {

constexpr uint32_t kInvalidHandleValue = 0xFFFFFFFF;  // the closed handle's value, as traced

}  // namespace

const char* LoginName() {
  // Looked up once: it does not change while the program runs, and every exchange needs it.
  static const std::string name = qsys::LoginName().substr(0, 79);
  return name.c_str();
}

// --- Construction, Init, ClientInit, CloseDevice -----------------------------------------------

UsbInterface::UsbInterface(const ConnectionRecord& record)
    : m_Connection(record), m_Transport(MakeInterruptTransport(nullptr)) {
  m_Connection.device = this;
  LockConnectionMutex();
  ConnectionList().push_back(m_Connection);
  ReleaseConnectionMutex();
}

UsbInterface::~UsbInterface() {
  TRACE('T', "UsbInterface::~destructor \n");
  CloseDevice();
}

void UsbInterface::SetProduct(const char* product) {
  std::snprintf(m_Product, sizeof m_Product, "%s", product ? product : "");
}

bool UsbInterface::ReadPending() const {
  return m_Transport->ReadPending();
}

size_t UsbInterface::RxQueued() const {
  return m_Transport->Queued();
}

int UsbInterface::InitInterrupt(std::unique_ptr<qplatform::CompletionDevice> device) {
  LinkCall call;
  m_Bulk = false;
  TRACE('T', "Init on a %s\n", "Interrupt device");
  m_Transport = MakeInterruptTransport(std::move(device));
  return 1;
}

int UsbInterface::InitBulk(std::unique_ptr<qplatform::PipeDevice> read,
                           std::unique_ptr<qplatform::PipeDevice> write) {
  LinkCall call;
  m_Bulk = true;
  TRACE('T', "Init on a %s\n", "Bulkdevice");
  m_Transport = MakeBulkTransport(std::move(read), std::move(write));
  // Bulk machines need no ClientInit; whatever they sent before we came is stale.
  m_ClientInitialised = true;
  while (FlushReceive() != 0) {
  }
  return 1;
}

int UsbInterface::ClientInit() {
  LinkCall call;
  if (m_ClientInitialised) return 1;
  TRACE('I', "ClientInit\n");
  if (!m_Transport->Arm()) return 0;
  m_ClientInitialised = true;
  return 1;
}

void UsbInterface::CloseDevice() {
  TRACE('T', "UsbInterface::CloseDevice \n");
  m_Transport->Close();
  // Let the cancelled routines run now; they see the closed handle and return.
  qclock::SleepEx(10, true);
  m_Transport->Clear();
  LockConnectionMutex();
  // Only this machine's record: another machine may carry the same id.
  ConnectionList().remove_if([this](const ConnectionRecord& r) { return r.device == this; });
  ReleaseConnectionMutex();
}

// --- Transport: the interrupt device (and the emulator) -----------------------------------------

int UsbInterface::SendBuffer(const PacketRecord* packets, int count, int global_timeout,
                             int packet_timeout) {
  LinkCall call;
  TRACE('T', "SendBuffer with %i packets and %i timeout\n", count, global_timeout);
  if (!m_Transport->IsOpen()) {
    TRACE_FAILURE('W', LinkError::kInvalidHandle, "Handle is rotten %u\n", kInvalidHandleValue);
    return 0;
  }
  return m_Transport->Send(packets, count, global_timeout, packet_timeout);
}

int UsbInterface::Receive(PacketRecord* packets, int count, int global_timeout,
                          int packet_timeout) {
  LinkCall call;
  TRACE('T', "Receiving %i packets %i %i\n", count, global_timeout, packet_timeout);
  if (!m_Transport->IsOpen()) {
    TRACE('T', "Handle is rotten \n");
    TRACE('I', "Handle is rotten \n");
    return 0;
  }
  return m_Transport->Receive(packets, count, global_timeout, packet_timeout);
}

int UsbInterface::FlushReceive() {
  LinkCall call;
  TRACE('T', "Flushing receive buffer\n");
  return m_Transport->Flush();
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
  m_Transport->AfterAlive();
  ReleaseHardwareLock();
  return 1;
}
