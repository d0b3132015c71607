// Deals whose double-dummy results can be worked out by hand, so that a hand or a strain taken
// for another in the translation to and from DDS shows as a wrong number.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Analysis.h"
#include "Pbn.h"
#include "log.h"

// North all the spades, East the hearts, South the diamonds, West the clubs: in each suit the
// side holding it takes all 13 tricks (its holder ruffs everything), the other side none, and
// in no trumps nobody takes a trick (the opening leader runs a whole suit).
inline constexpr const char* kSuitEach =
    "N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432";
// The same with East and South swapped: North-South now own spades and hearts.
inline constexpr const char* kSuitEachSwapped =
    "N:AKQJT98765432... ..AKQJT98765432. .AKQJT98765432.. ...AKQJT98765432";
// East-West own spades and diamonds.
inline constexpr const char* kSuitEachTurned =
    "N:.AKQJT98765432.. AKQJT98765432... ...AKQJT98765432 ..AKQJT98765432.";
// West holds all the clubs and North every other top card. In no trumps North takes all 13
// tricks (East leads, and nobody ever leads a club); South takes none (West leads his clubs);
// East and West take none (North-South hold the tops and never lead a club).
inline constexpr const char* kClubsWithWest =
    "N:AKQJ.AKQJ.AKQJT. 65432.65432.432. T987.T987.98765. ...AKQJT98765432";
// Every hand the next one turned by a suit: whoever declares takes 7 tricks in no trumps and no
// more elsewhere, so the side that bids first makes 1NT and the other can only go down.
inline constexpr const char* kFirstBidderWins =
    "N:A732.KQ64.J8.T95 T95.A732.KQ64.J8 J8.T95.A732.KQ64 KQ64.J8.T95.A732";

inline Deal DealOf(const char* pbn) {
  TraceSetStandardOutput(nullptr);  // the reader's debug lines would fill the test's output
  const std::string text = std::string("[Deal \"") + pbn + "\"]\n";
  DealSet deals;
  EXPECT_TRUE(ReadPbnText(text.data(), text.size(), deals)) << pbn;
  return deals.empty() ? Deal() : deals[0];
}

inline AnalysedBoard BoardOf(int number, const char* pbn) {
  AnalysedBoard board;
  board.number = number;
  board.deal = DealOf(pbn);
  return board;
}
