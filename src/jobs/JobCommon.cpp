#include "JobCommon.h"

#include "clock.h"

bool PollDue(uint32_t& next_poll) {
  const uint32_t now = qclock::GetTickCount();
  const uint32_t wait = next_poll - now;
  if (wait != 0 && wait <= kPollMs) {
    return false;
  }
  next_poll = now + kPollMs;
  return true;
}
