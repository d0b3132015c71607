#include "SimDeck.h"

#include <algorithm>

#include "SimCards.h"
#include "SimText.h"

namespace qsim {

const char* BarcodeName(Barcode barcode) {
  return barcode == Barcode::k5Bar ? "5BAR" : "7BAR";
}

std::vector<FeedCard> BuildPile(const DeckSpec& spec, int decks, std::mt19937& random) {
  std::vector<int> one_deck = spec.order;
  if (one_deck.empty()) {
    for (int card = 1; card <= kCardsInDeck; ++card) {
      one_deck.push_back(card);
    }
  }
  std::vector<int> cards;
  for (int i = 0; i < decks; ++i) {
    cards.insert(cards.end(), one_deck.begin(), one_deck.end());
  }
  if (spec.shuffled) {
    // Fisher-Yates with our own index draw, so a seed gives the same order everywhere.
    for (size_t i = cards.size(); i > 1; --i) {
      const size_t j = random() % i;
      std::swap(cards[i - 1], cards[j]);
    }
  }
  if (IsCard(spec.missing)) {
    auto it = std::find(cards.begin(), cards.end(), spec.missing);
    if (it != cards.end()) {
      cards.erase(it);
    }
  }
  if (IsCard(spec.doubled)) {
    const size_t at =
        std::min<size_t>(static_cast<size_t>(std::max(spec.doubled_at, 0)), cards.size());
    cards.insert(cards.begin() + static_cast<std::ptrdiff_t>(at), spec.doubled);
  }
  std::vector<FeedCard> pile;
  pile.reserve(cards.size());
  for (int card : cards) {
    pile.push_back({card, spec.barcode});
  }
  return pile;
}

std::string ParseDeckSpec(std::string_view text, DeckSpec& spec) {
  const std::vector<std::string> words = SplitWords(text);
  if (words.empty()) {
    return "deck: say full, missing CARD, doubled CARD [POSITION], shuffled, sorted or order CARDS";
  }
  const std::string what = UpperCase(words[0]);
  if (what == "FULL" && words.size() == 1) {
    spec.missing = 0;
    spec.doubled = 0;
    return {};
  }
  if (what == "SHUFFLED" && words.size() == 1) {
    spec.shuffled = true;
    spec.order.clear();
    return {};
  }
  if (what == "SORTED" && words.size() == 1) {
    spec.shuffled = false;
    spec.order.clear();
    return {};
  }
  if (what == "MISSING" && words.size() == 2) {
    const int card = ParseCard(words[1]);
    if (card == 0) {
      return "deck: not a card: " + words[1];
    }
    spec.missing = card;
    return {};
  }
  if (what == "DOUBLED" && (words.size() == 2 || words.size() == 3)) {
    const int card = ParseCard(words[1]);
    if (card == 0) {
      return "deck: not a card: " + words[1];
    }
    int at = spec.doubled_at;
    if (words.size() == 3) {
      const auto position = ParseCount(words[2]);
      if (!position) {
        return "deck: not a position: " + words[2];
      }
      at = *position;
    }
    spec.doubled = card;
    spec.doubled_at = at;
    return {};
  }
  if (what == "ORDER" && words.size() == kCardsInDeck + 1) {
    std::vector<int> order;
    bool seen[kCardsInDeck + 1] = {};
    for (size_t i = 1; i < words.size(); ++i) {
      const int card = ParseCard(words[i]);
      if (card == 0 || seen[card]) {
        return "deck: order needs each of the 52 cards once; wrong: " + words[i];
      }
      seen[card] = true;
      order.push_back(card);
    }
    spec.order = std::move(order);
    spec.shuffled = false;
    return {};
  }
  return "deck: cannot read '" + std::string(text) + "'";
}

std::string DescribeDeck(const DeckSpec& spec) {
  std::string text;
  if (!IsCard(spec.missing) && !IsCard(spec.doubled)) {
    text = "full";
  }
  if (IsCard(spec.missing)) {
    text += "missing " + BridgeCardName(spec.missing);
  }
  if (IsCard(spec.doubled)) {
    if (!text.empty()) {
      text += ", ";
    }
    text += "doubled " + BridgeCardName(spec.doubled) + " at " + std::to_string(spec.doubled_at);
  }
  text += spec.shuffled ? ", shuffled" : (spec.order.empty() ? ", sorted" : ", own order");
  text += ", ";
  text += BarcodeName(spec.barcode);
  return text;
}

}  // namespace qsim
