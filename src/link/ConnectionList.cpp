#include "ConnectionList.h"

#include <memory>

#include "LinkFailure.h"
#include "clock.h"
#include "platform/ProcessMutex.h"

namespace {

std::list<ConnectionRecord> g_connection_list;
std::unique_ptr<qplatform::ProcessMutex> g_connection_mutex;

}  // namespace

std::list<ConnectionRecord>& ConnectionList() {
  return g_connection_list;
}

void CreateConnectionMutex() {
  if (!g_connection_mutex) g_connection_mutex = std::make_unique<qplatform::ProcessMutex>();
}

void ResetConnectionMutexForTests() {
  g_connection_mutex.reset();
}

int LockConnectionMutex() {
  if (!g_connection_mutex) {
    g_connection_mutex = std::make_unique<qplatform::ProcessMutex>();
    TRACE_FAILURE('W', LinkError::kInvalidHandle, "ConnectionList mutex was init'ed\n");
  }
  const uint32_t start = qclock::GetTickCount();
  for (;;) {
    if (g_connection_mutex->TryAcquire()) return 1;
    if (qclock::GetTickCount() - start >= 100) break;
    qclock::Sleep(1);
  }
  TRACE_FAILURE('C', LinkError::kSemTimeout, "Connection mutex timeout\n");
  return 0;
}

void ReleaseConnectionMutex() {
  if (!g_connection_mutex || !g_connection_mutex->Release()) {
    TRACE_FAILURE('C', LinkError::kNotOwner, "Connection mutex release error\n");
  }
}

int AcquireHardwareLock(uint32_t id) {
  LockConnectionMutex();
  uint32_t highest = 0;
  for (const ConnectionRecord& record : g_connection_list) {
    if (record.ticket > highest) highest = record.ticket;
  }
  for (ConnectionRecord& record : g_connection_list) {
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
    for (const ConnectionRecord& record : g_connection_list) {
      if (record.id == id) {
        granted = record.ticket <= 10;
        break;
      }
    }
    ReleaseConnectionMutex();
    if (granted) return 1;
    qclock::Sleep(500);
  }
  TRACE_FAILURE('C', LinkError::kSemTimeout, "HardwareLock timeout\n");
  return 0;
}

void ReleaseHardwareLock(uint32_t id) {
  LockConnectionMutex();
  ConnectionRecord* mine = nullptr;
  for (ConnectionRecord& record : g_connection_list) {
    if (record.id == id) {
      mine = &record;
      break;
    }
  }
  if (mine == nullptr) {
    TRACE_FAILURE('W', LinkError::kFileNotFound, "NOT found\n");
  } else {
    for (ConnectionRecord& record : g_connection_list) {
      if (record.ticket != 0) --record.ticket;
    }
    mine->ticket = 0;
  }
  ReleaseConnectionMutex();
}
