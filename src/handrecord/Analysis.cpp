#include "Analysis.h"

#include <dds/dll.h>

#include <algorithm>

#include "BoardInfo.h"

namespace {

// DDS's vulnerability codes: 0 none, 1 both, 2 North-South, 3 East-West.
int DdsVulnerability(Vulnerability vulnerability) {
  switch (vulnerability) {
    case Vulnerability::kNone:
      return 0;
    case Vulnerability::kBoth:
      return 1;
    case Vulnerability::kNorthSouth:
      return 2;
    case Vulnerability::kEastWest:
      return 3;
  }
  return 0;
}

// DDS holds a hand as one bit mask per suit (spades first), rank 2..14 at bit 2..14.
ddTableDeal DdsDeal(const Deal& deal) {
  ddTableDeal table{};
  for (int hand = kNorth; hand <= kWest; ++hand) {
    for (int i = 0; i < kCardsInHand; ++i) {
      const int card = deal.HandCards(hand)[i];
      table.cards[hand][SuitIndex(card)] |= 1u << (14 - RankIndex(card));
    }
  }
  return table;
}

// DDS's par strains put no trumps first.
int StrainOfParDenomination(int denomination) {
  return denomination == 0 ? kNoTrumps : denomination - 1;
}

std::string DdsError(int code) {
  char line[80] = {};
  ErrorMessage(code, line);
  return std::string("double-dummy analysis failed: ") + line;
}

}  // namespace

bool AnalyseBoards(std::vector<AnalysedBoard>& boards, std::string& error) {
  // DDS takes a hand of 12 cards and a card twice without a word, and answers for another deal.
  for (const AnalysedBoard& board : boards) {
    if (!HasEveryCardOnce(board.deal)) {
      error = "board " + std::to_string(board.number) + " is not a whole deal";
      return false;
    }
  }
  // All five strains, no par here: DDS's batch par knows no dealer.
  int all_strains[DDS_STRAINS] = {0, 0, 0, 0, 0};
  for (size_t first = 0; first < boards.size(); first += MAXNOOFTABLES) {
    const size_t count = std::min<size_t>(MAXNOOFTABLES, boards.size() - first);
    ddTableDeals deals{};
    deals.noOfTables = static_cast<int>(count);
    for (size_t k = 0; k < count; ++k) deals.deals[k] = DdsDeal(boards[first + k].deal);
    ddTablesRes results{};
    allParResults unused{};
    const int status = CalcAllTables(&deals, -1, all_strains, &results, &unused);
    if (status != RETURN_NO_FAULT) {
      error = DdsError(status);
      return false;
    }
    for (size_t k = 0; k < count; ++k) {
      AnalysedBoard& board = boards[first + k];
      ddTableResults& table = results.results[k];
      for (int hand = kNorth; hand <= kWest; ++hand) {
        for (int strain = 0; strain < kStrains; ++strain) {
          board.tricks[hand][strain] = table.resTable[strain][hand];
        }
      }
      parResultsMaster par{};
      const int par_status = DealerParBin(&table, &par, BoardDealer(board.number),
                                          DdsVulnerability(BoardVulnerability(board.number)));
      if (par_status != RETURN_NO_FAULT) {
        error = DdsError(par_status);
        return false;
      }
      board.par.score = par.score;
      board.par.contracts.clear();
      // A passed-out board has no contract, and DDS then gives a score of 0.
      for (int c = 0; c < par.number && c < 10 && par.score != 0; ++c) {
        const contractType& contract = par.contracts[c];
        board.par.contracts.push_back({contract.level, StrainOfParDenomination(contract.denom),
                                       contract.seats, contract.overTricks, contract.underTricks});
      }
    }
  }
  return true;
}
