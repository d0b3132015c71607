// Machine faults struck into whole runs: 16 deals in 2 copies, one fault per run at a chosen
// point. The operator carries on as at the machine (press Next again after a failure, go back
// to the deal menu and on to the board they were at when the machine was dropped), and in the
// end every board of the run lies dealt once, in order, with each hand in its pocket.
#include <QLabel>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "DealFiles.h"
#include "FooButton.h"
#include "MachineRig.h"
#include "Page_DealMenu.h"
#include "Page_Split.h"
#include "Settings.h"

namespace {

constexpr int kDeals = 16;
constexpr int kCopies = 2;
constexpr int kBoards = kDeals * kCopies;

// Sort order 0 ("NESW" names the hands of pockets 4, 3, 2, 1).
constexpr int kPocketHand[4] = {kWest, kSouth, kEast, kNorth};

enum class Kind {
  kLink,      // a link fault of the firmware on the reply to the struck command
  kLate,      // the reply to the struck command comes `amount` ms late
  kJam,       // the deal being sorted jams at card `amount`
  kPull,      // the cable is pulled as the command goes out, back `amount` ms later
  kLogFlood,  // `amount` unasked LOG packets on the wire ahead of the reply
  kStrays,    // from here on a LOG and a USERSTATUS packet inside every reply
};

struct Injection {
  const char* where;    // the point of the run, for the table
  int board;            // 0-based board of the run during which it strikes
  const char* command;  // the command it strikes; nullptr: as the operator presses Next
  int nth;              // the nth such command of that board
  Kind kind;
  qsim::LinkFault link = qsim::LinkFault::kLateReply;
  uint32_t amount = 0;
};

std::string FaultName(const Injection& at) {
  switch (at.kind) {
    case Kind::kLink:
      return qsim::LinkFaultName(at.link);
    case Kind::kLate:
      return "late " + std::to_string(at.amount) + " ms";
    case Kind::kJam:
      return "jam at card " + std::to_string(at.amount);
    case Kind::kPull:
      return "cable out " + std::to_string(at.amount) + " ms";
    case Kind::kLogFlood:
      return std::to_string(at.amount) + " LOG packets";
    case Kind::kStrays:
      return "LOG+USERSTATUS in every reply";
  }
  return "?";
}

using qsim::LinkFault;
const Injection kInjections[] = {
    {"before SORT", 0, nullptr, 1, Kind::kPull, {}, 1500},
    {"before SORT", 5, nullptr, 1, Kind::kLogFlood, {}, 300},
    {"before SORT", 9, "SORT", 1, Kind::kPull, {}, 2500},
    {"SORT reply", 1, "SORT", 1, Kind::kLink, LinkFault::kUnplugBeforeReply},
    {"SORT reply", 2, "SORT", 1, Kind::kLink, LinkFault::kUnplugMidReply},
    {"SORT reply", 3, "SORT", 1, Kind::kLate, {}, 1500},
    {"SORT reply", 4, "SORT", 1, Kind::kLink, LinkFault::kWrongTransmission},
    {"SORT reply", 6, "SORT", 1, Kind::kLink, LinkFault::kSequenceGap},
    {"SORT reply", 7, "SORT", 1, Kind::kLink, LinkFault::kLengthMismatch},
    {"SORT reply", 8, "SORT", 1, Kind::kLink, LinkFault::kUnexpectedType},
    {"SORT reply", 10, "SORT", 1, Kind::kLogFlood, {}, 300},
    {"SORT reply", 11, "SORT", 1, Kind::kLate, {}, 5000},
    {"STAT polling", 12, "STAT", 2, Kind::kLink, LinkFault::kUnplugBeforeReply},
    {"STAT polling", 13, "STAT", 2, Kind::kLink, LinkFault::kUnplugMidReply},
    {"STAT polling", 14, "STAT", 2, Kind::kLate, {}, 1500},
    {"STAT polling", 15, "STAT", 2, Kind::kLink, LinkFault::kWrongTransmission},
    {"STAT polling", 16, "STAT", 2, Kind::kLink, LinkFault::kSequenceGap},
    {"STAT polling", 17, "STAT", 2, Kind::kLink, LinkFault::kLengthMismatch},
    {"STAT polling", 18, "STAT", 2, Kind::kLink, LinkFault::kUnexpectedType},
    {"STAT polling", 19, "SORT", 1, Kind::kJam, {}, 20},
    {"STAT polling", 20, "STAT", 1, Kind::kLogFlood, {}, 300},
    {"STAT polling", 21, "STAT", 2, Kind::kPull, {}, 3000},
    {"STAT polling", 22, "STAT", 1, Kind::kStrays},
    {"between deals", 23, "BUTSTAT", 3, Kind::kLink, LinkFault::kUnplugBeforeReply},
    {"between deals", 24, "BUTSTAT", 3, Kind::kLate, {}, 1500},
    {"between deals", 25, "BUTSTAT", 3, Kind::kLink, LinkFault::kWrongTransmission},
    {"between deals", 26, "BUTSTAT", 3, Kind::kLink, LinkFault::kUnexpectedType},
    {"between deals", 27, "BUTSTAT", 3, Kind::kPull, {}, 1000},
    {"last STAT", 31, "STAT", 2, Kind::kLink, LinkFault::kUnplugBeforeReply},
};

struct Board {
  int deal = -1;  // index in the deal set; -1 when the pockets hold no whole deal of it
  int copy = 0;
  bool operator==(const Board&) const = default;
};

std::vector<int> Sorted(std::vector<int> cards) {
  std::sort(cards.begin(), cards.end());
  return cards;
}

std::vector<std::string>& Table() {
  static std::vector<std::string> rows;
  return rows;
}

class FaultRig : public MachineRig {
 protected:
  static void TearDownTestSuite() {
    if (Table().empty()) return;
    std::printf("\n%-14s %5s  %-36s | %s\n", "point", "board", "fault", "outcome");
    for (const std::string& row : Table()) std::printf("%s\n", row.c_str());
    Table().clear();
  }

  // One 20 ms step of the program: the main dialog's machine poll and the shown page's timer;
  // the cable goes back in when its time has come.
  void Step(GenericChildDialog* page) {
    clock_.Advance(kTickMs);
    ReplugWhenDue();
    dialog_->OnKickIdle();
    const bool link = dialog_->MachineLink() != nullptr;
    if (had_link_ && !link) ++dropped_;
    had_link_ = link;
    // The operator sees the machine go: the pages that need it cannot be opened.
    if (!link) {
      EXPECT_FALSE(dialog_->MenuButton(3)->isEnabled());
    }
    if (page->isVisible()) {
      if (auto* deal_menu = qobject_cast<Page_DealMenu*>(page)) deal_menu->OnTimer();
      if (auto* split = qobject_cast<Page_Split*>(page)) split->OnTimer();
    }
  }

  // The message boxes shown since `from`, but for the page's own question when the operator
  // steps the run on.
  void Told(size_t from, std::vector<std::string>& said) {
    for (size_t i = from; i < boxes_.requests.size(); ++i) {
      const std::string text = boxes_.requests[i].text;
      if (text.rfind("Beware", 0) != 0) said.push_back("\"" + text + "\"");
    }
  }

  void Fire(const Injection& at) {
    fired_ = true;
    switch (at.kind) {
      case Kind::kLink:
        sim_->link.pending.push_back(at.link);
        break;
      case Kind::kLate:
        sim_->link.late_ms = at.amount;
        sim_->link.pending.push_back(LinkFault::kLateReply);
        break;
      case Kind::kJam:
        sim_->machine.JamAfter(static_cast<int>(at.amount));
        break;
      case Kind::kPull:
        PullFor(at.amount);
        break;
      case Kind::kLogFlood:
        FloodLog(static_cast<int>(at.amount));
        break;
      case Kind::kStrays:
        sim_->link.log_every = 1;
        sim_->link.userstatus_every = 1;
        break;
    }
  }

  int dropped_ = 0;
  bool had_link_ = true;
  bool fired_ = false;
};

// A run of 16 deals in 2 copies on the deal menu, ready to start.
class DealRun : public FaultRig {
 protected:
  void SetUp() override {
    const std::string path = "faults.bri";
    ASSERT_TRUE(WriteBriFile(path, MakeDeals(kDeals)));
    WriteSettingString("CardDistribution", "Filename", path.c_str());
    WriteSettingInt("CardDistribution", "StartDeal", 1);
    WriteSettingInt("CardDistribution", "NumberOfDeal", kDeals);
    WriteSettingString("DealMenu", "LastFile", path.c_str());
    WriteSettingString("DealMenu", "NumberOfCopies", std::to_string(kCopies).c_str());
    WriteSettingInt("Parameters", "DealOrder", 1);
    WriteSettingInt("Parameters", "SortOrder", 0);
    WriteSettingInt("Parameters", "buttonstart", 1);
    WriteSettingInt("Parameters", "traystart", 0);
    WriteSettingInt("Parameters", "justdealtvisible", 1);
    Connect();
    page_ = static_cast<Page_DealMenu*>(dialog_->Page(3));
    ReturnToRun(1);
    returns_ = 0;
  }

  // After the machine was dropped the operator waits for it, opens the deal menu again and
  // steps on to the board they were at (the page asks once whether they mean it).
  void ReturnToRun(int counter) {
    for (int i = 0; i < 1000 && dialog_->MachineLink() == nullptr; ++i) Step(page_);
    ASSERT_NE(dialog_->MachineLink(), nullptr) << "the machine was never found again";
    if (!page_->isHidden()) {
      // Still on the page: it must stand at the board the operator is at.
      EXPECT_EQ(page_->DealCounter(), counter) << "the run moved without a board dealt";
      return;
    }
    dialog_->ShowPage(3);
    ++returns_;
    ASSERT_TRUE(page_->TimerRunning());
    while (page_->DealCounter() < counter) {
      const int before = page_->DealCounter();
      page_->OnNextDeal();
      ASSERT_GT(page_->DealCounter(), before);
    }
  }

  int DealInPockets() const {
    const DealSet& deals = page_->Deals();
    for (size_t i = 0; i < deals.size(); ++i) {
      bool all = true;
      for (int pocket = 1; pocket <= 4 && all; ++pocket) {
        const uint8_t* hand = deals[i].HandCards(kPocketHand[pocket - 1]);
        all = Sorted(sim_->machine.Pocket(pocket)) ==
              Sorted(std::vector<int>(hand, hand + kCardsInHand));
      }
      if (all) return static_cast<int>(i);
    }
    return -1;
  }

  Page_DealMenu* page_ = nullptr;
  int returns_ = 0;
};

class FaultsInRun : public DealRun, public ::testing::WithParamInterface<Injection> {};

// The operator presses Start as the machine goes away. When it is back and the deal menu is
// opened again, nothing is dealt before the operator presses again: the cards may no longer be
// in the feeder.
TEST_F(DealRun, AStartPressedAsTheMachineWentIsForgotten) {
  PullFor(1000);
  page_->OnStartNext();
  for (int i = 0; i < 20 && !page_->isHidden(); ++i) Step(page_);
  ASSERT_TRUE(page_->isHidden()) << "the machine was not dropped";
  ReturnToRun(1);
  for (int i = 0; i < 20; ++i) Step(page_);
  auto sorts = [this] {
    const std::vector<std::string> commands = CommandsSent();
    return std::count_if(commands.begin(), commands.end(),
                         [](const std::string& c) { return c.rfind("SORT", 0) == 0; });
  };
  EXPECT_EQ(sorts(), 0);
  EXPECT_EQ(page_->State(), Page_DealMenu::RunState::Idle);
  page_->OnStartNext();
  Step(page_);
  EXPECT_EQ(sorts(), 1);
  EXPECT_EQ(page_->State(), Page_DealMenu::RunState::Sorting);
}

TEST_P(FaultsInRun, EveryBoardDealtOnceIntoItsPockets) {
  const Injection at = GetParam();
  int struck_count = 0;
  size_t board = 0;
  bool pressed = false;
  int unasked_sorts = 0;
  before_command_ = [&](const std::string& command) {
    if (command.rfind("SORT", 0) == 0) {
      // Only the operator's press sends a deal.
      unasked_sorts += !pressed;
      pressed = false;
    }
    if (fired_ || at.command == nullptr || static_cast<int>(board) != at.board) return;
    if (command.rfind(at.command, 0) == 0 && ++struck_count == at.nth) Fire(at);
  };

  std::vector<Board> boards;
  std::vector<std::string> said;
  int failed_attempts = 0;
  int silent_failures = 0;
  size_t told_from = boxes_.requests.size();
  for (int attempt = 0; boards.size() < kBoards && attempt < kBoards + 20; ++attempt) {
    board = boards.size();
    ReturnToRun(static_cast<int>(board) + 1);
    if (HasFatalFailure()) return;
    // The operator takes the last board out and feeds the next deck: a few idle polls.
    for (int i = 0; i < 10; ++i) Step(page_);
    if (page_->isHidden()) continue;
    if (!fired_ && at.command == nullptr && static_cast<int>(board) == at.board) Fire(at);
    const size_t boxes_before = boxes_.requests.size();
    const int dropped_before = dropped_;
    const QString status_before = dialog_->StatusPane()->text();
    pressed = true;
    page_->OnStartNext();
    bool sorted = false;
    for (int i = 0; i < 3000; ++i) {
      Step(page_);
      if (page_->State() == Page_DealMenu::RunState::Sorting) sorted = true;
      if (boxes_.requests.size() > boxes_before || page_->isHidden()) break;
      if (sorted && page_->State() == Page_DealMenu::RunState::Idle) break;
    }
    const bool failure_box = boxes_.requests.size() > boxes_before &&
                             boxes_.requests[boxes_before].text != "Done dealing deals";
    if (sorted && !failure_box && !page_->isHidden() &&
        page_->State() == Page_DealMenu::RunState::Idle) {
      Board done;
      std::sscanf(page_->CopyText()->text().toLatin1().constData(), "Copy #%d", &done.copy);
      done.deal = DealInPockets();
      boards.push_back(done);
    } else {
      ++failed_attempts;
      if (dialog_->StatusPane()->text() != status_before) {
        said.push_back("status \"" + dialog_->StatusPane()->text().toStdString() + "\"");
      }
      // A failure the operator is not told of would leave them waiting for nothing.
      if (!failure_box && dropped_ == dropped_before && !page_->isHidden()) ++silent_failures;
    }
  }
  Told(told_from, said);
  if (std::getenv("QUADRELLE_FAULTS_LOG") != nullptr) {
    for (const std::string& line : sim_log_) std::printf("%s\n", line.c_str());
  }

  std::vector<Board> expected;
  for (int k = 0; k < kBoards; ++k) expected.push_back({k % kDeals, 1 + k / kDeals});
  EXPECT_TRUE(fired_) << "the fault never struck";
  EXPECT_EQ(boards, expected);
  EXPECT_EQ(silent_failures, 0);
  EXPECT_EQ(unasked_sorts, 0) << "a deal was sent without the operator's press";
  ASSERT_FALSE(boxes_.requests.empty());
  EXPECT_EQ(boxes_.requests.back().text, "Done dealing deals");
  EXPECT_EQ(page_->DealCounter(), 1);

  std::string outcome = failed_attempts == 0 ? "no start failed"
                                             : std::to_string(failed_attempts) + " start(s) failed";
  if (dropped_ > 0) {
    outcome += ", dropped " + std::to_string(dropped_) + "x and found, " +
               std::to_string(returns_) + " return(s) to page";
  }
  std::string told;
  for (const std::string& text : said) {
    if (text != "\"Done dealing deals\"" && told.find(text) == std::string::npos) {
      told += (told.empty() ? "" : ", ") + text;
    }
  }
  if (!told.empty()) outcome += "; told " + told;
  outcome += boards == expected ? "; 32/32 boards right" : "; BOARDS WRONG";
  char row[512];
  std::snprintf(row, sizeof row, "%-14s %5d  %-36s | %s", at.where, at.board + 1,
                FaultName(at).c_str(), outcome.c_str());
  Table().push_back(row);
}

// "board05_SORT_wrong_tn": the board and command struck, and the fault.
std::string PointName(const ::testing::TestParamInfo<Injection>& info) {
  std::string name = "board" + std::to_string(info.param.board + 1) + "_" +
                     (info.param.command ? info.param.command : "press") + "_" +
                     FaultName(info.param);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Points, FaultsInRun, ::testing::ValuesIn(kInjections), PointName);

}  // namespace

namespace {

// Two mixed decks split 26 at a time: the machine stops whenever pocket 3 ("DECK 1") or pocket 2
// ("DECK 2") holds 26 cards. A failure ends the split on the page; the operator gathers the
// cards and starts it again (the machine takes all cards afresh), until it is done.
const Injection kSplitInjections[] = {
    {"split start", 0, "SPLIT 26", 1, Kind::kLink, LinkFault::kUnexpectedType},
    {"split start", 0, "SPLIT 26", 1, Kind::kLink, LinkFault::kUnplugBeforeReply},
    {"split STAT", 0, "STAT", 2, Kind::kLink, LinkFault::kUnplugBeforeReply},
    {"split STAT", 0, "STAT", 3, Kind::kLate, {}, 1500},
    {"split STAT", 0, "STAT", 2, Kind::kLink, LinkFault::kWrongTransmission},
    {"split STAT", 0, "STAT", 4, Kind::kLink, LinkFault::kSequenceGap},
    {"split STAT", 0, "STAT", 2, Kind::kLogFlood, {}, 300},
    {"split STAT", 0, "SPLIT 26", 1, Kind::kJam, {}, 30},
    {"split removal", 0, "BUTSTAT", 2, Kind::kLate, {}, 1500},
    {"split continue", 0, "SPLIT CONTINUE", 1, Kind::kLink, LinkFault::kUnexpectedType},
    {"split continue", 0, "SPLIT CONTINUE", 2, Kind::kLink, LinkFault::kUnplugBeforeReply},
    {"split continue", 0, "SPLIT CONTINUE", 1, Kind::kPull, {}, 2000},
};

class FaultsInSplit : public FaultRig, public ::testing::WithParamInterface<Injection> {};

TEST_P(FaultsInSplit, EveryCardHandedOutOncePerDeck) {
  const Injection at = GetParam();
  WriteSettingInt("Split", "SplitCount", 1);
  WriteSettingInt("Parameters", "buttonstart", 1);
  WriteSettingInt("Parameters", "traystart", 0);
  sim_->machine.SetSplitDecks(2);
  Connect();
  auto* split = static_cast<Page_Split*>(dialog_->Page(4));
  dialog_->ShowPage(4);
  ASSERT_TRUE(split->TimerRunning());

  // The cards the operator took out of each pocket in the current split job.
  std::vector<int> taken[5];
  std::vector<int> before_continue[5];
  bool continuing = false;
  int struck_count = 0;
  before_command_ = [&](const std::string& command) {
    if (command.rfind("SPLIT 26", 0) == 0) {
      for (std::vector<int>& pocket : taken) pocket.clear();
    }
    if (command.rfind("SPLIT CONTINUE", 0) == 0) {
      for (int p = 1; p <= 4; ++p) before_continue[p] = sim_->machine.Pocket(p);
      continuing = true;
    }
    if (!fired_ && command.rfind(at.command, 0) == 0 && ++struck_count == at.nth) Fire(at);
  };

  const size_t told_from = boxes_.requests.size();
  int failures = 0;
  int returns = 0;
  int waited = 0;
  bool done = false;
  split->OnStartSplit();
  for (int i = 0; i < 20000 && !done && failures < 5; ++i) {
    const size_t boxes_before = boxes_.requests.size();
    Step(split);
    if (continuing) {
      // The machine empties the pocket it stopped for once it accepts the continue.
      for (int p = 1; p <= 4; ++p) {
        if (sim_->machine.Pocket(p).size() < before_continue[p].size()) {
          taken[p].insert(taken[p].end(), before_continue[p].begin(), before_continue[p].end());
        }
      }
      continuing = false;
    }
    if (split->isHidden()) {
      for (int k = 0; k < 1000 && dialog_->MachineLink() == nullptr; ++k) Step(split);
      ASSERT_NE(dialog_->MachineLink(), nullptr);
      dialog_->ShowPage(4);
      ++returns;
      split->OnStartSplit();
      continue;
    }
    for (size_t b = boxes_before; b < boxes_.requests.size(); ++b) {
      if (boxes_.requests[b].text == "Done splitting") {
        done = true;
      } else {
        // The operator waits for the machine to come to rest, gathers the cards and starts
        // the split again.
        ++failures;
        for (int k = 0; k < 100; ++k) Step(split);
        split->OnStartSplit();
      }
    }
    if (split->State() == Page_Split::kWaitingForRemoval && ++waited == 10) {
      waited = 0;
      split->OnContinue();
    }
  }
  if (std::getenv("QUADRELLE_FAULTS_LOG") != nullptr) {
    for (const std::string& line : sim_log_) std::printf("%s\n", line.c_str());
    for (const MessageBoxRequest& box : boxes_.requests) std::printf("box %s\n", box.text.c_str());
  }
  ASSERT_TRUE(done) << "the split never finished";
  EXPECT_TRUE(fired_) << "the fault never struck";
  for (int p = 1; p <= 4; ++p) {
    const std::vector<int>& left = sim_->machine.Pocket(p);
    taken[p].insert(taken[p].end(), left.begin(), left.end());
  }
  std::vector<int> deck;
  for (int card = 1; card <= kCardsInDeck; ++card) deck.push_back(card);
  EXPECT_EQ(Sorted(taken[3]), deck) << "DECK 1";
  EXPECT_EQ(Sorted(taken[2]), deck) << "DECK 2";
  EXPECT_TRUE(taken[1].empty());
  EXPECT_TRUE(taken[4].empty());

  std::vector<std::string> said;
  Told(told_from, said);
  std::string told;
  for (const std::string& text : said) {
    if (text != "\"Done splitting\"" && told.find(text) == std::string::npos) {
      told += (told.empty() ? "" : ", ") + text;
    }
  }
  std::string outcome =
      failures == 0 ? "no failure" : std::to_string(failures) + " failure(s), split restarted";
  if (dropped_ > 0) {
    outcome += ", dropped " + std::to_string(dropped_) + "x and found, " + std::to_string(returns) +
               " return(s) to page";
  }
  if (!told.empty()) outcome += "; told " + told;
  const bool right = Sorted(taken[3]) == deck && Sorted(taken[2]) == deck;
  outcome += right ? "; both decks whole" : "; DECKS WRONG";
  char row[512];
  std::snprintf(
      row, sizeof row, "%-14s %5s  %-36s | %s", at.where, "-",
      (std::string(at.command) + " #" + std::to_string(at.nth) + ": " + FaultName(at)).c_str(),
      outcome.c_str());
  Table().push_back(row);
}

// The same for the split: a start pressed as the machine went splits nothing on its own.
TEST_F(FaultRig, AStartSplitPressedAsTheMachineWentIsForgotten) {
  Connect();
  dialog_->ShowPage(4);
  auto* split = static_cast<Page_Split*>(dialog_->Page(4));
  PullFor(1000);
  split->OnStartSplit();
  for (int i = 0; i < 20 && !split->isHidden(); ++i) Step(split);
  ASSERT_TRUE(split->isHidden()) << "the machine was not dropped";
  for (int i = 0; i < 1000 && dialog_->MachineLink() == nullptr; ++i) Step(split);
  ASSERT_NE(dialog_->MachineLink(), nullptr);
  dialog_->ShowPage(4);
  for (int i = 0; i < 20; ++i) Step(split);
  auto splits = [this] {
    const std::vector<std::string> commands = CommandsSent();
    return std::count_if(commands.begin(), commands.end(),
                         [](const std::string& c) { return c.rfind("SPLIT", 0) == 0; });
  };
  EXPECT_EQ(splits(), 0);
  EXPECT_EQ(split->State(), Page_Split::kIdle);
  split->OnStartSplit();
  Step(split);
  EXPECT_EQ(splits(), 1);
}

std::string SplitPointName(const ::testing::TestParamInfo<Injection>& info) {
  std::string name =
      std::to_string(info.index) + "_" + info.param.command + "_" + FaultName(info.param);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Points, FaultsInSplit, ::testing::ValuesIn(kSplitInjections),
                         SplitPointName);

}  // namespace
