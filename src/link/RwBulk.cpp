// The bulk machine: enumeration of its device paths, and packet transfers on its two pipes
// waited for on their events in 10 ms steps.
#include "rwbulk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "LinkFailure.h"
#include "MachineNotices.h"
#include "Transport.h"
#include "platform/Backends.h"
#include "regexpclass.h"

using qplatform::IoStart;
using qplatform::PipeDevice;
using qplatform::WaitResult;

namespace {

constexpr int kMaxMembers = 128;
constexpr int kPacketsPerWrite = 16;
constexpr int kPacketsPerRead = 256;
constexpr size_t kBlockBytes = 16384;
constexpr uint32_t kGrace = 50000;

const char kPathPattern[] = "^(.+#vid_[0-9A-Fa-f]+&pid_[0-9A-Fa-f]+)#([0-9A-Fa-f\\.\\*_\\:]+)#(.+)";

enum class Waited { kDone, kResultError, kPacketTimeout, kGlobalTimeout, kAbandoned, kWrongReturn };

// Waits for the pending transfer on its event in steps of 10 ms until it finishes or the clock
// passes a deadline plus `grace`. No packet deadline: pass nullptr.
Waited WaitTransfer(PipeDevice& handle, uint32_t* bytes, LinkError* error,
                    const uint32_t* packet_deadline, uint32_t global_deadline, uint32_t grace) {
  for (;;) {
    switch (handle.WaitPending(10)) {
      case WaitResult::kSignaled:
        return handle.PendingResult(bytes, error) ? Waited::kDone : Waited::kResultError;
      case WaitResult::kTimeout:
        if (packet_deadline != nullptr && transport_time::Passed(*packet_deadline + grace)) {
          return Waited::kPacketTimeout;
        }
        if (transport_time::Passed(global_deadline + grace)) return Waited::kGlobalTimeout;
        break;
      case WaitResult::kAbandoned:
        return Waited::kAbandoned;
      default:
        return Waited::kWrongReturn;
    }
  }
}

PacketRecord RecordFromUnit(const uint8_t* unit) {
  PacketRecord record;
  std::memcpy(record.bytes + 1, unit, kPacketSize);
  return record;
}

}  // namespace

int EnumerateBulkDevices(std::vector<ConnectionRecord>* list) {
  LinkCall call;
  qplatform::BulkBackend* backend = qplatform::CurrentBackends().bulk;
  std::vector<qplatform::InterfaceEntry> entries;
  LinkError error = LinkError::kSuccess;
  if (backend == nullptr || !backend->ListInterfaces(&entries, &error)) {
    TRACE_FAILURE('W', ErrorOr(error, LinkError::kGenFailure),
                  "SetupDiGetClassDevs failed with %u\n", LinkErrorNumber(error));
    return 0;
  }
  machine_notices::Listed('B', entries);
  RegexpClass pattern(kPathPattern);
  for (int member = 0; member < kMaxMembers; ++member) {
    if (static_cast<size_t>(member) >= entries.size()) break;  // no more items
    const qplatform::InterfaceEntry& entry = entries[member];
    if (entry.enum_error != 0) {
      TRACE_FAILURE('W', LinkErrorFromNumber(entry.enum_error), "Some other error %i\n",
                    static_cast<int>(entry.enum_error));
      continue;
    }
    if (entry.detail_failed) continue;
    const std::string& path = entry.path;
    if (!entry.not_machine.empty()) {
      // Another device of the vendor (a different interface, no single bulk pair): taking it
      // for the machine would leave every command waiting out its time-out.
      TRACE('D', "Not a machine: %s (%s)\n", path.c_str(), entry.not_machine.c_str());
      continue;
    }
    if (!backend->Probe(path, &error)) {
      TRACE('D', "FAILED to open %s\n", path.c_str());
      if (error == LinkError::kAccessDenied &&
          machine_notices::Note('B', path, machine_notices::kNoPermission)) {
        TRACE('W', machine_notices::kNoPermission, path.c_str());
      }
      continue;
    }
    if (!pattern.Match(path.c_str())) {
      TRACE_FAILURE('W', LinkError::kInvalidData, "Found an unmatching device %s\n", path.c_str());
      continue;
    }
    char instance[256];
    unsigned int id = 0;
    if (!pattern.regsub("\\2", instance, sizeof instance) ||
        std::sscanf(instance, "%X", &id) != 1) {
      TRACE('D', "Scanf err\n");
      break;
    }
    ConnectionRecord record;
    record.id = id;
    record.free = 1;
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    std::snprintf(record.serial, sizeof record.serial, "%.63s", instance);
    list->push_back(record);
  }
  return 1;
}

namespace {

// The bulk transport: one transfer at a time on each pipe, waited for on its event in 10 ms
// steps; a read finishes when all the bytes asked for have arrived.
class BulkTransport : public PacketTransport {
 public:
  BulkTransport(std::unique_ptr<PipeDevice> read, std::unique_ptr<PipeDevice> write)
      : m_ReadHandle(std::move(read)), m_WriteHandle(std::move(write)) {}
  ~BulkTransport() override { Close(); }

  bool IsOpen() const override { return m_ReadHandle && m_WriteHandle; }
  int Arm() override { return 1; }
  int Send(const PacketRecord* packets, int count, int global_timeout, int packet_timeout) override;
  int Receive(PacketRecord* packets, int count, int global_timeout, int packet_timeout) override;
  int Flush() override;
  void AfterAlive() override {
    TRACE('T', "Flushing receive buffer\n");
    Flush();
  }
  void Close() override {
    for (std::unique_ptr<PipeDevice>* handle : {&m_ReadHandle, &m_WriteHandle}) {
      if (*handle) {
        (*handle)->CancelIo(nullptr);
        handle->reset();
      }
    }
  }
  void Clear() override {}
  size_t Queued() const override { return 0; }
  bool ReadPending() const override { return false; }

 private:
  std::unique_ptr<PipeDevice> m_ReadHandle;   // "\PIPE00"
  std::unique_ptr<PipeDevice> m_WriteHandle;  // "\PIPE01"
};

int BulkTransport::Send(const PacketRecord* packets, int count, int global_timeout,
                        int packet_timeout) {
  const uint32_t global_deadline =
      qclock::GetTickCount() + transport_time::GlobalTimeout(count, global_timeout);
  uint32_t packet_deadline = global_deadline + 10;
  const size_t total = count > 0 ? static_cast<size_t>(count) : 0;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[total * kPacketSize + 1]);
  if (!block) {
    TRACE_FAILURE('C', LinkError::kNotEnoughMemory, "Malloc failed\n");
    return 0;
  }
  for (size_t i = 0; i < total; ++i) {
    std::memcpy(block.get() + i * kPacketSize, packets[i].bytes + 1, kPacketSize);
  }
  bool ok = true;
  int done = 0;
  while (ok && done < count) {
    const int chunk = std::min(kPacketsPerWrite, count - done);
    const uint32_t asked = static_cast<uint32_t>(chunk) * kPacketSize;
    uint32_t written = 0;
    LinkError error = LinkError::kSuccess;
    switch (m_WriteHandle->Write(block.get() + static_cast<size_t>(done) * kPacketSize, asked,
                                 &written, &error)) {
      case IoStart::kCompleted:
        TRACE('I', "Direct write\n");
        if (written < asked) {
          TRACE_FAILURE('W', LinkError::kGenFailure, "Written != WriteLen\n");
          ok = false;
        }
        break;
      case IoStart::kFailed:
        TRACE_FAILURE('W', error, "Write failed %i\n", static_cast<int>(error));
        ok = false;
        break;
      case IoStart::kPending:
        switch (WaitTransfer(*m_WriteHandle, &written, &error, &packet_deadline, global_deadline,
                             kGrace)) {
          case Waited::kDone:
            if (written < asked) {
              TRACE_FAILURE('W', LinkError::kGenFailure, "Written != WriteLen\n");
              ok = false;
            } else if (packet_timeout != -1) {
              packet_deadline = qclock::GetTickCount() + static_cast<uint32_t>(packet_timeout);
            }
            break;
          case Waited::kResultError:
            TRACE('I', "Write fail %i\n", static_cast<int>(error));
            ok = false;
            break;
          case Waited::kPacketTimeout:
            TRACE('T', "Packet timeout at %i of %i packets\n", count - (done + chunk), count);
            ok = false;
            break;
          case Waited::kGlobalTimeout:
            TRACE('T', "Global timeout at %i of %i packets\n", count - (done + chunk), count);
            ok = false;
            break;
          case Waited::kAbandoned:
            TRACE_FAILURE('W', LinkError::kOperationAborted, "WAIT_ABANDONED");
            ok = false;
            break;
          case Waited::kWrongReturn:
            TRACE_FAILURE('W', LinkError::kGenFailure, "Wrong return type\n");
            ok = false;
            break;
        }
        // A write given up on must not go on reading the block we are about to free.
        if (!ok) m_WriteHandle->CancelIo(nullptr);
        break;
    }
    m_WriteHandle->ResetEvent(nullptr);
    // The line's text is fixed; its redundant zero flags are harmless.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
    TRACE('T', "W(%04.4d):%06.6d bytes -- %06.6d bytes written\n", count, static_cast<int>(asked),
          static_cast<int>(written));
#pragma GCC diagnostic pop
    if (ok) done += chunk;
  }
  return ok ? 1 : 0;
}

int BulkTransport::Receive(PacketRecord* packets, int count, int global_timeout,
                           int packet_timeout) {
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockBytes]);
  if (!block) {
    TRACE_FAILURE('C', LinkError::kNotEnoughMemory, "No buffer\n");
    return 0;
  }
  const uint32_t global_deadline =
      qclock::GetTickCount() + transport_time::GlobalTimeout(count, global_timeout);
  uint32_t packet_deadline = global_deadline + 10;
  int stored = 0;
  bool failed = false;
  while (!failed && stored < count) {
    const int units = std::min(count - stored, kPacketsPerRead);
    const uint32_t asked = static_cast<uint32_t>(units) * kPacketSize;
    TRACE('T', "Reading %i bytes\n", static_cast<int>(asked));
    uint32_t got = 0;
    LinkError error = LinkError::kSuccess;
    switch (m_ReadHandle->Read(block.get(), asked, &got, &error)) {
      case IoStart::kCompleted:
        TRACE('I', "Direct read\n");
        if (got != asked) {
          TRACE_FAILURE('W', LinkError::kGenFailure, "Read != ReadLen\n");
          failed = true;
        }
        break;
      case IoStart::kFailed:
        TRACE_FAILURE('W', error, "Read failed %i\n", static_cast<int>(error));
        failed = true;
        break;
      case IoStart::kPending:
        switch (
            WaitTransfer(*m_ReadHandle, &got, &error, &packet_deadline, global_deadline, kGrace)) {
          case Waited::kDone:
            if (got != asked) {
              TRACE_FAILURE('W', LinkError::kGenFailure, "Read != ReadLen\n");
              failed = true;
            } else if (packet_timeout != -1) {
              packet_deadline = qclock::GetTickCount() + static_cast<uint32_t>(packet_timeout);
            }
            break;
          case Waited::kResultError:
            TRACE_FAILURE('W', error, "Read fail (%i)\n", static_cast<int>(error));
            failed = true;
            break;
          case Waited::kPacketTimeout:
            TRACE_FAILURE('W', LinkError::kSemTimeout, "Packet timeout at %i of %i packets\n",
                          count - stored, count);
            failed = true;
            break;
          case Waited::kGlobalTimeout:
            TRACE_FAILURE('W', LinkError::kSemTimeout, "Global timeout at %i of %i packets\n",
                          count - stored, count);
            failed = true;
            break;
          case Waited::kAbandoned:
            TRACE_FAILURE('W', LinkError::kOperationAborted, "WAIT_ABANDONED");
            failed = true;
            break;
          case Waited::kWrongReturn:
            TRACE_FAILURE('W', LinkError::kGenFailure, "Wrong return type\n");
            failed = true;
            break;
        }
        break;
    }
    if (!failed) {
      for (int u = 0; u < units; ++u) {
        const PacketRecord record = RecordFromUnit(block.get() + u * kPacketSize);
        const uint16_t type = PacketTypeOf(record);
        if (type == PACKET_LOG) continue;
        if (type == PACKET_USERSTATUS) {
          TRACE('T', "Got userstatus -bulk \n");
          continue;
        }
        packets[stored++] = record;
      }
    }
    m_ReadHandle->ResetEvent(nullptr);
  }
  if (failed) {
    TRACE_FAILURE('W', CauseOr(LinkError::kGenFailure), "Fail in receive buffer\n");
    LinkError error = LinkError::kSuccess;
    if (!m_ReadHandle->CancelIo(&error))
      TRACE_FAILURE('W', error, "\nCancelIO failed %i\n", static_cast<int>(error));
  }
  return !failed && stored == count ? 1 : 0;
}

int BulkTransport::Flush() {
  const uint32_t deadline = qclock::GetTickCount() + 20;
  if (!m_ReadHandle) return 0;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockBytes]);
  if (!block) {
    TRACE_FAILURE('C', LinkError::kNotEnoughMemory, "No buffer\n");
    return 0;
  }
  int flushed = 0;
  std::string summary;
  for (;;) {
    LinkError error = LinkError::kSuccess;
    if (!m_ReadHandle->ResetEvent(&error)) {
      TRACE_FAILURE('W', error, "ResetEvent fail (%i)\n", static_cast<int>(error));
      break;
    }
    uint32_t got = 0;
    bool stop = false;
    switch (m_ReadHandle->Read(block.get(), kPacketSize, &got, &error)) {
      case IoStart::kCompleted:
        TRACE('I', "Direct read\n");
        if (got != kPacketSize) {
          TRACE_FAILURE('W', LinkError::kGenFailure, "Read != ReadLen\n");
          stop = true;
        }
        break;
      case IoStart::kFailed:
        TRACE('I', "Read failed %i\n", static_cast<int>(error));
        stop = true;
        break;
      case IoStart::kPending:
        switch (WaitTransfer(*m_ReadHandle, &got, &error, nullptr, deadline, 0)) {
          case Waited::kDone:
            if (got != kPacketSize) {
              TRACE_FAILURE('W', LinkError::kGenFailure, "Read != ReadLen\n");
              stop = true;
            }
            break;
          case Waited::kResultError:
            TRACE('I', "Read fail (%i)\n", static_cast<int>(error));
            stop = true;
            break;
          case Waited::kAbandoned:
            TRACE_FAILURE('W', LinkError::kOperationAborted, "WAIT_ABANDONED");
            stop = true;
            break;
          case Waited::kPacketTimeout:
          case Waited::kGlobalTimeout:
            TRACE('T', "Global timeout\n");
            stop = true;
            break;
          case Waited::kWrongReturn:
            TRACE_FAILURE('W', LinkError::kGenFailure, "Wrong return type\n");
            stop = true;
            break;
        }
        break;
    }
    if (stop) break;
    flushed += static_cast<int>(kPacketSize);
    if (summary.size() < 505) summary += PacketTypeName(RecordFromUnit(block.get()));
  }
  if (flushed != 0) {
    TRACE('I', "Flushed %i bytes\n", flushed);
    TRACE('I', "Flushed %s \n", summary.c_str());
  }
  LinkError error = LinkError::kSuccess;
  if (!m_ReadHandle->CancelIo(&error))
    TRACE_FAILURE('W', error, "\nCancelIO failed %i\n", static_cast<int>(error));
  return flushed;
}

}  // namespace

std::unique_ptr<PacketTransport> MakeBulkTransport(std::unique_ptr<PipeDevice> read,
                                                   std::unique_ptr<PipeDevice> write) {
  return std::make_unique<BulkTransport>(std::move(read), std::move(write));
}
