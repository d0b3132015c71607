#include "MachineConnection.h"

#include "USBinterface.h"
#include "clock.h"
#include "rwbulk.h"

namespace {

struct Quiet : MachineConnection::Observer {};

}  // namespace

MachineConnection::~MachineConnection() {
  delete m_Link;  // its destructor closes it
}

MachineConnection::Step MachineConnection::Poll(Observer* observer) {
  if (m_Paced && static_cast<int32_t>(qclock::GetTickCount() - m_NextPoll) < 0) {
    return Step::kNotDue;
  }
  Quiet quiet;
  Observer& told = observer != nullptr ? *observer : quiet;
  if (!m_MutexCreated) {
    CreateConnectionMutex();
    m_MutexCreated = true;
  }
  Step step;
  if (m_Link == nullptr) {
    told.OnSearching();
    m_Link = FindDevice(0, m_Which);
    if (m_Link != nullptr) {
      told.OnFound();
      m_Link->ClientInit();
      step = Step::kFound;
    } else {
      step = Step::kNone;
    }
  } else if (m_Link->CheckAlive() == 1) {
    told.OnAlive();
    step = Step::kAlive;
  } else {
    told.OnGone();
    m_Link->CloseDevice();
    delete m_Link;
    m_Link = nullptr;
    step = Step::kGone;
  }
  if (observer != nullptr && (!m_Told || step == Step::kFound || step == Step::kGone)) {
    observer->OnHeldChanged(m_Link != nullptr);
    m_Told = true;
  }
  m_NextPoll = qclock::GetTickCount() + kPollIntervalMs;
  m_Paced = true;
  return step;
}

UsbInterface* MachineConnection::WaitForMachine(uint32_t wait_ms) {
  const uint32_t start = qclock::GetTickCount();
  while (m_Link == nullptr) {
    Poll();
    if (m_Link != nullptr) break;
    const uint32_t now = qclock::GetTickCount();
    if (now - start >= wait_ms) break;
    const int32_t until_due = static_cast<int32_t>(m_NextPoll - now);
    if (until_due > 0) qclock::Sleep(static_cast<uint32_t>(until_due));
  }
  return m_Link;
}

LinkFailure MachineConnection::LastFailure() const {
  LinkFailure failure = ::LastFailure();
  if (failure.text.empty()) {
    failure = m_Link == nullptr ? LinkFailure{LinkError::kFileNotFound, kNoMachineFound}
                                : LinkFailure{LinkError::kGenFailure, kExchangeFailed};
  }
  return failure;
}
