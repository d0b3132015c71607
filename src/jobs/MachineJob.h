// What the machine holds: nothing, a deck it is sorting, or a split job (working, or stopped
// until the operator empties a pocket).
//
// A deck in the machine must never be disturbed: a second SORT mixes two decks in the pockets,
// and a setting or a service command may turn the feeder roller under the deck. The main
// dialog's command call asks Allows() before every command line and hands every result to
// Observe(), whichever page sent it, so this is the one place that knows. A plain model: no Qt,
// no trace lines, time from the clock seam.
#pragma once

#include <cstdint>

#include "JobCommon.h"

class MachineJob {
 public:
  enum class Kind {
    kNone,          // any command may go
    kSorting,       // a SORT the machine took, not yet reported done or failed
    kSplitting,     // a split command the machine took, working
    kSplitStopped,  // the split job waits for a pocket to be emptied
  };

  // Whether `command` may be sent now. No job: any. Sorting or splitting: "STAT" only. A split
  // stopped for removal: the split job's own lines ("STAT", "BUTSTAT", "TRAYSTAT", "SPLIT ...").
  // A job past its limit (kSortLimitMs, kSplitLimitMs) holds nothing.
  bool Allows(const char* command) const;

  // After each exchange, with the command call's result (the machine's code, or 90 / 91 of the
  // call itself) and the reply text. A SORT answered 0, or whose exchange failed (90: it may have
  // been taken), holds the machine; so does an acknowledged split command (one not acknowledged
  // ends the split job: the split page gives it up). STAT answered 0 or a
  // failure code ends the job (0 with a removal request stops a split). A STAT that is busy or
  // whose exchange failed changes nothing: the machine may well be working on. Returns true when
  // the kind changed (a job that ran past its limit included).
  bool Observe(const char* command, int code, const char* reply);

  // The job as it stands now (kNone for one past its limit).
  Kind kind() const;

  // Milliseconds a job of `kind` may take (0 for kNone).
  static uint32_t LimitMs(Kind kind);

 private:
  void Take(Kind kind);

  Kind kind_ = Kind::kNone;
  uint32_t taken_at_ = 0;  // tick count when the machine took the job
};
