#include "BriDup.h"

#include <bit>
#include <memory>
#include <new>

#include "Fileutils.h"
#include "Pbn.h"
#include "log.h"
#include "regexpclass.h"

namespace {

// North, East and South are stored; West is what they leave.
constexpr int kStoredCards = 3 * kCardsInHand;
// Bits 1..52 of a card mask, one per card number.
constexpr uint64_t kWholeDeck = ((uint64_t{1} << kCardsInDeck) - 1) << 1;

// The card number a field holds: the two bytes count as signed 8-bit values and need not be
// digits; only the value is tested.
int FieldValue(const uint8_t* field) {
  return 10 * (static_cast<int8_t>(field[0]) - '0') + (static_cast<int8_t>(field[1]) - '0');
}

// West: the first 13 cards missing from `seen`, in ascending order. Returns the cards still
// missing after them, none for a good deal.
uint64_t FillWest(uint64_t seen, Deal& deal) {
  uint64_t missing = ~seen & kWholeDeck;
  for (int pos = kStoredCards; pos < kCardsInDeck; ++pos) {
    deal.cards[pos] = static_cast<uint8_t>(std::countr_zero(missing));
    missing &= missing - 1;
  }
  return missing;
}

// The common case, a good deal, without a branch per card: all 39 values first, then one test
// (39 cards in range leave exactly 13 missing only when they are 39 different cards). False when
// anything is off; the caller then checks the record field by field to name the fault.
bool DecodeGoodRecord(const uint8_t* record, Deal& deal) {
  unsigned out_of_range = 0;
  for (int pos = 0; pos < kStoredCards; ++pos) {
    const int value = FieldValue(record + 2 * pos);
    out_of_range |= static_cast<unsigned>(value - 1) >= unsigned{kCardsInDeck};
    deal.cards[pos] = static_cast<uint8_t>(value);
  }
  uint64_t seen[3] = {0, 0, 0};  // three chains keep the shifts independent
  for (int pos = 0; pos < kStoredCards; pos += 3) {
    for (int k = 0; k < 3; ++k) seen[k] |= uint64_t{1} << (deal.cards[pos + k] & 63);
  }
  if (out_of_range != 0) return false;
  return FillWest(seen[0] | seen[1] | seen[2], deal) == 0;
}

enum class DecodeResult { kOk, kOutOfRange, kDuplicate, kBug };

// Field by field, in file order, so that the first bad field decides the fault.
DecodeResult DecodeRecord(const uint8_t* record, Deal& deal) {
  uint64_t seen = 0;
  for (int pos = 0; pos < kStoredCards; ++pos) {
    const int value = FieldValue(record + 2 * pos);
    if (value < 1 || value > kCardsInDeck) return DecodeResult::kOutOfRange;
    const uint64_t bit = uint64_t{1} << value;
    if (seen & bit) return DecodeResult::kDuplicate;
    seen |= bit;
    deal.cards[pos] = static_cast<uint8_t>(value);
  }
  if (std::popcount(~seen & kWholeDeck) != kCardsInHand) return DecodeResult::kBug;
  FillWest(seen, deal);
  return DecodeResult::kOk;
}

bool ReadDealRecords(const char* path, DealSet& deals, uint32_t record_size) {
  if (path == nullptr || !FileExists(path)) {
    TRACE('W', "File does not exist\n");
    return false;
  }
  const uint32_t size = FileSizeOf(path);
  // LoadDealFile has refused these already; a direct caller must not decode a cut-off record
  // or allocate for the 4 GiB marker.
  if (size % record_size != 0) {
    TRACE('W', "File has wrong size %u\n", size);
    return false;
  }

  const uint32_t count = size / record_size;
  // A file too large for memory is bad input, not a reason to end the program. Room for the
  // deals is made here too, so that running out of it leaves the set as it was.
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
  bool room = buffer != nullptr;
  if (room) {
    try {
      deals.reserve(count);
    } catch (const std::bad_alloc&) {
      room = false;
    }
  }
  if (!room) {
    TRACE('W', "Out of mem\n");
    return false;
  }
  TRACE('D', "%u\n", record_size);

  if (!ReadWholeFile(path, buffer.get(), size)) return false;

  if (record_size == kDupRecordSize) {
    TRACE('D', "File OK\n");
  } else {
    TRACE('D', "Bri File contains %i deals OK\n", static_cast<int>(count));
  }

  deals.clear();
  for (uint32_t i = 1; i <= count; ++i) {
    const uint8_t* record = buffer.get() + static_cast<size_t>(i - 1) * record_size;
    // Decoded in place: a deal built elsewhere byte by byte and then copied costs more than
    // the decoding.
    Deal& deal = deals.emplace_back();
    if (DecodeGoodRecord(record, deal)) continue;
    switch (DecodeRecord(record, deal)) {
      case DecodeResult::kOk:
        continue;
      case DecodeResult::kOutOfRange:
        deals.clear();
        TRACE('W', "Card out of range in deal %i\n", static_cast<int>(i));
        return false;
      case DecodeResult::kDuplicate:
        deals.clear();
        TRACE('W', "Duplcate card in deal %i\n", static_cast<int>(i));
        return false;
      case DecodeResult::kBug:
        deals.clear();
        TRACE('W', "BUG in deal %i\n", static_cast<int>(i));
        return false;
    }
  }
  return true;
}

// Each letter as an alternative of its two cases: the matcher is case-sensitive.
bool PathMatches(const char* pattern, const char* path) {
  RegexpClass matcher(pattern);
  return matcher.Match(path) == 1;
}

// Record files carry no board numbers: deal k is board k.
bool NumberedInOrder(bool loaded, const DealSet& deals, std::vector<int>* board_numbers) {
  if (loaded && board_numbers != nullptr) {
    board_numbers->resize(deals.size());
    for (size_t i = 0; i < deals.size(); ++i) (*board_numbers)[i] = static_cast<int>(i + 1);
  }
  return loaded;
}

}  // namespace

bool LoadDealFile(const char* path, DealSet& deals) {
  return LoadNumberedDealFile(path, deals, nullptr);
}

bool LoadNumberedDealFile(const char* path, DealSet& deals, std::vector<int>* board_numbers) {
  if (path == nullptr || !FileExists(path)) {
    TRACE('W', "File does not exist\n");
    return false;
  }
  const uint32_t size = FileSizeOf(path);
  if (PathMatches("\\.[bB][rR][iI]", path)) {
    TRACE('I', "This matches a bri file name\n");
    if (size % kBriRecordSize != 0) {
      TRACE('W', "File has wrong size %u\n", size);
      return false;
    }
    return NumberedInOrder(ReadBriFile(path, deals), deals, board_numbers);
  }
  if (PathMatches("\\.[dD][uU][pP]", path)) {
    TRACE('I', "This matches a dup file name\n");
    if (size % kDupRecordSize != 0) {
      TRACE('W', "File has wrong size %u\n", size);
      return false;
    }
    return NumberedInOrder(ReadDupFile(path, deals), deals, board_numbers);
  }
  if (PathMatches("\\.[pP][bB][nN]", path)) {
    TRACE('I', "This matches a pbn file name\n");
    return ReadPbnFile(path, deals, board_numbers);
  }
  TRACE('W', "File name unmatched\n");
  return false;
}

bool ReadBriFile(const char* path, DealSet& deals) {
  return ReadDealRecords(path, deals, kBriRecordSize);
}

bool ReadDupFile(const char* path, DealSet& deals) {
  return ReadDealRecords(path, deals, kDupRecordSize);
}
