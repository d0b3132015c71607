#include "JobCommon.h"

#include <cstdlib>
#include <string>

#include "MachineStatus.h"
#include "clock.h"
#include "regexpclass.h"

bool PollDue(uint32_t& next_poll) {
  const uint32_t now = qclock::GetTickCount();
  const uint32_t wait = next_poll - now;
  if (wait != 0 && wait <= kPollMs) {
    return false;
  }
  next_poll = now + kPollMs;
  return true;
}

int RemovalPocket(const char* reply) {
  // Compiled once and kept for the life of the process.
  static RegexpClass removal("00 Remove ([0-9][0-9]) cards from ([1-4])");
  if (!removal.Match(reply)) {
    return 0;
  }
  return std::atoi(std::string(removal.SubStart(2), removal.SubEnd(2)).c_str());
}

bool ExchangeFailed(int code) {
  return code == machine_status::kExchangeFailed || code == machine_status::kNoMachine;
}
