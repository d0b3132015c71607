#include "DealFiles.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

Deal MakeDeal(unsigned seed) {
  Deal deal;
  std::iota(std::begin(deal.cards), std::end(deal.cards), 1);
  if (seed != 0) {
    std::mt19937 random(seed);
    std::shuffle(std::begin(deal.cards), std::end(deal.cards), random);
  }
  return deal;
}

std::vector<Deal> MakeDeals(int count) {
  std::vector<Deal> deals;
  for (int i = 1; i <= count; ++i) deals.push_back(MakeDeal(static_cast<unsigned>(i)));
  return deals;
}

bool WriteBriFile(const std::string& path, const std::vector<Deal>& deals) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (const Deal& deal : deals) {
    // North, East and South as two-digit card numbers; West is what is left.
    std::string record;
    for (int pos = 0; pos < 3 * kCardsInHand; ++pos) {
      char field[8];
      std::snprintf(field, sizeof field, "%02d", deal.cards[pos]);
      record += field;
    }
    record.resize(128, ' ');
    ok = ok && std::fwrite(record.data(), 1, record.size(), file) == record.size();
  }
  return std::fclose(file) == 0 && ok;
}
