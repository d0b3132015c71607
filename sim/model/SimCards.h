// Cards as the simulated machine sees them. Card numbers are those of the deal files: 1 to 52,
// suit (n - 1) / 13 in the order spades, hearts, diamonds, clubs, rank (n - 1) % 13 with the ace
// first. The firmware names a card with its own letters: suit S, H, R, K and rank 1 (ace), 2 to
// 10, B (jack), D (queen), K (king), e.g. "HD" for the queen of hearts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qsim {

constexpr int kCardsInDeck = 52;

inline int CardSuit(int card) {
  return (card - 1) / 13;
}
inline int CardRank(int card) {
  return (card - 1) % 13;
}
inline int MakeCard(int suit, int rank) {
  return suit * 13 + rank + 1;
}
inline bool IsCard(int card) {
  return card >= 1 && card <= kCardsInDeck;
}

// "HD", "R10", "K1": the firmware's name of a card.
std::string MachineCardName(int card);

// Reads a card typed by an operator or a test: the firmware's names ("HD", "R10", "K1"), the
// bridge players' ("HQ", "DT", "C2", "SA", "D10") or the card number ("1" to "52"). Case does not
// matter. Returns 0 when the text names no card.
int ParseCard(std::string_view text);

// The bridge players' short name, suit then rank: "SA", "HT", "C2".
std::string BridgeCardName(int card);

// A pocket's cards as a hand, suits in the order spades, hearts, diamonds, clubs, each from the
// ace down: "AKQ.JT9.8765.432". A void suit is left empty between its dots.
std::string HandText(const std::vector<int>& cards);

}  // namespace qsim
