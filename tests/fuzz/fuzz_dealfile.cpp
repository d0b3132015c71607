// The deal-file reader on any bytes: the first byte picks the file name's extension (BRI or DUP,
// in either case), the rest is the file. A file that loads must give whole deals of 52 different
// cards, one per record; one that does not must leave the set as it was or empty.
#include <cstring>

#include "BriDup.h"
#include "Deal.h"
#include "DealSet.h"
#include "FuzzSupport.h"

namespace {

const char* const kNames[] = {"deals.bri", "deals.dup", "DEALS.BRI", "Deals.Dup"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::QuietTrace();
  const char* name = kNames[data[0] % 4];
  const bool dup = (data[0] % 2) == 1;
  const std::filesystem::path path = fuzz::ScratchDir() / name;
  fuzz::WriteFile(path, data + 1, size - 1);

  // A set that already holds a deal, as when the operator loads a second file.
  Deal before;
  for (int i = 0; i < kCardsInDeck; ++i) before.cards[i] = static_cast<uint8_t>(i + 1);
  DealSet deals;
  deals.push_back(before);
  const DealSet previous = deals;

  if (LoadDealFile(path.c_str(), deals)) {
    const size_t record = dup ? kDupRecordSize : kBriRecordSize;
    if (deals.size() != (size - 1) / record) fuzz::Fail("deal count is not the record count");
    for (const Deal& deal : deals) {
      if (!HasEveryCardOnce(deal)) fuzz::Fail("a loaded deal is not 52 different cards");
    }
  } else if (!(deals == previous) && !deals.empty()) {
    fuzz::Fail("a failed load left a partial deal set");
  }
  std::filesystem::remove(path);
  return 0;
}
