// Which hand goes into which of the machine's four pockets, and the texts built from that: the
// 52-digit pocket text a "SORT" carries and the suit lines of a hand.
#pragma once

#include <array>
#include <string>

#include "Deal.h"

// One sort order. Its name lists, left to right, the hands that go into pockets 4, 3, 2 and 1;
// the page shows the hands in columns in that order.
struct SortOrder {
  const char* name;       // "NESW", "NEWS" or "SWEN"
  int pocket_hand[5];     // the hand (kNorth .. kWest) for pockets 1..4; index 0 unused
  const char* labels[4];  // column labels, left to right
};

// The sort order stored as `sort_order` (0 "NESW", 1 "NEWS", 2 "SWEN"); nullptr for any other
// value. Points into a static table.
const SortOrder* FindSortOrder(int sort_order);

// The 52 pocket digits for a deal, card number n at position n - 1; "0" stands where no pocket
// was given (a card missing or given twice). Empty for an unknown sort order. A card number
// outside 1..52 stops the filling there and sets `*bad_card` (when given) to true.
std::string PocketText(const Deal& deal, int sort_order, bool* bad_card = nullptr);

// The rank characters of one hand by suit (spades, hearts, diamonds, clubs), in stored order;
// "-" for a suit the hand lacks. Card numbers outside 1..52 are left out.
std::array<std::string, 4> SuitTexts(const Deal& deal, int hand);
