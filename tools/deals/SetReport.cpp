#include "SetReport.h"

#include <cstdio>
#include <string>

#include "Fingerprint.h"
#include "SeedCommitment.h"

void ReportSet(const char* path, const DealSet& deals) {
  std::fprintf(stderr, "%s: fingerprint %s\n", path, DealSetFingerprint(deals).c_str());
  for (const DuplicateDeals& duplicate : FindDuplicateDeals(deals)) {
    std::fprintf(stderr, "%s: %s\n", path, DuplicateDealsText(duplicate).c_str());
  }
}

int PrintCommitment(const char* hex) {
  DealSeed seed;
  std::string error;
  if (!ParseDealSeed(hex, seed, error)) {
    std::fprintf(stderr, "quadrelle-deals: %s\n", error.c_str());
    return 2;
  }
  std::printf("%s\n", SeedCommitment(seed).c_str());
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "quadrelle-deals: could not write the commitment\n");
    return 1;
  }
  return 0;
}
