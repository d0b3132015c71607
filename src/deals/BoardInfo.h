// Dealer and vulnerability of a duplicate board, by its number: the 16-board cycle every club
// and every scoring program uses, so boards made here sit in the right board trays.
#pragma once

#include "Deal.h"

enum class Vulnerability { kNone, kNorthSouth, kEastWest, kBoth };

// The dealer of board `board` (1 and up): North, East, South, West in turn from board 1.
constexpr Hand BoardDealer(int board) {
  return static_cast<Hand>((board - 1) % 4);
}

// The vulnerability of board `board` (1 and up), repeating every 16 boards.
constexpr Vulnerability BoardVulnerability(int board) {
  constexpr Vulnerability kCycle[16] = {
      Vulnerability::kNone,    Vulnerability::kNorthSouth, Vulnerability::kEastWest,
      Vulnerability::kBoth,    Vulnerability::kNorthSouth, Vulnerability::kEastWest,
      Vulnerability::kBoth,    Vulnerability::kNone,       Vulnerability::kEastWest,
      Vulnerability::kBoth,    Vulnerability::kNone,       Vulnerability::kNorthSouth,
      Vulnerability::kBoth,    Vulnerability::kNone,       Vulnerability::kNorthSouth,
      Vulnerability::kEastWest};
  return kCycle[(board - 1) % 16];
}

// "N", "E", "S", "W".
constexpr const char* HandLetter(int hand) {
  constexpr const char* kLetters[4] = {"N", "E", "S", "W"};
  return hand >= 0 && hand < 4 ? kLetters[hand] : "?";
}

// The value of a PBN Vulnerable tag: "None", "NS", "EW", "All".
constexpr const char* VulnerabilityText(Vulnerability vulnerability) {
  switch (vulnerability) {
    case Vulnerability::kNone:
      return "None";
    case Vulnerability::kNorthSouth:
      return "NS";
    case Vulnerability::kEastWest:
      return "EW";
    case Vulnerability::kBoth:
      return "All";
  }
  return "None";
}
