#include <string>
#include <vector>

#include "BoardSelection.h"
#include "BoardText.h"
#include "HandRecordDeals.h"

namespace {

struct Row {
  int tricks[kStrains];  // spades, hearts, diamonds, clubs, no trumps
};

TEST(Analysis, TricksStandByDeclarerAndStrain) {
  const struct {
    const char* deal;
    Row rows[4];  // North, East, South, West
  } cases[] = {
      {kSuitEach, {{13, 0, 13, 0, 0}, {0, 13, 0, 13, 0}, {13, 0, 13, 0, 0}, {0, 13, 0, 13, 0}}},
      {kSuitEachSwapped,
       {{13, 13, 0, 0, 0}, {0, 0, 13, 13, 0}, {13, 13, 0, 0, 0}, {0, 0, 13, 13, 0}}},
      {kSuitEachTurned,
       {{0, 13, 0, 13, 0}, {13, 0, 13, 0, 0}, {0, 13, 0, 13, 0}, {13, 0, 13, 0, 0}}},
  };
  std::vector<AnalysedBoard> boards;
  for (const auto& c : cases) boards.push_back(BoardOf(1, c.deal));
  boards.push_back(BoardOf(1, kClubsWithWest));
  std::string error;
  ASSERT_TRUE(AnalyseBoards(boards, error)) << error;
  for (size_t i = 0; i < std::size(cases); ++i) {
    for (int hand = kNorth; hand <= kWest; ++hand) {
      for (int strain = 0; strain < kStrains; ++strain) {
        EXPECT_EQ(boards[i].tricks[hand][strain], cases[i].rows[hand].tricks[strain])
            << cases[i].deal << ": declarer " << hand << ", strain " << strain;
      }
    }
  }
  // Only North's side can keep the lead away from West's clubs.
  const int no_trumps[4] = {13, 0, 0, 0};
  for (int hand = kNorth; hand <= kWest; ++hand) {
    EXPECT_EQ(boards[3].tricks[hand][kNoTrumps], no_trumps[hand]) << "declarer " << hand;
  }
}

// The par follows the board's dealer and vulnerability.
TEST(Analysis, ParFollowsTheBoardsDealerAndVulnerability) {
  const struct {
    int board;
    const char* deal;
    int score;
    const char* contracts;
  } cases[] = {
      // North-South's grand slam in spades outranks East-West's in hearts: 1510, 2210 vulnerable.
      {1, kSuitEach, 1510, "NS 7S"},
      {2, kSuitEach, 2210, "NS 7S"},
      {3, kSuitEach, 1510, "NS 7S"},
      {4, kSuitEach, 2210, "NS 7S"},
      {2, kSuitEachTurned, -1510, "EW 7S"},
      {3, kSuitEachTurned, -2210, "EW 7S"},
      {16, kSuitEachTurned, -2210, "EW 7S"},
      {9, kSuitEachTurned, -2210, "EW 7S"},
      // Boards 1 and 14 are both unvulnerable; North deals the one, East the other.
      {1, kFirstBidderWins, 90, "NS 1NT"},
      {14, kFirstBidderWins, -90, "EW 1NT"},
      // Board 2 of the sample session, North-South vulnerable: their 3NT scores 600, East-West's
      // 4 hearts doubled, three down, costs only 500.
      {2, "N:965.95.KQJ52.JT7 KQT3.AQ42.87.864 A82.J76.A43.AKQ2 J74.KT83.T96.953", 500, "EW 4HX-3"},
  };
  std::vector<AnalysedBoard> boards;
  for (const auto& c : cases) boards.push_back(BoardOf(c.board, c.deal));
  std::string error;
  ASSERT_TRUE(AnalyseBoards(boards, error)) << error;
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(boards[i].par.score, cases[i].score) << "board " << cases[i].board;
    EXPECT_EQ(ParContractsText(boards[i].par), cases[i].contracts) << "board " << cases[i].board;
  }
}

// The solver would answer for a deal of 51 cards as if it were whole.
TEST(Analysis, BrokenDealIsRefused) {
  std::vector<AnalysedBoard> boards = {BoardOf(1, kSuitEach), BoardOf(2, kSuitEach)};
  boards[1].deal.cards[0] = boards[1].deal.cards[1];  // North's spade ace is now a second king
  std::string error;
  EXPECT_FALSE(AnalyseBoards(boards, error));
  EXPECT_EQ(error, "board 2 is not a whole deal");
  EXPECT_EQ(boards[0].tricks[kNorth][kStrainSpades], 0) << "nothing analysed";
}

// Which boards the tool and the window take; the tools' tests pick boards with it.
TEST(Analysis, BoardRangesAreWholeNumbersInOrder) {
  const struct {
    const char* text;
    int first, last;  // 0: refused
  } cases[] = {{"3-9", 3, 9},       {"7", 7, 7},     {"1-999999", 1, 999999},
               {"9-3", 0, 0},       {"0-4", 0, 0},   {"4-", 0, 0},
               {"1-1000000", 0, 0}, {"3 - 9", 0, 0}, {"+3-9", 0, 0}};
  for (const auto& c : cases) {
    int first = 0, last = 0;
    EXPECT_EQ(ParseBoardRange(c.text, first, last), c.first != 0) << c.text;
    EXPECT_EQ(first, c.first) << c.text;
    EXPECT_EQ(last, c.last) << c.text;
  }
}

}  // namespace
