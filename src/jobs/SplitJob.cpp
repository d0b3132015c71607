#include "SplitJob.h"

#include <cstdlib>

#include "MachineStatus.h"
#include "regexpclass.h"

namespace {

const char* const kRemovalPattern = "00 Remove ([0-9][0-9]) cards from ([1-4])";

}  // namespace

SplitJob::SplitJob(JobShared& shared) : shared_(shared), trigger_(shared.tray_debounce) {}

JobShared& SplitJob::Shared() {
  static JobShared shared;
  return shared;
}

void SplitJob::Begin(int button_start, int tray_start) {
  // A start or continue pressed before the page was last hidden (the machine went away) is not
  // carried over: the operator presses again once the cards are in place.
  start_request_ = false;
  continue_request_ = false;
  trigger_.Enable(button_start != 0, tray_start != 0);
}

StartTrigger::Result SplitJob::PollTriggers(
    const SendCommand& send, const std::function<void(Request, StartTrigger::Source)>& on_request) {
  const bool idle = state_ == kIdle;
  return trigger_.Poll(send, [&](StartTrigger::Source source) {
    if (idle) {
      start_request_ = true;
      on_request(Request::kStart, source);
    } else {
      continue_request_ = true;
      on_request(Request::kContinue, source);
    }
  });
}

SplitJob::Request SplitJob::TakeRequest() {
  const Request request = start_request_      ? Request::kStart
                          : continue_request_ ? Request::kContinue
                                              : Request::kNone;
  start_request_ = false;
  continue_request_ = false;
  return request;
}

bool SplitJob::Acknowledged(const char* command, const SendCommand& send) {
  std::string reply;
  const int code = send(command, reply);
  state_ = machine_status::IsSplitAcknowledgement(code, reply.c_str()) ? kSplitting : kIdle;
  return state_ == kSplitting;
}

SplitJob::Sent SplitJob::Start(int split_count, const SendCommand& send) {
  const char* command = split_count == 0 ? "SPLIT 13" : split_count == 1 ? "SPLIT 26" : nullptr;
  if (command == nullptr) {
    return Sent::kIllegalCount;
  }
  return Acknowledged(command, send) ? Sent::kAccepted : Sent::kRefused;
}

bool SplitJob::Continue(const SendCommand& send) {
  return Acknowledged("SPLIT CONTINUE", send);
}

SplitJob::Poll SplitJob::PollSplitting(const SendCommand& send) {
  // Compiled once and kept for the life of the process.
  static RegexpClass removal(kRemovalPattern);
  Poll poll;
  if (!PollDue(shared_.next_poll)) {
    return poll;
  }
  poll.code = send("STAT", poll.reply);
  if (poll.code == machine_status::kOk) {
    if (removal.Match(poll.reply.c_str())) {
      poll.pocket = std::atoi(std::string(removal.SubStart(2), removal.SubEnd(2)).c_str());
      poll.kind = Poll::kRemove;
      state_ = kWaitingForRemoval;
    } else {
      poll.kind = Poll::kDone;
      state_ = kIdle;
    }
    return poll;
  }
  if (poll.code == machine_status::kBusy) {
    poll.kind = Poll::kBusy;
    return poll;
  }
  poll.kind = Poll::kFailed;
  state_ = kIdle;
  return poll;
}
