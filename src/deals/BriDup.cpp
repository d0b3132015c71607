#include "BriDup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <memory>
#include <new>

#include "Fileutils.h"
#include "log.h"
#include "regexpclass.h"

namespace {

// North, East and South are stored; West is what they leave.
constexpr int kStoredCards = 3 * kCardsInHand;
// Bits 1..52 of a card mask, one per card number.
constexpr uint64_t kWholeDeck = ((uint64_t{1} << kCardsInDeck) - 1) << 1;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

enum class DecodeResult { kOk, kOutOfRange, kDuplicate, kBug };

DecodeResult DecodeRecord(const uint8_t* record, Deal& deal) {
  uint64_t seen = 0;
  for (int pos = 0; pos < kStoredCards; ++pos) {
    // The bytes count as signed 8-bit values and need not be digits; only the value is tested.
    const int value = 10 * (static_cast<int8_t>(record[2 * pos]) - '0') +
                      (static_cast<int8_t>(record[2 * pos + 1]) - '0');
    if (value < 1 || value > kCardsInDeck) return DecodeResult::kOutOfRange;
    const uint64_t bit = uint64_t{1} << value;
    if (seen & bit) return DecodeResult::kDuplicate;
    seen |= bit;
    deal.cards[pos] = static_cast<uint8_t>(value);
  }
  // West: the missing cards in ascending order.
  uint64_t missing = ~seen & kWholeDeck;
  int pos = kStoredCards;
  while (missing != 0 && pos < kCardsInDeck) {
    deal.cards[pos++] = static_cast<uint8_t>(std::countr_zero(missing));
    missing &= missing - 1;
  }
  if (pos != kCardsInDeck || missing != 0) return DecodeResult::kBug;
  return DecodeResult::kOk;
}

// Reads exactly `size` bytes. The loop only matters past the largest single read the system
// allows (about 2 GiB); smaller files take one call.
bool ReadWhole(int fd, uint8_t* buffer, uint32_t size) {
  uint32_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      TRACE('W', "Error reading file\n");
      return false;
    }
    if (got == 0) {
      TRACE('W', "Error reading file II\n");
      return false;
    }
    done += static_cast<uint32_t>(got);
  }
  return true;
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

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
  if (!buffer) {
    // A file too large for memory is bad input, not a reason to end the program.
    TRACE('W', "Out of mem\n");
    return false;
  }
  TRACE('D', "%u\n", record_size);

  FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat info;
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    TRACE('W', "Error opening file\n");
    return false;
  }
  // The size taken above must be the size of what is read, or a file that changed in between
  // (or whose size could not be taken) would load as a wrong or empty deal set.
  if (static_cast<uint64_t>(info.st_size) != size) {
    TRACE('W', "File size changed\n");
    return false;
  }
  if (!ReadWhole(file.get(), buffer.get(), size)) return false;
  file.Close();

  const uint32_t count = size / record_size;
  if (record_size == kDupRecordSize) {
    TRACE('D', "File OK\n");
  } else {
    TRACE('D', "Bri File contains %i deals OK\n", static_cast<int>(count));
  }

  deals.clear();
  try {
    deals.reserve(count);
  } catch (const std::bad_alloc&) {
    TRACE('W', "Out of mem\n");
    return false;
  }
  Deal deal;
  for (uint32_t i = 1; i <= count; ++i) {
    switch (DecodeRecord(buffer.get() + static_cast<size_t>(i - 1) * record_size, deal)) {
      case DecodeResult::kOk:
        deals.push_back(deal);
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

}  // namespace

bool LoadDealFile(const char* path, DealSet& deals) {
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
    return ReadBriFile(path, deals);
  }
  if (PathMatches("\\.[dD][uU][pP]", path)) {
    TRACE('I', "This matches a dup file name\n");
    if (size % kDupRecordSize != 0) {
      TRACE('W', "File has wrong size %u\n", size);
      return false;
    }
    return ReadDupFile(path, deals);
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
