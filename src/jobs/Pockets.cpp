#include "Pockets.h"

namespace {

constexpr SortOrder kSortOrders[3] = {
    {"NESW", {-1, kWest, kSouth, kEast, kNorth}, {"N", "E", "S", "W"}},
    {"NEWS", {-1, kSouth, kWest, kEast, kNorth}, {"N", "E", "W", "S"}},
    {"SWEN", {-1, kNorth, kEast, kWest, kSouth}, {"S", "W", "E", "N"}},
};

bool IsCard(int card) {
  return card >= 1 && card <= kCardsInDeck;
}

}  // namespace

const SortOrder* FindSortOrder(int sort_order) {
  return sort_order >= 0 && sort_order < 3 ? &kSortOrders[sort_order] : nullptr;
}

std::string PocketText(const Deal& deal, int sort_order, bool* bad_card) {
  const SortOrder* order = FindSortOrder(sort_order);
  if (order == nullptr) {
    return std::string();
  }
  std::string pockets(kCardsInDeck, '0');
  for (int pocket = 1; pocket <= 4; ++pocket) {
    const uint8_t* cards = deal.HandCards(order->pocket_hand[pocket]);
    for (int k = 0; k < kCardsInHand; ++k) {
      if (!IsCard(cards[k])) {
        if (bad_card != nullptr) {
          *bad_card = true;
        }
        return pockets;
      }
      pockets[cards[k] - 1] = static_cast<char>('0' + pocket);
    }
  }
  return pockets;
}

std::array<std::string, 4> SuitTexts(const Deal& deal, int hand) {
  std::array<std::string, 4> suits;
  for (int k = 0; k < kCardsInHand; ++k) {
    const int card = deal.HandCards(hand)[k];
    if (IsCard(card)) {
      suits[SuitIndex(card)] += RankCharacter(RankIndex(card));
    }
  }
  for (std::string& suit : suits) {
    if (suit.empty()) {
      suit.push_back('-');  // an empty suit shows as "-"
    }
  }
  return suits;
}
