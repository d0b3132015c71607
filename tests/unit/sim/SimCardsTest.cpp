#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "SimCards.h"
#include "SimDeck.h"

namespace qsim {
namespace {

TEST(SimCards, MachineNamesFollowTheFirmwareLetters) {
  const struct {
    int card;
    const char* name;
  } cases[] = {{1, "S1"},  {2, "SK"},  {3, "SD"},   {4, "SB"},  {5, "S10"}, {13, "S2"},
               {16, "HD"}, {27, "R1"}, {31, "R10"}, {40, "K1"}, {41, "KK"}, {52, "K2"}};
  for (const auto& c : cases) {
    EXPECT_EQ(MachineCardName(c.card), c.name) << c.card;
  }
}

// The program reads a reported card back with this expression; every card's name must come
// back whole, or the operator would see the wrong card.
TEST(SimCards, EveryNameSurvivesTheProgramsCardExpression) {
  const std::regex expression("([SHRK])([KDB0-9]|10) (already read in .*)");
  for (int card = 1; card <= kCardsInDeck; ++card) {
    const std::string reply = MachineCardName(card) + " already read in pocket 2";
    std::smatch match;
    ASSERT_TRUE(std::regex_search(reply, match, expression)) << reply;
    EXPECT_EQ(match[1].str() + match[2].str(), MachineCardName(card));
    EXPECT_EQ(match.position(0), 0) << reply;
  }
}

TEST(SimCards, ParseReadsEveryNotation) {
  for (int card = 1; card <= kCardsInDeck; ++card) {
    EXPECT_EQ(ParseCard(MachineCardName(card)), card);
    EXPECT_EQ(ParseCard(BridgeCardName(card)), card);
    EXPECT_EQ(ParseCard(std::to_string(card)), card);
  }
  EXPECT_EQ(ParseCard("hq"), 16);
  EXPECT_EQ(ParseCard("D10"), 31);
  EXPECT_EQ(ParseCard("kd"), 42);  // queen of clubs in the firmware's letters
  for (const char* bad : {"", "X1", "S11", "S0", "53", "0", "H", "SAK", "100"}) {
    EXPECT_EQ(ParseCard(bad), 0) << bad;
  }
}

TEST(SimCards, HandTextListsSuitsFromTheAceDown) {
  std::vector<int> cards;
  for (const char* name :
       {"C2", "SA", "HJ", "SQ", "D8", "SK", "HT", "H9", "D7", "D6", "D5", "C4", "C3"}) {
    cards.push_back(ParseCard(name));
  }
  EXPECT_EQ(HandText(cards), "AKQ.JT9.8765.432");
  EXPECT_EQ(HandText({ParseCard("SA"), ParseCard("C2")}), "A...2");
  EXPECT_EQ(HandText({ParseCard("HQ"), ParseCard("HQ")}), ".QQ..");
  EXPECT_EQ(HandText({}), "...");
}

TEST(SimDeck, PileHoldsTheDeckWithItsFaults) {
  std::mt19937 random(7);
  DeckSetup setup;
  setup.shuffled = true;
  std::vector<FeedCard> pile = BuildPile(setup, 1, random);
  ASSERT_EQ(pile.size(), 52u);
  std::vector<int> count(53);
  for (const FeedCard& c : pile) {
    ++count[c.card];
    EXPECT_EQ(c.barcode, Barcode::k7Bar);
  }
  EXPECT_EQ(std::count(count.begin() + 1, count.end(), 1), 52);

  setup.missing = ParseCard("SA");
  setup.doubled = ParseCard("HQ");
  setup.doubled_at = 10;
  setup.barcode = Barcode::k5Bar;
  pile = BuildPile(setup, 2, random);
  ASSERT_EQ(pile.size(), 104u);
  EXPECT_EQ(pile[10].card, ParseCard("HQ"));
  EXPECT_EQ(std::count_if(pile.begin(), pile.end(), [](const FeedCard& c) { return c.card == 1; }),
            1);
  EXPECT_EQ(std::count_if(pile.begin(), pile.end(), [](const FeedCard& c) { return c.card == 16; }),
            3);
  EXPECT_EQ(pile[0].barcode, Barcode::k5Bar);
}

TEST(SimDeck, ParseDeckSetupTakesWhatTheControlLineSays) {
  DeckSetup setup;
  EXPECT_EQ(ParseDeckSetup("doubled HQ 3", setup), "");
  EXPECT_EQ(setup.doubled, 16);
  EXPECT_EQ(setup.doubled_at, 3);
  EXPECT_EQ(ParseDeckSetup("missing r10", setup), "");
  EXPECT_EQ(setup.missing, 31);
  EXPECT_EQ(ParseDeckSetup("full", setup), "");
  EXPECT_EQ(setup.missing, 0);
  EXPECT_EQ(setup.doubled, 0);
  EXPECT_NE(ParseDeckSetup("missing X9", setup), "");
  EXPECT_NE(ParseDeckSetup("doubled HQ far", setup), "");
  EXPECT_NE(ParseDeckSetup("order SA SK", setup), "");
  EXPECT_NE(ParseDeckSetup("", setup), "");

  std::string order = "order";
  for (int card = 52; card >= 1; --card) {
    order += ' ';
    order += std::to_string(card);
  }
  EXPECT_EQ(ParseDeckSetup(order, setup), "");
  std::mt19937 random(1);
  const std::vector<FeedCard> pile = BuildPile(setup, 1, random);
  EXPECT_EQ(pile.front().card, 52);
  EXPECT_EQ(pile.back().card, 1);
}

}  // namespace
}  // namespace qsim
