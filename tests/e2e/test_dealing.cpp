#include <QLabel>
#include <algorithm>
#include <cstdio>

#include "DealFiles.h"
#include "DealWrite.h"
#include "FooButton.h"
#include "MachineRig.h"
#include "Page_DealMenu.h"
#include "Page_Split.h"
#include "Settings.h"

namespace {

// The hand each pocket receives (pockets 1 to 4) under each sort order, as the operator's
// manual gives them: NESW, NEWS, SWEN name the hands for pockets 4, 3, 2, 1.
constexpr int kPocketHand[3][4] = {
    {kWest, kSouth, kEast, kNorth},
    {kSouth, kWest, kEast, kNorth},
    {kNorth, kEast, kWest, kSouth},
};

struct Board {
  int deal = -1;  // index in the deal set; -1 when the pockets hold no whole deal of it
  int copy = 0;   // from the page's copy text
  bool operator==(const Board&) const = default;
};

std::vector<int> Sorted(std::vector<int> cards) {
  std::sort(cards.begin(), cards.end());
  return cards;
}

class Dealing : public MachineRig {
 protected:
  void SetUpRun(int deal_order, int sort_order) {
    const std::string path = "tournament.bri";
    ASSERT_TRUE(WriteBriFile(path, MakeDeals(8)));
    WriteSettingString("CardDistribution", "Filename", path.c_str());
    WriteSettingInt("CardDistribution", "StartDeal", 3);
    WriteSettingInt("CardDistribution", "NumberOfDeal", 4);
    WriteSettingString("DealMenu", "LastFile", path.c_str());
    WriteSettingString("DealMenu", "NumberOfCopies", "2");
    WriteSettingInt("Parameters", "DealOrder", deal_order);
    WriteSettingInt("Parameters", "SortOrder", sort_order);
    WriteSettingInt("Parameters", "buttonstart", 1);
    WriteSettingInt("Parameters", "justdealtvisible", 1);
    sort_order_ = sort_order;
    if (dialog_ == nullptr) Connect();
    dialog_->ShowPage(65535);
    dialog_->ShowPage(3);
    page_ = static_cast<Page_DealMenu*>(dialog_->Page(3));
    ASSERT_TRUE(page_->TimerRunning());
    ASSERT_EQ(page_->Deals().size(), size_t{8});
  }

  // The operator presses the machine's button; the page deals one board.
  Board DealByButton() {
    sim_->machine.PressButton(Now());
    for (int i = 0; i < 10 && page_->State() == Page_DealMenu::RunState::Idle; ++i) Tick(page_);
    EXPECT_EQ(page_->State(), Page_DealMenu::RunState::Sorting);
    for (int i = 0; i < 1000 && page_->State() == Page_DealMenu::RunState::Sorting; ++i) {
      Tick(page_);
    }
    EXPECT_EQ(page_->State(), Page_DealMenu::RunState::Idle);
    Board board;
    std::sscanf(page_->CopyText()->text().toLatin1().constData(), "Copy #%d", &board.copy);
    board.deal = DealInPockets();
    return board;
  }

  // The deal whose hands lie exactly in the pockets the sort order gives them.
  int DealInPockets() const {
    const DealSet& deals = page_->Deals();
    for (size_t i = 0; i < deals.size(); ++i) {
      bool all = true;
      for (int pocket = 1; pocket <= 4 && all; ++pocket) {
        const uint8_t* hand = deals[i].HandCards(kPocketHand[sort_order_][pocket - 1]);
        all = Sorted(sim_->machine.Pocket(pocket)) ==
              Sorted(std::vector<int>(hand, hand + kCardsInHand));
      }
      if (all) return static_cast<int>(i);
    }
    return -1;
  }

  static std::vector<Board> RunTable(int deal_order) {
    std::vector<Board> table;
    for (int k = 0; k < 8; ++k) {
      table.push_back(deal_order != 0 ? Board{2 + k % 4, 1 + k / 4} : Board{2 + k / 2, 1 + k % 2});
    }
    return table;
  }

  Page_DealMenu* page_ = nullptr;
  int sort_order_ = 0;
};

// 8 deals, from deal 3, four deals, two copies, started by the machine's button: after each
// board the pockets hold the hands the sort order assigns, in the order of the run table.
TEST_F(Dealing, EveryDealOrderAndSortOrder) {
  for (int deal_order : {0, 1}) {
    for (int sort_order : {0, 1, 2}) {
      SCOPED_TRACE("DealOrder " + std::to_string(deal_order) + ", SortOrder " +
                   std::to_string(sort_order));
      SetUpRun(deal_order, sort_order);
      const size_t boxes_before = boxes_.requests.size();
      std::vector<Board> boards;
      for (int k = 0; k < 8; ++k) {
        boards.push_back(DealByButton());
        // Pocket 4 is the leftmost column.
        EXPECT_EQ(page_->ColumnLabel(0)->text(),
                  QString(QChar("NESW"[kPocketHand[sort_order][3]])));
      }
      EXPECT_EQ(boards, RunTable(deal_order));
      ASSERT_EQ(boxes_.requests.size(), boxes_before + 1);
      EXPECT_EQ(boxes_.requests.back().text, "Done dealing deals");
      EXPECT_EQ(page_->DealCounter(), 1);
    }
  }
  int sorts = 0;
  for (const std::string& command : CommandsSent()) sorts += command.rfind("SORT ", 0) == 0;
  EXPECT_EQ(sorts, 48);
}

// A jam halfway: "Sort failed", the same copy of the same deal goes again, and in the end
// every deal has been dealt twice, nothing skipped and nothing doubled.
TEST_F(Dealing, AJamDealsTheSameBoardAgain) {
  SetUpRun(1, 0);
  std::vector<Board> boards;
  for (int k = 0; k < 3; ++k) boards.push_back(DealByButton());
  sim_->machine.JamAfter(20);
  const Board jammed = DealByButton();
  EXPECT_EQ(jammed.deal, -1);
  ASSERT_FALSE(boxes_.requests.empty());
  EXPECT_EQ(boxes_.requests.back().text, "Sort failed");
  EXPECT_EQ(dialog_->StatusPane()->text().left(5), QString("jam ("));
  EXPECT_EQ(page_->DealCounter(), 4);
  for (int k = 0; k < 5; ++k) boards.push_back(DealByButton());
  EXPECT_EQ(boards, RunTable(1));
  for (int deal = 2; deal <= 5; ++deal) {
    EXPECT_EQ(std::count_if(boards.begin(), boards.end(),
                            [deal](const Board& board) { return board.deal == deal; }),
              2);
  }
  EXPECT_EQ(boxes_.requests.back().text, "Done dealing deals");
}

// A PBN file of 32 boards, written as the directors' programs write it, is dealt board by board:
// after each one the pockets hold that board's hands, in file order.
TEST_F(Dealing, A32BoardPbnFileIsDealtInFileOrder) {
  DealSet deals;
  for (const Deal& deal : MakeDeals(32)) deals.push_back(deal);
  const std::string path = "session.PBN";
  ASSERT_TRUE(WriteDealFile(path.c_str(), deals, DealFileKind::kPbn));
  WriteSettingString("CardDistribution", "Filename", path.c_str());
  WriteSettingInt("CardDistribution", "StartDeal", 1);
  WriteSettingInt("CardDistribution", "NumberOfDeal", 32);
  WriteSettingString("DealMenu", "LastFile", path.c_str());
  WriteSettingString("DealMenu", "NumberOfCopies", "1");
  WriteSettingInt("Parameters", "DealOrder", 0);
  WriteSettingInt("Parameters", "SortOrder", 1);
  WriteSettingInt("Parameters", "buttonstart", 1);
  sort_order_ = 1;
  Connect();
  dialog_->ShowPage(3);
  page_ = static_cast<Page_DealMenu*>(dialog_->Page(3));
  ASSERT_EQ(page_->Deals().size(), size_t{32});
  for (int board = 0; board < 32; ++board) {
    EXPECT_EQ(DealByButton(), (Board{board, 1})) << "board " << board + 1;
  }
  EXPECT_EQ(boxes_.requests.back().text, "Done dealing deals");
}

// A split at 26 of one deck stops twice for pocket 3 ("DECK 1"): continued once by the page's
// button and once by the machine's.
TEST_F(Dealing, SplitWithTwoRemovalStops) {
  Connect();
  WriteSettingInt("Split", "SplitCount", 1);
  WriteSettingInt("Parameters", "buttonstart", 1);
  sim_->machine.SetSplitDecks(1);
  dialog_->ShowPage(4);
  auto* split = static_cast<Page_Split*>(dialog_->Page(4));
  ASSERT_TRUE(split->TimerRunning());
  auto run_until = [&](int state) {
    for (int i = 0; i < 2000 && split->State() != state; ++i) Tick(split);
    return split->State() == state;
  };

  split->OnStartSplit();
  ASSERT_TRUE(run_until(Page_Split::kWaitingForRemoval));
  EXPECT_EQ(split->PocketMark(3)->text(), QString("REMOVE"));
  EXPECT_EQ(sim_->machine.Pocket(3).size(), size_t{26});
  EXPECT_EQ(dialog_->StatusPane()->text(), QString("Remove cards"));

  split->OnContinue();
  Tick(split);
  EXPECT_EQ(split->PocketMark(3)->text(), QString());
  ASSERT_TRUE(run_until(Page_Split::kWaitingForRemoval));
  EXPECT_EQ(split->PocketMark(3)->text(), QString("REMOVE"));

  sim_->machine.PressButton(Now());
  ASSERT_TRUE(run_until(Page_Split::kIdle));
  EXPECT_EQ(boxes_.requests.back().text, "Done splitting");
  EXPECT_EQ(split->StartButton()->text(), QString("Start split"));

  std::vector<std::string> splits;
  for (const std::string& command : CommandsSent()) {
    if (command.rfind("SPLIT", 0) == 0) splits.push_back(command);
  }
  EXPECT_EQ(splits, (std::vector<std::string>{"SPLIT 26", "SPLIT CONTINUE", "SPLIT CONTINUE"}));
}

}  // namespace
