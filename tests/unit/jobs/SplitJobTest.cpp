#include "JobsFixture.h"
#include "SplitJob.h"

namespace {

using Poll = SplitJob::Poll;
using Request = SplitJob::Request;
using Sent = SplitJob::Sent;

class SplitJobTest : public JobsTest {
 protected:
  void SetUp() override { machine_.Always("SPLIT", 90, ""); }  // a bare status packet
  Poll PollLater() {
    clock_.Advance(kPollMs);
    return job_.PollSplitting(machine_.Send());
  }
  SplitJob job_{shared_};
};

TEST_F(SplitJobTest, RemovalStopsAndTheEnd) {
  struct Row {
    const char* name;
    int code;
    const char* reply;
    Poll::Kind kind;
    int pocket;
    SplitJob::State state;
  };
  const Row rows[] = {
      {"stop for pocket 2", 0, "00 Remove 26 cards from 2", Poll::kRemove, 2,
       SplitJob::kWaitingForRemoval},
      {"stop for pocket 4", 0, "00 Remove 13 cards from 4", Poll::kRemove, 4,
       SplitJob::kWaitingForRemoval},
      {"no 00 before Remove: done", 0, "Remove 13 cards from 2", Poll::kDone, 0, SplitJob::kIdle},
      {"pocket 5 is none: done", 0, "00 Remove 13 cards from 5", Poll::kDone, 0, SplitJob::kIdle},
      {"done", 0, "Split done", Poll::kDone, 0, SplitJob::kIdle},
      {"busy", 1, "busy", Poll::kBusy, 0, SplitJob::kSplitting},
      {"jam", 25, "jam at card 13", Poll::kFailed, 0, SplitJob::kIdle},
      // A failed exchange is not the machine's word: the job goes on in the machine.
      {"no machine", 91, "", Poll::kLinkLost, 0, SplitJob::kSplitting},
      {"exchange failed", 90, "Test return", Poll::kLinkLost, 0, SplitJob::kSplitting},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(job_.Start(0, machine_.Send()), Sent::kAccepted);
    machine_.Queue("STAT", row.code, row.reply);
    const Poll poll = PollLater();
    EXPECT_EQ(poll.kind, row.kind);
    EXPECT_EQ(poll.code, row.code);
    EXPECT_EQ(poll.reply, row.reply);
    EXPECT_EQ(poll.pocket, row.pocket);
    EXPECT_EQ(job_.state(), row.state);
  }
  // Polls come at most every 100 ms.
  machine_.sent.clear();
  for (int i = 0; i < 5; ++i) {
    clock_.Advance(20);
    job_.PollSplitting(machine_.Send());
  }
  EXPECT_EQ(machine_.sent, std::vector<std::string>{"STAT"});
}

TEST_F(SplitJobTest, AJobStillWorkingPastItsLimitIsGivenUp) {
  for (const uint32_t wait : {kSplitLimitMs - 2 * kPollMs, kSplitLimitMs}) {
    SCOPED_TRACE(wait);
    ASSERT_EQ(job_.Start(1, machine_.Send()), Sent::kAccepted);
    machine_.Always("STAT", 1, "busy");
    PollLater();
    clock_.Advance(wait - kPollMs);
    const bool past = wait >= kSplitLimitMs;
    EXPECT_EQ(PollLater().kind, past ? Poll::kTimedOut : Poll::kBusy);
    EXPECT_EQ(job_.state(), past ? SplitJob::kIdle : SplitJob::kSplitting);
  }
}

TEST_F(SplitJobTest, StartAndContinueCommands) {
  struct Row {
    const char* name;
    int split_count;
    int code;
    const char* reply;
    const char* command;  // nullptr: nothing sent
    Sent sent;
  };
  const Row rows[] = {
      {"13, acknowledged", 0, 90, "", "SPLIT 13", Sent::kAccepted},
      {"26, acknowledged", 1, 90, "", "SPLIT 26", Sent::kAccepted},
      {"answered 0", 0, 0, "OK", "SPLIT 13", Sent::kRefused},
      {"exchange failed", 1, 90, "Test return", "SPLIT 26", Sent::kRefused},
      {"no machine", 0, 91, "", "SPLIT 13", Sent::kRefused},
      {"no selection", -1, 90, "", nullptr, Sent::kIllegalCount},
      {"count 2", 2, 90, "", nullptr, Sent::kIllegalCount},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SplitJob job(shared_);
    machine_.sent.clear();
    if (row.command != nullptr) machine_.Queue(row.command, row.code, row.reply);
    EXPECT_EQ(job.Start(row.split_count, machine_.Send()), row.sent);
    EXPECT_EQ(machine_.sent, row.command == nullptr ? std::vector<std::string>{}
                                                    : std::vector<std::string>{row.command});
    EXPECT_EQ(job.state(), row.sent == Sent::kAccepted ? SplitJob::kSplitting : SplitJob::kIdle);

    // The same answer to "SPLIT CONTINUE" after a stop.
    ASSERT_EQ(job.Start(0, machine_.Send()), Sent::kAccepted);
    machine_.Queue("STAT", 0, "00 Remove 13 cards from 1");
    clock_.Advance(kPollMs);
    job.PollSplitting(machine_.Send());
    ASSERT_EQ(job.state(), SplitJob::kWaitingForRemoval);
    machine_.Queue("SPLIT CONTINUE", row.code, row.reply);
    const bool acknowledged = row.code == 90 && *row.reply == '\0';
    EXPECT_EQ(job.Continue(machine_.Send()), acknowledged);
    EXPECT_EQ(machine_.sent.back(), "SPLIT CONTINUE");
    EXPECT_EQ(job.state(), acknowledged ? SplitJob::kSplitting : SplitJob::kIdle);
  }
}

TEST_F(SplitJobTest, SignalsStartInIdleAndContinueWhileWaiting) {
  job_.Begin(1, 0);
  machine_.Always("BUTSTAT", 40, "YES");
  std::vector<Request> told;
  const auto tell = [&](Request request, StartTrigger::Source source) {
    EXPECT_EQ(source, StartTrigger::Source::kButton);
    told.push_back(request);
  };
  EXPECT_EQ(job_.PollTriggers(machine_.Send(), tell), StartTrigger::Result::kOk);
  EXPECT_EQ(job_.TakeRequest(), Request::kStart);
  ASSERT_EQ(job_.Start(0, machine_.Send()), Sent::kAccepted);
  machine_.Queue("STAT", 0, "00 Remove 13 cards from 3");
  PollLater();
  job_.PollTriggers(machine_.Send(), tell);
  EXPECT_EQ(told, (std::vector<Request>{Request::kStart, Request::kContinue}));

  // A start wins over a continue, and taking clears both.
  job_.RequestStart();
  EXPECT_EQ(job_.TakeRequest(), Request::kStart);
  EXPECT_EQ(job_.TakeRequest(), Request::kNone);
  // A show forgets the requests but keeps the job where it was.
  job_.RequestContinue();
  job_.Begin(0, 0);
  EXPECT_EQ(job_.TakeRequest(), Request::kNone);
  EXPECT_EQ(job_.state(), SplitJob::kWaitingForRemoval);
}

}  // namespace
