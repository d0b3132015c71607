#include "DealRun.h"
#include "JobsFixture.h"

namespace {

using Poll = DealRun::Poll;
using State = DealRun::State;

class DealRunTest : public JobsTest {
 protected:
  // Deals 1..8 of the file are ShiftedDeal(0..7).
  void Load(int deal_order, int start, int number, const char* copies, int sort_order = 0) {
    DealRun::Settings settings;
    settings.deal_order = deal_order;
    settings.sort_order = sort_order;
    run_.Begin(settings);
    DealSet deals;
    for (int k = 0; k < 8; ++k) deals.push_back(ShiftedDeal(k));
    run_.FileLoaded(deals, start, number);
    run_.SetCopies(copies);
  }
  // Starts the deal the viewer shows and has the machine take it.
  DealRun::Start SendCurrent() {
    const DealRun::Start start = run_.TakeStart(run_.Controls().show_deal - 1);
    EXPECT_TRUE(run_.Sort(start, machine_.Send()));
    return start;
  }
  Poll PollLater() {
    clock_.Advance(kPollMs);
    return run_.PollSorting(machine_.Send());
  }

  DealRun run_{shared_};
};

// Each send as "deal-number deal-label copy-label", e.g. "5 1/3 2/2".
TEST_F(DealRunTest, RunOrderForBothDealOrdersCopiesAndRanges) {
  struct Row {
    const char* name;
    int deal_order, start, number;
    const char* copies;
    const char* offset;
    std::vector<std::string> sends;
  };
  const Row rows[] = {
      {"D1,D1,D1 5..7 x2",
       0,
       5,
       3,
       "2",
       "Offset 5",
       {"5 1/3 1/2", "5 1/3 2/2", "6 2/3 1/2", "6 2/3 2/2", "7 3/3 1/2", "7 3/3 2/2"}},
      {"D1,D2,D3 5..7 x2",
       1,
       5,
       3,
       "2",
       "Offset 5",
       {"5 1/3 1/2", "6 2/3 1/2", "7 3/3 1/2", "5 1/3 2/2", "6 2/3 2/2", "7 3/3 2/2"}},
      {"D1,D1,D1 1..2 x3",
       0,
       1,
       2,
       "3",
       "",
       {"1 1/2 1/3", "1 1/2 2/3", "1 1/2 3/3", "2 2/2 1/3", "2 2/2 2/3", "2 2/2 3/3"}},
      {"D1,D2,D3 1..2 x3",
       1,
       1,
       2,
       "3",
       "",
       {"1 1/2 1/3", "2 2/2 1/3", "1 1/2 2/3", "2 2/2 2/3", "1 1/2 3/3", "2 2/2 3/3"}},
      {"D1,D1,D1 2..5 x1",
       0,
       2,
       4,
       "1",
       "Offset 2",
       {"2 1/4 1/1", "3 2/4 1/1", "4 3/4 1/1", "5 4/4 1/1"}},
      {"D1,D2,D3 8 x3", 1, 8, 1, "3", "Offset 8", {"8 1/1 1/3", "8 1/1 2/3", "8 1/1 3/3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Load(row.deal_order, row.start, row.number, row.copies);
    std::vector<std::string> sends;
    for (size_t k = 0; k < row.sends.size(); ++k) {
      const DealRun::View view = run_.Controls();
      EXPECT_EQ(view.info_line, "A total of " + std::to_string(row.sends.size()) + " deal(s)");
      EXPECT_EQ(view.offset_text, row.offset);
      EXPECT_TRUE(view.startable);
      EXPECT_EQ(view.at_first, k == 0);
      const DealRun::Start start = SendCurrent();
      EXPECT_EQ(start.deal_text, view.deal_text);
      EXPECT_EQ(start.copy_text, view.copy_text);
      EXPECT_EQ(machine_.sent.back(), "SORT " + PocketText(ShiftedDeal(view.show_deal - 1), 0));
      EXPECT_EQ(run_.state(), State::Sorting);
      sends.push_back(std::to_string(view.show_deal) + " " + view.deal_text.substr(6) + " " +
                      view.copy_text.substr(6));
      EXPECT_EQ(PollLater().kind, k + 1 < row.sends.size() ? Poll::kDealDone : Poll::kRunDone);
    }
    EXPECT_EQ(sends, row.sends);
    EXPECT_EQ(run_.DealCounter(), 1);
    EXPECT_EQ(run_.state(), State::Idle);
  }
}

TEST_F(DealRunTest, EachStatOutcome) {
  struct Row {
    const char* name;
    bool at_total;  // the send is the last of the run
    int code;
    const char* reply;
    Poll::Kind kind;
    int counter;
    State state;
    const char* shown;
  };
  const Row rows[] = {
      {"0 below the total", false, 0, "OK", Poll::kDealDone, 2, State::Idle, ""},
      {"0 at the total", true, 0, "OK", Poll::kRunDone, 1, State::Idle, ""},
      {"1 busy", false, 1, "sorting", Poll::kBusy, 1, State::Sorting, "sorting"},
      {"card read twice", true, 14, "HD already read in 3", Poll::kFailed, 2, State::Idle,
       "Queen of Hearts"},
      {"jam", false, 25, "jam at card 13", Poll::kFailed, 1, State::Idle, "jam at card 13"},
      // A failed exchange is not the machine's word: the deck may be in it still.
      {"no machine", false, 91, "", Poll::kLinkLost, 1, State::Sorting, ""},
      {"exchange failed", false, 90, "Test return", Poll::kLinkLost, 1, State::Sorting,
       "Test return"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Load(0, 5, 1, "2");
    if (row.at_total) {
      SendCurrent();
      PollLater();
    }
    SendCurrent();
    machine_.Queue("STAT", row.code, row.reply);
    const Poll poll = PollLater();
    EXPECT_EQ(poll.kind, row.kind);
    EXPECT_EQ(poll.code, row.code);
    EXPECT_EQ(poll.reply, row.reply);
    if (row.code != 0) {
      EXPECT_EQ(poll.shown_reply, row.shown);
    }
    EXPECT_EQ(run_.DealCounter(), row.counter);
    EXPECT_EQ(run_.state(), row.state);
  }
}

// A deck whose link failed while it was in the machine: the machine's "done" is counted only on
// the operator's word; a deck still busy past the limit fails; a SORT whose reply was lost is
// taken to be in the machine.
TEST_F(DealRunTest, DeckWhoseLinkFailed) {
  struct Row {
    const char* name;
    int sort_code;                // the reply to SORT
    std::vector<int> stat_codes;  // the replies to STAT, one poll each
    uint32_t wait_ms;             // before the last poll
    Poll::Kind last;              // what the last poll found
    int answer;                   // -1: not asked; else CountDeck(answer)
    Poll::Kind counted;
    int counter;
    State state;
  };
  const Row rows[] = {
      {"glitch, done, counted", 0, {90, 0}, 0, Poll::kAskCount, 1, Poll::kDealDone, 2, State::Idle},
      {"glitch, done, dealt again",
       0,
       {91, 1, 0},
       0,
       Poll::kAskCount,
       0,
       Poll::kFailed,
       1,
       State::Idle},
      {"glitch, then a jam", 0, {90, 25}, 0, Poll::kFailed, -1, Poll::kNotDue, 1, State::Idle},
      {"SORT reply lost, done", 90, {0}, 0, Poll::kAskCount, 1, Poll::kDealDone, 2, State::Idle},
      {"no machine for SORT", 91, {}, 0, Poll::kNotDue, -1, Poll::kNotDue, 1, State::Idle},
      {"busy past the limit",
       0,
       {1, 1},
       kSortLimitMs,
       Poll::kTimedOut,
       -1,
       Poll::kNotDue,
       1,
       State::Idle},
      {"busy just within it",
       0,
       {1, 1},
       kSortLimitMs - 2 * kPollMs - 1,
       Poll::kBusy,
       -1,
       Poll::kNotDue,
       1,
       State::Sorting},
      {"link lost past the limit",
       0,
       {91, 91},
       kSortLimitMs,
       Poll::kTimedOut,
       -1,
       Poll::kNotDue,
       1,
       State::Idle},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Load(0, 5, 2, "1");
    machine_.Queue("SORT", row.sort_code);
    const DealRun::Start start = run_.TakeStart(run_.Controls().show_deal - 1);
    EXPECT_EQ(run_.Sort(start, machine_.Send()), row.sort_code != 91);
    Poll poll;
    for (size_t i = 0; i < row.stat_codes.size(); ++i) {
      if (i + 1 == row.stat_codes.size()) clock_.Advance(row.wait_ms);
      machine_.Queue("STAT", row.stat_codes[i], "");
      poll = PollLater();
    }
    EXPECT_EQ(poll.kind, row.last);
    if (row.answer >= 0) {
      EXPECT_EQ(run_.CountDeck(row.answer != 0), row.counted);
    }
    EXPECT_EQ(run_.DealCounter(), row.counter);
    EXPECT_EQ(run_.state(), row.state);
  }
  // The next deck after a counted one is trusted again.
  Load(0, 5, 2, "1");
  SendCurrent();
  machine_.Queue("STAT", 0);
  EXPECT_EQ(PollLater().kind, Poll::kDealDone);
}

TEST_F(DealRunTest, StatusPollAtMostEvery100ms) {
  for (const uint32_t start : {10000u, 0xFFFFFF00u}) {  // the second wraps round
    SCOPED_TRACE(start);
    clock_.Set(start);
    shared_ = JobShared{};
    Load(0, 5, 3, "2");
    SendCurrent();
    machine_.Always("STAT", 1, "busy");
    machine_.sent.clear();
    int not_due = 0;
    for (int i = 0; i < 50; ++i) {  // one second of 20 ms ticks
      not_due += run_.PollSorting(machine_.Send()).kind == Poll::kNotDue;
      clock_.Advance(20);
    }
    EXPECT_EQ(machine_.sent, std::vector<std::string>(10, "STAT"));
    EXPECT_EQ(not_due, 40);
  }
}

TEST_F(DealRunTest, RefusedStartsSendNothing) {
  struct Row {
    const char* name;
    int sort_order, start, number;
    const char* copies;
    const char* refusal;
  };
  const Row rows[] = {
      {"unknown sort order", 7, 5, 3, "2",
       "Sort order 7 is unknown: no deal is sent.\nChoose the sort order on the Parameters page."},
      {"no copies", 0, 5, 3, "",
       "Set the first deal, the number of deals and the number of copies before dealing."},
      {"range not stored", 0, -1, 3, "2",
       "Set the first deal, the number of deals and the number of copies before dealing."},
      {"range past the file", 0, 7, 3, "2",
       "Deals 7 to 9 are not all in the deal file (8 deal(s)): no deal is sent.\nChoose the "
       "range again on the Card distribution page."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Load(0, row.start, row.number, row.copies, row.sort_order);
    run_.RequestStart();
    const DealRun::Start start = run_.TakeStart(4);
    EXPECT_EQ(start.refusal, row.refusal);
    EXPECT_FALSE(run_.StartRequested());
  }
  EXPECT_TRUE(machine_.sent.empty());
}

TEST_F(DealRunTest, CorruptDealsAndRefusedSort) {
  Deal twice = ShiftedDeal(0);
  twice.cards[51] = twice.cards[0];  // the two of clubs missing, the ace of spades twice
  Deal no_card = ShiftedDeal(0);
  no_card.cards[20] = 0;
  struct Row {
    const char* name;
    Deal deal;
    bool bad_card;
  };
  for (const Row& row : {Row{"card twice", twice, false}, Row{"no card", no_card, true}}) {
    SCOPED_TRACE(row.name);
    Load(1, 1, 2, "1");
    DealSet deals;
    deals.push_back(ShiftedDeal(0));
    deals.push_back(row.deal);
    run_.FileLoaded(deals, 1, 2);
    run_.Step(true);
    const DealRun::Start start = run_.TakeStart(1);
    EXPECT_TRUE(start.corrupt);
    EXPECT_EQ(start.bad_card, row.bad_card);
    EXPECT_EQ(run_.DealCounter(), 1);  // back to the first deal
    EXPECT_EQ(run_.state(), State::Idle);
  }
  EXPECT_TRUE(run_.TakeStart(-1).deal_missing);
  EXPECT_TRUE(run_.TakeStart(2).deal_missing);

  // A refused "SORT" keeps the counter: the next start sends the same deal again.
  Load(1, 5, 3, "2");
  SendCurrent();
  PollLater();
  machine_.Queue("SORT", 20, "bad parameter");
  const DealRun::Start refused = run_.TakeStart(5);
  EXPECT_FALSE(run_.Sort(refused, machine_.Send()));
  EXPECT_EQ(run_.state(), State::Idle);
  EXPECT_EQ(run_.DealCounter(), 2);
  EXPECT_EQ(SendCurrent().pockets, refused.pockets);
}

TEST_F(DealRunTest, ControlsForCopiesRangeAndFile) {
  enum File { kLoaded, kMissing, kUnreadable };
  struct Row {
    const char* name;
    File file;
    const char* copies;
    int start, number;
    const char* info;
    bool startable;
    const char* offset;
    int show_deal;
  };
  const Row rows[] = {
      {"from deal 1", kLoaded, "3", 1, 8, "A total of 24 deal(s)", true, "", 1},
      {"copies empty", kLoaded, "", 5, 3, "--", false, "--", 1},
      {"copies 0", kLoaded, "0", 5, 3, "--", false, "--", 1},
      {"copies too many", kLoaded, "4294967295", 5, 3, "--", false, "--", 1},
      {"range not stored", kLoaded, "2", -1, 3, "--", false, "--", 1},
      {"range past the file", kLoaded, "2", 7, 3, "Deals 7 to 9: the file has 8 deal(s)", false,
       "Offset 7", 7},
      {"range starts past the file", kLoaded, "1", 9, 1, "Deals 9 to 9: the file has 8 deal(s)",
       false, "Offset 9", 0},
      {"file gone", kMissing, "2", 5, 3, "No deals loaded", false, "Offset 5", 0},
      {"file unreadable", kUnreadable, "2", 5, 3, "Format error in file", false, "Offset 5", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Load(0, row.start, row.number, row.copies);
    if (row.file == kMissing) run_.FileMissing();
    if (row.file == kUnreadable) run_.FileUnreadable();
    const DealRun::View view = run_.Controls();
    EXPECT_EQ(view.info_line, row.info);
    EXPECT_EQ(view.startable, row.startable);
    EXPECT_EQ(view.offset_text, row.offset);
    EXPECT_EQ(view.show_deal, row.show_deal);
    EXPECT_EQ(view.counted, std::string(row.offset) != "--");
  }
}

TEST_F(DealRunTest, AdjustmentsAskOnceAndStayInTheRun) {
  const std::string forward =
      "Beware when adjusting this. This will change starting point. Really want to do it ?";
  const std::string back = "Beware when adjusting this. Really want to do it";
  Load(0, 5, 3, "2");
  EXPECT_EQ(run_.AdjustQuestion(true), forward);
  EXPECT_EQ(run_.AdjustQuestion(false), back);
  run_.ConfirmAdjustment();
  EXPECT_EQ(run_.AdjustQuestion(true), nullptr);
  run_.Step(false);
  EXPECT_EQ(run_.DealCounter(), 1);
  for (int i = 0; i < 8; ++i) run_.Step(true);
  EXPECT_EQ(run_.DealCounter(), 6);  // the total
  run_.Step(false);
  EXPECT_EQ(run_.DealCounter(), 5);

  SendCurrent();  // a start asks again
  EXPECT_EQ(run_.AdjustQuestion(false), back);
  run_.ConfirmAdjustment();
  run_.Begin(run_.settings());  // and so does a show, which also starts the run afresh
  EXPECT_EQ(run_.AdjustQuestion(true), forward);
  EXPECT_EQ(run_.DealCounter(), 1);
  EXPECT_EQ(run_.state(), State::Idle);

  run_.Step(true);
  run_.Reset();
  EXPECT_EQ(run_.DealCounter(), 1);
  run_.Step(true);
  run_.SetCopies("3");
  EXPECT_EQ(run_.DealCounter(), 1);
  EXPECT_EQ(run_.NumberOfCopies(), 3);
}

// A run left part-way resumes at its first send not completed, only for the same file, range,
// copies and orders; a sort that failed or was cut off counts as not completed.
TEST_F(DealRunTest, ResumesOnlyTheSameRunAtItsFirstSendNotCompleted) {
  struct Row {
    const char* name;
    const char* file;
    int deal_order, start, number;
    const char* copies;
    int sort_order;
    bool fail_last;  // the third sort is refused by the machine
    int resumed;
  } const rows[] = {
      {"same run", "a.bri", 0, 1, 4, "2", 0, false, 3},
      {"failed sort", "a.bri", 0, 1, 4, "2", 0, true, 3},
      {"other file", "b.bri", 0, 1, 4, "2", 0, false, 0},
      {"other sort order", "a.bri", 0, 1, 4, "2", 1, false, 0},
      {"other deal order", "a.bri", 1, 1, 4, "2", 0, false, 0},
      {"other range", "a.bri", 0, 2, 3, "2", 0, false, 0},
      {"other copies", "a.bri", 0, 1, 4, "1", 0, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Load(0, 1, 4, "2");
    run_.Reset();  // whatever the row before left
    Load(0, 1, 4, "2");
    EXPECT_EQ(run_.ResumeSameRun("a.bri"), 0);
    for (int k = 0; k < 2; ++k) {
      SendCurrent();
      EXPECT_EQ(PollLater().kind, Poll::kDealDone);
    }
    if (row.fail_last) {
      machine_.Queue("SORT", 20, "bad parameter");
      EXPECT_FALSE(run_.Sort(run_.TakeStart(run_.Controls().show_deal - 1), machine_.Send()));
    } else {
      SendCurrent();  // cut off: the page is left while the machine sorts
    }
    Load(row.deal_order, row.start, row.number, row.copies, row.sort_order);
    EXPECT_EQ(run_.ResumeSameRun(row.file), row.resumed);
    EXPECT_EQ(run_.DealCounter(), row.resumed == 0 ? 1 : row.resumed);
    EXPECT_EQ(run_.state(), State::Idle);
  }
  // A reset is not undone by the next show, and it is refused while sorting.
  Load(0, 1, 4, "2");
  run_.ResumeSameRun("a.bri");
  SendCurrent();
  EXPECT_FALSE(run_.Reset());
  EXPECT_FALSE(run_.CanAdjust());
  EXPECT_EQ(PollLater().kind, Poll::kDealDone);
  EXPECT_TRUE(run_.Reset());
  Load(0, 1, 4, "2");
  EXPECT_EQ(run_.ResumeSameRun("a.bri"), 0);
}

}  // namespace
