#include <algorithm>
#include <numeric>
#include <random>

#include "SimCards.h"
#include "SimLinkFixture.h"

namespace qsim {
namespace {

TEST_F(SimLinkTest, EveryCommandOfTheVocabularyCrossesTheLink) {
  ASSERT_NE(link_, nullptr);
  const struct {
    const char* control;  // an operator's action first, or nullptr
    const char* command;
    int code;
    const char* text;
  } cases[] = {
      {nullptr, "BUTTONSTART OFF", 0, "OK"},
      {nullptr, "TRAYSTART OFF", 0, "OK"},
      {nullptr, "STOPCARD ON", 0, "OK"},
      {nullptr, "STOPCARD OFF", 0, "OK"},
      {nullptr, "BARCODE 5BAR", 0, "OK"},
      {nullptr, "BARCODE 7BAR", 0, "OK"},
      {nullptr, "BUTSTAT", 41, "NO"},
      {"button", "BUTSTAT", 40, "YES"},
      {nullptr, "BUTSTAT", 41, "NO"},
      {nullptr, "TRAYSTAT", 41, "NO"},
      {"tray on", "TRAYSTAT", 40, "YES"},
      {"tray off", "TRAYSTAT", 41, "NO"},
      {nullptr, "STAT", 0, "OK"},
      {"service 5,1200,40,-1,0,7", "SERVICEINFO", 0, "5,1200,40,-1,0,7"},
      {nullptr, "FEEDFEEDER", 0, "OK"},
      {nullptr, "EXERCISE ON", 0, "OK"},
      {nullptr, "EXERCISE OFF", 0, "OK"},
      {nullptr, "FIRMWARE", 0, "QSIM 2.04 simulated dealer"},
      {nullptr, "SPLIT CONTINUE", 20, "no split to continue"},
      {nullptr, "NONSENSE", 20, "unknown command"},
      {nullptr, "SORT 12", 20, "bad parameter"},
      // The program takes a split command as accepted only when its call yields 90: the
      // machine answers it with a STATUS packet alone.
      {nullptr, "SPLIT 26", 90, nullptr},
      {nullptr, "SPLIT 13", 1, "busy"},
      {nullptr, "STAT", 1, "busy"},
  };
  for (const auto& c : cases) {
    if (c.control != nullptr) {
      ASSERT_TRUE(RunControlLine(*state_, c.control, clock_.TickCount()).ok) << c.control;
    }
    std::string text;
    EXPECT_EQ(Call(c.command, &text), c.code) << c.command;
    if (c.text != nullptr) {
      EXPECT_EQ(text, c.text) << c.command;
    }
  }
  EXPECT_EQ(log_.front(), "<- #1 BUTTONSTART OFF");
  EXPECT_EQ(log_[1], "-> #1 00 OK");
}

// A deal as a deal file holds it (North, East, South, West, 13 card numbers each) and the
// pocket digits for the sort order that puts North in pocket 4 ... West in pocket 1.
std::string DealDigits(uint32_t seed) {
  std::vector<int> deck(52);
  std::iota(deck.begin(), deck.end(), 1);
  std::mt19937 random(seed);
  std::shuffle(deck.begin(), deck.end(), random);
  std::string digits(52, '0');
  for (int hand = 0; hand < 4; ++hand) {
    for (int i = 0; i < 13; ++i) {
      digits[deck[hand * 13 + i] - 1] = static_cast<char>('4' - hand);
    }
  }
  return digits;
}

TEST_F(SimLinkTest, FullSortLeavesEachPocketTheCardsItsDigitsNamedInFeedingOrder) {
  ASSERT_NE(link_, nullptr);
  const std::string digits = DealDigits(3);
  ASSERT_EQ(Call("SORT " + digits), 0);
  std::string text;
  EXPECT_EQ(Call("STAT", &text), 1);
  EXPECT_EQ(PollUntilDone(&text), 0);
  EXPECT_EQ(text, "OK");

  const std::vector<int>& fed = state_->machine.FedCards();
  ASSERT_EQ(fed.size(), 52u);
  for (int pocket = 1; pocket <= 4; ++pocket) {
    std::vector<int> expected;
    std::copy_if(fed.begin(), fed.end(), std::back_inserter(expected),
                 [&](int card) { return digits[card - 1] == '0' + pocket; });
    EXPECT_EQ(expected.size(), 13u);
    EXPECT_EQ(state_->machine.Pocket(pocket), expected) << "pocket " << pocket;
  }
  EXPECT_EQ(Call("SERVICEINFO", &text), 0);
  EXPECT_EQ(text, "52,1,1,0,0,0");
}

// The deal menu turns a reported card back into words with this expression; the simulator's
// card must come through the program's own matcher whole, ten included.
TEST_F(SimLinkTest, DoubledCardEndsTheSortWith14AndItsCard) {
  ASSERT_NE(link_, nullptr);
  const struct {
    const char* card;
    const char* suit;
    const char* rank;
  } cases[] = {{"HQ", "H", "D"}, {"DT", "R", "10"}, {"CA", "K", "1"}, {"SK", "S", "K"}};
  for (const auto& c : cases) {
    state_->machine.deck() = DeckSetup{};
    ASSERT_TRUE(RunControlLine(*state_, std::string("deck doubled ") + c.card + " 40", 0).ok);
    const std::string digits = DealDigits(5);
    ASSERT_EQ(Call("SORT " + digits), 0) << c.card;
    std::string text;
    EXPECT_EQ(PollUntilDone(&text), 14) << c.card;
    const int pocket = digits[ParseCard(c.card) - 1] - '0';
    EXPECT_EQ(text,
              std::string(c.suit) + c.rank + " already read in pocket " + std::to_string(pocket));
    RegexpClass card("([SHRK])([KDB0-9]|10) (already read in .*)");
    ASSERT_TRUE(card.Match(text.c_str())) << text;
    char suit[8];
    char rank[8];
    card.regsub("\\1", suit, sizeof suit);
    card.regsub("\\2", rank, sizeof rank);
    EXPECT_STREQ(suit, c.suit);
    EXPECT_STREQ(rank, c.rank);
    EXPECT_EQ(state_->machine.FedCards().size(), 41u);
  }
}

TEST_F(SimLinkTest, SplitJobStopsForEachFullPocketUntilDone) {
  ASSERT_NE(link_, nullptr);
  ASSERT_EQ(Call("SPLIT 26"), 90);
  RegexpClass removal("00 Remove ([0-9][0-9]) cards from ([1-4])");
  std::vector<int> pockets;
  std::string text;
  for (int stops = 0; stops < 10; ++stops) {
    ASSERT_EQ(PollUntilDone(&text), 0);
    if (!removal.Match(text.c_str())) {
      break;
    }
    char pocket[4];
    removal.regsub("\\2", pocket, sizeof pocket);
    pockets.push_back(std::atoi(pocket));
    ASSERT_EQ(Call("SPLIT CONTINUE"), 90);
  }
  EXPECT_EQ(text, "Split done");
  EXPECT_EQ(pockets.size(), 4u);
  EXPECT_EQ(std::count(pockets.begin(), pockets.end(), 3), 2);
  EXPECT_EQ(std::count(pockets.begin(), pockets.end(), 2), 2);
}

TEST_F(SimLinkTest, PhysicalFaultsReachTheProgramAsStatusCodes) {
  ASSERT_NE(link_, nullptr);
  const struct {
    const char* control;
    int code;
  } cases[] = {{"jam 7", 25}, {"cardbox out", 28}, {"barcode 5bar", 16}, {"deck missing C2", 3}};
  for (const auto& c : cases) {
    ASSERT_TRUE(RunControlLine(*state_, c.control, clock_.TickCount()).ok);
    ASSERT_EQ(Call("SORT " + DealDigits(1)), 0) << c.control;
    std::string text;
    EXPECT_EQ(PollUntilDone(&text), c.code) << c.control << ": " << text;
    for (const char* cure : {"cardbox in", "barcode 7bar", "deck full"}) {
      RunControlLine(*state_, cure, clock_.TickCount());
    }
    ASSERT_EQ(Call("SORT " + DealDigits(1)), 0) << c.control;
    EXPECT_EQ(PollUntilDone(&text), 0) << c.control;
  }
}

TEST_F(SimLinkTest, StrayPacketsDoNotDisturbTheExchange) {
  ASSERT_NE(link_, nullptr);
  ASSERT_TRUE(RunControlLine(*state_, "stray log 1", 0).ok);
  ASSERT_TRUE(RunControlLine(*state_, "stray userstatus 2", 0).ok);
  std::string text;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Call("FIRMWARE", &text), 0);
    EXPECT_EQ(text, "QSIM 2.04 simulated dealer");
  }
  EXPECT_EQ(Call("SPLIT 13"), 90);
  EXPECT_TRUE(TraceHas('T', "Got userstatus"));
}

}  // namespace
}  // namespace qsim
