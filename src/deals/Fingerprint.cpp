#include "Fingerprint.h"

#include <sodium.h>

#include <algorithm>

CardHands CanonicalCardHands(const Deal& deal) {
  CardHands hands;
  hands.fill(0xff);
  for (int pos = 0; pos < kCardsInDeck; ++pos) {
    const int card = deal.cards[pos];
    if (card >= 1 && card <= kCardsInDeck) {
      hands[static_cast<size_t>(card - 1)] = static_cast<uint8_t>(pos / kCardsInHand);
    }
  }
  return hands;
}

bool SameCards(const Deal& a, const Deal& b) {
  return CanonicalCardHands(a) == CanonicalCardHands(b);
}

std::string DealSetFingerprint(const DealSet& deals) {
  // The hash needs no start: sodium_init only picks a faster implementation of the same function.
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES);
  for (const Deal& deal : deals) {
    const CardHands hands = CanonicalCardHands(deal);
    crypto_generichash_update(&state, hands.data(), hands.size());
  }
  uint8_t hash[crypto_generichash_BYTES];
  crypto_generichash_final(&state, hash, sizeof hash);
  char hex[2 * 4 + 1];
  sodium_bin2hex(hex, sizeof hex, hash, 4);
  return std::string(hex, 4) + '-' + std::string(hex + 4, 4);
}

std::vector<DuplicateDeals> FindDuplicateDeals(const DealSet& deals) {
  // The deals' places sorted by their cards, earlier places first among equal deals: each run of
  // equal deals then starts with its first deal. A set of thousands takes well under a second.
  std::vector<std::pair<CardHands, size_t>> sorted;
  sorted.reserve(deals.size());
  size_t place = 0;
  for (const Deal& deal : deals) sorted.emplace_back(CanonicalCardHands(deal), ++place);
  std::sort(sorted.begin(), sorted.end());
  std::vector<DuplicateDeals> duplicates;
  for (size_t i = 1, run = 0; i < sorted.size(); ++i) {
    if (sorted[i].first != sorted[run].first) {
      run = i;
      continue;
    }
    duplicates.push_back({sorted[run].second, sorted[i].second});
  }
  std::sort(duplicates.begin(), duplicates.end(),
            [](const DuplicateDeals& a, const DuplicateDeals& b) { return a.second < b.second; });
  return duplicates;
}

std::string DuplicateDealsText(const DuplicateDeals& duplicate) {
  // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string at -O2.
  std::string text = "Deals ";
  text += std::to_string(duplicate.first);
  text += " and ";
  text += std::to_string(duplicate.second);
  text += " are the same";
  return text;
}
