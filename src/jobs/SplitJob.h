// The machine's split job: it separates mixed cards into decks, stops whenever a pocket must be
// emptied, and goes on when the operator says so.
//
// A plain model like DealRun: it sends through the command call it is handed and says what
// happened; the page shows it, asks the operator and writes the trace lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "JobCommon.h"
#include "StartTrigger.h"

class SplitJob {
 public:
  enum State { kIdle = 0, kWaitingForRemoval = 1, kSplitting = 2 };
  enum class Request { kNone, kStart, kContinue };
  enum class Sent {
    kIllegalCount,  // the split count is neither 0 nor 1: nothing was sent
    kRefused,       // the machine did not acknowledge the command: Idle
    kAccepted,      // Splitting
  };

  // What a status poll found.
  struct Poll {
    // kLinkLost: the exchange failed (90, 91); the job goes on in the machine as far as anyone
    // knows. kTimedOut: still not done kSplitLimitMs after the machine took it;
    // the job is given up (Idle) as if it had failed.
    enum Kind { kNotDue, kRemove, kDone, kBusy, kFailed, kLinkLost, kTimedOut } kind = kNotDue;
    int code = 0;
    std::string reply;  // the reply text as received
    int pocket = 0;     // kRemove: the pocket (1..4) to empty
  };

  // `shared` is the page kind's process-wide set (Shared() by default); it must outlive the job.
  explicit SplitJob(JobShared& shared = Shared());
  static JobShared& Shared();

  // A show: pending requests are forgotten; the triggers as the settings say. The job's state
  // is kept: a job in progress carries on.
  void Begin(int button_start, int tray_start);

  void RequestStart() { start_request_ = true; }
  void RequestContinue() { continue_request_ = true; }
  // Polls the machine's triggers (in Idle or while waiting for removal). A signal becomes a
  // start in Idle and a continue while waiting; `on_request` is told which, and from where, at
  // once.
  StartTrigger::Result PollTriggers(
      const SendCommand& send,
      const std::function<void(Request, StartTrigger::Source)>& on_request);
  // Takes the pending request and clears both: a start wins over a continue.
  Request TakeRequest();

  // Sends "SPLIT 13" (split count 0) or "SPLIT 26" (1).
  Sent Start(int split_count, const SendCommand& send);
  // Sends "SPLIT CONTINUE": true when acknowledged (Splitting), else false (Idle).
  bool Continue(const SendCommand& send);

  // In Splitting: "STAT" when due (at most every 100 ms). 0 with "00 Remove NN cards from P"
  // stops for pocket P; 0 otherwise ends the job; 1 keeps splitting; anything else fails it.
  Poll PollSplitting(const SendCommand& send);

  State state() const { return state_; }
  // A status poll of this job failed as an exchange since the machine took it.
  bool LinkLost() const { return link_lost_; }

 private:
  bool Acknowledged(const char* command, const SendCommand& send);

  JobShared& shared_;
  StartTrigger trigger_;
  State state_ = kIdle;
  bool start_request_ = false;
  bool continue_request_ = false;
  uint32_t taken_at_ = 0;  // tick count when the machine took the last split command
  bool link_lost_ = false;
};
