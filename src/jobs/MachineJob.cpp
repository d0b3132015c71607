#include "MachineJob.h"

#include <cstring>

#include "MachineStatus.h"
#include "clock.h"

namespace {

bool StartsWith(const char* text, const char* word) {
  return std::strncmp(text, word, std::strlen(word)) == 0;
}

bool IsCommand(const char* command, const char* word) {
  return std::strcmp(command, word) == 0;
}

bool IsSplitCommand(const char* command) {
  return IsCommand(command, "SPLIT 13") || IsCommand(command, "SPLIT 26") ||
         IsCommand(command, "SPLIT CONTINUE");
}

}  // namespace

uint32_t MachineJob::LimitMs(Kind kind) {
  switch (kind) {
    case Kind::kSorting:
      return kSortLimitMs;
    case Kind::kSplitting:
    case Kind::kSplitStopped:
      return kSplitLimitMs;
    case Kind::kNone:
      break;
  }
  return 0;
}

MachineJob::Kind MachineJob::kind() const {
  // A split stopped for removal waits for the operator, however long that takes.
  if (kind_ == Kind::kSorting || kind_ == Kind::kSplitting) {
    if (qclock::GetTickCount() - taken_at_ >= LimitMs(kind_)) {
      return Kind::kNone;
    }
  }
  return kind_;
}

bool MachineJob::Allows(const char* command) const {
  switch (kind()) {
    case Kind::kNone:
      return true;
    case Kind::kSorting:
    case Kind::kSplitting:
      return IsCommand(command, "STAT");
    case Kind::kSplitStopped:
      return IsCommand(command, "STAT") || IsCommand(command, "BUTSTAT") ||
             IsCommand(command, "TRAYSTAT") || IsSplitCommand(command);
  }
  return false;
}

void MachineJob::Take(Kind kind) {
  kind_ = kind;
  taken_at_ = qclock::GetTickCount();
}

bool MachineJob::Observe(const char* command, int code, const char* reply) {
  const Kind stored = kind_;
  kind_ = kind();  // a job past its limit holds nothing
  if (StartsWith(command, "SORT ")) {
    // A SORT whose reply was lost may well have been taken: the deck is taken to be in the
    // machine until STAT says otherwise. Only "no machine" means nothing went out.
    if (code == machine_status::kOk || code == machine_status::kExchangeFailed) {
      Take(Kind::kSorting);
    }
  } else if (IsSplitCommand(command)) {
    if (machine_status::IsSplitAcknowledgement(code, reply)) {
      Take(Kind::kSplitting);
    } else {
      kind_ = Kind::kNone;  // the split page gives the job up, as the operator is told
    }
  } else if (IsCommand(command, "STAT") && kind_ != Kind::kNone) {
    if (ExchangeFailed(code) || code == machine_status::kBusy) {
      // Not the machine's word on the job: it may be working on.
    } else if (code == machine_status::kOk && kind_ != Kind::kSorting &&
               RemovalPocket(reply) != 0) {
      kind_ = Kind::kSplitStopped;
    } else {
      kind_ = Kind::kNone;  // done, or failed
    }
  }
  return kind_ != stored;
}
