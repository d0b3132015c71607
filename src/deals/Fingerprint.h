// A set's fingerprint, so a director can see at a glance that a hand record belongs to the
// boards being dealt, and the check for deals that occur twice in one set.
//
// The canonical deal list: for each deal in set order, 52 bytes, one per card in card-number
// order (the spades from the ace down to the two, then the hearts, the diamonds and the clubs),
// each the hand holding that card: 0 North, 1 East, 2 South, 3 West. The order of the cards
// within a hand and the board numbers play no part, so one set written as BRI, DUP or PBN has one
// fingerprint. The fingerprint is the first four bytes of BLAKE2b-256 (libsodium's
// crypto_generichash, 32-byte result, no key) of that list, as eight lower-case hex digits in two
// groups of four: "3f9a-21c7". The man page of quadrelle-deals tells the same to the director.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DealSet.h"

// The hand (0 North .. 3 West) of every card, card 1 first; 0xff for a card in no hand, which a
// deal a reader gives never has.
using CardHands = std::array<uint8_t, kCardsInDeck>;
CardHands CanonicalCardHands(const Deal& deal);

// True when every card is in the same hand in both deals, in whatever order the hands list them.
bool SameCards(const Deal& a, const Deal& b);

// "3f9a-21c7" (see above); the empty set has one too.
std::string DealSetFingerprint(const DealSet& deals);

// Two deals of a set that hold the same cards in the same hands, by their places in the set
// counted from 1 as the operator sees them: `first` < `second`.
struct DuplicateDeals {
  size_t first = 0;
  size_t second = 0;
  bool operator==(const DuplicateDeals&) const = default;
};

// Every deal that repeats an earlier one, paired with the first deal it repeats, in the order of
// the later deal: deals 3, 5 and 9 alike give (3, 5) and (3, 9).
std::vector<DuplicateDeals> FindDuplicateDeals(const DealSet& deals);

// "Deals 9 and 10 are the same".
std::string DuplicateDealsText(const DuplicateDeals& duplicate);
