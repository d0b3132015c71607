// The one writer of deal files for tests, and deals with a known look.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Deal.h"

// A deal with every card in a hand chosen by `seed` (0: North the spades, East the hearts,
// South the diamonds, West the clubs).
Deal MakeDeal(unsigned seed);
// Deals 1..count made with seeds 1..count.
std::vector<Deal> MakeDeals(int count);
// Deal k (0..51): the card numbers k+1, k+2, ... (wrapping past 52) in position order, so
// North holds the 13 cards from k+1 on. Deal 0 gives North the spades, East the hearts, South
// the diamonds and West the clubs, each ace first.
Deal ShiftedDeal(int k);

// One BRI-style record: North, East and South as 39 two-digit card fields ("01".."52"), then
// `filler` up to `record_size` bytes (a DUP record is the same fields in 156 bytes).
std::string BriRecord(const Deal& deal, size_t record_size = 128, char filler = ' ');
// Writes the deals as a BRI file; false when it cannot.
bool WriteBriFile(const std::string& path, const std::vector<Deal>& deals);
