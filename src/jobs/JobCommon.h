// What the job models share: the command call they are handed, the values one kind of job page
// shares across the process, the guard against re-entered ticks, and the pace of the status poll.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Sends one command line to the machine and returns the reply's status code (or the command
// call's own 90 / 91); `reply` receives the reply text after the code. It blocks until the reply
// or the call's time-out. The models never keep it beyond the call they were given it in.
using SendCommand = std::function<int(const char* command, std::string& reply)>;

// One set per kind of job page, shared by every page of that kind in the process: a message box
// opened inside a tick keeps the timer firing, and those ticks must find the set busy.
struct JobShared {
  int nesting_depth = 0;   // ticks in progress
  uint32_t next_poll = 0;  // tick count before which the next status poll is not sent
  int tray_debounce = 0;   // 0..5, see StartTrigger
};

// Counts one tick in for its scope. Entered() is false for a tick that began while another was
// still running (inside its message box): such a tick must do nothing.
class TickGuard {
 public:
  explicit TickGuard(int& depth) : depth_(depth) { ++depth_; }
  ~TickGuard() { --depth_; }
  TickGuard(const TickGuard&) = delete;
  TickGuard& operator=(const TickGuard&) = delete;
  bool Entered() const { return depth_ == 1; }

 private:
  int& depth_;
};

// The status poll goes out at most once per this many milliseconds, however often ticks come.
inline constexpr uint32_t kPollMs = 100;

// True when a poll is due at the clock's tick count, and then moves `next_poll` one interval on;
// false (nothing changed) while `next_poll` lies at most one interval ahead. Measured so that the
// 32-bit tick count wrapping round cannot hold the poll back for weeks.
bool PollDue(uint32_t& next_poll);

// A job the machine still reports working this long after it took it is given up: the page that
// polls it fails it as any failure the machine reports, and it no longer holds the machine (see
// MachineJob). A deck takes seconds; these leave room for a glitch of the cable besides.
inline constexpr uint32_t kSortLimitMs = 60'000;
inline constexpr uint32_t kSplitLimitMs = 180'000;

// The command call's own failures (90: the exchange failed, 91: no machine): no word of the
// machine's about its job, which may well go on.
bool ExchangeFailed(int code);

// The pocket (1..4) a split's STAT reply "00 Remove NN cards from P" asks to be emptied; 0 for
// any other reply.
int RemovalPocket(const char* reply);
