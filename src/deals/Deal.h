// A deal: which hand each of the 52 cards goes to, and the card helpers every page uses.
//
// Card numbers run from 1 to 52: the spades from the ace down to the two, then the hearts, the
// diamonds and the clubs. A deal holds 13 card numbers per hand, North, East, South, West.
#pragma once

#include <cstdint>

inline constexpr int kCardsInDeck = 52;
inline constexpr int kCardsInHand = 13;

enum Hand { kNorth = 0, kEast = 1, kSouth = 2, kWest = 3 };
enum Suit { kSpades = 0, kHearts = 1, kDiamonds = 2, kClubs = 3 };

// Suit index 0..3 (spades, hearts, diamonds, clubs) of card number 1..52.
constexpr int SuitIndex(int card) {
  return (card - 1) / kCardsInHand;
}
// Rank index 0..12 (ace, king, ..., two) of card number 1..52.
constexpr int RankIndex(int card) {
  return (card - 1) % kCardsInHand;
}
// Card number 1..52 of a suit index and a rank index.
constexpr int CardNumber(int suit, int rank) {
  return suit * kCardsInHand + rank + 1;
}

// The rank characters by rank index, as every card is shown.
inline constexpr char kRankCharacters[] = "AKQJT98765432";
// The rank character of a rank index; '?' outside 0..12.
constexpr char RankCharacter(int rank) {
  return rank >= 0 && rank < kCardsInHand ? kRankCharacters[rank] : '?';
}

struct Deal {
  // Positions 0-12 North, 13-25 East, 26-38 South, 39-51 West.
  uint8_t cards[kCardsInDeck] = {};

  uint8_t* HandCards(int hand) { return cards + hand * kCardsInHand; }
  const uint8_t* HandCards(int hand) const { return cards + hand * kCardsInHand; }
  bool operator==(const Deal&) const = default;
};

// High-card points of one hand (0 North .. 3 West): 4 for an ace, 3 a king, 2 a queen, 1 a jack.
constexpr int HighCardPoints(const Deal& deal, int hand) {
  int points = 0;
  for (int i = 0; i < kCardsInHand; ++i) {
    const int rank = RankIndex(deal.HandCards(hand)[i]);
    if (rank < 4) points += 4 - rank;
  }
  return points;
}

// True when the deal holds every card 1..52 once, as every deal a reader gives does.
constexpr bool HasEveryCardOnce(const Deal& deal) {
  uint64_t seen = 0;
  for (const uint8_t card : deal.cards) {
    if (card >= 1 && card <= kCardsInDeck) seen |= uint64_t{1} << card;
  }
  return seen == ((uint64_t{1} << kCardsInDeck) - 1) << 1;
}

// Deal sets are contiguous arrays of deals, appended by value.
static_assert(sizeof(Deal) == kCardsInDeck);
