#include "DealFormat.h"

std::string FormatDealPbn(const Deal& deal) {
  std::string text = "N:";
  text.reserve(2 + kCardsInDeck + 4 * 3 + 3);
  for (int hand = kNorth; hand <= kWest; ++hand) {
    if (hand != kNorth) text += ' ';
    // Card numbers ascend suit by suit from the ace down, the order the notation wants.
    bool held[kCardsInDeck + 1] = {};
    for (int i = 0; i < kCardsInHand; ++i) {
      const int card = deal.HandCards(hand)[i];
      if (card >= 1 && card <= kCardsInDeck) held[card] = true;
    }
    for (int card = 1; card <= kCardsInDeck; ++card) {
      if (card > 1 && RankIndex(card) == 0) text += '.';
      if (held[card]) text += RankCharacter(RankIndex(card));
    }
  }
  return text;
}
