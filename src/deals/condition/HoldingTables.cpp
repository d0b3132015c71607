#include "HoldingTables.h"

#include <array>
#include <bit>

namespace {

bool Has(unsigned holding, int rank) {
  return (holding >> rank & 1u) != 0;
}

int Losers(unsigned holding) {
  const int length = std::popcount(holding);
  const int ace = Has(holding, 0), king = Has(holding, 1), queen = Has(holding, 2);
  if (length == 0) return 0;
  if (length == 1) return ace ? 0 : 1;
  if (length == 2) return 2 - ace - king;
  return 3 - ace - king - queen;
}

int Count(Measure measure, unsigned holding) {
  // Ranks 0..4: ace, king, queen, jack, ten.
  const auto top = [holding](int ranks) { return std::popcount(holding & ((1u << ranks) - 1)); };
  switch (measure) {
    case kHighCardPoints:
      return 4 * Has(holding, 0) + 3 * Has(holding, 1) + 2 * Has(holding, 2) + Has(holding, 3);
    case kControls:
      return 2 * Has(holding, 0) + Has(holding, 1);
    case kLosers:
      return Losers(holding);
    case kTens:
      return Has(holding, 4);
    case kJacks:
      return Has(holding, 3);
    case kQueens:
      return Has(holding, 2);
    case kKings:
      return Has(holding, 1);
    case kAces:
      return Has(holding, 0);
    case kTop2:
      return top(2);
    case kTop3:
      return top(3);
    case kTop4:
      return top(4);
    case kTop5:
      return top(5);
    case kC13:
      return 6 * Has(holding, 0) + 4 * Has(holding, 1) + 2 * Has(holding, 2) + Has(holding, 3);
    case kMeasureCount:
      break;
  }
  return 0;
}

using Tables = std::array<std::array<uint8_t, kHoldings>, kMeasureCount>;

const Tables& AllTables() {
  static const Tables tables = [] {
    Tables t{};
    for (int m = 0; m < kMeasureCount; ++m) {
      for (unsigned h = 0; h < kHoldings; ++h) {
        t[m][h] = static_cast<uint8_t>(Count(static_cast<Measure>(m), h));
      }
    }
    return t;
  }();
  return tables;
}

}  // namespace

uint8_t HoldingValue(Measure measure, unsigned holding) {
  return AllTables()[measure][holding & (kHoldings - 1)];
}

const uint8_t* HoldingTable(Measure measure) {
  return AllTables()[measure].data();
}
