#include <algorithm>

#include "CardDescription.h"
#include "JobsFixture.h"
#include "Pockets.h"

namespace {

using PocketsTest = JobsTest;

// ShiftedDeal(0): North the spades, East the hearts, South the diamonds, West the clubs.
TEST_F(PocketsTest, PocketTextAndLabelsForEachSortOrder) {
  struct Row {
    int sort_order;
    const char* name;
    const char* suit_pockets;  // spades, hearts, diamonds, clubs
    const char* labels;
  };
  const Row rows[] = {
      {0, "NESW", "4321", "NESW"}, {1, "NEWS", "4312", "NEWS"}, {2, "SWEN", "1243", "SWEN"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string expected;
    for (const char* pocket = row.suit_pockets; *pocket != '\0'; ++pocket) {
      expected += std::string(13, *pocket);
    }
    bool bad_card = false;
    EXPECT_EQ(PocketText(ShiftedDeal(0), row.sort_order, &bad_card), expected);
    EXPECT_FALSE(bad_card);
    const SortOrder* order = FindSortOrder(row.sort_order);
    ASSERT_NE(order, nullptr);
    EXPECT_STREQ(order->name, row.name);
    std::string labels;
    for (const char* label : order->labels) labels += label;
    EXPECT_EQ(labels, row.labels);
    // Every pocket holds the hand its label names.
    for (int pocket = 1; pocket <= 4; ++pocket) {
      EXPECT_EQ("NESW"[order->pocket_hand[pocket]], row.labels[4 - pocket]);
    }
  }
  for (int unknown : {-1, 3, 7}) {
    EXPECT_EQ(FindSortOrder(unknown), nullptr);
    EXPECT_EQ(PocketText(ShiftedDeal(0), unknown), "");
  }
}

TEST_F(PocketsTest, PocketTextOfBrokenDeals) {
  struct Row {
    const char* name;
    int position;  // where the deal is broken
    int card;      // what it holds there
    bool bad_card;
    long zeros;  // pockets left unset
  };
  const Row rows[] = {
      {"a card twice", 51, 1, false, 1},
      {"card 0 in East", 20, 0, true, 19},  // West, South and seven East cards were given
      {"card 53 in West", 40, 53, true, 51},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Deal deal = ShiftedDeal(0);
    deal.cards[row.position] = static_cast<uint8_t>(row.card);
    bool bad_card = false;
    const std::string pockets = PocketText(deal, 0, &bad_card);
    EXPECT_EQ(pockets.size(), 52u);
    EXPECT_EQ(bad_card, row.bad_card);
    EXPECT_EQ(std::count(pockets.begin(), pockets.end(), '0'), row.zeros);
  }
}

TEST_F(PocketsTest, SuitTextsKeepTheStoredOrder) {
  Deal deal = ShiftedDeal(0);
  // North: the ace of hearts and twelve spades from the king down, the ace of spades gone East.
  std::swap(deal.cards[0], deal.cards[13]);
  EXPECT_EQ(SuitTexts(deal, kNorth), (std::array<std::string, 4>{"KQJT98765432", "A", "-", "-"}));
  EXPECT_EQ(SuitTexts(deal, kEast), (std::array<std::string, 4>{"A", "KQJT98765432", "-", "-"}));
  deal.cards[26] = 0;  // no card: left out
  EXPECT_EQ(SuitTexts(deal, kSouth), (std::array<std::string, 4>{"-", "-", "KQJT98765432", "-"}));
}

TEST_F(PocketsTest, CardReadTwice) {
  const std::pair<const char*, const char*> rows[] = {
      {"HD already read in pocket 3", "Queen of Hearts"},
      {"R10 already read in pocket 1", "10 of Diamonds"},
      {"K1 already read in pocket 2", "Ace of Clubs"},
      {"SK already read in 4", "King of Spades"},
      {"KB already read in 4", "Knight of Clubs"},
      {"card H7 already read in x", "7 of Hearts"},
      {"jam at card 13", "jam at card 13"},
      {"HDalready read in 3", "HDalready read in 3"},
  };
  for (const auto& [reply, description] : rows) {
    EXPECT_EQ(CardDescription(reply), description) << reply;
  }
}

}  // namespace
