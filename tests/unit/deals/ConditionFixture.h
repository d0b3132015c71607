// Helpers of the condition tests: deals written as PBN deal text, and a hand's lengths and
// points counted straight from its card numbers (not through the code under test).
#pragma once

#include <cstdint>
#include <string>

#include "ConditionParser.h"
#include "ConditionProgram.h"
#include "Deal.h"

// The hands of "N:<north> <east> <south> <west>" (spades.hearts.diamonds.clubs) as masks.
inline void HandsOfPbn(const std::string& text, uint64_t hands[4]) {
  const std::string ranks = kRankCharacters;
  int hand = 0, suit = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') {
      ++hand;
      suit = 0;
    } else if (c == '.') {
      ++suit;
    } else {
      hands[hand] |= uint64_t{1} << (CardNumber(suit, static_cast<int>(ranks.find(c))) - 1);
    }
  }
}

inline DealFacts FactsOfPbn(const std::string& text) {
  uint64_t hands[4] = {0, 0, 0, 0};
  HandsOfPbn(text, hands);
  DealFacts facts;
  facts.Set(hands);
  return facts;
}

inline int SuitLength(const Deal& deal, int hand, int suit) {
  int length = 0;
  for (int i = 0; i < kCardsInHand; ++i) length += SuitIndex(deal.HandCards(hand)[i]) == suit;
  return length;
}
