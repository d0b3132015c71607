#include "SimCards.h"

#include <algorithm>
#include <cctype>

namespace qsim {
namespace {

constexpr char kMachineSuits[] = "SHRK";
constexpr char kBridgeSuits[] = "SHDC";
constexpr char kBridgeRanks[] = "AKQJT98765432";

int SuitFromLetter(char c) {
  switch (std::toupper(static_cast<unsigned char>(c))) {
    case 'S':
      return 0;
    case 'H':
      return 1;
    case 'R':
    case 'D':
      return 2;
    case 'K':
    case 'C':
      return 3;
    default:
      return -1;
  }
}

// Rank index (0 ace .. 12 two) of the text after the suit letter, -1 when it is none.
int RankFromText(std::string_view text) {
  if (text == "10") {
    return 4;
  }
  if (text.size() != 1) {
    return -1;
  }
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  switch (c) {
    case '1':
    case 'A':
      return 0;
    case 'K':
      return 1;
    case 'D':
    case 'Q':
      return 2;
    case 'B':
    case 'J':
      return 3;
    case 'T':
      return 4;
    default:
      break;
  }
  if (c >= '2' && c <= '9') {
    return 14 - (c - '0');
  }
  return -1;
}

}  // namespace

std::string MachineCardName(int card) {
  if (!IsCard(card)) {
    return "?";
  }
  std::string name(1, kMachineSuits[CardSuit(card)]);
  const int rank = CardRank(card);
  switch (rank) {
    case 0:
      name += '1';
      break;
    case 1:
      name += 'K';
      break;
    case 2:
      name += 'D';
      break;
    case 3:
      name += 'B';
      break;
    default:
      name += std::to_string(14 - rank);
      break;
  }
  return name;
}

std::string BridgeCardName(int card) {
  if (!IsCard(card)) {
    return "?";
  }
  return {kBridgeSuits[CardSuit(card)], kBridgeRanks[CardRank(card)]};
}

int ParseCard(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    if (text.size() > 2) {
      return 0;
    }
    const int number = std::stoi(std::string(text));
    return IsCard(number) ? number : 0;
  }
  const int suit = SuitFromLetter(text[0]);
  const int rank = RankFromText(text.substr(1));
  if (suit < 0 || rank < 0) {
    return 0;
  }
  return MakeCard(suit, rank);
}

std::string HandText(const std::vector<int>& cards) {
  // A split's copies pocket may hold a card more than once; each copy shows.
  int count[kCardsInDeck + 1] = {};
  for (int card : cards) {
    if (IsCard(card)) {
      ++count[card];
    }
  }
  std::string suits[4];
  for (int suit = 0; suit < 4; ++suit) {
    for (int rank = 0; rank < 13; ++rank) {
      suits[suit].append(count[MakeCard(suit, rank)], kBridgeRanks[rank]);
    }
  }
  return suits[0] + "." + suits[1] + "." + suits[2] + "." + suits[3];
}

}  // namespace qsim
