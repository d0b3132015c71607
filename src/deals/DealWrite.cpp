#include "DealWrite.h"

#include <cstring>

#include "BoardInfo.h"
#include "BriDup.h"
#include "DealFormat.h"
#include "Fileutils.h"
#include "log.h"

namespace {

constexpr int kStoredCards = 3 * kCardsInHand;
constexpr size_t kBriBlanks = 32;  // then NUL bytes up to the record size
// The suit symbols of the old PC character set, spades, hearts, diamonds, clubs.
constexpr char kSuitBytes[4] = {'\x06', '\x03', '\x04', '\x05'};

void AppendFields(const Deal& deal, std::string& out) {
  for (int pos = 0; pos < kStoredCards; ++pos) {
    out += static_cast<char>('0' + deal.cards[pos] / 10);
    out += static_cast<char>('0' + deal.cards[pos] % 10);
  }
}

// Each hand as four suits, each its symbol byte and then its ranks from the ace down.
void AppendSuitForm(const Deal& deal, std::string& out) {
  for (int hand = kNorth; hand <= kWest; ++hand) {
    bool held[kCardsInDeck + 1] = {};
    for (int i = 0; i < kCardsInHand; ++i) {
      const int card = deal.HandCards(hand)[i];
      if (card >= 1 && card <= kCardsInDeck) held[card] = true;
    }
    for (int suit = kSpades; suit <= kClubs; ++suit) {
      out += kSuitBytes[suit];
      for (int rank = 0; rank < kCardsInHand; ++rank) {
        if (held[CardNumber(suit, rank)]) out += RankCharacter(rank);
      }
    }
  }
}

// A field of `width` bytes, the number left-aligned and padded with blanks.
void AppendLeftAligned(size_t number, size_t width, std::string& out) {
  std::string digits = std::to_string(number);
  digits.resize(width, ' ');
  out += digits;
}

void AppendDup(const DealSet& deals, int first_board, std::string& out) {
  // Random hands, counted forwards, boards first to last, one copy each. The fields hold three
  // digits; a larger set is described as far as it can be.
  const size_t first = first_board < 999 ? static_cast<size_t>(first_board) : 999;
  const size_t last_board = static_cast<size_t>(first_board) + deals.size() - 1;
  const size_t last = last_board < 999 ? last_board : 999;
  for (const Deal& deal : deals) {
    AppendFields(deal, out);
    AppendSuitForm(deal, out);
    out += "YN";
    AppendLeftAligned(first, 3, out);
    AppendLeftAligned(1, 2, out);
    AppendLeftAligned(last, 3, out);
  }
}

void AppendBri(const DealSet& deals, std::string& out) {
  for (const Deal& deal : deals) {
    AppendFields(deal, out);
    out.append(kBriBlanks, ' ');
    out.append(kBriRecordSize - 2 * kStoredCards - kBriBlanks, '\0');
  }
}

// Line ends as the scoring programs on the club computers write them; our reader takes both.
void AppendPbn(const DealSet& deals, int first_board, std::string& out) {
  out += kPbnFileStart;
  const std::string no_event;
  int board = first_board;
  for (const Deal& deal : deals) {
    if (board > first_board) out += "\r\n";
    AppendPbnBoardTags(deal, board++, no_event, out);
  }
}

}  // namespace

void AppendPbnBoardTags(const Deal& deal, int board, const std::string& event, std::string& out) {
  out += "[Event \"" + event + "\"]\r\n[Board \"" + std::to_string(board) + "\"]\r\n[Dealer \"";
  out += HandLetter(BoardDealer(board));
  out += "\"]\r\n[Vulnerable \"";
  out += VulnerabilityText(BoardVulnerability(board));
  out += "\"]\r\n[Deal \"" + FormatDealPbn(deal) + "\"]\r\n";
}

bool DealFileKindFromName(const char* name, DealFileKind& kind) {
  if (name == nullptr) return false;
  if (strcasecmp(name, "bri") == 0) {
    kind = DealFileKind::kBri;
  } else if (strcasecmp(name, "dup") == 0) {
    kind = DealFileKind::kDup;
  } else if (strcasecmp(name, "pbn") == 0) {
    kind = DealFileKind::kPbn;
  } else {
    return false;
  }
  return true;
}

std::string FormatDealFile(const DealSet& deals, DealFileKind kind, int first_board) {
  std::string out;
  switch (kind) {
    case DealFileKind::kBri:
      out.reserve(deals.size() * kBriRecordSize);
      AppendBri(deals, out);
      break;
    case DealFileKind::kDup:
      out.reserve(deals.size() * kDupRecordSize);
      AppendDup(deals, first_board, out);
      break;
    case DealFileKind::kPbn:
      out.reserve(24 + deals.size() * 160);
      AppendPbn(deals, first_board, out);
      break;
  }
  return out;
}

bool WriteDealFile(const char* path, const DealSet& deals, DealFileKind kind, int first_board) {
  // A deal with a card missing would be written as a file no reader takes.
  for (size_t i = 0; i < deals.size(); ++i) {
    if (!HasEveryCardOnce(deals[i])) {
      TRACE('W', "BUG in deal %i\n", static_cast<int>(i + 1));
      return false;
    }
  }
  const std::string bytes = FormatDealFile(deals, kind, first_board);
  // Written beside the target and renamed over it: a full disc, or any other failure, leaves
  // the old file as it was, also when the output is the file the deals were read from.
  qsys::SysError error;
  if (!ReplaceFileContents(path, bytes.data(), bytes.size(), &error)) {
    if (error.fault == qsys::Fault::kInUse) {
      // Windows: a program that has the file open without sharing it keeps it as it was.
      TRACE('W', "The file %s is open in another program\n", path);
    } else if (error.fault == qsys::Fault::kNotAFile || error.fault == qsys::Fault::kNotFound ||
               error.fault == qsys::Fault::kAccessDenied) {
      TRACE('W', "Error creating file\n");
    } else {
      TRACE('W', "Error writing file\n");
    }
    return false;
  }
  return true;
}
