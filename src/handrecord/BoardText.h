// The words and numbers a hand record shows of a board, the same in print and in PBN.
#pragma once

#include <string>

#include "Analysis.h"

// A trick table's rows and columns as hand records and scoring programs lay it out: declarers
// North, South, East, West; strains no trumps, spades, hearts, diamonds, clubs.
inline constexpr int kTableDeclarers[4] = {kNorth, kSouth, kEast, kWest};
inline constexpr int kTableStrains[kStrains] = {kNoTrumps, kStrainSpades, kStrainHearts,
                                                kStrainDiamonds, kStrainClubs};

// "S", "H", "D", "C", "NT"; with `symbols` the suits as "♠", "♥", "♦", "♣" (UTF-8).
std::string StrainText(int strain, bool symbols = false);

// "N", "E", "S", "W", "NS", "EW".
const char* DeclarerText(int declarer);

// A par contract as "NS 4S", "E 3NT+1" (made with a trick to spare) or "EW 5DX-2" (a doubled
// sacrifice, two down).
std::string ContractText(const ParContract& contract, bool symbols = false);

// The par score from the side that scores it, "NS 620" or "EW 100"; "0" for a passed-out board.
std::string ParScoreText(const ParResult& par);

// The contracts joined by "; ", or "Pass" for a passed-out board.
std::string ParContractsText(const ParResult& par, bool symbols = false);
