#include "SeedCommitment.h"

#include <sodium.h>

#include "Fingerprint.h"

std::string SeedCommitment(const DealSeed& seed) {
  uint8_t hash[crypto_generichash_BYTES];
  crypto_generichash(hash, sizeof hash, seed.data(), seed.size(), nullptr, 0);
  char hex[2 * sizeof hash + 1];
  sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
  return hex;
}

size_t FirstDealNotFromSeed(const DealSet& deals, const std::vector<int>& numbers,
                            const DealSeed& seed) {
  for (size_t place = 0; place < deals.size(); ++place) {
    const int board = place < numbers.size() ? numbers[place] : 0;
    if (board < 1 || !SameCards(deals[place], SeededDeal(seed, static_cast<uint32_t>(board)))) {
      return place;
    }
  }
  return deals.size();
}
