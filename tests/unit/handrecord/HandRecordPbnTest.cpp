#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "BoardInfo.h"
#include "BoardText.h"
#include "DealFormat.h"
#include "HandRecordDeals.h"
#include "HandRecordPbn.h"

namespace {

// One board of a PBN text as its tags and the rows of its OptimumResultTable.
struct ReadBoard {
  std::map<std::string, std::string> tags;
  std::vector<std::string> rows;
};

std::vector<ReadBoard> ReadTags(const std::string& text) {
  std::vector<ReadBoard> boards;
  std::istringstream lines(text);
  std::string line;
  bool in_board = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '%') {
      in_board = false;
      continue;
    }
    if (!in_board) boards.emplace_back();
    in_board = true;
    if (line[0] == '[') {
      const size_t blank = line.find(' ');
      const size_t quote = line.find('"');
      boards.back().tags[line.substr(1, blank - 1)] =
          line.substr(quote + 1, line.rfind('"') - quote - 1);
    } else {
      boards.back().rows.push_back(line);
    }
  }
  return boards;
}

// Tricks that differ for every declarer and strain, so a row or column out of place shows.
AnalysedBoard Analysed(int number, const char* deal, ParResult par) {
  AnalysedBoard board = BoardOf(number, deal);
  for (int hand = kNorth; hand <= kWest; ++hand) {
    for (int strain = 0; strain < kStrains; ++strain)
      board.tricks[hand][strain] = 3 * hand + strain;
  }
  board.par = std::move(par);
  return board;
}

TEST(HandRecordPbn, TagsReadBackAsWritten) {
  const std::vector<AnalysedBoard> boards = {
      Analysed(7, kSuitEach, {-1510, {{7, kStrainSpades, kEastWest, 0, 0}}}),
      Analysed(12, kFirstBidderWins,
               {420, {{4, kStrainHearts, kNorth, 0, 0}, {3, kNoTrumps, kNorthSouth, 1, 0}}}),
      Analysed(21, kClubsWithWest, {}),
  };
  const std::string text = FormatHandRecordPbn(boards, "Club \"Pairs\"");

  // Our own reader takes the file as a deal file, board numbers and all.
  DealSet deals;
  std::vector<int> numbers;
  ASSERT_TRUE(ReadPbnText(text.data(), text.size(), deals, &numbers));
  EXPECT_EQ(numbers, (std::vector<int>{7, 12, 21}));

  const std::vector<ReadBoard> read = ReadTags(text);
  ASSERT_EQ(read.size(), boards.size());
  const char* kScores[] = {"EW 1510", "NS 420", "NS 0"};
  const char* kContracts[] = {"EW 7S", "N 4H; NS 3NT+1", "Pass"};
  // Declarers N, S, E, W down the table, strains NT, S, H, D, C across.
  const int kDeclarers[] = {kNorth, kSouth, kEast, kWest};
  const int kOrder[] = {kNoTrumps, kStrainSpades, kStrainHearts, kStrainDiamonds, kStrainClubs};
  for (size_t b = 0; b < boards.size(); ++b) {
    SCOPED_TRACE(b);
    const AnalysedBoard& board = boards[b];
    auto& tags = read[b].tags;
    EXPECT_EQ(tags.at("Event"), "Club 'Pairs'");
    EXPECT_EQ(tags.at("Board"), std::to_string(board.number));
    EXPECT_EQ(tags.at("Dealer"), HandLetter(BoardDealer(board.number)));
    EXPECT_EQ(tags.at("Vulnerable"), VulnerabilityText(BoardVulnerability(board.number)));
    EXPECT_EQ(tags.at("Deal"), FormatDealPbn(board.deal));
    EXPECT_EQ(deals[b], board.deal);
    EXPECT_EQ(tags.at("OptimumScore"), kScores[b]);
    EXPECT_EQ(tags.at("ParContract"), kContracts[b]);
    EXPECT_EQ(tags.at("OptimumResultTable"), "Declarer;Denomination\\2R;Result\\2R");
    ASSERT_EQ(read[b].rows.size(), 20u);
    // One hex digit a row, in the rows' order: both tags come from the one table.
    const std::string& digits = tags.at("DoubleDummyTricks");
    ASSERT_EQ(digits.size(), 20u);
    for (int r = 0; r < 20; ++r) {
      std::istringstream row(read[b].rows[r]);
      std::string declarer, strain;
      int tricks = -1;
      row >> declarer >> strain >> tricks;
      const int hand = kDeclarers[r / 5];
      EXPECT_EQ(declarer, HandLetter(hand)) << read[b].rows[r];
      EXPECT_EQ(strain, StrainText(kOrder[r % 5])) << read[b].rows[r];
      EXPECT_EQ(tricks, board.tricks[hand][kOrder[r % 5]]) << read[b].rows[r];
      EXPECT_EQ(std::stoi(digits.substr(r, 1), nullptr, 16), tricks) << digits;
      // The two right-aligned columns: "N NT  3", "S  S 10".
      EXPECT_EQ(read[b].rows[r].size(), 7u) << read[b].rows[r];
    }
  }
}

}  // namespace
