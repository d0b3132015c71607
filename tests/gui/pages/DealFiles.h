// Deal files for page and end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include "Deal.h"

// A deal with every card in a hand chosen by `seed` (0: North the spades, East the hearts,
// South the diamonds, West the clubs).
Deal MakeDeal(unsigned seed);
// Writes the deals as a BRI file; false when it cannot.
bool WriteBriFile(const std::string& path, const std::vector<Deal>& deals);
// Deals 1..count made with seeds 1..count.
std::vector<Deal> MakeDeals(int count);
