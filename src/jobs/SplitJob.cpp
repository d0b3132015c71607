#include "SplitJob.h"

#include "MachineStatus.h"
#include "clock.h"

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
  if (state_ == kSplitting) {
    taken_at_ = qclock::GetTickCount();
    link_lost_ = false;
  }
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
  Poll poll;
  if (!PollDue(shared_.next_poll)) {
    return poll;
  }
  poll.code = send("STAT", poll.reply);
  if (poll.code == machine_status::kOk) {
    poll.pocket = RemovalPocket(poll.reply.c_str());
    poll.kind = poll.pocket != 0 ? Poll::kRemove : Poll::kDone;
    state_ = poll.pocket != 0 ? kWaitingForRemoval : kIdle;
    link_lost_ = false;
    return poll;
  }
  const bool exchange_failed = ExchangeFailed(poll.code);
  if (poll.code == machine_status::kBusy || exchange_failed) {
    // A failed exchange is not the machine's word: it goes on with the cards it has.
    link_lost_ = link_lost_ || exchange_failed;
    poll.kind = exchange_failed ? Poll::kLinkLost : Poll::kBusy;
    if (qclock::GetTickCount() - taken_at_ >= kSplitLimitMs) {
      poll.kind = Poll::kTimedOut;
      state_ = kIdle;
    }
    return poll;
  }
  poll.kind = Poll::kFailed;
  state_ = kIdle;
  return poll;
}
