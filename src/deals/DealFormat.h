// Deals as text in the deal notation of the Portable Bridge Notation.
#pragma once

#include <string>

#include "Deal.h"

// "N:<north> <east> <south> <west>", each hand as spades.hearts.diamonds.clubs with the ranks
// from the ace down, "T" for ten and an empty suit as nothing between its dots, e.g.
// "N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432".
// Card numbers outside 1..52 are left out.
std::string FormatDealPbn(const Deal& deal);
