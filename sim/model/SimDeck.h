// What lies in the feeder when a job starts: one deck (sorting) or several mixed decks
// (splitting), with the faults a real deck can have.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace qsim {

enum class Barcode { k5Bar, k7Bar };

const char* BarcodeName(Barcode barcode);  // "5BAR", "7BAR"

struct FeedCard {
  int card = 0;
  Barcode barcode = Barcode::k7Bar;
};

struct DeckSetup {
  Barcode barcode = Barcode::k7Bar;
  int missing = 0;      // a card left out of the deck; 0 for none
  int doubled = 0;      // a card present twice; 0 for none
  int doubled_at = 26;  // feeding position (0-based) of the second copy
  bool shuffled = false;
  // An explicit feeding order (card numbers), used instead of the sorted or shuffled order.
  std::vector<int> order;
};

// Builds the feeder pile for one job: `decks` decks one after the other (each shuffled on its
// own when asked), the missing card taken out of the first deck and the doubled card's second
// copy put into the first deck. Shuffling draws from `random`.
std::vector<FeedCard> BuildPile(const DeckSetup& setup, int decks, std::mt19937& random);

// Reads a deck description as the control channel and the command line take it:
// "full", "missing HQ", "doubled SA", "doubled SA 10", "order SA HK ...". Adjusts `setup` and
// returns an empty text, or returns what was wrong.
std::string ParseDeckSetup(std::string_view text, DeckSetup& setup);

// "full", "missing HQ", "doubled SA at 26", with the barcode and order.
std::string DescribeDeck(const DeckSetup& setup);

}  // namespace qsim
