// What one suit holding is worth by each count a condition can ask for, looked up rather than
// counted while a search runs. A holding is 13 bits, bit 0 the ace down to bit 12 the two.
#pragma once

#include <cstdint>

enum Measure {
  kHighCardPoints,  // 4 3 2 1
  kControls,        // ace 2, king 1
  kLosers,          // by length and the ace, king and queen
  kTens,            // the alternative counts, pt0 to pt9
  kJacks,
  kQueens,
  kKings,
  kAces,
  kTop2,  // honours among the ace and king
  kTop3,
  kTop4,
  kTop5,
  kC13,  // ace 6, king 4, queen 2, jack 1
  kMeasureCount
};

inline constexpr int kHoldings = 1 << 13;

// The value of `holding` by `measure`.
uint8_t HoldingValue(Measure measure, unsigned holding);
// The whole table of one measure, for the search's inner loop.
const uint8_t* HoldingTable(Measure measure);
