#include "SimDeck.h"

#include <algorithm>

#include "SimCards.h"
#include "SimText.h"

namespace qsim {

const char* BarcodeName(Barcode barcode) {
  return barcode == Barcode::k5Bar ? "5BAR" : "7BAR";
}

std::vector<FeedCard> BuildPile(const DeckSetup& setup, int decks, std::mt19937& random) {
  std::vector<int> one_deck = setup.order;
  if (one_deck.empty()) {
    for (int card = 1; card <= kCardsInDeck; ++card) {
      one_deck.push_back(card);
    }
  }
  std::vector<int> cards;
  for (int i = 0; i < decks; ++i) {
    cards.insert(cards.end(), one_deck.begin(), one_deck.end());
  }
  if (setup.shuffled) {
    // Fisher-Yates with our own index draw, so a seed gives the same order everywhere.
    for (size_t i = cards.size(); i > 1; --i) {
      const size_t j = random() % i;
      std::swap(cards[i - 1], cards[j]);
    }
  }
  if (IsCard(setup.missing)) {
    auto it = std::find(cards.begin(), cards.end(), setup.missing);
    if (it != cards.end()) {
      cards.erase(it);
    }
  }
  if (IsCard(setup.doubled)) {
    const size_t at =
        std::min<size_t>(static_cast<size_t>(std::max(setup.doubled_at, 0)), cards.size());
    cards.insert(cards.begin() + static_cast<std::ptrdiff_t>(at), setup.doubled);
  }
  std::vector<FeedCard> pile;
  pile.reserve(cards.size());
  for (int card : cards) {
    pile.push_back({card, setup.barcode});
  }
  return pile;
}

std::string ParseDeckSetup(std::string_view text, DeckSetup& setup) {
  const std::vector<std::string> words = SplitWords(text);
  if (words.empty()) {
    return "deck: say full, missing CARD, doubled CARD [POSITION], shuffled, sorted or order CARDS";
  }
  const std::string what = UpperCase(words[0]);
  if (what == "FULL" && words.size() == 1) {
    setup.missing = 0;
    setup.doubled = 0;
    return {};
  }
  if (what == "SHUFFLED" && words.size() == 1) {
    setup.shuffled = true;
    setup.order.clear();
    return {};
  }
  if (what == "SORTED" && words.size() == 1) {
    setup.shuffled = false;
    setup.order.clear();
    return {};
  }
  if (what == "MISSING" && words.size() == 2) {
    const int card = ParseCard(words[1]);
    if (card == 0) {
      return "deck: not a card: " + words[1];
    }
    setup.missing = card;
    return {};
  }
  if (what == "DOUBLED" && (words.size() == 2 || words.size() == 3)) {
    const int card = ParseCard(words[1]);
    if (card == 0) {
      return "deck: not a card: " + words[1];
    }
    int at = setup.doubled_at;
    if (words.size() == 3) {
      const auto position = ParseCount(words[2]);
      if (!position) {
        return "deck: not a position: " + words[2];
      }
      at = *position;
    }
    setup.doubled = card;
    setup.doubled_at = at;
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
    setup.order = std::move(order);
    setup.shuffled = false;
    return {};
  }
  return "deck: cannot read '" + std::string(text) + "'";
}

std::string DescribeDeck(const DeckSetup& setup) {
  std::string text;
  if (!IsCard(setup.missing) && !IsCard(setup.doubled)) {
    text = "full";
  }
  if (IsCard(setup.missing)) {
    text += "missing " + BridgeCardName(setup.missing);
  }
  if (IsCard(setup.doubled)) {
    if (!text.empty()) {
      text += ", ";
    }
    text += "doubled " + BridgeCardName(setup.doubled) + " at " + std::to_string(setup.doubled_at);
  }
  text += setup.shuffled ? ", shuffled" : (setup.order.empty() ? ", sorted" : ", own order");
  text += ", ";
  text += BarcodeName(setup.barcode);
  return text;
}

}  // namespace qsim
