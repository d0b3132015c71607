#include "Pbn.h"

#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <utility>

#include "Fileutils.h"
#include "log.h"

namespace {

// Bits 1..52 of a card mask, one per card number.
constexpr uint64_t kWholeDeck = ((uint64_t{1} << kCardsInDeck) - 1) << 1;

// Rank index of each character, -1 for a character that is no rank.
constexpr std::array<int8_t, 256> kRankOf = [] {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  for (int rank = 0; rank < kCardsInHand; ++rank) {
    table[static_cast<uint8_t>(kRankCharacters[rank])] = static_cast<int8_t>(rank);
  }
  return table;
}();

enum class Fault {
  kNone,
  kBadTag,
  kOpenComment,
  kOutsideTag,
  kNoDeal,
  kBadDeal,
  kUnknownSeat,
  kUnknownHand,
  kSuits,
  kRank,
  kCount,
  kDuplicate,
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

int SeatOf(char c) {
  switch (c) {
    case 'N':
    case 'n':
      return kNorth;
    case 'E':
    case 'e':
      return kEast;
    case 'S':
    case 's':
      return kSouth;
    case 'W':
    case 'w':
      return kWest;
    default:
      return -1;
  }
}

// The number a Board tag holds, 0 when it is no plain number from 1 to 999,999.
int BoardNumber(const char* v, const char* end) {
  while (v < end && IsBlank(*v)) ++v;
  while (end > v && IsBlank(end[-1])) --end;
  if (v == end || end - v > 6) return 0;
  int number = 0;
  for (; v < end; ++v) {
    if (*v < '0' || *v > '9') return 0;
    number = number * 10 + (*v - '0');
  }
  return number;
}

// One pass over the text. A board (a "game") is a run of tags and the data lines after them,
// ended by a blank line; its deal is decoded straight into the deal set when its deal tag comes.
class Parser {
 public:
  Parser(const char* text, size_t size, DealSet& deals, std::vector<int>* board_numbers)
      : p_(text), end_(text + size), deals_(deals), board_numbers_(board_numbers) {}

  Fault Run();
  // The deal a fault belongs to, counting from 1: the board being read, or the next one when
  // the fault lies between boards.
  int FaultDeal() const { return in_game_ ? game_ : game_ + 1; }

 private:
  Fault Tag();
  Fault DecodeDeal(const char* v, const char* end);
  Fault EndGame() {
    if (!in_game_) return Fault::kNone;
    if (!has_deal_) return Fault::kNoDeal;
    in_game_ = false;
    return Fault::kNone;
  }
  void SkipBlanks() {
    while (p_ < end_ && IsBlank(*p_)) ++p_;
  }
  void SkipLine() {
    const void* eol = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
    p_ = eol != nullptr ? static_cast<const char*>(eol) : end_;
  }

  const char* p_;
  const char* const end_;
  DealSet& deals_;
  std::vector<int>* board_numbers_;  // one per game, 0 until its Board tag comes
  int game_ = 0;
  bool in_game_ = false;
  bool has_deal_ = false;
  bool has_board_ = false;
};

Fault Parser::Run() {
  // Editors on Windows like to start a text with a byte order mark.
  if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
  const char* line_start = p_;
  bool line_has_content = false;
  while (p_ < end_) {
    const char c = *p_;
    if (c == '\n') {
      if (!line_has_content) {
        const Fault fault = EndGame();
        if (fault != Fault::kNone) return fault;
      }
      line_start = ++p_;
      line_has_content = false;
      continue;
    }
    if (IsSpace(c)) {
      ++p_;
      continue;
    }
    line_has_content = true;
    if (c == ';' || (c == '%' && p_ == line_start)) {
      SkipLine();
    } else if (c == '{') {
      // A comment may run over lines; the blank lines inside it end nothing.
      const void* close = std::memchr(p_, '}', static_cast<size_t>(end_ - p_));
      if (close == nullptr) return Fault::kOpenComment;
      p_ = static_cast<const char*>(close) + 1;
    } else if (c == '[') {
      const Fault fault = Tag();
      if (fault != Fault::kNone) return fault;
    } else {
      // Auction, play and table lines belong to the tag before them; we only need the deal.
      if (!in_game_) return Fault::kOutsideTag;
      while (p_ < end_ && !IsSpace(*p_) && *p_ != '\n' && *p_ != '{' && *p_ != ';' && *p_ != '[') {
        ++p_;
      }
    }
  }
  return EndGame();
}

Fault Parser::Tag() {
  ++p_;
  SkipBlanks();
  const char* name = p_;
  while (p_ < end_ && IsNameCharacter(*p_)) ++p_;
  const size_t name_size = static_cast<size_t>(p_ - name);
  SkipBlanks();
  if (name_size == 0 || p_ >= end_ || *p_ != '"') return Fault::kBadTag;
  const char* value = ++p_;
  while (p_ < end_ && *p_ != '"') {
    if (*p_ == '\n') return Fault::kBadTag;
    if (*p_ == '\\' && p_ + 1 < end_ && p_[1] != '\n') ++p_;
    ++p_;
  }
  if (p_ >= end_) return Fault::kBadTag;
  const char* value_end = p_++;
  SkipBlanks();
  if (p_ >= end_ || *p_ != ']') return Fault::kBadTag;
  ++p_;

  const bool is_deal = name_size == 4 && std::memcmp(name, "Deal", 4) == 0;
  const bool is_board = name_size == 5 && std::memcmp(name, "Board", 5) == 0;
  // Some writers leave out the blank line between boards: a second board or deal tag starts
  // the next board.
  if (in_game_ && ((is_deal && has_deal_) || (is_board && has_board_))) {
    const Fault fault = EndGame();
    if (fault != Fault::kNone) return fault;
  }
  if (!in_game_) {
    in_game_ = true;
    has_deal_ = has_board_ = false;
    ++game_;
    if (board_numbers_ != nullptr) board_numbers_->push_back(0);
  }
  if (is_board) {
    has_board_ = true;
    if (board_numbers_ != nullptr) board_numbers_->back() = BoardNumber(value, value_end);
  }
  if (!is_deal) return Fault::kNone;
  has_deal_ = true;
  return DecodeDeal(value, value_end);
}

// "<seat>:<hand> <hand> <hand> <hand>", the hands clockwise from the seat, each as
// spades.hearts.diamonds.clubs.
Fault Parser::DecodeDeal(const char* v, const char* end) {
  while (v < end && IsBlank(*v)) ++v;
  const int first = v < end ? SeatOf(*v) : -1;
  if (first < 0) return Fault::kUnknownSeat;
  if (++v >= end || *v != ':') return Fault::kBadDeal;
  ++v;

  Deal& deal = deals_.emplace_back();
  uint64_t seen = 0;
  uint64_t stored = 0;  // the cards of North, East and South
  for (int k = 0; k < 4; ++k) {
    while (v < end && IsBlank(*v)) ++v;
    if (v >= end) return Fault::kBadDeal;
    if (*v == '-' && (v + 1 == end || IsBlank(v[1]))) return Fault::kUnknownHand;
    const int seat = (first + k) % 4;
    uint8_t* out = seat == kWest ? nullptr : deal.HandCards(seat);
    int suit = 0;
    int count = 0;
    for (; v < end && !IsBlank(*v); ++v) {
      if (*v == '.') {
        if (++suit >= 4) return Fault::kSuits;
        continue;
      }
      const int rank = kRankOf[static_cast<uint8_t>(*v)];
      if (rank < 0) return Fault::kRank;
      const int card = CardNumber(suit, rank);
      const uint64_t bit = uint64_t{1} << card;
      if (seen & bit) return Fault::kDuplicate;
      seen |= bit;
      if (out != nullptr) {
        stored |= bit;
        if (count < kCardsInHand) out[count] = static_cast<uint8_t>(card);
      }
      ++count;
    }
    if (suit != 3) return Fault::kSuits;
    if (count != kCardsInHand) return Fault::kCount;
  }
  while (v < end && IsBlank(*v)) ++v;
  if (v != end) return Fault::kBadDeal;

  // Four hands of 13 different cards: what North, East and South leave is exactly West.
  uint64_t west = ~stored & kWholeDeck;
  for (uint8_t& card : std::span(deal.HandCards(kWest), kCardsInHand)) {
    card = static_cast<uint8_t>(std::countr_zero(west));
    west &= west - 1;
  }
  return Fault::kNone;
}

}  // namespace

bool ReadPbnFile(const char* path, DealSet& deals, std::vector<int>* board_numbers) {
  if (path == nullptr || !FileExists(path)) {
    TRACE('W', "File does not exist\n");
    return false;
  }
  const uint32_t size = FileSizeOf(path);
  if (size > kPbnMaxFileSize) {
    deals.clear();
    TRACE('W', "File too large %u\n", size);
    return false;
  }
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
  if (buffer == nullptr) {
    TRACE('W', "Out of mem\n");
    return false;
  }
  if (!ReadWholeFile(path, buffer.get(), size)) return false;
  return ReadPbnText(buffer.get(), size, deals, board_numbers);
}

bool ReadPbnText(const char* text, size_t size, DealSet& deals, std::vector<int>* board_numbers) {
  deals.clear();
  std::vector<int> numbers;
  Parser parser(text, size, deals, board_numbers != nullptr ? &numbers : nullptr);
  const Fault fault = parser.Run();
  if (fault == Fault::kNone) {
    if (board_numbers != nullptr) {
      // Each board holds one deal; one without a number counts as its place in the file.
      for (size_t i = 0; i < numbers.size(); ++i) {
        if (numbers[i] == 0) numbers[i] = static_cast<int>(i + 1);
      }
      *board_numbers = std::move(numbers);
    }
    TRACE('D', "Pbn File contains %i deals OK\n", static_cast<int>(deals.size()));
    return true;
  }
  deals.clear();
  const int deal = parser.FaultDeal();
  switch (fault) {
    case Fault::kNone:
      break;
    case Fault::kBadTag:
      TRACE('W', "Bad tag in deal %i\n", deal);
      break;
    case Fault::kOpenComment:
      TRACE('W', "Comment not closed in deal %i\n", deal);
      break;
    case Fault::kOutsideTag:
      TRACE('W', "Text outside a tag in deal %i\n", deal);
      break;
    case Fault::kNoDeal:
      TRACE('W', "No deal tag in deal %i\n", deal);
      break;
    case Fault::kBadDeal:
      TRACE('W', "Bad deal tag in deal %i\n", deal);
      break;
    case Fault::kUnknownSeat:
      TRACE('W', "Unknown seat in deal %i\n", deal);
      break;
    case Fault::kUnknownHand:
      TRACE('W', "Unknown hand in deal %i\n", deal);
      break;
    case Fault::kSuits:
      TRACE('W', "Wrong number of suits in deal %i\n", deal);
      break;
    case Fault::kRank:
      TRACE('W', "Unknown rank in deal %i\n", deal);
      break;
    case Fault::kCount:
      TRACE('W', "Hand without 13 cards in deal %i\n", deal);
      break;
    case Fault::kDuplicate:
      TRACE('W', "Duplcate card in deal %i\n", deal);
      break;
  }
  return false;
}
