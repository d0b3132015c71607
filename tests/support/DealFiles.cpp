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

Deal ShiftedDeal(int k) {
  Deal deal;
  for (int pos = 0; pos < kCardsInDeck; ++pos) {
    deal.cards[pos] = static_cast<uint8_t>((pos + k) % kCardsInDeck + 1);
  }
  return deal;
}

std::string BriRecord(const Deal& deal, size_t record_size, char filler) {
  std::string record;
  // Byte arithmetic rather than "%02d", so that a card number out of range shows as the bytes a
  // damaged file would hold instead of being widened.
  for (int pos = 0; pos < 3 * kCardsInHand; ++pos) {
    record += static_cast<char>('0' + deal.cards[pos] / 10);
    record += static_cast<char>('0' + deal.cards[pos] % 10);
  }
  record.resize(record_size, filler);
  return record;
}

bool WriteBriFile(const std::string& path, const std::vector<Deal>& deals) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (const Deal& deal : deals) {
    const std::string record = BriRecord(deal);
    ok = ok && std::fwrite(record.data(), 1, record.size(), file) == record.size();
  }
  return std::fclose(file) == 0 && ok;
}
